#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "identity/host_identity.h"
#include "identity/user_identity.h"
#include "kalu_ui/result.h"

// Test support: real identities, device keys, certificates and revocation
// entries, signed by the same code that verifies them, so tests build fleets
// the way enrolment would rather than from canned bytes.
namespace identity_testing {

using kalu_user_identity::DeviceCapabilities;
using kalu_user_identity::DeviceCert;
using kalu_user_identity::PublicKey;
using kalu_user_identity::RevocationEntry;
using kalu_user_identity::RevocationReason;

// An identity created in an identity directory (`host_identity::
// create_identity`), with its signing key loaded to issue records.
class TestIdentity {
 public:
  static kalu_ui::Result<TestIdentity> create(const std::filesystem::path& identity_dir,
                                              std::string_view id, std::string_view label,
                                              bool make_active = true);

  const host_identity::LocalIdentity& entry() const { return entry_; }
  const PublicKey& public_key() const { return entry_.public_key; }

  // A certificate for `device`, signed by this identity.
  DeviceCert certify(const PublicKey& device, std::string label, DeviceCapabilities caps = {},
                     std::uint64_t issued_at_ns = 1'700'000'000'000'000'000,
                     std::optional<std::uint64_t> expires_at_ns = std::nullopt) const;
  // A revocation of `device`, signed by this identity.
  RevocationEntry revoke(const PublicKey& device, std::uint64_t revoked_at_ns,
                         RevocationReason reason) const;

 private:
  TestIdentity(host_identity::LocalIdentity entry, host_identity::SigningIdentity signer)
      : entry_(std::move(entry)), signer_(std::move(signer)) {}

  host_identity::LocalIdentity entry_;
  host_identity::SigningIdentity signer_;
};

// Sets (or, given nothing, unsets) an environment variable for the guard's
// lifetime and restores it afterwards. Process-wide; not for concurrent use.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, std::optional<std::string> value);
  ~ScopedEnv();
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  const char* name_;
  std::optional<std::string> previous_;
};

// A fresh random public key that no key file holds (a device of the fleet
// other than this one).
PublicKey random_public_key();

}  // namespace identity_testing
