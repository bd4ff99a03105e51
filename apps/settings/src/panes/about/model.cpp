#include "panes/about/model.h"

#include <fmt/format.h>
#include <sys/utsname.h>

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <limits>
#include <system_error>
#include <vector>

#include "identity/host_identity.h"
#include "kalu_ui/format.h"
#include "limited_exec/text.h"

namespace settings::panes::about {

namespace {

constexpr std::string_view kUnknown = "unknown";
constexpr std::string_view kDefaultHostName = "this-device";
// Every file read here is small; a cap keeps a strange one from costing much.
constexpr std::size_t kReadCap = 1 << 20;

// The file's text (invalid UTF-8 replaced), at most kReadCap bytes of it.
// Read in pieces: /proc files report no size.
std::optional<std::string> read_text(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::string bytes;
  char piece[4096];
  while (bytes.size() < kReadCap && in.read(piece, sizeof piece).gcount() > 0) {
    bytes.append(piece, static_cast<std::size_t>(in.gcount()));
  }
  if (in.bad()) return std::nullopt;
  if (bytes.size() > kReadCap) bytes.resize(kReadCap);
  return limited_exec::decode_lossy(bytes);
}

std::string_view trim(std::string_view text) { return limited_exec::trim_white_space(text); }

// The first white-space separated field.
std::string_view first_field(std::string_view text) {
  text = trim(text);
  std::size_t end = 0;
  while (end < text.size() && text[end] != ' ' && text[end] != '\t' && text[end] != '\n' &&
         text[end] != '\r' && text[end] != '\v' && text[end] != '\f') {
    ++end;
  }
  return text.substr(0, end);
}

std::string_view trim_char(std::string_view text, char c) {
  while (!text.empty() && text.front() == c) text.remove_prefix(1);
  while (!text.empty() && text.back() == c) text.remove_suffix(1);
  return text;
}

std::string trimmed_or(const std::optional<std::string>& text, std::string_view fallback) {
  if (text) {
    std::string_view value = trim(*text);
    if (!value.empty()) return std::string(value);
  }
  return std::string(fallback);
}

// A decimal number as people and /proc write it: an optional sign, digits
// with a point and an exponent, or "inf" and "nan". Out of range overflows to
// infinity and underflows to zero.
std::optional<double> parse_decimal(std::string_view text) {
  if (text.starts_with('+')) text.remove_prefix(1);
  if (text.empty() || text.front() == '+') return std::nullopt;
  double value = 0.0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (end != text.data() + text.size()) return std::nullopt;
  if (error == std::errc::result_out_of_range)
    return std::strtod(std::string(text).c_str(), nullptr);
  if (error != std::errc{}) return std::nullopt;
  return value;
}

std::optional<std::uint64_t> parse_unsigned(std::string_view text) {
  if (text.starts_with('+')) text.remove_prefix(1);
  std::uint64_t value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc{} || end != text.data() + text.size() || text.empty()) return std::nullopt;
  return value;
}

// Whole seconds: negative is 0, beyond 64 bits the most there are.
std::uint64_t whole_seconds(double seconds) {
  constexpr double kTwoTo64 = 18446744073709551616.0;
  if (!(seconds > 0.0)) return 0;
  if (seconds >= kTwoTo64) return std::numeric_limits<std::uint64_t>::max();
  return static_cast<std::uint64_t>(seconds);
}

}  // namespace

std::optional<std::string> pretty_name(std::string_view os_release) {
  for (std::string_view line : limited_exec::split_lines(os_release)) {
    line = trim(line);
    if (!line.starts_with("PRETTY_NAME=")) continue;
    std::string_view value = line.substr(12);
    value = trim_char(trim_char(value, '"'), '\'');
    if (!value.empty()) return std::string(value);
  }
  return std::nullopt;
}

