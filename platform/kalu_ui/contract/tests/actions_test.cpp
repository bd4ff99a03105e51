// Action bindings, semantic actions and key-action ids.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "probe.h"

namespace kalu_ui::testing {
namespace {

using ::testing::ElementsAre;

ControlActionBinding action_binding(std::string control) {
  return {std::move(control), {ControlBindingTarget::Kind::Action, "kalu.control:x", "invoke"}};
}
ControlActionBinding other_binding(std::string control) {
  return {std::move(control), {ControlBindingTarget::Kind::Namespace, "settings.action", {}}};
}

TEST(KeyActions, ValidityOfIds) {
  struct Case {
    std::string id;
    bool valid;
  };
  const std::vector<Case> cases = {
      {"kalu.key-action:row:0/2", true},
      {"kalu.key-action::7", true},
      {"kalu.key-action:a:+7", true},
      {"kalu.key-action:a:18446744073709551615", true},
      {"kalu.key-action:a:007/1/2/3", true},
      {"kalu.key-action:a:b:1", false},  // the numbers may not hold a colon
      {"kalu.key-action:row:0//2", false},
      {"kalu.key-action:row:/2", false},
      {"kalu.key-action:row:2/", false},
      {"kalu.key-action:row:", false},
      {"kalu.key-action:row:-1", false},
      {"kalu.key-action:a:+", false},
      {"kalu.key-action:a:++1", false},
      {"kalu.key-action:a: 1", false},
      {"kalu.key-action:a:18446744073709551616", false},
      {"kalu.key-action:a:99999999999999999999", false},
      {"kalu.key-action:0/2", false},
      {"Kalu.Key-Action:row:0/2", false},
      {"kalu.key-action", false},
      {"", false},
  };
  for (const auto& c : cases) EXPECT_EQ(is_valid_key_action_id(c.id), c.valid) << c.id;
}

TEST(KeyActions, ValidIdPerformsTheWidgetsOwnActionAndInvalidDoesNothing) {
  CallLog log;
  Probe row{"row", log};
  row.action_answer = true;
  const kalu_actions::ActionContext context;
  EXPECT_TRUE(
      row.perform_key_action("kalu.key-action:row:0/2", SemanticAction::activate(), context));
  EXPECT_THAT(log, ElementsAre("row.perform_action"));
  log.clear();
  EXPECT_FALSE(
      row.perform_key_action("kalu.key-action:row:0//2", SemanticAction::activate(), context));
  EXPECT_TRUE(log.empty());

  // A type without its own perform_action answers no, valid id or not.
  Probe plain{"plain", log};
  EXPECT_FALSE(
      plain.perform_key_action("kalu.key-action:row:0/2", SemanticAction::activate(), context));
}

TEST(KeyActions, InvokeActionAnswersPerformAction) {
  CallLog log;
  Probe column{"column", log};
  const kalu_actions::ActionContext context;
  EXPECT_FALSE(column.invoke_action(SemanticAction::activate(), {}, context));
  column.action_answer = true;
  EXPECT_TRUE(column.invoke_action(SemanticAction::activate(), {}, context));
}

TEST(Bindings, OwnSemanticBindingsFirstThenEachChildsSubtree) {
  CallLog log;
  Probe card{"card", log};
  card.node = AccessibilityNode{}.with_label("Card").with_action_address("card/open");
  Probe& toggle = card.add("toggle");
  toggle.own_bindings = std::vector{action_binding("toggle"), action_binding("toggle")};
  Probe& column = card.add("column");
  column.add("slider").own_bindings = std::vector{other_binding("slider")};

  auto bindings = card.control_action_bindings();
  std::vector<std::string> controls;
  for (const auto& b : bindings) controls.push_back(b.control_id);
  // Equal bindings from one widget both stay.
  EXPECT_THAT(controls, ElementsAre("card/open", "toggle", "toggle", "slider"));
  EXPECT_EQ(bindings[0].target.kind, ControlBindingTarget::Kind::Address);
  EXPECT_TRUE(card.has_action_control_bindings());
  EXPECT_FALSE(column.has_action_control_bindings());  // only other kinds below it
}

TEST(Bindings, SemanticBindingsOfNodes) {
  EXPECT_TRUE(semantic_action_bindings(std::nullopt).empty());
  EXPECT_TRUE(semantic_action_bindings(AccessibilityNode{}.with_label("Spacer")).empty());
  CallLog log;
  Probe spacer{"spacer", log};
  EXPECT_TRUE(spacer.control_action_bindings().empty());
  EXPECT_FALSE(spacer.has_action_control_bindings());
}

}  // namespace
}  // namespace kalu_ui::testing
