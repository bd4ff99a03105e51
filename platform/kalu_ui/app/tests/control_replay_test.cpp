// The frame loop's control replay, headless: a flip of a bound toggle is
// carried out as its action on the root (an effect started and polled to its
// end, a setting dispatched into the document), a refused one is logged once
// and dropped, and a button's own click is not run again.

#include <gtest/gtest.h>

#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "kalu_actions/binding.h"
#include "kalu_actions/resource.h"
#include "kalu_ui/harness.h"
#include "kalu_ui/log.h"
#include "kalu_ui/widget/button.h"
#include "kalu_ui/widget/toggle.h"
#include "test_widgets.h"

namespace kalu_ui {
namespace {

using Fate = host::ReplayedControl::Fate;
using Json = nlohmann::json;
namespace w = widget;

constexpr std::string_view kPowerOperation = "test.power-operation";
constexpr std::string_view kNamespace = "test.ns";

// What the root's one effect operation is doing, shared with the test.
struct Owner {
  std::optional<ResourceOperationId> running;
  std::vector<std::string> payloads;
  // Set by the test: the running operation ends at the next sync, failing
  // with this message when it is not empty.
  bool finish = false;
  std::string failure;
  bool ended = false;
  bool available = true;
};

Json args_value(const kalu_actions::ActionArgs& args, const char* key) {
  return Json{{key, args.boolean("value").value_or(false)}};
}

kalu_actions::Resource section(const Owner& owner, std::string id = "test.section") {
  using kalu_actions::ActionParam;
  using kalu_actions::ActionSpec;
  using kalu_actions::EncodedAction;
  const std::vector<ActionParam> value = {
      ActionParam::make("value", "Value", kalu_actions::ParamKind::Boolean)};
  ActionSpec power = ActionSpec::typed(
      "power", "Power", "Switches the power.", kalu_actions::kOperationEffect,
      std::string(kPowerOperation), value, [](const kalu_actions::ActionArgs& args) {
        return EncodedAction::from_text(std::string(kPowerOperation),
                                        args_value(args, "enabled").dump());
      });
  power.available = owner.available;
  ActionSpec dark = ActionSpec::typed(
      "dark", "Dark style", "Uses the dark style.", kalu_actions::kOperationSetting, std::nullopt,
      value, [](const kalu_actions::ActionArgs& args) {
        return EncodedAction::from_text(std::string(kNamespace), args_value(args, "dark").dump());
      });
  return kalu_actions::Resource::create(std::move(id), "test.section", "Test")
      .with_action(std::move(power))
      .with_action(std::move(dark));
}

// A root that publishes the section and owns its effect, one at a time.
class OwnerRoot final : public app_test::Stack {
 public:
  explicit OwnerRoot(std::shared_ptr<Owner> owner) : owner_(std::move(owner)) {}

  std::vector<kalu_actions::Resource> resources(const doc::Document&) const override {
    return {section(*owner_)};
  }
  std::optional<kalu_actions::Resource> resource_by_id(const doc::Document& document,
                                                       std::string_view id) const override {
    auto tree = resources(document);
    if (const auto* hit = tree[0].find(id)) return *hit;
    return std::nullopt;
  }
  DeviceLocalOutcome start_resource_operation_with_document(
      const ResourceOperationId& id, OperationKind kind, std::string_view action_id,
      Payload payload, ResourceOperationContext& context) override {
    if (action_id != kPowerOperation || kind != kalu_actions::kOperationEffect) {
      return Widget::start_resource_operation(id, kind, action_id, payload, context);
    }
    if (owner_->running) return DeviceLocalOutcome::rejected("another operation is still running");
    owner_->running = id;
    owner_->ended = false;
    owner_->payloads.emplace_back(payload.begin(), payload.end());
    return DeviceLocalOutcome::accepted();
  }
  void sync(doc::Document& document) override {
    Stack::sync(document);
    if (owner_->running && owner_->finish) owner_->ended = true;
  }
  std::optional<ResourceOperationStatus> poll_resource_operation(
      const ResourceOperationId& id, bool cancel, ResourceOperationContext&) override {
    if (!owner_->running || *owner_->running != id) return std::nullopt;
    if (cancel) {
      owner_->running.reset();
      return ResourceOperationStatus{ResourceOperationStatus::Cancelled{"cancelled", id}};
    }
    if (!owner_->ended) return std::nullopt;
    owner_->running.reset();
    owner_->finish = false;
    if (!owner_->failure.empty()) {
      return ResourceOperationStatus{
          ResourceOperationStatus::Failed{"test_failed", owner_->failure, std::nullopt, false, id}};
    }
    return ResourceOperationStatus{ResourceOperationStatus::Succeeded{{"done", std::nullopt}, id}};
  }

