#include "actions/displays_section.h"

#include <algorithm>
#include <array>
#include <span>
#include <utility>

#include "actions/pane_actions.h"
#include "actions/resource_tree.h"
#include "actions/specs.h"
#include "operations/records.h"
#include "vocabulary/display_vocabulary.h"

namespace settings::actions {

using kalu_actions::ActionSpec;
using kalu_actions::Resource;
using operations::DisplayOperation;
namespace vocabulary = panes::display;

namespace {

constexpr std::string_view kSectionId = "settings.section:displays";
constexpr std::string_view kOutputPrefix = "settings.display-output:";
constexpr std::array<std::string_view, 3> kHardwareTags = {"device-local", "display", "hardware"};
constexpr std::array<std::string_view, 3> kTransactionTags = {"device-local", "display",
                                                              "transaction"};
constexpr std::array<std::string_view, 3> kOutputTags = {"device-local", "display", "live-output"};

// ---- The section's own actions ----

struct SectionToggle {
  std::string_view name;
  std::string_view label;
  DisplayOperation (*make)(bool);
};

constexpr std::array<SectionToggle, 2> kSectionToggles = {{
    {"auto_brightness", "Set automatic brightness",
     [](bool on) { return DisplayOperation{DisplayOperation::SetAutoBrightness{on}}; }},
    {"night_light", "Set Night Light",
     [](bool on) { return DisplayOperation{DisplayOperation::SetNightLight{on}}; }},
}};

ActionSpec section_toggle_spec(const SectionToggle& row) {
  return toggle_operation_spec<DisplayOperation>(std::string(row.name), std::string(row.label),
                                                 row.make, kHardwareTags);
}

std::vector<std::string> warmth_labels() {
  std::vector<std::string> labels;
  for (const auto& preset : vocabulary::warmth_presets()) labels.emplace_back(preset.label);
  return labels;
}

std::vector<std::string> scale_labels() {
  std::vector<std::string> labels;
  for (const auto& preset : vocabulary::scale_presets()) labels.emplace_back(preset.label);
  return labels;
}

ActionSpec warmth_spec() {
  return choice_operation_spec<DisplayOperation>(
      "night_light_temperature", "Set Night Light warmth", warmth_labels(),
      [](std::string chosen) {
        return DisplayOperation{DisplayOperation::SetNightLightTemperature{std::move(chosen)}};
      },
      kHardwareTags);
}

// The level travels as it came; the executor refuses one outside 0 to 1.
ActionSpec brightness_spec() {
  return level_operation_spec<DisplayOperation>(
      "brightness", "Set brightness",
      [](double value) { return DisplayOperation{DisplayOperation::SetBrightness{value}}; },
      kHardwareTags);
}

ActionSpec desktop_scale_spec() {
  return choice_operation_spec<DisplayOperation>(
      "scale", "Set display scale", scale_labels(),
      [](std::string chosen) {
        return DisplayOperation{DisplayOperation::SetScale{std::move(chosen)}};
      },
      kHardwareTags);
}

struct Command {
  std::string_view name;
  std::string_view label;
  DisplayOperation record;
};

const std::array<Command, 3>& commands() {
  static const std::array<Command, 3> table = {{
      {"apply", "Apply staged display changes", DisplayOperation::Apply{}},
      {"confirm", "Keep display changes", DisplayOperation::Confirm{}},
      {"revert", "Revert display changes", DisplayOperation::Revert{}},
  }};
  return table;
}

// ---- An output's actions: each keeps the output's connector ----

struct OutputToggle {
  std::string_view name;
  std::string_view label;
  DisplayOperation (*make)(std::string connector, bool on);
};

constexpr std::array<OutputToggle, 4> kOutputToggles = {{
    {"enabled", "Set display enabled",
     [](std::string k, bool on) {
       return DisplayOperation{DisplayOperation::SetEnabled{std::move(k), on}};
     }},
    {"primary", "Set primary display",
     [](std::string k, bool on) {
       return DisplayOperation{DisplayOperation::SetPrimary{std::move(k), on}};
     }},
    {"hdr", "Set HDR",
     [](std::string k, bool on) {
       return DisplayOperation{DisplayOperation::SetHdr{std::move(k), on}};
     }},
    {"vrr", "Set variable refresh rate",
     [](std::string k, bool on) {
       return DisplayOperation{DisplayOperation::SetVrr{std::move(k), on}};
     }},
}};

struct OutputChoice {
  std::string_view name;
  std::string_view label;
  DisplayOperation (*make)(std::string connector, std::string chosen);
};

constexpr std::array<OutputChoice, 6> kOutputChoices = {{
    {"scale", "Set output scale",
     [](std::string k, std::string c) {
       return DisplayOperation{DisplayOperation::SetOutputScale{std::move(k), std::move(c)}};
     }},
    {"position", "Set output position",
     [](std::string k, std::string c) {
       return DisplayOperation{DisplayOperation::SetPosition{std::move(k), std::move(c)}};
     }},
    {"mirror", "Set output mirroring",
     [](std::string k, std::string c) {
       return DisplayOperation{DisplayOperation::SetMirror{std::move(k), std::move(c)}};
     }},
    {"mode", "Set resolution and refresh rate",
     [](std::string k, std::string c) {
       return DisplayOperation{DisplayOperation::SetModeLabel{std::move(k), std::move(c)}};
     }},
    {"transform", "Set display orientation",
     [](std::string k, std::string c) {
       return DisplayOperation{DisplayOperation::SetTransformLabel{std::move(k), std::move(c)}};
     }},
    {"color-profile", "Set colour profile",
     [](std::string k, std::string c) {
       return DisplayOperation{DisplayOperation::SetColorProfileLabel{std::move(k), std::move(c)}};
     }},
}};

template <typename Row, std::size_t N>
const Row* row_named(const std::array<Row, N>& rows, std::string_view name) {
  auto row = std::ranges::find(rows, name, &Row::name);
  return row == rows.end() ? nullptr : &*row;
}

ActionSpec output_toggle_spec(const OutputToggle& row, std::string connector) {
  return toggle_operation_spec<DisplayOperation>(
      std::string(row.name), std::string(row.label),
      [make = row.make, connector = std::move(connector)](bool on) { return make(connector, on); },
      kOutputTags);
}

// The chosen text goes into the record unchanged, with the connector the
// action was built for.
ActionSpec output_choice_spec(const OutputChoice& row, std::string connector,
                              std::vector<std::string> choices) {
  return choice_operation_spec<DisplayOperation>(
      std::string(row.name), std::string(row.label), std::move(choices),
      [make = row.make, connector = std::move(connector)](std::string chosen) {
        return make(connector, std::move(chosen));
      },
      kOutputTags);
}

std::vector<std::string> with_first(std::string_view first, std::vector<std::string> rest) {
  rest.insert(rest.begin(), std::string(first));
  return rest;
}

std::vector<std::string> mode_labels(const prefs_store::OutputDescriptor& output) {
  std::vector<std::string> labels;
  const std::size_t taken = std::min(output.modes.size(), kMaxChoices);
  labels.reserve(taken);
  for (std::size_t i = 0; i < taken; ++i) labels.push_back(output.modes[i].label());
  return labels;
}

// "System default", then "{name} · {id}" of the first kMaxChoices - 1
// profiles that have a name, in the output's order.
std::vector<std::string> profile_labels(const prefs_store::OutputDescriptor& output) {
  std::vector<std::string> labels{std::string(vocabulary::kSystemDefaultProfile)};
  for (const std::string& id : output.color_profiles) {
    if (labels.size() == kMaxChoices) break;
    auto name = output.color_profile_names.find(id);
    if (name != output.color_profile_names.end()) {
      labels.push_back(vocabulary::color_profile_label(name->second, id));
    }
  }
  return labels;
}

std::vector<std::string> transform_labels() {
  const auto labels = vocabulary::transform_labels();
  return {labels.begin(), labels.end()};
}

// `outputs` holds the label of every output, this one's too.
Resource output_item(const prefs_store::OutputDescriptor& output,
                     std::span<const std::pair<std::string, std::string>> outputs) {
  const std::string& k = output.connector;
  const auto choice = [&](std::string_view name, std::vector<std::string> choices) {
    return output_choice_spec(*row_named(kOutputChoices, name), k, std::move(choices));
  };
  const auto toggle = [&](std::string_view name) {
    return output_toggle_spec(*row_named(kOutputToggles, name), k);
  };
  std::string label = vocabulary::output_label(output);
  for (const auto& [connector, listed] : outputs) {
    if (connector == k) label = listed;
  }
  Resource item =
      Resource::create(std::string(kOutputPrefix) + k, "settings.display-output", std::move(label));
  item.actions.reserve(10);
  item.actions.push_back(toggle("enabled"));
  item.actions.push_back(choice("scale", scale_labels()));
  item.actions.push_back(choice(
      "position",
      with_first(vocabulary::kAutomaticPosition, vocabulary::arrangement_labels(k, outputs))));
  item.actions.push_back(choice(
      "mirror", with_first(vocabulary::kExtendWorkspace, vocabulary::mirror_labels(k, outputs))));
  item.actions.push_back(toggle("primary"));
  item.actions.push_back(choice("mode", mode_labels(output)));
  item.actions.push_back(choice("transform", transform_labels()));
  // Only where the compositor controls them, as the page shows them.
  if (output.hdr_controllable) item.actions.push_back(toggle("hdr"));
  if (output.vrr_controllable) item.actions.push_back(toggle("vrr"));
  item.actions.push_back(choice("color-profile", profile_labels(output)));
  return item;
}

Resource bare_section() {
  return Resource::create(std::string(kSectionId), std::string(kSectionResourceKind), "Displays");
}

}  // namespace

Resource displays_single_action_section(ActionSpec spec) {
  return bare_section().with_action(std::move(spec));
}

Resource display_output_single_action_resource(std::string connector, ActionSpec spec) {
  return Resource::create(std::string(kOutputPrefix) + connector, "settings.display-output",
                          connector)
      .with_action(std::move(spec));
}

Resource displays_resource(const prefs_store::DisplayHardwareSnapshot& snapshot) {
  Resource section = bare_section();
  for (const SectionToggle& row : kSectionToggles) {
    section.actions.push_back(section_toggle_spec(row));
  }
  section.actions.push_back(warmth_spec());
  section.actions.push_back(brightness_spec());
  section.actions.push_back(desktop_scale_spec());
  // Outputs that could not be read are not offered.
  if (snapshot.live_capabilities) {
    vocabulary::OutputLabels outputs = vocabulary::output_labels(snapshot);
    if (outputs.size() > kMaxItems) outputs.resize(kMaxItems);
    for (const auto& card : snapshot.cards) {
      for (const auto& output : card.outputs) {
        if (section.children.size() == kMaxItems) break;
        section.children.push_back(output_item(output, outputs));
      }
    }
  }
  for (const Command& command : commands()) {
    if (auto spec = operation_spec(std::string(command.name), std::string(command.label),
                                   command.record, kTransactionTags)) {
      section.actions.push_back(std::move(*spec));
    }
  }
  return section;
}

Resource displays_resource() {
  return displays_resource(prefs_store::DisplayHardwareSnapshot::load());
}

std::optional<kalu_actions::ActionBinding> display_toggle_binding(std::string_view action_name) {
  const SectionToggle* row = row_named(kSectionToggles, action_name);
  if (row == nullptr) return std::nullopt;
  return bind_toggle(displays_single_action_section(section_toggle_spec(*row)), action_name);
}

std::optional<kalu_actions::ActionBinding> brightness_binding(std::string_view action_name) {
  if (action_name != "brightness") return std::nullopt;
  return bind_action(displays_single_action_section(brightness_spec()), action_name,
                     number_arguments());
}

std::optional<kalu_actions::ActionBinding> night_light_warmth_binding(
    std::string_view action_name) {
  if (action_name != "night_light_temperature") return std::nullopt;
  return bind_action(displays_single_action_section(warmth_spec()), action_name,
                     choice_arguments());
}

std::optional<kalu_actions::ActionBinding> display_command_binding(std::string_view action_name) {
  return bind_unit(displays_resource(), action_name);
}

std::optional<kalu_actions::ActionBinding> display_output_toggle_binding(
    std::string_view action_name, std::string_view connector) {
  const OutputToggle* row = row_named(kOutputToggles, action_name);
  if (row == nullptr) return std::nullopt;
  return bind_toggle(display_output_single_action_resource(
                         std::string(connector), output_toggle_spec(*row, std::string(connector))),
                     action_name);
}

std::optional<kalu_actions::ActionBinding> display_output_choice_binding(
    std::string_view action_name, std::string_view connector, std::vector<std::string> choices) {
  const OutputChoice* row = row_named(kOutputChoices, action_name);
  if (row == nullptr || choices.empty() || choices.size() > kMaxChoices) return std::nullopt;
  return bind_action(display_output_single_action_resource(
                         std::string(connector),
                         output_choice_spec(*row, std::string(connector), std::move(choices))),
                     action_name, choice_arguments());
}

}  // namespace settings::actions