std::string uptime_text(std::string_view uptime_file) {
  auto seconds = parse_decimal(first_field(uptime_file));
  if (!seconds || !std::isfinite(*seconds)) return std::string(kUnknown);
  std::uint64_t s = whole_seconds(*seconds);
  std::uint64_t days = s / 86400;
  std::uint64_t hours = s % 86400 / 3600;
  std::uint64_t minutes = s % 3600 / 60;
  if (s > 86399) return fmt::format("{}d {}h {}m", days, hours, minutes);
  if (s >= 3600) return fmt::format("{}h {}m", hours, minutes);
  return fmt::format("{}m", minutes);
}

std::optional<std::string> processor_model(std::string_view cpuinfo) {
  for (std::string_view line : limited_exec::split_lines(cpuinfo)) {
    std::size_t colon = line.find(':');
    if (colon == std::string_view::npos || trim(line.substr(0, colon)) != "model name") continue;
    std::string_view value = trim(line.substr(colon + 1));
    if (!value.empty()) return std::string(value);
  }
  return std::nullopt;
}

std::optional<std::uint64_t> memory_total_bytes(std::string_view meminfo) {
  for (std::string_view line : limited_exec::split_lines(meminfo)) {
    if (!line.starts_with("MemTotal:")) continue;
    auto kib = parse_unsigned(first_field(line.substr(9)));
    if (!kib) return std::nullopt;
    if (*kib > std::numeric_limits<std::uint64_t>::max() / 1024) {
      return std::numeric_limits<std::uint64_t>::max();
    }
    return *kib * 1024;
  }
  return std::nullopt;
}

std::string machine_architecture() {
  utsname names{};
  if (::uname(&names) != 0 || names.machine[0] == '\0') return std::string(kUnknown);
  return names.machine;
}

std::uint64_t fnv1a_64(std::string_view bytes) {
  std::uint64_t hash = 0xcbf29ce484222325ULL;
  for (unsigned char byte : bytes) {
    hash ^= byte;
    hash *= 0x100000001b3ULL;
  }
  return hash;
}

SystemSummary system_summary(const std::filesystem::path& os_release,
                             const std::filesystem::path& kernel_release,
                             const std::filesystem::path& uptime,
                             const std::filesystem::path& host_name,
                             const std::filesystem::path& cpuinfo,
                             const std::filesystem::path& meminfo) {
  SystemSummary out;
  auto os = read_text(os_release);
  out.os_name = os ? pretty_name(*os).value_or(std::string(kUnknown)) : std::string(kUnknown);
  out.kernel_release = trimmed_or(read_text(kernel_release), kUnknown);
  auto up = read_text(uptime);
  out.uptime = up ? uptime_text(*up) : std::string(kUnknown);
  out.host_name = trimmed_or(read_text(host_name), kDefaultHostName);
  out.architecture = machine_architecture();
  auto cpu = read_text(cpuinfo);
  out.processor_model =
      cpu ? processor_model(*cpu).value_or(std::string(kUnknown)) : std::string(kUnknown);
  auto mem = read_text(meminfo);
  auto bytes = mem ? memory_total_bytes(*mem) : std::nullopt;
  out.memory_total = bytes ? kalu_ui::format::bytes(*bytes) : std::string(kUnknown);
  return out;
}

SystemSummary summary() {
  SystemSummary out =
      system_summary("/etc/os-release", "/proc/sys/kernel/osrelease", "/proc/uptime",
                     "/proc/sys/kernel/hostname", "/proc/cpuinfo", "/proc/meminfo");
  if (auto identity = host_identity::load()) {
    std::string_view name = trim(identity->name);
    if (!name.empty()) out.identity_name = std::string(name);
    out.identity_key = identity->public_key;
  }
  return out;
}

std::string identity_code(const SystemSummary& summary) {
  std::uint64_t number = 0;
  if (summary.identity_key) {
    for (std::size_t i = 0; i < 8; ++i) number = number << 8 | (*summary.identity_key)[i];
  } else {
    number = fnv1a_64(summary.host_name);
  }
  std::string hex = fmt::format("{:016x}", number);
  return fmt::format("{}\u00b7{}\u00b7{}\u00b7{}", hex.substr(0, 4), hex.substr(4, 4),
                     hex.substr(8, 4), hex.substr(12, 4));
}

}  // namespace settings::panes::about
