#include <gtest/gtest.h>

#include "operations/mailbox_cells.h"

namespace settings::operations {
namespace {

using C = OperationCompletion;

TEST(CompleteOperation, OnlyThePendingOperationIsCompleted) {
  const std::string key = R"(settings.network-operation:"Refresh")";
  auto cell = OperationCompletionCell::create({});
  EXPECT_FALSE(complete_operation(*cell, key, std::string("done")));
  EXPECT_EQ(cell->get(), C{});

  cell->publish(C::Pending{R"(settings.network-operation:"RunDiagnostics")"});
  EXPECT_FALSE(complete_operation(*cell, key, std::string("done")));
  EXPECT_EQ(cell->get().tag(), 1);

  cell->publish(C::Pending{key});
  EXPECT_TRUE(complete_operation(*cell, key, kalu_ui::fail("Wi-Fi is no longer available")));
  EXPECT_EQ(cell->get(), C(C::Failed{key, "Wi-Fi is no longer available"}));
  // Exactly once: a final state is not Pending any more.
  EXPECT_FALSE(complete_operation(*cell, key, std::string("again")));
}

TEST(CompleteOperation, OfItsActionTakesAnyPendingKeyOfThatAction) {
  const std::string key = R"(settings.display-operation:{"SetBrightness":{"value":0.5}})";
  auto cell = OperationCompletionCell::create(C::Pending{key});
  EXPECT_FALSE(complete_operation_of_action(*cell, "settings.printer-operation", std::string("x")));
  EXPECT_FALSE(complete_operation_of_action(*cell, "settings.display", std::string("x")));
  EXPECT_TRUE(complete_operation_of_action(*cell, "settings.display-operation",
                                           std::string("Brightness set to 50%.")));
  EXPECT_EQ(cell->get(), C(C::Succeeded{key, "Brightness set to 50%."}));

  cell->publish(C::Pending{"settings.display-operationx:\"Apply\""});
  EXPECT_FALSE(complete_operation_of_action(*cell, "settings.display-operation", std::string("x")));
}

}  // namespace
}  // namespace settings::operations
