#include "panes/device_mesh/continuity.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "actions/doc_readers.h"
#include "panes/device_mesh/model.h"
#include "prefs_store/paths.h"
#include "stored/tests/fleet_fixture.h"

namespace settings::panes::device_mesh {
namespace {

namespace fs = std::filesystem;
namespace doc = kalu_ui::doc;
using kalu_user_identity::PublicKey;
using kalu_user_identity::RevocationReason;
using stored::ContinuityCapability;
using stored::ContinuityPrivacy;
using stored::FleetDevice;
using stored::testing::FleetWorld;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

std::string read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

FleetDevice device(std::string label, bool this_device = false, bool revoked = false) {
  FleetDevice d;
  d.label = std::move(label);
  d.fingerprint = "0A 0B 0C 0D 0E 0F";
  d.this_device = this_device;
  d.revoked = revoked;
  return d;
}

TEST(ContinuityChangeTest, EveryCapabilityAndTheMasterSwitchAreRecorded) {
  ContinuityPrivacy continuity;
  ASSERT_TRUE(apply_continuity_change(continuity, "continuity.enabled", true, 100));
  const auto capabilities = continuity_capabilities();
  for (std::size_t i = 0; i < capabilities.size(); ++i) {
    const std::string service = "continuity." + std::string(capabilities[i].id);
    ASSERT_TRUE(apply_continuity_change(continuity, service, true, 101 + i)) << service;
    EXPECT_TRUE(continuity.capability(static_cast<ContinuityCapability>(i))) << service;
  }
  EXPECT_TRUE(continuity.enabled);
  EXPECT_EQ(continuity.audit.front(), (stored::AuditEntry{100, std::nullopt, true}));
  EXPECT_EQ(continuity.audit.back(),
            (stored::AuditEntry{109, ContinuityCapability::AppContinuations, true}));

  const ContinuityPrivacy before = continuity;
  for (const char* bad : {"continuity.", "continuity.Clipboard", "continuity.wifi-settings",
                          "continuity.clipboard.extra", "inbound_relay"}) {
    auto refused = apply_continuity_change(continuity, bad, false, 200);
    ASSERT_FALSE(refused) << bad;
    EXPECT_EQ(refused.error(), "unsupported Continuity capability");
  }
  EXPECT_EQ(continuity, before);
  EXPECT_TRUE(is_continuity_service("continuity.anything"));
  EXPECT_FALSE(is_continuity_service("compute"));
}

TEST(ContinuityChangeTest, TheTwentyFifthChangeDropsTheOldest) {
  ContinuityPrivacy continuity;
  for (std::uint64_t at = 1; at <= 25; ++at) {
    ASSERT_TRUE(apply_continuity_change(continuity, "continuity.media", at % 2 == 1, at));
  }
  ASSERT_EQ(continuity.audit.size(), 24u);
  EXPECT_EQ(continuity.audit.front().recorded_at_secs, 2u);
  EXPECT_EQ(continuity.audit.back().recorded_at_secs, 25u);
  EXPECT_TRUE(continuity.media);
  EXPECT_EQ(audit_entry_text(continuity.audit.back()), "Media allowed · local record 25");
  EXPECT_EQ(audit_entry_text({7, std::nullopt, false}), "All Continuity stopped · local record 7");
}

TEST(ContinuityTextTest, CaptionsTargetAndSource) {
  const auto& clipboard = continuity_capabilities()[0];
  const std::string described = std::string(clipboard.description);
  EXPECT_EQ(capability_caption(clipboard, true, false, "Laptop"),
            described + " Prepared, but stopped by the master switch.");
  EXPECT_EQ(capability_caption(clipboard, false, true, "Laptop"),
            described + " Off on this device.");

  // Only this device: no target, and a capability that is on says so.
  const std::vector<FleetDevice> alone{device("Desk", true)};
  const ContinuityTarget none = continuity_target(alone);
  EXPECT_FALSE(none.present);
  EXPECT_EQ(none.name, "No certified target");
  EXPECT_EQ(none.line, "Add another personal device to make it an eligible Continuity target.");
  EXPECT_EQ(capability_caption(clipboard, true, true, none.name),
            described + " Active for No certified target.");
  EXPECT_EQ(continuity_source_text(alone), "Desk · certified fingerprint 0A 0B 0C 0D 0E 0F");

  // The first device that is neither this one nor revoked is the target.
  const std::vector<FleetDevice> fleet{device("Old phone", false, true), device("Desk", true, true),
                                       device("Laptop"), device("Tablet")};
  const ContinuityTarget target = continuity_target(fleet);
  EXPECT_EQ(target.name, "Laptop");
  EXPECT_EQ(target.line,
            "Certified by your Kalu identity · fingerprint 0A 0B 0C 0D 0E 0F. Private keys and "
            "pairing credentials never appear here.");
  EXPECT_EQ(continuity_source_text(fleet),
            "This source is not yet present in the certified-device fleet.");
}

class ContinuitySave : public ::testing::Test {
 protected:
  ContinuitySave() : root_(make_temp()), config_(root_ / "config") {}
  ~ContinuitySave() override { fs::remove_all(root_); }
  static fs::path make_temp() {
    char tmpl[] = "/tmp/continuity_save.XXXXXX";
    return ::mkdtemp(tmpl);
  }
  fs::path settings() const { return root_ / "config/kalu/settings.json"; }

