#include "identity/user_identity.h"

#include <fmt/format.h>
#include <openssl/evp.h>

#include <string_view>
#include <vector>

#include "crypto.h"

namespace kalu_user_identity {
namespace {

using identity_detail::Wiped;

constexpr std::string_view kCertDomain{"kalu.device-cert.v1\0", 20};
constexpr std::string_view kRevocationDomain{"kalu.revocation.v1\0", 19};

// The canonical encoding that the signatures cover.
class Encoder {
 public:
  explicit Encoder(std::string_view domain) { raw(domain.data(), domain.size()); }

  Encoder& key(const PublicKey& key) {
    raw(key.data(), key.size());
    return *this;
  }
  Encoder& u64(std::uint64_t value) {
    for (int i = 0; i < 8; ++i) out_.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    return *this;
  }
  Encoder& byte(std::uint8_t value) {
    out_.push_back(value);
    return *this;
  }
  Encoder& text(std::string_view value) {
    u64(value.size());
    raw(value.data(), value.size());
    return *this;
  }
  Digest digest() const { return identity_detail::sha256(out_); }

 private:
  void raw(const void* data, std::size_t size) {
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    out_.insert(out_.end(), bytes, bytes + size);
  }

  std::vector<std::uint8_t> out_;
};

// The first bytes of a key in hexadecimal, enough to tell devices apart in
// a message.
std::string short_key(const PublicKey& key) {
  return fmt::format("{:02x}{:02x}{:02x}{:02x}", key[0], key[1], key[2], key[3]);
}

}  // namespace

Digest device_cert_signing_digest(const DeviceCert& cert) {
  Encoder e(kCertDomain);
  e.key(cert.user_public_key).key(cert.device_public_key).text(cert.device_label);
  e.byte(cert.capabilities.can_own_workspaces)
      .byte(cert.capabilities.can_admit_devices)
      .byte(cert.capabilities.can_act_as_host)
      .byte(cert.capabilities.can_read_all_workspaces);
  e.u64(cert.issued_at_ns);
  e.byte(cert.expires_at_ns.has_value()).u64(cert.expires_at_ns.value_or(0));
  return e.digest();
}

Digest revocation_signing_digest(const RevocationEntry& entry) {
  Encoder e(kRevocationDomain);
  e.key(entry.user_public_key).key(entry.revoked_device_public_key).u64(entry.revoked_at_ns);
  e.byte(static_cast<std::uint8_t>(entry.reason));
  return e.digest();
}

bool verify_signature(const PublicKey& key, std::span<const std::uint8_t> message,
                      const Signature& signature) {
  identity_detail::Pkey pkey(
      EVP_PKEY_new_raw_public_key(EVP_PKEY_ED25519, nullptr, key.data(), key.size()));
  if (!pkey) return false;
  EVP_MD_CTX* ctx = EVP_MD_CTX_new();
  if (ctx == nullptr) return false;
  const bool ok = EVP_DigestVerifyInit(ctx, nullptr, nullptr, nullptr, pkey.get()) == 1 &&
                  EVP_DigestVerify(ctx, signature.bytes.data(), signature.bytes.size(),
                                   message.data(), message.size()) == 1;
  EVP_MD_CTX_free(ctx);
  return ok;
}

kalu_ui::Status verify_device_cert(const DeviceCert& cert) {
  if (verify_signature(cert.user_public_key, device_cert_signing_digest(cert), cert.signature)) {
    return {};
  }
  return kalu_ui::fail("the device certificate of \"{}\" is not validly signed by its user key",
                       cert.device_label);
}

kalu_ui::Status verify_revocation_entry(const RevocationEntry& entry) {
  if (verify_signature(entry.user_public_key, revocation_signing_digest(entry), entry.signature)) {
    return {};
  }
  return kalu_ui::fail("the revocation of device {} is not validly signed by its user key",
                       short_key(entry.revoked_device_public_key));
}

kalu_ui::Result<PublicKey> read_device_key(const std::filesystem::path& path) {
  Wiped<identity_detail::kKeyFileSize> file;
  auto pair = identity_detail::read_key_pair_file(path, file);
  if (!pair) return std::unexpected(pair.error());
  return pair->public_key;
}

kalu_ui::Result<PublicKey> create_device_key(const std::filesystem::path& path) {
  Wiped<identity_detail::kKeyFileSize> file;
  auto pair = identity_detail::generate(file);
  if (!pair) return std::unexpected(pair.error());
  if (auto written = identity_detail::write_key_pair_file(path, file); !written) {
    return std::unexpected(written.error());
  }
  return pair->public_key;
}

}  // namespace kalu_user_identity
