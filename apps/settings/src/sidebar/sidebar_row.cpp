#include "sidebar/sidebar_row.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

#include "actions/pane_actions.h"
#include "kalu_ui/icon.h"
#include "kalu_ui/layout.h"
#include "kalu_ui/scene.h"
#include "kalu_ui/text.h"
#include "kalu_ui/theme.h"
#include "kalu_ui/widget/controls.h"
#include "lib/ui_rows.h"

namespace settings::sidebar {
namespace {

using kalu_ui::Affine;
using kalu_ui::Rect;
using kalu_ui::RoundedRect;
using kalu_ui::StrokeStyle;
namespace layout = kalu_ui::layout;
namespace text = kalu_ui::text;

// The row's metrics, from the shared spacing scale.
constexpr double kTileInsetY = ui_rows::kSpacing[1];  // 4
constexpr double kTileInsetX = ui_rows::kSpacing[2];  // 8
constexpr double kSlotOffset = ui_rows::kSpacing[3];  // 12, tile edge to icon slot
constexpr double kTitleGap = ui_rows::kSpacing[3];    // 12, icon slot to title
constexpr double kIconSlotWidth = 20.0;
constexpr double kIconSize = 18.0;
constexpr double kTitleOffset = kTileInsetX + kSlotOffset + kIconSlotWidth + kTitleGap;  // 52
constexpr double kRowVerticalPadding = 16.0;
constexpr double kInnerRingInset = 1.5;
constexpr double kFocusRingWidth = 2.0;

// The title wraps onto further lines within its limit, for measuring and
// drawing alike.
constexpr text::LayoutOption kTitleLayout = text::LayoutOption::Wrap;

double title_limit_for_width(double row_width) { return std::max(0.0, row_width - kRowChrome); }

// The title's style as the renderer shapes it, the same for measuring and
// drawing.
text::TextStyle title_style(text::TextRenderer& renderer, float size) {
  return renderer.renderer_input_style(
      text::TextStyle::sized(size).with_line_height(kRowTitleLineHeight));
}

bool is_activation_key(const kalu_ui::KeyDown& key) {
  return (key.key == kalu_ui::Key::Enter || key.key == kalu_ui::Key::Space) && !key.repeat;
}

}  // namespace

double row_title_width_limit(std::optional<float> known_width,
                             std::optional<float> available_width) {
  if (available_width) return title_limit_for_width(known_width.value_or(*available_width));
  if (known_width) return title_limit_for_width(*known_width);
  return kRowUnboundedTitleWidth;
}

SidebarRow::SidebarRow(panes::Pane pane, bool selected, std::shared_ptr<SelectionCell> selection)
    : selection_(std::move(selection)), pane_(pane), selected_(selected) {}

SidebarRow::~SidebarRow() {
  if (focus_) focus_->remove(*this);
}

void SidebarRow::join(std::shared_ptr<kalu_ui::widget::RovingFocus> focus) {
  focus_ = std::move(focus);
  if (focus_) focus_->add(*this, selected_);
}

bool SidebarRow::is_focusable() const { return !focus_ || focused_ || focus_->is_tab_stop(*this); }

SidebarRow make_sidebar_row(panes::Pane pane, panes::Pane selected,
                            const std::shared_ptr<SelectionCell>& selection) {
  return SidebarRow(pane, pane == selected, selection);
}

void SidebarRow::activate() {
  if (selection_) (void)selection_->publish(static_cast<std::uint8_t>(pane_));
}

layout::NodeId SidebarRow::build_layout(layout::LayoutTree& tree,
                                        const kalu_ui::RenderContext& context,
                                        layout::NodeRegistry& registry) {
  text_size_ = context.base_text_size;
  layout::Style style;
  style.width = layout::Dimension::full();
  style.min_height = layout::Dimension::points(kRowMinHeight);
  auto node = tree.new_leaf(style);
  if (!node) return {};
  registry.insert(*node, this);
  return *node;
}

layout::LayoutSize SidebarRow::measure(layout::KnownDimensions known,
                                       layout::AvailableSize available,
                                       text::TextRenderer& renderer) {
  const double limit = row_title_width_limit(known.width, available.width.as_definite());
  const auto metrics = renderer.measure(panes::pane_title(pane_), title_style(renderer, text_size_),
                                        limit, kTitleLayout);
  const float height = known.height.value_or(
      std::max(static_cast<float>(metrics.height + kRowVerticalPadding), kRowMinHeight));
  return {known.width.value_or(0.0f), height};
}

void SidebarRow::apply_layout(const layout::LayoutTree& tree, layout::NodeId node, double origin_x,
                              double origin_y) {
  const auto laid_out = tree.layout(node);
  if (!laid_out) {
    rect_ = Rect{origin_x, origin_y, origin_x, origin_y};
    return;
  }
  const double left = origin_x + laid_out->location.x;
  const double top = origin_y + laid_out->location.y;
  rect_ = Rect{left, top, left + laid_out->size.width, top + laid_out->size.height};
}

void SidebarRow::draw(kalu_ui::Scene& scene, const Affine& transform, text::TextRenderer& renderer,
                      const kalu_ui::Theme& theme, kalu_ui::DrawContext&) {
  const std::string_view title = panes::pane_title(pane_);
  const text::TextStyle style = title_style(renderer, text_size_);
  const double limit = title_limit_for_width(rect_.width());
  const auto metrics = renderer.measure(title, style, limit, kTitleLayout);

  const Rect tile{rect_.x0 + kTileInsetX, rect_.y0 + kTileInsetY, rect_.x1 - kTileInsetX,
                  rect_.y1 - kTileInsetY};
  const double centre_y = 0.5 * (rect_.y0 + rect_.y1);
  const double icon_x = rect_.x0 + kTileInsetX + kSlotOffset + (kIconSlotWidth - kIconSize) / 2;
  const Rect icon_box{icon_x, centre_y - kIconSize / 2, icon_x + kIconSize,
                      centre_y + kIconSize / 2};
  const kalu_ui::Point title_at{rect_.x0 + kTitleOffset,
                                rect_.y0 + (rect_.height() - metrics.height) / 2};

  const auto tier = kalu_ui::chrome::shell::selection_tier(theme, selected_ ? 1 : 0,
                                                           hovered_ ? 1 : 0, pressed_ ? 1 : 0);
  // A pressed tile shrinks about its own centre; focus ring, icon and title
  // stay put so the text does not blur while the button is held.
  const Affine tile_transform = std::abs(tier.scale - 1.0) > std::numeric_limits<double>::epsilon()
                                    ? transform * Affine::scale_about(tier.scale, tile.center())
                                    : transform;
  const double radius = theme.control_radius;
  if (tier.fill.a > 0) scene.fill(RoundedRect{tile, radius}, tier.fill, tile_transform);
  if (tier.edge_on) {
    scene.stroke(kalu_ui::surface::edge_outline(tile, radius), tier.edge, StrokeStyle{1.0},
                 tile_transform);
  }
  if (tier.inner_ring_on) {
    scene.stroke(RoundedRect{tile.inset(kInnerRingInset), std::max(0.0, radius - kInnerRingInset)},
                 tier.inner_ring, StrokeStyle{1.0}, tile_transform);
  }
  if (focused_) {
    scene.stroke(RoundedRect{tile, radius}, theme.focus, StrokeStyle{kFocusRingWidth}, transform);
  }
  kalu_ui::Icon::draw(scene, panes::pane_icon(pane_), icon_box, theme.foreground, transform);
  renderer.draw_text(scene, title, style.with_color(theme.foreground), title_at, limit,
                     kTitleLayout, transform);
}

void SidebarRow::handle_event(const kalu_ui::Event& event, kalu_ui::EventContext& context) {
  if (const auto* move = event.as<kalu_ui::PointerMove>()) {
    const bool inside = rect_.contains(move->position);
    if (inside != hovered_) {
      hovered_ = inside;
      context.set_handled();
    }
    return;
  }
  if (event.is<kalu_ui::PointerLeave>()) {
    // The pointer left the window: nothing is under it any more.
    if (hovered_) {
      hovered_ = false;
      context.set_handled();
    }
    return;
  }
  const auto* down = event.as<kalu_ui::PointerDown>();
  const auto* up = event.as<kalu_ui::PointerUp>();
  if (down || up) {
    const auto button = down ? down->button : up->button;
    if (button != kalu_ui::PointerButton::Primary) return;
    if (!hovered_) {
      // Only a pending press is this row's business; claiming other rows'
      // clicks would stop them from reaching the row under the pointer.
      if (pressed_) {
        pressed_ = false;
        context.set_handled();
      }
      return;
    }
    if (down && !pressed_) {
      pressed_ = true;
      context.set_handled();
      context.request_focus(*this);
    } else if (up && pressed_) {
      pressed_ = false;
      context.set_handled();
      activate();
    }
    return;
  }
  if (const auto* key = event.as<kalu_ui::KeyDown>()) {
    if (!focused_) return;
    if (is_activation_key(*key)) {
      activate();
      context.set_handled();
    } else if (kalu_ui::Widget* next = focus_ ? focus_->step(*this, key->key) : nullptr;
               next && !key->modifiers.ctrl && !key->modifiers.alt && !key->modifiers.super) {
      context.request_focus(*next);
      context.set_handled();
    }
  }
}

std::optional<std::string> SidebarRow::id() const { return std::string(panes::pane_title(pane_)); }

std::optional<kalu_ui::CursorKind> SidebarRow::cursor_icon_at(double x, double y) const {
  if (!rect_.contains(kalu_ui::Point{x, y})) return std::nullopt;
  return kalu_ui::widget::controls::kCursorPointer;
}

std::optional<kalu_ui::AccessibilityNode> SidebarRow::accessibility() const {
  auto node = kalu_ui::AccessibilityNode{}
                  .with_role(kRoleNavigationItem)
                  .with_label(std::string(panes::pane_title(pane_)))
                  .with_action_address(actions::pane_open_address(pane_).encode());
  node.focused = focused_;
  node.focusable = true;
  node.selected = selected_;
  node.toggled = selected_;
  return node;
}

bool SidebarRow::perform_action(const kalu_ui::SemanticAction& action,
                                const kalu_actions::ActionContext&) {
  if (action.kind != kalu_ui::SemanticAction::Kind::Activate) return false;
  activate();
  return true;
}

std::optional<std::string> SidebarRow::get_state() const {
  return std::string(selected_ ? "active" : "inactive");
}

}  // namespace settings::sidebar