  fs::path root_;
  prefs_store::ScopedConfigDir config_;
};

TEST_F(ContinuitySave, MergesIntoTheSectionAndKeepsTheRestOfTheDocument) {
  fs::create_directories(settings().parent_path());
  std::ofstream(settings()) << R"({"version": 1, "display": {"scale": 1.5},
      "continuity": {"audit": [], "enabled": false}, "locale": [0]})";
  ContinuityModel model;
  model.continuity_error = "Continuity choices were not saved: earlier";
  ASSERT_TRUE(apply_continuity_change(model.continuity, "continuity.clipboard", true, 42));
  ASSERT_TRUE(save_continuity(model, std::nullopt));  // the settings store's own path
  EXPECT_EQ(model.continuity_error, std::nullopt);

  const auto document = nlohmann::ordered_json::parse(read_file(settings()));
  EXPECT_EQ(document["display"]["scale"], 1.5);
  EXPECT_EQ(document["locale"], nlohmann::ordered_json::parse("[0]"));
  EXPECT_EQ(document["continuity"]["clipboard"], true);
  EXPECT_EQ(document["continuity"]["audit"][0]["recorded_at_secs"], 42);
  // Read back as the pane reads it on its next construction.
  EXPECT_EQ(ContinuityModel::load(settings()).continuity, model.continuity);

  // An explicit path is written too.
  const fs::path other = root_ / "elsewhere/settings.json";
  ASSERT_TRUE(save_continuity(model, other));
  EXPECT_EQ(ContinuityPrivacy::load(other), model.continuity);
}

TEST_F(ContinuitySave, AFailedSaveAnswersItsErrorAndKeepsTheChange) {
  fs::create_directories(settings());  // a folder where the file should be
  ContinuityModel model;
  ASSERT_TRUE(apply_continuity_change(model.continuity, "continuity.enabled", true, 1));
  auto saved = save_continuity(model, settings());
  ASSERT_FALSE(saved);
  EXPECT_THAT(saved.error(), ::testing::StartsWith("Continuity choices were not saved: "));
  EXPECT_EQ(model.continuity_error, saved.error());
  EXPECT_TRUE(model.continuity.enabled);
  EXPECT_TRUE(fs::is_directory(settings()));

  prefs_store::ScopedConfigDir none{fs::path()};
  EXPECT_EQ(save_continuity(model, std::nullopt).error(),
            "Continuity choices were not saved: no config dir");
}

// This device, a laptop, a tablet revoked earlier and a home server,
// certified by the active identity; the pane's model and document.
class RevokeFlow : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(stored::fleet::write_fleet(
        world_.identity_dir(),
        world_.fleet(
            {world_.alice().certify(world_.this_device(), "Desk"),
             world_.alice().certify(laptop_, "Laptop"), world_.alice().certify(tablet_, "Tablet"),
             world_.alice().certify(phone_, "Phone")},
            {world_.alice().revoke(tablet_, 5, RevocationReason::Lost)})));
    model_.reload_devices();
    ASSERT_EQ(model_.devices.size(), 4u);
    seed_device_controls(document_, model_.devices);
  }

  void press(const PublicKey& key, const char* field) {
    ASSERT_TRUE(
        document_.put(doc::kRoot, personal_device_control_id(key, field), doc::Scalar(true)));
  }
  DeviceControlsOutcome sync() { return sync_device_controls(document_, model_, now_); }
  std::vector<stored::RevocationEntry> revocations() const {
    return stored::fleet::read_verified_fleet(world_.identity_dir(), "alice").value().revocations;
  }

  FleetWorld world_;
  PublicKey laptop_ = identity_testing::random_public_key();
  PublicKey tablet_ = identity_testing::random_public_key();
  PublicKey phone_ = identity_testing::random_public_key();
  ContinuityModel model_;
  doc::Document document_;
  std::chrono::system_clock::time_point now_{std::chrono::seconds(1'700'000'000)};
};

TEST_F(RevokeFlow, DecommissionCancelAndDecommissionAgainAsksAgain) {
  EXPECT_EQ(
      actions::read_doc_text(document_, doc::kRoot, personal_device_control_id(laptop_, "reason")),
      "Retired");
  EXPECT_FALSE(sync().rebuild);  // nothing pressed

  press(laptop_, "revoke");
  EXPECT_TRUE(sync().rebuild);
  EXPECT_THAT(model_.revoke_confirm, ElementsAre(laptop_));
  EXPECT_EQ(document_.read_bool(doc::kRoot, personal_device_control_id(laptop_, "revoke")), false);

  press(laptop_, "cancel");
  EXPECT_TRUE(sync().rebuild);
  EXPECT_TRUE(model_.revoke_confirm.empty());
  EXPECT_EQ(document_.read_bool(doc::kRoot, personal_device_control_id(laptop_, "cancel")), false);

  press(laptop_, "revoke");
  sync();
  EXPECT_THAT(model_.revoke_confirm, ElementsAre(laptop_));
  EXPECT_EQ(revocations().size(), 1u);  // asking writes nothing

  // This device and a revoked one never ask.
  press(world_.this_device(), "revoke");
  press(tablet_, "revoke");
  EXPECT_TRUE(sync().rebuild);
  EXPECT_THAT(model_.revoke_confirm, ElementsAre(laptop_));
}

TEST_F(RevokeFlow, RevokeAccessSignsTheChosenReason) {
  press(laptop_, "revoke");
  sync();
  press(laptop_, "revoke");  // "Revoke access", the reason left at "Retired"
  const DeviceControlsOutcome outcome = sync();
  EXPECT_TRUE(outcome.rebuild);
  EXPECT_EQ(outcome.status, "Laptop can no longer access your workspaces");
  EXPECT_TRUE(model_.revoke_confirm.empty());
  EXPECT_EQ(model_.device_list_error, std::nullopt);
  EXPECT_TRUE(model_.devices.at(1).revoked);

  EXPECT_EQ(fs::status(world_.fleet_file()).permissions() & fs::perms::all, fs::perms(0600));
  auto entries = revocations();  // read back verified
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[1].revoked_device_public_key, laptop_);
  EXPECT_EQ(entries[1].reason, RevocationReason::Retired);
  EXPECT_EQ(static_cast<int>(entries[1].reason), 2);
  EXPECT_EQ(entries[1].revoked_at_ns, 1'700'000'000'000'000'000u);

  // Another device with another reason.
  press(phone_, "revoke");
  sync();
  ASSERT_TRUE(document_.put(doc::kRoot, personal_device_control_id(phone_, "reason"), "Stolen"));
  press(phone_, "revoke");
  EXPECT_EQ(sync().status, "Phone can no longer access your workspaces");
  EXPECT_EQ(revocations().at(2).reason, RevocationReason::Stolen);
}

