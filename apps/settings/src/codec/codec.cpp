#include "codec/codec.h"

#include <fmt/format.h>

#include <nlohmann/json.hpp>
#include <unordered_set>

namespace settings::codec::detail {

Status read_bool(Parser& p, bool& out) {
  const int c = p.peek_ws();
  if (c == 't' || c == 'f') {
    p.eat();
    out = c == 't';
    if (auto s = p.parse_ident(out ? "rue" : "alse"); !s) return s;
    return {};
  }
  return std::unexpected(p.invalid_type_here("a boolean"));
}

Status read_f64(Parser& p, double& out, std::string_view expected) {
  const int c = p.peek_ws();
  if (c != '-' && !(c >= '0' && c <= '9')) return std::unexpected(p.invalid_type_here(expected));
  auto n = p.parse_number();
  if (!n) return std::unexpected(std::move(n.error()));
  switch (n->kind) {
    case Number::Kind::kUnsigned:
      out = static_cast<double>(n->u);
      break;
    case Number::Kind::kSigned:
      out = static_cast<double>(n->i);
      break;
    case Number::Kind::kFloat:
      out = n->f;
      break;
  }
  return {};
}

namespace {

// An integer for a field of type `expected`: a float (a fraction, an
// exponent, minus zero or more than 64 bits) is the wrong type.
Outcome<Number> read_integer(Parser& p, std::string_view expected) {
  const int c = p.peek_ws();
  if (c != '-' && !(c >= '0' && c <= '9')) return std::unexpected(p.invalid_type_here(expected));
  auto n = p.parse_number();
  if (n && n->kind == Number::Kind::kFloat) {
    return std::unexpected(p.error(invalid_type(describe_number(*n), expected)));
  }
  return n;
}

}  // namespace

Status read_unsigned(Parser& p, std::uint64_t& out, std::uint64_t max, std::string_view expected) {
  auto n = read_integer(p, expected);
  if (!n) return std::unexpected(std::move(n.error()));
  if (n->kind == Number::Kind::kSigned || n->u > max) {
    return std::unexpected(p.error(invalid_value(describe_number(*n), expected)));
  }
  out = n->u;
  return {};
}

Status read_signed(Parser& p, std::int64_t& out, std::int64_t min, std::int64_t max,
                   std::string_view expected) {
  auto n = read_integer(p, expected);
  if (!n) return std::unexpected(std::move(n.error()));
  const bool in_range = n->kind == Number::Kind::kSigned ? n->i >= min && n->i <= max
                                                         : n->u <= static_cast<std::uint64_t>(max);
  if (!in_range) return std::unexpected(p.error(invalid_value(describe_number(*n), expected)));
  out = n->kind == Number::Kind::kSigned ? n->i : static_cast<std::int64_t>(n->u);
  return {};
}

Status read_string(Parser& p, std::string& out) {
  if (p.peek_ws() != '"') return std::unexpected(p.invalid_type_here("a string"));
  p.eat();
  std::string scratch;
  auto s = p.parse_string(scratch);
  if (!s) return std::unexpected(std::move(s.error()));
  if (s->data() == scratch.data()) {
    out = std::move(scratch);
  } else {
    out.assign(*s);
  }
  return {};
}

Status read_unit(Parser& p) {
  if (p.peek_ws() == 'n') {
    p.eat();
    return p.parse_ident("ull");
  }
  return std::unexpected(p.invalid_type_here("unit"));
}

Outcome<std::size_t> read_variant_name(Parser& p, std::span<const std::string_view> names) {
  if (p.peek_ws() != '"') return std::unexpected(p.invalid_type_here("variant identifier"));
  p.eat();
  std::string scratch;
  auto name = p.parse_string(scratch);
  if (!name) return std::unexpected(std::move(name.error()));
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (names[i] == *name) return i;
  }
  return std::unexpected(p.fix(unknown_variant(*name, names)));
}

std::string struct_expected(std::string_view owner, std::string_view name) {
  if (owner.empty()) return fmt::format("struct {}", name);
  return fmt::format("struct variant {}::{}", owner, name);
}

std::string struct_sequence(std::string_view owner, std::string_view name, std::size_t fields) {
  return fmt::format("{} with {} element{}", struct_expected(owner, name), fields,
                     fields == 1 ? "" : "s");
}

std::string internally_tagged_expected(std::string_view name) {
  return fmt::format("internally tagged enum {}", name);
}

Error missing_field(std::string_view name) {
  return Parser::data_error(fmt::format("missing field `{}`", name));
}

Error duplicate_field(std::string_view name) {
  return Parser::data_error(fmt::format("duplicate field `{}`", name));
}

Error unknown_field(std::string_view name, std::span<const std::string_view> known) {
  if (known.empty()) {
    return Parser::data_error(fmt::format("unknown field `{}`, there are no fields", name));
  }
  return Parser::data_error(fmt::format("unknown field `{}`, expected {}", name, name_list(known)));
}

Error unknown_variant(std::string_view name, std::span<const std::string_view> known) {
  return Parser::data_error(
      fmt::format("unknown variant `{}`, expected {}", name, name_list(known)));
}

Status read_tree(Parser& p, nlohmann::ordered_json& out) {
  const int c = p.peek_ws();
  switch (c) {
    case 'n':
      p.eat();
      out = nullptr;
      return p.parse_ident("ull");
    case 't':
    case 'f': {
      bool value = false;
      if (auto s = read_bool(p, value); !s) return s;
      out = value;
      return {};
    }
    case '"': {
      std::string text;
      if (auto s = read_string(p, text); !s) return s;
      out = std::move(text);
      return {};
    }
    case '[':
      return in_container(p, false, [&]() -> Status {
        out = nlohmann::ordered_json::array();
        bool first = true;
        while (true) {
          auto more = p.next_element(first);
          if (!more) return std::unexpected(std::move(more.error()));
          if (!*more) return {};
          out.push_back(nullptr);
          if (auto s = read_tree(p, out.back()); !s) return s;
        }
      });
    case '{':
      return in_container(p, true, [&]() -> Status {
        out = nlohmann::ordered_json::object();
        std::unordered_set<std::string> seen;
        return for_each_member(p, [&](std::string_view key) -> Status {
          auto [name, fresh] = seen.emplace(key);
          if (!fresh) return std::unexpected(duplicate_field(key));
          if (auto s = p.expect_colon(); !s) return s;
          return read_tree(p, out[*name]);
        });
      });
    default:
      break;
  }
  if (c != '-' && !(c >= '0' && c <= '9')) {
    return std::unexpected(p.peek_error(c < 0 ? "EOF while parsing a value" : "expected value"));
  }
  auto n = p.parse_number();
  if (!n) return std::unexpected(std::move(n.error()));
  switch (n->kind) {
    case Number::Kind::kUnsigned:
      out = n->u;
      break;
    case Number::Kind::kSigned:
      out = n->i;
      break;
    case Number::Kind::kFloat:
      out = n->f;
      break;
  }
  return {};
}

}  // namespace settings::codec::detail
