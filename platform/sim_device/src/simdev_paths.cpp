#include "simdev_paths.h"

#include <fmt/format.h>

namespace sim_device::simdev_detail {

using kalu_ui::fail;

namespace {

bool all_digits(std::string_view s) {
  return !s.empty() && s.find_first_not_of("0123456789") == std::string_view::npos;
}

std::string describe(const std::vector<Segment>& path, std::size_t upto) {
  std::string out;
  for (std::size_t i = 0; i < upto; ++i) {
    if (path[i].index) {
      out += fmt::format("[{}]", *path[i].index);
    } else {
      if (!out.empty()) out += '.';
      out += path[i].key;
    }
  }
  return out.empty() ? "the device" : out;
}

}  // namespace

kalu_ui::Result<std::vector<Segment>> parse_path(std::string_view text) {
  std::vector<Segment> out;
  std::size_t i = 0;
  auto bad = [&](std::string_view why) {
    return fail("cannot read the path \"{}\": {}", text, why);
  };
  while (i < text.size()) {
    if (text[i] == '.') {
      if (out.empty()) return bad("it starts with '.'");
      ++i;
      if (i == text.size()) return bad("it ends with '.'");
    }
    if (text[i] == '[') {
      auto close = text.find(']', i);
      if (close == std::string_view::npos) return bad("a '[' is not closed");
      std::string_view inner = text.substr(i + 1, close - i - 1);
      if (inner.size() >= 2 && inner.front() == '"' && inner.back() == '"') {
        out.push_back({std::string(inner.substr(1, inner.size() - 2)), std::nullopt});
      } else if (all_digits(inner)) {
        out.push_back({{}, std::stoul(std::string(inner))});
      } else {
        return bad("inside [] goes a number or a \"quoted name\"");
      }
      i = close + 1;
      continue;
    }
    auto end = text.find_first_of(".[", i);
    std::string_view name = text.substr(i, end == std::string_view::npos ? end : end - i);
    if (name.empty()) return bad("a name is empty");
    if (all_digits(name)) {
      out.push_back({{}, std::stoul(std::string(name))});
    } else {
      out.push_back({std::string(name), std::nullopt});
    }
    i = end == std::string_view::npos ? text.size() : end;
  }
  if (out.empty()) return bad("it is empty");
  return out;
}

kalu_ui::Result<Json*> resolve(Json& root, const std::vector<Segment>& path) {
  Json* at = &root;
  for (std::size_t i = 0; i < path.size(); ++i) {
    const Segment& s = path[i];
    if (s.index) {
      if (!at->is_array()) return fail("{} is not a list", describe(path, i));
      if (*s.index >= at->size()) {
        return fail("{} has no item {} (it has {})", describe(path, i), *s.index, at->size());
      }
      at = &(*at)[*s.index];
    } else {
      if (!at->is_object()) return fail("{} has no members", describe(path, i));
      auto found = at->find(s.key);
      if (found == at->end()) return fail("{} has no \"{}\"", describe(path, i), s.key);
      at = &*found;
    }
  }
  return at;
}

bool is_secret_key(std::string_view key) {
  return key == "passphrase" || key == "password" || key == "pin";
}

Json masked(const Json& value) {
  if (value.is_array()) {
    Json out = Json::array();
    for (const auto& item : value) out.push_back(masked(item));
    return out;
  }
  if (!value.is_object()) return value;
  Json out = Json::object();
  for (const auto& [key, member] : value.items()) {
    if (is_secret_key(key) && member.is_string() && !member.get<std::string>().empty()) {
      out[key] = "********";
    } else {
      out[key] = masked(member);
    }
  }
  return out;
}

}  // namespace sim_device::simdev_detail
