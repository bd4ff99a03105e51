#pragma once

// The "Hosted and compatible providers" card of the Agent Models page and
// the drafts its fields edit.
//
// What it promises:
// - Every profile but the local one (model_provider's this-device profiles,
//   which only the local profile sync changes) gets its block: info row,
//   the label, endpoint and model fields, the details buttons, the protocol,
//   the API-key field with its buttons and caption, and the default button
//   only when a model is chosen. Then one caption per validation error.
// - The buttons of provider actions are bound to the action the Agent
//   Models section offers for them (actions::agent_provider_command_binding);
//   a button the section offers no action for is disabled. "Save details",
//   "Save key"/"Replace key" and "Remove key" start the provider jobs
//   (actions/provider_jobs.h), which publish their sentence into the status
//   cell the pane shows as its notice; the provider's block shows the
//   sentence too, under its buttons.
// - The drafts outlive the page: a typed label, endpoint or model stays
//   across page rebuilds for as long as the drafts live (the pane's life).
//   A field the person has not typed into follows the stored profile (a
//   client may change it), and "Save details" takes the stored values in
//   before it saves, so it writes only what the person typed and never an
//   older value back over a newer one.
// - The API key is typed into a secret buffer (kalu_ui/secret.h): it never
//   reaches the state document, accessibility, a log or the resource tree;
//   the save job takes it out and the buffer is wiped.
// - Building the card runs no program: the section and the configuration
//   are given; the vault is asked once per provider whether a key is stored.

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "actions/provider_jobs.h"
#include "kalu_actions/resource.h"
#include "kalu_ui/result.h"
#include "kalu_ui/secret.h"
#include "kalu_ui/wake_slot.h"
#include "model_provider/config.h"
#include "widget_contract/widget.h"

namespace settings::panes::agent_models {

// The sentence of the last provider job a button ran, and the provider whose
// block holds that button.
struct ProviderJobNote {
  std::string provider_id;
  std::string text;

  bool operator==(const ProviderJobNote&) const = default;
};
using ProviderJobNoteCell = kalu_ui::WakeSlot<std::optional<ProviderJobNote>>;

// The typed fields of each provider, shared between the page's text fields
// and the jobs their buttons start; each access takes the lock. Also the
// last job's sentence, which the provider's block shows beside the button
// that was pressed (the pane shows it as its notice too, at the top of the
// page, out of view of a provider further down).
class ProviderDrafts {
 public:
  struct Fields {
    actions::ProviderDetailCells details;
    std::shared_ptr<kalu_ui::secret::SecretBuffer> key;
  };

  // The fields of `profile`: made from its label, endpoint and chosen model
  // (empty when none) the first time. Afterwards each detail field takes
  // the profile's value whenever it still holds the value it last took (the
  // person has not typed into it); one the person has edited keeps the edit
  // until it is saved, that is until the stored value equals it.
  Fields fields(const model_provider::ProviderProfile& profile);
  const std::shared_ptr<ProviderJobNoteCell>& last_job() const { return last_job_; }

 private:
  struct Entry {
    Fields fields;
    // The stored label, endpoint and model each field last took.
    std::string taken[3];
  };
  std::mutex mutex_;
  std::map<std::string, Entry, std::less<>> fields_;
  std::shared_ptr<ProviderJobNoteCell> last_job_ = ProviderJobNoteCell::create(std::nullopt);
};

// Whether the vault holds a key for a provider (kalu_model_gateway's
// secret_configured); an error counts as no key.
using KeyProbe = std::function<kalu_ui::Result<bool>(std::string_view provider_id)>;

struct ProvidersCard {
  const model_provider::ProviderConfig& config;
  // The Agent Models section built for this page (actions::agent_models_resource).
  const kalu_actions::Resource& section;
  std::shared_ptr<ProviderDrafts> drafts;
  actions::ProviderStatusCell status;
  // Empty: kalu_model_gateway::secret_configured.
  KeyProbe key_probe;
};

// A button bound to the section's `action` of the provider `provider_id`
// ("settings.agent-provider:{id}"), or of the section itself without one;
// disabled when the section offers no such action.
kalu_ui::WidgetBox provider_action_button(const kalu_actions::Resource& section,
                                          std::string button_id, std::string label,
                                          std::optional<std::string_view> provider_id,
                                          std::string_view action);

kalu_ui::WidgetBox hosted_providers_section(const ProvidersCard& card);

}  // namespace settings::panes::agent_models
