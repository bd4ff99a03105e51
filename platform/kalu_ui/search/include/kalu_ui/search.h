#pragma once

// Desktop search records of the toolkit: the entries an application publishes,
// the named catalog that indexes and ranks them, and the provider interface the
// desktop's search asks.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kalu_actions {
struct ActionAddress;
struct Resource;
}  // namespace kalu_actions

namespace kalu_ui::search {

// One result the desktop search can show. Field order is part of the record.
struct SearchEntry {
  std::string title{};
  std::string section{};
  // What activating the entry does, in the form the application understands
  // (for actions: 0x01 "action" 0x1F and the encoded action address).
  std::string target{};
  std::optional<std::string> description{};
  // A second line the desktop may show under the description.
  std::optional<std::string> detail{};
  // Added to the entry's rank for every query it matches; 0 is neutral.
  std::int32_t weight = 0;
  // Index into the toolkit's icon set; absent means no icon.
  std::optional<std::uint8_t> icon{};

  // The entry with its description replaced by a copy of `text`.
  [[nodiscard]] SearchEntry with_description(std::string_view text) &&;
  [[nodiscard]] SearchEntry with_description(std::string_view text) const&;

  bool operator==(const SearchEntry&) const = default;
};

// Identifies the catalog contents a page was computed from. Offsets of a page
// stay meaningful only while the cursor is current.
struct SearchCursor {
  std::uint64_t generation = 0;
  bool operator==(const SearchCursor&) const = default;
};

struct SearchStats {
  std::size_t entries = 0;
  // Bytes of normalised text held in the index (titles and search terms).
  std::size_t indexed_bytes = 0;
  // Bumped by every change of the catalog.
  std::uint64_t generation = 0;
  bool operator==(const SearchStats&) const = default;
};

struct SearchPage {
  std::vector<SearchEntry> items{};
  // Matches considered, after the limit was applied.
  std::size_t total = 0;
  // Offset of the next page; absent on the last page.
  std::optional<std::size_t> next_offset{};
  SearchCursor cursor{};
};

// Text folded for matching: ASCII lower case, and Latin letters with accents
// (Latin-1 Supplement, Latin Extended-A) reduced to their base letters, so
// "Écran" and "ecran" meet. Other characters pass through; invalid UTF-8
// bytes are kept as they are.
std::string fold_for_search(std::string_view text);

// A named catalog of entries. Copies are handles to the same catalog: an
// application and its providers share one index without copying entries.
// Safe to use from several threads.
class SearchCatalog {
 public:
  explicit SearchCatalog(std::string name);

  [[nodiscard]] const std::string& name() const;

  // Adds an entry; `terms` is the text it is found by besides its title.
  void add(SearchEntry entry, std::string_view terms);

  // Ranked matches of `query`, at most `limit` of them, of which the page from
  // `offset` holding up to `page_size` entries is returned.
  //
  // Every word of the query must occur in the title or the terms. An entry
  // ranks higher when its title is the query, starts with it, or has a word
  // starting with a query word, than when the words only occur inside other
  // words; title hits rank above term hits. Ties keep insertion order. An empty
  // query lists every entry in insertion order.
  [[nodiscard]] SearchPage query_page(std::string_view query, std::size_t offset,
                                      std::size_t page_size, std::size_t limit) const;

  [[nodiscard]] SearchStats stats() const;

  // True while the catalog is unchanged since the page carrying `cursor`.
  [[nodiscard]] bool cursor_is_current(const SearchCursor& cursor) const;

 private:
  struct State;
  std::shared_ptr<State> state_;
};

// What the desktop search asks of an application. Operations in interface
// order.
class SearchProvider {
 public:
  virtual ~SearchProvider() = default;

  // The icon the desktop shows beside the provider's title; absent for the
  // generic application icon.
  [[nodiscard]] virtual std::optional<std::uint8_t> icon() const = 0;
  [[nodiscard]] virtual std::string title() const = 0;
  [[nodiscard]] virtual SearchStats stats() const = 0;
  [[nodiscard]] virtual bool cursor_is_current(const SearchCursor& cursor) const = 0;
  [[nodiscard]] virtual std::vector<SearchEntry> query_all(std::string_view query) const = 0;
  [[nodiscard]] virtual std::vector<SearchEntry> query_with_limit(std::string_view query,
                                                                  std::size_t limit) const = 0;
  [[nodiscard]] virtual SearchPage query_page(std::string_view query, std::size_t offset,
                                              std::size_t page_size, std::size_t limit) const = 0;
  // The resource an entry's action address stands for, or null when the
  // provider does not know it. Shared so that the toolkit need not know the
  // resource's layout to hold or drop one.
  [[nodiscard]] virtual std::shared_ptr<const kalu_actions::Resource> resolve_address(
      const kalu_actions::ActionAddress& address) const = 0;
};

// A provider that answers from one catalog. The largest page the desktop gets
// in one answer is kMaxResults; applications derive from it and supply
// `resolve_address`.
class CatalogSearchProvider : public SearchProvider {
 public:
  static constexpr std::size_t kMaxResults = 256;

  explicit CatalogSearchProvider(SearchCatalog catalog);

  [[nodiscard]] std::optional<std::uint8_t> icon() const override;
  [[nodiscard]] std::string title() const override;
  [[nodiscard]] SearchStats stats() const override;
  [[nodiscard]] bool cursor_is_current(const SearchCursor& cursor) const override;
  [[nodiscard]] std::vector<SearchEntry> query_all(std::string_view query) const override;
  [[nodiscard]] std::vector<SearchEntry> query_with_limit(std::string_view query,
                                                          std::size_t limit) const override;
  [[nodiscard]] SearchPage query_page(std::string_view query, std::size_t offset,
                                      std::size_t page_size, std::size_t limit) const override;

  [[nodiscard]] const SearchCatalog& catalog() const { return catalog_; }

 private:
  SearchCatalog catalog_;
};

}  // namespace kalu_ui::search
