#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "host_fs/storage.h"
#include "kalu_ui/result.h"

// The wire protocol of the synced-file storage service, spoken over a Unix
// stream socket. The client writes one request line, the service writes one
// answer line; each line is one JSON object in UTF-8 ending with "\n", at
// most 4 MiB. The connection may carry further requests, one at a time; the
// client closes it when it is done.
//
// Requests:
//   {"version": 1, "request": "snapshot"}
//   {"version": 1, "request": "evict", "files": [{"id": "f1", "bytes": 4096}, ...]}
//
// Answers, either
//   {"ok": <value>}     the result
//   {"error": "<text>"} the service could not do it; the text is for people
// where the value of a snapshot is
//   {"online": true,
//    "usage": [{"name": "Documents", "total_bytes": 0, "local_bytes": 0,
//               "remote_only_bytes": 0, "safe_to_free_bytes": 0}, ...],
//    "files": [{"id": "f1", "name": "photo.jpg", "reclaimable_bytes": 0,
//               "awaits_verification": false}, ...]}
// and that of an eviction
//   {"files_freed": 0, "bytes_freed": 0, "files_queued": 0}
//
// Byte counts are unsigned 64-bit integers. Members not named here are
// ignored, so either side may add some; a missing or mistyped member makes
// the line unreadable, except "awaits_verification", which a service that
// does not tell may leave out (false). A service that receives an unreadable request or a
// version it does not speak answers with an error.
namespace host_fs::protocol {

inline constexpr int kVersion = 1;
inline constexpr std::size_t kMaxLineBytes = std::size_t{4} << 20;

struct SnapshotRequest {};
struct EvictRequest {
  std::vector<EvictionSelection> files;
};
using Request = std::variant<SnapshotRequest, EvictRequest>;

// Lines without their "\n".
std::string encode_request(const Request& request);
kalu_ui::Result<Request> decode_request(std::string_view line);

std::string encode_answer(const kalu_ui::Result<SyncedSnapshot>& answer);
std::string encode_answer(const kalu_ui::Result<ReclamationReport>& answer);
std::string encode_error(std::string_view text);

// An answer line: the value, the service's error text (Failed), or Failed
// with "the storage service sent an unreadable answer: <why>".
ServiceResult<SyncedSnapshot> decode_snapshot_answer(std::string_view line);
ServiceResult<ReclamationReport> decode_eviction_answer(std::string_view line);

}  // namespace host_fs::protocol
