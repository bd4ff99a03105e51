#include "operations/records.h"

#include "codec/tree.h"
#include "operations/record_form.h"

namespace settings::operations {

constexpr auto describe(codec::Tag<OutputMode>) {
  return codec::record("OutputMode", codec::field("width", &OutputMode::width),
                       codec::field("height", &OutputMode::height),
                       codec::field("refresh_mhz", &OutputMode::refresh_mhz));
}

constexpr auto describe(codec::Tag<OutputTransform>) {
  return codec::names<OutputTransform>("OutputTransform", "normal", "rotate90", "rotate180",
                                       "rotate270");
}

constexpr auto describe(codec::Tag<DisplayOperation>) {
  return codec::tagged_union("DisplayOperation");
}
constexpr auto describe(codec::Tag<DisplayOperation::SetBrightness>) {
  return codec::record("SetBrightness",
                       codec::field("value", &DisplayOperation::SetBrightness::value));
}
constexpr auto describe(codec::Tag<DisplayOperation::SetAutoBrightness>) {
  return codec::record("SetAutoBrightness",
                       codec::field("enabled", &DisplayOperation::SetAutoBrightness::enabled));
}
constexpr auto describe(codec::Tag<DisplayOperation::SetNightLight>) {
  return codec::record("SetNightLight",
                       codec::field("enabled", &DisplayOperation::SetNightLight::enabled));
}
constexpr auto describe(codec::Tag<DisplayOperation::SetNightLightTemperature>) {
  return codec::record("SetNightLightTemperature",
                       codec::field("label", &DisplayOperation::SetNightLightTemperature::label));
}
constexpr auto describe(codec::Tag<DisplayOperation::SetScale>) {
  return codec::record("SetScale", codec::field("label", &DisplayOperation::SetScale::label));
}
constexpr auto describe(codec::Tag<DisplayOperation::SetPrimary>) {
  return codec::record("SetPrimary",
                       codec::field("connector", &DisplayOperation::SetPrimary::connector),
                       codec::field("primary", &DisplayOperation::SetPrimary::primary));
}
constexpr auto describe(codec::Tag<DisplayOperation::SetOutputScale>) {
  return codec::record("SetOutputScale",
                       codec::field("connector", &DisplayOperation::SetOutputScale::connector),
                       codec::field("label", &DisplayOperation::SetOutputScale::label));
}
constexpr auto describe(codec::Tag<DisplayOperation::SetPosition>) {
  return codec::record("SetPosition",
                       codec::field("connector", &DisplayOperation::SetPosition::connector),
                       codec::field("label", &DisplayOperation::SetPosition::label));
}
constexpr auto describe(codec::Tag<DisplayOperation::SetMirror>) {
  return codec::record("SetMirror",
                       codec::field("connector", &DisplayOperation::SetMirror::connector),
                       codec::field("label", &DisplayOperation::SetMirror::label));
}
constexpr auto describe(codec::Tag<DisplayOperation::SetModeLabel>) {
  return codec::record("SetModeLabel",
                       codec::field("connector", &DisplayOperation::SetModeLabel::connector),
                       codec::field("label", &DisplayOperation::SetModeLabel::label));
}
constexpr auto describe(codec::Tag<DisplayOperation::SetTransformLabel>) {
  return codec::record("SetTransformLabel",
                       codec::field("connector", &DisplayOperation::SetTransformLabel::connector),
                       codec::field("label", &DisplayOperation::SetTransformLabel::label));
}
constexpr auto describe(codec::Tag<DisplayOperation::SetColorProfileLabel>) {
  return codec::record(
      "SetColorProfileLabel",
      codec::field("connector", &DisplayOperation::SetColorProfileLabel::connector),
      codec::field("label", &DisplayOperation::SetColorProfileLabel::label));
}
constexpr auto describe(codec::Tag<DisplayOperation::SetEnabled>) {
  return codec::record("SetEnabled",
                       codec::field("connector", &DisplayOperation::SetEnabled::connector),
                       codec::field("enabled", &DisplayOperation::SetEnabled::enabled));
}
constexpr auto describe(codec::Tag<DisplayOperation::SetMode>) {
  return codec::record("SetMode", codec::field("connector", &DisplayOperation::SetMode::connector),
                       codec::field("mode", &DisplayOperation::SetMode::mode));
}
constexpr auto describe(codec::Tag<DisplayOperation::SetTransform>) {
  return codec::record("SetTransform",
                       codec::field("connector", &DisplayOperation::SetTransform::connector),
                       codec::field("transform", &DisplayOperation::SetTransform::transform));
}
constexpr auto describe(codec::Tag<DisplayOperation::SetHdr>) {
  return codec::record("SetHdr", codec::field("connector", &DisplayOperation::SetHdr::connector),
                       codec::field("enabled", &DisplayOperation::SetHdr::enabled));
}
constexpr auto describe(codec::Tag<DisplayOperation::SetVrr>) {
  return codec::record("SetVrr", codec::field("connector", &DisplayOperation::SetVrr::connector),
                       codec::field("enabled", &DisplayOperation::SetVrr::enabled));
}
constexpr auto describe(codec::Tag<DisplayOperation::SetColorProfile>) {
  return codec::record("SetColorProfile",
                       codec::field("connector", &DisplayOperation::SetColorProfile::connector),
                       codec::field("profile", &DisplayOperation::SetColorProfile::profile));
}
constexpr auto describe(codec::Tag<DisplayOperation::Apply>) {
  return codec::unit<DisplayOperation::Apply>("Apply");
}
constexpr auto describe(codec::Tag<DisplayOperation::Confirm>) {
  return codec::unit<DisplayOperation::Confirm>("Confirm");
}
constexpr auto describe(codec::Tag<DisplayOperation::Revert>) {
  return codec::unit<DisplayOperation::Revert>("Revert");
}

constexpr auto describe(codec::Tag<UpdateOperation>) {
  return codec::tagged_union("UpdateOperation");
}
constexpr auto describe(codec::Tag<UpdateOperation::Check>) {
  return codec::unit<UpdateOperation::Check>("Check");
}
constexpr auto describe(codec::Tag<UpdateOperation::Restart>) {
  return codec::unit<UpdateOperation::Restart>("Restart");
}
constexpr auto describe(codec::Tag<UpdateOperation::ReviewRollback>) {
  return codec::unit<UpdateOperation::ReviewRollback>("ReviewRollback");
}
constexpr auto describe(codec::Tag<UpdateOperation::Rollback>) {
  return codec::unit<UpdateOperation::Rollback>("Rollback");
}
constexpr auto describe(codec::Tag<UpdateOperation::RefreshFirmware>) {
  return codec::unit<UpdateOperation::RefreshFirmware>("RefreshFirmware");
}
constexpr auto describe(codec::Tag<UpdateOperation::InstallFirmware>) {
  return codec::unit<UpdateOperation::InstallFirmware>("InstallFirmware");
}
constexpr auto describe(codec::Tag<UpdateOperation::SetAutomatic>) {
  return codec::record("SetAutomatic",
                       codec::field("enabled", &UpdateOperation::SetAutomatic::enabled));
}
constexpr auto describe(codec::Tag<UpdateOperation::SetSchedule>) {
  return codec::record("SetSchedule",
                       codec::field("schedule", &UpdateOperation::SetSchedule::schedule));
}
constexpr auto describe(codec::Tag<UpdateOperation::SetMetered>) {
  return codec::record("SetMetered",
                       codec::field("allowed", &UpdateOperation::SetMetered::allowed));
}

constexpr auto describe(codec::Tag<StorageOperation>) {
  return codec::tagged_union("StorageOperation");
}
constexpr auto describe(codec::Tag<StorageOperation::CleanupCaches>) {
  return codec::unit<StorageOperation::CleanupCaches>("CleanupCaches");
}
constexpr auto describe(codec::Tag<StorageOperation::FreeSyncedFiles>) {
  return codec::unit<StorageOperation::FreeSyncedFiles>("FreeSyncedFiles");
}
constexpr auto describe(codec::Tag<StorageOperation::OpenDisks>) {
  return codec::unit<StorageOperation::OpenDisks>("OpenDisks");
}
constexpr auto describe(codec::Tag<StorageOperation::OpenBackups>) {
  return codec::unit<StorageOperation::OpenBackups>("OpenBackups");
}

constexpr auto describe(codec::Tag<InputOperation>) {
  return codec::tagged_union("InputOperation");
}
constexpr auto describe(codec::Tag<InputOperation::SetTouchpadNaturalScroll>) {
  return codec::record("SetTouchpadNaturalScroll",
                       codec::field("enabled", &InputOperation::SetTouchpadNaturalScroll::enabled));
}
constexpr auto describe(codec::Tag<InputOperation::SetMouseNaturalScroll>) {
  return codec::record("SetMouseNaturalScroll",
                       codec::field("enabled", &InputOperation::SetMouseNaturalScroll::enabled));
}
constexpr auto describe(codec::Tag<InputOperation::SetTapToClick>) {
  return codec::record("SetTapToClick",
                       codec::field("enabled", &InputOperation::SetTapToClick::enabled));
}
constexpr auto describe(codec::Tag<InputOperation::SetTouchpadPointerSpeed>) {
  return codec::record("SetTouchpadPointerSpeed",
                       codec::field("value", &InputOperation::SetTouchpadPointerSpeed::value));
}
constexpr auto describe(codec::Tag<InputOperation::SetMousePointerSpeed>) {
  return codec::record("SetMousePointerSpeed",
                       codec::field("value", &InputOperation::SetMousePointerSpeed::value));
}
constexpr auto describe(codec::Tag<InputOperation::SetKeyRepeat>) {
  return codec::record("SetKeyRepeat", codec::field("value", &InputOperation::SetKeyRepeat::value));
}
constexpr auto describe(codec::Tag<InputOperation::SetTapDrag>) {
  return codec::record("SetTapDrag", codec::field("enabled", &InputOperation::SetTapDrag::enabled));
}
constexpr auto describe(codec::Tag<InputOperation::SetDisableWhileTyping>) {
  return codec::record("SetDisableWhileTyping",
                       codec::field("enabled", &InputOperation::SetDisableWhileTyping::enabled));
}
constexpr auto describe(codec::Tag<InputOperation::SetMiddleEmulation>) {
  return codec::record("SetMiddleEmulation",
                       codec::field("enabled", &InputOperation::SetMiddleEmulation::enabled));
}
constexpr auto describe(codec::Tag<InputOperation::SetLeftHanded>) {
  return codec::record("SetLeftHanded",
                       codec::field("enabled", &InputOperation::SetLeftHanded::enabled));
}
constexpr auto describe(codec::Tag<InputOperation::SetTouchpadGestures>) {
  return codec::record("SetTouchpadGestures",
                       codec::field("enabled", &InputOperation::SetTouchpadGestures::enabled));
}
constexpr auto describe(codec::Tag<InputOperation::SetAccelerationProfile>) {
  return codec::record("SetAccelerationProfile",
                       codec::field("profile", &InputOperation::SetAccelerationProfile::profile));
}
constexpr auto describe(codec::Tag<InputOperation::SetComposeKey>) {
  return codec::record("SetComposeKey", codec::field("key", &InputOperation::SetComposeKey::key));
}
constexpr auto describe(codec::Tag<InputOperation::SetActiveSource>) {
  return codec::record("SetActiveSource",
                       codec::field("label", &InputOperation::SetActiveSource::label));
}

constexpr auto describe(codec::Tag<KeyboardSourceOperation>) {
  return codec::tagged_union("KeyboardSourceOperation");
}
constexpr auto describe(codec::Tag<KeyboardSourceOperation::Add>) {
  return codec::record("Add", codec::field("label", &KeyboardSourceOperation::Add::label));
}
constexpr auto describe(codec::Tag<KeyboardSourceOperation::MoveUp>) {
  return codec::record("MoveUp", codec::field("index", &KeyboardSourceOperation::MoveUp::index));
}
constexpr auto describe(codec::Tag<KeyboardSourceOperation::MoveDown>) {
  return codec::record("MoveDown",
                       codec::field("index", &KeyboardSourceOperation::MoveDown::index));
}
constexpr auto describe(codec::Tag<KeyboardSourceOperation::Remove>) {
  return codec::record("Remove", codec::field("index", &KeyboardSourceOperation::Remove::index));
}

constexpr auto describe(codec::Tag<TimeDateOperation>) {
  return codec::tagged_union("TimeDateOperation");
}
constexpr auto describe(codec::Tag<TimeDateOperation::SetAutomaticTime>) {
  return codec::record("SetAutomaticTime",
                       codec::field("enabled", &TimeDateOperation::SetAutomaticTime::enabled));
}
constexpr auto describe(codec::Tag<TimeDateOperation::SetTimezone>) {
  return codec::record("SetTimezone",
                       codec::field("timezone", &TimeDateOperation::SetTimezone::timezone));
}
constexpr auto describe(codec::Tag<TimeDateOperation::SetHourCycle>) {
  return codec::record("SetHourCycle", codec::field("h24", &TimeDateOperation::SetHourCycle::h24));
}

constexpr auto describe(codec::Tag<AudioOperation>) {
  return codec::tagged_union("AudioOperation");
}
constexpr auto describe(codec::Tag<AudioOperation::SetOutputVolume>) {
  return codec::record("SetOutputVolume",
                       codec::field("value", &AudioOperation::SetOutputVolume::value));
}
constexpr auto describe(codec::Tag<AudioOperation::SetOutputMuted>) {
  return codec::record("SetOutputMuted",
                       codec::field("muted", &AudioOperation::SetOutputMuted::muted));
}
constexpr auto describe(codec::Tag<AudioOperation::SetInputVolume>) {
  return codec::record("SetInputVolume",
                       codec::field("value", &AudioOperation::SetInputVolume::value));
}
constexpr auto describe(codec::Tag<AudioOperation::SetBalance>) {
  return codec::record("SetBalance", codec::field("value", &AudioOperation::SetBalance::value));
}
constexpr auto describe(codec::Tag<AudioOperation::SetMono>) {
  return codec::record("SetMono", codec::field("enabled", &AudioOperation::SetMono::enabled));
}
constexpr auto describe(codec::Tag<AudioOperation::SetDeviceProfile>) {
  return codec::record(
      "SetDeviceProfile", codec::field("device_id", &AudioOperation::SetDeviceProfile::device_id),
      codec::field("profile_index", &AudioOperation::SetDeviceProfile::profile_index));
}
constexpr auto describe(codec::Tag<AudioOperation::RouteStream>) {
  return codec::record("RouteStream",
                       codec::field("stream_id", &AudioOperation::RouteStream::stream_id),
                       codec::field("playback", &AudioOperation::RouteStream::playback),
                       codec::field("device_id", &AudioOperation::RouteStream::device_id));
}
constexpr auto describe(codec::Tag<AudioOperation::SetStreamVolume>) {
  return codec::record("SetStreamVolume",
                       codec::field("stream_id", &AudioOperation::SetStreamVolume::stream_id),
                       codec::field("value", &AudioOperation::SetStreamVolume::value));
}
constexpr auto describe(codec::Tag<AudioOperation::SetStreamMuted>) {
  return codec::record("SetStreamMuted",
                       codec::field("stream_id", &AudioOperation::SetStreamMuted::stream_id),
                       codec::field("muted", &AudioOperation::SetStreamMuted::muted));
}
constexpr auto describe(codec::Tag<AudioOperation::ToggleDiagnostics>) {
  return codec::unit<AudioOperation::ToggleDiagnostics>("ToggleDiagnostics");
}
constexpr auto describe(codec::Tag<AudioOperation::TestChannel>) {
  return codec::record("TestChannel", codec::field("left", &AudioOperation::TestChannel::left));
}
constexpr auto describe(codec::Tag<AudioOperation::ToggleMicrophoneMeter>) {
  return codec::unit<AudioOperation::ToggleMicrophoneMeter>("ToggleMicrophoneMeter");
}
constexpr auto describe(codec::Tag<AudioOperation::SelectOutput>) {
  return codec::record("SelectOutput",
                       codec::field("device_id", &AudioOperation::SelectOutput::device_id));
}
constexpr auto describe(codec::Tag<AudioOperation::SelectInput>) {
  return codec::record("SelectInput",
                       codec::field("device_id", &AudioOperation::SelectInput::device_id));
}
constexpr auto describe(codec::Tag<AudioOperation::RoutePlayback>) {
  return codec::record("RoutePlayback",
                       codec::field("stream_id", &AudioOperation::RoutePlayback::stream_id),
                       codec::field("device_id", &AudioOperation::RoutePlayback::device_id));
}
constexpr auto describe(codec::Tag<AudioOperation::RouteRecording>) {
  return codec::record("RouteRecording",
                       codec::field("stream_id", &AudioOperation::RouteRecording::stream_id),
                       codec::field("device_id", &AudioOperation::RouteRecording::device_id));
}

constexpr auto describe(codec::Tag<PowerOperation>) {
  return codec::tagged_union("PowerOperation");
}
constexpr auto describe(codec::Tag<PowerOperation::SetChargeLimit>) {
  return codec::record("SetChargeLimit",
                       codec::field("percent", &PowerOperation::SetChargeLimit::percent));
}
constexpr auto describe(codec::Tag<PowerOperation::SetProfile>) {
  return codec::record("SetProfile", codec::field("profile", &PowerOperation::SetProfile::profile));
}
constexpr auto describe(codec::Tag<PowerOperation::SetAutoSuspend>) {
  return codec::record("SetAutoSuspend",
                       codec::field("enabled", &PowerOperation::SetAutoSuspend::enabled));
}
constexpr auto describe(codec::Tag<PowerOperation::SetBlankTimeout>) {
  return codec::record("SetBlankTimeout",
                       codec::field("label", &PowerOperation::SetBlankTimeout::label));
}
constexpr auto describe(codec::Tag<PowerOperation::SetLockTimeout>) {
  return codec::record("SetLockTimeout",
                       codec::field("label", &PowerOperation::SetLockTimeout::label));
}
constexpr auto describe(codec::Tag<PowerOperation::SetSuspendTimeout>) {
  return codec::record("SetSuspendTimeout",
                       codec::field("profile", &PowerOperation::SetSuspendTimeout::profile),
                       codec::field("label", &PowerOperation::SetSuspendTimeout::label));
}
constexpr auto describe(codec::Tag<PowerOperation::SetLidAction>) {
  return codec::record("SetLidAction",
                       codec::field("action", &PowerOperation::SetLidAction::action));
}
constexpr auto describe(codec::Tag<PowerOperation::SetPowerKeyAction>) {
  return codec::record("SetPowerKeyAction",
                       codec::field("action", &PowerOperation::SetPowerKeyAction::action));
}
constexpr auto describe(codec::Tag<PowerOperation::SetCriticalAction>) {
  return codec::record("SetCriticalAction",
                       codec::field("action", &PowerOperation::SetCriticalAction::action));
}

constexpr auto describe(codec::Tag<NetworkOperation>) {
  return codec::tagged_union("NetworkOperation");
}
constexpr auto describe(codec::Tag<NetworkOperation::Refresh>) {
  return codec::unit<NetworkOperation::Refresh>("Refresh");
}
constexpr auto describe(codec::Tag<NetworkOperation::SetWifiEnabled>) {
  return codec::record("SetWifiEnabled",
                       codec::field("enabled", &NetworkOperation::SetWifiEnabled::enabled));
}
constexpr auto describe(codec::Tag<NetworkOperation::SetWiredEnabled>) {
  return codec::record("SetWiredEnabled",
                       codec::field("enabled", &NetworkOperation::SetWiredEnabled::enabled));
}
constexpr auto describe(codec::Tag<NetworkOperation::SetAirplaneMode>) {
  return codec::record("SetAirplaneMode",
                       codec::field("enabled", &NetworkOperation::SetAirplaneMode::enabled));
}
constexpr auto describe(codec::Tag<NetworkOperation::SetHotspot>) {
  return codec::record("SetHotspot",
                       codec::field("enabled", &NetworkOperation::SetHotspot::enabled));
}
constexpr auto describe(codec::Tag<NetworkOperation::SetMobileBroadband>) {
  return codec::record("SetMobileBroadband",
                       codec::field("enabled", &NetworkOperation::SetMobileBroadband::enabled));
}
constexpr auto describe(codec::Tag<NetworkOperation::RunDiagnostics>) {
  return codec::unit<NetworkOperation::RunDiagnostics>("RunDiagnostics");
}

constexpr auto describe(codec::Tag<BluetoothOperation>) {
  return codec::tagged_union("BluetoothOperation");
}
constexpr auto describe(codec::Tag<BluetoothOperation::SetPowered>) {
  return codec::record("SetPowered",
                       codec::field("enabled", &BluetoothOperation::SetPowered::enabled));
}
constexpr auto describe(codec::Tag<BluetoothOperation::StartScan>) {
  return codec::unit<BluetoothOperation::StartScan>("StartScan");
}
constexpr auto describe(codec::Tag<BluetoothOperation::Refresh>) {
  return codec::unit<BluetoothOperation::Refresh>("Refresh");
}
constexpr auto describe(codec::Tag<BluetoothOperation::Pair>) {
  return codec::record("Pair", codec::field("path", &BluetoothOperation::Pair::path));
}
constexpr auto describe(codec::Tag<BluetoothOperation::Connect>) {
  return codec::record("Connect", codec::field("path", &BluetoothOperation::Connect::path));
}
constexpr auto describe(codec::Tag<BluetoothOperation::Disconnect>) {
  return codec::record("Disconnect", codec::field("path", &BluetoothOperation::Disconnect::path));
}
constexpr auto describe(codec::Tag<BluetoothOperation::Forget>) {
  return codec::record("Forget", codec::field("path", &BluetoothOperation::Forget::path));
}

constexpr auto describe(codec::Tag<AccountOperation>) {
  return codec::tagged_union("AccountOperation");
}
constexpr auto describe(codec::Tag<AccountOperation::Add>) {
  return codec::record("Add", codec::field("kind", &AccountOperation::Add::kind));
}
constexpr auto describe(codec::Tag<AccountOperation::Open>) {
  return codec::record("Open", codec::field("id", &AccountOperation::Open::id));
}
constexpr auto describe(codec::Tag<AccountOperation::Edit>) {
  return codec::record("Edit", codec::field("id", &AccountOperation::Edit::id));
}
constexpr auto describe(codec::Tag<AccountOperation::Reauthenticate>) {
  return codec::record("Reauthenticate", codec::field("id", &AccountOperation::Reauthenticate::id));
}
constexpr auto describe(codec::Tag<AccountOperation::SubmitForm>) {
  return codec::unit<AccountOperation::SubmitForm>("SubmitForm");
}
constexpr auto describe(codec::Tag<AccountOperation::CancelForm>) {
  return codec::unit<AccountOperation::CancelForm>("CancelForm");
}
constexpr auto describe(codec::Tag<AccountOperation::SubmitReauthentication>) {
  return codec::unit<AccountOperation::SubmitReauthentication>("SubmitReauthentication");
}
constexpr auto describe(codec::Tag<AccountOperation::CancelReauthentication>) {
  return codec::unit<AccountOperation::CancelReauthentication>("CancelReauthentication");
}
constexpr auto describe(codec::Tag<AccountOperation::Test>) {
  return codec::record("Test", codec::field("id", &AccountOperation::Test::id));
}
constexpr auto describe(codec::Tag<AccountOperation::Remove>) {
  return codec::record("Remove", codec::field("id", &AccountOperation::Remove::id));
}

constexpr auto describe(codec::Tag<PrinterOperation>) {
  return codec::tagged_union("PrinterOperation");
}
constexpr auto describe(codec::Tag<PrinterOperation::Refresh>) {
  return codec::unit<PrinterOperation::Refresh>("Refresh");
}
constexpr auto describe(codec::Tag<PrinterOperation::Discover>) {
  return codec::unit<PrinterOperation::Discover>("Discover");
}
constexpr auto describe(codec::Tag<PrinterOperation::SetDefault>) {
  return codec::record("SetDefault", codec::field("name", &PrinterOperation::SetDefault::name));
}
constexpr auto describe(codec::Tag<PrinterOperation::SetEnabled>) {
  return codec::record("SetEnabled", codec::field("name", &PrinterOperation::SetEnabled::name),
                       codec::field("enabled", &PrinterOperation::SetEnabled::enabled));
}
constexpr auto describe(codec::Tag<PrinterOperation::Remove>) {
  return codec::record("Remove", codec::field("name", &PrinterOperation::Remove::name));
}
constexpr auto describe(codec::Tag<PrinterOperation::CancelJob>) {
  return codec::record("CancelJob", codec::field("id", &PrinterOperation::CancelJob::id));
}
constexpr auto describe(codec::Tag<PrinterOperation::RetryJob>) {
  return codec::record("RetryJob", codec::field("id", &PrinterOperation::RetryJob::id));
}

constexpr auto describe(codec::Tag<UserOperation>) { return codec::tagged_union("UserOperation"); }
constexpr auto describe(codec::Tag<UserOperation::SetAdmin>) {
  return codec::record("SetAdmin", codec::field("username", &UserOperation::SetAdmin::username),
                       codec::field("admin", &UserOperation::SetAdmin::admin));
}
constexpr auto describe(codec::Tag<UserOperation::SetAutologin>) {
  return codec::record("SetAutologin",
                       codec::field("username", &UserOperation::SetAutologin::username),
                       codec::field("enabled", &UserOperation::SetAutologin::enabled));
}
constexpr auto describe(codec::Tag<UserOperation::Remove>) {
  return codec::record("Remove", codec::field("username", &UserOperation::Remove::username),
                       codec::field("remove_files", &UserOperation::Remove::remove_files));
}

constexpr auto describe(codec::Tag<DeviceMeshOperation>) {
  return codec::tagged_union("DeviceMeshOperation");
}
constexpr auto describe(codec::Tag<DeviceMeshOperation::SetRole>) {
  return codec::record("SetRole", codec::field("role", &DeviceMeshOperation::SetRole::role));
}
constexpr auto describe(codec::Tag<DeviceMeshOperation::SetReplication>) {
  return codec::record(
      "SetReplication",
      codec::field("replication", &DeviceMeshOperation::SetReplication::replication));
}
constexpr auto describe(codec::Tag<DeviceMeshOperation::SetService>) {
  return codec::record("SetService",
                       codec::field("service", &DeviceMeshOperation::SetService::service),
                       codec::field("enabled", &DeviceMeshOperation::SetService::enabled));
}
constexpr auto describe(codec::Tag<DeviceMeshOperation::SetWorkspace>) {
  return codec::record("SetWorkspace", codec::field("id", &DeviceMeshOperation::SetWorkspace::id),
                       codec::field("enabled", &DeviceMeshOperation::SetWorkspace::enabled));
}

constexpr auto describe(codec::Tag<AgentModelOperation>) {
  return codec::tagged_union("AgentModelOperation");
}
constexpr auto describe(codec::Tag<AgentModelOperation::StageAccelerator>) {
  return codec::unit<AgentModelOperation::StageAccelerator>("StageAccelerator");
}
constexpr auto describe(codec::Tag<AgentModelOperation::Install>) {
  return codec::record("Install", codec::field("id", &AgentModelOperation::Install::id),
                       codec::field("revision", &AgentModelOperation::Install::revision));
}
constexpr auto describe(codec::Tag<AgentModelOperation::Start>) {
  return codec::record("Start", codec::field("id", &AgentModelOperation::Start::id));
}
constexpr auto describe(codec::Tag<AgentModelOperation::Stop>) {
  return codec::record("Stop", codec::field("id", &AgentModelOperation::Stop::id));
}
constexpr auto describe(codec::Tag<AgentModelOperation::Retry>) {
  return codec::record("Retry", codec::field("id", &AgentModelOperation::Retry::id),
                       codec::field("revision", &AgentModelOperation::Retry::revision));
}
constexpr auto describe(codec::Tag<AgentModelOperation::Remove>) {
  return codec::record("Remove", codec::field("id", &AgentModelOperation::Remove::id));
}

constexpr auto describe(codec::Tag<AgentProviderOperation>) {
  return codec::tagged_union("AgentProviderOperation");
}
constexpr auto describe(codec::Tag<AgentProviderOperation::Add>) {
  return codec::record("Add", codec::field("protocol", &AgentProviderOperation::Add::protocol));
}
constexpr auto describe(codec::Tag<AgentProviderOperation::SetProtocol>) {
  return codec::record("SetProtocol", codec::field("id", &AgentProviderOperation::SetProtocol::id),
                       codec::field("protocol", &AgentProviderOperation::SetProtocol::protocol));
}
constexpr auto describe(codec::Tag<AgentProviderOperation::SetEnabled>) {
  return codec::record("SetEnabled", codec::field("id", &AgentProviderOperation::SetEnabled::id),
                       codec::field("enabled", &AgentProviderOperation::SetEnabled::enabled));
}
constexpr auto describe(codec::Tag<AgentProviderOperation::Remove>) {
  return codec::record("Remove", codec::field("id", &AgentProviderOperation::Remove::id));
}
constexpr auto describe(codec::Tag<AgentProviderOperation::SetDefault>) {
  return codec::record("SetDefault", codec::field("id", &AgentProviderOperation::SetDefault::id));
}
constexpr auto describe(codec::Tag<AgentProviderOperation::SetDetails>) {
  return codec::record("SetDetails", codec::field("id", &AgentProviderOperation::SetDetails::id),
                       codec::field("label", &AgentProviderOperation::SetDetails::label),
                       codec::field("endpoint", &AgentProviderOperation::SetDetails::endpoint),
                       codec::field("model", &AgentProviderOperation::SetDetails::model));
}

constexpr auto describe(codec::Tag<SettingValue>) { return codec::tagged_union("SettingValue"); }
constexpr auto describe(codec::Tag<SettingValue::Bool>) {
  return codec::newtype("Bool", &SettingValue::Bool::value);
}
constexpr auto describe(codec::Tag<SettingValue::Int>) {
  return codec::newtype("Int", &SettingValue::Int::value);
}
constexpr auto describe(codec::Tag<SettingValue::Float>) {
  return codec::newtype("Float", &SettingValue::Float::value);
}
constexpr auto describe(codec::Tag<SettingValue::Text>) {
  return codec::newtype("Text", &SettingValue::Text::value);
}

constexpr auto describe(codec::Tag<SettingsAction>) {
  return codec::tagged_union("SettingsAction");
}
constexpr auto describe(codec::Tag<SettingsAction::SetSetting>) {
  return codec::record("SetSetting", codec::field("key", &SettingsAction::SetSetting::key),
                       codec::field("value", &SettingsAction::SetSetting::value));
}

SETTINGS_OPERATIONS_RECORD(DisplayOperation)
SETTINGS_OPERATIONS_RECORD(UpdateOperation)
SETTINGS_OPERATIONS_RECORD(StorageOperation)
SETTINGS_OPERATIONS_RECORD(InputOperation)
SETTINGS_OPERATIONS_RECORD(KeyboardSourceOperation)
SETTINGS_OPERATIONS_RECORD(TimeDateOperation)
SETTINGS_OPERATIONS_RECORD(AudioOperation)
SETTINGS_OPERATIONS_RECORD(PowerOperation)
SETTINGS_OPERATIONS_RECORD(NetworkOperation)
SETTINGS_OPERATIONS_RECORD(BluetoothOperation)
SETTINGS_OPERATIONS_RECORD(AccountOperation)
SETTINGS_OPERATIONS_RECORD(PrinterOperation)
SETTINGS_OPERATIONS_RECORD(UserOperation)
SETTINGS_OPERATIONS_RECORD(DeviceMeshOperation)
SETTINGS_OPERATIONS_RECORD(AgentModelOperation)
SETTINGS_OPERATIONS_RECORD(AgentProviderOperation)
SETTINGS_OPERATIONS_RECORD(SettingValue)
SETTINGS_OPERATIONS_RECORD(SettingsAction)

kalu_ui::Result<std::string> read_open_pane_payload(std::string_view text) {
  return codec::from_json<std::string>(text);
}

nlohmann::ordered_json to_tree(const SettingsAction& action) { return codec::to_tree(action); }

}  // namespace settings::operations
