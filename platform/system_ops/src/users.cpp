#include "system_ops/users.h"

#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <chrono>
#include <cstring>
#include <fstream>
#include <mutex>
#include <utility>
#include <vector>

#include "access.h"
#include "kalu_ui/secret.h"
#include "limited_exec/limited_exec.h"
#include "limited_exec/programs.h"
#include "limited_exec/text.h"

namespace system_ops::users {

namespace {

namespace fs = std::filesystem;
using kalu_ui::fail;
using kalu_ui::Result;
using kalu_ui::Status;

constexpr std::string_view kUseradd = "/usr/sbin/useradd";
constexpr std::string_view kChpasswd = "/usr/sbin/chpasswd";
constexpr std::string_view kUserdel = "/usr/sbin/userdel";
constexpr std::string_view kGpasswd = "/usr/bin/gpasswd";
constexpr std::string_view kAutologin = "/usr/libexec/kalu-autologin";

// pkexec waits while a person types an administrator's password.
constexpr auto kChangeTimeout = std::chrono::minutes(5);
constexpr auto kQueryTimeout = std::chrono::seconds(10);
constexpr std::size_t kOutputCap = 64 * 1024;
// Larger is no account database (and is not read on anyone's behalf).
constexpr std::size_t kMaxFileBytes = 16 << 20;

// The groups whose members are administrators, in the order a new
// administrator is added to the first that exists.
constexpr std::array<std::string_view, 2> kAdministratorGroups = {"wheel", "sudo"};

std::mutex files_mutex;
std::optional<AccountFiles> files_override;  // guarded by files_mutex

// The member list of the group line named `group`, nothing when there is none.
std::optional<std::vector<std::string_view>> group_members(std::string_view text,
                                                           std::string_view group) {
  for (std::string_view line : limited_exec::split_lines(text)) {
    auto fields = split_fields(line, ':');
    if (fields.size() < 4 || fields[0] != group) continue;
    std::vector<std::string_view> members;
    for (std::string_view m : split_fields(fields[3], ',')) {
      if (!m.empty()) members.push_back(m);
    }
    return members;
  }
  return std::nullopt;
}

bool lists(const std::vector<std::string_view>& members, std::string_view name) {
  return std::find(members.begin(), members.end(), name) != members.end();
}

std::string failure_text(std::string_view ran, std::string_view program,
                         const limited_exec::Output& out) {
  if (ran == "pkexec" && out.status == 126)
    return "Authentication was cancelled; nothing was changed.";
  std::string text = limited_exec::command_error_text(out.stderr_bytes);
  if (!text.empty()) return text;
  return fmt::format("{} failed with exit status {}", program, out.status);
}

// Runs an account program; on a real device behind pkexec, given the path
// the program table resolves (the fake's under test).
Status run_account_program(std::string_view program, std::vector<std::string> args,
                           const limited_exec::Options& options = {}) {
  std::string ran(program);
  if (limited_exec::system_device()) {
    auto executable = limited_exec::resolve_program(program);
    if (!executable) return fail("cannot start {}: {}", program, executable.error());
    args.insert(args.begin(), *executable);
    ran = "pkexec";
  }
  auto out = limited_exec::run(ran, args, kChangeTimeout, kOutputCap, options);
  if (!out) return fail(out.error());
  if (!out->success()) return fail(failure_text(ran, program, *out));
  return {};
}

bool is_control(char32_t c) { return c < 0x20 || (c >= 0x7F && c <= 0x9F); }

Result<std::string> administrators_group() {
  auto files = account_files();
  if (!files) return fail(files.error());
  auto text = read_account_file(files->group);
  if (!text) return fail(text.error());
  for (std::string_view group : kAdministratorGroups) {
    if (group_members(*text, group)) return std::string(group);
  }
  return fail("This device has no administrators group (wheel or sudo).");
}

}  // namespace

std::vector<std::string_view> split_fields(std::string_view line, char separator) {
  std::vector<std::string_view> out;
  while (true) {
    auto at = line.find(separator);
    out.push_back(line.substr(0, at));
    if (at == std::string_view::npos) return out;
    line.remove_prefix(at + 1);
  }
}

Result<std::string> read_account_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return fail("{} could not be read", path.string());
  std::string text;
  std::array<char, 64 * 1024> chunk;
  while (in.read(chunk.data(), chunk.size()) || in.gcount() > 0) {
    text.append(chunk.data(), static_cast<std::size_t>(in.gcount()));
    if (text.size() > kMaxFileBytes) return fail("{} is too large", path.string());
  }
  if (in.bad()) return fail("{} could not be read", path.string());
  return text;
}

Result<AccountFiles> account_files() {
  {
    std::lock_guard lock(files_mutex);
    if (files_override) return *files_override;
  }
  if (limited_exec::system_device()) return AccountFiles{"/etc/passwd", "/etc/group"};
  auto files = device::account_files();
  if (!files) return fail(files.error());
  return AccountFiles{files->passwd, files->group};
}

Status check_new_username(std::string_view username) {
  if (username.empty() || username.size() > 32)
    return fail("A user name needs 1 to 32 characters.");
  if (username[0] == '-' || (username[0] >= '0' && username[0] <= '9')) {
    return fail("A user name cannot start with '-' or a digit.");
  }
  for (char c : username) {
    if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '-')) {
      return fail("A user name may contain only the letters a to z, digits, '_' and '-'.");
    }
  }
  return {};
}

Status check_full_name(std::string_view full_name) {
  if (limited_exec::decode_lossy(full_name) != full_name) {
    return fail("A full name must be valid UTF-8 text.");
  }
  for (std::string_view rest = full_name; !rest.empty();) {
    char32_t c = limited_exec::take_char(rest);
    if (c == ':' || c == ',' || is_control(c)) {
      return fail("A full name cannot contain ':', ',' or control characters.");
    }
  }
  return {};
}

