#include "model_provider/config.h"

#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <nlohmann/json.hpp>
#include <random>
#include <utility>

#include "prefs_store/document.h"
#include "prefs_store/paths.h"
#include "safe_write/read.h"
#include "safe_write/safe_write.h"

namespace model_provider {

namespace fs = std::filesystem;
using Json = nlohmann::ordered_json;
using kalu_ui::fail;
using kalu_ui::Result;
using kalu_ui::Status;

namespace {

constexpr std::string_view kFileName = "model-providers.json";
// Provider profiles take a few hundred bytes each.
constexpr std::size_t kMaxConfigBytes = std::size_t{1} << 20;

constexpr std::array<std::pair<ProviderLocation, std::string_view>, 3> kLocations = {{
    {ProviderLocation::kHosted, "hosted"},
    {ProviderLocation::kThisDevice, "local"},
    {ProviderLocation::kPrivateNetwork, "private-network"},
}};

std::string_view location_id(ProviderLocation location) {
  for (const auto& [value, id] : kLocations) {
    if (value == location) return id;
  }
  return "hosted";
}

std::string_view json_kind(const Json& value) {
  switch (value.type()) {
    case Json::value_t::null:
      return "null";
    case Json::value_t::boolean:
      return "a boolean";
    case Json::value_t::string:
      return "a string";
    case Json::value_t::array:
      return "an array";
    case Json::value_t::object:
      return "an object";
    case Json::value_t::number_float:
      return "a floating point number";
    default:
      return "an integer";
  }
}

// Reads the members of one stored object; every refusal names the member
// by its path in the file ("providers[1].enabled").
class Fields {
 public:
  Fields(const Json& object, std::string path) : object_(object), path_(std::move(path)) {}

  static Result<Fields> open(const Json& value, std::string path) {
    if (!value.is_object()) {
      return fail("{}: expected an object, found {}", path, json_kind(value));
    }
    return Fields(value, std::move(path));
  }

  const Json* at(std::string_view name) const {
    auto found = object_.find(name);
    return found == object_.end() ? nullptr : &*found;
  }
  std::string where(std::string_view name) const {
    return path_.empty() ? std::string(name) : fmt::format("{}.{}", path_, name);
  }
  std::string wrong(std::string_view name, std::string_view expected, const Json& found) const {
    return fmt::format("{}: expected {}, found {}", where(name), expected, json_kind(found));
  }

  Status text(std::string_view name, std::string& out, bool required = false) const {
    const Json* v = at(name);
    if (v == nullptr) {
      if (required) return fail("{}: missing", where(name));
      return {};
    }
    if (!v->is_string()) return fail(wrong(name, "a string", *v));
    out = v->get<std::string>();
    return {};
  }
  Status optional_text(std::string_view name, std::optional<std::string>& out) const {
    const Json* v = at(name);
    if (v == nullptr || v->is_null()) return {};
    if (!v->is_string()) return fail(wrong(name, "a string or null", *v));
    out = v->get<std::string>();
    return {};
  }
  Status flag(std::string_view name, bool& out) const {
    const Json* v = at(name);
    if (v == nullptr) return {};
    if (!v->is_boolean()) return fail(wrong(name, "a boolean", *v));
    out = v->get<bool>();
    return {};
  }
  Status count(std::string_view name, std::uint64_t& out) const {
    const Json* v = at(name);
    if (v == nullptr) return {};
    if (!v->is_number_unsigned()) return fail(wrong(name, "an unsigned integer", *v));
    out = v->get<std::uint64_t>();
    return {};
  }
  // An array member as a list of (path, element); absent reads as empty.
  Result<std::vector<std::pair<std::string, const Json*>>> list(std::string_view name) const {
    std::vector<std::pair<std::string, const Json*>> items;
    const Json* v = at(name);
    if (v == nullptr) return items;
    if (!v->is_array()) return fail(wrong(name, "an array", *v));
    for (std::size_t i = 0; i < v->size(); ++i) {
      items.emplace_back(fmt::format("{}[{}]", where(name), i), &(*v)[i]);
    }
    return items;
  }

