#pragma once

#include <optional>
#include <string_view>

#include "kalu_ui/layout.h"
#include "widget_contract/widget.h"

// The application shell: a navigation side with an optional search field
// above it, and a content side. A window narrower than the narrow-screen
// width shows one side at a time: the navigation as a panel that a button in
// a top bar opens and collapses, and the content when the panel is collapsed.
//
//   auto shell = AppShell(std::move(nav), std::move(page))
//                    .with_search(std::move(field))
//                    .with_metrics(264.0, 720.0)
//                    .with_narrow_screen(true);
//
// Redraws, damage, cursors and update keep the contract's defaults: the frame
// loop's walks reach the sides' own answers. A change of sides or of the
// narrow state rebuilds the layout, which repaints the whole window.
namespace kalu_ui::widget {

class AppShell : public Widget {
 public:
  static constexpr double kNavWidth = 264.0;
  static constexpr double kNarrowBelow = 720.0;
  static constexpr double kTopBarHeight = 48.0;
  static constexpr double kSearchPadding = 12.0;

  AppShell(WidgetBox nav, WidgetBox content);
  ~AppShell() override;
  AppShell(AppShell&&) noexcept;
  AppShell& operator=(AppShell&&) noexcept;

  AppShell& with_search(WidgetBox search) &;
  AppShell&& with_search(WidgetBox search) && { return std::move(with_search(std::move(search))); }
  // The navigation side's width and the window width below which the shell
  // is narrow (logical pixels, not scaled).
  AppShell& with_metrics(double nav_width, double narrow_below) &;
  AppShell&& with_metrics(double nav_width, double narrow_below) && {
    return std::move(with_metrics(nav_width, narrow_below));
  }
  // Whether a narrow window switches to one side at a time; off by default.
  AppShell& with_narrow_screen(bool enabled) &;
  AppShell&& with_narrow_screen(bool enabled) && { return std::move(with_narrow_screen(enabled)); }

  // Replace one side; the old one is dropped at once.
  void set_nav(WidgetBox nav);
  void set_content(WidgetBox content);
  // Replaces the content and hands the old one back to the caller, who may
  // keep it alive (a page whose work is not finished).
  WidgetBox exchange_content(WidgetBox content);
  // The selection changed: a narrow shell collapses its panel to show the content.
  void notify_selection();

  bool is_narrow() const { return narrow_; }
  bool is_sidebar_collapsed() const { return collapsed_; }
  void set_sidebar_collapsed(bool collapsed);
  // The navigation is visible: always when wide, unless collapsed when narrow.
  bool sidebar_open() const { return !narrow_ || !collapsed_; }
  // The content side's rectangle from the last layout (zero while hidden or unlaid).
  Rect content_rect() const;
  Rect nav_rect() const;
  // The button of the top bar that opens and collapses the panel (narrow only).
  std::optional<Rect> toggle_rect() const;

  Widget* nav() { return nav_.get(); }
  Widget* content() { return content_.get(); }
  Widget* search() { return search_.get(); }
  double nav_width() const { return nav_width_; }
  double narrow_below() const { return narrow_below_; }

  std::string_view type_name() const override;
  layout::NodeId build_layout(layout::LayoutTree& tree, const RenderContext& context,
                              layout::NodeRegistry& registry) override;
  void apply_layout(const layout::LayoutTree& tree, layout::NodeId node, double origin_x,
                    double origin_y) override;
  void draw(Scene& scene, const Affine& transform, text::TextRenderer& renderer, const Theme& theme,
            DrawContext& context) override;
  void handle_event(const Event& event, EventContext& context) override;
  void sync(doc::Document& document) override;
  std::vector<const Widget*> children() const override;
  std::vector<Widget*> children_mut() override;
  Rect get_rect() const override { return rect_; }
  bool take_structure_dirty() override;

 private:
  struct Nodes;
  bool nav_shown() const { return sidebar_open(); }
  bool content_shown() const { return !narrow_ || collapsed_; }
  void set_narrow(bool narrow);

  WidgetBox nav_;
  WidgetBox content_;
  WidgetBox search_;
  double nav_width_ = kNavWidth;
  double narrow_below_ = kNarrowBelow;
  bool narrow_screen_ = false;
  bool narrow_ = false;
  bool collapsed_ = false;
  bool structure_dirty_ = false;
  Rect rect_;
  std::unique_ptr<Nodes> nodes_;
};

}  // namespace kalu_ui::widget
