#include "panes/users/identity_backend.h"

namespace settings::panes::users {

kalu_ui::Status HostIdentityBackend::set_active_identity(const std::string& id) {
  return host_identity::set_active_identity(dir_, id);
}

kalu_ui::Status HostIdentityBackend::remove_identity(const std::string& id) {
  return host_identity::remove_identity(dir_, id);
}

kalu_ui::Status HostIdentityBackend::secure_identity(const std::string& id) {
  return host_identity::secure_identity(dir_, id);
}

std::vector<LocalIdentity> HostIdentityBackend::load_identities() {
  auto listed = host_identity::list_identities(dir_);
  if (!listed) return {};
  return std::move(*listed);
}

std::shared_ptr<IdentityBackend> identity_backend_from_env() {
  auto dir = host_identity::identity_dir_from_env();
  if (!dir) return nullptr;
  return std::make_shared<HostIdentityBackend>(std::move(*dir));
}

}  // namespace settings::panes::users
