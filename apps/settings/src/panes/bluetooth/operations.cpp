// The Bluetooth pane's handlers: the adapter's power, discovery and
// refresh, the per-device actions, pairing and its result, reloading the
// list, and the completion of the operations they carry out. A control's
// press and an automation request run the same handler: the request only
// writes the key the press would have written.

#include <fmt/format.h>

#include <utility>
#include <variant>

#include "kalu_ui/channel.h"
#include "lib/text_object.h"
#include "operations/keys.h"
#include "panes/bluetooth/bluetooth_pane.h"
#include "vocabulary/doc_flags.h"

namespace settings::panes::bluetooth {
namespace {

namespace doc = kalu_ui::doc;
using Op = BluetoothOperation;

constexpr std::string_view kNoLongerAvailable = "Bluetooth device is no longer available";

const std::string& id_of(const DeviceControlIds& ids, DeviceKey key) {
  return ids[static_cast<std::size_t>(key)];
}

std::string_view trimmed(std::string_view text) {
  constexpr std::string_view kSpace = " \t\r\n\v\f";
  const auto first = text.find_first_not_of(kSpace);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(kSpace) - first + 1);
}

// What an operation came to: the success message, or the failure's.
Outcome succeeded(std::string message) { return message; }
Outcome failed(std::string message) { return kalu_ui::fail(std::move(message)); }

constexpr std::string_view kPoweredOnText = "Bluetooth is on.";
constexpr std::string_view kPoweredOffText = "Bluetooth is off.";

}  // namespace

// ---- Requests that find nothing to do ----

void BluetoothPane::take_power_operation(doc::Document& document, bool enabled) {
  // The adapter may have been switched elsewhere since the pane last looked.
  if (auto now = backend_->is_powered(); now && *now != powered_) {
    powered_ = *now;
    follow_power_text();
    request_rebuild();
  }
  if (enabled == powered_) {
    (void)document.put(doc::kRoot, kEnabledKey, doc::Scalar(powered_));
    link_.complete(Op::SetPowered{enabled}, succeeded(enabled ? "Bluetooth is already enabled."
                                                              : "Bluetooth is already disabled."));
    return;
  }
  (void)document.put(doc::kRoot, kEnabledKey, doc::Scalar(enabled));
}

void BluetoothPane::take_device_operation(doc::Document& document, std::string_view path,
                                          DeviceKey key, const BluetoothOperation& operation) {
  const DeviceControlIds* ids = ids_of(path);
  // A device that appeared since the list was read is found by reading it again.
  if (ids == nullptr) {
    reload_devices(document);
    ids = ids_of(path);
  }
  if (ids == nullptr) {
    link_.complete(operation, failed(std::string(kNoLongerAvailable)));
    return;
  }
  (void)document.put(doc::kRoot, id_of(*ids, key), doc::Scalar(true));
}

const DeviceControlIds* BluetoothPane::ids_of(std::string_view path) const {
  for (std::size_t i = 0; i < devices_.size(); ++i) {
    if (devices_[i].path == path) return &ids_[i];
  }
  return nullptr;
}

// ---- Adapter-wide handlers ----

void BluetoothPane::apply_power(doc::Document& document) {
  const std::optional<bool> wanted = document.read_bool(doc::kRoot, kEnabledKey);
  if (!wanted || *wanted == powered_) return;
  // The toggle's flip arrives as an operation; an edit without one is undone.
  if (!link_.may_apply(Op::SetPowered{*wanted})) {
    (void)document.put(doc::kRoot, kEnabledKey, doc::Scalar(powered_));
    return;
  }
  request_rebuild();
  if (auto done = backend_->set_powered(*wanted); !done) {
    std::string message = fmt::format("Could not change Bluetooth power: {}", done.error());
    status_ = message;
    (void)document.put(doc::kRoot, kEnabledKey, doc::Scalar(powered_));
    link_.complete(Op::SetPowered{*wanted}, failed(std::move(message)));
    return;
  }
  powered_ = *wanted;
  status_ = std::string(powered_ ? kPoweredOnText : kPoweredOffText);
  link_.complete(Op::SetPowered{*wanted},
                 succeeded(powered_ ? "Bluetooth enabled." : "Bluetooth disabled."));
  // Switched off, the adapter lists no devices; switched on, it lists them again.
  reload_devices(document);
}

void BluetoothPane::apply_scan(doc::Document& document) {
  if (!take_doc_flag(document, kScanKey)) return;
  const bool was_scanning = scanning_;
  auto done = was_scanning ? backend_->stop_scan() : backend_->start_scan();
  if (done) {
    scanning_ = !was_scanning;
    status_ =
        was_scanning ? "Discovery stopped." : "Discovery started. Use Refresh as devices wake up.";
    link_.complete(Op::StartScan{}, succeeded(scanning_ ? "Bluetooth discovery started."
                                                        : "Bluetooth discovery stopped."));
  } else {
    status_ = fmt::format("Could not change discovery: {}", done.error());
    link_.complete(Op::StartScan{},
                   failed(fmt::format("Could not change Bluetooth discovery: {}", done.error())));
  }
  reload_devices(document);
}

