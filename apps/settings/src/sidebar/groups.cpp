#include "sidebar/groups.h"

namespace settings::sidebar {

std::string_view group_title(std::uint8_t group) {
  static constexpr std::array<std::string_view, kGroupCount> kTitles = {
      "Connectivity", "Devices", "System", "Accounts & Permissions", "Maintenance"};
  return group < kGroupCount ? kTitles[group] : std::string_view{};
}

}  // namespace settings::sidebar
