// The offset a compiled time zone file gives for an instant: its transition
// table, and past the table's end the POSIX TZ rule of its footer (the files
// zic writes "slim" end their table early and leave the rest to the rule).

#include "zone_rules.h"

#include <fmt/format.h>

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "system_ops/time.h"

namespace system_ops::time {

namespace {

using kalu_ui::fail;
using kalu_ui::Result;

constexpr std::int64_t kDay = 86400;
constexpr std::int32_t kHour = 3600;

std::int64_t floor_div(std::int64_t a, std::int64_t b) {
  const std::int64_t q = a / b;
  return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

bool is_leap(std::int64_t year) { return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0); }

unsigned month_length(std::int64_t year, unsigned month) {
  static constexpr unsigned kLengths[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && is_leap(year) ? 29 : kLengths[month - 1];
}

// Days since 1970-01-01 of a date of the proleptic Gregorian calendar.
std::int64_t days_from_civil(std::int64_t year, unsigned month, unsigned day) {
  year -= month <= 2 ? 1 : 0;
  const std::int64_t era = floor_div(year, 400);
  const auto year_of_era = static_cast<unsigned>(year - era * 400);
  const unsigned day_of_year = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
  const unsigned day_of_era = year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
  return era * 146097 + static_cast<std::int64_t>(day_of_era) - 719468;
}

// 0 for Sunday; 1970-01-01 was a Thursday.
unsigned weekday_of(std::int64_t days) { return static_cast<unsigned>((days % 7 + 7 + 4) % 7); }

// ---- The POSIX TZ rule of a file's footer ----

struct RuleDate {
  enum class Kind { Julian1, Julian0, MonthWeek } kind = Kind::MonthWeek;
  unsigned number = 0;  // Jn: 1..365 without Feb 29; n: 0..365
  unsigned month = 0, week = 0, weekday = 0;
  std::int32_t time = 2 * kHour;  // local wall clock of the change
};

struct PosixRule {
  std::int32_t standard = 0;  // UTC offsets, east positive
  std::optional<std::int32_t> daylight;
  RuleDate start, end;
};

class RuleParser {
 public:
  explicit RuleParser(std::string_view text) : text_(text) {}

  std::optional<PosixRule> parse() {
    PosixRule rule;
    if (!name()) return std::nullopt;
    auto standard = offset();
    if (!standard) return std::nullopt;
    rule.standard = -*standard;
    if (done()) return rule;
    if (!name()) return std::nullopt;
    rule.daylight = rule.standard + kHour;
    if (!done() && peek() != ',') {
      auto daylight = offset();
      if (!daylight) return std::nullopt;
      rule.daylight = -*daylight;
    }
    if (done()) {
      // The rule zic never leaves out, with the dates POSIX leaves open.
      rule.start = RuleDate{RuleDate::Kind::MonthWeek, 0, 3, 2, 0};
      rule.end = RuleDate{RuleDate::Kind::MonthWeek, 0, 11, 1, 0};
      return rule;
    }
    if (!take(',')) return std::nullopt;
    auto start = date();
    if (!start || !take(',')) return std::nullopt;
    auto end = date();
    if (!end || !done()) return std::nullopt;
    rule.start = *start;
    rule.end = *end;
    return rule;
  }

 private:
  bool done() const { return at_ == text_.size(); }
  char peek() const { return done() ? '\0' : text_[at_]; }
  bool take(char c) {
    if (peek() != c) return false;
    ++at_;
    return true;
  }

  // "<+0530>" or letters.
  bool name() {
    const std::size_t from = at_;
    if (take('<')) {
      while (!done() && peek() != '>') ++at_;
      return take('>') && at_ - from > 2;
    }
    while (!done() && ((peek() >= 'A' && peek() <= 'Z') || (peek() >= 'a' && peek() <= 'z'))) {
      ++at_;
    }
    return at_ > from;
  }

  std::optional<unsigned> number(unsigned max) {
    unsigned value = 0;
    const char* first = text_.data() + at_;
    const auto [end, error] = std::from_chars(first, text_.data() + text_.size(), value);
    if (error != std::errc() || value > max) return std::nullopt;
    at_ += static_cast<std::size_t>(end - first);
    return value;
  }

  // [+-]hh[:mm[:ss]] in seconds, hours up to 167 (rule times may pass a day).
  std::optional<std::int32_t> offset() {
    const bool negative = take('-');
    if (!negative) (void)take('+');
    auto hours = number(167);
    if (!hours) return std::nullopt;
    std::int32_t seconds = static_cast<std::int32_t>(*hours) * kHour;
    for (std::int32_t unit : {60, 1}) {
      if (!take(':')) break;
      auto part = number(59);
      if (!part) return std::nullopt;
      seconds += static_cast<std::int32_t>(*part) * unit;
    }
    return negative ? -seconds : seconds;
  }

  std::optional<RuleDate> date() {
    RuleDate date;
    if (take('J')) {
      auto day = number(365);
      if (!day || *day == 0) return std::nullopt;
      date.kind = RuleDate::Kind::Julian1;
      date.number = *day;
    } else if (take('M')) {
      auto month = number(12);
      if (!month || *month == 0 || !take('.')) return std::nullopt;
      auto week = number(5);
      if (!week || *week == 0 || !take('.')) return std::nullopt;
      auto weekday = number(6);
      if (!weekday) return std::nullopt;
      date.month = *month;
      date.week = *week;
      date.weekday = *weekday;
    } else {
      auto day = number(365);
      if (!day) return std::nullopt;
      date.kind = RuleDate::Kind::Julian0;
      date.number = *day;
    }
    if (take('/')) {
      auto time = offset();
      if (!time) return std::nullopt;
      date.time = *time;
    }
    return date;
  }

  std::string_view text_;
  std::size_t at_ = 0;
};

// The day (since the epoch) a rule date falls on in `year`.
std::int64_t rule_day(const RuleDate& date, std::int64_t year) {
  const std::int64_t january_first = days_from_civil(year, 1, 1);
  switch (date.kind) {
    case RuleDate::Kind::Julian1:
      return january_first + date.number - 1 + (is_leap(year) && date.number >= 60 ? 1 : 0);
    case RuleDate::Kind::Julian0:
      return january_first + date.number;
    case RuleDate::Kind::MonthWeek:
      break;
  }
  const std::int64_t first = days_from_civil(year, date.month, 1);
  std::int64_t day = first + (date.weekday + 7 - weekday_of(first)) % 7 + (date.week - 1) * 7;
  // Week 5 is the last such weekday of the month.
  while (day >= first + month_length(year, date.month)) day -= 7;
  return day;
}

std::int32_t rule_offset(const PosixRule& rule, std::int64_t unix_seconds) {
  if (!rule.daylight) return rule.standard;
  const std::int64_t year = civil_date(floor_div(unix_seconds + rule.standard, kDay)).year;
  // The start is given in standard time, the end in daylight time.
  const std::int64_t start = rule_day(rule.start, year) * kDay + rule.start.time - rule.standard;
  const std::int64_t end = rule_day(rule.end, year) * kDay + rule.end.time - *rule.daylight;
  const bool daylight = start < end ? unix_seconds >= start && unix_seconds < end
                                    : !(unix_seconds >= end && unix_seconds < start);
  return daylight ? *rule.daylight : rule.standard;
}

// ---- The compiled file ----

class Bytes {
 public:
  explicit Bytes(std::string_view bytes) : bytes_(bytes) {}

  bool has(std::uint64_t count) const { return count <= bytes_.size() - at_; }
  std::size_t at() const { return at_; }
  void skip(std::uint64_t count) { at_ += static_cast<std::size_t>(count); }
  std::string_view take(std::size_t count) {
    const std::string_view part = bytes_.substr(at_, count);
    at_ += count;
    return part;
  }
  // A big-endian two's-complement number of `size` bytes (the caller checked `has`).
  std::int64_t number(std::size_t size) {
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < size; ++i) {
      value = (value << 8) | static_cast<unsigned char>(bytes_[at_ + i]);
    }
    at_ += size;
    if (size < 8 && (value >> (size * 8 - 1)) != 0) value |= ~std::uint64_t{0} << (size * 8);
    return static_cast<std::int64_t>(value);
  }

 private:
  std::string_view bytes_;
  std::size_t at_ = 0;
};

struct Header {
  char version = 0;
  std::uint64_t isutcnt = 0, isstdcnt = 0, leapcnt = 0, timecnt = 0, typecnt = 0, charcnt = 0;

