#pragma once

// The Region & Formats pane (pane 18): the six choices of the shared locale
// record. It applies nothing from its controls directly: a dropdown writes
// the chosen label under its setting's edit key ("region.currency.edit"),
// and the pane's sync turns that into a set-setting action of the
// "settings.action" namespace, which writes the label under the setting's
// key ("region.currency"). Whatever stands under a key (the pane's own
// action, or an automation client's) is then adopted into the locale, and
// the locale is saved once per change. Labels are region_formats.h's.
//
// The pane dispatches through an action host of its own: the widget
// contract hands a pane only the document.

#include <optional>
#include <string>
#include <string_view>

#include "kalu_ui/host.h"
#include "lib/page_pane.h"
#include "operations/records.h"
#include "stored/locale.h"

namespace settings::panes::region {

class RegionPane final : public lib::PagePane {
 public:
  static constexpr std::string_view kTypeName = "settings::panes::region::RegionPane";

  // What sync_setting found for one setting: the label to adopt and whether
  // it is a change (of the document or of the locale).
  struct SettingSync {
    std::string label;
    bool changed = false;
  };

  RegionPane(stored::Locale locale, std::optional<float> width_hint);
  // Loads the stored locale (the default record when none reads) and builds
  // the pane, as the page frame does.
  static kalu_ui::WidgetBox boxed(std::optional<float> width_hint);

  const stored::Locale& locale() const { return locale_; }
  const std::optional<float>& width_hint() const { return width_hint_; }

  // Dispatches `action` in the "settings.action" namespace with the
  // application's context; a refusal is logged by the host.
  static void dispatch_setting(kalu_ui::host::ActionHost& host, kalu_ui::doc::Document& document,
                               const operations::SettingsAction& action);
  // Reconciles one setting of the document with `current` (the locale's
  // label): a new label under the key is shown in the dropdown, a new choice
  // under the edit key is dispatched. A text under either that is no label
  // of the setting is put back to `current` and is no change.
  static SettingSync sync_setting(kalu_ui::host::ActionHost& host, kalu_ui::doc::Document& document,
                                  std::string_view key, std::string_view current);

  std::string_view type_name() const override { return kTypeName; }
  void sync(kalu_ui::doc::Document& document) override;
  kalu_ui::layout::NodeId build_layout(kalu_ui::layout::LayoutTree& tree,
                                       const kalu_ui::RenderContext& context,
                                       kalu_ui::layout::NodeRegistry& registry) override;
  void apply_layout(const kalu_ui::layout::LayoutTree& tree, kalu_ui::layout::NodeId node,
                    double origin_x, double origin_y) override;
  bool take_structure_dirty() override;
  std::optional<kalu_actions::ActionContext> take_permission_request() override;

 private:
  // The first sync: every key and edit key holds the loaded label.
  void publish(kalu_ui::doc::Document& document);
  void save() const;

  stored::Locale locale_;
  std::optional<float> width_hint_;
  kalu_ui::host::ActionHost host_{nullptr};
  bool needs_publish_ = true;
  // The locale changed, or (without a hint) the laid-out width crossed
  // kStackedBelow: the page is built anew, preview and rows.
  bool rebuild_ = false;
  // Whether the page was last built with stacked rows.
  bool stacked_ = false;
};

}  // namespace settings::panes::region
