#include <gtest/gtest.h>

#include <cerrno>
#include <nlohmann/json.hpp>

#include "safe_write/safe_write.h"
#include "stored/continuity.h"
#include "stored/locale.h"
#include "stored/settings_prefs.h"
#include "stored_fixture.h"

namespace {

using namespace settings::stored;
using settings::stored::testing::TempConfig;
using Json = nlohmann::ordered_json;

TEST(LocaleRecord, ReadsFromTheDocumentOrFallsBackWhole) {
  struct Case {
    const char* document;
    Locale expected;
  };
  Locale sunday;
  sunday.first_day_of_week = FirstDayOfWeek::Sunday;
  Locale all{Currency::INR,         DateFormat::Long,          TimeFormat::H12,
             Measurement::Imperial, NumberStyle::DecimalComma, FirstDayOfWeek::Saturday};
  const Case cases[] = {
      {R"({"audio":{}})", Locale{}},
      {R"({"locale":{"first_day_of_week":"Sunday","extra":1}})", sunday},
      {R"({"locale":["INR","Long","H12","Imperial","DecimalComma","Saturday"]})", all},
      {R"({"locale":["INR","Long","H12","Imperial","DecimalComma","Saturday","x"]})", Locale{}},
      {R"({"locale":{"currency":"usd","first_day_of_week":"Sunday"}})", Locale{}},
      {R"({"locale":{"currency":"EUR ","first_day_of_week":"Sunday"}})", Locale{}},
      {R"({"locale":{"first_day_of_week":{"Sunday":null}}})", sunday},
      {R"({"locale":"EUR"})", Locale{}},
      {"not json", Locale{}},
  };
  for (const Case& c : cases)
    EXPECT_EQ(Locale::from_document(c.document), c.expected) << c.document;
}

TEST(LocaleRecord, SaveTouchesOnlyVersionAndLocale) {
  TempConfig config;
  SettingsPrefs prefs;
  prefs.display.night_light = true;
  ASSERT_TRUE(prefs.save());
  const Json before = Json::parse(config.read());

  Locale locale;
  locale.currency = Currency::JPY;
  ASSERT_TRUE(locale.save());
  Json after = Json::parse(config.read());
  EXPECT_EQ(after.back(), locale.to_json()) << "appended after the sections";
  after.erase("locale");
  EXPECT_EQ(after, before);
  EXPECT_EQ(Locale::load(), locale);

  // An existing member keeps its position; "version" is set to 1 there too.
  const std::string merged =
      Locale::write_into_document(R"({"version":7,"locale":{"currency":"EUR"},"z":[]})", locale);
  EXPECT_EQ(merged, R"({
  "version": 1,
  "locale": {
    "currency": "JPY",
    "date_format": "ISO",
    "time_format": "H24",
    "measurement": "Metric",
    "number_style": "DecimalPoint",
    "first_day_of_week": "Monday"
  },
  "z": []
})");
}

TEST(LocaleRecord, FailedSaveLeavesTheDocument) {
  TempConfig config;
  config.put(R"({"audio":1})");
  {
    safe_write::testing::ScopedRenameHook crash(
        [](const std::filesystem::path&, const std::filesystem::path&) { return ENOSPC; });
    EXPECT_FALSE(Locale{}.save());
  }
  EXPECT_EQ(config.read(), R"({"audio":1})");
  prefs_store::ScopedConfigDir none{std::filesystem::path()};
  EXPECT_EQ(Locale{}.save().error(), "no config dir");
  EXPECT_EQ(Locale::load(), Locale{});
}

ContinuityPrivacy continuity(const std::string& member) {
  return ContinuityPrivacy::from_document("{\"continuity\":" + member + "}");
}

std::string audit_of(int count) {
  std::string list = "[";
  for (int i = 0; i < count; ++i) {
    list += (i ? "," : "") + std::string("{\"recorded_at_secs\":") + std::to_string(i) +
            ",\"enabled\":true}";
  }
  return list + "]";
}

