#pragma once

#include <fmt/core.h>

#include <expected>
#include <string>
#include <utility>

namespace kalu_ui {

// Every fallible step answers a Result: the value, or a human-readable message
// that can be shown to a person or handed to an automation client as it is.
template <typename T>
using Result = std::expected<T, std::string>;

// The error side of a Result: `return fail(message)` takes a message made
// already, as it is (braces and all).
inline std::unexpected<std::string> fail(std::string message) {
  return std::unexpected<std::string>(std::move(message));
}

// `return fail("{} could not be read: {}", path, reason)`: the message
// formatted as fmt::format formats it, its format checked where it is
// compiled. A message alone takes the overload above.
template <typename First, typename... Rest>
std::unexpected<std::string> fail(fmt::format_string<First, Rest...> format, First&& first,
                                  Rest&&... rest) {
  return std::unexpected<std::string>(
      fmt::format(format, std::forward<First>(first), std::forward<Rest>(rest)...));
}

// A Result without a value.
using Status = Result<void>;

}  // namespace kalu_ui
