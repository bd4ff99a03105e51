#include "kalu_ui/widget/place.h"

#include <fmt/format.h>

#include <atomic>
#include <unordered_set>

#include "kalu_ui/widget/focus.h"

namespace kalu_ui::widget {
namespace {

std::atomic<std::uint64_t> next_serial{1};

// The keys of one tree in tree order: a widget's own, or its kind and its
// order among the keyless widgets of that kind.
class KeyOrder {
 public:
  // The key of `widget`; none for one that keeps no place and has no id.
  // `needed` false only counts it (no text is made).
  std::optional<std::string> key(const Widget& widget, const KeepsPlace* keeper, bool needed) {
    if (keeper == nullptr) return needed ? widget.id() : std::nullopt;
    if (const std::optional<std::string_view> own = keeper->place_key()) {
      return needed ? std::optional<std::string>(*own) : std::nullopt;
    }
    const std::size_t order = order_[widget.type_name()]++;
    if (!needed) return std::nullopt;
    return fmt::format("#{}.{}", widget.type_name(), order);
  }

 private:
  std::unordered_map<std::string_view, std::size_t> order_;
};

template <typename W, typename Visit>
void walk(W& widget, const Visit& visit) {
  visit(widget);
  if constexpr (std::is_const_v<W>) {
    for (const Widget* child : widget.children()) {
      if (child) walk(*child, visit);
    }
  } else {
    for (Widget* child : widget.children_mut()) {
      if (child) walk(*child, visit);
    }
  }
}

}  // namespace

KeepsPlace::KeepsPlace() : serial_(next_serial.fetch_add(1, std::memory_order_relaxed)) {}

namespace {

// How many focusable neighbours a capture remembers on each side.
constexpr std::size_t kNeighbours = 32;

bool can_take_focus(const Widget& widget) { return widget.is_focusable() && widget.is_enabled(); }

}  // namespace

TreePlace TreePlace::capture(const Widget& root) {
  TreePlace captured;
  KeyOrder keys;
  std::vector<std::string> order;
  walk(root, [&](const Widget& widget) {
    const auto* keeper = dynamic_cast<const KeepsPlace*>(&widget);
    std::optional<WidgetPlace> place = keeper ? keeper->place() : std::nullopt;
    const bool focused = widget.is_focused();
    const bool focusable = can_take_focus(widget);
    std::optional<std::string> key = keys.key(widget, keeper, place || focused || focusable);
    if (!key) return;
    if (focused && !captured.focused_) {
      captured.focused_ = *key;
      const std::size_t from = order.size() > kNeighbours ? order.size() - kNeighbours : 0;
      captured.before_.assign(order.rbegin(), order.rend() - static_cast<std::ptrdiff_t>(from));
    } else if (focusable && !key->empty()) {
      if (captured.focused_) {
        if (captured.after_.size() < kNeighbours) captured.after_.push_back(*key);
      } else {
        order.push_back(*key);
      }
    }
    // Of two widgets under one key the first in tree order holds it.
    if (place) captured.places_.try_emplace(*key, Held{keeper->place_serial(), std::move(*place)});
  });
  return captured;
}

void TreePlace::restore(Widget& root) const {
  if (empty()) return;
  KeyOrder keys;
  bool focus_held = false;
  Widget* focus_target = nullptr;
  // The widgets in tree order with their keys, for a focus whose widget is gone.
  std::vector<std::pair<std::string, Widget*>> order;
  // As at the capture, the first widget under a key takes its place.
  std::unordered_set<std::string_view> given;
  walk(root, [&](Widget& widget) {
    auto* keeper = dynamic_cast<KeepsPlace*>(&widget);
    focus_held = focus_held || widget.is_focused();
    const std::optional<std::string> key = keys.key(widget, keeper, true);
    if (!key) return;
    if (focused_ && !focus_target && *key == *focused_) focus_target = &widget;
    if (focused_) order.emplace_back(*key, &widget);
    if (keeper == nullptr) return;
    const auto held = places_.find(*key);
    if (held == places_.end() || !given.insert(held->first).second) return;
    // A widget that lived through the rebuild keeps its own place.
    if (held->second.serial != keeper->place_serial()) keeper->take_place(held->second.place);
  });
  if (focus_held || !focused_) return;
  if (focus_target && can_take_focus(*focus_target)) return focus_target->set_focus(true);
  // A question that appeared in its place takes it on its default answer.
  if (default_answer(root) != nullptr) return;
  auto position = [&](const std::string& key) -> std::optional<std::size_t> {
    for (std::size_t i = 0; i < order.size(); ++i) {
      if (!key.empty() && order[i].first == key) return i;
    }
    return std::nullopt;
  };
  // The nearest control before it that is still there: the first control
  // after that one now stands where the focus was.
  for (const std::string& key : before_) {
    const std::optional<std::size_t> at = position(key);
    if (!at) continue;
    for (std::size_t i = *at + 1; i < order.size(); ++i) {
      if (can_take_focus(*order[i].second)) return order[i].second->set_focus(true);
    }
    break;
  }
  // Nothing follows it any more: the nearest control after it, else before it.
  for (const std::vector<std::string>* side : {&after_, &before_}) {
    for (const std::string& key : *side) {
      const std::optional<std::size_t> at = position(key);
      if (at && can_take_focus(*order[*at].second)) return order[*at].second->set_focus(true);
    }
  }
}

}  // namespace kalu_ui::widget
