#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "account_probe/account_probe.h"
#include "account_probe/config.h"
#include "kalu_net/testing/pki.h"
#include "kalu_ui/log.h"

namespace settings::account_probe {

inline constexpr std::string_view kCredential = "s3cret-Pa55";

// Trusts the test authority and runs each probe with the log captured, so
// that every case can check that the credential went nowhere it should not.
class ProbeTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { kalu_net::testing::trust_test_ca(); }

  kalu_ui::Result<std::string> probe(std::string_view type_id, const Json& config,
                                     std::string_view credential = kCredential,
                                     const ProbeLimits& limits = short_limits()) {
    account_book::Account account;
    account.id = "probe-test";
    account.type_id = account_book::AccountTypeId::from(type_id);
    account.config = config;
    auto answer = probe_account(account, credential, limits);
    std::string text = answer ? *answer : answer.error();
    EXPECT_EQ(text.find(kCredential), std::string::npos) << text;
    for (const auto& event : capture_.events()) {
      EXPECT_EQ(event.message.find(kCredential), std::string::npos);
      for (const auto& field : event.fields)
        EXPECT_EQ(field.value.find(kCredential), std::string::npos);
    }
    return answer;
  }

  // Bounds against a hung case, far beyond what a loaded machine running the
  // sanitizer build needs; the cases that time out on purpose set their own.
  static ProbeLimits short_limits() {
    using namespace std::chrono_literals;
    return ProbeLimits{30s, 30s, 30s, 30s, 30s};
  }

  static std::string outcome(const kalu_ui::Result<std::string>& answer) {
    return answer ? "ok: " + *answer : "error: " + answer.error();
  }

 private:
  kalu_ui::log::ScopedCapture capture_;
};

}  // namespace settings::account_probe
