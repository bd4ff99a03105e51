#pragma once

// The Users pane's account changes. UsersBackend is the interface the pane
// holds (behind a shared pointer, so a test hands it a fake); the system
// backend carries each change out through system_ops's users area, which
// runs the account programs (behind pkexec on a real device).
//
// Threads: every call may block for minutes (programs run, and pkexec waits
// for a person to authenticate), so the pane calls a backend only on its
// worker, one change at a time; the system backend keeps no state and may
// be called from any thread. Every answer is success or a text to show as
// it is; no text, log event or argument ever carries the password.

#include <memory>
#include <string>
#include <vector>

#include "kalu_ui/result.h"
#include "kalu_ui/secret.h"
#include "vocabulary/login_accounts.h"

namespace settings::panes::users {

// A typed password on its way to chpasswd: its bytes are overwritten when
// it is dropped, wiped or moved from. Move it: a copy is a second secret.
using Password = kalu_ui::secret::SecretText;

class UsersBackend {
 public:
  virtual ~UsersBackend() = default;

  // Creates a standard account, then sets its password, only when the
  // account was created. Refused before anything runs when the user name,
  // the full name or the password would be unsafe (system_ops's checks). When
  // the password cannot be set the new account is removed again and the
  // password's error is the answer; when that removal fails too the answer
  // is "the account {name} was created without a password: {error}".
  virtual kalu_ui::Status create_user(const std::string& username, const std::string& full_name,
                                      const Password& password) = 0;
  // Removes the account (and its home folder when `remove_files`), provided
  // the account file still lists it with the user's uid.
  virtual kalu_ui::Status delete_user(const LocalUser& user, bool remove_files) = 0;
  virtual kalu_ui::Status set_role(const std::string& username, bool administrator) = 0;
  virtual kalu_ui::Status set_automatic_login(const std::string& username, bool enabled) = 0;
  // The accounts read afresh: the reload after every change.
  virtual std::vector<LocalUser> load_users() = 0;
};

// The backend over the device (system_ops::users).
class SystemUsersBackend final : public UsersBackend {
 public:
  kalu_ui::Status create_user(const std::string& username, const std::string& full_name,
                              const Password& password) override;
  kalu_ui::Status delete_user(const LocalUser& user, bool remove_files) override;
  kalu_ui::Status set_role(const std::string& username, bool administrator) override;
  kalu_ui::Status set_automatic_login(const std::string& username, bool enabled) override;
  std::vector<LocalUser> load_users() override;
};

std::shared_ptr<UsersBackend> system_users_backend();

}  // namespace settings::panes::users
