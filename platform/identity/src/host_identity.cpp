#include "identity/host_identity.h"

#include <fcntl.h>
#include <fmt/format.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <limits>
#include <nlohmann/json.hpp>
#include <sstream>

#include "crypto.h"
#include "layout.h"
#include "prefs_store/paths.h"
#include "safe_write/read.h"
#include "safe_write/safe_write.h"

namespace host_identity {
namespace {

namespace fs = std::filesystem;
using Json = nlohmann::ordered_json;
using identity_detail::Wiped;
using kalu_ui::fail;

constexpr const char* kDirVariable = "KALU_IDENTITY_DIR";
constexpr std::size_t kMaxIdLength = 128;
// identity.json and the active file are small; a larger file is not ours.
constexpr std::uintmax_t kMaxSmallFile = 64 * 1024;

using identity_detail::active_path;
using identity_detail::entry_path;
using identity_detail::identities_dir;
using identity_detail::key_path;

// The whole small file; nothing when it does not exist.
IoResult<std::optional<std::string>> read_small_text(const fs::path& path) {
  auto text = safe_write::read_bounded(path, kMaxSmallFile);
  if (!text) {
    const ErrorKind kind =
        text.error().starts_with("larger than") || text.error().starts_with("not a regular file")
            ? ErrorKind::InvalidData
            : ErrorKind::Other;
    return io_fail(kind, safe_write::read_error(path.string(), text.error()));
  }
  return std::move(*text);
}

std::string trimmed(std::string_view text) {
  const auto first = text.find_first_not_of(" \t\r\n");
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(" \t\r\n");
  return std::string(text.substr(first, last - first + 1));
}

IoResult<std::optional<std::string>> read_active_id(const fs::path& dir) {
  auto text = read_small_text(active_path(dir));
  if (!text) return std::unexpected(text.error());
  if (!*text) return std::nullopt;
  std::string id = trimmed(**text);
  if (id.empty()) return std::nullopt;
  return id;
}

std::optional<std::uint16_t> read_u16(const Json& object, const char* key) {
  auto it = object.find(key);
  if (it == object.end()) return 1;
  if (!it->is_number_unsigned()) return std::nullopt;
  const auto value = it->get<std::uint64_t>();
  if (value > std::numeric_limits<std::uint16_t>::max()) return std::nullopt;
  return static_cast<std::uint16_t>(value);
}

std::optional<PublicKey> read_key(const Json& value) {
  if (!value.is_array() || value.size() != PublicKey{}.size()) return std::nullopt;
  PublicKey key{};
  for (std::size_t i = 0; i < key.size(); ++i) {
    if (!value[i].is_number_unsigned() || value[i].get<std::uint64_t>() > 255) return std::nullopt;
    key[i] = static_cast<std::uint8_t>(value[i].get<std::uint64_t>());
  }
  return key;
}

Protection protection_of(const fs::path& key_file) {
  struct stat info {};
  if (::stat(key_file.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
    return Protection::ProviderUnavailable;
  }
  return (info.st_mode & 077) != 0 ? Protection::MigrationRequired : Protection::PrivateFile;
}

// The identity `id` of the store, or why it cannot be read.
kalu_ui::Result<LocalIdentity> read_entry(const fs::path& dir, std::string_view id) {
  const fs::path path = entry_path(dir, id);
  auto text = read_small_text(path);
  if (!text) return fail(text.error().message);
  if (!*text) return fail("identity \"{}\" does not exist", id);
  const Json json = Json::parse(**text, nullptr, false);
  if (!json.is_object()) return fail("{} is not a JSON object", path.string());
  LocalIdentity entry;
  const auto found_id = json.find("id");
  const auto label = json.find("label");
  const auto key = json.find("public_key");
  if (found_id == json.end() || !found_id->is_string() || found_id->get<std::string>() != id) {
    return fail("{} does not name identity \"{}\"", path.string(), id);
  }
  entry.id = std::string(id);
  if (label != json.end() && label->is_string()) entry.label = label->get<std::string>();
  auto public_key = key == json.end() ? std::nullopt : read_key(*key);
  const auto threshold = read_u16(json, "threshold");
  const auto signers = read_u16(json, "signers");
  if (!public_key || !threshold || !signers) {
    return fail("{} holds an invalid public key or signing policy", path.string());
  }
  entry.public_key = *public_key;
  entry.threshold = *threshold;
  entry.signers = *signers;
  entry.protection = protection_of(key_path(dir, id));
  return entry;
}

kalu_ui::Status check_id(std::string_view id) {
  if (is_valid_identity_id(id)) return {};
  return fail("identity id is not valid");
}

kalu_ui::Status write_active(const fs::path& dir, std::string_view id) {
  return safe_write::write_creating_parent_with_mode(active_path(dir), fmt::format("{}\n", id),
                                                     0600);
}

}  // namespace

IoError io_error_from(std::error_code error) {
  ErrorKind kind = ErrorKind::Other;
  if (error == std::errc::no_such_file_or_directory || error == std::errc::not_a_directory) {
    kind = ErrorKind::NotFound;
  } else if (error == std::errc::permission_denied || error == std::errc::operation_not_permitted) {
    kind = ErrorKind::PermissionDenied;
  }
  return IoError{kind, error.message()};
}

bool is_valid_identity_id(std::string_view id) {
  if (id.empty() || id.size() > kMaxIdLength || id == "." || id.find("..") != id.npos) {
    return false;
  }
  return std::ranges::none_of(id, [](char c) {
    const auto byte = static_cast<unsigned char>(c);
    return c == '/' || byte < 0x20 || byte == 0x7f;
  });
}

IoResult<fs::path> identity_dir_from_env() {
  if (const char* value = std::getenv(kDirVariable); value != nullptr && *value != '\0') {
    return fs::path(value);
  }
  if (auto data = prefs_store::data_dir()) return *data / "kalu" / "identities";
  return io_fail(ErrorKind::NotFound, "no data directory for the identity store");
}

IoResult<std::vector<LocalIdentity>> list_identities(const fs::path& dir) {
  std::error_code ec;
  if (!fs::is_directory(dir, ec)) {
    if (!ec) ec = std::make_error_code(std::errc::not_a_directory);
    IoError error = io_error_from(ec);
    error.message = fmt::format("identity directory {}: {}", dir.string(), error.message);
    return std::unexpected(std::move(error));
  }
  auto active = read_active_id(dir);
  if (!active) return std::unexpected(active.error());

  std::vector<std::string> ids;
  fs::directory_iterator it(identities_dir(dir), ec);
  if (ec && ec != std::errc::no_such_file_or_directory) {
    IoError error = io_error_from(ec);
    error.message = fmt::format("{}: {}", identities_dir(dir).string(), error.message);
    return std::unexpected(std::move(error));
  }
  for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
    std::string name = it->path().filename().string();
    if (is_valid_identity_id(name)) ids.push_back(std::move(name));
  }
  std::ranges::sort(ids);

