#include "vocabulary/input_sources.h"

#include <fmt/format.h>
#include <locale.h>
#include <sys/stat.h>
#include <wctype.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <mutex>
#include <numeric>
#include <pugixml.hpp>
#include <unordered_map>
#include <utility>

#include "limited_exec/text.h"
#include "prefs_store/document.h"
#include "prefs_store/input_sources.h"

namespace settings::panes::mouse_keyboard {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kSystemRulesDir = "/usr/share/X11/xkb/rules";
// Tried in this order; the first that yields an entry is the catalogue.
constexpr std::array<std::string_view, 2> kRulesFiles = {"evdev.xml", "base.xml"};

// ---- Text of the rules files ----

// True when `bytes` is UTF-8 throughout. U+FFFD is what the decoder answers
// for a bad sequence, so it counts only when the bytes spell it.
bool valid_utf8(std::string_view bytes) {
  constexpr std::string_view kReplacement = "\xEF\xBF\xBD";
  while (!bytes.empty()) {
    if (static_cast<unsigned char>(bytes.front()) < 0x80) {
      bytes.remove_prefix(1);
      continue;
    }
    const std::string_view before = bytes;
    if (limited_exec::take_char(bytes) == limited_exec::kReplacementChar &&
        !before.starts_with(kReplacement)) {
      return false;
    }
  }
  return true;
}

// The characters XML 1.0 allows in a document.
bool xml_char(std::uint32_t cp) {
  return cp == 0x9 || cp == 0xA || cp == 0xD || (cp >= 0x20 && cp <= 0xD7FF) ||
         (cp >= 0xE000 && cp <= 0xFFFD) || (cp >= 0x10000 && cp <= 0x10FFFF);
}

// The character of a numeric reference without its "&#" and ";": decimal
// digits, or 'x' and hexadecimal digits.
std::optional<char32_t> character_reference(std::string_view body) {
  int base = 10;
  if (body.starts_with('x')) {
    base = 16;
    body.remove_prefix(1);
  }
  if (body.empty()) return std::nullopt;
  std::uint32_t value = 0;
  for (char c : body) {
    int digit = -1;
    if (c >= '0' && c <= '9') digit = c - '0';
    if (base == 16 && c >= 'a' && c <= 'f') digit = c - 'a' + 10;
    if (base == 16 && c >= 'A' && c <= 'F') digit = c - 'A' + 10;
    if (digit < 0) return std::nullopt;
    value = value * base + digit;
    if (value > 0x10FFFF) return std::nullopt;
  }
  if (!xml_char(value)) return std::nullopt;
  return static_cast<char32_t>(value);
}

// An entity name as XML spells one (non-ASCII name characters let through).
bool entity_name(std::string_view name) {
  const auto start = [](unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == ':' || c >= 0x80;
  };
  if (name.empty() || !start(name.front())) return false;
  return std::all_of(name.begin() + 1, name.end(), [&](unsigned char c) {
    return start(c) || (c >= '0' && c <= '9') || c == '-' || c == '.';
  });
}

std::optional<char> predefined_entity(std::string_view name) {
  constexpr std::array<std::pair<std::string_view, char>, 5> kEntities = {
      {{"quot", '"'}, {"apos", '\''}, {"amp", '&'}, {"lt", '<'}, {"gt", '>'}}};
  for (const auto& [entity, c] : kEntities) {
    if (name == entity) return c;
  }
  return std::nullopt;
}

// Appends raw XML character data to `out` with its references resolved: the
// five predefined entities and numeric references as their characters, any
// other entity as nothing (the rules files declare none we could expand).
// False when a reference is malformed: the file is then not XML.
bool append_xml_text(std::string& out, std::string_view raw) {
  for (;;) {
    const std::size_t amp = raw.find('&');
    out.append(raw.substr(0, amp));
    if (amp == std::string_view::npos) return true;
    raw.remove_prefix(amp + 1);
    const std::size_t semicolon = raw.find(';');
    if (semicolon == std::string_view::npos) return false;
    const std::string_view name = raw.substr(0, semicolon);
    raw.remove_prefix(semicolon + 1);
    if (name.starts_with('#')) {
      const std::optional<char32_t> cp = character_reference(name.substr(1));
      if (!cp) return false;
      limited_exec::append_utf8(out, *cp);
    } else if (!entity_name(name)) {
      return false;
    } else if (const std::optional<char> c = predefined_entity(name)) {
      out += *c;
    }
  }
}

// Lower case for sorting, by the Unicode case tables of the C.UTF-8 locale;
// ASCII only where that locale is missing.
std::string lower_case(std::string_view text) {
  static const locale_t utf8 = ::newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
  std::string out;
  out.reserve(text.size());
  while (!text.empty()) {
    const auto byte = static_cast<unsigned char>(text.front());
    if (byte < 0x80) {
      out += (byte >= 'A' && byte <= 'Z') ? static_cast<char>(byte - 'A' + 'a') : text.front();
      text.remove_prefix(1);
      continue;
    }
    char32_t cp = limited_exec::take_char(text);
    if (utf8 != static_cast<locale_t>(0)) {
      cp = static_cast<char32_t>(::towlower_l(static_cast<wint_t>(cp), utf8));
    }
    limited_exec::append_utf8(out, cp);
  }
  return out;
}

// ---- Walking a rules file ----

// Collects layouts and their variants from the elements of a rules file as
// they open and close. Only layout, variant, name and description mean
// anything; every element that opens empties the collected text, and text
// counts only inside a layout.
class CatalogueReader {
 public:
  void open(std::string_view element) {
    text_.clear();
    if (element == "layout") {
      layout_ = {};
      variants_.clear();
      in_layout_ = true;
    } else if (element == "variant") {
      variant_ = {};
      in_variant_ = true;
    }
  }

