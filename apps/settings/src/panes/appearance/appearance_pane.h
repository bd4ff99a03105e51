#pragma once

// The Appearance pane (pane 11): the theme, UI scale, text size, high
// contrast and reduced motion that the compositor and every app share, the
// "appearance" section of the settings document. Its controls write edit
// keys ("appearance.theme.edit"); each sync turns an edit into a set-setting
// action of the "settings.action" namespace, adopts whatever stands under
// the control ids (the pane's own action or an automation client's) and
// merges the section into the settings document once per change. A text
// the pane would not adopt (a theme outside the list, a "custom:" name, an
// unknown size or scale) is put back to the model's and is no change, so it
// cannot make the pane save every frame. The pane answers the theme
// override query with the chosen look.
//
// The pane dispatches through an action host of its own: the widget
// contract hands a pane only the document.

#include <optional>
#include <string>
#include <string_view>

#include "kalu_ui/host.h"
#include "lib/page_pane.h"
#include "operations/records.h"
#include "stored/sections.h"

namespace settings::panes::appearance {

class AppearancePane final : public lib::PagePane {
 public:
  static constexpr std::string_view kTypeName = "settings::panes::appearance::AppearancePane";

  // What a value handler found: the value to adopt and whether it changed.
  template <typename T>
  struct Synced {
    T value;
    bool changed = false;
  };

  explicit AppearancePane(stored::AppearancePrefs prefs);
  // Loads the settings document's appearance section, as the page frame does.
  static kalu_ui::WidgetBox boxed();
  static stored::AppearancePrefs state_from_prefs();

  const stored::AppearancePrefs& prefs() const { return prefs_; }

  // Dispatches `action` in the "settings.action" namespace with the
  // application's context; a refusal is logged by the host.
  static void dispatch_setting(kalu_ui::host::ActionHost& host, kalu_ui::doc::Document& document,
                               const operations::SettingsAction& action);
  // One control's reconciliation with the model's `current`: a new value
  // under the id (set through the namespace) is mirrored into the edit key
  // and is a change; otherwise a new value under the edit key (the control
  // was used) is dispatched and is a change. A text the pane would not
  // adopt, under either key, is put back to `current` and is no change.
  static Synced<std::string> sync_text_setting(kalu_ui::host::ActionHost& host,
                                               kalu_ui::doc::Document& document,
                                               std::string_view control_id,
                                               std::string_view current);
  static Synced<bool> sync_bool_setting(kalu_ui::host::ActionHost& host,
                                        kalu_ui::doc::Document& document,
                                        std::string_view control_id, bool current);

  std::string_view type_name() const override { return kTypeName; }
  void sync(kalu_ui::doc::Document& document) override;
  kalu_ui::layout::NodeId build_layout(kalu_ui::layout::LayoutTree& tree,
                                       const kalu_ui::RenderContext& context,
                                       kalu_ui::layout::NodeRegistry& registry) override;
  std::optional<kalu_ui::ThemeOverride> theme_override() const override;
  std::optional<kalu_actions::ActionContext> take_permission_request() override;

 private:
  // The first sync: the five control ids through set-setting actions, and
  // their edit keys written directly.
  void seed(kalu_ui::doc::Document& document);
  // Runs the five handlers in order; whether any reported a change.
  bool read_back(kalu_ui::doc::Document& document);
  void save() const;

  stored::AppearancePrefs prefs_;
  kalu_ui::host::ActionHost host_{nullptr};
  bool seed_pending_ = true;
};

}  // namespace settings::panes::appearance
