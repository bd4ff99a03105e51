#include "panes/network/network_pane.h"

#include <fmt/format.h>

#include <utility>

#include "actions/network_section.h"
#include "actions/specs.h"
#include "kalu_ui/layout.h"
#include "lib/device_notices.h"
#include "lib/dispatcher.h"
#include "operations/keys.h"
#include "panes/network/page.h"

namespace settings::panes::network {
namespace {

namespace doc = kalu_ui::doc;
using kalu_ui::layout::NodeId;

}  // namespace

NetworkPane::Services NetworkPane::Services::system() {
  // Made on the UI thread, so the worker wakes this frame loop.
  auto notices = std::make_shared<lib::DeviceNotices>();
  return Services{system_network_backend(), lib::dispatcher_or_default(),
                  std::make_shared<const WifiContinuityBackend>(), detached_threads(),
                  [notices] { return notices->take(); }};
}

NetworkPane::NetworkPane() : NetworkPane(Services::system()) {}

NetworkPane::NetworkPane(Services services)
    : NetworkPane(std::move(services), kalu_ui::channel::queue<NetworkJobOutcome>()) {}

NetworkPane::NetworkPane(Services services, std::pair<OutcomeSender, OutcomeReceiver> outcomes)
    : services_(std::move(services)),
      outcome_sender_(std::move(outcomes.first)),
      outcomes_(std::move(outcomes.second)) {
  if (!services_.backend) services_.backend = system_network_backend();
  if (!services_.dispatcher) services_.dispatcher = lib::dispatcher_or_default();
  if (!services_.continuity) services_.continuity = std::make_shared<const WifiContinuityBackend>();
  if (!services_.threads) services_.threads = detached_threads();
  snapshot_ = read_snapshot(*services_.backend);
  applied_wifi_ = snapshot_.wifi_enabled;
}

NetworkPane::~NetworkPane() = default;
NetworkPane::NetworkPane(NetworkPane&&) noexcept = default;
NetworkPane& NetworkPane::operator=(NetworkPane&&) noexcept = default;

void NetworkPane::sync(doc::Document& document) {
  // A hosted pane works on its own document: the toolkit's may be replicated,
  // and the application's road reaches the pane through its request cell.
  doc::Document& working = link_.working(document);
  poll_chooser(working);
  take_outcomes(working);
  if (!seeded_) {
    seed_document(working);
    seeded_ = true;
  }
  take_request(working);
  apply_wifi_wired(working);
  apply_radios(working);
  apply_vpn_toggles(working);
  apply_saved_profiles(working);
  apply_hotspot(working);
  apply_qr_press(working);
  apply_profile_pickers(working);
  apply_ipv4(working);
  apply_editors(working);
  apply_policy(working);
  apply_sim_unlock(working);
  apply_enterprise(working);
  apply_portal_and_tools(working);
  follow_device(working);
  refresh(working);
  apply_wifi_rows(working);
  PagePane::sync(working);
}

std::optional<kalu_actions::ActionBinding> NetworkPane::wifi_binding() const {
  // A flip arrives as the Network section's "wifi" operation, so it takes
  // the same road as an automation client's.
  return actions::network_toggle_binding("wifi");
}

std::optional<kalu_actions::ActionBinding> NetworkPane::wired_binding() const {
  // The flip asks for the other direction, as the section's command.
  return actions::bind_unit(actions::network_resource(),
                            snapshot_.wired.enabled ? "disable-wired" : "enable-wired");
}

kalu_ui::WidgetBox NetworkPane::make_page() {
  std::optional<std::string> qr_payload;
  if (view_.qr_shown) {
    if (auto config = hotspot_configuration(view_.hotspot.ssid, view_.hotspot.band)) {
      if (auto payload = config->qr_payload()) qr_payload = std::move(*payload);
      kalu_ui::secret::wipe(config->password);
    }
  }
  PageInput input{snapshot_,      view_,          secrets_, std::move(qr_payload),
                  wifi_binding(), wired_binding()};
  kalu_ui::WidgetBox built = network_page(input);
  if (input.qr_payload) kalu_ui::secret::wipe(*input.qr_payload);
  return built;
}

NodeId NetworkPane::build_layout(kalu_ui::layout::LayoutTree& tree,
                                 const kalu_ui::RenderContext& context,
                                 kalu_ui::layout::NodeRegistry& registry) {
  return lay_out_page(tree, context, registry, make_page());
}

}  // namespace settings::panes::network
