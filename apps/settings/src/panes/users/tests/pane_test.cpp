// The Users pane driven as a person and an automation client drive it, on
// fake backends: operations handed over as the executor does, buttons
// pressed and fields typed in the headless harness. Then what the backends
// were asked, what completed, what the page shows, and that the typed
// password got nowhere.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <stdexcept>

#include "kalu_actions/json.h"
#include "kalu_ui/frame.h"
#include "kalu_ui/log.h"
#include "kalu_ui/widget/badge.h"
#include "kalu_ui/widget/button.h"
#include "kalu_ui/widget/card.h"
#include "kalu_ui/widget/text.h"
#include "panes/users/tests/pane_fixture.h"

namespace settings::panes::users {
namespace {

using kalu_ui::Widget;
using kalu_ui::doc::kRoot;
using testing::Completion;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using testing::key_of;
using ::testing::Not;
using testing::PaneFixture;
using C = operations::UserOperationCases;

constexpr std::string_view kTyped = "Typed-Pa55word-9";

std::vector<std::string> pane_texts_of(Widget& root) {
  std::vector<std::string> out;
  kalu_ui::frame::collect(root, [&](const Widget& w) {
    if (const auto* t = dynamic_cast<const kalu_ui::widget::Text*>(&w)) out.push_back(t->text());
    if (const auto* c = dynamic_cast<const kalu_ui::widget::Card*>(&w)) out.push_back(c->title());
    if (const auto* b = dynamic_cast<const kalu_ui::widget::Badge*>(&w)) out.push_back(b->text());
    if (const auto* b = dynamic_cast<const kalu_ui::widget::Button*>(&w)) {
      out.push_back(b->label());
    }
    return false;
  });
  return out;
}

Completion succeeded(const UserOperation& op, std::string said) {
  return Completion::Succeeded{key_of(op), std::move(said)};
}
Completion failed(const UserOperation& op, std::string message) {
  return Completion::Failed{key_of(op), std::move(message)};
}

TEST(UsersPaneTest, TheFirstReadingRunsOnTheWorker) {
  PaneFixture t;
  EXPECT_TRUE(t.pane().loaded());
  EXPECT_EQ(t.users->loads(), 1);
  ASSERT_EQ(t.pane().users().size(), 3u);
  EXPECT_EQ(t.pane().identities().size(), 2u);
  EXPECT_TRUE(t.pane().link().hosted());
}

TEST(UsersPaneTest, OperationsThatNeedNoChangeCompleteAtOnce) {
  PaneFixture t;
  const struct {
    UserOperation op;
    Completion expected;
  } cases[] = {
      // The account's current role or switch: nothing to call.
      {UserOperation{C::SetAdmin{"ada", true}},
       succeeded(UserOperation{C::SetAdmin{"ada", true}}, "ada is already an administrator.")},
      {UserOperation{C::SetAutologin{"grace", false}},
       succeeded(UserOperation{C::SetAutologin{"grace", false}},
                 "Automatic login is already off for grace.")},
      // The signed-in account and one that is not listed are out of reach.
      {UserOperation{C::Remove{"me", true}},
       failed(UserOperation{C::Remove{"me", true}}, std::string(kAccountGone))},
      {UserOperation{C::SetAdmin{"nobody", true}},
       failed(UserOperation{C::SetAdmin{"nobody", true}}, std::string(kAccountGone))},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(key_of(c.op));
    t.start(c.op);
    EXPECT_EQ(t.completion->get(), c.expected);
    EXPECT_TRUE(t.requests->get().empty());
    EXPECT_FALSE(t.pane().busy());
  }
  EXPECT_THAT(t.users->calls(), IsEmpty());
  EXPECT_EQ(t.users->loads(), 1);
  EXPECT_EQ(t.pane().last_error(), std::string(kAccountGone));
}

TEST(UsersPaneTest, AChangeCompletesWhenTheWorkerAnswersAndTheListIsReadAgain) {
  PaneFixture t;
  const UserOperation op{C::SetAdmin{"grace", true}};
  t.users->gate.close();
  t.start(op);
  EXPECT_TRUE(t.pane().busy());
  EXPECT_EQ(t.completion->get(), Completion(Completion::Pending{key_of(op)}));

  // While it runs, the next request waits in its cell and stays pending.
  const UserOperation next{C::Remove{"ada", false}};
  t.completion->publish(Completion::Pending{key_of(next)});
  t.requests->publish(operations::DeviceLocalRequest(std::in_place_type<UserOperation>, next));
  t.h->frame();
  EXPECT_FALSE(t.requests->get().empty());
  // The change buttons are disabled meanwhile; a press that still comes is dropped.
  ASSERT_NE(t.h->find(control::autologin("ada")), nullptr);
  EXPECT_FALSE(t.h->find(control::autologin("ada"))->is_enabled());
  (void)t.doc().put(kRoot, control::autologin("ada"), kalu_ui::doc::Scalar(true));
  t.h->frame();
  EXPECT_EQ(t.doc().read_bool(kRoot, control::autologin("ada")), false);

  t.users->gate.open();
  ASSERT_TRUE(t.settle());
  // The first change completed only its own operation; then the waiting
  // request was taken and ran.
  EXPECT_THAT(t.users->calls(), ElementsAre("role grace admin", "delete ada keep"));
  EXPECT_EQ(t.completion->get(), succeeded(next, "Removed user ada."));
  EXPECT_TRUE(t.requests->get().empty());
  ASSERT_EQ(t.pane().users().size(), 2u);
  EXPECT_TRUE(t.pane().users()[0].administrator);
  EXPECT_EQ(t.pane().users()[0].username, "grace");
  EXPECT_EQ(t.pane().last_error(), std::nullopt);
}

TEST(UsersPaneTest, AFailedChangeFailsItsOperationAndShowsTheErrorCard) {
  PaneFixture t;
  t.users->answer_next("userdel: user grace is currently used by process 4242");
  const UserOperation op{C::Remove{"grace", true}};
  t.start(op);
  ASSERT_TRUE(t.settle());
  EXPECT_EQ(t.completion->get(),
            failed(op, "userdel: user grace is currently used by process 4242"));
  const auto texts = pane_texts_of(t.h->root());
  ASSERT_GE(texts.size(), 2u);
  EXPECT_EQ(texts[0], "Could not apply that change");
  EXPECT_EQ(texts[1], "userdel: user grace is currently used by process 4242");

  // A later success clears the card.
  ASSERT_TRUE(t.press(control::role("grace")));
  ASSERT_TRUE(t.settle());
  EXPECT_EQ(t.pane().last_error(), std::nullopt);
  EXPECT_THAT(pane_texts_of(t.h->root()), Not(Contains("Could not apply that change")));
  // The page's press completed nothing.
  EXPECT_EQ(t.completion->get(),
            failed(op, "userdel: user grace is currently used by process 4242"));
}

TEST(UsersPaneTest, ARequestWithoutItsPendingOperationIsStale) {
  PaneFixture t;
  const UserOperation op{C::SetAdmin{"grace", true}};
  t.completion->publish(Completion::Pending{key_of(UserOperation{C::SetAdmin{"ada", false}})});
  t.requests->publish(operations::DeviceLocalRequest(std::in_place_type<UserOperation>, op));
  t.h->frame();
  EXPECT_TRUE(t.requests->get().empty());
  EXPECT_EQ(t.pane().last_error(), std::string(kStaleCommand));
  EXPECT_THAT(t.users->calls(), IsEmpty());
  // The other operation is left as it was.
  EXPECT_EQ(t.completion->get(),
            Completion(Completion::Pending{key_of(UserOperation{C::SetAdmin{"ada", false}})}));
  t.h->frame();
  EXPECT_THAT(pane_texts_of(t.h->root()), Contains(std::string(kStaleCommand)));
}

TEST(UsersPaneTest, TheAccountButtonsChangeTheirAccount) {
  PaneFixture t;
  ASSERT_TRUE(t.press(control::role("ada")));
  ASSERT_TRUE(t.settle());
  ASSERT_TRUE(t.press(control::autologin("grace")));
  ASSERT_TRUE(t.settle());
  ASSERT_TRUE(t.press(control::remove("grace")));
  EXPECT_EQ(t.pane().pending_user_removal(), "grace");
  ASSERT_TRUE(t.press(control::confirm_remove_keep("grace")));
  ASSERT_TRUE(t.settle());
  EXPECT_EQ(t.pane().pending_user_removal(), std::nullopt);
  EXPECT_THAT(t.users->calls(),
              ElementsAre("role ada standard", "autologin grace on", "delete grace keep"));
  ASSERT_EQ(t.pane().users().size(), 2u);
  EXPECT_FALSE(t.pane().users()[0].administrator);
  EXPECT_EQ(t.completion->get(), Completion(Completion::Idle{}));
}

TEST(UsersPaneTest, RemoveMovesBetweenUsers) {
  PaneFixture t({testing::user("ada", "Ada", 1001, true),
                 testing::user("grace", "Grace", 1002, false),
                 testing::user("lin", "Lin", 1003, false)});
  ASSERT_TRUE(t.press(control::remove("ada")));
  t.h->frame();
  ASSERT_TRUE(t.press(control::remove("lin")));
  t.h->frame();
  EXPECT_EQ(t.pane().pending_user_removal(), "lin");
  EXPECT_EQ(t.h->find(control::confirm_remove("ada")), nullptr);
  EXPECT_NE(t.h->find(control::remove("ada")), nullptr);
  EXPECT_NE(t.h->find(control::confirm_remove("lin")), nullptr);
  EXPECT_NE(t.h->find(control::confirm_remove_keep("lin")), nullptr);
  EXPECT_THAT(t.users->calls(), IsEmpty());
}

TEST(UsersPaneTest, AFailedCreateKeepsTheFormOpenWithEveryFieldEmpty) {
  PaneFixture t;
  ASSERT_TRUE(t.press(control::kAdd));
  ASSERT_TRUE(t.pane().form_open());
  t.type(control::kFullName, "  Lin Yu ");
  t.type(control::kUsername, "lin");
  t.type(control::kPassword, kTyped);
  t.users->answer_next("A user name cannot start with '-' or a digit.");
  ASSERT_TRUE(t.press(control::kSaveButton));
  ASSERT_TRUE(t.settle());
  EXPECT_THAT(t.users->calls(), ElementsAre("create lin/Lin Yu"));
  EXPECT_THAT(t.users->passwords(), ElementsAre(std::string(kTyped)));
  EXPECT_TRUE(t.pane().form_open());
  EXPECT_EQ(t.pane().last_error(), "A user name cannot start with '-' or a digit.");
  EXPECT_EQ(t.doc().read_text(kRoot, control::kFullName), "");
  EXPECT_EQ(t.doc().read_text(kRoot, control::kUsername), "");
  EXPECT_TRUE(t.pane().password_buffer()->empty());
  const auto texts = pane_texts_of(t.h->root());
  ASSERT_GE(texts.size(), 3u);
  EXPECT_EQ(texts[0], "Could not apply that change");
  EXPECT_EQ(texts[2], "Add login account");
}

TEST(UsersPaneTest, CreateClosesTheFormAndThePasswordIsLeftNowhere) {
  kalu_ui::log::ScopedCapture log;
  PaneFixture t;
  ASSERT_TRUE(t.press(control::kAdd));
  t.type(control::kFullName, "Lin Yu");
  t.type(control::kUsername, "lin");
  t.type(control::kPassword, kTyped);
  t.h->frame();
  EXPECT_FALSE(t.pane().password_buffer()->empty());
  ASSERT_TRUE(t.press(control::kSaveButton));
  ASSERT_TRUE(t.settle());
  EXPECT_THAT(t.users->calls(), ElementsAre("create lin/Lin Yu"));
  EXPECT_THAT(t.users->passwords(), ElementsAre(std::string(kTyped)));
  EXPECT_FALSE(t.pane().form_open());
  ASSERT_EQ(t.pane().users().size(), 4u);
  EXPECT_EQ(t.pane().users()[3].username, "lin");

  // Not in the buffer, the document, the page's accessibility, text review,
  // state or resources, nor a log event.
  EXPECT_TRUE(t.pane().password_buffer()->empty());
  for (kalu_ui::doc::Document* d : {&t.doc(), &t.h->document()}) {
    for (const std::string& key : d->keys(kRoot)) {
      EXPECT_EQ(d->read_text(kRoot, key).value_or("").find(kTyped), std::string::npos) << key;
    }
  }
  ASSERT_TRUE(t.press(control::kAdd));
  t.h->frame();
  kalu_ui::frame::collect(t.h->root(), [&](const Widget& w) {
    if (auto node = w.accessibility()) {
      for (const std::string* s : {&node->label, &node->value, &node->description, &node->id}) {
        EXPECT_EQ(s->find(kTyped), std::string::npos) << *s;
      }
    }
    if (auto review = w.text_review()) {
      EXPECT_EQ(review->text.find(kTyped), std::string::npos);
    }
    if (auto state = w.get_state()) {
      EXPECT_EQ(state->find(kTyped), std::string::npos);
    }
    for (const auto& resource : w.resources(t.doc())) {
      EXPECT_EQ(kalu_actions::to_json(resource).dump().find(kTyped), std::string::npos);
    }
    return false;
  });
  for (const auto& event : log.events()) {
    EXPECT_EQ(event.message.find(kTyped), std::string::npos);
    for (const auto& field : event.fields) {
      EXPECT_EQ(field.value.find(kTyped), std::string::npos) << field.name;
    }
  }
}

TEST(UsersPaneTest, CancelEmptiesTheFormAndThePassword) {
  PaneFixture t;
  ASSERT_TRUE(t.press(control::kAdd));
  t.type(control::kUsername, "lin");
  t.type(control::kPassword, kTyped);
  t.h->frame();
  ASSERT_TRUE(t.press(control::kCancelButton));
  EXPECT_FALSE(t.pane().form_open());
  EXPECT_TRUE(t.pane().password_buffer()->empty());
  EXPECT_EQ(t.doc().read_text(kRoot, control::kUsername), "");
  EXPECT_THAT(t.users->calls(), IsEmpty());
}

TEST(UsersPaneTest, OneFrameRunsTheRequestBeforeTheFormBeforeTheAccountButtons) {
  PaneFixture t;
  const UserOperation op{C::SetAutologin{"ada", true}};
  (void)t.doc().put(kRoot, control::kAdd, kalu_ui::doc::Scalar(true));
  (void)t.doc().put(kRoot, control::role("grace"), kalu_ui::doc::Scalar(true));
  t.users->gate.close();
  t.start(op);
  // The request took the worker; the form opened; the role press found the
  // pane busy and was dropped.
  EXPECT_TRUE(t.pane().form_open());
  EXPECT_EQ(t.doc().read_bool(kRoot, control::role("grace")), false);
  t.users->gate.open();
  ASSERT_TRUE(t.settle());
  EXPECT_THAT(t.users->calls(), ElementsAre("autologin ada on"));
  EXPECT_EQ(t.completion->get(), succeeded(op, "Automatic login is now on for ada."));
}

TEST(UsersPaneTest, IdentityButtons) {
  PaneFixture t;
  ASSERT_TRUE(t.press(control::identity_remove("work-7f")));
  EXPECT_EQ(t.pane().pending_identity_removal(), "work-7f");
  t.h->frame();
  ASSERT_TRUE(t.press(control::identity_protect("home")));
  ASSERT_TRUE(t.settle());
  ASSERT_TRUE(t.press(control::identity_activate("work-7f")));
  ASSERT_TRUE(t.settle());
  // Cancel dismisses the question and removes nothing.
  ASSERT_TRUE(t.press(control::identity_remove("home")));
  t.h->frame();
  ASSERT_TRUE(t.press(control::identity_cancel_remove("home")));
  t.h->frame();
  EXPECT_EQ(t.pane().pending_identity_removal(), std::nullopt);
  ASSERT_TRUE(t.press(control::identity_remove("home")));
  t.h->frame();
  ASSERT_TRUE(t.press(control::identity_confirm_remove("home")));
  ASSERT_TRUE(t.settle());
  EXPECT_THAT(t.identities->calls(), ElementsAre("protect home", "use work-7f", "remove home"));
  ASSERT_EQ(t.pane().identities().size(), 1u);
  EXPECT_TRUE(t.pane().identities()[0].active);
  EXPECT_EQ(t.pane().pending_identity_removal(), std::nullopt);
}

TEST(UsersPaneTest, WithoutAnIdentityStoreNoIdentityIsListed) {
  PaneFixture t(testing::three_accounts(), std::nullopt);
  EXPECT_THAT(t.pane().identities(), IsEmpty());
  EXPECT_THAT(pane_texts_of(t.h->root()),
              Contains("No signing identity is available. Identity setup runs in your personal "
                       "session; it never runs as root."));
}

// A backend that throws: the worker still answers, so the operation ends
// and the pane is free again.
struct ThrowingUsers final : UsersBackend {
  kalu_ui::Status create_user(const std::string&, const std::string&, const Password&) override {
    throw std::runtime_error("create broke");
  }
  kalu_ui::Status delete_user(const LocalUser&, bool) override {
    throw std::runtime_error("delete broke");
  }
  kalu_ui::Status set_role(const std::string&, bool) override { throw 42; }
  kalu_ui::Status set_automatic_login(const std::string&, bool) override {
    throw std::runtime_error("autologin broke");
  }
  std::vector<LocalUser> load_users() override { return testing::three_accounts(); }
};

TEST(UsersPaneTest, ABackendThatThrowsStillEndsTheOperation) {
  auto requests = operations::DeviceLocalRequestCell::create({});
  auto completion = operations::OperationCompletionCell::create({});
  kalu_ui::harness::Harness h(
      kalu_ui::widget::boxed(UsersPane(std::make_shared<ThrowingUsers>(), nullptr)
                                 .with_operation_requests(requests)
                                 .with_operation_completion(completion)));
  auto& pane = dynamic_cast<UsersPane&>(h.root());
  const auto settle = [&] {
    h.frame();
    for (int i = 0; i < 4000 && pane.busy(); ++i) {
      h.wait_for_frame(std::chrono::milliseconds(5));
      h.frame();
    }
  };
  settle();
  for (const UserOperation& op :
       {UserOperation{C::SetAdmin{"grace", true}}, UserOperation{C::SetAutologin{"ada", true}}}) {
    completion->publish(Completion::Pending{key_of(op)});
    requests->publish(operations::DeviceLocalRequest(std::in_place_type<UserOperation>, op));
    settle();
    ASSERT_FALSE(pane.busy());
    const Completion state = completion->get();
    const auto* failed_state = std::get_if<Completion::Failed>(&state);
    ASSERT_NE(failed_state, nullptr) << key_of(op);
    EXPECT_FALSE(failed_state->message.empty());
    // The list was read again after the failure.
    EXPECT_EQ(pane.users().size(), 3u);
  }
  EXPECT_EQ(pane.last_error(), "autologin broke");
}

}  // namespace
}  // namespace settings::panes::users
