#include "settings_app/settings_app.h"

#include <algorithm>
#include <bit>
#include <utility>

#include "account_book/paths.h"
#include "accounts/journal.h"
#include "accounts/stores.h"
#include "kalu_ui/frame.h"
#include "kalu_ui/layout.h"
#include "kalu_ui/log.h"
#include "kalu_ui/widget/scrollable.h"
#include "kalu_ui/widget/support.h"
#include "kalu_ui/widget/text_input.h"
#include "lib/page_pane.h"
#include "prefs_store/paths.h"
#include "safe_write/safe_write.h"
#include "settings_app/pane_table.h"
#include "settings_app/search_catalog.h"
#include "sidebar/nav.h"
#include "sidebar/sidebar_row.h"
#include "sim_device/state.h"

namespace settings::settings_app {

using kalu_ui::WidgetBox;
using kalu_ui::layout::NodeId;
using kalu_ui::widget::AppShell;

namespace {

std::vector<account_book::Account> account_list(const AccountsRoot& root) {
  const account_book::AccountStore store = accounts::load_account_store(root);
  return store.accounts;
}

// Temporary files that saves of an earlier run left when it was killed mid
// write: each folder this program saves into is swept once at start.
void remove_stale_temporaries(const AccountsRoot& accounts_root) {
  std::vector<std::filesystem::path> dirs;
  if (auto settings = prefs_store::settings_path()) dirs.push_back(settings->parent_path());
  if (auto root = accounts::accounts_root(accounts_root)) {
    dirs.push_back(*root);
    dirs.push_back(account_book::accounts_dir_in(*root));
    dirs.push_back(account_book::vault_dir_in(*root));
    dirs.push_back(*root / "model-gateway");
  }
  if (auto device = sim_device::state_path(); !device.empty()) {
    dirs.push_back(device.parent_path());
  }
  std::size_t removed = 0;
  for (const auto& dir : dirs) removed += safe_write::remove_stale_temporaries(dir);
  if (removed > 0) {
    kalu_ui::log::warn("kalu::settings", "settings::settings_app",
                       "removed temporary files of interrupted saves",
                       {{"op", "stale_temporaries"}, {"count", std::to_string(removed)}});
  }
}

// The sidebar's scrolling viewport: the first one in the navigation.
kalu_ui::widget::Scrollable* nav_viewport(kalu_ui::Widget* nav) {
  if (nav == nullptr) return nullptr;
  auto found = kalu_ui::frame::collect(*nav, [](const kalu_ui::Widget& w) {
    return dynamic_cast<const kalu_ui::widget::Scrollable*>(&w) != nullptr;
  });
  return found.empty() ? nullptr : dynamic_cast<kalu_ui::widget::Scrollable*>(found.front());
}

}  // namespace

SettingsApp::SettingsApp() : SettingsApp(std::nullopt) {}

SettingsApp::SettingsApp(AccountsRoot accounts_root, PaneFactory panes)
    : search_catalog_(std::string(kSearchCatalogName)),
      panes_(panes ? std::move(panes) : PaneFactory(&build_pane)),
      executor_(cells_, {.show_pane = [this](panes::Pane pane) { select_pane(pane); },
                         .show_stored = [this] { show_stored(); }}),
      account_branch_(cells_,
                      {.show_accounts = [this] { select_pane(panes::Pane::kExternalAccounts); },
                       .accounts_changed = [this] { show_changed_accounts(); }}) {
  // An account change a previous run left half done is rolled back before
  // anything reads the account store; a failure is logged there.
  remove_stale_temporaries(accounts_root);
  accounts::recover_interrupted_mutation(accounts_root);
  synchronized_search_query_.clear();
  requested_pane_ = SelectionCell::create(kNoPane);
  local_search_text_ = TextCell::create(std::string());
  search_catalog_ = build_search_catalog();
  cells_.account_requests = operations::AccountRequestCell::create({});
  cells_.account_completion = operations::OperationCompletionCell::create({});
  cells_.account_check_note = operations::AccountCheckNoteCell::create(std::nullopt);
  cells_.account_probe = account_probe::new_account_probe();
  cells_.operation_completion = operations::OperationCompletionCell::create({});
  cells_.device_local_request = operations::DeviceLocalRequestCell::create({});
  cells_.agent_models_status = operations::AgentModelsStatusCell::create(std::nullopt);
  cells_.agent_models_providers_changed =
      operations::AgentModelsProvidersChangedCell::create(false);
  cells_.accounts_root = accounts_root;
  accounts_root_ = std::move(accounts_root);
  if (auto settings = prefs_store::settings_path()) {
    stored_watch_ = std::make_unique<lib::StoredWatch>(*settings);
  }
}

SettingsApp::~SettingsApp() = default;

// ---- Selection and rebuilding ----------------------------------------------

void SettingsApp::select_pane(panes::Pane pane) {
  // Chosen away from its row (automation, the desktop search): the row may
  // lie below the fold, so the sidebar scrolls to it once it is laid out. A
  // pane already shown has its row laid out and is revealed at once.
  reveal_selected_row_ = true;
  if (!change_selection(pane) && reveal_selected_row()) reveal_selected_row_ = false;
}

bool SettingsApp::change_selection(panes::Pane pane) {
  if (pane == selected_category_) return false;
  selected_category_ = pane;
  structure_dirty_ = true;
  rebuild_shell();
  if (shell_) shell_->notify_selection();
  return true;
}

void SettingsApp::rebuild_shell() {
  WidgetBox nav = build_nav();
  if (!shell_) {
    (void)build_page();
    return;
  }
  replace_nav(std::move(nav));
  // A page whose pane is still carrying an operation stays as it is.
  if (selected_category_ == shown_pane_ && carries_operation(shown_pane_)) return;
  const panes::Pane outgoing = shown_pane_;
  WidgetBox old = shell_->exchange_content(page_for_selection());
  shown_pane_ = selected_category_;
  keep_if_carrying(outgoing, std::move(old));
}

bool SettingsApp::carries_operation(panes::Pane pane) const {
  return executor_.carrying_pane() == pane ||
         (pane == panes::Pane::kExternalAccounts && account_branch_.saving());
}

WidgetBox SettingsApp::page_for_selection() {
  const auto kept = std::ranges::find(kept_pages_, selected_category_, &KeptPage::pane);
  if (kept == kept_pages_.end()) return build_page();
  WidgetBox page = std::move(kept->page);
  kept_pages_.erase(kept);
  return page;
}

void SettingsApp::keep_if_carrying(panes::Pane pane, WidgetBox page) {
  if (!page || !carries_operation(pane)) return;
  std::erase_if(kept_pages_, [&](const KeptPage& kept) { return kept.pane == pane; });
  kept_pages_.push_back({pane, std::move(page)});
}

void SettingsApp::sync_kept_pages() {
  // Off screen, the pane takes its request, polls its workers and completes
  // its operation exactly as it would on screen.
  for (KeptPage& kept : kept_pages_) kept.page->sync(offscreen_document_);
  executor_.settle();
  account_branch_.settle();
  std::erase_if(kept_pages_, [&](const KeptPage& kept) { return !carries_operation(kept.pane); });
}

void SettingsApp::show_stored() {
  structure_dirty_ = true;
  rebuild_shell();
}

void SettingsApp::show_changed_accounts() {
  reload_accounts();
  rebuild_shell();
}

void SettingsApp::replace_nav(WidgetBox nav) {
  // The new sidebar opens where the old one was scrolled to: a row picked
  // below the fold stays under the pointer instead of jumping out of view.
  auto* before = nav_viewport(shell_->nav());
  auto* after = nav_viewport(nav.get());
  if (before != nullptr && after != nullptr) after->keep_offset_of(*before);
  shell_->set_nav(std::move(nav));
}

bool SettingsApp::reveal_selected_row() {
  kalu_ui::Widget* nav = shell_ ? shell_->nav() : nullptr;
  kalu_ui::widget::Scrollable* viewport = nav_viewport(nav);
  if (viewport == nullptr) return true;
  const auto rows = kalu_ui::frame::collect(*viewport, [](const kalu_ui::Widget& w) {
    const auto* row = dynamic_cast<const sidebar::SidebarRow*>(&w);
    return row != nullptr && row->selected();
  });
  // A search may have left the selected pane out: there is nothing to show.
  if (rows.empty()) return true;
  // A sidebar not on screen (the narrow window's closed overlay) has no
  // height to scroll within yet.
  if (viewport->get_rect().height() <= 0.0) return false;
  viewport->reveal_descendant(*rows.front());
  return true;
}

void SettingsApp::reveal_page_request() {
  kalu_ui::Widget* content = shell_ ? shell_->content() : nullptr;
  if (content == nullptr) return;
  for (kalu_ui::Widget* found : kalu_ui::frame::collect(*content, [](const kalu_ui::Widget& w) {
         return dynamic_cast<const lib::PagePane*>(&w) != nullptr;
       })) {
    if (kalu_ui::Widget* target = static_cast<lib::PagePane*>(found)->take_reveal()) {
      content->reveal_descendant(*target);
    }
  }
}

void SettingsApp::reload_accounts() { accounts_ = account_list(accounts_root_); }

const std::vector<account_book::Account>& SettingsApp::accounts() const {
  if (!accounts_) accounts_ = account_list(accounts_root_);
  return *accounts_;
}

bool SettingsApp::is_narrow() const { return shell_ && shell_->is_narrow(); }

WidgetBox SettingsApp::build_nav() const {
  return sidebar::build_nav(selected_category_, synchronized_search_query_, requested_pane_,
                            sidebar_focus_);
}

AppShell SettingsApp::build_shell(WidgetBox page) const {
  auto search = kalu_ui::widget::TextInput::from_state(local_search_text_)
                    .with_kind(kalu_ui::widget::TextInput::kKindSearch)
                    .with_id(std::string(kSearchFieldId))
                    .with_placeholder(std::string(kSearchPlaceholder))
                    .with_text_size(kSearchTextSize);
  return std::move(AppShell(build_nav(), std::move(page))
                       .with_search(kalu_ui::widget::boxed(std::move(search)))
                       .with_metrics(kNavWidth, kNarrowBelow)
                       .with_narrow_screen(true));
}

// ---- The frame cycle -------------------------------------------------------

void SettingsApp::sync(kalu_ui::doc::Document& document) {
  const std::uint8_t requested = requested_pane_->get();
  if (requested != kNoPane) {
    // Emptied first: a refused reset leaves the value, which re-applied next
    // frame equals the selection and does nothing.
    requested_pane_->publish(kNoPane);
    // Picked on its row: the sidebar stays where the user scrolled it. Only
    // the program publishes panes; a value past the table names nothing.
    const std::optional<panes::Pane> pane = panes::pane_at(requested);
    if (pane && change_selection(*pane)) reveal_selected_row_ = false;
  }
  std::string query = local_search_text_->get();
  if (query != synchronized_search_query_) {
    synchronized_search_query_ = std::move(query);
    structure_dirty_ = true;
    // The page and its pane stay; only the navigation follows the query.
    WidgetBox nav = build_nav();
    if (shell_) replace_nav(std::move(nav));
  }
  if (shell_) shell_->sync(document);
  follow_search_commit();
  // A pane completes its operation in its sync, shown or kept: the executor
  // is free at once.
  sync_kept_pages();
}

NodeId SettingsApp::build_layout(kalu_ui::layout::LayoutTree& tree,
                                 const kalu_ui::RenderContext& context,
                                 kalu_ui::layout::NodeRegistry& registry) {
  const float scale = static_cast<float>(context.scale_factor);
  if (!shell_ || std::bit_cast<std::uint32_t>(scale) != std::bit_cast<std::uint32_t>(scale_)) {
    scale_ = scale;
    // A new scale constructs the selected pane anew, as a selection does,
    // unless it carries an operation: then the same page moves over.
    WidgetBox page;
    if (shell_) {
      WidgetBox old = shell_->exchange_content(nullptr);
      if (shown_pane_ == selected_category_ && carries_operation(shown_pane_)) {
        page = std::move(old);
      } else {
        keep_if_carrying(shown_pane_, std::move(old));
      }
    }
    if (!page) page = page_for_selection();
    shown_pane_ = selected_category_;
    AppShell shell = build_shell(std::move(page));
    shell_.reset();
    shell_.emplace(std::move(shell));
  }
  const NodeId child = shell_->build_layout(tree, context, registry);
  kalu_ui::layout::Style style;
  style.width = kalu_ui::layout::Dimension::full();
  style.height = kalu_ui::layout::Dimension::full();
  std::vector<NodeId> children;
  if (child.is_valid()) children.push_back(child);
  auto wrapper = tree.new_with_children(style, children);
  wrapped_ = wrapper.has_value();
  if (!wrapped_) return child;
  registry.insert(*wrapper, this);
  return *wrapper;
}

void SettingsApp::apply_layout(const kalu_ui::layout::LayoutTree& tree, NodeId node,
                               double origin_x, double origin_y) {
  double lx = 0.0, ly = 0.0, w = 0.0, h = 0.0;
  if (const auto layout = tree.layout(node)) {
    lx = layout->location.x;
    ly = layout->location.y;
    w = layout->size.width;
    h = layout->size.height;
  }
  rect_ = kalu_ui::Rect{origin_x + lx, origin_y + ly, origin_x + lx + w, origin_y + ly + h};
  if (!shell_) return;
  if (!wrapped_) {
    // The node is the shell's own: the shell places itself from our origin.
    shell_->apply_layout(tree, node, origin_x, origin_y);
  } else if (const auto shell_node = tree.child_at(node, 0)) {
    shell_->apply_layout(tree, *shell_node, rect_.x0, rect_.y0);
  }
  // The scroll lands between layouts; the viewport draws it shifted until the next.
  if (reveal_selected_row_ && reveal_selected_row()) reveal_selected_row_ = false;
  reveal_page_request();
}

void SettingsApp::handle_event(const kalu_ui::Event& event, kalu_ui::EventContext& context) {
  if (const auto* key = event.as<kalu_ui::KeyDown>();
      key && !context.handled && handle_application_key(*key, context)) {
    context.set_handled();
    return;
  }
  // The shell routes by the rectangles its last apply_layout stored, which
  // are its own whether or not the wrapper node exists.
  if (shell_) shell_->handle_event(event, context);
}

void SettingsApp::draw(kalu_ui::Scene& scene, const kalu_ui::Affine& transform,
                       kalu_ui::text::TextRenderer& renderer, const kalu_ui::Theme& theme,
                       kalu_ui::DrawContext& context) {
  if (shell_) shell_->draw(scene, transform, renderer, theme, context);
}

void SettingsApp::draw_with_presence(kalu_ui::Scene& scene, const kalu_ui::Affine& transform,
                                     kalu_ui::text::TextRenderer& renderer,
                                     const kalu_ui::Theme& theme, kalu_ui::DrawContext& context) {
  if (shell_) shell_->draw_with_presence(scene, transform, renderer, theme, context);
}

bool SettingsApp::needs_idle_sync() const {
  return (shell_ && shell_->needs_idle_sync()) ||
         std::ranges::any_of(kept_pages_,
                             [](const KeptPage& kept) { return kept.page->needs_idle_sync(); });
}

std::optional<kalu_ui::Instant> SettingsApp::next_wake_deadline() const {
  std::optional<kalu_ui::Instant> due = Widget::next_wake_deadline();
  for (const KeptPage& kept : kept_pages_) {
    due = kalu_ui::earliest(due, kept.page->next_wake_deadline());
  }
  return due;
}

bool SettingsApp::needs_animation_frame() const {
  return shell_ && shell_->needs_animation_frame();
}

bool SettingsApp::layout_needs_measure() const { return shell_ && shell_->layout_needs_measure(); }

bool SettingsApp::take_structure_dirty() {
  const bool own = std::exchange(structure_dirty_, false);
  const bool shell = shell_ && shell_->take_structure_dirty();
  // External Accounts may have changed the store; the resource tree reads the list.
  if (shell && selected_category_ == panes::Pane::kExternalAccounts) reload_accounts();
  return own || shell;
}

std::vector<const kalu_ui::Widget*> SettingsApp::children() const {
  if (!shell_) return {};
  return {&*shell_};
}

std::vector<kalu_ui::Widget*> SettingsApp::children_mut() {
  if (!shell_) return {};
  return {&*shell_};
}

}  // namespace settings::settings_app
