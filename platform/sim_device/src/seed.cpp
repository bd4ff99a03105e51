// What a fresh simulated device holds: a laptop on a home network with a
// headset, an external monitor and an office printer, so that every pane has
// something real-looking to show and change.
#include <fstream>
#include <sstream>
#include <system_error>

#include "sections.h"

namespace sim_device::detail {

namespace {
// The seeds are fixed texts of this file; a typing slip in one shows in the
// seeding test, never at a user's.
Json literal(const char* text) { return Json::parse(text); }
}  // namespace

Json seed_faults() { return Json::object(); }

Json seed_delays() {
  return literal(R"json({
    "bluez.pair": 1200,
    "network.connect_wifi": 700,
    "network.connect_enterprise_wifi": 900,
    "network.create_mobile_profile": 400,
    "modem.unlock_mobile_sim_on": 500,
    "firmware.refresh_firmware_metadata": 800,
    "firmware.install_job": 600,
    "printing.discover_driverless": 900,
    "kalu-model-manager.install": 6000,
    "kalu-model-manager.stage-accelerator": 4500,
    "kalu-deployment-update.service": 1500,
    "kalu-deployment-rollback.service": 600,
    "kalu-enroll.discover": 1500,
    "kalu-enroll.discover-device": 1500
  })json");
}

Json seed_network() {
  return literal(R"json({
    "wifi_enabled": true,
    "wifi_networks": [
      {"ssid": "Lindenhof", "secured": true, "passphrase": "amber-lantern-42",
       "signal": 3, "state": 1},
      {"ssid": "Nordlicht Cafe Guest", "secured": false, "passphrase": "",
       "signal": 2, "state": 0}
    ],
    "wired": {"present": true, "interface": "enp3s0", "enabled": true,
              "connection": "Wired connection 1", "ipv4": "192.168.1.42/24"},
    "airplane_mode": false,
    "connectivity": 4,
    "captive_portal_uri": "http://portal.nordlicht-cafe.example/login",
    "profiles": [
      {"id": "6f1c2a9e-4b7d-4e02-9a51-3c8d7e2f1b40", "name": "Lindenhof",
       "type": "802-11-wireless", "autoconnect": true, "metered": 0, "mac_policy": 2,
       "proxy_url": null, "ipv4": {"method": "auto", "addresses": [], "gateway": null,
                                   "dns": []}},
      {"id": "0b8e5d3c-2f6a-4c19-8e7b-5a4d3c2b1a09", "name": "Wired connection 1",
       "type": "802-3-ethernet", "autoconnect": true, "metered": 2, "mac_policy": 0,
       "proxy_url": null,
       "ipv4": {"method": "manual", "addresses": ["192.168.1.42/24"],
                "gateway": "192.168.1.1", "dns": ["192.168.1.1", "9.9.9.9"]}}
    ],
    "vpn": [
      {"name": "Office VPN", "uuid": "c3d2e1f0-7a6b-4c5d-8e9f-0a1b2c3d4e5f",
       "type": "wireguard", "active": false}
    ],
    "hotspot": {"active": false, "ssid": "Kalu Hotspot", "password": "", "band": "Automatic",
                "clients": [{"name": "Tablet", "signal_dbm": -48},
                            {"name": "3a:11:9c:40:02:7d", "signal_dbm": null}]}
  })json");
}

Json seed_modem() {
  return literal(R"json({
    "present": true,
    "enabled": false,
    "sims": [
      {"path": "/org/freedesktop/ModemManager1/SIM/0", "label": "SIM 1 · Nordwind Mobile",
       "locked": true, "pin": "2468", "attempts_left": 3}
    ],
    "profiles": []
  })json");
}

Json seed_bluetooth() {
  return literal(R"json({
    "powered": true,
    "scanning": false,
    "devices": [
      {"path": "/org/bluez/hci0/dev_3C_A1_0B_55_21_7E", "address": "3C:A1:0B:55:21:7E",
       "name": "Studio Headphones", "icon": "audio-headphones", "rssi": -52, "battery": 80,
       "paired": true, "trusted": true, "connected": true},
      {"path": "/org/bluez/hci0/dev_F4_12_6D_88_0A_C3", "address": "F4:12:6D:88:0A:C3",
       "name": "Travel Mouse", "icon": "input-mouse", "rssi": null, "battery": 55,
       "paired": true, "trusted": true, "connected": false},
      {"path": "/org/bluez/hci0/dev_58_2F_40_9B_E7_16", "address": "58:2F:40:9B:E7:16",
       "name": "Kitchen Speaker", "icon": "audio-speakers", "rssi": -71, "battery": null,
       "paired": false, "trusted": false, "connected": false}
    ]
  })json");
}

