#include "stored/fleet.h"

#include <fcntl.h>
#include <fmt/format.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <system_error>

#include "codec/codec.h"
#include "prefs_store/paths.h"
#include "safe_write/safe_write.h"

// The JSON forms of the identity library's records, described for the
// codec (found through the Tag's namespace).
namespace settings::codec {

using kalu_user_identity::DeviceCapabilities;
using kalu_user_identity::DeviceCert;
using kalu_user_identity::RevocationEntry;
using kalu_user_identity::RevocationReason;
using kalu_user_identity::Signature;

namespace {

constexpr std::size_t kSignatureSize = Signature{}.bytes.size();

Status signature_size_error(std::size_t count) {
  return std::unexpected(
      Parser::data_error(fmt::format("expected {}-byte signature, got {}", kSignatureSize, count)));
}

// An array of integers 0..255, or a string whose UTF-8 bytes are taken as
// they stand; exactly 64 bytes either way. Elements past the 64th are only
// counted, for the refusal.
Status read_signature(Parser& p, Signature& out) {
  const int c = p.peek_ws();
  if (c == '"') {
    p.eat();
    std::string scratch;
    auto text = p.parse_string(scratch);
    if (!text) return std::unexpected(std::move(text.error()));
    if (text->size() != kSignatureSize) return signature_size_error(text->size());
    std::copy(text->begin(), text->end(), out.bytes.begin());
    return {};
  }
  if (c != '[') return std::unexpected(p.invalid_type_here("a 64-byte signature"));
  return detail::in_container(p, false, [&]() -> Status {
    std::size_t count = 0;
    bool first = true;
    while (true) {
      auto more = p.next_element(first);
      if (!more) return std::unexpected(std::move(more.error()));
      if (!*more) break;
      std::uint8_t byte = 0;
      if (auto s = read_value(p, byte); !s) return s;
      if (count < kSignatureSize) out.bytes[count] = byte;
      ++count;
    }
    if (count != kSignatureSize) return signature_size_error(count);
    return {};
  });
}

const std::array<std::uint8_t, 64>& signature_bytes(const Signature& signature) {
  return signature.bytes;
}

}  // namespace

constexpr auto describe(Tag<Signature>) { return custom(&read_signature, &signature_bytes); }

constexpr auto describe(Tag<RevocationReason>) {
  return names<RevocationReason>("RevocationReason", "Lost", "Stolen", "Retired", "Compromised");
}

constexpr auto describe(Tag<DeviceCapabilities>) {
  using T = DeviceCapabilities;
  return record("DeviceCapabilities", field("can_own_workspaces", &T::can_own_workspaces),
                field("can_admit_devices", &T::can_admit_devices),
                field("can_act_as_host", &T::can_act_as_host),
                field("can_read_all_workspaces", &T::can_read_all_workspaces))
      .deny_unknown_fields();
}

constexpr auto describe(Tag<DeviceCert>) {
  using T = DeviceCert;
  return record("DeviceCert", field("user_public_key", &T::user_public_key),
                field("device_public_key", &T::device_public_key),
                field("device_label", &T::device_label), field("capabilities", &T::capabilities),
                field("issued_at_ns", &T::issued_at_ns), field("expires_at_ns", &T::expires_at_ns),
                field("signature", &T::signature))
      .deny_unknown_fields();
}

constexpr auto describe(Tag<RevocationEntry>) {
  using T = RevocationEntry;
  return record("RevocationEntry", field("user_public_key", &T::user_public_key),
                field("revoked_device_public_key", &T::revoked_device_public_key),
                field("revoked_at_ns", &T::revoked_at_ns), field("reason", &T::reason),
                field("signature", &T::signature))
      .deny_unknown_fields();
}

}  // namespace settings::codec

