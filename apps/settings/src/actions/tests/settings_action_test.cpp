#include "actions/settings_action.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "kalu_ui/host.h"
#include "kalu_ui/log.h"
#include "vocabulary/shortcut_keys.h"

namespace settings::actions {
namespace {

namespace doc = kalu_ui::doc;
using operations::SettingsAction;
using operations::SettingValue;

SettingsAction set(std::string key, SettingValue value) {
  return SettingsAction::SetSetting{std::move(key), std::move(value)};
}
SettingValue text(std::string value) { return SettingValue::Text{std::move(value)}; }
SettingValue flag(bool value) { return SettingValue::Bool{value}; }

std::string refusal(std::string_view key) {
  return std::string("settings target is stale, unknown, or has an invalid value: ") +
         std::string(key);
}

TEST(SettingsActionApply, KeysTakeOnlyTheirKindOfValue) {
  const std::string app = "notifications.app.";
  const struct {
    SettingsAction action;
    bool accepted;
  } cases[] = {
      {set("appearance.theme", text("Dark")), true},
      {set("appearance.theme", text("")), false},
      {set("appearance.theme", text(std::string(1024, 'x'))), true},
      {set("appearance.theme", text(std::string(1025, 'x'))), false},
      {set("appearance.theme", SettingValue::Int{1}), false},
      {set("appearance.high_contrast", flag(true)), true},
      {set("appearance.high_contrast", text("true")), false},
      {set("appearance.text_size", SettingValue::Float{1.0}), false},
      {set("a11y.switch_control", SettingValue::Float{1.0}), false},
      {set("region.first_day", text("Monday")), true},
      {set("text.check_spelling", flag(false)), true},
      {set("notifications.focus.days", text("Weekdays")), true},
      {set("notifications.focus.days", flag(true)), false},
      // Per-application notification rules: the id runs to the last dot.
      {set(app + "mail.client.banners", flag(true)), true},
      {set(app + "mail.client.priority_contacts", flag(false)), true},
      {set(app + "mail client.banners", flag(true)), false},
      {set(app + ".banners", flag(true)), false},
      {set(app + "banners", flag(true)), false},
      {set(app + std::string(160, 'a') + ".banners", flag(true)), true},
      {set(app + std::string(161, 'a') + ".banners", flag(true)), false},
      {set(app + "mail.client.banners", text("on")), false},
      {set(app + "mail.client.volume", flag(true)), false},
      {set(app + "mail.client.mute", text(std::string(1024, 'm'))), true},
      {set(app + "mail.client.mute", text(std::string(1025, 'm'))), false},
      {set(app + "mail.client.mute", flag(true)), false},
      // Default applications: any kind, but never a page's own edit or error value.
      {set("default_apps.text.html", text("Browser")), true},
      {set("default_apps.text.html.edit", text("Browser")), false},
      {set("default_apps.text.html.error", text("Browser")), false},
      {set("default_apps.text.html", flag(true)), false},
      // Shortcuts: chords are texts, the Vim switch a boolean.
      {set("shortcuts.search", text("Super+K")), true},
      {set("shortcuts.search", text("")), false},
      {set("shortcuts.search.edit", text("Super+K")), false},
      {set("shortcuts.vim_mode", text("true")), false},
      {set("shortcuts.vim_mode", flag(true)), true},
      {set("shortcuts.unknown", text("Super+U")), false},
      {set("display.brightness", SettingValue::Float{0.5}), false},
      {set("", text("x")), false},
  };
  for (const auto& c : cases) {
    const auto& key = std::get<SettingsAction::SetSetting>(c.action).key;
    doc::Document document;
    auto applied = apply_setting(c.action, document);
    EXPECT_EQ(applied.has_value(), c.accepted) << key;
    if (c.accepted) {
      EXPECT_TRUE(document.get(doc::kRoot, key).has_value()) << key;
    } else {
      EXPECT_EQ(applied.error(), refusal(key));
      EXPECT_TRUE(document.keys(doc::kRoot).empty()) << key;
      EXPECT_EQ(document.pending_ops(), 0u) << key;
    }
  }
  for (const auto& shortcut : panes::keyboard_shortcuts::shortcut_keys()) {
    doc::Document document;
    EXPECT_TRUE(
        apply_setting(SettingsAction::set_setting(std::string(shortcut.id), "Super+1"), document))
        << shortcut.id;
  }
}

TEST(SettingsActionApply, WritesAScalarOnceAndNothingWhenItIsAlreadyThere) {
  doc::Document document;
  const auto theme = SettingsAction::set_setting("appearance.theme", "Dark");
  ASSERT_TRUE(apply_setting(theme, document));
  EXPECT_EQ(document.read_str(doc::kRoot, "appearance.theme"), "Dark");
  const auto heads = document.get_heads();
  ASSERT_TRUE(apply_setting(theme, document));
  EXPECT_EQ(document.pending_ops(), 0u);
  EXPECT_EQ(document.get_heads(), heads);

  const auto contrast = SettingsAction::set_setting("appearance.high_contrast", true);
  ASSERT_TRUE(apply_setting(contrast, document));
  EXPECT_EQ(document.read_bool(doc::kRoot, "appearance.high_contrast"), true);
  document.commit();
  ASSERT_TRUE(apply_setting(contrast, document));
  EXPECT_EQ(document.pending_ops(), 0u);

  // A text object holding the same characters is not the string scalar: the
  // action replaces it with one.
  auto object = document.put_object(doc::kRoot, "region.currency", doc::ObjType::Text);
  ASSERT_TRUE(object && document.insert_text(*object, 0, "EUR"));
  document.commit();
  ASSERT_TRUE(apply_setting(SettingsAction::set_setting("region.currency", "EUR"), document));
  EXPECT_EQ(document.read_str(doc::kRoot, "region.currency"), "EUR");
}

TEST(SettingsActionHandler, DecodesThePayloadOrRefusesItWithTheNamespace) {
  kalu_actions::ActionRegistry registry;
  register_action_handler(registry, "custom.ns");
  const auto* first = registry.find("custom.ns");
  register_action_handler(registry, "custom.ns");
  const auto* handler = dynamic_cast<const SettingsActionHandler*>(registry.find("custom.ns"));
  ASSERT_NE(handler, nullptr);
  EXPECT_NE(static_cast<const void*>(handler), static_cast<const void*>(first));
  EXPECT_EQ(handler->namespace_id(), "custom.ns");

  const std::string good = R"({"SetSetting":{"value":{"Text":"Dark"},"key":"appearance.theme"}})";
  auto decoded = handler->decode(kalu_actions::bytes_of(good));
  ASSERT_TRUE(decoded) << decoded.error().to_string();
  EXPECT_EQ((*decoded)->debug_text(),
            R"(SetSetting { key: "appearance.theme", value: Text("Dark") })");

  const std::string bad = R"({"SetSetting":{"key":"appearance.theme"}})";
  auto refused = handler->decode(kalu_actions::bytes_of(bad));
  ASSERT_FALSE(refused);
  EXPECT_EQ(refused.error().kind, kalu_actions::ActionError::Kind::InvalidPayload);
  EXPECT_EQ(refused.error().namespace_id, "custom.ns");
  EXPECT_EQ(refused.error().message, operations::read_record<SettingsAction>(bad).error());
}

TEST(SettingsActionHandler, AnUnreadablePayloadChangesNothing) {
  auto registry = std::make_shared<kalu_actions::ActionRegistry>();
  register_action_handler(*registry, kSettingsActionNamespace);
  kalu_ui::host::ActionHost host(registry);
  doc::Document document;
  for (std::string_view payload :
       {R"({"SetSetting":["appearance.theme"]})", R"("SetSetting")", R"({"Other":{}})", "{"}) {
    auto sent = host.dispatch(document, kSettingsActionNamespace, payload, std::nullopt);
    ASSERT_FALSE(sent) << payload;
    EXPECT_EQ(sent.error().kind, kalu_actions::ActionError::Kind::InvalidPayload) << payload;
    EXPECT_EQ(sent.error().namespace_id, "settings.action");
  }
  EXPECT_TRUE(document.keys(doc::kRoot).empty());
  EXPECT_FALSE(host.first_heads());
}

TEST(SettingsActionText, DebugTextInvocationAndContext) {
  const struct {
    SettingsAction action;
    const char* debug;
  } cases[] = {
      {SettingsAction::set_setting("a", true), R"(SetSetting { key: "a", value: Bool(true) })"},
      {set("a", SettingValue::Int{-3}), R"(SetSetting { key: "a", value: Int(-3) })"},
      {set("a", SettingValue::Float{1.0}), R"(SetSetting { key: "a", value: Float(1.0) })"},
      {set("a\"b", text("x\ny\\")), R"(SetSetting { key: "a\"b", value: Text("x\ny\\") })"},
  };
  for (const auto& c : cases) EXPECT_EQ(TypedSettingsAction(c.action).debug_text(), c.debug);

