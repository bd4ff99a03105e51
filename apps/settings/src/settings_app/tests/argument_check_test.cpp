// Every action the resource tree publishes, invoked the way a client invokes
// it with arguments that do not fit (any argument at all, for an action that
// takes none): each is refused
// with invalid_arguments naming the action and the parameter, and nothing
// ran (no operation, the simulated device and the settings file as they
// were).

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "app_fixture.h"
#include "executor_fixture.h"
#include "kalu_actions/resource.h"
#include "kalu_ui/action_invoke.h"
#include "kalu_ui/host.h"

namespace settings::settings_app {
namespace {

using Json = nlohmann::ordered_json;
using kalu_actions::ActionParam;
using kalu_actions::ActionSpec;
using kalu_actions::ParamKind;

// A value the parameter takes.
Json fitting(const ActionParam& param) {
  switch (param.kind) {
    case ParamKind::Boolean:
      return true;
    case ParamKind::Number:
      return 0.5;  // every number on the surface runs from 0 to 1
    case ParamKind::Text:
      break;
  }
  return param.allowed_values.empty() ? Json("x") : Json(param.allowed_values.front());
}

// A value of another kind.
Json other_kind(const ActionParam& param) {
  switch (param.kind) {
    case ParamKind::Boolean:
      return "yes";
    case ParamKind::Number:
      return "0.5";
    case ParamKind::Text:
      break;
  }
  return 7;
}

struct BadCall {
  std::string what;
  Json arguments;
  std::string names;  // the parameter (or key) the refusal names
};

// For the spec's first parameter: missing (when required), of another kind,
// beside an unknown key, and out of its range or choices (when it has one).
std::vector<BadCall> bad_calls(const ActionSpec& spec) {
  Json fits = Json::object();
  for (const ActionParam& param : spec.parameters) fits[param.name] = fitting(param);
  const ActionParam& first = spec.parameters.front();
  std::vector<BadCall> calls;
  if (first.required) {
    Json missing = fits;
    missing.erase(first.name);
    calls.push_back({"missing", missing, first.name});
  }
  Json wrong = fits;
  wrong[first.name] = other_kind(first);
  calls.push_back({"wrong kind", wrong, first.name});
  Json unknown = fits;
  unknown["zzz_unknown"] = 1;
  calls.push_back({"unknown key", unknown, "zzz_unknown"});
  if (first.kind == ParamKind::Number) {
    Json above = fits;
    above[first.name] = 1.5;
    calls.push_back({"out of range", above, first.name});
  } else if (first.kind == ParamKind::Text && !first.allowed_values.empty()) {
    Json other = fits;
    other[first.name] = "not one of the choices";
    calls.push_back({"not allowed", other, first.name});
  }
  return calls;
}

// A parameterless action sent an argument, the mistakes a neighbour's
// parameters make natural: each is refused naming the key, never dropped.
std::vector<BadCall> bad_calls_without_parameters() {
  return {{"value of a flip", Json{{"value", true}}, "value"},
          {"flag of a neighbour", Json{{"dry_run", true}}, "dry_run"},
          {"null beside a key", Json{{"admin", false}, {"x", nullptr}}, "admin"}};
}

using Found = std::vector<std::pair<std::string, ActionSpec>>;

void collect(const kalu_actions::Resource& resource, Found& typed, Found& parameterless) {
  for (const ActionSpec& spec : resource.actions) {
    (spec.parameters.empty() ? parameterless : typed).emplace_back(resource.id, spec);
  }
  for (const auto& child : resource.children) collect(child, typed, parameterless);
}

TEST(ArgumentCheck, EveryDeclaredInputRefusesWhatDoesNotFitAndNothingRuns) {
  testing::DeviceScope scope;
  scope.write_settings(R"({"version":1,"appearance":{"theme":"Dark"}})");
  testing::AppFixture t;
  t.harness.frame();
  t.harness.frame();

  Found typed;
  Found parameterless;
  for (const auto& resource : t.app->resources(t.harness.document())) {
    collect(resource, typed, parameterless);
  }
  // Every kind of typed action is there: the sections' toggles, levels and
  // choices, Power's charge cap, the set-setting actions; and the flips,
  // openings and item commands that take nothing.
  ASSERT_GT(typed.size(), 100u);
  ASSERT_GT(parameterless.size(), 90u);

  const auto device_before = prefs_store::read_text(sim_device::state_path());
  const auto settings_before = scope.settings_text();
  auto registry = std::make_shared<kalu_actions::ActionRegistry>();
  actions::register_settings_action_handler(*registry);
  kalu_ui::host::ActionHost actions(registry);
  std::size_t refused = 0;
  std::vector<std::pair<const std::pair<std::string, ActionSpec>*, std::vector<BadCall>>> table;
  for (const auto& found : typed) table.emplace_back(&found, bad_calls(found.second));
  for (const auto& found : parameterless)
    table.emplace_back(&found, bad_calls_without_parameters());
  for (const auto& [found, calls] : table) {
    const auto& [resource_id, spec] = *found;
    for (const BadCall& call : calls) {
      SCOPED_TRACE(resource_id + " " + spec.name + ": " + call.what + " " + call.arguments.dump());
      auto invoked = kalu_ui::host::invoke_resource_action(
          actions, *t.app, t.harness.document(), resource_id, spec.name,
          kalu_actions::ActionArgs::from_json(call.arguments));
      ASSERT_FALSE(invoked.has_value()) << "carried out";
      EXPECT_EQ(invoked.error().code, "invalid_arguments");
      const std::string& message = invoked.error().message;
      EXPECT_TRUE(message.starts_with(spec.name + ": ")) << message;
      EXPECT_NE(message.find(call.names), std::string::npos) << message;
      ++refused;
    }
  }
  EXPECT_GT(refused, 3 * (typed.size() + parameterless.size()));
  t.harness.frame();
  EXPECT_FALSE(t.app->executor().busy());
  EXPECT_EQ(t.app->operation_completion()->get(), operations::OperationCompletion{});
  EXPECT_EQ(prefs_store::read_text(sim_device::state_path()), device_before);
  EXPECT_EQ(scope.settings_text(), settings_before);
}

// A setting says what is now set, as every finished operation does: in its
// text, and as a JSON string in its value.
TEST(ArgumentCheck, ASettingSaysWhatIsNowSet) {
  testing::DeviceScope scope;
  testing::AppFixture t;
  t.harness.frame();
  auto registry = std::make_shared<kalu_actions::ActionRegistry>();
  actions::register_settings_action_handler(*registry);
  kalu_ui::host::ActionHost actions(registry);
  const struct {
    std::string resource;
    std::string action;
    Json arguments;
    std::string text;
  } cases[] = {
      {"settings.section:appearance",
       "theme",
       {{"choice", "Light"}},
       "Appearance: theme set to Light."},
      {"settings.section:notifications", "dnd", Json::object(),
       "Notifications: Turn on Do Not Disturb: done."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.resource + " " + c.action);
    auto invoked = kalu_ui::host::invoke_resource_action(
        actions, *t.app, t.harness.document(), c.resource, c.action,
        kalu_actions::ActionArgs::from_json(c.arguments));
    ASSERT_TRUE(invoked.has_value()) << invoked.error().message;
    const auto* done = std::get_if<kalu_ui::DeviceLocalOutcome::Completed>(&invoked->outcome.value);
    ASSERT_NE(done, nullptr);
    EXPECT_EQ(done->outcome.text, c.text);
    EXPECT_EQ(done->outcome.value_json, Json(c.text).dump());
  }
}

// The buttons the shown page publishes for clients to press are listed under
// its section, and found by id, while the page is shown.
TEST(ArgumentCheck, TheShownPagesControlsAreListedUnderItsSection) {
  testing::DeviceScope scope;
  testing::AppFixture t;
  t.app->select_pane(panes::Pane::kAppsFiles);
  t.harness.frame();
  t.harness.frame();
  const auto tree = t.app->resources(t.harness.document());
  ASSERT_FALSE(tree.empty());
  const kalu_actions::Resource* section = tree.front().find("settings.section:default-apps");
  ASSERT_NE(section, nullptr);
  std::vector<const kalu_actions::Resource*> controls;
  for (const auto& child : section->children) {
    if (child.kind == "kalu.control") controls.push_back(&child);
  }
  ASSERT_FALSE(controls.empty());
  for (const kalu_actions::Resource* control : controls) {
    SCOPED_TRACE(control->id);
    EXPECT_TRUE(control->id.starts_with("kalu.control:"));
    EXPECT_FALSE(control->label.empty());
    ASSERT_EQ(control->actions.size(), 1u);
    EXPECT_EQ(control->actions[0].name, "invoke");
    EXPECT_TRUE(control->actions[0].parameters.empty());
    EXPECT_EQ(t.app->resource_by_id(t.harness.document(), control->id), *control);
  }
  // Another pane shown: its controls are not Apps & Files's.
  t.app->select_pane(panes::Pane::kNetwork);
  t.harness.frame();
  t.harness.frame();
  EXPECT_EQ(t.app->resource_by_id(t.harness.document(), controls.front()->id), std::nullopt);
}

}  // namespace
}  // namespace settings::settings_app
