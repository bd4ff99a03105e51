#pragma once

#include <sys/un.h>

#include <filesystem>
#include <string>

#include "kalu_ui/result.h"

namespace host_fs::detail {

std::string errno_text(int error);

// The address of a Unix socket at `path`; an error when the path does not
// fit (108 bytes with its terminator).
kalu_ui::Result<sockaddr_un> unix_address(const std::filesystem::path& path);

// Closes a descriptor it owns.
class Fd {
 public:
  Fd() = default;
  explicit Fd(int fd) : fd_(fd) {}
  Fd(Fd&& other) noexcept : fd_(other.release()) {}
  Fd& operator=(Fd&& other) noexcept;
  ~Fd();
  int get() const { return fd_; }
  int release();

 private:
  int fd_ = -1;
};

}  // namespace host_fs::detail
