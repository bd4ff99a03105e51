// AgentModelsPane::sync and its steps, in the order sync runs them.

#include <fmt/format.h>

#include <algorithm>
#include <utility>
#include <variant>

#include "operations/keys.h"
#include "panes/agent_models/agent_models_pane.h"
#include "vocabulary/doc_flags.h"

namespace settings::panes::agent_models {
namespace {

namespace doc = kalu_ui::doc;
using C = operations::AgentModelOperationCases;
using stored::InstalledLocalModel;

constexpr std::string_view kModelGone = "local model is no longer available";
constexpr std::string_view kRecommendationGone = "recommended model is no longer available";

template <typename... F>
struct Overloaded : F... {
  using F::operator()...;
};

std::string key_of(const AgentModelOperation& operation) {
  return operations::operation_key(operation);
}

void write_flag(doc::Document& document, std::string_view key, bool value) {
  (void)document.put(doc::kRoot, key, doc::Scalar(value));
}

AgentModelOperation operation_for(ModelAction action, const stored::LocalModelPackage& package) {
  switch (action) {
    case ModelAction::Start:
      return C::Start{package.id};
    case ModelAction::Stop:
      return C::Stop{package.id};
    case ModelAction::Remove:
      return C::Remove{package.id};
    case ModelAction::Retry:
      break;
  }
  return C::Retry{package.id, package.revision};
}

const InstalledLocalModel* find_model(const LocalModelSnapshot& snapshot, const std::string& id) {
  const auto found = std::ranges::find(snapshot.models, id,
                                       [](const InstalledLocalModel& m) { return m.package.id; });
  return found == snapshot.models.end() ? nullptr : &*found;
}

// A model whose phase is ready, running or not as `running` says.
bool ready_and(const InstalledLocalModel* model, bool running) {
  if (!model) return false;
  const auto* ready = std::get_if<stored::phase::Ready>(&model->phase);
  return ready && ready->running == running;
}

// How a request that no handler carried out completes: a no-op succeeds,
// anything else names what is gone.
kalu_ui::Result<std::string> unmatched_outcome(const LocalModelSnapshot& snapshot,
                                               const AgentModelOperation& operation) {
  using Outcome = kalu_ui::Result<std::string>;
  return std::visit(
      Overloaded{
          [](const C::Install&) -> Outcome {
            return kalu_ui::fail(std::string(kRecommendationGone));
          },
          [&](const C::Start& op) -> Outcome {
            const InstalledLocalModel* model = find_model(snapshot, op.id);
            if (ready_and(model, true))
              return fmt::format("{} is already running", model->package.name);
            return kalu_ui::fail(std::string(kModelGone));
          },
          [&](const C::Stop& op) -> Outcome {
            const InstalledLocalModel* model = find_model(snapshot, op.id);
            if (ready_and(model, false))
              return fmt::format("{} is already stopped", model->package.name);
            return kalu_ui::fail(std::string(kModelGone));
          },
          [](const auto&) -> Outcome { return kalu_ui::fail(std::string(kModelGone)); },
      },
      static_cast<const AgentModelOperation::variant&>(operation));
}

}  // namespace

void AgentModelsPane::sync(doc::Document& toolkit_document) {
  doc::Document& work = link_.working(toolkit_document);
  poll_call();
  take_status();
  take_providers_changed();
  reset_controls(work);
  // Steps that would call the service wait while a call runs: the request
  // stays in its cell, the triggers in the document.
  std::optional<TakenRequest> taken;
  if (!busy()) taken = take_request(work);
  if (!busy()) run_accelerator_trigger(work, taken);
  run_setup_triggers(work);
  if (!busy()) run_confirm_trigger(work, taken);
  if (!busy()) run_model_triggers(work, taken);
  settle_request(work, std::move(taken));
  PagePane::sync(work);
  // The frame loop asks no widget to update; polling runs here.
  (void)update();
}

void AgentModelsPane::take_status() {
  std::optional<std::string> message = status_->get();
  if (!message) return;
  (void)status_->publish(std::nullopt);
  set_notice(std::move(message));
}

void AgentModelsPane::take_providers_changed() {
  if (!providers_changed_->get()) return;
  (void)providers_changed_->publish(false);
  // The page reads the provider configuration when it is built.
  request_rebuild();
}

void AgentModelsPane::reset_controls(doc::Document& document) {
  if (!std::exchange(controls_need_reset_, false)) return;
  for (const std::string_view control : kFixedControls) write_flag(document, control, false);
  for (const InstalledLocalModel& model : snapshot_.models) {
    for (const ModelAction action : model_actions(model.phase)) {
      write_flag(document, model_control_id(action, model.package.id), false);
    }
  }
}

std::optional<AgentModelsPane::TakenRequest> AgentModelsPane::take_request(
    doc::Document& document) {
  const std::optional<AgentModelOperation> request = link_.take();
  if (!request) return std::nullopt;
  const AgentModelOperation& operation = *request;
  TakenRequest taken{operation, operation_control_id(operation)};
  write_flag(document, taken.control, true);
  return taken;
}

void AgentModelsPane::run_accelerator_trigger(doc::Document& document,
                                              std::optional<TakenRequest>& taken) {
  if (!take_doc_flag(document, kAcceleratorSetupControl)) return;
  const AgentModelOperation operation = C::StageAccelerator{};
  if (taken && key_of(taken->operation) == key_of(operation)) taken->handled = true;
  ServiceJob job;
  job.command = [](ModelServiceBackend& backend) { return backend.stage_accelerator(); };
  start_call(Call{CallKind::Accelerator, operation, {}, {}}, std::move(job));
}

void AgentModelsPane::run_setup_triggers(doc::Document& document) {
  if (take_doc_flag(document, kLocalSetupControl) && snapshot_.recommendation) {
    pending_install_ = snapshot_.recommendation->id;
    request_rebuild();
  }
  if (take_doc_flag(document, kLocalCancelControl)) {
    pending_install_.reset();
    request_rebuild();
  }
}

void AgentModelsPane::run_confirm_trigger(doc::Document& document,
                                          std::optional<TakenRequest>& taken) {
  // Taken even without a recommendation, so it cannot fire once one appears.
  if (!take_doc_flag(document, kLocalConfirmControl) || !snapshot_.recommendation) return;
  const stored::LocalModelPackage package = *snapshot_.recommendation;
  const AgentModelOperation operation = C::Install{package.id, package.revision};
  const bool requested = taken && key_of(taken->operation) == key_of(operation);
  // An Install for another release is no confirmation of this one.
  if (taken && std::holds_alternative<C::Install>(taken->operation) && !requested) return;
  if (pending_install_ != package.id && !requested && !link_.pending(operation)) return;
  if (requested) taken->handled = true;
  pending_install_.reset();
  request_rebuild();
  ServiceJob job;
  job.command = [package](ModelServiceBackend& backend) { return backend.install(package); };
  start_call(Call{CallKind::Install, operation, {}, {}}, std::move(job));
}

void AgentModelsPane::run_model_triggers(doc::Document& document,
                                         std::optional<TakenRequest>& taken) {
  // Handlers refresh the list; the triggers are matched against it as shown.
  const std::vector<InstalledLocalModel> models = snapshot_.models;
  for (const InstalledLocalModel& model : models) {
    for (const ModelAction action : model_actions(model.phase)) {
      if (busy()) return;
      const std::string control = model_control_id(action, model.package.id);
      const AgentModelOperation operation = operation_for(action, model.package);
      const bool requested = taken && key_of(taken->operation) == key_of(operation);
      // Ids that differ only in characters a control id cannot hold share
      // the control: a request is for the model it names.
      if (taken && taken->control == control && !requested) continue;
      if (!take_doc_flag(document, control)) continue;
      if (requested) taken->handled = true;
      run_model_action(model, action, operation);
    }
  }
}

void AgentModelsPane::run_model_action(const InstalledLocalModel& model, ModelAction action,
                                       const AgentModelOperation& operation) {
  const stored::LocalModelPackage& package = model.package;
  ServiceJob job;
  switch (action) {
    case ModelAction::Start:
      job.command = [id = package.id](ModelServiceBackend& b) { return b.start(id); };
      break;
    case ModelAction::Stop:
      job.command = [id = package.id](ModelServiceBackend& b) { return b.stop(id); };
      break;
    case ModelAction::Retry:
      job.command = [package](ModelServiceBackend& b) { return b.install(package); };
      break;
    case ModelAction::Remove:
      // A first click asks; the second, or an automation request (already
      // confirmed by its client), removes.
      if (pending_remove_ != package.id && !link_.pending(operation)) {
        pending_remove_ = package.id;
        set_notice(remove_notice(package), package.id);
        return;
      }
      pending_remove_.reset();
      request_rebuild();
      job.command = [id = package.id](ModelServiceBackend& b) { return b.remove(id); };
      break;
  }
  start_call(Call{CallKind::ModelAction, operation, action_label(action), package.id},
             std::move(job));
}

void AgentModelsPane::settle_request(doc::Document& document, std::optional<TakenRequest> taken) {
  if (!taken || taken->handled) return;
  write_flag(document, taken->control, false);
  if (busy()) {
    // A page trigger took the worker first: the request waits in its cell.
    link_.give_back(std::move(taken->operation));
    return;
  }
  link_.complete(taken->operation, unmatched_outcome(snapshot_, taken->operation));
}

}  // namespace settings::panes::agent_models
