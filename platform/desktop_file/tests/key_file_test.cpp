#include "desktop_file/key_file.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

namespace {

using desktop_file::KeyFile;

TEST(KeyFile, ReadsValuesWithEscapesListsAndBooleans) {
  const KeyFile file = KeyFile::parse(
      "# comment\n"
      "[Desktop Entry]\r\n"
      "Name = Text\\sEditor\\\\x \r\n"
      "Name[de]=Texteditor\n"
      "Name=second copy is ignored\n"
      "MimeType=text/plain;text/x-a\\;b;;x-scheme-handler/https;\n"
      "NoDisplay=true\n"
      "Hidden=True\n"
      "  \n"
      "[Other]\n"
      "Name=other group\n");
  EXPECT_EQ(file.first_malformed_line(), std::nullopt);
  EXPECT_EQ(file.string("Desktop Entry", "Name"), "Text Editor\\x ");
  EXPECT_EQ(file.string("Desktop Entry", "Name[de]"), "Texteditor");
  EXPECT_EQ(file.string("Other", "Name"), "other group");
  EXPECT_EQ(file.list("Desktop Entry", "MimeType"),
            (std::vector<std::string>{"text/plain", "text/x-a;b", "", "x-scheme-handler/https"}));
  EXPECT_EQ(file.boolean("Desktop Entry", "NoDisplay"), true);
  EXPECT_EQ(file.boolean("Desktop Entry", "Hidden"), std::nullopt);  // only "true"/"false"
  EXPECT_EQ(file.string("Desktop Entry", "Exec"), std::nullopt);
  EXPECT_TRUE(file.list("Nope", "MimeType").empty());
  // Bytes that are not UTF-8 read as U+FFFD.
  EXPECT_EQ(KeyFile::parse("[G]\nK=a\xff"
                           "b\n")
                .string("G", "K"),
            "a\xEF\xBF\xBD"
            "b");
}

TEST(KeyFile, FindsTheFirstMalformedLine) {
  struct Case {
    const char* text;
    std::optional<std::size_t> line;
  };
  const Case cases[] = {
      {"Key=before any group\n[G]\n", 1},
      {"[G]\nno equals sign\n", 2},
      {"[G]\n=no key\n", 2},
      {"[G]\nBad Key=x\n", 2},
      {"[G]\nKey[de=x\n", 2},
      {"[G\n", 1},
      {"[]\n", 1},
      {"[G]\n# fine\n\nKey[de_DE@euro]=x\nKey=a=b\nx-a/b+c.d=e\n", std::nullopt},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(KeyFile::parse(c.text).first_malformed_line(), c.line) << c.text;
  }
}

TEST(KeyFile, EditsOnlyTheKeysItSets) {
  const std::string original =
      "# kept\n"
      "[Added Associations]\n"
      "text/plain=a.desktop;\n"
      "junk line kept as it is\n"
      "[Default Applications]\n"
      "text/html=old.desktop\n"
      "image/png=viewer.desktop\n"
      "# trailing comment of the group\n"
      "\n"
      "[Removed Associations]\n"
      "text/plain=b.desktop";  // no final newline
  KeyFile file = KeyFile::parse(original);
  EXPECT_EQ(file.text(), original);

  file.set_raw("Default Applications", "text/html", "new.desktop");
  file.set_raw("Default Applications", "text/markdown", "md.desktop");
  EXPECT_EQ(file.text(),
            "# kept\n"
            "[Added Associations]\n"
            "text/plain=a.desktop;\n"
            "junk line kept as it is\n"
            "[Default Applications]\n"
            "text/html=new.desktop\n"
            "image/png=viewer.desktop\n"
            "text/markdown=md.desktop\n"
            "# trailing comment of the group\n"
            "\n"
            "[Removed Associations]\n"
            "text/plain=b.desktop");

  KeyFile empty = KeyFile::parse("");
  empty.set_raw("Default Applications", "text/plain", "a.desktop");
  EXPECT_EQ(empty.text(), "[Default Applications]\ntext/plain=a.desktop\n");
  KeyFile other = KeyFile::parse("[Added Associations]\nx/y=z.desktop");
  other.set_raw("Default Applications", "text/plain", "a.desktop");
  EXPECT_EQ(
      other.text(),
      "[Added Associations]\nx/y=z.desktop\n\n[Default Applications]\ntext/plain=a.desktop\n");
  EXPECT_EQ(KeyFile::parse(other.text()).string("Default Applications", "text/plain"), "a.desktop");
}

TEST(ReadSmallFile, RefusesWhatIsNoSmallRegularFile) {
  char tmpl[] = "/tmp/desktop_file_test.XXXXXX";
  const std::filesystem::path dir = ::mkdtemp(tmpl);
  std::ofstream(dir / "small") << "12345";
  ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);

  EXPECT_EQ(desktop_file::read_small_file(dir / "small", 5).value(), "12345");
  EXPECT_EQ(desktop_file::read_small_file(dir / "missing", 5).value(), std::nullopt);
  EXPECT_FALSE(desktop_file::read_small_file(dir / "small", 4).has_value());
  EXPECT_FALSE(desktop_file::read_small_file(dir / "fifo", 5).has_value());  // and does not wait
  EXPECT_FALSE(desktop_file::read_small_file(dir, 5).has_value());
  std::filesystem::remove_all(dir);
}

}  // namespace
