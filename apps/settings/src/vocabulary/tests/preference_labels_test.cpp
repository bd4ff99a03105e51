// The Appearance and Accessibility words the panes and the action surface
// share: value -> label at the boundaries, label -> value, and the two
// device facts (a speech engine on PATH, the on-screen keyboard among the
// installed applications).

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <limits>
#include <optional>
#include <string>

#include "vocabulary/accessibility_labels.h"
#include "vocabulary/app_candidates.h"
#include "vocabulary/appearance_labels.h"

namespace settings::panes {
namespace {

namespace fs = std::filesystem;
using stored::ColorFilter;
using stored::ReaderVoice;
using stored::SwitchKeyPair;

class ScopedVar {
 public:
  ScopedVar(const char* name, std::optional<std::string> value) : name_(name) {
    if (const char* old = std::getenv(name)) previous_ = old;
    if (value)
      ::setenv(name, value->c_str(), 1);
    else
      ::unsetenv(name);
  }
  ~ScopedVar() {
    if (previous_)
      ::setenv(name_, previous_->c_str(), 1);
    else
      ::unsetenv(name_);
  }

 private:
  const char* name_;
  std::optional<std::string> previous_;
};

TEST(PreferenceLabelsTest, ValuesReadAsTheNearestOrMatchingLabel) {
  EXPECT_EQ(appearance::text_size_label(0.85), "Small");
  EXPECT_EQ(appearance::text_size_label(0.9), "Small");
  EXPECT_EQ(appearance::text_size_label(1.2), "Large");
  EXPECT_EQ(appearance::text_size_label(9.0), "Larger");
  EXPECT_EQ(appearance::text_size_label(std::numeric_limits<double>::quiet_NaN()), "Default");
  EXPECT_EQ(appearance::text_scale_for_label("Larger"), 1.3);
  EXPECT_EQ(appearance::text_scale_for_label("larger"), std::nullopt);

  namespace a11y = accessibility;
  EXPECT_EQ(a11y::cursor_size_label(30), "Default");  // 24 and 36 as near: the earlier
  EXPECT_EQ(a11y::cursor_size_label(43), "Larger");
  EXPECT_EQ(a11y::cursor_size_label(0), "Default");
  EXPECT_EQ(a11y::cursor_size_label(4000000000u), "Largest");
  EXPECT_EQ(a11y::color_filter_label(ColorFilter::GrayscaleInverted), "Grayscale + inverted");
  EXPECT_EQ(a11y::color_filter_label(static_cast<ColorFilter>(9)), "Off");
  for (const auto& [zoom, label] : {std::pair<int, const char*>{0, "Off"},
                                    {1, "Off"},
                                    {2, "2\u00d7"},
                                    {3, "3\u00d7"},
                                    {4, "Off"}}) {
    EXPECT_EQ(a11y::magnifier_label(static_cast<std::uint8_t>(zoom)), label) << zoom;
  }
  EXPECT_EQ(a11y::switch_keys_label(SwitchKeyPair::Digits12), "1 / 2");
  for (const auto& [ms, label] : {std::pair<int, const char*>{0, "Manual"},
                                  {1000, "1 second"},
                                  {1500, "Manual"},
                                  {3000, "3 seconds"}}) {
    EXPECT_EQ(a11y::switch_scan_label(static_cast<std::uint16_t>(ms)), label) << ms;
  }
  for (const auto& [rate, label] : {std::pair<int, const char*>{75, "Slow"},
                                    {76, "Default"},
                                    {115, "Default"},
                                    {116, "Fast"},
                                    {160, "Fast"},
                                    {161, "Very fast"}}) {
    EXPECT_EQ(a11y::reader_rate_label(static_cast<std::uint16_t>(rate)), label) << rate;
  }
  EXPECT_EQ(a11y::reader_voice_label(ReaderVoice::EnglishGb), "English (UK)");
}

TEST(PreferenceLabelsTest, LabelsMapBackToValues) {
  namespace a11y = accessibility;
  for (const auto label : a11y::cursor_size_labels()) {
    EXPECT_EQ(a11y::cursor_size_label(*a11y::cursor_size_from_label(label)), label);
  }
  for (const auto label : a11y::color_filter_labels()) {
    EXPECT_EQ(a11y::color_filter_label(*a11y::color_filter_from_label(label)), label);
  }
  for (const auto label : a11y::switch_keys_labels()) {
    EXPECT_EQ(a11y::switch_keys_label(*a11y::switch_keys_from_label(label)), label);
  }
  for (const auto label : a11y::reader_voice_labels()) {
    EXPECT_EQ(a11y::reader_voice_label(*a11y::reader_voice_from_label(label)), label);
  }
  for (const auto label : a11y::switch_scan_labels()) {
    EXPECT_EQ(a11y::switch_scan_label(a11y::switch_scan_from_label(label)), label);
  }
  for (const auto label : a11y::reader_rate_labels()) {
    EXPECT_EQ(a11y::reader_rate_label(a11y::reader_rate_from_label(label)), label);
  }
  for (const auto label : a11y::magnifier_labels()) {
    EXPECT_EQ(a11y::magnifier_label(a11y::magnifier_from_label(label)), label);
  }
  // Texts that are no label: none where the pane keeps its value, the
  // default where every text maps.
  EXPECT_EQ(a11y::color_filter_from_label("Greyscale"), std::nullopt);
  EXPECT_EQ(a11y::switch_keys_from_label("Tab / Enter"), std::nullopt);
  EXPECT_EQ(a11y::reader_voice_from_label("Male"), std::nullopt);
  EXPECT_EQ(a11y::cursor_size_from_label(""), std::nullopt);
  EXPECT_EQ(a11y::reader_rate_from_label("Default"), 100);
  EXPECT_EQ(a11y::switch_scan_from_label("5 seconds"), 0);
  EXPECT_EQ(a11y::magnifier_from_label("4\u00d7"), 1);
}

class DeviceFactsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("kalu-pref-labels-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  void write(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path) << text;
  }

