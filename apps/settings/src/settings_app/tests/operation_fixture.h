#pragma once

// Driving the application's operation entry points in tests: starts,
// invocations and polls with text payloads, operation ids made from a
// number, and polls repeated until a worker has answered.

#include <chrono>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <thread>

#include "settings_app/settings_app.h"

namespace kalu_ui {
// Readable outcomes in test failures.
inline void PrintTo(const DeviceLocalOutcome& outcome, std::ostream* out) {
  if (const auto* r = std::get_if<DeviceLocalOutcome::Rejected>(&outcome.value)) {
    *out << "Rejected(\"" << r->message << "\")";
  } else if (std::holds_alternative<DeviceLocalOutcome::Accepted>(outcome.value)) {
    *out << "Accepted";
  } else if (std::holds_alternative<DeviceLocalOutcome::NotHandled>(outcome.value)) {
    *out << "NotHandled";
  } else {
    const auto& c = std::get<DeviceLocalOutcome::Completed>(outcome.value);
    *out << "Completed(\"" << c.outcome.text << "\")";
  }
}
}  // namespace kalu_ui

namespace settings::settings_app::testing {

inline kalu_ui::ResourceOperationId op_id(std::uint8_t n) {
  kalu_ui::ResourceOperationId id;
  id.bytes.fill(n);
  return id;
}

inline kalu_ui::Payload bytes_of(std::string_view text) {
  return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

inline kalu_ui::DeviceLocalOutcome start(SettingsApp& app, const kalu_ui::ResourceOperationId& id,
                                         kalu_ui::OperationKind kind, std::string_view action,
                                         std::string_view payload) {
  kalu_ui::ResourceOperationContext context;
  return app.start_resource_operation_with_document(id, kind, action, bytes_of(payload), context);
}

inline kalu_ui::Result<bool> invoke(SettingsApp& app, kalu_ui::OperationKind kind,
                                    std::string_view action, std::string_view payload) {
  kalu_ui::ResourceOperationContext context;
  return app.invoke_resource_operation(kind, action, bytes_of(payload), context);
}

inline std::optional<kalu_ui::ResourceOperationStatus> poll(SettingsApp& app,
                                                            const kalu_ui::ResourceOperationId& id,
                                                            bool cancel = false) {
  kalu_ui::ResourceOperationContext context;
  return app.poll_resource_operation(id, cancel, context);
}

// Polls until the status is final, for a minute at most.
inline std::optional<kalu_ui::ResourceOperationStatus> poll_until_final(
    SettingsApp& app, const kalu_ui::ResourceOperationId& id) {
  const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (std::chrono::steady_clock::now() < give_up) {
    if (auto status = poll(app, id)) return status;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return poll(app, id);
}

inline kalu_ui::DeviceLocalOutcome rejected(std::string message) {
  return kalu_ui::DeviceLocalOutcome::rejected(std::move(message));
}
inline kalu_ui::DeviceLocalOutcome completed() { return kalu_ui::DeviceLocalOutcome::completed(); }
// Completed, saying `text` in its text and, as a JSON string, in its value.
inline kalu_ui::DeviceLocalOutcome said(const std::string& text) {
  return kalu_ui::DeviceLocalOutcome::completed(
      {text, nlohmann::json(text).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace)});
}
inline kalu_ui::DeviceLocalOutcome accepted() { return kalu_ui::DeviceLocalOutcome::accepted(); }
inline kalu_ui::DeviceLocalOutcome not_handled() {
  return kalu_ui::DeviceLocalOutcome::not_handled();
}

}  // namespace settings::settings_app::testing
