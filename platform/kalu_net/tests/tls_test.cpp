#include "kalu_net/tls.h"

#include <gtest/gtest.h>

#include <array>

#include "kalu_net/tcp.h"
#include "kalu_net/testing/pki.h"
#include "kalu_net/testing/servers.h"

namespace kalu_net {
namespace {

using namespace std::chrono_literals;
using testing::ScriptedTlsServer;
using testing::ScriptStep;

class TlsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { testing::trust_test_ca(); }

  // A stream to 127.0.0.1:port that will verify the server as `name`. The
  // default bounds only end a hang: a loaded machine may be slow to answer.
  static TlsStream open(std::uint16_t port, std::string_view name = "localhost",
                        std::chrono::milliseconds read_timeout = 30s) {
    auto config = client_config_with_roots(system_roots());
    EXPECT_TRUE(config.has_value());
    auto stream = TlsStream::client(*config, name);
    EXPECT_TRUE(stream.has_value()) << stream.error();
    auto addresses = resolve("127.0.0.1", port);
    EXPECT_TRUE(addresses.has_value() && !addresses->empty());
    auto socket = TcpStream::connect(addresses->front(), 30s);
    EXPECT_TRUE(socket.has_value()) << socket.error();
    EXPECT_TRUE(socket->set_read_timeout(read_timeout).has_value());
    stream->attach(std::move(*socket));
    return std::move(*stream);
  }

  static std::string read_text(TlsStream& stream) {
    std::array<char, 256> buffer{};
    auto got = stream.read(buffer);
    return got ? std::string(buffer.data(), *got) : "error: " + got.error();
  }
};

TEST_F(TlsTest, ServerNamesFollowTheDnsAndAddressRules) {
  struct Case {
    std::string_view name;
    bool valid;
  };
  const std::string long_label = std::string(64, 'a') + ".example";
  const Case cases[] = {
      {"localhost", true},
      {"imap.example.com", true},
      {"imap.example.com.", true},
      {"_srv.example", true},
      {"127.0.0.1", true},
      {"::1", true},
      {"", false},
      {" imap.example.com", false},
      {"imap.example.com ", false},
      {"-bad.example", false},
      {"bad-.example", false},
      {"a..b", false},
      {"1.2.3.999", false},
      {"host/path", false},
      {std::string_view("a\0b", 3), false},
      {long_label, false},
  };
  for (const Case& c : cases) EXPECT_EQ(is_valid_server_name(c.name), c.valid) << c.name;
}

TEST_F(TlsTest, TalksToATrustedServerBothWays) {
  ScriptedTlsServer server(testing::test_pki().localhost,
                           {ScriptStep::send("* OK hello\r\n"), ScriptStep::read_line()});
  TlsStream stream = open(server.port());
  EXPECT_EQ(read_text(stream), "* OK hello\r\n");
  ASSERT_TRUE(stream.write_all("a1 NOOP\r\n").has_value());
  stream = open(server.port(), "127.0.0.1");  // ends the first connection
  EXPECT_EQ(server.received(), "a1 NOOP\r\n");
  EXPECT_EQ(read_text(stream), "* OK hello\r\n");
}

TEST_F(TlsTest, RefusesUntrustedAndMisnamedServersDuringTheFirstRead) {
  ScriptedTlsServer stranger(testing::test_pki().untrusted_localhost, {ScriptStep::send("x\r\n")});
  TlsStream untrusted = open(stranger.port());
  EXPECT_EQ(read_text(untrusted), "error: the server's certificate is not trusted");

  ScriptedTlsServer trusted(testing::test_pki().localhost, {ScriptStep::send("x\r\n")});
  TlsStream misnamed = open(trusted.port(), "imap.example.com");
  EXPECT_EQ(read_text(misnamed), "error: the server's certificate is not trusted");
}

TEST_F(TlsTest, AClosedConnectionReadsAsZeroAndASilentOneTimesOut) {
  ScriptedTlsServer closing(testing::test_pki().localhost,
                            {ScriptStep::send("bye\r\n"), ScriptStep::close()});
  TlsStream stream = open(closing.port());
  EXPECT_EQ(read_text(stream), "bye\r\n");
  EXPECT_EQ(read_text(stream), "");

  ScriptedTlsServer silent(testing::test_pki().localhost, {});
  TlsStream quiet = open(silent.port(), "localhost", 200ms);
  EXPECT_EQ(read_text(quiet), "error: timed out");
}

TEST(TcpTest, ConnectFailuresAreTheSystemsText) {
  auto addresses = resolve("127.0.0.1", 1);
  ASSERT_TRUE(addresses.has_value());
  ASSERT_EQ(addresses->size(), 1u);
  EXPECT_EQ(addresses->front().to_string(), "127.0.0.1:1");
  auto refused = TcpStream::connect(addresses->front(), 2s);
  ASSERT_FALSE(refused.has_value());
  EXPECT_EQ(refused.error(), "Connection refused");
  EXPECT_EQ(TcpStream::connect(addresses->front(), 0ms).error(), "connection timed out");
  EXPECT_FALSE(resolve("", 993).has_value());
}

}  // namespace
}  // namespace kalu_net
