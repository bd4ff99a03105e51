#include "kalu_actions/address.h"

#include <gtest/gtest.h>

namespace kalu_actions {
namespace {

TEST(ActionAddressTest, RoundTripsIdsHoldingTheSeparatorsAndEscapes) {
  const ActionAddress cases[] = {
      {"settings.section:network", "open"},
      {"a#b", "c#d"},
      {"100%", "%23"},
      {"", ""},
      {"x\x1f"
       "y\x01",
       "\n"},
      {"settings.bluetooth-device:/org/bluez/hci0/dev_00", "pair"},
      {"é€", "#"},
  };
  for (const auto& address : cases) {
    const std::string text = address.encode();
    SCOPED_TRACE(text);
    EXPECT_EQ(std::count(text.begin(), text.end(), '#'), 1);
    EXPECT_EQ(text.find('\x1f'), std::string::npos);
    auto back = ActionAddress::decode(text);
    ASSERT_TRUE(back.has_value()) << back.error();
    EXPECT_EQ(*back, address);
  }
  EXPECT_EQ((ActionAddress{"settings.section:network", "open"}.encode()),
            "settings.section:network#open");
}

TEST(ActionAddressTest, RefusesTextsThatAreNoEncoding) {
  for (const char* text :
       {"settings.section:network", "a#b#c", "a%2#b", "a%zz#b", "a#%", "a\n#b"}) {
    EXPECT_FALSE(ActionAddress::decode(text).has_value()) << text;
  }
}

}  // namespace
}  // namespace kalu_actions
