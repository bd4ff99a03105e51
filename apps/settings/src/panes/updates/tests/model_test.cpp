#include "panes/updates/model.h"

#include <gtest/gtest.h>

#include <string>

namespace settings::panes::updates {
namespace {

TEST(DecodeCommandOutput, KeepsTabsAndLinesDropsOtherControlsCapsAndTrims) {
  struct Case {
    std::string bytes;
    std::string decoded;
  };
  const std::string bell_run(600, '\a');
  for (const Case& c : {
           Case{"  Failed to start unit.\n\n", "Failed to start unit."},
           Case{"a\tb\nc\r\x1b[31md\x7f", "a\tb\nc[31md"},
           Case{"bad \xff\xfe byte", "bad \xEF\xBF\xBD\xEF\xBF\xBD byte"},
           Case{"\xC2\x85next-line \xC2\xA0kept", "next-line \xC2\xA0kept"},
           // Dropped characters do not count towards the 512 kept.
           Case{bell_run + std::string(600, 'x'), std::string(512, 'x')},
           Case{std::string(3, ' ') + std::string(510, 'y') + "   tail", std::string(509, 'y')},
           Case{"", ""},
       }) {
    EXPECT_EQ(decode_command_output(c.bytes), c.decoded) << c.bytes.substr(0, 40);
  }
}

TEST(JournalLines, SanitisesEachLineAndSkipsBlanksAndTheEmptyListingNote) {
  EXPECT_TRUE(journal_lines("-- No entries --\n").empty());
  EXPECT_TRUE(journal_lines("-- No entries --\n\n \t \n").empty());
  auto lines = journal_lines(
      "2024-05-01T10:00:00+0000 host bootc[1]: Fetching\tlayers\r\n"
      "   \n"
      "2024-05-01T10:01:00+0000 host bootc[1]: Staged \xe2\x9c\x93\n");
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], "2024-05-01T10:00:00+0000 host bootc[1]: Fetchinglayers");
  EXPECT_EQ(lines[1], "2024-05-01T10:01:00+0000 host bootc[1]: Staged \xe2\x9c\x93");
  // 220 characters are kept after the controls are gone; the line is not trimmed.
  std::string long_line = "  " + std::string(50, '\x01') + std::string(300, 'j');
  ASSERT_EQ(journal_lines(long_line).size(), 1u);
  EXPECT_EQ(journal_lines(long_line)[0], "  " + std::string(218, 'j'));
  EXPECT_EQ(sanitize_journal_line("\xce\xbb\xc2\x9b" + std::string(230, 'z')).size(), 2u + 219u);
}

TEST(UpdatePolicy, ValuesAreComparedExactlyAfterTrimmingAndTheLastLineWins) {
  struct Case {
    const char* text;
    const char* schedule;
    MeteredDownloads metered;
  };
  for (const Case& c : {
           Case{"schedule = weekly\n", "Weekly", MeteredDownloads::NotAllowed},
           Case{"  schedule\t=\tdaily  \r\nmetered=allow", "Daily", MeteredDownloads::Allowed},
           Case{"schedule=WEEKLY\nmetered=ALLOW\n", "System schedule",
                MeteredDownloads::NotAllowed},
           Case{"metered=allow\nmetered=avoid\n", "System schedule", MeteredDownloads::NotAllowed},
           Case{"schedule=daily\nschedule=hourly\n", "System schedule",
                MeteredDownloads::NotAllowed},
           Case{"# schedule weekly\nschedule weekly\n", "System schedule",
                MeteredDownloads::NotAllowed},
           Case{"", "System schedule", MeteredDownloads::NotAllowed},
       }) {
    UpdatePolicy policy = parse_update_policy(c.text);
    EXPECT_EQ(schedule_label(policy), c.schedule) << c.text;
    EXPECT_EQ(metered_downloads(policy), c.metered) << c.text;
  }
  UpdatePolicy split = parse_update_policy("note = a=b \nschedule=weekly");
  EXPECT_EQ(split.at("note"), "a=b");
  EXPECT_EQ(split.size(), 2u);
  // A file that is not text is no policy at all, not half of one.
  EXPECT_TRUE(parse_update_policy("schedule=weekly\nmetered=allow\xff\n").empty());
}

