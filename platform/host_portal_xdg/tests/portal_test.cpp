// The portal's chooser answers and URI opener, on a scoped simulated device
// and, for the real system, through a fake xdg-open.

#include "host_portal_xdg/portal.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <fstream>
#include <functional>
#include <sstream>

#include "limited_exec/fake_programs.h"
#include "sim_device/state.h"

namespace host_portal_xdg {
namespace {

using sim_device::Json;

void set_device(const std::function<void(Json&)>& edit) {
  ASSERT_TRUE(sim_device::update("", [&](Json& state) -> kalu_ui::Status {
    edit(state);
    return {};
  }));
}

Json portal() { return (**sim_device::read())["portal"]; }

class ScopedSystemDevice {
 public:
  ScopedSystemDevice() { ::setenv("KALU_DEVICE", "system", 1); }
  ~ScopedSystemDevice() { ::unsetenv("KALU_DEVICE"); }
};

TEST(PortalTest, FileChooserAnswersAsTheDeviceIsSetAndKeepsTheTitle) {
  sim_device::ScopedDeviceState device;
  auto chosen = FileChooser::open("Choose organization CA certificate");
  ASSERT_TRUE(chosen.has_value());
  EXPECT_EQ(*chosen, std::filesystem::path("/etc/ssl/certs/kalu-office-ca.pem"));
  EXPECT_EQ(portal()["file_chooser"]["last_title"], "Choose organization CA certificate");

  set_device([](Json& s) { s["portal"]["file_chooser"]["answer"] = "cancel"; });
  chosen = FileChooser::open("Pick");
  ASSERT_TRUE(chosen.has_value());
  EXPECT_FALSE(chosen->has_value());

  set_device([](Json& s) { s["portal"]["file_chooser"]["answer"] = "error"; });
  chosen = FileChooser::open("Again");
  ASSERT_FALSE(chosen.has_value());
  EXPECT_EQ(chosen.error(), "the file chooser is not available");
  EXPECT_EQ(portal()["file_chooser"]["last_title"], "Again");

  set_device([](Json& s) { s["faults"]["portal.file_chooser_open"] = "portal crashed"; });
  chosen = FileChooser::open("Once more");
  ASSERT_FALSE(chosen.has_value());
  EXPECT_EQ(chosen.error(), "portal crashed");
}

TEST(PortalTest, OpenerRecordsAddressesOnTheSimulatedDeviceKeepingTheLatest) {
  sim_device::ScopedDeviceState device;
  ASSERT_TRUE(open_uri("http://portal.nordlicht-cafe.example/login"));
  EXPECT_EQ(portal()["opened_uris"], Json::array({"http://portal.nordlicht-cafe.example/login"}));
  for (int i = 0; i < 40; ++i) ASSERT_TRUE(open_uri("http://example.test/" + std::to_string(i)));
  const Json opened = portal()["opened_uris"];
  EXPECT_EQ(opened.size(), 32u);
  EXPECT_EQ(opened.back(), "http://example.test/39");

  EXPECT_EQ(open_uri("").error(), "there is no address to open");
  EXPECT_EQ(open_uri("--help").error(), "the address to open is not valid");
  set_device([](Json& s) { s["faults"]["portal.open_uri"] = "no browser"; });
  EXPECT_EQ(open_uri("http://example.test/").error(), "no browser");
}

TEST(PortalTest, OnTheSystemTheOpenerRunsXdgOpenWithTheAddressAlone) {
  limited_exec::FakePrograms programs;
  const auto record = programs.dir() / "args";
  programs.add("xdg-open", "printf '%s\\n' \"$@\" > '" + record.string() + "'\n");
  ScopedSystemDevice system;
  ASSERT_TRUE(open_uri("http://portal.example/login?a=1&b=2"));
  std::ifstream in(record);
  std::stringstream args;
  args << in.rdbuf();
  EXPECT_EQ(args.str(), "http://portal.example/login?a=1&b=2\n");

  programs.add("xdg-open", "echo 'no method available for opening' >&2\necho more >&2\nexit 4\n");
  EXPECT_EQ(open_uri("http://portal.example/").error(), "no method available for opening");
  programs.add("xdg-open", "exit 3\n");
  EXPECT_EQ(open_uri("http://portal.example/").error(), "xdg-open exited with status 3");
}

}  // namespace
}  // namespace host_portal_xdg
