// A page rebuilt under the person's hands keeps their place: the frame loop
// takes the place of the tree before anything of a frame may replace a page
// and hands it to the page built in its place (kalu_ui/widget/place.h); the
// frame that builds a page syncs it before drawing it.

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "kalu_ui/document.h"
#include "kalu_ui/harness.h"
#include "kalu_ui/widget/button.h"
#include "kalu_ui/widget/column.h"
#include "kalu_ui/widget/dropdown.h"
#include "kalu_ui/widget/scrollable.h"
#include "kalu_ui/widget/text_input.h"
#include "kalu_ui/widget/toggle.h"
#include "test_widgets.h"

namespace kalu_ui {
namespace {

using app_test::Block;
using harness::Harness;
namespace w = widget;

// Builds its page afresh at every layout, as a pane does, and asks for a
// new layout whenever `rebuild` is set.
class Rebuilt : public Widget {
 public:
  explicit Rebuilt(std::function<WidgetBox()> make) : make_(std::move(make)) {}
  std::string_view type_name() const override { return "kalu_ui::app_test::Rebuilt"; }
  layout::NodeId build_layout(layout::LayoutTree& tree, const RenderContext& context,
                              layout::NodeRegistry& registry) override {
    if (std::exchange(replace_once_built, false)) replace_at_sync = true;
    if (!std::exchange(keep_page, false)) page_ = make_();
    ++builds;
    return page_->build_layout(tree, context, registry);
  }
  void apply_layout(const layout::LayoutTree& tree, layout::NodeId node, double x,
                    double y) override {
    page_->apply_layout(tree, node, x, y);
  }
  void draw(Scene& scene, const Affine& transform, text::TextRenderer& renderer, const Theme& theme,
            DrawContext& context) override {
    if (page_) page_->draw_with_presence(scene, transform, renderer, theme, context);
  }
  void handle_event(const Event& event, EventContext& context) override {
    if (page_) page_->handle_event(event, context);
  }
  void sync(doc::Document& document) override {
    if (std::exchange(replace_at_sync, false)) {
      // As a pane that builds its page anew when its sync learns something
      // and asks for the layout of it.
      page_ = make_();
      keep_page = rebuild = true;
    }
    if (page_) page_->sync(document);
  }
  std::vector<const Widget*> children() const override {
    return child_list<const Widget*>(page_.get());
  }
  std::vector<Widget*> children_mut() override { return child_list(page_.get()); }
  Rect get_rect() const override { return page_ ? page_->get_rect() : Rect{}; }
  bool take_structure_dirty() override { return std::exchange(rebuild, false); }

  bool rebuild = false;
  // The sync after the next build replaces the page.
  bool replace_once_built = false;
  int builds = 0;

 private:
  std::function<WidgetBox()> make_;
  WidgetBox page_;
  bool replace_at_sync = false;
  bool keep_page = false;
};

// A page taller than the window: a name field, a button, a switch and a
// dropdown at the top, a tall block below them. The viewport's key is
// `place_key` when given.
struct TallPage {
  std::string place_key;
  int clicks = 0;

  WidgetBox make() {
    auto column =
        w::Column()
            .push(w::boxed(w::TextInput("name").with_id("name")))
            .push(w::boxed(w::Button("Go").with_id("go").on_click([this] { ++clicks; })))
            .push(w::boxed(w::Toggle("Flag", "flag").with_id("flag")))
            .push(w::boxed(w::Dropdown("pick", {"One", "Two", "Three"}, "One").with_id("pick")))
            .push(std::make_unique<Block>("tall", layout::LayoutSize{100, 3000}));
    auto viewport = w::Scrollable().with_child(w::boxed(std::move(column)));
    if (!place_key.empty()) viewport.with_place_key(place_key);
    return w::boxed(std::move(viewport));
  }
};

struct PageInHarness {
  explicit PageInHarness(std::string key = {}) : page{std::move(key)} {
    auto root = std::make_unique<Rebuilt>([this] { return page.make(); });
    rebuilt = root.get();
    harness.emplace(std::move(root), harness::Options::sized({400, 300}));
    harness->frame();
  }
  void rebuild() {
    rebuilt->rebuild = true;
    harness->frame();
  }
  template <typename W>
  W& find(std::string_view id) {
    auto* found = dynamic_cast<W*>(harness->find(id));
    EXPECT_NE(found, nullptr) << id;
    return *found;
  }
  w::Scrollable& viewport() {
    return *dynamic_cast<w::Scrollable*>(harness->root().children_mut().at(0));
  }

