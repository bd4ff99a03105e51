// The Users page as the pane builds it in the headless harness: its cards
// and rows for given accounts and identities, which buttons each row
// offers, the bindings of the account buttons, and renders for people.

#include "panes/users/page.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "kalu_ui/frame.h"
#include "kalu_ui/widget/badge.h"
#include "kalu_ui/widget/button.h"
#include "kalu_ui/widget/card.h"
#include "kalu_ui/widget/text.h"
#include "panes/users/tests/pane_fixture.h"

namespace settings::panes::users {
namespace {

namespace w = kalu_ui::widget;
using kalu_ui::Widget;
using ::testing::Contains;
using ::testing::ElementsAre;
using testing::identity;
using ::testing::Not;
using testing::PaneFixture;
using testing::user;
using P = host_identity::Protection;

std::vector<std::string> texts_of(Widget& root) {
  std::vector<std::string> out;
  kalu_ui::frame::collect(root, [&](const Widget& wd) {
    if (const auto* t = dynamic_cast<const w::Text*>(&wd)) out.push_back(t->text());
    if (const auto* c = dynamic_cast<const w::Card*>(&wd)) out.push_back(c->title());
    if (const auto* b = dynamic_cast<const w::Badge*>(&wd)) out.push_back(b->text());
    if (const auto* b = dynamic_cast<const w::Button*>(&wd)) out.push_back(b->label());
    return false;
  });
  return out;
}

// The labels of the buttons whose ids end with `suffix`, in order.
std::vector<std::string> buttons_of(Widget& root, std::string_view suffix) {
  std::vector<std::string> out;
  kalu_ui::frame::collect(root, [&](const Widget& wd) {
    if (const auto* b = dynamic_cast<const w::Button*>(&wd)) {
      if (b->id() && b->id()->ends_with(suffix)) out.push_back(b->label());
    }
    return false;
  });
  return out;
}

const w::Button* button(PaneFixture& t, const std::string& id) {
  return dynamic_cast<const w::Button*>(t.h->find(id));
}

constexpr std::string_view kNoIdentity =
    "No signing identity is available. Identity setup runs in your personal session; it never "
    "runs as root.";
constexpr std::string_view kSecretService =
    "Secret Service is preferred. If the desktop keyring is locked, signing pauses and asks the "
    "session to unlock it; Kalu never silently copies that key into an app.";

TEST(UsersPage, NothingToListGivesFourCards) {
  PaneFixture t({}, std::vector<LocalIdentity>{});
  // (The card with a header button draws its title as a text of its own.)
  auto texts = texts_of(t.h->root());
  std::erase(texts, "");
  ASSERT_EQ(texts.size(), 9u);
  EXPECT_THAT(std::vector(texts.begin(), texts.begin() + 8),
              ElementsAre("Login accounts", "Add user",
                          "No regular login accounts found on this device.", "Your Kalu identities",
                          kNoIdentity, "Signing protection", kSecretService, "Identity boundary"));
  EXPECT_THAT(texts[8], ::testing::StartsWith("A login account may have several identities."));
}

TEST(UsersPage, AccountRowsAndTheirButtons) {
  PaneFixture t;
  Widget& root = t.h->root();
  const auto texts = texts_of(root);
  for (const char* expected :
       {"Ada Lovelace", "Administrator", "ada · UID 1001", "Grace Hopper", "Standard",
        "grace · UID 1002", "Pat Doe", "me · UID 1000 · signed in"}) {
    EXPECT_THAT(texts, Contains(expected));
  }
  EXPECT_THAT(buttons_of(root, ".ada"),
              ElementsAre("Make standard", "Enable automatic login", "Remove…"));
  EXPECT_THAT(buttons_of(root, ".grace"),
              ElementsAre("Make administrator", "Enable automatic login", "Remove…"));
  EXPECT_THAT(buttons_of(root, ".me"), ElementsAre());

  ASSERT_TRUE(t.press(control::remove("grace")));
  t.h->frame();
  EXPECT_THAT(buttons_of(root, ".grace"),
              ElementsAre("Make administrator", "Enable automatic login", "Remove, keep files",
                          "Remove account and files", "Cancel"));
  EXPECT_THAT(buttons_of(root, ".ada"),
              ElementsAre("Make standard", "Enable automatic login", "Remove…"));

  // Cancel dismisses the question and removes nothing.
  ASSERT_TRUE(t.press(control::cancel_remove("grace")));
  t.h->frame();
  EXPECT_THAT(buttons_of(root, ".grace"),
              ElementsAre("Make administrator", "Enable automatic login", "Remove…"));
  EXPECT_THAT(texts_of(root), Contains("Grace Hopper"));
}

TEST(UsersPage, AccountButtonsAreBoundToTheUsersSection) {
  PaneFixture t;
  ASSERT_TRUE(t.press(control::remove("grace")));
  t.h->frame();
  const struct {
    std::string id;
    const char* action;
  } cases[] = {
      {control::role("grace"), "set-admin"},
      {control::autologin("grace"), "set-autologin"},
      {control::confirm_remove_keep("grace"), "remove-keep-files"},
      {control::confirm_remove("grace"), "remove-files"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.id);
    const w::Button* b = button(t, c.id);
    ASSERT_NE(b, nullptr);
    ASSERT_TRUE(b->binding());
    EXPECT_EQ(b->binding()->resource_id, "settings.user:grace");
    EXPECT_EQ(b->binding()->action, c.action);
  }
  // The removal's first step only asks: it carries only its own control.
  ASSERT_NE(button(t, control::remove("ada")), nullptr);
  ASSERT_TRUE(button(t, control::remove("ada"))->binding());
  EXPECT_EQ(button(t, control::remove("ada"))->binding()->resource_id,
            "kalu.control:" + control::remove("ada"));
}

TEST(UsersPage, IdentityRows) {
  PaneFixture t;
  Widget& root = t.h->root();
  const auto texts = texts_of(root);
  EXPECT_THAT(texts, Contains("Home"));
  EXPECT_THAT(texts, Contains("Active"));
  EXPECT_THAT(texts, Contains("home · key 0a1b2c3d… · 2-of-3 · Migration required"));
  // An empty label shows the id.
  EXPECT_THAT(texts, Contains("work-7f"));
  EXPECT_THAT(texts, Contains("Available"));
  EXPECT_THAT(texts, Contains("work-7f · key ff001001… · 2-of-3 · Private session file + "
                              "app-scoped signing broker"));
  // The active identity: no Use, no removal, but Protect now.
  EXPECT_THAT(buttons_of(root, ".home"), ElementsAre("Protect now"));
  EXPECT_THAT(buttons_of(root, ".work-7f"), ElementsAre("Use", "Remove…"));
  // The private-file caption joins the protection card.
  EXPECT_THAT(texts, Contains(::testing::StartsWith("This session is using the compatible")));
  EXPECT_THAT(texts, Not(Contains(::testing::StartsWith("Hardware-backed means"))));
}

TEST(UsersPage, IdentityRemovalMovesToTheLastPressed) {
  PaneFixture t({}, std::vector<LocalIdentity>{identity("a", "A", true, P::SecretService),
                                               identity("b", "B", false, P::HardwareBacked),
                                               identity("c", "C", false, P::SecretService)});
  Widget& root = t.h->root();
  EXPECT_THAT(texts_of(root), Contains(::testing::StartsWith("Hardware-backed means")));
  ASSERT_TRUE(t.press(control::identity_remove("b")));
  t.h->frame();
  EXPECT_THAT(buttons_of(root, ".b"), ElementsAre("Use", "Remove identity", "Cancel"));
  ASSERT_TRUE(t.press(control::identity_remove("c")));
  t.h->frame();
  EXPECT_THAT(buttons_of(root, ".b"), ElementsAre("Use", "Remove…"));
  EXPECT_THAT(buttons_of(root, ".c"), ElementsAre("Use", "Remove identity", "Cancel"));
  EXPECT_THAT(t.identities->calls(), ::testing::IsEmpty());
}

TEST(UsersPage, WhileTheFirstReadingRunsTheListSaysSo) {
  auto users = std::make_shared<testing::FakeUsers>(testing::three_accounts());
  users->gate.close();
  kalu_ui::harness::Harness h(kalu_ui::widget::boxed(UsersPane(users, nullptr)));
  h.frame();
  EXPECT_THAT(texts_of(h.root()), Contains("Reading the login accounts…"));
  EXPECT_THAT(texts_of(h.root()), Not(Contains("No regular login accounts found on this device.")));
  users->gate.open();
  auto& pane = dynamic_cast<UsersPane&>(h.root());
  for (int i = 0; i < 2000 && pane.busy(); ++i) {
    h.wait_for_frame(std::chrono::milliseconds(5));
    h.frame();
  }
  h.frame();
  EXPECT_THAT(texts_of(h.root()), Contains("Ada Lovelace"));
}

// Checked by eye: users.png, users_empty.png and users_form_error.png.
TEST(UsersPage, Renders) {
  const std::string dir = SETTINGS_PANES_USERS_ARTIFACTS;
  {
    PaneFixture t({}, std::vector<LocalIdentity>{}, {1280.0, 800.0});
    EXPECT_TRUE(t.h->render_png(dir + "/users_empty.png").has_value());
  }
  {
    std::vector<LocalUser> accounts = testing::three_accounts();
    accounts[1].automatic_login = true;
    PaneFixture t(accounts, testing::two_identities(), {1280.0, 1100.0});
    ASSERT_TRUE(t.press(control::remove("grace")));
    t.h->frame();
    EXPECT_TRUE(t.h->render_png(dir + "/users.png").has_value());
  }
  {
    PaneFixture t(testing::three_accounts(), testing::two_identities(), {1280.0, 1200.0});
    ASSERT_TRUE(t.press(control::kAdd));
    t.type(control::kUsername, "9lives");
    t.users->answer_next("A user name cannot start with '-' or a digit.");
    ASSERT_TRUE(t.press(control::kSaveButton));
    ASSERT_TRUE(t.settle());
    t.type(control::kFullName, "Lin Yu");
    t.type(control::kPassword, "secret-typed");
    t.h->frame();
    EXPECT_TRUE(t.h->render_png(dir + "/users_form_error.png").has_value());
  }
}

}  // namespace
}  // namespace settings::panes::users