Json seed_audio() {
  return literal(R"json({
    "sinks": [
      {"id": 51, "node_name": "alsa_output.pci-0000_00_1f.3.analog-stereo",
       "display_name": "Built-in Audio Analog Stereo", "codec": null, "channels": 2,
       "volume": 0.6, "muted": false, "default": true},
      {"id": 58, "node_name": "bluez_output.3C_A1_0B_55_21_7E.1",
       "display_name": "Studio Headphones", "codec": "AAC", "channels": 2,
       "volume": 0.45, "muted": false, "default": false}
    ],
    "sources": [
      {"id": 52, "node_name": "alsa_input.pci-0000_00_1f.3.analog-stereo",
       "display_name": "Built-in Audio Analog Stereo", "codec": null, "channels": 2,
       "volume": 0.75, "muted": false, "default": true}
    ],
    "streams": [
      {"id": 70, "playback": true, "app_name": "Web Browser",
       "media_name": "Evening news podcast", "target": null, "volume": 0.8, "muted": false},
      {"id": 74, "playback": false, "app_name": "Voice Recorder", "media_name": "Memo",
       "target": 52, "volume": 1.0, "muted": false}
    ],
    "devices": [
      {"id": 42, "name": "Built-in Audio", "active_profile": 1,
       "profiles": [
         {"index": 0, "name": "Off", "available": true},
         {"index": 1, "name": "Analog Stereo Duplex", "available": true},
         {"index": 2, "name": "Analog Stereo Output", "available": true},
         {"index": 3, "name": "Digital Stereo (HDMI) Output", "available": false}
       ]}
    ]
  })json");
}

// What the audio runtime offers beyond the graph, and the tests running on it
// (media_kit's AudioRuntimeControl); "input_activity" is what the microphone
// meter hears.
Json seed_audio_runtime() {
  return literal(R"json({
    "capabilities": {"balance": true, "mono_output": true, "channel_test": true,
                     "microphone_meter": true},
    "input_activity": 0.42,
    "channel_test": null,
    "microphone_meter": null,
    "notification_sound": "sound-theme"
  })json");
}

Json seed_display() {
  return literal(R"json({
    "brightness": 70,
    "ambient_light_sensor": true,
    "outputs": [
      {"connector": "eDP-1", "name": "Laptop panel", "card": "card0", "internal": true,
       "modes": [{"width": 2880, "height": 1800, "refresh_mhz": 90000},
                 {"width": 2880, "height": 1800, "refresh_mhz": 60000},
                 {"width": 1920, "height": 1200, "refresh_mhz": 60000}],
       "current_mode": {"width": 2880, "height": 1800, "refresh_mhz": 90000},
       "color_profiles": {"built-in-srgb": "Built-in sRGB"},
       "hdr_controllable": false, "hdr_capable": false,
       "hdr_note": "The built-in panel does not report HDR metadata.",
       "vrr_controllable": true, "vrr_capable": true, "vrr_note": null},
      {"connector": "DP-2", "name": "Studio Monitor 27", "card": "card0", "internal": false,
       "modes": [{"width": 3840, "height": 2160, "refresh_mhz": 60000},
                 {"width": 2560, "height": 1440, "refresh_mhz": 144000},
                 {"width": 2560, "height": 1440, "refresh_mhz": 60000},
                 {"width": 1920, "height": 1080, "refresh_mhz": 60000}],
       "current_mode": {"width": 3840, "height": 2160, "refresh_mhz": 60000},
       "color_profiles": {"display-p3": "Display P3", "srgb": "sRGB"},
       "hdr_controllable": true, "hdr_capable": true, "hdr_note": null,
       "vrr_controllable": true, "vrr_capable": true, "vrr_note": null}
    ],
    "config": {
      "eDP-1": {"enabled": true, "primary": true, "scale": 1.5, "x": 0, "y": 0,
                "transform": "normal", "mirror": null, "color_profile": null,
                "mode": {"width": 2880, "height": 1800, "refresh_mhz": 90000},
                "hdr": false, "vrr": true},
      "DP-2": {"enabled": true, "primary": false, "scale": 1.5, "x": 1920, "y": 0,
               "transform": "normal", "mirror": null, "color_profile": "srgb",
               "mode": {"width": 3840, "height": 2160, "refresh_mhz": 60000},
               "hdr": false, "vrr": false}
    },
    "transaction": null,
    "next_transaction_id": 1
  })json");
}

