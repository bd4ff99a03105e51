#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "limited_exec/fake_programs.h"
#include "limited_exec/programs.h"
#include "panes/privacy/model.h"

namespace settings::panes::privacy {
namespace {

namespace fs = std::filesystem;

const bool kProbesTestMode = (limited_exec::enter_test_mode(), true);

TEST(PrivacyTexts, StatesMuteAndUses) {
  EXPECT_EQ(privacy_state_text(0, true), "Present \u00b7 no kill switch reported");
  EXPECT_EQ(privacy_state_text(0, false), "Not available");
  EXPECT_EQ(privacy_state_text(1, false), "Available");
  EXPECT_EQ(privacy_state_text(2, true), "Blocked by software");
  EXPECT_EQ(privacy_state_text(3, true), "Blocked by hardware");
  EXPECT_EQ(microphone_mute_text(0), "Listening allowed");
  EXPECT_EQ(microphone_mute_text(1), "Muted");
  EXPECT_EQ(microphone_mute_text(2), "Unavailable");
  EXPECT_EQ(active_use_text(0), "Using microphone");
  EXPECT_EQ(active_use_text(1), "Using camera");
}

TEST(ProbeCommand, TheTrimmedOutputOfASuccessOnly) {
  limited_exec::FakePrograms fakes;
  fakes.add("nft", R"(printf '  table inet x \377 \n\n')");
  fakes.add("firewall-cmd", "echo running; exit 252");
  fakes.add_missing("lsblk");
  EXPECT_EQ(probe_command("nft", {}), "table inet x \ufffd");
  EXPECT_EQ(probe_command("firewall-cmd", {}), std::nullopt);
  EXPECT_EQ(probe_command("lsblk", {}), std::nullopt);
  EXPECT_EQ(probe_command("findmnt", {}), std::nullopt);  // not in the table
}

// findmnt answers by its target ($3); lsblk ($5 is the device) answers only
// for the device the case expects, so a wrongly mended source shows.
struct DiskCase {
  const char* name;
  const char* findmnt;
  const char* lsblk;
  const char* state;
};

TEST(DiskEncryption, TheRootDeviceAndItsLayers) {
  const DiskCase cases[] = {
      {"crypt among disk and partition lines",
       R"(case "$3" in /) echo /dev/mapper/root;; *) exit 1;; esac)",
       R"([ "$5" = /dev/mapper/root ] || exit 32; printf 'disk\npart\n crypt \n')", "Encrypted"},
      {"a subvolume is probed as its device",
       R"(case "$3" in /) echo '/dev/sda2[/root]';; *) exit 1;; esac)",
       R"([ "$5" = /dev/sda2 ] || exit 32; printf 'part\ndisk\n')", "Not encrypted"},
      {"an image root asks /sysroot",
       R"(case "$3" in /) echo overlay;; /sysroot) echo /dev/vda3;; *) exit 1;; esac)",
       R"([ "$5" = /dev/vda3 ] || exit 32; printf 'crypt\npart\ndisk\n')", "Encrypted"},
      {"then /var",
       R"(case "$3" in /) echo composefs;; /sysroot) exit 1;; /var) echo '/dev/nvme0n1p3[/var]';; esac)",
       R"([ "$5" = /dev/nvme0n1p3 ] || exit 32; echo part)", "Not encrypted"},
      {"no block device anywhere", R"(case "$3" in /) echo overlay;; *) echo tmpfs;; esac)",
       "echo crypt", "Unavailable"},
      {"findmnt gives nothing", "exit 1", "echo crypt", "Unavailable"},
      {"lsblk gives nothing", R"(echo /dev/sda1)", "echo crypt; exit 1", "Unavailable"},
      {"crypt only as part of a word", R"(echo /dev/sda1)", "printf 'cryptic\npart\n'",
       "Not encrypted"},
  };
  for (const DiskCase& c : cases) {
    SCOPED_TRACE(c.name);
    limited_exec::FakePrograms fakes;
    fakes.add("findmnt", R"([ "$1 $2" = "-no SOURCE" ] || exit 2
)" + std::string(c.findmnt));
    fakes.add("lsblk", R"([ "$1 $2 $3 $4" = "-s -n -o TYPE" ] || exit 2
)" + std::string(c.lsblk));
    EXPECT_EQ(disk_encryption_state(), c.state);
  }
}

TEST(Firewall, FirewalldThenNftables) {
  struct Case {
    const char* firewall_cmd;
    const char* nft;
    const char* state;
  };
  const Case cases[] = {
      {"[ \"$1\" = --state ] && echo running", "echo table", "Active \u00b7 firewalld"},
      {"echo 'not running'; exit 252", "", "Not active"},
      {"echo 'not running'", "printf '\\n  \\n'", "Not active"},
      {"echo running; exit 1",
       "[ \"$1 $2\" = 'list ruleset' ] && printf 'table inet filter {\\n}\\n'",
       "Active \u00b7 nftables"},
      {"echo Running", "exit 1", "Not active"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.firewall_cmd);
    limited_exec::FakePrograms fakes;
    fakes.add("firewall-cmd", c.firewall_cmd);
    fakes.add("nft", c.nft);
    EXPECT_EQ(firewall_state(), c.state);
  }
}

class SecureBoot : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("kalu-efivars-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
            "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  void put(const std::string& name, const std::string& bytes) {
    std::ofstream(dir_ / name, std::ios::binary) << bytes;
  }

  fs::path dir_;
};

constexpr const char* kVariable = "SecureBoot-8be4df61-93ca-11d2-aa0d-00e098032b8c";

TEST_F(SecureBoot, ReadsTheFifthByte) {
  struct Case {
    std::string bytes;
    const char* state;
  };
  const Case cases[] = {
      {std::string("\x06\0\0\0\x01", 5), "Enabled"},
      {std::string("\x06\0\0\0\0", 5), "Disabled"},
      {std::string("\x06\0\0\0\x02\x01", 6), "Disabled"},
      {std::string("\x06\0\0\0", 4), "Unavailable"},
      {"", "Unavailable"},
  };
  put("Boot0000-8be4df61-93ca-11d2-aa0d-00e098032b8c", std::string("\x07\0\0\0\x01", 5));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bytes.size());
    put(kVariable, c.bytes);
    EXPECT_EQ(secure_boot_state(dir_), c.state);
  }
}

TEST_F(SecureBoot, WithoutTheVariableOrTheDirectory) {
  EXPECT_EQ(secure_boot_state(dir_), "Disabled");
  put("SetupMode-8be4df61-93ca-11d2-aa0d-00e098032b8c", std::string("\x06\0\0\0\x01", 5));
  EXPECT_EQ(secure_boot_state(dir_), "Disabled");
  EXPECT_EQ(secure_boot_state(dir_ / "missing"), "Unavailable");
  // A variable that cannot be read as a file.
  fs::create_directory(dir_ / kVariable);
  EXPECT_EQ(secure_boot_state(dir_), "Unavailable");
}

TEST_F(SecureBoot, ProbeDeviceSecurityReadsTheGivenDirectory) {
  limited_exec::FakePrograms fakes;  // no programs: both commands give nothing
  put(kVariable, std::string("\x06\0\0\0\x01", 5));
  EXPECT_EQ(probe_device_security([this] { return kalu_ui::Result<fs::path>(dir_); }),
            (DeviceSecurity{"Unavailable", "Enabled", "Not active"}));
  EXPECT_EQ(probe_device_security([] {
              return kalu_ui::Result<fs::path>(kalu_ui::fail("no"));
            }).secure_boot,
            "Unavailable");
}

}  // namespace
}  // namespace settings::panes::privacy
