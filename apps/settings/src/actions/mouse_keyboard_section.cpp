#include "actions/mouse_keyboard_section.h"

#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <utility>

#include "actions/pane_actions.h"
#include "actions/resource_tree.h"
#include "actions/settings_action.h"
#include "actions/specs.h"

namespace settings::actions {

using kalu_actions::ActionArgs;
using kalu_actions::ActionParam;
using kalu_actions::ActionSpec;
using kalu_actions::Resource;
using operations::InputOperation;
using operations::KeyboardSourceOperation;
using panes::mouse_keyboard::InputSource;

namespace {

constexpr std::string_view kSectionId = "settings.section:mouse_keyboard";
constexpr std::string_view kSourcePrefix = "settings.input-source:";
constexpr std::array<std::string_view, 2> kInputTags = {"device-local", "input"};
constexpr std::array<std::string_view, 2> kSourceTags = {"device-local", "input-source"};

// This section words its parameters for local preferences.
constexpr std::string_view kInputToggleLabel = "Whether this local preference is enabled";
constexpr std::string_view kInputLevelLabel = "New local input value";
constexpr std::string_view kInputLevelDescription = "0.0 \u2013 1.0";
constexpr std::string_view kInputChoiceLabel = "Device-local input value";
constexpr std::string_view kInputChoiceDescription = "Choose an input preference";

// Each pointer switch fills the `enabled` of its own record: the maker takes
// only the bool, so no switch can build another kind of record.
struct ToggleRow {
  std::string_view name;
  std::string_view label;
  InputOperation (*make)(bool);
};

constexpr std::array<ToggleRow, 8> kToggleRows = {{
    {"touchpad-natural-scroll", "Set touchpad natural scrolling",
     [](bool on) { return InputOperation{InputOperation::SetTouchpadNaturalScroll{on}}; }},
    {"mouse-natural-scroll", "Set mouse natural scrolling",
     [](bool on) { return InputOperation{InputOperation::SetMouseNaturalScroll{on}}; }},
    {"tap-to-click", "Set tap to click",
     [](bool on) { return InputOperation{InputOperation::SetTapToClick{on}}; }},
    {"tap-drag", "Set tap and drag",
     [](bool on) { return InputOperation{InputOperation::SetTapDrag{on}}; }},
    {"disable-while-typing", "Set disable while typing",
     [](bool on) { return InputOperation{InputOperation::SetDisableWhileTyping{on}}; }},
    {"middle-emulation", "Set middle-button emulation",
     [](bool on) { return InputOperation{InputOperation::SetMiddleEmulation{on}}; }},
    {"left-handed", "Set left-handed pointer buttons",
     [](bool on) { return InputOperation{InputOperation::SetLeftHanded{on}}; }},
    {"touchpad-gestures", "Set touchpad gestures",
     [](bool on) { return InputOperation{InputOperation::SetTouchpadGestures{on}}; }},
}};

// The speeds and the repeat rate travel clamped into 0 to 1.
struct LevelRow {
  std::string_view name;
  std::string_view label;
  InputOperation (*make)(double);
};

constexpr std::array<LevelRow, 3> kLevelRows = {{
    {"touchpad-speed", "Set touchpad speed",
     [](double v) { return InputOperation{InputOperation::SetTouchpadPointerSpeed{v}}; }},
    {"mouse-speed", "Set mouse speed",
     [](double v) { return InputOperation{InputOperation::SetMousePointerSpeed{v}}; }},
    {"key-repeat", "Set key-repeat rate",
     [](double v) { return InputOperation{InputOperation::SetKeyRepeat{v}}; }},
}};

// The two text-assistance switches: action, setting key, what they turn on.
struct AssistRow {
  std::string_view name;
  std::string_view key;
  std::string_view wording;
  std::string_view toggle_label;  // of the page's set-setting toggle
  std::optional<bool> stored::TextAssistance::*stored;
};

constexpr std::array<AssistRow, 2> kAssistRows = {{
    {"spell-checking", "text.check_spelling", "spell checking while typing",
     "Set spell checking while typing", &stored::TextAssistance::check_spelling},
    {"auto-correct", "text.auto_correct", "automatic spelling correction",
     "Set automatic spelling correction", &stored::TextAssistance::auto_correct},
}};

Resource bare_section() {
  return Resource::create(std::string(kSectionId), std::string(kSectionResourceKind),
                          "Mouse & Keyboard");
}

std::vector<std::string> texts(std::span<const std::string_view> labels) {
  return {labels.begin(), labels.end()};
}

std::vector<std::string> compose_labels() {
  std::vector<std::string> labels;
  for (const auto& key : panes::mouse_keyboard::compose_keys()) labels.emplace_back(key.label);
  return labels;
}

ActionSpec toggle_spec(const ToggleRow& row) {
  return toggle_operation_spec<InputOperation>(std::string(row.name), std::string(row.label),
                                               row.make, kInputTags, kInputToggleLabel);
}

ActionSpec level_spec(const LevelRow& row) {
  std::vector<ActionParam> params;
  params.push_back(ActionParam::make(std::string(kLevelParam), std::string(kInputLevelLabel),
                                     kalu_actions::ParamKind::Number)
                       .with_schema(std::string(kLevelSchema)));
  return typed_operation_spec<InputOperation>(
      std::string(row.name), std::string(row.label), std::string(kInputLevelDescription),
      std::move(params),
      [make = row.make](const ActionArgs& args) {
        return make(clamp_input_speed(arg_level(args)));
      },
      kInputTags);
}

// The active sources: the stored list, else the single stored layout.
std::vector<std::string> active_sources(const stored::InputPrefs& input) {
  if (!input.keyboard_layouts.empty()) return input.keyboard_layouts;
  return {input.keyboard_layout};
}

// "add-source": a text "label" among the installed layouts not active.
ActionSpec add_source_spec(std::vector<std::string> addable) {
  std::string first = addable.front();
  std::vector<ActionParam> params;
  params.push_back(ActionParam::make("label", "Installed layout", kalu_actions::ParamKind::Text)
                       .with_choices(std::move(addable)));
  return typed_operation_spec<KeyboardSourceOperation>(
      "add-source", "Add keyboard input source", "Choose an installed keyboard layout",
      std::move(params),
      [first = std::move(first)](const ActionArgs& args) {
        return KeyboardSourceOperation{
            KeyboardSourceOperation::Add{arg_text(args, "label", first)}};
      },
      kSourceTags);
}

void add(Resource& resource, std::optional<ActionSpec> spec) {
  if (spec) resource.actions.push_back(std::move(*spec));
}

Resource source_item(std::span<const InputSource> installed, const std::string& id,
                     std::uint64_t index, std::size_t count) {
  std::string label = panes::mouse_keyboard::known_source_label(installed, id).value_or(id);
  Resource item =
      Resource::create(std::string(kSourcePrefix) + id, "settings.input-source", std::move(label));
  if (index > 0) {
    add(item, keyboard_source_operation_spec("move-up", "Move input source up",
                                             KeyboardSourceOperation::MoveUp{index}));
  }
  if (index + 1 < count) {
    add(item, keyboard_source_operation_spec("move-down", "Move input source down",
                                             KeyboardSourceOperation::MoveDown{index}));
  }
  if (count >= 2) {
    add(item, keyboard_source_operation_spec("remove", "Remove input source",
                                             KeyboardSourceOperation::Remove{index}));
  }
  return item;
}

void add_sources(Resource& section, const stored::InputPrefs& input,
                 std::span<const InputSource> installed) {
  const std::vector<std::string> active = active_sources(input);
  std::vector<std::string> active_labels;
  for (const std::string& id : active) {
    if (auto label = panes::mouse_keyboard::known_source_label(installed, id)) {
      active_labels.push_back(std::move(*label));
    }
  }
  if (!active_labels.empty()) {
    section.actions.push_back(input_choice_spec(
        "active-source", "Set active keyboard input source", std::move(active_labels),
        [](std::string chosen) {
          return InputOperation{InputOperation::SetActiveSource{std::move(chosen)}};
        }));
  }
  std::vector<std::string> addable = panes::mouse_keyboard::addable_sources(installed, active);
  std::ranges::sort(addable);
  if (!addable.empty() && active.size() <= 3) {
    section.actions.push_back(add_source_spec(std::move(addable)));
  }
  const std::size_t listed = std::min(active.size(), kMaxItems);
  section.children.reserve(listed);
  for (std::size_t i = 0; i < listed; ++i) {
    section.children.push_back(source_item(installed, active[i], i, active.size()));
  }
}

}  // namespace

ActionSpec input_choice_spec(std::string name, std::string label, std::vector<std::string> choices,
                             std::function<InputOperation(std::string)> make) {
  std::string first = choices.empty() ? std::string() : choices.front();
  std::vector<ActionParam> params;
  params.push_back(ActionParam::make(std::string(kChoiceParam), std::string(kInputChoiceLabel),
                                     kalu_actions::ParamKind::Text)
                       .with_choices(std::move(choices)));
  return typed_operation_spec<InputOperation>(
      std::move(name), std::move(label), std::string(kInputChoiceDescription), std::move(params),
      [make = std::move(make), first = std::move(first)](const ActionArgs& args) {
        return make(arg_text(args, kChoiceParam, first));
      },
      kInputTags);
}

ActionSpec text_assistance_spec(std::string name, std::string_view setting_key,
                                std::string_view wording, bool current) {
  const auto record = operations::SettingsAction::set_setting(std::string(setting_key), !current);
  std::string label =
      current ? fmt::format("Turn off {}", wording) : fmt::format("Turn on {}", wording);
  auto spec = nullary_operation_spec(name, label, kalu_actions::kOperationSetting, record);
  if (!spec) {
    // Published whatever happens: the same invocation, made the other way.
    const auto invocation = settings_action_invocation(record);
    spec = ActionSpec::nullary(std::move(name), std::move(label), kalu_actions::kOperationSetting,
                               invocation.action_id, std::string(invocation.payload_text()));
  }
  return std::move(*spec).with_contract(configuration_contract());
}

Resource mouse_keyboard_resource(const stored::TextAssistance& assistance,
                                 const stored::InputPrefs& input,
                                 std::span<const InputSource> installed) {
  Resource section = bare_section();
  section.actions.reserve(kToggleRows.size() + kLevelRows.size() + 2 + kAssistRows.size() + 2);
  for (const ToggleRow& row : kToggleRows) section.actions.push_back(toggle_spec(row));
  for (const LevelRow& row : kLevelRows) section.actions.push_back(level_spec(row));
  section.actions.push_back(input_choice_spec(
      "acceleration-profile", "Set pointer acceleration profile",
      texts(panes::mouse_keyboard::acceleration_labels()), [](std::string chosen) {
        return InputOperation{InputOperation::SetAccelerationProfile{std::move(chosen)}};
      }));
  section.actions.push_back(
      input_choice_spec("compose-key", "Set compose key", compose_labels(), [](std::string chosen) {
        return InputOperation{InputOperation::SetComposeKey{std::move(chosen)}};
      }));
  for (const AssistRow& row : kAssistRows) {
    section.actions.push_back(text_assistance_spec(std::string(row.name), row.key, row.wording,
                                                   (assistance.*row.stored).value_or(true)));
  }
  add_sources(section, input, installed);
  return section;
}

Resource mouse_keyboard_resource(const stored::TextAssistance& assistance,
                                 const stored::SettingsPrefs& prefs) {
  return mouse_keyboard_resource(assistance, prefs.input,
                                 panes::mouse_keyboard::available_input_sources());
}

// No text-assistance values yet, the input section as stored.
Resource input_binding_section() {
  return mouse_keyboard_resource(stored::TextAssistance{}, stored::SettingsPrefs::load());
}

std::optional<kalu_actions::ActionBinding> input_toggle_binding(const Resource& section,
                                                                std::string_view action_name) {
  for (const AssistRow& row : kAssistRows) {
    if (row.name != action_name) continue;
    Resource assist = bare_section().with_action(setting_toggle_spec(
        std::string(row.name), std::string(row.toggle_label), std::string(row.key)));
    return bind_toggle(assist, action_name);
  }
  return bind_toggle(section, action_name);
}

std::optional<kalu_actions::ActionBinding> input_level_binding(const Resource& section,
                                                               std::string_view action_name) {
  return bind_action(section, action_name, number_arguments());
}

std::optional<kalu_actions::ActionBinding> input_text_binding(const Resource& section,
                                                              std::string_view action_name) {
  const ActionSpec* spec = section.action(action_name);
  if (spec == nullptr) return std::nullopt;
  std::string parameter = "value";
  for (const std::string_view name : {kChoiceParam, std::string_view("label")}) {
    if (std::ranges::any_of(spec->parameters,
                            [&](const ActionParam& p) { return p.name == name; })) {
      parameter = std::string(name);
      break;
    }
  }
  return bind_action(section, action_name, text_arguments(std::move(parameter)));
}

std::optional<kalu_actions::ActionBinding> input_source_command_binding(
    const Resource& section, std::string_view source_id, std::string_view action_name) {
  auto item = find_input_source_child(section.children, source_id);
  if (!item) return std::nullopt;
  return bind_unit(*item, action_name);
}

std::optional<kalu_actions::ActionBinding> input_toggle_binding(std::string_view action_name) {
  for (const AssistRow& row : kAssistRows) {
    if (row.name == action_name) return input_toggle_binding(bare_section(), action_name);
  }
  return input_toggle_binding(input_binding_section(), action_name);
}

std::optional<kalu_actions::ActionBinding> input_level_binding(std::string_view action_name) {
  return input_level_binding(input_binding_section(), action_name);
}

std::optional<kalu_actions::ActionBinding> input_text_binding(std::string_view action_name) {
  return input_text_binding(input_binding_section(), action_name);
}

std::optional<kalu_actions::ActionBinding> input_source_command_binding(
    std::string_view source_id, std::string_view action_name) {
  return input_source_command_binding(input_binding_section(), source_id, action_name);
}

}  // namespace settings::actions
