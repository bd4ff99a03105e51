#include "stored/locale.h"

#include "prefs_store/document.h"
#include "stored/record_json.h"
#include "stored/settings_prefs.h"

namespace settings::stored {
namespace record {

// clang-format off
template <> struct EnumNames<Currency> {
  static constexpr std::string_view names[] = {"USD", "EUR", "GBP", "JPY", "CHF",
                                               "CAD", "AUD", "CNY", "INR"};
};
template <> struct EnumNames<DateFormat> {
  static constexpr std::string_view names[] = {"ISO", "US", "EU", "Long"};
};
template <> struct EnumNames<TimeFormat> {
  static constexpr std::string_view names[] = {"H24", "H12"};
};
template <> struct EnumNames<Measurement> {
  static constexpr std::string_view names[] = {"Metric", "Imperial"};
};
template <> struct EnumNames<NumberStyle> {
  static constexpr std::string_view names[] = {"DecimalPoint", "DecimalComma"};
};
template <> struct EnumNames<FirstDayOfWeek> {
  static constexpr std::string_view names[] = {"Monday", "Sunday", "Saturday"};
};
// clang-format on

}  // namespace record

namespace {

using Json = nlohmann::ordered_json;

constexpr std::string_view kFields[] = {"currency",    "date_format",  "time_format",
                                        "measurement", "number_style", "first_day_of_week"};

}  // namespace

kalu_ui::Result<Locale> Locale::from_json(const Json& value) {
  Locale locale;
  record::FieldReader reader(value, kFields, record::UnknownKeys::kSkip);
  reader.optional("currency", locale.currency)
      .optional("date_format", locale.date_format)
      .optional("time_format", locale.time_format)
      .optional("measurement", locale.measurement)
      .optional("number_style", locale.number_style)
      .optional("first_day_of_week", locale.first_day_of_week);
  if (!reader.status()) return kalu_ui::fail(reader.status().error());
  return locale;
}

Json Locale::to_json() const {
  Json out = Json::object();
  out["currency"] = record::encode(currency);
  out["date_format"] = record::encode(date_format);
  out["time_format"] = record::encode(time_format);
  out["measurement"] = record::encode(measurement);
  out["number_style"] = record::encode(number_style);
  out["first_day_of_week"] = record::encode(first_day_of_week);
  return out;
}

Locale Locale::from_document(std::string_view text) {
  auto document = prefs_store::parse(text);
  if (!document) return Locale{};
  auto member = SettingsPrefs::section_value(*document, "locale");
  if (!member) return Locale{};
  auto locale = from_json(*member);
  return locale ? *locale : Locale{};
}

std::string Locale::write_into_document(std::string_view current, const Locale& locale) {
  Json document = Json::object();
  if (auto parsed = prefs_store::parse(current); parsed && parsed->is_object()) {
    document = std::move(*parsed);
  }
  document["version"] = 1;
  document["locale"] = locale.to_json();
  return prefs_store::pretty(document);
}

Locale Locale::load() {
  auto text = read_settings_text();
  return text ? from_document(*text) : Locale{};
}

kalu_ui::Result<std::filesystem::path> Locale::save() const {
  return rewrite_settings_document(
      [this](std::string_view current) { return write_into_document(current, *this); });
}

}  // namespace settings::stored
