#pragma once

// The values that the shared mailbox cells carry between the executor, the
// application object and the panes. Each has an empty value (the
// default-constructed one) that stands for an empty mailbox.
//
// The contract of a device-local operation, which every pane follows: every
// operation a pane takes completes exactly once. The pane takes the request
// out of its mailbox (publishing the empty value) in its next sync, carries
// it out, and publishes Succeeded or Failed under the operation's key
// (operations/keys.h) into the completion cell: at once for a quick change,
// or in a later sync when a worker reports. A no-op succeeds with an
// "already ..." message ("Wi-Fi is already on"); an operation naming
// something that is gone fails with "... is no longer available"; nothing is
// left waiting. A pane completes only the operation it carried out: while
// the cell holds Pending with exactly its key, or, for Displays, any key of
// its action (OperationLink::complete in operations/link.h, which takes the
// request and completes it for the pane). Otherwise the message is dropped.
// A pane carrying an operation outlives its page on screen: the application
// keeps it, synced off screen, until the operation is final, so a pane never
// needs to finish in its destructor.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "operations/records.h"
#include "operations/table.h"

namespace settings::operations {

// A device-local operation handed to the pane that carries it out: one case
// per record a pane carries out (table.h), which the pane takes by its type;
// the empty mailbox is std::monostate. Build one with
// std::in_place_type<UpdateOperation> (g++ 12 warns falsely of an
// uninitialised case when a record temporary is converted instead).
struct DeviceLocalRequest : HandedOverVariant {
  using variant::variant;

  bool empty() const { return index() == 0; }
};

// Which kind of account the add-account form opens for.
enum class AccountKind : std::uint8_t { kMail = 0, kCalDav = 1, kWebDav = 2, kNextcloud = 3 };

struct AccountPaneRequestCases {
  struct None {
    bool operator==(const None&) const = default;
  };
  struct OpenAddForm {
    AccountKind kind = AccountKind::kMail;
    bool operator==(const OpenAddForm&) const = default;
  };
  struct OpenAccount {
    std::string id;
    bool operator==(const OpenAccount&) const = default;
  };
  struct OpenReauthentication {
    std::string id;
    bool operator==(const OpenReauthentication&) const = default;
  };
  struct SubmitForm {
    bool operator==(const SubmitForm&) const = default;
  };
  struct CancelForm {
    bool operator==(const CancelForm&) const = default;
  };
  struct SubmitReauthentication {
    bool operator==(const SubmitReauthentication&) const = default;
  };
  struct CancelReauthentication {
    bool operator==(const CancelReauthentication&) const = default;
  };
};

// What the External Accounts pane is asked to do: tags 0 to 6, 255 empty.
struct AccountPaneRequest
    : AccountPaneRequestCases,
      std::variant<AccountPaneRequestCases::None, AccountPaneRequestCases::OpenAddForm,
                   AccountPaneRequestCases::OpenAccount,
                   AccountPaneRequestCases::OpenReauthentication,
                   AccountPaneRequestCases::SubmitForm, AccountPaneRequestCases::CancelForm,
                   AccountPaneRequestCases::SubmitReauthentication,
                   AccountPaneRequestCases::CancelReauthentication> {
  using variant::variant;
  static constexpr std::uint8_t kNone = 255;

  std::uint8_t tag() const { return index() == 0 ? kNone : static_cast<std::uint8_t>(index() - 1); }
  bool empty() const { return index() == 0; }
};

struct OperationCompletionCases {
  struct Idle {
    bool operator==(const Idle&) const = default;
  };
  struct Pending {
    std::string key;
    bool operator==(const Pending&) const = default;
  };
  struct Succeeded {
    std::string key;
    std::string message;
    bool operator==(const Succeeded&) const = default;
  };
  struct Failed {
    std::string key;
    std::string message;
    bool operator==(const Failed&) const = default;
  };
};

// The state of the one device-local operation in flight, named by its
// operation key: tags 0 Idle, 1 Pending, 2 Succeeded, 3 Failed.
struct OperationCompletion
    : OperationCompletionCases,
      std::variant<OperationCompletionCases::Idle, OperationCompletionCases::Pending,
                   OperationCompletionCases::Succeeded, OperationCompletionCases::Failed> {
  using variant::variant;

  std::uint8_t tag() const { return static_cast<std::uint8_t>(index()); }

  // The operation key, except when idle.
  std::optional<std::string_view> key() const {
    return std::visit(
        [](const auto& state) -> std::optional<std::string_view> {
          if constexpr (requires { state.key; }) {
            return std::string_view(state.key);
          } else {
            return std::nullopt;
          }
        },
        static_cast<const variant&>(*this));
  }
};

}  // namespace settings::operations
