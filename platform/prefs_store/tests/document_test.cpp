#include "prefs_store/document.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "prefs_store/paths.h"
#include "safe_write/safe_write.h"

namespace {

namespace fs = std::filesystem;
using prefs_store::Json;

class PrefsDocumentTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/prefs_store_test.XXXXXX";
    ASSERT_NE(::mkdtemp(tmpl), nullptr);
    root_ = tmpl;
    config_.emplace(root_);
    path_ = root_ / "kalu" / "settings.json";
  }
  void TearDown() override {
    config_.reset();
    ::chmod(path_.c_str(), 0644);
    fs::remove_all(root_);
  }
  void put(const std::string& text) {
    fs::create_directories(path_.parent_path());
    std::ofstream(path_, std::ios::binary) << text;
  }
  std::string read() const {
    std::ifstream in(path_, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

  fs::path root_;
  fs::path path_;
  std::optional<prefs_store::ScopedConfigDir> config_;
};

TEST_F(PrefsDocumentTest, UpdateMergesOneSectionAndKeepsEverythingElseInPlace) {
  put(R"({"z":1,"text_assistance":{"auto_correct":false,"other":[]},"a":{"n":1e3}})");
  ASSERT_TRUE(prefs_store::update_section("text_assistance", Json{{"check_spelling", true}}));
  ASSERT_TRUE(prefs_store::update_section("text_assistance", Json{{"auto_correct", true}}));
  ASSERT_TRUE(prefs_store::update_section("continuity", Json{{"enabled", 0.3f}}));
  EXPECT_EQ(read(), R"({
  "z": 1,
  "text_assistance": {
    "auto_correct": true,
    "other": [],
    "check_spelling": true
  },
  "a": {
    "n": 1000.0
  },
  "continuity": {
    "enabled": 0.30000001192092896
  }
})");
}

TEST_F(PrefsDocumentTest, UpdateStartsFreshWhenNothingUsableIsStored) {
  // A missing file and its directories are created; content that is not a
  // JSON object is replaced.
  for (const char* stored : {static_cast<const char*>(nullptr), "[1,2]", "not json", ""}) {
    fs::remove_all(root_ / "kalu");
    if (stored != nullptr) put(stored);
    ASSERT_TRUE(prefs_store::update_section_at(path_, "s", Json{{"k", "v"}}));
    EXPECT_EQ(read(), "{\n  \"s\": {\n    \"k\": \"v\"\n  }\n}") << (stored ? stored : "(none)");
  }
}

TEST_F(PrefsDocumentTest, UpdateRefusesWhatItCannotStoreSafely) {
  put(R"({"keep":true})");
  const std::string before = read();

  auto not_object = prefs_store::update_section("s", Json::array());
  ASSERT_FALSE(not_object);
  EXPECT_EQ(not_object.error(), "cannot store \"s\": the section is not an object");

  {
    safe_write::testing::ScopedRenameHook crash(
        [](const fs::path&, const fs::path&) { return EIO; });
    EXPECT_FALSE(prefs_store::update_section("s", Json{{"k", 1}}));
  }
  EXPECT_EQ(read(), before) << "an interrupted write leaves the previous document";

  if (::geteuid() != 0) {  // root reads through mode 000
    ::chmod(path_.c_str(), 0);
    auto unreadable = prefs_store::update_section("s", Json{{"k", 1}});
    ::chmod(path_.c_str(), 0644);
    ASSERT_FALSE(unreadable);
    EXPECT_NE(unreadable.error().find("could not read"), std::string::npos);
    EXPECT_EQ(read(), before);
  }

  prefs_store::ScopedConfigDir none{fs::path()};
  auto no_dir = prefs_store::update_section("s", Json{{"k", 1}});
  ASSERT_FALSE(no_dir);
  EXPECT_EQ(no_dir.error(), "no config dir");
}

TEST_F(PrefsDocumentTest, DirectoryInPlaceOfTheFileIsAnErrorNotAnEmptyDocument) {
  fs::create_directories(path_ / "inner");
  auto update = prefs_store::update_section("s", Json{{"k", 1}});
  ASSERT_FALSE(update);
  EXPECT_NE(update.error().find("could not read"), std::string::npos) << update.error();
  EXPECT_TRUE(fs::is_directory(path_ / "inner"));
  EXPECT_FALSE(prefs_store::load_at(path_));
  EXPECT_FALSE(prefs_store::load_section("s"));
}

