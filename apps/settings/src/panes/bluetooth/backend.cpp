#include "panes/bluetooth/backend.h"

namespace settings::panes::bluetooth {
namespace {

namespace bluez = system_ops::bluez;

class SystemBackend final : public BluetoothBackend {
 public:
  kalu_ui::Result<std::vector<BluetoothDevice>> devices() override { return bluez::devices(); }
  kalu_ui::Result<bool> is_powered() override { return bluez::is_powered(); }
  kalu_ui::Result<bool> is_scanning() override { return bluez::is_scanning(); }
  kalu_ui::Status set_powered(bool enabled) override { return bluez::set_powered(enabled); }
  kalu_ui::Status start_scan() override { return bluez::start_scan(); }
  kalu_ui::Status stop_scan() override { return bluez::stop_scan(); }
  PairResult pair(const std::string& path) override { return bluez::pair(path); }
  kalu_ui::Status cancel_pairing(const std::string& path) override {
    return bluez::cancel_pairing(path);
  }
  kalu_ui::Status connect(const std::string& path) override { return bluez::connect(path); }
  kalu_ui::Status disconnect(const std::string& path) override { return bluez::disconnect(path); }
  kalu_ui::Status set_trusted(const std::string& path, bool trusted) override {
    return bluez::set_trusted(path, trusted);
  }
  kalu_ui::Status set_alias(const std::string& path, const std::string& alias) override {
    return bluez::set_alias(path, alias);
  }
  kalu_ui::Status forget(const std::string& path) override { return bluez::forget(path); }
};

}  // namespace

SharedBluetoothBackend system_backend() { return std::make_shared<SystemBackend>(); }

}  // namespace settings::panes::bluetooth
