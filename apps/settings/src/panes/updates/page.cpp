#include "panes/updates/page.h"

#include <fmt/format.h>
#include <fmt/ranges.h>

#include <algorithm>
#include <utility>

#include "kalu_ui/widget/button.h"
#include "kalu_ui/widget/column.h"
#include "kalu_ui/widget/dropdown.h"
#include "kalu_ui/widget/progress_bar.h"
#include "kalu_ui/widget/row.h"
#include "kalu_ui/widget/spacer.h"
#include "kalu_ui/widget/support.h"
#include "kalu_ui/widget/text.h"
#include "kalu_ui/widget/toggle.h"
#include "lib/ui_rows.h"
#include "panes/updates/controls.h"

namespace settings::panes::updates {

namespace {

namespace w = kalu_ui::widget;
using kalu_ui::WidgetBox;
using ui_rows::WidgetList;

constexpr float kTextSize = 13.0f;
constexpr float kSmallTextSize = 11.0f;

WidgetBox text(std::string_view content, float size = kTextSize) {
  return w::boxed(w::Text(std::string(content)).with_size(size).with_wrap());
}

UpdatesBindings::Binding binding_of(
    const std::function<UpdatesBindings::Binding(std::string_view)>& builder,
    std::string_view action) {
  return builder ? builder(action) : std::nullopt;
}

// The button followed by a spacer, so it keeps its own width at the left.
WidgetBox button_row(w::Button button) {
  return w::boxed(w::Row().push(w::boxed(std::move(button))).push(w::boxed(w::Spacer())));
}

WidgetBox updates_action_button(const UpdatesBindings& b, std::string_view id,
                                std::string_view label, std::string_view action) {
  return button_row(w::Button(std::string(label))
                        .with_id(std::string(id))
                        .on_action(binding_of(b.command, action)));
}

WidgetBox toggle(const UpdatesBindings& b, std::string_view name, std::string_view key,
                 std::string_view action) {
  return w::boxed(w::Toggle(std::string(name), std::string(key))
                      .with_id(std::string(key))
                      .on_action(binding_of(b.toggle, action)));
}

WidgetBox overview_card(const PageModel& m) {
  WidgetList rows;
  std::string_view image = !m.status_known      ? kChecking
                           : m.os.staged_update ? "Update staged · restart required"
                                                : "No staged update";
  rows.push_back(ui_rows::info_row("Operating system", image));
  if (!m.status_known) {
    rows.push_back(ui_rows::info_row("Device firmware", kChecking));
  } else if (m.firmware_updates) {
    rows.push_back(ui_rows::info_row(
        "Device firmware", m.firmware_updates->empty() ? "Up to date" : "Updates available"));
  }
  return ui_rows::section_card("Update overview", ui_rows::rows_column(std::move(rows)));
}

WidgetBox software_card(const PageModel& m, const UpdatesBindings& b) {
  WidgetBox content;
  if (!m.status_known) {
    content = text(kChecking);
  } else if (m.os.staged_update) {
    WidgetList lines;
    lines.push_back(text(fmt::format("Update ready: {}", *m.os.staged_update)));
    lines.push_back(text("Restart to apply the staged image.", kSmallTextSize));
    lines.push_back(updates_action_button(b, kRestartButton, "Restart & update", kRestartAction));
    content = ui_rows::rows_column(std::move(lines));
  } else {
    content = text("Your system is up to date.");
  }
  return ui_rows::section_card("Software updates", std::move(content));
}

WidgetBox firmware_refresh_button(const PageModel& m, const UpdatesBindings& b,
                                  std::string_view running, std::string_view idle) {
  return updates_action_button(b, kFirmwareRefreshButton,
                               m.firmware_refresh_running ? running : idle, kRefreshFirmwareAction);
}

WidgetBox firmware_restart_button(const UpdatesBindings& b) {
  return updates_action_button(b, kFirmwareRestartButton, "Restart now", kRestartAction);
}

// The offers' rows, their notes and conditions, then what the installation
// is doing.
void firmware_offers(const PageModel& m, const UpdatesBindings& b,
                     const std::vector<FirmwareUpdate>& updates, WidgetList& rows) {
  for (const FirmwareUpdate& update : updates) {
    rows.push_back(ui_rows::info_row(update.device_name, firmware_update_value(update)));
  }
  for (const FirmwareUpdate& update : updates) {
    if (update.note) rows.push_back(ui_rows::caption(*update.note));
    if (!update.requirements.empty()) {
      rows.push_back(ui_rows::caption(
          fmt::format("Before installing: {}", fmt::join(update.requirements, ", "))));
    }
  }
  rows.push_back(ui_rows::caption(
      "Firmware is verified and installed by fwupd. Keep the device connected and do not suspend "
      "it while installation is active."));
  if (const auto* installing = std::get_if<install::Installing>(&m.install)) {
    rows.push_back(
        w::boxed(w::ProgressBar(installing->percent / 100.0).with_label("Installation progress")));
    rows.push_back(ui_rows::info_row("Installing", installing->text));
  } else if (const auto* finished = std::get_if<install::Finished>(&m.install)) {
    rows.push_back(ui_rows::info_row("Installation", finished->restart_required
                                                         ? "Installed · restart required"
                                                         : "Installed successfully"));
    if (finished->restart_required) rows.push_back(firmware_restart_button(b));
  } else {
    rows.push_back(updates_action_button(b, kFirmwareInstallButton, "Install firmware upgrades",
                                         kInstallFirmwareAction));
  }
}

WidgetBox firmware_card(const PageModel& m, const UpdatesBindings& b) {
  WidgetList rows;
  if (!m.status_known) {
    rows.push_back(ui_rows::info_row("Status", kChecking));
  } else if (!m.firmware_updates) {
    rows.push_back(ui_rows::info_row("Status", "Firmware inventory could not be queried"));
    rows.push_back(ui_rows::caption(fmt::format("fwupd reported: {}", m.firmware_updates.error())));
    rows.push_back(firmware_refresh_button(m, b, "Refreshing…", "Try again"));
  } else if (m.firmware_updates->empty()) {
    rows.push_back(ui_rows::info_row("Status", "Device firmware is up to date"));
    const auto* finished = std::get_if<install::Finished>(&m.install);
    if (finished && finished->restart_required) {
      rows.push_back(ui_rows::info_row("Activation", "Restart required"));
      rows.push_back(firmware_restart_button(b));
    } else {
      rows.push_back(firmware_refresh_button(m, b, "Checking firmware…", "Check firmware"));
    }
  } else {
    firmware_offers(m, b, *m.firmware_updates, rows);
  }
  return ui_rows::section_card("Device firmware", ui_rows::rows_column(std::move(rows)));
}

// Only when the history was read and holds something.
std::optional<WidgetBox> firmware_history_card(const PageModel& m) {
  if (!m.status_known || !m.firmware_history || m.firmware_history->empty()) return std::nullopt;
  WidgetList rows;
  const std::size_t shown = std::min(m.firmware_history->size(), kFirmwareHistoryShown);
  for (std::size_t i = 0; i < shown; ++i) {
    const FirmwareHistoryEntry& entry = (*m.firmware_history)[i];
    rows.push_back(ui_rows::info_row(entry.device_name, firmware_history_value(entry)));
    if (entry.error) rows.push_back(ui_rows::caption(fmt::format("fwupd error: {}", *entry.error)));
  }
  return ui_rows::section_card("Firmware history", ui_rows::rows_column(std::move(rows)));
}

WidgetBox automatic_row(const PageModel& m, const UpdatesBindings& b) {
  constexpr std::string_view kLabel = "Automatic updates";
  if (!m.status_known) return ui_rows::info_row(kLabel, kChecking);
  if (m.automatic == AutomaticUpdates::Unknown) {
    return ui_rows::info_row(kLabel, "unavailable on this machine");
  }
  return ui_rows::label_row(kLabel, toggle(b, kAutoToggleName, kAutoKey, kAutomaticAction));
}

WidgetBox schedule_row(const PageModel& m, const UpdatesBindings& b) {
  constexpr std::string_view kLabel = "Download schedule";
  if (!m.schedule) return ui_rows::info_row(kLabel, "unavailable on this machine");
  std::vector<std::string> choices{std::string(kScheduleSystem), std::string(kScheduleDaily),
                                   std::string(kScheduleWeekly)};
  auto dropdown = w::Dropdown(std::string(kScheduleKey), std::move(choices), *m.schedule)
                      .with_id(std::string(kScheduleKey));
  if (b.schedule) {
    dropdown.on_action(b.schedule());
  }
  return ui_rows::setting_row(kLabel, w::boxed(std::move(dropdown)));
}

WidgetBox metered_row(const PageModel& m, const UpdatesBindings& b) {
  if (m.metered == MeteredDownloads::Unknown) {
    return ui_rows::info_row("Metered connections", "policy service is unavailable");
  }
  return ui_rows::label_row("Download on metered connections",
                            toggle(b, kMeteredToggleName, kMeteredKey, kMeteredAction));
}

WidgetBox details_card(const PageModel& m, const UpdatesBindings& b) {
  WidgetList rows;
  rows.push_back(ui_rows::info_row("Current version", m.status_known ? m.os.os_name : kChecking));
  rows.push_back(ui_rows::info_row("Last checked", m.last_checked));
  rows.push_back(
      ui_rows::info_row("Release channel", "Managed by the installed bootc image reference"));
  rows.push_back(automatic_row(m, b));
  rows.push_back(schedule_row(m, b));
  rows.push_back(metered_row(m, b));
  rows.push_back(updates_action_button(
      b, kCheckButton, m.check_running ? "Checking for updates…" : "Check for updates",
      kCheckAction));
  return ui_rows::section_card("Details", ui_rows::rows_column(std::move(rows)));
}

WidgetBox health_card(const PageModel& m) {
  WidgetList rows;
  if (!m.status_known) {
    rows.push_back(ui_rows::info_row("Rollback health", kChecking));
    rows.push_back(ui_rows::info_row("Release notes", kChecking));
    return ui_rows::section_card("History & recovery health",
                                 ui_rows::rows_column(std::move(rows)));
  }
  const std::string& protection = m.deployment.rollback_protection;
  rows.push_back(
      ui_rows::info_row("Rollback health", protection.empty() ? "Not reported" : protection));
  rows.push_back(ui_rows::info_row(
      "Release notes",
      m.deployment.release_notes_url.value_or("The image does not publish a documentation URL")));
  if (m.deployment.journal_lines.empty()) {
    rows.push_back(
        ui_rows::caption("No bootc update-service history is available in the system journal."));
  }
  for (const std::string& line : m.deployment.journal_lines) rows.push_back(ui_rows::caption(line));
  return ui_rows::section_card("History & recovery health", ui_rows::rows_column(std::move(rows)));
}

WidgetBox rollback_card(const PageModel& m, const UpdatesBindings& b,
                        std::function<void()> open_review) {
  if (!m.status_known) return ui_rows::section_card(kRollbackTitle, text(kChecking));
  std::vector<std::string> texts = rollback_texts(m.rollback_image, m.review_open);
  const bool with_button = m.rollback_image.has_value();
  const std::size_t captions_end = texts.size() - (with_button ? 1 : 0);
  WidgetList rows;
  rows.push_back(text(texts[1]));
  for (std::size_t i = 2; i < captions_end; ++i) rows.push_back(ui_rows::caption(texts[i]));
  if (with_button && m.review_open) {
    rows.push_back(updates_action_button(b, kRollbackButton, texts.back(), kRollbackAction));
  } else if (with_button) {
    // Opening the review changes only this page, so the button calls the
    // pane rather than an action.
    rows.push_back(button_row(w::Button(texts.back())
                                  .with_id(std::string(kReviewButton))
                                  .on_click([open = std::move(open_review)] {
                                    if (open) open();
                                  })));
  }
  return ui_rows::section_card(texts[0], ui_rows::rows_column(std::move(rows)));
}

WidgetBox how_card() {
  WidgetList rows;
  rows.push_back(ui_rows::caption(
      "Kalu updates are atomic: a new image is staged and applied on restart, so an update never "
      "half-installs."));
  rows.push_back(ui_rows::caption(
      "If a new image fails to reach a login screen three times in a row, this machine goes back "
      "to the previous one by itself. If there is nothing to go back to, it starts in Repair Mode "
      "instead of leaving you at a black screen — choose it from the boot menu at any time."));
  return ui_rows::section_card("How updates work", ui_rows::rows_column(std::move(rows)));
}

// A success is titled so that no notice repeats it: the rollback's notice
// itself begins with "Done".
WidgetBox notice_card(const Notice& notice) {
  return ui_rows::section_card(notice.failure ? "That did not work" : "That worked",
                               text(notice.text));
}

}  // namespace

std::vector<std::string> rollback_texts(const std::optional<std::string>& rollback_image,
                                        bool review_open) {
  std::vector<std::string> texts{std::string(kRollbackTitle)};
  if (!rollback_image) {
    texts.emplace_back("There is no previous image on this machine yet.");
    texts.emplace_back(
        "One appears after the first update. Until then the only way back is a reinstall, which "
        "is why this says so instead of showing a control that would fail.");
    return texts;
  }
  if (!review_open) {
    texts.push_back(fmt::format("Previous image: {}", *rollback_image));
    texts.emplace_back(
        "Rolling back makes the previous image the one this machine boots. Nothing is deleted — "
        "the image you are on now stays on the disk and in the boot menu.");
    texts.emplace_back("Roll back…");
    return texts;
  }
  texts.push_back(fmt::format("Roll back to {}?", *rollback_image));
  texts.emplace_back(
      "The system image reverts — its programs, the compositor, the apps that ship with it.");
  texts.emplace_back(
      "Your files and app data do NOT revert. Workspaces, documents, keys and downloads are "
      "shared by every image on this disk, so a rollback neither restores them nor loses them.");
  texts.emplace_back(
      "Apps you installed yourself do NOT revert either, and one built for a newer system can "
      "stop launching until you reinstall it or roll forward again.");
  texts.emplace_back("Roll back and restart later");
  return texts;
}

WidgetBox build_page(const PageModel& model, const UpdatesBindings& bindings,
                     std::function<void()> open_review) {
  WidgetList cards;
  cards.push_back(overview_card(model));
  cards.push_back(software_card(model, bindings));
  cards.push_back(firmware_card(model, bindings));
  cards.push_back(details_card(model, bindings));
  cards.push_back(health_card(model));
  cards.push_back(rollback_card(model, bindings, std::move(open_review)));
  cards.push_back(how_card());
  if (auto history = firmware_history_card(model)) cards.push_back(std::move(*history));
  if (model.notice) cards.push_back(notice_card(*model.notice));
  return ui_rows::sections_column(std::move(cards));
}

}  // namespace settings::panes::updates
