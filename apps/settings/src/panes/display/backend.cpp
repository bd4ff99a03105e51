#include "panes/display/backend.h"

#include <nlohmann/json.hpp>
#include <system_error>

#include "prefs_store/document.h"
#include "stored/settings_prefs.h"
#include "system_ops/display.h"

namespace settings::panes::display {

namespace {

constexpr std::string_view kDisplaySection = "display";

class DeviceDisplayBackend final : public DisplayBackend {
 public:
  prefs_store::DisplayHardwareSnapshot load_snapshot() override {
    return prefs_store::DisplayHardwareSnapshot::load();
  }

  std::optional<std::filesystem::path> snapshot_path() override {
    return prefs_store::display_snapshot_path();
  }

  std::optional<std::filesystem::file_time_type> snapshot_modified() override {
    const std::optional<std::filesystem::path> path = prefs_store::display_snapshot_path();
    if (!path) return std::nullopt;
    std::error_code error;
    const auto time = std::filesystem::last_write_time(*path, error);
    if (error) return std::nullopt;
    return time;
  }

  prefs_store::DisplayConfig load_config() override { return prefs_store::DisplayConfig::load(); }

  std::optional<prefs_store::DisplayTransaction> load_transaction() override {
    return prefs_store::DisplayTransaction::load();
  }
  kalu_ui::Result<prefs_store::DisplayTransaction> request_transaction(
      const prefs_store::DisplayConfig& config) override {
    return prefs_store::DisplayTransaction::request(config);
  }
  kalu_ui::Status confirm_transaction(const prefs_store::DisplayTransaction& t) override {
    return prefs_store::DisplayTransaction::request_confirmation(t);
  }
  kalu_ui::Status revert_transaction(const prefs_store::DisplayTransaction& t) override {
    return prefs_store::DisplayTransaction::request_revert(t);
  }

  kalu_ui::Result<float> get_brightness() override { return system_ops::display::get_brightness(); }
  bool has_ambient_light_sensor() override {
    return system_ops::display::has_ambient_light_sensor();
  }

  stored::DisplayPrefs load_prefs() override { return stored::SettingsPrefs::load().display; }

  kalu_ui::Status save_prefs(const std::function<void(stored::DisplayPrefs&)>& edit) override {
    // A file that cannot be read is never replaced (a document that does not
    // read is kept aside by the update); a section that does not read is
    // written afresh from the defaults (its other keys stay).
    auto section = prefs_store::load_section(kDisplaySection);
    if (!section) return kalu_ui::fail(section.error());
    stored::DisplayPrefs prefs;
    if (!section->empty()) {
      if (auto stored = stored::read_section<stored::DisplayPrefs>(*section)) prefs = *stored;
    }
    edit(prefs);
    return prefs_store::update_section(kDisplaySection, stored::write_section(prefs));
  }

  std::int64_t unix_ms() override { return prefs_store::display_clock_unix_ms(); }
  kalu_ui::Instant now() override { return kalu_ui::Instant::now(); }
};

}  // namespace

std::shared_ptr<DisplayBackend> device_display_backend() {
  return std::make_shared<DeviceDisplayBackend>();
}

}  // namespace settings::panes::display
