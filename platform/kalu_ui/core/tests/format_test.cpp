#include "kalu_ui/format.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

namespace kalu_ui::format {
namespace {

TEST(FormatBytesTest, BinaryAndDecimalUnits) {
  struct Case {
    std::uint64_t count;
    std::string binary;
    std::string decimal;
  };
  const Case cases[] = {
      {0, "0 B", "0 B"},
      {999, "999 B", "999 B"},
      {1000, "1000 B", "1.0 kB"},
      {1023, "1023 B", "1.0 kB"},
      {1536, "1.5 KiB", "1.5 kB"},
      // Rounding up to the base moves to the next unit.
      {1048575, "1.0 MiB", "1.0 MB"},
      {999'999, "976.6 KiB", "1.0 MB"},
      {16'777'216'000, "15.6 GiB", "16.8 GB"},
      {std::numeric_limits<std::uint64_t>::max(), "16.0 EiB", "18.4 EB"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.count);
    EXPECT_EQ(bytes(c.count), c.binary);
    EXPECT_EQ(bytes_si(c.count), c.decimal);
  }
}

}  // namespace
}  // namespace kalu_ui::format