  void close(std::string_view element) {
    if (element == "layout") {
      add_layout();
      in_layout_ = false;
    } else if (element == "variant") {
      if (!variant_.name.empty()) variants_.push_back(variant_);
      in_variant_ = false;
    } else if (in_layout_ && (element == "name" || element == "description")) {
      Item& item = in_variant_ ? variant_ : layout_;
      (element == "name" ? item.name : item.description) =
          std::string(limited_exec::trim_white_space(text_));
    }
  }

  // False when the text holds a malformed reference.
  bool text(std::string_view raw) { return !in_layout_ || append_xml_text(text_, raw); }
  void cdata(std::string_view raw) {
    if (in_layout_) text_.append(raw);
  }

  std::vector<InputSource> take() { return std::move(catalogue_); }

 private:
  struct Item {
    std::string name;
    std::string description;
  };

  void add_layout() {
    push_input_source(catalogue_, layout_.name, std::nullopt, layout_.description);
    for (const Item& variant : variants_) {
      const std::string& detail = variant.description.empty() ? variant.name : variant.description;
      push_input_source(catalogue_, layout_.name, variant.name,
                        fmt::format("{} — {}", layout_.description, detail));
    }
  }

  std::vector<InputSource> catalogue_;
  std::string text_;
  Item layout_;
  Item variant_;
  std::vector<Item> variants_;
  bool in_layout_ = false;
  bool in_variant_ = false;
};

// Feeds the document's elements and text to `reader` in document order;
// false when a text is malformed. Iterative, so depth costs no stack.
bool walk(const pugi::xml_document& document, CatalogueReader& reader) {
  pugi::xml_node node = document.first_child();
  while (node) {
    switch (node.type()) {
      case pugi::node_element:
        reader.open(node.name());
        break;
      case pugi::node_pcdata:
        if (!reader.text(node.value())) return false;
        break;
      case pugi::node_cdata:
        reader.cdata(node.value());
        break;
      default:
        break;
    }
    if (node.type() == pugi::node_element && node.first_child()) {
      node = node.first_child();
      continue;
    }
    // Leave this node and every ancestor that has no next sibling.
    for (;;) {
      if (node.type() == pugi::node_element) reader.close(node.name());
      if (pugi::xml_node next = node.next_sibling()) {
        node = next;
        break;
      }
      node = node.parent();
      if (node == document) return true;
    }
  }
  return true;
}

// The entries of one rules file; nothing when it cannot be read, is not
// UTF-8 or not well-formed.
std::optional<std::vector<InputSource>> read_rules_file(const fs::path& path) {
  auto text = prefs_store::read_text(path);
  if (!text || !*text || !valid_utf8(**text)) return std::nullopt;
  std::string& bytes = **text;
  pugi::xml_document document;
  // Character data stays raw (references are resolved above, the way the
  // rules need); line ends are normalised as XML requires.
  const unsigned options = pugi::parse_cdata | pugi::parse_ws_pcdata | pugi::parse_eol;
  if (!document.load_buffer_inplace(bytes.data(), bytes.size(), options, pugi::encoding_utf8)) {
    return std::nullopt;
  }
  CatalogueReader reader;
  if (!walk(document, reader)) return std::nullopt;
  return reader.take();
}

// Sorts by lower-cased label, keeping file order among equals, and gives a
// label that more than one entry has the id after it.
void finish(std::vector<InputSource>& catalogue) {
  std::vector<std::string> keys;
  keys.reserve(catalogue.size());
  for (const InputSource& source : catalogue) keys.push_back(lower_case(source.label));
  std::vector<std::size_t> order(catalogue.size());
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(),
                   [&](std::size_t a, std::size_t b) { return keys[a] < keys[b]; });
  std::vector<InputSource> sorted;
  sorted.reserve(catalogue.size());
  for (std::size_t i : order) sorted.push_back(std::move(catalogue[i]));

