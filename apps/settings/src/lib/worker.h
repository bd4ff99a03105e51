#pragma once

#include <functional>
#include <string_view>

#include "kalu_ui/result.h"

// Worker threads: one job each, started detached and never joined. A worker
// owns what its body captured and reports through a channel or a value cell
// (kalu_ui/channel.h, kalu_ui/wake_slot.h); the UI thread never waits on it.
namespace settings::lib {

// Starts `body` on a new detached thread named `name` (as the kernel shows
// it: the first 15 bytes). False when no thread could be started; the body
// is then dropped without running.
bool spawn_worker(std::string_view name, std::move_only_function<void()> body);
// As spawn_worker, answering the system's reason when no thread could be
// started.
kalu_ui::Status try_spawn_worker(std::string_view name, std::move_only_function<void()> body);

}  // namespace settings::lib
