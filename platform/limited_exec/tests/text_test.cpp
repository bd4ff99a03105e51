#include "limited_exec/text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace limited_exec {
namespace {

TEST(Text, LossyDecodingReplacesEachBrokenSequenceOnce) {
  struct Case {
    std::string bytes;
    std::string text;
  };
  const std::vector<Case> cases = {
      {"plain é ✓ 😀", "plain é ✓ 😀"},
      {"\xE2\x82", "\uFFFD"},                            // cut-off sequence: one replacement
      {"a\xF0\x9F\x98z", "a\uFFFDz"},                    // cut-off four-byte sequence
      {"\xED\xA0\x80", "\uFFFD\uFFFD\uFFFD"},            // a surrogate is not a character
      {"\xC0\x80", "\uFFFD\uFFFD"},                      // overlong
      {"\xF4\x90\x80\x80", "\uFFFD\uFFFD\uFFFD\uFFFD"},  // past U+10FFFF
      {"\xff", "\uFFFD"},
  };
  for (const Case& c : cases) EXPECT_EQ(decode_lossy(c.bytes), c.text) << c.bytes;
}

TEST(Text, ErrorTextIsCutInCharactersThenTrimmed) {
  EXPECT_EQ(command_error_text(""), "");
  EXPECT_EQ(command_error_text(" \n\t"), "");
  EXPECT_EQ(command_error_text("  permission denied\n"), "permission denied");
  std::string many_chars;
  for (int i = 0; i < 600; ++i) many_chars += "é";
  std::string expected;
  for (int i = 0; i < 510; ++i) expected += "é";
  // The leading white space counts towards the 512 before it is trimmed.
  EXPECT_EQ(command_error_text(" \n" + many_chars), expected);
  EXPECT_EQ(command_error_text("\u3000bad\xff\u00a0"), "bad\uFFFD");
}

TEST(Text, SplitLinesKeepsEmptyLinesButNoneAfterTheLastNewline) {
  using Lines = std::vector<std::string_view>;
  EXPECT_EQ(split_lines(""), Lines{});
  EXPECT_EQ(split_lines("a"), Lines{"a"});
  EXPECT_EQ(split_lines("a\n"), Lines{"a"});
  EXPECT_EQ(split_lines("a\n\nb\r\n"), (Lines{"a", "", "b\r"}));
  EXPECT_EQ(split_lines("\n"), Lines{""});
}

}  // namespace
}  // namespace limited_exec
