#include "sections.h"

#include <cstdint>
#include <limits>

#include "model_manager.h"

namespace sim_device::detail {

namespace {

using S = Shape;
constexpr std::int64_t kU32 = std::numeric_limits<std::uint32_t>::max();
constexpr std::int64_t kU64 = std::numeric_limits<std::int64_t>::max();

S byte() { return S::integer(0, 255); }
S percent() { return S::integer(0, 100); }
S level() { return S::number(0.0, 1.0); }
S opt_text() { return S::text().or_null(); }

// Shapes and the table are never destroyed: detached workers may still check
// a state while the process tears its statics down.
#define KALU_SHAPE(fn, ...)                              \
  const Shape& fn() {                                    \
    static const Shape& shape = *new Shape(__VA_ARGS__); \
    return shape;                                        \
  }

KALU_SHAPE(faults_shape, S::map(S::text()))
KALU_SHAPE(delays_shape, S::map(S::integer(0, 600000)))

S ipv4_shape() {
  return S::object({req("method", S::one_of({"auto", "manual", "link-local", "disabled"})),
                    req("addresses", S::list(S::text())), req("gateway", opt_text()),
                    req("dns", S::list(S::text()))});
}

KALU_SHAPE(
    network_shape,
    S::object({
        req("wifi_enabled", S::boolean()),
        req("wifi_networks",
            S::list(S::object({req("ssid", S::text()), req("secured", S::boolean()),
                               req("passphrase", S::text()), req("signal", byte()),
                               req("state", byte())}),
                    "ssid")),
        req("wired", S::object({req("present", S::boolean()), req("interface", opt_text()),
                                req("enabled", S::boolean()), req("connection", opt_text()),
                                req("ipv4", opt_text())})),
        req("airplane_mode", S::boolean()),
        req("connectivity", S::integer(0, 4)),
        req("captive_portal_uri", opt_text()),
        req("profiles",
            S::list(S::object({req("id", S::text()), req("name", S::text()), req("type", S::text()),
                               req("autoconnect", S::boolean()), req("metered", S::integer(0, 2)),
                               req("mac_policy", S::integer(0, 2)), req("proxy_url", opt_text()),
                               req("ipv4", ipv4_shape())}),
                    "id")),
        req("vpn", S::list(S::object({req("name", S::text()), req("uuid", S::text()),
                                      req("type", S::text()), req("active", S::boolean())}),
                           "name")),
        req("hotspot",
            S::object({req("active", S::boolean()), req("ssid", S::text()),
                       req("password", S::text()),
                       req("band", S::one_of({"Automatic", "2.4 GHz", "5 GHz"})),
                       req("clients", S::list(S::object({req("name", S::text()),
                                                         req("signal_dbm",
                                                             S::integer(-150, 0).or_null())})))})),
    }))

KALU_SHAPE(modem_shape,
           S::object({req("present", S::boolean()), req("enabled", S::boolean()),
                      req("sims",
                          S::list(S::object({req("path", S::text()), req("label", S::text()),
                                             req("locked", S::boolean()), req("pin", S::text()),
                                             req("attempts_left", S::integer(0, 10))}),
                                  "path")),
                      req("profiles",
                          S::list(S::object({req("name", S::text()), req("apn", S::text())})))}))

KALU_SHAPE(
    bluetooth_shape,
    S::object({req("powered", S::boolean()), req("scanning", S::boolean()),
               req("devices",
                   S::list(S::object({req("path", S::text()), req("address", S::text()),
                                      req("name", S::text()), req("icon", S::text()),
                                      req("rssi", S::integer(-32768, 32767).or_null()),
                                      req("battery", percent().or_null()),
                                      req("paired", S::boolean()), req("trusted", S::boolean()),
                                      req("connected", S::boolean()), opt("alias", opt_text()),
                                      opt("pairing", S::boolean()),
                                      opt("connect_error", opt_text())}),
                           "path"))}))

S audio_node_shape() {
  return S::object({req("id", S::integer(0, kU32)), req("node_name", S::text()),
                    req("display_name", S::text()), req("codec", opt_text()),
                    req("channels", S::integer(1, 64)), req("volume", level()),
                    req("muted", S::boolean()), req("default", S::boolean())});
}

KALU_SHAPE(
    audio_shape,
    S::object(
        {req("sinks", S::list(audio_node_shape(), "id")),
         req("sources", S::list(audio_node_shape(), "id")),
         req("streams",
             S::list(S::object({req("id", S::integer(0, kU32)), req("playback", S::boolean()),
                                req("app_name", S::text()), req("media_name", opt_text()),
                                req("target", S::integer(0, kU32).or_null()),
                                req("volume", level().or_null()), req("muted", S::boolean())}),
                     "id")),
         req("devices", S::list(S::object({req("id", S::integer(0, kU32)), req("name", S::text()),
                                           req("active_profile", S::integer(0, kU32).or_null()),
                                           req("profiles",
                                               S::list(S::object({req("index", S::integer(0, kU32)),
                                                                  req("name", S::text()),
                                                                  req("available", S::boolean())}),
                                                       "index"))}),
                                "id"))}))

KALU_SHAPE(
    audio_runtime_shape,
    S::object({req("capabilities",
                   S::object({req("balance", S::boolean()), req("mono_output", S::boolean()),
                              req("channel_test", S::boolean()),
                              req("microphone_meter", S::boolean())})),
               req("input_activity", level()),
               req("channel_test", S::object({req("token", S::text()), req("sink", S::text()),
                                              req("channel", S::one_of({"left", "right"})),
                                              req("ends_at_ms", S::integer(0, kU64))})
                                       .or_null()),
               req("microphone_meter", S::object({req("token", S::text()), req("source", S::text()),
                                                  req("ends_at_ms", S::integer(0, kU64))})
                                           .or_null()),
               opt("notification_sound", S::one_of({"sound-theme", "pipewire", "none"}))}))

S mode_shape() {
  return S::object({req("width", S::integer(1, 65535)), req("height", S::integer(1, 65535)),
                    req("refresh_mhz", S::integer(1, kU32))});
}

S output_config_shape() {
  return S::object({req("enabled", S::boolean()), req("primary", S::boolean()),
                    req("scale", S::number(0.25, 4.0)), req("x", S::integer(-65535, 65535)),
                    req("y", S::integer(-65535, 65535)),
                    req("transform", S::one_of({"normal", "rotate90", "rotate180", "rotate270"})),
                    req("mirror", opt_text()), req("color_profile", opt_text()),
                    req("mode", mode_shape().or_null()), req("hdr", S::boolean()),
                    req("vrr", S::boolean())});
}

KALU_SHAPE(
    display_shape,
    S::object({
        req("brightness", S::number(0.0, 100.0)),
        req("ambient_light_sensor", S::boolean()),
        req("outputs",
            S::list(S::object({req("connector", S::text()), req("name", S::text()),
                               req("card", S::text()), req("internal", S::boolean()),
                               req("modes", S::list(mode_shape())),
                               req("current_mode", mode_shape().or_null()),
                               req("color_profiles", S::map(S::text())),
                               req("hdr_controllable", S::boolean()),
                               req("hdr_capable", S::boolean()), req("hdr_note", opt_text()),
                               req("vrr_controllable", S::boolean()),
                               req("vrr_capable", S::boolean()), req("vrr_note", opt_text())}),
                    "connector")),
        req("config", S::map(output_config_shape())),
        req("transaction",
            S::object({req("id", S::integer(0, kU64)), req("state", byte()),
                       req("deadline_unix_ms", S::integer(0, kU64).or_null()),
                       req("message", opt_text()), req("previous", S::map(output_config_shape())),
                       req("requested", S::map(output_config_shape()))})
                .or_null()),
        req("next_transaction_id", S::integer(1, kU64)),
    }))

KALU_SHAPE(power_shape,
           S::object({req("profile", S::one_of({"power-saver", "balanced", "performance"})),
                      req("available",
                          S::list(S::one_of({"power-saver", "balanced", "performance"})))}))

KALU_SHAPE(battery_shape,
           S::object({
               req("present", S::boolean()),
               req("percentage", percent()),
               req("state", S::one_of({"charging", "discharging", "fully-charged", "pending-charge",
                                       "empty", "unknown"})),
               req("cycle_count", S::integer(0, kU32).or_null()),
               req("energy_full_wh", S::number(0.0, 10000.0)),
               req("energy_full_design_wh", S::number(0.0, 10000.0)),
               req("time_to_empty_min", S::integer(0, kU32).or_null()),
               req("charge_capability",
                   S::object({req("allowed", S::list(percent())), req("current", percent()),
                              req("start_threshold", S::boolean()), req("kind", S::integer(0, 2))})
                       .or_null()),
               req("devices",
                   S::list(S::object({req("kind", S::one_of({"battery", "ups"})),
                                      req("name", S::text()), req("model", opt_text()),
                                      req("percentage", percent()), req("state", S::text())}))),
               req("history", S::list(S::object({req("unix_secs", S::integer(0, kU64)),
                                                 req("percentage", percent())}))),
           }))

KALU_SHAPE(
    printing_shape,
    S::object({
        req("queues",
            S::list(S::object({req("name", S::text()), req("default", S::boolean()),
                               req("accepting_jobs", S::boolean()),
                               req("state", S::one_of({"ready", "printing", "paused", "offline"})),
                               req("detail", S::text()), req("detail2", opt_text()),
                               // A printer may not report a supply's level.
                               req("supplies",
                                   S::list(S::object({req("name", S::text()),
                                                      opt("level", percent().or_null())}))),
                               req("supply_levels_reported", S::boolean())}),
                    "name")),
        req("jobs",
            S::list(S::object({req("id", S::integer(0, kU32)), req("destination", S::text()),
                               req("title", S::text()), req("owner", S::text()),
                               req("extra", opt_text()), req("size_bytes", S::integer(0, kU64)),
                               // Any state the service may name ("pending",
                               // "held", "processing", "stopped", "canceled",
                               // "aborted", "completed" are known), or none.
                               opt("state", S::text().or_null()),
                               req("pages_completed", S::integer(0, kU32)),
                               req("pages_expected", S::integer(0, kU32))}),
                    "id")),
        req("nearby", S::list(S::object({req("name", S::text()), req("uri", S::text())}), "name")),
        req("scanners", S::list(S::object({req("name", S::text()), req("detail", S::text())}))),
    }))

S firmware_update_shape() {
  return S::object({req("device_id", S::text()), req("device_name", S::text()),
                    req("current_version", opt_text()), req("new_version", opt_text()),
                    req("note", opt_text()), req("requirements", S::list(S::text())),
                    req("restart_required", S::boolean())});
}

KALU_SHAPE(
    firmware_shape,
    S::object({req("updates", S::list(firmware_update_shape(), "device_id")),
               req("history",
                   S::list(S::object({req("device_name", S::text()), req("state", S::text()),
                                      req("previous_version", opt_text()),
                                      req("new_version", opt_text()), req("error", opt_text())}))),
               req("pending_metadata", S::list(firmware_update_shape()))}))

KALU_SHAPE(privacy_shape,
           S::object({req("camera_present", S::boolean()), req("camera_state", S::integer(0, 3)),
                      req("microphone_state", S::integer(0, 3)),
                      req("microphone_mute", S::integer(0, 2)),
                      req("active_uses", S::list(S::object({req("app_name", S::text()),
                                                            req("kind", S::integer(0, 1))})))}))

KALU_SHAPE(security_shape,
           S::object({req("root_source", S::text()), req("root_stack", S::list(S::text())),
                      req("firewalld_running", S::boolean()), req("nft_ruleset", S::text()),
                      opt("secure_boot", S::boolean().or_null())}))

KALU_SHAPE(time_shape, S::object({req("timezone", S::text()), req("ntp", S::boolean()),
                                  req("synchronized", S::boolean()), req("ntp_server", opt_text()),
                                  // Set, the device's clock stands still at this instant
                                  // (sim_device/clock.h); tests move it by hand.
                                  opt("clock_unix_ms", S::integer(0, kU64))}))

KALU_SHAPE(tools_shape,
           S::object({req("opened", S::list(S::object({req("intent", S::text()),
                                                       req("page", S::integer(0, 255).or_null()),
                                                       req("subject", opt_text())})))}))

// Synced folders: each file held here ("local") or not, its copy on other
// devices missing, not yet verified or verified (host_fs serves it).
S synced_file_shape() {
  return S::object({req("id", S::text()), req("name", S::text()), req("bytes", S::integer(0, kU64)),
                    req("local", S::boolean()),
                    req("remote", S::one_of({"none", "unverified", "verified"})),
                    opt("queued", S::boolean())});
}

KALU_SHAPE(storage_shape,
           S::object({req("online", S::boolean()),
                      req("folders",
                          S::list(S::object({req("name", S::text()),
                                             req("files", S::list(synced_file_shape(), "id"))}),
                                  "name"))}))

S image_shape() {
  return S::object(
      {req("image", S::text()), req("version", S::text()), opt("documentation", opt_text())});
}

KALU_SHAPE(updates_shape,
           S::object({req("timers", S::map(S::one_of({"enabled", "enabled-runtime", "disabled",
                                                      "masked", "static"}))),
                      req("booted", image_shape()), req("staged", image_shape().or_null()),
                      req("rollback", image_shape().or_null()),
                      req("available", image_shape().or_null()), req("policy", S::map(S::text())),
                      req("journal", S::list(S::text())), req("restarts", S::integer(0, kU32))}))

KALU_SHAPE(
    users_shape,
    S::object({req("accounts",
                   S::list(S::object({req("name", S::text()), req("uid", S::integer(0, kU32)),
                                      req("gid", S::integer(0, kU32)), req("gecos", S::text()),
                                      req("home", S::text()), req("shell", S::text()),
                                      req("password_set", S::boolean())}),
                           "name")),
               req("groups",
                   S::list(S::object({req("name", S::text()), req("gid", S::integer(0, kU32)),
                                      req("members", S::list(S::text()))}),
                           "name")),
               req("automatic_login", opt_text())}))

// Passwords sealed for the person's certified devices, one per network and
// security mode.
KALU_SHAPE(collaboration_shape,
           S::object({req("available", S::boolean()), req("unavailable_reason", S::text()),
                      req("sealed_wifi",
                          S::list(S::object({req("ssid", S::text()), req("mode", S::integer(0, 1)),
                                             req("passphrase", S::text())})))}))

KALU_SHAPE(portal_shape,
           S::object({req("file_chooser",
                          S::object({req("answer", S::one_of({"path", "cancel", "error"})),
                                     req("path", S::text()), req("error", S::text()),
                                     req("last_title", opt_text())})),
                      req("opened_uris", S::list(S::text()))}))

#undef KALU_SHAPE

Json seed_version() { return 1; }
const Shape& version_shape() {
  static const Shape& shape = *new Shape(S::integer(1, 1));
  return shape;
}

}  // namespace

const std::vector<SectionSpec>& section_table() {
  static const std::vector<SectionSpec>& table = *new std::vector<SectionSpec>{
      {"version", seed_version, version_shape},
      {"faults", seed_faults, faults_shape},
      {"delays", seed_delays, delays_shape},
      {"network", seed_network, network_shape},
      {"modem", seed_modem, modem_shape},
      {"bluetooth", seed_bluetooth, bluetooth_shape},
      {"audio", seed_audio, audio_shape},
      {"audio_runtime", seed_audio_runtime, audio_runtime_shape},
      {"display", seed_display, display_shape},
      {"power", seed_power, power_shape},
      {"battery", seed_battery, battery_shape},
      {"printing", seed_printing, printing_shape},
      {"firmware", seed_firmware, firmware_shape},
      {"privacy", seed_privacy, privacy_shape},
      {"security", seed_security, security_shape},
      {"time", seed_time, time_shape},
      {"tools", seed_tools, tools_shape},
      {"storage", seed_storage, storage_shape},
      {"models", seed_models, models_shape},
      {"updates", seed_updates, updates_shape},
      {"users", seed_users, users_shape},
      {"collaboration", seed_collaboration, collaboration_shape},
      {"portal", seed_portal, portal_shape},
  };
  return table;
}

}  // namespace sim_device::detail
