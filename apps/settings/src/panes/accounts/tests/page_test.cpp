// The External Accounts page built from a model: what it says with no
// accounts and with some, which buttons it shows and how each is bound, and
// renders kept as PNG for a person to look at.

#include "panes/accounts/page.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "kalu_ui/frame.h"
#include "kalu_ui/widget/badge.h"
#include "kalu_ui/widget/button.h"
#include "kalu_ui/widget/card.h"
#include "kalu_ui/widget/text.h"
#include "kalu_ui/widget/text_input.h"
#include "operations/records.h"
#include "pane_fixture.h"

namespace settings::panes::accounts {
namespace {

namespace w = kalu_ui::widget;
using account_book::AccountSyncHealth;
using account_book::AccountSyncStatus;
using kalu_ui::Widget;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::Not;
using Op = operations::AccountOperation;

std::vector<std::string> texts_of(Widget& root) {
  std::vector<std::string> out;
  kalu_ui::frame::collect(root, [&](const Widget& widget) {
    if (const auto* t = dynamic_cast<const w::Text*>(&widget)) out.push_back(t->text());
    if (const auto* c = dynamic_cast<const w::Card*>(&widget)) out.push_back(c->title());
    if (const auto* b = dynamic_cast<const w::Badge*>(&widget)) out.push_back(b->text());
    if (const auto* b = dynamic_cast<const w::Button*>(&widget)) out.push_back(b->label());
    return false;
  });
  return out;
}

struct Page {
  AccountRows rows;
  account_book::AccountSyncStatusStore statuses;
  PageModel model;
  FormCells cells{
      kalu_ui::WakeSlot<std::string>::create({}), kalu_ui::WakeSlot<std::string>::create({}),
      kalu_ui::WakeSlot<std::string>::create({}), kalu_ui::WakeSlot<std::string>::create({}),
      kalu_ui::secret::SecretBuffer::create(),    kalu_ui::secret::SecretBuffer::create()};
  kalu_ui::WidgetBox widget;

