#pragma once

#include <any>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <unordered_set>
#include <utility>
#include <vector>

#include "kalu_actions/context.h"
#include "kalu_actions/control_invocation.h"
#include "kalu_actions/resource.h"
#include "kalu_ui/geometry.h"
#include "kalu_ui/instant.h"
#include "kalu_ui/layout_types.h"
#include "kalu_ui/result.h"
#include "widget_contract/draw_context.h"
#include "widget_contract/event.h"
#include "widget_contract/records.h"
#include "widget_contract/type_names.h"

// The widget contract: the operations through which the toolkit drives every
// widget of the tree, each with the behaviour a type gets when it does not
// supply the operation itself. Provided operations that walk the tree ask
// the widget for its children and repeat the same operation on each.
namespace kalu_ui {

namespace layout {
class LayoutTree;
struct Style;
class NodeRegistry;
}  // namespace layout
namespace text {
class TextRenderer;
}  // namespace text
namespace doc {
class Document;
}  // namespace doc
namespace search {
class SearchProvider;  // kalu_ui/search.h
}  // namespace search
class Scene;
struct Theme;
class Widget;

// A non-owning reference to a callable; it must not outlive the callable.
template <typename Signature>
class FunctionRef;

template <typename R, typename... Args>
class FunctionRef<R(Args...)> {
 public:
  template <typename F>
  requires(!std::is_same_v<std::remove_cvref_t<F>, FunctionRef> &&
           std::is_invocable_r_v<R, F&, Args...>) FunctionRef(F&& f)
  noexcept  // NOLINT: converts like a function pointer
      : object_(const_cast<void*>(static_cast<const void*>(std::addressof(f)))),
        call_([](void* object, Args... args) -> R {
          return std::invoke(*static_cast<std::remove_reference_t<F>*>(object),
                             std::forward<Args>(args)...);
        }) {}

  R operator()(Args... args) const { return call_(object_, std::forward<Args>(args)...); }

 private:
  void* object_;
  R (*call_)(void*, Args...);
};

// Called once with each direct child, in child order.
using ChildVisitor = FunctionRef<void(const Widget&)>;

// Bytes of a resource operation's record (its JSON form).
using Payload = std::span<const std::uint8_t>;

// What the toolkit passes with every start, invoke and poll of a resource
// operation; provided routing hands it on unchanged.
struct ResourceOperationContext {
  doc::Document* document = nullptr;
};

// The action ids a widget and its descendants handle.
using ActionIdSet = std::unordered_set<std::string>;

using SearchProviderList = std::vector<std::shared_ptr<search::SearchProvider>>;

class Widget {
 public:
  Widget() = default;
  // Releasing a widget releases everything it owns, its children included.
  virtual ~Widget();

