#include "host_fs/protocol.h"

#include <fmt/format.h>

#include <initializer_list>
#include <nlohmann/json.hpp>

namespace host_fs::protocol {
namespace {

using Json = nlohmann::ordered_json;

std::string dump(const Json& value) {
  // Text that is not UTF-8 becomes U+FFFD instead of throwing.
  return value.dump(-1, ' ', false, Json::error_handler_t::replace);
}

std::optional<Json> parse_object(std::string_view line) {
  Json value = Json::parse(line, nullptr, /*allow_exceptions=*/false);
  if (value.is_discarded() || !value.is_object()) return std::nullopt;
  return value;
}

kalu_ui::Result<std::uint64_t> get_bytes(const Json& object, const char* key) {
  const auto it = object.find(key);
  if (it == object.end() || !it->is_number_unsigned()) {
    return kalu_ui::fail("\"{}\" is not an unsigned integer", key);
  }
  return it->get<std::uint64_t>();
}

kalu_ui::Result<std::string> get_text(const Json& object, const char* key) {
  const auto it = object.find(key);
  if (it == object.end() || !it->is_string()) {
    return kalu_ui::fail("\"{}\" is not a text", key);
  }
  return it->get<std::string>();
}

kalu_ui::Result<const Json*> get_array(const Json& object, const char* key) {
  const auto it = object.find(key);
  if (it == object.end() || !it->is_array()) {
    return kalu_ui::fail("\"{}\" is not a list", key);
  }
  return &*it;
}

// Reads each named byte count into its field.
kalu_ui::Status get_counts(const Json& object,
                           std::initializer_list<std::pair<const char*, std::uint64_t*>> counts) {
  for (const auto& [key, field] : counts) {
    auto value = get_bytes(object, key);
    if (!value) return std::unexpected(value.error());
    *field = *value;
  }
  return {};
}

kalu_ui::Result<StorageUsage> read_usage(const Json& item) {
  if (!item.is_object()) return kalu_ui::fail("a usage record is not an object");
  StorageUsage usage;
  auto name = get_text(item, "name");
  if (!name) return std::unexpected(name.error());
  usage.name = std::move(*name);
  auto counts = get_counts(item, {{"total_bytes", &usage.total_bytes},
                                  {"local_bytes", &usage.local_bytes},
                                  {"remote_only_bytes", &usage.remote_only_bytes},
                                  {"safe_to_free_bytes", &usage.safe_to_free_bytes}});
  if (!counts) return std::unexpected(counts.error());
  return usage;
}

kalu_ui::Result<SyncedFileState> read_file(const Json& item) {
  if (!item.is_object()) return kalu_ui::fail("a file record is not an object");
  auto id = get_text(item, "id");
  auto name = get_text(item, "name");
  auto bytes = get_bytes(item, "reclaimable_bytes");
  if (!id) return std::unexpected(id.error());
  if (!name) return std::unexpected(name.error());
  if (!bytes) return std::unexpected(bytes.error());
  bool awaits = false;
  if (const auto it = item.find("awaits_verification"); it != item.end()) {
    if (!it->is_boolean()) return kalu_ui::fail("\"awaits_verification\" is not a boolean");
    awaits = it->get<bool>();
  }
  return SyncedFileState{std::move(*id), std::move(*name), *bytes, awaits};
}

kalu_ui::Result<SyncedSnapshot> read_snapshot(const Json& value) {
  if (!value.is_object()) return kalu_ui::fail("the snapshot is not an object");
  SyncedSnapshot snapshot;
  const auto online = value.find("online");
  if (online == value.end() || !online->is_boolean()) {
    return kalu_ui::fail("\"online\" is not a boolean");
  }
  snapshot.online = online->get<bool>();
  auto usage = get_array(value, "usage");
  if (!usage) return std::unexpected(usage.error());
  for (const Json& item : **usage) {
    auto record = read_usage(item);
    if (!record) return std::unexpected(record.error());
    snapshot.usage.push_back(std::move(*record));
  }
  auto files = get_array(value, "files");
  if (!files) return std::unexpected(files.error());
  for (const Json& item : **files) {
    auto record = read_file(item);
    if (!record) return std::unexpected(record.error());
    snapshot.files.push_back(std::move(*record));
  }
  return snapshot;
}

kalu_ui::Result<ReclamationReport> read_report(const Json& value) {
  if (!value.is_object()) return kalu_ui::fail("the report is not an object");
  ReclamationReport report;
  auto counts = get_counts(value, {{"files_freed", &report.files_freed},
                                   {"bytes_freed", &report.bytes_freed},
                                   {"files_queued", &report.files_queued}});
  if (!counts) return std::unexpected(counts.error());
  return report;
}

// The common frame of an answer: {"ok": value} or {"error": text}.
template <typename T, typename Read>
ServiceResult<T> decode_answer(std::string_view line, Read read) {
  auto unreadable = [](std::string_view why) {
    return std::unexpected(
        ServiceError{ServiceError::Kind::Failed,
                     fmt::format("the storage service sent an unreadable answer: {}", why)});
  };
  const auto answer = parse_object(line);
  if (!answer) return unreadable("not a JSON object");
  if (const auto error = answer->find("error"); error != answer->end()) {
    if (!error->is_string()) return unreadable("\"error\" is not a text");
    return std::unexpected(ServiceError{ServiceError::Kind::Failed, error->get<std::string>()});
  }
  const auto ok = answer->find("ok");
  if (ok == answer->end()) return unreadable("neither \"ok\" nor \"error\"");
  auto value = read(*ok);
  if (!value) return unreadable(value.error());
  return std::move(*value);
}

}  // namespace

std::string encode_request(const Request& request) {
  Json line = {{"version", kVersion}};
  if (const auto* evict = std::get_if<EvictRequest>(&request)) {
    line["request"] = "evict";
    Json files = Json::array();
    for (const EvictionSelection& file : evict->files) {
      files.push_back({{"id", file.id}, {"bytes", file.bytes}});
    }
    line["files"] = std::move(files);
  } else {
    line["request"] = "snapshot";
  }
  return dump(line);
}

kalu_ui::Result<Request> decode_request(std::string_view line) {
  const auto request = parse_object(line);
  if (!request) return kalu_ui::fail("the request is not a JSON object");
  const auto version = request->find("version");
  if (version == request->end() || !version->is_number_integer() ||
      version->get<std::int64_t>() != kVersion) {
    return kalu_ui::fail("only version {} requests are understood", kVersion);
  }
  auto kind = get_text(*request, "request");
  if (!kind) return std::unexpected(kind.error());
  if (*kind == "snapshot") return SnapshotRequest{};
  if (*kind != "evict") return kalu_ui::fail("unknown request \"{}\"", *kind);
  auto files = get_array(*request, "files");
  if (!files) return std::unexpected(files.error());
  EvictRequest evict;
  for (const Json& item : **files) {
    if (!item.is_object()) return kalu_ui::fail("a file of the request is not an object");
    auto id = get_text(item, "id");
    auto bytes = get_bytes(item, "bytes");
    if (!id) return std::unexpected(id.error());
    if (!bytes) return std::unexpected(bytes.error());
    evict.files.push_back(EvictionSelection{std::move(*id), *bytes});
  }
  return evict;
}

std::string encode_error(std::string_view text) { return dump(Json{{"error", text}}); }

std::string encode_answer(const kalu_ui::Result<SyncedSnapshot>& answer) {
  if (!answer) return encode_error(answer.error());
  Json usage = Json::array();
  for (const StorageUsage& record : answer->usage) {
    usage.push_back({{"name", record.name},
                     {"total_bytes", record.total_bytes},
                     {"local_bytes", record.local_bytes},
                     {"remote_only_bytes", record.remote_only_bytes},
                     {"safe_to_free_bytes", record.safe_to_free_bytes}});
  }
  Json files = Json::array();
  for (const SyncedFileState& file : answer->files) {
    files.push_back({{"id", file.id},
                     {"name", file.name},
                     {"reclaimable_bytes", file.reclaimable_bytes},
                     {"awaits_verification", file.awaits_verification}});
  }
  return dump(Json{
      {"ok",
       {{"online", answer->online}, {"usage", std::move(usage)}, {"files", std::move(files)}}}});
}

std::string encode_answer(const kalu_ui::Result<ReclamationReport>& answer) {
  if (!answer) return encode_error(answer.error());
  return dump(Json{{"ok",
                    {{"files_freed", answer->files_freed},
                     {"bytes_freed", answer->bytes_freed},
                     {"files_queued", answer->files_queued}}}});
}

ServiceResult<SyncedSnapshot> decode_snapshot_answer(std::string_view line) {
  return decode_answer<SyncedSnapshot>(line, read_snapshot);
}

ServiceResult<ReclamationReport> decode_eviction_answer(std::string_view line) {
  return decode_answer<ReclamationReport>(line, read_report);
}

}  // namespace host_fs::protocol
