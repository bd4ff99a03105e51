#pragma once

#include <cstdint>
#include <expected>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "kalu_actions/context.h"
#include "kalu_actions/encoded_action.h"
#include "kalu_ui/result.h"

namespace kalu_ui::doc {
class Document;
}  // namespace kalu_ui::doc

// Typed dispatch: an invocation (a namespace and a JSON payload) is decoded by
// the handler registered for its namespace into a typed action, which a
// transport carries to the state document it changes.
namespace kalu_actions {

struct ActionError {
  enum class Kind : std::uint8_t { UnknownNamespace, InvalidPayload, Failed };
  Kind kind = Kind::Failed;
  std::string namespace_id;
  std::string message;

  static ActionError unknown_namespace(std::string namespace_id);
  static ActionError invalid_payload(std::string namespace_id, std::string message);
  static ActionError failed(std::string namespace_id, std::string message);

  // One line for people and logs: "invalid payload for action namespace
  // settings.action: <reader's error>".
  std::string to_string() const;

  friend bool operator==(const ActionError&, const ActionError&) = default;
};

template <typename T>
using ActionResult = std::expected<T, ActionError>;

// A decoded action, ready to be applied.
class TypedAction {
 public:
  virtual ~TypedAction() = default;
  // The action's name and fields, for logs and tests.
  virtual std::string debug_text() const = 0;
  virtual kalu_ui::Status apply(kalu_ui::doc::Document& document) const = 0;
};

// Decodes the payloads of one namespace.
class NamespaceHandler {
 public:
  virtual ~NamespaceHandler() = default;
  virtual ActionResult<std::unique_ptr<TypedAction>> decode(
      std::span<const std::uint8_t> payload) const = 0;
};

// The handlers of an application, one per namespace. Used on the UI thread.
class ActionRegistry {
 public:
  // Registers `handler` for `namespace_id`, dropping one registered before.
  void insert(std::string namespace_id, std::shared_ptr<const NamespaceHandler> handler);
  const NamespaceHandler* find(std::string_view namespace_id) const;
  bool contains(std::string_view namespace_id) const { return find(namespace_id) != nullptr; }
  // Decodes an invocation with the handler of its namespace.
  ActionResult<std::unique_ptr<TypedAction>> decode(const EncodedAction& invocation) const;

 private:
  std::map<std::string, std::shared_ptr<const NamespaceHandler>, std::less<>> handlers_;
};

// Carries a typed action to the document it changes.
class ActionTransport {
 public:
  virtual ~ActionTransport() = default;
  virtual ActionResult<void> deliver(kalu_ui::doc::Document& document, const TypedAction& action,
                                     const EncodedAction& invocation,
                                     std::span<const std::uint8_t> actor,
                                     const ActionContext* context) = 0;
  virtual bool is_local() const = 0;
};

// Applies actions in this process, at once; remembers how many it applied.
class LocalTransport final : public ActionTransport {
 public:
  ActionResult<void> deliver(kalu_ui::doc::Document& document, const TypedAction& action,
                             const EncodedAction& invocation, std::span<const std::uint8_t> actor,
                             const ActionContext* context) override;
  bool is_local() const override { return true; }
  std::size_t delivered() const { return delivered_; }

 private:
  std::size_t delivered_ = 0;
};

ActionResult<void> dispatch_by(kalu_ui::doc::Document& document, const TypedAction& action,
                               const EncodedAction& invocation, ActionTransport& transport,
                               std::span<const std::uint8_t> actor);
ActionResult<void> dispatch_by_with_context(
    kalu_ui::doc::Document& document, const TypedAction& action, const EncodedAction& invocation,
    ActionTransport& transport, std::span<const std::uint8_t> actor, const ActionContext& context);

}  // namespace kalu_actions