  // The type's full name (see type_names.h); every type answers its own.
  virtual std::string_view type_name() const = 0;
  virtual void notify_a() {}
  virtual std::optional<OpaqueRecord> query_a() const { return std::nullopt; }
  virtual std::int64_t value_a() const { return 0; }
  // Hand both values unchanged to every child (children / children_mut).
  virtual void propagate_a(std::uint64_t first, std::uint64_t second) const;
  virtual void propagate_b(std::uint64_t first, std::uint64_t second);
  virtual bool flag_a() const { return false; }
  virtual std::optional<OpaqueRecord> query_b() const { return std::nullopt; }
  virtual std::optional<std::string> optional_text_a() const { return std::nullopt; }
  // The application's diagnostic snapshot, given the state document and the
  // object id under which the application's values live.
  virtual std::optional<DebugSnapshot> debug_snapshot(const doc::Document& document,
                                                      std::string_view root_object) const;
  virtual bool take_flag_a() { return false; }
  virtual bool take_flag_b() { return false; }
  // Collections: the children's lists concatenated in child order.
  virtual std::vector<CollectedRecord> collect_records(std::uint64_t value) const;
  virtual std::vector<std::string> collect_strings();
  virtual std::vector<CollectedView> collect_views_a();
  virtual std::optional<OpaqueRecord> query_c() const { return std::nullopt; }
  // True at the first child that answers true; later children are not asked.
  virtual bool any_descendant_a() const;
  virtual std::vector<CollectedView> collect_views_b();
  virtual std::vector<CollectedView> collect_views_c();
  virtual std::optional<OpaqueRecord> query_d() const { return std::nullopt; }
  virtual bool flag_b() const { return false; }
  virtual std::optional<OpaqueRecord> query_e() const { return std::nullopt; }
  // The first child's present answer; a halted query asks nobody further.
  virtual std::optional<DescendantMatch> find_descendant_a(const DescendantQuery& query);
  virtual Widget* as_interface_a() { return nullptr; }
  virtual Widget* as_interface_b() { return nullptr; }
  virtual std::optional<std::string> optional_text_b() const { return std::nullopt; }
  virtual Widget* as_interface_c() { return nullptr; }
  virtual std::optional<std::string> optional_text_c() const { return std::nullopt; }
  virtual Widget* as_interface_d() { return nullptr; }
  virtual std::optional<std::string> optional_text_d() const { return std::nullopt; }
  virtual Widget* as_interface_e() { return nullptr; }
  virtual std::optional<std::string> optional_text_e() const { return std::nullopt; }
  virtual Widget* as_interface_f() { return nullptr; }
  virtual void propagate_flag_a(bool flag);
  virtual void set_interaction_environment(InteractionEnvironment environment);
  virtual void sync(doc::Document& document);
  virtual std::optional<std::string> optional_text_f() const { return std::nullopt; }
  virtual Widget* as_interface_g() { return nullptr; }
  virtual bool update() { return false; }
  // Creates the widget's layout node (and its children's) and answers it.
  virtual layout::NodeId build_layout(layout::LayoutTree& tree, const RenderContext& context,
                                      layout::NodeRegistry& registry) = 0;
  virtual layout::LayoutSize measure(layout::KnownDimensions known, layout::AvailableSize available,
                                     text::TextRenderer& renderer);
  virtual bool adjust_layout_style(layout::Style& style);
  virtual std::optional<OpaqueRecord> query_f() const { return std::nullopt; }
  virtual std::optional<OpaqueRecord> query_g() const { return std::nullopt; }
  // Answers adjust_layout_style with the same style.
  virtual bool adjust_layout_with_measure(layout::Style& style, layout::LayoutSize measured);
  // Reads the node's computed layout back and stores the widget's rectangle.
  virtual void apply_layout(const layout::LayoutTree& tree, layout::NodeId node, double origin_x,
                            double origin_y) = 0;
  virtual void draw(Scene& scene, const Affine& transform, text::TextRenderer& renderer,
                    const Theme& theme, DrawContext& context) = 0;
  virtual void handle_event(const Event& event, EventContext& context);
  virtual void notify_b() {}
  // The direct children for reading, in the widget's own order. Built on
  // each call; a leaf answers an empty list, which does not allocate.
  virtual std::vector<const Widget*> children() const { return {}; }
  virtual void for_each_child(ChildVisitor visit) const;
  // The same children, for changing them.
  virtual std::vector<Widget*> children_mut() { return {}; }
  // The action ids this widget itself handles; texts that live as long as
  // the widget.
  virtual std::vector<std::string_view> resource_operation_kinds() const { return {}; }
  // The widget's own action ids and every descendant's, each held once.
  virtual ActionIdSet resource_operation_handlers() const;
  virtual std::string_view short_type_name() const { return short_type_name_of(type_name()); }
  virtual std::optional<std::string> id() const { return std::nullopt; }
  // The widget itself, for callers that reach its concrete type.
  virtual Widget* as_any() { return nullptr; }
  // True when the target lies strictly below this widget.
  virtual bool reveal_descendant(const Widget& target);
  virtual std::vector<std::string> list_a() const { return {}; }
  // The rectangle stored by the last apply_layout.
  virtual Rect get_rect() const = 0;
  virtual std::optional<Rect> child_clip_rect() const { return std::nullopt; }
  virtual std::optional<std::pair<std::string, std::string>> find_descendant_b();
  virtual std::optional<CursorKind> cursor_icon_at(double x, double y) const;
  virtual std::optional<std::string> tooltip() const { return std::nullopt; }
  // The tooltip at a point: the rectangle and the tooltip text while the
  // point lies inside the rectangle and the tooltip is not empty.
  virtual std::optional<TooltipAt> query_h(double x, double y) const;
  virtual bool is_focusable() const { return false; }
  virtual void set_focus(bool focused);
  virtual bool is_focused() const { return false; }
  virtual bool flag_c() const { return false; }
  virtual std::optional<Rect> ime_cursor_rect() const { return std::nullopt; }
  virtual bool flag_d() const { return false; }
  virtual std::optional<AccessibilityNode> accessibility() const { return std::nullopt; }
  virtual std::optional<OpaqueRecord> query_i() const { return std::nullopt; }
  virtual std::int64_t value_b() const { return 0; }
  virtual std::int64_t value_c() const { return 0; }
  virtual std::optional<OpaqueRecord> query_j() const { return std::nullopt; }
  virtual bool perform_action(const SemanticAction& action,
                              const kalu_actions::ActionContext& context);
  // Answers perform_action; the arguments are not passed on.
  virtual bool invoke_action(const SemanticAction& action, Payload arguments,
                             const kalu_actions::ActionContext& context);
  // Answers perform_action for a valid key-action id, else false.
  virtual bool perform_key_action(std::string_view key_action_id, const SemanticAction& action,
                                  const kalu_actions::ActionContext& context);
  virtual bool is_enabled() const { return true; }
  virtual std::optional<TextInputKind> text_input_kind() const { return std::nullopt; }
  virtual bool flag_e() const { return true; }
  virtual bool flag_f() const { return false; }
  // Any child, asked until one answers true.
  virtual bool needs_commit() const;
  // The first child's request; later children keep theirs.
  virtual std::optional<kalu_actions::ActionContext> take_permission_request();
  virtual std::optional<kalu_actions::ControlInvocation> take_control_invocation();
  virtual void propagate_c(std::uint64_t first, std::uint64_t second);
  // The widget's semantic bindings, then each child's subtree, depth first.
  virtual std::vector<ControlActionBinding> control_action_bindings() const;
  virtual bool has_action_control_bindings() const;
  virtual void refresh_control_action_availability(std::uint64_t value);
  virtual void on_commit();
  virtual std::optional<std::string> get_state() const { return std::nullopt; }
  virtual void set_state(std::string_view state);
  virtual std::optional<TextReview> text_review() const { return std::nullopt; }
  virtual void notify_c() {}
  // Offered to the children in order until one accepts.
  virtual bool offer_a(std::uint8_t code, std::pair<std::uint64_t, std::uint64_t> value);
  virtual bool take_flag_c() { return false; }
  virtual std::optional<PresenceKey> query_k() const { return std::nullopt; }
  virtual std::optional<OpaqueRecord> query_l() const { return std::nullopt; }
  virtual void notify_d() {}
  virtual std::optional<ThemeOverride> theme_override() const { return std::nullopt; }
  virtual void propagate_flag_b(bool flag);
  virtual void notify_e() {}
  virtual std::optional<PresenceKey> presence_key() const { return std::nullopt; }
  virtual std::optional<OpaqueRecord> query_m() const { return std::nullopt; }
  virtual bool needs_idle_sync() const { return false; }
  virtual std::optional<PermissionScope> permission_scope() const { return std::nullopt; }
  virtual std::vector<kalu_actions::Resource> resources(const doc::Document& document) const;
  virtual std::optional<OpaqueRecord> query_n() const { return std::nullopt; }
  virtual std::optional<OpaqueRecord> query_o() const { return std::nullopt; }
  virtual std::optional<kalu_actions::Resource> resource_by_id(const doc::Document& document,
                                                               std::string_view id) const;
  virtual std::optional<OpaqueRecord> query_p() const { return std::nullopt; }
  virtual SearchProviderList search_providers() const;
  virtual void notify_f() {}
  // None: only types that hold a pending value answer one.
  virtual std::optional<PendingValue> take_pending_value() { return std::nullopt; }
  virtual void notify_g() {}
  virtual std::optional<bool> optional_flag() const { return std::nullopt; }
  virtual bool offer_b(std::uint8_t code);
  virtual std::int64_t value_d() const { return 0; }
  // Kind 0 is never routed; else the children in order until one handles
  // it or answers an error.
  virtual Result<bool> invoke_resource_operation(OperationKind kind, std::string_view action_id,
                                                 Payload payload,
                                                 ResourceOperationContext& context);
  // invoke_resource_operation, translated.
  virtual ResourceInvokeResult invoke_resource_operation_v2(OperationKind kind,
                                                            std::string_view action_id,
                                                            Payload payload,
                                                            ResourceOperationContext& context);
  // The children in order until one claims it, else invoke_resource_operation_v2.
  virtual DeviceLocalOutcome start_resource_operation(const ResourceOperationId& operation_id,
                                                      OperationKind kind,
                                                      std::string_view action_id, Payload payload,
                                                      ResourceOperationContext& context);
  virtual DeviceLocalOutcome start_resource_operation_with_document(
      const ResourceOperationId& operation_id, OperationKind kind, std::string_view action_id,
      Payload payload, ResourceOperationContext& context);
  // The first child that knows the id answers; the cancel flag goes along.
  virtual std::optional<ResourceOperationStatus> poll_resource_operation(
      const ResourceOperationId& operation_id, bool cancel, ResourceOperationContext& context);
  virtual std::int64_t value_e() const { return 0; }
  // Takes the value and releases it.
  virtual void consume_value(std::any value);
  virtual bool wants_pointer_capture() const { return false; }
  virtual bool flag_g() const { return false; }
  virtual bool needs_animation_frame() const;
  // The earliest of the children's deadlines; of equal ones the earlier
  // child's is kept.
  virtual std::optional<Instant> next_wake_deadline() const;
  virtual std::optional<Rect> find_descendant_rect() const;
  virtual bool take_structure_dirty() { return false; }
  // Every child asked, answers combined with or.
  virtual bool any_descendant_b() const;
  // True without children (a leaf is redrawn every frame); else any child.
  virtual bool needs_redraw() const;
  // Appends the widget's own rectangle when its needs_redraw is true.
  virtual void collect_damage(DamageList& damage) const;
  virtual void mark_drawn();
  virtual void release_scene_cache();
  // True without children; else any child.
  virtual bool is_layout_dirty() const;
  // Any child; without children the widget's own is_layout_dirty.
  virtual bool layout_needs_measure() const;
  // draw, unless the draw context's clip excludes the widget's rectangle.
  virtual void draw_with_presence(Scene& scene, const Affine& transform,
                                  text::TextRenderer& renderer, const Theme& theme,
                                  DrawContext& context);
  // Hands the arguments to every child's draw_overlay.
  virtual void draw_overlay(Scene& scene, const Affine& transform, text::TextRenderer& renderer,
                            const Theme& theme, DrawContext& context);

