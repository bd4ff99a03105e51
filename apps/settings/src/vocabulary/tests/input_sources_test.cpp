#include "vocabulary/input_sources.h"

#include <fmt/format.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

namespace settings::panes::mouse_keyboard {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

struct Variant {
  std::string name;
  std::string description;
};

// One layout as the rules files write it, with the elements around name and
// description whose text must not reach an entry.
std::string layout(const std::string& name, const std::string& description,
                   const std::vector<Variant>& variants = {}) {
  std::string xml = "<layout><configItem><name>" + name + "</name>" +
                    "<shortDescription>short</shortDescription>" + "<description>" + description +
                    "</description>" +
                    "<languageList><iso639Id>eng</iso639Id></languageList></configItem>";
  if (!variants.empty()) {
    xml += "<variantList>";
    for (const Variant& v : variants) {
      xml += "<variant><configItem><name>" + v.name + "</name><description>" + v.description +
             "</description></configItem></variant>";
    }
    xml += "</variantList>";
  }
  return xml + "</layout>\n";
}

// A rules document around `layouts`, with a model list whose names and
// descriptions are outside every layout.
std::string rules(const std::string& layouts) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
         "<!DOCTYPE xkbConfigRegistry SYSTEM \"xkb.dtd\">\n"
         "<xkbConfigRegistry version=\"1.1\">\n"
         "<modelList><model><configItem><name>pc105</name>"
         "<description>Generic 105-key PC</description></configItem></model></modelList>\n"
         "<layoutList>\n" +
         layouts + "</layoutList>\n</xkbConfigRegistry>\n";
}

std::vector<InputSource> fallback() {
  auto list = fallback_input_sources();
  return {list.begin(), list.end()};
}

class InputSourcesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/input_sources_test.XXXXXX";
    ASSERT_NE(::mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
  }
  void TearDown() override { fs::remove_all(dir_); }

  void put(const std::string& file, const std::string& text) {
    std::ofstream(dir_ / file, std::ios::binary | std::ios::trunc) << text;
  }
  std::vector<InputSource> read() { return read_input_sources(dir_); }

  fs::path dir_;
};

TEST_F(InputSourcesTest, LayoutsAndVariantsAreSortedByLabelIgnoringCase) {
  put("evdev.xml", rules(layout("us", "English (US)",
                                {{"dvorak", "English (Dvorak)"}, {"intl", ""}, {"", "Nameless"}}) +
                         layout("de", "german") + layout("at", "German") +
                         layout("ch", "  Swiss\n  German ") + layout("nodesc", "")));
  // Equal once lower-cased: file order ("german" before "German"); the
  // variant without a description is named after its layout and its name;
  // the variant without a name is left out; no description: the id.
  EXPECT_THAT(read(),
              ElementsAre(InputSource{"us", "English (US)"},
                          InputSource{"us:dvorak", "English (US) — English (Dvorak)"},
                          InputSource{"us:intl", "English (US) — intl"},
                          InputSource{"de", "german"}, InputSource{"at", "German"},
                          InputSource{"nodesc", "nodesc"}, InputSource{"ch", "Swiss\n  German"}));
}

TEST_F(InputSourcesTest, ManyLabelsEqualButForCaseKeepFileOrder) {
  // Enough of them that an unstable sort would shuffle them.
  std::string layouts;
  std::vector<std::string> ids;
  for (int i = 0; i < 40; ++i) {
    ids.push_back(fmt::format("l{:02}", 39 - i));
    layouts += layout(ids.back(), i % 2 ? "Same" : "SAME") + layout(fmt::format("z{}", i), "Zulu");
  }
  put("evdev.xml", rules(layouts));
  const std::vector<InputSource> catalogue = read();
  ASSERT_EQ(catalogue.size(), 80u);
  for (int i = 0; i < 40; ++i) {
    EXPECT_EQ(catalogue[i].id, ids[i]);
    EXPECT_EQ(catalogue[i].label, fmt::format("{} · {}", i % 2 ? "Same" : "SAME", ids[i]));
  }
}

TEST_F(InputSourcesTest, SharedLabelsGetTheirIdsAndCaseMakesNoShare) {
  put("evdev.xml", rules(layout("rs", "Serbian", {{"latin", "Serbian"}}) + layout("me", "serbian") +
                         layout("ba", "Bosnian") + layout("sr", "Serbian")));
  EXPECT_THAT(read(), ElementsAre(InputSource{"ba", "Bosnian"}, InputSource{"rs", "Serbian · rs"},
                                  InputSource{"me", "serbian"}, InputSource{"sr", "Serbian · sr"},
                                  InputSource{"rs:latin", "Serbian — Serbian"}));
}

