#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// Compiled time zone files made in a test, so a clock can be checked against
// a zone whose rules the test chose, whatever tzdata the machine holds.
namespace system_ops::time::testing {

// A TZif file of version 2: `transitions` (instant, index into `offsets`) in
// ascending order, the local time types' UTC offsets (east positive, at least
// one) and the footer's POSIX TZ rule ("" for none). Its 32-bit table holds
// one type and nothing else, as zic's slim files do.
inline std::string compiled_zone(
    const std::vector<std::pair<std::int64_t, std::uint8_t>>& transitions,
    const std::vector<std::int32_t>& offsets, std::string_view footer) {
  std::string out;
  const auto number = [&](std::uint64_t value, int size) {
    for (int shift = (size - 1) * 8; shift >= 0; shift -= 8) {
      out.push_back(static_cast<char>((value >> shift) & 0xff));
    }
  };
  const auto header = [&](std::uint64_t timecnt, std::uint64_t typecnt, std::uint64_t charcnt) {
    out += "TZif2";
    out.append(15, '\0');
    for (std::uint64_t count :
         {std::uint64_t{0}, std::uint64_t{0}, std::uint64_t{0}, timecnt, typecnt, charcnt}) {
      number(count, 4);
    }
  };
  header(0, 1, 1);
  number(0, 4);  // UTC
  number(0, 2);
  out.push_back('\0');
  header(transitions.size(), offsets.size(), 1);
  for (const auto& transition : transitions)
    number(static_cast<std::uint64_t>(transition.first), 8);
  for (const auto& transition : transitions) number(transition.second, 1);
  for (std::int32_t offset : offsets) {
    number(static_cast<std::uint32_t>(offset), 4);
    number(0, 2);
  }
  out.push_back('\0');
  out += '\n';
  out += footer;
  out += '\n';
  return out;
}

}  // namespace system_ops::time::testing
