// How long one successful check takes against the loopback servers: the
// IMAP sign-in (resolution thread, TCP, TLS handshake, greeting, LOGIN,
// LOGOUT) and the DAV PROPFIND (curl with a fresh connection and handshake).
// Run: <build>/apps/settings/src/account_probe/settings_account_probe_bench
#include <benchmark/benchmark.h>
#include <fmt/format.h>

#include "account_probe/account_probe.h"
#include "account_probe/config.h"
#include "kalu_net/testing/pki.h"
#include "kalu_net/testing/servers.h"

namespace settings::account_probe {
namespace {

using kalu_net::testing::ScriptStep;

// The roots are loaded on first use, so the test authority is trusted before
// any benchmark runs.
const bool kTrusted = [] {
  kalu_net::testing::trust_test_ca();
  return true;
}();

account_book::Account account(std::string_view type_id, Json config) {
  account_book::Account made;
  made.id = "bench";
  made.type_id = account_book::AccountTypeId::from(type_id);
  made.config = std::move(config);
  return made;
}

void BM_ImapSignIn(benchmark::State& state) {
  kalu_net::testing::ScriptedTlsServer server(
      kalu_net::testing::test_pki().localhost,
      {ScriptStep::send("* OK ready\r\n"), ScriptStep::read_line(),
       ScriptStep::send("kalu1 OK\r\n")});
  auto mail = account(
      "email", Json{{"imap_host", "localhost"}, {"imap_port", server.port()}, {"username", "ann"}});
  for (auto _ : state) {
    auto answer = probe_account(mail, "secret");
    if (!answer) state.SkipWithError(answer.error().c_str());
  }
}
BENCHMARK(BM_ImapSignIn)
    ->Iterations(1)
    ->Repetitions(5)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

void BM_DavPropfind(benchmark::State& state) {
  kalu_net::testing::HttpsRecordingServer server(kalu_net::testing::test_pki().localhost, 207);
  auto dav = account("caldav",
                     Json{{"server_url", fmt::format("https://localhost:{}/dav/", server.port())},
                          {"username", "ann"}});
  for (auto _ : state) {
    auto answer = probe_account(dav, "secret");
    if (!answer) state.SkipWithError(answer.error().c_str());
  }
}
BENCHMARK(BM_DavPropfind)
    ->Iterations(1)
    ->Repetitions(5)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace settings::account_probe
