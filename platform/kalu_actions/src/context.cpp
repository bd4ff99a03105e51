#include "kalu_actions/context.h"

#include <vector>

namespace kalu_actions {

namespace {

template <typename T>
void take_unset(T& field, const T& base) {
  if (field == T{}) field = base;
}

bool is_upper(char c) { return c >= 'A' && c <= 'Z'; }
bool is_lower(char c) { return c >= 'a' && c <= 'z'; }
bool is_digit(char c) { return c >= '0' && c <= '9'; }
bool is_break(char c) {
  return c == '_' || c == '-' || c == '.' || c == ':' || c == ' ' || c == '\t' || c == '\n' ||
         c == '\r' || c == '/';
}

std::vector<std::string> split_words(std::string_view text) {
  std::vector<std::string> words;
  std::string word;
  auto flush = [&] {
    if (!word.empty()) words.push_back(std::move(word));
    word.clear();
  };
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (is_break(c)) {
      flush();
      continue;
    }
    if (is_upper(c) && !word.empty()) {
      const char prev = word.back();
      const bool next_lower = i + 1 < text.size() && is_lower(text[i + 1]);
      // "setSetting" breaks before S; "HTTPProxy" breaks before the P that
      // starts "Proxy", keeping "HTTP" whole.
      if (is_lower(prev) || is_digit(prev) || (is_upper(prev) && next_lower)) flush();
    }
    word += c;
  }
  flush();
  return words;
}

bool is_acronym(const std::string& word) {
  if (word.size() < 2) return false;
  for (char c : word) {
    if (is_lower(c)) return false;
  }
  return true;
}

}  // namespace

ActionContext ActionContext::enriched_by(const ActionContext& base) const {
  ActionContext out = *this;
  take_unset(out.label, base.label);
  take_unset(out.subject, base.subject);
  take_unset(out.title, base.title);
  take_unset(out.purpose, base.purpose);
  take_unset(out.application, base.application);
  return out;
}

std::string humanize_identifier(std::string_view identifier) {
  std::string out;
  for (auto& word : split_words(identifier)) {
    if (!is_acronym(word)) {
      for (char& c : word) {
        if (is_upper(c)) c = static_cast<char>(c - 'A' + 'a');
      }
    }
    if (out.empty()) {
      if (is_lower(word[0])) word[0] = static_cast<char>(word[0] - 'a' + 'A');
    } else {
      out += ' ';
    }
    out += word;
  }
  return out;
}

}  // namespace kalu_actions