void BluetoothPane::apply_refresh(doc::Document& document) {
  if (!take_doc_flag(document, kRefreshKey)) return;
  request_rebuild();
  auto fresh = backend_->devices();
  if (!fresh) {
    status_ = fmt::format("Could not refresh devices: {}", fresh.error());
    link_.complete(Op::Refresh{},
                   failed(fmt::format("Could not refresh Bluetooth devices: {}", fresh.error())));
    return;
  }
  use_devices(document, std::move(*fresh));
  read_adapter_state(document);
  link_.complete(Op::Refresh{}, succeeded("Bluetooth devices refreshed."));
}

void BluetoothPane::reload_devices(doc::Document& document) {
  if (auto fresh = backend_->devices()) {
    use_devices(document, std::move(*fresh));
  } else {
    status_ = fmt::format("Could not refresh devices: {}", fresh.error());
  }
  read_adapter_state(document);
  request_rebuild();
}

void BluetoothPane::read_adapter_state(doc::Document& document) {
  if (auto scanning = backend_->is_scanning()) scanning_ = *scanning;
  if (auto powered = backend_->is_powered()) powered_ = *powered;
  (void)document.put(doc::kRoot, kEnabledKey, doc::Scalar(powered_));
  follow_power_text();
}

void BluetoothPane::follow_power_text() {
  // The adapter switched elsewhere: the words saying how it is follow it.
  if (status_ == kPoweredOnText || status_ == kPoweredOffText) {
    status_ = std::string(powered_ ? kPoweredOnText : kPoweredOffText);
  }
}

void BluetoothPane::use_devices(doc::Document& document, std::vector<BluetoothDevice> fresh) {
  const std::vector<BluetoothDevice> before = std::exchange(devices_, {});
  const std::vector<std::string> keys_before = std::move(keys_);
  assign_devices(std::move(fresh));
  for (std::size_t i = 0; i < devices_.size(); ++i) {
    const BluetoothDevice* known = nullptr;
    for (std::size_t j = 0; j < before.size() && known == nullptr; ++j) {
      if (before[j].path == devices_[i].path && keys_before[j] == keys_[i]) known = &before[j];
    }
    if (known == nullptr) {
      // A device that appeared (or whose key changed): its keys are new.
      seed_device(document, devices_[i], ids_[i]);
    } else if (known->trusted != devices_[i].trusted) {
      // Trust changed outside (a pairing agent trusts what it pairs).
      (void)document.put(doc::kRoot, id_of(ids_[i], DeviceKey::kTrusted),
                         doc::Scalar(devices_[i].trusted));
    }
  }
}

// ---- Per-device handlers ----

bool BluetoothPane::device_keys_pressed(const doc::Document& document) const {
  for (std::size_t i = 0; i < devices_.size(); ++i) {
    for (DeviceKey key : kMomentaryKeys) {
      if (document.read_bool(doc::kRoot, id_of(ids_[i], key)) == true) return true;
    }
    const auto trusted = document.read_bool(doc::kRoot, id_of(ids_[i], DeviceKey::kTrusted));
    if (trusted && *trusted != devices_[i].trusted) return true;
  }
  return false;
}

void BluetoothPane::device_action(doc::Document& document) {
  if (!device_keys_pressed(document)) return;
  // Reloads inside the loop replace the pane's list, not the one walked.
  const std::vector<BluetoothDevice> devices = devices_;
  const std::vector<DeviceControlIds> ids = ids_;
  for (std::size_t i = 0; i < devices.size(); ++i) act_on_device(document, devices[i], ids[i]);
}

void BluetoothPane::act_on_device(doc::Document& document, const BluetoothDevice& device,
                                  const DeviceControlIds& ids) {
  const std::string& path = device.path;
  const std::string& name = device.name;

  if (take_doc_flag(document, id_of(ids, DeviceKey::kPair))) {
    if (!pairing_device_) {
      start_pairing(device);
    } else if (*pairing_device_ != path) {
      // One pairing at a time; the running one completes only its own Pair.
      link_.complete(Op::Pair{path},
                     failed(fmt::format("Bluetooth is already pairing {}; try again when it "
                                        "finishes.",
                                        device_name_at(devices_, *pairing_device_))));
    }
  }

  if (take_doc_flag(document, id_of(ids, DeviceKey::kCancel))) {
    auto done = backend_->cancel_pairing(path);
    status_ = done ? fmt::format("Cancelled pairing {}.", name)
                   : fmt::format("Could not cancel pairing: {}", done.error());
    request_rebuild();
  }

  connect_or_disconnect(document, device, ids, true);
  connect_or_disconnect(document, device, ids, false);

  if (take_doc_flag(document, id_of(ids, DeviceKey::kDetails))) {
    if (expanded_device_ == path) {
      expanded_device_.reset();
    } else {
      expanded_device_ = path;
    }
    request_rebuild();
  }

  const auto trusted = document.read_bool(doc::kRoot, id_of(ids, DeviceKey::kTrusted));
  if (trusted && *trusted != device.trusted) set_trust(document, device, ids, *trusted);

  if (take_doc_flag(document, id_of(ids, DeviceKey::kRename))) {
    const std::string alias =
        document.read_text(doc::kRoot, id_of(ids, DeviceKey::kAlias)).value_or("");
    if (trimmed(alias).empty()) {
      // An empty name would drop the one the device has; it keeps it.
      status_ = "Enter a name for the device.";
      request_rebuild();
    } else {
      auto done = backend_->set_alias(path, alias);
      status_ = done ? fmt::format("Renamed device to {}.", trimmed(alias))
                     : fmt::format("Could not rename {}: {}", name, done.error());
      reload_devices(document);
    }
  }

  if (take_doc_flag(document, id_of(ids, DeviceKey::kForget))) forget_device(document, device);
}

