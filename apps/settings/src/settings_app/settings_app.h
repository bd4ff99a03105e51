#pragma once

// The application object: the root of the widget tree. Its only child is the
// toolkit's application shell (sidebar, search field, and the page of the
// selected pane), built at the first layout and rebuilt when the UI scale
// changes. It keeps what outlives a page: the selected pane, the search text
// as typed and as applied, the account list, the look the window draws with,
// and the shared cells through which sidebar rows, the search field, the
// panes and the operation entry points hand values to each other.
//
// Everything runs on the UI thread, inside the widget operations the frame
// loop calls. A selection made outside sync (a sidebar row) is published into
// requested_pane and applied at the next sync; select_pane applies one at
// once. Each selection builds a new pane object and drops the old one with
// its state; re-selecting the pane shown does nothing. Nothing is saved.
//
// One exception keeps operations whole: the page of a pane that carries an
// operation not yet final (a device-local one the executor handed it, or
// the account form save External Accounts is making) is not dropped when
// another pane is shown or the page is rebuilt. It is kept, synced every
// frame off screen on a document of its own, until the operation is final,
// and selecting its pane again shows that same page and pane object.

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "account_book/account_store.h"
#include "kalu_ui/document.h"
#include "kalu_ui/search.h"
#include "kalu_ui/wake_slot.h"
#include "kalu_ui/widget/app_shell.h"
#include "kalu_ui/widget/focus.h"
#include "lib/stored_notices.h"
#include "settings_app/account_branch.h"
#include "settings_app/executor.h"
#include "settings_app/pane_table.h"
#include "vocabulary/registry.h"
#include "vocabulary/type_names.h"
#include "widget_contract/widget.h"

namespace settings::settings_app {

inline constexpr std::string_view kAppId = "kalu.settings";
inline constexpr std::string_view kSearchFieldId = "settings.search";
inline constexpr std::string_view kSearchPlaceholder = "Search settings";
inline constexpr float kSearchTextSize = 13.0f;
// The navigation side's width and the window width below which the shell
// shows one side at a time; logical pixels, not scaled.
inline constexpr double kNavWidth = 264.0;
inline constexpr double kNarrowBelow = 720.0;
// The empty value of the pane-selection mailbox.
inline constexpr std::uint8_t kNoPane = 255;

// The page frame: the page column, and the width limits of two pages.
inline constexpr float kPageGapY = 16.0f;
inline constexpr float kPageGapX = 24.0f;
inline constexpr float kPagePadding = 24.0f;
// The page's scrolling area is kept under this and the pane's id.
inline constexpr std::string_view kPageAreaKey = "settings.page.";
inline constexpr float kAccountsMaxWidth = 1040.0f;
inline constexpr float kRegionMaxWidth = 720.0f;
// What Region & Formats' width hint leaves of the content area.
inline constexpr double kRegionHintInset = 72.0;

using SelectionCell = kalu_ui::WakeSlot<std::uint8_t>;
using TextCell = kalu_ui::WakeSlot<std::string>;
using AccountsRoot = std::optional<std::filesystem::path>;

// Builds the widget of a pane; the pane table's by default. Tests hand in
// their own to watch or replace what the page frame builds.
using PaneFactory = std::function<kalu_ui::WidgetBox(panes::Pane, const PaneCells&)>;

class SettingsApp : public kalu_ui::Widget {
 public:
  static constexpr std::string_view kTypeName = type_names::kSettingsApp;

  // With no accounts-root override: what the application factory builds.
  SettingsApp();
  // Rolls back an interrupted account change, loads the account list, makes
  // the cells and the search catalog, and selects Network. No pane exists
  // until the first build_layout.
  explicit SettingsApp(AccountsRoot accounts_root, PaneFactory panes = {});
  ~SettingsApp() override;
  SettingsApp(const SettingsApp&) = delete;
  SettingsApp& operator=(const SettingsApp&) = delete;

  // ---- Selection and rebuilding ----