 private:
  std::shared_ptr<Owner> owner_;
};

// The "test.ns" namespace: {"dark": v} puts v under "test.dark".
class DarkHandler final : public kalu_actions::NamespaceHandler {
 public:
  kalu_actions::ActionResult<std::unique_ptr<kalu_actions::TypedAction>> decode(
      std::span<const std::uint8_t> payload) const override {
    const Json read = Json::parse(payload.begin(), payload.end(), nullptr, false);
    if (!read.is_object() || !read.contains("dark")) {
      return std::unexpected(
          kalu_actions::ActionError::invalid_payload(std::string(kNamespace), "not a dark style"));
    }
    struct SetDark final : kalu_actions::TypedAction {
      bool dark = false;
      std::string debug_text() const override { return "SetDark"; }
      Status apply(doc::Document& document) const override {
        return document.put(doc::kRoot, "test.dark", doc::Scalar(dark));
      }
    };
    auto action = std::make_unique<SetDark>();
    action->dark = read["dark"].get<bool>();
    return action;
  }
};

kalu_actions::ActionBinding bind(const kalu_actions::Resource& resource, std::string_view action) {
  return *kalu_actions::ActionBinding::for_action(
      resource, action, [](const kalu_actions::ControlValue& value) {
        return kalu_actions::ActionArgs().with("value", std::get<bool>(value));
      });
}

struct RigSetup {
  bool registry = true;
  // The toggles are bound to actions of a resource of this id.
  std::string bound_resource = "test.section";
};

// The root with two toggles bound to "power" and "dark" and a button that
// counts its clicks, in the harness.
struct Rig {
  explicit Rig(RigSetup setup = {})
      : owner(std::make_shared<Owner>()), harness(make(setup), options(setup)) {
    harness.frame();
  }

  WidgetBox make(const RigSetup& setup) {
    auto root = std::make_unique<OwnerRoot>(owner);
    const kalu_actions::Resource bound = section(*owner, setup.bound_resource);
    root->push(w::boxed(
        w::Toggle("Power", "test.power").with_id("power").on_action(bind(bound, "power"))));
    root->push(
        w::boxed(w::Toggle("Dark", "test.dark").with_id("dark").on_action(bind(bound, "dark"))));
    root->push(
        w::boxed(w::Button("Press").with_id("press").on_click([clicks = clicks] { ++*clicks; })));
    return root;
  }
  static harness::Options options(const RigSetup& setup) {
    harness::Options options;
    if (setup.registry) {
      auto registry = std::make_shared<kalu_actions::ActionRegistry>();
      registry->insert(std::string(kNamespace), std::make_shared<DarkHandler>());
      options.action_registry = std::move(registry);
    }
    return options;
  }
  host::ControlReplay& replay() { return harness.driver().control_replay(); }

