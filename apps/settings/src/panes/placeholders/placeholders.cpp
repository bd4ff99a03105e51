#include "panes/placeholders/placeholders.h"

#include <fmt/format.h>

#include <utility>
#include <variant>

#include "actions/preference_context.h"
#include "kalu_ui/layout.h"
#include "kalu_ui/widget/column.h"
#include "kalu_ui/widget/support.h"
#include "lib/ui_rows.h"
#include "operations/keys.h"

namespace settings::panes {
namespace {

using kalu_ui::WidgetBox;
using kalu_ui::layout::NodeId;

WidgetBox placeholder_page() {
  ui_rows::WidgetList lines;
  lines.push_back(ui_rows::caption(kPlaceholderLine));
  return ui_rows::rows_column(std::move(lines));
}

// The key of the request's record under the pane's action.
std::string key_of(std::string_view action_id, const operations::DeviceLocalRequest& request) {
  return std::visit(
      [&](const auto& record) -> std::string {
        if constexpr (std::is_same_v<std::decay_t<decltype(record)>, std::monostate>) {
          return {};
        } else {
          return operations::operation_key(action_id, record);
        }
      },
      static_cast<const operations::DeviceLocalRequest::variant&>(request));
}

}  // namespace

PlaceholderPane::PlaceholderPane(const PlaceholderSpec& spec) : spec_(&spec) {
  // A pane built alone has mailboxes of its own, as the real panes do.
  switch (spec.requests) {
    case Requests::kDeviceLocal:
      requests_ = DeviceLocalRequestCell::create({});
      break;
    case Requests::kDeviceMesh:
      mesh_ = DeviceMeshRequestCell::create(std::nullopt);
      break;
    case Requests::kNone:
      break;
  }
  if (spec.completion) completion_ = OperationCompletionCell::create({});
}

PlaceholderPane::~PlaceholderPane() = default;
PlaceholderPane::PlaceholderPane(PlaceholderPane&&) noexcept = default;
PlaceholderPane& PlaceholderPane::operator=(PlaceholderPane&&) noexcept = default;

void PlaceholderPane::use_requests(const std::shared_ptr<DeviceLocalRequestCell>& cell) {
  requests_ = cell;
  hosted_ = true;
}

void PlaceholderPane::use_mesh_requests(const std::shared_ptr<DeviceMeshRequestCell>& cell) {
  mesh_ = cell;
}

void PlaceholderPane::use_completion(const std::shared_ptr<OperationCompletionCell>& cell) {
  completion_ = cell;
  reports_completions_ = true;
}

void PlaceholderPane::sync(kalu_ui::doc::Document& document) {
  take_request();
  if (page_) page_->sync(document);
}

void PlaceholderPane::take_request() {
  switch (spec_->requests) {
    case Requests::kDeviceLocal: {
      if (!requests_) return;
      const operations::DeviceLocalRequest request = requests_->get();
      // Another pane's request stays where it is.
      if (request.empty() || request.tag() != spec_->request_tag) return;
      requests_->publish(operations::DeviceLocalRequest{});
      fail_operation(key_of(spec_->action_id, request));
      return;
    }
    case Requests::kDeviceMesh: {
      if (!mesh_) return;
      const std::optional<operations::DeviceMeshOperation> request = mesh_->get();
      if (!request) return;
      mesh_->publish(std::nullopt);
      fail_operation(operations::operation_key(spec_->action_id, *request));
      return;
    }
    case Requests::kNone:
      return;
  }
}

void PlaceholderPane::fail_operation(std::string key) {
  if (!completion_) return;
  completion_->publish(operations::OperationCompletion::Failed{
      std::move(key),
      fmt::format("{} cannot carry out this operation yet", pane_title(spec_->pane))});
}

NodeId PlaceholderPane::build_layout(kalu_ui::layout::LayoutTree& tree,
                                     const kalu_ui::RenderContext& context,
                                     kalu_ui::layout::NodeRegistry& registry) {
  if (!page_) page_ = placeholder_page();
  return page_node_.build(tree, context, registry, *this, page_.get());
}

void PlaceholderPane::apply_layout(const kalu_ui::layout::LayoutTree& tree, NodeId node,
                                   double origin_x, double origin_y) {
  rect_ = page_node_.apply(tree, node, origin_x, origin_y, page_.get());
}

void PlaceholderPane::draw(kalu_ui::Scene& scene, const kalu_ui::Affine& transform,
                           kalu_ui::text::TextRenderer& renderer, const kalu_ui::Theme& theme,
                           kalu_ui::DrawContext& context) {
  if (page_) page_->draw_with_presence(scene, transform, renderer, theme, context);
}

void PlaceholderPane::handle_event(const kalu_ui::Event& event, kalu_ui::EventContext& context) {
  if (!page_) return;
  const bool before = context.handled;
  page_->handle_event(event, context);
  if (context.handled && !before) interacted_ = true;
}

std::vector<const kalu_ui::Widget*> PlaceholderPane::children() const {
  return kalu_ui::child_list<const kalu_ui::Widget*>(page_.get());
}

std::vector<kalu_ui::Widget*> PlaceholderPane::children_mut() {
  return kalu_ui::child_list(page_.get());
}

std::optional<kalu_actions::ActionContext> PlaceholderPane::take_permission_request() {
  if (!spec_->preference) return Widget::take_permission_request();
  const bool changed = std::exchange(interacted_, false) || (page_ && page_->needs_commit());
  const PreferenceScope& scope = *spec_->preference;
  return actions::preference_pane_context(changed, scope.scope, scope.title, scope.purpose);
}

}  // namespace settings::panes
