#pragma once

// The in-window search: which panes the text typed into the search field keeps
// in the sidebar.

#include <string>
#include <string_view>

#include "vocabulary/registry.h"

namespace settings::sidebar {

// `text` without leading and trailing Unicode white space (the characters with
// the White_Space property). Case and everything inside are kept.
std::string_view trim_query(std::string_view text);

// The form queries are matched in: trimmed, then ASCII A to Z lower-cased;
// every other character stays as it is.
std::string normalise_query(std::string_view text);

// True when the pane's title or subtitle (ASCII lower-cased) contains the
// normalised query, or one of its keywords contains it or is contained in it.
// An empty query matches every pane. The pane id is not searched.
bool pane_matches_query(panes::Pane pane, std::string_view query);

// True when the pane's title (ASCII lower-cased) contains the normalised,
// non-empty query: such panes are listed first among the results.
bool pane_title_matches_query(panes::Pane pane, std::string_view query);

}  // namespace settings::sidebar
