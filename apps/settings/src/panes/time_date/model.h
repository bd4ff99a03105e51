#pragma once

// What the Time & Date pane reads once, when it is built, besides the time
// service's report: the zone the device is set to when the service does not
// say, the zone identifiers its selector offers, and the catalogue of zones
// that publish coordinates in the installed tzdata tables, for the map.
// Everything here is a pure function of its arguments and of the files
// under the folders it is given, so tests point it at fixture trees. Nothing
// fails: an unreadable table gives an empty catalogue, a malformed line is
// skipped, and a device with no readable zone settings falls back to a fixed
// zone.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace settings::panes::time_date {

// Where the installed tzdata tables live.
inline constexpr std::string_view kZoneInfoDir = "/usr/share/zoneinfo";
// The tables the catalogue is read from, in order of preference.
inline constexpr std::string_view kZoneTables[] = {"zone1970.tab", "zone.tab"};
// The zone assumed when neither the time service nor the system files say.
inline constexpr std::string_view kFallbackZone = "Europe/Amsterdam";

// One zone of the catalogue: an IANA identifier with the coordinates its
// table publishes, in millionths of a degree (north and east positive).
struct TimeZoneEntry {
  std::string name;    // "America/Argentina/Buenos_Aires"
  std::string region;  // "America": before the first '/', '_' as spaces
  std::string place;   // "Argentina · Buenos Aires": the rest, '/' as " · "
  std::int32_t latitude = 0;
  std::int32_t longitude = 0;

  friend bool operator==(const TimeZoneEntry&, const TimeZoneEntry&) = default;
};

// Zone identifiers looked up by text.
using ZoneSet = std::set<std::string, std::less<>>;

// One ISO 6709 coordinate: a sign, two (latitude) or three (longitude)
// degree digits, two minute digits and optionally two second digits. None
// for any other form, minutes or seconds of 60 or more, or a value beyond
// 90 (latitude) or 180 (longitude) degrees. Answers signed degrees.
std::optional<double> parse_coordinate(std::string_view text, bool latitude);

// One line of a zone table: country codes, coordinates and identifier,
// separated by tabs (more fields are ignored). None unless the identifier is
// in `known` and not yet in `seen`; the identifier is entered in `seen` as
// soon as it passes that test, so a later line for the same zone is skipped
// even when this line's coordinates turn out unusable. None as well for
// coordinates that do not parse and for an identifier without '/'.
std::optional<TimeZoneEntry> parse_zone_line(const ZoneSet& known, ZoneSet& seen,
                                             std::string_view line);

// The zones of `zones` that the first readable table of `zoneinfo_dir`
// ("zone1970.tab", else "zone.tab") places on the map, sorted west to east,
// then north to south, then by name. Empty when neither table reads as text.
std::vector<TimeZoneEntry> load_zone_catalogue(
    std::span<const std::string> zones,
    const std::filesystem::path& zoneinfo_dir = std::filesystem::path(kZoneInfoDir));

// The zone in effect: the time service's answer when it gave one; else the
// trimmed text of <root>/etc/timezone when not empty; else what the link
// <root>/etc/localtime names after "zoneinfo/"; else "Europe/Amsterdam".
std::string resolve_current_zone(const std::optional<std::string>& reported,
                                 const std::filesystem::path& root = "/");

// The selector's zones: the service's list, with `current` added and the
// whole sorted byte-wise when the list lacks it (so the zone the device is
// set to can always be shown and chosen again).
std::vector<std::string> zone_choices(std::vector<std::string> listed, const std::string& current);

// The "Synchronization" text: "Synchronized", "Waiting for synchronization"
// while automatic time is on, "Automatic time is disabled" when it is off,
// and "Not reported by the time service" when the state is unknown.
std::string_view synchronization_text(std::optional<bool> synchronized, bool ntp);
// The "Source" text: the server the time service names, or "Not reported by
// the active NTP provider".
std::string source_text(const std::optional<std::string>& ntp_server);

}  // namespace settings::panes::time_date
