#include "system_ops/bluez.h"

#include <fmt/format.h>

#include "access.h"

namespace system_ops::bluez {

namespace {

using detail::find_item;
using detail::Json;
using kalu_ui::fail;
using kalu_ui::Result;
using kalu_ui::Status;

BluetoothDevice record(const Json& d) {
  BluetoothDevice out;
  out.path = d["path"].get<std::string>();
  out.address = d["address"].get<std::string>();
  auto alias = d.contains("alias") ? detail::opt_text(d["alias"]) : std::nullopt;
  out.name = alias ? *alias : d["name"].get<std::string>();
  out.icon = d["icon"].get<std::string>();
  out.rssi = detail::opt_value<std::int16_t>(d["rssi"]);
  out.battery = detail::opt_value<std::uint8_t>(d["battery"]);
  out.paired = d["paired"].get<bool>();
  out.trusted = d["trusted"].get<bool>();
  out.connected = d["connected"].get<bool>();
  return out;
}

std::string name_of(const Json& d) { return record(d).name; }

// Runs `edit` on the device at `path` of a powered adapter.
Status change_device(std::string_view op, const std::string& path,
                     const std::function<Status(Json& device)>& edit) {
  return device::update(op, [&](Json& state) -> Status {
    Json& bt = state["bluetooth"];
    if (bt["powered"] != true) return fail("Bluetooth is off");
    Json* d = find_item(bt["devices"], "path", path);
    if (d == nullptr) return fail("no Bluetooth device at {}", path);
    return edit(*d);
  });
}

std::string_view trim(std::string_view s) {
  auto first = s.find_first_not_of(" \t\r\n");
  if (first == std::string_view::npos) return {};
  auto last = s.find_last_not_of(" \t\r\n");
  return s.substr(first, last - first + 1);
}

}  // namespace

Result<std::vector<BluetoothDevice>> devices() {
  auto bt = device::section("bluez.devices", "bluetooth");
  if (!bt) return fail(bt.error());
  std::vector<BluetoothDevice> out;
  if ((*bt)["powered"] != true) return out;
  for (const auto& d : (*bt)["devices"]) out.push_back(record(d));
  return out;
}

Result<bool> is_powered() {
  auto bt = device::section("bluez.is_powered", "bluetooth");
  if (!bt) return fail(bt.error());
  return (*bt)["powered"].get<bool>();
}

Result<bool> is_scanning() {
  auto bt = device::section("bluez.is_scanning", "bluetooth");
  if (!bt) return fail(bt.error());
  return (*bt)["powered"].get<bool>() && (*bt)["scanning"].get<bool>();
}

Status set_powered(bool enabled) {
  return device::update("bluez.set_powered", [&](Json& state) -> Status {
    Json& bt = state["bluetooth"];
    bt["powered"] = enabled;
    if (!enabled) {
      bt["scanning"] = false;
      for (auto& d : bt["devices"]) {
        d["connected"] = false;
        d.erase("pairing");
      }
    }
    return {};
  });
}

Status start_scan() {
  return device::update("bluez.start_scan", [&](Json& state) -> Status {
    if (state["bluetooth"]["powered"] != true) return fail("Bluetooth is off");
    state["bluetooth"]["scanning"] = true;
    return {};
  });
}

Status stop_scan() {
  return device::update("bluez.stop_scan", [&](Json& state) -> Status {
    state["bluetooth"]["scanning"] = false;
    return {};
  });
}

PairResult pair(const std::string& path) {
  auto started = change_device("bluez.pair", path, [&](Json& d) -> Status {
    if (d["paired"] == true) return fail("{} is already paired", name_of(d));
    if (d.value("pairing", false)) return fail("{} is already pairing", name_of(d));
    d["pairing"] = true;
    return {};
  });
  if (!started) return fail(started.error());
  auto still_pairing = [&] {
    auto state = device::read();
    if (!state) return false;
    const Json* d = find_item((**state)["bluetooth"]["devices"], "path", path);
    return d != nullptr && d->value("pairing", false);
  };
  device::wait_delay("bluez.pair", [&] { return !still_pairing(); });
  // The device may have been forgotten, switched off or cancelled meanwhile.
  auto connect_error = device::update_with<std::optional<std::string>>(
      /*operation=*/"", [&](Json& state) -> Result<std::optional<std::string>> {
        Json* d = find_item(state["bluetooth"]["devices"], "path", path);
        if (d == nullptr) return fail("the device went away while pairing");
        if (!d->value("pairing", false)) return fail("pairing was cancelled");
        d->erase("pairing");
        (*d)["paired"] = true;
        (*d)["trusted"] = true;
        auto refused =
            d->contains("connect_error") ? detail::opt_text((*d)["connect_error"]) : std::nullopt;
        if (!refused) (*d)["connected"] = true;
        return refused;
      });
  return connect_error;
}

Status cancel_pairing(const std::string& path) {
  return change_device("bluez.cancel_pairing", path, [&](Json& d) -> Status {
    if (!d.value("pairing", false)) {
      return fail("{} is not being paired", name_of(d));
    }
    d.erase("pairing");
    return {};
  });
}

Status connect(const std::string& path) {
  return change_device("bluez.connect", path, [&](Json& d) -> Status {
    if (d["paired"] != true) return fail("{} is not paired", name_of(d));
    if (auto refused =
            d.contains("connect_error") ? detail::opt_text(d["connect_error"]) : std::nullopt) {
      return fail(*refused);
    }
    d["connected"] = true;
    return {};
  });
}

Status disconnect(const std::string& path) {
  return change_device("bluez.disconnect", path, [&](Json& d) -> Status {
    d["connected"] = false;
    return {};
  });
}

Status forget(const std::string& path) {
  return device::update("bluez.forget", [&](Json& state) -> Status {
    Json& list = state["bluetooth"]["devices"];
    for (auto it = list.begin(); it != list.end(); ++it) {
      if ((*it)["path"] == path) {
        list.erase(it);
        return {};
      }
    }
    return fail("no Bluetooth device at {}", path);
  });
}

Status set_trusted(const std::string& path, bool trusted) {
  return change_device("bluez.set_trusted", path, [&](Json& d) -> Status {
    d["trusted"] = trusted;
    return {};
  });
}

Status set_alias(const std::string& path, const std::string& alias) {
  std::string trimmed(trim(alias));
  return change_device("bluez.set_alias", path, [&](Json& d) -> Status {
    if (trimmed.empty()) {
      d.erase("alias");
    } else {
      d["alias"] = trimmed;
    }
    return {};
  });
}

}  // namespace system_ops::bluez
