#include "kalu_ui/widget/qr.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "frame.h"

namespace kalu_ui::widget {
namespace {

TEST(QrTest, EmptyPayloadIsTheSmallestSymbol) {
  QrWidget code("");
  EXPECT_EQ(code.width(), 21);
  EXPECT_EQ(code.modules().size(), 21u * 21u);
  EXPECT_FALSE(code.error());
  // The top-left finder: a dark ring, a light ring, a dark 3x3 centre.
  const auto at = [&](int x, int y) { return code.modules()[std::size_t(y * 21 + x)]; };
  EXPECT_EQ(at(0, 0), 1);
  EXPECT_EQ(at(1, 1), 0);
  EXPECT_EQ(at(3, 3), 1);
  EXPECT_TRUE(std::all_of(code.modules().begin(), code.modules().end(),
                          [](std::uint8_t m) { return m <= 1; }));
}

TEST(QrTest, LevelIsMediumWithoutBoosting) {
  // Version 1 holds 14 bytes at level M (17 at L): one more byte needs
  // version 2. Boosting would have raised a short payload's level instead.
  struct Case {
    std::size_t bytes;
    int width;
  };
  for (const Case c : {Case{14, 21}, Case{15, 25}}) {
    QrWidget code(std::string(c.bytes, 'x'));
    EXPECT_EQ(code.width(), c.width) << c.bytes;
    EXPECT_EQ(code.error_correction(), QrWidget::ErrorCorrection::Medium);
  }
  // Digits are encoded in the numeric mode: 34 of them fit version 1 at M.
  EXPECT_EQ(QrWidget(std::string(34, '7')).width(), 21);
}

TEST(QrTest, DataModesAreMixedToFitTheSmallestSymbol) {
  // Each payload fits version 2 at M (224 data bits) only when its upper-case
  // or digit runs leave byte mode; in bytes alone it needs version 3.
  struct Case {
    std::string payload;
    int width;
  };
  for (const Case& c : {
           // "WIFI:T:WPA" alphanumeric, the rest bytes: 68 + 156 bits.
           Case{"WIFI:T:WPA;S:Home;P:secret;;", 25},
           // "abc" in bytes, 24 digits numeric: 36 + 94 bits.
           Case{"abc" + std::string(24, '5'), 25},
       }) {
    QrWidget code(c.payload);
    EXPECT_EQ(code.width(), c.width) << c.payload;
    EXPECT_FALSE(code.error());
  }
}

TEST(QrTest, TooLongFailsAndTheNextPayloadRecovers) {
  QrWidget code("hello");
  code.set_payload(std::string(3000, 'x'));
  EXPECT_EQ(code.width(), 0);
  EXPECT_TRUE(code.modules().empty());
  ASSERT_TRUE(code.error());
  EXPECT_FALSE(code.error()->empty());
  EXPECT_EQ(code.payload().size(), 3000u);

  // Drawn as the error state, with the message, and no modules.
  testing::Frame frame;
  ASSERT_TRUE(frame.layout(code, 200, 200));
  frame.draw(code);
  EXPECT_EQ(frame.scene().find_text(*code.error()).size(), 1u);

  code.set_payload("WIFI:T:WPA;S:home;P:secret;;");
  EXPECT_GT(code.width(), 0);
  EXPECT_EQ(code.modules().size(), std::size_t(code.width() * code.width()));
  EXPECT_FALSE(code.error());
}

TEST(QrTest, BytesWithNulAreEncodedWhole) {
  // 20 bytes with a NUL in the middle: cut at the NUL they would fit
  // version 1; whole they need version 2.
  std::string payload(20, 'a');
  payload[5] = '\0';
  EXPECT_EQ(QrWidget(payload).width(), 25);
}

TEST(QrTest, IdentityAndAccessibility) {
  QrWidget code("x");
  EXPECT_EQ(code.id(), "qr_widget");
  EXPECT_EQ(code.short_type_name(), "QrWidget");
  EXPECT_EQ(code.type_name(), "kalu_ui::widget::qr::QrWidget");
  EXPECT_EQ(code.accessibility()->label, "QR code");
  EXPECT_EQ(code.get_rect(), Rect::zero());
  EXPECT_EQ(QrWidget("x").with_id("join_code").id(), "join_code");
}

}  // namespace
}  // namespace kalu_ui::widget
