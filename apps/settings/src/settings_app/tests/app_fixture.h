#pragma once

// A headless SettingsApp for the tests: its accounts in a temporary root, and
// a pane factory that counts what the page frame builds before building it
// with the pane table.

#include <array>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "actions/settings_action.h"
#include "kalu_ui/action_invoke.h"
#include "kalu_ui/harness.h"
#include "settings_app/pane_table.h"
#include "settings_app/settings_app.h"

namespace settings::settings_app::testing {

class TempDir {
 public:
  TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "kalu-app-XXXXXX").string();
    path_ = ::mkdtemp(pattern.data());
  }
  ~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// What a sidebar row publishes into the selection cell for `pane`.
inline std::uint8_t selection_value(panes::Pane pane) {
  return static_cast<std::uint8_t>(panes::index_of(pane));
}

// One value per pane.
template <typename T>
struct ByPane : std::array<T, panes::kPaneCount> {
  T& operator[](panes::Pane pane) { return this->at(panes::index_of(pane)); }
  const T& operator[](panes::Pane pane) const { return this->at(panes::index_of(pane)); }
};
// How often the page frame built each pane.
using BuildCounts = ByPane<int>;
// What the page frame handed each pane's constructor the last time.
using HandedCells = ByPane<std::optional<PaneCells>>;

inline PaneFactory counting_panes(std::shared_ptr<BuildCounts> counts,
                                  std::shared_ptr<HandedCells> handed = nullptr) {
  return [counts, handed](panes::Pane pane, const PaneCells& cells) {
    ++(*counts)[pane];
    if (handed) (*handed)[pane] = cells;
    return build_pane(pane, cells);
  };
}

inline int total(const BuildCounts& counts) {
  int sum = 0;
  for (int n : counts) sum += n;
  return sum;
}

// The application in the harness, at 1280 by 800 unless told otherwise, with
// the namespaces the program's set-up hook registers, so bound controls'
// settings reach the document as they do in the window.
struct AppFixture {
  explicit AppFixture(kalu_ui::harness::Options options = {})
      : counts(std::make_shared<BuildCounts>()),
        handed(std::make_shared<HandedCells>()),
        harness(make(), with_registry(std::move(options))) {}

  kalu_ui::harness::Options with_registry(kalu_ui::harness::Options options) {
    if (!options.action_registry) {
      auto made = std::make_shared<kalu_actions::ActionRegistry>();
      actions::register_settings_action_handler(*made);
      options.action_registry = std::move(made);
    }
    registry = options.action_registry;
    return options;
  }

  // An automation client's invoke of an action of the application's tree.
  kalu_ui::host::InvokeResult<kalu_ui::host::InvokedAction> invoke(
      std::string_view resource, std::string_view action, std::string_view arguments = "{}") {
    kalu_ui::host::ActionHost host(registry);
    return kalu_ui::host::invoke_resource_action(host, harness.root(), harness.document(), resource,
                                                 action,
                                                 kalu_actions::ActionArgs::parse(arguments));
  }

  kalu_ui::WidgetBox make() {
    auto made = std::make_unique<SettingsApp>(root.path(), counting_panes(counts, handed));
    app = made.get();
    return made;
  }

  // The widget of the pane shown: the page column's second child.
  kalu_ui::Widget* pane_widget() {
    auto* content = app->shell() ? app->shell()->content() : nullptr;
    if (!content) return nullptr;
    kalu_ui::Widget* page = content->children_mut().at(0)->children_mut().at(0);
    // External Accounts and Region & Formats sit in one more container.
    if (page->children_mut().size() == 1) page = page->children_mut().at(0);
    return page->children_mut().at(1);
  }

  TempDir root;
  std::shared_ptr<BuildCounts> counts;
  std::shared_ptr<HandedCells> handed;
  SettingsApp* app = nullptr;
  std::shared_ptr<const kalu_actions::ActionRegistry> registry;
  kalu_ui::harness::Harness harness;
};

}  // namespace settings::settings_app::testing
