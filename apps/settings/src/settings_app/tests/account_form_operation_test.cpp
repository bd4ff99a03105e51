// A client's "SubmitForm" is an operation of its own: it ends when the
// External Accounts pane has saved the form or given up on it, and its
// outcome is what the page shows.

#include <gtest/gtest.h>

#include <chrono>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

#include "accounts/stores.h"
#include "app_fixture.h"
#include "kalu_ui/frame.h"
#include "operation_fixture.h"
#include "panes/accounts/accounts_pane.h"

namespace settings::settings_app {
namespace {

using kalu_ui::ResourceOperationStatus;
using testing::op_id;

constexpr std::string_view kAccounts = "settings.account-operation";

// Answers its checks from a script, in order; the last answer repeats.
class ScriptedProbe : public account_probe::AccountProbe {
 public:
  explicit ScriptedProbe(std::deque<kalu_ui::Result<std::string>> answers)
      : answers_(std::move(answers)) {}
  kalu_ui::Result<std::string> probe(const account_book::Account&,
                                     std::string_view) const override {
    std::lock_guard lock(mutex_);
    kalu_ui::Result<std::string> answer = answers_.front();
    if (answers_.size() > 1) answers_.pop_front();
    return answer;
  }

 private:
  mutable std::mutex mutex_;
  mutable std::deque<kalu_ui::Result<std::string>> answers_;
};

struct FormFixture {
  FormFixture() {
    t.app->set_account_probe(
        std::make_shared<ScriptedProbe>(std::deque<kalu_ui::Result<std::string>>{
            kalu_ui::fail("connection failed: Could not resolve host dav.example.org"),
            std::string("Server accepted the signed-in DAV request")}));
    t.harness.frame();
  }

  kalu_ui::DeviceLocalOutcome start(std::uint8_t id, kalu_ui::OperationKind kind,
                                    std::string_view payload) {
    return testing::start(*t.app, op_id(id), kind, kAccounts, payload);
  }
  // Frames until the operation is final; the bound only stops a hang.
  std::optional<ResourceOperationStatus> final_status(std::uint8_t id) {
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (std::chrono::steady_clock::now() < give_up) {
      t.harness.frame();
      if (auto status = testing::poll(*t.app, op_id(id))) return status;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return std::nullopt;
  }
  const panes::accounts::AccountsPane* pane() {
    auto found = kalu_ui::frame::collect(t.harness.root(), [](const kalu_ui::Widget& w) {
      return dynamic_cast<const panes::accounts::AccountsPane*>(&w) != nullptr;
    });
    return found.empty() ? nullptr
                         : dynamic_cast<const panes::accounts::AccountsPane*>(found.front());
  }
  void type_into(std::string_view id, std::string_view text) {
    ASSERT_TRUE(t.harness.click_id(id)) << id;
    ASSERT_TRUE(t.harness.type_text(text)) << id;
  }

  testing::AppFixture t;
};

ResourceOperationStatus failed(std::uint8_t id, std::string message) {
  return {ResourceOperationStatus::Failed{"device_local_operation_failed", std::move(message),
                                          std::nullopt, false, op_id(id)}};
}

TEST(AccountFormOperation, ASaveFailsWithTheTextThePageShowsAndSucceedsOnceSaved) {
  FormFixture f;
  // Nothing to submit yet.
  ASSERT_EQ(f.start(1, 1, R"("SubmitForm")"), testing::accepted());
  EXPECT_EQ(f.final_status(1), failed(1, "no account form is open; add or edit an account first"));

  ASSERT_EQ(f.start(2, 2, R"({"Add":{"kind":"caldav"}})"),
            testing::said("Opened the form for a new caldav account in External Accounts."));
  f.t.harness.frame();
  // The form as it is: what the page says is what the client is told.
  ASSERT_EQ(f.start(3, 1, R"("SubmitForm")"), testing::accepted());
  // One save at a time.
  EXPECT_TRUE(std::holds_alternative<kalu_ui::DeviceLocalOutcome::Rejected>(
      f.start(4, 1, R"("SubmitForm")").value));
  EXPECT_EQ(f.final_status(3), failed(3, "enter a display name"));
  ASSERT_NE(f.pane(), nullptr);
  EXPECT_EQ(f.pane()->form_status(), "enter a display name");

  f.type_into("accounts.form.name", "Work calendar");
  f.type_into("accounts.form.identity", "ann");
  f.type_into("accounts.form.server", "https://dav.example.org/");
  f.type_into("accounts.form.password", "pw-1");
  ASSERT_EQ(f.start(5, 1, R"("SubmitForm")"), testing::accepted());
  EXPECT_EQ(f.final_status(5),
            failed(5, "connection failed: Could not resolve host dav.example.org"));
  EXPECT_EQ(f.pane()->form_status(), "connection failed: Could not resolve host dav.example.org");
  EXPECT_TRUE(accounts::load_account_store(f.t.root.path()).accounts.empty());

  ASSERT_EQ(f.start(6, 1, R"("SubmitForm")"), testing::accepted());
  auto saved = f.final_status(6);
  ASSERT_TRUE(saved);
  const auto* done = std::get_if<ResourceOperationStatus::Succeeded>(&saved->value);
  ASSERT_NE(done, nullptr);
  EXPECT_EQ(done->outcome.text, "Calendar (CalDAV) account saved");
  EXPECT_EQ(accounts::load_account_store(f.t.root.path()).accounts.size(), 1u);
  EXPECT_EQ(testing::poll(*f.t.app, op_id(6)), std::nullopt);  // reported once
}

// Another pane shown before External Accounts took the save: the pane is
// kept off screen, carries the save out, and its own answer is the outcome.
TEST(AccountFormOperation, ASaveWhosePaneIsReplacedEndsWithItsOwnOutcome) {
  FormFixture f;
  ASSERT_EQ(f.start(1, 2, R"({"Add":{"kind":"caldav"}})"),
            testing::said("Opened the form for a new caldav account in External Accounts."));
  f.t.harness.frame();
  ASSERT_EQ(f.start(2, 1, R"("SubmitForm")"), testing::accepted());
  f.t.app->select_pane(panes::Pane::kNetwork);
  EXPECT_EQ(f.final_status(2), failed(2, "enter a display name"));
  EXPECT_EQ(f.t.app->selected_category(), panes::Pane::kNetwork);
  // The next save is taken.
  EXPECT_EQ(f.start(3, 1, R"("SubmitForm")"), testing::accepted());
}

}  // namespace
}  // namespace settings::settings_app
