#include "panes/bluetooth/bluetooth_pane.h"

#include <utility>
#include <variant>

#include "actions/bluetooth_section.h"
#include "kalu_ui/log.h"
#include "lib/text_object.h"
#include "panes/bluetooth/page.h"

namespace settings::panes::bluetooth {
namespace {

namespace doc = kalu_ui::doc;

template <typename T>
T value_or(kalu_ui::Result<T> result, T fallback) {
  return result ? std::move(*result) : std::move(fallback);
}

}  // namespace

BluetoothPane::BluetoothPane() : BluetoothPane(system_backend(), {}, false, false) {
  assign_devices(value_or(backend_->devices(), std::vector<BluetoothDevice>{}));
  powered_ = value_or(backend_->is_powered(), false);
  scanning_ = value_or(backend_->is_scanning(), false);
  notices_ = std::make_unique<lib::DeviceNotices>();
}

BluetoothPane::BluetoothPane(SharedBluetoothBackend backend, std::vector<BluetoothDevice> devices,
                             bool powered, bool scanning)
    : backend_(std::move(backend)),
      start_thread_(&start_detached_thread),
      powered_(powered),
      scanning_(scanning) {
  assign_devices(std::move(devices));
}

void BluetoothPane::assign_devices(std::vector<BluetoothDevice> devices) {
  keys_ = device_keys(devices);
  devices_ = std::move(devices);
  ids_.clear();
  ids_.reserve(keys_.size());
  for (const auto& key : keys_) ids_.push_back(device_control_ids(key));
}

BluetoothPane::~BluetoothPane() = default;
BluetoothPane::BluetoothPane(BluetoothPane&&) noexcept = default;
BluetoothPane& BluetoothPane::operator=(BluetoothPane&&) noexcept = default;

BluetoothPane&& BluetoothPane::with_thread_starter(ThreadStarter starter) && {
  start_thread_ = std::move(starter);
  return std::move(*this);
}

// ---- sync ----

void BluetoothPane::sync(doc::Document& toolkit_document) {
  doc::Document& document = link_.working(toolkit_document);
  take_pair_result(document);
  if (seed_document_) {
    seed(document);
    seed_document_ = false;
  }
  // The device's change is read before this frame's request: read after it,
  // the adapter's present power would be written over the power the request
  // asks for, and the request would be lost.
  if (notices_ && notices_->take()) reload_devices(document);
  take_request(document);
  run_handlers(document);
  PagePane::sync(document);
}

void BluetoothPane::seed(doc::Document& document) {
  (void)document.put(doc::kRoot, kEnabledKey, doc::Scalar(powered_));
  (void)document.put(doc::kRoot, kScanKey, doc::Scalar(false));
  (void)document.put(doc::kRoot, kRefreshKey, doc::Scalar(false));
  for (std::size_t i = 0; i < devices_.size(); ++i) seed_device(document, devices_[i], ids_[i]);
}

void BluetoothPane::seed_device(doc::Document& document, const BluetoothDevice& device,
                                const DeviceControlIds& ids) {
  const auto id = [&](DeviceKey key) -> const std::string& {
    return ids[static_cast<std::size_t>(key)];
  };
  for (DeviceKey key : kMomentaryKeys) (void)document.put(doc::kRoot, id(key), doc::Scalar(false));
  (void)document.put(doc::kRoot, id(DeviceKey::kTrusted), doc::Scalar(device.trusted));
  // A text object the field edits in place; one already there is kept.
  (void)lib::seed_text_object(document, doc::kRoot, id(DeviceKey::kAlias));
}

void BluetoothPane::take_request(doc::Document& document) {
  // Another pane's request stays in the cell for that pane.
  const std::optional<BluetoothOperation> taken = link_.take();
  if (!taken) return;
  const BluetoothOperation& operation = *taken;
  using Op = BluetoothOperation;
  if (const auto* power = std::get_if<Op::SetPowered>(&operation)) {
    take_power_operation(document, power->enabled);
  } else if (std::holds_alternative<Op::StartScan>(operation)) {
    (void)document.put(doc::kRoot, kScanKey, doc::Scalar(true));
  } else if (std::holds_alternative<Op::Refresh>(operation)) {
    (void)document.put(doc::kRoot, kRefreshKey, doc::Scalar(true));
  } else if (const auto* pair = std::get_if<Op::Pair>(&operation)) {
    take_device_operation(document, pair->path, DeviceKey::kPair, operation);
  } else if (const auto* connect = std::get_if<Op::Connect>(&operation)) {
    take_device_operation(document, connect->path, DeviceKey::kConnect, operation);
  } else if (const auto* disconnect = std::get_if<Op::Disconnect>(&operation)) {
    take_device_operation(document, disconnect->path, DeviceKey::kDisconnect, operation);
  } else if (const auto* forget = std::get_if<Op::Forget>(&operation)) {
    take_device_operation(document, forget->path, DeviceKey::kForget, operation);
  }
}

void BluetoothPane::run_handlers(doc::Document& document) {
  apply_power(document);
  apply_scan(document);
  apply_refresh(document);
  device_action(document);
}

// ---- The widget contract ----

kalu_ui::layout::NodeId BluetoothPane::build_layout(kalu_ui::layout::LayoutTree& tree,
                                                    const kalu_ui::RenderContext& context,
                                                    kalu_ui::layout::NodeRegistry& registry) {
  return lay_out_page(
      tree, context, registry,
      build_page(PageState{devices_, keys_, status_, expanded_device_, forget_confirmation_,
                           pairing_device_, scanning_, power_binding()}));
}

std::optional<kalu_actions::ActionBinding> BluetoothPane::power_binding() const {
  // A flip of the toggle is recorded as the Bluetooth section's "bluetooth"
  // action, which comes back as a SetPowered operation.
  auto binding = actions::bluetooth_toggle_binding("bluetooth");
  if (!binding) {
    // The section is built from a fixed table, so this is the program's own
    // fault; the page still shows, with the toggle unbound.
    kalu_ui::log::warn("kalu::settings", "settings::panes::bluetooth",
                       "Bluetooth power action is part of the static resource contract",
                       {{"op", "bluetooth_toggle_binding"}});
  }
  return binding;
}

}  // namespace settings::panes::bluetooth
