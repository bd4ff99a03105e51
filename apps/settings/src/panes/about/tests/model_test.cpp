#include "panes/about/model.h"

#include <gtest/gtest.h>
#include <sys/utsname.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "identity/testing.h"
#include "kalu_ui/format.h"

namespace settings::panes::about {
namespace {

namespace fs = std::filesystem;

TEST(AboutOsName, PrettyNameWithoutItsQuotes) {
  struct Case {
    const char* text;
    std::optional<std::string> name;
  };
  const Case cases[] = {
      {"NAME=Kalu\nPRETTY_NAME=\"Kalu OS 42\"\n", "Kalu OS 42"},
      {"PRETTY_NAME='Kalu OS 42 (Workstation)'\n", "Kalu OS 42 (Workstation)"},
      {"  PRETTY_NAME=Kalu  \n", "Kalu"},
      // Double quotes go first, then single ones.
      {"PRETTY_NAME=\"'Kalu'\"", "Kalu"},
      {"PRETTY_NAME=\"\"\nPRETTY_NAME=Second\n", "Second"},
      {"NAME=Kalu\n#PRETTY_NAME=Commented\n", std::nullopt},
      {"", std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(pretty_name(c.text), c.name);
  }
}

TEST(AboutUptime, MinutesHoursDaysAndWhatIsNotATime) {
  struct Case {
    const char* file;
    const char* text;
  };
  const Case cases[] = {
      {"59.9 120.0\n", "0m"},
      {"3600.00 1.00\n", "1h 0m"},
      {"90061", "1d 1h 1m"},
      {"86399.99", "23h 59m"},
      {"-5.0 1.0", "0m"},
      {"+61", "1m"},
      // Beyond 64-bit seconds: the most there are (18446744073709551615 s).
      {"1e300", "213503982334601d 7h 0m"},
      {"1e400", "unknown"},
      {"nan 1.0", "unknown"},
      {"inf", "unknown"},
      {"-inf", "unknown"},
      {"abc", "unknown"},
      {"12abc", "unknown"},
      {"", "unknown"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    EXPECT_EQ(uptime_text(c.file), c.text);
  }
}

TEST(AboutIdentityCode, HostNameHashOrKeyPrefix) {
  EXPECT_EQ(fnv1a_64(""), 0xcbf29ce484222325ULL);
  EXPECT_EQ(fnv1a_64("foobar"), 0x85944171f73967e8ULL);
  SystemSummary summary;
  summary.host_name = "foobar";
  EXPECT_EQ(identity_code(summary), "8594\u00b74171\u00b7f739\u00b767e8");
  summary.host_name = "";
  EXPECT_EQ(identity_code(summary), "cbf2\u00b79ce4\u00b78422\u00b72325");
  std::array<std::uint8_t, 32> key{};
  key[0] = 0x00;
  key[1] = 0x0a;
  key[7] = 0xff;
  key[8] = 0x77;  // past the first eight bytes
  summary.identity_key = key;
  EXPECT_EQ(identity_code(summary), "000a\u00b70000\u00b70000\u00b700ff");
}

class AboutFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("kalu-about-" +
            std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  fs::path put(const std::string& name, const std::string& text) {
    std::ofstream(dir_ / name, std::ios::binary) << text;
    return dir_ / name;
  }
  SystemSummary read() {
    return system_summary(dir_ / "os-release", dir_ / "osrelease", dir_ / "uptime",
                          dir_ / "hostname", dir_ / "cpuinfo", dir_ / "meminfo");
  }

  fs::path dir_;
};

TEST_F(AboutFiles, EachFieldFromItsFile) {
  put("os-release", "NAME=\"Kalu\"\nPRETTY_NAME='Kalu OS 42'\n");
  put("osrelease", "  6.12.9-200.fc41.aarch64\n");
  put("uptime", "90061.42 12.00\n");
  put("hostname", "studio\n");
  put("cpuinfo",
      "processor\t: 0\nmodel name\t:   \nflags\t: fpu\n\nprocessor\t: 1\n"
      "model name\t: Example CPU @ 3.00GHz\nmodel name\t: Later CPU\n");
  put("meminfo", "MemFree:  1 kB\nMemTotal:       16384000 kB\n");
  SystemSummary s = read();
  EXPECT_EQ(s.os_name, "Kalu OS 42");
  EXPECT_EQ(s.kernel_release, "6.12.9-200.fc41.aarch64");
  EXPECT_EQ(s.uptime, "1d 1h 1m");
  EXPECT_EQ(s.host_name, "studio");
  EXPECT_EQ(s.processor_model, "Example CPU @ 3.00GHz");
  EXPECT_EQ(s.memory_total, kalu_ui::format::bytes(16777216000ULL));
  EXPECT_EQ(s.memory_total, "15.6 GiB");
  utsname names{};
  ASSERT_EQ(::uname(&names), 0);
  EXPECT_EQ(s.architecture, names.machine);
  EXPECT_FALSE(s.identity_name);
  EXPECT_FALSE(s.identity_key);
}

TEST_F(AboutFiles, DefaultsForWhatCannotBeRead) {
  put("hostname", " \n");
  put("meminfo", "MemTotal: lots kB\n");
  put("cpuinfo", "model name\n");
  SystemSummary s = read();
  EXPECT_EQ(s.os_name, "unknown");
  EXPECT_EQ(s.kernel_release, "unknown");
  EXPECT_EQ(s.uptime, "unknown");
  EXPECT_EQ(s.host_name, "this-device");
  EXPECT_EQ(s.processor_model, "unknown");
  EXPECT_EQ(s.memory_total, "unknown");
  // The multiplication saturates.
  EXPECT_EQ(memory_total_bytes("MemTotal: 18446744073709551615 kB"), UINT64_MAX);
}

TEST(AboutSummary, TheActiveIdentity) {
  const fs::path dir = fs::temp_directory_path() / "kalu-about-identities";
  fs::remove_all(dir);
  identity_testing::ScopedEnv env("KALU_IDENTITY_DIR", dir.string());
  // No store at all: no identity.
  SystemSummary none = summary();
  EXPECT_FALSE(none.identity_name);
  EXPECT_FALSE(none.identity_key);

  auto ada = identity_testing::TestIdentity::create(dir, "ada", "  Ada Lovelace \n");
  ASSERT_TRUE(ada) << ada.error();
  SystemSummary with = summary();
  EXPECT_EQ(with.identity_name, "Ada Lovelace");
  EXPECT_EQ(with.identity_key, ada->public_key());

  auto blank = identity_testing::TestIdentity::create(dir, "blank", "   ");
  ASSERT_TRUE(blank) << blank.error();
  SystemSummary unnamed = summary();
  EXPECT_FALSE(unnamed.identity_name);
  EXPECT_EQ(unnamed.identity_key, blank->public_key());
  fs::remove_all(dir);
}

}  // namespace
}  // namespace settings::panes::about
