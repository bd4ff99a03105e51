#pragma once

// The user's regional formats, stored under "locale" of the settings document
// beside (not inside) the preference sections, with a load and save of its
// own: a locale save rewrites only "locale" and "version".

#include <cstdint>
#include <filesystem>
#include <nlohmann/json_fwd.hpp>
#include <string>
#include <string_view>

#include "kalu_ui/result.h"

namespace settings::stored {

// Enumerators are named as they are stored.
enum class Currency : std::uint8_t { USD, EUR, GBP, JPY, CHF, CAD, AUD, CNY, INR };
enum class DateFormat : std::uint8_t { ISO, US, EU, Long };
enum class TimeFormat : std::uint8_t { H24, H12 };
enum class Measurement : std::uint8_t { Metric, Imperial };
enum class NumberStyle : std::uint8_t { DecimalPoint, DecimalComma };
enum class FirstDayOfWeek : std::uint8_t { Monday, Sunday, Saturday };

// `Locale{}` is the default: the first name of every enumeration.
struct Locale {
  Currency currency = Currency::USD;
  DateFormat date_format = DateFormat::ISO;
  TimeFormat time_format = TimeFormat::H24;
  Measurement measurement = Measurement::Metric;
  NumberStyle number_style = NumberStyle::DecimalPoint;
  FirstDayOfWeek first_day_of_week = FirstDayOfWeek::Monday;

  bool operator==(const Locale&) const = default;

  // The record at the settings path; the default when there is no path, no
  // readable file or no "locale" member that reads. Never fails.
  static Locale load();
  // Sets "version" and "locale" in the document at the settings path, keeping
  // every other key, and writes it atomically; answers the path. "no config
  // dir" without a path; a file that cannot be read fails the save and is
  // left as it was; a document that does not read is kept aside and the
  // locale saved into a fresh one.
  kalu_ui::Result<std::filesystem::path> save() const;

  // The "locale" member of document text, or the default.
  static Locale from_document(std::string_view text);
  // The document text with "version" and "locale" set (in place, or appended).
  static std::string write_into_document(std::string_view current, const Locale& locale);

  // The record from its stored text (object or array form, unknown keys
  // skipped, names matched exactly), and its stored object.
  static kalu_ui::Result<Locale> from_json(std::string_view text);
  nlohmann::ordered_json to_json() const;
};

}  // namespace settings::stored
