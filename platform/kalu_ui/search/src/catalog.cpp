#include <algorithm>
#include <mutex>
#include <shared_mutex>
#include <utility>

#include "kalu_ui/search.h"

namespace kalu_ui::search {

SearchEntry SearchEntry::with_description(std::string_view text) && {
  description = std::string(text);
  return std::move(*this);
}

SearchEntry SearchEntry::with_description(std::string_view text) const& {
  SearchEntry copy = *this;
  return std::move(copy).with_description(text);
}

namespace {

// Rank contributions of one query word. Title hits outrank term hits; a hit at
// the start of a word outranks one inside a word.
constexpr long kTitleStart = 400;
constexpr long kTitleWordStart = 300;
constexpr long kTitleInside = 100;
constexpr long kTermsWordStart = 60;
constexpr long kTermsInside = 20;
// The whole query equal to the whole title.
constexpr long kTitleExact = 1000;

bool is_word_char(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || byte >= 0x80;
}

bool is_space(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

// 2 when `word` begins a word of `text`, 1 when it only occurs inside one,
// 0 when it does not occur.
int find_word(std::string_view text, std::string_view word) {
  int best = 0;
  for (std::size_t pos = text.find(word); pos != std::string_view::npos;
       pos = text.find(word, pos + 1)) {
    if (pos == 0 || !is_word_char(text[pos - 1])) return 2;
    best = 1;
  }
  return best;
}

std::vector<std::string_view> split_words(std::string_view text) {
  std::vector<std::string_view> words;
  std::size_t pos = 0;
  while (pos < text.size()) {
    while (pos < text.size() && is_space(text[pos])) ++pos;
    const std::size_t start = pos;
    while (pos < text.size() && !is_space(text[pos])) ++pos;
    if (pos > start) words.push_back(text.substr(start, pos - start));
  }
  return words;
}

}  // namespace

struct SearchCatalog::State {
  struct Indexed {
    SearchEntry entry;
    std::string title;  // folded
    std::string terms;  // folded
  };

  explicit State(std::string n) : name(std::move(n)) {}

  const std::string name;
  mutable std::shared_mutex mutex;
  std::vector<Indexed> entries;
  std::size_t indexed_bytes = 0;
  std::uint64_t generation = 0;
};

SearchCatalog::SearchCatalog(std::string name) : state_(std::make_shared<State>(std::move(name))) {}

const std::string& SearchCatalog::name() const { return state_->name; }

void SearchCatalog::add(SearchEntry entry, std::string_view terms) {
  State::Indexed indexed{.entry = std::move(entry), .title = {}, .terms = fold_for_search(terms)};
  indexed.title = fold_for_search(indexed.entry.title);
  const std::size_t bytes = indexed.title.size() + indexed.terms.size();
  std::unique_lock lock(state_->mutex);
  state_->entries.push_back(std::move(indexed));
  state_->indexed_bytes += bytes;
  ++state_->generation;
}

SearchPage SearchCatalog::query_page(std::string_view query, std::size_t offset,
                                     std::size_t page_size, std::size_t limit) const {
  const std::string folded = fold_for_search(query);
  const std::vector<std::string_view> words = split_words(folded);
  std::string joined;
  for (const std::string_view word : words) {
    if (!joined.empty()) joined.push_back(' ');
    joined.append(word);
  }

  std::shared_lock lock(state_->mutex);
  struct Hit {
    long score;
    std::size_t index;
  };
  std::vector<Hit> hits;
  for (std::size_t i = 0; i < state_->entries.size(); ++i) {
    const State::Indexed& item = state_->entries[i];
    long score = item.entry.weight;
    bool all = true;
    for (const std::string_view word : words) {
      long best = 0;
      if (item.title.starts_with(word)) {
        best = kTitleStart;
      } else if (const int title = find_word(item.title, word); title != 0) {
        best = title == 2 ? kTitleWordStart : kTitleInside;
      } else if (const int terms = find_word(item.terms, word); terms != 0) {
        best = terms == 2 ? kTermsWordStart : kTermsInside;
      } else {
        all = false;
        break;
      }
      score += best;
    }
    if (!all) continue;
    if (!words.empty() && item.title == joined) score += kTitleExact;
    hits.push_back({score, i});
  }
  if (!words.empty()) {
    std::stable_sort(hits.begin(), hits.end(),
                     [](const Hit& a, const Hit& b) { return a.score > b.score; });
  }

  SearchPage page;
  page.cursor = SearchCursor{state_->generation};
  page.total = std::min(hits.size(), limit);
  if (offset >= page.total || page_size == 0) return page;
  const std::size_t end = offset + std::min(page_size, page.total - offset);
  page.items.reserve(end - offset);
  for (std::size_t i = offset; i < end; ++i) {
    page.items.push_back(state_->entries[hits[i].index].entry);
  }
  if (end < page.total) page.next_offset = end;
  return page;
}

SearchStats SearchCatalog::stats() const {
  std::shared_lock lock(state_->mutex);
  return SearchStats{.entries = state_->entries.size(),
                     .indexed_bytes = state_->indexed_bytes,
                     .generation = state_->generation};
}

bool SearchCatalog::cursor_is_current(const SearchCursor& cursor) const {
  std::shared_lock lock(state_->mutex);
  return cursor.generation == state_->generation;
}

CatalogSearchProvider::CatalogSearchProvider(SearchCatalog catalog)
    : catalog_(std::move(catalog)) {}

std::optional<std::uint8_t> CatalogSearchProvider::icon() const { return std::nullopt; }

std::string CatalogSearchProvider::title() const { return catalog_.name(); }

SearchStats CatalogSearchProvider::stats() const { return catalog_.stats(); }

bool CatalogSearchProvider::cursor_is_current(const SearchCursor& cursor) const {
  return catalog_.cursor_is_current(cursor);
}

std::vector<SearchEntry> CatalogSearchProvider::query_all(std::string_view query) const {
  return query_with_limit(query, kMaxResults);
}

std::vector<SearchEntry> CatalogSearchProvider::query_with_limit(std::string_view query,
                                                                 std::size_t limit) const {
  return catalog_.query_page(query, 0, kMaxResults, std::min(limit, kMaxResults)).items;
}

SearchPage CatalogSearchProvider::query_page(std::string_view query, std::size_t offset,
                                             std::size_t page_size, std::size_t limit) const {
  return catalog_.query_page(query, offset, page_size, limit);
}

}  // namespace kalu_ui::search
