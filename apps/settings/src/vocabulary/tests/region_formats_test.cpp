#include "vocabulary/region_formats.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace settings::panes::region {
namespace {

using stored::Currency;
using stored::Locale;

TEST(RegionFormatsTest, SettingsTableNamesKeysWidgetsAndOptionsInOrder) {
  std::vector<std::string> keys;
  for (const SettingInfo& s : settings()) {
    keys.push_back(std::string(s.key));
    EXPECT_EQ(s.edit_key, std::string(s.key) + ".edit");
    EXPECT_EQ(&info(s.setting), &s);
  }
  EXPECT_THAT(keys, ::testing::ElementsAre("region.currency", "region.date_format",
                                           "region.time_format", "region.measurement",
                                           "region.number_style", "region.first_day"));
  EXPECT_EQ(info(Setting::DateFormat).widget_id, "region.date");
  EXPECT_EQ(info(Setting::TimeFormat).widget_id, "region.time");
  EXPECT_EQ(info(Setting::FirstDay).title, "First day of week");
  EXPECT_THAT(
      info(Setting::Currency).labels,
      ::testing::ElementsAre("USD", "EUR", "GBP", "JPY", "CHF", "CAD", "AUD", "CNY", "INR"));
  EXPECT_THAT(info(Setting::DateFormat).labels,
              ::testing::ElementsAre("ISO (2023-03-15)", "US (03/15/2023)", "European (15/03/2023)",
                                     "Long (15 Mar 2023)"));
  EXPECT_THAT(info(Setting::Measurement).labels,
              ::testing::ElementsAre("Metric (\u00b0C, km, kg)", "Imperial (\u00b0F, mi, lb)"));
  EXPECT_THAT(info(Setting::NumberStyle).labels,
              ::testing::ElementsAre("1,234,567.89", "1.234.567,89"));
}

TEST(RegionFormatsTest, LabelsOfTheDefaultAndOfAChangedLocale) {
  EXPECT_THAT(labels_of(Locale{}),
              ::testing::ElementsAre("USD", "ISO (2023-03-15)", "24-hour (14:05)",
                                     "Metric (\u00b0C, km, kg)", "1,234,567.89", "Monday"));
  Locale locale;
  locale.currency = Currency::INR;
  locale.date_format = stored::DateFormat::Long;
  locale.time_format = stored::TimeFormat::H12;
  locale.first_day_of_week = stored::FirstDayOfWeek::Saturday;
  EXPECT_EQ(currency_code(locale.currency), "INR");
  EXPECT_EQ(date_format_label(locale.date_format), "Long (15 Mar 2023)");
  EXPECT_EQ(label_of(locale, Setting::TimeFormat), "12-hour (2:05 PM)");
  EXPECT_EQ(label_of(locale, Setting::FirstDay), "Saturday");
}

TEST(RegionFormatsTest, ParseCurrencyTakesExactCodesOnly) {
  EXPECT_EQ(parse_currency("EUR"), Currency::EUR);
  EXPECT_EQ(parse_currency("INR"), Currency::INR);
  for (const char* text : {"eur", " EUR", "EUR ", "", "EURO", "$", "XXX"}) {
    EXPECT_EQ(parse_currency(text), std::nullopt) << '"' << text << '"';
  }
}

TEST(RegionFormatsTest, AdoptingALabelChangesOnlyItsSetting) {
  Locale locale;
  EXPECT_TRUE(adopt_label(locale, Setting::Currency, "EUR"));
  EXPECT_EQ(locale.currency, Currency::EUR);
  EXPECT_FALSE(adopt_label(locale, Setting::Currency, "EUR"));  // already so
  EXPECT_TRUE(adopt_label(locale, Setting::TimeFormat, "12-hour (2:05 PM)"));
  EXPECT_EQ(locale.time_format, stored::TimeFormat::H12);
  // A text that is no label of the setting changes nothing, even when it is
  // another setting's label or a value's stored name.
  const Locale before = locale;
  EXPECT_FALSE(adopt_label(locale, Setting::DateFormat, "ISO"));
  EXPECT_FALSE(adopt_label(locale, Setting::Measurement, "USD"));
  EXPECT_FALSE(adopt_label(locale, Setting::NumberStyle, "DecimalComma"));
  EXPECT_EQ(locale, before);
}

TEST(RegionFormatsTest, PreviewSamples) {
  // The symbol sits directly before the number, whatever its style.
  EXPECT_EQ(amount_sample(Currency::JPY, stored::NumberStyle::DecimalComma),
            "\u00a5"
            "1.234.567,89");
  EXPECT_EQ(amount_sample(Currency::EUR, stored::NumberStyle::DecimalComma),
            "\u20ac"
            "1.234.567,89");
  EXPECT_EQ(amount_sample(Currency::USD, stored::NumberStyle::DecimalPoint), "$1,234,567.89");
  EXPECT_EQ(amount_sample(Currency::CHF, stored::NumberStyle::DecimalPoint), "CHF1,234,567.89");
  EXPECT_EQ(currency_symbol(Currency::INR), "\u20b9");
  EXPECT_EQ(currency_symbol(Currency::GBP), "\u00a3");
  EXPECT_EQ(date_sample(stored::DateFormat::EU), "15/03/2023");
  EXPECT_EQ(date_sample(stored::DateFormat::US), "03/15/2023");
  EXPECT_EQ(time_sample(stored::TimeFormat::H12), "2:05 PM");
  EXPECT_EQ(temperature_sample(stored::Measurement::Imperial), "70 \u00b0F");
  EXPECT_EQ(temperature_sample(stored::Measurement::Metric), "21 \u00b0C");
}

}  // namespace
}  // namespace settings::panes::region
