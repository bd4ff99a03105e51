#include "panes/placeholders/placeholders.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <utility>

#include "actions/preference_context.h"
#include "kalu_ui/harness.h"
#include "kalu_ui/widget/text.h"

namespace settings::panes {
namespace {

using operations::DeviceLocalRequest;
using operations::OperationCompletion;

// A request whose record is the first case of the record under `tag`.
template <std::size_t... I>
DeviceLocalRequest request_with_tag(std::uint8_t tag, std::index_sequence<I...>) {
  DeviceLocalRequest request;
  ((tag == I ? (request = DeviceLocalRequest(std::in_place_index<I + 1>), 0) : 0), ...);
  return request;
}
DeviceLocalRequest request_with_tag(std::uint8_t tag) {
  return request_with_tag(tag, std::make_index_sequence<10>{});
}

struct Cells {
  std::shared_ptr<DeviceLocalRequestCell> requests = DeviceLocalRequestCell::create({});
  std::shared_ptr<OperationCompletionCell> completion = OperationCompletionCell::create({});
};

// Every pane that carries out device-local operations is built; a stand-in
// for one would still behave as this one does.
constexpr PlaceholderSpec kDeviceLocalSpec = device_local_spec(
    "settings::panes::agent_models::AgentModelsPane", 17, 9, "settings.agent-model-operation");
using DeviceLocalStandIn = PaneStandIn<kDeviceLocalSpec>;

// Every preference pane is built too; a stand-in for one is built boxed and
// names its permission scope.
constexpr PlaceholderSpec kPreferenceSpec = with_preference(
    spec_of("settings::panes::personal_apps::PersonalAppsPane", 14, Construction::kBoxed),
    {"personal-apps", "Personal app defaults", "Change default apps"});
using PreferenceStandIn = PaneStandIn<kPreferenceSpec>;

// A stand-in that carries out device-local operations, hosted.
template <typename Pane>
kalu_ui::WidgetBox hosted(const Cells& cells) {
  return kalu_ui::widget::boxed(
      Pane().with_operation_requests(cells.requests).with_operation_completion(cells.completion));
}

const struct {
  const char* title;
  std::uint8_t tag;
  std::function<kalu_ui::WidgetBox(const Cells&)> make;
} kDeviceLocalPanes[] = {
    {"Agent Models", 9, hosted<DeviceLocalStandIn>},
};

TEST(PlaceholderTest, TakesOnlyItsOwnRequestAndFailsItAtOnce) {
  for (const auto& pane : kDeviceLocalPanes) {
    SCOPED_TRACE(pane.title);
    Cells cells;
    kalu_ui::WidgetBox widget = pane.make(cells);
    kalu_ui::doc::Document document;

    // Another pane's request stays where it is.
    cells.requests->publish(request_with_tag((pane.tag + 1) % 10));
    widget->sync(document);
    EXPECT_EQ(cells.requests->get().tag(), (pane.tag + 1) % 10);
    EXPECT_EQ(cells.completion->get(), OperationCompletion(OperationCompletion::Idle{}));

    cells.requests->publish(request_with_tag(pane.tag));
    widget->sync(document);
    EXPECT_TRUE(cells.requests->get().empty());
    const OperationCompletion completion = cells.completion->get();
    const auto* failed = std::get_if<OperationCompletion::Failed>(&completion);
    ASSERT_NE(failed, nullptr);
    EXPECT_EQ(failed->message, std::string(pane.title) + " cannot carry out this operation yet");
    EXPECT_THAT(failed->key, ::testing::StartsWith("settings."));

    // Taken once: the next frame finds nothing.
    cells.completion->publish(OperationCompletion::Idle{});
    widget->sync(document);
    EXPECT_EQ(cells.completion->get(), OperationCompletion(OperationCompletion::Idle{}));
  }
}

TEST(PlaceholderTest, CompletionCarriesTheOperationKey) {
  Cells cells;
  auto pane = hosted<DeviceLocalStandIn>(cells);
  cells.requests->publish(DeviceLocalRequest(std::in_place_type<operations::AgentModelOperation>,
                                             operations::AgentModelOperation::StageAccelerator{}));
  kalu_ui::doc::Document document;
  pane->sync(document);
  EXPECT_EQ(cells.completion->get(), OperationCompletion(OperationCompletion::Failed{
                                         R"(settings.agent-model-operation:"StageAccelerator")",
                                         "Agent Models cannot carry out this operation yet"}));
}

TEST(PlaceholderTest, ShowsTheLineOnceLaidOutAndAnswersItsPaneNames) {
  kalu_ui::harness::Harness h(PreferenceStandIn::boxed());
  const auto& pane = dynamic_cast<const PlaceholderPane&>(h.root());
  EXPECT_TRUE(pane.children().empty());
  EXPECT_EQ(pane.type_name(), "settings::panes::personal_apps::PersonalAppsPane");
  EXPECT_EQ(pane.short_type_name(), "PersonalAppsPane");
  h.frame();
  ASSERT_EQ(pane.children().size(), 1u);
  const auto* line =
      dynamic_cast<const kalu_ui::widget::Text*>(pane.children()[0]->children().at(0));
  ASSERT_NE(line, nullptr);
  EXPECT_EQ(line->text(), kPlaceholderLine);
  EXPECT_GT(line->get_rect().width(), 0.0);
}

TEST(PlaceholderTest, PermissionRequestOnlyAfterAChange) {
  kalu_ui::WidgetBox panes[] = {PreferenceStandIn::boxed()};
  for (auto& pane : panes) {
    EXPECT_FALSE(pane->take_permission_request().has_value()) << pane->short_type_name();
  }

  const auto context = actions::preference_pane_context(true, "appearance", "Appearance",
                                                        "Change appearance preferences");
  ASSERT_TRUE(context.has_value());
  EXPECT_EQ(context->subject.id, "settings.preference:appearance");
  EXPECT_EQ(context->subject.kind, "settings.preference-pane");
  EXPECT_EQ(context->title, "Appearance");
  EXPECT_EQ(context->purpose, "Change appearance preferences");
  EXPECT_EQ(context->application.app_id, "kalu.Settings");
  EXPECT_EQ(context->application.title, "Settings");
  EXPECT_FALSE(actions::preference_pane_context(false, "appearance", "Appearance", "x"));
}

}  // namespace
}  // namespace settings::panes
