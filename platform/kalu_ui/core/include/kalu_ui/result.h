#pragma once

#include <expected>
#include <string>

namespace kalu_ui {

// Every fallible step answers a Result: the value, or a human-readable message
// that can be shown to a person or handed to an automation client as it is.
template <typename T>
using Result = std::expected<T, std::string>;

// Shorthand for building the error side: `return fail("cannot read {}", path)`
// is spelled `return std::unexpected(fmt::format(...))` elsewhere; this keeps
// call sites short without pulling fmt into every header.
inline std::unexpected<std::string> fail(std::string message) {
  return std::unexpected<std::string>(std::move(message));
}

// A Result without a value.
using Status = Result<void>;

}  // namespace kalu_ui
