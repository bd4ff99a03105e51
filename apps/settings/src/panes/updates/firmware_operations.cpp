// The Updates pane's firmware handlers and the answers of the work they
// start: the metadata refresh on its worker, and an installation, which runs
// in the firmware service's own job and reports through its event channel.
// Firmware work is single-flight: while a refresh runs or an installation's
// channel is held, neither starts again.

#include <fmt/format.h>

#include <utility>

#include "panes/updates/updates_pane.h"
#include "vocabulary/doc_flags.h"

namespace settings::panes::updates {

namespace {

using Op = operations::UpdateOperation;
using Poll = system_ops::firmware::FirmwareInstallReceiver::Poll;

kalu_ui::Result<std::string> done(std::string_view message) { return std::string(message); }

constexpr std::string_view kFirmwareBusy = "firmware work is already in progress";

}  // namespace

// ---- Refresh -----------------------------------------------------------------

void UpdatesPane::handle_firmware_refresh(kalu_ui::doc::Document& document) {
  if (!take_doc_flag(document, kFirmwareRefreshKey)) return;
  mark_dirty();
  if (firmware_busy()) {
    link_.complete(Op::RefreshFirmware{}, kalu_ui::fail(std::string(kFirmwareBusy)));
    return;
  }
  Started<FirmwareRefreshResult> started = start_firmware_refresh(deps_.services);
  if (!started.started) {
    fail_notice("Firmware metadata could not be refreshed: worker could not start");
    link_.complete(Op::RefreshFirmware{}, kalu_ui::fail("firmware refresh worker could not start"));
    return;
  }
  // The operation stays pending until the worker answers.
  refresh_answer_.emplace(std::move(started.answer));
}

void UpdatesPane::take_firmware_refresh() {
  if (!refresh_answer_) return;
  auto got = refresh_answer_->try_recv();
  if (got.is_empty()) return;
  refresh_answer_.reset();
  finish_firmware_refresh(got.is_ready() ? std::move(got).value()
                                         : kalu_ui::fail("firmware refresh worker stopped"));
}

void UpdatesPane::finish_firmware_refresh(FirmwareRefreshResult result) {
  mark_dirty();
  if (!result) {
    // Both cards show why, in place of lists that may be out of date.
    firmware_updates_ = kalu_ui::fail(result.error());
    firmware_history_ = kalu_ui::fail(result.error());
    std::string text = fmt::format("Firmware metadata could not be refreshed: {}", result.error());
    fail_notice(text);
    link_.complete(Op::RefreshFirmware{}, kalu_ui::fail(std::move(text)));
    return;
  }
  firmware_updates_ = std::move(result->updates);
  firmware_history_ = std::move(result->history);
  notice_.reset();
  link_.complete(Op::RefreshFirmware{}, done("firmware metadata refreshed"));
}

// ---- Install -----------------------------------------------------------------

void UpdatesPane::handle_firmware_install(kalu_ui::doc::Document& document) {
  if (!take_doc_flag(document, kFirmwareInstallKey)) return;
  mark_dirty();
  if (firmware_busy()) {
    fail_notice("Firmware work is already in progress");
    link_.complete(Op::InstallFirmware{}, kalu_ui::fail(std::string(kFirmwareBusy)));
    return;
  }
  // Offers that could not be read are not installed: their error is the
  // reason, and the service is not asked.
  auto started = firmware_updates_ ? deps_.services->start_firmware_install(*firmware_updates_)
                                   : kalu_ui::Result<system_ops::firmware::FirmwareInstallReceiver>(
                                         kalu_ui::fail(firmware_updates_.error()));
  if (!started) {
    std::string text = fmt::format("Firmware upgrades could not be installed: {}", started.error());
    fail_notice(text);
    link_.complete(Op::InstallFirmware{}, kalu_ui::fail(std::move(text)));
    return;
  }
  // The operation stays pending until the job's last event.
  install_events_.emplace(std::move(*started));
  install_ = install_started();
  notice_.reset();
}

void UpdatesPane::take_install_events() {
  FirmwareInstallEvent event;
  while (install_events_) {
    switch (install_events_->try_receive(event)) {
      case Poll::Empty:
        return;
      case Poll::Event:
        apply_install_event(event);
        // The installation is over; nothing after its last event counts.
        if (is_terminal(event)) install_events_.reset();
        break;
      case Poll::Closed:
        // The job ended without saying how: as a failure, so firmware work
        // is not left busy for good.
        apply_install_event(system_ops::firmware::Failed{std::string(kInstallStoppedUnexpectedly)});
        install_events_.reset();
        break;
    }
  }
}

void UpdatesPane::apply_install_event(const FirmwareInstallEvent& event) {
  mark_dirty();
  install_ = next_install_state(install_, event);
  if (const auto* finished = std::get_if<system_ops::firmware::Finished>(&event)) {
    notice_ = Notice{finished->restart_required
                         ? "Firmware installation finished. Restart to activate the update."
                         : "Firmware installation finished successfully.",
                     false};
    firmware_updates_ = deps_.services->firmware_updates();
    firmware_history_ = deps_.services->firmware_history();
    link_.complete(Op::InstallFirmware{}, done("firmware installation finished"));
  } else if (const auto* failed = std::get_if<system_ops::firmware::Failed>(&event)) {
    std::string text = fmt::format("Firmware installation failed: {}", failed->message);
    fail_notice(text);
    link_.complete(Op::InstallFirmware{}, kalu_ui::fail(std::move(text)));
  }
}

}  // namespace settings::panes::updates
