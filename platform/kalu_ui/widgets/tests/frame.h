#pragma once

#include <string>

#include "kalu_ui/cairo_backend.h"
#include "kalu_ui/layout.h"
#include "kalu_ui/scene.h"
#include "kalu_ui/text.h"
#include "kalu_ui/theme.h"
#include "widget_contract/widget.h"

// One frame of a widget tree without a window: build the layout tree, lay it
// out at a size (the leaves measured through the registry), apply it, draw
// it, and render the scene when pixels are wanted.
namespace kalu_ui::widget::testing {

class Frame {
 public:
  explicit Frame(Theme theme = Theme::light()) : theme_(std::move(theme)) {}

  // Builds and lays out `root` at width x height; answers false when the
  // tree refused it.
  bool layout(Widget& root, double width, double height) {
    tree_.clear();
    registry_.clear();
    const auto node = root.build_layout(tree_, RenderContext{}, registry_);
    if (!node.is_valid()) return false;
    const layout::AvailableSize available{
        layout::AvailableSpace::definite(static_cast<float>(width)),
        layout::AvailableSpace::definite(static_cast<float>(height))};
    const auto measure = [this](layout::NodeId id, layout::KnownDimensions known,
                                layout::AvailableSize space) {
      Widget* widget = registry_.find(id);
      return widget ? widget->measure(known, space, renderer_) : layout::LayoutSize{};
    };
    if (!tree_.compute_layout(node, available, measure)) return false;
    root.apply_layout(tree_, node, 0.0, 0.0);
    return true;
  }

  // Re-applies the last layout (after a scroll, say) without rebuilding.
  const Scene& draw(Widget& root, std::optional<Rect> clip = std::nullopt) {
    scene_.clear();
    DrawContext context{clip, 1.0};
    root.draw_with_presence(scene_, Affine::identity(), renderer_, theme_, context);
    return scene_;
  }

  cairo_backend::RenderedImage render(Widget& root, int width, int height) {
    draw(root);
    auto image = cairo_backend::render(scene_, width, height, 1.0, theme_.background);
    return std::move(*image);
  }

  static std::string artifact(const std::string& name) {
    return std::string(KALU_UI_WIDGETS_ARTIFACTS) + "/" + name;
  }

  const Theme& theme() const { return theme_; }
  text::TextRenderer& renderer() { return renderer_; }
  layout::LayoutTree& tree() { return tree_; }
  layout::NodeRegistry& registry() { return registry_; }
  const Scene& scene() const { return scene_; }

 private:
  Theme theme_;
  text::TextRenderer renderer_;
  layout::LayoutTree tree_;
  layout::NodeRegistry registry_;
  Scene scene_;
};

// The first widget of the subtree (itself included, depth first) whose id or
// presence key is `id`.
inline const Widget* find_by_id(const Widget& root, std::string_view id) {
  if (root.id() == std::optional<std::string>(std::string(id))) return &root;
  if (auto key = root.presence_key(); key && key->value == id) return &root;
  for (const Widget* child : root.children()) {
    if (const Widget* found = find_by_id(*child, id)) return found;
  }
  return nullptr;
}

}  // namespace kalu_ui::widget::testing
