#pragma once

// The world a Devices & Sync pane runs in, for its tests and its benchmark
// (so it includes no test framework): a temporary device: identity root, identity
// store, configuration folder (settings document, the desktop's state file)
// and a simulated device (the relay configuration beside it), with the
// pane's programs answered by fake scripts that record their arguments and
// standard input and that a test can hold running or make fail.

#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "identity/testing.h"
#include "kalu_ui/document.h"
#include "limited_exec/fake_programs.h"
#include "operations/mailbox_cells.h"
#include "panes/device_mesh/device_mesh_pane.h"
#include "prefs_store/paths.h"
#include "relay/config.h"
#include "sim_device/state.h"

namespace settings::panes::device_mesh::testing {

namespace fs = std::filesystem;

inline std::string read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

inline void write_file(const fs::path& path, const std::string& text) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

// A 64-digit endpoint id made of one repeated digit.
inline std::string node_id(char digit) { return std::string(64, digit); }

inline std::string peer_json(char device, char service, const std::string& label) {
  return "{\"schema_version\": 1, \"device_node_id\": \"" + node_id(device) +
         "\", \"relay_service_node_id\": \"" + node_id(service) +
         "\", \"relay_endpoint\": {}, \"label\": \"" + label +
         "\", \"user_public_key\": [1], \"device_cert\": {}, \"relay_workspace_ids\": []}";
}

class MeshWorld {
 public:
  MeshWorld()
      : temp_(make_temp()),
        root_env_("KALU_IDENTITY_ROOT", (temp_ / "root").string()),
        dir_env_("KALU_IDENTITY_DIR", (temp_ / "identities").string()),
        config_(temp_ / "config") {
    fs::create_directories(temp_ / "root");
    fs::create_directories(calls_dir());
    // Each program records its run n as args.<program>.<n> and
    // stdin.<program>.<n>; "hold.<program>" keeps it running, "fail.<program>"
    // (or "fail.<program>.<n>" for run n) makes it fail with that file's
    // text, "out.<program>" is what it prints.
    for (const auto& [program, name] :
         {std::pair{"pkexec", "pkexec"}, std::pair{"/usr/bin/kalu-enroll", "enroll"},
          std::pair{"/usr/bin/kalu-relay-admin", "admin"}}) {
      fakes_.add(program, script(name));
    }
  }
  ~MeshWorld() { fs::remove_all(temp_); }
  MeshWorld(const MeshWorld&) = delete;
  MeshWorld& operator=(const MeshWorld&) = delete;

  fs::path root() const { return temp_ / "root"; }
  fs::path config_dir() const { return temp_ / "config"; }
  fs::path calls_dir() const { return temp_ / "calls"; }
  limited_exec::FakePrograms& fakes() { return fakes_; }

  // The desktop's workspaces: (name, id) pairs.
  void workspaces(const std::vector<std::pair<std::string, std::uint64_t>>& list) {
    std::string items;
    for (const auto& [name, id] : list) {
      if (!items.empty()) items += ",";
      items += "{\"name\": \"" + name + "\", \"id\": " + std::to_string(id) + "}";
    }
    write_file(config_dir() / "kalu/state.json", "{\"workspaces\": [" + items + "]}");
  }
  [[nodiscard]] bool relay(const kalu_relay::RelayConfig& config) {
    return kalu_relay::write(kalu_relay::relay_config_path(), config).has_value();
  }
  void home_peers(const std::vector<std::string>& records) {
    std::string text = "[";
    for (std::size_t i = 0; i < records.size(); ++i) text += (i ? "," : "") + records[i];
    write_file(root() / "home-peers.json", text + "]");
  }

  // Control over the fake programs ("pkexec", "enroll", "admin").
  void hold(const std::string& name) { write_file(calls_dir() / ("hold." + name), ""); }
  void release(const std::string& name) { fs::remove(calls_dir() / ("hold." + name)); }
  void fail(const std::string& name, const std::string& text) {
    write_file(calls_dir() / ("fail." + name), text);
  }
  void succeed(const std::string& name) { fs::remove(calls_dir() / ("fail." + name)); }
  // Only run `n` (from 1) fails.
  void fail_run(const std::string& name, int n, const std::string& text) {
    write_file(calls_dir() / ("fail." + name + "." + std::to_string(n)), text);
  }
  void output(const std::string& name, const std::string& text) {
    write_file(calls_dir() / ("out." + name), text);
  }
  int runs(const std::string& name) const {
    int n = 0;
    while (fs::exists(calls_dir() / ("args." + name + "." + std::to_string(n + 1)))) ++n;
    return n;
  }
  // The arguments of run `n` (from 1), one per element.
  std::vector<std::string> args(const std::string& name, int n) const {
    std::vector<std::string> lines;
    std::istringstream in(read_file(calls_dir() / ("args." + name + "." + std::to_string(n))));
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }
  std::string input(const std::string& name, int n) const {
    return read_file(calls_dir() / ("stdin." + name + "." + std::to_string(n)));
  }

 private:
  static fs::path make_temp() {
    char tmpl[] = "/tmp/device_mesh_pane.XXXXXX";
    return ::mkdtemp(tmpl);
  }
  std::string script(const std::string& name) const {
    const std::string d = "'" + calls_dir().string() + "'";
    return "n=1; while [ -e " + d + "/args." + name + ".$n ]; do n=$((n+1)); done\n" + "cat > " +
           d + "/stdin." + name + ".$n\n" + "printf '%s\\n' \"$@\" > " + d + "/args." + name +
           ".tmp && mv " + d + "/args." + name + ".tmp " + d + "/args." + name + ".$n\n" +
           "while [ -e " + d + "/hold." + name + " ]; do sleep 0.02; done\n" + "if [ -e " + d +
           "/fail." + name + ".$n ]; then cat " + d + "/fail." + name + ".$n >&2; exit 1; fi\n" +
           "if [ -e " + d + "/fail." + name + " ]; then cat " + d + "/fail." + name +
           " >&2; exit 1; fi\n" + "if [ -e " + d + "/out." + name + " ]; then cat " + d + "/out." +
           name + "; fi\n";
  }

  fs::path temp_;
  identity_testing::ScopedEnv root_env_;
  identity_testing::ScopedEnv dir_env_;
  prefs_store::ScopedConfigDir config_;
  sim_device::ScopedDeviceState device_;
  limited_exec::FakePrograms fakes_;
};

}  // namespace settings::panes::device_mesh::testing
