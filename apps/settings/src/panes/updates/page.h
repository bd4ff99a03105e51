#pragma once

// The Updates page: whether an image update is staged, the update controls
// (restart, check, automatic updates, schedule, metered downloads), the
// device firmware with its installation and history, the rollback health
// and the update service's journal, going back to the previous image, and
// the last notice. It is built from the pane's model
// each time the model changes; it only reads. Every control is bound to its
// action of the Updates section, so using it reaches the pane as an update
// operation; the one exception is "Roll back…", which only opens the review
// on the page and calls back into the pane.
//
// Until the pane's first reading (the image and the firmware lists) has
// answered, the rows that reading feeds say "Checking…".

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "kalu_actions/binding.h"
#include "panes/updates/firmware.h"
#include "panes/updates/model.h"
#include "widget_contract/widget.h"

namespace settings::panes::updates {

// The builders of the bindings of the page's controls; each answers none when
// the Updates section does not offer the action. A control without a binding
// changes nothing.
struct UpdatesBindings {
  using Binding = std::optional<kalu_actions::ActionBinding>;
  // "check", "restart", "rollback", "refresh-firmware", "install-firmware".
  std::function<Binding(std::string_view action)> command;
  // "automatic", "metered".
  std::function<Binding(std::string_view action)> toggle;
  // "schedule".
  std::function<Binding()> schedule;
};

// The pane's last message: a failure (shown under "That did not work") or a
// notice of something done (under "That worked").
struct Notice {
  std::string text;
  bool failure = true;

  bool operator==(const Notice&) const = default;
};

inline constexpr std::string_view kChecking = "Checking…";
inline constexpr std::string_view kRollbackTitle = "Go back to the previous image";

// What the page shows.
struct PageModel {
  // The first reading of the image has answered.
  bool status_known = false;
  OsImageInfo os;
  DeploymentStatus deployment;
  std::optional<std::string> rollback_image;
  bool review_open = false;
  bool check_running = false;
  std::string last_checked;
  AutomaticUpdates automatic = AutomaticUpdates::Unknown;
  std::optional<std::string> schedule;
  MeteredDownloads metered = MeteredDownloads::Unknown;
  std::optional<Notice> notice;
  // The firmware service's offers and history, or why they could not be read.
  FirmwareUpdateList firmware_updates;
  FirmwareHistoryList firmware_history;
  FirmwareInstallState install;
  bool firmware_refresh_running = false;
};

// The texts of the rollback card in order: its title, the first line, the
// paragraphs, and the button's label when there is a button.
std::vector<std::string> rollback_texts(const std::optional<std::string>& rollback_image,
                                        bool review_open);

// `open_review` runs when "Roll back…" is pressed (a click or its control
// resource "kalu.control:settings.updates.rollback").
kalu_ui::WidgetBox build_page(const PageModel& model, const UpdatesBindings& bindings,
                              std::function<void()> open_review);

}  // namespace settings::panes::updates
