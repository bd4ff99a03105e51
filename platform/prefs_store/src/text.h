#pragma once

#include <string_view>

// Small text helpers the store's parsers share.
namespace prefs_store::detail {

// `text` without ASCII white space at either end.
inline std::string_view trim_ascii_space(std::string_view text) {
  const auto space = [](char c) { return c == ' ' || (c >= '\t' && c <= '\r'); };
  while (!text.empty() && space(text.front())) text.remove_prefix(1);
  while (!text.empty() && space(text.back())) text.remove_suffix(1);
  return text;
}

}  // namespace prefs_store::detail
