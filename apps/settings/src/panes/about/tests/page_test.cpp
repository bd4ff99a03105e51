#include "panes/about/page.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "kalu_ui/harness.h"
#include "kalu_ui/widget/button.h"
#include "kalu_ui/widget/card.h"
#include "kalu_ui/widget/text.h"

namespace settings::panes::about {
namespace {

namespace w = kalu_ui::widget;
using kalu_ui::Widget;
using ::testing::ElementsAre;

// Card titles and texts in tree order.
void collect_texts(const Widget& widget, std::vector<std::string>& out) {
  if (const auto* text = dynamic_cast<const w::Text*>(&widget)) out.push_back(text->text());
  if (const auto* card = dynamic_cast<const w::Card*>(&widget)) {
    if (!card->title().empty()) out.push_back(card->title());
  }
  if (const auto* button = dynamic_cast<const w::Button*>(&widget)) out.push_back(button->label());
  for (const Widget* child : widget.children()) collect_texts(*child, out);
}

SystemSummary fixture() {
  SystemSummary s;
  s.os_name = "Kalu OS 42 (Workstation)";
  s.kernel_release = "6.12.9-200.fc41.x86_64";
  s.uptime = "1d 1h 1m";
  s.host_name = "studio";
  s.architecture = "x86_64";
  s.processor_model = "Example CPU @ 3.00GHz";
  s.memory_total = "15.6 GiB";
  return s;
}

kalu_ui::harness::Options window() { return kalu_ui::harness::Options::sized({900.0, 900.0}); }

TEST(AboutPage, FiveCardsInOrder) {
  SystemSummary s = fixture();
  s.identity_name = "Ada Lovelace";
  s.identity_key = std::array<std::uint8_t, 32>{0x12, 0x34, 0x56, 0x78, 0x9a, 0xbc, 0xde, 0xf0};
  kalu_ui::harness::Harness harness(build_page(s), window());
  harness.frame();
  std::vector<std::string> texts;
  collect_texts(harness.root(), texts);
  EXPECT_THAT(
      texts, ElementsAre(
                 "studio", "Kalu OS 42 (Workstation)", "Workspace identity", "Person",
                 "Ada Lovelace", "Identity", "1234\u00b75678\u00b79abc\u00b7def0",
                 "This is the identity selected for the current workspace. Apps receive its "
                 "public profile; private signing material stays outside the sandbox.",
                 "Identity backup",
                 "Create an encrypted portable copy of your identity. Kalu asks for a "
                 "passphrase, lets you choose where to save it, and verifies the copy before "
                 "confirming success.",
                 "Create encrypted backup\u2026", "System", "OS", "Kalu OS 42 (Workstation)",
                 "Kernel", "6.12.9-200.fc41.x86_64", "Architecture", "x86_64", "Uptime", "1d 1h 1m",
                 "Hardware", "Processor", "Example CPU @ 3.00GHz", "Memory", "15.6 GiB"));
  EXPECT_TRUE(
      harness.render_png(std::string(SETTINGS_PANES_ABOUT_ARTIFACTS) + "/about_identity.png")
          .has_value());
}

TEST(AboutPage, WithoutAnIdentity) {
  kalu_ui::harness::Harness harness(build_page(fixture()), window());
  harness.frame();
  std::vector<std::string> texts;
  collect_texts(harness.root(), texts);
  auto person = std::find(texts.begin(), texts.end(), "Person");
  ASSERT_NE(person, texts.end());
  EXPECT_EQ(*(person + 1), "Not connected");
  EXPECT_EQ(*(person + 3), identity_code(fixture()));
  EXPECT_TRUE(
      harness.render_png(std::string(SETTINGS_PANES_ABOUT_ARTIFACTS) + "/about_no_identity.png")
          .has_value());
}

TEST(AboutPage, TheBackupButtonIsAFixedControlInvocation) {
  kalu_ui::harness::Harness harness(build_page(fixture()), window());
  harness.frame();
  auto rect = harness.rect_of(kBackupButtonId);
  ASSERT_TRUE(rect);
  EXPECT_DOUBLE_EQ(rect->width(), 236.0);
  EXPECT_DOUBLE_EQ(rect->height(), 40.0);
  ASSERT_TRUE(harness.click_id(kBackupButtonId));
  const auto replayed = harness.take_replayed();
  ASSERT_EQ(replayed.size(), 1u);
  EXPECT_EQ(replayed[0].invocation.resource_id, "kalu.control:about.identity-backup.button");
  EXPECT_EQ(replayed[0].invocation.action, "invoke");
  EXPECT_FALSE(harness.root().take_control_invocation());
}

// The page of this machine builds whatever it finds.
TEST(AboutPage, BuildsForThisMachine) {
  kalu_ui::harness::Harness harness(build_page(), window());
  harness.frame();
  EXPECT_TRUE(harness.rect_of(kBackupButtonId));
}

}  // namespace
}  // namespace settings::panes::about
