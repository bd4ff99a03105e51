#include "panes/printers/page.h"

#include <optional>
#include <string>

#include "actions/storage_printers_section.h"
#include "kalu_ui/log.h"
#include "kalu_ui/widget/column.h"
#include "kalu_ui/widget/row.h"
#include "kalu_ui/widget/spacer.h"
#include "kalu_ui/widget/text.h"
#include "lib/flag_button.h"
#include "lib/ui_rows.h"
#include "panes/printers/printers_pane.h"

namespace settings::panes::printers {
namespace {

namespace w = kalu_ui::widget;
using kalu_ui::WidgetBox;
using kalu_ui::widget::boxed;
using ui_rows::WidgetList;

constexpr float kButtonGap = 8.0f;
constexpr float kLinesGap = 4.0f;

// A button whose press sets the trigger `id` in the state document.
WidgetBox trigger_button(std::string_view label, std::string id, bool danger = false) {
  lib::FlagButton button(std::string(label), id, id);
  button.with_danger(danger);
  return boxed(std::move(button));
}

// A button bound to one action of the Printers section: a press records the
// action, which the application carries out as it does a client's request,
// so the pane takes it once, under its own key. The section offers every
// action the page binds, so a missing one is a fault of the program: it is
// logged and the button sets its trigger `id` instead, which the pane acts on
// itself.
WidgetBox action_button(std::string_view label, std::string id,
                        std::optional<kalu_actions::ActionBinding> binding, bool danger = false) {
  if (!binding) {
    kalu_ui::log::warn("kalu::settings", "settings::panes::printers", "printer action is missing",
                       {{"op", "build_page"}, {"error", id}});
    return trigger_button(label, std::move(id), danger);
  }
  w::Button button{std::string(label)};
  button.with_id(std::move(id)).with_danger(danger).on_action(std::move(*binding));
  return boxed(std::move(button));
}

WidgetBox name_text(std::string_view name) {
  return boxed(w::Text(std::string(name)).with_size(ui_rows::kLabelSize).with_wrap());
}

// [first, flexible space, the rest with 8 between them], centred.
WidgetBox line(WidgetBox first, WidgetList rest) {
  w::Row row;
  row.with_alignment(w::Alignment::Center).push(std::move(first)).push(boxed(w::Spacer()));
  for (std::size_t i = 0; i < rest.size(); ++i) {
    if (i > 0) row.push(ui_rows::gap(kButtonGap));
    row.push(std::move(rest[i]));
  }
  return boxed(std::move(row));
}

WidgetBox lines(WidgetList children) { return ui_rows::column(std::move(children), kLinesGap); }

WidgetBox queue_row(const PrintQueue& queue, const std::string& id, bool pending_removal) {
  w::Row title;
  title.with_alignment(w::Alignment::Center)
      .with_gap(kButtonGap)
      .push(name_text(queue.name))
      .push(
          ui_rows::badge_with_tone(queue_state_label(queue.state), queue_state_tone(queue.state)));
  WidgetList buttons;
  if (!queue.is_default) {
    buttons.push_back(
        action_button("Make default", default_id(id),
                      actions::printer_queue_command_binding(queue.name, "set-default")));
  }
  // The section's name for the state the button asks for: a paused queue is
  // enabled again, any other is paused.
  const std::string_view toggle = queue.state == QueueState::Paused ? "enable" : "pause";
  buttons.push_back(action_button(enabled_button_label(queue), enabled_id(id),
                                  actions::printer_queue_command_binding(queue.name, toggle)));
  // "Remove…" only asks the page for a confirmation; the confirmation removes.
  buttons.push_back(
      pending_removal
          ? action_button("Remove printer", confirm_remove_id(id),
                          actions::printer_queue_command_binding(queue.name, "remove"), true)
          : trigger_button("Remove…", remove_id(id)));
  WidgetList rows;
  rows.push_back(line(boxed(std::move(title)), std::move(buttons)));
  rows.push_back(ui_rows::caption(queue_status_line(queue)));
  rows.push_back(ui_rows::caption(supplies_line(queue)));
  return lines(std::move(rows));
}

WidgetBox candidate_row(const DriverlessPrinter& printer, const std::string& id) {
  WidgetList add;
  add.push_back(trigger_button("Add", add_id(id)));
  WidgetList rows;
  rows.push_back(line(name_text(printer.name), std::move(add)));
  rows.push_back(ui_rows::caption(printer.uri.empty() ? "Driverless IPP" : printer.uri));
  return lines(std::move(rows));
}

WidgetBox job_row(const PrintJob& job) {
  WidgetList buttons;
  if (job_offers_retry(job.state)) {
    buttons.push_back(action_button("Retry", job_retry_id(job),
                                    actions::print_job_command_binding(job.id, "retry")));
  }
  if (job_offers_cancel(job.state)) {
    buttons.push_back(action_button("Cancel", job_cancel_id(job),
                                    actions::print_job_command_binding(job.id, "cancel")));
  }
  WidgetList rows;
  rows.push_back(line(name_text(job_title(job)), std::move(buttons)));
  rows.push_back(ui_rows::caption(job_detail_line(job)));
  rows.push_back(ui_rows::caption(job_state_line(job)));
  return lines(std::move(rows));
}

WidgetBox scanner_row(const Scanner& scanner) {
  WidgetList rows;
  rows.push_back(name_text(scanner.name));
  rows.push_back(ui_rows::caption(scanner.detail));
  return lines(std::move(rows));
}

// A header button bound to the section's `action`; `slot` learns where it
// lives.
WidgetBox header_button(std::string_view label, std::string_view id, std::string_view action,
                        w::Button*& slot) {
  WidgetBox button =
      action_button(label, std::string(id), actions::printer_command_binding(action));
  slot = static_cast<w::Button*>(button.get());
  return button;
}

WidgetBox printers_card(const PrintersPane& pane, PageButtons& buttons) {
  WidgetList rows;
  const auto& ids = pane.queue_trigger_ids();
  for (std::size_t i = 0; i < pane.queues().size(); ++i) {
    const PrintQueue& queue = pane.queues()[i];
    rows.push_back(queue_row(queue, ids[i], pane.pending_removal() == queue.name));
  }
  if (rows.empty()) {
    rows.push_back(
        ui_rows::caption("No configured printers. Use Find printers to discover secure "
                         "driverless IPP devices on this network."));
  }
  return ui_rows::section_card_with_control(
      "Printers",
      header_button(refresh_label(pane.refresh_shown()), kRefreshId, "refresh", buttons.refresh),
      ui_rows::rows_column(std::move(rows)));
}

WidgetBox nearby_card(const PrintersPane& pane, PageButtons& buttons) {
  WidgetList rows;
  const auto& ids = pane.candidate_trigger_ids();
  for (std::size_t i = 0; i < pane.candidates().size(); ++i) {
    rows.push_back(candidate_row(pane.candidates()[i], ids[i]));
  }
  if (rows.empty()) {
    rows.push_back(ui_rows::caption(
        pane.discovering() ? "Looking for AirPrint/Mopria-compatible IPP printers…"
                           : "Only driverless IPP printers are offered automatically; legacy "
                             "drivers are never downloaded silently."));
  }
  return ui_rows::section_card_with_control(
      "Nearby",
      header_button(discover_label(pane.discovering()), kDiscoverId, "discover", buttons.discover),
      ui_rows::rows_column(std::move(rows)));
}

WidgetBox activity_card(const PrintersPane& pane) {
  WidgetList rows;
  for (const PrintJob& job : pane.jobs()) rows.push_back(job_row(job));
  if (rows.empty()) rows.push_back(ui_rows::caption("No active print jobs."));
  return ui_rows::section_card("Current activity", ui_rows::rows_column(std::move(rows)));
}

WidgetBox scanners_card(const PrintersPane& pane) {
  WidgetList rows;
  for (const Scanner& scanner : pane.scanners()) rows.push_back(scanner_row(scanner));
  if (rows.empty()) {
    rows.push_back(
        ui_rows::caption("No SANE-compatible scanners found. Network eSCL/WSD scanners appear "
                         "here through sane-airscan."));
  }
  return ui_rows::section_card("Scanners", ui_rows::rows_column(std::move(rows)));
}

}  // namespace

std::string_view refresh_label(bool refreshing) { return refreshing ? "Refreshing…" : "Refresh"; }

std::string_view discover_label(bool discovering) {
  return discovering ? "Searching…" : "Find printers";
}

WidgetBox build_page(const PrintersPane& pane, PageButtons& buttons) {
  buttons = {};
  WidgetList cards;
  if (pane.notice()) {
    WidgetList notice;
    notice.push_back(ui_rows::caption(*pane.notice()));
    cards.push_back(
        ui_rows::section_card("Printer needs attention", ui_rows::rows_column(std::move(notice))));
  }
  cards.push_back(printers_card(pane, buttons));
  cards.push_back(nearby_card(pane, buttons));
  cards.push_back(activity_card(pane));
  cards.push_back(scanners_card(pane));
  return ui_rows::sections_column(std::move(cards));
}

}  // namespace settings::panes::printers
