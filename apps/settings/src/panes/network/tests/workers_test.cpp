// The workers' jobs against a scripted broker, dispatcher and device: what
// each asks, what it answers, and that no password outlives its job.

#include "panes/network/workers.h"

#include <gtest/gtest.h>

#include "fakes.h"

namespace settings::panes::network {
namespace {

using testing::FakeBackend;
using testing::FakeContinuity;
using testing::FakeDispatcher;
using Reply = FakeContinuity::Reply;

struct Road {
  std::shared_ptr<FakeDispatcher> dispatcher = std::make_shared<FakeDispatcher>();
  std::shared_ptr<FakeContinuity> continuity = std::make_shared<FakeContinuity>();

  JobResult run(std::uint8_t mode_byte, std::optional<std::string> password, bool lookup) {
    WifiConnectJob job{
        "Harbour",  password ? std::optional(SecretText::copy_of(*password)) : std::nullopt,
        mode_byte,  lookup,
        dispatcher, continuity};
    JobResult result = run_wifi_connect(job);
    // The worker's copy of the password is gone once it answers.
    if (job.password) {
      EXPECT_TRUE(job.password->empty());
    }
    return result;
  }
};

std::string describe(const JobResult& result) {
  struct Visit {
    std::string operator()(const job::Failed& r) const { return "failed: " + r.error; }
    std::string operator()(const job::Connected& r) const {
      return "connected" + (r.note ? ": " + *r.note : std::string());
    }
    std::string operator()(const job::PasswordNeeded& r) const {
      return "password needed" + (r.reason ? ": " + *r.reason : std::string());
    }
    std::string operator()(const job::Sealed& r) const { return "sealed: " + r.network; }
    std::string operator()(const job::Done& r) const { return "done: " + r.text; }
  };
  return std::visit(Visit{}, result);
}

TEST(NetworkWorkersTest, ModeBytesOneAndTwoAreTheTwoShareModes) {
  EXPECT_EQ(continuity_mode(1), 0);
  EXPECT_EQ(continuity_mode(2), 1);
  for (std::uint8_t other : {0, 3, 255}) EXPECT_EQ(continuity_mode(other), std::nullopt);
}

TEST(NetworkWorkersTest, ConnectWithLookupAnswersByTheBrokersReply) {
  struct Case {
    Reply reply;
    std::string expected;
  };
  const Case cases[] = {
      {Reply::Found, "connected: Used the sealed password from your certified devices."},
      {Reply::NotFound, "password needed"},
      {Reply::Failed, "password needed: broker says no"},
      {Reply::Unavailable, "password needed: broker says no"},
      {Reply::Sealed,
       "password needed: the Wi-Fi continuity service returned an invalid lookup reply"},
  };
  for (const auto& c : cases) {
    Road road;
    road.continuity->lookup = c.reply;
    EXPECT_EQ(describe(road.run(2, std::nullopt, true)), c.expected);
    ASSERT_EQ(road.continuity->seen.size(), 1u);
    EXPECT_EQ(road.continuity->seen[0].kind, "lookup");
    EXPECT_EQ(road.continuity->seen[0].mode, 1);
    // Only a found password joins.
    EXPECT_EQ(road.dispatcher->connects.size(), c.reply == Reply::Found ? 1u : 0u);
  }
  Road found;
  found.continuity->lookup = Reply::Found;
  found.run(1, std::nullopt, true);
  EXPECT_EQ(found.continuity->seen[0].mode, 0);
  EXPECT_EQ(found.dispatcher->connects[0].password, "sealed-secret-1");
  found.dispatcher->result = kalu_ui::fail("association timed out");
  EXPECT_EQ(describe(found.run(1, std::nullopt, true)), "failed: association timed out");
}

TEST(NetworkWorkersTest, WithoutAUsableModeTheBrokerIsNeverAsked) {
  Road road;
  EXPECT_EQ(describe(road.run(0, std::nullopt, true)), "password needed");
  // An open network: no password, no lookup, no sharing.
  EXPECT_EQ(describe(road.run(1, std::nullopt, false)), "connected");
  // A typed password on a network without a share mode joins but is not shared.
  EXPECT_EQ(describe(road.run(0, "tide-and-rope", false)), "connected");
  EXPECT_TRUE(road.continuity->seen.empty());
  ASSERT_EQ(road.dispatcher->connects.size(), 2u);
  EXPECT_EQ(road.dispatcher->connects[0].password, std::nullopt);
  EXPECT_EQ(road.dispatcher->connects[1].password, "tide-and-rope");
}

TEST(NetworkWorkersTest, ATypedPasswordIsSealedAfterTheJoin) {
  struct Case {
    Reply reply;
    std::string expected;
  };
  const Case cases[] = {
      {Reply::Sealed, "connected: Password sealed for your certified devices."},
      {Reply::Failed, "connected: Password could not be shared: broker says no"},
      {Reply::Unavailable, "connected: Password could not be shared: broker says no"},
      {Reply::Found,
       "connected: Password could not be shared: the continuity service returned an invalid "
       "reply."},
      {Reply::NotFound,
       "connected: Password could not be shared: the continuity service returned an invalid "
       "reply."},
  };
  for (const auto& c : cases) {
    Road road;
    road.continuity->seal = c.reply;
    EXPECT_EQ(describe(road.run(1, "tide-and-rope", false)), c.expected);
    ASSERT_EQ(road.continuity->seen.size(), 1u);
    EXPECT_EQ(road.continuity->seen[0].kind, "seal");
    EXPECT_EQ(road.continuity->seen[0].passphrase, "tide-and-rope");
  }
  // A join that fails shares nothing.
  Road refused;
  refused.dispatcher->result = kalu_ui::fail("wrong password");
  EXPECT_EQ(describe(refused.run(1, "tide-and-rope", false)), "failed: wrong password");
  EXPECT_TRUE(refused.continuity->seen.empty());
}

TEST(NetworkWorkersTest, ProfileShareAnswersSealedOrAFailure) {
  const std::pair<Reply, std::string> cases[] = {
      {Reply::Sealed, "sealed: Lindenhof"},
      {Reply::Failed, "failed: broker says no"},
      {Reply::Unavailable, "failed: broker says no"},
      {Reply::Found, "failed: the Wi-Fi continuity service returned an invalid profile reply"},
      {Reply::NotFound, "failed: the Wi-Fi continuity service returned an invalid profile reply"},
  };
  for (const auto& [reply, expected] : cases) {
    FakeContinuity continuity;
    continuity.profile = reply;
    EXPECT_EQ(describe(run_profile_share("wifi-1111-aaaa", continuity)), expected);
    EXPECT_EQ(continuity.seen.at(0).subject, "wifi-1111-aaaa");
  }
}

// The outcomes the started workers send, collected from the channel.
struct Outcomes {
  Outcomes() : pair(kalu_ui::channel::queue<NetworkJobOutcome>()) {}
  std::pair<OutcomeSender, OutcomeReceiver> pair;
  std::vector<std::pair<std::string, std::string>> take() {
    std::vector<std::pair<std::string, std::string>> out;
    for (auto got = pair.second.try_recv(); got.is_ready(); got = pair.second.try_recv()) {
      out.emplace_back(got.value().job.name(), describe(got.value().result));
    }
    return out;
  }
};

TEST(NetworkWorkersTest, FixedJobsReportUnderTheirNames) {
  auto backend = std::make_shared<FakeBackend>();
  const ThreadStarter threads = testing::inline_threads();
  Outcomes outcomes;
  start_mobile_profile_worker(threads, "Carrier", "internet.example", backend, outcomes.pair.first);
  start_sim_unlock_worker(threads, std::string("/sim/0"), SecretText::copy_of("2468"), backend,
                          outcomes.pair.first);
  start_sim_unlock_worker(threads, std::nullopt, SecretText::copy_of("2468"), backend,
                          outcomes.pair.first);
  start_enterprise_worker(threads, EnterpriseJob{{}, SecretText::copy_of("corp-pass")}, backend,
                          outcomes.pair.first);
  backend->job_status = kalu_ui::fail("modem busy");
  start_sim_unlock_worker(threads, std::string("/sim/0"), SecretText::copy_of("2468"), backend,
                          outcomes.pair.first);
  EXPECT_EQ(outcomes.take(), (std::vector<std::pair<std::string, std::string>>{
                                 {"mobile profile", "done: Mobile profile created."},
                                 {"SIM", "done: SIM unlocked."},
                                 {"SIM", "failed: No SIM is available"},
                                 {"enterprise Wi-Fi", "done: Enterprise Wi-Fi connected."},
                                 {"SIM", "failed: modem busy"}}));
  // Without a SIM the modem was never asked.
  EXPECT_EQ(backend->sim_unlocks.load(), 2);
}

TEST(NetworkWorkersTest, AThreadThatCannotStartEndsItsJobAsFailed) {
  auto backend = std::make_shared<FakeBackend>();
  Outcomes outcomes;
  start_mobile_profile_worker(testing::no_threads(), "Carrier", "apn", backend,
                              outcomes.pair.first);
  EXPECT_EQ(outcomes.take(),
            (std::vector<std::pair<std::string, std::string>>{
                {"mobile profile",
                 "failed: the worker thread could not be started: Resource temporarily "
                 "unavailable"}}));
  auto [answer, receiver] = kalu_ui::channel::oneshot<ChooserAnswer>();
  start_certificate_chooser(testing::no_threads(), backend, std::move(answer));
  auto got = receiver.try_recv();
  ASSERT_TRUE(got.is_ready());
  EXPECT_TRUE(std::holds_alternative<chooser::Error>(got.value()));
  EXPECT_EQ(backend->choosers.load(), 0);
}

TEST(NetworkWorkersTest, RealThreadsReportWithoutBeingJoined) {
  Road road;
  Outcomes outcomes;
  start_wifi_connect_worker(
      detached_threads(),
      WifiConnectJob{"Harbour", std::nullopt, 0, false, road.dispatcher, road.continuity},
      outcomes.pair.first);
  auto got = outcomes.pair.second.recv_until(kalu_ui::Instant::now() + std::chrono::seconds(5));
  ASSERT_TRUE(got.is_ready());
  EXPECT_EQ(got.value().job.name(), "Harbour");
  EXPECT_EQ(describe(got.value().result), "connected");
}

}  // namespace
}  // namespace settings::panes::network
