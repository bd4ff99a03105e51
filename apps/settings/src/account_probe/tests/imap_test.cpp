#include "account_probe/imap.h"

#include <gtest/gtest.h>

#include "kalu_net/testing/servers.h"
#include "probe_fixture.h"

namespace settings::account_probe {
namespace {

using namespace std::chrono_literals;
using kalu_net::testing::ScriptedTlsServer;
using kalu_net::testing::ScriptStep;
using kalu_net::testing::test_pki;

const ScriptStep kGreeting = ScriptStep::send("* OK IMAP4rev1 ready\r\n");
const ScriptStep kLogin = ScriptStep::read_line();

Json mail_config(std::uint16_t port) {
  return Json{{"imap_host", "localhost"}, {"imap_port", port}, {"username", "ann"}};
}

TEST_F(ProbeTest, ImapExchangesOverLoopbackTls) {
  struct Case {
    std::string name;
    std::vector<ScriptStep> script;
    Json config_changes;  // merged over mail_config
    std::string credential;
    std::string expected;             // outcome()
    std::optional<std::string> sent;  // all the server received
    bool untrusted = false;
    ProbeLimits limits = short_limits();
  };
  const std::string greeting_17k = "* OK " + std::string(17 * 1024, 'x');
  const std::string ok = "ok: IMAP sign-in succeeded";
  const std::string rejected = "error: IMAP server rejected the saved credential";
  const std::string login = "kalu1 LOGIN \"ann\" \"s3cret-Pa55\"\r\n";
  ProbeLimits quick_socket = short_limits();
  quick_socket.socket = 300ms;
  ProbeLimits quick_response = short_limits();
  quick_response.response = 100ms;
  const std::vector<Case> cases = {
      {"plain success, then LOGOUT unanswered",
       {kGreeting, kLogin, ScriptStep::send("kalu1 OK LOGIN completed\r\n")},
       {},
       std::string(kCredential),
       ok,
       login + "kalu2 LOGOUT\r\n"},
      {"greeting split over two writes",
       {ScriptStep::send("* OK IMAP4"), ScriptStep::wait(100ms), ScriptStep::send("rev1\r\n"),
        kLogin, ScriptStep::send("kalu1 OK\r\n")},
       {},
       std::string(kCredential),
       ok,
       std::nullopt},
      {"untagged capability line, then a lower-case ok",
       {kGreeting, kLogin, ScriptStep::send("* CAPABILITY IMAP4rev1 IDLE\r\nkalu1 ok welcome\r\n")},
       {},
       std::string(kCredential),
       ok,
       std::nullopt},
      {"tagged reply split from its status word",
       {kGreeting, kLogin, ScriptStep::send("kalu1 "), ScriptStep::wait(100ms),
        ScriptStep::send("OK\r\n")},
       {},
       std::string(kCredential),
       ok,
       std::nullopt},
      {"tagged NO",
       {kGreeting, kLogin, ScriptStep::send("kalu1 NO [AUTHENTICATIONFAILED] no\r\n")},
       {},
       std::string(kCredential),
       rejected,
       login},
      {"an OK of another tag is no success",
       {kGreeting, kLogin, ScriptStep::send("kalu10 OK\r\nkalu1 BAD\r\n")},
       {},
       std::string(kCredential),
       rejected,
       std::nullopt},
      {"a greeting that is not OK",
       {ScriptStep::send("* BYE busy\r\n")},
       {},
       std::string(kCredential),
       "error: server did not provide a valid IMAP greeting",
       ""},
      {"silent server",
       {},
       {},
       std::string(kCredential),
       "error: IMAP server did not answer before the timeout",
       "",
       false,
       quick_socket},
      {"a reply trickling past the response deadline",
       {ScriptStep::send("* O"), ScriptStep::wait(300ms), ScriptStep::send("K"),
        ScriptStep::wait(300ms), ScriptStep::send("\r\n")},
       {},
       std::string(kCredential),
       "error: IMAP server response timed out",
       std::nullopt,
       false,
       quick_response},
      {"17 KiB of greeting",
       {ScriptStep::send(greeting_17k)},
       {},
       std::string(kCredential),
       "error: IMAP server response exceeded the safety limit",
       ""},
      {"closed after the login",
       {kGreeting, kLogin, ScriptStep::close()},
       {},
       std::string(kCredential),
       "error: IMAP server closed the connection unexpectedly",
       login},
      {"certificate from an untrusted authority",
       {kGreeting, kLogin},
       {},
       std::string(kCredential),
       "error: the server's certificate is not trusted",
       std::nullopt,
       true},
      {"quote and backslash escaped on the wire",
       {kGreeting, kLogin, ScriptStep::send("kalu1 OK\r\n")},
       {{"username", "a\"nn"}},
       "p\\w\"d",
       ok,
       "kalu1 LOGIN \"a\\\"nn\" \"p\\\\w\\\"d\"\r\nkalu2 LOGOUT\r\n"},
      {"a tab in the password is refused before anything is sent",
       {kGreeting, kLogin},
       {},
       "s3cret\tPa55",
       "error: login contains unsupported control characters",
       ""},
      {"a newline in the login is refused before anything is sent",
       {kGreeting, kLogin},
       {{"username", "ann\nkalu9 DELETE INBOX"}},
       std::string(kCredential),
       "error: login contains unsupported control characters",
       ""},
      {"a C1 control in the password is refused",
       {kGreeting, kLogin},
       {},
       "s3\u0085cret",
       "error: login contains unsupported control characters",
       ""},
      {"surrounding spaces are not sent",
       {kGreeting, kLogin, ScriptStep::send("kalu1 OK\r\n")},
       {{"username", "  ann\t"}},
       "  s3cret-Pa55 \u3000",
       ok,
       login + "kalu2 LOGOUT\r\n"},
      {"a blank user name falls back to the address",
       {kGreeting, kLogin, ScriptStep::send("kalu1 OK\r\n")},
       {{"username", "   "}, {"email", "ann@example.com"}},
       std::string(kCredential),
       ok,
       "kalu1 LOGIN \"ann@example.com\" \"s3cret-Pa55\"\r\nkalu2 LOGOUT\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedTlsServer server(c.untrusted ? test_pki().untrusted_localhost : test_pki().localhost,
                             c.script);
    Json config = mail_config(server.port());
    if (c.config_changes.is_object()) config.update(c.config_changes);
    EXPECT_EQ(outcome(probe("email", config, c.credential, c.limits)), c.expected);
    if (c.sent) {
      EXPECT_EQ(server.received(), c.sent);
    }
  }
}

TEST_F(ProbeTest, ImapAccountsMissingWhatTheCheckNeedsFailFirst) {
  struct Case {
    Json config;
    std::string credential;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {Json::object(), "pw", "account has no IMAP server"},
      {Json{{"imap_host", " \t"}, {"username", "ann"}}, "pw", "account has no IMAP server"},
      {Json{{"imap_host", 42}, {"username", "ann"}}, "pw", "account has no IMAP server"},
      {Json{{"imap_host", "localhost"}}, "pw", "account has no IMAP login name"},
      {Json{{"imap_host", "localhost"}, {"username", " "}}, "pw", "account has no IMAP login name"},
      {Json{{"imap_host", "localhost"}, {"username", "ann"}}, "", "account has no saved password"},
      // The host is checked trimmed but used as stored.
      {Json{{"imap_host", " localhost"}, {"username", "ann"}}, "pw", "invalid IMAP server name"},
      {Json{{"imap_host", "127.0.0.1"}, {"imap_port", 0}, {"username", "ann"}}, "pw",
       "could not reach 127.0.0.1:0: Connection refused"},
      {Json::array(), "pw", "account has no IMAP server"},
  };
  for (const Case& c : cases) {
    auto answer = probe("email", c.config, c.credential);
    ASSERT_FALSE(answer.has_value()) << c.config.dump();
    EXPECT_EQ(answer.error(), c.expected) << c.config.dump();
  }
  EXPECT_EQ(outcome(probe("exchange", Json::object())), "error: unsupported account type");
}

TEST(ImapRulesTest, PortsOutsideTheRangeOrNotIntegersGive993) {
  struct Case {
    Json config;
    std::uint16_t port;
  };
  const Case cases[] = {
      {Json::object(), 993},
      {Json{{"imap_port", 143}}, 143},
      {Json::parse(R"({"imap_port": 143})"), 143},
      {Json{{"imap_port", 0}}, 0},
      {Json{{"imap_port", 65535}}, 65535},
      {Json{{"imap_port", 65536}}, 993},
      {Json{{"imap_port", -1}}, 993},
      {Json{{"imap_port", "143"}}, 993},
      {Json{{"imap_port", 143.0}}, 993},
      {Json{{"imap_port", nullptr}}, 993},
      {Json(nullptr), 993},
  };
  for (const Case& c : cases) EXPECT_EQ(imap_port(c.config), c.port) << c.config.dump();
}

TEST(ImapRulesTest, ResponsesAreWholeOnceTheirLastLineArrived) {
  EXPECT_FALSE(response_complete("* OK rea", std::nullopt));
  EXPECT_TRUE(response_complete("* OK ready\r\n", std::nullopt));
  EXPECT_FALSE(response_complete("* CAPABILITY X\r\nkalu1 OK", "kalu1"));
  EXPECT_TRUE(response_complete("* CAPABILITY X\r\nkalu1 OK\r\n", "kalu1"));
  EXPECT_TRUE(response_complete("kalu1 NO\n", "kalu1"));
  EXPECT_FALSE(response_complete("kalu10 OK\r\n", "kalu1"));
  EXPECT_FALSE(response_complete("kalu1\r\n", "kalu1"));

  EXPECT_TRUE(login_accepted("kalu1 Ok\r\n"));
  EXPECT_TRUE(login_accepted("* X\r\nkalu1  OK [CAPABILITY]\r\n"));
  EXPECT_FALSE(login_accepted("kalu1 OKAY\r\n"));
  EXPECT_FALSE(login_accepted("* OK kalu1 OK\r\n"));
  EXPECT_FALSE(login_accepted("kalu1 \r\n"));
}

}  // namespace
}  // namespace settings::account_probe
