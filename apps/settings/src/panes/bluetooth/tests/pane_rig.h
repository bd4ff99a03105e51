#pragma once

// A Bluetooth pane as the application holds it (hosted and reporting, with
// cells of the test's own) over a FakeBackend, with the executor's side of
// an operation: the request and Pending under its key.

#include <memory>
#include <string>
#include <utility>

#include "fake_backend.h"
#include "operations/keys.h"
#include "panes/bluetooth/bluetooth_pane.h"

namespace settings::panes::bluetooth::testing {

namespace doc = kalu_ui::doc;
using operations::DeviceLocalRequest;
using operations::OperationCompletion;
using Op = BluetoothOperation;

inline std::string key_of(const Op& operation) { return operations::operation_key(operation); }
inline OperationCompletion succeeded(const Op& operation, std::string message) {
  return OperationCompletion::Succeeded{key_of(operation), std::move(message)};
}
inline OperationCompletion failed(const Op& operation, std::string message) {
  return OperationCompletion::Failed{key_of(operation), std::move(message)};
}

struct Rig {
  explicit Rig(std::shared_ptr<FakeBackend> fake = std::make_shared<FakeBackend>(),
               ThreadStarter starter = &start_detached_thread)
      : backend(std::move(fake)), pane(make(std::move(starter))) {
    sync();  // the first sync seeds the document
  }

  BluetoothPane make(ThreadStarter starter) {
    return BluetoothPane(backend, backend->devices().value_or(std::vector<BluetoothDevice>{}),
                         backend->is_powered().value_or(false),
                         backend->is_scanning().value_or(false))
        .with_operation_requests(requests)
        .with_operation_completion(completion)
        .with_thread_starter(std::move(starter));
  }

  doc::Document& document() { return pane.link().own_document(); }
  void sync() { pane.sync(toolkit_document); }
  // The executor's hand-over, then the pane's next sync.
  void request(const Op& operation) {
    completion->publish(OperationCompletion::Pending{key_of(operation)});
    requests->publish(DeviceLocalRequest(std::in_place_type<Op>, operation));
    sync();
  }
  // A press on the page: the button's key set, then the pane's next sync.
  void press(const std::string& key) {
    (void)document().put(doc::kRoot, key, doc::Scalar(true));
    sync();
  }
  OperationCompletion outcome() const { return completion->get(); }
  std::optional<bool> read_bool(std::string_view key) {
    return document().read_bool(doc::kRoot, key);
  }

  std::shared_ptr<FakeBackend> backend;
  std::shared_ptr<operations::DeviceLocalRequestCell> requests =
      operations::DeviceLocalRequestCell::create({});
  std::shared_ptr<operations::OperationCompletionCell> completion =
      operations::OperationCompletionCell::create({});
  BluetoothPane pane;
  doc::Document toolkit_document;
};

inline const std::string kHeadphones = "/org/bluez/hci0/dev_AA";
inline const std::string kMouse = "/org/bluez/hci0/dev_BB";
inline const std::string kSpeaker = "/org/bluez/hci0/dev_CC";

}  // namespace settings::panes::bluetooth::testing
