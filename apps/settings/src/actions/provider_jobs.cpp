#include "actions/provider_jobs.h"

#include <fmt/format.h>

#include <utility>

#include "account_book/secret_vault.h"
#include "limited_exec/text.h"
#include "model_provider/config.h"
#include "model_provider/gateway.h"
#include "vocabulary/model_providers.h"

namespace settings::actions {

namespace {

std::string text_of(const ProviderTextCell& cell) { return cell ? cell->get() : std::string(); }

void publish(const ProviderStatusCell& status, std::string sentence) {
  if (status) status->publish(std::move(sentence));
}

}  // namespace

std::string save_provider_details(std::string_view provider_id, const std::string& name,
                                  const std::string& endpoint, std::string_view model) {
  auto config = model_provider::ProviderConfig::load();
  // A file that does not read loads as no providers; its reason, not "no
  // longer available", is what the person can act on.
  if (config.read_error()) {
    return fmt::format(
        "Provider details were not saved: the provider configuration could not be read: {}",
        *config.read_error());
  }
  model_provider::ProviderProfile* profile = config.find(provider_id);
  if (profile == nullptr) {
    return "Provider details were not saved: Provider is no longer available.";
  }
  profile->label = name;
  profile->endpoint = endpoint;
  panes::agent_models::choose_default_model(*profile, model);
  if (auto saved = config.save(); !saved) {
    return fmt::format("Provider details were not saved: {}", saved.error());
  }
  return "Provider details saved.";
}

std::string store_provider_key(std::string_view provider_id, kalu_ui::secret::SecretBuffer& key) {
  // Held until the buffer is wiped: nobody else reads the key meanwhile.
  auto access = key.lock();
  const std::string_view typed = limited_exec::trim_white_space(access.view());
  if (typed.empty()) {
    access.clear();
    return "API key was not saved: the key field is empty.";
  }
  auto stored =
      kalu_model_gateway::set_api_key(provider_id, kalu_ui::secret::SecretText::copy_of(typed));
  access.clear();
  if (!stored) return fmt::format("API key was not saved: {}", stored.error());
  return "API key saved in the Kalu vault.";
}

std::string remove_provider_key(std::string_view provider_id) {
  if (auto removed = kalu_model_gateway::remove_api_key(provider_id); !removed) {
    return fmt::format("API key was not removed: {}", removed.error());
  }
  return "API key removed from the Kalu vault.";
}

std::function<void()> save_details_job(std::string provider_id, ProviderDetailCells cells,
                                       ProviderStatusCell status) {
  return [id = std::move(provider_id), cells = std::move(cells), status = std::move(status)] {
    publish(status, save_provider_details(id, text_of(cells.name), text_of(cells.endpoint),
                                          text_of(cells.model)));
  };
}

std::function<void()> store_key_job(std::string provider_id,
                                    std::shared_ptr<kalu_ui::secret::SecretBuffer> key,
                                    ProviderStatusCell status) {
  return [id = std::move(provider_id), key = std::move(key), status = std::move(status)] {
    if (!key) return;
    publish(status, store_provider_key(id, *key));
  };
}

std::function<void()> remove_key_job(std::string provider_id, ProviderStatusCell status) {
  return [id = std::move(provider_id), status = std::move(status)] {
    publish(status, remove_provider_key(id));
  };
}

}  // namespace settings::actions
