#include "panes/power/page.h"

#include <fmt/format.h>

#include <string>
#include <vector>

#include "actions/power_section.h"
#include "kalu_ui/log.h"
#include "kalu_ui/theme.h"
#include "kalu_ui/widget/dropdown.h"
#include "kalu_ui/widget/progress_bar.h"
#include "kalu_ui/widget/sparkline.h"
#include "kalu_ui/widget/toggle.h"
#include "lib/ui_rows.h"
#include "panes/power/power_pane.h"

namespace settings::panes::power {
namespace {

namespace w = kalu_ui::widget;
using kalu_ui::WidgetBox;
using kalu_ui::widget::boxed;
using ui_rows::WidgetList;

constexpr float kHistoryWidth = 320.0f;
constexpr float kHistoryHeight = 56.0f;
constexpr double kHistoryMax = 100.0;

// The Power section defines an action for every control of the page, so a
// missing one is a fault of the program, never of the input: it is logged
// with what was expected and the control stays unbound.
std::optional<kalu_actions::ActionBinding> expected(
    std::optional<kalu_actions::ActionBinding> binding, std::string_view expectation) {
  if (!binding) {
    kalu_ui::log::warn("kalu::settings", "settings::panes::power", "power action is missing",
                       {{"op", "build_page"}, {"error", std::string(expectation)}});
  }
  return binding;
}

// A dropdown whose value lives under `key`, bound to the Power section's
// choice `action`; the id names the widget for automation and tests (the
// per-profile timers have none of their own).
WidgetBox choice(std::string key, std::vector<std::string> options, std::string_view placeholder,
                 std::string_view action, std::string_view expectation, bool with_id = true) {
  w::Dropdown dropdown(key, std::move(options), std::string(placeholder));
  if (with_id) dropdown.with_id(std::move(key));
  dropdown.on_action(expected(actions::power_choice_binding(action), expectation));
  return boxed(std::move(dropdown));
}

std::vector<std::string> charge_cap_options(const system_ops::battery::ChargeCapability& cap) {
  std::vector<std::string> options;
  options.reserve(cap.allowed.size());
  for (std::uint32_t percent : cap.allowed) options.push_back(charge_limit_text(percent));
  return options;
}

WidgetBox power_source_card() {
  WidgetList rows;
  rows.push_back(ui_rows::info_row("Source", "AC power"));
  rows.push_back(
      ui_rows::caption("This device has no battery — it runs on mains power, so charge and "
                       "battery-saver settings don't apply."));
  return ui_rows::section_card("Power source", ui_rows::rows_column(std::move(rows)));
}

void push_health(WidgetList& rows, const system_ops::battery::BatteryInfo& battery) {
  if (const std::optional<std::uint32_t> health = battery.health_percent()) {
    rows.push_back(ui_rows::info_row("Battery health", fmt::format("{}%", *health)));
    rows.push_back(ui_rows::caption(battery.health_explanation()));
  } else {
    rows.push_back(ui_rows::info_row("Battery health", "Not reported by this device"));
  }
}

void push_history(WidgetList& rows, const PowerReadings& readings) {
  if (readings.battery_history.size() < 2) return;
  std::vector<double> values;
  values.reserve(readings.battery_history.size());
  for (const auto& sample : readings.battery_history) values.push_back(sample.percentage);
  rows.push_back(boxed(w::Sparkline(std::move(values))
                           .with_max(kHistoryMax)
                           .with_size(kHistoryWidth, kHistoryHeight)
                           .with_color(history_color())));
  rows.push_back(
      ui_rows::caption("Charge history · last 30 days · sampled at most every 15 minutes. "
                       "Device names and serial numbers are never stored."));
}

void push_charge_cap(WidgetList& rows, const PowerReadings& readings) {
  const auto& capability = readings.charge_capability;
  if (!capability) {
    rows.push_back(ui_rows::info_row("Charge cap", "Not supported by this hardware"));
    return;
  }
  w::Dropdown cap(std::string(kChargeLimitKey), charge_cap_options(*capability),
                  charge_limit_text(capability->current));
  cap.with_id(std::string(kChargeLimitKey));
  cap.on_action(expected(actions::charge_cap_binding(capability->allowed, capability->current),
                         "charge-cap resource exists when the hardware control is visible"));
  rows.push_back(ui_rows::setting_row("Charge cap", boxed(std::move(cap))));
  rows.push_back(ui_rows::caption(charge_cap_caption(*capability)));
}

WidgetBox battery_card(const PowerPane& pane) {
  const PowerReadings& readings = pane.readings();
  const auto& battery = readings.battery;
  WidgetList rows;
  rows.push_back(boxed(w::ProgressBar(battery.percentage / 100.0).with_label("Battery charge")));
  rows.push_back(ui_rows::info_row("Charge", fmt::format("{}%", battery.percentage)));
  rows.push_back(ui_rows::info_row("Status", battery.summary()));
  if (battery.cycle_count) {
    rows.push_back(ui_rows::info_row("Charge cycles", fmt::format("{}", *battery.cycle_count)));
  }
  push_health(rows, battery);
  push_history(rows, readings);
  push_charge_cap(rows, readings);
  if (pane.charge_message()) rows.push_back(ui_rows::caption(*pane.charge_message()));
  return ui_rows::section_card("Battery", ui_rows::rows_column(std::move(rows)));
}

WidgetBox power_devices_card(const PowerReadings& readings) {
  WidgetList rows;
  for (const auto& device : readings.power_devices) {
    rows.push_back(
        ui_rows::info_row(device.model.value_or(device.name),
                          fmt::format("{} · {}% · {}", power_device_kind_label(device.kind),
                                      device.percentage, device.state)));
  }
  return ui_rows::section_card("Power devices", ui_rows::rows_column(std::move(rows)));
}

WidgetBox profile_card(const PowerPane& pane) {
  const ProfileState& state = pane.readings().profiles;
  WidgetList rows;
  if (state.profiles.empty()) {
    rows.push_back(ui_rows::info_row("Profile", "Power-profile service unavailable"));
  } else {
    std::vector<std::string> labels;
    for (PowerProfile profile : state.profiles) labels.emplace_back(profile_label(profile));
    rows.push_back(
        ui_rows::setting_row("Profile", choice(std::string(kProfileKey), std::move(labels),
                                               profile_label(pane.current_profile()), "profile",
                                               "power profile action is part of the static "
                                               "resource contract")));
  }
  rows.push_back(
      ui_rows::caption("Only modes supported by this device are shown. Balanced trades "
                       "performance for battery life; Power Saver favours runtime; Performance "
                       "favours speed."));
  if (pane.profile_message()) rows.push_back(ui_rows::caption(*pane.profile_message()));
  return ui_rows::section_card("Power profile", ui_rows::rows_column(std::move(rows)));
}

WidgetBox saving_card(const stored::PowerPrefs& prefs) {
  WidgetList rows;
  w::Toggle toggle("Suspend when idle", std::string(kAutoSuspendKey));
  toggle.with_id(std::string(kAutoSuspendKey));
  toggle.on_action(expected(actions::power_toggle_binding("auto_suspend"),
                            "automatic-suspend action is part of the static resource contract"));
  rows.push_back(ui_rows::label_row("Suspend when idle", boxed(std::move(toggle))));
  rows.push_back(ui_rows::setting_row(
      "Suspend after",
      choice(std::string(kSuspendKey), suspend_labels(), suspend_label(prefs.suspend_minutes),
             "suspend-after", "suspend action is part of the static resource contract")));
  rows.push_back(ui_rows::setting_row(
      "Blank screen when idle",
      choice(std::string(kBlankKey), blank_lock_labels(), blank_label(prefs.blank_minutes),
             "blank-after", "blank action is part of the static resource contract")));
  rows.push_back(ui_rows::setting_row(
      "Lock after",
      choice(std::string(kLockKey), blank_lock_labels(), lock_label(prefs.lock_minutes),
             "lock-after", "lock action is part of the static resource contract")));
  rows.push_back(ui_rows::caption("Idle timeouts are applied by the compositor's power layer."));
  rows.push_back(ui_rows::setting_row(
      "Power Saver suspend",
      choice(std::string(kSaverSuspendKey), suspend_labels(),
             suspend_label(prefs.saver_suspend_minutes), "saver-suspend",
             "saver suspend action is part of the static resource contract", false)));
  rows.push_back(ui_rows::setting_row(
      "Balanced suspend",
      choice(std::string(kBalancedSuspendKey), suspend_labels(),
             suspend_label(prefs.balanced_suspend_minutes), "balanced-suspend",
             "balanced suspend action is part of the static resource contract", false)));
  rows.push_back(ui_rows::setting_row(
      "Performance suspend",
      choice(std::string(kPerformanceSuspendKey), suspend_labels(),
             suspend_label(prefs.performance_suspend_minutes), "performance-suspend",
             "performance suspend action is part of the static resource contract", false)));
  rows.push_back(
      ui_rows::caption("The active power profile selects its own idle timeout in the "
                       "compositor; changing profile never creates a second policy owner."));
  return ui_rows::section_card("Automatic power saving", ui_rows::rows_column(std::move(rows)));
}

WidgetBox behaviour_card(const stored::PowerPrefs& prefs) {
  WidgetList rows;
  rows.push_back(ui_rows::setting_row(
      "When the lid is closed",
      choice(std::string(kLidKey), action_labels(), action_label(prefs.lid_close_action), "lid",
             "lid action is part of the static resource contract")));
  rows.push_back(ui_rows::setting_row(
      "When the power key is pressed",
      choice(std::string(kPowerKeyKey), action_labels(), action_label(prefs.power_key_action),
             "power_key", "power-key action is part of the static resource contract")));
  rows.push_back(ui_rows::setting_row(
      "When the battery is critically low",
      choice(std::string(kCriticalKey), action_labels(), action_label(prefs.critical_action),
             "critical", "critical action is part of the static resource contract")));
  rows.push_back(
      ui_rows::caption(fmt::format("You'll be warned at {}% and this action runs at {}%.",
                                   prefs.low_battery_percent, prefs.critical_battery_percent)));
  return ui_rows::section_card("Power behaviour", ui_rows::rows_column(std::move(rows)));
}

}  // namespace

kalu_ui::Color history_color() { return kalu_ui::Theme::dark().success; }

WidgetBox build_page(const PowerPane& pane) {
  const PowerReadings& readings = pane.readings();
  WidgetList cards;
  cards.push_back(readings.battery.present ? battery_card(pane) : power_source_card());
  if (readings.power_devices.size() >= 2) cards.push_back(power_devices_card(readings));
  cards.push_back(profile_card(pane));
  cards.push_back(saving_card(pane.prefs()));
  cards.push_back(behaviour_card(pane.prefs()));
  return ui_rows::sections_column(std::move(cards));
}

}  // namespace settings::panes::power