  std::uint64_t data_size(std::uint64_t time_size) const {
    return timecnt * (time_size + 1) + typecnt * 6 + charcnt + leapcnt * (time_size + 4) +
           isstdcnt + isutcnt;
  }
};

std::optional<Header> read_header(Bytes& in) {
  if (!in.has(44) || in.take(4) != "TZif") return std::nullopt;
  Header header;
  header.version = in.take(1)[0];
  in.skip(15);
  for (std::uint64_t* count : {&header.isutcnt, &header.isstdcnt, &header.leapcnt, &header.timecnt,
                               &header.typecnt, &header.charcnt}) {
    *count = static_cast<std::uint32_t>(in.number(4));
  }
  return header;
}

struct Table {
  std::vector<std::int64_t> transitions;
  std::vector<std::uint8_t> kinds;    // the local time type after each transition
  std::vector<std::int32_t> offsets;  // of each local time type
};

std::optional<Table> read_table(Bytes& in, const Header& header, std::size_t time_size) {
  if (header.typecnt == 0 || !in.has(header.data_size(time_size))) return std::nullopt;
  Table table;
  for (std::uint64_t i = 0; i < header.timecnt; ++i) {
    table.transitions.push_back(in.number(time_size));
  }
  for (std::uint64_t i = 0; i < header.timecnt; ++i) {
    const auto kind = static_cast<std::uint8_t>(in.number(1));
    if (kind >= header.typecnt) return std::nullopt;
    table.kinds.push_back(kind);
  }
  for (std::uint64_t i = 0; i < header.typecnt; ++i) {
    table.offsets.push_back(static_cast<std::int32_t>(in.number(4)));
    in.skip(2);  // daylight flag, abbreviation index
  }
  in.skip(header.charcnt + header.leapcnt * (time_size + 4) + header.isstdcnt + header.isutcnt);
  if (!std::ranges::is_sorted(table.transitions)) return std::nullopt;
  return table;
}

}  // namespace

CivilDate civil_date(std::int64_t days) {
  days += 719468;
  const std::int64_t era = floor_div(days, 146097);
  const auto day_of_era = static_cast<unsigned>(days - era * 146097);
  const unsigned year_of_era =
      (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;
  const unsigned day_of_year =
      day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
  const unsigned shifted_month = (5 * day_of_year + 2) / 153;
  const unsigned day = day_of_year - (153 * shifted_month + 2) / 5 + 1;
  const unsigned month = shifted_month < 10 ? shifted_month + 3 : shifted_month - 9;
  const std::int64_t year = static_cast<std::int64_t>(year_of_era) + era * 400 + (month <= 2);
  return CivilDate{year, month, day, weekday_of(days - 719468)};
}

Result<std::int32_t> tzif_utc_offset(std::string_view tzif, std::int64_t unix_seconds) {
  constexpr std::string_view kNotOne = "not a compiled time zone file";
  Bytes in(tzif);
  auto header = read_header(in);
  if (!header) return fail(std::string(kNotOne));
  std::size_t time_size = 4;
  if (header->version != '\0') {
    // The 32-bit table is there for old readers; the 64-bit one follows it.
    if (!in.has(header->data_size(4))) return fail(std::string(kNotOne));
    in.skip(header->data_size(4));
    header = read_header(in);
    if (!header) return fail(std::string(kNotOne));
    time_size = 8;
  }
  auto table = read_table(in, *header, time_size);
  if (!table) return fail(std::string(kNotOne));

  std::optional<PosixRule> rule;
  if (time_size == 8 && in.has(1) && in.take(1) == "\n") {
    std::string_view rest = tzif.substr(in.at());
    const std::size_t newline = rest.find('\n');
    if (newline == std::string_view::npos) return fail(std::string(kNotOne));
    const std::string_view footer = rest.substr(0, newline);
    if (!footer.empty()) {
      rule = RuleParser(footer).parse();
      if (!rule) return fail("the time zone rule \"{}\" cannot be read", footer);
    }
  }

  const auto& transitions = table->transitions;
  const auto after = std::ranges::upper_bound(transitions, unix_seconds);
  // Before the first transition the first local time type holds; past the
  // last one, the footer's rule when there is one.
  if (after == transitions.begin() && !(transitions.empty() && rule)) {
    return table->offsets.front();
  }
  if (after == transitions.end() && rule) return rule_offset(*rule, unix_seconds);
  return table->offsets[table->kinds[static_cast<std::size_t>(after - transitions.begin()) - 1]];
}

}  // namespace system_ops::time
