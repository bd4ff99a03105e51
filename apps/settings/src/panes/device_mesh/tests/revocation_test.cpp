#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <climits>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "panes/device_mesh/model.h"
#include "panes/device_mesh/operations.h"
#include "stored/tests/fleet_fixture.h"

namespace {

namespace fs = std::filesystem;
using namespace settings::panes::device_mesh;
using namespace std::chrono;
using kalu_user_identity::RevocationReason;
using settings::stored::ErrorKind;
using settings::stored::IoError;
using settings::stored::testing::FleetWorld;
namespace fleet = settings::stored::fleet;

std::string read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

ino_t inode_of(const fs::path& path) {
  struct stat info {};
  ::stat(path.c_str(), &info);
  return info.st_ino;
}

// This device and a laptop, certified by the active identity; a tablet
// revoked earlier.
class Revocation : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(fleet::write_fleet(
        world_.identity_dir(),
        world_.fleet(
            {world_.alice().certify(world_.this_device(), "Desk"),
             world_.alice().certify(laptop_, "Laptop"), world_.alice().certify(tablet_, "Tablet")},
            {world_.alice().revoke(tablet_, 5, RevocationReason::Retired)})));
  }

  FleetWorld world_;
  kalu_user_identity::PublicKey laptop_ = identity_testing::random_public_key();
  kalu_user_identity::PublicKey tablet_ = identity_testing::random_public_key();
};

TEST_F(Revocation, AppendsAVerifiedEntryAndKeepsTheFilePrivate) {
  const auto now = system_clock::time_point(seconds(1'700'000'000) + nanoseconds(42));
  auto label = revoke_device(laptop_, "Stolen", now);
  ASSERT_TRUE(label) << label.error().message;
  EXPECT_EQ(revoked_status_text(*label), "Laptop can no longer access your workspaces");
  EXPECT_EQ(fs::status(world_.fleet_file()).permissions(), fs::perms(0600));

  auto read = fleet::read_verified_fleet(world_.identity_dir(), "alice");
  ASSERT_TRUE(read) << read.error().message;
  ASSERT_EQ(read->revocations.size(), 2u);
  const auto& entry = read->revocations.back();
  EXPECT_EQ(entry.revoked_device_public_key, laptop_);
  EXPECT_EQ(entry.user_public_key, world_.alice().public_key());
  EXPECT_EQ(entry.reason, RevocationReason::Stolen);
  EXPECT_EQ(entry.revoked_at_ns, 1'700'000'000'000'000'042u);
  EXPECT_TRUE(fleet::load_active_fleet()->at(1).revoked);

  // A clock before the epoch signs 0; an unknown reason name is Retired.
  auto other = identity_testing::random_public_key();
  auto fleet_now = fleet::read_verified_fleet(world_.identity_dir(), "alice").value();
  fleet_now.certificates.push_back(world_.alice().certify(other, "Watch"));
  ASSERT_TRUE(fleet::write_fleet(world_.identity_dir(), fleet_now));
  ASSERT_TRUE(revoke_device(other, "Misplaced", system_clock::time_point(-seconds(1))));
  const auto last = fleet::read_verified_fleet(world_.identity_dir(), "alice")->revocations.back();
  EXPECT_EQ(last.revoked_at_ns, 0u);
  EXPECT_EQ(last.reason, RevocationReason::Retired);
}

TEST_F(Revocation, RefusalsWriteNothing) {
  const std::string before = read_file(world_.fleet_file());
  const ino_t inode = inode_of(world_.fleet_file());
  struct Case {
    const char* name;
    kalu_user_identity::PublicKey key;
    IoError error;
  };
  const Case cases[] = {
      {"this device",
       world_.this_device(),
       {ErrorKind::PermissionDenied,
        "use another trusted device to revoke the device you are using"}},
      {"unknown device",
       identity_testing::random_public_key(),
       {ErrorKind::NotFound, "device is not enrolled"}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(revoke_device(c.key, "Lost").error(), c.error) << c.name;
  }
  // Revoked already: done, with the file left as it was.
  EXPECT_EQ(revoke_device(tablet_, "Lost"), "Tablet");
  EXPECT_EQ(read_file(world_.fleet_file()), before);
  EXPECT_EQ(inode_of(world_.fleet_file()), inode);
}

TEST_F(Revocation, SigningIdentityMustBeTheFleetsAndLoadable) {
  const std::string before = read_file(world_.fleet_file());
  // The store's record of alice names another key than her key file holds.
  const fs::path entry = world_.identity_dir() / "identities/alice/identity.json";
  const std::string original = read_file(entry);
  auto json = nlohmann::ordered_json::parse(original);
  json["public_key"][0] = (json["public_key"][0].get<int>() + 1) % 256;
  std::ofstream(entry, std::ios::trunc) << json.dump();
  ASSERT_NE(host_identity::list_identities(world_.identity_dir())->at(0).public_key,
            world_.alice().public_key());
  EXPECT_EQ(
      revoke_device(laptop_, "Lost").error(),
      (IoError{ErrorKind::InvalidData, "active signing identity does not match its device fleet"}));

  std::ofstream(entry, std::ios::trunc) << original;
  fs::remove(world_.identity_dir() / "identities/alice/signing.key");
  auto missing_key = revoke_device(laptop_, "Lost");
  ASSERT_FALSE(missing_key);
  EXPECT_EQ(missing_key.error().kind, ErrorKind::Other);
  EXPECT_EQ(read_file(world_.fleet_file()), before);
}

TEST(RevocationTime, SaturatesAtBothEnds) {
  using Secs = time_point<system_clock, seconds>;
  EXPECT_EQ(unix_time_ns(Secs(seconds(-5))), 0u);
  EXPECT_EQ(unix_time_ns(system_clock::time_point(nanoseconds(123))), 123u);
  EXPECT_EQ(unix_time_ns(Secs(seconds(18'446'744'073))), 18'446'744'073'000'000'000u);
  EXPECT_EQ(unix_time_ns(Secs(seconds(18'446'744'074))), UINT64_MAX);
  EXPECT_EQ(unix_time_ns(Secs(seconds(LLONG_MAX))), UINT64_MAX);
}

TEST(RevocationReasonName, OnlyThreeNamesAreNotRetired) {
  const std::pair<const char*, RevocationReason> cases[] = {
      {"Lost", RevocationReason::Lost},
      {"Stolen", RevocationReason::Stolen},
      {"Compromised", RevocationReason::Compromised},
      {"Retired", RevocationReason::Retired},
      {"lost", RevocationReason::Retired},
      {"", RevocationReason::Retired},
  };
  for (const auto& [name, reason] : cases)
    EXPECT_EQ(revocation_reason_from_name(name), reason) << name;
}

}  // namespace
