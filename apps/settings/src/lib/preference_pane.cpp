#include "lib/preference_pane.h"

#include <utility>
#include <variant>

#include "kalu_ui/log.h"
#include "kalu_ui/theme.h"
#include "lib/stored_notices.h"
#include "lib/ui_rows.h"

namespace settings::lib {
namespace {

namespace doc = kalu_ui::doc;

// Whether the document holds `value` under `key`: a bool as a bool, a text as
// a string or a text object, nothing as no value or null.
bool holds(const doc::Document& document, std::string_view key, const doc::Scalar& value) {
  if (std::holds_alternative<doc::Null>(value)) {
    const auto held = document.get(doc::kRoot, key);
    const auto* scalar = held ? std::get_if<doc::Scalar>(&*held) : nullptr;
    return !held || (scalar != nullptr && std::holds_alternative<doc::Null>(*scalar));
  }
  if (const bool* flag = std::get_if<bool>(&value)) {
    return document.read_bool(doc::kRoot, key) == *flag;
  }
  if (const auto* text = std::get_if<std::string>(&value)) {
    return document.read_text(doc::kRoot, key) == *text;
  }
  const auto held = document.get(doc::kRoot, key);
  const auto* scalar = held ? std::get_if<doc::Scalar>(&*held) : nullptr;
  return scalar != nullptr && *scalar == value;
}

void put(doc::Document& document, std::string_view key, const doc::Scalar& value) {
  if (holds(document, key, value)) return;
  if (auto written = document.put(doc::kRoot, key, value); !written) {
    kalu_ui::log::warn(
        "kalu::settings", "settings::lib::preference_pane", "failed to show a setting",
        {{"op", "show_setting"}, {"key", std::string(key)}, {"error", written.error()}});
  }
}

}  // namespace

std::string edit_key(std::string_view key) { return std::string(key) + ".edit"; }

kalu_ui::layout::NodeId PreferencePane::lay_out_page(kalu_ui::layout::LayoutTree& tree,
                                                     const kalu_ui::RenderContext& context,
                                                     kalu_ui::layout::NodeRegistry& registry,
                                                     kalu_ui::WidgetBox page) {
  if (!notice_.empty()) {
    ui_rows::WidgetList rows;
    rows.push_back(ui_rows::badge_with_tone(notice_, kalu_ui::kToneError));
    rows.push_back(std::move(page));
    page = ui_rows::column(std::move(rows), 12.0f);
  }
  return PagePane::lay_out_page(tree, context, registry, std::move(page));
}

PreferencePane::Drift PreferencePane::drift(const doc::Document& document,
                                            const std::vector<ShownSetting>& shown,
                                            bool with_edit_keys) {
  Drift found = Drift::kNone;
  for (const ShownSetting& setting : shown) {
    if (!holds(document, setting.key, setting.value)) return Drift::kSetting;
    if (with_edit_keys && !holds(document, edit_key(setting.key), setting.value)) {
      found = Drift::kEdit;
    }
  }
  return found;
}

void PreferencePane::show(doc::Document& document, const std::vector<ShownSetting>& shown,
                          bool with_edit_keys) {
  for (const ShownSetting& setting : shown) {
    put(document, setting.key, setting.value);
    if (with_edit_keys) put(document, edit_key(setting.key), setting.value);
  }
}

void PreferencePane::sync(doc::Document& document) {
  // A change noted since the last read (a save of this process, another
  // writer of the file) is read as a set-setting is.
  const std::uint64_t generation = stored_generation();
  const bool noted = std::exchange(generation_, generation) != generation;
  // A refused edit: the stored value goes back on show, with why. One from
  // before the pane was shown is not this page's.
  const bool first = std::exchange(first_sync_, false);
  RefusedEdit refusal = last_refused_edit();
  std::string refused;
  if (std::exchange(refusals_, refusal.count) != refusal.count && !first) {
    refused = std::move(refusal.message);
  }
  const Drift found = first || noted || !refused.empty() ? Drift::kSetting
                                                         : drift(document, shown_, with_edit_keys_);
  if (found == Drift::kSetting) {
    const bool changed = reload();
    shown_ = shown();
    // A change stored since ends the notice; a new refusal replaces it.
    if (!refused.empty()) {
      notice_ = std::move(refused);
      request_rebuild();
    } else if (changed && !notice_.empty()) {
      notice_.clear();
    }
    if (changed) request_rebuild();
  }
  if (found == Drift::kEdit) edits_refused(document);
  if (found != Drift::kNone) show(document, shown_, with_edit_keys_);
  PagePane::sync(document);
}

}  // namespace settings::lib