namespace settings::stored {

constexpr auto describe(codec::Tag<StoredFleet>) {
  using T = StoredFleet;
  return codec::record("StoredFleet", codec::field("schema_version", &T::schema_version),
                       codec::field("identity_id", &T::identity_id),
                       codec::field("certificates", &T::certificates),
                       codec::field("revocations", &T::revocations))
      .deny_unknown_fields();
}

kalu_ui::Result<StoredFleet> StoredFleet::from_json(std::string_view text) {
  return codec::from_json<StoredFleet>(text);
}

std::string StoredFleet::to_json_pretty() const { return codec::to_json_pretty(*this); }

namespace fleet {
namespace {

namespace fs = std::filesystem;
using host_identity::io_fail;

constexpr const char* kRootVariable = "KALU_IDENTITY_ROOT";
constexpr const char* kSystemRoot = "/var/lib/kalu";
// A fleet lists a few devices; a document this large is not one, and is
// not read on the UI thread.
constexpr off_t kMaxFleetBytes = 16 * 1024 * 1024;

IoError system_error(int err) {
  return host_identity::io_error_from({err, std::generic_category()});
}

IoResult<std::string> read_whole(const fs::path& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::unexpected(system_error(errno));
  struct stat info {};
  if (::fstat(fd, &info) != 0) {
    const int err = errno;
    ::close(fd);
    return std::unexpected(system_error(err));
  }
  if (S_ISDIR(info.st_mode)) {
    ::close(fd);
    return std::unexpected(system_error(EISDIR));
  }
  if (info.st_size > kMaxFleetBytes) {
    ::close(fd);
    return io_fail(ErrorKind::InvalidData, "device fleet document is too large");
  }
  std::string text;
  char buffer[8192];
  while (true) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      const int err = errno;
      ::close(fd);
      return std::unexpected(system_error(err));
    }
    if (n == 0) break;
    text.append(buffer, static_cast<std::size_t>(n));
    if (text.size() > static_cast<std::size_t>(kMaxFleetBytes)) {
      ::close(fd);
      return io_fail(ErrorKind::InvalidData, "device fleet document is too large");
    }
  }
  ::close(fd);
  return text;
}

bool is_revoked(const StoredFleet& fleet, const PublicKey& device) {
  return std::ranges::any_of(fleet.revocations, [&](const RevocationEntry& entry) {
    return entry.revoked_device_public_key == device;
  });
}

}  // namespace

IoResult<fs::path> identity_root_with(const fs::path& system_root,
                                      const std::optional<fs::path>& data_dir) {
  if (const char* value = std::getenv(kRootVariable); value != nullptr && *value != '\0') {
    return fs::path(value);
  }
  std::error_code ec;
  if (fs::is_directory(system_root / "device", ec)) return system_root;
  if (!data_dir) return io_fail(ErrorKind::NotFound, std::string(kNoIdentityRoot));
  return *data_dir / "kalu";
}

IoResult<fs::path> identity_root() {
  return identity_root_with(kSystemRoot, prefs_store::data_dir());
}

IdentityKeyPaths identity_key_paths(const fs::path& root) {
  return {root / "user-identity/pubkey.bin", root / "user-identity/privkey.bin",
          root / "device-private/keypair.bin", root / "device/cert.bin"};
}

IoResult<fs::path> fleet_path(const fs::path& base, std::string_view identity_id) {
  if (!host_identity::is_valid_identity_id(identity_id)) {
    return io_fail(ErrorKind::InvalidData, "identity id cannot name a device fleet document");
  }
  return base / "fleets" / fmt::format("{}.json", identity_id);
}

IoResult<StoredFleet> read_verified_fleet(const fs::path& base, std::string_view expected_id) {
  auto path = fleet_path(base, expected_id);
  if (!path) return std::unexpected(path.error());
  auto text = read_whole(*path);
  if (!text) return std::unexpected(text.error());
  auto fleet = StoredFleet::from_json(*text);
  if (!fleet) return io_fail(ErrorKind::InvalidData, fleet.error());
  if (fleet->schema_version != 1 || fleet->identity_id != expected_id) {
    return io_fail(ErrorKind::InvalidData, "device fleet identity/schema mismatch");
  }
  for (const DeviceCert& cert : fleet->certificates) {
    if (auto ok = kalu_user_identity::verify_device_cert(cert); !ok) {
      return io_fail(ErrorKind::InvalidData, ok.error());
    }
  }
  for (const RevocationEntry& entry : fleet->revocations) {
    if (auto ok = kalu_user_identity::verify_revocation_entry(entry); !ok) {
      return io_fail(ErrorKind::InvalidData, ok.error());
    }
  }
  return std::move(*fleet);
}

