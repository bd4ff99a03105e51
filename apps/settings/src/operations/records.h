#pragma once

// The operation records: what automation clients ask of the device, one
// tagged union per "settings.<x>-operation" action, plus the set-setting
// action of "settings.action". Each is a std::variant of its cases in
// declaration order (the variant index is the case number), so
//   DisplayOperation op = DisplayOperation::SetBrightness{0.5};
//   if (auto* b = std::get_if<DisplayOperation::SetBrightness>(&op)) ...
// Read and written only through read_record / write_record below, which
// apply the strict record form (codec/codec.h).

#include <concepts>
#include <cstdint>
#include <nlohmann/json_fwd.hpp>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>

#include "kalu_ui/result.h"

namespace settings::operations {

// A display mode by its exact values.
struct OutputMode {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::uint32_t refresh_mhz = 0;
  bool operator==(const OutputMode&) const = default;
};

// An output's orientation; written "normal", "rotate90", "rotate180", "rotate270".
enum class OutputTransform { kNormal, kRotate90, kRotate180, kRotate270 };

struct DisplayOperationCases {
  struct SetBrightness {
    double value = 0.0;
    bool operator==(const SetBrightness&) const = default;
  };
  struct SetAutoBrightness {
    bool enabled = false;
    bool operator==(const SetAutoBrightness&) const = default;
  };
  struct SetNightLight {
    bool enabled = false;
    bool operator==(const SetNightLight&) const = default;
  };
  struct SetNightLightTemperature {
    std::string label;
    bool operator==(const SetNightLightTemperature&) const = default;
  };
  struct SetScale {
    std::string label;
    bool operator==(const SetScale&) const = default;
  };
  struct SetPrimary {
    std::string connector;
    bool primary = false;
    bool operator==(const SetPrimary&) const = default;
  };
  struct SetOutputScale {
    std::string connector;
    std::string label;
    bool operator==(const SetOutputScale&) const = default;
  };
  struct SetPosition {
    std::string connector;
    std::string label;
    bool operator==(const SetPosition&) const = default;
  };
  struct SetMirror {
    std::string connector;
    std::string label;
    bool operator==(const SetMirror&) const = default;
  };
  struct SetModeLabel {
    std::string connector;
    std::string label;
    bool operator==(const SetModeLabel&) const = default;
  };
  struct SetTransformLabel {
    std::string connector;
    std::string label;
    bool operator==(const SetTransformLabel&) const = default;
  };
  struct SetColorProfileLabel {
    std::string connector;
    std::string label;
    bool operator==(const SetColorProfileLabel&) const = default;
  };
  struct SetEnabled {
    std::string connector;
    bool enabled = false;
    bool operator==(const SetEnabled&) const = default;
  };
  struct SetMode {
    std::string connector;
    OutputMode mode;
    bool operator==(const SetMode&) const = default;
  };
  struct SetTransform {
    std::string connector;
    OutputTransform transform = OutputTransform::kNormal;
    bool operator==(const SetTransform&) const = default;
  };
  struct SetHdr {
    std::string connector;
    bool enabled = false;
    bool operator==(const SetHdr&) const = default;
  };
  struct SetVrr {
    std::string connector;
    bool enabled = false;
    bool operator==(const SetVrr&) const = default;
  };
  struct SetColorProfile {
    std::string connector;
    std::optional<std::string> profile;
    bool operator==(const SetColorProfile&) const = default;
  };
  struct Apply {
    bool operator==(const Apply&) const = default;
  };
  struct Confirm {
    bool operator==(const Confirm&) const = default;
  };
  struct Revert {
    bool operator==(const Revert&) const = default;
  };
};
struct DisplayOperation
    : DisplayOperationCases,
      std::variant<DisplayOperationCases::SetBrightness, DisplayOperationCases::SetAutoBrightness,
                   DisplayOperationCases::SetNightLight,
                   DisplayOperationCases::SetNightLightTemperature, DisplayOperationCases::SetScale,
                   DisplayOperationCases::SetPrimary, DisplayOperationCases::SetOutputScale,
                   DisplayOperationCases::SetPosition, DisplayOperationCases::SetMirror,
                   DisplayOperationCases::SetModeLabel, DisplayOperationCases::SetTransformLabel,
                   DisplayOperationCases::SetColorProfileLabel, DisplayOperationCases::SetEnabled,
                   DisplayOperationCases::SetMode, DisplayOperationCases::SetTransform,
                   DisplayOperationCases::SetHdr, DisplayOperationCases::SetVrr,
                   DisplayOperationCases::SetColorProfile, DisplayOperationCases::Apply,
                   DisplayOperationCases::Confirm, DisplayOperationCases::Revert> {
  using variant::variant;
};

struct UpdateOperationCases {
  struct Check {
    bool operator==(const Check&) const = default;
  };
  struct Restart {
    bool operator==(const Restart&) const = default;
  };
  struct ReviewRollback {
    bool operator==(const ReviewRollback&) const = default;
  };
  struct Rollback {
    bool operator==(const Rollback&) const = default;
  };
  struct RefreshFirmware {
    bool operator==(const RefreshFirmware&) const = default;
  };
  struct InstallFirmware {
    bool operator==(const InstallFirmware&) const = default;
  };
  struct SetAutomatic {
    bool enabled = false;
    bool operator==(const SetAutomatic&) const = default;
  };
  struct SetSchedule {
    std::string schedule;
    bool operator==(const SetSchedule&) const = default;
  };
  struct SetMetered {
    bool allowed = false;
    bool operator==(const SetMetered&) const = default;
  };
};
struct UpdateOperation
    : UpdateOperationCases,
      std::variant<UpdateOperationCases::Check, UpdateOperationCases::Restart,
                   UpdateOperationCases::ReviewRollback, UpdateOperationCases::Rollback,
                   UpdateOperationCases::RefreshFirmware, UpdateOperationCases::InstallFirmware,
                   UpdateOperationCases::SetAutomatic, UpdateOperationCases::SetSchedule,
                   UpdateOperationCases::SetMetered> {
  using variant::variant;
};

struct StorageOperationCases {
  struct CleanupCaches {
    bool operator==(const CleanupCaches&) const = default;
  };
  struct FreeSyncedFiles {
    bool operator==(const FreeSyncedFiles&) const = default;
  };
  struct OpenDisks {
    bool operator==(const OpenDisks&) const = default;
  };
  struct OpenBackups {
    bool operator==(const OpenBackups&) const = default;
  };
};
struct StorageOperation
    : StorageOperationCases,
      std::variant<StorageOperationCases::CleanupCaches, StorageOperationCases::FreeSyncedFiles,
                   StorageOperationCases::OpenDisks, StorageOperationCases::OpenBackups> {
  using variant::variant;
};

struct InputOperationCases {
  struct SetTouchpadNaturalScroll {
    bool enabled = false;
    bool operator==(const SetTouchpadNaturalScroll&) const = default;
  };
  struct SetMouseNaturalScroll {
    bool enabled = false;
    bool operator==(const SetMouseNaturalScroll&) const = default;
  };
  struct SetTapToClick {
    bool enabled = false;
    bool operator==(const SetTapToClick&) const = default;
  };
  struct SetTouchpadPointerSpeed {
    double value = 0.0;
    bool operator==(const SetTouchpadPointerSpeed&) const = default;
  };
  struct SetMousePointerSpeed {
    double value = 0.0;
    bool operator==(const SetMousePointerSpeed&) const = default;
  };
  struct SetKeyRepeat {
    double value = 0.0;
    bool operator==(const SetKeyRepeat&) const = default;
  };
  struct SetTapDrag {
    bool enabled = false;
    bool operator==(const SetTapDrag&) const = default;
  };
  struct SetDisableWhileTyping {
    bool enabled = false;
    bool operator==(const SetDisableWhileTyping&) const = default;
  };
  struct SetMiddleEmulation {
    bool enabled = false;
    bool operator==(const SetMiddleEmulation&) const = default;
  };
  struct SetLeftHanded {
    bool enabled = false;
    bool operator==(const SetLeftHanded&) const = default;
  };
  struct SetTouchpadGestures {
    bool enabled = false;
    bool operator==(const SetTouchpadGestures&) const = default;
  };
  struct SetAccelerationProfile {
    std::string profile;
    bool operator==(const SetAccelerationProfile&) const = default;
  };
  struct SetComposeKey {
    std::string key;
    bool operator==(const SetComposeKey&) const = default;
  };
  struct SetActiveSource {
    std::string label;
    bool operator==(const SetActiveSource&) const = default;
  };
};
struct InputOperation
    : InputOperationCases,
      std::variant<
          InputOperationCases::SetTouchpadNaturalScroll, InputOperationCases::SetMouseNaturalScroll,
          InputOperationCases::SetTapToClick, InputOperationCases::SetTouchpadPointerSpeed,
          InputOperationCases::SetMousePointerSpeed, InputOperationCases::SetKeyRepeat,
          InputOperationCases::SetTapDrag, InputOperationCases::SetDisableWhileTyping,
          InputOperationCases::SetMiddleEmulation, InputOperationCases::SetLeftHanded,
          InputOperationCases::SetTouchpadGestures, InputOperationCases::SetAccelerationProfile,
          InputOperationCases::SetComposeKey, InputOperationCases::SetActiveSource> {
  using variant::variant;
};

struct KeyboardSourceOperationCases {
  struct Add {
    std::string label;
    bool operator==(const Add&) const = default;
  };
  struct MoveUp {
    std::uint64_t index = 0;
    bool operator==(const MoveUp&) const = default;
  };
  struct MoveDown {
    std::uint64_t index = 0;
    bool operator==(const MoveDown&) const = default;
  };
  struct Remove {
    std::uint64_t index = 0;
    bool operator==(const Remove&) const = default;
  };
};
struct KeyboardSourceOperation
    : KeyboardSourceOperationCases,
      std::variant<KeyboardSourceOperationCases::Add, KeyboardSourceOperationCases::MoveUp,
                   KeyboardSourceOperationCases::MoveDown, KeyboardSourceOperationCases::Remove> {
  using variant::variant;
};

struct TimeDateOperationCases {
  struct SetAutomaticTime {
    bool enabled = false;
    bool operator==(const SetAutomaticTime&) const = default;
  };
  struct SetTimezone {
    std::string timezone;
    bool operator==(const SetTimezone&) const = default;
  };
  struct SetHourCycle {
    bool h24 = false;
    bool operator==(const SetHourCycle&) const = default;
  };
};
struct TimeDateOperation
    : TimeDateOperationCases,
      std::variant<TimeDateOperationCases::SetAutomaticTime, TimeDateOperationCases::SetTimezone,
                   TimeDateOperationCases::SetHourCycle> {
  using variant::variant;
};

struct AudioOperationCases {
  struct SetOutputVolume {
    double value = 0.0;
    bool operator==(const SetOutputVolume&) const = default;
  };
  struct SetOutputMuted {
    bool muted = false;
    bool operator==(const SetOutputMuted&) const = default;
  };
  struct SetInputVolume {
    double value = 0.0;
    bool operator==(const SetInputVolume&) const = default;
  };
  struct SetBalance {
    double value = 0.0;
    bool operator==(const SetBalance&) const = default;
  };
  struct SetMono {
    bool enabled = false;
    bool operator==(const SetMono&) const = default;
  };
  struct SetDeviceProfile {
    std::uint32_t device_id = 0;
    std::uint32_t profile_index = 0;
    bool operator==(const SetDeviceProfile&) const = default;
  };
  struct RouteStream {
    std::uint32_t stream_id = 0;
    bool playback = false;
    std::optional<std::uint32_t> device_id;
    bool operator==(const RouteStream&) const = default;
  };
  struct SetStreamVolume {
    std::uint32_t stream_id = 0;
    double value = 0.0;
    bool operator==(const SetStreamVolume&) const = default;
  };
  struct SetStreamMuted {
    std::uint32_t stream_id = 0;
    bool muted = false;
    bool operator==(const SetStreamMuted&) const = default;
  };
  struct ToggleDiagnostics {
    bool operator==(const ToggleDiagnostics&) const = default;
  };
  struct TestChannel {
    bool left = false;
    bool operator==(const TestChannel&) const = default;
  };
  struct ToggleMicrophoneMeter {
    bool operator==(const ToggleMicrophoneMeter&) const = default;
  };
  struct SelectOutput {
    std::uint32_t device_id = 0;
    bool operator==(const SelectOutput&) const = default;
  };
  struct SelectInput {
    std::uint32_t device_id = 0;
    bool operator==(const SelectInput&) const = default;
  };
  struct RoutePlayback {
    std::uint32_t stream_id = 0;
    std::uint32_t device_id = 0;
    bool operator==(const RoutePlayback&) const = default;
  };
  struct RouteRecording {
    std::uint32_t stream_id = 0;
    std::uint32_t device_id = 0;
    bool operator==(const RouteRecording&) const = default;
  };
};
struct AudioOperation
    : AudioOperationCases,
      std::variant<AudioOperationCases::SetOutputVolume, AudioOperationCases::SetOutputMuted,
                   AudioOperationCases::SetInputVolume, AudioOperationCases::SetBalance,
                   AudioOperationCases::SetMono, AudioOperationCases::SetDeviceProfile,
                   AudioOperationCases::RouteStream, AudioOperationCases::SetStreamVolume,
                   AudioOperationCases::SetStreamMuted, AudioOperationCases::ToggleDiagnostics,
                   AudioOperationCases::TestChannel, AudioOperationCases::ToggleMicrophoneMeter,
                   AudioOperationCases::SelectOutput, AudioOperationCases::SelectInput,
                   AudioOperationCases::RoutePlayback, AudioOperationCases::RouteRecording> {
  using variant::variant;
};

struct PowerOperationCases {
  struct SetChargeLimit {
    std::uint32_t percent = 0;
    bool operator==(const SetChargeLimit&) const = default;
  };
  struct SetProfile {
    std::string profile;
    bool operator==(const SetProfile&) const = default;
  };
  struct SetAutoSuspend {
    bool enabled = false;
    bool operator==(const SetAutoSuspend&) const = default;
  };
  struct SetBlankTimeout {
    std::string label;
    bool operator==(const SetBlankTimeout&) const = default;
  };
  struct SetLockTimeout {
    std::string label;
    bool operator==(const SetLockTimeout&) const = default;
  };
  struct SetSuspendTimeout {
    std::string profile;
    std::string label;
    bool operator==(const SetSuspendTimeout&) const = default;
  };
  struct SetLidAction {
    std::string action;
    bool operator==(const SetLidAction&) const = default;
  };
  struct SetPowerKeyAction {
    std::string action;
    bool operator==(const SetPowerKeyAction&) const = default;
  };
  struct SetCriticalAction {
    std::string action;
    bool operator==(const SetCriticalAction&) const = default;
  };
};
struct PowerOperation
    : PowerOperationCases,
      std::variant<PowerOperationCases::SetChargeLimit, PowerOperationCases::SetProfile,
                   PowerOperationCases::SetAutoSuspend, PowerOperationCases::SetBlankTimeout,
                   PowerOperationCases::SetLockTimeout, PowerOperationCases::SetSuspendTimeout,
                   PowerOperationCases::SetLidAction, PowerOperationCases::SetPowerKeyAction,
                   PowerOperationCases::SetCriticalAction> {
  using variant::variant;
};

struct NetworkOperationCases {
  struct Refresh {
    bool operator==(const Refresh&) const = default;
  };
  struct SetWifiEnabled {
    bool enabled = false;
    bool operator==(const SetWifiEnabled&) const = default;
  };
  struct SetWiredEnabled {
    bool enabled = false;
    bool operator==(const SetWiredEnabled&) const = default;
  };
  struct SetAirplaneMode {
    bool enabled = false;
    bool operator==(const SetAirplaneMode&) const = default;
  };
  struct SetHotspot {
    bool enabled = false;
    bool operator==(const SetHotspot&) const = default;
  };
  struct SetMobileBroadband {
    bool enabled = false;
    bool operator==(const SetMobileBroadband&) const = default;
  };
  struct RunDiagnostics {
    bool operator==(const RunDiagnostics&) const = default;
  };
};
struct NetworkOperation
    : NetworkOperationCases,
      std::variant<NetworkOperationCases::Refresh, NetworkOperationCases::SetWifiEnabled,
                   NetworkOperationCases::SetWiredEnabled, NetworkOperationCases::SetAirplaneMode,
                   NetworkOperationCases::SetHotspot, NetworkOperationCases::SetMobileBroadband,
                   NetworkOperationCases::RunDiagnostics> {
  using variant::variant;
};

struct BluetoothOperationCases {
  struct SetPowered {
    bool enabled = false;
    bool operator==(const SetPowered&) const = default;
  };
  struct StartScan {
    bool operator==(const StartScan&) const = default;
  };
  struct Refresh {
    bool operator==(const Refresh&) const = default;
  };
  struct Pair {
    std::string path;
    bool operator==(const Pair&) const = default;
  };
  struct Connect {
    std::string path;
    bool operator==(const Connect&) const = default;
  };
  struct Disconnect {
    std::string path;
    bool operator==(const Disconnect&) const = default;
  };
  struct Forget {
    std::string path;
    bool operator==(const Forget&) const = default;
  };
};
struct BluetoothOperation
    : BluetoothOperationCases,
      std::variant<BluetoothOperationCases::SetPowered, BluetoothOperationCases::StartScan,
                   BluetoothOperationCases::Refresh, BluetoothOperationCases::Pair,
                   BluetoothOperationCases::Connect, BluetoothOperationCases::Disconnect,
                   BluetoothOperationCases::Forget> {
  using variant::variant;
};

struct AccountOperationCases {
  struct Add {
    std::string kind;
    bool operator==(const Add&) const = default;
  };
  struct Open {
    std::string id;
    bool operator==(const Open&) const = default;
  };
  struct Edit {
    std::string id;
    bool operator==(const Edit&) const = default;
  };
  struct Reauthenticate {
    std::string id;
    bool operator==(const Reauthenticate&) const = default;
  };
  struct SubmitForm {
    bool operator==(const SubmitForm&) const = default;
  };
  struct CancelForm {
    bool operator==(const CancelForm&) const = default;
  };
  struct SubmitReauthentication {
    bool operator==(const SubmitReauthentication&) const = default;
  };
  struct CancelReauthentication {
    bool operator==(const CancelReauthentication&) const = default;
  };
  struct Test {
    std::string id;
    bool operator==(const Test&) const = default;
  };
  struct Remove {
    std::string id;
    bool operator==(const Remove&) const = default;
  };
};
struct AccountOperation
    : AccountOperationCases,
      std::variant<AccountOperationCases::Add, AccountOperationCases::Open,
                   AccountOperationCases::Edit, AccountOperationCases::Reauthenticate,
                   AccountOperationCases::SubmitForm, AccountOperationCases::CancelForm,
                   AccountOperationCases::SubmitReauthentication,
                   AccountOperationCases::CancelReauthentication, AccountOperationCases::Test,
                   AccountOperationCases::Remove> {
  using variant::variant;
};

struct PrinterOperationCases {
  struct Refresh {
    bool operator==(const Refresh&) const = default;
  };
  struct Discover {
    bool operator==(const Discover&) const = default;
  };
  struct SetDefault {
    std::string name;
    bool operator==(const SetDefault&) const = default;
  };
  struct SetEnabled {
    std::string name;
    bool enabled = false;
    bool operator==(const SetEnabled&) const = default;
  };
  struct Remove {
    std::string name;
    bool operator==(const Remove&) const = default;
  };
  struct CancelJob {
    std::string id;
    bool operator==(const CancelJob&) const = default;
  };
  struct RetryJob {
    std::string id;
    bool operator==(const RetryJob&) const = default;
  };
};
struct PrinterOperation
    : PrinterOperationCases,
      std::variant<PrinterOperationCases::Refresh, PrinterOperationCases::Discover,
                   PrinterOperationCases::SetDefault, PrinterOperationCases::SetEnabled,
                   PrinterOperationCases::Remove, PrinterOperationCases::CancelJob,
                   PrinterOperationCases::RetryJob> {
  using variant::variant;
};

struct UserOperationCases {
  struct SetAdmin {
    std::string username;
    bool admin = false;
    bool operator==(const SetAdmin&) const = default;
  };
  struct SetAutologin {
    std::string username;
    bool enabled = false;
    bool operator==(const SetAutologin&) const = default;
  };
  struct Remove {
    std::string username;
    bool remove_files = false;
    bool operator==(const Remove&) const = default;
  };
};
struct UserOperation : UserOperationCases,
                       std::variant<UserOperationCases::SetAdmin, UserOperationCases::SetAutologin,
                                    UserOperationCases::Remove> {
  using variant::variant;
};

struct DeviceMeshOperationCases {
  struct SetRole {
    std::string role;
    bool operator==(const SetRole&) const = default;
  };
  struct SetReplication {
    std::string replication;
    bool operator==(const SetReplication&) const = default;
  };
  struct SetService {
    std::string service;
    bool enabled = false;
    bool operator==(const SetService&) const = default;
  };
  struct SetWorkspace {
    std::uint64_t id = 0;
    bool enabled = false;
    bool operator==(const SetWorkspace&) const = default;
  };
};
struct DeviceMeshOperation
    : DeviceMeshOperationCases,
      std::variant<DeviceMeshOperationCases::SetRole, DeviceMeshOperationCases::SetReplication,
                   DeviceMeshOperationCases::SetService, DeviceMeshOperationCases::SetWorkspace> {
  using variant::variant;
};

struct AgentModelOperationCases {
  struct StageAccelerator {
    bool operator==(const StageAccelerator&) const = default;
  };
  struct Install {
    std::string id;
    std::string revision;
    bool operator==(const Install&) const = default;
  };
  struct Start {
    std::string id;
    bool operator==(const Start&) const = default;
  };
  struct Stop {
    std::string id;
    bool operator==(const Stop&) const = default;
  };
  struct Retry {
    std::string id;
    std::string revision;
    bool operator==(const Retry&) const = default;
  };
  struct Remove {
    std::string id;
    bool operator==(const Remove&) const = default;
  };
};
struct AgentModelOperation
    : AgentModelOperationCases,
      std::variant<AgentModelOperationCases::StageAccelerator, AgentModelOperationCases::Install,
                   AgentModelOperationCases::Start, AgentModelOperationCases::Stop,
                   AgentModelOperationCases::Retry, AgentModelOperationCases::Remove> {
  using variant::variant;
};

struct AgentProviderOperationCases {
  struct Add {
    std::string protocol;
    bool operator==(const Add&) const = default;
  };
  struct SetProtocol {
    std::string id;
    std::string protocol;
    bool operator==(const SetProtocol&) const = default;
  };
  struct SetEnabled {
    std::string id;
    bool enabled = false;
    bool operator==(const SetEnabled&) const = default;
  };
  struct Remove {
    std::string id;
    bool operator==(const Remove&) const = default;
  };
  struct SetDefault {
    std::string id;
    bool operator==(const SetDefault&) const = default;
  };
  struct SetDetails {
    std::string id;
    std::string label;
    std::string endpoint;
    std::optional<std::string> model;
    bool operator==(const SetDetails&) const = default;
  };
};
struct AgentProviderOperation
    : AgentProviderOperationCases,
      std::variant<AgentProviderOperationCases::Add, AgentProviderOperationCases::SetProtocol,
                   AgentProviderOperationCases::SetEnabled, AgentProviderOperationCases::Remove,
                   AgentProviderOperationCases::SetDefault,
                   AgentProviderOperationCases::SetDetails> {
  using variant::variant;
};

struct SettingValueCases {
  struct Bool {
    bool value = false;
    bool operator==(const Bool&) const = default;
  };
  struct Int {
    std::int64_t value = 0;
    bool operator==(const Int&) const = default;
  };
  struct Float {
    double value = 0.0;
    bool operator==(const Float&) const = default;
  };
  struct Text {
    std::string value;
    bool operator==(const Text&) const = default;
  };
};
struct SettingValue : SettingValueCases,
                      std::variant<SettingValueCases::Bool, SettingValueCases::Int,
                                   SettingValueCases::Float, SettingValueCases::Text> {
  using variant::variant;
};

struct SettingsActionCases {
  struct SetSetting {
    std::string key;
    SettingValue value;
    bool operator==(const SetSetting&) const = default;
  };
};
struct SettingsAction : SettingsActionCases, std::variant<SettingsActionCases::SetSetting> {
  using variant::variant;

