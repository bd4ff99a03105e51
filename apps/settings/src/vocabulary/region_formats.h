#pragma once

// The words of Region & Formats: the six settings of the shared locale
// record, the label of each value (which is also the text a set-setting
// action carries and the state document holds), and the preview samples.
// The Region & Formats pane and the action surface's Region section both
// read them from here, so the two can never offer different texts. Pure
// functions of their arguments; every text lives for the whole program.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "stored/locale.h"

namespace settings::panes::region {

// The six settings, in the order the page and the section list them.
enum class Setting : std::uint8_t {
  Currency,
  DateFormat,
  TimeFormat,
  Measurement,
  NumberStyle,
  FirstDay
};
inline constexpr std::size_t kSettingCount = 6;

struct SettingInfo {
  Setting setting;
  std::string_view key;        // "region.currency": the applied label
  std::string_view edit_key;   // "region.currency.edit": what the dropdown chose
  std::string_view widget_id;  // "region.currency": the dropdown
  std::string_view title;      // "Currency": the row's label
  // Every value's label, in option order (the enumeration's order).
  std::span<const std::string_view> labels;
};

// The six settings in order.
std::span<const SettingInfo> settings();
const SettingInfo& info(Setting setting);

// The label of a value; currency labels are the codes ("USD" ... "INR").
std::string_view currency_code(stored::Currency currency);
std::string_view date_format_label(stored::DateFormat format);   // "ISO (2023-03-15)"
std::string_view time_format_label(stored::TimeFormat format);   // "24-hour (14:05)"
std::string_view measurement_label(stored::Measurement units);   // "Metric (°C, km, kg)"
std::string_view number_style_label(stored::NumberStyle style);  // "1,234,567.89"
std::string_view first_day_label(stored::FirstDayOfWeek day);    // "Monday"

// The currency whose code is exactly `text`; none for anything else.
std::optional<stored::Currency> parse_currency(std::string_view text);

// The current label of each setting of `locale`, in order.
std::array<std::string_view, kSettingCount> labels_of(const stored::Locale& locale);
// The label `locale` shows for one setting.
std::string_view label_of(const stored::Locale& locale, Setting setting);
// Adopts `text` for one setting: the value with exactly that label replaces
// the locale's. Answers true when the locale changed; a text that is no
// label of the setting changes nothing.
bool adopt_label(stored::Locale& locale, Setting setting, std::string_view text);

// Preview samples.
std::string_view currency_symbol(stored::Currency currency);  // "$", "€", "CHF" ...
// The symbol directly followed by the number sample: "€1.234.567,89".
std::string amount_sample(stored::Currency currency, stored::NumberStyle style);
std::string_view date_sample(stored::DateFormat format);         // "2023-03-15"
std::string_view time_sample(stored::TimeFormat format);         // "14:05", "2:05 PM"
std::string_view temperature_sample(stored::Measurement units);  // "21 °C", "70 °F"

}  // namespace settings::panes::region
