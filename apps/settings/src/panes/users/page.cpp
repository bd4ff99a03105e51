#include "panes/users/page.h"

#include <utility>

#include "actions/users_accounts_section.h"
#include "kalu_ui/log.h"
#include "kalu_ui/widget/column.h"
#include "kalu_ui/widget/row.h"
#include "kalu_ui/widget/spacer.h"
#include "kalu_ui/widget/text.h"
#include "kalu_ui/widget/text_input.h"
#include "lib/flag_button.h"
#include "lib/ui_rows.h"
#include "panes/users/model.h"

namespace settings::panes::users {
namespace {

namespace w = kalu_ui::widget;
using kalu_ui::WidgetBox;
using kalu_ui::widget::boxed;
using ui_rows::WidgetList;

constexpr float kTitleSize = 13.0f;
constexpr float kSubtitleSize = 11.0f;
constexpr float kButtonGap = 8.0f;
constexpr float kLinesGap = 4.0f;
constexpr float kFormGap = 12.0f;
constexpr std::uint8_t kToneGood = 0;
constexpr std::uint8_t kToneNeutral = 2;

constexpr std::string_view kNoAccounts = "No regular login accounts found on this device.";
constexpr std::string_view kReading = "Reading the login accounts…";
constexpr std::string_view kNoIdentity =
    "No signing identity is available. Identity setup runs in your personal session; it never "
    "runs as root.";
constexpr std::string_view kFormCaption =
    "The password is scrubbed from Settings state before it crosses the authenticated system "
    "boundary. New accounts start as Standard.";
constexpr std::string_view kSecretService =
    "Secret Service is preferred. If the desktop keyring is locked, signing pauses and asks the "
    "session to unlock it; Kalu never silently copies that key into an app.";
constexpr std::string_view kPrivateFile =
    "This session is using the compatible private-file fallback for at least one identity. It is "
    "isolated from apps by the signing broker, but is not encrypted at rest. Install and unlock a "
    "freedesktop Secret Service to protect future identities in the desktop keyring.";
constexpr std::string_view kHardware =
    "Hardware-backed means the installed provider actually sealed this identity. The presence of "
    "a TPM alone is never treated as proof.";
constexpr std::string_view kBoundary =
    "A login account may have several identities. The active identity is used only by newly "
    "launched apps; running apps keep their existing author. Workspaces may restrict which "
    "identity can enter, but cannot read another identity's key. Apps receive a short-lived "
    "signing connection for the selected identity—never the private key or identity directory.";

// A button whose press writes true under `id` (also its element id).
// `answer`: the default answer of the question the button stands in.
WidgetBox flag_button(std::string_view label, std::string id, bool enabled = true,
                      std::optional<kalu_actions::ActionBinding> binding = std::nullopt,
                      bool danger = false, bool answer = false) {
  lib::FlagButton button(std::string(label), id, id);
  button.with_enabled(enabled).with_danger(danger).with_default_answer(answer);
  button.on_action(std::move(binding));
  return boxed(std::move(button));
}

WidgetBox text(std::string_view value, float size) {
  return boxed(w::Text(std::string(value)).with_size(size).with_wrap());
}

// [title, flexible space, badge], centred.
WidgetBox header(std::string_view title, std::string_view badge, std::uint8_t tone) {
  w::Row row;
  row.with_alignment(w::Alignment::Center)
      .push(text(title, kTitleSize))
      .push(boxed(w::Spacer()))
      .push(ui_rows::badge_with_tone(badge, tone));
  return boxed(std::move(row));
}

// [flexible space, buttons 8 apart], or the space after the buttons.
WidgetBox button_line(WidgetList buttons, bool space_first) {
  w::Row row;
  row.with_alignment(w::Alignment::Center);
  if (space_first) row.push(boxed(w::Spacer()));
  for (std::size_t i = 0; i < buttons.size(); ++i) {
    if (i > 0) row.push(ui_rows::gap(kButtonGap));
    row.push(std::move(buttons[i]));
  }
  if (!space_first) row.push(boxed(w::Spacer()));
  return boxed(std::move(row));
}

WidgetBox captions(std::vector<std::string_view> texts) {
  WidgetList rows;
  for (std::string_view t : texts) rows.push_back(ui_rows::caption(t));
  return ui_rows::rows_column(std::move(rows));
}

WidgetBox user_row(const LocalUser& user, bool pending_removal, bool busy,
                   const UserBindings& bindings) {
  WidgetList lines;
  lines.push_back(header(user.display_name, user.administrator ? "Administrator" : "Standard",
                         user.administrator ? kToneGood : kToneNeutral));
  lines.push_back(text(user_subtitle(user), kSubtitleSize));
  WidgetList buttons;
  // The signed-in account is changed in nothing from here.
  if (!user.signed_in) {
    const std::string& name = user.username;
    buttons.push_back(flag_button(user.administrator ? "Make standard" : "Make administrator",
                                  control::role(name), !busy, bindings(user, "set-admin")));
    buttons.push_back(
        flag_button(user.automatic_login ? "Disable automatic login" : "Enable automatic login",
                    control::autologin(name), !busy, bindings(user, "set-autologin")));
    if (pending_removal) {
      // Keeping the files is the safer answer, and the default one.
      buttons.push_back(flag_button("Remove, keep files", control::confirm_remove_keep(name), !busy,
                                    bindings(user, "remove-keep-files"), false, true));
      buttons.push_back(flag_button("Remove account and files", control::confirm_remove(name),
                                    !busy, bindings(user, "remove-files"), true));
    } else {
      buttons.push_back(flag_button("Remove…", control::remove(name)));
    }
  }
  lines.push_back(button_line(std::move(buttons), true));
  return ui_rows::column(std::move(lines), kLinesGap);
}

WidgetBox identity_row(const LocalIdentity& identity, bool pending_removal, bool busy) {
  w::Row head;
  head.with_alignment(w::Alignment::Center)
      .push(text(identity_title(identity), kTitleSize))
      .push(boxed(w::Spacer()))
      .push(ui_rows::badge_with_tone(identity.active ? "Active" : "Available",
                                     identity.active ? kToneGood : kToneNeutral));
  WidgetList buttons;
  if (!identity.active) {
    buttons.push_back(flag_button("Use", control::identity_activate(identity.id), !busy));
    buttons.push_back(pending_removal
                          ? flag_button("Remove identity",
                                        control::identity_confirm_remove(identity.id), !busy,
                                        std::nullopt, true, true)
                          : flag_button("Remove…", control::identity_remove(identity.id)));
  }
  if (identity.protection == host_identity::Protection::MigrationRequired) {
    buttons.push_back(flag_button("Protect now", control::identity_protect(identity.id), !busy));
  }
  for (WidgetBox& button : buttons) {
    head.push(ui_rows::gap(kButtonGap));
    head.push(std::move(button));
  }
  WidgetList lines;
  lines.push_back(boxed(std::move(head)));
  lines.push_back(text(identity_subtitle(identity), kSubtitleSize));
  return ui_rows::column(std::move(lines), kLinesGap);
}

WidgetBox text_field(std::string_view id, std::string_view placeholder) {
  return boxed(w::TextInput(std::string(id))
                   .with_kind(w::TextInput::kKindName)
                   .with_id(std::string(id))
                   .with_placeholder(std::string(placeholder)));
}

WidgetBox form_card(const PageModel& m) {
  WidgetList children;
  children.push_back(ui_rows::label_row("Full name", text_field(control::kFullName, "Full name")));
  children.push_back(ui_rows::label_row("User name", text_field(control::kUsername, "login-name")));
  children.push_back(
      ui_rows::label_row("Password", boxed(w::TextInput::from_secret(m.password)
                                               .with_kind(w::TextInput::kKindPassword)
                                               .with_masked()
                                               .with_id(std::string(control::kPassword))
                                               .with_placeholder("At least 10 characters"))));
  children.push_back(ui_rows::caption(kFormCaption));
  WidgetList buttons;
  {
    lib::FlagButton create("Create", std::string(control::kSaveButton),
                           std::string(control::kFormSave));
    create.with_enabled(!m.busy);
    buttons.push_back(boxed(std::move(create)));
    buttons.push_back(boxed(lib::FlagButton("Cancel", std::string(control::kCancelButton),
                                            std::string(control::kFormCancel))));
  }
  children.push_back(button_line(std::move(buttons), false));
  return ui_rows::section_card("Add login account", ui_rows::column(std::move(children), kFormGap));
}

WidgetBox accounts_card(const PageModel& m, const UserBindings& bindings) {
  WidgetList rows;
  if (m.loading) {
    rows.push_back(ui_rows::caption(kReading));
  } else if (m.users->empty()) {
    rows.push_back(ui_rows::caption(kNoAccounts));
  } else {
    rows = user_rows(*m.users, *m.pending_user_removal, m.busy, bindings);
  }
  return ui_rows::section_card_with_control("Login accounts",
                                            flag_button("Add user", std::string(control::kAdd)),
                                            ui_rows::rows_column(std::move(rows)));
}

WidgetBox identities_card(const PageModel& m) {
  WidgetList rows;
  if (m.identities->empty()) {
    rows.push_back(ui_rows::caption(kNoIdentity));
  } else {
    rows = identity_rows(*m.identities, *m.pending_identity_removal, m.busy);
  }
  return ui_rows::section_card("Your Kalu identities", ui_rows::rows_column(std::move(rows)));
}

WidgetBox protection_card(const std::vector<LocalIdentity>& identities) {
  auto any = [&](host_identity::Protection p) {
    for (const LocalIdentity& identity : identities) {
      if (identity.protection == p) return true;
    }
    return false;
  };
  std::vector<std::string_view> texts{kSecretService};
  if (any(host_identity::Protection::PrivateFile)) texts.push_back(kPrivateFile);
  if (any(host_identity::Protection::HardwareBacked)) texts.push_back(kHardware);
  return ui_rows::section_card("Signing protection", captions(std::move(texts)));
}

}  // namespace

std::vector<WidgetBox> user_rows(const std::vector<LocalUser>& users,
                                 const std::optional<std::string>& pending_removal, bool busy,
                                 const UserBindings& bindings) {
  WidgetList rows;
  rows.reserve(users.size());
  for (const LocalUser& user : users) {
    rows.push_back(user_row(user, pending_removal == user.username, busy, bindings));
  }
  return rows;
}

std::vector<WidgetBox> identity_rows(const std::vector<LocalIdentity>& identities,
                                     const std::optional<std::string>& pending_removal, bool busy) {
  WidgetList rows;
  rows.reserve(identities.size());
  for (const LocalIdentity& identity : identities) {
    rows.push_back(identity_row(identity, pending_removal == identity.id, busy));
  }
  return rows;
}

WidgetBox build_page(const PageModel& m, const UserBindings& bindings) {
  WidgetList sections;
  if (*m.last_error) {
    sections.push_back(ui_rows::section_card("Could not apply that change",
                                             captions({std::string_view(**m.last_error)})));
  }
  if (m.form_open) sections.push_back(form_card(m));
  sections.push_back(accounts_card(m, bindings));
  sections.push_back(identities_card(m));
  sections.push_back(protection_card(*m.identities));
  sections.push_back(ui_rows::section_card("Identity boundary", captions({kBoundary})));
  return ui_rows::sections_column(std::move(sections));
}

UserBindings section_bindings() {
  return [](const LocalUser& user, std::string_view action_name) {
    auto binding = actions::user_command_binding(user, action_name);
    if (!binding) {
      // The records are the program's own, so this is its own fault; the
      // page still shows, with the button plain.
      kalu_ui::log::warn("kalu::settings", "settings::panes::users",
                         "user action could not be bound",
                         {{"op", "user_command_binding"}, {"action", std::string(action_name)}});
    }
    return binding;
  };
}

}  // namespace settings::panes::users
