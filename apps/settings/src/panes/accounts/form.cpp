#include "panes/accounts/form.h"

#include <fmt/format.h>
#include <uuid/uuid.h>

#include <utility>

#include "kalu_net/http.h"
#include "limited_exec/text.h"

namespace settings::panes::accounts {

namespace {

using account_book::Json;
using kalu_ui::fail;
using kalu_ui::secret::SecretText;
using limited_exec::trim_white_space;
namespace services = settings::accounts;

// Reserved example names only (RFC 2606 and 6761): the table has the shape of
// real providers' without pointing anyone's mail at a real server.
constexpr std::array<MailPreset, 8> kMailPresets = {{
    {"example.com", "imap.mail.example.com", "smtp.mail.example.com"},
    {"example.net", "imap.mail.example.com", "smtp.mail.example.com"},
    {"example.org", "imap.post.example.org", "smtp.post.example.org"},
    {"mail.example.org", "imap.post.example.org", "smtp.post.example.org"},
    {"staff.example.org", "imap.post.example.org", "smtp.post.example.org"},
    {"mailbox.example", "imap.mailbox.example", "smtp.mailbox.example"},
    {"letters.test", "imap.letters.test", "smtp.letters.test"},
    {"post.test", "imap.letters.test", "smtp.letters.test"},
}};

std::string ascii_lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

bool has_white_space(std::string_view text) {
  while (!text.empty()) {
    if (limited_exec::is_white_space(limited_exec::take_char(text))) return true;
  }
  return false;
}

std::string random_uuid() {
  uuid_t id;
  uuid_generate_random(id);
  char text[37];
  uuid_unparse_lower(id, text);
  return text;
}

// The typed values trimmed as the form compares and stores them.
struct Trimmed {
  std::string display_name;
  std::string identity;
  std::string username;
  std::string server_url;
};

Trimmed trimmed(const FormValues& values) {
  Trimmed t{std::string(trim_white_space(values.display_name)),
            std::string(trim_white_space(values.identity)),
            std::string(trim_white_space(values.username)),
            std::string(trim_white_space(values.server_url))};
  while (!t.server_url.empty() && t.server_url.back() == '/') t.server_url.pop_back();
  return t;
}

kalu_ui::Status validate(AccountKind kind, const Trimmed& t) {
  if (t.display_name.empty()) return fail("enter a display name");
  if (t.identity.empty()) {
    return fail(kind == AccountKind::kMail ? "enter an email address" : "enter a username");
  }
  if (kind != AccountKind::kMail) {
    auto url = kalu_net::http::Url::parse(t.server_url);
    if (!url) return fail("enter a valid server URL");
    // The probe sends the credential over HTTPS only, for every host.
    if (url->scheme() != "https") return fail("use an HTTPS server URL");
    if (url->has_credentials()) return fail("remove credentials from the server URL");
    return {};
  }
  if (t.identity.find('@') == std::string::npos || has_white_space(t.identity)) {
    return fail("enter a valid email address");
  }
  return {};
}

kalu_ui::Result<std::string> account_id(AccountKind kind,
                                        const std::optional<std::string>& editing_id,
                                        const std::optional<std::string>& reused_id,
                                        const Trimmed& t, const SecretText& password) {
  if (editing_id) return *editing_id;
  if (trim_white_space(password.view()).empty()) return fail("enter a password or app password");
  if (reused_id) return *reused_id;
  if (kind == AccountKind::kMail) return ascii_lower(t.identity);
  return fmt::format("{}-{}", services::short_name(kind), random_uuid());
}

// The record the save starts from: a copy of the stored account when
// editing, a new one when adding.
kalu_ui::Result<account_book::Account> starting_record(const RootOverride& root, AccountKind kind,
                                                       bool editing, const std::string& id) {
  const account_book::AccountStore store = services::load_account_store(root);
  const account_book::Account* stored = store.get(id);
  if (editing) {
    if (stored == nullptr) return fail("account no longer exists");
    if (stored->type_id != services::type_id(kind)) {
      return fail("account type changed; refresh Settings and try again");
    }
    return *stored;
  }
  if (stored != nullptr) return fail("this account is already configured");
  return services::new_account_record(id, services::type_name(kind));
}

Json form_config(AccountKind kind, bool editing, const std::string& id, const Trimmed& t) {
  switch (kind) {
    case AccountKind::kMail:
      if (editing) {
        // The server settings stay as they are.
        return Json{{"email", t.identity},
                    {"display_name", t.display_name},
                    {"username", t.username.empty() ? t.identity : t.username}};
      } else {
        settings::accounts::AccountConfig config;
        config.display_name = t.display_name;
        config.email = t.identity;
        config.imap_port = 993;
        config.imap_tls = true;
        config.smtp_port = 465;
        config.smtp_tls = true;
        config.username = t.username;
        apply_mail_preset(config);
        return settings::accounts::to_config(config);
      }
    case AccountKind::kCalDav:
      return Json{
          {"display_name", t.display_name}, {"server_url", t.server_url}, {"username", t.identity}};
    case AccountKind::kWebDav:
      return Json{{"id", id},
                  {"label", t.display_name},
                  {"base_url", t.server_url},
                  {"username", t.identity}};
    case AccountKind::kNextcloud:
      return Json{{"id", id},
                  {"label", t.display_name},
                  {"server_url", t.server_url},
                  {"username", t.identity}};
  }
  return Json::object();
}

// The typed password, else the one saved for the account.
kalu_ui::Result<SecretText> credential_for(const RootOverride& root, const std::string& id,
                                           const SecretText& password) {
  if (std::string_view typed = trim_white_space(password.view()); !typed.empty()) {
    return SecretText::copy_of(typed);
  }
  auto saved = services::saved_secret(root, id);
  if (!saved) return fail(std::move(saved.error()));
  if (*saved) return std::move(**saved);
  return fail("this account has no saved credential; enter one");
}

}  // namespace

kalu_ui::Result<PreparedDraft> submit_account_form(const RootOverride& root, AccountKind kind,
                                                   const std::optional<std::string>& editing_id,
                                                   const std::optional<std::string>& reused_id,
                                                   const FormValues& values) {
  const Trimmed t = trimmed(values);
  if (auto valid = validate(kind, t); !valid) return fail(std::move(valid.error()));
  auto id = account_id(kind, editing_id, reused_id, t, values.password);
  if (!id) return fail(std::move(id.error()));
  const bool editing = editing_id.has_value();
  auto record = starting_record(root, kind, editing, *id);
  if (!record) return fail(std::move(record.error()));
  record->display_name = t.display_name;
  merge_config(*record, form_config(kind, editing, *id, t));
  auto credential = credential_for(root, *id, values.password);
  if (!credential) return fail(std::move(credential.error()));
  return PreparedDraft{std::move(*record), std::move(*credential), kind, editing_id,
                       std::move(*id)};
}

const std::array<MailPreset, 8>& mail_presets() { return kMailPresets; }

bool apply_mail_preset(settings::accounts::AccountConfig& config) {
  const std::size_t at = config.email.find('@');
  if (at == std::string::npos) return false;
  if (config.display_name.empty()) config.display_name = config.email.substr(0, at);
  if (config.username.empty()) config.username = config.email;
  const std::string domain = config.email.substr(at + 1);
  const std::string lower = ascii_lower(domain);
  for (const MailPreset& preset : kMailPresets) {
    if (preset.domain == lower) {
      config.imap_host = preset.imap_host;
      config.smtp_host = preset.smtp_host;
      return true;
    }
  }
  config.imap_host = "imap." + domain;
  config.smtp_host = "smtp." + domain;
  return false;
}

void merge_config(account_book::Account& account, const Json& members) {
  if (!account.config.is_object()) account.config = Json::object();
  for (const auto& [key, value] : members.items()) account.config[key] = value;
}

}  // namespace settings::panes::accounts
