#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "kalu_ui/search.h"

namespace kalu_ui::search {
namespace {

using ::testing::ElementsAre;

SearchEntry entry(std::string title) {
  return SearchEntry{.title = std::move(title), .section = "Test", .target = "t"};
}

std::vector<std::string> titles(const std::vector<SearchEntry>& items) {
  std::vector<std::string> out;
  for (const SearchEntry& item : items) out.push_back(item.title);
  return out;
}

std::vector<std::string> titles(const SearchCatalog& catalog, std::string_view query) {
  return titles(catalog.query_page(query, 0, 100, 100).items);
}

TEST(FoldForSearchTest, FoldsCaseAndLatinAccentsOnly) {
  const struct {
    std::string_view in;
    std::string_view out;
  } cases[] = {
      {"NETWORK Wi-Fi", "network wi-fi"},
      {"\xC3\x89"
       "cran",
       "ecran"},  // É composed
      {"e\xCC\x81"
       "cran",
       "ecran"},  // e + combining acute
      {"Stra\xC3\x9F"
       "e",
       "strasse"},  // ß
      {"\xC5\x81\xC3\x93"
       "D\xC5\xB9",
       "lodz"},  // ŁÓDŹ
      {"\xC3\x86"
       "sir \xC5\x92"
       "uvre",
       "aesir oeuvre"},  // Æ, Œ
      {"2\xC3\x97"
       "3",
       "2\xC3\x97"
       "3"},                                     // × is not a letter
      {"\xCE\x91\xCE\xB2", "\xCE\x91\xCE\xB2"},  // Greek passes through
      {"\xE6\x97\xA5\xE6\x9C\xAC", "\xE6\x97\xA5\xE6\x9C\xAC"},
      {"bad \xC3", "bad \xC3"},          // truncated sequence kept
      {"\x80\xC3\x28", "\x80\xC3\x28"},  // stray continuation, bad tail
  };
  for (const auto& c : cases) {
    EXPECT_EQ(fold_for_search(c.in), c.out) << c.in;
  }
}

TEST(SearchEntryTest, WithDescriptionReplacesOnlyTheDescription) {
  SearchEntry original = entry("Network");
  original.description = "old";
  original.icon = 7;
  const SearchEntry changed = original.with_description("Wi-Fi, wired connections, and VPN");
  EXPECT_EQ(original.description, "old");
  EXPECT_EQ(changed.description, "Wi-Fi, wired connections, and VPN");
  SearchEntry expected = original;
  expected.description = changed.description;
  EXPECT_EQ(changed, expected);
  EXPECT_EQ(std::move(original).with_description("x").description, "x");
}

class RankingTest : public ::testing::Test {
 protected:
  RankingTest() {
    catalog.add(entry("Sound"), "speaker display output volume");  // 0: term, word start
    catalog.add(entry("Keyboard"), "keys layout");                 // 1
    catalog.add(entry("Wireless Display"), "screen");              // 2: title word start
    catalog.add(entry("Display"), "monitor screen");               // 3: exact title
    catalog.add(entry("Displays"), "monitor");                     // 4: title prefix
    catalog.add(entry("Privacy"), "nondisplayable");               // 5: term, inside a word
    catalog.add(entry("Redisplay"), "");                           // 6: title, inside a word
    catalog.add(entry("\xC3\x89"
                      "cran"),
                "affichage");  // 7: accented title
  }
  SearchCatalog catalog{"Catalog"};
};

TEST_F(RankingTest, PrefixAndWordHitsRankAboveSubstringsAndTitlesAboveTerms) {
  EXPECT_THAT(titles(catalog, "display"), ElementsAre("Display", "Displays", "Wireless Display",
                                                      "Redisplay", "Sound", "Privacy"));
}

TEST_F(RankingTest, MatchingIgnoresCaseAccentsAndSurroundingSpace) {
  EXPECT_THAT(titles(catalog, "  DISPLAYS\t"), ElementsAre("Displays"));
  EXPECT_THAT(titles(catalog, "ecran"), ElementsAre("\xC3\x89"
                                                    "cran"));
  EXPECT_THAT(titles(catalog,
                     "\xC3\x89"
                     "CRAN"),
              ElementsAre("\xC3\x89"
                          "cran"));
  EXPECT_THAT(titles(catalog,
                     "AFFICH\xC3\x82"
                     "GE"),
              ElementsAre("\xC3\x89"
                          "cran"));
}

TEST_F(RankingTest, EveryQueryWordMustMatch) {
  EXPECT_THAT(titles(catalog, "display monitor"), ElementsAre("Display", "Displays"));
  EXPECT_THAT(titles(catalog, "screen wireless"), ElementsAre("Wireless Display"));
  EXPECT_THAT(titles(catalog, "display zzz"), ElementsAre());
}

TEST_F(RankingTest, EmptyQueryListsEverythingInInsertionOrder) {
  EXPECT_EQ(titles(catalog, "   ").size(), 8u);
  EXPECT_EQ(titles(catalog, "").front(), "Sound");
}

TEST_F(RankingTest, WeightLiftsAnEntryAndTiesKeepInsertionOrder) {
  SearchCatalog c{"c"};
  c.add(entry("Alpha"), "shared");
  c.add(entry("Beta"), "shared");
  SearchEntry lifted = entry("Gamma");
  lifted.weight = 5;
  c.add(lifted, "shared");
  EXPECT_THAT(titles(c, "shared"), ElementsAre("Gamma", "Alpha", "Beta"));
}

TEST(SearchCatalogTest, PagesWalkTheRankedListWithinTheLimit) {
  SearchCatalog catalog{"Paging"};
  for (int i = 0; i < 7; ++i) catalog.add(entry("item " + std::to_string(i)), "");

  std::vector<std::string> walked;
  std::optional<std::size_t> offset = 0;
  int pages = 0;
  while (offset) {
    const SearchPage page = catalog.query_page("item", *offset, 3, 5);
    EXPECT_EQ(page.total, 5u);
    for (const std::string& t : titles(page.items)) walked.push_back(t);
    offset = page.next_offset;
    ++pages;
  }
  EXPECT_EQ(pages, 2);
  EXPECT_THAT(walked, ElementsAre("item 0", "item 1", "item 2", "item 3", "item 4"));

  const struct {
    std::size_t offset, page_size, limit;
    std::size_t items;
    std::optional<std::size_t> next;
  } cases[] = {
      {0, 100, 100, 7, std::nullopt},  // one page holds everything
      {6, 3, 100, 1, std::nullopt},    // last, short page
      {7, 3, 100, 0, std::nullopt},    // offset at the end
      {99, 3, 100, 0, std::nullopt},   // offset past the end
      {0, 0, 100, 0, std::nullopt},    // empty page size does not loop
      {0, 3, 0, 0, std::nullopt},      // zero limit
      {2, SIZE_MAX, SIZE_MAX, 5, std::nullopt},
  };
  for (const auto& c : cases) {
    const SearchPage page = catalog.query_page("item", c.offset, c.page_size, c.limit);
    EXPECT_EQ(page.items.size(), c.items) << c.offset << "/" << c.page_size << "/" << c.limit;
    EXPECT_EQ(page.next_offset, c.next) << c.offset << "/" << c.page_size << "/" << c.limit;
  }
}

TEST(SearchCatalogTest, CopiesShareEntriesAndChangesRetireCursors) {
  SearchCatalog catalog{"Personal Settings"};
  const SearchCatalog handle = catalog;
  EXPECT_EQ(handle.name(), "Personal Settings");
  EXPECT_EQ(handle.stats(), SearchStats{});

  catalog.add(entry("Network"), "wifi");
  const SearchPage page = handle.query_page("wifi", 0, 10, 10);
  ASSERT_EQ(page.items.size(), 1u);
  EXPECT_TRUE(handle.cursor_is_current(page.cursor));
  EXPECT_EQ(handle.stats().entries, 1u);
  EXPECT_EQ(handle.stats().indexed_bytes, std::string("network").size() + 4);

  catalog.add(entry("Bluetooth"), "pair");
  EXPECT_FALSE(handle.cursor_is_current(page.cursor));
  EXPECT_EQ(handle.stats().entries, 2u);
  EXPECT_TRUE(handle.cursor_is_current(handle.query_page("", 0, 1, 1).cursor));
}

TEST(SearchCatalogTest, ReadersAndAWriterMayRunTogether) {
  SearchCatalog catalog{"Threads"};
  std::thread writer([catalog]() mutable {
    for (int i = 0; i < 200; ++i) catalog.add(entry("entry " + std::to_string(i)), "words");
  });
  std::size_t last = 0;
  for (int i = 0; i < 200; ++i) {
    const std::size_t total = catalog.query_page("entry", 0, 10, 1000).total;
    EXPECT_GE(total, last);
    last = total;
  }
  writer.join();
  EXPECT_EQ(catalog.query_page("words", 0, 10, 1000).total, 200u);
}

class FixedProvider final : public CatalogSearchProvider {
 public:
  using CatalogSearchProvider::CatalogSearchProvider;
  std::shared_ptr<const kalu_actions::Resource> resolve_address(
      const kalu_actions::ActionAddress&) const override {
    return nullptr;
  }
};

TEST(CatalogSearchProviderTest, AnswersFromTheSharedCatalogWithinTheCap) {
  SearchCatalog catalog{"Many"};
  const FixedProvider provider{catalog};
  for (int i = 0; i < 300; ++i) catalog.add(entry("row " + std::to_string(i)), "");

  EXPECT_EQ(provider.title(), "Many");
  EXPECT_EQ(provider.icon(), std::nullopt);
  EXPECT_EQ(provider.stats().entries, 300u);
  EXPECT_EQ(provider.query_all("row").size(), 256u);
  EXPECT_EQ(provider.query_with_limit("row", 1000).size(), 256u);
  EXPECT_THAT(titles(provider.query_with_limit("row", 2)), ElementsAre("row 0", "row 1"));
  const SearchPage page = provider.query_page("row", 290, 50, 1000);
  EXPECT_EQ(page.total, 300u);
  EXPECT_EQ(page.items.size(), 10u);
  EXPECT_TRUE(provider.cursor_is_current(page.cursor));
}

}  // namespace
}  // namespace kalu_ui::search