  std::unordered_map<std::string_view, std::size_t> uses;
  for (const InputSource& source : sorted) ++uses[source.label];
  std::vector<bool> shared(sorted.size());
  for (std::size_t i = 0; i < sorted.size(); ++i) shared[i] = uses[sorted[i].label] > 1;
  for (std::size_t i = 0; i < sorted.size(); ++i) {
    if (shared[i]) sorted[i].label = fmt::format("{} · {}", sorted[i].label, sorted[i].id);
  }
  catalogue = std::move(sorted);
}

// ---- What is kept between reads ----

struct FileStamp {
  bool present = false;
  dev_t device = 0;
  ino_t inode = 0;
  off_t size = 0;
  std::int64_t modified_ns = 0;
  std::int64_t changed_ns = 0;

  bool operator==(const FileStamp&) const = default;
};

using FolderStamp = std::array<FileStamp, kRulesFiles.size()>;

FolderStamp stamp_of(const fs::path& dir) {
  FolderStamp stamp;
  for (std::size_t i = 0; i < kRulesFiles.size(); ++i) {
    struct stat info {};
    if (::stat((dir / kRulesFiles[i]).c_str(), &info) != 0) continue;
    const auto ns = [](const timespec& t) {
      return static_cast<std::int64_t>(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
    };
    stamp[i] = {true, info.st_dev, info.st_ino, info.st_size, ns(info.st_mtim), ns(info.st_ctim)};
  }
  return stamp;
}

struct Kept {
  fs::path dir;
  FolderStamp stamp;
  std::vector<InputSource> catalogue;
};

std::mutex kept_mutex;
std::optional<Kept> kept;

std::mutex dir_mutex;
std::optional<fs::path> dir_override;

}  // namespace

fs::path rules_dir() {
  std::lock_guard lock(dir_mutex);
  return dir_override.value_or(fs::path(kSystemRulesDir));
}

ScopedRulesDir::ScopedRulesDir(fs::path dir) {
  std::lock_guard lock(dir_mutex);
  previous_ = std::exchange(dir_override, std::move(dir));
}

ScopedRulesDir::~ScopedRulesDir() {
  std::lock_guard lock(dir_mutex);
  dir_override = std::move(previous_);
}

std::vector<InputSource> available_input_sources() { return available_input_sources(rules_dir()); }

