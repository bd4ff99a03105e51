#include "panes/users/model.h"

#include <fmt/format.h>

namespace settings::panes::users {

namespace control {
std::string role(std::string_view username) {
  return fmt::format("settings.users.role.{}", username);
}
std::string autologin(std::string_view username) {
  return fmt::format("settings.users.autologin.{}", username);
}
std::string remove(std::string_view username) {
  return fmt::format("settings.users.remove.{}", username);
}
std::string confirm_remove(std::string_view username) {
  return fmt::format("settings.users.confirm_remove.{}", username);
}
std::string confirm_remove_keep(std::string_view username) {
  return fmt::format("settings.users.confirm_remove_keep.{}", username);
}

std::string cancel_remove(std::string_view username) {
  return fmt::format("settings.users.cancel_remove.{}", username);
}
std::string identity_activate(std::string_view id) {
  return fmt::format("settings.users.identity.activate.{}", id);
}
std::string identity_remove(std::string_view id) {
  return fmt::format("settings.users.identity.remove.{}", id);
}
std::string identity_confirm_remove(std::string_view id) {
  return fmt::format("settings.users.identity.confirm_remove.{}", id);
}
std::string identity_cancel_remove(std::string_view id) {
  return fmt::format("settings.users.identity.cancel_remove.{}", id);
}
std::string identity_protect(std::string_view id) {
  return fmt::format("settings.users.identity.protect.{}", id);
}
}  // namespace control

std::string user_subtitle(const LocalUser& user) {
  return fmt::format("{} · UID {}{}", user.username, user.uid,
                     user.signed_in ? " · signed in" : "");
}

std::string_view protection_text(host_identity::Protection protection) {
  using P = host_identity::Protection;
  switch (protection) {
    case P::SecretService:
      return "Secret Service + app-scoped signing broker";
    case P::PrivateFile:
      return "Private session file + app-scoped signing broker";
    case P::HardwareBacked:
      return "Hardware-backed + app-scoped signing broker";
    case P::MigrationRequired:
      return "Migration required";
    case P::ProviderUnavailable:
      break;
  }
  return "Protection provider unavailable";
}

std::string_view identity_title(const LocalIdentity& identity) {
  return identity.label.empty() ? std::string_view(identity.id) : std::string_view(identity.label);
}

std::string identity_subtitle(const LocalIdentity& identity) {
  const auto& key = identity.public_key;
  return fmt::format("{} · key {:02x}{:02x}{:02x}{:02x}… · {}-of-{} · {}", identity.id, key[0],
                     key[1], key[2], key[3], identity.threshold, identity.signers,
                     protection_text(identity.protection));
}

}  // namespace settings::panes::users
