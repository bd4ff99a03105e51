#pragma once

// The system summary the About page shows: read from six small files and
// uname(), plus the active identity's name and key. Each field is read on
// its own; a file that cannot be read or understood gives that field's
// default, so a summary is always answered. Quick enough for the UI thread.

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace settings::panes::about {

struct SystemSummary {
  std::string os_name;          // "unknown"
  std::string kernel_release;   // "unknown"
  std::string uptime;           // "unknown"
  std::string host_name;        // "this-device"
  std::string architecture;     // "unknown"
  std::string processor_model;  // "unknown"
  std::string memory_total;     // "unknown"
  std::optional<std::string> identity_name;
  std::optional<std::array<std::uint8_t, 32>> identity_key;
};

// The summary from these files, without identity.
SystemSummary system_summary(const std::filesystem::path& os_release,
                             const std::filesystem::path& kernel_release,
                             const std::filesystem::path& uptime,
                             const std::filesystem::path& host_name,
                             const std::filesystem::path& cpuinfo,
                             const std::filesystem::path& meminfo);

// This machine's summary with the active identity, when there is one.
SystemSummary summary();

// The short identity text "xxxx·xxxx·xxxx·xxxx": the key's first eight bytes
// read big-endian, or without a key the 64-bit FNV-1a hash of the host name.
std::string identity_code(const SystemSummary& summary);

// ---- The rules behind the fields, for tests --------------------------------

// PRETTY_NAME of an os-release text, without its quotes; none when absent or empty.
std::optional<std::string> pretty_name(std::string_view os_release);
// "{}d {}h {}m", "{}h {}m" or "{}m" for the first field of /proc/uptime;
// "unknown" when it is not a number or not finite. Negative counts as 0 and
// more than 64-bit seconds as the most there are.
std::string uptime_text(std::string_view uptime_file);
// The first non-empty "model name" of a cpuinfo text.
std::optional<std::string> processor_model(std::string_view cpuinfo);
// MemTotal of a meminfo text in bytes (saturating).
std::optional<std::uint64_t> memory_total_bytes(std::string_view meminfo);
// The processor architecture uname() reports.
std::string machine_architecture();
std::uint64_t fnv1a_64(std::string_view bytes);

}  // namespace settings::panes::about
