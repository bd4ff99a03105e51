#pragma once

// The strict record codec: JSON text <-> C++ records, with the refusal texts
// that clients and logs see ("missing field `value` at line 1 column 20").
//
// Usage. Describe each record next to its C++ type, in the type's namespace,
// with a constexpr `describe(codec::Tag<T>)` function (found by argument-
// dependent lookup), then call the entry points at the bottom of this file.
//
//   struct OutputMode { std::uint32_t width{}, height{}, refresh_mhz{}; };
//   constexpr auto describe(codec::Tag<OutputMode>) {
//     return codec::record("OutputMode", codec::field("width", &OutputMode::width),
//                          codec::field("height", &OutputMode::height),
//                          codec::field("refresh_mhz", &OutputMode::refresh_mhz));
//   }
//
// - Fields: `field` is required (an std::optional member may still be left out
//   of the object form, and is null or absent); `field_or_default` may be left
//   out of the object and off the end of the array form, keeping the member's
//   initial value (write the default as the member initialiser). null is read
//   only into std::optional members. `.deny_unknown_fields()` on a record
//   refuses members it does not name; otherwise they are skipped.
// - Tagged unions: a type derived from std::variant whose alternatives are
//   described with `codec::unit("Name")`, `codec::record("Name", fields...)`
//   or `codec::newtype("Name", &T::member)`; the union itself is described
//   with `codec::tagged_union("Record")` (a unit variant is "Name", the others
//   {"Name":content}) or `codec::internally_tagged("Record", "state")`
//   ({"state":"name", fields...} or ["name", fields...]).
// - Enumerations without data: an enum class with values 0..N-1 described by
//   `codec::names<E>("Record", "first", "second", ...)`.
// - Value types with a form of their own: `codec::custom<T>(read, write_as)`,
//   where `read(Parser&, T&)` reads the value and `write_as(const T&)` names a
//   described value that is written in its place.
// - Records another library owns: a type that converts itself to and from a
//   JSON tree (`static Result<T> from_json(const nlohmann::ordered_json&)`,
//   `nlohmann::ordered_json to_json() const`) is described with
//   `codec::via_tree<T>()`. Its value is read as a tree (a key given twice in
//   one object is refused) and handed over; the type's refusal passes as the
//   codec's own.
// - Value types: bool, double, float (written widened), std::uint8_t to
//   std::uint64_t, signed integers, std::string, std::optional, std::vector,
//   std::array (fixed length, array form only), std::map<std::string, T>.
// - Entry points: `from_json<T>(text or bytes)` -> kalu_ui::Result<T>;
//   `to_json(value)` compact; `to_json_pretty(value)` two-space indented.
//   codec/tree.h adds `to_tree(value)` (an nlohmann::ordered_json).

#include <array>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <map>
#include <nlohmann/json_fwd.hpp>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

#include "codec/parser.h"
#include "codec/writer.h"
#include "kalu_ui/result.h"

namespace settings::codec {

// ---- Descriptions ---------------------------------------------------------

template <typename T>
struct Tag {};

enum class VariantKind { kUnit, kStruct, kNewtype };

template <typename T, typename M>
struct Field {
  std::string_view name;
  M T::*member;
  bool may_omit;
};

template <typename T, typename M>
constexpr Field<T, M> field(std::string_view name, M T::*member) {
  return {name, member, false};
}

template <typename T, typename M>
constexpr Field<T, M> field_or_default(std::string_view name, M T::*member) {
  return {name, member, true};
}

template <typename T, typename... F>
struct RecordDesc {
  std::string_view name;
  VariantKind kind;
  bool deny_unknown;
  std::tuple<F...> fields;

