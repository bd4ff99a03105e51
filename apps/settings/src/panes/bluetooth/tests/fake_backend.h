#pragma once

// A Bluetooth backend for the pane's tests: a list of devices and an
// adapter kept in memory, each call recorded by name, an error per call
// name on demand, and a pairing that can be held until the test releases it.
// Calls may come from the pairing thread, so everything is behind a lock.

#include <condition_variable>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "panes/bluetooth/backend.h"

namespace settings::panes::bluetooth::testing {

inline BluetoothDevice device(std::string path, std::string name, bool paired, bool connected,
                              std::string icon = "input-mouse") {
  BluetoothDevice d;
  d.path = std::move(path);
  d.address = "00:11:22:33:44:55";
  d.name = std::move(name);
  d.icon = std::move(icon);
  d.paired = paired;
  d.trusted = paired;
  d.connected = connected;
  return d;
}

// Three devices: connected headphones, a paired mouse, an unpaired speaker.
inline std::vector<BluetoothDevice> three_devices() {
  auto headphones =
      device("/org/bluez/hci0/dev_AA", "Studio Headphones", true, true, "audio-headphones");
  headphones.rssi = -52;
  headphones.battery = 80;
  auto mouse = device("/org/bluez/hci0/dev_BB", "Travel Mouse", true, false);
  mouse.battery = 55;
  auto speaker =
      device("/org/bluez/hci0/dev_CC", "Kitchen Speaker", false, false, "audio-speakers");
  speaker.rssi = -71;
  return {headphones, mouse, speaker};
}

class FakeBackend final : public BluetoothBackend {
 public:
  explicit FakeBackend(std::vector<BluetoothDevice> list = three_devices())
      : list_(std::move(list)) {}

  // ---- What the test sets and reads ----
  void fail(const std::string& call, std::string error) {
    std::lock_guard lock(mutex_);
    errors_[call] = std::move(error);
  }
  void heal(const std::string& call) {
    std::lock_guard lock(mutex_);
    errors_.erase(call);
  }
  std::vector<BluetoothDevice> list() {
    std::lock_guard lock(mutex_);
    return list_;
  }
  void set_list(std::vector<BluetoothDevice> list) {
    std::lock_guard lock(mutex_);
    list_ = std::move(list);
  }
  void set_powered_outside(bool powered) {
    std::lock_guard lock(mutex_);
    powered_ = powered;
  }
  void set_scanning_outside(bool scanning) {
    std::lock_guard lock(mutex_);
    scanning_ = scanning;
  }
  // How often the list or the adapter's state was read.
  int reads() {
    std::lock_guard lock(mutex_);
    return reads_;
  }
  // Every change asked for so far, "name" or "name path".
  std::vector<std::string> calls() {
    std::lock_guard lock(mutex_);
    return calls_;
  }
  void clear_calls() {
    std::lock_guard lock(mutex_);
    calls_.clear();
  }
  // Pairing waits for release() while held.
  void hold_pairing() {
    std::lock_guard lock(mutex_);
    held_ = true;
  }
  void release() {
    {
      std::lock_guard lock(mutex_);
      held_ = false;
    }
    released_.notify_all();
  }
  // Whether a pairing is waiting in pair().
  bool pairing_waits() {
    std::lock_guard lock(mutex_);
    return waiting_;
  }
  // What pair answers after it paired the device; nothing: connected too.
  void connect_after_pairing_fails(std::string error) {
    std::lock_guard lock(mutex_);
    connect_error_ = std::move(error);
  }

