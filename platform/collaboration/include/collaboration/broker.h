#pragma once

#include <cstdint>
#include <string>
#include <variant>

#include "kalu_ui/secret.h"

// The collaboration broker's Wi-Fi continuity: a person's certified devices
// share Wi-Fi passwords by sealing them with the broker, and look up what
// another of their devices sealed. One command answers three requests:
//
//   LookupWifiPassword{ssid, mode}           -> Found{passphrase} | NotFound
//   SealWifiPassword{ssid, mode, passphrase} -> Sealed{network}
//   SealWifiProfile{profile_id}              -> Sealed{network}
//
// and any of them may answer Failed{error} (the broker could not do it) or
// Unavailable{reason} (no certified device can be reached). A password is
// kept per network and security mode (0 or 1); sealing again replaces it.
//
// On the simulated device the sealed passwords live in the device's state
// file (section "collaboration", 0600); `simdev set collaboration.available
// false` makes the broker answer unavailable with "unavailable_reason", and a
// fault "collaboration.wifi_continuity_command" makes it fail with the
// fault's text. A saved profile is sealed with the passphrase of the network
// of its name.
//
// Passphrases travel as SecretText and never reach a log, an error text or a
// command line. Callable from any thread; it blocks on the device's file.
namespace collaboration::broker {

struct LookupWifiPassword {
  std::string ssid;
  std::uint8_t mode = 0;
};
struct SealWifiPassword {
  std::string ssid;
  std::uint8_t mode = 0;
  kalu_ui::secret::SecretText passphrase;
};
struct SealWifiProfile {
  std::string profile_id;
};
using WifiContinuityRequest = std::variant<LookupWifiPassword, SealWifiPassword, SealWifiProfile>;

struct Failed {
  std::string error;
};
struct Found {
  kalu_ui::secret::SecretText passphrase;
};
struct NotFound {};
struct Sealed {
  std::string network;
};
struct Unavailable {
  std::string reason;
};
using WifiContinuityReply = std::variant<Failed, Found, NotFound, Sealed, Unavailable>;

WifiContinuityReply wifi_continuity_command(const WifiContinuityRequest& request);

}  // namespace collaboration::broker