  fs::path dir_;
};

TEST_F(DeviceFactsTest, SpeechEngineIsARegularFileOnPath) {
  fs::create_directories(dir_ / "a" / "speech-dispatcher");  // a folder does not count
  write(dir_ / "b" / "espeak-ng", "");                       // not executable: still counts
  {
    ScopedVar path("PATH", (dir_ / "a").string() + "::" + (dir_ / "b").string());
    EXPECT_EQ(accessibility::speech_engine_name(), "eSpeak NG");
    write(dir_ / "b" / "speech-dispatcher", "");
    EXPECT_EQ(accessibility::speech_engine_name(), "Speech Dispatcher");
  }
  {
    ScopedVar path("PATH", (dir_ / "a").string());
    EXPECT_FALSE(accessibility::speech_engine_available());
  }
  {
    // Relative entries name the working directory, never an installed engine.
    const fs::path before = fs::current_path();
    fs::current_path(dir_);
    ScopedVar path("PATH", "b:./b");
    EXPECT_FALSE(accessibility::speech_engine_available());
    fs::current_path(before);
  }
  ScopedVar path("PATH", std::nullopt);
  EXPECT_FALSE(accessibility::speech_engine_available());
}

TEST_F(DeviceFactsTest, OnScreenKeyboardAndCandidatesFromTheInstalledEntries) {
  ScopedVar home("XDG_DATA_HOME", (dir_ / "home").string());
  ScopedVar dirs("XDG_DATA_DIRS", (dir_ / "system").string());
  const fs::path apps = dir_ / "home" / "applications";
  write(apps / "org.example.Editor.desktop",
        "[Desktop Entry]\nType=Application\nName=Editor\nExec=editor %f\n"
        "MimeType=text/plain;x-scheme-handler/HTTPS;not a type;\n");
  write(apps / "org.example.Helper.desktop",
        "[Desktop Entry]\nType=Application\nName=Helper\nExec=helper\nNoDisplay=true\n"
        "MimeType=text/plain;\n");
  // The keyboard's id, but not a service: not the on-screen keyboard.
  write(apps / "kalu.osk.desktop",
        "[Desktop Entry]\nType=Application\nName=Keyboard\nExec=osk\nX-Kalu-Kind=app\n");
  EXPECT_FALSE(accessibility::on_screen_keyboard_installed());

  const auto candidates = personal_apps::app_candidates();
  ASSERT_EQ(candidates.size(), 2u);  // the helper has no graphical program
  // By name: Editor before Keyboard.
  EXPECT_EQ(candidates[0].id, "org.example.Editor");
  EXPECT_EQ(candidates[0].name, "Editor");
  std::vector<std::string> keys;
  for (const auto& kind : personal_apps::resource_kinds(candidates)) keys.push_back(kind.key());
  EXPECT_EQ(keys, (std::vector<std::string>{"mime:text/plain", "scheme:https"}));

  write(apps / "kalu.osk.desktop",
        "[Desktop Entry]\nType=Application\nName=Keyboard\nExec=osk\nX-Kalu-Kind=service\n");
  EXPECT_TRUE(accessibility::on_screen_keyboard_installed());
}

}  // namespace
}  // namespace settings::panes
