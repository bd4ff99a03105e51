#include "kalu_actions/address.h"

namespace kalu_actions {

namespace {

constexpr char kSeparator = '#';

bool needs_escape(unsigned char c) { return c == '%' || c == kSeparator || c < 0x20 || c == 0x7F; }

void escape_into(std::string& out, std::string_view part) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  for (unsigned char c : part) {
    if (needs_escape(c)) {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 0xF];
    } else {
      out += static_cast<char>(c);
    }
  }
}

int hex_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

kalu_ui::Result<std::string> unescape(std::string_view part) {
  std::string out;
  out.reserve(part.size());
  for (std::size_t i = 0; i < part.size(); ++i) {
    const auto c = static_cast<unsigned char>(part[i]);
    if (c == '%') {
      const bool complete = i + 2 < part.size();
      const int hi = complete ? hex_value(part[i + 1]) : -1;
      const int lo = complete ? hex_value(part[i + 2]) : -1;
      if (hi < 0 || lo < 0) return kalu_ui::fail("action address has a malformed escape");
      out += static_cast<char>(hi * 16 + lo);
      i += 2;
    } else if (needs_escape(c)) {
      return kalu_ui::fail("action address holds an unescaped character");
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

}  // namespace

std::string ActionAddress::encode() const {
  std::string out;
  out.reserve(resource_id.size() + action.size() + 1);
  escape_into(out, resource_id);
  out += kSeparator;
  escape_into(out, action);
  return out;
}

kalu_ui::Result<ActionAddress> ActionAddress::decode(std::string_view text) {
  const auto at = text.find(kSeparator);
  if (at == std::string_view::npos) return kalu_ui::fail("not an action address");
  auto resource = unescape(text.substr(0, at));
  if (!resource) return std::unexpected(resource.error());
  auto action = unescape(text.substr(at + 1));  // a second separator is refused here
  if (!action) return std::unexpected(action.error());
  return ActionAddress{std::move(*resource), std::move(*action)};
}

}  // namespace kalu_actions
