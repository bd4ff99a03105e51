#pragma once

#include <cstdint>
#include <string>

// Sizes as people read them. Both formatters keep one decimal place above
// plain bytes and never show a value that rounds up to the next unit's base
// ("1024.0 KiB" is written "1.0 MiB").
namespace kalu_ui::format {

// Binary units: "512 B", "1.5 KiB", "15.6 GiB" (B, KiB, MiB, GiB, TiB, PiB, EiB).
std::string bytes(std::uint64_t count);

// Decimal units: "512 B", "1.5 kB", "16.8 GB" (B, kB, MB, GB, TB, PB, EB).
std::string bytes_si(std::uint64_t count);

}  // namespace kalu_ui::format