  // SetSetting {key, Bool}. Only a real bool picks this form: a string
  // literal would otherwise convert to bool before it converted to text.
  template <std::same_as<bool> B>
  static SettingsAction set_setting(std::string key, B value) {
    return SetSetting{std::move(key), SettingValue::Bool{value}};
  }
  // SetSetting {key, Text}: a copy of the text, or the text itself.
  static SettingsAction set_setting(std::string key, std::string_view text) {
    return SetSetting{std::move(key), SettingValue::Text{std::string(text)}};
  }
  static SettingsAction set_setting(std::string key, std::string&& text) {
    return SetSetting{std::move(key), SettingValue::Text{std::move(text)}};
  }
  static SettingsAction set_setting(std::string key, const char* text) {
    return set_setting(std::move(key), std::string_view(text));
  }
};

// Every record above offers the same three operations.
// Reads a record from a payload (text or bytes); the refusal text is meant
// for the client as it stands.
template <typename R>
kalu_ui::Result<R> read_record(std::string_view text);
template <typename R>
kalu_ui::Result<R> read_record(std::span<const std::uint8_t> bytes) {
  return read_record<R>(
      std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}
// The compact JSON form: no whitespace, fields in declaration order, absent
// optionals as null. Cannot fail.
template <typename R>
std::string write_record(const R& record);

// The payload of "settings.open-pane": a JSON string holding a pane id.
kalu_ui::Result<std::string> read_open_pane_payload(std::string_view text);

// The set-setting action as an in-memory JSON tree of the written structure.
nlohmann::ordered_json to_tree(const SettingsAction& action);

}  // namespace settings::operations