 private:
  const Json& object_;
  std::string path_;
};

Status first_error(std::initializer_list<Status> steps) {
  for (const Status& step : steps) {
    if (!step) return step;
  }
  return {};
}

Result<ProviderModel> read_model(const Json& value, std::string path) {
  auto fields = Fields::open(value, std::move(path));
  if (!fields) return fail(fields.error());
  ProviderModel model;
  if (auto ok = first_error({fields->text("id", model.id, true), fields->text("label", model.label),
                             fields->count("context_window", model.context_window),
                             fields->flag("enabled", model.enabled)});
      !ok) {
    return fail(ok.error());
  }
  return model;
}

Status read_enums(const Fields& fields, ProviderProfile& profile) {
  if (const Json* v = fields.at("protocol")) {
    if (!v->is_string()) return fail(fields.wrong("protocol", "a string", *v));
    auto protocol = protocol_from_id(v->get_ref<const std::string&>());
    if (!protocol) {
      return fail("{}: unknown protocol \"{}\"", fields.where("protocol"),
                  v->get_ref<const std::string&>());
    }
    profile.protocol = *protocol;
  }
  if (const Json* v = fields.at("location")) {
    if (!v->is_string()) return fail(fields.wrong("location", "a string", *v));
    auto found = std::ranges::find(kLocations, v->get_ref<const std::string&>(),
                                   [](const auto& row) { return std::string(row.second); });
    if (found == kLocations.end()) {
      return fail("{}: unknown location \"{}\"", fields.where("location"),
                  v->get_ref<const std::string&>());
    }
    profile.location = found->first;
  }
  return {};
}

Result<ProviderProfile> read_profile(const Json& value, std::string path) {
  auto fields = Fields::open(value, std::move(path));
  if (!fields) return fail(fields.error());
  ProviderProfile profile;
  if (auto ok =
          first_error({fields->text("id", profile.id, true), fields->text("label", profile.label),
                       fields->text("endpoint", profile.endpoint),
                       fields->optional_text("model", profile.model),
                       fields->optional_text("api_key_ref", profile.api_key_ref),
                       fields->flag("enabled", profile.enabled), read_enums(*fields, profile)});
      !ok) {
    return fail(ok.error());
  }
  auto models = fields->list("models");
  if (!models) return fail(models.error());
  for (auto& [where, element] : *models) {
    auto model = read_model(*element, std::move(where));
    if (!model) return fail(model.error());
    profile.models.push_back(std::move(*model));
  }
  return profile;
}

Json optional_json(const std::optional<std::string>& text) {
  return text ? Json(*text) : Json(nullptr);
}

Json profile_json(const ProviderProfile& profile) {
  Json models = Json::array();
  for (const ProviderModel& model : profile.models) {
    models.push_back(Json{{"id", model.id},
                          {"label", model.label},
                          {"context_window", model.context_window},
                          {"enabled", model.enabled}});
  }
  return Json{{"id", profile.id},
              {"label", profile.label},
              {"endpoint", profile.endpoint},
              {"protocol", protocol_id(profile.protocol)},
              {"location", location_id(profile.location)},
              {"enabled", profile.enabled},
              {"model", optional_json(profile.model)},
              {"api_key_ref", optional_json(profile.api_key_ref)},
              {"models", std::move(models)}};
}

bool blank(std::string_view text) {
  return text.find_first_not_of(" \t\n\v\f\r") == std::string_view::npos;
}

}  // namespace

std::string_view protocol_id(ProviderProtocol protocol) {
  return protocol == ProviderProtocol::kAnthropic ? "anthropic" : "openai-compatible";
}

std::optional<ProviderProtocol> protocol_from_id(std::string_view id) {
  if (id == "anthropic") return ProviderProtocol::kAnthropic;
  if (id == "openai-compatible") return ProviderProtocol::kOpenAiCompatible;
  return std::nullopt;
}

ProviderProfile ProviderProfile::hosted(ProviderProtocol protocol) {
  std::random_device random;
  const std::uint32_t suffix = random();
  ProviderProfile profile;
  profile.id = fmt::format("{}-{:08x}", protocol_id(protocol), suffix);
  profile.protocol = protocol;
  profile.location = ProviderLocation::kHosted;
  profile.enabled = true;
  if (protocol == ProviderProtocol::kAnthropic) {
    profile.label = "Anthropic";
    profile.endpoint = "https://api.anthropic.com/v1";
  } else {
    profile.label = "OpenAI-compatible API";
  }
  return profile;
}

std::string ProviderProfile::display_label() const { return blank(label) ? id : label; }

bool ProviderProfile::is_local_vllm_candidate() const {
  return location == ProviderLocation::kThisDevice &&
         protocol == ProviderProtocol::kOpenAiCompatible;
}

ProviderProfile ProviderProfile::local_vllm() {
  ProviderProfile profile;
  profile.id = "local-vllm";
  profile.label = "This device";
  profile.protocol = ProviderProtocol::kOpenAiCompatible;
  profile.location = ProviderLocation::kThisDevice;
  profile.enabled = false;
  return profile;
}

namespace {

bool http_url(std::string_view endpoint) {
  for (std::string_view scheme : {"https://", "http://"}) {
    if (endpoint.size() > scheme.size() && endpoint.starts_with(scheme)) return true;
  }
  return false;
}

}  // namespace

std::vector<ProviderValidationError> ProviderConfig::validation_errors() const {
  std::vector<ProviderValidationError> errors;
  for (std::size_t i = 0; i < providers.size(); ++i) {
    const ProviderProfile& profile = providers[i];
    const std::string name = profile.display_label();
    for (std::size_t j = 0; j < i; ++j) {
      if (providers[j].id == profile.id) {
        errors.push_back(
            {profile.id, fmt::format("provider id \"{}\" is used more than once", profile.id)});
        break;
      }
    }
    if (blank(profile.endpoint)) {
      if (profile.enabled) errors.push_back({profile.id, fmt::format("{} has no endpoint", name)});
    } else if (!http_url(profile.endpoint)) {
      errors.push_back(
          {profile.id, fmt::format("{}: the endpoint is not an http or https URL", name)});
    }
  }
  if (default_provider) {
    const ProviderProfile* chosen = find(*default_provider);
    if (chosen == nullptr) {
      errors.push_back(
          {{}, fmt::format("the default provider \"{}\" is not configured", *default_provider)});
    } else if (!chosen->enabled) {
      errors.push_back({chosen->id, fmt::format("the default provider {} is disabled",
                                                chosen->display_label())});
    }
  }
  return errors;
}

std::optional<fs::path> config_file() { return prefs_store::config_path(kFileName); }

ProviderConfig ProviderConfig::load() {
  if (auto file = config_file()) return load_from(*file);
  return ProviderConfig();
}

ProviderConfig ProviderConfig::load_from(const fs::path& file) {
  ProviderConfig config;
  auto refuse = [&](const std::string& why) {
    ProviderConfig unread;
    unread.file_ = file;
    unread.read_error_ = fmt::format("{}: {}", file.string(), why);
    return unread;
  };
  // Read for every request that lists providers: an unchanged file costs a
  // stat, and one of the wrong kind or size is refused before it is read.
  static safe_write::ReadCache* const cache = new safe_write::ReadCache();
  auto text = cache->read(file, kMaxConfigBytes);
  if (!text) return refuse(text.error());
  if (*text) {
    auto read = from_json(**text);
    if (!read) return refuse(read.error());
    config = std::move(*read);
  }
  config.file_ = file;
  return config;
}

Status ProviderConfig::save() const {
  if (!file_) return fail("no config dir");
  if (read_error_) {
    return fail("the provider configuration could not be read: {}", *read_error_);
  }
  return safe_write::write_creating_parent_with_mode(*file_, to_json(), 0600);
}

ProviderProfile* ProviderConfig::find(std::string_view id) {
  auto found = std::ranges::find(providers, id, &ProviderProfile::id);
  return found == providers.end() ? nullptr : &*found;
}

const ProviderProfile* ProviderConfig::find(std::string_view id) const {
  return const_cast<ProviderConfig*>(this)->find(id);
}

void ProviderConfig::upsert(ProviderProfile profile) {
  if (ProviderProfile* existing = find(profile.id)) {
    *existing = std::move(profile);
  } else {
    providers.push_back(std::move(profile));
  }
}

bool ProviderConfig::remove(std::string_view id) {
  const auto removed = std::erase_if(providers, [&](const auto& p) { return p.id == id; });
  // A default that names no provider would be offered to agents as one.
  if (default_provider == id) default_provider.reset();
  return removed > 0;
}

std::string ProviderConfig::to_json() const {
  Json providers_json = Json::array();
  for (const ProviderProfile& profile : providers) providers_json.push_back(profile_json(profile));
  Json document{{"default_provider", optional_json(default_provider)},
                {"providers", std::move(providers_json)}};
  return prefs_store::pretty(document);
}

Result<ProviderConfig> ProviderConfig::from_json(std::string_view text) {
  auto document = prefs_store::parse(text);
  if (!document) return fail(document.error());
  auto fields = Fields::open(*document, "");
  if (!fields) return fail("expected an object, found " + std::string(json_kind(*document)));
  ProviderConfig config;
  if (auto ok = fields->optional_text("default_provider", config.default_provider); !ok) {
    return fail(ok.error());
  }
  auto profiles = fields->list("providers");
  if (!profiles) return fail(profiles.error());
  for (auto& [where, element] : *profiles) {
    auto profile = read_profile(*element, std::move(where));
    if (!profile) return fail(profile.error());
    config.providers.push_back(std::move(*profile));
  }
  return config;
}

}  // namespace model_provider
