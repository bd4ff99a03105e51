#pragma once

// The time-zone map of the Time & Date page: a card with an equirectangular
// plot of the catalogue's zones, one dot each, over the generated land and a
// coarse grid. The current zone is highlighted; the zone under the pointer
// and the keyboard-focused one get a ring, and the line under the plot names
// one of them. Clicking a zone, or Enter on the focused one, chooses it: the
// map records an invocation of the bound "timezone" action (at most 64 wait
// to be taken) and the executor applies it. The map only chooses; it never
// locates the device. It lives on the UI thread like every widget.

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "kalu_actions/binding.h"
#include "kalu_ui/shapes.h"
#include "kalu_ui/widget/action_emitter.h"
#include "kalu_ui/widget/support.h"
#include "panes/time_date/land.h"
#include "vocabulary/type_names.h"

namespace settings::panes::time_date {

class TimeZoneMap : public kalu_ui::widget::Leaf {
 public:
  static constexpr std::string_view kTypeName = settings::type_names::kTimeZoneMap;
  static constexpr std::string_view kId = "time.timezone-map";
  static constexpr float kHeight = 176.0f;
  // The plot's margin inside the card, and the band under it for the label.
  static constexpr double kPlotInset = 10.0;
  static constexpr double kLabelBand = 34.0;
  // How far from a dot, in logical pixels, the pointer still hits it.
  static constexpr double kHitRadius = 11.0;
  static constexpr double kDotRadius = 2.2;
  static constexpr double kCurrentDotRadius = 4.5;
  static constexpr double kRingGap = 4.0;
  static constexpr float kTextSize = 11.0f;
  // The least contrast of the land against the card it lies on.
  static constexpr double kLandContrast = 1.5;
  // The land's fill under `theme`.
  static kalu_ui::Color land_color(const kalu_ui::Theme& theme);
  static constexpr std::string_view kEmptyText =
      "Map coordinates are unavailable; use the selector above.";

  // A map of `catalogue` with `current_zone` selected and focused (when the
  // catalogue has it), recording its choices as invocations of `binding`,
  // whose argument builder receives the chosen zone's name as text. Without
  // a binding a choice still moves the highlight but records nothing.
  TimeZoneMap(std::shared_ptr<const ZoneCatalogue> catalogue, std::string current_zone,
              std::optional<kalu_actions::ActionBinding> binding);

  // The plot inside the card, above the label band (at least one pixel).
  kalu_ui::Rect plot_rect() const;
  // Where zone `index` is drawn; (0, 0) for an index outside the catalogue.
  kalu_ui::Point zone_point(std::size_t index) const;
  // The zone whose dot lies nearest the point, within the hit radius, and
  // only for points inside the card; of equally near ones the first.
  std::optional<std::size_t> hit_test(double x, double y) const;
  // Moves the keyboard focus to the nearest zone in the direction (dx, dy)
  // (screen axes: +x east, +y south), preferring zones straight ahead; stays
  // put when there is none. Never selects.
  void move_focus(double dx, double dy);
  // Chooses zone `index`: it becomes current and focused, and one "timezone"
  // invocation is recorded. Nothing for the current zone or a bad index.
  void select(std::size_t index);
  std::optional<std::size_t> current_index() const;

  const std::string& current_zone() const { return current_zone_; }
  std::optional<std::size_t> focused_zone() const { return focused_zone_; }
  std::optional<std::size_t> hovered_zone() const { return hovered_zone_; }
  const ZoneCatalogue& catalogue() const { return *catalogue_; }
  std::size_t queued_invocations() const { return emitter_ ? emitter_->backlog() : 0; }

  std::string_view type_name() const override { return kTypeName; }
  std::optional<std::string> id() const override { return std::string(kId); }
  void apply_layout(const kalu_ui::layout::LayoutTree& tree, kalu_ui::layout::NodeId node,
                    double origin_x, double origin_y) override;
  void draw(kalu_ui::Scene& scene, const kalu_ui::Affine& transform,
            kalu_ui::text::TextRenderer& renderer, const kalu_ui::Theme& theme,
            kalu_ui::DrawContext& context) override;
  void handle_event(const kalu_ui::Event& event, kalu_ui::EventContext& context) override;
  bool needs_redraw() const override { return redraw_requested(); }
  std::optional<kalu_ui::CursorKind> cursor_icon_at(double x, double y) const override;
  std::optional<std::string> tooltip() const override;
  bool is_focusable() const override { return !catalogue_->zones.empty(); }
  void set_focus(bool focused) override;
  bool is_focused() const override { return has_focus_; }
  std::optional<kalu_ui::AccessibilityNode> accessibility() const override;
  bool perform_action(const kalu_ui::SemanticAction& action,
                      const kalu_actions::ActionContext& context) override;
  std::optional<kalu_actions::ControlInvocation> take_control_invocation() override {
    return emitter_ ? emitter_->take() : std::nullopt;
  }

 protected:
  kalu_ui::layout::Style leaf_style() const override;

 private:
  bool valid(std::optional<std::size_t> index) const {
    return index && *index < catalogue_->zones.size();
  }
  void set_hovered(std::optional<std::size_t> hovered, kalu_ui::EventContext& context);
  void handle_key(const kalu_ui::KeyDown& key, kalu_ui::EventContext& context);
  // The land outline projected into the current plot; redone when the plot
  // moves, so drawing only replays it.
  void project_land();
  void draw_grid(kalu_ui::Scene& scene, const kalu_ui::Affine& transform,
                 const kalu_ui::Theme& theme) const;
  void draw_zones(kalu_ui::Scene& scene, const kalu_ui::Affine& transform,
                  const kalu_ui::Theme& theme) const;
  std::string label_text() const;

  std::optional<std::size_t> focused_zone_;
  std::optional<std::size_t> hovered_zone_;
  std::shared_ptr<const ZoneCatalogue> catalogue_;
  std::string current_zone_;
  std::optional<kalu_ui::widget::ActionEmitter> emitter_;
  kalu_ui::Point pointer_{0.0, 0.0};
  bool has_focus_ = false;
  kalu_ui::BezPath land_path_;
  kalu_ui::Rect land_plot_;
};

}  // namespace settings::panes::time_date
