// What each toolkit type answers for the contract operations it leaves to
// the provided behaviour, next to the ones it answers itself.
#include <gtest/gtest.h>

#include <functional>

#include "frame.h"
#include "kalu_actions/encoded_action.h"
#include "kalu_ui/widget/button.h"
#include "kalu_ui/widget/card.h"
#include "kalu_ui/widget/column.h"
#include "kalu_ui/widget/dropdown.h"
#include "kalu_ui/widget/scrollable.h"
#include "kalu_ui/widget/slider.h"
#include "kalu_ui/widget/text.h"
#include "kalu_ui/widget/text_input.h"
#include "kalu_ui/widget/toggle.h"

namespace kalu_ui::widget {
namespace {

struct DirtyCase {
  const char* name;
  std::function<WidgetBox()> make;
  bool needs_redraw;
  bool layout_dirty;
};

// A leaf that keeps no redraw answer of its own still asks for a redraw
// after it was laid out and drawn (the frame loop then finds its scene the
// same and repaints nothing); its layout settles, so an idle frame lays
// nothing out. A change makes it dirty again.
TEST(ContractTableTest, LeafRedrawAndLayoutAnswersAfterLayoutAndDraw) {
  const DirtyCase cases[] = {
      {"Toggle", [] { return boxed(Toggle("Wi-Fi", "wifi.enabled")); }, true, false},
      {"Slider", [] { return boxed(Slider("volume", 0.0, 100.0, 50.0)); }, true, false},
      {"Dropdown",
       [] {
         return boxed(Dropdown("mode", {"Light", "Dark"}, "Light"));
       },
       true, false},
      {"TextInput", [] { return boxed(TextInput("name")); }, true, false},
      {"Button", [] { return boxed(Button("Go")); }, false, false},
      {"Text", [] { return boxed(Text("Hello")); }, false, false},
  };
  for (const auto& c : cases) {
    testing::Frame frame;
    WidgetBox widget = c.make();
    ASSERT_TRUE(frame.layout(*widget, 300.0, 100.0)) << c.name;
    frame.draw(*widget);
    widget->mark_drawn();
    EXPECT_EQ(widget->needs_redraw(), c.needs_redraw) << c.name;
    EXPECT_EQ(widget->is_layout_dirty(), c.layout_dirty) << c.name;
  }
  Toggle toggle("Wi-Fi", "wifi.enabled");
  testing::Frame frame;
  ASSERT_TRUE(frame.layout(toggle, 300.0, 100.0));
  toggle.mark_drawn();
  EXPECT_FALSE(toggle.is_layout_dirty());
  toggle.flip();
  EXPECT_TRUE(toggle.is_layout_dirty());
}

// A child that claims an operation only when it is started with the document.
class DocumentOnlyClaimer : public Leaf {
 public:
  std::string_view type_name() const override { return "test::DocumentOnlyClaimer"; }
  void draw(Scene&, const Affine&, text::TextRenderer&, const Theme&, DrawContext&) override {}
  DeviceLocalOutcome start_resource_operation_with_document(const ResourceOperationId&,
                                                            OperationKind, std::string_view,
                                                            Payload,
                                                            ResourceOperationContext&) override {
    return DeviceLocalOutcome::accepted();
  }
};

// Card and Scrollable keep the provided start with the document: it goes to
// their own start, which asks each child's plain start only.
TEST(ContractTableTest, CardAndScrollableStartThroughTheirChildrensPlainStart) {
  Card card(boxed(DocumentOnlyClaimer()));
  Scrollable scroll = Scrollable().with_child(boxed(DocumentOnlyClaimer()));
  ResourceOperationContext context;
  for (Widget* widget : {static_cast<Widget*>(&card), static_cast<Widget*>(&scroll)}) {
    EXPECT_TRUE(widget
                    ->start_resource_operation_with_document(ResourceOperationId{}, 1,
                                                             "kalu.ui.other", Payload{}, context)
                    .is_not_handled())
        << widget->short_type_name();
  }
}

// The button answers the control operation through its invoke with a result
// record; the plain invoke keeps the provided routing, which a leaf answers
// with not handled, so routing an invoke down a tree never presses it.
TEST(ContractTableTest, ButtonPressedThroughInvokeV2Only) {
  int clicks = 0;
  Column column;
  column.push(boxed(Button("Go").with_id("go").on_click([&] { ++clicks; })));
  Button& button = static_cast<Button&>(*column.children_mut()[0]);
  ResourceOperationContext context;
  const Payload payload = kalu_actions::bytes_of("\"go\"");

  auto routed = column.invoke_resource_operation(2, "kalu.ui.control.invoke", payload, context);
  ASSERT_TRUE(routed);
  EXPECT_FALSE(*routed);
  EXPECT_EQ(button.invoke_resource_operation(2, "kalu.ui.control.invoke", payload, context),
            Result<bool>(false));
  EXPECT_EQ(clicks, 0);

  EXPECT_EQ(button.invoke_resource_operation_v2(2, "kalu.ui.control.invoke", payload, context),
            ResourceInvokeResult::completed());
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(button.invoke_resource_operation_v2(0, "kalu.ui.control.invoke", payload, context),
            ResourceInvokeResult::not_handled());
  EXPECT_EQ(clicks, 1);
}

}  // namespace
}  // namespace kalu_ui::widget