 protected:
  // Copying and moving belong to the concrete type; through a Widget
  // reference they would slice.
  Widget(const Widget&) = default;
  Widget(Widget&&) = default;
  Widget& operator=(const Widget&) = default;
  Widget& operator=(Widget&&) = default;
};

// A boxed widget, as parents own their children.
using WidgetBox = std::unique_ptr<Widget>;

// Child lists for children and children_mut, from the boxes a type owns, in
// order and leaving out empty boxes: `return child_list<const Widget*>(items_);`
// for a list, `return child_list(page_.get());` for a pane's optional page.
template <typename Ref = Widget*>
std::vector<Ref> child_list(std::span<const WidgetBox> boxes) {
  std::vector<Ref> list;
  list.reserve(boxes.size());
  for (const auto& box : boxes) {
    if (box) list.push_back(box.get());
  }
  return list;
}
template <typename Ref = Widget*>
std::vector<Ref> child_list(Widget* only) {
  return only ? std::vector<Ref>{only} : std::vector<Ref>{};
}

// The prefix of every key-action id.
inline constexpr std::string_view kKeyActionPrefix = "kalu.key-action:";

// True for "kalu.key-action:" + a leading part without a colon + ":" + one
// or more unsigned 64-bit decimal numbers separated by "/" (each an optional
// "+" and at least one digit).
bool is_valid_key_action_id(std::string_view id);

// The depth-first, pre-order search for a pending value: the widget is asked
// before its children, and the first value found ends the search.
std::optional<PendingValue> find_pending_value(Widget& widget);

// ---- Walks over a whole tree, for the frame loop ---------------------------
// They work from whatever root they are given, whichever operations its type
// supplies, so a root that answers neither cursor_icon_at nor collect_damage
// still shows its descendants' cursors and repaints only what changed.

// The rectangles to repaint under `root`, appended to `damage`. A widget that
// needs no redraw is passed over with everything below it. One that answers
// needs_redraw or collect_damage itself gives what its collect_damage appends.
// One that keeps the contract's defaults for both holds nothing to draw of its
// own: instead of its whole rectangle (the default's answer) its children are
// walked, and only a leaf among them gives its own rectangle.
void collect_tree_damage(const Widget& root, DamageList& damage);

// The cursor at a point: the answer of the last widget in tree order (the one
// drawn on top) whose rectangle holds the point and that answers one. Children
// outside a widget's child_clip_rect at that point are not asked.
std::optional<CursorKind> cursor_in_tree(const Widget& root, double x, double y);

}  // namespace kalu_ui
