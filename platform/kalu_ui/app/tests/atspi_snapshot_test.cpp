// What the accessibility bridge publishes of a window: the snapshot of its
// widget tree (kalu_ui/atspi/snapshot.h) taken after a frame, and what a
// client's request does to the tree at the next one.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "kalu_ui/atspi/snapshot.h"
#include "kalu_ui/harness.h"
#include "kalu_ui/secret.h"
#include "kalu_ui/widget/button.h"
#include "kalu_ui/widget/column.h"
#include "kalu_ui/widget/controls.h"
#include "kalu_ui/widget/dropdown.h"
#include "kalu_ui/widget/scrollable.h"
#include "kalu_ui/widget/slider.h"
#include "kalu_ui/widget/text.h"
#include "kalu_ui/widget/text_input.h"
#include "kalu_ui/widget/toggle.h"
#include "test_widgets.h"

namespace kalu_ui {
namespace {

namespace w = widget;
using atspi::Node;
using atspi::State;
using harness::Harness;

// The window a screen reader would read: a title, a switch its row names, a
// slider, a dropdown, a name field, a password field holding a secret and
// a button, above a block too tall for the window and a button below it.
WidgetBox settings_like_page(std::shared_ptr<secret::SecretBuffer> secret) {
  auto power = w::boxed(w::Toggle("settings.power.toggle", "power").with_id("power"));
  w::label_controls(*power, "Power", "Turns the radio on or off");
  auto column =
      w::Column()
          .push(w::boxed(w::Text("Radio")))
          .push(std::move(power))
          .push(w::boxed(w::Slider("level", 0.0, 1.0, 0.25).with_step(0.05).with_id("level")))
          .push(w::boxed(w::Dropdown("mode", {"Slow", "Fast"}, "Fast").with_id("mode")))
          .push(w::boxed(w::TextInput("name").with_id("name")))
          .push(w::boxed(w::TextInput::from_secret(std::move(secret)).with_id("pass")))
          .push(w::boxed(w::Button("Apply").with_id("apply")))
          .push(std::make_unique<app_test::Block>("tall", layout::LayoutSize{10, 2000}))
          .push(w::boxed(w::Button("Far").with_id("far")));
  return w::boxed(
      w::Column().push(w::boxed(w::Scrollable().with_child(w::boxed(std::move(column))))));
}

struct Window {
  std::shared_ptr<secret::SecretBuffer> secret = std::make_shared<secret::SecretBuffer>();
  std::optional<Harness> h;
  Window() {
    secret->lock().assign("hunter2-secret");
    h.emplace(settings_like_page(secret), harness::Options::sized({400, 600}));
    h->frame();
  }
  atspi::Snapshot snapshot() {
    atspi::SnapshotOptions options;
    options.fallback_name = "Demo";
    return atspi::build_snapshot(h->root(), options);
  }
};

const Node* by_id(const atspi::Snapshot& s, std::string_view id) {
  for (const Node& node : s.nodes) {
    if (node.accessible_id == id) return &node;
  }
  return nullptr;
}

TEST(AtspiSnapshot, NodesCarryRolesNamesStatesValuesAndText) {
  Window win;
  win.h->document().put(doc::kRoot, "power", doc::Scalar(true));
  win.h->frame();
  ASSERT_TRUE(win.h->click_id("name"));
  win.h->type_text("Ada");
  const atspi::Snapshot s = win.snapshot();

  // The root is the window, the scrolling area inside it, the page's nodes
  // lifted out of the columns that hold them.
  ASSERT_FALSE(s.nodes.empty());
  EXPECT_EQ(s.nodes[0].role, atspi::role::kFrame);
  EXPECT_EQ(s.nodes[0].name, "Demo");
  ASSERT_EQ(s.nodes[0].children.size(), 1u);
  const Node& pane = s.nodes[s.nodes[0].children[0]];
  EXPECT_EQ(pane.role, atspi::role::kScrollPane);
  EXPECT_EQ(pane.children.size(), 8u);

  const Node* power = by_id(s, "power");
  ASSERT_NE(power, nullptr);
  EXPECT_EQ(power->role, atspi::role::kToggleButton);
  EXPECT_EQ(power->name, "Power");
  EXPECT_EQ(power->description, "Turns the radio on or off");
  EXPECT_TRUE(power->states.has(State::Checked));
  EXPECT_TRUE(power->states.has(State::Focusable));
  EXPECT_EQ(power->action, "toggle");

  const Node* level = by_id(s, "level");
  ASSERT_TRUE(level && level->value);
  EXPECT_EQ(*level->value, (AccessibleRange{0.0, 1.0, 0.05, 0.25}));
  EXPECT_EQ(by_id(s, "mode")->role, atspi::role::kComboBox);
  EXPECT_EQ(by_id(s, "apply")->role, atspi::role::kButton);
  EXPECT_EQ(by_id(s, "apply")->name, "Apply");

  const Node* name = by_id(s, "name");
  EXPECT_EQ(name->role, atspi::role::kEntry);
  EXPECT_EQ(name->text, "Ada");
  EXPECT_EQ(name->caret, 3u);
  EXPECT_TRUE(name->states.has(State::Focused));
  EXPECT_EQ(s.focused, name - s.nodes.data());

  // A secret field is a password text with nothing in it, and the secret is
  // nowhere in what the bus may read.
  const Node* pass = by_id(s, "pass");
  EXPECT_EQ(pass->role, atspi::role::kPasswordText);
  EXPECT_EQ(pass->text, "");
  for (const Node& node : s.nodes) {
    for (const std::string* text : {&node.name, &node.description, &node.accessible_id}) {
      EXPECT_EQ(text->find("hunter2"), std::string::npos);
    }
    EXPECT_EQ(node.text.value_or("").find("hunter2"), std::string::npos);
  }

  // What the viewport shows is showing; what lies below the fold is not.
  EXPECT_TRUE(power->states.has(State::Showing));
  EXPECT_FALSE(by_id(s, "far")->states.has(State::Showing));
  EXPECT_TRUE(by_id(s, "far")->states.has(State::Visible));
}

TEST(AtspiSnapshot, PathsOutliveARebuiltPageAndRequestsFindTheirWidget) {
  Window first;
  Window second;
  const atspi::Snapshot a = first.snapshot();
  const atspi::Snapshot b = second.snapshot();
  ASSERT_EQ(a.nodes.size(), b.nodes.size());
  for (std::size_t i = 0; i < a.nodes.size(); ++i) EXPECT_EQ(a.nodes[i].path, b.nodes[i].path);

  // Every node's key leads back to the widget it was taken from (a
  // dropdown's list and options to the dropdown).
  for (const Node& node : a.nodes) {
    const std::string& key = node.owner_key.empty() ? node.key : node.owner_key;
    Widget* widget = atspi::find_widget(first.h->root(), key);
    ASSERT_NE(widget, nullptr) << node.key;
    if (!node.accessible_id.empty()) {
      EXPECT_EQ(widget->id(), node.accessible_id);
    }
  }
  EXPECT_EQ(atspi::find_widget(first.h->root(), "#gone"), nullptr);
}

}  // namespace
}  // namespace kalu_ui
