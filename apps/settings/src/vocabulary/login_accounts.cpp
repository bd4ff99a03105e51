#include "vocabulary/login_accounts.h"

#include <charconv>
#include <cstdlib>

#include "limited_exec/text.h"

namespace settings::panes::users {

namespace {

using system_ops::users::split_fields;

constexpr std::uint64_t kFirstPersonUid = 1000;
constexpr std::uint64_t kLastPersonUid = 59999;

// The lines of a file, without their "\n" or "\r\n".
template <typename Fn>
void each_line(std::string_view text, Fn&& fn) {
  for (std::string_view line : limited_exec::split_lines(text)) {
    if (line.ends_with('\r')) line.remove_suffix(1);
    fn(line);
  }
}

// "+1000" and "1000" are 1000; a sign of another kind, any other character,
// nothing at all or more than 64 bits are no user id.
std::optional<std::uint64_t> parse_uid(std::string_view text) {
  if (text.starts_with('+')) text.remove_prefix(1);
  if (text.empty() || text.find_first_not_of("0123456789") != std::string_view::npos) {
    return std::nullopt;
  }
  std::uint64_t value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

// A file's text: its bytes with anything that is not UTF-8 replaced, so one
// damaged line cannot hide the others. Nothing when it cannot be read.
std::optional<std::string> read_text(const std::filesystem::path& path) {
  auto bytes = system_ops::users::read_account_file(path);
  if (!bytes) return std::nullopt;
  return limited_exec::decode_lossy(*bytes);
}

}  // namespace

Administrators read_administrators(std::string_view group_text) {
  Administrators administrators;
  each_line(group_text, [&](std::string_view line) {
    auto fields = split_fields(line, ':');
    if (fields.size() < 4 || (fields[0] != "wheel" && fields[0] != "sudo")) return;
    for (std::string_view member : split_fields(fields[3], ',')) administrators.emplace(member);
  });
  return administrators;
}

std::optional<LocalUser> parse_login_account(std::string_view line,
                                             const Administrators& administrators,
                                             const std::optional<std::string>& current_user) {
  auto fields = split_fields(line, ':');
  if (fields.size() < 7 || fields[0].empty()) return std::nullopt;
  auto uid = parse_uid(fields[2]);
  if (!uid || *uid < kFirstPersonUid || *uid > kLastPersonUid) return std::nullopt;
  if (fields[6].ends_with("nologin") || fields[6].ends_with("false")) return std::nullopt;
  std::string_view gecos = fields[4];
  std::string_view full_name = limited_exec::trim_white_space(gecos.substr(0, gecos.find(',')));
  LocalUser user;
  user.username = std::string(fields[0]);
  user.display_name = std::string(full_name.empty() ? fields[0] : full_name);
  user.uid = *uid;
  user.administrator = administrators.contains(fields[0]);
  user.signed_in = current_user && *current_user == fields[0];
  return user;
}

std::optional<std::string> current_user_name() {
  const char* user = std::getenv("USER");
  if (user == nullptr) return std::nullopt;
  std::string_view name(user);
  if (limited_exec::decode_lossy(name) != name) return std::nullopt;
  return std::string(name);
}

std::vector<LocalUser> load_local_users(const system_ops::users::AccountFiles& files,
                                        const std::optional<std::string>& current_user,
                                        const AutomaticLogin& automatic_login) {
  Administrators administrators;
  if (auto group = read_text(files.group)) administrators = read_administrators(*group);
  std::vector<LocalUser> users;
  auto passwd = read_text(files.passwd);
  if (!passwd) return users;
  each_line(*passwd, [&](std::string_view line) {
    if (auto user = parse_login_account(line, administrators, current_user)) {
      users.push_back(std::move(*user));
    }
  });
  for (auto& user : users) {
    auto on = automatic_login(user.username);
    user.automatic_login = on && *on;
  }
  return users;
}

std::vector<LocalUser> load_local_users() {
  std::optional<std::string> current_user = current_user_name();
  auto files = system_ops::users::account_files();
  if (!files) return {};
  return load_local_users(*files, current_user, system_ops::users::automatic_login);
}

}  // namespace settings::panes::users
