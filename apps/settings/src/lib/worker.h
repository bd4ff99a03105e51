#pragma once

#include <exception>
#include <functional>
#include <string>
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

// Runs `call` (answering kalu_ui::Result<T>) so that a worker's job that
// throws still answers: the exception's text, or `unknown` for anything that
// is not a std::exception. The pane never waits for a result that cannot come.
template <typename T, typename Call>
kalu_ui::Result<T> guarded(Call call, std::string_view unknown) {
  try {
    return call();
  } catch (const std::exception& error) {
    return kalu_ui::fail(error.what());
  } catch (...) {
    return kalu_ui::fail(std::string(unknown));
  }
}

}  // namespace settings::lib
