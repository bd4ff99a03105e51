// The simulated device's login accounts: a fresh device starts with this
// machine's own accounts and groups plus two sample people (one of them an
// administrator), and its account and group files are rendered from the
// "users" section whenever that section changes.
#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <fstream>
#include <set>

#include "sections.h"

namespace sim_device::detail {

namespace {

// A larger file is not an account database; the seed then starts from the
// samples alone.
constexpr std::size_t kMaxDatabaseBytes = 16 << 20;

std::string read_database(const char* path) {
  std::ifstream in(path, std::ios::binary);
  std::string text;
  std::array<char, 64 * 1024> chunk;
  while (in.read(chunk.data(), chunk.size()) || in.gcount() > 0) {
    text.append(chunk.data(), static_cast<std::size_t>(in.gcount()));
    if (text.size() > kMaxDatabaseBytes) return {};
  }
  return in.bad() ? std::string() : text;
}

std::vector<std::string_view> split(std::string_view line, char separator) {
  std::vector<std::string_view> out;
  while (true) {
    auto at = line.find(separator);
    out.push_back(line.substr(0, at));
    if (at == std::string_view::npos) return out;
    line.remove_prefix(at + 1);
  }
}

std::optional<std::uint32_t> id_number(std::string_view text) {
  std::uint32_t value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

template <typename Fn>
void each_line(std::string_view text, Fn&& fn) {
  for (std::string_view line : split(text, '\n')) {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (!line.empty() && line.front() != '#') fn(line);
  }
}

Json accounts_of(std::string_view passwd) {
  Json accounts = Json::array();
  std::set<std::string, std::less<>> seen;
  each_line(passwd, [&](std::string_view line) {
    auto f = split(line, ':');
    if (f.size() != 7 || f[0].empty() || seen.contains(f[0])) return;
    auto uid = id_number(f[2]);
    auto gid = id_number(f[3]);
    if (!uid || !gid) return;  // "+" lines of a directory service and the like
    seen.emplace(f[0]);
    accounts.push_back({{"name", f[0]},
                        {"uid", *uid},
                        {"gid", *gid},
                        {"gecos", f[4]},
                        {"home", f[5]},
                        {"shell", f[6]},
                        {"password_set", true}});
  });
  return accounts;
}

Json groups_of(std::string_view group) {
  Json groups = Json::array();
  std::set<std::string, std::less<>> seen;
  each_line(group, [&](std::string_view line) {
    auto f = split(line, ':');
    if (f.size() != 4 || f[0].empty() || seen.contains(f[0])) return;
    auto gid = id_number(f[2]);
    if (!gid) return;
    seen.emplace(f[0]);
    Json members = Json::array();
    if (!f[3].empty()) {
      for (std::string_view m : split(f[3], ',')) {
        if (!m.empty()) members.push_back(m);
      }
    }
    groups.push_back({{"name", f[0]}, {"gid", *gid}, {"members", std::move(members)}});
  });
  return groups;
}

bool has(const Json& list, std::string_view member, const Json& value) {
  return std::any_of(list.begin(), list.end(),
                     [&](const Json& item) { return item[std::string(member)] == value; });
}

// `base`, or base2, base3 ... when this machine has an account of that name.
std::string free_name(const Json& users, const std::string& base) {
  std::string name = base;
  for (int n = 2; has(users["accounts"], "name", name) || has(users["groups"], "name", name); ++n) {
    name = fmt::format("{}{}", base, n);
  }
  return name;
}

// Keeps a field from splitting its line: the separators and line breaks a
// hand edit with `simdev set` may have put in become '?'.
std::string field(const Json& value, bool in_list = false) {
  std::string text = value.get<std::string>();
  for (char& c : text) {
    auto byte = static_cast<unsigned char>(c);
    if (c == ':' || byte < 0x20 || byte == 0x7F || (in_list && c == ',')) c = '?';
  }
  return text;
}

}  // namespace

std::uint32_t free_account_id(const Json& users, std::uint32_t from) {
  std::uint32_t id = from;
  while (has(users["accounts"], "uid", id) || has(users["groups"], "gid", id)) ++id;
  return id;
}

std::uint32_t free_group_id(const Json& users, std::uint32_t from) {
  std::uint32_t id = from;
  while (has(users["groups"], "gid", id)) ++id;
  return id;
}

Json seed_users_from(std::string_view passwd, std::string_view group) {
  Json users = {{"accounts", accounts_of(passwd)},
                {"groups", groups_of(group)},
                {"automatic_login", nullptr}};
  struct Sample {
    const char* name;
    const char* full_name;
    bool administrator;
  };
  for (const Sample& sample :
       {Sample{"ada", "Ada Lovelace", true}, Sample{"grace", "Grace Hopper", false}}) {
    std::string name = free_name(users, sample.name);
    std::uint32_t id = free_account_id(users, 1001);
    users["accounts"].push_back({{"name", name},
                                 {"uid", id},
                                 {"gid", id},
                                 {"gecos", fmt::format("{},,,", sample.full_name)},
                                 {"home", "/home/" + name},
                                 {"shell", "/bin/bash"},
                                 {"password_set", true}});
    users["groups"].push_back({{"name", name}, {"gid", id}, {"members", Json::array()}});
    if (!sample.administrator) continue;
    Json& groups = users["groups"];
    auto wheel = std::find_if(groups.begin(), groups.end(),
                              [](const Json& g) { return g["name"] == "wheel"; });
    if (wheel == groups.end()) {
      groups.push_back(
          {{"name", "wheel"}, {"gid", free_group_id(users, 10)}, {"members", Json::array()}});
      wheel = groups.end() - 1;
    }
    (*wheel)["members"].push_back(name);
  }
  return users;
}

Json seed_users() {
  return seed_users_from(read_database("/etc/passwd"), read_database("/etc/group"));
}

std::string render_passwd(const Json& users) {
  std::string text;
  for (const auto& a : users["accounts"]) {
    text += fmt::format("{}:x:{}:{}:{}:{}:{}\n", field(a["name"]), a["uid"].get<std::uint32_t>(),
                        a["gid"].get<std::uint32_t>(), field(a["gecos"]), field(a["home"]),
                        field(a["shell"]));
  }
  return text;
}

std::string render_group(const Json& users) {
  std::string text;
  for (const auto& g : users["groups"]) {
    std::vector<std::string> members;
    for (const auto& m : g["members"]) members.push_back(field(m, true));
    text += fmt::format("{}:x:{}:{}\n", field(g["name"]), g["gid"].get<std::uint32_t>(),
                        fmt::join(members, ","));
  }
  return text;
}

}  // namespace sim_device::detail
