// The application's node around the shell, and what happens when the layout
// tree has no room for it.

#include "kalu_ui/layout.h"

#include <gtest/gtest.h>

#include "app_fixture.h"
#include "kalu_ui/text.h"

namespace settings::settings_app {
namespace {

using kalu_ui::layout::LayoutTree;
using kalu_ui::layout::NodeId;
using kalu_ui::layout::NodeRegistry;
using testing::TempDir;

// One frame by hand, as the loop runs it, on a tree of the given capacity.
struct ManualFrame {
  explicit ManualFrame(std::size_t capacity) : tree(capacity) {}

  NodeId lay_out(SettingsApp& app) {
    kalu_ui::doc::Document document;
    app.sync(document);
    tree.clear();
    registry.clear();
    const NodeId root = app.build_layout(tree, kalu_ui::RenderContext{}, registry);
    const kalu_ui::layout::AvailableSize window{kalu_ui::layout::AvailableSpace::definite(1280.0f),
                                                kalu_ui::layout::AvailableSpace::definite(800.0f)};
    auto measure = [&](NodeId node, kalu_ui::layout::KnownDimensions known,
                       kalu_ui::layout::AvailableSize space) {
      kalu_ui::Widget* widget = registry.find(node);
      return widget ? widget->measure(known, space, renderer) : kalu_ui::layout::LayoutSize{};
    };
    EXPECT_TRUE(tree.compute_layout(root, window, measure));
    app.apply_layout(tree, root, 0.0, 0.0);
    return root;
  }

  LayoutTree tree;
  NodeRegistry registry;
  kalu_ui::text::TextRenderer renderer;
};

TEST(LayoutTest, TheWrapperFillsTheWindowAndCarriesTheApplication) {
  TempDir root;
  SettingsApp app(root.path());
  ManualFrame frame(LayoutTree::kDefaultMaxNodes);
  const NodeId node = frame.lay_out(app);
  EXPECT_EQ(frame.registry.find(node), &app);
  EXPECT_EQ(app.get_rect(), (kalu_ui::Rect{0, 0, 1280, 800}));
  EXPECT_EQ(app.shell()->get_rect(), (kalu_ui::Rect{0, 0, 1280, 800}));
}

// A tree one node short of the wrapper: the shell's own node stands in, and
// the shell is laid out and reached by events exactly as with the wrapper.
TEST(LayoutTest, RefusedWrapperHandsTheShellItsOwnNode) {
  TempDir root;
  SettingsApp reference(root.path());
  ManualFrame full(LayoutTree::kDefaultMaxNodes);
  full.lay_out(reference);
  const std::size_t needed = full.tree.size();

  SettingsApp app(root.path());
  ManualFrame tight(needed - 1);
  const NodeId node = tight.lay_out(app);
  EXPECT_EQ(tight.tree.size(), needed - 1);
  EXPECT_NE(tight.registry.find(node), &app);
  EXPECT_EQ(app.get_rect(), (kalu_ui::Rect{0, 0, 1280, 800}));
  EXPECT_EQ(app.shell()->get_rect(), reference.shell()->get_rect());
  EXPECT_EQ(app.shell()->content_rect(), reference.shell()->content_rect());
  EXPECT_EQ(app.shell()->nav_rect(), reference.shell()->nav_rect());

  // A click on the Sound row reaches the row and asks for Sound.
  const kalu_ui::Widget* row = kalu_ui::frame::find_by_id(std::as_const(app), "Sound");
  ASSERT_NE(row, nullptr);
  EXPECT_EQ(row->get_rect(),
            kalu_ui::frame::find_by_id(std::as_const(reference), "Sound")->get_rect());
  const kalu_ui::Point at = row->get_rect().center();
  for (const kalu_ui::Event& event :
       {kalu_ui::Event(kalu_ui::PointerMove{at, {}}),
        kalu_ui::Event(kalu_ui::PointerDown{at, kalu_ui::PointerButton::Primary, {}, 1}),
        kalu_ui::Event(kalu_ui::PointerUp{at, kalu_ui::PointerButton::Primary, {}})}) {
    kalu_ui::EventContext context;
    app.handle_event(event, context);
  }
  EXPECT_EQ(app.requested_pane()->get(), 3);
  tight.lay_out(app);
  EXPECT_EQ(app.selected_category(), panes::Pane::kSound);
}

}  // namespace
}  // namespace settings::settings_app
