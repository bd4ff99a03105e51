#pragma once

#include <cstdint>
#include <optional>

// Records of the notification policy that the settings document carries.
namespace prefs_store {

// The daily focus (do-not-disturb) schedule.
struct FocusSchedule {
  bool enabled = false;
  std::uint16_t start_minute = 1320;  // minute of the day, 22:00
  std::uint16_t end_minute = 420;     // 07:00
  std::uint8_t weekdays = 0;          // bit mask of the days it applies to
  bool allow_priority = true;

  bool operator==(const FocusSchedule&) const = default;
};

// One application's notification rule; an unset switch follows the global
// setting.
struct AppNotificationRule {
  std::optional<bool> banners;
  std::optional<bool> sounds;
  std::optional<bool> badges;
  std::optional<bool> previews;
  std::optional<bool> lock_screen;
  std::optional<bool> cross_device;
  bool priority = false;
  bool priority_contacts = false;
  // Unix time in seconds until which the application is muted.
  std::optional<std::int64_t> muted_until;

  bool operator==(const AppNotificationRule&) const = default;
};

}  // namespace prefs_store
