#pragma once

#include <filesystem>

#include "kalu_ui/result.h"

namespace host_fs::detail {

// Starts the simulated device's storage service on `socket` in this
// process, once; later calls answer at once. The service then lives as long
// as the process.
kalu_ui::Status ensure_simulated_service(const std::filesystem::path& socket);

}  // namespace host_fs::detail
