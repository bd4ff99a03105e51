#include "account_book/secret_vault.h"

#include <fcntl.h>
#include <fmt/format.h>
#include <openssl/evp.h>
#include <openssl/rand.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdint>
#include <memory>
#include <system_error>

#include "account_book/paths.h"
#include "safe_write/read.h"
#include "safe_write/safe_write.h"

namespace account_book {

namespace fs = std::filesystem;
using kalu_ui::fail;
using kalu_ui::Result;
using kalu_ui::Status;

using kalu_ui::secret::SecretText;
using kalu_ui::secret::wipe;

namespace {

using Bytes = std::vector<unsigned char, kalu_ui::secret::WipingAllocator<unsigned char>>;

// The sealed file: magic, format version, nonce, ciphertext, tag. The magic
// and the version are authenticated with the ciphertext.
constexpr std::array<unsigned char, 4> kMagic = {'K', 'V', 'L', 'T'};
constexpr unsigned char kVersion = 1;
constexpr std::size_t kHeaderSize = kMagic.size() + 1;
constexpr std::size_t kNonceSize = 12;
constexpr std::size_t kTagSize = 16;
constexpr std::size_t kKeySize = 32;

constexpr std::string_view kKeyFile = "vault.key";

std::string_view as_chars(const Bytes& bytes) {
  return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

// The whole file into a wiping buffer, at most `max_bytes`; none when it
// does not exist. A FIFO, a device or a directory in its place is refused
// without blocking.
Result<std::optional<Bytes>> read_all(const fs::path& path, std::size_t max_bytes) {
  auto file = safe_write::ReadableFile::open(path);
  if (!file) return fail("could not read {}: {}", path.string(), file.error());
  if (!*file) return std::optional<Bytes>();
  Bytes bytes;
  const auto size = (*file)->status().st_size;
  if (size > 0 && static_cast<std::uint64_t>(size) <= max_bytes) {
    bytes.reserve(static_cast<std::size_t>(size));
  }
  auto read = (*file)->read_into(max_bytes, [&](std::string_view chunk) {
    bytes.insert(bytes.end(), chunk.begin(), chunk.end());
  });
  if (!read) return fail("could not read {}: {}", path.string(), read.error());
  return std::optional<Bytes>(std::move(bytes));
}

// A key is 32 bytes; a larger file is no key and is not read whole.
constexpr std::size_t kMaxKeyFileBytes = 4096;

struct CipherFree {
  void operator()(EVP_CIPHER_CTX* ctx) const { EVP_CIPHER_CTX_free(ctx); }
};
using Cipher = std::unique_ptr<EVP_CIPHER_CTX, CipherFree>;

Result<Bytes> seal(const Bytes& key, const Bytes& plain) {
  Bytes out(kHeaderSize + kNonceSize + plain.size() + kTagSize);
  std::copy(kMagic.begin(), kMagic.end(), out.begin());
  out[kMagic.size()] = kVersion;
  unsigned char* nonce = out.data() + kHeaderSize;
  unsigned char* body = nonce + kNonceSize;
  if (RAND_bytes(nonce, kNonceSize) != 1) return fail("could not draw a vault nonce");
  Cipher ctx(EVP_CIPHER_CTX_new());
  int len = 0;
  if (!ctx || EVP_EncryptInit_ex(ctx.get(), EVP_aes_256_gcm(), nullptr, key.data(), nonce) != 1 ||
      EVP_EncryptUpdate(ctx.get(), nullptr, &len, out.data(), kHeaderSize) != 1 ||
      EVP_EncryptUpdate(ctx.get(), body, &len, plain.data(), static_cast<int>(plain.size())) != 1 ||
      EVP_EncryptFinal_ex(ctx.get(), body + len, &len) != 1 ||
      EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_GCM_GET_TAG, kTagSize, body + plain.size()) != 1) {
    return fail("could not encrypt the vault");
  }
  return out;
}

Result<Bytes> unseal(const Bytes& key, const Bytes& sealed, const fs::path& path) {
  if (sealed.size() < kHeaderSize + kNonceSize + kTagSize ||
      !std::equal(kMagic.begin(), kMagic.end(), sealed.begin())) {
    return fail("{} is not a credential vault", path.string());
  }
  if (sealed[kMagic.size()] != kVersion) {
    return fail("{} has vault format {}, which this version cannot read", path.string(),
                sealed[kMagic.size()]);
  }
  const unsigned char* nonce = sealed.data() + kHeaderSize;
  const unsigned char* body = nonce + kNonceSize;
  const std::size_t body_size = sealed.size() - kHeaderSize - kNonceSize - kTagSize;
  // The tag is handed over through a non-const pointer; keep a copy.
  std::array<unsigned char, kTagSize> tag;
  std::copy_n(body + body_size, kTagSize, tag.begin());
  Bytes plain(body_size);
  Cipher ctx(EVP_CIPHER_CTX_new());
  int len = 0;
  const bool ok =
      ctx && EVP_DecryptInit_ex(ctx.get(), EVP_aes_256_gcm(), nullptr, key.data(), nonce) == 1 &&
      EVP_DecryptUpdate(ctx.get(), nullptr, &len, sealed.data(), kHeaderSize) == 1 &&
      EVP_DecryptUpdate(ctx.get(), plain.data(), &len, body, static_cast<int>(body_size)) == 1 &&
      EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_GCM_SET_TAG, kTagSize, tag.data()) == 1 &&
      EVP_DecryptFinal_ex(ctx.get(), plain.data() + len, &len) == 1;
  if (!ok) return fail("{} failed authentication", path.string());
  return plain;
}

// The plaintext: a count, then per entry the id and the secret, each as a
// 32-bit little-endian length and its bytes.
void put_u32(Bytes& out, std::size_t n) {
  for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<unsigned char>(n >> shift));
}

