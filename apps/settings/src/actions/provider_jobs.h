#pragma once

// The three jobs of a hosted provider's card on the Agent Models page: save
// the typed details, store the typed API key, remove the stored key. Each
// runs on the UI thread when its button is clicked (or its control invoked),
// changes the provider configuration or the model gateway's vault, and
// publishes one status sentence ("Provider details saved.", "API key was not
// saved: ...") into the status cell it was given; nothing is logged.
//
// The key never stays in its field: the store job takes it out of the
// field's secret buffer under the buffer's lock, hands it to the gateway
// while the lock is held and wipes the buffer, whatever the outcome. A key
// that is empty once the white space around it is removed is not stored
// (it would replace a working key with nothing).
//
//   button.on_click(actions::store_key_job(profile.id, key_buffer, status));

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "kalu_ui/secret.h"
#include "kalu_ui/wake_slot.h"
#include "operations/mailbox_cells.h"

namespace settings::actions {

using ProviderTextCell = std::shared_ptr<kalu_ui::WakeSlot<std::string>>;
using ProviderStatusCell = std::shared_ptr<operations::AgentModelsStatusCell>;

// The card's detail fields.
struct ProviderDetailCells {
  ProviderTextCell name;
  ProviderTextCell endpoint;
  ProviderTextCell model;
};

// The sentence of each job, for these inputs.
// The name and endpoint are stored as typed; the model without the white
// space around it, appended to the profile's models when new and made the
// default (a blank model keeps both as they were).
std::string save_provider_details(std::string_view provider_id, const std::string& name,
                                  const std::string& endpoint, std::string_view model);
std::string store_provider_key(std::string_view provider_id, kalu_ui::secret::SecretBuffer& key);
std::string remove_provider_key(std::string_view provider_id);

// The jobs a card binds to its buttons: each reads its cells afresh and
// publishes its sentence into `status`.
std::function<void()> save_details_job(std::string provider_id, ProviderDetailCells cells,
                                       ProviderStatusCell status);
std::function<void()> store_key_job(std::string provider_id,
                                    std::shared_ptr<kalu_ui::secret::SecretBuffer> key,
                                    ProviderStatusCell status);
std::function<void()> remove_key_job(std::string provider_id, ProviderStatusCell status);

}  // namespace settings::actions
