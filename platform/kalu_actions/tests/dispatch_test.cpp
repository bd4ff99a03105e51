#include "kalu_actions/dispatch.h"

#include <gtest/gtest.h>

#include "kalu_ui/document.h"

namespace kalu_actions {
namespace {

// Writes a text under a key; refuses empty texts, as a real handler refuses
// values its key does not take.
class PutText final : public TypedAction {
 public:
  PutText(std::string key, std::string text) : key_(std::move(key)), text_(std::move(text)) {}
  std::string debug_text() const override { return "PutText { key: " + key_ + " }"; }
  kalu_ui::Status apply(kalu_ui::doc::Document& document) const override {
    if (text_.empty()) return kalu_ui::fail("empty value for " + key_);
    return document.put(kalu_ui::doc::kRoot, key_, kalu_ui::doc::Scalar(text_));
  }

 private:
  std::string key_, text_;
};

// Payload "key=text".
class PutTextHandler final : public NamespaceHandler {
 public:
  ActionResult<std::unique_ptr<TypedAction>> decode(
      std::span<const std::uint8_t> payload) const override {
    std::string text(payload.begin(), payload.end());
    auto eq = text.find('=');
    if (eq == std::string::npos) {
      return std::unexpected(ActionError::invalid_payload("test.put", "expected key=text"));
    }
    return std::make_unique<PutText>(text.substr(0, eq), text.substr(eq + 1));
  }
};

TEST(DispatchTest, DecodesByNamespaceAndAppliesThroughTheLocalTransport) {
  ActionRegistry registry;
  registry.insert("test.put", std::make_shared<PutTextHandler>());
  kalu_ui::doc::Document document;
  LocalTransport transport;
  EXPECT_TRUE(transport.is_local());

  auto invocation = EncodedAction::from_text("test.put", "appearance.theme=Dark");
  auto action = registry.decode(invocation);
  ASSERT_TRUE(action.has_value());
  ActionContext context;
  auto sent = dispatch_by_with_context(document, **action, invocation, transport, bytes_of("actor"),
                                       context);
  ASSERT_TRUE(sent.has_value());
  EXPECT_EQ(document.read_str(kalu_ui::doc::kRoot, "appearance.theme"), "Dark");
  EXPECT_EQ(transport.delivered(), 1u);

  auto refused_invocation = EncodedAction::from_text("test.put", "appearance.theme=");
  auto refused = dispatch_by(document, **registry.decode(refused_invocation), refused_invocation,
                             transport, bytes_of("actor"));
  ASSERT_FALSE(refused.has_value());
  EXPECT_EQ(refused.error().to_string(),
            "action test.put failed: empty value for appearance.theme");
  EXPECT_EQ(transport.delivered(), 1u);
}

TEST(DispatchTest, ErrorsNameTheNamespace) {
  ActionRegistry registry;
  registry.insert("test.put", std::make_shared<PutTextHandler>());
  auto unknown = registry.decode(EncodedAction::from_text("other", "{}"));
  ASSERT_FALSE(unknown.has_value());
  EXPECT_EQ(unknown.error().to_string(), "no handler is registered for action namespace other");
  auto bad = registry.decode(EncodedAction::from_text("test.put", "nothing"));
  ASSERT_FALSE(bad.has_value());
  EXPECT_EQ(bad.error().to_string(),
            "invalid payload for action namespace test.put: expected key=text");
}

}  // namespace
}  // namespace kalu_actions
