#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "identity/io_error.h"
#include "identity/user_identity.h"
#include "kalu_ui/result.h"

// The local identity store: the signing identities of the person signed in,
// one of which is active (the one newly launched apps act as). The store is
// a directory of files; every call reads it afresh and nothing is cached.
//
// Identity directory: $KALU_IDENTITY_DIR when it is set and not empty, else
// "kalu/identities" under the user's data directory ($XDG_DATA_HOME when it
// is absolute, else ".local/share" under the home directory). Its layout:
//
//   active                      the active identity's id as UTF-8 text (white
//                               space around it ignored); absent or empty:
//                               no identity is active
//   identities/<id>/identity.json
//                               {"id": "<id>", "label": "...",
//                                "public_key": [32 integers 0..255],
//                                "threshold": n, "signers": m}
//                               ("threshold" and "signers" are unsigned
//                               16-bit, 1 when absent; other keys ignored)
//   identities/<id>/signing.key the identity's user key pair, in the key pair
//                               file format of user_identity.h, mode 0600
//   fleets/<id>.json            the device fleet of the identity, kept by the
//                               settings program (not read here)
//
// An id is a file name: not empty, at most 128 bytes, no "/", no NUL, no
// ".."; "id" inside identity.json must equal its folder's name. Files are
// written atomically (safe_write) with mode 0600 and folders made 0700.
// Private key bytes are wiped (OPENSSL_cleanse) once they were used and are
// never written to a message or a log.
namespace host_identity {

using kalu_user_identity::PublicKey;
using kalu_user_identity::Signature;

// How an identity's private key is kept. This store keeps keys in private
// files; a key file that group or others may read needs migration (see
// `secure_identity`), a missing one leaves the identity without a provider.
enum class Protection : std::uint8_t {
  SecretService = 0,
  PrivateFile = 1,
  HardwareBacked = 2,
  MigrationRequired = 3,
  ProviderUnavailable = 4,
};

struct LocalIdentity {
  std::string id;
  std::string label;  // may be empty
  PublicKey public_key{};
  // A k-of-n signing policy, stored and shown as "{threshold}-of-{signers}".
  std::uint16_t threshold = 1;
  std::uint16_t signers = 1;
  bool active = false;
  Protection protection = Protection::ProviderUnavailable;

  bool operator==(const LocalIdentity&) const = default;
};

// What the About page shows of the active identity.
struct IdentityProfile {
  std::string name;  // the identity's label
  PublicKey public_key{};
};

// Whether `id` may name an identity (and a file named after it).
bool is_valid_identity_id(std::string_view id);

// The identity directory (see above); NotFound when there is neither the
// variable nor a home directory. The directory need not exist.
IoResult<std::filesystem::path> identity_dir_from_env();

// The identities of the store in id order, each marked active or not.
// NotFound when `dir` does not exist; a store without an "identities"
// folder has none. An identity whose identity.json cannot be read or does
// not match its folder is left out.
IoResult<std::vector<LocalIdentity>> list_identities(const std::filesystem::path& dir);

// The key file of the active identity, or nothing when no identity is
// active or the active id names no identity of the store.
IoResult<std::optional<std::filesystem::path>> resolve_active_identity(
    const std::filesystem::path& dir);

// A user identity's signing key, loaded from its key pair file. It keeps
// the private key inside the crypto library, which wipes it when the
// identity is destroyed.
class SigningIdentity {
 public:
  SigningIdentity(SigningIdentity&&) noexcept;
  SigningIdentity& operator=(SigningIdentity&&) noexcept;
  ~SigningIdentity();

  const PublicKey& public_key() const { return public_key_; }
  // The Ed25519 signature of `message`.
  kalu_ui::Result<Signature> sign(std::span<const std::uint8_t> message) const;

  struct Key;  // the crypto library's key; defined in the implementation

 private:
  friend kalu_ui::Result<SigningIdentity> load_from_path(const std::filesystem::path&);
  SigningIdentity(std::unique_ptr<Key> key, const PublicKey& public_key);

  std::unique_ptr<Key> key_;
  PublicKey public_key_{};
};

// Loads the signing identity whose key pair file is `key_path` (as
// `resolve_active_identity` answers it). The error names the file and why.
kalu_ui::Result<SigningIdentity> load_from_path(const std::filesystem::path& key_path);

// The active identity of the store named by the environment: its label and
// public key. NotFound "no active identity" when none is active.
IoResult<IdentityProfile> load();

// Makes `id` the active identity; a no-op when it is already. Fails when the
// id names no identity of the store.
kalu_ui::Status set_active_identity(const std::filesystem::path& dir, std::string_view id);

// Removes an identity and its key file. The active identity is refused
// (another one must be chosen first); an id the store does not hold fails.
kalu_ui::Status remove_identity(const std::filesystem::path& dir, std::string_view id);

// Moves an identity that needs migration to the protected store: its key
// file is checked and written again, atomically, with mode 0600. A no-op for
// an identity already protected; fails when it has no key file.
kalu_ui::Status secure_identity(const std::filesystem::path& dir, std::string_view id);

// Creates a new identity with a fresh key pair, optionally making it the
// active one. Refuses an id that is invalid or taken. Identities are made by
// the platform's set-up; tests and set-up tools make them here.
IoResult<LocalIdentity> create_identity(const std::filesystem::path& dir, std::string_view id,
                                        std::string_view label, bool make_active);

}  // namespace host_identity