Bytes encode(const std::map<std::string, SecretText, std::less<>>& entries) {
  std::size_t size = 4;
  for (const auto& [id, secret] : entries) size += 8 + id.size() + secret.size();
  Bytes out;
  out.reserve(size);
  put_u32(out, entries.size());
  for (const auto& [id, secret] : entries) {
    put_u32(out, id.size());
    out.insert(out.end(), id.begin(), id.end());
    put_u32(out, secret.size());
    out.insert(out.end(), secret.view().begin(), secret.view().end());
  }
  return out;
}

class Reader {
 public:
  explicit Reader(const Bytes& bytes) : bytes_(bytes) {}
  bool u32(std::uint32_t& out) {
    if (bytes_.size() - pos_ < 4) return false;
    out = 0;
    for (int k = 0; k < 4; ++k) out |= static_cast<std::uint32_t>(bytes_[pos_ + k]) << (8 * k);
    pos_ += 4;
    return true;
  }
  bool chars(std::string_view& out) {
    std::uint32_t n = 0;
    if (!u32(n) || bytes_.size() - pos_ < n) return false;
    out = {reinterpret_cast<const char*>(bytes_.data() + pos_), n};
    pos_ += n;
    return true;
  }
  bool done() const { return pos_ == bytes_.size(); }

 private:
  const Bytes& bytes_;
  std::size_t pos_ = 0;
};

Result<std::map<std::string, SecretText, std::less<>>> decode(const Bytes& plain,
                                                              const fs::path& path) {
  std::map<std::string, SecretText, std::less<>> entries;
  Reader in(plain);
  std::uint32_t count = 0;
  bool ok = in.u32(count);
  for (std::uint32_t k = 0; ok && k < count; ++k) {
    std::string_view id, secret;
    ok = in.chars(id) && in.chars(secret);
    if (ok) entries.insert_or_assign(std::string(id), SecretText::copy_of(secret));
  }
  if (!ok || !in.done()) return fail("{} holds damaged entries", path.string());
  return entries;
}

// The key beside the vault, made and stored owner-only when there is none.
Result<Bytes> key_for_saving(const fs::path& key_path) {
  auto stored = read_all(key_path, kMaxKeyFileBytes);
  if (!stored) return fail(stored.error());
  if (*stored) {
    if ((*stored)->size() != kKeySize) {
      return fail("the vault key {} is damaged", key_path.string());
    }
    return std::move(**stored);
  }
  Bytes key(kKeySize);
  if (RAND_bytes(key.data(), kKeySize) != 1) return fail("could not draw a vault key");
  if (auto written = safe_write::write_creating_parent_with_mode(key_path, as_chars(key), 0600);
      !written) {
    return fail(written.error());
  }
  return key;
}

}  // namespace

fs::path vault_file_in(const fs::path& root) { return vault_dir_in(root) / "vault.enc"; }

SecretVault SecretVault::open() {
  if (auto root = config_root()) return open_in(*root);
  return SecretVault();
}

SecretVault SecretVault::open_in(const fs::path& root) { return open_file(vault_file_in(root)); }

SecretVault SecretVault::open_file(const fs::path& file) {
  SecretVault vault;
  vault.file_ = file;
  const fs::path key_path = file.parent_path() / kKeyFile;
  auto refuse = [&](std::string why) {
    vault.read_error_ = std::move(why);
    return std::move(vault);
  };
  auto sealed = read_all(*vault.file_, kMaxVaultBytes);
  if (!sealed) return refuse(sealed.error());
  if (!*sealed) return vault;  // nothing saved yet
  auto key = read_all(key_path, kMaxKeyFileBytes);
  if (!key) return refuse(key.error());
  if (!*key) return refuse(fmt::format("the vault key {} is missing", key_path.string()));
  if ((*key)->size() != kKeySize) {
    return refuse(fmt::format("the vault key {} is damaged", key_path.string()));
  }
  auto plain = unseal(**key, **sealed, *vault.file_);
  if (!plain) return refuse(plain.error());
  auto entries = decode(*plain, *vault.file_);
  if (!entries) return refuse(entries.error());
  vault.entries_ = std::move(*entries);
  return vault;
}

std::optional<SecretText> SecretVault::get(std::string_view id) const {
  auto found = entries_.find(id);
  if (found == entries_.end()) return std::nullopt;
  return found->second;
}

void SecretVault::put(std::string_view id, SecretText secret) {
  entries_.insert_or_assign(std::string(id), std::move(secret));
}

bool SecretVault::remove(std::string_view id) {
  auto found = entries_.find(id);
  if (found == entries_.end()) return false;
  entries_.erase(found);
  return true;
}

Status SecretVault::try_save() {
  if (!file_) return fail("no config dir");
  if (read_error_) return fail("credential vault could not be read: {}", *read_error_);
  auto key = key_for_saving(file_->parent_path() / kKeyFile);
  if (!key) return fail(key.error());
  auto sealed = seal(*key, encode(entries_));
  if (!sealed) return fail(sealed.error());
  return safe_write::write_creating_parent_with_mode(*file_, as_chars(*sealed), 0600);
}

}  // namespace account_book
