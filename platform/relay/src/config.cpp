#include "relay/config.h"

#include <fmt/format.h>
#include <toml++/toml.h>

#include <array>
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <optional>
#include <span>
#include <sstream>
#include <string_view>
#include <utility>

#include "limited_exec/programs.h"
#include "prefs_store/document.h"
#include "safe_write/safe_write.h"
#include "sim_device/state.h"

namespace kalu_relay {

struct UnknownKeys::Table {
  toml::table value;
};

namespace {

namespace fs = std::filesystem;
using Unexpected = std::unexpected<LoadError>;

constexpr std::size_t kMaxFileBytes = 1 << 20;
constexpr std::string_view kReplicationStatusFile = "replication-status.json";
constexpr std::array<std::string_view, 3> kRoleNames{"interactive", "always-on", "hybrid"};
constexpr std::array<std::string_view, 3> kReplicationNames{"workspace-only", "on-demand", "full"};
constexpr std::array<std::string_view, 4> kServiceKeys{"inbound_relay", "remote_control_relay",
                                                       "app_serving", "compute"};

Unexpected other(std::string message) {
  return Unexpected(LoadError{LoadError::Kind::Other, std::move(message)});
}

std::string where(const toml::node& node) {
  const auto& begin = node.source().begin;
  return fmt::format("line {}, column {}", begin.line, begin.column);
}

Unexpected wrong_type(std::string_view key, std::string_view expected, const toml::node& node) {
  return other(
      fmt::format("relay configuration: `{}` must be {} ({})", key, expected, where(node)));
}

// What is left of `table` once the known keys are taken out of it.
UnknownKeys leftover(toml::table table) {
  if (table.empty()) return {};
  return UnknownKeys(
      std::make_shared<const UnknownKeys::Table>(UnknownKeys::Table{std::move(table)}));
}

// Takes `key` out of `table` as a boolean into `out`; absent leaves `out`.
std::expected<void, LoadError> take_bool(toml::table& table, std::string_view key, bool& out) {
  toml::node* node = table.get(key);
  if (node == nullptr) return {};
  if (!node->is_boolean()) return wrong_type(key, "true or false", *node);
  out = node->as_boolean()->get();
  table.erase(key);
  return {};
}

std::expected<void, LoadError> take_path(toml::table& table, std::string_view key, fs::path& out) {
  toml::node* node = table.get(key);
  if (node == nullptr) return {};
  if (!node->is_string()) return wrong_type(key, "a text", *node);
  out = node->as_string()->get();
  table.erase(key);
  return {};
}

std::optional<std::uint8_t> index_of(std::string_view name,
                                     std::span<const std::string_view> names) {
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (names[i] == name) return static_cast<std::uint8_t>(i);
  }
  return std::nullopt;
}

std::expected<void, LoadError> take_role(toml::table& table, std::uint8_t& out) {
  toml::node* node = table.get("role");
  if (node == nullptr) return {};
  if (!node->is_string()) return wrong_type("role", "a text", *node);
  auto index = index_of(node->as_string()->get(), kRoleNames);
  if (!index) {
    return other(
        fmt::format("relay configuration: unknown role \"{}\" ({}), expected one of "
                    "interactive, always-on, hybrid",
                    node->as_string()->get(), where(*node)));
  }
  out = *index;
  table.erase("role");
  return {};
}

std::expected<void, LoadError> take_replication(toml::table& table, std::uint8_t& out) {
  toml::node* node = table.get("replication");
  if (node == nullptr) return {};
  if (auto* number = node->as_integer()) {
    const std::int64_t value = number->get();
    if (value < 0 || value > std::numeric_limits<std::uint8_t>::max()) {
      return wrong_type("replication", "a mode name or a number from 0 to 255", *node);
    }
    out = static_cast<std::uint8_t>(value);
  } else if (auto* name = node->as_string()) {
    auto index = index_of(name->get(), kReplicationNames);
    if (!index) {
      return other(
          fmt::format("relay configuration: unknown replication \"{}\" ({}), expected "
                      "one of workspace-only, on-demand, full",
                      name->get(), where(*node)));
    }
    out = *index;
  } else {
    return wrong_type("replication", "a mode name or a number from 0 to 255", *node);
  }
  table.erase("replication");
  return {};
}

// An integer from 0 up, or a decimal text for the ids TOML's signed
// integers cannot hold.
std::expected<void, LoadError> take_workspace_id(toml::table& table, std::uint64_t& out) {
  constexpr std::string_view kKey = "workspace_id";
  toml::node* node = table.get(kKey);
  if (node == nullptr) return {};
  if (auto* number = node->as_integer(); number != nullptr && number->get() >= 0) {
    out = static_cast<std::uint64_t>(number->get());
  } else if (auto* text = node->as_string()) {
    const std::string& digits = text->get();
    auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), out);
    if (digits.empty() || ec != std::errc() || end != digits.data() + digits.size()) {
      return wrong_type(kKey, "an unsigned 64-bit number", *node);
    }
  } else {
    return wrong_type(kKey, "an unsigned 64-bit number", *node);
  }
  table.erase(kKey);
  return {};
}

