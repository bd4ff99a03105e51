#pragma once

#include <filesystem>
#include <optional>
#include <string_view>

#include "account_book/secret_vault.h"
#include "kalu_ui/result.h"

// The API keys of the model providers, one per provider id, kept in a
// credential vault of their own (the account library's encrypted vault, in
// the file "<config dir>/kalu/model-gateway/keys.enc" with its key beside
// it). The accounts' vault is a different file, so an account change and
// its roll-back never touch a provider's key, nor the other way round.
//
// Every call opens the vault afresh and saves it at once; a vault that
// cannot be read answers errors and is never written over (secret_vault.h).
// A key is taken over by the call that stores it and wiped when released;
// no error text and no log holds one.
//
// One thread at a time; nothing is locked against other processes.
namespace kalu_model_gateway {

// Stores `key` for `provider_id`, replacing the one stored before. Fails
// with "provider id is empty", "API key is empty" (nothing but white
// space), "no config dir", or the vault's error.
kalu_ui::Status set_api_key(std::string_view provider_id, kalu_ui::secret::SecretText key);

// Removes the key of `provider_id`; a provider without a key succeeds and
// writes nothing. Fails with the vault's error (also when the vault could
// not be read, since a key might then be left behind).
kalu_ui::Status remove_api_key(std::string_view provider_id);

// As remove_api_key, handing back the key it removed (none when there was
// none), so that a caller whose next step fails can put it back.
kalu_ui::Result<std::optional<kalu_ui::secret::SecretText>> take_api_key(
    std::string_view provider_id);

// Whether a key is stored for `provider_id`; an error when the vault could
// not be read.
kalu_ui::Result<bool> secret_configured(std::string_view provider_id);

// The vault file; none when the platform has no configuration directory.
std::optional<std::filesystem::path> vault_file();

}  // namespace kalu_model_gateway
