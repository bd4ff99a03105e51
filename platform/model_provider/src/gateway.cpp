#include "model_provider/gateway.h"

#include <utility>

#include "account_book/paths.h"

namespace kalu_model_gateway {

namespace fs = std::filesystem;
using account_book::SecretVault;
using kalu_ui::fail;
using kalu_ui::Result;
using kalu_ui::Status;
using kalu_ui::secret::SecretText;

namespace {

bool blank(std::string_view text) {
  return text.find_first_not_of(" \t\n\v\f\r") == std::string_view::npos;
}

// The gateway's vault; without a configuration directory one that holds
// nothing and refuses to save ("no config dir").
Result<SecretVault> open_vault() {
  auto file = vault_file();
  if (!file) return fail("no config dir");
  return SecretVault::open_file(*file);
}

Status readable(const SecretVault& vault) {
  if (vault.read_error()) {
    return fail("credential vault could not be read: " + *vault.read_error());
  }
  return {};
}

}  // namespace

std::optional<fs::path> vault_file() {
  auto root = account_book::config_root();
  if (!root) return std::nullopt;
  return *root / "model-gateway" / "keys.enc";
}

Status set_api_key(std::string_view provider_id, SecretText key) {
  if (provider_id.empty()) return fail("provider id is empty");
  if (blank(key.view())) return fail("API key is empty");
  auto vault = open_vault();
  if (!vault) return fail(vault.error());
  vault->put(provider_id, std::move(key));
  return vault->try_save();
}

Result<std::optional<SecretText>> take_api_key(std::string_view provider_id) {
  auto vault = open_vault();
  if (!vault) return fail(vault.error());
  if (auto ok = readable(*vault); !ok) return fail(ok.error());
  std::optional<SecretText> key = vault->get(provider_id);
  if (!key) return std::optional<SecretText>();
  vault->remove(provider_id);
  if (auto saved = vault->try_save(); !saved) return fail(saved.error());
  return key;
}

Status remove_api_key(std::string_view provider_id) {
  auto taken = take_api_key(provider_id);
  if (!taken) return fail(taken.error());
  return {};
}

Result<bool> secret_configured(std::string_view provider_id) {
  auto vault = open_vault();
  if (!vault) return fail(vault.error());
  if (auto ok = readable(*vault); !ok) return fail(ok.error());
  return vault->get(provider_id).has_value();
}

}  // namespace kalu_model_gateway
