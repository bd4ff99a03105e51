#include <gtest/gtest.h>

#include <cstdlib>

#include "kalu_ui/document.h"
#include "kalu_ui/host.h"
#include "kalu_ui/log.h"

namespace kalu_ui::host {
namespace {

// Payload: the text to write under "key"; an empty text is refused.
class WriteKey final : public kalu_actions::TypedAction {
 public:
  explicit WriteKey(std::string text) : text_(std::move(text)) {}
  std::string debug_text() const override { return "WriteKey"; }
  Status apply(doc::Document& document) const override {
    if (text_.empty()) return fail("empty text");
    return document.put(doc::kRoot, "key", doc::Scalar(text_));
  }

 private:
  std::string text_;
};

class WriteKeyHandler final : public kalu_actions::NamespaceHandler {
 public:
  kalu_actions::ActionResult<std::unique_ptr<kalu_actions::TypedAction>> decode(
      std::span<const std::uint8_t> payload) const override {
    return std::make_unique<WriteKey>(std::string(payload.begin(), payload.end()));
  }
};

TEST(ActionHostTest, DispatchAppliesAndRemembersOnlySuccesses) {
  auto registry = std::make_shared<kalu_actions::ActionRegistry>();
  registry->insert("test.write", std::make_shared<WriteKeyHandler>());
  ActionHost host(registry);
  doc::Document document;
  ASSERT_TRUE(document.put(doc::kRoot, "before", doc::Scalar(true)).has_value());
  log::ScopedCapture capture;

  host.dispatch_with_context(document, "test.write", "", std::nullopt);
  host.dispatch_with_context(document, "test.other", "x", std::nullopt);
  ASSERT_EQ(capture.events().size(), 2u);
  EXPECT_EQ(capture.events()[0].message, "action dispatch failed");
  EXPECT_EQ(*capture.events()[0].field("namespace"), "test.write");
  EXPECT_EQ(*capture.events()[1].field("error"),
            "no handler is registered for action namespace test.other");
  EXPECT_FALSE(host.first_heads().has_value());
  EXPECT_FALSE(host.last_invocation().has_value());

  const auto heads_before = document.clone().get_heads();
  host.dispatch_with_context(document, "test.write", "Dark", kalu_actions::ActionContext{});
  EXPECT_EQ(document.read_str(doc::kRoot, "key"), "Dark");
  EXPECT_EQ(host.first_heads(), heads_before);
  EXPECT_EQ(host.last_invocation()->payload_text(), "Dark");
  EXPECT_EQ(capture.events().size(), 2u);
}

TEST(AutomationSocketPathTest, NamesTheApplicationsSocketInTheRuntimeDirectory) {
  ::setenv("XDG_RUNTIME_DIR", "/run/user/1000/", 1);
  EXPECT_EQ(automation_socket_path("kalu.settings"),
            "/run/user/1000/kalu-automation/kalu.settings.sock");
  for (const char* bad : {"", ".hidden", "a/b", "../x", "a b"}) {
    EXPECT_FALSE(automation_socket_path(bad).has_value()) << bad;
  }
  ::setenv("XDG_RUNTIME_DIR", "relative", 1);
  EXPECT_FALSE(automation_socket_path("kalu.settings").has_value());
  ::unsetenv("XDG_RUNTIME_DIR");
  EXPECT_FALSE(automation_socket_path("kalu.settings").has_value());
}

}  // namespace
}  // namespace kalu_ui::host
