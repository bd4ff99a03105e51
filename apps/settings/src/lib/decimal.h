#pragma once

// Whole numbers written by people and clients: plain decimal digits only (no
// sign, no spaces, no fraction), so "+80", " 80" and "80.0" are not numbers.

#include <cstdint>
#include <optional>
#include <string_view>

namespace settings::lib {

// The value of `text` when it is one or more ASCII digits that fit 32 bits.
std::optional<std::uint32_t> parse_decimal_u32(std::string_view text);

}  // namespace settings::lib
