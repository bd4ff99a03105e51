#include "kalu_ui/format.h"

#include <fmt/format.h>

#include <array>
#include <cmath>
#include <string_view>

namespace kalu_ui::format {
namespace {

std::string scaled(std::uint64_t count, double base, const std::array<std::string_view, 7>& units) {
  if (static_cast<double>(count) < base) return fmt::format("{} {}", count, units[0]);
  double value = static_cast<double>(count);
  std::size_t unit = 0;
  // Step up while the value, rounded to one decimal, would reach the base.
  while (unit + 1 < units.size() && std::round(value * 10.0) / 10.0 >= base) {
    value /= base;
    ++unit;
  }
  return fmt::format("{:.1f} {}", value, units[unit]);
}

}  // namespace

std::string bytes(std::uint64_t count) {
  static constexpr std::array<std::string_view, 7> kUnits = {"B",   "KiB", "MiB", "GiB",
                                                             "TiB", "PiB", "EiB"};
  return scaled(count, 1024.0, kUnits);
}

std::string bytes_si(std::uint64_t count) {
  static constexpr std::array<std::string_view, 7> kUnits = {"B",  "kB", "MB", "GB",
                                                             "TB", "PB", "EB"};
  return scaled(count, 1000.0, kUnits);
}

}  // namespace kalu_ui::format
