#pragma once

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>
#include <vector>

#include "kalu_ui/result.h"

// The shape a section of the simulated device's state must have. A state that
// a person edits with simdev, or that a file on disk holds, is checked against
// these shapes before any service reads it, so the services can read their
// fields without second-guessing each one. A refusal names the place
// ("network.wifi_networks[1].signal") and what was expected there, and never
// repeats the value itself: some of these values are passphrases.
namespace sim_device {

using Json = nlohmann::ordered_json;

class Shape {
 public:
  struct Member;

  static Shape boolean();
  static Shape integer(std::int64_t min, std::int64_t max);
  static Shape number(double min, double max);
  static Shape text();
  // Text that is one of `choices`.
  static Shape one_of(std::initializer_list<std::string_view> choices);
  // A list of `item`s. With `unique_key`, the items are objects whose member
  // of that name differs from item to item.
  static Shape list(Shape item, std::string unique_key = {});
  // An object with these members; members that are not named are refused so
  // that a typing slip in simdev shows at once.
  static Shape object(std::vector<Member> members);
  // An object whose members are all `value`s, named freely.
  static Shape map(Shape value);
  // Anything at all (a section owned by a later stand-in).
  static Shape any();
  // The same shape, or null.
  Shape or_null() const;

  // Success, or "<path>: expected ..." for the first place that is off.
  kalu_ui::Status check(const Json& value, const std::string& path) const;

  struct Node;
  const Node* node_for_check() const;

 private:
  explicit Shape(std::shared_ptr<const Node> node) : node_(std::move(node)) {}
  std::shared_ptr<const Node> node_;
};

struct Shape::Member {
  std::string name;
  Shape shape;
  bool required = true;
};

// Shorthands for the member lists of the section table.
inline Shape::Member req(std::string name, Shape shape) {
  return {std::move(name), std::move(shape), true};
}
inline Shape::Member opt(std::string name, Shape shape) {
  return {std::move(name), std::move(shape), false};
}

}  // namespace sim_device