TEST_F(RevokeFlow, AnAlreadyRevokedDeviceWritesNothingAndSucceeds) {
  press(laptop_, "revoke");
  sync();
  // Another trusted device revoked the laptop meanwhile.
  auto fleet = stored::fleet::read_verified_fleet(world_.identity_dir(), "alice").value();
  fleet.revocations.push_back(world_.alice().revoke(laptop_, 9, RevocationReason::Lost));
  ASSERT_TRUE(stored::fleet::write_fleet(world_.identity_dir(), fleet));
  struct stat before {};
  ASSERT_EQ(::stat(world_.fleet_file().c_str(), &before), 0);
  const std::string text = read_file(world_.fleet_file());

  press(laptop_, "revoke");
  EXPECT_EQ(sync().status, "Laptop can no longer access your workspaces");
  struct stat after {};
  ASSERT_EQ(::stat(world_.fleet_file().c_str(), &after), 0);
  EXPECT_EQ(after.st_ino, before.st_ino);
  EXPECT_EQ(after.st_mtim.tv_sec, before.st_mtim.tv_sec);
  EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
  EXPECT_EQ(read_file(world_.fleet_file()), text);
  EXPECT_TRUE(model_.devices.at(1).revoked);
}

TEST_F(RevokeFlow, RevokingThisDeviceIsRefusedAndShown) {
  // A stale list can offer this device; the revocation itself refuses.
  model_.revoke_confirm.insert(world_.this_device());
  const std::string text = read_file(world_.fleet_file());
  press(world_.this_device(), "revoke");
  const DeviceControlsOutcome outcome = sync();
  EXPECT_TRUE(outcome.rebuild);
  EXPECT_EQ(outcome.status, std::nullopt);
  EXPECT_EQ(model_.device_list_error,
            "use another trusted device to revoke the device you are using");
  EXPECT_EQ(read_file(world_.fleet_file()), text);
  EXPECT_EQ(model_.devices.size(), 4u);  // the list stays
}

TEST_F(RevokeFlow, TheListReadsAsThePaneShowsIt) {
  EXPECT_TRUE(model_.devices[0].this_device);
  EXPECT_TRUE(model_.devices[2].revoked);
  // The fingerprint as the fleet reader gives it.
  EXPECT_EQ(model_.devices[1].fingerprint, stored::fleet::fingerprint(laptop_));

  // No fleet yet is no message; a broken one keeps its text.
  fs::remove(world_.fleet_file());
  model_.reload_devices();
  EXPECT_TRUE(model_.devices.empty());
  EXPECT_EQ(model_.device_list_error, std::nullopt);
  std::ofstream(world_.fleet_file()) << "{}";
  model_.reload_devices();
  EXPECT_THAT(model_.device_list_error.value_or(""), HasSubstr("missing field"));
}

}  // namespace
}  // namespace settings::panes::device_mesh