  // Shows `pane`: nothing when it is shown already; otherwise a new page and
  // pane, a new sidebar, and the shell told of the selection. Made away from
  // the row (automation, the desktop search), so the sidebar scrolls the
  // selected row into view; a click on a row goes through requested_pane
  // and keeps the sidebar's scroll position.
  void select_pane(panes::Pane pane);
  // Builds the navigation and the page anew and hands both to the shell
  // (built and dropped when there is no shell yet).
  void rebuild_shell();
  // Hands the shell (which must exist) a new navigation, scrolled as the old one.
  void replace_nav(kalu_ui::WidgetBox nav);
  // Shows `pane` without deciding how the sidebar scrolls; false when it was
  // shown already.
  bool change_selection(panes::Pane pane);
  // Scrolls the laid-out sidebar the least that shows the selected row;
  // false while the sidebar has no height to show it in (tried again at the
  // next layout).
  bool reveal_selected_row();
  // Scrolls the page the least that shows what its pane asked to bring into
  // view (a result beside the control that produced it).
  void reveal_page_request();
  // Replaces the account list from the account store.
  void reload_accounts();
  // The shell's narrow state; false before the shell exists.
  bool is_narrow() const;
  // The page of the selected pane in its frame (settings_app/page_frame.cpp).
  kalu_ui::WidgetBox build_page() const;

  // ---- State, read by tests and by the diagnostic snapshot ----

  panes::Pane selected_category() const { return selected_category_; }
  const std::string& synchronized_search_query() const { return synchronized_search_query_; }
  const std::shared_ptr<SelectionCell>& requested_pane() const { return requested_pane_; }
  const std::shared_ptr<TextCell>& local_search_text() const { return local_search_text_; }
  // Read from the account store when first asked (the automation surface,
  // External Accounts), not at start: the first frame shows none of it.
  const std::vector<account_book::Account>& accounts() const;
  const AccountsRoot& accounts_root() const { return accounts_root_; }
  const kalu_ui::search::SearchCatalog& search_catalog() const { return search_catalog_; }
  const std::shared_ptr<operations::DeviceLocalRequestCell>& device_local_request() const {
    return cells_.device_local_request;
  }
  const std::shared_ptr<operations::OperationCompletionCell>& operation_completion() const {
    return cells_.operation_completion;
  }
  const std::shared_ptr<operations::AccountRequestCell>& account_requests() const {
    return cells_.account_requests;
  }
  const std::shared_ptr<operations::OperationCompletionCell>& account_completion() const {
    return cells_.account_completion;
  }
  const std::shared_ptr<operations::AccountCheckNoteCell>& account_check_note() const {
    return cells_.account_check_note;
  }
  const account_probe::SharedAccountProbe& account_probe() const { return cells_.account_probe; }
  // The Agent Models status line the provider jobs publish into.
  const std::shared_ptr<operations::AgentModelsStatusCell>& agent_models_status() const {
    return cells_.agent_models_status;
  }

  // The probe behind every connection check, also handed to the External
  // Accounts pane from the next page build on. Tests put a fake in.
  void set_account_probe(account_probe::SharedAccountProbe probe);

  kalu_ui::widget::AppShell* shell() { return shell_ ? &*shell_ : nullptr; }
  const kalu_ui::widget::AppShell* shell() const { return shell_ ? &*shell_ : nullptr; }

  // ---- The operations it runs (executor.h, account_branch.h) ----

  DeviceLocalExecutor& executor() { return executor_; }
  const DeviceLocalExecutor& executor() const { return executor_; }
  AccountBranch& account_branch() { return account_branch_; }
  const AccountBranch& account_branch() const { return account_branch_; }

  // ---- The widget contract ----

  std::string_view type_name() const override { return kTypeName; }
  kalu_ui::Rect get_rect() const override { return rect_; }