  TallPage page;
  Rebuilt* rebuilt = nullptr;
  std::optional<Harness> harness;
};

TEST(FirstFrame, AWidgetBuiltByTheLayoutDrawsTheDocumentsValue) {
  PageInHarness p;
  auto& h = *p.harness;
  ASSERT_TRUE(h.document().put(doc::kRoot, "flag", doc::Scalar(true)));
  p.rebuild();
  // No input since the frame that built it, and no further frame.
  EXPECT_TRUE(p.find<w::Toggle>("flag").value());
  EXPECT_EQ(p.rebuilt->builds, 2);
}

// The sync after a build may itself replace the page: the layout is built
// again before anything measures the widgets that went.
TEST(FirstFrame, APageReplacedByTheSyncAfterTheBuildIsBuiltAgain) {
  PageInHarness p;
  auto& h = *p.harness;
  ASSERT_TRUE(h.document().put(doc::kRoot, "flag", doc::Scalar(true)));
  p.rebuilt->replace_once_built = true;
  p.rebuild();
  EXPECT_EQ(p.rebuilt->builds, 3);  // the first, the rebuild, the page its sync made
  EXPECT_TRUE(p.find<w::Toggle>("flag").value());
  EXPECT_EQ(h.rect_of("flag")->width(), w::Toggle::kWidth);
}

TEST(KeepPlace, ScrollFocusTextAndCaretOutliveARebuild) {
  PageInHarness p;
  auto& h = *p.harness;
  ASSERT_TRUE(h.click_id("name"));
  h.type_text("abc");
  h.key(Key::Left);
  h.wheel({200, 150}, {0, 120});
  ASSERT_GT(p.viewport().offset(), 0.0);
  const double offset = p.viewport().offset();

  p.rebuild();
  EXPECT_EQ(p.rebuilt->builds, 2);
  EXPECT_EQ(p.viewport().offset(), offset);
  auto& field = p.find<w::TextInput>("name");
  EXPECT_EQ(h.focused(), &field);
  EXPECT_EQ(field.caret(), 2u);
  // Typing goes on where it was.
  h.type_text("X");
  EXPECT_EQ(p.find<w::TextInput>("name").text(), "abXc");
  EXPECT_EQ(h.document().read_text(doc::kRoot, "name"), "abXc");
}

TEST(KeepPlace, AViewportOfAnotherKeyStartsAtTheTop) {
  PageInHarness p("page.a");
  auto& h = *p.harness;
  h.wheel({200, 150}, {0, 120});
  ASSERT_GT(p.viewport().offset(), 0.0);
  p.rebuild();
  EXPECT_GT(p.viewport().offset(), 0.0);
  p.page.place_key = "page.b";
  p.rebuild();
  EXPECT_EQ(p.viewport().offset(), 0.0);
}

// A value given to the field while the person types into it (a background
// answer) waits: their text stands, and the document gets it back, until
// Enter ends the edit.
TEST(KeepPlace, AValueArrivingWhileThePersonTypesDoesNotReplaceTheirText) {
  PageInHarness p;
  auto& h = *p.harness;
  ASSERT_TRUE(h.click_id("name"));
  h.type_text("typed");
  ASSERT_TRUE(h.document().put(doc::kRoot, "name", "from a probe"));
  p.rebuild();
  EXPECT_EQ(p.find<w::TextInput>("name").text(), "typed");
  EXPECT_EQ(h.document().read_text(doc::kRoot, "name"), "typed");

  h.key(Key::Enter);
  ASSERT_TRUE(h.document().put(doc::kRoot, "name", "from a probe"));
  h.frame();
  EXPECT_EQ(p.find<w::TextInput>("name").text(), "from a probe");
}

TEST(KeepPlace, APressHeldAcrossARebuildClicksOnRelease) {
  PageInHarness p;
  auto& h = *p.harness;
  const Point at = h.rect_of("go")->center();
  h.pointer_down(at);
  p.rebuild();
  h.pointer_up(at);
  EXPECT_EQ(p.page.clicks, 1);
}

TEST(KeepPlace, AnOpenListStaysOpenAtItsEntry) {
  PageInHarness p;
  auto& h = *p.harness;
  ASSERT_TRUE(h.click_id("pick"));
  h.key(Key::Down);
  ASSERT_EQ(p.find<w::Dropdown>("pick").highlighted(), 1u);
  p.rebuild();
  EXPECT_EQ(p.find<w::Dropdown>("pick").highlighted(), 1u);
}

}  // namespace
}  // namespace kalu_ui
