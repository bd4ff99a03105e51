#pragma once

// A Devices & Sync pane on its temporary device (mesh_fixture.h), hosted as
// the application hosts it, for the pane's tests.

#include <gtest/gtest.h>

#include "panes/device_mesh/tests/mesh_fixture.h"

namespace settings::panes::device_mesh::testing {

// The pane as the application hosts it: its request cell, the completion
// cell and the document it keeps.
struct HostedPane {
  std::shared_ptr<operations::DeviceLocalRequestCell> requests =
      operations::DeviceLocalRequestCell::create({});
  std::shared_ptr<operations::OperationCompletionCell> completion =
      operations::OperationCompletionCell::create({});
  std::unique_ptr<DeviceMeshPane> pane;
  kalu_ui::doc::Document unused;

  HostedPane()
      : pane(std::make_unique<DeviceMeshPane>(
            DeviceMeshPane().with_operation_requests(requests).with_operation_completion(
                completion))) {}

  kalu_ui::doc::Document& document() { return pane->link().own_document(); }
  void sync() { pane->sync(unused); }

  // Puts the operation in the request cell, as the executor does.
  void hand_over(const DeviceMeshOperation& operation) {
    (void)requests->publish(
        operations::DeviceLocalRequest(std::in_place_type<DeviceMeshOperation>, operation));
  }
  // Hands the operation over as the executor does (Pending under its key)
  // and lets the pane take it.
  std::string start(const DeviceMeshOperation& operation) {
    const std::string key = operations::operation_key(operation);
    (void)completion->publish(operations::OperationCompletion::Pending{key});
    hand_over(operation);
    sync();
    return key;
  }
  // Syncs until no command runs (at most a minute).
  void settle() {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    do {
      sync();
      if (!pane->applying() && !pane->pairing() && !pane->probing()) return;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    } while (std::chrono::steady_clock::now() < end);
    ADD_FAILURE() << "a command was still running after a minute";
  }
  // Syncs until the fake `name` has started run `n`.
  void wait_for_run(const MeshWorld& world, const std::string& name, int n) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (world.runs(name) < n && std::chrono::steady_clock::now() < end) {
      sync();
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_GE(world.runs(name), n);
  }
  void press(const std::string& flag) {
    (void)document().put(kalu_ui::doc::kRoot, flag, kalu_ui::doc::Scalar(true));
    sync();
  }
  operations::OperationCompletion outcome() const { return completion->get(); }
};

inline operations::OperationCompletion succeeded(const std::string& key) {
  return operations::OperationCompletion::Succeeded{key, std::string(kSavedMessage)};
}
inline operations::OperationCompletion failed(const std::string& key, const std::string& message) {
  return operations::OperationCompletion::Failed{key, message};
}

}  // namespace settings::panes::device_mesh::testing
