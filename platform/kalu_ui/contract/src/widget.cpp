#include "widget_contract/widget.h"

#include <charconv>

namespace kalu_ui {

namespace {

// Set by the provided needs_redraw and collect_damage to the widget they ran
// for, so that the tree walks below can tell a widget that keeps the default
// from one that answers for itself. UI thread only, like every operation.
thread_local const Widget* g_provided_redraw = nullptr;
thread_local const Widget* g_provided_damage = nullptr;

// Calls `call` on every entry of the list, first to last.
template <typename List, typename Call>
void hand_on(List&& list, Call&& call) {
  for (auto* child : list) call(*child);
}

// Any child through for_each_child, asked until one answers true; the walk
// runs on, but later children are no longer asked.
template <typename Ask>
bool any_child(const Widget& widget, Ask ask) {
  bool found = false;
  widget.for_each_child([&](const Widget& child) {
    if (!found) found = ask(child);
  });
  return found;
}

// As any_child, but a widget without children counts as true.
template <typename Ask>
bool any_child_or_leaf(const Widget& widget, Ask ask) {
  bool has_child = false;
  bool found = false;
  widget.for_each_child([&](const Widget& child) {
    has_child = true;
    if (!found) found = ask(child);
  });
  return !has_child || found;
}

// The first present answer of the children of children_mut, in order.
template <typename T, typename Ask>
std::optional<T> first_answer(Widget& widget, Ask ask) {
  for (Widget* child : widget.children_mut()) {
    if (auto answer = ask(*child)) return answer;
  }
  return std::nullopt;
}

template <typename T, typename Collect>
std::vector<T> concatenate(const auto& list, Collect collect) {
  std::vector<T> result;
  for (auto* child : list) {
    std::vector<T> part = collect(*child);
    if (result.empty()) {
      result = std::move(part);
    } else {
      result.insert(result.end(), std::make_move_iterator(part.begin()),
                    std::make_move_iterator(part.end()));
    }
  }
  return result;
}

bool parse_u64_part(std::string_view part) {
  if (!part.empty() && part.front() == '+') part.remove_prefix(1);
  if (part.empty()) return false;
  for (char c : part) {
    if (c < '0' || c > '9') return false;
  }
  std::uint64_t value = 0;
  const auto [end, error] = std::from_chars(part.data(), part.data() + part.size(), value);
  return error == std::errc() && end == part.data() + part.size();
}

}  // namespace

Widget::~Widget() = default;

void Widget::propagate_a(std::uint64_t first, std::uint64_t second) const {
  hand_on(children(), [&](const Widget& c) { c.propagate_a(first, second); });
}

void Widget::propagate_b(std::uint64_t first, std::uint64_t second) {
  hand_on(children_mut(), [&](Widget& c) { c.propagate_b(first, second); });
}

std::optional<DebugSnapshot> Widget::debug_snapshot(const doc::Document&, std::string_view) const {
  return std::nullopt;
}

std::vector<CollectedRecord> Widget::collect_records(std::uint64_t value) const {
  return concatenate<CollectedRecord>(children(),
                                      [&](const Widget& c) { return c.collect_records(value); });
}

std::vector<std::string> Widget::collect_strings() {
  return concatenate<std::string>(children_mut(), [](Widget& c) { return c.collect_strings(); });
}

std::vector<CollectedView> Widget::collect_views_a() {
  return concatenate<CollectedView>(children_mut(), [](Widget& c) { return c.collect_views_a(); });
}

bool Widget::any_descendant_a() const {
  for (const Widget* child : children()) {
    if (child->any_descendant_a()) return true;
  }
  return false;
}

std::vector<CollectedView> Widget::collect_views_b() {
  return concatenate<CollectedView>(children_mut(), [](Widget& c) { return c.collect_views_b(); });
}

std::vector<CollectedView> Widget::collect_views_c() {
  return concatenate<CollectedView>(children_mut(), [](Widget& c) { return c.collect_views_c(); });
}

std::optional<DescendantMatch> Widget::find_descendant_a(const DescendantQuery& query) {
  for (Widget* child : children_mut()) {
    if (query.halts()) return std::nullopt;
    if (auto found = child->find_descendant_a(query)) return found;
  }
  return std::nullopt;
}

void Widget::propagate_flag_a(bool flag) {
  hand_on(children_mut(), [&](Widget& c) { c.propagate_flag_a(flag); });
}

void Widget::set_interaction_environment(InteractionEnvironment environment) {
  hand_on(children_mut(), [&](Widget& c) { c.set_interaction_environment(environment); });
}

void Widget::sync(doc::Document&) {}

layout::LayoutSize Widget::measure(layout::KnownDimensions, layout::AvailableSize,
                                   text::TextRenderer&) {
  return {0.0f, 0.0f};
}

bool Widget::adjust_layout_style(layout::Style&) { return false; }

bool Widget::adjust_layout_with_measure(layout::Style& style, layout::LayoutSize) {
  return adjust_layout_style(style);
}

void Widget::handle_event(const Event&, EventContext&) {}

void Widget::for_each_child(ChildVisitor visit) const {
  for (const Widget* child : children()) visit(*child);
}

ActionIdSet Widget::resource_operation_handlers() const {
  ActionIdSet handlers;
  for (std::string_view id : resource_operation_kinds()) handlers.emplace(id);
  for_each_child([&](const Widget& child) {
    // insert keeps the stored copy of an id that is already present.
    for (auto& id : child.resource_operation_handlers()) handlers.insert(id);
  });
  return handlers;
}

bool Widget::reveal_descendant(const Widget& target) {
  for (Widget* child : children_mut()) {
    if (child == &target || child->reveal_descendant(target)) return true;
  }
  return false;
}

std::optional<std::pair<std::string, std::string>> Widget::find_descendant_b() {
  return first_answer<std::pair<std::string, std::string>>(
      *this, [](Widget& c) { return c.find_descendant_b(); });
}

std::optional<CursorKind> Widget::cursor_icon_at(double, double) const { return std::nullopt; }

std::optional<TooltipAt> Widget::query_h(double x, double y) const {
  const Rect rect = get_rect();
  if (!rect.contains(Point{x, y})) return std::nullopt;
  auto text = tooltip();
  if (!text || text->empty()) return std::nullopt;
  return TooltipAt{rect, std::move(*text)};
}

void Widget::set_focus(bool) {}

bool Widget::perform_action(const SemanticAction&, const kalu_actions::ActionContext&) {
  return false;
}

bool Widget::invoke_action(const SemanticAction& action, Payload,
                           const kalu_actions::ActionContext& context) {
  return perform_action(action, context);
}

bool Widget::perform_key_action(std::string_view key_action_id, const SemanticAction& action,
                                const kalu_actions::ActionContext& context) {
  if (!is_valid_key_action_id(key_action_id)) return false;
  return perform_action(action, context);
}

bool Widget::needs_commit() const {
  return any_child(*this, [](const Widget& c) { return c.needs_commit(); });
}

std::optional<kalu_actions::ActionContext> Widget::take_permission_request() {
  return first_answer<kalu_actions::ActionContext>(
      *this, [](Widget& c) { return c.take_permission_request(); });
}

std::optional<kalu_actions::ControlInvocation> Widget::take_control_invocation() {
  return first_answer<kalu_actions::ControlInvocation>(
      *this, [](Widget& c) { return c.take_control_invocation(); });
}

void Widget::propagate_c(std::uint64_t first, std::uint64_t second) {
  hand_on(children_mut(), [&](Widget& c) { c.propagate_c(first, second); });
}

std::vector<ControlActionBinding> Widget::control_action_bindings() const {
  std::vector<ControlActionBinding> bindings = semantic_action_bindings(accessibility());
  for_each_child([&](const Widget& child) {
    auto part = child.control_action_bindings();
    bindings.insert(bindings.end(), std::make_move_iterator(part.begin()),
                    std::make_move_iterator(part.end()));
  });
  return bindings;
}

bool Widget::has_action_control_bindings() const {
  for (const auto& binding : control_action_bindings()) {
    if (binding.is_action_binding()) return true;
  }
  return false;
}

void Widget::refresh_control_action_availability(std::uint64_t value) {
  hand_on(children_mut(), [&](Widget& c) { c.refresh_control_action_availability(value); });
}

void Widget::on_commit() {
  hand_on(children_mut(), [](Widget& c) { c.on_commit(); });
}

void Widget::set_state(std::string_view) {}

bool Widget::offer_a(std::uint8_t code, std::pair<std::uint64_t, std::uint64_t> value) {
  for (Widget* child : children_mut()) {
    if (child->offer_a(code, value)) return true;
  }
  return false;
}

void Widget::propagate_flag_b(bool flag) {
  hand_on(children_mut(), [&](Widget& c) { c.propagate_flag_b(flag); });
}

std::vector<kalu_actions::Resource> Widget::resources(const doc::Document&) const { return {}; }

std::optional<kalu_actions::Resource> Widget::resource_by_id(const doc::Document&,
                                                             std::string_view) const {
  return std::nullopt;
}

SearchProviderList Widget::search_providers() const { return {}; }

bool Widget::offer_b(std::uint8_t code) {
  for (Widget* child : children_mut()) {
    if (child->offer_b(code)) return true;
  }
  return false;
}

Result<bool> Widget::invoke_resource_operation(OperationKind kind, std::string_view action_id,
                                               Payload payload, ResourceOperationContext& context) {
  if (kind == 0) return false;
  for (Widget* child : children_mut()) {
    Result<bool> answer = child->invoke_resource_operation(kind, action_id, payload, context);
    if (!answer || *answer) return answer;
  }
  return false;
}

ResourceInvokeResult Widget::invoke_resource_operation_v2(OperationKind kind,
                                                          std::string_view action_id,
                                                          Payload payload,
                                                          ResourceOperationContext& context) {
  Result<bool> answer = invoke_resource_operation(kind, action_id, payload, context);
  if (!answer) return ResourceInvokeResult::rejected(std::move(answer.error()));
  if (*answer) return ResourceInvokeResult::completed();
  return ResourceInvokeResult::not_handled();
}

DeviceLocalOutcome Widget::start_resource_operation(const ResourceOperationId& operation_id,
                                                    OperationKind kind, std::string_view action_id,
                                                    Payload payload,
                                                    ResourceOperationContext& context) {
  for (Widget* child : children_mut()) {
    DeviceLocalOutcome outcome =
        child->start_resource_operation(operation_id, kind, action_id, payload, context);
    if (!outcome.is_not_handled()) return outcome;
  }
  ResourceInvokeResult invoked = invoke_resource_operation_v2(kind, action_id, payload, context);
  if (auto* rejected = std::get_if<ResourceInvokeResult::Rejected>(&invoked.value)) {
    return DeviceLocalOutcome::rejected(std::move(rejected->message));
  }
  if (auto* completed = std::get_if<ResourceInvokeResult::Completed>(&invoked.value)) {
    return DeviceLocalOutcome::completed(std::move(completed->outcome));
  }
  return DeviceLocalOutcome::not_handled();
}

DeviceLocalOutcome Widget::start_resource_operation_with_document(
    const ResourceOperationId& operation_id, OperationKind kind, std::string_view action_id,
    Payload payload, ResourceOperationContext& context) {
  return start_resource_operation(operation_id, kind, action_id, payload, context);
}

std::optional<ResourceOperationStatus> Widget::poll_resource_operation(
    const ResourceOperationId& operation_id, bool cancel, ResourceOperationContext& context) {
  return first_answer<ResourceOperationStatus>(
      *this, [&](Widget& c) { return c.poll_resource_operation(operation_id, cancel, context); });
}

void Widget::consume_value(std::any value) { value.reset(); }

bool Widget::needs_animation_frame() const {
  return any_child(*this, [](const Widget& c) { return c.needs_animation_frame(); });
}

std::optional<Instant> Widget::next_wake_deadline() const {
  std::optional<Instant> earliest_deadline;
  for_each_child([&](const Widget& child) {
    earliest_deadline = earliest(earliest_deadline, child.next_wake_deadline());
  });
  return earliest_deadline;
}

std::optional<Rect> Widget::find_descendant_rect() const {
  std::optional<Rect> found;
  for_each_child([&](const Widget& child) {
    if (!found) found = child.find_descendant_rect();
  });
  return found;
}

bool Widget::any_descendant_b() const {
  bool any = false;
  for_each_child([&](const Widget& child) { any = child.any_descendant_b() || any; });
  return any;
}

bool Widget::needs_redraw() const {
  const bool answer = any_child_or_leaf(*this, [](const Widget& c) { return c.needs_redraw(); });
  g_provided_redraw = this;
  return answer;
}

void Widget::collect_damage(DamageList& damage) const {
  if (needs_redraw()) damage.push_back(get_rect());
  g_provided_damage = this;
}

void Widget::mark_drawn() {
  hand_on(children_mut(), [](Widget& c) { c.mark_drawn(); });
}

void Widget::release_scene_cache() {
  hand_on(children_mut(), [](Widget& c) { c.release_scene_cache(); });
}

bool Widget::is_layout_dirty() const {
  return any_child_or_leaf(*this, [](const Widget& c) { return c.is_layout_dirty(); });
}

bool Widget::layout_needs_measure() const {
  bool has_child = false;
  bool found = false;
  for_each_child([&](const Widget& child) {
    has_child = true;
    if (!found) found = child.layout_needs_measure();
  });
  return has_child ? found : is_layout_dirty();
}

void Widget::draw_with_presence(Scene& scene, const Affine& transform, text::TextRenderer& renderer,
                                const Theme& theme, DrawContext& context) {
  if (widget_draw::presence_clip_excludes(context, get_rect())) return;
  draw(scene, transform, renderer, theme, context);
}

void Widget::draw_overlay(Scene& scene, const Affine& transform, text::TextRenderer& renderer,
                          const Theme& theme, DrawContext& context) {
  for (Widget* child : children_mut()) {
    // Each child gets its own copy, so what one does to it cannot reach the next.
    const Affine own = transform;
    child->draw_overlay(scene, own, renderer, theme, context);
  }
}

bool is_valid_key_action_id(std::string_view id) {
  if (!id.starts_with(kKeyActionPrefix)) return false;
  id.remove_prefix(kKeyActionPrefix.size());
  const auto colon = id.find(':');
  if (colon == std::string_view::npos) return false;
  std::string_view numbers = id.substr(colon + 1);
  while (true) {
    const auto slash = numbers.find('/');
    if (!parse_u64_part(numbers.substr(0, slash))) return false;
    if (slash == std::string_view::npos) return true;
    numbers.remove_prefix(slash + 1);
  }
}

std::optional<PendingValue> find_pending_value(Widget& widget) {
  if (auto value = widget.take_pending_value()) return value;
  for (Widget* child : widget.children_mut()) {
    if (auto value = find_pending_value(*child)) return value;
  }
  return std::nullopt;
}

void collect_tree_damage(const Widget& root, DamageList& damage) {
  g_provided_redraw = nullptr;
  if (!root.needs_redraw()) return;
  const bool own_redraw = g_provided_redraw != &root;
  DamageList own;
  g_provided_damage = nullptr;
  root.collect_damage(own);
  const bool own_damage = g_provided_damage != &root;
  bool has_child = false;
  if (!own_redraw && !own_damage) {
    root.for_each_child([&](const Widget& child) {
      has_child = true;
      collect_tree_damage(child, damage);
    });
  }
  if (!has_child) damage.insert(damage.end(), own.begin(), own.end());
}

std::optional<CursorKind> cursor_in_tree(const Widget& root, double x, double y) {
  const Point at{x, y};
  std::optional<CursorKind> found;
  const auto visit = [&](const auto& self, const Widget& widget) -> void {
    if (widget.get_rect().contains(at)) {
      if (auto cursor = widget.cursor_icon_at(x, y)) found = cursor;
    }
    if (auto clip = widget.child_clip_rect(); clip && !clip->contains(at)) return;
    widget.for_each_child([&](const Widget& child) { self(self, child); });
  };
  visit(visit, root);
  return found;
}

namespace widget_draw {

bool presence_clip_excludes(const DrawContext& context, const Rect& rect) {
  if (!context.clip) return false;
  return rect.intersect(*context.clip).area() == 0.0;
}

}  // namespace widget_draw
}  // namespace kalu_ui
