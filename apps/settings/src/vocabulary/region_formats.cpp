#include "vocabulary/region_formats.h"

#include <algorithm>
#include <utility>

namespace settings::panes::region {
namespace {

using stored::Currency;
using stored::DateFormat;
using stored::FirstDayOfWeek;
using stored::Measurement;
using stored::NumberStyle;
using stored::TimeFormat;

// Indexed by the enumerations' values.
constexpr std::string_view kCurrencies[] = {"USD", "EUR", "GBP", "JPY", "CHF",
                                            "CAD", "AUD", "CNY", "INR"};
constexpr std::string_view kDateFormats[] = {"ISO (2023-03-15)", "US (03/15/2023)",
                                             "European (15/03/2023)", "Long (15 Mar 2023)"};
constexpr std::string_view kTimeFormats[] = {"24-hour (14:05)", "12-hour (2:05 PM)"};
constexpr std::string_view kMeasurements[] = {"Metric (\u00b0C, km, kg)",
                                              "Imperial (\u00b0F, mi, lb)"};
constexpr std::string_view kNumberStyles[] = {"1,234,567.89", "1.234.567,89"};
constexpr std::string_view kFirstDays[] = {"Monday", "Sunday", "Saturday"};

constexpr std::string_view kCurrencySymbols[] = {"$", "\u20ac", "\u00a3", "\u00a5", "CHF",
                                                 "$", "$",      "\u00a5", "\u20b9"};
constexpr std::string_view kDateSamples[] = {"2023-03-15", "03/15/2023", "15/03/2023",
                                             "15 Mar 2023"};
constexpr std::string_view kTimeSamples[] = {"14:05", "2:05 PM"};
constexpr std::string_view kTemperatureSamples[] = {"21 \u00b0C", "70 \u00b0F"};

constexpr SettingInfo kSettings[] = {
    {Setting::Currency, "region.currency", "region.currency.edit", "region.currency", "Currency",
     kCurrencies},
    {Setting::DateFormat, "region.date_format", "region.date_format.edit", "region.date",
     "Date format", kDateFormats},
    {Setting::TimeFormat, "region.time_format", "region.time_format.edit", "region.time",
     "Time format", kTimeFormats},
    {Setting::Measurement, "region.measurement", "region.measurement.edit", "region.measurement",
     "Measurement", kMeasurements},
    {Setting::NumberStyle, "region.number_style", "region.number_style.edit", "region.number_style",
     "Number format", kNumberStyles},
    {Setting::FirstDay, "region.first_day", "region.first_day.edit", "region.first_day",
     "First day of week", kFirstDays},
};
static_assert(std::size(kSettings) == kSettingCount);

// The entry of `table` for an enumerator; an out-of-range value (a record
// cast from a stray byte) reads as the first entry rather than past the end.
template <typename Enum, std::size_t N>
std::string_view entry(const std::string_view (&table)[N], Enum value) {
  const auto index = static_cast<std::size_t>(value);
  return table[index < N ? index : 0];
}

// The index of `text` among the labels of `setting`.
std::optional<std::size_t> label_index(Setting setting, std::string_view text) {
  const auto labels = info(setting).labels;
  const auto found = std::find(labels.begin(), labels.end(), text);
  if (found == labels.end()) return std::nullopt;
  return static_cast<std::size_t>(found - labels.begin());
}

template <typename Enum>
bool replace(Enum& field, std::size_t index) {
  const auto value = static_cast<Enum>(index);
  if (field == value) return false;
  field = value;
  return true;
}

}  // namespace

std::span<const SettingInfo> settings() { return kSettings; }

const SettingInfo& info(Setting setting) {
  const auto index = static_cast<std::size_t>(setting);
  return kSettings[index < kSettingCount ? index : 0];
}

std::string_view currency_code(Currency currency) { return entry(kCurrencies, currency); }
std::string_view date_format_label(DateFormat format) { return entry(kDateFormats, format); }
std::string_view time_format_label(TimeFormat format) { return entry(kTimeFormats, format); }
std::string_view measurement_label(Measurement units) { return entry(kMeasurements, units); }
std::string_view number_style_label(NumberStyle style) { return entry(kNumberStyles, style); }
std::string_view first_day_label(FirstDayOfWeek day) { return entry(kFirstDays, day); }

std::optional<Currency> parse_currency(std::string_view text) {
  const auto index = label_index(Setting::Currency, text);
  if (!index) return std::nullopt;
  return static_cast<Currency>(*index);
}

std::string_view label_of(const stored::Locale& locale, Setting setting) {
  switch (setting) {
    case Setting::Currency:
      return currency_code(locale.currency);
    case Setting::DateFormat:
      return date_format_label(locale.date_format);
    case Setting::TimeFormat:
      return time_format_label(locale.time_format);
    case Setting::Measurement:
      return measurement_label(locale.measurement);
    case Setting::NumberStyle:
      return number_style_label(locale.number_style);
    case Setting::FirstDay:
      return first_day_label(locale.first_day_of_week);
  }
  return {};
}

std::array<std::string_view, kSettingCount> labels_of(const stored::Locale& locale) {
  std::array<std::string_view, kSettingCount> labels;
  for (std::size_t i = 0; i < kSettingCount; ++i)
    labels[i] = label_of(locale, kSettings[i].setting);
  return labels;
}

bool adopt_label(stored::Locale& locale, Setting setting, std::string_view text) {
  const auto index = label_index(setting, text);
  if (!index) return false;
  switch (setting) {
    case Setting::Currency:
      return replace(locale.currency, *index);
    case Setting::DateFormat:
      return replace(locale.date_format, *index);
    case Setting::TimeFormat:
      return replace(locale.time_format, *index);
    case Setting::Measurement:
      return replace(locale.measurement, *index);
    case Setting::NumberStyle:
      return replace(locale.number_style, *index);
    case Setting::FirstDay:
      return replace(locale.first_day_of_week, *index);
  }
  return false;
}

std::string_view currency_symbol(Currency currency) { return entry(kCurrencySymbols, currency); }

std::string amount_sample(Currency currency, NumberStyle style) {
  std::string amount(currency_symbol(currency));
  amount.append(number_style_label(style));
  return amount;
}

std::string_view date_sample(DateFormat format) { return entry(kDateSamples, format); }
std::string_view time_sample(TimeFormat format) { return entry(kTimeSamples, format); }
std::string_view temperature_sample(Measurement units) { return entry(kTemperatureSamples, units); }

}  // namespace settings::panes::region
