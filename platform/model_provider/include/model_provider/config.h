#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "kalu_ui/result.h"

// The model providers agents may use, each a profile (where the service
// answers, how it is spoken to, which of its models is chosen), kept
// together with the id of the default provider in one JSON file of the
// program's configuration folder, "<config dir>/kalu/model-providers.json".
// The API keys are not in it: they live in the gateway's vault (gateway.h)
// and a profile names at most a reference to one.
//
// The configuration is loaded, changed in memory and saved whole. Loading
// never fails: a missing file is the empty configuration. A file that
// exists but cannot be read (no permission, not JSON, a field of the wrong
// type) loads as the empty configuration too, but remembers why, and `save`
// then refuses rather than write the empty list over the user's providers.
// Saving is atomic (safe_write), mode 0600. Fields this library does not
// know are skipped on reading and not written back.
//
// One thread at a time; nothing is locked against other processes.
namespace model_provider {

// How a provider is spoken to. The stored ids are "openai-compatible" and
// "anthropic".
enum class ProviderProtocol : std::uint8_t { kOpenAiCompatible = 0, kAnthropic = 1 };

// Where a provider runs. Stored as "hosted", "local" and "private-network".
enum class ProviderLocation : std::uint8_t { kHosted = 0, kThisDevice = 1, kPrivateNetwork = 2 };

// The stored id of a protocol, and the protocol of a stored id (none for
// any other text; ids are compared exactly).
std::string_view protocol_id(ProviderProtocol protocol);
std::optional<ProviderProtocol> protocol_from_id(std::string_view id);

// One model a provider offers. A model named by hand has its name as id and
// label and nothing else.
struct ProviderModel {
  std::string id;
  std::string label;
  // Tokens of context the model takes; 0 when unknown.
  std::uint64_t context_window = 0;
  bool enabled = true;

  bool operator==(const ProviderModel&) const = default;
};

struct ProviderProfile {
  std::string id;
  std::string label;
  // The base URL of the provider's API.
  std::string endpoint;
  std::vector<ProviderModel> models;
  // The model chosen for new tasks; none when none is chosen.
  std::optional<std::string> model;
  // The name of the provider's API key in the gateway's vault, when the
  // profile records one.
  std::optional<std::string> api_key_ref;
  ProviderProtocol protocol = ProviderProtocol::kOpenAiCompatible;
  bool enabled = true;
  ProviderLocation location = ProviderLocation::kHosted;

  bool operator==(const ProviderProfile&) const = default;

  // A new hosted provider of `protocol` under a fresh id: the protocol id, a
  // dash and eight random hexadecimal digits ("anthropic-3f09a1c2"), so
  // adding the same protocol twice gives two providers. Labelled with the
  // protocol's name, enabled, no model chosen; an Anthropic provider starts
  // at the service's public endpoint, a compatible one with none.
  static ProviderProfile hosted(ProviderProtocol protocol);

  bool is_hosted() const { return location == ProviderLocation::kHosted; }
  // The label when it holds more than white space, else the id.
  std::string display_label() const;

  // The profile that stands for the models served on this device: located
  // on this device and spoken to as an OpenAI-compatible service (what the
  // local model service offers). The program keeps it in step with the
  // running models; people do not edit it.
  bool is_local_vllm_candidate() const;
  // A new such profile, "local-vllm" labelled "This device", disabled, with
  // no endpoint and no models until a running model gives them.
  static ProviderProfile local_vllm();
};

// One thing wrong with a configuration, for people to read.
struct ProviderValidationError {
  // The profile it is about; empty when it is about the whole configuration.
  std::string provider_id;
  std::string text;
};

class ProviderConfig {
 public:
  // The empty configuration, saved to nowhere ("no config dir").
  ProviderConfig() = default;

  // The configuration of "<config dir>/kalu/model-providers.json"; the
  // empty one when the platform has no configuration directory.
  static ProviderConfig load();
  // The configuration kept in `file`.
  static ProviderConfig load_from(const std::filesystem::path& file);

  // Writes the configuration to the file it was loaded from. Fails with "no
  // config dir" when there is none, with "the provider configuration could
  // not be read: {}" when the file did not read (nothing is written), or
  // with the write's error.
  kalu_ui::Status save() const;

  // The first profile with `id`; none when there is none.
  ProviderProfile* find(std::string_view id);
  const ProviderProfile* find(std::string_view id) const;
  // Replaces the first profile with the same id, or appends `profile`.
  void upsert(ProviderProfile profile);
  // Removes every profile with `id` and clears the default provider when it
  // names `id`; answers whether a profile was removed.
  bool remove(std::string_view id);

  // What would keep agents from using the configuration as it stands: a
  // profile id used twice, an enabled provider without an endpoint, an
  // endpoint that is no http(s) URL, a default provider that is missing or
  // disabled. In configuration order; empty when nothing is wrong.
  std::vector<ProviderValidationError> validation_errors() const;

  // Why the file could not be read; none when it could or did not exist.
  const std::optional<std::string>& read_error() const { return read_error_; }
  // Where save writes; none without a configuration directory.
  const std::optional<std::filesystem::path>& file() const { return file_; }

  // The stored form, and a configuration read from it (the error says
  // which field is wrong and why).
  std::string to_json() const;
  static kalu_ui::Result<ProviderConfig> from_json(std::string_view text);

  std::vector<ProviderProfile> providers;
  std::optional<std::string> default_provider;

 private:
  std::optional<std::filesystem::path> file_;
  std::optional<std::string> read_error_;
};

// Where the configuration lives: "<config dir>/kalu/model-providers.json".
std::optional<std::filesystem::path> config_file();

}  // namespace model_provider
