#include "panes/device_mesh/operations.h"

#include <algorithm>

#include "identity/host_identity.h"
#include "panes/device_mesh/model.h"

namespace settings::panes::device_mesh {
namespace {

using host_identity::io_fail;
using kalu_user_identity::DeviceCert;
using kalu_user_identity::RevocationEntry;
using kalu_user_identity::RevocationReason;
using stored::ErrorKind;

}  // namespace

RevocationReason revocation_reason_from_name(std::string_view name) {
  if (name == "Lost") return RevocationReason::Lost;
  if (name == "Stolen") return RevocationReason::Stolen;
  if (name == "Compromised") return RevocationReason::Compromised;
  return RevocationReason::Retired;
}

stored::IoResult<std::string> revoke_device(const kalu_user_identity::PublicKey& device_key,
                                            std::string_view reason_name,
                                            std::chrono::system_clock::time_point now) {
  auto active = stored::fleet::active_identity();
  if (!active) return std::unexpected(active.error());
  auto this_device = stored::fleet::load_device_signing_key();
  if (!this_device) return std::unexpected(this_device.error());
  if (*this_device == device_key) {
    return io_fail(ErrorKind::PermissionDenied,
                   "use another trusted device to revoke the device you are using");
  }

  auto fleet = stored::fleet::read_verified_fleet(active->identity_dir, active->identity.id);
  if (!fleet) return std::unexpected(fleet.error());
  const auto cert =
      std::ranges::find(fleet->certificates, device_key, &DeviceCert::device_public_key);
  if (cert == fleet->certificates.end()) {
    return io_fail(ErrorKind::NotFound, "device is not enrolled");
  }
  std::string label = cert->device_label;
  if (std::ranges::find(fleet->revocations, device_key,
                        &RevocationEntry::revoked_device_public_key) != fleet->revocations.end()) {
    return label;
  }

  auto key_path = host_identity::resolve_active_identity(active->identity_dir);
  if (!key_path) return std::unexpected(key_path.error());
  if (!*key_path) return io_fail(ErrorKind::NotFound, "active identity is unavailable");
  auto signer = host_identity::load_from_path(**key_path);
  if (!signer) return io_fail(ErrorKind::Other, signer.error());
  if (signer->public_key() != active->identity.public_key) {
    return io_fail(ErrorKind::InvalidData,
                   "active signing identity does not match its device fleet");
  }

  RevocationEntry entry{signer->public_key(),
                        device_key,
                        unix_time_ns(now),
                        revocation_reason_from_name(reason_name),
                        {}};
  auto signature = signer->sign(kalu_user_identity::revocation_signing_digest(entry));
  if (!signature) return io_fail(ErrorKind::Other, signature.error());
  entry.signature = *signature;
  auto written =
      stored::fleet::append_revocation(active->identity_dir, std::move(*fleet), std::move(entry));
  if (!written) return std::unexpected(written.error());
  return label;
}

}  // namespace settings::panes::device_mesh
