#pragma once

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "kalu_actions/binding.h"
#include "kalu_actions/resource.h"

// Fixture trees for the Time & Date tests: a temporary folder that holds zone
// tables, or a root with etc/timezone and etc/localtime.
namespace settings::panes::time_date::testing {

class TempDir {
 public:
  TempDir() {
    char pattern[] = "/tmp/time_date_test.XXXXXX";
    if (const char* made = ::mkdtemp(pattern)) root_ = made;
  }
  ~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return root_; }

  // Writes `bytes` at `relative`, making the folders on the way.
  void write(const std::filesystem::path& relative, const std::string& bytes) const {
    std::filesystem::create_directories((root_ / relative).parent_path());
    std::ofstream(root_ / relative, std::ios::binary | std::ios::trunc) << bytes;
  }

 private:
  std::filesystem::path root_;
};

// The identifiers of a table text, as the time service would list them.
inline std::vector<std::string> listed_zones(const std::string& table) {
  std::vector<std::string> zones;
  std::size_t start = 0;
  while (start < table.size()) {
    std::size_t end = table.find('\n', start);
    if (end == std::string::npos) end = table.size();
    const std::string line = table.substr(start, end - start);
    start = end + 1;
    if (line.empty() || line[0] == '#') continue;
    const std::size_t first = line.find('\t');
    const std::size_t second = first == std::string::npos ? first : line.find('\t', first + 1);
    if (second == std::string::npos) continue;
    zones.push_back(line.substr(second + 1, line.find('\t', second + 1) - second - 1));
  }
  return zones;
}

// The "timezone" action of a Time & Date section as the action surface
// publishes it: a text "choice" that becomes a SetTimezone record. The map's
// choices are recorded as invocations of it.
inline kalu_actions::ActionBinding timezone_binding() {
  auto spec = kalu_actions::ActionSpec::typed(
      "timezone", "Set time zone", "IANA time-zone identifier", kalu_actions::kOperationEffect,
      "settings.time-date-operation",
      {kalu_actions::ActionParam::make("choice", "Time zone", kalu_actions::ParamKind::Text)},
      [](const kalu_actions::ActionArgs& args) {
        const std::string zone = args.text("choice").value_or("UTC");
        return kalu_actions::EncodedAction::from_text(
            "settings.time-date-operation",
            "{\"SetTimezone\":{\"timezone\":" + kalu_actions::json_string(zone) + "}}");
      });
  const auto section = kalu_actions::Resource::create("settings.section:time_date",
                                                      "settings.section", "Time & Date")
                           .with_action(std::move(spec));
  auto binding = kalu_actions::ActionBinding::for_action(
      section, "timezone", [](const kalu_actions::ControlValue& value) {
        const auto* zone = std::get_if<std::string>(&value);
        return kalu_actions::ActionArgs().with("choice", zone ? *zone : std::string());
      });
  return std::move(*binding);
}

}  // namespace settings::panes::time_date::testing