void BluetoothPane::connect_or_disconnect(doc::Document& document, const BluetoothDevice& device,
                                          const DeviceControlIds& ids, bool connect) {
  if (!take_doc_flag(document,
                     id_of(ids, connect ? DeviceKey::kConnect : DeviceKey::kDisconnect))) {
    return;
  }
  auto done = connect ? backend_->connect(device.path) : backend_->disconnect(device.path);
  const std::string message =
      done
          ? fmt::format("{} {}.", connect ? "Connected" : "Disconnected", device.name)
          : fmt::format("Could not {} {}: {} Check that it is awake and in range, then retry.",
                        connect ? "connect" : "disconnect", device.name, as_sentence(done.error()));
  status_ = message;
  const Op operation = connect ? Op(Op::Connect{device.path}) : Op(Op::Disconnect{device.path});
  link_.complete(operation, done ? succeeded(message) : failed(message));
  reload_devices(document);
}

void BluetoothPane::set_trust(doc::Document& document, const BluetoothDevice& device,
                              const DeviceControlIds& ids, bool trusted) {
  if (auto done = backend_->set_trusted(device.path, trusted); done) {
    status_ = trusted ? fmt::format("{} is now trusted.", device.name)
                      : fmt::format("{} now requires service authorisation.", device.name);
    // Known now even if the reload below fails, so the change is not sent again.
    for (auto& listed : devices_) {
      if (listed.path == device.path) listed.trusted = trusted;
    }
  } else {
    status_ = fmt::format("Could not change device trust: {}", done.error());
    (void)document.put(doc::kRoot, id_of(ids, DeviceKey::kTrusted), doc::Scalar(device.trusted));
  }
  reload_devices(document);
}

void BluetoothPane::forget_device(doc::Document& document, const BluetoothDevice& device) {
  const std::string& path = device.path;
  // An operation asks once; a press on the page asks twice.
  const bool confirmed = forget_confirmation_ == path || link_.pending(Op::Forget{path});
  request_rebuild();
  if (!confirmed) {
    forget_confirmation_ = path;
    status_ = fmt::format("Forget {}? This removes its bond and keys.", device.name);
    return;
  }
  if (auto done = backend_->forget(path); done) {
    status_ = fmt::format("Forgot {}. Pair it again to reconnect.", device.name);
    forget_confirmation_.reset();
    link_.complete(Op::Forget{path}, succeeded(fmt::format("Forgot {}.", device.name)));
  } else {
    std::string message = fmt::format("Could not forget {}: {}", device.name, done.error());
    status_ = message;
    link_.complete(Op::Forget{path}, failed(std::move(message)));
  }
  reload_devices(document);
}

// ---- Pairing ----

void BluetoothPane::start_pairing(const BluetoothDevice& device) {
  auto [sender, receiver] = kalu_ui::channel::oneshot<PairMessage>();
  auto started =
      start_thread_([sender = std::move(sender), path = device.path, backend = backend_]() mutable {
        pair_worker(std::move(sender), std::move(path), std::move(backend));
      });
  request_rebuild();
  if (!started) {
    std::string message = fmt::format("Could not pair {}: {}", device.name, started.error());
    status_ = message;
    link_.complete(Op::Pair{device.path}, failed(std::move(message)));
    return;
  }
  pairing_device_ = device.path;
  pair_results_.emplace(std::move(receiver));
  status_ = fmt::format("Pairing {}… Security prompts appear in system UI.", device.name);
}

void BluetoothPane::take_pair_result(doc::Document& document) {
  if (!pair_results_) return;
  auto got = pair_results_->try_recv();
  if (got.is_empty()) return;
  std::string path;
  PairOutcome outcome;
  if (got.is_ready()) {
    PairMessage& message = got.value();
    path = std::move(message.path);
    outcome = pair_outcome(device_name_at(devices_, path), message.result);
  } else {
    // The thread ended without a word; the Pair it was for must still end.
    path = pairing_device_.value_or(std::string());
    outcome = {fmt::format("Could not pair {}: the pairing ended without a result",
                           device_name_at(devices_, path)),
               false};
  }
  status_ = outcome.message;
  link_.complete(Op::Pair{path},
                 outcome.success ? succeeded(outcome.message) : failed(outcome.message));
  pairing_device_.reset();
  pair_results_.reset();
  reload_devices(document);
}

}  // namespace settings::panes::bluetooth
