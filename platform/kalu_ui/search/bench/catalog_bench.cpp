#include <benchmark/benchmark.h>

#include <string>

#include "kalu_ui/search.h"

namespace kalu_ui::search {
namespace {

// A catalog the size of a desktop's worth of entries: titles and terms of a
// few words, some accented.
SearchCatalog make_catalog(int count) {
  SearchCatalog catalog{"Bench"};
  const std::string accented =
      "\xC3\x89"
      "cran";
  for (int i = 0; i < count; ++i) {
    std::string title = std::to_string(i);
    title.append(i % 7 == 0 ? accented : std::string("Panel"));
    std::string terms("network display sound printer keyboard r\xC3\xA9seau ");
    terms.append(std::to_string(i * 31));
    catalog.add(SearchEntry{.title = std::move(title), .section = {}, .target = {}}, terms);
  }
  return catalog;
}

void BM_QueryFirstPage(benchmark::State& state) {
  const SearchCatalog catalog = make_catalog(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    benchmark::DoNotOptimize(catalog.query_page("ecran disp", 0, 20, 256));
  }
}
BENCHMARK(BM_QueryFirstPage)->Arg(22)->Arg(1000)->Arg(10000);

}  // namespace
}  // namespace kalu_ui::search
