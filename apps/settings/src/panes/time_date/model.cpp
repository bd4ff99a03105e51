#include "panes/time_date/model.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <fstream>
#include <limits>
#include <system_error>
#include <tuple>

#include "limited_exec/text.h"

namespace settings::panes::time_date {
namespace {

// Far more than any zone table or zone file holds; a larger file is not one.
constexpr std::size_t kMaxFileBytes = 4u << 20;

constexpr std::string_view kMiddleDot = " \u00b7 ";

// The file's text when it can be read whole and is valid UTF-8.
std::optional<std::string> read_text(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::string bytes;
  char buffer[8192];
  while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
    bytes.append(buffer, static_cast<std::size_t>(in.gcount()));
    if (bytes.size() > kMaxFileBytes) return std::nullopt;
  }
  if (in.bad()) return std::nullopt;
  if (limited_exec::decode_lossy(bytes) != bytes) return std::nullopt;
  return bytes;
}

// A run of ASCII digits as a number; none for anything else.
std::optional<unsigned> digits(std::string_view text) {
  if (text.empty()) return std::nullopt;
  unsigned value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<unsigned>(c - '0');
  }
  return value;
}

// Millionths of a degree, rounded half away from zero, saturated to 32 bits.
std::int32_t micro_degrees(double degrees) {
  const double scaled = std::round(degrees * 1'000'000.0);
  constexpr double lo = std::numeric_limits<std::int32_t>::min();
  constexpr double hi = std::numeric_limits<std::int32_t>::max();
  return static_cast<std::int32_t>(std::clamp(scaled, lo, hi));
}

std::string replaced(std::string_view text, char from, std::string_view to) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    if (c == from) {
      out.append(to);
    } else {
      out.push_back(c);
    }
  }
  return out;
}

// The tab-separated fields of a line, as views into it.
std::vector<std::string_view> tab_fields(std::string_view line) {
  std::vector<std::string_view> fields;
  std::size_t start = 0;
  while (true) {
    const std::size_t tab = line.find('\t', start);
    fields.push_back(line.substr(start, tab == std::string_view::npos ? tab : tab - start));
    if (tab == std::string_view::npos) return fields;
    start = tab + 1;
  }
}

}  // namespace

std::optional<double> parse_coordinate(std::string_view text, bool latitude) {
  if (text.empty()) return std::nullopt;
  double sign = 0.0;
  if (text.front() == '+') {
    sign = 1.0;
  } else if (text.front() == '-') {
    sign = -1.0;
  } else {
    return std::nullopt;
  }
  const std::string_view rest = text.substr(1);
  const std::size_t width = latitude ? 2 : 3;
  if (rest.size() != width + 2 && rest.size() != width + 4) return std::nullopt;
  const auto degrees = digits(rest.substr(0, width));
  const auto minutes = digits(rest.substr(width, 2));
  const auto seconds = rest.size() == width + 4 ? digits(rest.substr(width + 2, 2)) : 0u;
  if (!degrees || !minutes || !seconds) return std::nullopt;
  const unsigned limit = latitude ? 90 : 180;
  if (*degrees > limit || *minutes >= 60 || *seconds >= 60) return std::nullopt;
  const double value = *degrees + *minutes / 60.0 + *seconds / 3600.0;
  if (value > limit) return std::nullopt;
  return sign * value;
}

std::optional<TimeZoneEntry> parse_zone_line(const ZoneSet& known, ZoneSet& seen,
                                             std::string_view line) {
  const std::vector<std::string_view> fields = tab_fields(line);
  if (fields.size() < 3) return std::nullopt;
  const std::string_view coordinates = fields[1];
  const std::string_view name = fields[2];
  if (!known.contains(name) || seen.contains(name)) return std::nullopt;
  seen.emplace(name);

  const std::size_t split = coordinates.find_first_of("+-", 1);
  if (split == std::string_view::npos) return std::nullopt;
  const auto latitude = parse_coordinate(coordinates.substr(0, split), true);
  const auto longitude = parse_coordinate(coordinates.substr(split), false);
  if (!latitude || !longitude) return std::nullopt;

  const std::size_t slash = name.find('/');
  if (slash == std::string_view::npos) return std::nullopt;
  TimeZoneEntry entry;
  entry.name = std::string(name);
  entry.region = replaced(name.substr(0, slash), '_', " ");
  std::string place = replaced(name.substr(slash + 1), '_', " ");
  entry.place = replaced(place, '/', kMiddleDot);
  entry.latitude = micro_degrees(*latitude);
  entry.longitude = micro_degrees(*longitude);
  return entry;
}

std::vector<TimeZoneEntry> load_zone_catalogue(std::span<const std::string> zones,
                                               const std::filesystem::path& zoneinfo_dir) {
  std::optional<std::string> table;
  for (std::string_view name : kZoneTables) {
    table = read_text(zoneinfo_dir / name);
    if (table) break;
  }
  if (!table) return {};

  const ZoneSet known(zones.begin(), zones.end());
  ZoneSet seen;
  std::vector<TimeZoneEntry> entries;
  std::string_view rest = *table;
  while (!rest.empty()) {
    const std::size_t end = rest.find('\n');
    std::string_view line = rest.substr(0, end);
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    if (line.ends_with('\r')) line.remove_suffix(1);
    if (line.starts_with('#') || limited_exec::trim_white_space(line).empty()) continue;
    if (auto entry = parse_zone_line(known, seen, line)) entries.push_back(std::move(*entry));
  }
  std::sort(entries.begin(), entries.end(), [](const TimeZoneEntry& a, const TimeZoneEntry& b) {
    return std::tie(a.longitude, b.latitude, a.name) < std::tie(b.longitude, a.latitude, b.name);
  });
  return entries;
}

std::string resolve_current_zone(const std::optional<std::string>& reported,
                                 const std::filesystem::path& root) {
  if (reported) return *reported;
  if (auto text = read_text(root / "etc/timezone")) {
    const std::string_view zone = limited_exec::trim_white_space(*text);
    if (!zone.empty()) return std::string(zone);
  }
  std::error_code error;
  const std::filesystem::path target = std::filesystem::read_symlink(root / "etc/localtime", error);
  if (!error) {
    const std::string text = limited_exec::decode_lossy(target.native());
    constexpr std::string_view kMarker = "zoneinfo/";
    const std::size_t at = text.find(kMarker);
    // A link that ends at the folder itself names no zone.
    if (at != std::string::npos && at + kMarker.size() < text.size()) {
      return text.substr(at + kMarker.size());
    }
  }
  return std::string(kFallbackZone);
}

std::vector<std::string> zone_choices(std::vector<std::string> listed, const std::string& current) {
  if (std::find(listed.begin(), listed.end(), current) == listed.end()) {
    listed.push_back(current);
    std::sort(listed.begin(), listed.end());
  }
  return listed;
}

std::string_view synchronization_text(std::optional<bool> synchronized, bool ntp) {
  if (!synchronized) return "Not reported by the time service";
  if (*synchronized) return "Synchronized";
  return ntp ? "Waiting for synchronization" : "Automatic time is disabled";
}

std::string source_text(const std::optional<std::string>& ntp_server) {
  return ntp_server.value_or("Not reported by the active NTP provider");
}

}  // namespace settings::panes::time_date
