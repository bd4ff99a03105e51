#pragma once

// Stand-ins for the panes whose pages are not built yet. Each has the name,
// the construction calls and the widget answers of the pane it stands for, so
// the pane table builds it exactly as it will build the real pane. Its page
// says "This page is not built yet." An operation handed to it is taken from
// its mailbox (only its own request tag) and completed at once as failed,
// "<pane title> cannot carry out this operation yet", so nobody waits on a
// pane that cannot act.
//
// Replacing one with the real pane: build panes/<module>/ with the same
// construction calls, delete the pane's block at the end of this file, and
// include the new header in the pane table (settings_app/pane_table.cpp).
// When the last pane is built, this file goes.

#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

#include "lib/page_node.h"
#include "operations/mailbox_cells.h"
#include "panes/registry.h"
#include "widget_contract/widget.h"

namespace settings::panes {

using operations::DeviceLocalRequestCell;
using operations::DeviceMeshRequestCell;
using operations::OperationCompletionCell;

// How the page frame makes the pane.
enum class Construction : std::uint8_t {
  kNew,            // Pane(), then its setters
  kBoxed,          // Pane::boxed()
  kBoxedWithHint,  // Pane::boxed(width hint)
};

// Which mailbox the pane takes operations from.
enum class Requests : std::uint8_t { kNone, kDeviceLocal, kDeviceMesh };

// What a preference pane's permission request names.
struct PreferenceScope {
  std::string_view scope;
  std::string_view title;
  std::string_view purpose;
};

// One placeholder: what tells it from the others.
struct PlaceholderSpec {
  std::string_view type_name;
  PaneIndex pane = 0;
  Construction construction = Construction::kNew;
  Requests requests = Requests::kNone;
  // With kDeviceLocal: the tag of the pane's own requests.
  std::uint8_t request_tag = operations::DeviceLocalRequest::kNone;
  // With kDeviceLocal and kDeviceMesh: the action the operation key names.
  std::string_view action_id;
  // Takes the application's completion cell.
  bool completion = false;
  std::optional<PreferenceScope> preference;
};

inline constexpr std::string_view kPlaceholderLine = "This page is not built yet.";

// The behaviour every placeholder shares; PaneStandIn adds the construction
// calls of one pane.
class PlaceholderPane : public kalu_ui::Widget {
 public:
  ~PlaceholderPane() override;
  PlaceholderPane(PlaceholderPane&&) noexcept;
  PlaceholderPane& operator=(PlaceholderPane&&) noexcept;

  const PlaceholderSpec& spec() const { return *spec_; }
  // Set by the request and completion setters: the application hosts the pane.
  bool hosted() const { return hosted_; }
  bool reports_completions() const { return reports_completions_; }
  const std::optional<float>& width_hint() const { return width_hint_; }
  // The cells in use: the pane's own until a setter hands it the application's.
  const std::shared_ptr<DeviceLocalRequestCell>& request_cell() const { return requests_; }
  const std::shared_ptr<DeviceMeshRequestCell>& mesh_request_cell() const { return mesh_; }
  const std::shared_ptr<OperationCompletionCell>& completion_cell() const { return completion_; }

  std::string_view type_name() const override { return spec_->type_name; }
  void sync(kalu_ui::doc::Document& document) override;
  kalu_ui::layout::NodeId build_layout(kalu_ui::layout::LayoutTree& tree,
                                       const kalu_ui::RenderContext& context,
                                       kalu_ui::layout::NodeRegistry& registry) override;
  void apply_layout(const kalu_ui::layout::LayoutTree& tree, kalu_ui::layout::NodeId node,
                    double origin_x, double origin_y) override;
  void draw(kalu_ui::Scene& scene, const kalu_ui::Affine& transform,
            kalu_ui::text::TextRenderer& renderer, const kalu_ui::Theme& theme,
            kalu_ui::DrawContext& context) override;
  void handle_event(const kalu_ui::Event& event, kalu_ui::EventContext& context) override;
  std::vector<const kalu_ui::Widget*> children() const override;
  std::vector<kalu_ui::Widget*> children_mut() override;
  kalu_ui::Rect get_rect() const override { return rect_; }
  std::optional<kalu_actions::ActionContext> take_permission_request() override;

