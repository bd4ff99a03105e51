#pragma once

// The Sound pane on the fakes (fakes.h), with request and completion cells of
// the test's own: operations handed over as the executor does, frames run
// until something holds, and what completes.

#include <gtest/gtest.h>

#include "fakes.h"

namespace settings::panes::audio::testing {

// A pane on the fakes; hosted and reporting to cells of the test's own
// unless told otherwise. `setup` edits the fakes before the pane is built.
struct PaneFixture {
  explicit PaneFixture(bool hosted = true, const std::function<void(Fakes&)>& setup = {}) {
    if (setup) setup(fakes);
    AudioPane made(fakes.dependencies());
    pane = hosted ? std::make_unique<AudioPane>(
                        std::move(made).with_operation_requests(requests).with_operation_completion(
                            completion))
                  : std::make_unique<AudioPane>(std::move(made));
  }

  kalu_ui::doc::Document& doc() {
    return pane->link().hosted() ? pane->link().own_document() : toolkit;
  }
  void sync() { pane->sync(toolkit); }

  // Runs frames until `done` answers true (or a long while passed).
  bool sync_until(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    sync();
    while (!done()) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
      sync();
    }
    return true;
  }
  // Tells the graph watcher the device changed and runs frames until `done`.
  bool graph_changed(const std::function<bool()>& done) {
    fakes.changes->changed();
    return sync_until(done);
  }

  // Until the worker has answered the constructor's readings.
  bool settle() {
    return sync_until([&] { return pane->input_level() == fakes.tool->level; });
  }

  // Hands an operation over as the executor does: the request and Pending.
  std::string start(const AudioOperation& operation) {
    std::string key = operations::operation_key(kAudioActionId, operation);
    completion->publish(operations::OperationCompletion::Pending{key});
    requests->publish(
        operations::DeviceLocalRequest(std::in_place_type<AudioOperation>, operation));
    return key;
  }
  operations::OperationCompletion outcome() const { return completion->get(); }
  bool pending() const {
    return std::holds_alternative<operations::OperationCompletion::Pending>(outcome());
  }
  // The poll's collection: back to idle.
  void collect() { completion->publish(operations::OperationCompletion::Idle{}); }

  // Hands `operation` over, runs frames until it is final, answers that
  // state, collects it and checks nothing more is reported for it.
  operations::OperationCompletion run(const AudioOperation& operation) {
    start(operation);
    if (!sync_until([&] { return !pending(); })) return outcome();
    const operations::OperationCompletion final_state = outcome();
    collect();
    for (int i = 0; i < 3; ++i) sync();
    if (outcome() != operations::OperationCompletion(operations::OperationCompletion::Idle{})) {
      ADD_FAILURE() << "reported twice";
    }
    return final_state;
  }

  Fakes fakes;
  std::shared_ptr<operations::DeviceLocalRequestCell> requests =
      operations::DeviceLocalRequestCell::create({});
  std::shared_ptr<operations::OperationCompletionCell> completion =
      operations::OperationCompletionCell::create({});
  kalu_ui::doc::Document toolkit;
  std::unique_ptr<AudioPane> pane;
};

inline operations::OperationCompletion succeeded(const AudioOperation& operation,
                                                 std::string message) {
  return operations::OperationCompletion::Succeeded{
      operations::operation_key(kAudioActionId, operation), std::move(message)};
}
inline operations::OperationCompletion failed(const AudioOperation& operation,
                                              std::string message) {
  return operations::OperationCompletion::Failed{
      operations::operation_key(kAudioActionId, operation), std::move(message)};
}

}  // namespace settings::panes::audio::testing
