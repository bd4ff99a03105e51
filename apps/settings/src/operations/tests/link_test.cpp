// A pane's link to the executor: it takes only its own records, completes
// only the pending operation and only once, and works on its own document
// once hosted.

#include "operations/link.h"

#include <gtest/gtest.h>

#include <string>

namespace settings::operations {
namespace {

using C = OperationCompletion;

// A link hosted on cells the test holds too, as the page frame hands them.
template <typename Record>
struct Linked {
  Linked() {
    link.take_requests_from(requests);
    link.report_to(completion);
  }
  std::shared_ptr<DeviceLocalRequestCell> requests = DeviceLocalRequestCell::create({});
  std::shared_ptr<OperationCompletionCell> completion = OperationCompletionCell::create({});
  OperationLink<Record> link;
};

TEST(OperationLink, TakesOnlyItsOwnRecordAndEmptiesTheCell) {
  Linked<NetworkOperation> t;
  EXPECT_EQ(t.link.take(), std::nullopt);
  const DeviceLocalRequest other(std::in_place_type<PowerOperation>,
                                 PowerOperation::SetAutoSuspend{true});
  t.requests->publish(other);
  EXPECT_FALSE(t.link.waiting());
  EXPECT_EQ(t.link.take(), std::nullopt);
  EXPECT_EQ(t.requests->get(), other);  // another pane's request stays

  t.requests->publish(
      DeviceLocalRequest(std::in_place_type<NetworkOperation>, NetworkOperation::Refresh{}));
  EXPECT_TRUE(t.link.waiting());
  EXPECT_EQ(t.link.take(), NetworkOperation(NetworkOperation::Refresh{}));
  EXPECT_TRUE(t.requests->get().empty());
  t.link.give_back(NetworkOperation::RunDiagnostics{});
  EXPECT_EQ(t.link.take(), NetworkOperation(NetworkOperation::RunDiagnostics{}));
}

TEST(OperationLink, CompletesOnlyThePendingOperationAndOnlyOnce) {
  Linked<NetworkOperation> t;
  const NetworkOperation refresh = NetworkOperation::Refresh{};
  const std::string key = operation_key(refresh);
  EXPECT_FALSE(t.link.complete(refresh, std::string("done")));  // nothing pending
  EXPECT_EQ(t.completion->get(), C{});
  EXPECT_FALSE(t.link.may_apply(refresh));

  t.completion->publish(
      C::Pending{operation_key(NetworkOperation(NetworkOperation::RunDiagnostics{}))});
  EXPECT_FALSE(t.link.pending(refresh));
  EXPECT_FALSE(t.link.complete(refresh, std::string("done")));
  EXPECT_FALSE(t.link.complete(std::nullopt, std::string("done")));

  t.completion->publish(C::Pending{key});
  EXPECT_TRUE(t.link.pending(refresh));
  EXPECT_TRUE(t.link.may_apply(refresh));
  EXPECT_EQ(t.link.pending_record(), refresh);
  EXPECT_TRUE(t.link.complete(refresh, kalu_ui::fail("Wi-Fi is no longer available")));
  EXPECT_EQ(t.completion->get(), C(C::Failed{key, "Wi-Fi is no longer available"}));
  // Exactly once: a final state is not Pending any more.
  EXPECT_FALSE(t.link.complete(key, std::string("again")));
}

TEST(OperationLink, CompletesWhicheverOperationOfItsActionIsPending) {
  Linked<DisplayOperation> t;
  const std::string key = R"(settings.display-operation:{"SetBrightness":{"value":0.5}})";
  t.completion->publish(C::Pending{"settings.printer-operation:\"Refresh\""});
  EXPECT_FALSE(t.link.complete(std::string("x")));
  t.completion->publish(C::Pending{"settings.display-operationx:\"Apply\""});
  EXPECT_EQ(t.link.pending_key(), std::nullopt);
  EXPECT_FALSE(t.link.complete(std::string("x")));

  t.completion->publish(C::Pending{key});
  EXPECT_TRUE(t.link.complete(std::string("Brightness set to 50%.")));
  EXPECT_EQ(t.completion->get(), C(C::Succeeded{key, "Brightness set to 50%."}));
}

TEST(OperationLink, AHostedPaneWorksOnItsOwnDocument) {
  kalu_ui::doc::Document toolkit;
  OperationLink<PowerOperation> alone;
  EXPECT_FALSE(alone.hosted());
  EXPECT_FALSE(alone.reporting());
  EXPECT_EQ(&alone.working(toolkit), &toolkit);
  // Without reporting every edit may be applied.
  EXPECT_TRUE(alone.may_apply(PowerOperation::SetAutoSuspend{true}));

  Linked<PowerOperation> hosted;
  EXPECT_TRUE(hosted.link.hosted());
  EXPECT_TRUE(hosted.link.reporting());
  EXPECT_EQ(&hosted.link.working(toolkit), &hosted.link.own_document());
  EXPECT_EQ(hosted.link.request_cell(), hosted.requests);
  EXPECT_EQ(hosted.link.completion_cell(), hosted.completion);
}

}  // namespace
}  // namespace settings::operations