 protected:
  explicit PlaceholderPane(const PlaceholderSpec& spec);

  void use_requests(const std::shared_ptr<DeviceLocalRequestCell>& cell);
  void use_mesh_requests(const std::shared_ptr<DeviceMeshRequestCell>& cell);
  void use_completion(const std::shared_ptr<OperationCompletionCell>& cell);
  void set_width_hint(std::optional<float> hint) { width_hint_ = hint; }

 private:
  void take_request();
  void fail_operation(std::string key);

  const PlaceholderSpec* spec_;
  kalu_ui::WidgetBox page_;
  kalu_ui::Rect rect_;
  lib::PageNode page_node_;
  // Set when the page handled an event; taken by the permission request.
  bool interacted_ = false;
  bool hosted_ = false;
  bool reports_completions_ = false;
  std::shared_ptr<DeviceLocalRequestCell> requests_;
  std::shared_ptr<DeviceMeshRequestCell> mesh_;
  std::shared_ptr<OperationCompletionCell> completion_;
  std::optional<float> width_hint_;
};

// One pane's construction calls, each present only where that pane has it.
template <const PlaceholderSpec& S>
class PaneStandIn final : public PlaceholderPane {
  struct Boxing {};

 public:
  PaneStandIn() requires(S.construction == Construction::kNew) : PlaceholderPane(S) {}

  static kalu_ui::WidgetBox boxed() requires(S.construction == Construction::kBoxed) {
    return kalu_ui::WidgetBox(new PaneStandIn(Boxing{}));
  }
  static kalu_ui::WidgetBox boxed(std::optional<float> width_hint) requires(
      S.construction == Construction::kBoxedWithHint) {
    auto* pane = new PaneStandIn(Boxing{});
    pane->set_width_hint(width_hint);
    return kalu_ui::WidgetBox(pane);
  }

  PaneStandIn&& with_operation_requests(const std::shared_ptr<DeviceLocalRequestCell>& cell) &&
      requires(S.requests == Requests::kDeviceLocal) {
    use_requests(cell);
    return std::move(*this);
  }
  PaneStandIn&& with_mesh_requests(const std::shared_ptr<DeviceMeshRequestCell>& cell) &&
      requires(S.requests == Requests::kDeviceMesh) {
    use_mesh_requests(cell);
    return std::move(*this);
  }
  PaneStandIn&& with_operation_completion(const std::shared_ptr<OperationCompletionCell>& cell) &&
      requires(S.completion) {
    use_completion(cell);
    return std::move(*this);
  }

 private:
  explicit PaneStandIn(Boxing) : PlaceholderPane(S) {}
};

// Specs by kind. (Designated initialisers that leave members out trip g++
// 12's missing-initializer warning, hence these.)
constexpr PlaceholderSpec spec_of(std::string_view type_name, PaneIndex pane,
                                  Construction construction) {
  PlaceholderSpec spec;
  spec.type_name = type_name;
  spec.pane = pane;
  spec.construction = construction;
  return spec;
}
// A pane that carries out the device-local operations of `action_id` under
// `tag` and reports to the completion cell.
constexpr PlaceholderSpec device_local_spec(std::string_view type_name, PaneIndex pane,
                                            std::uint8_t tag, std::string_view action_id) {
  PlaceholderSpec spec = spec_of(type_name, pane, Construction::kNew);
  spec.requests = Requests::kDeviceLocal;
  spec.request_tag = tag;
  spec.action_id = action_id;
  spec.completion = true;
  return spec;
}
constexpr PlaceholderSpec with_preference(PlaceholderSpec spec, PreferenceScope scope) {
  spec.preference = scope;
  return spec;
}

// ---- The panes not built yet, one block each --------------------------------


}  // namespace settings::panes