  constexpr RecordDesc deny_unknown_fields() const {
    RecordDesc copy = *this;
    copy.deny_unknown = true;
    return copy;
  }
};

template <typename T, typename... M>
constexpr RecordDesc<T, Field<T, M>...> record(std::string_view name, Field<T, M>... fields) {
  return {name, VariantKind::kStruct, false, {fields...}};
}

template <typename T>
constexpr RecordDesc<T> unit(std::string_view name) {
  return {name, VariantKind::kUnit, false, {}};
}

template <typename T, typename M>
constexpr RecordDesc<T, Field<T, M>> newtype(std::string_view name, M T::*member) {
  return {name, VariantKind::kNewtype, false, {Field<T, M>{"", member, false}}};
}

struct UnionDesc {
  std::string_view name;
  std::string_view tag;  // empty: externally tagged
};

constexpr UnionDesc tagged_union(std::string_view name) { return {name, {}}; }
constexpr UnionDesc internally_tagged(std::string_view name, std::string_view tag) {
  return {name, tag};
}

template <typename E, std::size_t N>
struct NamesDesc {
  std::string_view name;
  std::array<std::string_view, N> names;
};

template <typename E, typename... S>
constexpr NamesDesc<E, sizeof...(S)> names(std::string_view name, S... variant_names) {
  return {name, {std::string_view(variant_names)...}};
}

template <typename T, typename R>
struct CustomDesc {
  Status (*read)(Parser&, T&);
  const R& (*write_as)(const T&);
};

template <typename T, typename R>
constexpr CustomDesc<T, R> custom(Status (*read)(Parser&, T&), const R& (*write_as)(const T&)) {
  return {read, write_as};
}

template <typename T>
struct ViaTreeDesc {};

template <typename T>
constexpr ViaTreeDesc<T> via_tree() {
  return {};
}

// ---- Non-template pieces (codec.cpp) --------------------------------------

namespace detail {

Status read_bool(Parser& p, bool& out);
// Any JSON number; `expected` names the field's type in a refusal.
Status read_f64(Parser& p, double& out, std::string_view expected = "f64");
Status read_unsigned(Parser& p, std::uint64_t& out, std::uint64_t max, std::string_view expected);
Status read_signed(Parser& p, std::int64_t& out, std::int64_t min, std::int64_t max,
                   std::string_view expected);
Status read_string(Parser& p, std::string& out);
Status read_unit(Parser& p);
// Reads a string naming one of `names`; its index.
Outcome<std::size_t> read_variant_name(Parser& p, std::span<const std::string_view> names);
// "struct variant Owner::Name" or "struct Name" when there is no owner.
std::string struct_expected(std::string_view owner, std::string_view name);
// The same followed by " with N element(s)".
std::string struct_sequence(std::string_view owner, std::string_view name, std::size_t fields);
Error missing_field(std::string_view name);
Error duplicate_field(std::string_view name);
Error unknown_field(std::string_view name, std::span<const std::string_view> known);
Error unknown_variant(std::string_view name, std::span<const std::string_view> known);
// "internally tagged enum Name".
std::string internally_tagged_expected(std::string_view name);
// Any JSON value as a tree; a key given twice in one object is refused.
Status read_tree(Parser& p, nlohmann::ordered_json& out);

// Runs `body` inside an object or array whose opening byte is next; the
// closing byte is consumed even after a refusal so that a data refusal is
// positioned after the container, as the reader's clients have always seen.
template <typename F>
Status in_container(Parser& p, bool object, F&& body) {
  if (auto s = p.enter(); !s) return s;
  p.eat();
  Status ret = body();
  p.leave();
  Status end = object ? p.end_map() : p.end_seq();
  if (!ret) return std::unexpected(p.fix(std::move(ret.error())));
  if (!end) return std::unexpected(p.fix(std::move(end.error())));
  return {};
}

template <typename T>
struct IsOptional : std::false_type {};
template <typename T>
struct IsOptional<std::optional<T>> : std::true_type {};
template <typename T>
struct IsVector : std::false_type {};
template <typename T, typename A>
struct IsVector<std::vector<T, A>> : std::true_type {};
template <typename T>
struct IsArray : std::false_type {};
template <typename T, std::size_t N>
struct IsArray<std::array<T, N>> : std::true_type {};
template <typename T>
struct IsMap : std::false_type {};
template <typename V, typename C, typename A>
struct IsMap<std::map<std::string, V, C, A>> : std::true_type {};
template <typename D>
struct IsRecordDesc : std::false_type {};
template <typename T, typename... F>
struct IsRecordDesc<RecordDesc<T, F...>> : std::true_type {};
template <typename D>
struct IsCustomDesc : std::false_type {};
template <typename T, typename R>
struct IsCustomDesc<CustomDesc<T, R>> : std::true_type {};
template <typename D>
struct IsNamesDesc : std::false_type {};
template <typename E, std::size_t N>
struct IsNamesDesc<NamesDesc<E, N>> : std::true_type {};
template <typename D>
struct IsViaTreeDesc : std::false_type {};
template <typename T>
struct IsViaTreeDesc<ViaTreeDesc<T>> : std::true_type {};

template <typename... A>
std::variant<A...>& as_variant(std::variant<A...>& v) {
  return v;
}
template <typename... A>
const std::variant<A...>& as_variant(const std::variant<A...>& v) {
  return v;
}

template <typename T>
concept Described = requires {
  describe(Tag<T>{});
};

template <typename T>
constexpr auto desc_of() {
  return describe(Tag<T>{});
}

// "u8" .. "u64", "i8" .. "i64": how refusals name an integer type.
template <typename T>
constexpr std::string_view integer_name() {
  constexpr std::string_view kUnsigned[] = {"u8", "u16", "", "u32", "", "", "", "u64"};
  constexpr std::string_view kSigned[] = {"i8", "i16", "", "i32", "", "", "", "i64"};
  return std::is_signed_v<T> ? kSigned[sizeof(T) - 1] : kUnsigned[sizeof(T) - 1];
}

}  // namespace detail

// ---- Reading ---------------------------------------------------------------

template <typename T>
Status read_value(Parser& p, T& out);

namespace detail {

template <typename T>
constexpr std::size_t field_count() {
  return std::tuple_size_v<decltype(desc_of<T>().fields)>;
}

template <typename T>
constexpr auto field_names() {
  return std::apply([](auto... f) { return std::array<std::string_view, sizeof...(f)>{f.name...}; },
                    desc_of<T>().fields);
}

template <typename T, std::size_t I>
Status read_field(Parser& p, T& out) {
  static constexpr auto d = desc_of<T>();
  return read_value(p, out.*(std::get<I>(d.fields).member));
}

template <typename T, std::size_t... I>
constexpr auto field_readers(std::index_sequence<I...>) {
  return std::array<Status (*)(Parser&, T&), sizeof...(I)>{&read_field<T, I>...};
}

// After the object's fields were read: absent optionals are absent, a
// defaulted field keeps its value, any other missing field is refused.
template <typename T, std::size_t... I>
Status finish_fields(T& out, const bool* seen, std::index_sequence<I...>) {
  if constexpr (sizeof...(I) == 0) {
    return {};
  } else {
    static constexpr auto d = desc_of<T>();
    Status result;
    auto check = [&]<std::size_t K>() {
      if (seen[K]) return true;
      const auto& f = std::get<K>(d.fields);
      using M = std::remove_cvref_t<decltype(out.*(f.member))>;
      if (f.may_omit) return true;
      if constexpr (IsOptional<M>::value) {
        (out.*(f.member)).reset();
        return true;
      } else {
        result = std::unexpected(missing_field(f.name));
        return false;
      }
    };
    (check.template operator()<I>() && ...);
    return result;
  }
}

// Walks the members of an object whose opening brace was consumed, up to (not
// including) its closing brace: reads each key and hands it to `on_member`,
// which reads on from the colon.
template <typename F>
Status for_each_member(Parser& p, F&& on_member) {
  std::string scratch;
  bool first = true;
  while (true) {
    auto more = p.next_key(first);
    if (!more) return std::unexpected(std::move(more.error()));
    if (!*more) return {};
    p.eat();
    auto key = p.parse_string(scratch);
    if (!key) return std::unexpected(std::move(key.error()));
    if (auto s = on_member(*key); !s) return s;
  }
}

// The members of an object whose opening brace was consumed, up to (not
// including) its closing brace. A member named `skip_key` is passed over.
template <typename T>
Status read_fields_map(Parser& p, T& out, std::string_view skip_key = {}) {
  static constexpr auto d = desc_of<T>();
  static constexpr std::size_t N = field_count<T>();
  static constexpr auto kNames = field_names<T>();
  static constexpr auto kReaders = field_readers<T>(std::make_index_sequence<N>{});
  bool seen[N + 1] = {};
  auto walked = for_each_member(p, [&](std::string_view key) -> Status {
    std::size_t i = 0;
    while (i < N && kNames[i] != key) ++i;
    if (i == N) {
      if (d.deny_unknown && key != skip_key) {
        return std::unexpected(unknown_field(key, kNames));
      }
      if (auto s = p.expect_colon(); !s) return s;
      return p.skip_value();
    }
    if (seen[i]) return std::unexpected(duplicate_field(kNames[i]));
    seen[i] = true;
    if (auto s = p.expect_colon(); !s) return s;
    return kReaders[i](p, out);
  });
  if (!walked) return walked;
  return finish_fields(out, seen, std::make_index_sequence<N>{});
}

// The elements of an array whose opening bracket was consumed, in field
// order; `first` tells whether an element was read before them.
template <typename T>
Status read_fields_seq(Parser& p, T& out, std::string_view owner, bool first) {
  static constexpr auto d = desc_of<T>();
  static constexpr std::size_t N = field_count<T>();
  static constexpr auto kReaders = field_readers<T>(std::make_index_sequence<N>{});
  static constexpr auto kOmit =
      std::apply([](auto... f) { return std::array<bool, sizeof...(f)>{f.may_omit...}; }, d.fields);
  for (std::size_t i = 0; i < N; ++i) {
    auto more = p.next_element(first);
    if (!more) return std::unexpected(std::move(more.error()));
    if (!*more) {
      if (kOmit[i]) continue;
      return std::unexpected(
          Parser::data_error(invalid_length(i, struct_sequence(owner, d.name, N))));
    }
    if (auto s = kReaders[i](p, out); !s) return s;
  }
  return {};
}

// A record's fields as an object or an array.
template <typename T>
Status read_struct(Parser& p, T& out, std::string_view owner) {
  static constexpr auto d = desc_of<T>();
  const int c = p.peek_ws();
  if (c == '{') return in_container(p, true, [&] { return read_fields_map(p, out); });
  if (c == '[') return in_container(p, false, [&] { return read_fields_seq(p, out, owner, true); });
  return std::unexpected(p.invalid_type_here(struct_expected(owner, d.name)));
}

enum class Content { kNone, kValue, kMap, kSeq };

template <typename E, std::size_t I>
Status read_alternative(Parser& p, E& out, Content content, std::string_view owner,
                        std::string_view tag, bool first) {
  using V = std::remove_cvref_t<decltype(as_variant(out))>;
  using A = std::variant_alternative_t<I, V>;
  static constexpr auto d = desc_of<A>();
  A a{};
  Status s;
  switch (content) {
    case Content::kNone:
      break;
    case Content::kValue:
      if constexpr (d.kind == VariantKind::kStruct) {
        s = read_struct(p, a, owner);
      } else if constexpr (d.kind == VariantKind::kNewtype) {
        s = read_value(p, a.*(std::get<0>(d.fields).member));
      }
      break;
    case Content::kMap:
      s = read_fields_map(p, a, tag);
      break;
    case Content::kSeq:
      s = read_fields_seq(p, a, owner, first);
      break;
  }
  if (!s) return s;
  as_variant(out).template emplace<I>(std::move(a));
  return {};
}

template <typename E>
struct UnionInfo {
  using V = std::remove_cvref_t<decltype(as_variant(std::declval<E&>()))>;
  static constexpr std::size_t N = std::variant_size_v<V>;
  using Reader = Status (*)(Parser&, E&, Content, std::string_view, std::string_view, bool);

