// The External Accounts pane in the application's frame: a click of an
// account's check button runs the check through its action and the row shows
// what it found, on this page and the next one built; the open form's
// buttons do their one thing and log nothing.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <optional>
#include <string>

#include "account_book/account_store.h"
#include "account_book/secret_vault.h"
#include "accounts/records.h"
#include "app_fixture.h"
#include "kalu_ui/frame.h"
#include "kalu_ui/log.h"
#include "kalu_ui/widget/text.h"
#include "panes/accounts/accounts_pane.h"

namespace settings::settings_app {
namespace {

using Fate = kalu_ui::host::ReplayedControl::Fate;
using testing::AppFixture;
namespace accounts = panes::accounts;

// Answers every check at once with what it is told.
class AnsweringProbe : public account_probe::AccountProbe {
 public:
  explicit AnsweringProbe(kalu_ui::Result<std::string> answer) : answer_(std::move(answer)) {}
  kalu_ui::Result<std::string> probe(const account_book::Account&,
                                     std::string_view) const override {
    return answer_;
  }

 private:
  kalu_ui::Result<std::string> answer_;
};

class AccountsInTheWindow : public ::testing::Test {
 protected:
  AccountsInTheWindow() {
    account_book::AccountStore store;
    account_book::Account files;
    files.id = "webdav-1";
    files.display_name = "Files";
    files.type_id = account_book::AccountTypeId::from("webdav");
    files.config = settings::accounts::to_config(settings::accounts::DavAccount{
        "webdav-1", "Files", "https://files.example.org/dav/", "ann", true, 0, {}});
    store.upsert(files);
    EXPECT_TRUE(store.save_in(t.root.path()).has_value());
    auto vault = account_book::SecretVault::open_in(t.root.path());
    vault.put("webdav-1", kalu_ui::secret::SecretText::copy_of("dav-secret"));
    EXPECT_TRUE(vault.try_save().has_value());
    // The checks answer before their start returns.
    t.app->account_branch().set_thread_starter(
        [](std::move_only_function<void()> body) -> kalu_ui::Status {
          body();
          return {};
        });
    t.harness.frame();
    t.app->select_pane(panes::Pane::kExternalAccounts);
    t.harness.frame();
  }

  std::optional<std::string> note() {
    const auto* text = dynamic_cast<const kalu_ui::widget::Text*>(
        kalu_ui::frame::find_by_id(t.harness.root(), accounts::control::check_note("webdav-1")));
    if (text == nullptr) return std::nullopt;
    return text->text();
  }

  // Clicks the check button and runs frames until the row shows an outcome
  // (a while at most).
  std::optional<std::string> check(kalu_ui::Result<std::string> answer) {
    t.app->set_account_probe(std::make_shared<AnsweringProbe>(std::move(answer)));
    if (!t.harness.click_id(accounts::control::test("webdav-1"))) return std::nullopt;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (std::chrono::steady_clock::now() < deadline) {
      t.harness.frame();
      const auto shown = t.app->account_check_note()->get();
      if (shown && !shown->running && !t.app->account_branch().check_id()) break;
    }
    t.harness.frame();
    return note();
  }

  AppFixture t{kalu_ui::harness::Options::sized({1280.0, 2400.0})};
};

TEST_F(AccountsInTheWindow, ACheckShowsWhatItFoundOnItsRowUntilTheNextOne) {
  EXPECT_EQ(note(), std::nullopt);
  (void)t.harness.take_replayed();
  EXPECT_EQ(check(std::string("Server accepted the signed-in DAV request")), "Signed in.");
  const auto replayed = t.harness.take_replayed();
  ASSERT_EQ(replayed.size(), 1u);
  EXPECT_EQ(replayed[0].invocation.action, "test");
  EXPECT_EQ(replayed[0].fate, Fate::Started) << replayed[0].message;

  // Still there on the page built when the pane is shown again.
  t.app->select_pane(panes::Pane::kNetwork);
  t.harness.frame();
  t.app->select_pane(panes::Pane::kExternalAccounts);
  t.harness.frame();
  EXPECT_EQ(note(), "Signed in.");

  EXPECT_EQ(check(kalu_ui::fail(std::string("server rejected the saved credential"))),
            "server rejected the saved credential");
}

// A check refused before it runs says why on the row, as one that ran does.
TEST_F(AccountsInTheWindow, ACheckRefusedBeforeItRunsSaysWhyOnItsRow) {
  auto vault = account_book::SecretVault::open_in(t.root.path());
  ASSERT_TRUE(vault.remove("webdav-1"));
  ASSERT_TRUE(vault.try_save().has_value());
  EXPECT_EQ(check(std::string("never asked")),
            "this account has no saved credential; sign in again first");
}

TEST_F(AccountsInTheWindow, TheFormsButtonsDoOneThingAndLogNothing) {
  kalu_ui::log::ScopedCapture capture;
  (void)t.harness.take_replayed();
  ASSERT_TRUE(t.harness.click_id(accounts::control::add(accounts::AccountKind::kWebDav)));
  t.harness.frame();
  t.harness.frame();
  auto* pane = dynamic_cast<accounts::AccountsPane*>(t.pane_widget());
  ASSERT_NE(pane, nullptr);
  ASSERT_EQ(pane->form_kind(), accounts::AccountKind::kWebDav);

  // An empty form is refused once, by the pane, with the page's text.
  ASSERT_TRUE(t.harness.click_id(accounts::control::kFormSave));
  t.harness.frame();
  t.harness.frame();
  ASSERT_TRUE(pane->form_status().has_value());
  EXPECT_FALSE(pane->form_check_running());

  ASSERT_TRUE(t.harness.click_id(accounts::control::kFormCancel));
  t.harness.frame();
  t.harness.frame();
  EXPECT_EQ(pane->form_kind(), std::nullopt);

  for (const auto& replayed : t.harness.take_replayed()) {
    EXPECT_NE(replayed.fate, Fate::Refused)
        << replayed.invocation.resource_id << " " << replayed.invocation.action << ": "
        << replayed.message;
  }
  EXPECT_THAT(capture.events(), ::testing::IsEmpty());
}

}  // namespace
}  // namespace settings::settings_app