  Page() {
    model.rows = &rows;
    model.statuses = &statuses;
    model.cells = &cells;
    model.now_unix = testing::kUnixNow;
  }
  Page& build(const AccountBindings& bindings = {}) {
    widget = build_page(model, bindings);
    return *this;
  }
  std::vector<std::string> texts() { return texts_of(*widget); }
  w::Button* button(std::string_view id) {
    return dynamic_cast<w::Button*>(kalu_ui::frame::find_by_id(*widget, id));
  }
};

AccountRow row(std::string id, std::string title, AccountKind kind, bool enabled = true) {
  return {std::move(id), std::move(title), "detail", enabled, kind};
}

TEST(AccountsPageTest, NoAccountsAtAll) {
  Page p;
  p.build();
  const auto texts = p.texts();
  EXPECT_THAT(texts, Contains("You have no accounts yet. Use \u201cAdd\u201d to connect your first "
                              "account."));
  EXPECT_THAT(texts, Contains(::testing::StartsWith("The desktop Secret Service is unavailable")));
  for (const char* caption : {"No email accounts yet.", "No calendar (caldav) accounts yet.",
                              "No files (webdav) accounts yet.", "No nextcloud accounts yet."}) {
    EXPECT_THAT(texts, Contains(caption));
  }
  for (const char* title : {"Email", "Calendar (CalDAV)", "Files (WebDAV)", "Nextcloud"}) {
    EXPECT_THAT(texts, Contains(title));
  }
  EXPECT_NE(p.button("settings.accounts.add.nextcloud"), nullptr);
  EXPECT_EQ(p.button("settings.accounts.form.save"), nullptr);
}

TEST(AccountsPageTest, RowsWithBadgesSyncLinesAndTheirButtons) {
  Page p;
  p.rows[0].push_back(row("a@example.com", "Ann", AccountKind::kMail));
  p.rows[2].push_back(row("webdav-1", "Files", AccountKind::kWebDav, /*enabled=*/false));
  p.statuses.set("a@example.com",
                 AccountSyncStatus{AccountSyncHealth::kHealthy, {}, testing::kUnixNow - 3600, {}});
  p.statuses.set("webdav-1", AccountSyncStatus{AccountSyncHealth::kHealthy, {}, {}, "ok"});
  p.build();
  const auto texts = p.texts();
  EXPECT_THAT(texts, Not(Contains(::testing::StartsWith("You have no accounts yet"))));
  EXPECT_THAT(texts, Contains("Up to date"));
  EXPECT_THAT(texts, Contains("Disabled"));
  EXPECT_THAT(texts, Contains("Last successful sync: 1 h ago"));
  EXPECT_THAT(texts, Contains("Last successful sync: never completed · ok"));
  EXPECT_EQ(p.button("settings.accounts.test.a@example.com")->label(), "Check server");
  EXPECT_EQ(p.button("settings.accounts.test.webdav-1")->label(), "Verify sign-in");
  EXPECT_EQ(p.button("settings.accounts.edit.webdav-1")->label(), "Edit");
  EXPECT_EQ(p.button("settings.accounts.reauth.webdav-1")->label(), "Sign in again");
  EXPECT_EQ(p.button("settings.accounts.remove.webdav-1")->label(), "Remove");
}

TEST(AccountsPageTest, WhatACheckFoundStandsOnItsAccountsRowOnly) {
  Page p;
  p.rows[0].push_back(row("a@example.com", "Ann", AccountKind::kMail));
  p.rows[2].push_back(row("webdav-1", "Files", AccountKind::kWebDav));
  const auto note_on = [&](std::string_view id) {
    return dynamic_cast<const w::Text*>(
        kalu_ui::frame::find_by_id(*p.widget, control::check_note(id)));
  };
  p.build();
  EXPECT_EQ(note_on("webdav-1"), nullptr);

  const struct {
    operations::AccountCheckNote note;
    bool muted;
  } cases[] = {
      {{"webdav-1", "Checking the account\u2026", true, false}, true},
      {{"webdav-1", "Signed in.", false, false}, true},
      {{"webdav-1", "server rejected the saved credential", false, true}, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.note.text);
    p.model.check_note = c.note;
    p.build();
    const w::Text* shown = note_on("webdav-1");
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(shown->text(), c.note.text);
    EXPECT_EQ(shown->muted(), c.muted);
    EXPECT_EQ(note_on("a@example.com"), nullptr);
  }
  // A note of an account no longer listed shows nowhere.
  p.model.check_note = operations::AccountCheckNote{"gone-1", "Signed in.", false, false};
  p.build();
  EXPECT_THAT(p.texts(), Not(Contains("Signed in.")));
}

TEST(AccountsPageTest, FormAndReplacementCards) {
  Page p;
  p.rows[1].push_back(row("caldav-1", "Cal", AccountKind::kCalDav));
  p.model.form_kind = AccountKind::kMail;
  p.model.form_status = "Checking the account before saving\u2026";
  p.model.reauth_target = "caldav-1";
  p.model.reauth_message = "server rejected the saved credential";
  p.build();
  const auto texts = p.texts();
  EXPECT_THAT(texts, Contains("Add Email account"));
  EXPECT_THAT(texts, Contains("Could not save: Checking the account before saving\u2026"));
  EXPECT_THAT(texts, Contains("Replace saved password"));
  EXPECT_THAT(texts, Contains("Could not update credential: server rejected the saved credential"));
  EXPECT_NE(kalu_ui::frame::find_by_id(*p.widget, "accounts.form.username"), nullptr);
  EXPECT_EQ(kalu_ui::frame::find_by_id(*p.widget, "accounts.form.server"), nullptr);
  const auto* password = dynamic_cast<const w::TextInput*>(
      kalu_ui::frame::find_by_id(*p.widget, "accounts.form.password"));
  ASSERT_NE(password, nullptr);
  EXPECT_TRUE(password->is_secret());
  EXPECT_EQ(password->text_input_kind(), w::TextInput::kKindPassword);
  const auto* reauth = dynamic_cast<const w::TextInput*>(
      kalu_ui::frame::find_by_id(*p.widget, "accounts.reauth.password"));
  ASSERT_NE(reauth, nullptr);
  EXPECT_TRUE(reauth->is_secret());

  p.model.form_kind = AccountKind::kWebDav;
  p.model.editing_id = "webdav-1";
  p.model.form_status.reset();
  p.build();
  EXPECT_THAT(p.texts(), Contains("Edit Files (WebDAV) account"));
  EXPECT_THAT(p.texts(), Not(Contains(::testing::StartsWith("Could not save"))));
  const auto* server = dynamic_cast<const w::TextInput*>(
      kalu_ui::frame::find_by_id(*p.widget, "accounts.form.server"));
  ASSERT_NE(server, nullptr);
  EXPECT_EQ(server->text_input_kind(), w::TextInput::kKindUrl);
}

TEST(AccountsPageTest, ARemovalCardOnlyWhileItsRowIsListed) {
  Page p;
  p.rows[3].push_back(row("nextcloud-1", "Cloud", AccountKind::kNextcloud));
  p.model.removal = PendingRemoval{AccountKind::kNextcloud, "nextcloud-1"};
  p.build();
  EXPECT_THAT(p.texts(),
              Contains(::testing::StartsWith("Cloud will be removed from this device.")));
  EXPECT_EQ(p.button("settings.accounts.remove.confirm")->label(), "Remove from this device");
  // A plain button: the control a client presses, no account action.
  EXPECT_EQ(p.button("settings.accounts.remove.confirm")->binding()->resource_id,
            "kalu.control:settings.accounts.remove.confirm");
  // The same id under another kind is not the pending account.
  p.model.removal = PendingRemoval{AccountKind::kWebDav, "nextcloud-1"};
  p.build();
  EXPECT_THAT(p.texts(), Not(Contains("Remove account?")));
}

// What the page asked the action surface for, per button.
struct Asked {
  std::string resource_id;
  std::string resource_label;
  std::string action;
  std::string action_label;
  std::uint8_t kind;
  std::string operation;
  bool destructive;
};

TEST(AccountsPageTest, ButtonsAskForTheirActions) {
  Page p;
  p.rows[0].push_back(row("a@example.com", "Ann", AccountKind::kMail));
  p.model.form_kind = AccountKind::kMail;
  p.model.reauth_target = "a@example.com";
  std::map<std::string, Asked> asked;
  const AccountBindings bindings =
      [&](std::string_view resource_id, std::string_view resource_label, std::string_view action,
          std::string_view action_label, std::uint8_t kind, const Op& operation,
          bool destructive) -> std::optional<kalu_actions::ActionBinding> {
    const std::string json = operations::write_record(operation);
    asked[std::string(action) + "@" + std::string(resource_id)] = Asked{std::string(resource_id),
                                                                        std::string(resource_label),
                                                                        std::string(action),
                                                                        std::string(action_label),
                                                                        kind,
                                                                        json,
                                                                        destructive};
    auto spec = kalu_actions::ActionSpec::nullary(std::string(action), std::string(action_label),
                                                  kind, "settings.account-operation", json);
    auto resource =
        kalu_actions::Resource::create(std::string(resource_id), "settings.external-account",
                                       std::string(resource_label))
            .with_action(std::move(*spec));
    return kalu_actions::ActionBinding::unit_for(resource, action).value();
  };
  p.build(bindings);

  const std::string section = "settings.section:external_accounts";
  const std::string account = "settings.account:a@example.com";
  const struct {
    const char* control;
    const char* action;
    std::string resource;
    std::uint8_t kind;
    const char* operation;
  } cases[] = {
      {"settings.accounts.add.mail", "add-mail", section, 2, R"({"Add":{"kind":"mail"}})"},
      {"settings.accounts.add.nextcloud", "add-nextcloud", section, 2,
       R"({"Add":{"kind":"nextcloud"}})"},
      {"settings.accounts.edit.a@example.com", "edit", account, 2,
       R"({"Edit":{"id":"a@example.com"}})"},
      {"settings.accounts.reauth.a@example.com", "reauthenticate", account, 2,
       R"({"Reauthenticate":{"id":"a@example.com"}})"},
      {"settings.accounts.test.a@example.com", "test", account, 1,
       R"({"Test":{"id":"a@example.com"}})"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.control);
    const auto found = asked.find(std::string(c.action) + "@" + c.resource);
    ASSERT_NE(found, asked.end());
    EXPECT_EQ(found->second.kind, c.kind);
    EXPECT_EQ(found->second.operation, c.operation);
    EXPECT_FALSE(found->second.destructive);
    EXPECT_EQ(found->second.resource_label, c.resource == section ? "External Accounts" : "Ann");
    const w::Button* button = p.button(c.control);
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(found->second.action_label, button->label());
    ASSERT_TRUE(button->binding().has_value());
    EXPECT_EQ(button->binding()->resource_id, c.resource);
    EXPECT_EQ(button->binding()->action, c.action);
  }
  // The row's Remove only opens the confirmation, and the form's and the
  // replacement card's buttons act on what the page holds: no action is
  // asked for, and each stays the control a client presses.
  EXPECT_EQ(asked.count("remove@" + account), 0u);
  for (const char* action :
       {"save-form", "cancel-form", "save-reauthentication", "cancel-reauthentication"}) {
    EXPECT_EQ(asked.count(action + ("@" + section)), 0u) << action;
  }
  for (const char* id : {"settings.accounts.remove.a@example.com", "settings.accounts.form.save",
                         "settings.accounts.form.cancel", "settings.accounts.reauth.save",
                         "settings.accounts.reauth.cancel"}) {
    SCOPED_TRACE(id);
    const w::Button* button = p.button(id);
    ASSERT_NE(button, nullptr);
    ASSERT_TRUE(button->binding().has_value());
    EXPECT_EQ(button->binding()->resource_id, std::string("kalu.control:") + id);
    kalu_ui::doc::Document document;
    EXPECT_EQ(button->resources(document).size(), 1u);
  }
}

TEST(AccountsPageTest, ThePaneBindsItsButtonsToTheSectionsActions) {
  testing::PaneFixture t({}, testing::seed_accounts);
  t.requests->publish(operations::AccountPaneRequest::OpenAddForm{AccountKind::kWebDav});
  t.h->frame();
  const struct {
    const char* control;
    const char* resource;
    const char* action;
    const char* payload;
  } cases[] = {
      {"settings.accounts.add.caldav", "settings.section:external_accounts", "add-caldav",
       R"({"Add":{"kind":"caldav"}})"},
      {"settings.accounts.test.ann@example.com", "settings.account:ann@example.com", "test",
       R"({"Test":{"id":"ann@example.com"}})"},
      {"settings.accounts.edit.webdav-1", "settings.account:webdav-1", "edit",
       R"({"Edit":{"id":"webdav-1"}})"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.control);
    const auto* button =
        dynamic_cast<const w::Button*>(kalu_ui::frame::find_by_id(t.h->root(), c.control));
    ASSERT_NE(button, nullptr);
    ASSERT_TRUE(button->binding().has_value());
    EXPECT_EQ(button->binding()->resource_id, c.resource);
    EXPECT_EQ(button->binding()->action, c.action);
    auto encoded = button->binding()->encode(kalu_actions::ControlValue());
    ASSERT_TRUE(encoded.has_value());
    EXPECT_EQ(encoded->action_id, "settings.account-operation");
    EXPECT_EQ(encoded->payload_text(), c.payload);
  }
  // The row's Remove (it only asks) and the open form's buttons stay the
  // controls a client presses.
  for (const char* id : {"settings.accounts.remove.webdav-1", "settings.accounts.form.save",
                         "settings.accounts.form.cancel"}) {
    const auto* button =
        dynamic_cast<const w::Button*>(kalu_ui::frame::find_by_id(t.h->root(), id));
    ASSERT_NE(button, nullptr) << id;
    EXPECT_EQ(button->binding()->resource_id, std::string("kalu.control:") + id);
  }
  // A click still writes the press the pane reads.
  ASSERT_TRUE(t.press("settings.accounts.edit.webdav-1"));
  EXPECT_EQ(t.pane().editing_id(), "webdav-1");
}

TEST(AccountsPageTest, RowButtonsAreAtLeastFortyHigh) {
  testing::PaneFixture t({}, testing::seed_accounts);
  for (const char* id : {"settings.accounts.edit.webdav-1", "settings.accounts.test.webdav-1",
                         "settings.accounts.remove.webdav-1"}) {
    const auto rect = t.h->rect_of(id);
    ASSERT_TRUE(rect.has_value()) << id;
    EXPECT_GE(rect->height(), 40.0) << id;
  }
  EXPECT_LT(t.h->rect_of("settings.accounts.add.mail")->height(), 40.0);
}

// ---- Renders -----------------------------------------------------------------------

void set_status(const testing::AccountsRoot& dir, std::string_view id, AccountSyncStatus status) {
  auto statuses = settings::accounts::load_sync_status(dir.root());
  statuses.set(std::string(id), std::move(status));
  ASSERT_TRUE(settings::accounts::save_sync_status(dir.root(), statuses).has_value());
}

// Checked by eye: accounts_empty.png and accounts.png.
TEST(AccountsPageTest, Renders) {
  const std::string dir = SETTINGS_PANES_ACCOUNTS_ARTIFACTS;
  {
    testing::PaneFixture t;
    t.h->resize({1040.0, 900.0});
    t.h->frame();
    EXPECT_TRUE(t.h->render_png(dir + "/accounts_empty.png").has_value());
  }
  testing::PaneFixture t({}, [](const testing::AccountsRoot& root) {
    testing::seed_accounts(root);
    set_status(root, "ann@example.com",
               {AccountSyncHealth::kHealthy, testing::kUnixNow, testing::kUnixNow - 420, {}});
    set_status(root, "webdav-1",
               {AccountSyncHealth::kNeedsAuthentication, testing::kUnixNow,
                testing::kUnixNow - 7200, "the server refused the saved password"});
    set_status(root, "nextcloud-1", {AccountSyncHealth::kSyncing, testing::kUnixNow, {}, {}});
  });
  t.h->resize({1040.0, 1900.0});
  t.probe->answer(kalu_ui::fail(std::string("IMAP server rejected the saved credential")));
  t.requests->publish(operations::AccountPaneRequest::OpenAccount{"ann@example.com"});
  t.h->frame();
  ASSERT_TRUE(t.press("settings.accounts.form.save"));
  ASSERT_TRUE(t.frames_until([&] { return !t.pane().form_check_running(); }));
  ASSERT_TRUE(t.press("settings.accounts.remove.nextcloud-1"));
  t.h->frame();
  const auto texts = texts_of(t.h->root());
  EXPECT_THAT(texts, Contains("Could not save: IMAP server rejected the saved credential"));
  for (const char* badge : {"Up to date", "Disabled", "Sign in again", "Syncing"}) {
    EXPECT_THAT(texts, Contains(badge));
  }
  EXPECT_TRUE(t.h->render_png(dir + "/accounts.png").has_value());
}

}  // namespace
}  // namespace settings::panes::accounts
