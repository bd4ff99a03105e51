#pragma once

#include <memory>
#include <nlohmann/json_fwd.hpp>
#include <optional>
#include <string>
#include <string_view>

#include "kalu_ui/result.h"

namespace kalu_actions {

// The arguments of one invocation: a JSON object read by parameter name.
// Copies share the parsed object, which is never changed after it is built.
class ActionArgs {
 public:
  // No arguments at all (an empty object).
  ActionArgs();

  // Reads compact or pretty JSON text; anything but an object is refused, so
  // that a client's typo never reaches a handler as "no arguments".
  static kalu_ui::Result<ActionArgs> parse(std::string_view json_text);
  static kalu_ui::Result<ActionArgs> from_json(const nlohmann::ordered_json& value);

  // The object with one more member; a number that is not finite is stored
  // as null, which the accessors read as absent.
  ActionArgs with(std::string_view name, bool value) const;
  ActionArgs with(std::string_view name, double value) const;
  ActionArgs with(std::string_view name, std::string_view value) const;
  ActionArgs with(std::string_view name, const char* value) const {
    return with(name, std::string_view(value));
  }

  // The argument's value when it is present with that JSON kind; none when it
  // is absent, null or of another kind (a string where a number is read).
  std::optional<bool> boolean(std::string_view name) const;
  std::optional<double> number(std::string_view name) const;
  std::optional<std::string> text(std::string_view name) const;

  const nlohmann::ordered_json& json() const;
  // Compact JSON text of the object.
  std::string to_json() const;

 private:
  explicit ActionArgs(std::shared_ptr<const nlohmann::ordered_json> object);
  std::shared_ptr<const nlohmann::ordered_json> object_;
};

}  // namespace kalu_actions
