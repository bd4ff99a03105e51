#include <fmt/format.h>

#include <deque>
#include <nlohmann/json.hpp>
#include <unordered_set>
#include <utility>

#include "kalu_actions/args.h"
#include "kalu_actions/json.h"
#include "kalu_ui/action_invoke.h"
#include "kalu_ui/host.h"
#include "request_line.h"
#include "transport.h"
#include "widget_contract/widget.h"

namespace kalu_ui::host {

namespace {

using Answer = std::expected<Json, RequestError>;

std::unexpected<RequestError> refuse(std::string code, std::string message) {
  return std::unexpected(RequestError{std::move(code), std::move(message)});
}

std::string dump(const Json& value) {
  return value.dump(-1, ' ', false, Json::error_handler_t::replace);
}

// Finished operations a client may still poll, and operations in flight, are
// remembered up to these bounds; the oldest are forgotten first.
constexpr std::size_t kMaxFinished = 256;
constexpr std::size_t kMaxPending = 4096;

std::string hex_of(const ResourceOperationId& id) {
  return doc::to_hex(id.bytes.data(), id.bytes.size());
}

std::optional<ResourceOperationId> parse_operation_id(std::string_view text) {
  if (text.size() != 32) return std::nullopt;
  ResourceOperationId id;
  for (std::size_t i = 0; i < 16; ++i) {
    unsigned value = 0;
    for (char c : text.substr(i * 2, 2)) {
      value <<= 4;
      if (c >= '0' && c <= '9')
        value |= unsigned(c - '0');
      else if (c >= 'a' && c <= 'f')
        value |= unsigned(c - 'a' + 10);
      else if (c >= 'A' && c <= 'F')
        value |= unsigned(c - 'A' + 10);
      else
        return std::nullopt;
    }
    id.bytes[i] = static_cast<std::uint8_t>(value);
  }
  return id;
}

Json outcome_json(const ResourceOperationOutcome& outcome) {
  Json value = nullptr;
  if (outcome.value_json) {
    value = Json::parse(*outcome.value_json, nullptr, false);
    if (value.is_discarded()) value = *outcome.value_json;
  }
  return {{"text", outcome.text}, {"value", std::move(value)}};
}

Json completed_json(const ResourceOperationOutcome& outcome) {
  Json out = {{"state", "completed"}};
  out.update(outcome_json(outcome));
  return out;
}

Json to_json(const DeviceLocalOutcome& outcome) {
  return std::visit(
      [](const auto& v) -> Json {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, DeviceLocalOutcome::Completed>) {
          return completed_json(v.outcome);
        } else if constexpr (std::is_same_v<T, DeviceLocalOutcome::Accepted>) {
          return {{"state", "accepted"}};
        } else if constexpr (std::is_same_v<T, DeviceLocalOutcome::NotHandled>) {
          return {{"state", "not_handled"}};
        } else {
          Json out = {{"state", "rejected"}, {"message", v.message}};
          if (v.busy) out["busy"] = true;
          return out;
        }
      },
      outcome.value);
}

Json to_json(const ResourceInvokeResult& result) {
  return std::visit(
      [](const auto& v) -> Json {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, ResourceInvokeResult::Completed>) {
          return completed_json(v.outcome);
        } else if constexpr (std::is_same_v<T, ResourceInvokeResult::NotHandled>) {
          return {{"state", "not_handled"}};
        } else {
          return {{"state", "rejected"}, {"message", v.message}};
        }
      },
      result.value);
}

Json to_json(const ResourceOperationStatus& status) {
  return std::visit(
      [](const auto& v) -> Json {
        using T = std::decay_t<decltype(v)>;
        Json out;
        if constexpr (std::is_same_v<T, ResourceOperationStatus::Succeeded>) {
          out = {{"state", "succeeded"}, {"operation_id", hex_of(v.operation_id)}};
          out["outcome"] = outcome_json(v.outcome);
        } else if constexpr (std::is_same_v<T, ResourceOperationStatus::Failed>) {
          out = {{"state", "failed"},
                 {"operation_id", hex_of(v.operation_id)},
                 {"code", v.code},
                 {"message", v.message},
                 {"detail", v.detail ? Json(*v.detail) : Json(nullptr)},
                 {"flag", v.flag}};
        } else {
          out = {{"state", "cancelled"},
                 {"operation_id", hex_of(v.operation_id)},
                 {"message", v.message}};
        }
        return out;
      },
      status.value);
}

Result<std::string> string_field(const Json& request, const char* name) {
  auto it = request.find(name);
  if (it == request.end() || !it->is_string()) {
    return fail("\"{}\" must be a string", name);
  }
  return it->get<std::string>();
}

Result<OperationKind> kind_field(const Json& request) {
  auto it = request.find("kind");
  if (it == request.end() || !it->is_number_integer() || it->get<std::int64_t>() < 0 ||
      it->get<std::int64_t>() > 255) {
    return fail("\"kind\" must be an integer from 0 to 255");
  }
  return static_cast<OperationKind>(it->get<std::int64_t>());
}

