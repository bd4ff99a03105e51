#pragma once

#include <string>
#include <string_view>

namespace kalu_actions {

// What a change is about: a resource id and the kind of that resource.
struct ActionSubject {
  std::string kind;
  std::string id;
  friend bool operator==(const ActionSubject&, const ActionSubject&) = default;
};

// The application in whose name an action is made.
struct ApplicationIdentity {
  std::string app_id;
  std::string title;
  friend bool operator==(const ApplicationIdentity&, const ApplicationIdentity&) = default;
};

// The context that travels with a dispatched action and that a permission
// request carries: who asks to change what, and why. Empty fields are unset.
struct ActionContext {
  std::string label;
  ActionSubject subject;
  std::string title;
  std::string purpose;
  ApplicationIdentity application;

  friend bool operator==(const ActionContext&, const ActionContext&) = default;

  // This context with each unset field taken from `base`; fields set here win.
  // The subject and the application identity are taken whole, so a kind of
  // one resource never pairs with the id of another.
  ActionContext enriched_by(const ActionContext& base) const;
};

// A label for an identifier: words split at "_", "-", ".", ":", white space
// and lower-to-upper case changes, joined by single spaces, the first letter
// upper case and the rest of each word lower case unless the word is an
// acronym ("SetSetting" -> "Set setting", "set-charge-cap" -> "Set charge cap",
// "HTTPProxy" -> "HTTP proxy").
std::string humanize_identifier(std::string_view identifier);

}  // namespace kalu_actions
