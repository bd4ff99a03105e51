#pragma once

#include <span>

#include "sim_device/simdev.h"

// The device mesh's programs on the simulated device, answered by simdev
// (its main adds them with sim_device::simdev::add_programs):
//
//   kalu-home-peer-control apply     reads the setup document on standard
//       input and writes the relay configuration (relay_config_path) from
//       it: role, the bound workspaces (bindings kept where they were, new
//       ones added, the others dropped) with the replication and the
//       active flag, and the four services.
//   kalu-home-peer-control approve-enrollment --identity-root R
//       --expected-device D --expected-service S [--workspace-id N ...]
//       adds (or replaces) the home server D in R/home-peers.json.
//   kalu-home-peer-control approve-device ...   approves (records nothing).
//   kalu-enroll discover | discover-device --timeout T   answers the
//       simulated home server or laptop waiting nearby, after the delay
//       "kalu-enroll.discover" / "kalu-enroll.discover-device".
//   kalu-relay-admin home-peer-status | home-peer-rename --label L |
//       home-peer-remove  --identity-root R --device D --service S
//       answer from R/home-peers.json: the probe's JSON, a new label, the
//       registration removed ({"decommissioned": true}); a server not listed
//       fails ("home server is not paired with this device").
//   kalu-relay-admin home-peer-retry-removals --identity-root R
//       empties R/pending-home-peer-decommissions.json.
//
// Faults work as for every simulated program: "kalu-relay-admin",
// "kalu-relay-admin.home-peer-status", "kalu-home-peer-control.apply",
// "kalu-enroll.discover" ..., and "pkexec" refuses the approval.
namespace kalu_relay::simulated {

// The endpoint ids of the simulated devices waiting nearby.
inline constexpr std::string_view kHomeServerNode =
    "5a1e0c9d3b7f4e2a8c6d1b0f9e3a7c5d2b4f6e8a0c1d3b5f7e9a2c4d6f8b0e1a";
inline constexpr std::string_view kHomeServerService =
    "7c3f1e5a9b2d4c6e8f0a1b3d5e7f9a2c4e6b8d0f1a3c5e7b9d2f4a6c8e0b1d3f";
inline constexpr std::string_view kLaptopNode =
    "2b8d4f6a0c1e3a5c7e9b1d3f5a7c9e0b2d4f6a8c1e3b5d7f9a0c2e4b6d8f1a3c";
inline constexpr std::string_view kLaptopService =
    "9e1c3a5f7b0d2e4a6c8f1b3d5a7e9c0f2b4d6a8e1c3f5b7d9a0e2c4f6b8d1a3e";

std::span<const sim_device::simdev::ExternalProgram> programs();

}  // namespace kalu_relay::simulated
