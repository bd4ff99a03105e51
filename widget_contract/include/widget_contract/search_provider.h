#pragma once

#include <string>

namespace kalu_ui::search {

// A source of desktop search results that an application offers. The toolkit
// grows this interface with its queries; applications answer a list of them.
class SearchProvider {
 public:
  virtual ~SearchProvider() = default;
  // The name shown to people ("Personal Settings").
  virtual std::string name() const = 0;
};

}  // namespace kalu_ui::search
