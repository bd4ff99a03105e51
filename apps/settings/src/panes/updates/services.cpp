#include "panes/updates/services.h"

#include <nlohmann/json.hpp>
#include <string_view>
#include <utility>

#include "prefs_store/document.h"
#include "stored/locale.h"
#include "system_ops/firmware.h"
#include "system_ops/time.h"

namespace settings::panes::updates {

namespace {

constexpr std::string_view kUpdatesSection = "updates";

}  // namespace

std::shared_ptr<const UpdateServices> device_update_services(
    std::shared_ptr<const UpdateBackend> backend) {
  auto services = std::make_shared<UpdateServices>();
  services->backend = backend ? std::move(backend) : std::make_shared<const SystemUpdateBackend>();
  services->read_os = [] { return read_os_and_staged(); };
  services->read_deployment = [](const std::optional<std::string>& rollback_image) {
    return deployment_status(rollback_image);
  };
  services->clock_text = [] { return clock_text(); };
  services->reboot = [] { return reboot(); };
  services->firmware_updates = [] { return system_ops::firmware::get_firmware_updates(); };
  services->firmware_history = [] { return system_ops::firmware::get_firmware_history(); };
  services->start_firmware_install = [](const std::vector<FirmwareUpdate>& updates) {
    return system_ops::firmware::start_firmware_install(updates);
  };
  return services;
}

std::string clock_text() {
  const bool h24 = stored::Locale::load().time_format == stored::TimeFormat::H24;
  auto date = system_ops::time::now_date();
  auto clock = system_ops::time::now_clock(h24);
  std::string joined = date ? std::move(*date) : std::string();
  if (clock && !clock->empty()) {
    if (!joined.empty()) joined += ' ';
    joined += *clock;
  }
  return joined;
}

ImageStatus read_image_status(const UpdateServices& services, bool with_timer) {
  const StatusSnapshot one_bootc_status;
  ImageStatus status;
  status.os = services.read_os();
  if (with_timer) status.automatic = services.backend->automatic_updates_enabled();
  status.rollback_image = services.backend->rollback_image();
  status.deployment = services.read_deployment(status.rollback_image);
  return status;
}

FirstReading read_first(const UpdateServices& services) {
  FirstReading reading;
  reading.image = read_image_status(services);
  reading.firmware_updates = services.firmware_updates();
  reading.firmware_history = services.firmware_history();
  return reading;
}

ImageStatus unreadable_image_status() {
  ImageStatus status;
  status.os.os_name = std::string(kDefaultOsName);
  status.deployment.rollback_protection = rollback_protection_text(false, std::nullopt);
  return status;
}

stored::UpdatePrefs load_update_prefs() {
  auto section = prefs_store::load_section(kUpdatesSection);
  if (!section || section->empty()) return {};
  auto prefs = stored::read_section<stored::UpdatePrefs>(*section);
  return prefs ? *prefs : stored::UpdatePrefs{};
}

kalu_ui::Status save_update_prefs(const stored::UpdatePrefs& prefs) {
  // A file that cannot be read is refused; a document that does not read is
  // kept aside by the update, which starts a fresh one.
  if (auto current = prefs_store::load_section(kUpdatesSection); !current) {
    return kalu_ui::fail(current.error());
  }
  return prefs_store::update_section(kUpdatesSection, stored::write_section(prefs));
}

}  // namespace settings::panes::updates
