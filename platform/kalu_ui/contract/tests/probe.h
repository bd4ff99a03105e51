#pragma once

#include <fmt/format.h>

#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "widget_contract/widget.h"

// A widget that records every contract call made on it, in one log shared by
// a whole tree, and answers what a test configures; an operation left
// unconfigured falls through to the provided behaviour.
namespace kalu_ui::testing {

using CallLog = std::vector<std::string>;

class Probe : public Widget {
 public:
  static constexpr std::string_view kTypeName = "kalu_ui::testing::probe::Probe";

  Probe(std::string name, CallLog& log) : name_(std::move(name)), log_(&log) {}

  // Adds a child probe and answers it, for building trees in place.
  Probe& add(std::string name) {
    kids_.push_back(std::make_unique<Probe>(std::move(name), *log_));
    return static_cast<Probe&>(*kids_.back());
  }
  Probe& child(std::size_t i) { return static_cast<Probe&>(*kids_.at(i)); }

  // Configured answers.
  Rect rect;
  std::optional<bool> commit, animation, redraw, layout_dirty, measure_needed, any_a, any_b;
  std::optional<std::optional<Instant>> deadline;
  std::optional<std::optional<Rect>> descendant_rect;
  std::optional<std::vector<std::string>> strings;
  std::optional<std::vector<CollectedRecord>> records;
  std::optional<std::optional<std::pair<std::string, std::string>>> pair_b;
  std::optional<std::optional<DescendantMatch>> match_a;
  std::deque<kalu_actions::ControlInvocation> invocations;
  std::deque<kalu_actions::ActionContext> permission_requests;
  std::optional<PendingValue> pending;
  bool accepts_offers = false;
  std::vector<std::string_view> kinds;
  std::optional<Result<bool>> invoke_answer;
  std::optional<DeviceLocalOutcome> start_answer;
  std::optional<ResourceOperationStatus> poll_answer;
  std::optional<bool> action_answer;
  std::optional<AccessibilityNode> node;
  std::optional<std::vector<ControlActionBinding>> own_bindings;
  std::optional<std::string> tip;
  std::optional<CursorKind> cursor;
  std::optional<Rect> clip;

  std::string_view type_name() const override { return kTypeName; }
  layout::NodeId build_layout(layout::LayoutTree&, const RenderContext&,
                              layout::NodeRegistry&) override {
    return {};
  }
  void apply_layout(const layout::LayoutTree&, layout::NodeId, double, double) override {}
  void draw(Scene&, const Affine& t, text::TextRenderer&, const Theme&, DrawContext&) override {
    record("draw", fmt::format("{},{}", t.m[4], t.m[5]));
  }
  Rect get_rect() const override { return rect; }
  std::optional<CursorKind> cursor_icon_at(double, double) const override { return cursor; }
  std::optional<Rect> child_clip_rect() const override { return clip; }
  std::vector<const Widget*> children() const override { return child_list<const Widget*>(kids_); }
  std::vector<Widget*> children_mut() override { return child_list(kids_); }

  // Handing on.
  void propagate_a(std::uint64_t a, std::uint64_t b) const override {
    record("propagate_a", fmt::format("{},{}", a, b));
    Widget::propagate_a(a, b);
  }
  void propagate_b(std::uint64_t a, std::uint64_t b) override {
    record("propagate_b", fmt::format("{},{}", a, b));
    Widget::propagate_b(a, b);
  }
  void propagate_c(std::uint64_t a, std::uint64_t b) override {
    record("propagate_c", fmt::format("{},{}", a, b));
    Widget::propagate_c(a, b);
  }
  void propagate_flag_a(bool f) override {
    record("propagate_flag_a", fmt::format("{}", f));
    Widget::propagate_flag_a(f);
  }
  void propagate_flag_b(bool f) override {
    record("propagate_flag_b", fmt::format("{}", f));
    Widget::propagate_flag_b(f);
  }
  void set_interaction_environment(InteractionEnvironment e) override {
    record("set_interaction_environment", fmt::format("{}", fmt::join(e.values, ",")));
    Widget::set_interaction_environment(e);
  }
  void refresh_control_action_availability(std::uint64_t v) override {
    record("refresh_control_action_availability", fmt::format("{}", v));
    Widget::refresh_control_action_availability(v);
  }
  void on_commit() override {
    record("on_commit");
    Widget::on_commit();
  }
  void mark_drawn() override {
    record("mark_drawn");
    Widget::mark_drawn();
  }
  void release_scene_cache() override {
    record("release_scene_cache");
    Widget::release_scene_cache();
  }
  void draw_overlay(Scene& s, const Affine& t, text::TextRenderer& r, const Theme& th,
                    DrawContext& c) override {
    record("draw_overlay", fmt::format("{},{}", t.m[4], t.m[5]));
    Widget::draw_overlay(s, t, r, th, c);
  }

  // Aggregated queries.
  bool needs_commit() const override {
    return ask("needs_commit", commit, [this] { return Widget::needs_commit(); });
  }
  bool needs_animation_frame() const override {
    return ask("needs_animation_frame", animation,
               [this] { return Widget::needs_animation_frame(); });
  }
  bool needs_redraw() const override {
    return ask("needs_redraw", redraw, [this] { return Widget::needs_redraw(); });
  }
  bool is_layout_dirty() const override {
    return ask("is_layout_dirty", layout_dirty, [this] { return Widget::is_layout_dirty(); });
  }
  bool layout_needs_measure() const override {
    return ask("layout_needs_measure", measure_needed,
               [this] { return Widget::layout_needs_measure(); });
  }
  bool any_descendant_a() const override {
    return ask("any_descendant_a", any_a, [this] { return Widget::any_descendant_a(); });
  }
  bool any_descendant_b() const override {
    return ask("any_descendant_b", any_b, [this] { return Widget::any_descendant_b(); });
  }
  std::optional<Instant> next_wake_deadline() const override {
    return ask("next_wake_deadline", deadline, [this] { return Widget::next_wake_deadline(); });
  }
  std::optional<Rect> find_descendant_rect() const override {
    return ask("find_descendant_rect", descendant_rect,
               [this] { return Widget::find_descendant_rect(); });
  }

