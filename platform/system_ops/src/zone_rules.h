#pragma once

#include <cstdint>

// The calendar the clock texts are read on.
namespace system_ops::time {

// A date of the proleptic Gregorian calendar.
struct CivilDate {
  std::int64_t year = 1970;
  unsigned month = 1;    // 1..12
  unsigned day = 1;      // 1..31
  unsigned weekday = 4;  // 0 for Sunday
};

// The date `days` days after 1970-01-01 (before it when negative).
CivilDate civil_date(std::int64_t days);

}  // namespace system_ops::time
