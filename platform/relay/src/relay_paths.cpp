#include "relay_paths.h"

#include <cstdlib>
#include <string_view>

namespace kalu_relay::detail {

bool system_device() {
  const char* device = std::getenv("KALU_DEVICE");
  return device != nullptr && std::string_view(device) == "system";
}

}  // namespace kalu_relay::detail
