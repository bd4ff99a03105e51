#pragma once

// The Network pane (Pane::kNetwork, the first page the application shows): Wi-Fi,
// wired, enterprise Wi-Fi, saved profiles, diagnostics, VPN, airplane mode,
// the hotspot with its QR code, and mobile broadband with SIM unlock.
//
// It is built afresh whenever the page is selected: the constructor reads the
// whole network state in one pass on the UI thread and never fails (a read
// that fails leaves its part empty). It keeps that snapshot, the drafts of the
// forms, the secret text typed into its password fields (secrets.h), its
// worker channels (workers.h) and its links to the device-local operation
// road. Built with the constructor alone it is a standalone page that takes no
// requests and reports nothing; the page frame hands it the application's
// request and completion cells, and once hosted it works on a state document
// of its own.
//
// Each frame `sync`, on the UI thread: polls the certificate chooser, takes
// the workers' outcomes, seeds the document on the first frame with the state
// just read (a stale document value never overrides the device), takes its
// device-local request, applies every control the person or an operation
// changed (the switches, VPNs, saved profiles, hotspot, profile pickers,
// IPv4, policy, SIM, enterprise, sign-in page, VPN tool, refresh and the
// Wi-Fi rows), completes the pending operation, and forwards the frame to
// the page. When the device changed from outside (a notice of its state
// file, as Bluetooth follows it) the pane reads it again after this frame's
// edits, so the page shows the device without waiting for Refresh. A request only writes the key a
// control would have written, so both take one road. Every operation it takes ends exactly once:
// one that finds its value already in place succeeds at once ("... is already enabled."). It is the
// only place the page changes the system; a failed change writes the previous value back, so
// controls show the device.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "kalu_actions/binding.h"
#include "kalu_ui/channel.h"
#include "kalu_ui/document.h"
#include "kalu_ui/result.h"
#include "lib/page_pane.h"
#include "operations/link.h"
#include "panes/network/backend.h"
#include "panes/network/model.h"
#include "panes/network/secrets.h"
#include "panes/network/workers.h"
#include "system_ops/dispatcher.h"
#include "vocabulary/registry.h"
#include "widget_contract/widget.h"

