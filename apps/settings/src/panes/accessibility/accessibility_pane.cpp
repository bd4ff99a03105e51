#include "panes/accessibility/accessibility_pane.h"

#include <nlohmann/json.hpp>
#include <string>
#include <utility>
#include <variant>

#include "actions/doc_readers.h"
#include "actions/preference_context.h"
#include "kalu_ui/log.h"
#include "kalu_ui/widget/support.h"
#include "prefs_store/document.h"
#include "stored/settings_prefs.h"

namespace settings::panes::accessibility {
namespace {

namespace doc = kalu_ui::doc;

constexpr std::string_view kModule = "settings::panes::accessibility";

// A control's value as the document holds it.
using Value = std::variant<bool, std::string>;

std::optional<Value> read(doc::Document& document, const Control& control, std::string_view key) {
  if (control.is_switch()) {
    if (auto on = actions::read_doc_bool(document, doc::kRoot, key)) return Value(*on);
  } else if (auto text = actions::read_doc_text(document, doc::kRoot, key)) {
    return Value(std::move(*text));
  }
  return std::nullopt;
}

Value value_of(const Control& control, const Model& model) {
  if (control.is_switch()) return control.get(model);
  return std::string(control.label(model));
}

void write(doc::Document& document, std::string_view key, Value value) {
  auto scalar = std::visit([](auto v) { return doc::Scalar(std::move(v)); }, std::move(value));
  if (auto written = document.put(doc::kRoot, key, std::move(scalar)); !written) {
    kalu_ui::log::warn(
        "kalu::settings", kModule, "failed to write accessibility setting",
        {{"op", "accessibility_write"}, {"key", std::string(key)}, {"error", written.error()}});
  }
}

bool is_label(const Control& control, std::string_view text) {
  for (std::string_view label : control.labels) {
    if (label == text) return true;
  }
  return false;
}

// The appearance section as stored, with this pane's three comforts from
// `model`: the theme and UI scale stay Appearance's. A section that does not
// read starts from the defaults; a file that cannot be read is refused (a
// document that does not read is kept aside by the update).
kalu_ui::Result<stored::AppearancePrefs> appearance_with_comforts(const Model& model) {
  auto section = prefs_store::load_section("appearance");
  if (!section) return kalu_ui::fail(section.error());
  stored::AppearancePrefs prefs;
  if (!section->empty()) {
    if (auto stored = stored::read_section<stored::AppearancePrefs>(*section)) prefs = *stored;
  }
  prefs.high_contrast = model.appearance.high_contrast;
  prefs.reduce_motion = model.appearance.reduce_motion;
  prefs.text_scale = model.appearance.text_scale;
  return prefs;
}

kalu_ui::Status save_sections(const Model& model) {
  auto appearance = appearance_with_comforts(model);
  if (!appearance) return kalu_ui::fail(appearance.error());
  if (auto saved = prefs_store::update_section("appearance", stored::write_section(*appearance));
      !saved) {
    return saved;
  }
  return prefs_store::update_section("accessibility", stored::write_section(model.accessibility));
}

}  // namespace

AccessibilityPane::AccessibilityPane(Model model, Device device)
    : model_(std::move(model)), device_(device) {}

kalu_ui::WidgetBox AccessibilityPane::boxed() {
  stored::SettingsPrefs prefs = stored::SettingsPrefs::load();
  return kalu_ui::widget::boxed(AccessibilityPane(
      Model{std::move(prefs.appearance), std::move(prefs.accessibility)}, Device::probe()));
}

void AccessibilityPane::push(doc::Document& document) const {
  for (const Control& control : controls()) {
    const std::optional<Value> held = read(document, control, control.id);
    if (held && held != read(document, control, synced_key(control.id))) continue;
    write(document, control.id, value_of(control, model_));
  }
}

bool AccessibilityPane::read_back(doc::Document& document) {
  bool changed = false;
  for (const Control& control : controls()) {
    std::optional<Value> held = read(document, control, control.id);
    if (!held) continue;
    if (control.is_switch()) {
      const bool on = std::get<bool>(*held);
      if (on == control.get(model_)) continue;
      control.set(model_, on);
      changed = true;
      continue;
    }
    const std::string& text = std::get<std::string>(*held);
    if (text == control.label(model_)) continue;
    if (is_label(control, text)) {
      changed = control.adopt(model_, text) || changed;
    } else {
      // No value of this control: the dropdown shows the model's again.
      write(document, control.id, std::string(control.label(model_)));
    }
  }
  return changed;
}

void AccessibilityPane::record_synced(doc::Document& document) const {
  for (const Control& control : controls()) {
    const std::string key = synced_key(control.id);
    Value value = value_of(control, model_);
    if (read(document, control, key) != value) write(document, key, std::move(value));
  }
}

void AccessibilityPane::sync(doc::Document& document) {
  if (std::exchange(needs_push_, false)) push(document);
  if (read_back(document)) save();
  record_synced(document);
  PagePane::sync(document);
}

void AccessibilityPane::save() const {
  if (auto saved = save_sections(model_); !saved) {
    kalu_ui::log::warn("kalu::settings", kModule, "failed to persist accessibility prefs",
                       {{"op", "accessibility_save"}, {"error", saved.error()}});
  }
}

kalu_ui::layout::NodeId AccessibilityPane::build_layout(kalu_ui::layout::LayoutTree& tree,
                                                        const kalu_ui::RenderContext& context,
                                                        kalu_ui::layout::NodeRegistry& registry) {
  return lay_out_page(tree, context, registry, build_page(model_, device_));
}

std::optional<kalu_actions::ActionContext> AccessibilityPane::take_permission_request() {
  return actions::preference_pane_context(take_interaction(), "accessibility", "Accessibility",
                                          "Change accessibility preferences");
}

}  // namespace settings::panes::accessibility