TEST(UpdatePolicy, OnlyTheFiveActionsAndThreeLabelsAreAccepted) {
  EXPECT_EQ(schedule_action("System schedule"), "schedule-system");
  EXPECT_EQ(schedule_action("Daily"), "schedule-daily");
  EXPECT_EQ(schedule_action("Weekly"), "schedule-weekly");
  for (const char* label : {"weekly", "Hourly", "", "Weekly "}) {
    EXPECT_FALSE(schedule_action(label)) << label;
  }
  for (const char* action :
       {"schedule-system", "schedule-daily", "schedule-weekly", "metered-allow", "metered-avoid"}) {
    EXPECT_TRUE(is_policy_action(action)) << action;
  }
  for (const char* action : {"schedule-hourly", "metered-allow ", "metered-allow;reboot",
                             "../metered-allow", "", "schedule-daily\n"}) {
    EXPECT_FALSE(is_policy_action(action)) << action;
  }
}

TEST(TimerState, OnlyEnabledAndDisabledAreKnown) {
  struct Case {
    const char* output;
    AutomaticUpdates state;
  };
  for (const Case& c : {
           Case{"enabled\n", AutomaticUpdates::Enabled},
           Case{" enabled-runtime \n", AutomaticUpdates::Enabled},
           Case{"disabled\n", AutomaticUpdates::Disabled},
           Case{"masked\n", AutomaticUpdates::Unknown},
           Case{"static\n", AutomaticUpdates::Unknown},
           Case{"Enabled\n", AutomaticUpdates::Unknown},
           Case{"", AutomaticUpdates::Unknown},
       }) {
    EXPECT_EQ(timer_state(c.output), c.state) << c.output;
  }
}

TEST(OsName, TakesTheFirstNonEmptyPrettyNameWithoutItsQuotes) {
  struct Case {
    const char* release;
    const char* name;
  };
  for (const Case& c : {
           Case{"NAME=Kalu\nPRETTY_NAME=\"Kalu 42 (Workstation)\"\n", "Kalu 42 (Workstation)"},
           Case{"  PRETTY_NAME='Kalu Single'  \n", "Kalu Single"},
           Case{"PRETTY_NAME=\"\"\nPRETTY_NAME=Second\nPRETTY_NAME=Third\n", "Second"},
           Case{"PRETTY_NAME=\"'both'\"\n", "both"},
           Case{"NAME=Kalu\n", "Kalu (Fedora bootc)"},
           Case{"PRETTY_NAME=\"\xff\"\n", "Kalu (Fedora bootc)"},
       }) {
    EXPECT_EQ(os_name_from_release(c.release), c.name) << c.release;
  }
}

TEST(BootcStatus, StagedUpdateAndRollbackImageFromTheDocument) {
  struct Case {
    const char* document;
    std::optional<std::string> staged;
    std::optional<std::string> rollback;
  };
  const std::optional<std::string> none;
  for (
      const Case& c : {
          Case{R"({"status":{"staged":null,"rollback":null}})", none, none},
          Case{R"({"status":{}})", none, none},
          Case{R"({"status":{"staged":{},"rollback":{}}})", "Update staged for next boot",
               "the previous image"},
          Case{R"({"status":{"staged":{"version":"42.20240501",
                  "image":{"image":{"image":"quay.io/kalu/os:42"}}}}})",
               "42.20240501", none},
          Case{
              R"({"status":{"staged":{"version":7,"image":{"image":{"image":"quay.io/kalu/os:43"}}},
                  "rollback":{"image":{"version":"41.1","image":{"image":"quay.io/kalu/os:41"}}}}})",
              "quay.io/kalu/os:43", "quay.io/kalu/os:41"},
          Case{R"({"status":{"rollback":{"image":{"version":"41.1","image":{"image":null}}}}})",
               none, "41.1"},
          Case{R"({"status":{"staged":"yes","rollback":["x"]}})", "Update staged for next boot",
               "the previous image"},
          Case{R"({"status":null})", none, none},
          Case{"[1, 2]", none, none},
          Case{R"({"status":{"staged":{}})", none, none},
          Case{"", none, none},
      }) {
    EXPECT_EQ(staged_update_from_status(c.document), c.staged) << c.document;
    EXPECT_EQ(rollback_image_from_status(c.document), c.rollback) << c.document;
  }
}

