#include "lib/worker.h"

#include <pthread.h>

#include <string>
#include <system_error>
#include <thread>
#include <utility>

#include "kalu_ui/termination.h"

namespace settings::lib {

bool spawn_worker(std::string_view name, std::move_only_function<void()> body) {
  return try_spawn_worker(name, std::move(body)).has_value();
}

kalu_ui::Status try_spawn_worker(std::string_view name, std::move_only_function<void()> body) {
  // The kernel keeps 15 bytes of a thread's name.
  std::string short_name(name.substr(0, 15));
  try {
    std::thread([short_name = std::move(short_name), body = std::move(body)]() mutable {
      ::pthread_setname_np(::pthread_self(), short_name.c_str());
      // Inherited already from a thread that blocks them; kept even for a
      // worker started by one that does not, so the signal reaches the
      // thread that acts on it.
      kalu_ui::termination::block_on_this_thread();
      body();
    }).detach();
    return {};
  } catch (const std::system_error& error) {
    return kalu_ui::fail(error.what());
  }
}

}  // namespace settings::lib
