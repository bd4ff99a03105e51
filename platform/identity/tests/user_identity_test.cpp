#include "identity/user_identity.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>

#include "identity/testing.h"
#include "temp_dir.h"

namespace {

using namespace kalu_user_identity;
using identity_testing::TestIdentity;
using identity_tests::mode_of;
using identity_tests::read_file;
using identity_tests::TempDir;
using identity_tests::write_file;
using ::testing::HasSubstr;

class UserIdentity : public ::testing::Test {
 protected:
  TempDir dir_;
  TestIdentity alice_ = TestIdentity::create(dir_.path(), "alice", "Alice").value();
  TestIdentity bob_ = TestIdentity::create(dir_.path(), "bob", "Bob", false).value();
  PublicKey device_ = identity_testing::random_public_key();
};

TEST_F(UserIdentity, CertificateSignatureCoversEveryField) {
  const DeviceCert cert = alice_.certify(device_, "Laptop", {true, false, true, false}, 7, 99);
  ASSERT_TRUE(verify_device_cert(cert));

  using Tamper = std::function<void(DeviceCert&)>;
  const std::pair<const char*, Tamper> cases[] = {
      {"label", [](DeviceCert& c) { c.device_label = "Laptop "; }},
      {"device key", [](DeviceCert& c) { c.device_public_key[31] ^= 1; }},
      {"capability", [](DeviceCert& c) { c.capabilities.can_read_all_workspaces = true; }},
      {"issued", [](DeviceCert& c) { c.issued_at_ns = 8; }},
      {"expiry", [](DeviceCert& c) { c.expires_at_ns = 100; }},
      {"no expiry", [](DeviceCert& c) { c.expires_at_ns.reset(); }},
      {"signature", [](DeviceCert& c) { c.signature.bytes[5] ^= 0x80; }},
      {"issuer", [this](DeviceCert& c) { c.user_public_key = bob_.public_key(); }},
  };
  for (const auto& [name, tamper] : cases) {
    DeviceCert changed = cert;
    tamper(changed);
    auto verified = verify_device_cert(changed);
    ASSERT_FALSE(verified) << name;
    EXPECT_THAT(verified.error(), HasSubstr("\"Laptop")) << name;
  }
  // An expiry of 0 is not the same statement as no expiry.
  DeviceCert zero = alice_.certify(device_, "Laptop", {}, 7, 0);
  zero.expires_at_ns.reset();
  EXPECT_FALSE(verify_device_cert(zero));
}

TEST_F(UserIdentity, RevocationSignatureCoversEveryField) {
  const RevocationEntry entry = alice_.revoke(device_, 1234, RevocationReason::Stolen);
  ASSERT_TRUE(verify_revocation_entry(entry));

  using Tamper = std::function<void(RevocationEntry&)>;
  const std::pair<const char*, Tamper> cases[] = {
      {"device", [](RevocationEntry& e) { e.revoked_device_public_key[0] ^= 1; }},
      {"time", [](RevocationEntry& e) { e.revoked_at_ns = 1235; }},
      {"reason", [](RevocationEntry& e) { e.reason = RevocationReason::Lost; }},
      {"signature", [](RevocationEntry& e) { e.signature.bytes[63] ^= 1; }},
      {"issuer", [this](RevocationEntry& e) { e.user_public_key = bob_.public_key(); }},
  };
  for (const auto& [name, tamper] : cases) {
    RevocationEntry changed = entry;
    tamper(changed);
    EXPECT_FALSE(verify_revocation_entry(changed)) << name;
  }
  // The digest leaves the signature out, so it can be taken before signing.
  RevocationEntry unsigned_entry = entry;
  unsigned_entry.signature = {};
  EXPECT_EQ(revocation_signing_digest(unsigned_entry), revocation_signing_digest(entry));
}

TEST_F(UserIdentity, DeviceKeyFileGivesOnlyItsPublicHalf) {
  const auto path = dir_ / "root/device-private/keypair.bin";
  auto created = create_device_key(path);
  ASSERT_TRUE(created) << created.error();
  EXPECT_EQ(mode_of(path), 0600u);
  EXPECT_EQ(mode_of(path.parent_path()), 0700u);
  EXPECT_EQ(read_device_key(path), *created);

  const std::string good = read_file(path);
  ASSERT_EQ(good.size(), 72u);
  std::string other_magic = good;
  other_magic[0] = 'X';
  std::string wrong_half = good;
  wrong_half[71] ^= 1;
  const std::pair<std::string, const char*> cases[] = {
      {good.substr(0, 71), "holds 71 bytes, not 72"},
      {good + "x", "holds more than 72 bytes"},
      {"", "holds 0 bytes"},
      {other_magic, "unknown header"},
      {wrong_half, "does not belong to its private key"},
  };
  for (const auto& [bytes, message] : cases) {
    write_file(path, bytes);
    auto read = read_device_key(path);
    ASSERT_FALSE(read) << message;
    EXPECT_THAT(read.error(), HasSubstr(message));
    EXPECT_THAT(read.error(), HasSubstr(path.string()));
  }
  EXPECT_THAT(read_device_key(dir_ / "missing.bin").error(),
              HasSubstr("No such file or directory"));
  EXPECT_THAT(read_device_key(dir_.path()).error(), HasSubstr("not a regular file"));
}

}  // namespace
