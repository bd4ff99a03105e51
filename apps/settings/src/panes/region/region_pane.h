#pragma once

// The Region & Formats pane (Pane::kRegionFormats): the six choices of the shared locale
// record. It shows the record as stored (lib/preference_pane.h): each
// setting's label under its key ("region.currency") and edit key, which the
// dropdown shows. A dropdown records the Region section's action of its
// setting, and that set-setting keeps the locale (actions/setting_store.h),
// whoever sets it; the pane saves nothing. A locale read anew that differs
// builds the page again, preview and all. Labels are region_formats.h's.

#include <optional>
#include <string_view>
#include <vector>

#include "lib/preference_pane.h"
#include "stored/locale.h"
#include "vocabulary/registry.h"

namespace settings::panes::region {

class RegionPane final : public lib::PreferencePane {
 public:
  static constexpr std::string_view kTypeName = pane_row(Pane::kRegionFormats).type_name;

  RegionPane(stored::Locale locale, std::optional<float> width_hint);
  // Loads the stored locale (the default record when none reads) and builds
  // the pane, as the page frame does.
  static kalu_ui::WidgetBox boxed(std::optional<float> width_hint);

  const stored::Locale& locale() const { return locale_; }
  const std::optional<float>& width_hint() const { return width_hint_; }

  std::string_view type_name() const override { return kTypeName; }
  kalu_ui::layout::NodeId build_layout(kalu_ui::layout::LayoutTree& tree,
                                       const kalu_ui::RenderContext& context,
                                       kalu_ui::layout::NodeRegistry& registry) override;
  void apply_layout(const kalu_ui::layout::LayoutTree& tree, kalu_ui::layout::NodeId node,
                    double origin_x, double origin_y) override;
  std::optional<kalu_actions::ActionContext> take_permission_request() override;

 protected:
  bool reload() override;
  std::vector<lib::ShownSetting> shown() const override;

 private:
  stored::Locale locale_;
  std::optional<float> width_hint_;
  // Whether the page was last built with stacked rows.
  bool stacked_ = false;
};

}  // namespace settings::panes::region
