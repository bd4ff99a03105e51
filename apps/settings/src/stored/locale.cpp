#include "stored/locale.h"

#include <nlohmann/json.hpp>

#include "codec/codec.h"
#include "codec/tree.h"
#include "prefs_store/document.h"
#include "stored/settings_prefs.h"

namespace settings::stored {

// clang-format off
constexpr auto describe(codec::Tag<Currency>) {
  return codec::names<Currency>("Currency", "USD", "EUR", "GBP", "JPY", "CHF", "CAD", "AUD",
                                "CNY", "INR");
}
constexpr auto describe(codec::Tag<DateFormat>) {
  return codec::names<DateFormat>("DateFormat", "ISO", "US", "EU", "Long");
}
constexpr auto describe(codec::Tag<TimeFormat>) {
  return codec::names<TimeFormat>("TimeFormat", "H24", "H12");
}
constexpr auto describe(codec::Tag<Measurement>) {
  return codec::names<Measurement>("Measurement", "Metric", "Imperial");
}
constexpr auto describe(codec::Tag<NumberStyle>) {
  return codec::names<NumberStyle>("NumberStyle", "DecimalPoint", "DecimalComma");
}
constexpr auto describe(codec::Tag<FirstDayOfWeek>) {
  return codec::names<FirstDayOfWeek>("FirstDayOfWeek", "Monday", "Sunday", "Saturday");
}
// clang-format on

constexpr auto describe(codec::Tag<Locale>) {
  using T = Locale;
  return codec::record("Locale", codec::field_or_default("currency", &T::currency),
                       codec::field_or_default("date_format", &T::date_format),
                       codec::field_or_default("time_format", &T::time_format),
                       codec::field_or_default("measurement", &T::measurement),
                       codec::field_or_default("number_style", &T::number_style),
                       codec::field_or_default("first_day_of_week", &T::first_day_of_week));
}

namespace {
using Json = nlohmann::ordered_json;
}  // namespace

kalu_ui::Result<Locale> Locale::from_json(std::string_view text) {
  return codec::from_json<Locale>(text);
}

Json Locale::to_json() const { return codec::to_tree(*this); }

Locale Locale::from_document(std::string_view text) {
  auto member = member_text(text, "locale");
  auto locale = member ? from_json(*member) : kalu_ui::Result<Locale>(Locale{});
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
