#pragma once

// Ed25519 keys and key pair files on top of OpenSSL, shared by the two
// halves of the identity library. Nothing here logs; private bytes live only
// in Wiped buffers or inside OpenSSL's keys.

#include <openssl/crypto.h>
#include <openssl/types.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>

#include "identity/user_identity.h"
#include "kalu_ui/result.h"

namespace identity_detail {

using kalu_user_identity::Digest;
using kalu_user_identity::PublicKey;
using kalu_user_identity::Signature;

// A fixed buffer that is wiped when it goes away. Fixed, so no copy of the
// secret is left behind by a reallocation.
template <std::size_t N>
struct Wiped {
  std::array<std::uint8_t, N> bytes{};

  Wiped() = default;
  Wiped(const Wiped&) = delete;
  Wiped& operator=(const Wiped&) = delete;
  ~Wiped() { OPENSSL_cleanse(bytes.data(), N); }
};

struct PkeyFree {
  void operator()(EVP_PKEY* key) const;
};
using Pkey = std::unique_ptr<EVP_PKEY, PkeyFree>;

constexpr std::size_t kSeedSize = 32;
constexpr std::size_t kKeyFileSize = 72;

Digest sha256(std::span<const std::uint8_t> bytes);

kalu_ui::Result<Signature> sign(EVP_PKEY* key, std::span<const std::uint8_t> message);

struct KeyPair {
  Pkey key;
  PublicKey public_key{};
};

// A fresh random key pair; `file` receives its key pair file bytes.
kalu_ui::Result<KeyPair> generate(Wiped<kKeyFileSize>& file);

// Reads the raw key pair file bytes at `path` into `file` and checks them
// (size, magic, halves that belong together); the key pair they hold.
kalu_ui::Result<KeyPair> read_key_pair_file(const std::filesystem::path& path,
                                            Wiped<kKeyFileSize>& file);

// Writes key pair file bytes at `path`: atomically, mode 0600, missing
// parent folders created 0700.
kalu_ui::Status write_key_pair_file(const std::filesystem::path& path,
                                    const Wiped<kKeyFileSize>& file);

}  // namespace identity_detail
