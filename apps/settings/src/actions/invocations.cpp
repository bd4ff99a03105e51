#include "actions/invocations.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <variant>

#include "actions/doc_readers.h"

namespace settings::actions {

using kalu_actions::ActionArgs;
using kalu_actions::ArgumentBuilder;
using kalu_actions::ControlValue;

bool arg_flag(const ActionArgs& args, std::string_view name) {
  return args.boolean(name).value_or(false);
}

double arg_level(const ActionArgs& args) { return args.number("value").value_or(0.0); }

std::string arg_text(const ActionArgs& args, std::string_view name, std::string_view fallback) {
  if (auto text = args.text(name)) return std::move(*text);
  return std::string(fallback);
}

std::uint32_t lookup_label(std::span<const std::pair<std::string, std::uint32_t>> labels,
                           std::string_view chosen) {
  for (const auto& [label, id] : labels) {
    if (label == chosen) return id;
  }
  return kNoSuchId;
}

std::optional<std::uint32_t> lookup_route(
    std::span<const std::pair<std::string, std::uint32_t>> labels, std::string_view chosen) {
  if (chosen == "Default") return std::nullopt;
  for (const auto& [label, id] : labels) {
    if (label == chosen) return id;
  }
  return std::nullopt;
}

std::uint32_t parse_charge_percent(const std::optional<std::string>& percent, std::uint32_t kept) {
  if (!percent) return kept;
  std::string_view text = *percent;
  while (text.ends_with('%')) text.remove_suffix(1);
  if (text.starts_with('+')) text.remove_prefix(1);
  // Digits only: from_chars alone would take a leading "-" and stop early at
  // anything else.
  if (text.empty() || !std::ranges::all_of(text, [](char c) { return c >= '0' && c <= '9'; })) {
    return kept;
  }
  std::uint32_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return kept;
  return value;
}

double clamp_input_speed(double value) {
  if (std::isnan(value)) return 0.0;
  return std::clamp(value, 0.0, 1.0);
}

ArgumentBuilder bool_arguments() {
  return [](const ControlValue& value) {
    if (const bool* on = std::get_if<bool>(&value)) return ActionArgs().with("value", *on);
    return ActionArgs();
  };
}

ArgumentBuilder number_arguments() {
  return [](const ControlValue& value) {
    // ActionArgs writes a non-finite number as null, which the number
    // parsers read as absent.
    if (const double* level = std::get_if<double>(&value)) {
      return ActionArgs().with("value", *level);
    }
    return ActionArgs();
  };
}

ArgumentBuilder text_arguments(std::string parameter) {
  return [parameter = std::move(parameter)](const ControlValue& value) {
    if (const std::string* text = std::get_if<std::string>(&value)) {
      return ActionArgs().with(parameter, std::string_view(*text));
    }
    return ActionArgs();
  };
}

ArgumentBuilder choice_arguments() { return text_arguments("choice"); }

ArgumentBuilder percent_arguments() {
  // The page shows "80%"; the action takes the number's digits.
  return [](const ControlValue& value) {
    const std::string* text = std::get_if<std::string>(&value);
    if (text == nullptr) return ActionArgs();
    std::string_view digits = *text;
    while (digits.ends_with('%')) digits.remove_suffix(1);
    return ActionArgs().with("percent", digits);
  };
}

bool current_bool(const kalu_ui::doc::Document& document, std::string_view key, bool fallback) {
  return read_doc_bool(document, kalu_ui::doc::kRoot, key).value_or(fallback);
}

std::string current_text(const kalu_ui::doc::Document& document, std::string_view key,
                         std::string_view fallback) {
  if (auto text = read_doc_text(document, kalu_ui::doc::kRoot, key)) return std::move(*text);
  return std::string(fallback);
}

}  // namespace settings::actions
