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
  std::string payload_json() const { return text_; }

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

// Keeps a record whose heads are fixed by the test, and what was reported.
class RecordingDispatch final : public BoundDispatch {
 public:
  std::optional<TypedActionRecord> typed_action_before(const doc::Document&) override {
    ++asked;
    return record;
  }
  void report_typed_action(const TypedActionRecord& before, const kalu_actions::TypedAction& action,
                           const kalu_actions::EncodedAction& invocation,
                           const std::vector<doc::ChangeHash>& heads_after) override {
    reports.push_back({before.heads, action.debug_text(), invocation, heads_after});
  }

  struct Report {
    std::vector<doc::ChangeHash> before;
    std::string action;
    kalu_actions::EncodedAction invocation;
    std::vector<doc::ChangeHash> after;
  };
  std::optional<TypedActionRecord> record;
  int asked = 0;
  std::vector<Report> reports;
};

TEST(ActionHostTest, DecodedDispatchAppliesAndRemembersOnlySuccesses) {
  auto registry = std::make_shared<kalu_actions::ActionRegistry>();
  registry->insert("test.write", std::make_shared<WriteKeyHandler>());
  ActionHost host(registry);
  doc::Document document;
  ASSERT_TRUE(document.put(doc::kRoot, "before", doc::Scalar(true)).has_value());

  auto refused = host.dispatch(document, "test.write", "", std::nullopt);
  ASSERT_FALSE(refused.has_value());
  EXPECT_EQ(refused.error().to_string(), "action test.write failed: empty text");
  auto unknown = host.dispatch(document, "test.other", "x", std::nullopt);
  ASSERT_FALSE(unknown.has_value());
  EXPECT_EQ(unknown.error().to_string(),
            "no handler is registered for action namespace test.other");
  EXPECT_FALSE(host.first_heads().has_value());
  EXPECT_FALSE(host.last_invocation().has_value());

  const auto heads_before = document.clone().get_heads();
  ASSERT_TRUE(host.dispatch(document, "test.write", "Dark", kalu_actions::ActionContext{}));
  EXPECT_EQ(document.read_str(doc::kRoot, "key"), "Dark");
  EXPECT_EQ(host.first_heads(), heads_before);
  EXPECT_EQ(host.last_invocation()->payload_text(), "Dark");
}

TEST(ActionHostTest, TheBoundDispatchsRecordStandsForTheHeadsBeforeAndHearsOfTheAction) {
  auto bound = std::make_shared<RecordingDispatch>();
  ActionHost host(nullptr, std::nullopt, bound);
  doc::Document document;
  log::ScopedCapture capture;

  // Without a record the document's own heads are kept and nothing is reported.
  const auto empty_heads = document.clone().get_heads();
  host.dispatch_with_context(document, "test.write", WriteKey("one"), std::nullopt);
  EXPECT_EQ(host.first_heads(), empty_heads);
  EXPECT_TRUE(bound->reports.empty());

  // With one, its heads are reported with the heads after the action.
  doc::ChangeHash marker;
  marker.bytes.fill(7);
  bound->record = TypedActionRecord{{marker}};
  host.dispatch_with_context(document, "test.write", WriteKey("two"), std::nullopt);
  ASSERT_EQ(bound->reports.size(), 1u);
  EXPECT_EQ(bound->reports[0].before, std::vector<doc::ChangeHash>{marker});
  EXPECT_EQ(bound->reports[0].action, "WriteKey");
  EXPECT_EQ(bound->reports[0].invocation.payload_text(), "two");
  EXPECT_EQ(bound->reports[0].after, document.clone().get_heads());
  EXPECT_EQ(host.first_heads(), empty_heads);  // the first success's heads stay

  // A refused action is reported to no one and logged.
  host.dispatch_with_context(document, "test.write", WriteKey(""), std::nullopt);
  EXPECT_EQ(bound->reports.size(), 1u);
  EXPECT_EQ(host.last_invocation()->payload_text(), "two");
  const auto events = capture.events();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].message, "action dispatch failed");
  EXPECT_EQ(*events[0].field("namespace"), "test.write");
  EXPECT_EQ(bound->asked, 3);
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
