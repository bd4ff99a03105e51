#include "panes/agent_models/providers.h"

#include <fmt/format.h>

#include <utility>
#include <vector>

#include "actions/agent_models_section.h"
#include "kalu_ui/wake_slot.h"
#include "kalu_ui/widget/button.h"
#include "kalu_ui/widget/support.h"
#include "kalu_ui/widget/text.h"
#include "kalu_ui/widget/text_input.h"
#include "lib/ui_rows.h"
#include "model_provider/gateway.h"
#include "vocabulary/model_providers.h"

namespace settings::panes::agent_models {

namespace {

namespace w = kalu_ui::widget;
using kalu_ui::WidgetBox;
using model_provider::ProviderProfile;
using model_provider::ProviderProtocol;
using ui_rows::WidgetList;

// Wide enough for the placeholder and a pasted key's first characters.
constexpr float kKeyFieldWidth = 360.0f;
constexpr std::string_view kEndpointPlaceholder = "https://api.example.com/v1";

// A button that runs a job of the provider `provider_id` and keeps the
// sentence the job published for that provider's block.
WidgetBox job_button(const ProvidersCard& card, std::string_view provider_id, std::string id,
                     std::string label, std::function<void()> job) {
  auto noted = [job = std::move(job), status = card.status, note = card.drafts->last_job(),
                provider = std::string(provider_id)] {
    const std::uint64_t before = status ? status->generation() : 0;
    job();
    if (!status || status->generation() == before) return;
    if (std::optional<std::string> said = status->get()) {
      note->publish(ProviderJobNote{provider, std::move(*said)});
    }
  };
  return w::boxed(w::Button(std::move(label)).with_id(std::move(id)).on_click(std::move(noted)));
}

WidgetBox text_field(const actions::ProviderTextCell& cell, std::string id,
                     std::string_view placeholder, kalu_ui::TextInputKind kind) {
  return w::boxed(w::TextInput::from_state(cell)
                      .with_kind(kind)
                      .with_id(std::move(id))
                      .with_placeholder(std::string(placeholder)));
}

WidgetBox key_field(const std::shared_ptr<kalu_ui::secret::SecretBuffer>& key, std::string id) {
  return w::boxed(w::TextInput::from_secret(key)
                      .with_id(std::move(id))
                      .with_placeholder("API key (stored in Kalu vault)"));
}

ProviderProtocol other_protocol(ProviderProtocol protocol) {
  return protocol == ProviderProtocol::kAnthropic ? ProviderProtocol::kOpenAiCompatible
                                                  : ProviderProtocol::kAnthropic;
}

// The details job of a provider's "Save details". The details may have
// changed since the page was built (a client's "set-details"): the fields
// take the stored values first, so what the job writes is the stored profile
// with only the person's edits on it.
std::function<void()> save_details(const ProvidersCard& card, const std::string& id,
                                   const ProviderDrafts::Fields& fields) {
  return
      [drafts = card.drafts, id, job = actions::save_details_job(id, fields.details, card.status)] {
        const model_provider::ProviderConfig config = model_provider::ProviderConfig::load();
        if (const ProviderProfile* stored = config.find(id)) (void)drafts->fields(*stored);
        job();
      };
}

void provider_rows(WidgetList& rows, const ProvidersCard& card, const ProviderProfile& profile,
                   bool key_stored) {
  const std::string& id = profile.id;
  const auto& section = card.section;
  const ProviderDrafts::Fields fields = card.drafts->fields(profile);
  rows.push_back(ui_rows::info_row(profile.display_label(), location_label(profile.location)));
  rows.push_back(text_field(fields.details.name, fmt::format("agent-models-label-{}", id),
                            "Provider name", w::TextInput::kKindName));
  rows.push_back(text_field(fields.details.endpoint, fmt::format("agent-models-url-{}", id),
                            kEndpointPlaceholder, w::TextInput::kKindUrl));
  rows.push_back(text_field(fields.details.model, fmt::format("agent-models-model-{}", id),
                            "Model ID", w::TextInput::kKindPlain));
  WidgetList details;
  details.push_back(job_button(card, id, fmt::format("agent-models-save-provider-{}", id),
                               "Save details", save_details(card, id, fields)));
  details.push_back(provider_action_button(
      section, fmt::format("agent-models-protocol-{}", id),
      fmt::format("Use {} protocol", protocol_label(other_protocol(profile.protocol))), id,
      "set-protocol"));
  details.push_back(provider_action_button(section, fmt::format("agent-models-enabled-{}", id),
                                           profile.enabled ? "Disable" : "Enable", id,
                                           profile.enabled ? "disable" : "enable"));
  details.push_back(provider_action_button(section,
                                           fmt::format("agent-models-remove-provider-{}", id),
                                           "Remove provider", id, "remove"));
  rows.push_back(ui_rows::button_row(std::move(details)));
  rows.push_back(ui_rows::info_row("Protocol", protocol_label(profile.protocol)));
  WidgetList key;
  key.push_back(ui_rows::fixed_width(
      key_field(fields.key, fmt::format("agent-models-api-key-{}", id)), kKeyFieldWidth));
  key.push_back(job_button(card, id, fmt::format("agent-models-set-api-key-{}", id),
                           key_stored ? "Replace key" : "Save key",
                           actions::store_key_job(id, fields.key, card.status)));
  key.push_back(job_button(card, id, fmt::format("agent-models-remove-api-key-{}", id),
                           "Remove key", actions::remove_key_job(id, card.status)));
  rows.push_back(ui_rows::button_row(std::move(key)));
  rows.push_back(
      ui_rows::caption(key_stored ? "API key is stored in the Kalu vault." : "No API key stored."));
  // What the last job of this provider's buttons said, where it was pressed.
  if (const std::optional<ProviderJobNote> note = card.drafts->last_job()->get();
      note && note->provider_id == id) {
    rows.push_back(w::boxed(w::Text(note->text)
                                .with_id(fmt::format("agent-models-job-status-{}", id))
                                .with_size(ui_rows::kCaptionSize)
                                .with_wrap()));
  }
  if (profile.model) {
    const bool is_default = card.config.default_provider == id;
    WidgetList choose;
    choose.push_back(provider_action_button(section, fmt::format("agent-models-default-{}", id),
                                            is_default ? "Default for new tasks" : "Use by default",
                                            id, "set-default"));
    rows.push_back(ui_rows::button_row(std::move(choose)));
  }
}

}  // namespace

ProviderDrafts::Fields ProviderDrafts::fields(const ProviderProfile& profile) {
  const std::string stored[3] = {profile.label, profile.endpoint,
                                 profile.model.value_or(std::string())};
  std::lock_guard lock(mutex_);
  auto found = fields_.find(profile.id);
  if (found == fields_.end()) {
    using Cell = kalu_ui::WakeSlot<std::string>;
    Entry made{{{Cell::create(stored[0]), Cell::create(stored[1]), Cell::create(stored[2])},
                kalu_ui::secret::SecretBuffer::create()},
               {stored[0], stored[1], stored[2]}};
    found = fields_.emplace(profile.id, std::move(made)).first;
    return found->second.fields;
  }
  Entry& entry = found->second;
  const actions::ProviderTextCell* cells[3] = {
      &entry.fields.details.name, &entry.fields.details.endpoint, &entry.fields.details.model};
  for (std::size_t i = 0; i < 3; ++i) {
    const std::string shown = (*cells[i])->get();
    // Untouched since it last took the stored value: it follows the store.
    // An edit that the store now holds is no longer an edit.
    if (shown == entry.taken[i] && shown != stored[i]) (void)(*cells[i])->publish(stored[i]);
    if (shown == entry.taken[i] || shown == stored[i]) entry.taken[i] = stored[i];
  }
  return entry.fields;
}

WidgetBox provider_action_button(const kalu_actions::Resource& section, std::string button_id,
                                 std::string label, std::optional<std::string_view> provider_id,
                                 std::string_view action) {
  w::Button button(std::move(label));
  button.with_id(std::move(button_id));
  auto binding = actions::agent_provider_command_binding(section, provider_id, action);
  button.with_enabled(binding.has_value()).on_action(std::move(binding));
  return w::boxed(std::move(button));
}

WidgetBox hosted_providers_section(const ProvidersCard& card) {
  WidgetList rows;
  rows.push_back(
      ui_rows::caption("Hosted and compatible endpoints are personal to this device. Credentials "
                       "remain references in the system vault."));
  WidgetList add;
  add.push_back(provider_action_button(card.section, "agent-models-add-anthropic", "Add Anthropic",
                                       std::nullopt, "add-anthropic"));
  add.push_back(provider_action_button(card.section, "agent-models-add-openai",
                                       "Add compatible API", std::nullopt,
                                       "add-openai-compatible"));
  rows.push_back(ui_rows::button_row(std::move(add)));
  for (const ProviderProfile& profile : card.config.providers) {
    if (profile.location == model_provider::ProviderLocation::kThisDevice) continue;
    const kalu_ui::Result<bool> stored = card.key_probe
                                             ? card.key_probe(profile.id)
                                             : kalu_model_gateway::secret_configured(profile.id);
    provider_rows(rows, card, profile, stored.value_or(false));
  }
  for (const auto& error : card.config.validation_errors()) {
    rows.push_back(ui_rows::caption(fmt::format("Provider configuration: {}", error.text)));
  }
  return ui_rows::section_card("Hosted and compatible providers",
                               ui_rows::rows_column(std::move(rows)));
}

}  // namespace settings::panes::agent_models
