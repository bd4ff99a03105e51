// The toolkit's demo: an application shell with a sidebar of pages and a
// scrolling content page built from the toolkit's widgets. Choosing a row of
// the sidebar shows its page; typing in the search field narrows the sidebar.
// Every button is a control resource ("kalu.control:<id>"), so an automation
// client (settingsctl --app kalu.ui-demo) presses it as a click does; the
// check button reports each press on standard output.

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <memory>
#include <string>
#include <utility>

#include "kalu_ui/app.h"
#include "kalu_ui/wake_slot.h"
#include "kalu_ui/widget/app_shell.h"
#include "kalu_ui/widget/badge.h"
#include "kalu_ui/widget/button.h"
#include "kalu_ui/widget/card.h"
#include "kalu_ui/widget/column.h"
#include "kalu_ui/widget/row.h"
#include "kalu_ui/widget/scrollable.h"
#include "kalu_ui/widget/text.h"
#include "kalu_ui/widget/text_input.h"
#include "kalu_ui/widget/toggle.h"

namespace {

using kalu_ui::WakeSlot;
using kalu_ui::WidgetBox;
using namespace kalu_ui::widget;

struct Page {
  const char* title;
  const char* subtitle;
};

constexpr std::array<Page, 4> kPages{{
    {"Network", "Wi-Fi, wired connections and VPN"},
    {"Sound", "Outputs, inputs and volume"},
    {"Appearance", "Theme, accent colour and text size"},
    {"About", "This device and its software"},
}};

WidgetBox setting_row(const std::string& label, const std::string& detail, WidgetBox control) {
  return boxed(Row()
                   .with_gap(16.0f)
                   .with_alignment(Alignment::Center)
                   .with_justify(kalu_ui::layout::Justify::SpaceBetween)
                   .push(boxed(Column()
                                   .with_gap(2.0f)
                                   .push(boxed(Text(label)))
                                   .push(boxed(Text(detail).with_size(12.0f).with_muted()))))
                   .push(std::move(control)));
}

WidgetBox build_page(std::size_t index) {
  const Page& page = kPages[index];
  const std::string key = std::string("demo.") + page.title;
  auto header =
      boxed(Column()
                .with_gap(4.0f)
                .push(boxed(Text("SETTINGS").with_size(12.0f).with_muted().with_wrap()))
                .push(boxed(Text(page.title).with_size(24.0f).with_wrap()))
                .push(boxed(Text(page.subtitle).with_size(13.0f).with_muted().with_wrap())));
  auto general = boxed(
      Card("General", std::string("How ") + page.title + " behaves on this device",
           boxed(Column()
                     .with_gap(12.0f)
                     .push(setting_row(
                         "Enabled", "Turn this off to save power",
                         boxed(Toggle("Enabled", key + ".enabled").with_id(key + ".enabled"))))
                     .push(setting_row("Status", "Updated a moment ago",
                                       boxed(Badge::with_tone("Connected", kalu_ui::kToneSuccess))))
                     .push(setting_row("Diagnostics", "Check the current configuration",
                                       boxed(Button("Run check")
                                                 .with_id(key + ".check")
                                                 .bind_control_invoke(true, [title = page.title] {
                                                   std::printf("demo: check ran on %s\n", title);
                                                   std::fflush(stdout);
                                                 })))))));
  auto details = boxed(Card(
      "Details", std::nullopt,
      boxed(Column()
                .with_gap(8.0f)
                .push(boxed(Text("Everything shown here comes from the toolkit's own widgets: "
                                 "text, rows, columns, cards, buttons, toggles and badges, laid "
                                 "out by the flexbox engine and drawn by Cairo.")
                                .with_wrap()))
                .push(boxed(Text("Resize the window below 720 pixels to see the narrow layout.")
                                .with_size(12.0f)
                                .with_muted()
                                .with_wrap())))));
  return boxed(Scrollable().with_child(boxed(Column()
                                                 .with_gap(16.0f)
                                                 .with_padding_xy(24.0f, 24.0f)
                                                 .push(std::move(header))
                                                 .push(std::move(general))
                                                 .push(std::move(details)))));
}

std::string lower(std::string_view text) {
  std::string out(text);
  std::transform(out.begin(), out.end(), out.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return out;
}

// The sidebar: the pages whose title or subtitle contains the search text.
WidgetBox build_nav(const std::shared_ptr<WakeSlot<int>>& selection, const std::string& search) {
  Column nav;
  nav.with_gap(4.0f).with_padding_xy(12.0f, 8.0f);
  nav.push(boxed(Text("PAGES").with_size(12.0f).with_muted()));
  const std::string needle = lower(search);
  bool any = false;
  for (std::size_t i = 0; i < kPages.size(); ++i) {
    const std::string haystack = lower(std::string(kPages[i].title) + " " + kPages[i].subtitle);
    if (haystack.find(needle) == std::string::npos) continue;
    any = true;
    nav.push(boxed(Button(kPages[i].title)
                       .with_id(std::string("demo.nav.") + kPages[i].title)
                       .bind_control_invoke(
                           true, [selection, i] { selection->publish(static_cast<int>(i)); })));
  }
  if (!any) nav.push(boxed(Text("No matching pages").with_size(13.0f).with_muted()));
  return boxed(std::move(nav));
}

// The root: the shell, and the selected page, changed through a value cell
// that the sidebar's buttons publish into; the search field publishes into a
// text cell that narrows the sidebar.
class DemoApp : public kalu_ui::Widget {
 public:
  DemoApp()
      : selection_(WakeSlot<int>::create(-1)),
        search_(WakeSlot<std::string>::create("")),
        shell_(AppShell(build_nav(selection_, ""), build_page(0))
                   .with_search(boxed(TextInput::from_state(search_)
                                          .with_id("demo.search")
                                          .with_kind(TextInput::kKindSearch)
                                          .with_placeholder("Search settings")))
                   .with_metrics(264.0, 720.0)
                   .with_narrow_screen(true)) {}

  std::string_view type_name() const override { return "kalu_ui::demo::DemoApp"; }
  void sync(kalu_ui::doc::Document& document) override {
    const int asked = selection_->get();
    if (asked >= 0) {
      selection_->publish(-1);
      if (asked != selected_ && asked < static_cast<int>(kPages.size())) {
        selected_ = asked;
        shell_.set_content(build_page(static_cast<std::size_t>(asked)));
        shell_.notify_selection();
      }
    }
    if (const std::uint64_t generation = search_->generation(); generation != search_seen_) {
      search_seen_ = generation;
      shell_.set_nav(build_nav(selection_, search_->get()));
    }
    shell_.sync(document);
  }
  kalu_ui::layout::NodeId build_layout(kalu_ui::layout::LayoutTree& tree,
                                       const kalu_ui::RenderContext& context,
                                       kalu_ui::layout::NodeRegistry& registry) override {
    return shell_.build_layout(tree, context, registry);
  }
  void apply_layout(const kalu_ui::layout::LayoutTree& tree, kalu_ui::layout::NodeId node, double x,
                    double y) override {
    shell_.apply_layout(tree, node, x, y);
  }
  void draw(kalu_ui::Scene& scene, const kalu_ui::Affine& transform,
            kalu_ui::text::TextRenderer& renderer, const kalu_ui::Theme& theme,
            kalu_ui::DrawContext& context) override {
    shell_.draw(scene, transform, renderer, theme, context);
  }
  void handle_event(const kalu_ui::Event& event, kalu_ui::EventContext& context) override {
    shell_.handle_event(event, context);
  }
  std::vector<const Widget*> children() const override { return {&shell_}; }
  std::vector<Widget*> children_mut() override { return {&shell_}; }
  kalu_ui::Rect get_rect() const override { return shell_.get_rect(); }
  bool take_structure_dirty() override { return shell_.take_structure_dirty(); }
  // The automation surface: every control resource of the tree (the
  // buttons), in tree order, under one root.
  std::vector<kalu_actions::Resource> resources(
      const kalu_ui::doc::Document& document) const override {
    auto root = kalu_actions::Resource::create("kalu.demo", "kalu.demo", "Toolkit Demo");
    const auto gather = [&](const auto& self, const Widget& widget) -> void {
      for (auto& resource : widget.resources(document)) {
        root = std::move(root).with_child(std::move(resource));
      }
      for (const Widget* child : widget.children()) self(self, *child);
    };
    gather(gather, shell_);
    return {std::move(root)};
  }
  std::optional<kalu_actions::Resource> resource_by_id(const kalu_ui::doc::Document& document,
                                                       std::string_view id) const override {
    const auto tree = resources(document);
    if (const auto* found = tree.front().find(id)) return *found;
    return std::nullopt;
  }
  std::optional<kalu_ui::AccessibilityNode> accessibility() const override {
    return kalu_ui::AccessibilityNode{}.with_label("Toolkit Demo").with_id("kalu.demo");
  }

 private:
  std::shared_ptr<WakeSlot<int>> selection_;
  std::shared_ptr<WakeSlot<std::string>> search_;
  std::uint64_t search_seen_ = 0;
  AppShell shell_;
  int selected_ = 0;
};

}  // namespace

int main() {
  kalu_ui::launch::AppSpec spec;
  spec.app_id = "kalu.ui-demo";
  spec.make_app = [](kalu_ui::app::App&) -> WidgetBox { return std::make_unique<DemoApp>(); };
  spec.setup = [](kalu_ui::app::App& app) {
    app.setting_a = true;
    app.setting_b = true;
  };
  spec.default_window_size = [] { return kalu_ui::launch::WindowSize{1280, 800}; };
  spec.persist_open = &kalu_ui::persist::open;
  return kalu_ui::launch::run_or_exit(std::move(spec));
}