Json seed_power() {
  return literal(R"json({
    "profile": "balanced",
    "available": ["power-saver", "balanced", "performance"]
  })json");
}

Json seed_battery() {
  Json battery = literal(R"json({
    "present": true,
    "percentage": 78,
    "state": "discharging",
    "cycle_count": 214,
    "energy_full_wh": 52.1,
    "energy_full_design_wh": 57.0,
    "time_to_empty_min": 312,
    "charge_capability": {"allowed": [60, 80, 100], "current": 80,
                          "start_threshold": false, "kind": 0},
    "devices": [
      {"kind": "battery", "name": "Internal battery", "model": "Lithium-ion 57 Wh",
       "percentage": 78, "state": "discharging"},
      {"kind": "ups", "name": "Desk UPS", "model": null, "percentage": 100,
       "state": "fully-charged"}
    ],
    "history": []
  })json");
  // A day of hourly samples: charging overnight, draining through the day.
  Json history = Json::array();
  const std::uint64_t start = 1767225600;  // a fixed day, so a fresh device is always the same
  for (int hour = 0; hour < 24; ++hour) {
    int charge = hour < 7 ? 55 + hour * 6 : 100 - (hour - 7) * 3;
    if (charge > 100) charge = 100;
    history.push_back(Json{{"unix_secs", start + static_cast<std::uint64_t>(hour) * 3600},
                           {"percentage", charge}});
  }
  battery["history"] = std::move(history);
  return battery;
}

Json seed_printing() {
  return literal(R"json({
    "queues": [
      {"name": "Office Laser", "default": true, "accepting_jobs": true, "state": "printing",
       "detail": "Monochrome laser · Second floor", "detail2": "Driverless (IPP Everywhere)",
       "supplies": [{"name": "Black toner", "level": 64}], "supply_levels_reported": true}
    ],
    "jobs": [
      {"id": 17, "destination": "Office Laser", "title": "Quarterly report.pdf",
       "owner": "Submitted by you", "extra": "Duplex · A4", "size_bytes": 245760,
       "state": "processing", "pages_completed": 3, "pages_expected": 12}
    ],
    "nearby": [
      {"name": "Studio Inkjet", "uri": "ipp://studio-inkjet.local:631/ipp/print"}
    ],
    "scanners": [
      {"name": "Office Laser Scanner", "detail": "eSCL · office-laser.local"}
    ]
  })json");
}

Json seed_firmware() {
  return literal(R"json({
    "updates": [
      {"device_id": "system-firmware", "device_name": "System Firmware",
       "current_version": "1.14.0", "new_version": "1.15.2",
       "note": "Improves battery charging reliability and fixes a wake-from-sleep issue.",
       "requirements": ["Connect the power adapter"], "restart_required": true}
    ],
    "history": [
      {"device_name": "Touchpad", "state": "success", "previous_version": "2.3",
       "new_version": "2.4", "error": null}
    ],
    "pending_metadata": []
  })json");
}

Json seed_privacy() {
  return literal(R"json({
    "camera_present": true,
    "camera_state": 1,
    "microphone_state": 1,
    "microphone_mute": 0,
    "active_uses": [{"app_name": "Voice Recorder", "kind": 0}]
  })json");
}

Json seed_security() {
  return literal(R"json({
    "root_source": "/dev/mapper/luks-5e2b7c41-9d3a-4f08-b1c6-2a7e9d0f3b85",
    "root_stack": ["crypt", "part", "disk"],
    "firewalld_running": true,
    "secure_boot": true,
    "nft_ruleset": "table inet firewalld {\n\tchain filter_INPUT {\n\t\ttype filter hook input priority filter + 10; policy accept;\n\t\tct state established,related accept\n\t\tiifname \"lo\" accept\n\t\treject with icmpx admin-prohibited\n\t}\n}\n"
  })json");
}

