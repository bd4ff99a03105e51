#include "prefs_store/input_sources.h"

#include <fmt/format.h>

#include <algorithm>

#include "text.h"

namespace prefs_store {
namespace {

constexpr std::size_t kMaxNameLength = 64;

bool valid_name(std::string_view name) {
  if (name.empty() || name.size() > kMaxNameLength) return false;
  return std::all_of(name.begin(), name.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
           c == '-' || c == '.';
  });
}

// The canonical id of a source text, or nothing when it is not a source.
std::optional<std::string> canonical(std::string_view text) {
  auto source = KeyboardInputSource::parse(text);
  if (!source) return std::nullopt;
  return source->id();
}

}  // namespace

kalu_ui::Result<KeyboardInputSource> KeyboardInputSource::parse(std::string_view text) {
  const std::string_view id = detail::trim_ascii_space(text);
  std::string_view layout = id;
  std::optional<std::string_view> variant;
  if (auto colon = id.find(':'); colon != std::string_view::npos) {
    layout = id.substr(0, colon);
    variant = id.substr(colon + 1);
  } else if (auto open = id.find('('); open != std::string_view::npos && id.back() == ')') {
    layout = id.substr(0, open);
    variant = id.substr(open + 1, id.size() - open - 2);
  }
  if (!valid_name(layout) || (variant && !valid_name(*variant))) {
    return kalu_ui::fail("\"{}\" is not a keyboard input source", text);
  }
  KeyboardInputSource source;
  source.layout_ = std::string(layout);
  if (variant) source.variant_ = std::string(*variant);
  return source;
}

std::string KeyboardInputSource::id() const {
  return variant_ ? fmt::format("{}:{}", layout_, *variant_) : layout_;
}

void RichInputConfig::normalise_sources() {
  std::vector<std::string> sources;
  for (const std::string& text : keyboard_layouts) {
    auto id = canonical(text);
    if (id && std::find(sources.begin(), sources.end(), *id) == sources.end()) {
      sources.push_back(std::move(*id));
    }
  }
  if (sources.size() > kMaxInputSources) sources.resize(kMaxInputSources);

  std::optional<std::string> active = canonical(keyboard_layout);
  if (!active) active = sources.empty() ? std::string(kDefaultInputSource) : sources.front();
  if (std::find(sources.begin(), sources.end(), *active) == sources.end()) {
    if (sources.size() == kMaxInputSources) sources.pop_back();
    sources.push_back(*active);
  }
  keyboard_layout = std::move(*active);
  keyboard_layouts = std::move(sources);
}

}  // namespace prefs_store