TEST_F(InputSourcesTest, OnlyNameAndDescriptionTextInsideALayoutCounts) {
  put("evdev.xml",
      rules("<layout>loose<configItem>text<name>fr</name>between<vendor>Vendor</vendor>"
            "<description>French</description><countryList><iso3166Id>FR</iso3166Id>"
            "</countryList></configItem><variantList><variant><configItem><name>bepo</name>"
            "<shortDescription>Bépo</shortDescription></configItem></variant></variantList>"
            "</layout>\n"));
  EXPECT_THAT(read(),
              ElementsAre(InputSource{"fr", "French"}, InputSource{"fr:bepo", "French — bepo"}));
}

TEST_F(InputSourcesTest, ReferencesDecodeAndUnknownEntitiesVanish) {
  put("evdev.xml",
      rules(layout("cz", "Czech (with &lt;\\|&gt; key) &amp; &quot;more&quot; &apos;x&apos;") +
            layout("fr", "Fran&#231;ais &#x41;&#66;") + layout("xx", "Odd&nbsp;&ent;ity") +
            layout("yy", "<![CDATA[Raw &amp; kept]]>")));
  EXPECT_THAT(read(), ElementsAre(InputSource{"cz", "Czech (with <\\|> key) & \"more\" 'x'"},
                                  InputSource{"fr", "Français AB"}, InputSource{"xx", "Oddity"},
                                  InputSource{"yy", "Raw &amp; kept"}));
}

// The first file that yields an entry wins; a file that is missing, not
// well-formed, not UTF-8, carries a malformed reference inside a layout or
// yields nothing hands over to the next, then to the fixed list.
TEST_F(InputSourcesTest, FilesAreTriedInOrderThenTheFixedList) {
  const std::string base = rules(layout("de", "German"));
  const std::vector<InputSource> from_base{{"de", "German"}};

  EXPECT_EQ(read(), fallback()) << "no file";
  put("base.xml", base);
  EXPECT_EQ(read(), from_base) << "no evdev.xml";

  for (const std::string& evdev : {
           rules(layout("us", "English")).substr(0, 200),              // cut short
           rules(layout("us", "AT&T")),                                // bare ampersand
           rules(layout("us", "&#xD800;")),                            // not a character
           rules(layout("us", "&#;")),                                 // no digits
           rules(layout("us", "English \xC3(US)")),                    // not UTF-8
           rules(layout("bad id", "Spaces") + layout("", "No name")),  // nothing usable
           rules(""),
           std::string("\xFF\xFE<\0x\0", 6),
       }) {
    put("evdev.xml", evdev);
    EXPECT_EQ(read(), from_base) << evdev;
  }

  fs::remove(dir_ / "base.xml");
  EXPECT_EQ(read(), fallback());
  put("base.xml", "not xml at all");
  EXPECT_EQ(read(), fallback());

  const std::vector<InputSource> english{{"us", "English"}};
  put("evdev.xml", rules(layout("us", "English") + "&bad"));  // outside a layout: not read
  EXPECT_EQ(read(), english);
  put("evdev.xml", "\xEF\xBB\xBF" + rules(layout("us", "English")));  // byte order mark
  EXPECT_EQ(read(), english);
  put("evdev.xml", rules(layout("us", "Eng\r\nlish")));  // line ends as XML reads them
  EXPECT_EQ(read(), (std::vector<InputSource>{{"us", "Eng\nlish"}}));
}

TEST(InputSourcesFallback, IsTheSixteenSourcesInTheirOwnOrder) {
  std::vector<std::string> ids;
  for (const InputSource& source : fallback_input_sources()) ids.push_back(source.id);
  EXPECT_THAT(ids, ElementsAre("us", "gb", "us:colemak", "us:dvorak", "de", "fr", "nl", "es", "it",
                               "pt", "br", "pl", "ru", "se", "no", "dk"));
  EXPECT_EQ(fallback_input_sources()[2].label, "English (US) — Colemak");
  EXPECT_EQ(fallback_input_sources()[10].label, "Portuguese (Brazil)");
}