// "payload" is any JSON value, sent as its compact text; "payload_text" is
// sent byte for byte, for payloads that are not JSON at all.
Result<std::string> payload_field(const Json& request) {
  if (auto text = request.find("payload_text"); text != request.end()) {
    if (!text->is_string()) return fail("\"payload_text\" must be a string");
    return text->get<std::string>();
  }
  auto it = request.find("payload");
  if (it == request.end()) return fail("\"payload\" is missing");
  return dump(*it);
}

}  // namespace

struct AutomationHost::Operations {
  explicit Operations(std::shared_ptr<const kalu_actions::ActionRegistry> registry)
      : actions(std::move(registry)) {}

  void started(const std::string& id) {
    if (pending.insert(id).second) order.push_back(id);
    while (order.size() > kMaxPending) {
      pending.erase(order.front());
      order.pop_front();
    }
  }
  void finished(const std::string& id, Json status) {
    pending.erase(id);
    finals.emplace_back(id, std::move(status));
    if (finals.size() > kMaxFinished) finals.pop_front();
  }
  const Json* final_status(const std::string& id) const {
    for (const auto& [known, status] : finals) {
      if (known == id) return &status;
    }
    return nullptr;
  }

  Answer handle(const Json& request, Widget& root, doc::Document& document);
  Answer start(const ResourceOperationId& id, OperationKind kind, const std::string& action_id,
               const std::string& payload, Widget& root, doc::Document& document);
  // Keeps what a client may poll of an operation just started.
  void remember(const ResourceOperationId& id, const DeviceLocalOutcome& outcome);
  Answer invoke(const Json& request, Widget& root, doc::Document& document);
  Answer poll(const Json& request, Widget& root, doc::Document& document);

  ActionHost actions;
  std::unordered_set<std::string> pending;
  std::deque<std::string> order;
  std::deque<std::pair<std::string, Json>> finals;
};

Answer AutomationHost::Operations::start(const ResourceOperationId& id, OperationKind kind,
                                         const std::string& action_id, const std::string& payload,
                                         Widget& root, doc::Document& document) {
  auto outcome = start_operation(root, document, id, kind, action_id, payload);
  if (!outcome) return refuse(outcome.error().code, outcome.error().message);
  // A refused start runs nothing: its answer is the whole story, and no id
  // is handed out that a poll would not know.
  if (std::holds_alternative<DeviceLocalOutcome::Rejected>(outcome->value)) {
    return Json{{"outcome", to_json(*outcome)}};
  }
  remember(id, *outcome);
  return Json{{"operation_id", hex_of(id)}, {"outcome", to_json(*outcome)}};
}

void AutomationHost::Operations::remember(const ResourceOperationId& id,
                                          const DeviceLocalOutcome& outcome) {
  const std::string hex = hex_of(id);
  if (std::holds_alternative<DeviceLocalOutcome::Accepted>(outcome.value)) started(hex);
  if (auto* done = std::get_if<DeviceLocalOutcome::Completed>(&outcome.value)) {
    // Finished at once: a later poll answers the same success.
    finished(
        hex,
        to_json(ResourceOperationStatus{ResourceOperationStatus::Succeeded{done->outcome, id}}));
  }
}

Answer AutomationHost::Operations::invoke(const Json& request, Widget& root,
                                          doc::Document& document) {
  auto resource_id = string_field(request, "resource");
  if (!resource_id) return refuse("invalid_request", resource_id.error());
  auto action_name = string_field(request, "action");
  if (!action_name) return refuse("invalid_request", action_name.error());
  auto it = request.find("arguments");
  const auto args = kalu_actions::ActionArgs::from_json(it == request.end() ? Json(nullptr) : *it);
  auto invoked = invoke_resource_action(actions, root, document, *resource_id, *action_name, args);
  if (!invoked) return refuse(invoked.error().code, invoked.error().message);

  Json result = {{"resource", *resource_id},
                 {"action", *action_name},
                 {"kind", invoked->kind},
                 {"action_id", invoked->action_id}};
  if (invoked->operation_id) {
    remember(*invoked->operation_id, invoked->outcome);
    result["operation_id"] = hex_of(*invoked->operation_id);
  }
  result["outcome"] = to_json(invoked->outcome);
  return result;
}

