#include <fmt/format.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app_fixture.h"
#include "operation_fixture.h"
#include "operations/mailbox.h"

namespace settings::settings_app {
namespace {

using operations::AccountKind;
using operations::AccountPaneRequest;
using Request = operations::AccountPaneRequest;
using testing::AppFixture;
using testing::completed;
using testing::not_handled;
using testing::op_id;
using testing::rejected;

constexpr std::string_view kOpenPane = "settings.open-pane";
constexpr std::string_view kAccounts = "settings.account-operation";
constexpr std::string_view kUpdates = "settings.update-operation";
constexpr std::string_view kMismatch = "operation kind does not match account operation";

TEST(EntryPoints, TheSeventeenActionIdsInOrder) {
  AppFixture t;
  const std::vector<std::string_view> kinds = t.app->resource_operation_kinds();
  ASSERT_EQ(kinds.size(), 17u);
  EXPECT_EQ(kinds[0], kOpenPane);
  EXPECT_EQ(kinds[1], kAccounts);
  EXPECT_EQ(kinds[2], kUpdates);
  EXPECT_EQ(kinds[3], "settings.keyboard-source-operation");
  EXPECT_EQ(kinds[15], "settings.device-mesh-operation");
  EXPECT_EQ(kinds[16], "settings.agent-provider-operation");
  // Before the first layout too: the root's handler set holds them.
  EXPECT_EQ(t.app->resource_operation_handlers().size(), 17u);
}

// Operations that only move the interface: the outcome of a start, and the
// pane shown afterwards (starting from Network).
TEST(EntryPoints, OpenPaneAndRollbackReviewMoveTheInterface) {
  struct Case {
    std::string_view action;
    kalu_ui::OperationKind kind;
    std::string_view payload;
    kalu_ui::DeviceLocalOutcome outcome;
    panes::Pane shown;
  };
  const Case cases[] = {
      {kOpenPane, 2, R"("sound")", testing::said("Opened Sound."), panes::Pane::kSound},
      {kOpenPane, 2, R"("external_accounts")", testing::said("Opened External Accounts."),
       panes::Pane::kExternalAccounts},
      {kOpenPane, 2, R"("Sound")", rejected("Settings pane is no longer available"),
       panes::Pane::kNetwork},
      {kOpenPane, 2, R"("")", rejected("Settings pane is no longer available"),
       panes::Pane::kNetwork},
      {kOpenPane, 1, R"("sound")", not_handled(), panes::Pane::kNetwork},
      {kOpenPane, 0, R"("sound")", not_handled(), panes::Pane::kNetwork},
      {kUpdates, 2, R"("ReviewRollback")", testing::said("Opened Updates to review the rollback."),
       panes::Pane::kUpdates},
      {kUpdates, 2, R"("Check")",
       rejected("operation kind does not match update operation: \"Check\" takes operation kind "
                "1; kind 2 takes only \"ReviewRollback\""),
       panes::Pane::kNetwork},
      // A device-local id sent with a kind it does not take is told the kind.
      {kUpdates, 3, R"("ReviewRollback")",
       rejected("operation kind does not match update operation: settings.update-operation "
                "takes operation kind 1 (kind 2 for \"ReviewRollback\" only), not 3"),
       panes::Pane::kNetwork},
      {"settings.display-operation", 2, R"({"SetBrightness":{"value":0.5}})",
       rejected("operation kind does not match display operation: settings.display-operation "
                "takes operation kind 1, not 2"),
       panes::Pane::kNetwork},
      {"settings.power-operation", 0, R"("Suspend")",
       rejected("operation kind does not match power operation: settings.power-operation takes "
                "operation kind 1, not 0"),
       panes::Pane::kNetwork},
      {"settings.keyboard-source-operation", 3, "{}",
       rejected("operation kind does not match keyboard source operation: "
                "settings.keyboard-source-operation takes operation kind 1, not 3"),
       panes::Pane::kNetwork},
      {"settings.unknown-operation", 1, "{}", not_handled(), panes::Pane::kNetwork},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.action << " " << int(c.kind) << " " << c.payload);
    AppFixture t;
    t.harness.frame();
    EXPECT_EQ(testing::start(*t.app, op_id(1), c.kind, c.action, c.payload), c.outcome);
    EXPECT_EQ(t.app->selected_category(), c.shown);
  }
  // A payload that does not read is refused with the reader's text.
  AppFixture t;
  auto bad = testing::start(*t.app, op_id(1), 2, kOpenPane, "network");
  ASSERT_TRUE(std::holds_alternative<kalu_ui::DeviceLocalOutcome::Rejected>(bad.value));
  EXPECT_FALSE(std::get<kalu_ui::DeviceLocalOutcome::Rejected>(bad.value).message.empty());
  EXPECT_EQ(t.app->selected_category(), panes::Pane::kNetwork);
}

// Account operations that open, submit and close forms: what a start
// answers, what an invocation answers, and the request the pane is given.
// What is taken shows External Accounts; a refusal shows nothing.
TEST(EntryPoints, AccountFormRequestsByKindAndVariant) {
  struct Case {
    kalu_ui::OperationKind kind;
    std::string_view payload;
    std::optional<Request> request;  // none: refused with `error`
    std::string_view error = {};     // empty: the kind mismatch, saying which kind it takes
  };
  // Saves, checks and removals take kind 1; the form moves take 2.
  auto mismatch = [](const Case& c) {
    const bool effect = c.payload.find("Submit") != std::string_view::npos ||
                        c.payload.find("Test") != std::string_view::npos ||
                        c.payload.find("Remove") != std::string_view::npos;
    return fmt::format("{}: {} takes operation kind {}, not {}", kMismatch, c.payload,
                       effect ? 1 : 2, int(c.kind));
  };
  const Case cases[] = {
      {0, R"({"Open":{"id":"a"}})", std::nullopt},
      {0, R"("SubmitForm")", std::nullopt},
      {1, R"("SubmitForm")", Request(Request::SubmitForm{})},
      {1, R"("SubmitReauthentication")", Request(Request::SubmitReauthentication{})},
      {1, R"({"Add":{"kind":"mail"}})", std::nullopt},
      {1, R"({"Open":{"id":"a"}})", std::nullopt},
      {1, R"("CancelForm")", std::nullopt},
      {2, R"({"Add":{"kind":"mail"}})", Request(Request::OpenAddForm{AccountKind::kMail})},
      {2, R"({"Add":{"kind":"caldav"}})", Request(Request::OpenAddForm{AccountKind::kCalDav})},
      {2, R"({"Add":{"kind":"webdav"}})", Request(Request::OpenAddForm{AccountKind::kWebDav})},
      {3, R"({"Add":{"kind":"nextcloud"}})",
       Request(Request::OpenAddForm{AccountKind::kNextcloud})},
      {2, R"({"Add":{"kind":"Mail"}})", std::nullopt,
       "unknown account kind; kind must be one of mail, caldav, webdav, nextcloud"},
      {2, R"({"Add":{"kind":"email"}})", std::nullopt,
       "unknown account kind; kind must be one of mail, caldav, webdav, nextcloud"},
      {2, R"({"Open":{"id":"a1"}})", Request(Request::OpenAccount{"a1"})},
      {2, R"({"Edit":{"id":"a1"}})", Request(Request::OpenAccount{"a1"})},
      {255, R"({"Reauthenticate":{"id":"a1"}})", Request(Request::OpenReauthentication{"a1"})},
      {2, R"("CancelForm")", Request(Request::CancelForm{})},
      {2, R"("CancelReauthentication")", Request(Request::CancelReauthentication{})},
      {2, R"("SubmitForm")", std::nullopt},
      {2, R"("SubmitReauthentication")", std::nullopt},
      {2, R"({"Test":{"id":"a1"}})", std::nullopt},
      {2, R"({"Remove":{"id":"a1"}})", std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << int(c.kind) << " " << c.payload);
    for (bool started : {true, false}) {
      AppFixture t;
      t.harness.frame();
      const auto& cell = t.app->account_requests();
      const std::string error = c.error.empty() ? mismatch(c) : std::string(c.error);
      // A save is an operation the pane completes; a form move is done at once.
      const bool save = c.request && c.kind == 1;
      if (started) {
        const auto outcome = testing::start(*t.app, op_id(7), c.kind, kAccounts, c.payload);
        if (!c.request || save) {
          EXPECT_EQ(outcome, !c.request ? rejected(error) : testing::accepted());
        } else {
          // A form move says what it opened or closed.
          const auto* done = std::get_if<kalu_ui::DeviceLocalOutcome::Completed>(&outcome.value);
          ASSERT_NE(done, nullptr);
          EXPECT_TRUE(done->outcome.text.find("External Accounts") != std::string::npos)
              << done->outcome.text;
        }
      } else {
        const auto answer = testing::invoke(*t.app, c.kind, kAccounts, c.payload);
        if (c.request) {
          EXPECT_EQ(answer, true);
        } else {
          EXPECT_EQ(answer, kalu_ui::Result<bool>(std::unexpected(error)));
        }
      }
      EXPECT_EQ(t.app->selected_category(),
                c.request ? panes::Pane::kExternalAccounts : panes::Pane::kNetwork);
      EXPECT_EQ(cell->get(), c.request.value_or(Request{}));
      EXPECT_EQ(t.app->account_branch().check_id(), std::nullopt);
    }
  }
}

TEST(EntryPoints, AnUnreadableAccountOperationIsRefusedWithoutShowingAccounts) {
  AppFixture t;
  t.harness.frame();
  for (std::string_view payload : {"", "{", R"("Frobnicate")", R"({"Open":{}})"}) {
    auto outcome = testing::start(*t.app, op_id(1), 1, kAccounts, payload);
    ASSERT_TRUE(std::holds_alternative<kalu_ui::DeviceLocalOutcome::Rejected>(outcome.value))
        << payload;
    EXPECT_FALSE(testing::invoke(*t.app, 2, kAccounts, payload).has_value());
  }
  EXPECT_EQ(t.app->selected_category(), panes::Pane::kNetwork);
  EXPECT_TRUE(t.app->account_requests()->get().empty());
}

}  // namespace
}  // namespace settings::settings_app