  std::vector<LocalIdentity> identities;
  for (const std::string& id : ids) {
    auto entry = read_entry(dir, id);
    if (!entry) continue;  // a damaged entry hides only itself
    entry->active = *active && **active == id;
    identities.push_back(std::move(*entry));
  }
  return identities;
}

IoResult<std::optional<fs::path>> resolve_active_identity(const fs::path& dir) {
  auto active = read_active_id(dir);
  if (!active) return std::unexpected(active.error());
  if (!*active || !is_valid_identity_id(**active)) return std::nullopt;
  if (!read_entry(dir, **active)) return std::nullopt;
  return key_path(dir, **active);
}

struct SigningIdentity::Key {
  identity_detail::Pkey pkey;
};

SigningIdentity::SigningIdentity(std::unique_ptr<Key> key, const PublicKey& public_key)
    : key_(std::move(key)), public_key_(public_key) {}
SigningIdentity::SigningIdentity(SigningIdentity&&) noexcept = default;
SigningIdentity& SigningIdentity::operator=(SigningIdentity&&) noexcept = default;
SigningIdentity::~SigningIdentity() = default;

kalu_ui::Result<Signature> SigningIdentity::sign(std::span<const std::uint8_t> message) const {
  if (!key_) return fail("the signing identity holds no key");
  return identity_detail::sign(key_->pkey.get(), message);
}

kalu_ui::Result<SigningIdentity> load_from_path(const fs::path& key_path) {
  Wiped<identity_detail::kKeyFileSize> file;
  auto pair = identity_detail::read_key_pair_file(key_path, file);
  if (!pair) return std::unexpected(pair.error());
  return SigningIdentity(std::make_unique<SigningIdentity::Key>(std::move(pair->key)),
                         pair->public_key);
}

IoResult<IdentityProfile> load() {
  auto dir = identity_dir_from_env();
  if (!dir) return std::unexpected(dir.error());
  auto identities = list_identities(*dir);
  if (!identities) return std::unexpected(identities.error());
  for (const LocalIdentity& identity : *identities) {
    if (identity.active) return IdentityProfile{identity.label, identity.public_key};
  }
  return io_fail(ErrorKind::NotFound, "no active identity");
}

kalu_ui::Status set_active_identity(const fs::path& dir, std::string_view id) {
  if (auto valid = check_id(id); !valid) return valid;
  if (auto entry = read_entry(dir, id); !entry) return std::unexpected(entry.error());
  auto active = read_active_id(dir);
  if (!active) return fail(active.error().message);
  if (*active && **active == id) return {};
  return write_active(dir, id);
}

kalu_ui::Status remove_identity(const fs::path& dir, std::string_view id) {
  if (auto valid = check_id(id); !valid) return valid;
  std::error_code ec;
  if (!fs::exists(identities_dir(dir) / id, ec)) {
    return fail("identity \"{}\" does not exist", id);
  }
  auto active = read_active_id(dir);
  if (!active) return fail(active.error().message);
  if (*active && **active == id) {
    return fail("the active identity cannot be removed; make another identity active first");
  }
  fs::remove_all(identities_dir(dir) / id, ec);
  if (ec) return fail("identity \"{}\" could not be removed: {}", id, ec.message());
  return {};
}

kalu_ui::Status secure_identity(const fs::path& dir, std::string_view id) {
  if (auto valid = check_id(id); !valid) return valid;
  auto entry = read_entry(dir, id);
  if (!entry) return std::unexpected(entry.error());
  switch (entry->protection) {
    case Protection::ProviderUnavailable:
      return fail("identity \"{}\" has no signing key to protect", id);
    case Protection::MigrationRequired:
      break;
    default:
      return {};
  }
  // Written anew rather than re-moded: the new file is private from its
  // first byte, and the old inode goes.
  Wiped<identity_detail::kKeyFileSize> file;
  const fs::path path = key_path(dir, id);
  if (auto pair = identity_detail::read_key_pair_file(path, file); !pair) {
    return std::unexpected(pair.error());
  }
  return identity_detail::write_key_pair_file(path, file);
}

IoResult<LocalIdentity> create_identity(const fs::path& dir, std::string_view id,
                                        std::string_view label, bool make_active) {
  if (!is_valid_identity_id(id)) return io_fail(ErrorKind::InvalidData, "identity id is not valid");
  std::error_code ec;
  if (fs::exists(identities_dir(dir) / id, ec)) {
    return io_fail(ErrorKind::InvalidData, fmt::format("identity \"{}\" exists already", id));
  }
  Wiped<identity_detail::kKeyFileSize> file;
  auto pair = identity_detail::generate(file);
  if (!pair) return io_fail(ErrorKind::Other, pair.error());
  if (auto written = identity_detail::write_key_pair_file(key_path(dir, id), file); !written) {
    return io_fail(ErrorKind::Other, written.error());
  }
  LocalIdentity entry{std::string(id), std::string(label),     pair->public_key, 1, 1,
                      make_active,     Protection::PrivateFile};
  Json json = Json::object();
  json["id"] = entry.id;
  json["label"] = entry.label;
  json["public_key"] = entry.public_key;
  json["threshold"] = entry.threshold;
  json["signers"] = entry.signers;
  const std::string text = json.dump(2, ' ', false, Json::error_handler_t::replace);
  if (auto written = safe_write::write_with_mode(entry_path(dir, id), text, 0600); !written) {
    return io_fail(ErrorKind::Other, written.error());
  }
  if (make_active) {
    if (auto written = write_active(dir, id); !written) {
      return io_fail(ErrorKind::Other, written.error());
    }
  }
  return entry;
}

}  // namespace host_identity