TEST(ReleaseNotes, FirstHttpsAddressDepthFirstKeysInOrder) {
  struct Case {
    const char* document;
    std::optional<std::string> url;
  };
  for (const Case& c : {
           // A plain http address is skipped for the next key, then for nested objects.
           Case{R"({"org.opencontainers.image.url":"http://kalu.example/notes",
                    "labels":{"releaseNotes":"https://kalu.example/42"}})",
                "https://kalu.example/42"},
           Case{R"({"org.opencontainers.image.url":"http://a.example",
                    "org.opencontainers.image.source":"https://src.example",
                    "inner":{"documentation":"https://deeper.example"}})",
                "https://src.example"},
           // Keys are tried in their fixed order, not the document's.
           Case{R"({"releaseNotes":"https://notes.example",
                    "org.opencontainers.image.documentation":"https://docs.example"})",
                "https://docs.example"},
           // Depth first: the first member's subtree before the second member.
           Case{R"({"a":{"b":{"documentation":"https://a-b.example"}},
                    "c":{"documentation":"https://c.example"}})",
                "https://a-b.example"},
           Case{R"([{"x":1},[{"releaseNotes":"https://in-array.example"}]])",
                "https://in-array.example"},
           Case{R"({"documentation":"HTTPS://upper.example","releaseNotes":"ftp://x",
                    "org.opencontainers.image.url":"https:/one-slash","d":"https://not-a-key"})",
                std::nullopt},
           Case{R"({"documentation":42,"releaseNotes":"https://after-a-number.example"})",
                "https://after-a-number.example"},
           Case{"not json", std::nullopt},
       }) {
    EXPECT_EQ(release_notes_url(c.document), c.url) << c.document;
  }
  std::string at_limit = "https://" + std::string(504, 'a');
  std::string over = at_limit + "b";
  EXPECT_EQ(release_notes_url(R"({"documentation":")" + at_limit + "\"}"), at_limit);
  EXPECT_EQ(release_notes_url(R"({"documentation":")" + over +
                              R"(","x":{"releaseNotes":"https://short"}})"),
            "https://short");
}

TEST(ReleaseNotes, ADeeplyNestedDocumentIsSearchedWithoutExhaustingTheStack) {
  constexpr int kDepth = 200'000;
  std::string document =
      std::string(kDepth, '[') + R"({"releaseNotes":"https://bottom"})" + std::string(kDepth, ']');
  EXPECT_EQ(release_notes_url(document), "https://bottom");
}

TEST(RollbackProtection, FourTexts) {
  const std::optional<std::string> image = "quay.io/kalu/os:41";
  EXPECT_EQ(rollback_protection_text(true, image),
            "Protected · fallback available: quay.io/kalu/os:41");
  EXPECT_EQ(rollback_protection_text(true, std::nullopt),
            "Boot confirmation active · no previous image retained yet");
  EXPECT_EQ(rollback_protection_text(false, image),
            "Fallback available (quay.io/kalu/os:41); automatic confirmation not reported");
  EXPECT_EQ(rollback_protection_text(false, std::nullopt),
            "Rollback protection state is not reported");
}

}  // namespace
}  // namespace settings::panes::updates
