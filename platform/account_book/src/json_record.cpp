#include "json_record.h"

#include <fmt/format.h>

#include <cmath>
#include <limits>
#include <unordered_set>
#include <vector>

#include "account_book/paths.h"
#include "prefs_store/document.h"
#include "safe_write/read.h"
#include "safe_write/safe_write.h"

namespace account_book::detail {

namespace fs = std::filesystem;
using kalu_ui::fail;
using kalu_ui::Result;
using kalu_ui::Status;

namespace {

// Records nest four levels; a configuration value a few more.
constexpr int kMaxDepth = 128;

struct Refusal {
  std::string message;
};

std::string invalid_type(const Json& found, std::string_view expected) {
  return fmt::format("invalid type: {}, expected {}", describe_found(found), expected);
}

std::string invalid_value(const Json& found, std::string_view expected) {
  return fmt::format("invalid value: {}, expected {}", describe_found(found), expected);
}

}  // namespace

Result<Json> parse_strict(std::string_view text) {
  std::vector<std::unordered_set<std::string>> open_objects;
  int depth = 0;
  auto check = [&](int, Json::parse_event_t event, Json& parsed) -> bool {
    switch (event) {
      case Json::parse_event_t::object_start:
      case Json::parse_event_t::array_start:
        if (++depth > kMaxDepth) throw Refusal{"recursion limit exceeded"};
        if (event == Json::parse_event_t::object_start) open_objects.emplace_back();
        break;
      case Json::parse_event_t::object_end:
        open_objects.pop_back();
        --depth;
        break;
      case Json::parse_event_t::array_end:
        --depth;
        break;
      case Json::parse_event_t::key: {
        const auto& key = parsed.get_ref<const std::string&>();
        if (!open_objects.back().insert(key).second) {
          throw Refusal{fmt::format("duplicate field `{}`", key)};
        }
        break;
      }
      case Json::parse_event_t::value:
        break;
    }
    return true;
  };
  try {
    return Json::parse(text.begin(), text.end(), check);
  } catch (const Refusal& refusal) {
    return fail(refusal.message);
  } catch (const Json::exception& e) {
    return fail(e.what());
  }
}

std::string describe_found(const Json& value) {
  switch (value.type()) {
    case Json::value_t::null:
      return "null";
    case Json::value_t::boolean:
      return fmt::format("boolean `{}`", value.get<bool>());
    case Json::value_t::number_unsigned:
      return fmt::format("integer `{}`", value.get<std::uint64_t>());
    case Json::value_t::number_integer:
      return fmt::format("integer `{}`", value.get<std::int64_t>());
    case Json::value_t::number_float: {
      const double d = value.get<double>();
      if (std::isfinite(d) && d == std::trunc(d) && std::fabs(d) < 1e16) {
        return fmt::format("floating point `{:.1f}`", d);
      }
      return fmt::format("floating point `{}`", d);
    }
    case Json::value_t::string:
      return fmt::format("string {}",
                         Json(value).dump(-1, ' ', false, Json::error_handler_t::replace));
    case Json::value_t::array:
      return "sequence";
    case Json::value_t::object:
      return "map";
    case Json::value_t::binary:
    case Json::value_t::discarded:
      break;
  }
  return "value";
}

Result<std::string> read_text(const Json& value) {
  if (!value.is_string()) return fail(invalid_type(value, "a string"));
  return value.get<std::string>();
}

Result<bool> read_bool(const Json& value) {
  if (!value.is_boolean()) return fail(invalid_type(value, "a boolean"));
  return value.get<bool>();
}

Result<std::uint8_t> read_u8(const Json& value) {
  if (value.is_number_unsigned()) {
    const auto v = value.get<std::uint64_t>();
    if (v > std::numeric_limits<std::uint8_t>::max()) return fail(invalid_value(value, "u8"));
    return static_cast<std::uint8_t>(v);
  }
  if (value.is_number_integer()) return fail(invalid_value(value, "u8"));
  return fail(invalid_type(value, "u8"));
}

Result<std::int64_t> read_i64(const Json& value) {
  if (value.is_number_unsigned()) {
    const auto v = value.get<std::uint64_t>();
    if (v > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
      return fail(invalid_value(value, "i64"));
    }
    return static_cast<std::int64_t>(v);
  }
  if (value.is_number_integer()) return value.get<std::int64_t>();
  return fail(invalid_type(value, "i64"));
}

Status first_error(std::initializer_list<Status> steps) {
  for (const auto& step : steps) {
    if (!step) return step;
  }
  return {};
}

Result<RecordFields> RecordFields::open(const Json& value, std::string_view record,
                                        std::span<const std::string_view> names) {
  if (value.is_object()) return RecordFields(value, record, names);
  if (value.is_array()) {
    if (value.size() > names.size()) {
      return fail("invalid length {}, expected struct {} with {} elements", value.size(), record,
                  names.size());
    }
    return RecordFields(value, record, names);
  }
  return fail(invalid_type(value, fmt::format("struct {}", record)));
}

const Json* RecordFields::at(std::size_t i) const {
  if (value_->is_array()) return i < value_->size() ? &(*value_)[i] : nullptr;
  auto found = value_->find(names_[i]);
  return found == value_->end() ? nullptr : &*found;
}

std::string RecordFields::missing(std::size_t i) const {
  if (value_->is_array()) {
    return fmt::format("invalid length {}, expected struct {} with {} elements", value_->size(),
                       record_, names_.size());
  }
  return fmt::format("missing field `{}`", names_[i]);
}

Result<std::optional<Json>> load_json_file(const fs::path& root, std::string_view name) {
  // Read on every request that lists accounts: an unchanged file costs a
  // stat, and a file of the wrong kind or size is refused before a byte is
  // read.
  static safe_write::ReadCache* const cache = new safe_write::ReadCache();
  const fs::path path = accounts_dir_in(root) / name;
  auto text = cache->read(path, kMaxRecordFileBytes);
  if (!text) return fail("could not read {}: {}", path.string(), text.error());
  if (!*text) return std::optional<Json>();
  auto parsed = parse_strict(**text);
  if (!parsed) return fail("could not read {}: {}", path.string(), parsed.error());
  return std::optional<Json>(std::move(*parsed));
}

Status save_json_file(const fs::path& root, std::string_view name, const Json& value) {
  return safe_write::write_creating_parent_with_mode(accounts_dir_in(root) / name,
                                                     prefs_store::pretty(value), 0600);
}

}  // namespace account_book::detail