// What is kept answers for its own folder only, and only while the files are
// the ones it read.
TEST_F(InputSourcesTest, KeptCatalogueFollowsTheFolderAndItsFiles) {
  char tmpl[] = "/tmp/input_sources_other.XXXXXX";
  ASSERT_NE(::mkdtemp(tmpl), nullptr);
  const fs::path other = tmpl;
  std::ofstream(other / "evdev.xml") << rules(layout("fr", "French"));
  put("evdev.xml", rules(layout("de", "German")));

  const std::vector<InputSource> german{{"de", "German"}};
  const std::vector<InputSource> french{{"fr", "French"}};
  EXPECT_EQ(available_input_sources(dir_), german);
  EXPECT_EQ(available_input_sources(dir_), german);
  EXPECT_EQ(available_input_sources(other), french);
  EXPECT_EQ(available_input_sources(dir_), german);

  put("evdev.xml", rules(layout("nl", "Dutch")));
  EXPECT_EQ(available_input_sources(dir_), (std::vector<InputSource>{{"nl", "Dutch"}}));
  fs::remove(dir_ / "evdev.xml");
  EXPECT_EQ(available_input_sources(dir_), fallback());
  put("base.xml", rules(layout("de", "German")));
  EXPECT_EQ(available_input_sources(dir_), german);

  {
    ScopedRulesDir rules_here(other);
    EXPECT_EQ(rules_dir(), other);
    EXPECT_EQ(available_input_sources(), french);
  }
  EXPECT_EQ(rules_dir(), fs::path("/usr/share/X11/xkb/rules"));
  fs::remove_all(other);
}

TEST(InputSourcesLookups, FindAddableAndKnownLabels) {
  std::vector<InputSource> catalogue;
  push_input_source(catalogue, "us", std::nullopt, " English (US) ");
  push_input_source(catalogue, "de", "neo", "");
  push_input_source(catalogue, "de bad", std::nullopt, "Refused id");
  push_input_source(catalogue, "de", "", "Refused variant");
  push_input_source(catalogue, "gb", std::nullopt, "English (UK)");
  push_input_source(catalogue, "us", std::nullopt, "English (US)");
  ASSERT_THAT(catalogue,
              ElementsAre(InputSource{"us", "English (US)"}, InputSource{"de:neo", "de:neo"},
                          InputSource{"gb", "English (UK)"}, InputSource{"us", "English (US)"}));

  EXPECT_EQ(find_source_by_label(catalogue, "English (UK)"), (InputSource{"gb", "English (UK)"}));
  EXPECT_EQ(find_source_by_label(catalogue, "english (uk)"), std::nullopt);
  EXPECT_EQ(known_source_label(catalogue, "de:neo"), "de:neo");
  EXPECT_EQ(known_source_label(catalogue, "de"), std::nullopt);

  const std::vector<std::string> active{"us", "fr"};
  EXPECT_THAT(addable_sources(catalogue, active), ElementsAre("de:neo", "English (UK)"));
  EXPECT_THAT(addable_sources(catalogue, {}),
              ElementsAre("English (US)", "de:neo", "English (UK)", "English (US)"));
}

TEST(InputSourcesNormalise, ChangesOnlyTheTwoSourceFields) {
  settings::stored::InputPrefs input;
  input.accel_profile = "any text";
  input.compose_key = "ralt";
  input.key_repeat_rate_hz = 0;
  input.keyboard_layout = "de(neo)";
  input.keyboard_layouts = {"us", "us", "not a source"};
  settings::stored::InputPrefs expected = input;
  expected.keyboard_layout = "de:neo";
  expected.keyboard_layouts = {"us", "de:neo"};
  normalise_input_sources(input);
  EXPECT_EQ(input, expected);
}

// The machine's own rules (xkb-data is one of the project's packages).
TEST(InputSourcesSystem, MachineRulesGiveASortedCatalogue) {
  if (!fs::exists("/usr/share/X11/xkb/rules/evdev.xml") &&
      !fs::exists("/usr/share/X11/xkb/rules/base.xml")) {
    GTEST_SKIP() << "no XKB rules installed";
  }
  const std::vector<InputSource> catalogue = available_input_sources();
  EXPECT_GT(catalogue.size(), fallback_input_sources().size());
  EXPECT_EQ(find_source_by_label(catalogue, "German"), (InputSource{"de", "German"}));
  EXPECT_EQ(known_source_label(catalogue, "us"), "English (US)");
  std::vector<std::string> ids;
  for (const InputSource& source : catalogue) ids.push_back(source.id);
  std::ranges::sort(ids);
  EXPECT_EQ(std::ranges::adjacent_find(ids), ids.end()) << "ids are unique";
}

}  // namespace
}  // namespace settings::panes::mouse_keyboard