std::expected<void, LoadError> take_entries(toml::table& table, std::vector<std::string>& out) {
  toml::node* node = table.get("entries");
  if (node == nullptr) return {};
  auto* list = node->as_array();
  if (list == nullptr) return wrong_type("entries", "a list of texts", *node);
  for (toml::node& entry : *list) {
    if (!entry.is_string()) return wrong_type("entries", "a list of texts", entry);
    out.push_back(entry.as_string()->get());
  }
  table.erase("entries");
  return {};
}

std::expected<WorkspaceBinding, LoadError> read_binding(toml::table table) {
  WorkspaceBinding binding;
  if (auto s = take_replication(table, binding.replication); !s) return Unexpected(s.error());
  if (auto s = take_workspace_id(table, binding.workspace_id); !s) return Unexpected(s.error());
  if (auto s = take_entries(table, binding.entries); !s) return Unexpected(s.error());
  if (auto s = take_bool(table, "active", binding.active); !s) return Unexpected(s.error());
  binding.unknown = leftover(std::move(table));
  return binding;
}

std::expected<void, LoadError> take_services(toml::table& table, RelayConfig& config) {
  toml::node* node = table.get("services");
  if (node == nullptr) return {};
  auto* services = node->as_table();
  if (services == nullptr) return wrong_type("services", "a table", *node);
  toml::table rest = *services;
  bool* flags[] = {&config.inbound_relay, &config.remote_control_relay, &config.app_serving,
                   &config.compute};
  for (std::size_t i = 0; i < kServiceKeys.size(); ++i) {
    if (auto s = take_bool(rest, kServiceKeys[i], *flags[i]); !s) return s;
  }
  config.unknown_services = leftover(std::move(rest));
  table.erase("services");
  return {};
}

std::expected<void, LoadError> take_workspaces(toml::table& table, RelayConfig& config) {
  toml::node* node = table.get("workspaces");
  if (node == nullptr) return {};
  auto* list = node->as_array();
  if (list == nullptr) return wrong_type("workspaces", "a list of tables", *node);
  for (toml::node& element : *list) {
    auto* binding = element.as_table();
    if (binding == nullptr) return wrong_type("workspaces", "a list of tables", element);
    auto read = read_binding(*binding);
    if (!read) return Unexpected(read.error());
    config.workspaces.push_back(std::move(*read));
  }
  table.erase("workspaces");
  return {};
}

std::expected<RelayConfig, LoadError> read_config(toml::table table) {
  RelayConfig config = RelayConfig::defaults();
  const bool status_given = table.contains("replication_status_path");
  const std::expected<void, LoadError> steps[] = {
      take_role(table, config.role),
      take_bool(table, "relay_enabled", config.relay_enabled),
      take_bool(table, "full_replication", config.full_replication),
      take_path(table, "data_dir", config.data_dir),
      take_path(table, "replication_status_path", config.replication_status_path),
      take_services(table, config),
      take_workspaces(table, config),
  };
  for (const auto& step : steps) {
    if (!step) return Unexpected(step.error());
  }
  // A status file left out lies in the data folder, wherever that is.
  if (!status_given) config.replication_status_path = config.data_dir / kReplicationStatusFile;
  config.unknown = leftover(std::move(table));
  return config;
}

toml::table unknown_or_empty(const UnknownKeys& keys) {
  return keys.table() != nullptr ? keys.table()->value : toml::table{};
}

void put_replication(toml::table& table, std::uint8_t replication) {
  std::string_view name = replication_name(replication);
  if (!name.empty()) {
    table.insert_or_assign("replication", std::string(name));
  } else {
    table.insert_or_assign("replication", static_cast<std::int64_t>(replication));
  }
}