  std::shared_ptr<Owner> owner;
  std::shared_ptr<int> clicks = std::make_shared<int>(0);
  harness::Harness harness;
};

TEST(ControlReplay, AFlipStartsTheBoundEffectWhichIsPolledUntilItEnds) {
  struct Case {
    const char* name;
    std::string failure;
  };
  for (const Case& c : {Case{"succeeds", ""}, Case{"fails", "the adapter did not answer"}}) {
    SCOPED_TRACE(c.name);
    Rig rig;
    log::ScopedCapture capture;
    ASSERT_TRUE(rig.harness.click_id("power"));
    ASSERT_EQ(rig.owner->payloads, std::vector<std::string>{R"({"enabled":true})"});
    ASSERT_TRUE(rig.owner->running);
    const auto replayed = rig.harness.take_replayed();
    ASSERT_EQ(replayed.size(), 1u);
    EXPECT_EQ(replayed[0].fate, Fate::Started);
    EXPECT_EQ(replayed[0].invocation.resource_id, "test.section");

    // Polled on the frames while it runs, without anyone asking.
    const Instant now = Instant::now();
    const auto due = rig.harness.driver().next_deadline(now);
    ASSERT_TRUE(due);
    EXPECT_LE(*due, now + frame::kReplayPollInterval);
    rig.harness.frames(2);
    EXPECT_TRUE(rig.owner->running);
    EXPECT_EQ(rig.replay().in_flight(), 1u);

    rig.owner->failure = c.failure;
    rig.owner->finish = true;
    rig.harness.frame();
    EXPECT_FALSE(rig.owner->running) << "the owner is freed at the frame it ends";
    EXPECT_EQ(rig.replay().in_flight(), 0u);
    const auto events = capture.events();
    if (c.failure.empty()) {
      EXPECT_TRUE(events.empty());
    } else {
      ASSERT_EQ(events.size(), 1u);
      EXPECT_EQ(events[0].target, "kalu::ui");
      EXPECT_EQ(events[0].message, "control action failed");
      EXPECT_EQ(*events[0].field("error"), c.failure);
      EXPECT_EQ(*events[0].field("resource"), "test.section");
      EXPECT_EQ(*events[0].field("action"), "power");
      for (const auto& field : events[0].fields) {
        EXPECT_EQ(field.value.find("enabled"), std::string::npos) << "no payload in " << field.name;
      }
    }

    // The owner takes the next flip.
    ASSERT_TRUE(rig.harness.click_id("power"));
    EXPECT_EQ(rig.owner->payloads.back(), R"({"enabled":false})");
  }
}

// The newest intent of a control wins and nothing runs twice: flips within
// one frame leave only the last; a flip made while the switch's operation
// runs waits for it, without a busy owner refusing it; a flip back to what
// runs joins the running operation, and replaces the one that waited.
TEST(ControlReplay, TheNewestFlipWinsWaitsForTheRunningOneOrJoinsIt) {
  Rig rig;
  log::ScopedCapture capture;
  auto* toggle = dynamic_cast<w::Toggle*>(rig.harness.find("power"));
  ASSERT_NE(toggle, nullptr);
  toggle->flip();
  toggle->flip();
  toggle->flip();
  rig.harness.frame();
  EXPECT_EQ(rig.owner->payloads, std::vector<std::string>{R"({"enabled":true})"});

  toggle->flip();  // off: waits for "on" to end
  rig.harness.frame();
  EXPECT_EQ(rig.replay().deferred(), 1u);
  toggle->flip();  // on again: what runs already
  rig.harness.frame();
  EXPECT_EQ(rig.replay().deferred(), 0u);
  rig.owner->finish = true;
  rig.harness.frames(2);
  EXPECT_EQ(rig.owner->payloads, std::vector<std::string>{R"({"enabled":true})"});
  EXPECT_EQ(rig.replay().in_flight(), 0u);

  toggle->flip();  // off
  rig.harness.frame();
  toggle->flip();  // on: waits
  rig.harness.frame();
  toggle->flip();  // off: joins
  rig.harness.frame();
  toggle->flip();  // on: waits again
  rig.harness.frame();
  EXPECT_EQ(rig.owner->payloads.size(), 2u);
  EXPECT_EQ(rig.replay().deferred(), 1u);
  rig.owner->finish = true;
  rig.harness.frame();
  EXPECT_EQ(rig.owner->payloads,
            (std::vector<std::string>{R"({"enabled":true})", R"({"enabled":false})",
                                      R"({"enabled":true})"}));
  EXPECT_EQ(rig.replay().deferred(), 0u);
  EXPECT_EQ(rig.replay().in_flight(), 1u);

  std::vector<Fate> fates;
  for (const auto& replayed : rig.harness.take_replayed()) fates.push_back(replayed.fate);
  EXPECT_EQ(fates, (std::vector<Fate>{Fate::Superseded, Fate::Superseded, Fate::Started,
                                      Fate::Superseded, Fate::Joined, Fate::Started,
                                      Fate::Superseded, Fate::Joined, Fate::Started}));
  EXPECT_TRUE(capture.events().empty());
}

// An operation that never ends is given up after a while: polled once with
// the cancel flag, which frees its owner, and logged.
TEST(ControlReplay, AnOperationThatNeverEndsIsGivenUp) {
  Rig rig;
  host::ReplayOptions options;
  options.give_up_after = std::chrono::seconds(30);
  host::ControlReplay replay(nullptr, options);
  dynamic_cast<w::Toggle*>(rig.harness.find("power"))->flip();
  const Instant start = Instant::now();
  doc::Document& document = rig.harness.document();
  replay.run(rig.harness.root(), document, start);
  ASSERT_TRUE(rig.owner->running);
  replay.run(rig.harness.root(), document, start + std::chrono::seconds(29));
  EXPECT_TRUE(rig.owner->running);
  log::ScopedCapture capture;
  replay.run(rig.harness.root(), document, start + std::chrono::seconds(30));
  EXPECT_FALSE(rig.owner->running);
  EXPECT_EQ(replay.in_flight(), 0u);
  const auto events = capture.events();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].message, "control action given up");
  EXPECT_EQ(*events[0].field("action"), "power");
}