  void sync(kalu_ui::doc::Document& document) override;
  kalu_ui::layout::NodeId build_layout(kalu_ui::layout::LayoutTree& tree,
                                       const kalu_ui::RenderContext& context,
                                       kalu_ui::layout::NodeRegistry& registry) override;
  void apply_layout(const kalu_ui::layout::LayoutTree& tree, kalu_ui::layout::NodeId node,
                    double origin_x, double origin_y) override;
  void handle_event(const kalu_ui::Event& event, kalu_ui::EventContext& context) override;
  void draw(kalu_ui::Scene& scene, const kalu_ui::Affine& transform,
            kalu_ui::text::TextRenderer& renderer, const kalu_ui::Theme& theme,
            kalu_ui::DrawContext& context) override;
  void draw_with_presence(kalu_ui::Scene& scene, const kalu_ui::Affine& transform,
                          kalu_ui::text::TextRenderer& renderer, const kalu_ui::Theme& theme,
                          kalu_ui::DrawContext& context) override;
  bool needs_idle_sync() const override;
  bool needs_animation_frame() const override;
  bool layout_needs_measure() const override;
  bool take_structure_dirty() override;
  // The look the window draws with (settings_app/look.cpp): the theme
  // override of the shown page when a widget of it answers one (the
  // Appearance pane's), else the stored appearance section's, read again
  // whenever a set-setting saved it. Asked by the frame loop every frame.
  std::optional<kalu_ui::ThemeOverride> theme_override() const override;
  // The shell's, and those of the pages kept off screen.
  std::optional<kalu_ui::Instant> next_wake_deadline() const override;
  std::vector<const kalu_ui::Widget*> children() const override;
  std::vector<kalu_ui::Widget*> children_mut() override;

  // The application as a whole (settings_app/resources.cpp, snapshot.cpp).
  std::vector<kalu_actions::Resource> resources(
      const kalu_ui::doc::Document& document) const override;
  std::optional<kalu_actions::Resource> resource_by_id(const kalu_ui::doc::Document& document,
                                                       std::string_view id) const override;
  std::optional<kalu_ui::AccessibilityNode> accessibility() const override;
  std::optional<kalu_ui::PendingValue> take_pending_value() override;
  kalu_ui::SearchProviderList search_providers() const override;
  std::optional<kalu_ui::DebugSnapshot> debug_snapshot(const kalu_ui::doc::Document& document,
                                                       std::string_view root_object) const override;

  // The operation entry points (settings_app/entry_points.cpp): the 17
  // action ids the application handles, the start of one (device-local ones
  // to the executor, account ones to the account branch), its invocation at
  // once, and the poll of a started one.
  std::vector<std::string_view> resource_operation_kinds() const override;
  kalu_ui::DeviceLocalOutcome start_resource_operation_with_document(
      const kalu_ui::ResourceOperationId& operation_id, kalu_ui::OperationKind kind,
      std::string_view action_id, kalu_ui::Payload payload,
      kalu_ui::ResourceOperationContext& context) override;
  kalu_ui::Result<bool> invoke_resource_operation(
      kalu_ui::OperationKind kind, std::string_view action_id, kalu_ui::Payload payload,
      kalu_ui::ResourceOperationContext& context) override;
  // The same, answering what was done in the outcome's text ("Opened Sound.").
  kalu_ui::ResourceInvokeResult invoke_resource_operation_v2(
      kalu_ui::OperationKind kind, std::string_view action_id, kalu_ui::Payload payload,
      kalu_ui::ResourceOperationContext& context) override;
  std::optional<kalu_ui::ResourceOperationStatus> poll_resource_operation(
      const kalu_ui::ResourceOperationId& operation_id, bool cancel,
      kalu_ui::ResourceOperationContext& context) override;

  // The search field as the snapshot records it.
  struct SearchFieldRecord {
    kalu_ui::Rect rect;
    bool focused = false;
    std::optional<std::size_t> caret_byte;
    std::optional<std::string> text;
  };
  // Depth first, each widget before its children: the last widget with the
  // id "settings.search" gives `search`; each sidebar row appends its pane id
  // to `ids`.
  static void record_widget_state(const kalu_ui::Widget& widget,
                                  std::optional<SearchFieldRecord>& search,
                                  std::vector<std::string>& ids);