void put_workspace_id(toml::table& table, std::uint64_t id) {
  if (id <= static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
    table.insert_or_assign("workspace_id", static_cast<std::int64_t>(id));
  } else {
    table.insert_or_assign("workspace_id", std::to_string(id));
  }
}

toml::table binding_table(const WorkspaceBinding& binding) {
  toml::table table = unknown_or_empty(binding.unknown);
  put_workspace_id(table, binding.workspace_id);
  put_replication(table, binding.replication);
  table.insert_or_assign("active", binding.active);
  toml::array entries;
  for (const std::string& entry : binding.entries) entries.push_back(entry);
  table.insert_or_assign("entries", std::move(entries));
  return table;
}

}  // namespace

bool UnknownKeys::empty() const { return table_ == nullptr || table_->value.empty(); }

bool UnknownKeys::operator==(const UnknownKeys& other) const {
  if (empty() || other.empty()) return empty() == other.empty();
  return table_->value == other.table_->value;
}

std::string_view role_name(std::uint8_t role) {
  return role < kRoleNames.size() ? kRoleNames[role] : std::string_view{};
}

std::string_view replication_name(std::uint8_t replication) {
  return replication < kReplicationNames.size() ? kReplicationNames[replication]
                                                : std::string_view{};
}

RelayConfig RelayConfig::defaults() {
  RelayConfig config;
  config.data_dir = default_data_dir();
  config.replication_status_path = config.data_dir / kReplicationStatusFile;
  return config;
}

bool RelayConfig::remove_workspace(std::uint64_t workspace_id) {
  return std::erase_if(workspaces, [&](const WorkspaceBinding& binding) {
           return binding.workspace_id == workspace_id;
         }) > 0;
}

std::expected<RelayConfig, LoadError> from_toml(std::string_view text, std::string_view source) {
  try {
    return read_config(toml::parse(text, source));
  } catch (const toml::parse_error& error) {
    const auto& begin = error.source().begin;
    return other(
        fmt::format("{} (line {}, column {})", error.description(), begin.line, begin.column));
  } catch (const std::exception& error) {
    return other(error.what());
  }
}

std::expected<RelayConfig, LoadError> load(const fs::path& path) {
  auto text = prefs_store::read_text(path, kMaxFileBytes);
  if (!text) return other(text.error());
  if (!*text) {
    return Unexpected(LoadError{LoadError::Kind::NotFound,
                                fmt::format("{}: {}", path.string(), std::strerror(ENOENT))});
  }
  return from_toml(**text, path.string());
}

std::string to_toml(const RelayConfig& config) {
  toml::table table = unknown_or_empty(config.unknown);
  // A role outside the table has no name to write; it falls back to the
  // personal role a reader would assume anyway.
  std::string_view role = role_name(config.role);
  table.insert_or_assign("role", std::string(role.empty() ? kRoleNames[0] : role));
  table.insert_or_assign("relay_enabled", config.relay_enabled);
  table.insert_or_assign("full_replication", config.full_replication);
  table.insert_or_assign("data_dir", config.data_dir.string());
  table.insert_or_assign("replication_status_path", config.replication_status_path.string());

  toml::table services = unknown_or_empty(config.unknown_services);
  const bool flags[] = {config.inbound_relay, config.remote_control_relay, config.app_serving,
                        config.compute};
  for (std::size_t i = 0; i < kServiceKeys.size(); ++i) {
    services.insert_or_assign(kServiceKeys[i], flags[i]);
  }
  table.insert_or_assign("services", std::move(services));

  toml::array workspaces;
  for (const WorkspaceBinding& binding : config.workspaces)
    workspaces.push_back(binding_table(binding));
  table.insert_or_assign("workspaces", std::move(workspaces));

  std::ostringstream out;
  out << table << '\n';
  return out.str();
}

kalu_ui::Status write(const fs::path& path, const RelayConfig& config) {
  return safe_write::write_creating_parent_with_mode(path, to_toml(config), 0644);
}

fs::path relay_config_path() {
  if (limited_exec::system_device()) return "/etc/kalu/relay.toml";
  const fs::path device = sim_device::state_path();
  return device.empty() ? fs::path() : device.parent_path() / "relay.toml";
}

fs::path default_data_dir() {
  if (limited_exec::system_device()) return "/var/lib/kalu/relay";
  const fs::path device = sim_device::state_path();
  return device.empty() ? fs::path() : device.parent_path() / "relay";
}

}  // namespace kalu_relay
