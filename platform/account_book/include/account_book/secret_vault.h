#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "kalu_ui/result.h"
#include "kalu_ui/secret.h"

// The credential vault: one secret (a password, an app password, a token)
// per account id, kept encrypted in the one file "vault.enc" of the vault
// directory (paths.h).
//
// The file is AES-256-GCM ciphertext behind a small versioned header, with a
// fresh random nonce at every save. Its 256-bit key lives in "vault.key"
// beside it, readable by the owner only; the key is made once, from the
// system's random source, by the first save, and never replaced while a
// vault exists. Both files are written atomically with mode 0600.
//
// A vault is read whole when it is opened, through the bounded reader
// (safe_write/read.h): a vault or key that is not a regular file, or a vault
// past kMaxVaultBytes, is refused at once. A vault file that exists but
// cannot be read, whose key is missing, or that fails authentication is
// never replaced: such a vault answers no secrets and refuses to save
// ("credential vault could not be read: ..."), so a passing fault or a lost
// key never turns into an empty vault written over the user's credentials.
//
// Secrets are held as SecretText and the plaintext in wiping buffers: every
// copy is overwritten before its memory is released. The vault never logs, and no error text
// carries a secret.
//
// One thread at a time; nothing is locked against other processes.
namespace account_book {

// The largest vault file read: thousands of credentials take far less.
inline constexpr std::size_t kMaxVaultBytes = std::size_t{4} << 20;

class SecretVault {
 public:
  // The vault of the default accounts root (paths.h); without one, a vault
  // that holds nothing and cannot be saved ("no config dir").
  static SecretVault open();
  // The vault under the accounts root `root`.
  static SecretVault open_in(const std::filesystem::path& root);
  // A vault of its own in the file `file`, its key in "vault.key" beside it:
  // for secrets that are no account's, which account changes (and their
  // roll-backs, which rewrite the accounts' vault file) must never touch.
  static SecretVault open_file(const std::filesystem::path& file);

  SecretVault(SecretVault&&) noexcept = default;
  SecretVault& operator=(SecretVault&&) noexcept = default;
  SecretVault(const SecretVault&) = delete;
  SecretVault& operator=(const SecretVault&) = delete;
  ~SecretVault() = default;

  // A copy of the secret saved for `id`; none when there is none or the
  // vault could not be read.
  std::optional<kalu_ui::secret::SecretText> get(std::string_view id) const;
  // Sets the secret of `id` in memory; try_save writes it.
  void put(std::string_view id, kalu_ui::secret::SecretText secret);
  // Forgets the secret of `id` in memory; answers whether there was one.
  bool remove(std::string_view id);
  // Writes the vault (and, the first time, its key). Fails without writing
  // anything when the vault could not be read when it was opened.
  kalu_ui::Status try_save();

  // Why the vault could not be read when it was opened; none when it could
  // (a vault that does not exist yet reads as empty).
  const std::optional<std::string>& read_error() const { return read_error_; }
  // Whether the key is an owner-only file beside the vault rather than one
  // held by a desktop secret service. This library keeps only the former.
  bool uses_local_key() const { return true; }
  // The vault file this vault reads and writes; none without a root.
  const std::optional<std::filesystem::path>& file() const { return file_; }

 private:
  SecretVault() = default;

  std::optional<std::filesystem::path> file_;  // .../vault/vault.enc
  std::optional<std::string> read_error_;
  std::map<std::string, kalu_ui::secret::SecretText, std::less<>> entries_;
};

// The vault file under an accounts root: vault_dir_in(root) / "vault.enc".
std::filesystem::path vault_file_in(const std::filesystem::path& root);

}  // namespace account_book