  // Searches and collections.
  std::vector<std::string> collect_strings() override {
    record("collect_strings");
    return strings ? *strings : Widget::collect_strings();
  }
  std::vector<CollectedView> collect_views_a() override {
    record("collect_views_a");
    return Widget::collect_views_a();
  }
  std::vector<CollectedView> collect_views_b() override {
    record("collect_views_b");
    return Widget::collect_views_b();
  }
  std::vector<CollectedView> collect_views_c() override {
    record("collect_views_c");
    return Widget::collect_views_c();
  }
  std::vector<CollectedRecord> collect_records(std::uint64_t v) const override {
    record("collect_records", fmt::format("{}", v));
    return records ? *records : Widget::collect_records(v);
  }
  std::optional<std::pair<std::string, std::string>> find_descendant_b() override {
    record("find_descendant_b");
    return pair_b ? *pair_b : Widget::find_descendant_b();
  }
  std::optional<DescendantMatch> find_descendant_a(const DescendantQuery& q) override {
    record("find_descendant_a");
    return match_a ? *match_a : Widget::find_descendant_a(q);
  }
  bool reveal_descendant(const Widget& target) override {
    record("reveal_descendant");
    return Widget::reveal_descendant(target);
  }
  std::optional<kalu_actions::ControlInvocation> take_control_invocation() override {
    record("take_control_invocation");
    return take_front(invocations, [this] { return Widget::take_control_invocation(); });
  }
  std::optional<kalu_actions::ActionContext> take_permission_request() override {
    record("take_permission_request");
    return take_front(permission_requests, [this] { return Widget::take_permission_request(); });
  }
  std::optional<PendingValue> take_pending_value() override {
    record("take_pending_value");
    return std::exchange(pending, std::nullopt);
  }
  bool offer_a(std::uint8_t code, std::pair<std::uint64_t, std::uint64_t> v) override {
    record("offer_a", fmt::format("{},{},{}", code, v.first, v.second));
    return accepts_offers || Widget::offer_a(code, v);
  }
  bool offer_b(std::uint8_t code) override {
    record("offer_b", fmt::format("{}", code));
    return accepts_offers || Widget::offer_b(code);
  }

  // Resource operations.
  std::vector<std::string_view> resource_operation_kinds() const override { return kinds; }
  ActionIdSet resource_operation_handlers() const override {
    record("resource_operation_handlers");
    return Widget::resource_operation_handlers();
  }
  Result<bool> invoke_resource_operation(OperationKind kind, std::string_view id, Payload p,
                                         ResourceOperationContext& c) override {
    record("invoke", fmt::format("{},{},{}", kind, id, payload_text(p)));
    return invoke_answer ? *invoke_answer : Widget::invoke_resource_operation(kind, id, p, c);
  }
  DeviceLocalOutcome start_resource_operation(const ResourceOperationId& op, OperationKind kind,
                                              std::string_view id, Payload p,
                                              ResourceOperationContext& c) override {
    record("start", fmt::format("{},{},{},{}", op.bytes[0], kind, id, payload_text(p)));
    return start_answer ? *start_answer : Widget::start_resource_operation(op, kind, id, p, c);
  }
  std::optional<ResourceOperationStatus> poll_resource_operation(
      const ResourceOperationId& op, bool cancel, ResourceOperationContext& c) override {
    record("poll", fmt::format("{},{}", op.bytes[0], cancel));
    return poll_answer ? poll_answer : Widget::poll_resource_operation(op, cancel, c);
  }

  // Actions.
  bool perform_action(const SemanticAction& a, const kalu_actions::ActionContext& c) override {
    record("perform_action");
    return action_answer ? *action_answer : Widget::perform_action(a, c);
  }
  std::optional<AccessibilityNode> accessibility() const override { return node; }
  std::vector<ControlActionBinding> control_action_bindings() const override {
    record("control_action_bindings");
    return own_bindings ? *own_bindings : Widget::control_action_bindings();
  }
  std::optional<std::string> tooltip() const override { return tip; }

 private:
  void record(std::string_view op, std::string_view args = {}) const {
    log_->push_back(args.empty() ? fmt::format("{}.{}", name_, op)
                                 : fmt::format("{}.{}({})", name_, op, args));
  }
  // `provided` calls the contract's own behaviour (a qualified call: through
  // a member pointer it would dispatch back to the probe).
  template <typename T, typename Provided>
  T ask(std::string_view op, const std::optional<T>& own, Provided provided) const {
    record(op);
    return own ? *own : provided();
  }
  template <typename T, typename Provided>
  std::optional<T> take_front(std::deque<T>& queue, Provided provided) {
    if (queue.empty()) return provided();
    T front = std::move(queue.front());
    queue.pop_front();
    return front;
  }
  static std::string_view payload_text(Payload p) {
    return {reinterpret_cast<const char*>(p.data()), p.size()};
  }

  std::string name_;
  CallLog* log_;
  std::vector<WidgetBox> kids_;
};

}  // namespace kalu_ui::testing
