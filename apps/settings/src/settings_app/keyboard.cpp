// The application's own keys, those no focused widget took: Ctrl+F goes to
// the search field and selects the query there, so typing replaces it; in
// the search field Down (and Enter, at the next sync) goes to the first
// result and Escape clears the query, typed or searched; elsewhere Escape
// dismisses the question the page asks (its Cancel).

#include "kalu_ui/frame.h"
#include "kalu_ui/widget/focus.h"
#include "settings_app/settings_app.h"
#include "sidebar/sidebar_row.h"

namespace settings::settings_app {
namespace {

bool plain(const kalu_ui::Modifiers& modifiers) {
  return !modifiers.ctrl && !modifiers.alt && !modifiers.super && !modifiers.shift;
}

}  // namespace

kalu_ui::Widget* SettingsApp::first_result() {
  kalu_ui::Widget* nav = shell_ ? shell_->nav() : nullptr;
  if (nav == nullptr) return nullptr;
  const auto rows = kalu_ui::frame::collect(*nav, [](const kalu_ui::Widget& w) {
    return dynamic_cast<const sidebar::SidebarRow*>(&w) != nullptr;
  });
  return rows.empty() ? nullptr : rows.front();
}

bool SettingsApp::handle_application_key(const kalu_ui::KeyDown& key,
                                         kalu_ui::EventContext& context) {
  kalu_ui::Widget* search = shell_ ? shell_->search() : nullptr;
  if (search == nullptr) return false;
  if (key.key == kalu_ui::Key::F && key.modifiers.ctrl && !key.modifiers.alt &&
      !key.modifiers.super) {
    if (shell_->is_narrow()) shell_->set_sidebar_collapsed(false);
    kalu_ui::widget::focus_widget(*this, search);
    // Select all, as the field does for Ctrl+A.
    kalu_ui::KeyDown select_all = key;
    select_all.key = kalu_ui::Key::A;
    select_all.modifiers = kalu_ui::Modifiers{};
    select_all.modifiers.ctrl = true;
    search->handle_event(kalu_ui::Event(select_all), context);
    context.request_focus(*search);
    return true;
  }
  if (!search->is_focused()) {
    if (key.key != kalu_ui::Key::Escape || !plain(key.modifiers)) return false;
    kalu_ui::Widget* cancel = kalu_ui::widget::cancel_answer(*this);
    if (cancel == nullptr) return false;
    return cancel->perform_action(kalu_ui::SemanticAction::activate(),
                                  kalu_actions::ActionContext{});
  }
  if (!plain(key.modifiers)) return false;
  if (key.key == kalu_ui::Key::Down) {
    kalu_ui::Widget* first = first_result();
    if (first == nullptr) return false;
    context.request_focus(*first);
    return true;
  }
  if (key.key == kalu_ui::Key::Escape) {
    const std::optional<kalu_ui::TextReview> typed = search->text_review();
    const bool has_text = typed && !typed->text.empty();
    if (!has_text && local_search_text_->get().empty()) return false;
    if (has_text) {
      (void)search->perform_action({kalu_ui::SemanticAction::Kind::SetValue, std::string()},
                                   kalu_actions::ActionContext{});
    }
    (void)local_search_text_->publish(std::string());
    return true;
  }
  return false;
}

void SettingsApp::follow_search_commit() {
  kalu_ui::Widget* search = shell_ ? shell_->search() : nullptr;
  if (search == nullptr || !search->needs_commit()) return;
  search->on_commit();
  // Enter in the search field: the person goes on at the first result.
  if (kalu_ui::Widget* first = first_result()) {
    kalu_ui::widget::focus_widget(*this, first);
    reveal_descendant(*first);
  }
}

}  // namespace settings::settings_app
