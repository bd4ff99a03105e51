#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "actions/doc_readers.h"
#include "kalu_ui/log.h"
#include "operations/keys.h"
#include "panes/power/power_pane.h"
#include "prefs_store/paths.h"
#include "sim_device/state.h"
#include "stored/sections.h"

namespace settings::panes::power {
namespace {

namespace fs = std::filesystem;
namespace doc = kalu_ui::doc;
using C = operations::PowerOperationCases;
using Completion = operations::OperationCompletion;
using Json = nlohmann::ordered_json;

std::string key_of(const PowerOperation& operation) { return operations::operation_key(operation); }

Completion succeeded(const PowerOperation& operation, std::string message) {
  return Completion::Succeeded{key_of(operation), std::move(message)};
}

Completion failed(const PowerOperation& operation, std::string message) {
  return Completion::Failed{key_of(operation), std::move(message)};
}

// A scoped simulated device (a laptop: battery, history, a cap of 60, 80 or
// 100 at 80, three profiles, Balanced active) and a configuration folder.
class PowerPaneTest : public ::testing::Test {
 protected:
  PowerPaneTest() : config_(device_.dir() / "config") {}

  fs::path settings_path() const { return device_.dir() / "config" / "kalu" / "settings.json"; }

  void write_settings(const std::string& text) {
    fs::create_directories(settings_path().parent_path());
    std::ofstream(settings_path(), std::ios::binary) << text;
  }

  Json settings() const {
    std::ifstream in(settings_path(), std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return Json::parse(text.str());
  }

  // The pane as the page frame builds it, after its first sync.
  PowerPane hosted(PowerReadings readings = read_power_readings()) {
    PowerPane pane = PowerPane(std::move(readings), nullptr)
                         .with_operation_requests(requests_)
                         .with_operation_completion(completion_);
    pane.sync(toolkit_);
    return pane;
  }

  // Hands the operation over as the executor does and runs one sync.
  Completion run(PowerPane& pane, const PowerOperation& operation) {
    completion_->publish(Completion::Pending{key_of(operation)});
    requests_->publish(
        operations::DeviceLocalRequest(std::in_place_type<PowerOperation>, operation));
    pane.sync(toolkit_);
    return completion_->get();
  }

  static std::optional<std::string> text(PowerPane& pane, std::string_view key) {
    return actions::read_doc_text(pane.link().own_document(), doc::kRoot, key);
  }

  sim_device::ScopedDeviceState device_;
  prefs_store::ScopedConfigDir config_;
  std::shared_ptr<operations::DeviceLocalRequestCell> requests_ =
      operations::DeviceLocalRequestCell::create({});
  std::shared_ptr<operations::OperationCompletionCell> completion_ =
      operations::OperationCompletionCell::create({});
  doc::Document toolkit_;
};

TEST_F(PowerPaneTest, FirstSyncPublishesEveryControlIntoItsOwnDocument) {
  write_settings(R"({"power": {"auto_suspend": true, "suspend_minutes": 20, "lock_minutes": 20,
                              "blank_minutes": 20, "critical_action": "ignore"}})");
  PowerPane pane = hosted();
  EXPECT_EQ(text(pane, kProfileKey), "Balanced");
  EXPECT_EQ(actions::read_doc_bool(pane.link().own_document(), doc::kRoot, kAutoSuspendKey), true);
  EXPECT_EQ(text(pane, kSuspendKey), "15 minutes");
  EXPECT_EQ(text(pane, kLockKey), "5 minutes");
  EXPECT_EQ(text(pane, kBlankKey), "10 minutes");
  EXPECT_EQ(text(pane, kBalancedSuspendKey), "15 minutes");
  EXPECT_EQ(text(pane, kCriticalKey), "Do nothing");
  EXPECT_EQ(text(pane, kChargeLimitKey), "80%");
  // Hosted: the toolkit's document is not the pane's.
  EXPECT_EQ(toolkit_.keys(doc::kRoot).size(), 0u);
}

TEST_F(PowerPaneTest, ATimeoutThroughTheMailboxIsAppliedSavedAndCompleted) {
  write_settings(R"({"version": 1, "other_program": {"keep": [1, 2]},
                     "power": {"blank_minutes": 10, "unknown": "kept"}, "display": {"scale": 2.0}})");
  const Json before = settings();
  PowerPane pane = hosted();

  const PowerOperation blank{C::SetBlankTimeout{"5 minutes"}};
  EXPECT_EQ(run(pane, blank), succeeded(blank, "Screen blank timeout saved."));
  EXPECT_TRUE(requests_->get().empty());
  EXPECT_EQ(text(pane, kBlankKey), "5 minutes");
  EXPECT_EQ(pane.applied().blank_minutes, 5u);

  // Only the power section changed, its unknown member included.
  Json after = settings();
  EXPECT_EQ(after["power"]["blank_minutes"], 5);
  EXPECT_EQ(after["power"]["unknown"], "kept");
  for (const auto& [key, value] : before.items()) {
    if (key != "power") {
      EXPECT_EQ(after[key], value) << key;
    }
  }