  // ---- The backend ----
  kalu_ui::Result<std::vector<BluetoothDevice>> devices() override {
    std::lock_guard lock(mutex_);
    ++reads_;
    if (auto error = refused("devices")) return kalu_ui::fail(*error);
    if (!powered_) return std::vector<BluetoothDevice>{};
    return list_;
  }
  kalu_ui::Result<bool> is_powered() override {
    std::lock_guard lock(mutex_);
    ++reads_;
    if (auto error = refused("is_powered")) return kalu_ui::fail(*error);
    return powered_;
  }
  kalu_ui::Result<bool> is_scanning() override {
    std::lock_guard lock(mutex_);
    ++reads_;
    if (auto error = refused("is_scanning")) return kalu_ui::fail(*error);
    return scanning_;
  }
  kalu_ui::Status set_powered(bool enabled) override {
    return change("set_powered", "", [&] {
      powered_ = enabled;
      if (!enabled) scanning_ = false;
    });
  }
  kalu_ui::Status start_scan() override {
    return change("start_scan", "", [&] { scanning_ = true; });
  }
  kalu_ui::Status stop_scan() override {
    return change("stop_scan", "", [&] { scanning_ = false; });
  }
  PairResult pair(const std::string& path) override {
    std::unique_lock lock(mutex_);
    calls_.push_back("pair " + path);
    waiting_ = true;
    released_.wait(lock, [&] { return !held_; });
    waiting_ = false;
    if (auto error = refused("pair")) return kalu_ui::fail(*error);
    BluetoothDevice* d = find(path);
    if (d == nullptr) return kalu_ui::fail("the device went away while pairing");
    d->paired = true;
    d->trusted = true;
    if (connect_error_) return std::optional<std::string>(*connect_error_);
    d->connected = true;
    return std::optional<std::string>();
  }
  kalu_ui::Status cancel_pairing(const std::string& path) override {
    return change("cancel_pairing", path, [] {});
  }
  kalu_ui::Status connect(const std::string& path) override {
    return change("connect", path, [&] { find(path)->connected = true; });
  }
  kalu_ui::Status disconnect(const std::string& path) override {
    return change("disconnect", path, [&] { find(path)->connected = false; });
  }
  kalu_ui::Status set_trusted(const std::string& path, bool trusted) override {
    return change("set_trusted", path, [&] { find(path)->trusted = trusted; });
  }
  kalu_ui::Status set_alias(const std::string& path, const std::string& alias) override {
    {
      std::lock_guard lock(mutex_);
      aliases_.push_back(alias);
    }
    return change("set_alias", path, [&] {
      if (!alias.empty()) find(path)->name = alias;
    });
  }
  kalu_ui::Status forget(const std::string& path) override {
    return change("forget", path,
                  [&] { std::erase_if(list_, [&](auto& d) { return d.path == path; }); });
  }

  // The aliases set_alias was given, in order.
  std::vector<std::string> aliases() {
    std::lock_guard lock(mutex_);
    return aliases_;
  }

 private:
  std::optional<std::string> refused(const std::string& call) const {
    auto it = errors_.find(call);
    if (it == errors_.end()) return std::nullopt;
    return it->second;
  }
  BluetoothDevice* find(const std::string& path) {
    for (auto& d : list_) {
      if (d.path == path) return &d;
    }
    return nullptr;
  }
  template <typename F>
  kalu_ui::Status change(const std::string& call, const std::string& path, F edit) {
    std::lock_guard lock(mutex_);
    calls_.push_back(path.empty() ? call : call + " " + path);
    if (auto error = refused(call)) return kalu_ui::fail(*error);
    if (!path.empty() && find(path) == nullptr)
      return kalu_ui::fail("no Bluetooth device at " + path);
    edit();
    return {};
  }

  std::mutex mutex_;
  std::condition_variable released_;
  std::vector<BluetoothDevice> list_;
  std::map<std::string, std::string> errors_;
  std::vector<std::string> calls_;
  std::vector<std::string> aliases_;
  std::optional<std::string> connect_error_;
  int reads_ = 0;
  bool powered_ = true;
  bool scanning_ = false;
  bool held_ = false;
  bool waiting_ = false;
};

}  // namespace settings::panes::bluetooth::testing
