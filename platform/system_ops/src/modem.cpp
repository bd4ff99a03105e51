#include <fmt/format.h>

#include "access.h"
#include "system_ops/network.h"

namespace system_ops::modem {

using detail::find_item;
using detail::Json;
using kalu_ui::fail;
using kalu_ui::Result;
using kalu_ui::Status;

Result<std::vector<MobileSim>> list_mobile_sims() {
  auto modem = device::section("modem.list_mobile_sims", "modem");
  if (!modem) return fail(modem.error());
  std::vector<MobileSim> out;
  if ((*modem)["present"] != true) return out;
  for (const auto& sim : (*modem)["sims"]) {
    out.push_back({sim["path"].get<std::string>(), sim["label"].get<std::string>()});
  }
  return out;
}

Status unlock_mobile_sim_on(const std::string& sim_path, const std::string& pin) {
  device::wait_delay("modem.unlock_mobile_sim_on");
  // A wrong PIN is written (one attempt fewer) and still fails, so the edit
  // answers the refusal as its value.
  auto refusal = device::update_with<std::string>(
      "modem.unlock_mobile_sim_on", [&](Json& state) -> Result<std::string> {
        Json& modem = state["modem"];
        if (modem["present"] != true) return fail("this device has no mobile broadband modem");
        Json* sim = find_item(modem["sims"], "path", sim_path);
        if (sim == nullptr) return fail("no SIM at {}", sim_path);
        if ((*sim)["locked"] != true) return std::string();
        int left = (*sim)["attempts_left"].get<int>();
        if (left == 0) return fail("The SIM is blocked; unblock it with the PUK from your carrier");
        if (pin != (*sim)["pin"]) {
          (*sim)["attempts_left"] = left - 1;
          if (left - 1 == 0) {
            return std::string("Wrong SIM PIN; the SIM is now blocked and needs its PUK");
          }
          return fmt::format("Wrong SIM PIN; {} attempt{} left", left - 1,
                             left - 1 == 1 ? "" : "s");
        }
        (*sim)["locked"] = false;
        (*sim)["attempts_left"] = 3;
        return std::string();
      });
  if (!refusal) return fail(refusal.error());
  if (!refusal->empty()) return fail(*refusal);
  return {};
}

}  // namespace system_ops::modem
