#include "operations/records.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <nlohmann/json.hpp>
#include <string>

#include "operations/mailbox.h"

namespace settings::operations {
namespace {

// Reads `payload` as the named record: "=" followed by the written form when
// it reads, else the refusal text.
template <typename R>
std::string outcome(std::string_view payload) {
  auto r = read_record<R>(payload);
  return r ? "=" + write_record(*r) : r.error();
}

const std::map<std::string, std::function<std::string(std::string_view)>, std::less<>>& readers() {
  static const std::map<std::string, std::function<std::string(std::string_view)>, std::less<>>
      table = {
          {"Display", outcome<DisplayOperation>},
          {"Update", outcome<UpdateOperation>},
          {"Storage", outcome<StorageOperation>},
          {"Input", outcome<InputOperation>},
          {"KeyboardSource", outcome<KeyboardSourceOperation>},
          {"TimeDate", outcome<TimeDateOperation>},
          {"Audio", outcome<AudioOperation>},
          {"Power", outcome<PowerOperation>},
          {"Network", outcome<NetworkOperation>},
          {"Bluetooth", outcome<BluetoothOperation>},
          {"Account", outcome<AccountOperation>},
          {"Printer", outcome<PrinterOperation>},
          {"User", outcome<UserOperation>},
          {"DeviceMesh", outcome<DeviceMeshOperation>},
          {"AgentModel", outcome<AgentModelOperation>},
          {"AgentProvider", outcome<AgentProviderOperation>},
          {"Action", outcome<SettingsAction>},
          {"Value", outcome<SettingValue>},
          {"Text",
           [](std::string_view t) {
             auto r = read_open_pane_payload(t);
             return r ? "=" + *r : r.error();
           }},
      };
  return table;
}

struct Case {
  const char* record;
  std::string payload;
  std::string expected;
};

const std::string kDisplayNames =
    "one of `SetBrightness`, `SetAutoBrightness`, `SetNightLight`, `SetNightLightTemperature`, "
    "`SetScale`, `SetPrimary`, `SetOutputScale`, `SetPosition`, `SetMirror`, `SetModeLabel`, "
    "`SetTransformLabel`, `SetColorProfileLabel`, `SetEnabled`, `SetMode`, `SetTransform`, "
    "`SetHdr`, `SetVrr`, `SetColorProfile`, `Apply`, `Confirm`, `Revert`";

std::string mode_payload(std::string_view width) {
  return std::string(R"({"SetMode": {"connector": "eDP-1", "mode": {"width": )") +
         std::string(width) + R"(, "height": 1080, "refresh_mhz": 60000}}})";
}

void run(const std::vector<Case>& cases) {
  for (const auto& c : cases) {
    auto it = readers().find(c.record);
    ASSERT_NE(it, readers().end()) << c.record;
    EXPECT_EQ(it->second(c.payload), c.expected) << c.record << " " << c.payload;
  }
}

// The refusals that clients have always been given, word for word and
// position for position.
TEST(OperationRecords, GoldenRefusals) {
  run({
      {"Display", R"("SetBrightness")", "invalid type: unit variant, expected struct variant"},
      {"Display", R"({"Apply":{}})", "invalid type: map, expected unit at line 1 column 9"},
      {"Display", R"({"SetBrightness": []})",
       "invalid length 0, expected struct variant DisplayOperation::SetBrightness with 1 element "
       "at line 1 column 20"},
      {"Display", R"({"SetBrightness": [0.5, 1]})", "trailing characters at line 1 column 25"},
      {"Display", R"({"SetBrightness": [0.5, ]})", "trailing comma at line 1 column 25"},
      {"Display", R"({"SetBrightness": {}})", "missing field `value` at line 1 column 20"},
      {"Display", R"({"SetBrightness": {"value": 0.1, "value": 0.2}})",
       "duplicate field `value` at line 1 column 40"},
      {"Display", R"({"setbrightness": {"value": 0.5}})",
       "unknown variant `setbrightness`, expected " + kDisplayNames + " at line 1 column 16"},
      {"Display", R"("Nope")",
       "unknown variant `Nope`, expected " + kDisplayNames + " at line 1 column 6"},
      {"Display", R"({"SetBrightness": {"value": 0.5}, "Apply": null})",
       "expected value at line 1 column 32"},
      {"Display", R"({"Apply":null,})", "expected value at line 1 column 13"},
      {"Display", R"({"SetBrightness": {"value": "x"}})",
       "invalid type: string \"x\", expected f64 at line 1 column 31"},
      {"Display", R"({"SetBrightness": {"value": null}})",
       "invalid type: null, expected f64 at line 1 column 32"},
      {"Display", R"({"SetBrightness":{"value":[1]}})",
       "invalid type: sequence, expected f64 at line 1 column 26"},
      {"Display", R"({"SetBrightness": {"value": 1e400}})",
       "number out of range at line 1 column 33"},
      {"Display", R"({"SetBrightness": 5})",
       "invalid type: integer `5`, expected struct variant DisplayOperation::SetBrightness at "
       "line 1 column 19"},
      {"Display", R"({"SetBrightness": null})",
       "invalid type: null, expected struct variant DisplayOperation::SetBrightness at line 1 "
       "column 22"},
      {"Display", mode_payload("1920.0"),
       "invalid type: floating point `1920.0`, expected u32 at line 1 column 59"},
      {"Display", mode_payload("-1"),
       "invalid value: integer `-1`, expected u32 at line 1 column 55"},
      {"Display", mode_payload("4294967296"),
       "invalid value: integer `4294967296`, expected u32 at line 1 column 63"},
      {"Display", mode_payload("-0"),
       "invalid type: floating point `-0.0`, expected u32 at line 1 column 55"},
      {"Display", R"({"SetMode":{"connector":"eDP-1","mode":[2560,1440]}})",
       "invalid length 2, expected struct OutputMode with 3 elements at line 1 column 50"},
      {"Display", R"({"SetMode":{"connector":"eDP-1","mode":{"width":2560,"height":1440}}})",
       "missing field `refresh_mhz` at line 1 column 67"},
      {"Display", R"({"SetMode":["eDP-1"]})",
       "invalid length 1, expected struct variant DisplayOperation::SetMode with 2 elements at "
       "line 1 column 20"},
      {"Display", R"({"SetTransform":{"connector":"eDP-1","transform":"Rotate90"}})",
       "unknown variant `Rotate90`, expected one of `normal`, `rotate90`, `rotate180`, "
       "`rotate270` at line 1 column 59"},
      {"Display", R"({"SetTransform":{"connector":"eDP-1","transform":5}})",
       "expected value at line 1 column 50"},
      {"Display", R"({"SetColorProfile":{"connector":5}})",
       "invalid type: integer `5`, expected a string at line 1 column 33"},
      {"Display", R"(["Check"])", "expected value at line 1 column 1"},
      {"Display", "42", "expected value at line 1 column 1"},
      {"Display", "true", "expected value at line 1 column 1"},
      {"Display", "null", "expected value at line 1 column 1"},
      {"Display", "{}", "expected value at line 1 column 2"},
      {"Display", "", "EOF while parsing a value at line 1 column 0"},
      {"Display", " ", "EOF while parsing a value at line 1 column 1"},
      {"Display", R"({"SetBrightness":)", "EOF while parsing a value at line 1 column 17"},
      {"Display", R"({"SetBrightness":{"value":0.5})",
       "EOF while parsing an object at line 1 column 30"},
      {"Display", R"({"SetBrightness" 1})", "expected `:` at line 1 column 18"},
      {"Display", R"({"SetBrightness":{1:2}})", "key must be a string at line 1 column 19"},
      {"Display", R"({"SetBrightness":{"value":1 "x":2}})",
       "expected `,` or `}` at line 1 column 29"},
      {"Display", R"({"SetBrightness":{"value":0.5}} x)",
       "trailing characters at line 1 column 33"},
      {"Display", R"({"SetBrightness":{"value":01}})", "invalid number at line 1 column 28"},
      {"Display", R"({"SetBrightness":{"value":1.}})", "invalid number at line 1 column 29"},
      {"Display", R"({"SetBrightness":{"value":1e}})", "invalid number at line 1 column 29"},
      {"Display", R"({"SetBrightness":{"value":-}})", "invalid number at line 1 column 28"},
      {"Display", R"({"Apply":nul})", "expected ident at line 1 column 13"},
      {"Display", R"({"SetScale":{"label":"\q"}})", "invalid escape at line 1 column 24"},
      {"Display", R"({"SetScale":{"label":"\ud83d"}})",
       "unexpected end of hex escape at line 1 column 29"},
      {"Display", R"({"SetScale":{"label":"\ude00"}})",
       "lone leading surrogate in hex escape at line 1 column 28"},
      {"Display", "{\"SetScale\":{\"label\":\"\xff\"}}",
       "invalid unicode code point at line 1 column 24"},
      {"Display", "{\"SetBrightness\"\n:\n{\"value\":\n\"x\"}}",
       "invalid type: string \"x\", expected f64 at line 4 column 3"},
      {"Action", "{\"SetSetting\":\n{\"key\":\"k\",\n\"value\":\n{\"Text\":5}}}",
       "invalid type: integer `5`, expected a string at line 4 column 9"},
      {"Action", "{\"SetSetting\":{\"key\":\"k\",\"value\":{\"Text\":\"\xc3\xa9\"}},\"x\":1}",
       "expected value at line 1 column 47"},
      {"Action", R"({"SetSetting":{"key":"k","value":"Bool"}})",
       "invalid type: unit variant, expected newtype variant at line 1 column 40"},
      {"Update", R"({"SetAutomatic":{"enabled":1}})",
       "invalid type: integer `1`, expected a boolean at line 1 column 28"},
      {"Update", R"("Bogus")",
       "unknown variant `Bogus`, expected one of `Check`, `Restart`, `ReviewRollback`, "
       "`Rollback`, `RefreshFirmware`, `InstallFirmware`, `SetAutomatic`, `SetSchedule`, "
       "`SetMetered` at line 1 column 7"},
      {"Storage", R"({"FreeSyncedFiles":true})",
       "invalid type: boolean `true`, expected unit at line 1 column 23"},
      {"KeyboardSource", R"({"MoveUp": {"index": 0.5}})",
       "invalid type: floating point `0.5`, expected u64 at line 1 column 24"},
      {"KeyboardSource", R"({"MoveUp": {"index": 18446744073709551616}})",
       "invalid type: floating point `1.8446744073709552e19`, expected u64 at line 1 column 41"},
      {"Power", R"({"SetChargeLimit": {"percent": "80"}})",
       "invalid type: string \"80\", expected u32 at line 1 column 35"},
      {"Audio", R"({"RouteStream": [42, true]})",
       "invalid length 2, expected struct variant AudioOperation::RouteStream with 3 elements at "
       "line 1 column 26"},
      {"Audio", R"({"RouteStream": {"playback": true, "device_id": 3}})",
       "missing field `stream_id` at line 1 column 50"},
      {"User", R"({"Remove":{"username":"bob"}})",
       "missing field `remove_files` at line 1 column 28"},
      {"AgentProvider", R"({"SetDetails":["a","b","c"]})",
       "invalid length 3, expected struct variant AgentProviderOperation::SetDetails with 4 "
       "elements at line 1 column 27"},
      {"AgentProvider", R"({"SetDetails":{"id":"a","endpoint":"c"}})",
       "missing field `label` at line 1 column 39"},
      {"Action", R"({"Nope":1})",
       "unknown variant `Nope`, expected `SetSetting` at line 1 column 7"},
      {"Action", R"({"SetSetting":["appearance.high_contrast"]})",
       "invalid length 1, expected struct variant SettingsAction::SetSetting with 2 elements at "
       "line 1 column 42"},
      {"Action", R"({"SetSetting":{"key":"k","value":{"Bool":true,"Int":1}}})",
       "expected value at line 1 column 45"},
      {"Action", R"({"SetSetting":{"key":"k","value":{"Nope":1}}})",
       "unknown variant `Nope`, expected one of `Bool`, `Int`, `Float`, `Text` at line 1 column "
       "40"},
      {"Action", R"({"SetSetting":{"key":"k","value":{"Int":1.5}}})",
       "invalid type: floating point `1.5`, expected i64 at line 1 column 43"},
      {"Action", R"("SetSetting")", "invalid type: unit variant, expected struct variant"},
      {"Text", "network", "expected ident at line 1 column 2"},
      {"Text", "5", "invalid type: integer `5`, expected a string at line 1 column 1"},
  });
}

// Forms that read, with the canonical written form they give.
TEST(OperationRecords, AcceptedFormsAreWrittenCanonically) {
  run({
      {"Display", "{ \"SetBrightness\" : { \"value\" : 1 } }",
       R"(={"SetBrightness":{"value":1.0}})"},
      {"Display", "{\n\t\"SetBrightness\"\r\n:\n{\"value\":\n1\n}\n}\n",
       R"(={"SetBrightness":{"value":1.0}})"},
      {"Display", R"({"SetBrightness": {"value": 0.5, "note": true}})",
       R"(={"SetBrightness":{"value":0.5}})"},
      {"Display", R"({"SetBrightness": [0.5]})", R"(={"SetBrightness":{"value":0.5}})"},
      {"Display", R"({"SetBrightness":{"value":2}})", R"(={"SetBrightness":{"value":2.0}})"},
      {"Display", R"({"SetScale":{"label":"110%"}})", R"(={"SetScale":{"label":"110%"}})"},
      {"Display", R"({"Apply": null})", R"(="Apply")"},
      {"Display", R"("Confirm")", R"(="Confirm")"},
      {"Display", R"("Revert")", R"(="Revert")"},
      {"Display", R"({"SetMode":{"connector":"eDP-1","mode":[2560,1440,59951]}})",
       R"(={"SetMode":{"connector":"eDP-1","mode":{"width":2560,"height":1440,"refresh_mhz":59951}}})"},
      {"Display", R"({"SetTransform":{"connector":"eDP-1","transform":{"rotate90":null}}})",
       R"(={"SetTransform":{"connector":"eDP-1","transform":"rotate90"}})"},
      {"Display", R"({"SetColorProfile":{"connector":"eDP-1"}})",
       R"(={"SetColorProfile":{"connector":"eDP-1","profile":null}})"},
      {"Display", R"({"SetColorProfile":{"connector":"eDP-1","profile":null}})",
       R"(={"SetColorProfile":{"connector":"eDP-1","profile":null}})"},
      {"Display", R"({"\u0053etScale":{"label":"a\/b\u00e9"}})",
       "={\"SetScale\":{\"label\":\"a/b\xc3\xa9\"}}"},
      {"Update", R"( {"Check" :null} )", R"(="Check")"},
      {"Update", R"({"SetSchedule":{"schedule":"daily"}})",
       R"(={"SetSchedule":{"schedule":"daily"}})"},
      {"Storage", R"({"FreeSyncedFiles":null})", R"(="FreeSyncedFiles")"},
      {"Input", R"({"SetKeyRepeat": {"value": 1}})", R"(={"SetKeyRepeat":{"value":1.0}})"},
      {"Input", R"({"SetMousePointerSpeed": {"value": 1.5}})",
       R"(={"SetMousePointerSpeed":{"value":1.5}})"},
      {"Input", R"({"SetTapDrag": [true]})", R"(={"SetTapDrag":{"enabled":true}})"},
      {"KeyboardSource", R"({"MoveUp": {"index": 0}})", R"(={"MoveUp":{"index":0}})"},
      {"TimeDate", R"({"SetHourCycle": {"h24": true, "note": "x"}})",
       R"(={"SetHourCycle":{"h24":true}})"},
      {"Audio", R"({"RouteStream": {"stream_id": 42, "playback": true}})",
       R"(={"RouteStream":{"stream_id":42,"playback":true,"device_id":null}})"},
      {"Audio", R"({"RouteStream": [42, true, null]})",
       R"(={"RouteStream":{"stream_id":42,"playback":true,"device_id":null}})"},
      {"Audio", R"({"SelectOutput": {"device_id": 4294967295}})",
       R"(={"SelectOutput":{"device_id":4294967295}})"},
      {"Audio", R"({"SetBalance": {"value": 0}})", R"(={"SetBalance":{"value":0.0}})"},
      {"Audio", R"({"SetStreamVolume": {"value": 0.5, "stream_id": 7}})",
       R"(={"SetStreamVolume":{"stream_id":7,"value":0.5}})"},
      {"Audio", R"({"ToggleDiagnostics": null})", R"(="ToggleDiagnostics")"},
      {"Power", R"({"SetSuspendTimeout": ["default", "30 minutes"]})",
       R"(={"SetSuspendTimeout":{"profile":"default","label":"30 minutes"}})"},
      {"Network", R"({"Refresh": null})", R"(="Refresh")"},
      {"Bluetooth", R"({"Refresh": null})", R"(="Refresh")"},
      {"Bluetooth", R"({"Connect":{"path":"/dev/a","extra":[1]}})",
       R"(={"Connect":{"path":"/dev/a"}})"},
      {"Account", R"({"SubmitForm": null})", R"(="SubmitForm")"},
      {"Account", R"({"Add": {"kind": "email"}})", R"(={"Add":{"kind":"email"}})"},
      {"Printer", R"({"SetEnabled":{"enabled":false,"x":1,"name":"q"}})",
       R"(={"SetEnabled":{"name":"q","enabled":false}})"},
      {"DeviceMesh", R"({"SetWorkspace":{"id":18446744073709551615,"enabled":true}})",
       R"(={"SetWorkspace":{"id":18446744073709551615,"enabled":true}})"},
      {"AgentModel", R"({"StageAccelerator":null})", R"(="StageAccelerator")"},
      {"AgentProvider", R"({"SetDetails":{"id":"a","label":"b","endpoint":"c"}})",
       R"(={"SetDetails":{"id":"a","label":"b","endpoint":"c","model":null}})"},
      {"AgentProvider", R"({"SetDetails":["a","b","c",null]})",
       R"(={"SetDetails":{"id":"a","label":"b","endpoint":"c","model":null}})"},
      {"Action", R"({"SetSetting":{"value":{"Text":"Dark"},"key":"appearance.theme"}})",
       R"(={"SetSetting":{"key":"appearance.theme","value":{"Text":"Dark"}}})"},
      {"Action", R"({"SetSetting":["appearance.high_contrast",{"Bool":false}]})",
       R"(={"SetSetting":{"key":"appearance.high_contrast","value":{"Bool":false}}})"},
      {"Action", R"({"SetSetting":{"key":"k","value":{"Int":-9223372036854775808}}})",
       R"(={"SetSetting":{"key":"k","value":{"Int":-9223372036854775808}}})"},
      {"Action", R"({"SetSetting":{"key":"k","value":{"Float":1}},"zz":[1e999,{"a":[]}]})",
       "expected value at line 1 column 45"},
      {"Action", R"({"SetSetting":{"key":"k","zz":"\ud800","value":{"Float":1}}})",
       R"(={"SetSetting":{"key":"k","value":{"Float":1.0}}})"},
      {"Value", R"({"Float":1})", R"(={"Float":1.0})"},
  });
}

// Refusals that the record Parts single out.
TEST(OperationRecords, RecordEdgeRefusals) {
  run({
      {"Display", R"({"SetTransform":{"connector":"eDP-1","transform":"Rotate90"}})",
       "unknown variant `Rotate90`, expected one of `normal`, `rotate90`, `rotate180`, "
       "`rotate270` at line 1 column 59"},
      {"Update", R"({"SetMetered":{}})", "missing field `allowed` at line 1 column 16"},
      {"Update", R"("SetSchedule")", "invalid type: unit variant, expected struct variant"},
      {"Storage", R"({"CleanupCaches": {}})",
       "invalid type: map, expected unit at line 1 column 18"},
      {"Storage", R"("Cleanup")",
       "unknown variant `Cleanup`, expected one of `CleanupCaches`, `FreeSyncedFiles`, "
       "`OpenDisks`, `OpenBackups` at line 1 column 9"},
      {"Input", R"({"SetKeyRepeat": {"value": "1"}})",
       "invalid type: string \"1\", expected f64 at line 1 column 30"},
      {"Input", R"("SetTapToClick")", "invalid type: unit variant, expected struct variant"},
      {"KeyboardSource", R"({"MoveUp": {"index": -1}})",
       "invalid value: integer `-1`, expected u64 at line 1 column 23"},
      {"TimeDate", R"({"SetTimezone": {}})", "missing field `timezone` at line 1 column 18"},
      {"Audio", R"({"SelectOutput": {"device_id": 4294967296}})",
       "invalid value: integer `4294967296`, expected u32 at line 1 column 41"},
      {"Audio", R"({"SelectOutput": {"device_id": -1}})",
       "invalid value: integer `-1`, expected u32 at line 1 column 33"},
      {"Audio", R"("TestChannel")", "invalid type: unit variant, expected struct variant"},
      {"Power", R"({"SetChargeLimit": {"percent": -1}})",
       "invalid value: integer `-1`, expected u32 at line 1 column 33"},
      {"Power", R"({"SetChargeLimit": {"percent": 80.5}})",
       "invalid type: floating point `80.5`, expected u32 at line 1 column 35"},
      {"Network", R"({"Refresh": {}})", "invalid type: map, expected unit at line 1 column 12"},
      {"Network", R"("SetHotspot")", "invalid type: unit variant, expected struct variant"},
      {"Network", R"({"SetWifiEnabled": {"enabled": "true"}})",
       "invalid type: string \"true\", expected a boolean at line 1 column 37"},
      {"Bluetooth", R"({"SetWifiEnabled": {"enabled": true}})",
       "unknown variant `SetWifiEnabled`, expected one of `SetPowered`, `StartScan`, `Refresh`, "
       "`Pair`, `Connect`, `Disconnect`, `Forget` at line 1 column 17"},
      {"Account", R"("Test")", "invalid type: unit variant, expected struct variant"},
      {"Account", R"({"Test": {}})", "missing field `id` at line 1 column 11"},
      {"Printer", R"({"CancelJob":{"id":7}})",
       "invalid type: integer `7`, expected a string at line 1 column 20"},
      {"Printer", R"({"Refresh":{}})", "invalid type: map, expected unit at line 1 column 11"},
      {"DeviceMesh", R"({"SetWorkspace":{"id":-1,"enabled":true}})",
       "invalid value: integer `-1`, expected u64 at line 1 column 24"},
      {"DeviceMesh", R"({"SetWorkspace":{"id":1.5,"enabled":true}})",
       "invalid type: floating point `1.5`, expected u64 at line 1 column 25"},
      {"DeviceMesh", R"({"SetWorkspace":{"id":18446744073709551616,"enabled":true}})",
       "invalid type: floating point `1.8446744073709552e19`, expected u64 at line 1 column 42"},
      {"DeviceMesh", R"({"SetWorkspace":{"id":"7","enabled":true}})",
       "invalid type: string \"7\", expected u64 at line 1 column 25"},
      {"AgentModel", R"({"Install":{"id":"m","revision":3}})",
       "invalid type: integer `3`, expected a string at line 1 column 33"},
      {"Action", R"({"SetSetting":{"key":"k","value":{"Int":9223372036854775808}}})",
       "invalid value: integer `9223372036854775808`, expected i64 at line 1 column 59"},
      {"Action", R"({"SetSetting":{"key":"k"}})", "missing field `value` at line 1 column 25"},
  });
}

// Every variant of every record, written and read back, is the same record.
template <typename R>
void expect_round_trip(const R& record) {
  const std::string text = write_record(record);
  auto back = read_record<R>(text);
  ASSERT_TRUE(back) << text << ": " << back.error();
  EXPECT_TRUE(*back == record) << text;
  EXPECT_EQ(write_record(*back), text);
}

template <typename R, std::size_t... I>
void round_trip_all(std::index_sequence<I...>) {
  (expect_round_trip(R(std::variant_alternative_t<I, typename R::variant>{})), ...);
}

template <typename R>
void round_trip_all() {
  round_trip_all<R>(std::make_index_sequence<std::variant_size_v<typename R::variant>>{});
}

TEST(OperationRecords, EveryVariantRoundTrips) {
  round_trip_all<DisplayOperation>();
  round_trip_all<UpdateOperation>();
  round_trip_all<StorageOperation>();
  round_trip_all<InputOperation>();
  round_trip_all<KeyboardSourceOperation>();
  round_trip_all<TimeDateOperation>();
  round_trip_all<AudioOperation>();
  round_trip_all<PowerOperation>();
  round_trip_all<NetworkOperation>();
  round_trip_all<BluetoothOperation>();
  round_trip_all<AccountOperation>();
  round_trip_all<PrinterOperation>();
  round_trip_all<UserOperation>();
  round_trip_all<DeviceMeshOperation>();
  round_trip_all<AgentModelOperation>();
  round_trip_all<AgentProviderOperation>();
  round_trip_all<SettingsAction>();
  round_trip_all<SettingValue>();
  // Values that stress the writer: awkward floats, escapes, extremes.
  expect_round_trip(DisplayOperation(DisplayOperation::SetBrightness{0.1 + 0.2}));
  expect_round_trip(DisplayOperation(DisplayOperation::SetBrightness{1e-310}));
  expect_round_trip(
      DisplayOperation(DisplayOperation::SetMode{"e\"\\\n\x01/é", {1, 2, 4294967295}}));
  expect_round_trip(
      DisplayOperation(DisplayOperation::SetTransform{"x", OutputTransform::kRotate270}));
  expect_round_trip(DisplayOperation(DisplayOperation::SetColorProfile{"x", "sRGB"}));
  expect_round_trip(AudioOperation(AudioOperation::RouteStream{1, false, 0}));
  expect_round_trip(SettingValue(SettingValue::Int{std::numeric_limits<std::int64_t>::min()}));
  expect_round_trip(SettingValue(SettingValue::Float{-0.0}));
  expect_round_trip(DeviceMeshOperation(
      DeviceMeshOperation::SetWorkspace{std::numeric_limits<std::uint64_t>::max(), true}));
}

TEST(OperationRecords, NonFiniteFloatIsWrittenAsNull) {
  EXPECT_EQ(
      write_record(SettingValue(SettingValue::Float{std::numeric_limits<double>::infinity()})),
      R"({"Float":null})");
  EXPECT_EQ(to_tree(SettingsAction::set_setting("a", true)).dump(),
            R"({"SetSetting":{"key":"a","value":{"Bool":true}}})");
  auto tree = to_tree(SettingsAction::SetSetting{"k", SettingValue::Float{NAN}});
  EXPECT_TRUE(tree["SetSetting"]["value"]["Float"].is_null());
  EXPECT_EQ(write_record(SettingsAction::set_setting("appearance.theme", "Dark")),
            R"({"SetSetting":{"key":"appearance.theme","value":{"Text":"Dark"}}})");
}

TEST(Mailbox, TagsAndEmptyValues) {
  EXPECT_TRUE(DeviceLocalRequest{}.empty());
  EXPECT_FALSE(
      DeviceLocalRequest(std::in_place_type<UpdateOperation>, UpdateOperation::Check{}).empty());
  EXPECT_EQ(AccountPaneRequest{}.tag(), 255);
  EXPECT_EQ(AccountPaneRequest(AccountPaneRequest::OpenAddForm{AccountKind::kNextcloud}).tag(), 0);
  EXPECT_EQ(AccountPaneRequest(AccountPaneRequest::CancelReauthentication{}).tag(), 6);
  OperationCompletion c;
  EXPECT_EQ(c.tag(), 0);
  EXPECT_FALSE(c.key());
  c = OperationCompletion::Failed{"settings.power-operation:\"x\"", "no"};
  EXPECT_EQ(c.tag(), 3);
  EXPECT_EQ(c.key(), "settings.power-operation:\"x\"");
}

}  // namespace
}  // namespace settings::operations
