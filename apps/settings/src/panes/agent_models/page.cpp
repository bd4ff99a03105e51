#include "panes/agent_models/page.h"

#include <fmt/format.h>

#include <utility>
#include <variant>

#include "actions/agent_models_section.h"
#include "kalu_ui/widget/button.h"
#include "kalu_ui/widget/progress_bar.h"
#include "kalu_ui/widget/support.h"
#include "kalu_ui/widget/text.h"
#include "lib/flag_button.h"
#include "lib/ui_rows.h"

namespace settings::panes::agent_models {

namespace {

namespace w = kalu_ui::widget;
namespace ph = stored::phase;
namespace acc = stored::accelerator;
using kalu_ui::WidgetBox;
using stored::LocalModelSnapshot;
using ui_rows::WidgetList;

template <class... F>
struct Overloaded : F... {
  using F::operator()...;
};

std::string whole_gib(std::uint16_t gib) { return fmt::format("{} GiB", gib); }

WidgetBox flag_button(std::string label, std::string id, std::string_view control) {
  return w::boxed(lib::FlagButton(std::move(label), std::move(id), std::string(control)));
}

WidgetBox one_button(WidgetBox button) {
  WidgetList list;
  list.push_back(std::move(button));
  return ui_rows::button_row(std::move(list));
}

WidgetBox bar(std::optional<double> fraction, std::string label) {
  w::ProgressBar progress = fraction ? w::ProgressBar(*fraction) : w::ProgressBar::indeterminate();
  return w::boxed(std::move(progress).with_label(std::move(label)));
}

WidgetBox intro_card() {
  WidgetList rows;
  rows.push_back(
      ui_rows::caption("Models configured here supply inference only. They do not grant an agent "
                       "access to a workspace, app, file, message, or device."));
  rows.push_back(ui_rows::info_row("Local inference", "Loopback-only Kalu model gateway"));
  rows.push_back(ui_rows::info_row("Downloads", "Explicit, pinned, and visible here"));
  return ui_rows::section_card("Private by design", ui_rows::rows_column(std::move(rows)));
}

WidgetBox unavailable_card() {
  return ui_rows::section_card(
      "Local model service unavailable",
      ui_rows::caption("Install or start kalu-model-manager to inspect hardware, install models, "
                       "or manage local model lifecycle. Existing hosted providers remain "
                       "available below."));
}

void accelerator_state_rows(WidgetList& rows, const stored::AcceleratorSetupState& status) {
  std::visit(
      Overloaded{
          [&](const acc::Available&) {
            rows.push_back(ui_rows::caption(
                "Kalu found a signed accelerator stack matched to this device. Setup stages a new "
                "immutable system image; it does not install a driver into the running system."));
            rows.push_back(one_button(flag_button(
                "Set up accelerator", "agent-models-accelerator-setup", kAcceleratorSetupControl)));
          },
          [&](const acc::Queued&) {
            rows.push_back(bar(std::nullopt, "Preparing accelerator support"));
            rows.push_back(
                ui_rows::caption("The request is queued. You can leave Settings while Kalu "
                                 "verifies and stages the signed system image."));
          },
          [&](const acc::Staging&) {
            rows.push_back(bar(std::nullopt, "Staging accelerator support"));
            rows.push_back(
                ui_rows::caption("Kalu is building the next boot deployment. The current desktop "
                                 "keeps running normally."));
          },
          [&](const acc::RestartRequired&) {
            rows.push_back(ui_rows::caption(
                "Accelerator support is ready for the next boot. Restart from the system power "
                "menu when convenient; Kalu will verify the booted deployment before calling it "
                "active."));
          },
          [&](const acc::Active&) {
            rows.push_back(ui_rows::caption(
                "The signed accelerator stack is active and local model setup can use it."));
          },
          [&](const acc::Error& error) {
            rows.push_back(ui_rows::caption(error.message));
            rows.push_back(ui_rows::caption(
                "Nothing was installed into the running system. Retry rechecks this device "
                "against the signed hardware policy."));
            rows.push_back(
                one_button(flag_button("Retry accelerator setup", "agent-models-accelerator-retry",
                                       kAcceleratorSetupControl)));
          },
      },
      status);
}

WidgetBox accelerator_card(const stored::AcceleratorSetup& setup) {
  WidgetList rows;
  rows.push_back(ui_rows::info_row("Signed hardware match", setup.boot_pack_id));
  accelerator_state_rows(rows, setup.status);
  return ui_rows::section_card_with_description("Accelerator support",
                                                accelerator_status_label(setup.status),
                                                ui_rows::rows_column(std::move(rows)));
}

void hardware_rows(WidgetList& rows, const stored::HardwareRecommendation& hardware) {
  rows.push_back(ui_rows::info_row("Hardware fit", fit_label(hardware.fit)));
  rows.push_back(ui_rows::info_row("System memory", whole_gib(hardware.memory_gib)));
  rows.push_back(ui_rows::info_row("Accelerator", hardware.accelerator));
  if (hardware.accelerator_memory_gib) {
    rows.push_back(
        ui_rows::info_row("Accelerator memory", whole_gib(*hardware.accelerator_memory_gib)));
  }
  if (hardware.free_storage_gib) {
    rows.push_back(ui_rows::info_row("Storage available", whole_gib(*hardware.free_storage_gib)));
  }
  rows.push_back(ui_rows::caption(hardware.reason));
}

void licence_rows(WidgetList& rows, const stored::LocalModelPackage& package) {
  rows.push_back(ui_rows::info_row("Download", format_gib(package.download_bytes)));
  rows.push_back(ui_rows::info_row("Storage after install", format_gib(package.installed_bytes)));
  rows.push_back(ui_rows::info_row("Source", package.source));
  rows.push_back(ui_rows::info_row("Pinned revision", package.revision));
  rows.push_back(ui_rows::info_row("License", package.license));
  rows.push_back(ui_rows::caption(
      fmt::format("By continuing, you accept the model license at {}. Kalu downloads the pinned "
                  "snapshot once and keeps inference on this device.",
                  package.license_url)));
  WidgetList buttons;
  buttons.push_back(flag_button("Accept license & download", "agent-models-confirm-install",
                                kLocalConfirmControl));
  buttons.push_back(flag_button("Cancel", "agent-models-cancel-install", kLocalCancelControl));
  rows.push_back(ui_rows::button_row(std::move(buttons)));
}

WidgetBox recommendation_card(const PageView& view) {
  const LocalModelSnapshot& snapshot = view.snapshot;
  WidgetList rows;
  hardware_rows(rows, snapshot.hardware);
  if (!snapshot.recommendation) {
    rows.push_back(ui_rows::info_row("Recommended model", "Waiting for signed model catalog"));
    rows.push_back(
        ui_rows::caption("Setup stays disabled until the local model service reports a verified, "
                         "immutable model release."));
    rows.push_back(one_button(w::boxed(w::Button("Set up unavailable")
                                           .with_id("agent-models-setup-unavailable")
                                           .with_enabled(false))));
    return ui_rows::section_card_with_description("Recommended for this device",
                                                  "Service unavailable",
                                                  ui_rows::rows_column(std::move(rows)));
  }
  const stored::LocalModelPackage& package = *snapshot.recommendation;
  rows.push_back(ui_rows::info_row("Recommended model", package.name));
  rows.push_back(ui_rows::caption(package.description));
  if (view.pending_install == package.id) {
    licence_rows(rows, package);
  } else {
    lib::FlagButton setup("Set up on this device", "agent-models-setup-local",
                          std::string(kLocalSetupControl));
    setup.with_enabled(local_setup_enabled(snapshot));
    rows.push_back(one_button(w::boxed(std::move(setup))));
  }
  return ui_rows::section_card_with_description("Recommended for this device",
                                                fit_label(snapshot.hardware.fit),
                                                ui_rows::rows_column(std::move(rows)));
}

void phase_rows(WidgetList& rows, const stored::InstalledLocalModel& model) {
  const std::string& name = model.package.name;
  std::visit(
      Overloaded{
          [&](const ph::Downloading& d) {
            rows.push_back(bar(phase_progress(model.phase).value_or(0.0),
                               fmt::format("Downloading {}", name)));
            rows.push_back(ui_rows::caption(
                fmt::format("{} of {} downloaded · safe to leave this page",
                            format_gib(d.downloaded_bytes), format_gib(d.total_bytes))));
          },
          [&](const ph::Installing& i) {
            rows.push_back(bar(phase_progress(model.phase), fmt::format("Installing {}", name)));
            rows.push_back(ui_rows::caption(i.message));
          },
          [&](const ph::Ready& r) {
            rows.push_back(ui_rows::caption(
                r.running ? "Available to agents through the local Kalu gateway. Workspace "
                            "permissions still apply to every task."
                          : "Installed and verified. Start it when you want agents to use it; "
                            "stopped models consume no accelerator memory."));
          },
          [&](const ph::Error& e) {
            rows.push_back(ui_rows::caption(e.message));
            rows.push_back(
                ui_rows::caption("Retry resumes verified files where possible. Remove clears this "
                                 "model's local snapshot."));
          },
      },
      model.phase);
}

WidgetBox model_card(const stored::InstalledLocalModel& model, const PageView& view) {
  WidgetList rows;
  const std::string_view phase = phase_label(model.phase);
  rows.push_back(ui_rows::info_row("Status", phase));
  rows.push_back(ui_rows::info_row("Storage", format_gib(model.package.installed_bytes)));
  rows.push_back(ui_rows::info_row("License", model.package.license));
  phase_rows(rows, model);
  const auto actions = model_actions(model.phase);
  if (!actions.empty()) {
    WidgetList buttons;
    for (const ModelAction action : actions) {
      const bool confirm = action == ModelAction::Remove && view.pending_remove == model.package.id;
      buttons.push_back(flag_button(
          std::string(confirm ? std::string_view("Confirm remove") : action_label(action)),
          model_button_id(action, model.package.id), model_control_id(action, model.package.id)));
    }
    rows.push_back(ui_rows::button_row(std::move(buttons)));
  }
  // Under the buttons, so that nothing above the one pressed moves.
  if (view.notice && view.notice_model == model.package.id) {
    rows.push_back(w::boxed(w::Text(*view.notice)
                                .with_size(ui_rows::kCaptionSize)
                                .with_muted(true)
                                .with_wrap(true)
                                .with_id(model_notice_id(model.package.id))));
  }
  return ui_rows::section_card_with_description(model.package.name, phase,
                                                ui_rows::rows_column(std::move(rows)));
}

bool shown_in_model_card(const PageView& view) {
  if (!view.notice_model) return false;
  for (const auto& model : view.snapshot.models) {
    if (model.package.id == *view.notice_model) return true;
  }
  return false;
}

void local_cards(WidgetList& cards, const PageView& view) {
  if (view.notice && !shown_in_model_card(view)) {
    cards.push_back(ui_rows::section_card("Local model service", ui_rows::caption(*view.notice)));
  }
  if (view.snapshot.accelerator_setup) {
    cards.push_back(accelerator_card(*view.snapshot.accelerator_setup));
  }
  cards.push_back(recommendation_card(view));
  if (view.snapshot.models.empty()) {
    cards.push_back(ui_rows::section_card(
        "Models on this device",
        ui_rows::caption("No local models are installed. Setup shows the download, storage, "
                         "source, revision, and license before anything changes.")));
  }
  for (const auto& model : view.snapshot.models) cards.push_back(model_card(model, view));
}

}  // namespace

std::string_view fit_label(stored::HardwareFit fit) {
  switch (fit) {
    case stored::HardwareFit::Excellent:
      return "Excellent fit";
    case stored::HardwareFit::Good:
      return "Good fit";
    case stored::HardwareFit::Tight:
      return "Will run, with limits";
    case stored::HardwareFit::Unsupported:
      return "Not enough memory";
  }
  return "Not enough memory";
}

std::string_view phase_label(const stored::LocalModelPhase& phase) {
  return std::visit(
      Overloaded{
          [](const ph::Downloading&) { return std::string_view("Downloading"); },
          [](const ph::Installing&) { return std::string_view("Installing"); },
          [](const ph::Ready& r) { return std::string_view(r.running ? "Running" : "Ready"); },
          [](const ph::Error&) { return std::string_view("Needs attention"); },
      },
      phase);
}

std::optional<double> phase_progress(const stored::LocalModelPhase& phase) {
  if (const auto* d = std::get_if<ph::Downloading>(&phase)) {
    if (d->total_bytes == 0) return std::nullopt;
    return static_cast<double>(d->downloaded_bytes) / static_cast<double>(d->total_bytes);
  }
  if (const auto* i = std::get_if<ph::Installing>(&phase)) {
    if (i->percent) return static_cast<double>(*i->percent) / 100.0;
  }
  return std::nullopt;
}

std::string_view accelerator_status_label(const stored::AcceleratorSetupState& status) {
  return std::visit(
      Overloaded{
          [](const acc::Available&) { return std::string_view("Ready to set up"); },
          [](const acc::Queued&) { return std::string_view("Queued"); },
          [](const acc::Staging&) { return std::string_view("Staging"); },
          [](const acc::RestartRequired&) { return std::string_view("Restart required"); },
          [](const acc::Active&) { return std::string_view("Active"); },
          [](const acc::Error&) { return std::string_view("Needs attention"); },
      },
      status);
}

bool local_setup_enabled(const LocalModelSnapshot& snapshot) {
  if (snapshot.hardware.fit == stored::HardwareFit::Unsupported) return false;
  return !snapshot.accelerator_setup ||
         std::holds_alternative<acc::Active>(snapshot.accelerator_setup->status);
}

std::string model_button_id(ModelAction action, std::string_view package_id) {
  return fmt::format("agent-models-{}-{}", action_word(action),
                     model_control_id(action, package_id));
}

std::string model_notice_id(std::string_view package_id) {
  return fmt::format("agent-models-notice-{}", package_id);
}

WidgetBox build_page(const PageView& view, const ProvidersCard& providers) {
  WidgetList cards;
  cards.push_back(intro_card());
  if (view.reading) {
    cards.push_back(ui_rows::caption(kReadingCaption));
  } else if (!view.service_available) {
    cards.push_back(unavailable_card());
  } else {
    local_cards(cards, view);
  }
  cards.push_back(hosted_providers_section(providers));
  return ui_rows::sections_column(std::move(cards));
}

AgentModelsPage::AgentModelsPage() : AgentModelsPage(Options{}) {}

AgentModelsPage::AgentModelsPage(Options options)
    : status_(options.status ? std::move(options.status)
                             : operations::AgentModelsStatusCell::create(std::nullopt)),
      load_config_(std::move(options.load_config)),
      key_probe_(std::move(options.key_probe)) {}

WidgetBox AgentModelsPage::build(const PageView& view, const actions::ProviderStatusCell& status) {
  const model_provider::ProviderConfig config =
      load_config_ ? load_config_() : model_provider::ProviderConfig::load();
  // The section's local part follows the snapshot only while the service
  // answers; the page shows no local button otherwise.
  const kalu_ui::Result<stored::LocalModelSnapshot> snapshot =
      view.service_available && !view.reading
          ? kalu_ui::Result<stored::LocalModelSnapshot>(view.snapshot)
          : std::unexpected(std::string("model service is unavailable"));
  const kalu_actions::Resource section = actions::agent_models_resource(config, snapshot);
  return build_page(view,
                    ProvidersCard{config, section, drafts_, status ? status : status_, key_probe_});
}

}  // namespace settings::panes::agent_models
