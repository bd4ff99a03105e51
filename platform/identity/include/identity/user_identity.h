#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>

#include "kalu_ui/result.h"

// Device certificates and revocation entries of a person's device fleet, and
// the device key pair file. A certificate says that the identity holding a
// user key admitted a device (named by its public key); a revocation entry
// says that the identity cut a device off. Both are signed with Ed25519 by
// the user key over the SHA-256 digest of a canonical encoding of every
// field but the signature, so a record verifies on its own: the public key
// that must have signed it is one of its fields. Whether that key is the
// expected identity is the caller's question.
//
// Canonical encodings (integers little-endian, a text as its byte length in
// 8 bytes followed by its UTF-8 bytes):
//   certificate: "kalu.device-cert.v1" and a zero byte, user_public_key (32),
//     device_public_key (32), device_label (text), the four capabilities
//     as one byte each (0 or 1, in declaration order), issued_at_ns (8),
//     one byte 1 and expires_at_ns (8) when there is an expiry, else one
//     byte 0 and 8 zero bytes.
//   revocation: "kalu.revocation.v1" and a zero byte, user_public_key (32),
//     revoked_device_public_key (32), revoked_at_ns (8), the reason as one
//     byte (Lost 0, Stolen 1, Retired 2, Compromised 3).
// The domain texts keep a signature over one kind of record from passing as
// a signature over the other. Expiry and issue times are carried and signed,
// not judged: verification answers whether the signature holds.
//
// Key pair file (used for the device key, "device-private/keypair.bin" under
// the identity root, and for the user keys of the identity store): exactly
// 72 bytes, mode 0600:
//   offset 0   8 bytes  "KALUKEY1"
//   offset 8  32 bytes  the Ed25519 private key (its 32-byte seed)
//   offset 40 32 bytes  the Ed25519 public key derived from it
// A file of another size, another magic, or whose public half is not the one
// the private half gives is refused. Private key bytes read from such a file
// are wiped (OPENSSL_cleanse) as soon as they were used, and never appear in
// an error message.
namespace kalu_user_identity {

using PublicKey = std::array<std::uint8_t, 32>;
using Digest = std::array<std::uint8_t, 32>;

// A 64-byte Ed25519 signature. A type of its own because it is stored in a
// form of its own (see the fleet document).
struct Signature {
  std::array<std::uint8_t, 64> bytes{};

  bool operator==(const Signature&) const = default;
};

struct DeviceCapabilities {
  bool can_own_workspaces = false;
  bool can_admit_devices = false;
  bool can_act_as_host = false;
  bool can_read_all_workspaces = false;

  bool operator==(const DeviceCapabilities&) const = default;
};

struct DeviceCert {
  PublicKey user_public_key{};
  PublicKey device_public_key{};
  std::string device_label;
  DeviceCapabilities capabilities;
  std::uint64_t issued_at_ns = 0;
  std::optional<std::uint64_t> expires_at_ns;
  Signature signature;

  bool operator==(const DeviceCert&) const = default;
};

enum class RevocationReason : std::uint8_t {
  Lost,
  Stolen,
  Retired,
  Compromised,
};

struct RevocationEntry {
  PublicKey user_public_key{};
  PublicKey revoked_device_public_key{};
  std::uint64_t revoked_at_ns = 0;
  RevocationReason reason = RevocationReason::Retired;
  Signature signature;

  bool operator==(const RevocationEntry&) const = default;
};

// The digests that the signatures cover (the signature field is not part of
// them, so an entry can be digested before it is signed).
Digest device_cert_signing_digest(const DeviceCert& cert);
Digest revocation_signing_digest(const RevocationEntry& entry);

// Whether `signature` is an Ed25519 signature of `message` by `key`; false
// also for a key that is not a valid Ed25519 point.
bool verify_signature(const PublicKey& key, std::span<const std::uint8_t> message,
                      const Signature& signature);

// Succeeds when the certificate's signature by its user key holds; else the
// certificate error text, which names the device label.
kalu_ui::Status verify_device_cert(const DeviceCert& cert);

// Succeeds when the entry's signature by its user key holds; else the
// revocation error text.
kalu_ui::Status verify_revocation_entry(const RevocationEntry& entry);

// The public key of the device key pair in the key pair file at `path`; the
// private half is checked against it and wiped. Fails with a text that names
// the path and the reason (unreadable, wrong size, not a key pair file,
// halves that do not belong together).
kalu_ui::Result<PublicKey> read_device_key(const std::filesystem::path& path);

// Creates a new random device key pair in a key pair file at `path` (mode
// 0600, atomically, missing parents created 0700) and answers its public
// key. Device keys are made by enrolment; the settings program only reads
// them, and tests and set-up tools make them here.
kalu_ui::Result<PublicKey> create_device_key(const std::filesystem::path& path);

}  // namespace kalu_user_identity
