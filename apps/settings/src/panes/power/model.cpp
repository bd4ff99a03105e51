#include "panes/power/model.h"

#include <fmt/format.h>
#include <fmt/ranges.h>

#include <algorithm>

#include "lib/decimal.h"

namespace settings::panes::power {
namespace {

// The minutes tables carry the very labels the executor and the action
// surface offer.
template <std::size_t N>
constexpr bool same_labels(const std::array<TimeoutChoice, N>& table,
                           const std::array<std::string_view, N>& labels) {
  for (std::size_t i = 0; i < N; ++i) {
    if (table[i].label != labels[i]) return false;
  }
  return true;
}
static_assert(same_labels(kBlankLockTimeouts, kScreenDelayLabels));
static_assert(same_labels(kSuspendTimeouts, kSuspendDelayLabels));

template <std::size_t N>
std::optional<std::string_view> label_in(const std::array<TimeoutChoice, N>& table,
                                         std::uint32_t minutes) {
  for (const TimeoutChoice& choice : table) {
    if (choice.minutes == minutes) return choice.label;
  }
  return std::nullopt;
}

template <std::size_t N>
std::optional<std::uint32_t> minutes_in(const std::array<TimeoutChoice, N>& table,
                                        std::string_view label) {
  for (const TimeoutChoice& choice : table) {
    if (choice.label == label) return choice.minutes;
  }
  return std::nullopt;
}

template <std::size_t N>
std::vector<std::string> labels_of(const std::array<TimeoutChoice, N>& table) {
  std::vector<std::string> labels;
  labels.reserve(N);
  for (const TimeoutChoice& choice : table) labels.emplace_back(choice.label);
  return labels;
}

}  // namespace

std::string_view profile_label(PowerProfile profile) {
  const auto index = static_cast<std::size_t>(profile);
  return index < kProfileLabels.size() ? kProfileLabels[index] : "Balanced";
}

std::optional<PowerProfile> parse_profile(std::string_view label) {
  for (std::size_t i = 0; i < kProfileLabels.size(); ++i) {
    if (kProfileLabels[i] == label) return static_cast<PowerProfile>(i);
  }
  return std::nullopt;
}

std::string_view action_label(PowerAction action) {
  const auto index = static_cast<std::size_t>(action);
  return index < kPowerActionLabels.size() ? kPowerActionLabels[index] : kPowerActionLabels[0];
}

std::optional<PowerAction> parse_action(std::string_view label) {
  for (std::size_t i = 0; i < kPowerActionLabels.size(); ++i) {
    if (kPowerActionLabels[i] == label) return static_cast<PowerAction>(i);
  }
  return std::nullopt;
}

std::string_view blank_label(std::uint32_t minutes) {
  return label_in(kBlankLockTimeouts, minutes).value_or("10 minutes");
}

std::string_view lock_label(std::uint32_t minutes) {
  return label_in(kBlankLockTimeouts, minutes).value_or("5 minutes");
}

std::string_view suspend_label(std::uint32_t minutes) {
  return label_in(kSuspendTimeouts, minutes).value_or("15 minutes");
}

std::optional<std::uint32_t> parse_blank_lock(std::string_view label) {
  return minutes_in(kBlankLockTimeouts, label);
}

std::optional<std::uint32_t> parse_suspend(std::string_view label) {
  return minutes_in(kSuspendTimeouts, label);
}

std::vector<std::string> blank_lock_labels() { return labels_of(kBlankLockTimeouts); }
std::vector<std::string> suspend_labels() { return labels_of(kSuspendTimeouts); }

std::vector<std::string> action_labels() {
  return {kPowerActionLabels.begin(), kPowerActionLabels.end()};
}

std::string charge_limit_text(std::uint32_t percent) { return fmt::format("{}%", percent); }

std::optional<std::uint32_t> parse_charge_limit(std::string_view text) {
  if (!text.ends_with('%')) return std::nullopt;
  return lib::parse_decimal_u32(text.substr(0, text.size() - 1));
}

std::string_view charge_cap_caption(const system_ops::battery::ChargeCapability& capability) {
  switch (capability.kind) {
    case 1:
      return "This laptop exposes a discrete conservation mode, so only its real hardware "
             "choices are offered.";
    case 0:
      return capability.start_threshold
                 ? "The kernel exposes start and stop thresholds; Kalu adjusts the start only "
                   "when required by a lower cap."
                 : "The kernel exposes a hardware stop threshold. A lower cap can reduce "
                   "long-term battery wear.";
    default:
      return "The platform uses paired start/end thresholds; Kalu preserves a safe charging "
             "window.";
  }
}

ProfileState profile_state(const kalu_ui::Result<PowerProfile>& active,
                           const kalu_ui::Result<std::vector<PowerProfile>>& available) {
  ProfileState state;
  if (available) state.profiles = *available;
  if (active) {
    state.current = *active;
    if (std::find(state.profiles.begin(), state.profiles.end(), *active) == state.profiles.end()) {
      state.profiles.push_back(*active);
    }
  } else if (!state.profiles.empty()) {
    state.current = state.profiles.front();
  }
  std::vector<std::string> errors;
  if (!active) errors.push_back(active.error());
  if (!available) errors.push_back(fmt::format("capabilities: {}", available.error()));
  if (!errors.empty()) {
    state.message =
        fmt::format("Power-profile service is unavailable: {}.", fmt::join(errors, "; "));
  }
  return state;
}

PowerReadings read_power_readings() {
  namespace battery = system_ops::battery;
  PowerReadings readings;
  readings.profiles = profile_state(system_ops::power::get_power_profile(),
                                    system_ops::power::available_power_profiles());
  readings.battery = battery::BatteryInfo::from_system();
  readings.battery_history = kalu_power_mgmt::history::load_battery_history();
  readings.power_devices = battery::power_devices();
  readings.charge_capability = battery::charge_capability();
  return readings;
}

std::string_view power_device_kind_label(system_ops::battery::PowerDeviceKind kind) {
  return kind == system_ops::battery::PowerDeviceKind::Battery ? "Battery" : "UPS";
}

}  // namespace settings::panes::power
