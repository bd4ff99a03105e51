#include "relay/home_peer.h"

#include <algorithm>
#include <cstddef>

#include "limited_exec/text.h"

namespace kalu_relay::home_peer {
namespace {

constexpr std::size_t kMaxLabelChars = 64;

bool is_control(char32_t cp) { return cp < 0x20 || (cp >= 0x7F && cp <= 0x9F); }

bool valid_utf8(std::string_view text) {
  while (!text.empty()) {
    const std::string_view before = text;
    const char32_t cp = limited_exec::take_char(text);
    // A real U+FFFD takes three bytes; a replacement for a bad sequence
    // takes what it replaced.
    if (cp == limited_exec::kReplacementChar &&
        before.substr(0, before.size() - text.size()) != "\xEF\xBF\xBD") {
      return false;
    }
  }
  return true;
}

}  // namespace

std::string_view trim_label(std::string_view label) {
  return limited_exec::trim_white_space(label);
}

bool valid_home_peer_label(std::string_view label) {
  if (!valid_utf8(label)) return false;
  std::string_view trimmed = trim_label(label);
  if (trimmed.empty() || trimmed.front() == '-') return false;
  std::size_t count = 0;
  while (!trimmed.empty()) {
    if (is_control(limited_exec::take_char(trimmed))) return false;
    if (++count > kMaxLabelChars) return false;
  }
  return true;
}

bool valid_node_id(std::string_view id) {
  return id.size() == kNodeIdLength && std::ranges::all_of(id, [](char c) {
           return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
         });
}

}  // namespace kalu_relay::home_peer
