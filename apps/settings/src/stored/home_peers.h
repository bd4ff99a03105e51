#pragma once

// The home-peer list the platform's home-peer tooling keeps
// ("home-peers.json" under the identity root): a JSON array of
// kalu_relay::HomePeerRegistration records, read strictly. Each record is an
// object with exactly the members schema_version, device_node_id,
// relay_service_node_id, relay_endpoint, label, user_public_key, device_cert
// and relay_workspace_ids (every one required, no other allowed), or an
// array of those eight values in that order. relay_endpoint,
// user_public_key and device_cert are other components' JSON and are
// carried as they are.

#include <string_view>
#include <vector>

#include "kalu_ui/result.h"
#include "relay/home_peer.h"

namespace settings::stored {

// The list in `text`; the refusal names the first fault and where it is.
kalu_ui::Result<std::vector<kalu_relay::HomePeerRegistration>> read_home_peer_registrations(
    std::string_view text);

}  // namespace settings::stored