TEST_F(PrefsDocumentTest, LoadReadsDocumentsAndSections) {
  auto missing = prefs_store::load_at(path_);
  ASSERT_TRUE(missing);
  EXPECT_EQ(*missing, Json::object());

  put(R"({"text_assistance":{"check_spelling":true},"odd":5})");
  EXPECT_EQ(prefs_store::load_section("text_assistance"), Json({{"check_spelling", true}}));
  EXPECT_EQ(prefs_store::load_section("odd"), Json::object());
  EXPECT_EQ(prefs_store::load_section("absent"), Json::object());

  put("{broken");
  auto broken = prefs_store::load_at(path_);
  ASSERT_FALSE(broken);
  EXPECT_NE(broken.error().find("could not read"), std::string::npos);

  prefs_store::ScopedConfigDir none{fs::path()};
  EXPECT_EQ(prefs_store::load_section("text_assistance").error(), "no config dir");
}

TEST_F(PrefsDocumentTest, ReadTextStopsAtItsLimit) {
  EXPECT_EQ(prefs_store::read_text(path_, 4).value(), std::nullopt);
  // Small limits, and one past the read buffer, read to the byte.
  for (std::size_t limit :
       {std::size_t{0}, std::size_t{5}, std::size_t{16384}, std::size_t{20000}}) {
    put(std::string(limit, 'x'));
    EXPECT_EQ(prefs_store::read_text(path_, limit).value()->size(), limit);
    put(std::string(limit + 1, 'x'));
    auto over = prefs_store::read_text(path_, limit);
    ASSERT_FALSE(over) << limit;
    EXPECT_NE(over.error().find("larger than"), std::string::npos) << over.error();
  }
}

std::string nested(std::size_t levels) {
  return std::string(levels, '[') + std::string(levels, ']');
}

TEST(PrefsNesting, DeeperThanTheLimitIsTooDeep) {
  const struct {
    std::string text;
    bool too_deep;
  } cases[] = {
      {nested(128), false},
      {nested(129), true},
      {"{\"a\":" + nested(127) + "}", false},
      {"{\"a\":" + nested(128) + "}", true},
      // Brackets inside strings, escaped quotes included, are text.
      {"[\"" + std::string(200, '[') + "\\\"" + std::string(200, '{') + "\"]", false},
      // Text that is not JSON counts as far as it goes.
      {std::string(129, '{'), true},
      {std::string(300, ']') + nested(128), false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(prefs_store::nests_too_deep(c.text), c.too_deep) << c.text.substr(0, 40);
    EXPECT_EQ(!prefs_store::parse(c.text) &&
                  prefs_store::parse(c.text).error() == "the document nests deeper than 128 levels",
              c.too_deep);
  }
}

// A foreign member nested far past the limit makes the document unreadable:
// loads refuse it and updates fail without touching the file, where printing
// it back would exhaust the stack.
TEST_F(PrefsDocumentTest, DocumentNestedTooDeepIsRefusedAndKept) {
  put(R"({"text_assistance":{"check_spelling":true},"other":)" + nested(100000) + "}");
  const std::string before = read();
  EXPECT_FALSE(prefs_store::load_at(path_));
  EXPECT_FALSE(prefs_store::load_section("text_assistance"));
  for (auto update : {prefs_store::update_section("s", Json{{"k", 1}}),
                      prefs_store::replace_section("s", Json{{"k", 1}})}) {
    ASSERT_FALSE(update);
    EXPECT_EQ(update.error(),
              "could not update " + path_.string() + ": the document nests deeper than 128 levels");
  }
  EXPECT_EQ(read(), before);
}

TEST(PrefsPretty, PrintsTheSettingsForm) {
  Json value = Json::parse(R"({"a":{},"b":[],"c":[1,{"d":null}],"e":3700,"f":1.0,"g":-0.5})");
  value["h"] = std::numeric_limits<double>::infinity();
  value["i"] = std::string("bad \xff byte");
  EXPECT_EQ(prefs_store::pretty(value), R"({
  "a": {},
  "b": [],
  "c": [
    1,
    {
      "d": null
    }
  ],
  "e": 3700,
  "f": 1.0,
  "g": -0.5,
  "h": null,
  "i": "bad )"
                                        "\xEF\xBF\xBD"
                                        R"( byte"
})");
}

}  // namespace
