#include "stored/home_peers.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace settings::stored {
namespace {

using ::testing::HasSubstr;

constexpr const char* kPeer =
    R"({"schema_version": 1, "device_node_id": "node-a", "relay_service_node_id": "svc-a",
        "relay_endpoint": {"addrs": ["10.0.0.2:7443"], "relay": null}, "label": "NAS",
        "user_public_key": [1, 2, 3], "device_cert": {"device_label": "NAS"},
        "relay_workspace_ids": [7, 18446744073709551615]})";

TEST(HomePeerRecordTest, ObjectAndSequenceFormsCarryOtherComponentsJsonAsItIs) {
  auto peers = read_home_peer_registrations(
      std::string("[") + kPeer +
      R"(, [2, "node-b", "svc-b", "addr", "Attic", "key", {"c": [1]}, []]])");
  ASSERT_TRUE(peers) << peers.error();
  ASSERT_EQ(peers->size(), 2u);
  const auto& a = (*peers)[0];
  EXPECT_EQ(a.device_node_id, "node-a");
  EXPECT_EQ(a.relay_service_node_id, "svc-a");
  EXPECT_EQ(a.relay_endpoint.value.dump(), R"({"addrs":["10.0.0.2:7443"],"relay":null})");
  EXPECT_EQ(a.user_public_key.value.dump(), "[1,2,3]");
  EXPECT_THAT(a.relay_workspace_ids, ::testing::ElementsAre(7u, UINT64_MAX));
  EXPECT_EQ((*peers)[1].schema_version, 2u);
  EXPECT_EQ((*peers)[1].device_cert.value.dump(), R"({"c":[1]})");
}

TEST(HomePeerRecordTest, RefusesUnknownMissingAndShortRecords) {
  std::string unknown = kPeer;
  unknown.insert(1, R"("nickname": "x", )");
  std::string missing = kPeer;
  missing.replace(missing.find(R"("label": "NAS",)"), 15, "");
  const struct {
    std::string text;
    const char* message;
  } cases[] = {
      {"[" + unknown + "]", "unknown field `nickname`, expected one of `schema_version`"},
      {"[" + missing + "]", "missing field `label`"},
      {R"([[1, "n", "s", null, "L", "k", {}]])", "struct HomePeerRegistration with 8 elements"},
      {R"([{"schema_version": -1}])", "invalid value: integer `-1`, expected u32"},
      {R"({"device_node_id": "n"})", "sequence"},
  };
  for (const auto& c : cases) {
    auto peers = read_home_peer_registrations(c.text);
    ASSERT_FALSE(peers) << c.text;
    EXPECT_THAT(peers.error(), HasSubstr(c.message)) << c.text;
  }
}

}  // namespace
}  // namespace settings::stored
