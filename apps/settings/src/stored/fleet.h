#pragma once

// The device fleet of the active identity: the document that lists every
// device the identity certified and every device it cut off, read only when
// every signature in it holds, and turned into the device list the Devices
// & Sync pane shows. Also where this device's key files lie under the
// identity root.
//
// Every call reads afresh and caches nothing. Failures are I/O errors with a
// kind: NotFound (no active identity, no fleet document, no identity
// directory: nothing set up yet), InvalidData (a document that does not
// read, belongs to another identity or does not verify) or Other (the
// identity library's errors). A failed read of a file keeps the kind the
// system reported.
//
// The fleet document, "fleets/<identity id>.json" under the identity
// directory of host_identity (file mode 0600, replaced whole):
//
//   {
//     "schema_version": 1,
//     "identity_id": "<id of the identity that owns the fleet>",
//     "certificates": [DeviceCert, ...],
//     "revocations": [RevocationEntry, ...]     (new entries at the end)
//   }
//   DeviceCert: {"user_public_key": key, "device_public_key": key,
//     "device_label": "...", "capabilities": {"can_own_workspaces": b,
//     "can_admit_devices": b, "can_act_as_host": b,
//     "can_read_all_workspaces": b}, "issued_at_ns": u64,
//     "expires_at_ns": u64 or null (may be left out), "signature": sig}
//   RevocationEntry: {"user_public_key": key, "revoked_device_public_key":
//     key, "revoked_at_ns": u64, "reason": "Lost" | "Stolen" | "Retired" |
//     "Compromised", "signature": sig}
//
// A key is an array of 32 integers 0..255. A signature is written as an
// array of 64 integers 0..255 and read from such an array or from a string
// whose UTF-8 bytes are the signature; either way it must hold exactly 64
// bytes ("expected 64-byte signature, got 63"). Every object refuses keys
// it does not name, and every key is required ("expires_at_ns" aside); the
// array form of a record (its values in the order above) is read as well.
// The document is written in the two-space pretty form, keys in the order
// above.
//
// An identity id is used as a file name: an id that is empty or holds "/",
// "..", a NUL or a control character is refused (InvalidData) before any
// path is built, so no id reads or writes outside the "fleets" folder.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "identity/host_identity.h"
#include "identity/io_error.h"
#include "identity/user_identity.h"
#include "kalu_ui/result.h"

namespace settings::stored {

using host_identity::ErrorKind;
using host_identity::IoError;
using host_identity::IoResult;
using host_identity::LocalIdentity;
using kalu_user_identity::DeviceCert;
using kalu_user_identity::PublicKey;
using kalu_user_identity::RevocationEntry;

// The key files under the identity root. Only the device key pair is read
// by this program, through kalu_user_identity::read_device_key.
struct IdentityKeyPaths {
  std::filesystem::path user_public_key_path;   // "user-identity/pubkey.bin"
  std::filesystem::path user_private_key_path;  // "user-identity/privkey.bin"
  std::filesystem::path device_keypair_path;    // "device-private/keypair.bin"
  std::filesystem::path device_cert_path;       // "device/cert.bin"

  bool operator==(const IdentityKeyPaths&) const = default;
};

struct StoredFleet {
  std::uint32_t schema_version = 1;
  std::string identity_id;
  std::vector<DeviceCert> certificates;
  std::vector<RevocationEntry> revocations;

  bool operator==(const StoredFleet&) const = default;

  // The document read under the rules above; the refusal says where.
  static kalu_ui::Result<StoredFleet> from_json(std::string_view text);
  // The pretty form that is stored.
  std::string to_json_pretty() const;
};

// One device of the fleet as the Devices & Sync pane lists it.
struct FleetDevice {
  std::string label;
  std::string fingerprint;  // "00 01 AB FF 10 09": the key's first six bytes
  PublicKey device_public_key{};
  bool this_device = false;
  bool revoked = false;
  bool can_act_as_host = false;

  bool operator==(const FleetDevice&) const = default;
};

// The identity directory and the active identity in it.
struct ActiveIdentity {
  std::filesystem::path identity_dir;
  LocalIdentity identity;
};

namespace fleet {

inline constexpr std::string_view kNoIdentityRoot =
    "the identity store is unavailable: no data folder is known (neither XDG_DATA_HOME nor a "
    "home folder is set)";

// The identity root: $KALU_IDENTITY_ROOT when it is set and not empty (an
// empty value would put the key files in the working directory); else the
// system root "/var/lib/kalu" when it holds a "device" folder; else "kalu"
// under the user's data directory. Without any of them it is NotFound
// (kNoIdentityRoot): a root relative to wherever the program runs would read
// and write key files there.
IoResult<std::filesystem::path> identity_root();
// The same with another system root in place of "/var/lib/kalu" and the
// user's data directory given (none: not known).
IoResult<std::filesystem::path> identity_root_with(
    const std::filesystem::path& system_root, const std::optional<std::filesystem::path>& data_dir);

IdentityKeyPaths identity_key_paths(const std::filesystem::path& root);

// "<base>/fleets/<id>.json"; InvalidData for an id that cannot name a file.
IoResult<std::filesystem::path> fleet_path(const std::filesystem::path& base,
                                           std::string_view identity_id);

// The fleet document of `expected_id` under `base`, checked in this order
// (the first failure ends the read): read (a missing file is NotFound);
// parsed (InvalidData with the reader's message); "schema_version" 1 and
// "identity_id" equal to `expected_id` (InvalidData "device fleet
// identity/schema mismatch"); each certificate's signature, then each
// revocation's (InvalidData with the first failure's text).
IoResult<StoredFleet> read_verified_fleet(const std::filesystem::path& base,
                                          std::string_view expected_id);

// The first identity of the list marked active.
std::optional<LocalIdentity> find_active_identity(const std::vector<LocalIdentity>& identities);

// The identity directory from the environment and its active identity;
// NotFound "no active identity" when none is marked active. Errors of the
// identity store pass unchanged.
IoResult<ActiveIdentity> active_identity();

// This device's public key, from "device-private/keypair.bin" under the
// identity root; the private half is wiped inside the identity library.
// Other with the library's text when it cannot be read.
IoResult<PublicKey> load_device_signing_key();

// The active identity's devices, one per certificate in certificate order,
// marked this device and revoked. InvalidData "device fleet contains
// another identity" when a certificate or revocation carries a user key
// other than the active identity's.
IoResult<std::vector<FleetDevice>> load_active_fleet();

// "00 01 AB FF 10 09": the first six bytes of a key in upper-case
// hexadecimal, joined by spaces.
std::string fingerprint(const PublicKey& key);

// Replaces the fleet document of `fleet.identity_id` under `base` with the
// pretty form (atomically, mode 0600; a missing "fleets" folder is made
// 0700). A fleet whose text would not read back (a label that is not UTF-8)
// is refused with InvalidData and nothing is written.
IoResult<void> write_fleet(const std::filesystem::path& base, const StoredFleet& fleet);

// Appends a signed revocation entry and writes the fleet. The entry must
// verify first (Other with the library's text); nothing is written
// otherwise.
IoResult<void> append_revocation(const std::filesystem::path& base, StoredFleet fleet,
                                 RevocationEntry entry);

}  // namespace fleet
}  // namespace settings::stored