Status check_password(std::string_view password) {
  if (password.empty()) return fail("The password cannot be empty.");
  if (password.find_first_of(std::string_view("\n\r\0", 3)) != std::string_view::npos) {
    return fail("The password cannot contain line breaks or NUL characters.");
  }
  return {};
}

Status check_account_name(std::string_view username) {
  bool unsafe = username.empty() || username.size() > 256 || username[0] == '-' ||
                std::any_of(username.begin(), username.end(), [](char c) {
                  auto byte = static_cast<unsigned char>(c);
                  return c == ':' || c == ',' || c == '/' || byte <= 0x20 || byte == 0x7F;
                });
  if (unsafe)
    return fail("\"{}\" is not an account name this device can change.",
                limited_exec::decode_lossy(username));
  return {};
}

Result<bool> automatic_login(const std::string& username) {
  if (auto ok = check_account_name(username); !ok) return fail(ok.error());
  if (!limited_exec::system_device()) {
    auto users = device::section("users.automatic_login", "users");
    if (!users) return fail(users.error());
    return (*users)["automatic_login"] == username;
  }
  std::vector<std::string> args = {"status", username};
  auto out = limited_exec::run(kAutologin, args, kQueryTimeout, kOutputCap);
  if (!out) return fail(out.error());
  if (!out->success()) return fail(failure_text(kAutologin, kAutologin, *out));
  std::string said = limited_exec::decode_lossy(out->stdout_bytes);
  std::string_view answer = limited_exec::trim_white_space(said);
  if (answer == "enabled") return true;
  if (answer == "disabled") return false;
  return fail("kalu-autologin answered \"{}\"", limited_exec::first_chars(answer, 64));
}

Result<std::optional<std::uint64_t>> find_uid(const std::string& username) {
  auto files = account_files();
  if (!files) return fail(files.error());
  auto text = read_account_file(files->passwd);
  if (!text) return fail(text.error());
  for (std::string_view line : limited_exec::split_lines(*text)) {
    auto fields = split_fields(line, ':');
    if (fields.size() < 7 || fields[0] != username) continue;
    std::string_view digits = fields[2];
    if (digits.starts_with('+')) digits.remove_prefix(1);
    std::uint64_t uid = 0;
    auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), uid);
    if (digits.empty() || ec != std::errc() || end != digits.data() + digits.size()) continue;
    return std::optional<std::uint64_t>(uid);
  }
  return std::optional<std::uint64_t>();
}

Status create_user(const std::string& username, const std::string& full_name, bool administrator) {
  if (auto ok = check_new_username(username); !ok) return ok;
  if (auto ok = check_full_name(full_name); !ok) return ok;
  std::vector<std::string> args = {"--create-home", "--comment", full_name};
  if (administrator) {
    auto group = administrators_group();
    if (!group) return fail(group.error());
    args.insert(args.end(), {"--groups", *group});
  }
  args.insert(args.end(), {"--", username});
  return run_account_program(kUseradd, std::move(args));
}

Status set_password(const std::string& username, std::string_view password) {
  if (auto ok = check_account_name(username); !ok) return ok;
  if (auto ok = check_password(password); !ok) return ok;
  limited_exec::Options options;
  std::string& line = options.stdin_data.emplace();
  // One allocation, so no copy of the password is left in a freed buffer.
  line.reserve(username.size() + password.size() + 2);
  line.append(username).append(":").append(password).append("\n");
  Status done = run_account_program(kChpasswd, {}, options);
  kalu_ui::secret::wipe(line);
  return done;
}

Status delete_user(const std::string& username, std::uint64_t uid, bool remove_files) {
  if (auto ok = check_account_name(username); !ok) return ok;
  auto listed = find_uid(username);
  if (!listed) return fail(listed.error());
  if (!*listed) return fail("The account {} no longer exists.", username);
  if (**listed != uid) {
    return fail("The account {} now has the user id {}, not {}; nothing was removed.", username,
                **listed, uid);
  }
  std::vector<std::string> args;
  if (remove_files) args.emplace_back("--remove");
  args.insert(args.end(), {"--", username});
  return run_account_program(kUserdel, std::move(args));
}

Status set_role(const std::string& username, bool administrator) {
  if (auto ok = check_account_name(username); !ok) return ok;
  auto files = account_files();
  if (!files) return fail(files.error());
  auto text = read_account_file(files->group);
  if (!text) return fail(text.error());
  std::vector<std::string_view> member_of;
  for (std::string_view group : kAdministratorGroups) {
    auto members = group_members(*text, group);
    if (members && lists(*members, username)) member_of.push_back(group);
  }
  if (administrator) {
    if (!member_of.empty()) return {};
    auto group = administrators_group();
    if (!group) return fail(group.error());
    return run_account_program(kGpasswd, {"--add", username, *group});
  }
  for (std::string_view group : member_of) {
    if (auto ok = run_account_program(kGpasswd, {"--delete", username, std::string(group)}); !ok) {
      return ok;
    }
  }
  return {};
}

Status set_automatic_login(const std::string& username, bool enabled) {
  if (auto ok = check_account_name(username); !ok) return ok;
  return run_account_program(kAutologin, {enabled ? "enable" : "disable", username});
}

testing::ScopedAccountFiles::ScopedAccountFiles(AccountFiles files) {
  std::lock_guard lock(files_mutex);
  previous_ = std::exchange(files_override, std::move(files));
}

testing::ScopedAccountFiles::~ScopedAccountFiles() {
  std::lock_guard lock(files_mutex);
  files_override = std::move(previous_);
}

}  // namespace system_ops::users
