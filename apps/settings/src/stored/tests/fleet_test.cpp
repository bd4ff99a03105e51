#include "stored/fleet.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <nlohmann/json.hpp>
#include <sstream>

#include "fleet_fixture.h"

namespace {

namespace fs = std::filesystem;
using namespace settings::stored;
using identity_testing::ScopedEnv;
using identity_testing::TestIdentity;
using kalu_user_identity::RevocationReason;
using settings::stored::testing::FleetWorld;
using ::testing::HasSubstr;
using ::testing::StartsWith;
using Json = nlohmann::ordered_json;

std::string read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

void write_file(const fs::path& path, const std::string& text) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

// This device, a phone that was lost, and the phone's revocation.
class Fleet : public ::testing::Test {
 protected:
  FleetWorld world_;
  PublicKey phone_ = identity_testing::random_public_key();
  StoredFleet fleet_ = world_.fleet(
      {world_.alice().certify(world_.this_device(), "Desk", {true, true, true, true}, 5, 50),
       world_.alice().certify(phone_, "Phone")},
      {world_.alice().revoke(phone_, 77, RevocationReason::Lost)});
};

TEST_F(Fleet, WrittenFleetReadsBackVerifiedAndRewritesTheSameBytes) {
  ASSERT_TRUE(fleet::write_fleet(world_.identity_dir(), fleet_));
  EXPECT_EQ(fs::status(world_.fleet_file()).permissions(), fs::perms(0600));
  const std::string text = read_file(world_.fleet_file());
  EXPECT_THAT(text, HasSubstr("\n      \"expires_at_ns\": null,\n"));
  EXPECT_THAT(text, HasSubstr("\"reason\": \"Lost\""));

  auto read = fleet::read_verified_fleet(world_.identity_dir(), "alice");
  ASSERT_TRUE(read) << read.error().message;
  EXPECT_EQ(*read, fleet_);
  EXPECT_EQ(read->to_json_pretty(), text);

  auto devices = fleet::load_active_fleet();
  ASSERT_TRUE(devices) << devices.error().message;
  ASSERT_EQ(devices->size(), 2u);
  EXPECT_EQ((*devices)[0], (FleetDevice{"Desk", fleet::fingerprint(world_.this_device()),
                                        world_.this_device(), true, false, true}));
  EXPECT_EQ((*devices)[1],
            (FleetDevice{"Phone", fleet::fingerprint(phone_), phone_, false, true, false}));
}

TEST_F(Fleet, RefusalsCarryKindAndMessage) {
  auto bob = TestIdentity::create(world_.identity_dir(), "bob", "Bob", false).value();
  struct Case {
    const char* name;
    std::function<void(Json&)> edit;  // on the written document
    ErrorKind kind;
    const char* message;
  };
  const Case cases[] = {
      {"two tampered certificates: the first is reported",
       [](Json& j) {
         j["certificates"][0]["issued_at_ns"] = 6;
         j["certificates"][1]["issued_at_ns"] = 6;
       },
       ErrorKind::InvalidData, "the device certificate of \"Desk\" is not validly signed"},
      {"tampered revocation", [](Json& j) { j["revocations"][0]["revoked_at_ns"] = 78; },
       ErrorKind::InvalidData, "the revocation of device"},
      {"schema 2", [](Json& j) { j["schema_version"] = 2; }, ErrorKind::InvalidData,
       "device fleet identity/schema mismatch"},
      {"other identity's id", [](Json& j) { j["identity_id"] = "bob"; }, ErrorKind::InvalidData,
       "device fleet identity/schema mismatch"},
      {"extra top-level key", [](Json& j) { j["note"] = 1; }, ErrorKind::InvalidData,
       "unknown field `note`"},
      {"extra certificate key", [](Json& j) { j["certificates"][1]["color"] = "red"; },
       ErrorKind::InvalidData, "unknown field `color`"},
      {"extra capability", [](Json& j) { j["certificates"][0]["capabilities"]["fly"] = true; },
       ErrorKind::InvalidData, "unknown field `fly`"},
      {"extra revocation key", [](Json& j) { j["revocations"][0]["by"] = "me"; },
       ErrorKind::InvalidData, "unknown field `by`"},
      {"63-byte signature", [](Json& j) { j["certificates"][0]["signature"].erase(63); },
       ErrorKind::InvalidData, "expected 64-byte signature, got 63"},
      {"63-byte string signature",
       [](Json& j) { j["revocations"][0]["signature"] = std::string(63, 'a'); },
       ErrorKind::InvalidData, "expected 64-byte signature, got 63"},
      {"missing required key", [](Json& j) { j["certificates"][0].erase("issued_at_ns"); },
       ErrorKind::InvalidData, "missing field `issued_at_ns`"},
  };
  ASSERT_TRUE(fleet::write_fleet(world_.identity_dir(), fleet_));
  const Json written = Json::parse(read_file(world_.fleet_file()));
  for (const Case& c : cases) {
    Json edited = written;
    c.edit(edited);
    write_file(world_.fleet_file(), edited.dump(2));
    auto read = fleet::load_active_fleet();
    ASSERT_FALSE(read) << c.name;
    EXPECT_EQ(read.error().kind, c.kind) << c.name;
    EXPECT_THAT(read.error().message, StartsWith(c.message)) << c.name;
  }

  // A validly signed revocation by another identity's key.
  fleet_.revocations.push_back(bob.revoke(world_.this_device(), 1, RevocationReason::Stolen));
  ASSERT_TRUE(fleet::write_fleet(world_.identity_dir(), fleet_));
  EXPECT_EQ(fleet::load_active_fleet().error(),
            (IoError{ErrorKind::InvalidData, "device fleet contains another identity"}));

  fs::remove(world_.fleet_file());
  EXPECT_EQ(fleet::load_active_fleet().error().kind, ErrorKind::NotFound);
}

TEST_F(Fleet, ActiveIdentityAndUnsafeIds) {
  fs::remove(world_.identity_dir() / "active");
  EXPECT_EQ(fleet::active_identity().error(), (IoError{ErrorKind::NotFound, "no active identity"}));
  EXPECT_EQ(fleet::load_active_fleet().error().kind, ErrorKind::NotFound);

  // Several marked active: the first in list order wins.
  LocalIdentity a, b, c;
  a.id = "a";
  b.id = "b";
  c.id = "c";
  b.active = c.active = true;
  EXPECT_EQ(fleet::find_active_identity({a, b, c})->id, "b");
  EXPECT_EQ(fleet::find_active_identity({a}), std::nullopt);

  using namespace std::string_literals;
  for (const std::string& id : {""s, ".."s, "../alice"s, "x/y"s, "a\0b"s}) {
    auto read = fleet::read_verified_fleet(world_.identity_dir(), id);
    ASSERT_FALSE(read);
    EXPECT_EQ(read.error().kind, ErrorKind::InvalidData);
    StoredFleet unsafe = fleet_;
    unsafe.identity_id = id;
    EXPECT_EQ(fleet::write_fleet(world_.identity_dir(), unsafe).error().kind,
              ErrorKind::InvalidData);
  }
  EXPECT_FALSE(fs::exists(world_.identity_dir() / "fleets"));
}

TEST(FleetRecords, SignatureFormsExpiryAndFingerprint) {
  Json cert = {{"user_public_key", Json(std::vector<int>(32, 1))},
               {"device_public_key",
                Json(std::vector<int>{0, 1, 171, 255, 16, 9, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                      0, 0, 0,   0,   0,  0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0})},
               {"device_label", "Tablet"},
               {"capabilities",
                {{"can_own_workspaces", false},
                 {"can_admit_devices", false},
                 {"can_act_as_host", true},
                 {"can_read_all_workspaces", false}}},
               {"issued_at_ns", 1},
               {"signature", std::string(32, 'a') + std::string(32, 'b')}};
  Json doc = {{"schema_version", 1},
              {"identity_id", "x"},
              {"certificates", Json::array({cert})},
              {"revocations", Json::array()}};
  auto read = StoredFleet::from_json(doc.dump());
  ASSERT_TRUE(read) << read.error();
  const DeviceCert& got = read->certificates[0];
  EXPECT_EQ(got.signature.bytes[0], 'a');
  EXPECT_EQ(got.signature.bytes[63], 'b');
  EXPECT_EQ(got.expires_at_ns, std::nullopt) << "absent reads as no expiry";
  EXPECT_EQ(fleet::fingerprint(got.device_public_key), "00 01 AB FF 10 09");
  // Written back as an array of 64 integers, with the expiry as null.
  const Json back = Json::parse(read->to_json_pretty());
  EXPECT_EQ(back["certificates"][0]["signature"].size(), 64u);
  EXPECT_EQ(back["certificates"][0]["signature"][0], 97);
  EXPECT_TRUE(back["certificates"][0]["expires_at_ns"].is_null());

  // A key of 31 bytes, a byte of 256, a non-ASCII string of 64 characters
  // but more bytes, and an unknown reason are refused.
  const std::pair<std::function<void(Json&)>, const char*> bad[] = {
      {[](Json& j) { j["certificates"][0]["user_public_key"].erase(31); }, "invalid length 31"},
      {[](Json& j) { j["certificates"][0]["signature"] = Json(std::vector<int>(64, 256)); }, "256"},
      {[](Json& j) {
         std::string text;
         for (int i = 0; i < 64; ++i) text += "\xC3\xA9";
         j["certificates"][0]["signature"] = text;
       },
       "expected 64-byte signature, got 128"},
      {[](Json& j) { j["schema_version"] = -1; }, "invalid value"},
  };
  for (const auto& [edit, message] : bad) {
    Json edited = doc;
    edit(edited);
    auto refused = StoredFleet::from_json(edited.dump());
    ASSERT_FALSE(refused) << message;
    EXPECT_THAT(refused.error(), HasSubstr(message));
  }
  Json revocation_doc = doc;
  revocation_doc["revocations"] =
      Json::array({{{"user_public_key", Json(std::vector<int>(32, 1))},
                    {"revoked_device_public_key", Json(std::vector<int>(32, 2))},
                    {"revoked_at_ns", 3},
                    {"reason", {{"Compromised", nullptr}}},
                    {"signature", Json(std::vector<int>(64, 4))}}});
  EXPECT_EQ(StoredFleet::from_json(revocation_doc.dump())->revocations[0].reason,
            RevocationReason::Compromised);
  revocation_doc["revocations"][0]["reason"] = "Misplaced";
  EXPECT_THAT(StoredFleet::from_json(revocation_doc.dump()).error(),
              HasSubstr("unknown variant `Misplaced`"));
}

TEST(IdentityRoot, VariableSystemRootOrDataDirectory) {
  char tmpl[] = "/tmp/identity_root.XXXXXX";
  const fs::path temp = ::mkdtemp(tmpl);
  ScopedEnv data("XDG_DATA_HOME", (temp / "data").string());
  {
    ScopedEnv root("KALU_IDENTITY_ROOT", "/custom/root");
    EXPECT_EQ(fleet::identity_root(), fs::path("/custom/root"));
  }
  // An empty value counts as unset: it would read key files relative to the
  // working directory.
  ScopedEnv root("KALU_IDENTITY_ROOT", "");
  EXPECT_EQ(fleet::identity_root(), temp / "data/kalu");
  // Without a data folder there is no root, never one relative to the
  // working directory; a system root still answers.
  auto none = fleet::identity_root_with(temp / "system", std::nullopt);
  ASSERT_FALSE(none);
  EXPECT_EQ(none.error(), (host_identity::IoError{host_identity::ErrorKind::NotFound,
                                                  std::string(fleet::kNoIdentityRoot)}));
  fs::create_directories(temp / "system/device");
  EXPECT_EQ(fleet::identity_root_with(temp / "system", temp / "data"), temp / "system");
  EXPECT_EQ(fleet::identity_root_with(temp / "system", std::nullopt), temp / "system");
  EXPECT_EQ(fleet::identity_key_paths("/r").device_keypair_path,
            fs::path("/r/device-private/keypair.bin"));
  fs::remove_all(temp);
}

}  // namespace
