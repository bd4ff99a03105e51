#pragma once

// Reading the library's records from JSON trees by the general record rules
// (object or array form, required and optional fields, strict types), with
// refusals worded the way every stored record of the system words them
// ("missing field `id`", "invalid type: string \"x\", expected u8").

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "account_book/account_store.h"
#include "account_book/paths.h"
#include "kalu_ui/result.h"

namespace account_book::detail {

// Parses stored text. A key given twice in one object is refused, and so is
// nesting deeper than any record needs, so a hostile file cannot exhaust the
// stack of whoever prints the tree again.
kalu_ui::Result<Json> parse_strict(std::string_view text);

// How a found value is named in a refusal: "string \"x\"", "integer `5`",
// "floating point `1.5`", "boolean `true`", "null", "sequence", "map".
std::string describe_found(const Json& value);

kalu_ui::Result<std::string> read_text(const Json& value);
kalu_ui::Result<bool> read_bool(const Json& value);
kalu_ui::Result<std::uint8_t> read_u8(const Json& value);
kalu_ui::Result<std::int64_t> read_i64(const Json& value);

// The first failure among already evaluated steps, in the order given.
kalu_ui::Status first_error(std::initializer_list<kalu_ui::Status> steps);

// The fields of one record, from its object form or its array form.
class RecordFields {
 public:
  // `names` lists the fields in stored order and must outlive the reader.
  static kalu_ui::Result<RecordFields> open(const Json& value, std::string_view record,
                                            std::span<const std::string_view> names);

  // Field `i` must be present; `read` turns its value into `out`.
  template <typename T, typename R>
  kalu_ui::Status required(std::size_t i, T& out, R read) const {
    const Json* v = at(i);
    if (v == nullptr) return kalu_ui::fail(missing(i));
    return assign(read(*v), out);
  }

  // Field `i` may be left out; `out` then keeps its default.
  template <typename T, typename R>
  kalu_ui::Status optional(std::size_t i, T& out, R read) const {
    const Json* v = at(i);
    if (v == nullptr) return {};
    return assign(read(*v), out);
  }

  // Field `i` may be left out or null, both reading as none.
  template <typename T, typename R>
  kalu_ui::Status nullable(std::size_t i, std::optional<T>& out, R read) const {
    const Json* v = at(i);
    if (v == nullptr || v->is_null()) {
      out.reset();
      return {};
    }
    return assign(read(*v), out);
  }

 private:
  RecordFields(const Json& value, std::string_view record, std::span<const std::string_view> names)
      : value_(&value), record_(record), names_(names) {}

  const Json* at(std::size_t i) const;
  std::string missing(std::size_t i) const;

  template <typename V, typename T>
  static kalu_ui::Status assign(kalu_ui::Result<V> read, T& out) {
    if (!read) return kalu_ui::fail(std::move(read.error()));
    out = std::move(*read);
    return {};
  }

  const Json* value_;
  std::string_view record_;
  std::span<const std::string_view> names_;
};

// The JSON of the file `name` in the accounts directory under `root`; none
// when the file does not exist; an error when it cannot be read (not a
// regular file, past kMaxRecordFileBytes) or parsed.
kalu_ui::Result<std::optional<Json>> load_json_file(const std::filesystem::path& root,
                                                    std::string_view name);

// The store of type T in the file `name` under `root`: T{} when the file does
// not exist, else what T::from_json makes of it.
template <typename T>
kalu_ui::Result<T> load_store_file(const std::filesystem::path& root, std::string_view name) {
  auto json = load_json_file(root, name);
  if (!json) return kalu_ui::fail(std::move(json.error()));
  if (!*json) return T{};
  return T::from_json(**json);
}

// Writes `value` two-space indented to the file `name` of the accounts
// directory under `root`, atomically and owner-only, creating directories.
kalu_ui::Status save_json_file(const std::filesystem::path& root, std::string_view name,
                               const Json& value);

}  // namespace account_book::detail
