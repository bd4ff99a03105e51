// The External Accounts pane driven as a person and an automation client
// drive it: buttons pressed and fields typed in the headless harness, pane
// requests published into its cell, checks answered by a fake probe, time
// moved by hand. Then what is stored, what the page shows, and that no typed
// password got out.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "account_book/secret_vault.h"
#include "accounts/stores.h"
#include "kalu_actions/json.h"
#include "kalu_ui/frame.h"
#include "kalu_ui/log.h"
#include "kalu_ui/widget/badge.h"
#include "kalu_ui/widget/card.h"
#include "kalu_ui/widget/text.h"
#include "kalu_ui/widget/text_input.h"
#include "pane_fixture.h"
#include "safe_write/bad_files.h"

namespace settings::panes::accounts {
namespace {

using kalu_ui::Widget;
using kalu_ui::doc::kRoot;
using operations::AccountPaneRequest;
using ::testing::Contains;
using ::testing::Not;
using testing::PaneFixture;

using Seen = std::pair<std::string, std::string>;  // account id, credential

constexpr std::string_view kTyped = "Typed-Pa55word";
constexpr std::string_view kChecking = "Checking the account before saving\u2026";

namespace services = settings::accounts;

std::vector<std::string> pane_texts_of(const Widget& root) {
  std::vector<std::string> out;
  kalu_ui::frame::collect(const_cast<Widget&>(root), [&](const Widget& w) {
    if (const auto* t = dynamic_cast<const kalu_ui::widget::Text*>(&w)) out.push_back(t->text());
    if (const auto* c = dynamic_cast<const kalu_ui::widget::Card*>(&w)) out.push_back(c->title());
    if (const auto* b = dynamic_cast<const kalu_ui::widget::Badge*>(&w)) out.push_back(b->text());
    return false;
  });
  return out;
}

std::optional<std::string> secret_of(const PaneFixture& t, std::string_view id) {
  auto secret = services::open_vault(t.dir.root()).get(id);
  if (!secret) return std::nullopt;
  return std::string(secret->view());
}

// Every value the state document holds under its root, as text.
std::string document_text(const kalu_ui::doc::Document& d) {
  std::string out;
  for (const std::string& key : d.keys(kRoot)) {
    out += key + "=";
    if (auto text = d.read_text(kRoot, key)) out += *text;
    out += ";";
  }
  return out;
}

// Whether `secret` shows anywhere a client or a screen reader can read.
void expect_nowhere(PaneFixture& t, std::string_view secret) {
  EXPECT_EQ(document_text(t.doc()).find(secret), std::string::npos) << document_text(t.doc());
  kalu_ui::frame::collect(t.h->root(), [&](const Widget& w) {
    if (auto node = w.accessibility()) {
      for (const std::string* s : {&node->label, &node->value, &node->description, &node->id}) {
        EXPECT_EQ(s->find(secret), std::string::npos) << *s;
      }
    }
    if (auto review = w.text_review()) {
      EXPECT_EQ(review->text.find(secret), std::string::npos);
    }
    if (auto state = w.get_state()) {
      EXPECT_EQ(state->find(secret), std::string::npos);
    }
    for (const auto& resource : w.resources(t.doc())) {
      EXPECT_EQ(kalu_actions::to_json(resource).dump().find(secret), std::string::npos);
    }
    return false;
  });
}

void fill_webdav_form(PaneFixture& t) {
  ASSERT_TRUE(t.press("settings.accounts.add.webdav"));
  ASSERT_EQ(t.pane().form_kind(), AccountKind::kWebDav);
  t.type("accounts.form.name", "Team files");
  t.type("accounts.form.identity", "ann");
  t.type("accounts.form.server", "https://files.example.org/dav/");
  t.type("accounts.form.password", kTyped);
}

// The form filled and saved with the probe holding its answer back.
void start_held_check(PaneFixture& t) {
  t.probe->hold();
  fill_webdav_form(t);
  ASSERT_TRUE(t.press("settings.accounts.form.save"));
  ASSERT_TRUE(t.probe->started(1));
}

// Each store the page reads, out of reach in every way a reader must survive:
// the pane is built at once and its page says which store could not be read.
TEST(AccountsPaneTest, StoresThatCannotBeReadAreNamedOnThePage) {
  const struct {
    const char* relative;
    const char* notice;
  } stores[] = {
      {"accounts/accounts.json", "Your accounts could not be read: "},
      {"accounts/sync-status.json", "Sync status could not be read: "},
      {"vault/vault.enc", "Saved passwords could not be read: "},
  };
  for (const auto& store : stores) {
    for (const auto& bad : safe_write::testing::bad_files()) {
      SCOPED_TRACE(std::string(store.relative) + " as " + std::string(bad.name));
      bool made = false;
      PaneFixture t({}, [&](const testing::AccountsRoot& dir) {
        const std::filesystem::path path = dir.path() / store.relative;
        std::filesystem::create_directories(path.parent_path());
        made = safe_write::testing::make_bad_file(path, bad.kind);
      });
      if (!made) continue;
      const auto texts = pane_texts_of(t.h->root());
      EXPECT_THAT(texts, Contains(::testing::StartsWith(store.notice)));
      EXPECT_THAT(texts, Not(Contains(::testing::StartsWith("You have no accounts yet"))));
      std::error_code ec;
      std::filesystem::permissions(t.dir.path() / store.relative, std::filesystem::perms::owner_all,
                                   ec);
    }
  }
}

TEST(AccountsPaneTest, AddCheckSaveThenTheRowIsNotCheckedYet) {
  kalu_ui::log::ScopedCapture log;
  PaneFixture t;
  t.probe->hold();
  fill_webdav_form(t);
  ASSERT_TRUE(t.press("settings.accounts.form.save"));
  ASSERT_TRUE(t.pane().form_check_running());
  EXPECT_EQ(t.pane().form_status(), std::string(kChecking));
  t.h->frame();
  EXPECT_THAT(pane_texts_of(t.h->root()), Contains("Could not save: " + std::string(kChecking)));
  ASSERT_TRUE(t.probe->started(1));
  expect_nowhere(t, kTyped);

  // A second press while the check runs is taken and changes nothing.
  ASSERT_TRUE(t.press("settings.accounts.form.save"));
  EXPECT_EQ(t.doc().read_bool(kRoot, "settings.accounts.form.save"), false);
  EXPECT_TRUE(services::load_account_store(t.dir.root()).accounts.empty());

  t.probe->release();
  ASSERT_TRUE(t.frames_until([&] { return !t.pane().form_kind(); }));
  EXPECT_EQ(t.probe->seen().size(), 1u);
  EXPECT_EQ(t.probe->seen()[0].second, kTyped);
  const auto store = services::load_account_store(t.dir.root());
  ASSERT_EQ(store.accounts.size(), 1u);
  const account_book::Account& saved = store.accounts[0];
  EXPECT_EQ(saved.id, t.probe->seen()[0].first);
  EXPECT_TRUE(saved.id.starts_with("webdav-"));
  EXPECT_EQ(saved.config["base_url"], "https://files.example.org/dav");
  EXPECT_EQ(secret_of(t, saved.id), kTyped);
  EXPECT_EQ(t.pane().form_status(), std::nullopt);
  EXPECT_TRUE(t.pane().cells().password->empty());
  EXPECT_EQ(t.pane().cells().display_name->get(), "");
  t.h->frame();
  const auto texts = pane_texts_of(t.h->root());
  EXPECT_THAT(texts, Contains("Team files"));
  EXPECT_THAT(texts, Contains("Not checked yet"));
  EXPECT_THAT(texts, Not(Contains("Add Files (WebDAV) account")));
  expect_nowhere(t, kTyped);
  for (const auto& event : log.events()) {
    EXPECT_EQ(event.message.find(kTyped), std::string::npos);
    for (const auto& field : event.fields) EXPECT_EQ(field.value.find(kTyped), std::string::npos);
  }
}

TEST(AccountsPaneTest, ACheckPastTenSecondsTimesOutAndItsLateAnswerSavesNothing) {
  PaneFixture t;
  start_held_check(t);
  t.advance(std::chrono::milliseconds(9999));
  t.h->frame();
  EXPECT_TRUE(t.pane().form_check_running());
  t.advance(std::chrono::milliseconds(1));
  t.h->frame();
  EXPECT_FALSE(t.pane().form_check_running());
  EXPECT_EQ(t.pane().form_status(), "connection check timed out");
  EXPECT_EQ(t.pane().form_kind(), AccountKind::kWebDav);
  t.probe->release();
  ASSERT_TRUE(t.checks_ended());
  EXPECT_TRUE(services::load_account_store(t.dir.root()).accounts.empty());
  EXPECT_EQ(t.pane().form_status(), "connection check timed out");
}

TEST(AccountsPaneTest, CancellingDuringTheCheckClosesAtOnceAndDropsTheAnswer) {
  PaneFixture t;
  start_held_check(t);
  ASSERT_TRUE(t.press("settings.accounts.form.cancel"));
  EXPECT_EQ(t.pane().form_kind(), std::nullopt);
  EXPECT_FALSE(t.pane().form_check_running());
  EXPECT_TRUE(t.pane().cells().password->empty());
  t.probe->release();
  ASSERT_TRUE(t.checks_ended());
  EXPECT_TRUE(services::load_account_store(t.dir.root()).accounts.empty());
  EXPECT_EQ(t.pane().form_status(), std::nullopt);
}

TEST(AccountsPaneTest, ARefusedCheckKeepsTheFormAsTyped) {
  PaneFixture t;
  t.probe->answer(kalu_ui::fail(std::string("server rejected the saved credential")));
  fill_webdav_form(t);
  ASSERT_TRUE(t.press("settings.accounts.form.save"));
  ASSERT_TRUE(t.frames_until([&] { return !t.pane().form_check_running(); }));
  EXPECT_EQ(t.pane().form_status(), "server rejected the saved credential");
  EXPECT_EQ(t.pane().form_kind(), AccountKind::kWebDav);
  EXPECT_EQ(t.pane().cells().display_name->get(), "Team files");
  EXPECT_FALSE(t.pane().cells().password->empty());
  EXPECT_TRUE(services::load_account_store(t.dir.root()).accounts.empty());
  // A validation failure is shown the same way, without a check.
  t.pane().cells().server_url->publish("http://files.example.org");
  ASSERT_TRUE(t.press("settings.accounts.form.save"));
  EXPECT_EQ(t.pane().form_status(), "use an HTTPS server URL");
  EXPECT_EQ(t.probe->seen().size(), 1u);
}

TEST(AccountsPaneTest, ACheckThreadThatCannotStartLeavesNothingInFlight) {
  PaneFixture t(
      [](std::move_only_function<void()>) -> kalu_ui::Status {
        return kalu_ui::fail("Resource temporarily unavailable");
      },
      testing::seed_accounts);
  fill_webdav_form(t);
  ASSERT_TRUE(t.press("settings.accounts.form.save"));
  EXPECT_EQ(t.pane().form_status(), "account check stopped unexpectedly");
  EXPECT_FALSE(t.pane().form_check_running());
  EXPECT_FALSE(t.pane().needs_idle_sync());
  ASSERT_TRUE(t.press("settings.accounts.reauth.webdav-1"));
  t.type("accounts.reauth.password", "new-secret");
  ASSERT_TRUE(t.press("settings.accounts.reauth.save"));
  EXPECT_EQ(t.pane().reauth_message(), "credential check stopped unexpectedly");
  EXPECT_FALSE(t.pane().reauth_check_running());
  EXPECT_EQ(secret_of(t, "webdav-1"), "dav-secret");
}

TEST(AccountsPaneTest, AThreadThatEndsWithoutAnAnswer) {
  // The body is dropped unrun: the channel closes empty.
  PaneFixture t([](std::move_only_function<void()>) -> kalu_ui::Status { return {}; });
  fill_webdav_form(t);
  ASSERT_TRUE(t.press("settings.accounts.form.save"));
  EXPECT_EQ(t.pane().form_status(), "account check stopped unexpectedly");
  EXPECT_FALSE(t.pane().form_check_running());
}

TEST(AccountsPaneTest, EditingWithoutTypingAPasswordChecksAndKeepsTheSavedOne) {
  PaneFixture t({}, testing::seed_accounts);
  ASSERT_TRUE(t.press("settings.accounts.edit.webdav-1"));
  EXPECT_EQ(t.pane().editing_id(), "webdav-1");
  EXPECT_EQ(t.pane().cells().display_name->get(), "Files");
  EXPECT_EQ(t.pane().cells().username->get(), "ann");
  EXPECT_EQ(t.pane().cells().server_url->get(), "https://files.example.org/dav/");
  t.h->frame();
  EXPECT_THAT(pane_texts_of(t.h->root()), Contains("Edit Files (WebDAV) account"));
  t.pane().cells().display_name->publish("Shared files");
  ASSERT_TRUE(t.press("settings.accounts.form.save"));
  ASSERT_TRUE(t.frames_until([&] { return !t.pane().form_kind(); }));
  EXPECT_EQ(t.probe->seen().at(0), Seen("webdav-1", "dav-secret"));
  const auto store = services::load_account_store(t.dir.root());
  EXPECT_EQ(store.get("webdav-1")->display_name, "Shared files");
  EXPECT_EQ(store.accounts.size(), 4u);
  EXPECT_EQ(secret_of(t, "webdav-1"), "dav-secret");
}

TEST(AccountsPaneTest, ReplacingASavedPassword) {
  PaneFixture t({}, testing::seed_accounts);
  // An account without a saved password has nothing to replace: the press
  // stays where it is.
  (void)t.doc().put(kRoot, "settings.accounts.reauth.caldav-1", true);
  t.h->frame();
  EXPECT_EQ(t.pane().reauth_target(), std::nullopt);
  EXPECT_EQ(t.doc().read_bool(kRoot, "settings.accounts.reauth.caldav-1"), true);

  ASSERT_TRUE(t.press("settings.accounts.reauth.webdav-1"));
  EXPECT_EQ(t.pane().reauth_target(), "webdav-1");
  ASSERT_TRUE(t.press("settings.accounts.reauth.save"));
  EXPECT_EQ(t.pane().reauth_message(), "enter a password or app password");

  // A refused check keeps the target and the saved password.
  t.probe->answer(kalu_ui::fail(std::string("server rejected the saved credential")));
  t.type("accounts.reauth.password", "  wrong-one ");
  ASSERT_TRUE(t.press("settings.accounts.reauth.save"));
  ASSERT_TRUE(t.frames_until([&] { return !t.pane().reauth_check_running(); }));
  EXPECT_EQ(t.pane().reauth_message(), "server rejected the saved credential");
  EXPECT_EQ(t.pane().reauth_target(), "webdav-1");
  EXPECT_EQ(secret_of(t, "webdav-1"), "dav-secret");
  t.h->frame();
  EXPECT_THAT(pane_texts_of(t.h->root()),
              Contains("Could not update credential: server rejected the saved credential"));

  // Held, so that the check is still running when the message is read.
  t.probe->answer(std::string("Server accepted the signed-in DAV request"));
  t.probe->hold();
  ASSERT_TRUE(t.press("settings.accounts.reauth.save"));
  EXPECT_EQ(t.pane().reauth_message(), "Checking the replacement credential\u2026");
  t.probe->release();
  ASSERT_TRUE(t.frames_until([&] { return !t.pane().reauth_check_running(); }));
  EXPECT_EQ(t.probe->seen().back(), Seen("webdav-1", "wrong-one"));
  EXPECT_EQ(secret_of(t, "webdav-1"), "wrong-one");
  EXPECT_EQ(t.pane().reauth_target(), std::nullopt);
  EXPECT_EQ(t.pane().reauth_message(), std::nullopt);
  EXPECT_TRUE(t.pane().cells().reauth_password->empty());
  expect_nowhere(t, "wrong-one");
}

TEST(AccountsPaneTest, RemovalTakesTwoStepsAndAStalePressIsIgnored) {
  PaneFixture t({}, testing::seed_accounts);
  ASSERT_TRUE(t.press("settings.accounts.remove.webdav-1"));
  EXPECT_EQ(t.pane().pending_removal(), (PendingRemoval{AccountKind::kWebDav, "webdav-1"}));
  EXPECT_NE(services::load_account_store(t.dir.root()).get("webdav-1"), nullptr);
  t.h->frame();
  EXPECT_THAT(pane_texts_of(t.h->root()), Contains("Remove account?"));
  ASSERT_TRUE(t.press("settings.accounts.remove.cancel"));
  EXPECT_EQ(t.pane().pending_removal(), std::nullopt);
  t.h->frame();
  EXPECT_THAT(pane_texts_of(t.h->root()), Not(Contains("Remove account?")));

  ASSERT_TRUE(t.press("settings.accounts.remove.webdav-1"));
  t.h->frame();
  ASSERT_TRUE(t.press("settings.accounts.remove.confirm"));
  EXPECT_EQ(services::load_account_store(t.dir.root()).get("webdav-1"), nullptr);
  EXPECT_EQ(secret_of(t, "webdav-1"), std::nullopt);
  EXPECT_EQ(services::load_sync_status(t.dir.root()).get("webdav-1"), nullptr);
  EXPECT_EQ(t.pane().removed_ids(), std::vector<std::string>{"webdav-1"});
  EXPECT_EQ(t.pane().pending_removal(), std::nullopt);

  // The button of the page before the rebuild is pressed once more.
  (void)t.doc().put(kRoot, "settings.accounts.remove.webdav-1", true);
  t.h->frame();
  EXPECT_EQ(t.pane().pending_removal(), std::nullopt);
  EXPECT_EQ(t.pane().form_status(), std::nullopt);
}

TEST(AccountsPaneTest, AFailedRemovalWaitsInTheFormStatusUntilAFormOpens) {
  PaneFixture t({}, testing::seed_accounts);
  ASSERT_TRUE(t.press("settings.accounts.remove.webdav-1"));
  // The sync statuses cannot be read: the removal is refused before writing.
  t.dir.put("accounts/sync-status.json", "{not json");
  ASSERT_TRUE(t.press("settings.accounts.remove.confirm"));
  ASSERT_TRUE(t.pane().form_status().has_value());
  EXPECT_TRUE(t.pane().form_status()->starts_with("could not remove account sync status: "));
  EXPECT_NE(services::load_account_store(t.dir.root()).get("webdav-1"), nullptr);
  t.h->frame();
  EXPECT_THAT(pane_texts_of(t.h->root()), Not(Contains(::testing::StartsWith("Could not save"))));
  ASSERT_TRUE(t.press("settings.accounts.add.mail"));
  EXPECT_EQ(t.pane().form_status(), std::nullopt);
}

// What a check of a saved account found stays on its row until the next
// check, or until the account changes: saved again, given a new password,
// removed. A check still running speaks for the account as it now is.
TEST(AccountsPaneTest, ACheckNoteStaysOnItsRowUntilTheAccountChanges) {
  using Note = operations::AccountCheckNote;
  PaneFixture t({}, testing::seed_accounts);
  const auto shown = [&](std::string_view id) -> std::optional<std::string> {
    const auto* text = dynamic_cast<const kalu_ui::widget::Text*>(
        kalu_ui::frame::find_by_id(t.h->root(), control::check_note(id)));
    if (text == nullptr) return std::nullopt;
    return text->text();
  };
  const auto noted = [&](Note note) {
    t.notes->publish(std::move(note));
    t.h->frame();
  };

  noted(Note{"webdav-1", "Checking the account\u2026", true, false});
  EXPECT_EQ(shown("webdav-1"), "Checking the account\u2026");
  noted(Note{"webdav-1", "Signed in.", false, false});
  EXPECT_EQ(shown("webdav-1"), "Signed in.");
  EXPECT_EQ(shown("ann@example.com"), std::nullopt);

  // Saved again through its form: forgotten.
  ASSERT_TRUE(t.press("settings.accounts.edit.webdav-1"));
  ASSERT_TRUE(t.press("settings.accounts.form.save"));
  ASSERT_TRUE(t.frames_until([&] { return !t.pane().form_kind(); }));
  t.h->frame();
  EXPECT_EQ(t.notes->get(), std::nullopt);
  EXPECT_EQ(shown("webdav-1"), std::nullopt);

  // A new password: forgotten; a note of another account stays.
  noted(Note{"webdav-1", "server rejected the saved credential", false, true});
  EXPECT_EQ(shown("webdav-1"), "server rejected the saved credential");
  ASSERT_TRUE(t.press("settings.accounts.reauth.webdav-1"));
  t.type("accounts.reauth.password", "new-one");
  ASSERT_TRUE(t.press("settings.accounts.reauth.save"));
  ASSERT_TRUE(t.frames_until([&] { return !t.pane().reauth_check_running(); }));
  t.h->frame();
  EXPECT_EQ(shown("webdav-1"), std::nullopt);

  // Removed: forgotten, unless it is a check still running.
  noted(Note{"ann@example.com", "Checking the account\u2026", true, false});
  ASSERT_TRUE(t.press("settings.accounts.remove.webdav-1"));
  ASSERT_TRUE(t.press("settings.accounts.remove.confirm"));
  EXPECT_EQ(t.notes->get(), (Note{"ann@example.com", "Checking the account\u2026", true, false}));
  noted(Note{"nextcloud-1", "Signed in.", false, false});
  ASSERT_TRUE(t.press("settings.accounts.remove.nextcloud-1"));
  ASSERT_TRUE(t.press("settings.accounts.remove.confirm"));
  EXPECT_EQ(t.notes->get(), std::nullopt);
}

TEST(AccountsPaneTest, PaneRequests) {
  PaneFixture t({}, testing::seed_accounts);
  t.requests->publish(AccountPaneRequest::OpenAddForm{AccountKind::kCalDav});
  t.h->frame();
  EXPECT_TRUE(t.requests->get().empty());
  EXPECT_EQ(t.pane().form_kind(), AccountKind::kCalDav);
  // An add button leaves an open form alone; a request replaces it.
  ASSERT_TRUE(t.press("settings.accounts.add.mail"));
  EXPECT_EQ(t.pane().form_kind(), AccountKind::kCalDav);
  EXPECT_EQ(t.doc().read_bool(kRoot, "settings.accounts.add.mail"), false);
  t.requests->publish(AccountPaneRequest::OpenAccount{"ann@example.com"});
  t.h->frame();
  EXPECT_EQ(t.pane().form_kind(), AccountKind::kMail);
  EXPECT_EQ(t.pane().editing_id(), "ann@example.com");
  EXPECT_EQ(t.pane().cells().email->get(), "ann@example.com");
  EXPECT_EQ(t.pane().cells().username->get(), "ann@example.com");
  // An unknown id opens nothing.
  t.requests->publish(AccountPaneRequest::OpenAccount{"nobody"});
  t.h->frame();
  EXPECT_EQ(t.pane().editing_id(), "ann@example.com");

  t.requests->publish(AccountPaneRequest::SubmitForm{});
  t.h->frame();
  ASSERT_TRUE(t.frames_until([&] { return !t.pane().form_kind(); }));
  EXPECT_EQ(t.probe->seen().at(0).second, "mail-secret");

  t.requests->publish(AccountPaneRequest::OpenAddForm{AccountKind::kNextcloud});
  t.h->frame();
  t.requests->publish(AccountPaneRequest::CancelForm{});
  t.h->frame();
  EXPECT_EQ(t.pane().form_kind(), std::nullopt);

  t.requests->publish(AccountPaneRequest::OpenReauthentication{"webdav-1"});
  t.h->frame();
  EXPECT_EQ(t.pane().reauth_target(), "webdav-1");
  t.requests->publish(AccountPaneRequest::SubmitReauthentication{});
  t.h->frame();
  EXPECT_EQ(t.pane().reauth_message(), "enter a password or app password");
  t.requests->publish(AccountPaneRequest::CancelReauthentication{});
  t.h->frame();
  EXPECT_EQ(t.pane().reauth_target(), std::nullopt);
  EXPECT_EQ(t.pane().reauth_message(), std::nullopt);
}

TEST(AccountsPaneTest, ReplacingAFormDropsTheCheckOfTheOldOne) {
  PaneFixture t;
  start_held_check(t);
  t.requests->publish(AccountPaneRequest::OpenAddForm{AccountKind::kMail});
  t.h->frame();
  EXPECT_FALSE(t.pane().form_check_running());
  EXPECT_EQ(t.pane().form_status(), std::nullopt);
  t.probe->release();
  ASSERT_TRUE(t.checks_ended());
  EXPECT_EQ(t.pane().form_kind(), AccountKind::kMail);
  EXPECT_TRUE(services::load_account_store(t.dir.root()).accounts.empty());
}

TEST(AccountsPaneTest, NeedsIdleSyncOnlyWhileACheckRuns) {
  PaneFixture t;
  EXPECT_FALSE(t.pane().needs_idle_sync());
  EXPECT_EQ(t.pane().next_wake_deadline(), std::nullopt);
  t.probe->hold();
  fill_webdav_form(t);
  ASSERT_TRUE(t.press("settings.accounts.form.save"));
  EXPECT_TRUE(t.pane().needs_idle_sync());
  t.probe->release();
  ASSERT_TRUE(t.frames_until([&] { return !t.pane().form_check_running(); }));
  EXPECT_FALSE(t.pane().needs_idle_sync());
}

}  // namespace
}  // namespace settings::panes::accounts
