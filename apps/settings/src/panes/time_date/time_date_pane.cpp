#include "panes/time_date/time_date_pane.h"

#include <chrono>
#include <utility>

#include "actions/preference_context.h"
#include "actions/time_date_section.h"
#include "kalu_ui/log.h"
#include "stored/locale.h"

namespace settings::panes::time_date {
namespace {

// Logged, not fatal: the section is built from a fixed table, so a missing
// action is the program's own fault, and the page still shows with the
// control unbound.
std::optional<kalu_actions::ActionBinding> published(
    std::optional<kalu_actions::ActionBinding> binding, std::string_view action,
    std::string_view op) {
  if (!binding) {
    kalu_ui::log::warn("kalu::settings", "settings::panes::time_date",
                       "Time & Date action must be published",
                       {{"op", std::string(op)}, {"requested", std::string(action)}});
  }
  return binding;
}

std::string text_or_unknown(kalu_ui::Result<std::string> text) {
  return text ? std::move(*text) : std::string(kUnknownText);
}

PageClock read_clock(bool h24) {
  namespace time = system_ops::time;
  return PageClock{text_or_unknown(time::now_clock(h24)), text_or_unknown(time::now_date())};
}

}  // namespace

TimeDateModel TimeDateModel::read(const std::filesystem::path& root) {
  namespace time = system_ops::time;
  TimeDateModel model;
  if (auto status = time::get_time_sync_status()) model.status = std::move(*status);
  if (!model.status.ntp) {
    if (auto ntp = time::get_ntp()) model.status.ntp = *ntp;
  }
  model.h24 = stored::Locale::load().time_format != stored::TimeFormat::H12;
  model.current_zone = resolve_current_zone(model.status.timezone, root);
  auto listed = time::list_timezones();
  model.zones =
      zone_choices(listed ? std::move(*listed) : std::vector<std::string>{}, model.current_zone);
  // The tables the service lists from, so the map and the selector agree.
  model.catalogue = ZoneCatalogue::shared(model.zones, time::zoneinfo_dir());
  model.ntp = model.status.ntp.value_or(true);
  return model;
}

PageBindings section_bindings() {
  PageBindings bindings;
  bindings.automatic_time = published(actions::time_date_toggle_binding("automatic-time"),
                                      "automatic-time", "time_date_toggle_binding");
  bindings.hour_cycle = published(actions::time_date_toggle_binding("24-hour"), "24-hour",
                                  "time_date_toggle_binding");
  bindings.zone = published(actions::time_date_choice_binding("timezone"), "timezone",
                            "time_date_choice_binding");
  return bindings;
}

TimeDatePane::TimeDatePane() : TimeDatePane(TimeDateModel::read()) {}

TimeDatePane::TimeDatePane(TimeDateModel model) : model_(std::move(model)) {
  if (!model_.catalogue) model_.catalogue = ZoneCatalogue::make({});
}

kalu_ui::WidgetBox TimeDatePane::boxed() { return kalu_ui::widget::boxed(TimeDatePane()); }

kalu_ui::layout::NodeId TimeDatePane::build_layout(kalu_ui::layout::LayoutTree& tree,
                                                   const kalu_ui::RenderContext& context,
                                                   kalu_ui::layout::NodeRegistry& registry) {
  texts_ = {};
  kalu_ui::WidgetBox page = build_page(model_, read_clock(model_.h24), section_bindings(), &texts_);
  schedule_tick();
  return lay_out_page(tree, context, registry, std::move(page));
}

void TimeDatePane::sync(kalu_ui::doc::Document& document) {
  if (next_tick_ && kalu_ui::Instant::now() >= *next_tick_) {
    const PageClock clock = read_clock(model_.h24);
    // A text that did not change is not drawn again.
    if (texts_.time != nullptr) texts_.time->set_text(clock.time);
    if (texts_.date != nullptr) texts_.date->set_text(clock.date);
    schedule_tick();
  }
  PagePane::sync(document);
}

void TimeDatePane::schedule_tick() {
  using namespace std::chrono;
  const auto into_minute =
      duration_cast<milliseconds>(system_clock::now().time_since_epoch()) % minutes(1);
  // Just past the turn, so the clock read then shows the new minute.
  next_tick_ = kalu_ui::Instant::now() + (minutes(1) - into_minute) + milliseconds(20);
}

std::optional<kalu_actions::ActionContext> TimeDatePane::take_permission_request() {
  return actions::preference_pane_context(take_interaction(), "time-date", "Time & date",
                                          "Change time and date preferences");
}

}  // namespace settings::panes::time_date
