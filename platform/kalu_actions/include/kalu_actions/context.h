#pragma once

#include <string>

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
};

}  // namespace kalu_actions
