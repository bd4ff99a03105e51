#include "lib/journal.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "lib/time.h"

namespace settings::lib {
namespace {

std::vector<std::string> kept_lines(std::string_view text) {
  TextLines lines(text);
  std::vector<std::string> kept;
  while (auto line = next_journal_line(lines)) kept.push_back(*line);
  return kept;
}

std::string repeat(std::string_view piece, size_t times) {
  std::string out;
  for (size_t i = 0; i < times; ++i) out += piece;
  return out;
}

TEST(JournalLines, KeepsShownLinesCleanedAndCut) {
  struct Case {
    std::string text;
    std::vector<std::string> kept;
  };
  const std::vector<Case> cases = {
      {"-- No entries --\n\n", {}},
      {"", {}},
      {"\t   \n", {}},
      {"\x07\x1b\n", {}},  // only control characters
      {"boot ok -- No entries -- here\nnext", {"next"}},
      {repeat("a", 300), {repeat("a", 220)}},
      {repeat("é", 300) + "\n", {repeat("é", 220)}},  // characters, not bytes
      // 220 counted before dropping: the tab takes one of them.
      {"\t" + repeat("b", 300), {repeat("b", 219)}},
      {"one\r\ntwo\n\nthree\r", {"one", "two", "three"}},
      {"x\x01y\x7fz\u0085w\u00a0v", {"xyzw\u00a0v"}},
      {"bad \xff\xfe byte", {"bad \uFFFD\uFFFD byte"}},
      {"\u00a0\u3000\n", {}},  // Unicode white space is blank too
  };
  for (const Case& c : cases) {
    EXPECT_EQ(kept_lines(c.text), c.kept) << c.text;
  }
}

TEST(JournalLines, ContinuesFromTheLastKeptLine) {
  TextLines lines("first\n\nsecond\n-- No entries --\nthird\n");
  EXPECT_EQ(next_journal_line(lines), "first");
  EXPECT_EQ(next_journal_line(lines), "second");
  EXPECT_EQ(next_journal_line(lines), "third");
  EXPECT_EQ(next_journal_line(lines), std::nullopt);
  EXPECT_EQ(next_journal_line(lines), std::nullopt);
}

TEST(UnixNowSecs, DropsFractionsAndNeverGoesBelowZero) {
  using namespace std::chrono;
  system_clock::time_point epoch{};
  EXPECT_EQ(unix_secs_at(epoch + milliseconds(900)), 0u);
  EXPECT_EQ(unix_secs_at(epoch + seconds(1'700'000'000) + milliseconds(999)), 1'700'000'000u);
  EXPECT_EQ(unix_secs_at(epoch - milliseconds(1)), 0u);
  EXPECT_EQ(unix_secs_at(epoch - hours(24)), 0u);
  auto now = unix_now_secs();
  EXPECT_NEAR(
      static_cast<double>(now),
      static_cast<double>(duration_cast<seconds>(system_clock::now().time_since_epoch()).count()),
      2.0);
}

}  // namespace
}  // namespace settings::lib
