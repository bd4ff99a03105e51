#pragma once

#include <cstddef>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>
#include <vector>

#include "kalu_ui/result.h"

// Home servers paired with this device's identity. The home-peer tooling
// keeps their registrations in "home-peers.json" under the identity root, a
// JSON array of HomePeerRegistration records (read strictly by the program's
// record codec: every member required, no other member allowed, the object
// form or the sequence of the eight values in this order).
namespace kalu_relay {

// A JSON value whose form belongs to another component (an endpoint address,
// a key, a certificate); carried as it was read.
struct PassThrough {
  nlohmann::ordered_json value;

  static kalu_ui::Result<PassThrough> from_json(const nlohmann::ordered_json& tree) {
    return PassThrough{tree};
  }
  nlohmann::ordered_json to_json() const { return value; }
  bool operator==(const PassThrough&) const = default;
};

struct HomePeerRegistration {
  std::uint32_t schema_version = 1;
  // The home server's device endpoint id: its key everywhere in Settings.
  std::string device_node_id;
  // The endpoint id of its relay service: the service argument of commands.
  std::string relay_service_node_id;
  PassThrough relay_endpoint;
  // The name the user gave the server.
  std::string label;
  PassThrough user_public_key;
  PassThrough device_cert;
  std::vector<std::uint64_t> relay_workspace_ids;

  bool operator==(const HomePeerRegistration&) const = default;
};

namespace home_peer {

// Whether `label` may name a home server: after trimming white space at
// both ends, 1 to 64 characters of valid UTF-8, no control character, and
// not starting with '-' (it is handed to programs as an argument).
bool valid_home_peer_label(std::string_view label);

// `label` without white space at either end (valid UTF-8 assumed).
std::string_view trim_label(std::string_view label);

// An endpoint id is the endpoint's Ed25519 public key written as 64
// lower-case hexadecimal digits.
inline constexpr std::size_t kNodeIdLength = 64;

// Whether `id` has the endpoint id form above. Ids that come from another
// device (nearby discovery) are checked before they become arguments of a
// privileged program: the form can never start with '-' or hold a space.
bool valid_node_id(std::string_view id);

}  // namespace home_peer
}  // namespace kalu_relay
