#include "panes/accounts/page.h"

#include <fmt/format.h>

#include <utility>

#include "actions/pane_actions.h"
#include "actions/users_accounts_section.h"
#include "kalu_ui/log.h"
#include "kalu_ui/widget/column.h"
#include "kalu_ui/widget/container.h"
#include "kalu_ui/widget/row.h"
#include "kalu_ui/widget/spacer.h"
#include "kalu_ui/widget/support.h"
#include "kalu_ui/widget/text.h"
#include "kalu_ui/widget/text_input.h"
#include "lib/flag_button.h"
#include "lib/ui_rows.h"

namespace settings::panes::accounts {

namespace {

namespace w = kalu_ui::widget;
namespace services = settings::accounts;
using kalu_ui::WidgetBox;
using Op = operations::AccountOperation;
using ui_rows::WidgetList;

constexpr std::uint8_t kEffect = 1;
constexpr std::uint8_t kOpenOrClose = 2;
constexpr float kIntroGap = 8.0f;
constexpr float kInputTextSize = 13.0f;
constexpr float kTitleSize = 13.0f;
constexpr float kDetailSize = 11.0f;
constexpr float kRowButtonHeight = 40.0f;
constexpr float kButtonGap = 8.0f;
constexpr float kAccountLinesGap = 4.0f;
constexpr std::string_view kSectionLabel = "External Accounts";

WidgetBox text(std::string_view content, float size, bool muted) {
  return w::boxed(w::Text(std::string(content)).with_size(size).with_muted(muted).with_wrap());
}

// Buttons side by side, then the rest of the line left empty.
WidgetBox button_row(WidgetList buttons) {
  w::Row row;
  row.with_alignment(w::Alignment::Center);
  for (std::size_t i = 0; i < buttons.size(); ++i) {
    if (i > 0) row.push(ui_rows::gap(kButtonGap));
    row.push(std::move(buttons[i]));
  }
  row.push(w::boxed(w::Spacer()));
  return w::boxed(std::move(row));
}

WidgetBox text_input(const std::shared_ptr<kalu_ui::WakeSlot<std::string>>& cell,
                     kalu_ui::TextInputKind kind, std::string id, std::string label,
                     std::string placeholder) {
  return w::boxed(w::TextInput::from_state(cell)
                      .with_kind(kind)
                      .with_id(std::move(id))
                      .with_label(std::move(label))
                      .with_placeholder(std::move(placeholder))
                      .with_text_size(kInputTextSize));
}

WidgetBox secret_input(const std::shared_ptr<kalu_ui::secret::SecretBuffer>& buffer, std::string id,
                       std::string label, std::string placeholder) {
  return w::boxed(w::TextInput::from_secret(buffer)
                      .with_kind(w::TextInput::kKindPassword)
                      .with_masked()
                      .with_id(std::move(id))
                      .with_label(std::move(label))
                      .with_placeholder(std::move(placeholder))
                      .with_text_size(kInputTextSize));
}

std::string_view server_placeholder(AccountKind kind) {
  switch (kind) {
    case AccountKind::kCalDav:
      return "https://calendar.example.org/.well-known/caldav";
    case AccountKind::kWebDav:
      return "https://files.example.org/remote.php/dav/files/you/";
    default:
      return "https://cloud.example.org";
  }
}

WidgetBox introduction(const PageModel& m) {
  WidgetList parts;
  parts.push_back(
      text("Connect email, calendars and files once, then use them in compatible apps. Account "
           "details and credentials stay on this device; they are never shared with a workspace or "
           "collaborators.",
           ui_rows::kCaptionSize, false));
  if (m.local_vault_key) {
    parts.push_back(ui_rows::caption(
        "The desktop Secret Service is unavailable, so this session uses an owner-only local "
        "vault key. Install or unlock a Secret Service for stronger key custody."));
  }
  const bool noticed = m.store_notices != nullptr && !m.store_notices->empty();
  if (noticed) {
    for (const std::string& notice : *m.store_notices) parts.push_back(ui_rows::caption(notice));
  }
  bool none = true;
  for (const auto& of_kind : *m.rows) none = none && of_kind.empty();
  if (none && !noticed) {
    parts.push_back(ui_rows::caption(
        "You have no accounts yet. Use \u201cAdd\u201d to connect your first account."));
  }
  return ui_rows::column(std::move(parts), kIntroGap);
}

WidgetBox section_button(std::string control_id, std::string label, std::string_view action,
                         std::uint8_t kind, const Op& operation, const AccountBindings& b) {
  return action_button(std::move(control_id), std::move(label),
                       actions::section_resource_id(Pane::kExternalAccounts), kSectionLabel, action,
                       kind, operation, false, b);
}

// A button of the open form or the replacement card. The section publishes
// no action that saves or closes what this page holds open (a client saves
// through its own operation), so a bound button's every click would be
// refused; bound only to its own control resource, a click writes its flag
// and nothing else, and a client presses it exactly so.
WidgetBox form_button(std::string_view control_id, std::string label) {
  return w::boxed(
      lib::FlagButton(std::move(label), std::string(control_id), std::string(control_id)));
}

WidgetBox form_card(const PageModel& m) {
  const AccountKind kind = *m.form_kind;
  const FormCells& c = *m.cells;
  const bool mail = kind == AccountKind::kMail;
  WidgetList rows;
  rows.push_back(ui_rows::label_row(
      "Display name", text_input(c.display_name, w::TextInput::kKindName, "accounts.form.name",
                                 "Display name", "Display name")));
  if (mail) {
    rows.push_back(ui_rows::label_row(
        "Email address", text_input(c.email, w::TextInput::kKindEmail, "accounts.form.identity",
                                    "Email address", "you@example.com")));
    rows.push_back(ui_rows::label_row(
        "Login name", text_input(c.username, w::TextInput::kKindUsername, "accounts.form.username",
                                 "Login name", "Username (defaults to your address)")));
  } else {
    rows.push_back(ui_rows::label_row(
        "Username", text_input(c.username, w::TextInput::kKindUsername, "accounts.form.identity",
                               "Username", "Username or email")));
    rows.push_back(ui_rows::label_row(
        "Server", text_input(c.server_url, w::TextInput::kKindUrl, "accounts.form.server",
                             "Server URL", std::string(server_placeholder(kind)))));
  }
  rows.push_back(ui_rows::label_row(
      "Password or app password",
      secret_input(c.password, "accounts.form.password", "Password or app password", "Password")));
  if (m.form_status) {
    rows.push_back(ui_rows::caption(fmt::format("Could not save: {}", *m.form_status)));
  }
  rows.push_back(ui_rows::caption(
      "Required fields, the secure endpoint, and the credential are checked with a bounded "
      "protocol sign-in before anything is saved. Credentials and drafts stay device-local; they "
      "never enter collaboration state or account metadata."));
  WidgetList buttons;
  buttons.push_back(form_button(control::kFormSave, "Save account"));
  buttons.push_back(form_button(control::kFormCancel, "Cancel"));
  rows.push_back(button_row(std::move(buttons)));
  const std::string title =
      fmt::format("{} {} account", m.editing_id ? "Edit" : "Add", services::title(kind));
  return ui_rows::section_card(title, ui_rows::rows_column(std::move(rows)));
}

WidgetBox replacement_card(const PageModel& m) {
  WidgetList rows;
  rows.push_back(ui_rows::info_row("Account", *m.reauth_target));
  rows.push_back(ui_rows::label_row(
      "Credential", secret_input(m.cells->reauth_password, "accounts.reauth.password",
                                 "New password or app password", "New password or app password")));
  rows.push_back(ui_rows::caption(
      "This replaces an existing password or app password in the OS account vault. OAuth "
      "authorization remains with the owning application."));
  if (m.reauth_message) {
    rows.push_back(
        ui_rows::caption(fmt::format("Could not update credential: {}", *m.reauth_message)));
  }
  WidgetList buttons;
  buttons.push_back(form_button(control::kReauthSave, "Update credential"));
  buttons.push_back(form_button(control::kReauthCancel, "Cancel"));
  rows.push_back(button_row(std::move(buttons)));
  return ui_rows::section_card("Replace saved password", ui_rows::rows_column(std::move(rows)));
}

// The confirmation of a pending removal whose row is still listed.
WidgetBox removal_card(const AccountRow& row) {
  WidgetList rows;
  rows.push_back(ui_rows::caption(fmt::format(
      "{} will be removed from this device. Locally cached copies may be removed by its apps; "
      "data on the provider is not deleted. The encrypted credential and local sync-health "
      "record are removed.",
      row.title)));
  WidgetList buttons;
  buttons.push_back(
      w::boxed(lib::FlagButton("Remove from this device", std::string(control::kRemoveConfirm),
                               std::string(control::kRemoveConfirm))));
  // Keeping the account is the safer answer, and the default one.
  lib::FlagButton cancel("Cancel", std::string(control::kRemoveCancel),
                         std::string(control::kRemoveCancel));
  cancel.with_default_answer();
  buttons.push_back(w::boxed(std::move(cancel)));
  rows.push_back(button_row(std::move(buttons)));
  return ui_rows::section_card("Remove account?", ui_rows::rows_column(std::move(rows)));
}

WidgetBox row_button(std::string control_id, std::string label, const AccountRow& row,
                     std::string_view action, std::uint8_t kind, const Op& operation,
                     const AccountBindings& b) {
  const std::string resource = fmt::format("settings.account:{}", row.id);
  WidgetBox button = action_button(std::move(control_id), std::move(label), resource, row.title,
                                   action, kind, operation, false, b);
  static_cast<w::Button&>(*button).with_min_height(kRowButtonHeight);
  return button;
}

WidgetBox account_row(const PageModel& m, const AccountRow& row, const AccountBindings& b) {
  const account_book::AccountSyncStatus* status = m.statuses->get(row.id);
  const HealthBadge badge = health_badge(row.enabled, status);
  auto title_line =
      w::Row()
          .with_alignment(w::Alignment::Center)
          .push(
              w::boxed(w::Container().with_expand().with_child(text(row.title, kTitleSize, false))))
          .push(w::boxed(w::Spacer()))
          .push(ui_rows::badge_with_tone(badge.text, badge.tone));
  WidgetList edit_buttons;
  edit_buttons.push_back(
      row_button(control::edit(row.id), "Edit", row, "edit", kOpenOrClose, Op::Edit{row.id}, b));
  edit_buttons.push_back(row_button(control::reauth(row.id), "Sign in again", row, "reauthenticate",
                                    kOpenOrClose, Op::Reauthenticate{row.id}, b));
  // The check of a saved account runs only through its action; the pane
  // reads no flag of it.
  WidgetBox check = row_button(control::test(row.id),
                               row.kind == AccountKind::kMail ? "Check server" : "Verify sign-in",
                               row, "test", kEffect, Op::Test{row.id}, b);
  // Removal asks first: the row's button only opens the confirmation card,
  // so it is never bound to the action that removes at once.
  auto remove = lib::FlagButton("Remove", control::remove(row.id), control::remove(row.id));
  remove.with_danger().with_min_height(kRowButtonHeight);
  auto check_line = w::Row()
                        .with_alignment(w::Alignment::Center)
                        .push(std::move(check))
                        .push(w::boxed(w::Spacer()))
                        .push(w::boxed(std::move(remove)));
  w::Column lines;
  lines.with_gap(kAccountLinesGap)
      .push(w::boxed(std::move(title_line)))
      .push(text(row.detail, kDetailSize, true))
      .push(text(sync_line(status, m.now_unix), kDetailSize, true))
      .push(button_row(std::move(edit_buttons)))
      .push(w::boxed(std::move(check_line)));
  // What the last check of this account found, under the button that ran it.
  if (m.check_note && m.check_note->id == row.id) {
    lines.push(w::boxed(w::Text(m.check_note->text)
                            .with_id(control::check_note(row.id))
                            .with_size(ui_rows::kCaptionSize)
                            .with_muted(!m.check_note->failed)
                            .with_wrap()));
  }
  return w::boxed(std::move(lines));
}

std::string lower_title(AccountKind kind) {
  if (kind == AccountKind::kMail) return "email";
  std::string out(services::title(kind));
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

// The rows column of a kind's section, or its empty caption.
WidgetBox section_rows(const PageModel& m, AccountKind kind, const std::vector<AccountRow>& rows,
                       const AccountBindings& b) {
  WidgetList content;
  if (rows.empty()) {
    content.push_back(ui_rows::caption(fmt::format("No {} accounts yet.", lower_title(kind))));
  } else {
    for (const AccountRow& row : rows) content.push_back(account_row(m, row, b));
  }
  return ui_rows::rows_column(std::move(content));
}

WidgetBox kind_section(const PageModel& m, AccountKind kind, const AccountBindings& b) {
  const std::string short_name(services::short_name(kind));
  WidgetBox add =
      section_button(control::add(kind), "Add account", fmt::format("add-{}", short_name),
                     kOpenOrClose, Op::Add{short_name}, b);
  return ui_rows::section_card_with_control(
      services::title(kind), std::move(add),
      section_rows(m, kind, (*m.rows)[static_cast<std::size_t>(kind)], b));
}

}  // namespace

namespace control {
std::string add(AccountKind kind) {
  return fmt::format("settings.accounts.add.{}", services::short_name(kind));
}
std::string edit(std::string_view id) { return fmt::format("settings.accounts.edit.{}", id); }
std::string reauth(std::string_view id) { return fmt::format("settings.accounts.reauth.{}", id); }
std::string test(std::string_view id) { return fmt::format("settings.accounts.test.{}", id); }
std::string remove(std::string_view id) { return fmt::format("settings.accounts.remove.{}", id); }
std::string check_note(std::string_view id) {
  return fmt::format("settings.accounts.check-note.{}", id);
}
}  // namespace control

WidgetBox action_button(std::string control_id, std::string label, std::string_view resource_id,
                        std::string_view resource_label, std::string_view action_name,
                        std::uint8_t kind, const Op& operation, bool destructive,
                        const AccountBindings& bindings) {
  std::optional<kalu_actions::ActionBinding> binding;
  if (bindings) {
    binding =
        bindings(resource_id, resource_label, action_name, label, kind, operation, destructive);
  }
  lib::FlagButton button(std::move(label), control_id, control_id);
  button.on_action(std::move(binding));
  return w::boxed(std::move(button));
}

AccountBindings section_bindings() {
  return [](std::string_view resource_id, std::string_view resource_label,
            std::string_view action_name, std::string_view action_label, std::uint8_t kind,
            const Op& operation, bool destructive) {
    auto binding = actions::external_account_command_binding(
        resource_id, resource_label, action_name, action_label, kind, operation, destructive);
    if (!binding) {
      // The records are the program's own, so this is its own fault; the
      // page still shows, with the button plain.
      kalu_ui::log::warn(
          "kalu::settings", "settings::panes::accounts", "account action could not be bound",
          {{"op", "external_account_command_binding"}, {"action", std::string(action_name)}});
    }
    return binding;
  };
}

WidgetBox build_page(const PageModel& m, const AccountBindings& b) {
  WidgetList sections;
  sections.push_back(introduction(m));
  if (m.form_kind) sections.push_back(form_card(m));
  if (m.reauth_target) sections.push_back(replacement_card(m));
  if (m.removal) {
    const auto& of_kind = (*m.rows)[static_cast<std::size_t>(m.removal->kind)];
    for (const AccountRow& row : of_kind) {
      if (row.id == m.removal->id) {
        sections.push_back(removal_card(row));
        break;
      }
    }
  }
  for (AccountKind kind : services::kAccountKinds) sections.push_back(kind_section(m, kind, b));
  return ui_rows::sections_column(std::move(sections));
}

}  // namespace settings::panes::accounts
