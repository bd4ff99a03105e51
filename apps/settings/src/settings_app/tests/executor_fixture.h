#pragma once

// What the executor's tests run on: a simulated device in a temporary state,
// a configuration directory of their own (the settings document), a small
// keyboard layout catalogue and a small time-zone table.

#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "app_fixture.h"
#include "prefs_store/document.h"
#include "prefs_store/paths.h"
#include "settings_app/executor.h"
#include "sim_device/state.h"
#include "system_ops/time.h"
#include "vocabulary/input_sources.h"

namespace settings::settings_app::testing {

// Five layouts and a variant; "German" of the built-in list is not among them.
inline constexpr std::string_view kRulesXml = R"(<?xml version="1.0" encoding="UTF-8"?>
<xkbConfigRegistry version="1.1">
  <layoutList>
    <layout>
      <configItem><name>us</name><description>English (US)</description></configItem>
      <variantList>
        <variant><configItem><name>colemak</name><description>Colemak</description></configItem></variant>
      </variantList>
    </layout>
    <layout><configItem><name>cz</name><description>Czech</description></configItem></layout>
    <layout><configItem><name>fr</name><description>French</description></configItem></layout>
    <layout><configItem><name>gb</name><description>English (UK)</description></configItem></layout>
    <layout><configItem><name>se</name><description>Swedish</description></configItem></layout>
  </layoutList>
</xkbConfigRegistry>
)";

inline constexpr std::string_view kZoneTable =
    "# zone table\n"
    "DE\t+5230+01322\tEurope/Berlin\n"
    "JP\t+353916+1394441\tAsia/Tokyo\n";

struct DeviceScope {
  DeviceScope() {
    std::ofstream(rules.path() / "evdev.xml") << kRulesXml;
    std::ofstream(zones.path() / "zone1970.tab") << kZoneTable;
  }

  // The settings document's path.
  std::filesystem::path settings_file() const { return config.path() / "kalu" / "settings.json"; }

  void write_settings(std::string_view text) const {
    std::filesystem::create_directories(settings_file().parent_path());
    std::ofstream(settings_file(), std::ios::binary) << text;
  }

  // The settings document's bytes; none when there is no file.
  std::optional<std::string> settings_text() const {
    auto text = prefs_store::read_text(settings_file());
    return text ? *text : std::nullopt;
  }

  // Changes the simulated device's state as a test's setting-up step.
  static void edit_device(const std::function<void(sim_device::Json&)>& edit) {
    auto done = sim_device::update("", [&](sim_device::Json& state) -> kalu_ui::Status {
      edit(state);
      return {};
    });
    if (!done) throw std::runtime_error(done.error());
  }

  static void inject_fault(std::string_view operation, std::string_view text) {
    edit_device([&](sim_device::Json& state) { state["faults"][std::string(operation)] = text; });
  }

  TempDir config;
  prefs_store::ScopedConfigDir config_scope{config.path()};
  sim_device::ScopedDeviceState device;
  TempDir rules;
  panes::mouse_keyboard::ScopedRulesDir rules_scope{rules.path()};
  TempDir zones;
  system_ops::time::ScopedZoneInfoDir zones_scope{zones.path()};
};

// The request and completion cells of a pane or an executor of its own.
inline PaneCells with_own_operation_cells(PaneCells cells) {
  cells.device_local_request = operations::DeviceLocalRequestCell::create({});
  cells.operation_completion = operations::OperationCompletionCell::create({});
  cells.account_requests = operations::AccountRequestCell::create({});
  cells.account_completion = operations::OperationCompletionCell::create({});
  return cells;
}

// Panes that hear nothing: built without the application's cells, they
// neither take a request nor complete one, so what the executor leaves in
// the cells stays there for the test to see.
inline PaneFactory deaf_panes() {
  return [](panes::Pane pane, const PaneCells& shared) {
    return build_pane(pane, with_own_operation_cells(shared));
  };
}

// The executor alone, without a window or an application: no pane takes its
// requests, and what it shows and rebuilds is counted.
struct LoneExecutor {
  PaneCells cells = with_own_operation_cells({});
  std::optional<panes::Pane> shown;
  int rebuilds = 0;
  DeviceLocalExecutor executor{
      cells, ExecutorShell{.show_pane = [this](panes::Pane pane) { shown = pane; },
                           .show_stored = [this] { ++rebuilds; }}};
};

inline kalu_ui::Payload bytes(std::string_view text) {
  return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

inline kalu_ui::ResourceOperationId operation_id(std::uint8_t n) {
  kalu_ui::ResourceOperationId id;
  id.bytes.fill(n);
  return id;
}

}  // namespace settings::settings_app::testing