 private:
  // The control resources the shown page's buttons publish, in widget order.
  std::vector<kalu_actions::Resource> published_controls(
      const kalu_ui::doc::Document& document) const;
  // The operations the application carries out at once (opening a pane, a
  // rollback review, a provider change, an account form move): what was
  // done, none when `action_id` is not one of them, or the refusal.
  kalu_ui::Result<std::optional<std::string>> invoke_own_operation(kalu_ui::OperationKind kind,
                                                                   std::string_view action_id,
                                                                   kalu_ui::Payload payload);
  kalu_ui::WidgetBox build_nav() const;
  kalu_ui::widget::AppShell build_shell(kalu_ui::WidgetBox page) const;
  // The application's own keys (settings_app/keyboard.cpp): true when taken.
  bool handle_application_key(const kalu_ui::KeyDown& key, kalu_ui::EventContext& context);
  // Enter in the search field moves the focus to the first result.
  void follow_search_commit();
  kalu_ui::Widget* first_result();
  // The width hint of Region & Formats: the content area's width less 72,
  // at least 0, while the shell has a content area.
  std::optional<float> content_width_hint() const;

  // What the executor and the account branch ask of the application: the
  // page built anew from what is stored (an applied operation), and the
  // account list read again with it (an account removed).
  void show_stored();
  void show_changed_accounts();
  // Whether the pane carries an operation that is not final yet.
  bool carries_operation(panes::Pane pane) const;
  // The page of the selected pane: the one kept off screen for it, else new.
  kalu_ui::WidgetBox page_for_selection();
  // The page of `pane`, leaving the shell: kept while its pane carries an
  // operation, else dropped.
  void keep_if_carrying(panes::Pane pane, kalu_ui::WidgetBox page);
  // Syncs the pages kept off screen; drops those whose operation is final.
  void sync_kept_pages();

  // The shell and, through it, the page and pane shown.
  std::optional<kalu_ui::widget::AppShell> shell_;
  // Whether build_layout made the full-size node around the shell's; when
  // the tree refused it, the node handed back is the shell's own.
  bool wrapped_ = false;
  panes::Pane selected_category_ = panes::Pane::kNetwork;
  // The pane whose page the shell holds.
  panes::Pane shown_pane_ = panes::Pane::kNetwork;
  // A selection made away from its sidebar row waits for the layout of the
  // new sidebar to scroll that row into view.
  bool reveal_selected_row_ = false;
  std::shared_ptr<SelectionCell> requested_pane_;
  // The sidebar's one Tab stop, shared by the rows of every build.
  std::shared_ptr<kalu_ui::widget::RovingFocus> sidebar_focus_ =
      std::make_shared<kalu_ui::widget::RovingFocus>();
  std::shared_ptr<TextCell> local_search_text_;
  std::string synchronized_search_query_;
  kalu_ui::search::SearchCatalog search_catalog_;
  mutable std::optional<std::vector<account_book::Account>> accounts_;
  AccountsRoot accounts_root_;
  // The cells the page frame hands the panes, the probe and the root with them.
  PaneCells cells_;
  PaneFactory panes_;
  // The operations it runs over those cells.
  DeviceLocalExecutor executor_;
  AccountBranch account_branch_;
  // Pages whose pane carries an operation, kept off screen until it is
  // final, and the document they are synced on there.
  struct KeptPage {
    panes::Pane pane;
    kalu_ui::WidgetBox page;
  };
  std::vector<KeptPage> kept_pages_;
  kalu_ui::doc::Document offscreen_document_;
  kalu_ui::Rect rect_;
  float scale_ = 1.0f;
  bool structure_dirty_ = false;
  // The stored look and the store's generation it was read at.
  mutable std::optional<kalu_ui::ThemeOverride> stored_look_;
  mutable std::uint64_t stored_look_generation_ = 0;
  // Notes the changes other writers make to the settings document.
  std::unique_ptr<lib::StoredWatch> stored_watch_;
};

}  // namespace settings::settings_app
