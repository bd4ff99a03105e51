#include "prefs_store/document.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <functional>
#include <nlohmann/json.hpp>
#include <sstream>

#include "kalu_ui/log.h"
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
  // A missing file and its directories are created; an empty file, or
  // content that is not a JSON object (kept aside: below), gives way to a
  // fresh object.
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
    EXPECT_EQ(unreadable.error(), "settings document could not be read: Permission denied");
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
  EXPECT_EQ(update.error(),
            "settings document could not be read: not a regular file (a directory)");
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

  // A document that does not read holds no section; load_at says why.
  put("{broken");
  auto broken = prefs_store::load_at(path_);
  ASSERT_FALSE(broken);
  EXPECT_TRUE(broken.error().starts_with("settings document could not be read: "))
      << broken.error();
  EXPECT_EQ(prefs_store::load_section("text_assistance"), Json::object());
  EXPECT_FALSE(prefs_store::load_at(root_ / "other.json").value().contains("x"));
  std::ofstream(root_ / "other.json") << "[";
  EXPECT_TRUE(prefs_store::load_at(root_ / "other.json")
                  .error()
                  .starts_with("could not read " + (root_ / "other.json").string() + ": "));

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

// The copies kept aside beside `file`, with their bytes, oldest name first.
std::vector<std::pair<fs::path, std::string>> copies_beside(const fs::path& file) {
  std::vector<std::pair<fs::path, std::string>> found;
  for (const auto& entry : fs::directory_iterator(file.parent_path())) {
    if (!entry.path().filename().string().starts_with(file.filename().string() + ".unreadable-")) {
      continue;
    }
    std::ifstream in(entry.path(), std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    found.emplace_back(entry.path(), text.str());
  }
  std::ranges::sort(found);
  return found;
}

mode_t mode_of(const fs::path& path) {
  struct stat st {};
  EXPECT_EQ(::stat(path.c_str(), &st), 0);
  return st.st_mode & 07777;
}

// A document that reads as no document is never lost to a change: its bytes
// go aside into a private copy that a warning names, and the change is saved
// into a fresh document.
TEST_F(PrefsDocumentTest, UnreadableDocumentIsKeptAsideAndTheChangeSaved) {
  const struct {
    const char* name;
    std::string text;
    const char* reason;
  } cases[] = {
      {"cut off", R"({"version":1,"appearance":{"theme":"Nor)", "the document is not JSON"},
      {"not UTF-8", "{\"a\":\"caf\xe9\"}", "the document is not UTF-8 text"},
      {"too deep", R"({"other":)" + nested(100000) + "}",
       "the document nests deeper than 128 levels"},
      {"not an object", "[1,2]", "the document is not a JSON object"},
  };
  const struct {
    const char* name;
    std::function<kalu_ui::Status()> write;
    const char* saved;
  } writers[] = {
      {"update",
       [] {
         return prefs_store::update_section("s", Json{{"k", 1}});
       },
       "{\n  \"s\": {\n    \"k\": 1\n  }\n}"},
      {"replace", [] { return prefs_store::replace_section("s", Json::array({2})); },
       "{\n  \"s\": [\n    2\n  ]\n}"},
  };
  for (const auto& c : cases) {
    for (const auto& writer : writers) {
      SCOPED_TRACE(std::string(c.name) + ", " + writer.name);
      fs::remove_all(path_.parent_path());
      put(c.text);
      kalu_ui::log::ScopedCapture capture;
      auto written = writer.write();
      ASSERT_TRUE(written) << written.error();
      EXPECT_EQ(read(), writer.saved);
      const auto copies = copies_beside(path_);
      ASSERT_EQ(copies.size(), 1u);
      EXPECT_EQ(copies[0].second, c.text);
      EXPECT_EQ(mode_of(copies[0].first), 0600u);
      const auto events = capture.events();
      const auto told = std::ranges::find_if(
          events, [](const kalu_ui::log::Event& e) { return e.field("copy") != nullptr; });
      ASSERT_NE(told, events.end());
      EXPECT_EQ(*told->field("copy"), copies[0].first.string());
      EXPECT_TRUE(told->field("error")->starts_with(c.reason)) << *told->field("error");
    }
  }

  // A later copy never replaces an earlier one.
  fs::remove_all(path_.parent_path());
  put("{first");
  ASSERT_TRUE(prefs_store::update_section("s", Json{{"k", 1}}));
  put("{second");
  ASSERT_TRUE(prefs_store::update_section("s", Json{{"k", 2}}));
  const auto both = copies_beside(path_);
  ASSERT_EQ(both.size(), 2u);
  EXPECT_TRUE((both[0].second == "{first" && both[1].second == "{second") ||
              (both[0].second == "{second" && both[1].second == "{first"));
  // The process remembers each copy, so the window can name it.
  const auto remembered = prefs_store::kept_aside();
  ASSERT_GE(remembered.size(), 2u);
  EXPECT_EQ(remembered.back().document, path_);
  EXPECT_TRUE(remembered.back().copy == both[0].first || remembered.back().copy == both[1].first);
  EXPECT_TRUE(remembered.back().reason.starts_with("the document is not JSON"));
}

// A settings document linked in from elsewhere (dotfiles) stays a link: the
// change goes to the file it leads to, when that file reads as a document.
TEST_F(PrefsDocumentTest, ALinkedDocumentStaysALink) {
  const fs::path target = root_ / "dotfiles" / "settings.json";
  fs::create_directories(target.parent_path());
  fs::create_directories(path_.parent_path());
  std::ofstream(target) << R"({"keep":1})";
  fs::create_symlink("../dotfiles/settings.json", path_);

  ASSERT_TRUE(prefs_store::update_section("s", Json{{"k", 1}}));
  EXPECT_TRUE(fs::is_symlink(path_));
  EXPECT_EQ(read(), "{\n  \"keep\": 1,\n  \"s\": {\n    \"k\": 1\n  }\n}");
  EXPECT_EQ(prefs_store::load_section("s"), Json({{"k", 1}}));

  // A link to a file that is no document (a system file, say) is never
  // rewritten, nor copied beside its target.
  std::ofstream(target, std::ios::trunc) << "root:x:0:0";
  auto refused = prefs_store::update_section("s", Json{{"k", 2}});
  ASSERT_FALSE(refused);
  EXPECT_EQ(refused.error(), path_.string() + " is a link to " + fs::canonical(target).string() +
                                 ", which holds no document this program can edit (the document "
                                 "is not JSON (it goes wrong at byte 1)); it was left as it is");
  EXPECT_TRUE(fs::is_symlink(path_));
  EXPECT_EQ(read(), "root:x:0:0");
  EXPECT_TRUE(copies_beside(target).empty());
  EXPECT_TRUE(copies_beside(path_).empty());
}

// A FIFO in the document's place would hold a reader for good, and a huge
// file would be read and parsed for every request: both are refused before
// a byte is read, and a change leaves them as they are.
TEST_F(PrefsDocumentTest, OnlyARegularFileIsReadAndOnlyUpToItsBound) {
  fs::create_directories(path_.parent_path());
  ASSERT_EQ(::mkfifo(path_.c_str(), 0600), 0);
  const std::string fifo = "settings document could not be read: not a regular file (a FIFO)";
  EXPECT_EQ(prefs_store::read_settings_document().error(), fifo);
  EXPECT_EQ(prefs_store::load_section("s").error(), fifo);
  EXPECT_EQ(prefs_store::update_section("s", Json{{"k", 1}}).error(), fifo);
  struct stat st {};
  ASSERT_EQ(::lstat(path_.c_str(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));

  fs::remove(path_);
  std::ofstream(path_) << "{}";
  fs::resize_file(path_, 64u << 20);  // sparse: no 64 MiB written
  const std::string huge = "settings document could not be read: larger than 16777216 bytes";
  EXPECT_EQ(prefs_store::read_settings_document().error(), huge);
  EXPECT_EQ(prefs_store::update_section("s", Json{{"k", 1}}).error(), huge);
  EXPECT_EQ(fs::file_size(path_), 64u << 20);
}

// Readers share one text while the file stays as it is; a file just written
// is read again, so a change within the clock's tick is never missed.
TEST_F(PrefsDocumentTest, TheCacheAnswersOneTextUntilTheFileChanges) {
  put(R"({"a":1})");
  EXPECT_EQ(*prefs_store::read_settings_document()->text, R"({"a":1})");
  put(R"({"a":2})");  // same size, same inode, the same second
  EXPECT_EQ(*prefs_store::read_settings_document()->text, R"({"a":2})");

  const timespec long_ago[2] = {{1000000000, 0}, {1000000000, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, path_.c_str(), long_ago, 0), 0);
  auto first = prefs_store::read_settings_document();
  auto second = prefs_store::read_settings_document();
  EXPECT_EQ(first->text.get(), second->text.get());

  ASSERT_TRUE(prefs_store::update_section("s", Json{{"k", 1}}));
  auto written = prefs_store::read_settings_document();
  EXPECT_NE(written->text.get(), first->text.get());
  EXPECT_NE(written->text->find("\"s\""), std::string::npos);
  EXPECT_EQ(prefs_store::read_settings_document()->unreadable, std::nullopt);
}

TEST(PrefsUnreadable, SaysWhyATextIsNoDocument) {
  const struct {
    std::string text;
    std::optional<std::string> reason;
  } cases[] = {
      {"", std::nullopt},
      {" \n\t", std::nullopt},
      {R"( {"a":[1,{"b":null}]} )", std::nullopt},
      {"\xEF\xBB\xBF{}", std::nullopt},
      {"{\"a\":", "the document is not JSON (it goes wrong at byte 6)"},
      {"{} {}", "the document is not JSON (it goes wrong at byte 4)"},
      {"\"text\"", "the document is not a JSON object"},
      {"null", "the document is not a JSON object"},
      {"{\"a\":\"\xC3\"}", "the document is not UTF-8 text"},
      {nested(129), "the document nests deeper than 128 levels"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(prefs_store::unreadable_reason(c.text), c.reason) << c.text;
  }
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