  const auto action = SettingsAction::set_setting("appearance.theme", std::string("Nord"));
  const auto invocation = settings_action_invocation(action);
  EXPECT_EQ(invocation.action_id, "settings.action");
  EXPECT_EQ(invocation.payload_text(),
            R"({"SetSetting":{"key":"appearance.theme","value":{"Text":"Nord"}}})");
  EXPECT_EQ(TypedSettingsAction(action).payload_json(), invocation.payload_text());

  kalu_actions::ActionContext expected;
  expected.label = "Set setting";
  expected.application = {"kalu.Settings", "Settings"};
  EXPECT_EQ(settings_action_context(kSettingsAppId, kSettingsAppTitle, action), expected);
}

// A bound dispatch whose record is the document as it stands.
class Recorder final : public kalu_ui::host::BoundDispatch {
 public:
  std::optional<kalu_ui::host::TypedActionRecord> typed_action_before(
      const doc::Document& document) override {
    return kalu_ui::host::TypedActionRecord{document.clone().get_heads()};
  }
  void report_typed_action(const kalu_ui::host::TypedActionRecord&,
                           const kalu_actions::TypedAction& action,
                           const kalu_actions::EncodedAction&,
                           const std::vector<doc::ChangeHash>& heads_after) override {
    reported.push_back(action.debug_text());
    last_heads_after = heads_after;
  }
  std::vector<std::string> reported;
  std::vector<doc::ChangeHash> last_heads_after;
};

TEST(SettingsActionDispatch, APaneDispatchKeepsTheFirstHeadsAndTheLastInvocation) {
  kalu_actions::ActionContext base;
  base.subject = {"settings.preference-pane", "settings.preference:appearance"};
  for (const auto& base_context :
       {std::optional<kalu_actions::ActionContext>{}, std::optional(base)}) {
    SCOPED_TRACE(base_context ? "with a base context" : "without a base context");
    auto recorder = std::make_shared<Recorder>();
    kalu_ui::host::ActionHost host(nullptr, base_context, recorder);
    doc::Document document;
    ASSERT_TRUE(document.put(doc::kRoot, "appearance.ui_scale", "100%"));
    kalu_ui::log::ScopedCapture capture;

    const auto heads_before = document.clone().get_heads();
    const auto theme = SettingsAction::set_setting("appearance.theme", "Dark");
    host.dispatch_with_context(document, kSettingsActionNamespace, TypedSettingsAction(theme),
                               settings_action_context(kSettingsAppId, kSettingsAppTitle, theme));
    const auto contrast = SettingsAction::set_setting("appearance.high_contrast", true);
    host.dispatch_with_context(document, kSettingsActionNamespace, TypedSettingsAction(contrast),
                               std::nullopt);

    EXPECT_EQ(document.read_str(doc::kRoot, "appearance.theme"), "Dark");
    EXPECT_EQ(document.read_bool(doc::kRoot, "appearance.high_contrast"), true);
    EXPECT_EQ(host.first_heads(), heads_before);
    EXPECT_EQ(host.last_invocation(), settings_action_invocation(contrast));
    EXPECT_THAT(recorder->reported,
                testing::ElementsAre(TypedSettingsAction(theme).debug_text(),
                                     TypedSettingsAction(contrast).debug_text()));
    EXPECT_EQ(recorder->last_heads_after, document.get_heads());

    // A refused action is logged, and neither kept nor reported.
    host.dispatch_with_context(
        document, kSettingsActionNamespace,
        TypedSettingsAction(SettingsAction::set_setting("appearance.theme", "")), std::nullopt);
    EXPECT_EQ(host.first_heads(), heads_before);
    EXPECT_EQ(host.last_invocation(), settings_action_invocation(contrast));
    EXPECT_EQ(recorder->reported.size(), 2u);
    const auto events = capture.events();
    ASSERT_EQ(events.size(), 1u);
    const auto& event = events[0];
    EXPECT_EQ(event.message, "action dispatch failed");
    EXPECT_EQ(*event.field("namespace"), "settings.action");
    EXPECT_EQ(*event.field("error"),
              "action settings.action failed: " + refusal("appearance.theme"));
  }
}

TEST(SettingsActionDispatch, ARefusedFirstDispatchKeepsNothing) {
  kalu_ui::host::ActionHost host(nullptr);
  doc::Document document;
  kalu_ui::log::ScopedCapture capture;
  host.dispatch_with_context(document, kSettingsActionNamespace,
                             TypedSettingsAction(SettingsAction::set_setting("no.such", true)),
                             std::nullopt);
  EXPECT_FALSE(host.first_heads());
  EXPECT_FALSE(host.last_invocation());
  EXPECT_TRUE(document.keys(doc::kRoot).empty());
  const auto events = capture.events();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(*events[0].field("namespace"), "settings.action");
}

}  // namespace
}  // namespace settings::actions
