#pragma once

// One entry of the sidebar: a pane's icon and title on a tile whose look
// follows selection, hover and press. Activating it asks for the pane by
// publishing its pane's value into the application's requested-pane cell; the
// application selects the pane at its next sync and rebuilds the sidebar, so
// a row never changes the selection itself.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "kalu_ui/wake_slot.h"
#include "kalu_ui/widget/focus.h"
#include "kalu_ui/widget/support.h"
#include "vocabulary/registry.h"
#include "vocabulary/type_names.h"
#include "widget_contract/widget.h"

namespace settings::sidebar {

// The cell a row publishes its pane's value (panes::index_of) into.
using SelectionCell = kalu_ui::WakeSlot<std::uint8_t>;

// Measures of a row, in logical pixels.
inline constexpr float kRowMinHeight = 40.0f;
// Room for the tile insets, the icon slot and the gaps around the title.
inline constexpr double kRowChrome = 72.0;
// The title's width limit when the row's width is not known yet.
inline constexpr double kRowUnboundedTitleWidth = 184.0;
inline constexpr float kRowTitleLineHeight = 1.25f;
inline constexpr float kRowInitialTextSize = 14.0f;
// The accessibility role of a navigation entry.
inline constexpr std::uint8_t kRoleNavigationItem = kalu_ui::widget::role::kNavigationItem;

class SidebarRow : public kalu_ui::Widget {
 public:
  static constexpr std::string_view kTypeName = type_names::kSidebarRow;

  SidebarRow(panes::Pane pane, bool selected, std::shared_ptr<SelectionCell> selection);
  ~SidebarRow() override;
  SidebarRow(SidebarRow&&) noexcept = default;
  SidebarRow& operator=(SidebarRow&&) noexcept = default;

  // Makes the row a member of the sidebar's one Tab stop (the rows share
  // it; the arrow keys move between them). A row outside any is a Tab stop
  // of its own.
  void join(std::shared_ptr<kalu_ui::widget::RovingFocus> focus);

  // Publishes the pane's value; a refused publication is dropped, as the
  // application's next wake-up would find nothing new anyway.
  void activate();

  panes::Pane pane() const { return pane_; }
  bool selected() const { return selected_; }
  bool hovered() const { return hovered_; }
  bool pressed() const { return pressed_; }
  float text_size() const { return text_size_; }

  std::string_view type_name() const override { return kTypeName; }
  kalu_ui::layout::NodeId build_layout(kalu_ui::layout::LayoutTree& tree,
                                       const kalu_ui::RenderContext& context,
                                       kalu_ui::layout::NodeRegistry& registry) override;
  kalu_ui::layout::LayoutSize measure(kalu_ui::layout::KnownDimensions known,
                                      kalu_ui::layout::AvailableSize available,
                                      kalu_ui::text::TextRenderer& renderer) override;
  void apply_layout(const kalu_ui::layout::LayoutTree& tree, kalu_ui::layout::NodeId node,
                    double origin_x, double origin_y) override;
  void draw(kalu_ui::Scene& scene, const kalu_ui::Affine& transform,
            kalu_ui::text::TextRenderer& renderer, const kalu_ui::Theme& theme,
            kalu_ui::DrawContext& context) override;
  void handle_event(const kalu_ui::Event& event, kalu_ui::EventContext& context) override;
  void sync(kalu_ui::doc::Document&) override {}
  std::optional<std::string> id() const override;
  kalu_ui::Rect get_rect() const override { return rect_; }
  std::optional<kalu_ui::CursorKind> cursor_icon_at(double x, double y) const override;
  bool is_focusable() const override;
  void set_focus(bool focused) override { focused_ = focused; }
  bool is_focused() const override { return focused_; }
  bool is_enabled() const override { return true; }
  std::optional<kalu_ui::AccessibilityNode> accessibility() const override;
  bool perform_action(const kalu_ui::SemanticAction& action,
                      const kalu_actions::ActionContext& context) override;
  std::optional<std::string> get_state() const override;

 private:
  kalu_ui::Rect rect_;
  std::shared_ptr<SelectionCell> selection_;
  std::shared_ptr<kalu_ui::widget::RovingFocus> focus_;
  float text_size_ = kRowInitialTextSize;
  panes::Pane pane_ = panes::Pane::kNetwork;
  bool selected_ = false;
  bool hovered_ = false;
  bool pressed_ = false;
  bool focused_ = false;
};

// A row for `pane`, marked selected when it is the `selected` pane, that
// publishes into `selection`.
SidebarRow make_sidebar_row(panes::Pane pane, panes::Pane selected,
                            const std::shared_ptr<SelectionCell>& selection);

// The title's width limit for a row of the given known width (if any) and
// available width (if definite).
double row_title_width_limit(std::optional<float> known_width,
                             std::optional<float> available_width);

}  // namespace settings::sidebar