  template <std::size_t... I>
  static constexpr auto make_names(std::index_sequence<I...>) {
    return std::array<std::string_view, N>{desc_of<std::variant_alternative_t<I, V>>().name...};
  }
  template <std::size_t... I>
  static constexpr auto make_kinds(std::index_sequence<I...>) {
    return std::array<VariantKind, N>{desc_of<std::variant_alternative_t<I, V>>().kind...};
  }
  template <std::size_t... I>
  static constexpr auto make_readers(std::index_sequence<I...>) {
    return std::array<Reader, N>{&read_alternative<E, I>...};
  }
  static constexpr auto kNames = make_names(std::make_index_sequence<N>{});
  static constexpr auto kKinds = make_kinds(std::make_index_sequence<N>{});
  static constexpr auto kReaders = make_readers(std::make_index_sequence<N>{});
};

// A unit variant as "Name" or {"Name":null}; the others as {"Name":content}.
// `assign(i, content)` stores variant i, reading its content when asked.
template <typename F>
Status read_external(Parser& p, std::span<const std::string_view> names,
                     std::span<const VariantKind> kinds, F&& assign) {
  int c = p.peek_ws();
  if (c == '"') {
    auto i = read_variant_name(p, names);
    if (!i) return std::unexpected(std::move(i.error()));
    if (kinds[*i] == VariantKind::kStruct) {
      return std::unexpected(Parser::data_error(invalid_type("unit variant", "struct variant")));
    }
    if (kinds[*i] == VariantKind::kNewtype) {
      return std::unexpected(Parser::data_error(invalid_type("unit variant", "newtype variant")));
    }
    return assign(*i, false);
  }
  if (c != '{')
    return std::unexpected(p.peek_error(c < 0 ? "EOF while parsing a value" : "expected value"));
  if (auto s = p.enter(); !s) return s;
  p.eat();
  auto i = read_variant_name(p, names);
  if (!i) return std::unexpected(std::move(i.error()));
  if (auto s = p.expect_colon(); !s) return s;
  if (kinds[*i] == VariantKind::kUnit) {
    if (auto s = read_unit(p); !s) return s;
  }
  if (auto s = assign(*i, kinds[*i] != VariantKind::kUnit); !s) return s;
  p.leave();
  c = p.peek_ws();
  if (c == '}') {
    p.eat();
    return {};
  }
  // A second member, or anything else after the content.
  return std::unexpected(p.error(c < 0 ? "EOF while parsing an object" : "expected value"));
}

template <typename E>
Status read_union(Parser& p, E& out) {
  static constexpr auto d = desc_of<E>();
  using Info = UnionInfo<E>;
  if constexpr (d.tag.empty()) {
    return read_external(p, Info::kNames, Info::kKinds, [&](std::size_t i, bool content) {
      return Info::kReaders[i](p, out, content ? Content::kValue : Content::kNone, d.name, {},
                               true);
    });
  } else {
    const int c = p.peek_ws();
    if (c == '{') {
      return in_container(p, true, [&]() -> Status {
        // Find the tag wherever it stands, then read the object again as
        // the chosen variant's fields.
        const std::size_t start = p.index();
        std::optional<std::size_t> which;
        auto walked = for_each_member(p, [&](std::string_view key) -> Status {
          const bool is_tag = key == d.tag;
          if (auto s = p.expect_colon(); !s) return s;
          if (!is_tag) return p.skip_value();
          if (which) return std::unexpected(duplicate_field(d.tag));
          auto i = read_variant_name(p, Info::kNames);
          if (!i) return std::unexpected(std::move(i.error()));
          which = *i;
          return {};
        });
        if (!walked) return walked;
        if (!which) return std::unexpected(missing_field(d.tag));
        p.rewind(start);
        return Info::kReaders[*which](p, out, Content::kMap, d.name, d.tag, true);
      });
    }
    if (c == '[') {
      return in_container(p, false, [&]() -> Status {
        bool first = true;
        auto more = p.next_element(first);
        if (!more) return std::unexpected(std::move(more.error()));
        if (!*more) {
          return std::unexpected(
              Parser::data_error(invalid_length(0, internally_tagged_expected(d.name))));
        }
        auto i = read_variant_name(p, Info::kNames);
        if (!i) return std::unexpected(std::move(i.error()));
        return Info::kReaders[*i](p, out, Content::kSeq, d.name, d.tag, false);
      });
    }
    return std::unexpected(p.invalid_type_here(internally_tagged_expected(d.name)));
  }
}

// The tree type is the one `to_json` answers, named through T so that only
// the files that use such a type need the full JSON library.
template <typename T>
Status read_via_tree(Parser& p, T& out) {
  using Tree = decltype(std::declval<const T&>().to_json());
  Tree tree;
  if (auto s = read_tree(p, tree); !s) return s;
  auto value = T::from_json(tree);
  if (!value) return std::unexpected(Parser::data_error(std::move(value.error())));
  out = std::move(*value);
  return {};
}

template <typename E>
Status read_names(Parser& p, E& out) {
  static constexpr auto d = desc_of<E>();
  static constexpr std::array<VariantKind, d.names.size()> kKinds{};  // all unit
  return read_external(p, d.names, kKinds, [&](std::size_t i, bool) -> Status {
    out = static_cast<E>(i);
    return {};
  });
}

}  // namespace detail

template <typename T>
Status read_value(Parser& p, T& out) {
  using namespace detail;
  if constexpr (std::is_same_v<T, bool>) {
    return read_bool(p, out);
  } else if constexpr (std::is_same_v<T, double>) {
    return read_f64(p, out);
  } else if constexpr (std::is_same_v<T, float>) {
    double v = 0;
    auto s = read_f64(p, v, "f32");
    // Round to nearest: what lies within half a step above the largest float
    // is that float; from the midpoint on it is infinite. Converting beyond
    // the float range is left undefined by the language, so saturate here.
    constexpr double kMax = std::numeric_limits<float>::max();
    constexpr double kHalfStep = 0x1p103;  // half the spacing of floats near kMax
    out = v >= kMax + kHalfStep    ? std::numeric_limits<float>::infinity()
          : v <= -kMax - kHalfStep ? -std::numeric_limits<float>::infinity()
          : v > kMax               ? std::numeric_limits<float>::max()
          : v < -kMax              ? -std::numeric_limits<float>::max()
                                   : static_cast<float>(v);
    return s;
  } else if constexpr (std::is_integral_v<T> && std::is_unsigned_v<T>) {
    std::uint64_t v = 0;
    auto s = read_unsigned(p, v, std::numeric_limits<T>::max(), integer_name<T>());
    out = static_cast<T>(v);
    return s;
  } else if constexpr (std::is_integral_v<T> && std::is_signed_v<T>) {
    std::int64_t v = 0;
    auto s = read_signed(p, v, std::numeric_limits<T>::min(), std::numeric_limits<T>::max(),
                         integer_name<T>());
    out = static_cast<T>(v);
    return s;
  } else if constexpr (std::is_same_v<T, std::string>) {
    return read_string(p, out);
  } else if constexpr (IsOptional<T>::value) {
    if (p.peek_ws() == 'n') {
      p.eat();
      out.reset();
      return p.parse_ident("ull");
    }
    out.emplace();
    return read_value(p, *out);
  } else if constexpr (IsVector<T>::value || IsArray<T>::value) {
    if (p.peek_ws() != '[') {
      if constexpr (IsArray<T>::value) {
        return std::unexpected(
            p.invalid_type_here("an array of length " + std::to_string(std::tuple_size_v<T>)));
      } else {
        return std::unexpected(p.invalid_type_here("a sequence"));
      }
    }
    return in_container(p, false, [&]() -> Status {
      bool first = true;
      if constexpr (IsVector<T>::value) {
        out.clear();
        while (true) {
          auto more = p.next_element(first);
          if (!more) return std::unexpected(std::move(more.error()));
          if (!*more) return {};
          if (auto s = read_value(p, out.emplace_back()); !s) return s;
        }
      } else {
        for (std::size_t i = 0; i < out.size(); ++i) {
          auto more = p.next_element(first);
          if (!more) return std::unexpected(std::move(more.error()));
          if (!*more) {
            return std::unexpected(Parser::data_error(
                invalid_length(i, "an array of length " + std::to_string(std::tuple_size_v<T>))));
          }
          if (auto s = read_value(p, out[i]); !s) return s;
        }
        return {};
      }
    });
  } else if constexpr (IsMap<T>::value) {
    if (p.peek_ws() != '{') return std::unexpected(p.invalid_type_here("a map"));
    return in_container(p, true, [&]() -> Status {
      out.clear();
      return for_each_member(p, [&](std::string_view key) -> Status {
        std::string name(key);
        if (auto s = p.expect_colon(); !s) return s;
        return read_value(p, out[std::move(name)]);
      });
    });
  } else if constexpr (Described<T>) {
    using D = decltype(desc_of<T>());
    if constexpr (IsRecordDesc<D>::value) {
      return read_struct(p, out, {});
    } else if constexpr (IsNamesDesc<D>::value) {
      return read_names(p, out);
    } else if constexpr (IsCustomDesc<D>::value) {
      return desc_of<T>().read(p, out);
    } else if constexpr (IsViaTreeDesc<D>::value) {
      return read_via_tree(p, out);
    } else {
      return read_union(p, out);
    }
  } else {
    static_assert(sizeof(T) == 0, "no JSON form for this type: describe it");
  }
}

// ---- Writing ---------------------------------------------------------------

template <typename W, typename T>
void write_value(W& w, const T& v);

namespace detail {

template <typename W, typename Tree>
void write_tree(W& w, const Tree& tree) {
  using Kind = typename Tree::value_t;
  switch (tree.type()) {
    case Kind::boolean:
      w.boolean(tree.template get<bool>());
      return;
    case Kind::number_integer:
      w.signed_integer(tree.template get<std::int64_t>());
      return;
    case Kind::number_unsigned:
      w.unsigned_integer(tree.template get<std::uint64_t>());
      return;
    case Kind::number_float:
      w.number(tree.template get<double>());
      return;
    case Kind::string:
      w.string(tree.template get_ref<const std::string&>());
      return;
    case Kind::array:
      w.begin_array();
      for (const auto& item : tree) write_tree(w, item);
      w.end_array();
      return;
    case Kind::object:
      w.begin_object();
      for (auto it = tree.begin(); it != tree.end(); ++it) {
        w.key(it.key());
        write_tree(w, it.value());
      }
      w.end_object();
      return;
    default:  // null, and the library's binary and discarded values
      w.null();
      return;
  }
}

template <typename W, typename T>
void write_fields(W& w, const T& v) {
  static constexpr auto d = desc_of<T>();
  std::apply([&](const auto&... f) { ((w.key(f.name), write_value(w, v.*(f.member))), ...); },
             d.fields);
}

}  // namespace detail

template <typename W, typename T>
void write_value(W& w, const T& v) {
  using namespace detail;
  if constexpr (std::is_same_v<T, bool>) {
    w.boolean(v);
  } else if constexpr (std::is_floating_point_v<T>) {
    w.number(static_cast<double>(v));
  } else if constexpr (std::is_integral_v<T> && std::is_unsigned_v<T>) {
    w.unsigned_integer(v);
  } else if constexpr (std::is_integral_v<T> && std::is_signed_v<T>) {
    w.signed_integer(v);
  } else if constexpr (std::is_same_v<T, std::string>) {
    w.string(v);
  } else if constexpr (IsOptional<T>::value) {
    if (v) {
      write_value(w, *v);
    } else {
      w.null();
    }
  } else if constexpr (IsVector<T>::value || IsArray<T>::value) {
    w.begin_array();
    for (const auto& item : v) write_value(w, item);
    w.end_array();
  } else if constexpr (IsMap<T>::value) {
    w.begin_object();
    for (const auto& [key, item] : v) {
      w.key(key);
      write_value(w, item);
    }
    w.end_object();
  } else if constexpr (Described<T>) {
    static constexpr auto d = desc_of<T>();
    using D = decltype(desc_of<T>());
    if constexpr (IsRecordDesc<D>::value) {
      w.begin_object();
      write_fields(w, v);
      w.end_object();
    } else if constexpr (IsNamesDesc<D>::value) {
      w.string(d.names[static_cast<std::size_t>(v)]);
    } else if constexpr (IsCustomDesc<D>::value) {
      write_value(w, d.write_as(v));
    } else if constexpr (IsViaTreeDesc<D>::value) {
      write_tree(w, v.to_json());
    } else {
      std::visit(
          [&](const auto& alt) {
            using A = std::remove_cvref_t<decltype(alt)>;
            static constexpr auto a = desc_of<A>();
            if constexpr (!d.tag.empty()) {
              w.begin_object();
              w.key(d.tag);
              w.string(a.name);
              write_fields(w, alt);
              w.end_object();
            } else if constexpr (a.kind == VariantKind::kUnit) {
              w.string(a.name);
            } else {
              w.begin_object();
              w.key(a.name);
              if constexpr (a.kind == VariantKind::kStruct) {
                w.begin_object();
                write_fields(w, alt);
                w.end_object();
              } else {
                write_value(w, alt.*(std::get<0>(a.fields).member));
              }
              w.end_object();
            }
          },
          as_variant(v));
    }
  } else {
    static_assert(sizeof(T) == 0, "no JSON form for this type: describe it");
  }
}

// ---- Entry points ----------------------------------------------------------

// Reads exactly one value of type T (then only whitespace) or answers the
// refusal text, positioned as " at line L column C" where the reader knows it.
template <typename T>
kalu_ui::Result<T> from_json(std::string_view text) {
  Parser p(text);
  T out{};
  Status s = read_value(p, out);
  if (s) s = p.end_of_input();
  if (!s) return kalu_ui::fail(render(s.error(), text));
  return out;
}

template <typename T>
kalu_ui::Result<T> from_json(std::span<const std::uint8_t> bytes) {
  return from_json<T>(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

template <typename T>
std::string to_json(const T& value) {
  Writer w;
  write_value(w, value);
  return w.take();
}

template <typename T>
std::string to_json_pretty(const T& value) {
  Writer w(true);
  write_value(w, value);
  return w.take();
}

}  // namespace settings::codec