namespace settings::panes::network {

using operations::NetworkOperation;

class NetworkPane : public lib::PagePane,
                    public operations::WithOperationLink<NetworkPane, NetworkOperation> {
 public:
  static constexpr std::string_view kTypeName = pane_row(Pane::kNetwork).type_name;

  // What the pane talks to; tests hand in fakes.
  struct Services {
    std::shared_ptr<const NetworkBackend> backend;
    std::shared_ptr<system_ops::Dispatcher> dispatcher;
    std::shared_ptr<const WifiContinuityBackend> continuity;
    ThreadStarter threads;
    // Whether the device changed since the last call (simdev, another
    // program, a client); empty: the pane never hears of it and reads the
    // device again only on Refresh.
    std::function<bool()> device_changed;

    // The device's services, its real dispatcher, the collaboration broker,
    // detached threads and the device's change notices (lib/device_notices.h).
    static Services system();
  };

  NetworkPane();
  explicit NetworkPane(Services services);
  ~NetworkPane() override;
  NetworkPane(NetworkPane&&) noexcept;
  NetworkPane& operator=(NetworkPane&&) noexcept;

  static std::string_view connectivity_label(std::uint8_t state) {
    return network::connectivity_label(state);
  }

  const NetworkSnapshot& snapshot() const { return snapshot_; }
  const NetworkView& view() const { return view_; }
  SecretFields& secrets() { return secrets_; }
  bool applied_wifi() const { return applied_wifi_; }
  bool chooser_open() const { return chooser_.has_value(); }

  // The platform's hotspot configuration from the SSID, the hotspot password
  // and the band label, validated; its error is the validation's text.
  kalu_ui::Result<net::HotspotConfiguration> hotspot_configuration(std::string_view ssid,
                                                                   std::string_view band);
  // Opens the password row of `ssid` (none: closes the open one), writing
  // "network.expanded"; the row that closes has its password cleared.
  void set_expanded(kalu_ui::doc::Document& document, std::optional<std::string> ssid);
  // Starts the connect worker for a network unless one runs for it already.
  void start_wifi_connect(const std::string& ssid, std::uint8_t mode_byte,
                          std::optional<SecretText> password, bool lookup);
  // Starts the certificate chooser unless one is open.
  void open_certificate_chooser();

  // sync's device handlers; each reads its control ids from `document` and
  // writes back what it needs. Wi-Fi and wired power, behind the
  // pending-operation gate.
  void apply_wifi_wired(kalu_ui::doc::Document& document);
  // Airplane mode, hotspot and mobile broadband, without a gate.
  void apply_radios(kalu_ui::doc::Document& document);
  // On "network.refresh": rescans Wi-Fi and reads the rest of the state
  // again, writing the fresh switches into the document.
  void refresh(kalu_ui::doc::Document& document);
  // On "network.diagnostics.run".
  void run_diagnostics(kalu_ui::doc::Document& document);

  // The Widget contract.
  std::string_view type_name() const override { return kTypeName; }
  void sync(kalu_ui::doc::Document& document) override;
  kalu_ui::layout::NodeId build_layout(kalu_ui::layout::LayoutTree& tree,
                                       const kalu_ui::RenderContext& context,
                                       kalu_ui::layout::NodeRegistry& registry) override;

 private:
  NetworkPane(Services services, std::pair<OutcomeSender, OutcomeReceiver> outcomes);

  // sync's steps (operations.cpp).
  void poll_chooser(kalu_ui::doc::Document& document);
  void take_outcomes(kalu_ui::doc::Document& document);
  void apply_outcome(kalu_ui::doc::Document& document, NetworkJobOutcome outcome);
  void seed_document(kalu_ui::doc::Document& document);
  void seed_profiles(kalu_ui::doc::Document& document);
  void take_request(kalu_ui::doc::Document& document);
  bool answer_in_place(kalu_ui::doc::Document& document, const NetworkOperation& operation);
  void read_switches(kalu_ui::doc::Document& document);
  bool apply_radio(kalu_ui::doc::Document& document, std::size_t index);
  void apply_vpn_toggles(kalu_ui::doc::Document& document);
  void apply_saved_profiles(kalu_ui::doc::Document& document);
  void apply_hotspot(kalu_ui::doc::Document& document);
  void apply_profile_pickers(kalu_ui::doc::Document& document);
  void apply_ipv4(kalu_ui::doc::Document& document);
  void apply_editors(kalu_ui::doc::Document& document);
  void apply_policy(kalu_ui::doc::Document& document);
  void apply_sim_unlock(kalu_ui::doc::Document& document);
  void apply_enterprise(kalu_ui::doc::Document& document);
  void apply_portal_and_tools(kalu_ui::doc::Document& document);
  void write_profile_flags(kalu_ui::doc::Document& document);
  void put_profile_settings(kalu_ui::doc::Document& document, const std::string& id,
                            const net::ProfileSettings& settings);
  // On a notice that the device changed: reread_device.
  void follow_device(kalu_ui::doc::Document& document);
  // Reads the device again (the Wi-Fi list, the switches, the radios, the
  // hotspot's clients, connectivity, the profiles and their settings, the
  // VPNs and SIMs) and writes what changed into the document; the error is
  // the Wi-Fi list's.
  kalu_ui::Status reread_device(kalu_ui::doc::Document& document);
  void apply_qr_press(kalu_ui::doc::Document& document);
  void apply_wifi_rows(kalu_ui::doc::Document& document);
  void read_hotspot_draft(const kalu_ui::doc::Document& document);
  void reread_after_connect();
  // Shows a result in its place.
  void say(StatusPlace place, std::string text);

  kalu_ui::WidgetBox make_page();
  std::optional<kalu_actions::ActionBinding> wifi_binding() const;
  std::optional<kalu_actions::ActionBinding> wired_binding() const;

  Services services_;
  NetworkSnapshot snapshot_;
  NetworkView view_;
  SecretFields secrets_;
  // The Wi-Fi power the handlers compare the document against.
  bool applied_wifi_ = true;
  OutcomeSender outcome_sender_;
  OutcomeReceiver outcomes_;
  std::optional<kalu_ui::channel::Receiver<ChooserAnswer>> chooser_;
  bool seeded_ = false;
};

}  // namespace settings::panes::network
