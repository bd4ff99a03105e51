#include "sim_device/shape.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <set>

namespace sim_device {

struct Shape::Node {
  enum class Kind { Boolean, Integer, Number, Text, OneOf, List, Object, Map, Any };
  Kind kind = Kind::Any;
  bool nullable = false;
  std::int64_t int_min = 0, int_max = 0;
  double num_min = 0, num_max = 0;
  std::vector<std::string> choices;
  std::vector<Shape::Member> members;
  std::shared_ptr<const Node> item;  // list item or map value
  std::string unique_key;
};

namespace {

using Kind = Shape::Node::Kind;
using kalu_ui::fail;

std::shared_ptr<Shape::Node> make(Kind kind) {
  auto node = std::make_shared<Shape::Node>();
  node->kind = kind;
  return node;
}

std::string expected_text(const Shape::Node& node) {
  switch (node.kind) {
    case Kind::Boolean:
      return "true or false";
    case Kind::Integer:
      return fmt::format("a whole number from {} to {}", node.int_min, node.int_max);
    case Kind::Number:
      return fmt::format("a number from {} to {}", node.num_min, node.num_max);
    case Kind::Text:
      return "a text";
    case Kind::OneOf:
      return fmt::format("one of \"{}\"", fmt::join(node.choices, "\", \""));
    case Kind::List:
      return "a list";
    case Kind::Object:
    case Kind::Map:
      return "an object";
    case Kind::Any:
      return "a value";
  }
  return "a value";
}

kalu_ui::Status refuse(const Shape::Node& node, const std::string& path) {
  return fail("{}: expected {}{}", path, expected_text(node), node.nullable ? " or null" : "");
}

bool integral(const Json& value, std::int64_t& out) {
  if (value.is_number_unsigned()) {
    auto u = value.get<std::uint64_t>();
    if (u > static_cast<std::uint64_t>(INT64_MAX)) return false;
    out = static_cast<std::int64_t>(u);
    return true;
  }
  if (value.is_number_integer()) {
    out = value.get<std::int64_t>();
    return true;
  }
  return false;
}

kalu_ui::Status check_node(const Shape::Node& node, const Json& value, const std::string& path);

kalu_ui::Status check_list(const Shape::Node& node, const Json& value, const std::string& path) {
  std::set<std::string> keys;
  for (std::size_t i = 0; i < value.size(); ++i) {
    std::string where = fmt::format("{}[{}]", path, i);
    if (auto ok = check_node(*node.item, value[i], where); !ok) return ok;
    if (node.unique_key.empty()) continue;
    auto found = value[i].find(node.unique_key);
    if (found == value[i].end()) continue;
    if (!keys.insert(found->dump()).second) {
      return fail("{}.{}: another item already has this {}", where, node.unique_key,
                  node.unique_key);
    }
  }
  return {};
}

kalu_ui::Status check_object(const Shape::Node& node, const Json& value, const std::string& path) {
  for (const auto& member : node.members) {
    auto found = value.find(member.name);
    std::string where = path.empty() ? member.name : path + "." + member.name;
    if (found == value.end()) {
      if (member.required) return fail("{}: missing", where);
      continue;
    }
    if (auto ok = check_node(*member.shape.node_for_check(), *found, where); !ok) return ok;
  }
  for (const auto& [key, unused] : value.items()) {
    bool known = std::any_of(node.members.begin(), node.members.end(),
                             [&](const Shape::Member& m) { return m.name == key; });
    if (!known) return fail("{}: unknown member \"{}\"", path, key);
  }
  return {};
}

kalu_ui::Status check_node(const Shape::Node& node, const Json& value, const std::string& path) {
  if (value.is_null() && node.nullable) return {};
  switch (node.kind) {
    case Kind::Any:
      return {};
    case Kind::Boolean:
      return value.is_boolean() ? kalu_ui::Status{} : refuse(node, path);
    case Kind::Integer: {
      std::int64_t v = 0;
      if (!integral(value, v) || v < node.int_min || v > node.int_max) return refuse(node, path);
      return {};
    }
    case Kind::Number: {
      if (!value.is_number()) return refuse(node, path);
      double v = value.get<double>();
      if (!std::isfinite(v) || v < node.num_min || v > node.num_max) return refuse(node, path);
      return {};
    }
    case Kind::Text:
      return value.is_string() ? kalu_ui::Status{} : refuse(node, path);
    case Kind::OneOf:
      if (!value.is_string() || std::find(node.choices.begin(), node.choices.end(),
                                          value.get<std::string>()) == node.choices.end()) {
        return refuse(node, path);
      }
      return {};
    case Kind::List:
      if (!value.is_array()) return refuse(node, path);
      return check_list(node, value, path);
    case Kind::Object:
      if (!value.is_object()) return refuse(node, path);
      return check_object(node, value, path);
    case Kind::Map:
      if (!value.is_object()) return refuse(node, path);
      for (const auto& [key, member] : value.items()) {
        if (auto ok = check_node(*node.item, member, fmt::format("{}[\"{}\"]", path, key)); !ok) {
          return ok;
        }
      }
      return {};
  }
  return {};
}

}  // namespace

Shape Shape::boolean() { return Shape(make(Kind::Boolean)); }

Shape Shape::integer(std::int64_t min, std::int64_t max) {
  auto node = make(Kind::Integer);
  node->int_min = min;
  node->int_max = max;
  return Shape(node);
}

Shape Shape::number(double min, double max) {
  auto node = make(Kind::Number);
  node->num_min = min;
  node->num_max = max;
  return Shape(node);
}

Shape Shape::text() { return Shape(make(Kind::Text)); }

Shape Shape::one_of(std::initializer_list<std::string_view> choices) {
  auto node = make(Kind::OneOf);
  for (auto c : choices) node->choices.emplace_back(c);
  return Shape(node);
}

Shape Shape::list(Shape item, std::string unique_key) {
  auto node = make(Kind::List);
  node->item = item.node_;
  node->unique_key = std::move(unique_key);
  return Shape(node);
}

Shape Shape::object(std::vector<Member> members) {
  auto node = make(Kind::Object);
  node->members = std::move(members);
  return Shape(node);
}

Shape Shape::map(Shape value) {
  auto node = make(Kind::Map);
  node->item = value.node_;
  return Shape(node);
}

Shape Shape::any() { return Shape(make(Kind::Any)); }

Shape Shape::or_null() const {
  auto node = std::make_shared<Node>(*node_);
  node->nullable = true;
  return Shape(node);
}

const Shape::Node* Shape::node_for_check() const { return node_.get(); }

kalu_ui::Status Shape::check(const Json& value, const std::string& path) const {
  return check_node(*node_, value, path);
}

}  // namespace sim_device
