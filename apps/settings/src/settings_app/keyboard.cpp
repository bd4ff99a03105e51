// The application's own keys, those no focused widget took: Ctrl+F goes to
// the search field; in the search field Down (and Enter, at the next sync)
// goes to the first result and Escape clears the query.

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
    context.request_focus(*search);
    return true;
  }
  if (!search->is_focused() || !plain(key.modifiers)) return false;
  if (key.key == kalu_ui::Key::Down) {
    kalu_ui::Widget* first = first_result();
    if (first == nullptr) return false;
    context.request_focus(*first);
    return true;
  }
  if (key.key == kalu_ui::Key::Escape && !local_search_text_->get().empty()) {
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