Json seed_time() {
  Json time = literal(R"json({
    "ntp": true,
    "synchronized": true,
    "ntp_server": "0.pool.ntp.org"
  })json");
  time["timezone"] = machine_time_zone();
  return time;
}

Json seed_tools() { return literal(R"json({"opened": []})json"); }

Json seed_storage() {
  return literal(R"json({
    "online": true,
    "folders": [
      {"name": "Documents", "files": [
        {"id": "documents/annual-report.pdf", "name": "annual-report.pdf", "bytes": 2400000,
         "local": true, "remote": "verified"},
        {"id": "documents/thesis-draft.odt", "name": "thesis-draft.odt", "bytes": 860000,
         "local": true, "remote": "unverified"},
        {"id": "documents/notes.md", "name": "notes.md", "bytes": 12000,
         "local": true, "remote": "none"}
      ]},
      {"name": "Photos", "files": [
        {"id": "photos/harbour.jpg", "name": "harbour.jpg", "bytes": 4100000,
         "local": true, "remote": "verified"},
        {"id": "photos/lighthouse.jpg", "name": "lighthouse.jpg", "bytes": 3900000,
         "local": false, "remote": "verified"}
      ]}
    ]
  })json");
}

// Running last month's image with the one before it kept as the fallback; a
// newer image waits in the registry, so the first update check stages it.
Json seed_updates() {
  return literal(R"json({
    "timers": {
      "bootc-fetch-apply-updates.timer": "enabled",
      "kalu-rollback-confirm.timer": "enabled"
    },
    "booted": {"image": "registry.kalu.example/kalu/desktop:42.20250310",
               "version": "42.20250310.0",
               "documentation": "https://kalu.example/releases/42.20250310"},
    "staged": null,
    "rollback": {"image": "registry.kalu.example/kalu/desktop:42.20250224",
                 "version": "42.20250224.0"},
    "available": {"image": "registry.kalu.example/kalu/desktop:42.20250324",
                  "version": "42.20250324.0",
                  "documentation": "https://kalu.example/releases/42.20250324"},
    "policy": {"schedule": "system", "metered": "avoid"},
    "journal": [
      "2025-03-10T04:12:09+0000 kalu-laptop bootc[2214]: Fetching registry.kalu.example/kalu/desktop:42.20250310",
      "2025-03-10T04:14:51+0000 kalu-laptop bootc[2214]: Queued for next boot: registry.kalu.example/kalu/desktop:42.20250310"
    ],
    "restarts": 0
  })json");
}

// The collaboration broker of a person with other certified devices: one of
// them already sealed the home network's password (mode 0, as the network in
// use reports), so Connect there joins without typing it.
Json seed_collaboration() {
  return literal(R"json({
    "available": true,
    "unavailable_reason": "none of your certified devices is reachable",
    "sealed_wifi": [
      {"ssid": "Lindenhof", "mode": 0, "passphrase": "amber-lantern-42"}
    ]
  })json");
}

// The desktop portal: the file chooser's next answer (a path, a cancellation
// or an error) and the addresses opened in the browser.
Json seed_portal() {
  return literal(R"json({
    "file_chooser": {"answer": "path", "path": "/etc/ssl/certs/kalu-office-ca.pem",
                     "error": "the file chooser is not available", "last_title": null},
    "opened_uris": []
  })json");
}

std::string machine_time_zone() {
  std::ifstream in("/etc/timezone");
  std::stringstream text;
  text << in.rdbuf();
  std::string zone = text.str();
  auto first = zone.find_first_not_of(" \t\r\n");
  auto last = zone.find_last_not_of(" \t\r\n");
  if (first != std::string::npos) return zone.substr(first, last - first + 1);
  std::error_code ec;
  auto target = std::filesystem::read_symlink("/etc/localtime", ec).string();
  if (!ec) {
    auto at = target.find("zoneinfo/");
    if (at != std::string::npos && at + 9 < target.size()) return target.substr(at + 9);
  }
  return "UTC";
}

}  // namespace sim_device::detail
