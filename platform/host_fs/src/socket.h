#pragma once

#include <sys/un.h>

#include <filesystem>
#include <string>

#include "kalu_ui/result.h"
#include "kalu_ui/unique_fd.h"

namespace host_fs::detail {

std::string errno_text(int error);

// The address of a Unix socket at `path`; an error when the path does not
// fit (108 bytes with its terminator).
kalu_ui::Result<sockaddr_un> unix_address(const std::filesystem::path& path);

using Fd = kalu_ui::UniqueFd;

}  // namespace host_fs::detail
