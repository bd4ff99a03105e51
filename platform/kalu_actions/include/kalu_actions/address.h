#pragma once

#include <string>
#include <string_view>

#include "kalu_ui/result.h"

namespace kalu_actions {

// Names one action of one resource, as search entries and accessibility
// nodes point at it.
struct ActionAddress {
  std::string resource_id;
  std::string action;

  friend bool operator==(const ActionAddress&, const ActionAddress&) = default;

  // "<resource id>#<action>", each part with "%", "#" and the control bytes
  // written as "%XX", so any id and name round-trip, the text holds exactly
  // one "#", and it never contains the 0x1F separator of search targets.
  std::string encode() const;
  // The inverse of encode; any other text is refused (a plain resource id,
  // two "#", a bad escape).
  static kalu_ui::Result<ActionAddress> decode(std::string_view text);
};

}  // namespace kalu_actions
