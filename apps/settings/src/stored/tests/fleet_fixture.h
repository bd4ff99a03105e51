#pragma once

#include <stdlib.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "identity/testing.h"
#include "stored/fleet.h"

namespace settings::stored::testing {

// An identity store and an identity root in a temporary directory, named by
// KALU_IDENTITY_DIR and KALU_IDENTITY_ROOT for the fixture's lifetime: the
// active identity "alice" and this device's key pair are set up, so fleets
// built from them read back as the pane would read them.
class FleetWorld {
 public:
  FleetWorld()
      : root_(make_temp()),
        dir_env_("KALU_IDENTITY_DIR", (root_ / "identities").string()),
        root_env_("KALU_IDENTITY_ROOT", (root_ / "root").string()),
        alice_(identity_testing::TestIdentity::create(identity_dir(), "alice", "Alice").value()),
        this_device_(kalu_user_identity::create_device_key(
                         fleet::identity_key_paths(identity_root()).device_keypair_path)
                         .value()) {}
  ~FleetWorld() { std::filesystem::remove_all(root_); }
  FleetWorld(const FleetWorld&) = delete;
  FleetWorld& operator=(const FleetWorld&) = delete;

  const std::filesystem::path& temp() const { return root_; }
  std::filesystem::path identity_dir() const { return root_ / "identities"; }
  std::filesystem::path identity_root() const { return root_ / "root"; }
  std::filesystem::path fleet_file() const { return identity_dir() / "fleets" / "alice.json"; }

  const identity_testing::TestIdentity& alice() const { return alice_; }
  const PublicKey& this_device() const { return this_device_; }

  // A fleet document of "alice" holding these records.
  StoredFleet fleet(std::vector<DeviceCert> certificates,
                    std::vector<RevocationEntry> revocations = {}) const {
    return StoredFleet{1, "alice", std::move(certificates), std::move(revocations)};
  }

 private:
  static std::filesystem::path make_temp() {
    char tmpl[] = "/tmp/fleet_test.XXXXXX";
    return ::mkdtemp(tmpl);
  }

  std::filesystem::path root_;
  identity_testing::ScopedEnv dir_env_;
  identity_testing::ScopedEnv root_env_;
  identity_testing::TestIdentity alice_;
  PublicKey this_device_;
};

}  // namespace settings::stored::testing