  // The next sync republishes nothing new.
  completion_->publish(Completion::Idle{});
  const std::size_t ops = pane.link().own_document().pending_ops();
  pane.sync(toolkit_);
  EXPECT_EQ(pane.link().own_document().pending_ops(), ops);
}

TEST_F(PowerPaneTest, AnEditWithNothingPendingIsWrittenBack) {
  PowerPane pane = hosted();
  (void)pane.link().own_document().put(doc::kRoot, kLockKey,
                                       doc::Scalar(std::string("30 minutes")));
  (void)pane.link().own_document().put(doc::kRoot, kProfileKey,
                                       doc::Scalar(std::string("Performance")));
  pane.sync(toolkit_);
  EXPECT_EQ(text(pane, kLockKey), "5 minutes");
  EXPECT_EQ(text(pane, kProfileKey), "Balanced");
  EXPECT_EQ(pane.applied().lock_minutes, 5u);
  EXPECT_FALSE(fs::exists(settings_path()));
  EXPECT_EQ(system_ops::power::get_power_profile(), PowerProfile::Balanced);
}

TEST_F(PowerPaneTest, EachPreferenceOperationNamesItsControl) {
  PowerPane pane = hosted();
  const struct {
    PowerOperation operation;
    std::string_view key;
    std::string message;
  } cases[] = {
      {C::SetSuspendTimeout{"balanced", "1 hour"}, kBalancedSuspendKey,
       "balanced suspend timeout saved."},
      {C::SetSuspendTimeout{"saver", "Never"}, kSaverSuspendKey, "saver suspend timeout saved."},
      {C::SetSuspendTimeout{"default", "45 minutes"}, kSuspendKey, "Suspend timeout saved."},
      {C::SetLockTimeout{"Never"}, kLockKey, "Automatic lock timeout saved."},
      {C::SetLidAction{"Lock screen"}, kLidKey, "Lid-close action saved."},
      {C::SetPowerKeyAction{"Do nothing"}, kPowerKeyKey, "Power-key action saved."},
      {C::SetCriticalAction{"Lock screen"}, kCriticalKey, "Critical-battery action saved."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(key_of(c.operation));
    EXPECT_EQ(run(pane, c.operation), succeeded(c.operation, c.message));
  }
  EXPECT_EQ(text(pane, kBalancedSuspendKey), "1 hour");
  const Json power = settings()["power"];
  EXPECT_EQ(power["balanced_suspend_minutes"], 60);
  EXPECT_EQ(power["saver_suspend_minutes"], 0);
  EXPECT_EQ(power["suspend_minutes"], 45);
  EXPECT_EQ(power["lock_minutes"], 0);
  EXPECT_EQ(power["lid_close_action"], "lock");
  EXPECT_EQ(power["power_key_action"], "ignore");
  EXPECT_EQ(power["critical_action"], "lock");

  const PowerOperation off{C::SetAutoSuspend{false}};
  EXPECT_EQ(run(pane, off), succeeded(off, "Automatic suspend preference saved."));
  EXPECT_EQ(settings()["power"]["auto_suspend"], false);
}

TEST_F(PowerPaneTest, AValueAlreadyInEffectSucceedsAtOnce) {
  PowerPane pane = hosted();
  const struct {
    PowerOperation operation;
    std::string message;
  } cases[] = {
      {C::SetProfile{"Balanced"}, "Balanced is already active."},
      {C::SetChargeLimit{80}, "Charge cap is already 80%."},
      {C::SetLockTimeout{"5 minutes"}, "Already set to 5 minutes."},
      {C::SetSuspendTimeout{"performance", "30 minutes"}, "Already set to 30 minutes."},
      {C::SetLidAction{"Suspend"}, "Already set to Suspend."},
      {C::SetAutoSuspend{true}, "Automatic suspend is already on."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(key_of(c.operation));
    EXPECT_EQ(run(pane, c.operation), succeeded(c.operation, c.message));
  }
  // Nothing was saved for them.
  EXPECT_FALSE(fs::exists(settings_path()));
}

TEST_F(PowerPaneTest, ProfileChanges) {
  kalu_ui::log::ScopedCapture log;
  PowerPane pane = hosted();
  const PowerOperation saver{C::SetProfile{"Power Saver"}};
  EXPECT_EQ(run(pane, saver), succeeded(saver, "Power Saver is now active."));
  EXPECT_EQ(system_ops::power::get_power_profile(), PowerProfile::PowerSaver);
  EXPECT_EQ(pane.profile_message(), "Power Saver is now active.");

  ASSERT_TRUE(sim_device::update("", [](sim_device::Json& state) -> kalu_ui::Status {
    state["faults"]["power.set_power_profile"] = "profile daemon crashed";
    return {};
  }));
  const PowerOperation fast{C::SetProfile{"Performance"}};
  EXPECT_EQ(run(pane, fast),
            failed(fast, "Could not change the power profile: profile daemon crashed"));
  EXPECT_EQ(text(pane, kProfileKey), "Power Saver");
  ASSERT_EQ(log.events().size(), 1u);
  EXPECT_EQ(log.events()[0].message, "power pane dispatch failed");

  // A profile the device does not offer never reaches the service.
  PowerReadings readings = read_power_readings();
  readings.profiles.profiles = {PowerProfile::PowerSaver, PowerProfile::Balanced};
  PowerPane narrow = hosted(std::move(readings));
  EXPECT_EQ(run(narrow, fast), failed(fast, "Power profile is not supported by this device."));
  EXPECT_EQ(narrow.profile_message(), "Performance is not supported by this device.");
}

TEST_F(PowerPaneTest, ChargeCapChanges) {
  PowerPane pane = hosted();
  const PowerOperation sixty{C::SetChargeLimit{60}};
  EXPECT_EQ(run(pane, sixty), succeeded(sixty, "hardware confirmed a 60% charge cap"));
  EXPECT_EQ(pane.charge_message(), "Hardware confirmed a 60% charge cap.");
  EXPECT_EQ(pane.readings().charge_capability->current, 60u);
  EXPECT_EQ(system_ops::battery::charge_capability()->current, 60u);

  ASSERT_TRUE(sim_device::update("", [](sim_device::Json& state) -> kalu_ui::Status {
    state["faults"]["battery.set_charge_limit_checked"] = "firmware refused";
    return {};
  }));
  const PowerOperation hundred{C::SetChargeLimit{100}};
  EXPECT_EQ(run(pane, hundred), failed(hundred, "Charge cap was not applied: firmware refused"));
  // The next sync shows the cap in effect again.
  completion_->publish(Completion::Idle{});
  pane.sync(toolkit_);
  EXPECT_EQ(text(pane, kChargeLimitKey), "60%");

  // A cap the pane's battery does not offer (the executor read the device
  // later) still completes.
  const PowerOperation seventy{C::SetChargeLimit{70}};
  EXPECT_EQ(run(pane, seventy),
            failed(seventy, "A 70% charge cap is not offered by this battery."));
}

TEST_F(PowerPaneTest, AValueIsAppliedOnlyOnceSavedAndAlreadyOnlyWhenStored) {
  // A folder where the settings file should be: it cannot be read or replaced.
  fs::create_directories(settings_path());
  PowerPane pane = hosted();
  const PowerOperation lid{C::SetLidAction{"Do nothing"}};
  const PowerOperation suspend{C::SetLidAction{"Suspend"}};
  // The first request, the same again, and one equal to the pane's default:
  // none was saved, so none is "already" and each fails.
  for (const PowerOperation& operation : {lid, lid, suspend}) {
    SCOPED_TRACE(key_of(operation));
    const Completion outcome = run(pane, operation);
    const auto* failure = std::get_if<Completion::Failed>(&outcome);
    ASSERT_NE(failure, nullptr);
    EXPECT_TRUE(failure->message.starts_with("Power preference was not saved: "))
        << failure->message;
    EXPECT_EQ(pane.applied().lid_close_action, PowerAction::Suspend);
    completion_->publish(Completion::Idle{});
    pane.sync(toolkit_);
    EXPECT_EQ(text(pane, kLidKey), "Suspend");
  }

  // Once the file reads, "already" is answered against what it holds, not
  // against the pane's values.
  fs::remove(settings_path());
  stored::PowerPrefs locking;
  locking.lid_close_action = PowerAction::Lock;
  write_settings(Json{{"power", stored::write_section(locking)}}.dump());
  EXPECT_EQ(run(pane, suspend), succeeded(suspend, "Lid-close action saved."));
  EXPECT_EQ(settings()["power"]["lid_close_action"], "suspend");
  EXPECT_EQ(run(pane, suspend), succeeded(suspend, "Already set to Suspend."));
}

TEST_F(PowerPaneTest, OnlyItsOwnRequestsAreTaken) {
  PowerPane pane = hosted();
  requests_->publish(
      operations::DeviceLocalRequest(std::in_place_type<operations::PrinterOperation>,
                                     operations::PrinterOperationCases::Refresh{}));
  pane.sync(toolkit_);
  EXPECT_TRUE(std::holds_alternative<operations::PrinterOperation>(requests_->get()));
}

// Built alone (no host, no completion cell), the page's edits apply at once,
// and only readable values count.
TEST_F(PowerPaneTest, AlonePaneAppliesEditsFromTheToolkitsDocument) {
  PowerPane pane(read_power_readings(), nullptr);
  pane.sync(toolkit_);
  for (const char* unreadable : {"60", "60.5%", "65%"}) {
    (void)toolkit_.put(doc::kRoot, kChargeLimitKey, doc::Scalar(std::string(unreadable)));
    pane.sync(toolkit_);
    EXPECT_EQ(system_ops::battery::charge_capability()->current, 80u) << unreadable;
  }
  (void)toolkit_.put(doc::kRoot, kChargeLimitKey, doc::Scalar(std::string("60%")));
  (void)toolkit_.put(doc::kRoot, kBlankKey, doc::Scalar(std::string("30 minutes")));
  pane.sync(toolkit_);
  EXPECT_EQ(system_ops::battery::charge_capability()->current, 60u);
  EXPECT_EQ(settings()["power"]["blank_minutes"], 30);
}

}  // namespace
}  // namespace settings::panes::power
