#include "operations/keys.h"

#include <gtest/gtest.h>

namespace settings::operations {
namespace {

TEST(OperationKeys, CanonicalWhateverTheSpelling) {
  const struct {
    const char* action;
    const char* payload;
    const char* key;
  } cases[] = {
      {"settings.display-operation", R"({"SetBrightness": {"value": 0.50}})",
       R"(settings.display-operation:{"SetBrightness":{"value":0.5}})"},
      {"settings.display-operation", "{\n \"SetBrightness\" : [ 5e-1 ] }",
       R"(settings.display-operation:{"SetBrightness":{"value":0.5}})"},
      {"settings.network-operation", R"("Refresh")", R"(settings.network-operation:"Refresh")"},
      {"settings.network-operation", R"({"Refresh":null})",
       R"(settings.network-operation:"Refresh")"},
      {"settings.bluetooth-operation", R"({"Refresh":null})",
       R"(settings.bluetooth-operation:"Refresh")"},
      {"settings.audio-operation", R"({"SetStreamVolume": {"value": 1, "x": 0, "stream_id": 7}})",
       R"(settings.audio-operation:{"SetStreamVolume":{"stream_id":7,"value":1.0}})"},
      {"settings.update-operation", R"({"Check": null})", R"(settings.update-operation:"Check")"},
      {"settings.device-mesh-operation", R"({"SetRole":{"role":"Always-on server"}})",
       R"(settings.device-mesh-operation:{"SetRole":{"role":"Always-on server"}})"},
  };
  for (const auto& c : cases) {
    auto key = device_local_operation_key(c.action, std::string_view(c.payload));
    ASSERT_TRUE(key) << key.error();
    EXPECT_EQ(*key, c.key) << c.payload;
  }
}

TEST(OperationKeys, PaneAndExecutorAgree) {
  // A pane builds the key from the record it carried out; the executor from
  // the client's payload. Both must be the same string.
  const DisplayOperation op = DisplayOperation::SetMode{"eDP-1", {2560, 1440, 59951}};
  auto from_payload = device_local_operation_key(
      "settings.display-operation",
      std::string_view(R"({"SetMode":{"mode":[2560,1440,59951],"connector":"eDP-1"}})"));
  ASSERT_TRUE(from_payload);
  EXPECT_EQ(operation_key("settings.display-operation", op), *from_payload);
  // The pane reads the record back from the key's rest.
  const std::string prefix = "settings.display-operation:";
  ASSERT_TRUE(from_payload->starts_with(prefix));
  auto back = read_record<DisplayOperation>(std::string_view(*from_payload).substr(prefix.size()));
  ASSERT_TRUE(back);
  EXPECT_TRUE(*back == op);
}

TEST(OperationKeys, RefusesWhatItCannotKey) {
  EXPECT_EQ(
      device_local_operation_key("settings.display-operation", std::string_view("{}")).error(),
      "expected value at line 1 column 2");
  // The same payload means another record under another action id.
  EXPECT_FALSE(device_local_operation_key("settings.user-operation",
                                          std::string_view(R"({"Remove":{"name":"q"}})")));
  EXPECT_TRUE(device_local_operation_key("settings.printer-operation",
                                         std::string_view(R"({"Remove":{"name":"q"}})")));
  // An id outside the device-local set is refused whatever the payload.
  for (const std::string_view id : {"settings.account-operation", "", "settings.display"}) {
    EXPECT_EQ(device_local_operation_key(id, std::string_view("\"Test\"")).error(),
              "unknown device-local operation type")
        << id;
  }
}

}  // namespace
}  // namespace settings::operations
