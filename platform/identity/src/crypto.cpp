#include "crypto.h"

#include <fcntl.h>
#include <fmt/format.h>
#include <openssl/evp.h>
#include <openssl/rand.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string_view>
#include <system_error>

#include "safe_write/safe_write.h"

namespace identity_detail {
namespace {

namespace fs = std::filesystem;
using kalu_ui::fail;

constexpr std::string_view kMagic = "KALUKEY1";
constexpr std::size_t kSeedOffset = kMagic.size();
constexpr std::size_t kPublicOffset = kSeedOffset + kSeedSize;
static_assert(kPublicOffset + 32 == kKeyFileSize);

std::string system_text(int err) { return std::error_code(err, std::generic_category()).message(); }

struct MdCtxFree {
  void operator()(EVP_MD_CTX* ctx) const { EVP_MD_CTX_free(ctx); }
};
using MdCtx = std::unique_ptr<EVP_MD_CTX, MdCtxFree>;

kalu_ui::Result<PublicKey> public_key_of(EVP_PKEY* key) {
  PublicKey out{};
  std::size_t length = out.size();
  if (EVP_PKEY_get_raw_public_key(key, out.data(), &length) != 1 || length != out.size()) {
    return fail("the crypto library could not derive a public key");
  }
  return out;
}

kalu_ui::Result<KeyPair> key_pair_from_seed(const std::uint8_t* seed) {
  Pkey key(EVP_PKEY_new_raw_private_key(EVP_PKEY_ED25519, nullptr, seed, kSeedSize));
  if (!key) return fail("the crypto library refused an Ed25519 private key");
  auto public_key = public_key_of(key.get());
  if (!public_key) return std::unexpected(public_key.error());
  return KeyPair{std::move(key), *public_key};
}

// Reads at most N bytes of the file into `out`; the count read.
template <std::size_t N>
kalu_ui::Result<std::size_t> read_small_file(const fs::path& path, Wiped<N>& out) {
  // Without blocking: a FIFO in the key's place is refused below, not waited on.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    return fail("could not read key file {}: {}", path.string(), system_text(errno));
  }
  struct stat info {};
  if (::fstat(fd, &info) != 0) {
    const int err = errno;
    ::close(fd);
    return fail("could not read key file {}: {}", path.string(), system_text(err));
  }
  if (!S_ISREG(info.st_mode)) {
    ::close(fd);
    return fail("could not read key file {}: not a regular file", path.string());
  }
  std::size_t total = 0;
  while (total < N) {
    const ssize_t n = ::read(fd, out.bytes.data() + total, N - total);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      const int err = errno;
      ::close(fd);
      return fail("could not read key file {}: {}", path.string(), system_text(err));
    }
    if (n == 0) break;
    total += static_cast<std::size_t>(n);
  }
  ::close(fd);
  return total;
}

}  // namespace

void PkeyFree::operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }

Digest sha256(std::span<const std::uint8_t> bytes) {
  Digest out{};
  unsigned int length = 0;
  // SHA-256 of memory cannot fail short of an allocation failure, which
  // OpenSSL reports by leaving the digest unset; an all-zero digest then
  // verifies against no signature.
  EVP_Digest(bytes.data(), bytes.size(), out.data(), &length, EVP_sha256(), nullptr);
  return out;
}

kalu_ui::Result<Signature> sign(EVP_PKEY* key, std::span<const std::uint8_t> message) {
  MdCtx ctx(EVP_MD_CTX_new());
  Signature signature;
  std::size_t length = signature.bytes.size();
  if (!ctx || EVP_DigestSignInit(ctx.get(), nullptr, nullptr, nullptr, key) != 1 ||
      EVP_DigestSign(ctx.get(), signature.bytes.data(), &length, message.data(), message.size()) !=
          1 ||
      length != signature.bytes.size()) {
    return fail("the crypto library could not sign");
  }
  return signature;
}

kalu_ui::Result<KeyPair> generate(Wiped<kKeyFileSize>& file) {
  std::uint8_t* seed = file.bytes.data() + kSeedOffset;
  if (RAND_priv_bytes(seed, kSeedSize) != 1) return fail("no random bytes for a new key");
  auto pair = key_pair_from_seed(seed);
  if (!pair) return pair;
  std::copy(kMagic.begin(), kMagic.end(), file.bytes.begin());
  std::copy(pair->public_key.begin(), pair->public_key.end(), file.bytes.begin() + kPublicOffset);
  return pair;
}

kalu_ui::Result<KeyPair> read_key_pair_file(const fs::path& path, Wiped<kKeyFileSize>& file) {
  // One byte more than a key pair file, to tell a longer file apart.
  Wiped<kKeyFileSize + 1> raw;
  auto count = read_small_file(path, raw);
  if (!count) return std::unexpected(count.error());
  if (*count != kKeyFileSize) {
    return fail("{} is not a key pair file: it holds {}{} bytes, not {}", path.string(),
                *count > kKeyFileSize ? "more than " : "", std::min(*count, kKeyFileSize),
                kKeyFileSize);
  }
  if (!std::equal(kMagic.begin(), kMagic.end(), raw.bytes.begin())) {
    return fail("{} is not a key pair file: unknown header", path.string());
  }
  std::copy_n(raw.bytes.begin(), kKeyFileSize, file.bytes.begin());
  auto pair = key_pair_from_seed(file.bytes.data() + kSeedOffset);
  if (!pair) return fail("{} holds an unusable key: {}", path.string(), pair.error());
  if (!std::equal(pair->public_key.begin(), pair->public_key.end(),
                  file.bytes.begin() + kPublicOffset)) {
    return fail("{} is damaged: its public key does not belong to its private key", path.string());
  }
  return pair;
}

kalu_ui::Status write_key_pair_file(const fs::path& path, const Wiped<kKeyFileSize>& file) {
  const std::string_view bytes(reinterpret_cast<const char*>(file.bytes.data()), file.bytes.size());
  return safe_write::write_creating_parent_with_mode(path, bytes, 0600);
}

}  // namespace identity_detail