Answer AutomationHost::Operations::poll(const Json& request, Widget& root,
                                        doc::Document& document) {
  auto text = string_field(request, "operation_id");
  if (!text) return refuse("invalid_request", text.error());
  auto id = parse_operation_id(*text);
  if (!id) return refuse("invalid_request", "\"operation_id\" must be 32 hexadecimal digits");
  const std::string hex = hex_of(*id);
  if (const Json* status = final_status(hex)) return Json{{"status", *status}};
  if (!pending.contains(hex))
    return refuse("not_found", fmt::format("unknown operation id {}", hex));
  auto cancel_it = request.find("cancel");
  const bool cancel =
      cancel_it != request.end() && cancel_it->is_boolean() && cancel_it->get<bool>();
  ResourceOperationContext context{&document};
  auto status = root.poll_resource_operation(*id, cancel, context);
  if (!status) return Json{{"status", {{"state", "pending"}, {"operation_id", hex}}}};
  Json answer = to_json(*status);
  finished(hex, answer);
  return Json{{"status", std::move(answer)}};
}

Answer AutomationHost::Operations::handle(const Json& request, Widget& root,
                                          doc::Document& document) {
  auto method = string_field(request, "method");
  if (!method) return refuse("invalid_request", method.error());
  if (*method == "list") {
    Json list = Json::array();
    for (const auto& r : root.resources(document)) list.push_back(kalu_actions::to_json(r));
    return Json{{"resources", std::move(list)}};
  }
  if (*method == "get") {
    auto id = string_field(request, "resource");
    if (!id) return refuse("invalid_request", id.error());
    auto resource = root.resource_by_id(document, *id);
    if (!resource) return refuse("not_found", fmt::format("unknown resource {}", echo(*id)));
    return Json{{"resource", kalu_actions::to_json(*resource)}};
  }
  if (*method == "invoke") return invoke(request, root, document);
  if (*method == "poll") return poll(request, root, document);
  if (*method == "start" || *method == "invoke_operation") {
    auto action_id = string_field(request, "action_id");
    if (!action_id) return refuse("invalid_request", action_id.error());
    auto kind = kind_field(request);
    if (!kind) return refuse("invalid_request", kind.error());
    auto payload = payload_field(request);
    if (!payload) return refuse("invalid_request", payload.error());
    if (*method == "start")
      return start(new_operation_id(), *kind, *action_id, *payload, root, document);
    ResourceOperationContext context{&document};
    return Json{{"outcome", to_json(root.invoke_resource_operation_v2(
                                *kind, *action_id, kalu_actions::bytes_of(*payload), context))}};
  }
  return refuse("unknown_method", fmt::format("unknown method \"{}\"", echo(*method)));
}

AutomationHost::AutomationHost(std::string app_id, TransportOptions options)
    : app_id_(std::move(app_id)),
      options_(std::move(options)),
      registry_(std::make_shared<kalu_actions::ActionRegistry>()),
      operations_(std::make_unique<Operations>(registry_)) {}

AutomationHost::~AutomationHost() { stop(); }

Status AutomationHost::start(wake::WakeHandle wake) {
  if (transport_) return fail("{} is already being served", socket_path_);
  std::string path;
  if (options_.socket_path) {
    path = *options_.socket_path;
  } else {
    auto found = automation_socket_path(app_id_);
    if (!found) return std::unexpected(found.error());
    path = std::move(*found);
  }
  auto transport = Transport::open(path, options_, std::move(wake));
  if (!transport) return std::unexpected(transport.error());
  transport_ = std::move(*transport);
  socket_path_ = std::move(path);
  return {};
}

void AutomationHost::stop() { transport_.reset(); }

bool AutomationHost::running() const { return transport_ != nullptr; }

bool AutomationHost::has_pending_requests() const {
  return transport_ && transport_->lanes.has_requests();
}

// One request line carried out, and the answer line to it.
std::string AutomationHost::answer_line(std::string_view line, Widget& root,
                                        doc::Document& document) {
  Json answer = {{"id", nullptr}};
  Answer result;
  if (auto read = read_request_line(line)) {
    answer["id"] = std::move(read->id);
    result = operations_->handle(read->request, root, document);
  } else {
    result = std::unexpected(std::move(read.error()));
  }
  answer["ok"] = result.has_value();
  if (result) {
    answer["result"] = std::move(*result);
  } else {
    answer["error"] = {{"code", result.error().code},
                       {"message", bounded_message(result.error().message)}};
  }
  return dump(answer);
}

std::size_t AutomationHost::pump(Widget& root, doc::Document& document) {
  if (!transport_) return 0;
  // One request at a time, each taken in turn across the clients, so that a
  // request arriving mid-pump waits for one of each other client's at most.
  std::size_t handled = 0;
  while (handled < options_.max_requests_per_pump) {
    auto request = transport_->lanes.take();
    if (!request) break;
    std::string line = answer_line(request->line, root, document);
    request->line = std::string();  // a long request need not outlive its answer
    transport_->answer(Envelope{request->client, std::move(line), request->cost});
    ++handled;
  }
  // More than one pump's worth arrived: come back on the next frame.
  if (transport_->lanes.has_requests()) transport_->wake.wake();
  return handled;
}

std::size_t AutomationHost::waiting_requests() const {
  return transport_ ? transport_->lanes.waiting() : 0;
}

}  // namespace kalu_ui::host