TEST(ControlReplay, ASettingLandsInTheDocument) {
  Rig rig;
  log::ScopedCapture capture;
  ASSERT_TRUE(rig.harness.click_id("dark"));
  EXPECT_EQ(rig.harness.document().read_bool(doc::kRoot, "test.dark"), true);
  const auto replayed = rig.harness.take_replayed();
  ASSERT_EQ(replayed.size(), 1u);
  EXPECT_EQ(replayed[0].fate, Fate::Completed);
  // The tree syncs what the action changed at once.
  const Instant now = Instant::now();
  EXPECT_EQ(rig.harness.driver().next_deadline(now), now);
  EXPECT_TRUE(rig.owner->payloads.empty());
  EXPECT_TRUE(capture.events().empty());
}

TEST(ControlReplay, ARefusedInvocationIsLoggedOnceAndDropped) {
  struct Case {
    const char* name;
    RigSetup setup;
    const char* control;
    std::function<void(Owner&)> before;
    std::string error;
  };
  const Case cases[] = {
      {"unknown resource",
       {true, "test.elsewhere"},
       "power",
       nullptr,
       "unknown resource test.elsewhere"},
      {"action no longer available",
       {},
       "power",
       [](Owner& o) { o.available = false; },
       "action power is not available"},
      {"busy owner",
       {},
       "power",
       [](Owner& o) { o.running = ResourceOperationId{}; },
       "another operation is still running"},
      {"setting without its namespace",
       {false, "test.section"},
       "dark",
       nullptr,
       "no handler for test.ns"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Rig rig(c.setup);
    const std::size_t started = rig.owner->payloads.size();
    if (c.before) c.before(*rig.owner);
    log::ScopedCapture capture;
    ASSERT_TRUE(rig.harness.click_id(c.control));
    rig.harness.frames(3);
    const auto events = capture.events();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].target, "kalu::ui");
    EXPECT_EQ(events[0].message, "control invocation refused");
    EXPECT_EQ(*events[0].field("error"), c.error);
    EXPECT_EQ(*events[0].field("action"), c.control);
    EXPECT_EQ(rig.owner->payloads.size(), started);
    EXPECT_EQ(rig.replay().in_flight(), 0u);
    const auto replayed = rig.harness.take_replayed();
    ASSERT_EQ(replayed.size(), 1u);
    EXPECT_EQ(replayed[0].fate, Fate::Refused);
    EXPECT_EQ(replayed[0].message, c.error);
    EXPECT_FALSE(rig.harness.root().take_control_invocation());
  }
}

TEST(ControlReplay, AButtonsOwnClickIsReportedAndNotRunAgain) {
  Rig rig;
  log::ScopedCapture capture;
  ASSERT_TRUE(rig.harness.click_id("press"));
  rig.harness.frames(2);
  EXPECT_EQ(*rig.clicks, 1);
  const auto replayed = rig.harness.take_replayed();
  ASSERT_EQ(replayed.size(), 1u);
  EXPECT_EQ(replayed[0].fate, Fate::Reported);
  EXPECT_EQ(replayed[0].invocation.resource_id, "kalu.control:press");
  EXPECT_TRUE(rig.owner->payloads.empty());
  EXPECT_TRUE(capture.events().empty());
}

}  // namespace
}  // namespace kalu_ui
