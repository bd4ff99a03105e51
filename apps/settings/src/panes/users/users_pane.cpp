#include "panes/users/users_pane.h"

#include <fmt/format.h>

#include <utility>
#include <variant>

#include "actions/doc_readers.h"
#include "kalu_ui/layout.h"
#include "lib/text_object.h"
#include "operations/keys.h"
#include "vocabulary/doc_flags.h"

namespace settings::panes::users {
namespace {

namespace doc = kalu_ui::doc;
using kalu_ui::layout::NodeId;
using C = operations::UserOperationCases;

template <typename... F>
struct Overloaded : F... {
  using F::operator()...;
};

constexpr std::string_view kNoAnswer = "the account change ended without an answer";

std::string trimmed(std::string_view text) {
  constexpr std::string_view kBlank = " \t\r\n\v\f";
  const auto first = text.find_first_not_of(kBlank);
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(kBlank);
  return std::string(text.substr(first, last - first + 1));
}

kalu_ui::Result<std::string> outcome_of(const kalu_ui::Status& status, std::string said = {}) {
  if (!status) return kalu_ui::fail(status.error());
  if (!said.empty()) return said;
  return std::string(kAccountUpdated);
}

std::string role_text(const std::string& user, bool admin, bool already) {
  return fmt::format("{} is {}{}.", user, already ? "already " : "now ",
                     admin ? "an administrator" : "a standard user");
}

std::string autologin_text(const std::string& user, bool enabled, bool already) {
  return fmt::format("Automatic login is {}{} for {}.", already ? "already " : "now ",
                     enabled ? "on" : "off", user);
}

}  // namespace

UsersPane::UsersPane() : UsersPane(system_users_backend(), identity_backend_from_env()) {}

UsersPane::UsersPane(std::shared_ptr<UsersBackend> users,
                     std::shared_ptr<IdentityBackend> identities, UserBindings bindings)
    : backend_(std::move(users)),
      identity_backend_(std::move(identities)),
      bindings_(bindings ? std::move(bindings) : section_bindings()),
      password_(kalu_ui::secret::SecretBuffer::create()) {
  // The first reading runs on the worker too: on a real device it asks the
  // automatic-login switch once per account.
  start(std::nullopt, std::nullopt);
}

UsersPane::~UsersPane() = default;
UsersPane::UsersPane(UsersPane&&) noexcept = default;
UsersPane& UsersPane::operator=(UsersPane&&) noexcept = default;

// ---- sync ---------------------------------------------------------------------

void UsersPane::sync(doc::Document& toolkit_document) {
  doc::Document& work = link_.working(toolkit_document);
  poll_change();
  take_request();
  run_form_triggers(work);
  run_account_triggers(work);
  run_identity_triggers(work);
  PagePane::sync(work);
}

void UsersPane::poll_change() {
  if (!change_) return;
  auto received = change_->try_recv();
  if (received.is_empty()) return;
  change_.reset();
  ChangeOutcome outcome = received.is_ready() ? std::move(received).value()
                                              : ChangeOutcome{kalu_ui::fail(std::string(kNoAnswer)),
                                                              users_, std::nullopt};
  end_change(std::move(outcome), std::exchange(change_key_, std::nullopt));
}

void UsersPane::take_request() {
  // While a change runs the request waits in its cell, still pending.
  if (busy()) return;
  const std::optional<UserOperation> taken = link_.take();
  if (!taken) return;
  const UserOperation& operation = *taken;
  if (!link_.pending(operation)) {
    last_error_ = std::string(kStaleCommand);
    request_rebuild();
    return;
  }
  std::string key = operations::operation_key(operation);
  const std::string& username =
      std::visit([](const auto& op) -> const std::string& { return op.username; },
                 static_cast<const UserOperation::variant&>(operation));
  const LocalUser* target = nullptr;
  for (const LocalUser& user : users_) {
    if (user.username == username && !user.signed_in) {
      target = &user;
      break;
    }
  }
  if (target == nullptr) {
    end_without_change(kalu_ui::fail(std::string(kAccountGone)), key);
    return;
  }
  std::visit(Overloaded{
                 [&](const C::SetAdmin& op) {
                   if (op.admin == target->administrator) {
                     return end_without_change({}, key, role_text(op.username, op.admin, true));
                   }
                   change_said_ = role_text(op.username, op.admin, false);
                   start(Change(SetRole{op.username, op.admin}), std::move(key));
                 },
                 [&](const C::SetAutologin& op) {
                   if (op.enabled == target->automatic_login) {
                     return end_without_change({}, key,
                                               autologin_text(op.username, op.enabled, true));
                   }
                   change_said_ = autologin_text(op.username, op.enabled, false);
                   start(Change(SetAutomaticLogin{op.username, op.enabled}), std::move(key));
                 },
                 [&](const C::Remove& op) {
                   if (pending_user_removal_ == op.username) pending_user_removal_.reset();
                   change_said_ = fmt::format("Removed user {}{}.", op.username,
                                              op.remove_files ? " and their files" : "");
                   start(Change(DeleteUser{*target, op.remove_files}), std::move(key));
                 },
             },
             static_cast<const UserOperation::variant&>(operation));
}

void UsersPane::run_form_triggers(doc::Document& document) {
  if (take_doc_flag(document, control::kAdd)) {
    form_open_ = true;
    for (std::string_view key : {control::kFullName, control::kUsername}) {
      (void)lib::seed_text_object(document, doc::kRoot, key);
    }
    request_rebuild();
  }
  if (take_doc_flag(document, control::kFormCancel)) {
    form_open_ = false;
    clear_form(document);
    request_rebuild();
  }
  if (!take_doc_flag(document, control::kFormSave)) return;
  // Create is disabled while a change runs; a press that still came is
  // dropped and the form keeps what was typed.
  if (busy()) return;
  const std::string full_name =
      trimmed(actions::read_doc_text(document, doc::kRoot, control::kFullName).value_or(""));
  const std::string username =
      trimmed(actions::read_doc_text(document, doc::kRoot, control::kUsername).value_or(""));
  // The typed bytes go straight from the locked buffer into the wiping
  // holder; the buffer is emptied (and overwritten) at once.
  Password password = password_->take();
  clear_form(document);
  change_is_create_ = true;
  start(Change(CreateUser{username, full_name, std::move(password)}), std::nullopt);
}

void UsersPane::clear_form(doc::Document& document) {
  for (std::string_view key : {control::kFullName, control::kUsername}) {
    auto text = lib::seed_text_object(document, doc::kRoot, key);
    if (!text) continue;
    const auto length = document.text_length(*text);
    if (length && *length > 0) (void)document.delete_text(*text, 0, *length);
  }
  password_->clear();
}

void UsersPane::run_account_triggers(doc::Document& document) {
  // Handlers may change the list; the flags are matched against it as shown.
  const std::vector<LocalUser> users = users_;
  for (const LocalUser& user : users) {
    const std::string& name = user.username;
    // A change started by an earlier flag of this sync makes the others
    // wait for nothing: they are dropped, as their buttons are disabled.
    if (take_doc_flag(document, control::role(name)) && !busy()) {
      start(Change(SetRole{name, !user.administrator}), std::nullopt);
    }
    if (take_doc_flag(document, control::autologin(name)) && !busy()) {
      start(Change(SetAutomaticLogin{name, !user.automatic_login}), std::nullopt);
    }
    if (take_doc_flag(document, control::remove(name))) {
      pending_user_removal_ = name;
      request_rebuild();
    }
    if (take_doc_flag(document, control::cancel_remove(name)) && pending_user_removal_ == name) {
      pending_user_removal_.reset();
      request_rebuild();
    }
    for (const bool remove_files : {true, false}) {
      const std::string id =
          remove_files ? control::confirm_remove(name) : control::confirm_remove_keep(name);
      if (!take_doc_flag(document, id) || busy()) continue;
      pending_user_removal_.reset();
      start(Change(DeleteUser{user, remove_files}), std::nullopt);
    }
  }
}

void UsersPane::run_identity_triggers(doc::Document& document) {
  const std::vector<LocalIdentity> identities = identities_;
  for (const LocalIdentity& identity : identities) {
    const std::string& id = identity.id;
    if (take_doc_flag(document, control::identity_activate(id)) && !busy()) {
      start(Change(ActivateIdentity{id}), std::nullopt);
    }
    if (take_doc_flag(document, control::identity_remove(id))) {
      pending_identity_removal_ = id;
      request_rebuild();
    }
    if (take_doc_flag(document, control::identity_cancel_remove(id)) &&
        pending_identity_removal_ == id) {
      pending_identity_removal_.reset();
      request_rebuild();
    }
    if (take_doc_flag(document, control::identity_confirm_remove(id)) && !busy()) {
      pending_identity_removal_.reset();
      start(Change(RemoveIdentity{id}), std::nullopt);
    }
    if (take_doc_flag(document, control::identity_protect(id)) && !busy()) {
      start(Change(SecureIdentity{id}), std::nullopt);
    }
  }
}

// ---- changes ------------------------------------------------------------------

void UsersPane::start(std::optional<Change> change, std::optional<std::string> key) {
  // Identity changes without an identity directory fail on the worker as
  // well, so they too end in one place with the lists read again.
  auto started = start_change_worker(std::move(change), backend_, identity_backend_);
  request_rebuild();
  if (!started) {
    ChangeOutcome outcome{kalu_ui::fail("Could not start the account change: {}", started.error()),
                          users_, std::nullopt};
    end_change(std::move(outcome), key);
    return;
  }
  change_ = std::move(*started);
  change_key_ = std::move(key);
}

void UsersPane::end_change(ChangeOutcome outcome, const std::optional<std::string>& key) {
  link_.complete(key, outcome_of(outcome.result, std::exchange(change_said_, {})));
  if (!loaded_) {
    // The first reading: no change, nothing to report unless it failed.
    loaded_ = true;
  }
  const bool created = std::exchange(change_is_create_, false) && outcome.result.has_value();
  if (created) form_open_ = false;
  last_error_ = outcome.result ? std::nullopt : std::optional<std::string>(outcome.result.error());
  users_ = std::move(outcome.users);
  if (outcome.identities) identities_ = std::move(*outcome.identities);
  request_rebuild();
}

void UsersPane::end_without_change(const kalu_ui::Status& result, const std::string& key,
                                   std::string said) {
  link_.complete(key, outcome_of(result, std::move(said)));
  last_error_ = result ? std::nullopt : std::optional<std::string>(result.error());
  request_rebuild();
}

// ---- the widget -------------------------------------------------------------------

NodeId UsersPane::build_layout(kalu_ui::layout::LayoutTree& tree,
                               const kalu_ui::RenderContext& context,
                               kalu_ui::layout::NodeRegistry& registry) {
  PageModel model;
  model.users = &users_;
  model.identities = &identities_;
  model.pending_user_removal = &pending_user_removal_;
  model.pending_identity_removal = &pending_identity_removal_;
  model.last_error = &last_error_;
  model.form_open = form_open_;
  model.loading = !loaded_;
  model.busy = busy();
  model.password = password_;
  return lay_out_page(tree, context, registry, build_page(model, bindings_));
}

namespace {

// The first widget under `widget` with this id.
kalu_ui::Widget* find_id(kalu_ui::Widget& widget, std::string_view id) {
  if (widget.id() == id) return &widget;
  for (kalu_ui::Widget* child : widget.children_mut()) {
    if (kalu_ui::Widget* found = child ? find_id(*child, id) : nullptr) return found;
  }
  return nullptr;
}

}  // namespace

void UsersPane::handle_event(const kalu_ui::Event& event, kalu_ui::EventContext& context) {
  PagePane::handle_event(event, context);
  kalu_ui::Widget* page = shown_page();
  if (page == nullptr) return;
  // Escape that nothing on the page took cancels the open form, as its
  // Cancel button does.
  const auto* key = event.as<kalu_ui::KeyDown>();
  if (context.handled || !form_open_ || !key || key->key != kalu_ui::Key::Escape ||
      key->modifiers.ctrl || key->modifiers.alt || key->modifiers.super || key->modifiers.shift) {
    return;
  }
  if (kalu_ui::Widget* cancel = find_id(*page, control::kCancelButton)) {
    if (cancel->perform_action(kalu_ui::SemanticAction::activate(), {})) context.set_handled();
  }
}

}  // namespace settings::panes::users
