#include "panes/time_date/page.h"

#include <fmt/format.h>

#include <utility>

#include "kalu_ui/wake_slot.h"
#include "kalu_ui/widget/dropdown.h"
#include "kalu_ui/widget/toggle.h"
#include "panes/time_date/timezone_map.h"

namespace settings::panes::time_date {
namespace {

namespace w = kalu_ui::widget;
using ui_rows::WidgetBox;
using ui_rows::WidgetList;

constexpr std::string_view kSourceCaption =
    "Time zones come from the installed IANA tzdata database. Both pickers submit only "
    "identifiers from timedated's accepted list.";
constexpr std::string_view kDisplayCaption =
    "Date and number formats are set system-wide in Region & Formats; this pane shows the clock "
    "surface.";

WidgetBox toggle(bool on, std::string_view id, std::optional<kalu_actions::ActionBinding> binding) {
  w::Toggle control = w::Toggle::from_state(kalu_ui::WakeSlot<bool>::create(on));
  control.with_id(std::string(id));
  control.on_action(std::move(binding));
  return w::boxed(std::move(control));
}

WidgetBox zone_selector(const TimeDateModel& model,
                        std::optional<kalu_actions::ActionBinding> binding) {
  w::Dropdown control = w::Dropdown::from_state(
      kalu_ui::WakeSlot<std::string>::create(model.current_zone), model.zones);
  control.with_id(std::string(kZoneSelectorId));
  control.on_action(std::move(binding));
  return w::boxed(std::move(control));
}

// A clock text the pane can find again.
WidgetBox clock_text(std::string_view shown, kalu_ui::widget::Text** keep) {
  auto text = std::make_unique<kalu_ui::widget::Text>(
      kalu_ui::widget::Text(std::string(shown)).with_size(ui_rows::kLabelSize).with_wrap(false));
  if (keep != nullptr) *keep = text.get();
  return text;
}

WidgetBox clock_card(const TimeDateModel& model, const PageClock& clock, PageBindings& bindings,
                     PageClockTexts* texts) {
  WidgetList rows;
  rows.push_back(
      ui_rows::label_row("Set time automatically",
                         toggle(model.ntp, kAutomaticTimeId, std::move(bindings.automatic_time))));
  rows.push_back(ui_rows::label_row(
      "24-hour clock", toggle(model.h24, kHourCycleId, std::move(bindings.hour_cycle))));
  // The map records the same action, so the selector gets a copy.
  rows.push_back(ui_rows::setting_row("Time zone", zone_selector(model, bindings.zone)));
  rows.push_back(ui_rows::label_row(
      "Current time", clock_text(clock.time, texts != nullptr ? &texts->time : nullptr)));
  rows.push_back(ui_rows::label_row(
      "Current date", clock_text(clock.date, texts != nullptr ? &texts->date : nullptr)));
  return ui_rows::section_card("Clock", ui_rows::rows_column(std::move(rows)));
}

WidgetBox map_card(const TimeDateModel& model, PageBindings& bindings) {
  WidgetList rows;
  rows.push_back(
      w::boxed(TimeZoneMap(model.catalogue, model.current_zone, std::move(bindings.zone))));
  rows.push_back(ui_rows::caption(map_caption(model.catalogue->zones.size())));
  return ui_rows::section_card("Time-zone map", ui_rows::rows_column(std::move(rows)));
}

WidgetBox source_card(const TimeDateModel& model) {
  WidgetList rows;
  rows.push_back(ui_rows::info_row("Synchronization",
                                   synchronization_text(model.status.synchronized, model.ntp)));
  rows.push_back(ui_rows::info_row("Source", source_text(model.status.ntp_server)));
  rows.push_back(ui_rows::caption(kSourceCaption));
  return ui_rows::section_card("Automatic time source", ui_rows::rows_column(std::move(rows)));
}

WidgetBox display_card(const TimeDateModel& model) {
  WidgetList rows;
  rows.push_back(ui_rows::info_row("Clock format", model.h24 ? "24-hour" : "12-hour"));
  rows.push_back(ui_rows::caption(kDisplayCaption));
  return ui_rows::section_card("Display", ui_rows::rows_column(std::move(rows)));
}

}  // namespace

std::string map_caption(std::size_t zones) {
  if (zones == 0) {
    return "This tzdata installation does not publish map coordinates. The searchable selector "
           "remains complete; Kalu does not guess your location.";
  }
  return fmt::format(
      "Showing {} installed zones with coordinates published by tzdata. This chooses a zone; it "
      "does not detect your location. Aliases remain in the selector.",
      zones);
}

WidgetBox build_page(const TimeDateModel& model, const PageClock& clock, PageBindings bindings,
                     PageClockTexts* texts) {
  WidgetList cards;
  cards.push_back(clock_card(model, clock, bindings, texts));
  cards.push_back(map_card(model, bindings));
  cards.push_back(source_card(model));
  cards.push_back(display_card(model));
  return ui_rows::sections_column(std::move(cards));
}

}  // namespace settings::panes::time_date
