#pragma once

#include <expected>
#include <string>
#include <system_error>

// The I/O error of the identity store: a kind that callers branch on (a
// missing store is not a broken one) and a message that is shown as it is.
// Failures of the operating system keep the kind it reported.
namespace host_identity {

enum class ErrorKind {
  NotFound,
  PermissionDenied,
  InvalidData,
  Other,
};

struct IoError {
  ErrorKind kind = ErrorKind::Other;
  std::string message;

  bool operator==(const IoError&) const = default;
};

template <typename T>
using IoResult = std::expected<T, IoError>;

inline std::unexpected<IoError> io_fail(ErrorKind kind, std::string message) {
  return std::unexpected<IoError>(IoError{kind, std::move(message)});
}

// The kind and the system's message of an operating-system failure: ENOENT
// and ENOTDIR are NotFound, EACCES and EPERM PermissionDenied, the rest Other.
IoError io_error_from(std::error_code error);

}  // namespace host_identity
