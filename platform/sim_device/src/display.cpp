#include "sim_device/display.h"

namespace sim_device::display {
namespace {

const Json* testing_transaction(const Json& state) {
  const auto display = state.find("display");
  if (display == state.end() || !display->is_object()) return nullptr;
  const auto t = display->find("transaction");
  if (t == display->end() || !t->is_object()) return nullptr;
  const auto s = t->find("state");
  if (s == t->end() || *s != kTesting) return nullptr;
  return &*t;
}

}  // namespace

std::int64_t safety_test_millis(const Json& state) {
  const auto delays = state.find("delays");
  if (delays == state.end() || !delays->is_object()) return kSafetyTestMillis;
  const auto found = delays->find("display.safety_test");
  if (found == delays->end() || !found->is_number_integer()) return kSafetyTestMillis;
  return std::max<std::int64_t>(found->get<std::int64_t>(), 0);
}

void apply_config(Json& display, const Json& config) {
  display["config"] = config;
  for (auto& output : display["outputs"]) {
    const auto entry = config.find(output["connector"].get<std::string>());
    if (entry == config.end() || !(*entry)["enabled"].get<bool>() || (*entry)["mode"].is_null()) {
      continue;
    }
    output["current_mode"] = (*entry)["mode"];
  }
}

bool test_running(const Json& state) { return testing_transaction(state) != nullptr; }

bool test_overdue(const Json& state, std::int64_t now) {
  const Json* t = testing_transaction(state);
  if (t == nullptr) return false;
  const auto deadline = t->find("deadline_unix_ms");
  return deadline != t->end() && deadline->is_number_integer() &&
         now >= deadline->get<std::int64_t>();
}

bool expire_overdue_test(Json& state, std::int64_t now) {
  if (!test_overdue(state, now)) return false;
  Json& display = state["display"];
  Json& t = display["transaction"];
  const Json previous = t["previous"];
  apply_config(display, previous);
  t["state"] = kReverted;
  t["message"] = kExpiredMessage;
  return true;
}

}  // namespace sim_device::display
