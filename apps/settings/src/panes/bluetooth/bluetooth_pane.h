#pragma once

// The Bluetooth pane (Pane::kBluetooth): the adapter's power, discovery, the devices
// the system knows, and per device pairing, connecting, disconnecting,
// trust, an alias and forgetting. It is also the pane that carries out every
// "settings.bluetooth-operation" the executor hands over (request tag 3).
//
// How it runs, on the UI thread inside its widget calls:
// - sync: a pairing result that arrived, the document seeded once, the
//   request turned into the key a press would set, then the handlers
//   (power, discovery, refresh, devices; operations.cpp), then the page.
//   A change the device reports (simdev, another program) reads the adapter
//   and the devices again, as Refresh does.
//   Presses on the page act at the next sync; only a power edit waits for
//   its operation while the pane reports to the application (the toggle is
//   bound to the "bluetooth" action, so a flip arrives as an operation).
// - Every operation taken completes exactly once, under its operation key,
//   into the completion cell: by its handler, by the pairing result, or at
//   once when there is nothing to do (power already as asked, a device that
//   is no longer listed, a second pairing).
// - Every reload of the device list seeds the keys of devices that appeared,
//   and brings "trusted" and "bluetooth.enabled" up to the device's state,
//   so a change made outside never meets a stale document value.
// - Pairing is the one slow call: it runs on a worker thread (workers.h)
//   whose result the next sync takes without waiting.
//
// Hosted by the application (given its request cell), the pane works on a
// document of its own; alone (in tests) on the document it is given.

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "kalu_actions/binding.h"
#include "kalu_ui/document.h"
#include "lib/device_notices.h"
#include "lib/page_pane.h"
#include "operations/link.h"
#include "operations/records.h"
#include "panes/bluetooth/backend.h"
#include "panes/bluetooth/model.h"
#include "panes/bluetooth/workers.h"
#include "vocabulary/registry.h"

namespace settings::panes::bluetooth {

using operations::BluetoothOperation;
using operations::DeviceLocalRequestCell;
using operations::OperationCompletionCell;

// What an operation came to: its success message, or its failure's.
using Outcome = kalu_ui::Result<std::string>;

class BluetoothPane final
    : public lib::PagePane,
      public operations::WithOperationLink<BluetoothPane, BluetoothOperation> {
 public:
  static constexpr std::string_view kTypeName = pane_row(Pane::kBluetooth).type_name;

  // Reads the devices and the adapter's state through the system backend;
  // a failed read gives an empty list, off, not scanning.
  BluetoothPane();
  BluetoothPane(SharedBluetoothBackend backend, std::vector<BluetoothDevice> devices, bool powered,
                bool scanning);
  ~BluetoothPane() override;
  BluetoothPane(BluetoothPane&&) noexcept;
  BluetoothPane& operator=(BluetoothPane&&) noexcept;

  // How pairing threads are started (tests pass their own).
  BluetoothPane&& with_thread_starter(ThreadStarter starter) &&;

  // ---- State, for the page and the tests ----
  const std::vector<BluetoothDevice>& devices() const { return devices_; }
  const std::vector<std::string>& keys() const { return keys_; }
  const std::optional<std::string>& status() const { return status_; }
  const std::optional<std::string>& expanded_device() const { return expanded_device_; }
  const std::optional<std::string>& forget_confirmation() const { return forget_confirmation_; }
  const std::optional<std::string>& pairing_device() const { return pairing_device_; }
  bool powered() const { return powered_; }
  bool scanning() const { return scanning_; }

  // ---- Handlers (operations.cpp), each on the working document ----
  void apply_power(kalu_ui::doc::Document& document);
  void apply_scan(kalu_ui::doc::Document& document);
  void apply_refresh(kalu_ui::doc::Document& document);
  void device_action(kalu_ui::doc::Document& document);
  // Reads the list again (a failure keeps the old one and says so in the
  // status), then the adapter's state; seeds what the fresh list needs.
  void reload_devices(kalu_ui::doc::Document& document);

  // ---- The widget contract ----
  std::string_view type_name() const override { return kTypeName; }
  void sync(kalu_ui::doc::Document& document) override;
  kalu_ui::layout::NodeId build_layout(kalu_ui::layout::LayoutTree& tree,
                                       const kalu_ui::RenderContext& context,
                                       kalu_ui::layout::NodeRegistry& registry) override;

 private:
  // The steps of sync.
  void take_pair_result(kalu_ui::doc::Document& document);
  void seed(kalu_ui::doc::Document& document);
  void take_request(kalu_ui::doc::Document& document);
  void run_handlers(kalu_ui::doc::Document& document);

  void take_power_operation(kalu_ui::doc::Document& document, bool enabled);
  void take_device_operation(kalu_ui::doc::Document& document, std::string_view path, DeviceKey key,
                             const BluetoothOperation& operation);
  // One device's steps, with its keys in the list the loop began with.
  void act_on_device(kalu_ui::doc::Document& document, const BluetoothDevice& device,
                     const DeviceControlIds& ids);
  void connect_or_disconnect(kalu_ui::doc::Document& document, const BluetoothDevice& device,
                             const DeviceControlIds& ids, bool connect);
  void set_trust(kalu_ui::doc::Document& document, const BluetoothDevice& device,
                 const DeviceControlIds& ids, bool trusted);
  void forget_device(kalu_ui::doc::Document& document, const BluetoothDevice& device);
  void start_pairing(const BluetoothDevice& device);
  // Replaces the list and its keys, seeding what the fresh list needs.
  void use_devices(kalu_ui::doc::Document& document, std::vector<BluetoothDevice> fresh);
  // Replaces the list and its keys, nothing more.
  void assign_devices(std::vector<BluetoothDevice> devices);
  void read_adapter_state(kalu_ui::doc::Document& document);
  // Keeps a status that says whether the adapter is on true to powered_.
  void follow_power_text();
  void seed_device(kalu_ui::doc::Document& document, const BluetoothDevice& device,
                   const DeviceControlIds& ids);
  // Whether any per-device key asks for work.
  bool device_keys_pressed(const kalu_ui::doc::Document& document) const;
  // The keys of the device at `path` in the current list, if it is there.
  const DeviceControlIds* ids_of(std::string_view path) const;
  std::optional<kalu_actions::ActionBinding> power_binding() const;

  std::optional<PairReceiver> pair_results_;
  std::vector<BluetoothDevice> devices_;
  // Per device in list order: its key and its control ids.
  std::vector<std::string> keys_;
  std::vector<DeviceControlIds> ids_;
  std::optional<std::string> status_;
  std::optional<std::string> expanded_device_;
  std::optional<std::string> forget_confirmation_;
  std::optional<std::string> pairing_device_;
  SharedBluetoothBackend backend_;
  ThreadStarter start_thread_;
  bool powered_ = false;
  // Notice of changes made to the device from outside (the system backend
  // only): the adapter and the devices are read again.
  std::unique_ptr<lib::DeviceNotices> notices_;
  bool scanning_ = false;
  bool seed_document_ = true;
};

}  // namespace settings::panes::bluetooth
