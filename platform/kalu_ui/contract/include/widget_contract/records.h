#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "kalu_ui/geometry.h"

// The records that pass through the widget contract. The contract only
// carries most of them; their producers give them meaning.
namespace kalu_ui {

struct Theme;

// ---- Resource operations -------------------------------------------------

// The 16-byte id of one started resource operation, compared byte for byte.
struct ResourceOperationId {
  std::array<std::uint8_t, 16> bytes{};
  friend bool operator==(const ResourceOperationId&, const ResourceOperationId&) = default;
};

// One byte that travels with every start and invoke: 1 marks effect
// operations, 2 operations that only move the interface. Invoke never
// routes 0.
using OperationKind = std::uint8_t;

// The record of a finished operation: a text and an optional value, the
// value being compact JSON text. The empty outcome has neither.
struct ResourceOperationOutcome {
  std::string text;
  std::optional<std::string> value_json;
  friend bool operator==(const ResourceOperationOutcome&,
                         const ResourceOperationOutcome&) = default;
};

// The answer of invoke_resource_operation_v2.
struct ResourceInvokeResult {
  struct NotHandled {
    friend bool operator==(const NotHandled&, const NotHandled&) = default;
  };
  struct Rejected {
    std::string message;
    friend bool operator==(const Rejected&, const Rejected&) = default;
  };
  struct Completed {
    ResourceOperationOutcome outcome;
    friend bool operator==(const Completed&, const Completed&) = default;
  };
  std::variant<NotHandled, Rejected, Completed> value;

  static ResourceInvokeResult not_handled() { return {NotHandled{}}; }
  static ResourceInvokeResult rejected(std::string message) {
    return {Rejected{std::move(message)}};
  }
  static ResourceInvokeResult completed(ResourceOperationOutcome outcome = {}) {
    return {Completed{std::move(outcome)}};
  }
  friend bool operator==(const ResourceInvokeResult&, const ResourceInvokeResult&) = default;
};

// The answer to starting a resource operation.
struct DeviceLocalOutcome {
  struct Completed {
    ResourceOperationOutcome outcome;
    friend bool operator==(const Completed&, const Completed&) = default;
  };
  // The owner runs it on; the caller polls it by its operation id.
  struct Accepted {
    friend bool operator==(const Accepted&, const Accepted&) = default;
  };
  struct NotHandled {
    friend bool operator==(const NotHandled&, const NotHandled&) = default;
  };
  struct Rejected {
    std::string message;
    // Refused only because another operation is still running: the same
    // request may be sent again once it has ended. False for a refusal of
    // the request itself, which sending again does not mend.
    bool busy = false;
    friend bool operator==(const Rejected&, const Rejected&) = default;
  };
  std::variant<Completed, Accepted, NotHandled, Rejected> value;

  static DeviceLocalOutcome completed(ResourceOperationOutcome outcome = {}) {
    return {Completed{std::move(outcome)}};
  }
  static DeviceLocalOutcome accepted() { return {Accepted{}}; }
  static DeviceLocalOutcome not_handled() { return {NotHandled{}}; }
  static DeviceLocalOutcome rejected(std::string message) { return {Rejected{std::move(message)}}; }
  static DeviceLocalOutcome rejected_busy(std::string message) {
    return {Rejected{std::move(message), true}};
  }
  bool is_not_handled() const { return std::holds_alternative<NotHandled>(value); }
  friend bool operator==(const DeviceLocalOutcome&, const DeviceLocalOutcome&) = default;
};

// The status of a started operation, answered by a poll.
struct ResourceOperationStatus {
  struct Succeeded {
    ResourceOperationOutcome outcome;
    ResourceOperationId operation_id;
    friend bool operator==(const Succeeded&, const Succeeded&) = default;
  };
  struct Failed {
    std::string code;
    std::string message;
    std::optional<std::string> detail;
    bool flag = false;
    ResourceOperationId operation_id;
    friend bool operator==(const Failed&, const Failed&) = default;
  };
  struct Cancelled {
    std::string message;
    ResourceOperationId operation_id;
    friend bool operator==(const Cancelled&, const Cancelled&) = default;
  };
  std::variant<Succeeded, Failed, Cancelled> value;
  friend bool operator==(const ResourceOperationStatus&, const ResourceOperationStatus&) = default;
};

// ---- Accessibility and actions --------------------------------------------

// The numeric side of a node whose value is a number on a scale (a slider):
// its bounds, the step the keyboard moves it by, and where it stands.
struct AccessibleRange {
  double min = 0.0;
  double max = 0.0;
  double step = 0.0;
  double current = 0.0;
  friend bool operator==(const AccessibleRange&, const AccessibleRange&) = default;
};

// A widget's entry in the accessibility tree. Every setter takes the node by
// value, replaces one field and returns it.
struct AccessibilityNode {
  std::uint8_t role = 0;
  std::string label;
  std::string id;
  std::string description;
  std::string value;
  std::string action_address;
  std::uint64_t numeric_id = 0;
  bool focused = false;
  bool focusable = false;
  bool selected = false;
  std::optional<bool> toggled;
  std::optional<AccessibleRange> range;