std::optional<LocalIdentity> find_active_identity(const std::vector<LocalIdentity>& identities) {
  auto it = std::ranges::find_if(identities, &LocalIdentity::active);
  if (it == identities.end()) return std::nullopt;
  return *it;
}

IoResult<ActiveIdentity> active_identity() {
  auto dir = host_identity::identity_dir_from_env();
  if (!dir) return std::unexpected(dir.error());
  auto identities = host_identity::list_identities(*dir);
  if (!identities) return std::unexpected(identities.error());
  auto active = find_active_identity(*identities);
  if (!active) return io_fail(ErrorKind::NotFound, "no active identity");
  return ActiveIdentity{std::move(*dir), std::move(*active)};
}

IoResult<PublicKey> load_device_signing_key() {
  auto root = identity_root();
  if (!root) return std::unexpected(root.error());
  auto key = kalu_user_identity::read_device_key(identity_key_paths(*root).device_keypair_path);
  if (!key) return io_fail(ErrorKind::Other, key.error());
  return *key;
}

IoResult<std::vector<FleetDevice>> load_active_fleet() {
  auto active = active_identity();
  if (!active) return std::unexpected(active.error());
  auto fleet = read_verified_fleet(active->identity_dir, active->identity.id);
  if (!fleet) return std::unexpected(fleet.error());
  const PublicKey& user_key = active->identity.public_key;
  const bool foreign = std::ranges::any_of(fleet->certificates,
                                           [&](const DeviceCert& cert) {
                                             return cert.user_public_key != user_key;
                                           }) ||
                       std::ranges::any_of(fleet->revocations, [&](const RevocationEntry& entry) {
                         return entry.user_public_key != user_key;
                       });
  if (foreign) return io_fail(ErrorKind::InvalidData, "device fleet contains another identity");
  auto this_device = load_device_signing_key();
  if (!this_device) return std::unexpected(this_device.error());

  std::vector<FleetDevice> devices;
  devices.reserve(fleet->certificates.size());
  for (const DeviceCert& cert : fleet->certificates) {
    devices.push_back(FleetDevice{cert.device_label, fingerprint(cert.device_public_key),
                                  cert.device_public_key, cert.device_public_key == *this_device,
                                  is_revoked(*fleet, cert.device_public_key),
                                  cert.capabilities.can_act_as_host});
  }
  return devices;
}

std::string fingerprint(const PublicKey& key) {
  return fmt::format("{:02X} {:02X} {:02X} {:02X} {:02X} {:02X}", key[0], key[1], key[2], key[3],
                     key[4], key[5]);
}

IoResult<void> write_fleet(const fs::path& base, const StoredFleet& fleet) {
  auto path = fleet_path(base, fleet.identity_id);
  if (!path) return std::unexpected(path.error());
  std::string text = fleet.to_json_pretty();
  // The writer copies text as it is; only a read shows whether it would
  // come back.
  if (auto back = StoredFleet::from_json(text); !back) {
    return io_fail(ErrorKind::InvalidData, back.error());
  }
  if (auto written = safe_write::write_creating_parent_with_mode(*path, text, 0600); !written) {
    return io_fail(ErrorKind::Other, written.error());
  }
  return {};
}

IoResult<void> append_revocation(const fs::path& base, StoredFleet fleet, RevocationEntry entry) {
  if (auto ok = kalu_user_identity::verify_revocation_entry(entry); !ok) {
    return io_fail(ErrorKind::Other, ok.error());
  }
  fleet.revocations.push_back(std::move(entry));
  return write_fleet(base, fleet);
}

}  // namespace fleet
}  // namespace settings::stored
