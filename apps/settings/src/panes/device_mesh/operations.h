#pragma once

// Devices & Sync operations that change the device fleet. They run on the
// UI thread: a handful of small files are read and one is written.

#include <chrono>
#include <string>
#include <string_view>

#include "identity/user_identity.h"
#include "stored/fleet.h"

namespace settings::panes::device_mesh {

// "Lost", "Stolen" or "Compromised" name their reason; any other name,
// "Retired" included, is Retired.
kalu_user_identity::RevocationReason revocation_reason_from_name(std::string_view name);

// Cuts the certified device `device_key` off the active identity's fleet by
// signing a revocation entry into the fleet document, and answers the
// device's label (for revoked_status_text). In this order:
// - the active identity and this device's key are read (their errors end
//   it); revoking this device itself is refused with PermissionDenied "use
//   another trusted device to revoke the device you are using";
// - the verified fleet is read; a key no certificate names is NotFound
//   "device is not enrolled"; a device revoked already is done, and nothing
//   is written;
// - the active signing identity is loaded (NotFound "active identity is
//   unavailable" when the store names none; its library errors are Other)
//   and must hold the active identity's user key (InvalidData "active
//   signing identity does not match its device fleet");
// - the entry (revoked at `now`, see unix_time_ns) is signed, verified,
//   appended and the fleet written (atomically, mode 0600).
// Nothing is written when any step fails.
stored::IoResult<std::string> revoke_device(
    const kalu_user_identity::PublicKey& device_key, std::string_view reason_name,
    std::chrono::system_clock::time_point now = std::chrono::system_clock::now());

}  // namespace settings::panes::device_mesh
