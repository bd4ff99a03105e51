#pragma once

// Fakes of the Users pane's two backends for its tests: a small account and
// identity model that the changes really edit, every call recorded with the
// thread it ran on, an answer to give, and a gate that holds the calls back
// so a test sees the pane while a change runs.

#include <condition_variable>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "panes/users/backend.h"
#include "panes/users/identity_backend.h"

namespace settings::panes::users::testing {

// Holds calls back while closed.
class Gate {
 public:
  void close() {
    std::lock_guard lock(m_);
    open_ = false;
  }
  void open() {
    {
      std::lock_guard lock(m_);
      open_ = true;
    }
    cv_.notify_all();
  }
  void pass() {
    std::unique_lock lock(m_);
    cv_.wait(lock, [&] { return open_; });
  }

 private:
  std::mutex m_;
  std::condition_variable cv_;
  bool open_ = true;
};

inline LocalUser user(std::string name, std::string display, std::uint64_t uid, bool admin,
                      bool signed_in = false, bool autologin = false) {
  return LocalUser{std::move(name), std::move(display), uid, admin, signed_in, autologin};
}

class FakeUsers final : public UsersBackend {
 public:
  explicit FakeUsers(std::vector<LocalUser> users) : users_(std::move(users)) {}

  kalu_ui::Status create_user(const std::string& username, const std::string& full_name,
                              const Password& password) override {
    std::string typed(password.view());
    auto answer = record("create " + username + "/" + full_name);
    std::lock_guard lock(m_);
    passwords_.push_back(std::move(typed));
    if (answer)
      users_.push_back(
          user(username, full_name.empty() ? username : full_name, 2000 + users_.size(), false));
    return answer;
  }
  kalu_ui::Status delete_user(const LocalUser& gone, bool remove_files) override {
    auto answer = record("delete " + gone.username + (remove_files ? " files" : " keep"));
    std::lock_guard lock(m_);
    if (answer) std::erase_if(users_, [&](const LocalUser& u) { return u.uid == gone.uid; });
    return answer;
  }
  kalu_ui::Status set_role(const std::string& username, bool administrator) override {
    auto answer = record("role " + username + (administrator ? " admin" : " standard"));
    std::lock_guard lock(m_);
    for (LocalUser& u : users_) {
      if (answer && u.username == username) u.administrator = administrator;
    }
    return answer;
  }
  kalu_ui::Status set_automatic_login(const std::string& username, bool enabled) override {
    auto answer = record("autologin " + username + (enabled ? " on" : " off"));
    std::lock_guard lock(m_);
    for (LocalUser& u : users_) {
      if (answer && u.username == username) u.automatic_login = enabled;
    }
    return answer;
  }
  std::vector<LocalUser> load_users() override {
    gate.pass();
    std::lock_guard lock(m_);
    threads_.insert(std::this_thread::get_id());
    ++loads_;
    return users_;
  }

  // The next change answers this (success when empty).
  void answer_next(std::string error) {
    std::lock_guard lock(m_);
    error_ = std::move(error);
  }
  std::vector<std::string> calls() {
    std::lock_guard lock(m_);
    return calls_;
  }
  std::vector<std::string> passwords() {
    std::lock_guard lock(m_);
    return passwords_;
  }
  int loads() {
    std::lock_guard lock(m_);
    return loads_;
  }
  bool ran_on(std::thread::id id) {
    std::lock_guard lock(m_);
    return threads_.contains(id);
  }

  Gate gate;

 private:
  kalu_ui::Status record(std::string call) {
    gate.pass();
    std::lock_guard lock(m_);
    threads_.insert(std::this_thread::get_id());
    calls_.push_back(std::move(call));
    if (error_.empty()) return {};
    return kalu_ui::fail(std::exchange(error_, {}));
  }

  std::mutex m_;
  std::vector<LocalUser> users_;
  std::vector<std::string> calls_;
  std::vector<std::string> passwords_;
  std::set<std::thread::id> threads_;
  std::string error_;
  int loads_ = 0;
};

inline LocalIdentity identity(std::string id, std::string label, bool active,
                              host_identity::Protection protection,
                              std::array<std::uint8_t, 4> key_start = {0x0a, 0x1b, 0x2c, 0x3d}) {
  LocalIdentity entry;
  entry.id = std::move(id);
  entry.label = std::move(label);
  std::copy(key_start.begin(), key_start.end(), entry.public_key.begin());
  entry.threshold = 2;
  entry.signers = 3;
  entry.active = active;
  entry.protection = protection;
  return entry;
}

class FakeIdentities final : public IdentityBackend {
 public:
  explicit FakeIdentities(std::vector<LocalIdentity> identities)
      : identities_(std::move(identities)) {}

  kalu_ui::Status set_active_identity(const std::string& id) override {
    std::lock_guard lock(m_);
    calls_.push_back("use " + id);
    for (LocalIdentity& i : identities_) i.active = i.id == id;
    return {};
  }
  kalu_ui::Status remove_identity(const std::string& id) override {
    std::lock_guard lock(m_);
    calls_.push_back("remove " + id);
    std::erase_if(identities_, [&](const LocalIdentity& i) { return i.id == id; });
    return {};
  }
  kalu_ui::Status secure_identity(const std::string& id) override {
    std::lock_guard lock(m_);
    calls_.push_back("protect " + id);
    for (LocalIdentity& i : identities_) {
      if (i.id == id) i.protection = host_identity::Protection::PrivateFile;
    }
    return {};
  }
  std::vector<LocalIdentity> load_identities() override {
    std::lock_guard lock(m_);
    return identities_;
  }
  std::vector<std::string> calls() {
    std::lock_guard lock(m_);
    return calls_;
  }

 private:
  std::mutex m_;
  std::vector<LocalIdentity> identities_;
  std::vector<std::string> calls_;
};

}  // namespace settings::panes::users::testing