TEST(ContinuityRecord, ReadsStrictlyAndFallsBackToAllOff) {
  ContinuityPrivacy on;
  on.enabled = true;
  ContinuityPrivacy two;
  two.enabled = true;
  two.clipboard = false;
  ContinuityPrivacy master_change;
  master_change.audit = {{5, std::nullopt, true}, {6, std::nullopt, false}};
  ContinuityPrivacy media_change;
  media_change.audit = {{7, ContinuityCapability::Media, true}};
  struct Case {
    const char* member;  // nullptr: no member at all
    ContinuityPrivacy expected;
  };
  const Case cases[] = {
      {nullptr, {}},
      {R"({"enabled":true})", on},
      {R"([true,false])", two},
      {R"({"enabled":true,"schema_version":2})", {}},  // unknown key
      {R"({"enabled":true,"enabled":true})", {}},      // repeated key
      {R"({"enabled":"yes"})", {}},
      {R"({"audit":[{"recorded_at_secs":5,"enabled":true},)"
       R"({"recorded_at_secs":6,"capability":null,"enabled":false}]})",
       master_change},
      {R"({"audit":[{"recorded_at_secs":7,"capability":"media","enabled":true}]})", media_change},
      {R"({"audit":[{"recorded_at_secs":7,"capability":"camera","enabled":true}]})", {}},
      {R"({"audit":[{"recorded_at_secs":7,"enabled":true,"by":"me"}]})", {}},
      {R"({"audit":[{"recorded_at_secs":7,"enabled":true,"enabled":true}]})", {}},
      {R"({"audit":[{"enabled":true}]})", {}},
      {R"({"audit":[{"recorded_at_secs":-1,"enabled":true}]})", {}},
  };
  for (const Case& c : cases) {
    const std::string document =
        c.member ? std::string("{\"continuity\":") + c.member + "}" : R"({"audio":{}})";
    EXPECT_EQ(ContinuityPrivacy::from_document(document), c.expected) << document;
  }
}

TEST(ContinuityRecord, AuditKeepsTheLast24) {
  ContinuityPrivacy read = continuity("{\"audit\":" + audit_of(30) + "}");
  ASSERT_EQ(read.audit.size(), 24u);
  EXPECT_EQ(read.audit.front().recorded_at_secs, 6u);
  EXPECT_EQ(read.audit.back().recorded_at_secs, 29u);

  ContinuityPrivacy full = continuity("{\"audit\":" + audit_of(24) + "}");
  full.clipboard = true;
  full.record_change(ContinuityCapability::Clipboard, true, 1000);
  ASSERT_EQ(full.audit.size(), 24u);
  EXPECT_EQ(full.audit.front().recorded_at_secs, 1u);
  EXPECT_EQ(full.audit.back(), (AuditEntry{1000, ContinuityCapability::Clipboard, true}));
}

TEST(ContinuityRecord, SaveWritesEveryKeyAndReplacesAStrayMember) {
  TempConfig config;
  config.put(R"({"text_assistance":{"auto_correct":true},"continuity":{"schema_version":2}})");
  ContinuityPrivacy policy;
  policy.enabled = true;
  policy.record_change(std::nullopt, true, 42);
  ASSERT_TRUE(policy.save());
  EXPECT_EQ(config.read(), R"({
  "text_assistance": {
    "auto_correct": true
  },
  "continuity": {
    "enabled": true,
    "clipboard": false,
    "notifications": false,
    "wifi_settings": false,
    "media": false,
    "display_input": false,
    "file_transfer": false,
    "realtime_sessions": false,
    "typed_gamepad": false,
    "app_continuations": false,
    "audit": [
      {
        "recorded_at_secs": 42,
        "capability": null,
        "enabled": true
      }
    ]
  }
})");
  EXPECT_EQ(ContinuityPrivacy::load(), policy);
  EXPECT_EQ(ContinuityPrivacy::load(config.path()), policy);

  // An explicit path is used as given.
  const auto other = config.path().parent_path() / "other.json";
  ASSERT_TRUE(ContinuityPrivacy{}.save(other));
  EXPECT_EQ(ContinuityPrivacy::load(other), ContinuityPrivacy{});
  EXPECT_EQ(ContinuityPrivacy::load(), policy);
}

// A file that is not UTF-8 text is no settings document, even when the bad
// bytes sit in a member that no reader of this program looks at.
TEST(SettingsDocumentLoaders, FileThatIsNotUtf8GivesEveryDefault) {
  TempConfig config;
  const std::string valid =
      R"({"display":{"auto_brightness":true,"night_light":true},"locale":{"currency":"EUR"},)"
      R"("continuity":{"enabled":true},"foreign":"x"})";
  config.put(valid);
  ASSERT_TRUE(SettingsPrefs::load().display.night_light);
  ASSERT_EQ(Locale::load().currency, Currency::EUR);
  ASSERT_TRUE(ContinuityPrivacy::load().enabled);

  std::string broken = valid;
  broken.replace(broken.find("\"x\""), 3, "\"\xff\"");
  config.put(broken);
  EXPECT_EQ(SettingsPrefs::load(), SettingsPrefs{});
  EXPECT_EQ(Locale::load(), Locale{});
  EXPECT_EQ(ContinuityPrivacy::load(), ContinuityPrivacy{});
  EXPECT_EQ(ContinuityPrivacy::load(config.path()), ContinuityPrivacy{});
}

TEST(ContinuityRecord, CapabilityNamesAndSwitches) {
  ContinuityPrivacy policy;
  policy.capability(ContinuityCapability::TypedGamepad) = true;
  EXPECT_TRUE(policy.typed_gamepad);
  EXPECT_EQ(capability_name(ContinuityCapability::WifiSettings), "wifi_settings");
  EXPECT_EQ(capability_name(ContinuityCapability::AppContinuations), "app_continuations");
}

}  // namespace
