#include "prefs_store/roaming_provenance.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <fstream>

#include "prefs_store/paths.h"

namespace prefs_store {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;

TEST(RoamingProvenanceTest, ReadsSettingsAndProfilesWithTheirSources) {
  auto read = RoamingProvenance::from_json_text(R"({
    "settings": [{"name": "Appearance", "source": "Laptop", "revision": 12,
                  "conflicting_sources": ["Desk", "Tablet"], "extra": 1}],
    "wifi_profiles": [{"network": "Home", "security": "WPA3", "source": "Desk", "revision": 4}],
    "published_at": 99})");
  ASSERT_TRUE(read) << read.error();
  EXPECT_EQ(*read, (RoamingProvenance{
                       {{"Appearance", {"Laptop", 12, {"Desk", "Tablet"}}}},
                       {{"Home", "WPA3", {"Desk", 4, {}}}},
                   }));
  EXPECT_EQ(RoamingProvenance::from_json_text("{}").value(), RoamingProvenance{});
}

TEST(RoamingProvenanceTest, RefusesWhatItCannotShowFaithfully) {
  const struct {
    const char* text;
    const char* message;
  } cases[] = {
      {"[]", "must be a JSON object"},
      {"{\"settings\": {}}", "\"settings\" must be a list"},
      {"{\"settings\": [1]}", "settings[0] must be an object"},
      {"{\"settings\": [{\"source\": \"A\", \"revision\": 1}]}", "settings[0] lacks \"name\""},
      {"{\"settings\": [{\"name\": \"N\", \"source\": \"A\", \"revision\": -1}]}",
       "settings[0].revision must be an unsigned 64-bit number"},
      {"{\"wifi_profiles\": [{\"network\": \"H\", \"source\": \"A\", \"revision\": 1}]}",
       "wifi_profiles[0] lacks \"security\""},
      {"{\"settings\": [{\"name\": \"N\", \"source\": \"A\", \"revision\": 1, "
       "\"conflicting_sources\": [2]}]}",
       "settings[0].conflicting_sources must be a list of texts"},
      {"{\"settings\": [", "parse error"},
  };
  for (const auto& c : cases) {
    auto read = RoamingProvenance::from_json_text(c.text);
    ASSERT_FALSE(read) << c.text;
    EXPECT_THAT(read.error(), HasSubstr(c.message)) << c.text;
  }
}

TEST(RoamingProvenanceTest, LivesInTheConfigurationFolder) {
  char tmpl[] = "/tmp/roaming_test.XXXXXX";
  const fs::path root = ::mkdtemp(tmpl);
  {
    ScopedConfigDir config(root);
    const fs::path path = roaming_provenance::path().value();
    EXPECT_EQ(path, root / "kalu/roaming/provenance.json");
    EXPECT_THAT(RoamingProvenance::load_at(path).error(), HasSubstr("does not exist"));
    fs::create_directories(path.parent_path());
    std::ofstream(path) << R"({"settings": [{"name": "N", "source": "A", "revision": 7}]})";
    EXPECT_EQ(RoamingProvenance::load_at(path)->settings.at(0).provenance.revision, 7u);
    std::ofstream(path) << "{";
    EXPECT_THAT(RoamingProvenance::load_at(path).error(), HasSubstr(path.string()));
  }
  {
    ScopedConfigDir none{fs::path()};
    EXPECT_EQ(roaming_provenance::path(), std::nullopt);
  }
  fs::remove_all(root);
}

}  // namespace
}  // namespace prefs_store
