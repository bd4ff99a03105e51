#include "sim_device/simdev.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "limited_exec/limited_exec.h"
#include "limited_exec/programs.h"
#include "sim_device/state.h"

namespace sim_device {
namespace {

using simdev::run;
using ::testing::HasSubstr;
using ::testing::Not;

TEST(Simdev, ShowMasksSecretsThatGetGivesWhenAskedByPath) {
  ScopedDeviceState scoped;
  auto shown = run("simdev", {"show", "network"});
  ASSERT_EQ(shown.status, 0) << shown.err;
  EXPECT_THAT(shown.out, Not(HasSubstr("amber-lantern-42")));
  EXPECT_THAT(run("simdev", {"get", "modem.sims[0]"}).out, Not(HasSubstr("2468")));
  EXPECT_EQ(run("simdev", {"get", "network.wifi_networks[0].passphrase"}).out,
            "\"amber-lantern-42\"\n");
  EXPECT_EQ(run("simdev", {"get", "network.wifi_networks.0.ssid"}).out, "\"Lindenhof\"\n");
}

TEST(Simdev, ChangesAreCheckedBeforeTheyLand) {
  ScopedDeviceState scoped;
  struct Case {
    std::vector<std::string> args;
    int status;
    const char* err;
  } cases[] = {
      {{"set", "display.brightness", "40"}, 0, ""},
      {{"set", "time.timezone", "Europe/Paris"}, 0, ""},  // not JSON: taken as text
      {{"set", "display.brightness", "140"}, 1, "display.brightness"},
      {{"set", "network.wifi_networks[7].ssid", "x"}, 1, "has no item 7"},
      {{"set", "bluetooth.devices[0].colour", "\"red\""}, 1, "unknown member \"colour\""},
      {{"add", "network.vpn", R"({"name":"Lab","uuid":"u","type":"openvpn","active":false})"},
       0,
       ""},
      {{"add", "network.vpn", R"({"name":"Lab","uuid":"v","type":"openvpn","active":false})"},
       1,
       "already has this name"},
      {{"add", "network.wired", "1"}, 1, "not a list"},
      {{"remove", "printing.jobs[0]"}, 0, ""},
      {{"remove", "network.wifi_enabled"}, 1, "network.wifi_enabled: missing"},
      {{"fault", "bluez.pair", "Authentication rejected"}, 0, ""},
      {{"delay", "bluez.pair", "3000"}, 0, ""},
      {{"delay", "bluez.pair", "soon"}, 1, "delays[\"bluez.pair\"]"},
      {{"frobnicate"}, 2, "unknown command"},
      {{"get", "a..b"}, 2, "cannot read the path"},
  };
  for (const auto& c : cases) {
    auto out = run("simdev", c.args);
    EXPECT_EQ(out.status, c.status) << c.args[0] << " " << (c.args.size() > 1 ? c.args[1] : "");
    EXPECT_THAT(out.err, HasSubstr(c.err));
  }
  auto state = read();
  ASSERT_TRUE(state);
  EXPECT_EQ((**state)["display"]["brightness"], 40);
  EXPECT_EQ((**state)["time"]["timezone"], "Europe/Paris");
  EXPECT_EQ((**state)["network"]["vpn"].size(), 2u);
  EXPECT_TRUE((**state)["printing"]["jobs"].empty());
  EXPECT_EQ((**state)["faults"]["bluez.pair"], "Authentication rejected");
  EXPECT_EQ((**state)["delays"]["bluez.pair"], 3000);

  EXPECT_EQ(run("simdev", {"fault", "bluez.pair"}).status, 0);
  EXPECT_EQ(run("simdev", {"reset"}).status, 0);
  EXPECT_EQ((**read())["display"]["brightness"], 70);
}

TEST(Simdev, AnswersAsTheProgramsFromTheDevice) {
  ScopedDeviceState scoped;
  struct Case {
    std::string program;
    std::vector<std::string> args;
    int status;
    const char* out;
    const char* err;
  } cases[] = {
      {"findmnt", {"-no", "SOURCE", "/"}, 0, "/dev/mapper/luks-", ""},
      {"lsblk",
       {"-s", "-n", "-o", "TYPE", "/dev/mapper/luks-5e2b7c41-9d3a-4f08-b1c6-2a7e9d0f3b85"},
       0,
       "crypt\npart\ndisk\n",
       ""},
      {"lsblk", {"-s", "-n", "-o", "TYPE", "/dev/sdz"}, 32, "", "not a block device"},
      {"firewall-cmd", {"--state"}, 0, "running\n", ""},
      {"nft", {"list", "ruleset"}, 0, "table inet firewalld", ""},
      {"wpctl", {"get-volume", "@DEFAULT_AUDIO_SOURCE@"}, 0, "Volume: 0.75\n", ""},
      {"/usr/bin/kalu-enroll", {}, 127, "", "simdev: /usr/bin/kalu-enroll is not simulated yet"},
  };
  for (const auto& c : cases) {
    auto out = run(c.program, c.args);
    EXPECT_EQ(out.status, c.status) << c.program;
    EXPECT_THAT(out.out, HasSubstr(c.out)) << c.program;
    EXPECT_THAT(out.err, HasSubstr(c.err)) << c.program;
  }
  // The leading-argument form answers the same.
  EXPECT_EQ(run("simdev", {"firewall-cmd", "--state"}).out, "running\n");
  // A fault on the program, or on one of its commands, exits 1 with its text.
  ASSERT_EQ(run("simdev", {"fault", "wpctl.status", "connection to the server failed"}).status, 0);
  auto faulted = run("wpctl", {"status"});
  EXPECT_EQ(faulted.status, 1);
  EXPECT_EQ(faulted.err, "connection to the server failed\n");
  EXPECT_EQ(run("wpctl", {"get-volume", "@DEFAULT_AUDIO_SINK@"}).status, 0);
  ASSERT_EQ(run("simdev", {"set", "security.firewalld_running", "false"}).status, 0);
  EXPECT_EQ(run("firewall-cmd", {"--state"}).status, 252);
}

// The sink marked '*' under "Sinks:" in a wpctl status listing.
std::string default_sink_line(const std::string& listing) {
  auto sinks = listing.find("├─ Sinks:");
  auto end = listing.find("├─ Sink endpoints:", sinks);
  std::string block = listing.substr(sinks, end - sinks);
  auto star = block.find('*');
  if (star == std::string::npos) return {};
  return block.substr(star, block.find('\n', star) - star);
}

TEST(Simdev, ThroughTheSimulatedTableSetDefaultMovesTheSinkStatusMarks) {
  ScopedDeviceState scoped;
  limited_exec::ScopedTestPrograms programs(limited_exec::simulated_programs(SIMDEV_PATH));
  auto wpctl = [](std::vector<std::string> args) {
    auto out = limited_exec::run("wpctl", args, std::chrono::seconds(10), 1 << 20);
    EXPECT_TRUE(out && out->success()) << (out ? out->stderr_bytes : out.error());
    return out ? out->stdout_bytes : std::string();
  };
  EXPECT_THAT(default_sink_line(wpctl({"status"})), HasSubstr("51. Built-in Audio Analog Stereo"));
  wpctl({"set-default", "58"});
  EXPECT_THAT(default_sink_line(wpctl({"status"})), HasSubstr("58. Studio Headphones"));
  wpctl({"set-volume", "@DEFAULT_AUDIO_SOURCE@", "0.4"});
  EXPECT_EQ(wpctl({"get-volume", "@DEFAULT_AUDIO_SOURCE@"}), "Volume: 0.40\n");
  // A program no pane has simulated yet says so.
  const std::vector<std::string> address = {"https://example.org"};
  auto opener = limited_exec::run("xdg-open", address, std::chrono::seconds(10), 4096);
  ASSERT_TRUE(opener);
  EXPECT_EQ(opener->status, 127);
  EXPECT_THAT(opener->stderr_bytes, HasSubstr("is not simulated yet"));
}

}  // namespace
}  // namespace sim_device
