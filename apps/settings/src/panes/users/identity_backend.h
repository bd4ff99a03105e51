#pragma once

// The Users pane's signing-identity changes. IdentityBackend is the
// interface the pane holds (a test hands it a fake); the host backend holds
// the identity directory found when the pane was made and forwards to
// host_identity. Every answer is success or the library's error as a text
// to show. Calls touch files only, but the pane still makes them on its
// change worker, in turn with the account changes, so one change at a time
// is ever running. The host backend may be called from any thread.

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "identity/host_identity.h"
#include "kalu_ui/result.h"

namespace settings::panes::users {

using host_identity::LocalIdentity;

class IdentityBackend {
 public:
  virtual ~IdentityBackend() = default;

  virtual kalu_ui::Status set_active_identity(const std::string& id) = 0;
  virtual kalu_ui::Status remove_identity(const std::string& id) = 0;
  virtual kalu_ui::Status secure_identity(const std::string& id) = 0;
  // The identities afresh; an error gives none.
  virtual std::vector<LocalIdentity> load_identities() = 0;
};

class HostIdentityBackend final : public IdentityBackend {
 public:
  explicit HostIdentityBackend(std::filesystem::path dir) : dir_(std::move(dir)) {}

  kalu_ui::Status set_active_identity(const std::string& id) override;
  kalu_ui::Status remove_identity(const std::string& id) override;
  kalu_ui::Status secure_identity(const std::string& id) override;
  std::vector<LocalIdentity> load_identities() override;

  const std::filesystem::path& dir() const { return dir_; }

 private:
  std::filesystem::path dir_;
};

// The backend over the identity directory of the environment; nothing when
// that directory cannot be determined (the pane then has no identity
// backend and every identity button answers "identity store is
// unavailable").
std::shared_ptr<IdentityBackend> identity_backend_from_env();

}  // namespace settings::panes::users