  friend bool operator==(const AccessibilityNode&, const AccessibilityNode&) = default;

  AccessibilityNode with_role(std::uint8_t r) &&;
  AccessibilityNode with_label(std::string text) &&;
  AccessibilityNode with_id(std::string text) &&;
  AccessibilityNode with_description(std::string text) &&;
  AccessibilityNode with_value(std::string text) &&;
  // Also makes the address the id text and derives the numeric id from it.
  AccessibilityNode with_action_address(std::string address) &&;
};

// The numeric accessibility id of an action address: 64-bit FNV-1a over the
// address bytes followed by one 0xFF byte.
std::uint64_t action_address_numeric_id(std::string_view address);

// What a binding ties a control to. Only the Action kind (a resource id and
// an action name) makes a binding an action binding.
struct ControlBindingTarget {
  enum class Kind : std::uint8_t { Action, Address, Namespace, Command, None };
  Kind kind = Kind::None;
  std::string first;
  std::string second;
  friend bool operator==(const ControlBindingTarget&, const ControlBindingTarget&) = default;
};

struct ControlActionBinding {
  std::string control_id;
  ControlBindingTarget target;

  bool is_action_binding() const { return target.kind == ControlBindingTarget::Kind::Action; }
  friend bool operator==(const ControlActionBinding&, const ControlActionBinding&) = default;
};

// The bindings an accessibility node stands for: a node with an action
// address yields one address binding under the node's id; no node, or a node
// without an address, yields none. Controls bind to actions themselves.
std::vector<ControlActionBinding> semantic_action_bindings(
    const std::optional<AccessibilityNode>& node);

// The action the toolkit hands to perform_action; passed on unchanged.
struct SemanticAction {
  enum class Kind : std::uint8_t {
    Activate,
    Focus,
    Blur,
    Increment,
    Decrement,
    SetValue,
    ScrollIntoView
  };
  Kind kind = Kind::Activate;
  std::optional<std::string> value;

  static SemanticAction activate() { return {}; }
  friend bool operator==(const SemanticAction&, const SemanticAction&) = default;
};

// ---- Records of the other operations ---------------------------------------

// Five one-byte values handed down the tree together.
struct InteractionEnvironment {
  std::array<std::uint8_t, 5> values{};
  friend bool operator==(const InteractionEnvironment&, const InteractionEnvironment&) = default;
};

// A value a widget holds until the toolkit takes it: what a dispatched
// action left behind, under the namespace it was dispatched in.
struct PendingValue {
  std::string namespace_id;
  std::string payload;
  friend bool operator==(const PendingValue&, const PendingValue&) = default;
};

// What the tooltip query answers: the widget's rectangle and its text.
struct TooltipAt {
  Rect rect;
  std::string text;
  friend bool operator==(const TooltipAt&, const TooltipAt&) = default;
};

// The edited text and caret position (in bytes) of a text field.
struct TextReview {
  std::string text;
  std::optional<std::size_t> caret_byte;
  friend bool operator==(const TextReview&, const TextReview&) = default;
};

// The diagnostic snapshot of an application, as compact JSON text.
struct DebugSnapshot {
  std::string json;
};

// A widget's presence identity and its permission scope (the toolkit's).
struct PresenceKey {
  std::string value;
  friend bool operator==(const PresenceKey&, const PresenceKey&) = default;
};
struct PermissionScope {
  std::string id;
  friend bool operator==(const PermissionScope&, const PermissionScope&) = default;
};

// A theme for a widget and its subtree, with scales and accessibility modes.
struct ThemeOverride {
  std::shared_ptr<const Theme> theme;
  float text_scale = 1.0f;
  float ui_scale = 1.0f;
  bool high_contrast = false;
  bool reduce_motion = false;
};

// Collected by collect_records: a pair of texts and two further texts.
struct CollectedRecord {
  std::string key_a;
  std::string key_b;
  std::string third;
  std::string fourth;
  friend bool operator==(const CollectedRecord&, const CollectedRecord&) = default;
};

// Collected by collect_views_a/b/c: an application view. Moved, never read.
struct CollectedView {
  std::string id;
  std::optional<std::string> title;
  std::shared_ptr<void> store;
  friend bool operator==(const CollectedView&, const CollectedView&) = default;
};

// The query of find_descendant_a: a search with a generation and a stop
// flag; a started search (non-zero generation) that is told to stop asks
// nobody further.
struct DescendantQuery {
  std::uint64_t generation = 0;
  bool stop = false;
  bool halts() const { return generation != 0 && stop; }
};
struct DescendantMatch {
  std::string id;
  Rect rect;
  friend bool operator==(const DescendantMatch&, const DescendantMatch&) = default;
};

// The answer of the queries no part of this system reads.
struct OpaqueRecord {
  std::uint64_t value = 0;
  friend bool operator==(const OpaqueRecord&, const OpaqueRecord&) = default;
};

using CursorKind = std::uint8_t;
using TextInputKind = std::uint8_t;

}  // namespace kalu_ui
