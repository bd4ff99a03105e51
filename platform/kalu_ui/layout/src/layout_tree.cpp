#include <cmath>
#include <string>

#include "tree_impl.h"

namespace kalu_ui::layout {

namespace {

std::string describe(NodeId id) {
  if (!id.is_valid()) return "an invalid node id";
  return "node " + std::to_string(id.index) + "v" + std::to_string(id.generation);
}

bool is_percent(const Dimension& d) { return d.kind == Dimension::Kind::Percent; }

bool space_is_number(const AvailableSpace& s) { return !s.is_definite() || !std::isnan(s.value); }

}  // namespace

bool style_uses_parent_size(const Style& s) {
  return is_percent(s.width) || is_percent(s.height) || is_percent(s.min_width) ||
         is_percent(s.min_height) || is_percent(s.max_width) || is_percent(s.max_height) ||
         is_percent(s.padding.left) || is_percent(s.padding.right) || is_percent(s.padding.top) ||
         is_percent(s.padding.bottom);
}

Node* LayoutTree::Impl::get(NodeId id) {
  if (!id.is_valid() || id.index >= nodes.size()) return nullptr;
  Node& node = nodes[id.index];
  return node.alive && node.generation == id.generation ? &node : nullptr;
}

const Node* LayoutTree::Impl::get(NodeId id) const { return const_cast<Impl*>(this)->get(id); }

Status LayoutTree::Impl::check_adoption(std::uint32_t parent,
                                        std::span<const NodeId> children) const {
  for (std::size_t i = 0; i < children.size(); ++i) {
    const NodeId id = children[i];
    const Node* child = get(id);
    if (child == nullptr) return fail("cannot adopt " + describe(id) + ": no such node");
    if (child->parent != kNoParent && child->parent != parent) {
      return fail("cannot adopt " + describe(id) + ": it already has a parent");
    }
    for (std::uint32_t up = parent; up != kNoParent; up = nodes[up].parent) {
      if (up == id.index) return fail("cannot adopt " + describe(id) + " under its own descendant");
    }
    for (std::size_t j = 0; j < i; ++j) {
      if (children[j] == id) return fail("cannot adopt " + describe(id) + " twice");
    }
  }
  return {};
}

LayoutTree::LayoutTree(std::size_t max_nodes) : impl_(std::make_unique<Impl>(max_nodes)) {}
LayoutTree::~LayoutTree() = default;
LayoutTree::LayoutTree(LayoutTree&&) noexcept = default;
LayoutTree& LayoutTree::operator=(LayoutTree&&) noexcept = default;

Result<NodeId> LayoutTree::new_leaf(const Style& style) { return new_with_children(style, {}); }

Result<NodeId> LayoutTree::new_with_children(const Style& style, std::span<const NodeId> children) {
  Impl& t = *impl_;
  if (t.live >= t.max_nodes) {
    return fail("the layout tree is full (" + std::to_string(t.max_nodes) + " nodes)");
  }
  if (auto adoptable = t.check_adoption(kNoParent, children); !adoptable) {
    return fail(adoptable.error());
  }
  std::uint32_t index;
  if (!t.free_slots.empty()) {
    index = t.free_slots.back();
    t.free_slots.pop_back();
  } else {
    index = static_cast<std::uint32_t>(t.nodes.size());
    t.nodes.emplace_back();
  }
  Node& node = t.nodes[index];
  node.alive = true;
  node.laid_out = false;
  node.parent = kNoParent;
  node.style = style;
  node.uses_parent_size = style_uses_parent_size(style);
  node.layout = {};
  node.children.assign(children.begin(), children.end());
  for (const NodeId child : children) t.nodes[child.index].parent = index;
  ++t.live;
  t.touch();
  return NodeId{index, node.generation};
}

Status LayoutTree::add_child(NodeId parent, NodeId child) {
  Impl& t = *impl_;
  Node* p = t.get(parent);
  Node* c = t.get(child);
  if (p == nullptr) return fail("cannot add a child to " + describe(parent) + ": no such node");
  if (c == nullptr) return fail("cannot add " + describe(child) + ": no such node");
  if (c->parent == parent.index) {
    return fail("cannot add " + describe(child) + ": it already has a parent");
  }
  if (auto adoptable = t.check_adoption(parent.index, std::span<const NodeId>(&child, 1));
      !adoptable) {
    return adoptable;
  }
  p->children.push_back(child);
  c->parent = parent.index;
  t.touch();
  return {};
}

Status LayoutTree::set_children(NodeId parent, std::span<const NodeId> children) {
  Impl& t = *impl_;
  Node* p = t.get(parent);
  if (p == nullptr)
    return fail("cannot set the children of " + describe(parent) + ": no such node");
  if (auto adoptable = t.check_adoption(parent.index, children); !adoptable) return adoptable;
  for (const NodeId old : p->children) t.nodes[old.index].parent = kNoParent;
  p->children.assign(children.begin(), children.end());
  for (const NodeId child : children) t.nodes[child.index].parent = parent.index;
  t.touch();
  return {};
}

Status LayoutTree::remove(NodeId id) {
  Impl& t = *impl_;
  Node* node = t.get(id);
  if (node == nullptr) return fail("cannot remove " + describe(id) + ": no such node");
  if (node->parent != kNoParent) {
    auto& siblings = t.nodes[node->parent].children;
    std::erase(siblings, id);
  }
  for (const NodeId child : node->children) t.nodes[child.index].parent = kNoParent;
  node->children.clear();
  node->alive = false;
  node->laid_out = false;
  node->parent = kNoParent;
  ++node->generation;
  t.free_slots.push_back(id.index);
  --t.live;
  t.touch();
  return {};
}

void LayoutTree::clear() {
  Impl& t = *impl_;
  t.free_slots.clear();
  // Reuse the lowest slots first so a rebuild of the same tree lands in the
  // same places.
  for (std::size_t i = t.nodes.size(); i-- > 0;) {
    Node& node = t.nodes[i];
    if (node.alive) ++node.generation;
    node.alive = false;
    node.laid_out = false;
    node.parent = kNoParent;
    node.children.clear();
    t.free_slots.push_back(static_cast<std::uint32_t>(i));
  }
  t.live = 0;
  t.last_root.reset();
  t.touch();
}

Status LayoutTree::set_style(NodeId id, const Style& style) {
  Node* node = impl_->get(id);
  if (node == nullptr) return fail("cannot style " + describe(id) + ": no such node");
  if (node->style == style) return {};
  node->style = style;
  node->uses_parent_size = style_uses_parent_size(style);
  impl_->touch();
  return {};
}

std::optional<Style> LayoutTree::style(NodeId id) const {
  const Node* node = impl_->get(id);
  if (node == nullptr) return std::nullopt;
  return node->style;
}

bool LayoutTree::contains(NodeId id) const { return impl_->get(id) != nullptr; }

std::size_t LayoutTree::size() const { return impl_->live; }

Result<std::span<const NodeId>> LayoutTree::children(NodeId id) const {
  const Node* node = impl_->get(id);
  if (node == nullptr)
    return fail("cannot list the children of " + describe(id) + ": no such node");
  return std::span<const NodeId>(node->children);
}

std::optional<NodeId> LayoutTree::child_at(NodeId id, std::size_t index) const {
  const Node* node = impl_->get(id);
  if (node == nullptr || index >= node->children.size()) return std::nullopt;
  return node->children[index];
}

std::optional<NodeId> LayoutTree::parent(NodeId id) const {
  const Node* node = impl_->get(id);
  if (node == nullptr || node->parent == kNoParent) return std::nullopt;
  return NodeId{node->parent, impl_->nodes[node->parent].generation};
}

Status LayoutTree::compute_layout(NodeId root, AvailableSize available,
                                  const MeasureFunction& measure) {
  Impl& t = *impl_;
  if (t.get(root) == nullptr) return fail("cannot lay out " + describe(root) + ": no such node");
  if (!space_is_number(available.width) || !space_is_number(available.height)) {
    return fail("cannot lay out " + describe(root) + ": the available size is not a number");
  }
  t.measure = measure ? &measure : nullptr;
  t.run(root.index, available);
  t.measure = nullptr;
  t.dirty = false;
  t.last_root = root;
  t.last_available = available;
  return {};
}

std::optional<Layout> LayoutTree::layout(NodeId id) const {
  const Node* node = impl_->get(id);
  if (node == nullptr || !node->laid_out) return std::nullopt;
  return node->layout;
}

bool LayoutTree::needs_layout(NodeId root, AvailableSize available) const {
  const Impl& t = *impl_;
  return t.dirty || t.last_root != root || !(t.last_available == available);
}

void LayoutTree::mark_dirty() { impl_->touch(); }

// NodeRegistry

void NodeRegistry::insert(NodeId node, Widget* widget) {
  if (!node.is_valid() || widget == nullptr) return;
  if (node.index >= entries_.size()) entries_.resize(node.index + 1);
  Entry& entry = entries_[node.index];
  if (entry.widget == nullptr) ++count_;
  entry = {node.generation, widget};
}

Widget* NodeRegistry::find(NodeId node) const {
  if (!node.is_valid() || node.index >= entries_.size()) return nullptr;
  const Entry& entry = entries_[node.index];
  return entry.generation == node.generation ? entry.widget : nullptr;
}

bool NodeRegistry::erase(NodeId node) {
  if (find(node) == nullptr) return false;
  entries_[node.index] = {};
  --count_;
  return true;
}

void NodeRegistry::clear() {
  entries_.clear();
  count_ = 0;
}

}  // namespace kalu_ui::layout
