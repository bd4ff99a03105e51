// The SIM PIN and the enterprise password typed into the page reach the
// modem and the enterprise join and nothing else: not the state document,
// the log, accessibility, text review, the widgets' state or the resource
// tree; their buffers are empty once handed on.

#include <gtest/gtest.h>

#include "kalu_ui/log.h"
#include "pane_fixture.h"
#include "panes/network/network_pane.h"

namespace settings::panes::network {
namespace {

using testing::Fakes;
using testing::PaneFixture;

constexpr const char* kPin = "4921-pin-7730";
constexpr const char* kEnterprise = "corp-vault-secret-55";

std::string logged(const std::vector<kalu_ui::log::Event>& events) {
  std::string out;
  for (const auto& event : events) {
    out += event.message + "\n";
    for (const auto& field : event.fields) out += field.name + "=" + field.value + "\n";
  }
  return out;
}

TEST(NetworkSecretsTest, PinAndEnterprisePasswordGoOnlyWhereTheyAreSent) {
  for (bool hosted : {false, true}) {
    SCOPED_TRACE(hosted ? "hosted" : "alone");
    kalu_ui::log::ScopedCapture capture;
    Fakes fakes;
    // Both workers fail, so their outcomes are logged too.
    fakes.backend->job_status = kalu_ui::fail("modem busy");
    PaneFixture t(std::move(fakes), hosted);
    t.harness.frame();
    ASSERT_TRUE(t.harness.click_id("settings.network.enterprise.editor"));
    t.harness.frames(2);

    ASSERT_TRUE(t.harness.click_id("network.mobile.pin"));
    t.harness.type_text(kPin);
    ASSERT_TRUE(t.harness.click_id("network.enterprise.password"));
    t.harness.type_text(kEnterprise);
    ASSERT_EQ(t.pane->secrets().find_field(kMobilePinSecret)->lock().view(), kPin);
    ASSERT_EQ(t.pane->secrets().find_field(kEnterprisePasswordSecret)->lock().view(), kEnterprise);

    ASSERT_TRUE(t.harness.click_id("settings.network.mobile.unlock"));
    t.harness.frames(2);
    EXPECT_EQ(t.pane->view().status, "Could not configure SIM: modem busy");
    ASSERT_TRUE(t.harness.click_id("settings.network.enterprise.connect"));
    t.harness.frames(2);

    // Both were sent, once each.
    EXPECT_EQ(t.fakes.backend->sim_unlocks, 1);
    EXPECT_EQ(t.fakes.backend->last_pin, kPin);
    EXPECT_EQ(t.fakes.backend->last_enterprise_password, kEnterprise);
    EXPECT_EQ(t.pane->view().status, "Could not configure enterprise Wi-Fi: modem busy");

    EXPECT_TRUE(t.pane->secrets().find_field(kMobilePinSecret)->empty());
    EXPECT_TRUE(t.pane->secrets().find_field(kEnterprisePasswordSecret)->empty());
    EXPECT_TRUE(t.pane->secrets().all_empty());
    const std::string everywhere = testing::document_dump(t.harness.document()) +
                                   testing::document_dump(t.pane->link().own_document()) +
                                   logged(capture.events()) +
                                   testing::outward_texts(t.harness.root(), t.document());
    ASSERT_FALSE(capture.events().empty());
    EXPECT_EQ(everywhere.find(kPin), std::string::npos);
    EXPECT_EQ(everywhere.find(kEnterprise), std::string::npos);
  }
}

}  // namespace
}  // namespace settings::panes::network
