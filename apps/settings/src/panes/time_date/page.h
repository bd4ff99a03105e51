#pragma once

// The Time & Date page, built afresh from the pane's model whenever the pane
// lays out: four cards, "Clock" (automatic time, the 24-hour clock, the zone
// selector, the current time and date), "Time-zone map", "Automatic time
// source" and "Display". The controls change nothing themselves: each is
// bound to an action of the Time & Date section, and the executor applies
// what they record. A control whose binding is absent shows its value
// unbound.

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "kalu_actions/binding.h"
#include "kalu_ui/widget/text.h"
#include "lib/ui_rows.h"
#include "panes/time_date/land.h"
#include "system_ops/time.h"

namespace settings::panes::time_date {

// Widget ids of the page's controls.
inline constexpr std::string_view kAutomaticTimeId = "time.auto";
inline constexpr std::string_view kHourCycleId = "time.h24";
inline constexpr std::string_view kZoneSelectorId = "time.timezone";

// The shown text of a clock or date the time service cannot give.
inline constexpr std::string_view kUnknownText = "—";

// What the pane reads once, when it is built.
struct TimeDateModel {
  system_ops::time::TimeSyncStatus status;
  // Automatic time on (an unreported state counts as on).
  bool ntp = true;
  // The 24-hour clock (the stored locale's time format is not H12).
  bool h24 = true;
  std::string current_zone;
  // The selector's zones: the service's list with the current zone in it.
  std::vector<std::string> zones;
  // The zones with coordinates, and their land; never null.
  std::shared_ptr<const ZoneCatalogue> catalogue;

  // The device's: the time service's report (automatic time asked apart
  // when the report leaves it out), the stored clock format, the zone in
  // effect (with the fallbacks through <root>/etc), the service's zones and
  // the catalogue from the tables the service reads.
  static TimeDateModel read(const std::filesystem::path& root = "/");
};

// The actions the controls record; each may be absent.
struct PageBindings {
  std::optional<kalu_actions::ActionBinding> automatic_time;
  std::optional<kalu_actions::ActionBinding> hour_cycle;
  std::optional<kalu_actions::ActionBinding> zone;
};

// The texts read at each build.
struct PageClock {
  std::string time;
  std::string date;
};

// The page's clock texts, for a pane that moves them on with the time.
struct PageClockTexts {
  kalu_ui::widget::Text* time = nullptr;
  kalu_ui::widget::Text* date = nullptr;
};

// The caption under the map: how many zones it shows, or that the tables
// publish no coordinates.
std::string map_caption(std::size_t zones);

// `texts`, when given, is pointed at the page's clock texts.
ui_rows::WidgetBox build_page(const TimeDateModel& model, const PageClock& clock,
                              PageBindings bindings, PageClockTexts* texts = nullptr);

}  // namespace settings::panes::time_date
