#include "identity/testing.h"

#include <openssl/rand.h>

#include <cstdlib>

#include "layout.h"

namespace identity_testing {

kalu_ui::Result<TestIdentity> TestIdentity::create(const std::filesystem::path& identity_dir,
                                                   std::string_view id, std::string_view label,
                                                   bool make_active) {
  auto entry = host_identity::create_identity(identity_dir, id, label, make_active);
  if (!entry) return kalu_ui::fail(entry.error().message);
  auto signer = host_identity::load_from_path(identity_detail::key_path(identity_dir, id));
  if (!signer) return std::unexpected(signer.error());
  return TestIdentity(std::move(*entry), std::move(*signer));
}

DeviceCert TestIdentity::certify(const PublicKey& device, std::string label,
                                 DeviceCapabilities caps, std::uint64_t issued_at_ns,
                                 std::optional<std::uint64_t> expires_at_ns) const {
  DeviceCert cert{public_key(), device, std::move(label), caps, issued_at_ns, expires_at_ns, {}};
  // A signing failure leaves the zero signature, which no check accepts.
  if (auto signature = signer_.sign(kalu_user_identity::device_cert_signing_digest(cert))) {
    cert.signature = *signature;
  }
  return cert;
}

RevocationEntry TestIdentity::revoke(const PublicKey& device, std::uint64_t revoked_at_ns,
                                     RevocationReason reason) const {
  RevocationEntry entry{public_key(), device, revoked_at_ns, reason, {}};
  if (auto signature = signer_.sign(kalu_user_identity::revocation_signing_digest(entry))) {
    entry.signature = *signature;
  }
  return entry;
}

ScopedEnv::ScopedEnv(const char* name, std::optional<std::string> value) : name_(name) {
  if (const char* old = std::getenv(name)) previous_ = old;
  if (value) {
    ::setenv(name, value->c_str(), 1);
  } else {
    ::unsetenv(name);
  }
}

ScopedEnv::~ScopedEnv() {
  if (previous_) {
    ::setenv(name_, previous_->c_str(), 1);
  } else {
    ::unsetenv(name_);
  }
}

PublicKey random_public_key() {
  PublicKey key{};
  RAND_bytes(key.data(), static_cast<int>(key.size()));
  return key;
}

}  // namespace identity_testing