std::vector<InputSource> available_input_sources(const fs::path& dir) {
  // Stamped before the read: a file that changes meanwhile no longer matches
  // the stamp, so the next call reads it again.
  const FolderStamp stamp = stamp_of(dir);
  {
    std::lock_guard lock(kept_mutex);
    if (kept && kept->dir == dir && kept->stamp == stamp) return kept->catalogue;
  }
  std::vector<InputSource> catalogue = read_input_sources(dir);
  std::lock_guard lock(kept_mutex);
  kept = Kept{dir, stamp, catalogue};
  return catalogue;
}

std::vector<InputSource> read_input_sources(const fs::path& dir) {
  for (std::string_view file : kRulesFiles) {
    std::optional<std::vector<InputSource>> catalogue = read_rules_file(dir / file);
    if (!catalogue || catalogue->empty()) continue;
    finish(*catalogue);
    return std::move(*catalogue);
  }
  const std::span<const InputSource> fallback = fallback_input_sources();
  return {fallback.begin(), fallback.end()};
}

std::span<const InputSource> fallback_input_sources() {
  static const std::array<InputSource, 16> kFallback = {{
      {"us", "English (US)"},
      {"gb", "English (UK)"},
      {"us:colemak", "English (US) — Colemak"},
      {"us:dvorak", "English (US) — Dvorak"},
      {"de", "German"},
      {"fr", "French"},
      {"nl", "Dutch"},
      {"es", "Spanish"},
      {"it", "Italian"},
      {"pt", "Portuguese"},
      {"br", "Portuguese (Brazil)"},
      {"pl", "Polish"},
      {"ru", "Russian"},
      {"se", "Swedish"},
      {"no", "Norwegian"},
      {"dk", "Danish"},
  }};
  return kFallback;
}

void push_input_source(std::vector<InputSource>& catalogue, std::string_view layout,
                       std::optional<std::string_view> variant, std::string_view label) {
  const std::string id_text =
      variant ? fmt::format("{}:{}", layout, *variant) : std::string(layout);
  auto source = prefs_store::KeyboardInputSource::parse(id_text);
  if (!source) return;
  const std::string_view trimmed = limited_exec::trim_white_space(label);
  catalogue.push_back({source->id(), trimmed.empty() ? id_text : std::string(trimmed)});
}

std::optional<InputSource> find_source_by_label(std::span<const InputSource> catalogue,
                                                std::string_view label) {
  auto found = std::ranges::find(catalogue, label, &InputSource::label);
  if (found == catalogue.end()) return std::nullopt;
  return *found;
}

std::vector<std::string> addable_sources(std::span<const InputSource> catalogue,
                                         std::span<const std::string> active_ids) {
  std::vector<std::string> labels;
  for (const InputSource& source : catalogue) {
    if (std::ranges::find(active_ids, source.id) == active_ids.end()) {
      labels.push_back(source.label);
    }
  }
  return labels;
}

std::optional<std::string> known_source_label(std::span<const InputSource> catalogue,
                                              std::string_view id) {
  auto found = std::ranges::find(catalogue, id, &InputSource::id);
  if (found == catalogue.end()) return std::nullopt;
  return found->label;
}

namespace {
constexpr std::array<ComposeKey, 6> kComposeKeys = {{
    {"Disabled", ""},
    {"Right Alt", "ralt"},
    {"Menu", "menu"},
    {"Caps Lock", "caps"},
    {"Right Super", "rwin"},
    {"Left Super", "lwin"},
}};
constexpr std::array<std::string_view, 2> kAccelerationLabels = {"Adaptive", "Flat"};
}  // namespace

std::span<const ComposeKey> compose_keys() { return kComposeKeys; }

std::string_view compose_key_label(const std::optional<std::string>& stored) {
  if (stored && !stored->empty()) {
    for (const ComposeKey& key : kComposeKeys) {
      if (key.stored == *stored) return key.label;
    }
  }
  return kComposeKeys.front().label;
}

std::span<const std::string_view> acceleration_labels() { return kAccelerationLabels; }

std::string_view acceleration_label(std::string_view profile) {
  return profile == "flat" ? kAccelerationLabels[1] : kAccelerationLabels[0];
}

}  // namespace settings::panes::mouse_keyboard
