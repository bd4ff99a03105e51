// The Notifications pane's words beside the registry: the quiet-hours and
// mute tables, the valid ids, and the application list over fixture
// application folders.

#include "vocabulary/notification_apps.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace settings::panes::notifications {
namespace {

using ::testing::ElementsAre;

TEST(NotificationWordsTest, TimeLabelsTakeTheNearestEntryWithoutWrapping) {
  struct Case {
    std::uint32_t minute;
    std::string_view label;
  };
  for (const Case& c : {Case{1260, "20:00"},  // a tie with 22:00: the earlier entry
                        Case{1290, "22:00"}, Case{120, "00:00"}, Case{1439, "23:00"},
                        Case{2000, "23:00"},  // capped at 23:59
                        Case{420, "07:00"}, Case{0, "00:00"}, Case{700, "09:00"}}) {
    EXPECT_EQ(focus_time_label(c.minute), c.label) << c.minute;
  }
  EXPECT_EQ(parse_focus_time("07:00"), 420);
  EXPECT_EQ(parse_focus_time("07:30"), std::nullopt);
}

TEST(NotificationWordsTest, DayMasksOutsideTheTableShowEveryDay) {
  EXPECT_EQ(focus_days_label(31), "Weekdays");
  EXPECT_EQ(focus_days_label(96), "Weekends");
  EXPECT_EQ(focus_days_label(0), "Every day");
  EXPECT_EQ(focus_days_label(127), "Every day");
  EXPECT_EQ(parse_focus_days("Weekends"), 96);
  EXPECT_EQ(parse_focus_days("weekends"), std::nullopt);
}

TEST(NotificationWordsTest, MuteLabelsCountDownToNotMuted) {
  const std::int64_t t = 1'700'000'000;
  const std::int64_t until = t + 28800;  // "For 8 hours" chosen at t
  struct Case {
    std::int64_t now;
    std::string_view label;
  };
  for (const Case& c :
       {Case{t, "For 8 hours"}, Case{t + 3600, "For 8 hours"}, Case{t + 25200, "For 1 hour"},
        Case{t + 25300, "For 1 hour"}, Case{t + 28799, "For 1 hour"}, Case{t + 28800, "Not muted"},
        Case{t + 99999, "Not muted"}}) {
    EXPECT_EQ(mute_label(until, c.now), c.label) << c.now - t;
  }
  EXPECT_EQ(mute_label(std::nullopt, t), "Not muted");
  EXPECT_EQ(mute_label(t + 86401, t), "For 24 hours");
  // Far apart: no overflow, the longest label.
  EXPECT_EQ(mute_label(std::numeric_limits<std::int64_t>::max(), -2), "For 24 hours");
  EXPECT_EQ(parse_mute("For 24 hours"), 86400);
  EXPECT_EQ(parse_mute("Not muted"), 0);
  EXPECT_EQ(parse_mute("for ever"), std::nullopt);
}

TEST(NotificationWordsTest, ValidAppIds) {
  for (std::string_view id : {"org.example.Mail", "a", "x_y-z.1"}) EXPECT_TRUE(valid_app_id(id));
  EXPECT_TRUE(valid_app_id(std::string(160, 'a')));
  for (std::string id : {std::string(), std::string(161, 'a'), std::string("my app"),
                         std::string("a/b"), std::string("caf\xc3\xa9"), std::string("a\nb")}) {
    EXPECT_FALSE(valid_app_id(id)) << id;
  }
}

class AppFolders : public ::testing::Test {
 protected:
  AppFolders() {
    char pattern[] = "/tmp/notification_apps_test.XXXXXX";
    if (const char* made = ::mkdtemp(pattern)) root_ = made;
    std::filesystem::create_directories(root_ / "applications");
  }
  ~AppFolders() override {
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
  }
  void entry(std::string_view desktop_id, std::string_view body) {
    std::ofstream(root_ / "applications" / desktop_id) << "[Desktop Entry]\nType=Application\n"
                                                       << body;
  }
  desktop_file::ApplicationRoots roots() const {
    return desktop_file::ApplicationRoots::under({root_});
  }

  std::filesystem::path root_;
};

TEST_F(AppFolders, TheListJoinsProgramsShownEntriesAndStoredRules) {
  entry("org.example.Mail.desktop", "Name=Mail\nExec=mail %u\n");
  // No program and not shown: only a stored rule lists it.
  entry("org.example.Helper.desktop", "Name=Helper\nNoDisplay=true\nExec=helper\n");
  entry("org.example.Daemon.desktop", "Name=Daemon\nNoDisplay=true\n");
  // Shown without a program: the cache lists it.
  entry("org.example.Viewer.desktop", "Name=Viewer\n");
  // Two of one name: by id.
  entry("org.b.Chat.desktop", "Name=Chat\nExec=chat\n");
  entry("org.a.Chat.desktop", "Name=Chat\nExec=chat\n");
  entry("bad id.desktop", "Name=Spaced\nExec=spaced\n");
  stored::NotificationPrefs prefs;
  prefs.per_app["org.example.Helper"] = {};
  prefs.per_app["org.example.text-editor"] = {};  // removed since: a name from its id
  prefs.per_app["not valid"] = {};
  prefs.per_app[std::string(161, 'x')] = {};
  const auto apps = app_list(prefs, roots());
  EXPECT_THAT(apps, ElementsAre(NotificationApp{"org.a.Chat", "Chat"},
                                NotificationApp{"org.b.Chat", "Chat"},
                                NotificationApp{"org.example.Helper", "Helper"},
                                NotificationApp{"org.example.Mail", "Mail"},
                                NotificationApp{"org.example.text-editor", "Text Editor"},
                                NotificationApp{"org.example.Viewer", "Viewer"}));
}

TEST_F(AppFolders, NoFolderListsTheStoredRulesOnly) {
  stored::NotificationPrefs prefs;
  prefs.per_app["org.example.Mail"] = {};
  EXPECT_THAT(app_list(prefs, desktop_file::ApplicationRoots{}),
              ElementsAre(NotificationApp{"org.example.Mail", "Mail"}));
  EXPECT_TRUE(app_list({}, roots()).empty());
}

}  // namespace
}  // namespace settings::panes::notifications
