// kalu-test-dav-account: a loopback DAV server over HTTPS and an account
// that points at it, for end-to-end tests of the account connection check
// and of account removal.
//
//   kalu-test-dav-account ACCOUNTS-ROOT ACCOUNT-ID SECRET [caldav|webdav]
//
// Makes a test certificate authority and a "localhost" server identity,
// serves HTTPS on 127.0.0.1 answering every request with 207, and saves under
// ACCOUNTS-ROOT a CalDAV (the default) or WebDAV account ACCOUNT-ID whose
// server is that server, with SECRET as its saved credential and a sync
// status. It then prints two lines,
//   port <port>
//   ca <file holding the authority's certificate, for SSL_CERT_FILE>
// and reads commands from its standard input, one per line, answering each
// with one line:
//   status <code>   answer later requests with <code>          -> "ok"
//   requests        the number of requests received so far     -> "<n>"
//   secret <id>     whether the vault holds a secret for <id>  -> "yes" or "no"
// It ends at the end of its input (the certificate files go with it).

#include <fmt/format.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>

#include "account_book/account_store.h"
#include "account_book/secret_vault.h"
#include "account_book/sync_status.h"
#include "kalu_net/testing/pki.h"
#include "kalu_net/testing/servers.h"

namespace {

int save_account(const std::string& root, const std::string& id, const std::string& secret,
                 const std::string& type, std::uint16_t port) {
  account_book::Account account;
  account.id = id;
  account.type_id = account_book::AccountTypeId::from(type);
  const std::string url = fmt::format("https://localhost:{}/dav/", port);
  if (type == "webdav") {
    // A WebDAV account keeps its whole record as its configuration.
    account.display_name = "Test files";
    account.config = {{"id", id},          {"label", "Test files"}, {"base_url", url},
                      {"username", "ann"}, {"enabled", true},       {"tint", 0}};
  } else {
    account.display_name = "Test calendar";
    account.config = {{"server_url", url}, {"username", "ann"}};
  }
  account_book::AccountStore store;
  store.upsert(std::move(account));
  if (auto saved = store.save_in(root); !saved) {
    fmt::print(stderr, "kalu-test-dav-account: {}\n", saved.error());
    return 1;
  }
  account_book::AccountSyncStatusStore statuses;
  statuses.set(id, {account_book::AccountSyncHealth::kHealthy, 1, 1, std::nullopt});
  if (auto saved = statuses.save_in(root); !saved) {
    fmt::print(stderr, "kalu-test-dav-account: {}\n", saved.error());
    return 1;
  }
  auto vault = account_book::SecretVault::open_in(root);
  vault.put(id, kalu_ui::secret::SecretText::copy_of(secret));
  if (auto saved = vault.try_save(); !saved) {
    fmt::print(stderr, "kalu-test-dav-account: {}\n", saved.error());
    return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string type = argc == 5 ? argv[4] : "caldav";
  if ((argc != 4 && argc != 5) || (type != "caldav" && type != "webdav")) {
    fmt::print(stderr,
               "usage: kalu-test-dav-account ACCOUNTS-ROOT ACCOUNT-ID SECRET [caldav|webdav]\n");
    return 2;
  }
  const auto& pki = kalu_net::testing::test_pki();
  kalu_net::testing::HttpsRecordingServer server(pki.localhost, 207);
  if (int failed = save_account(argv[1], argv[2], argv[3], type, server.port())) return failed;
  fmt::print("port {}\nca {}\n", server.port(), pki.trusted_ca_file.string());
  std::fflush(stdout);
  for (std::string line; std::getline(std::cin, line);) {
    if (line.starts_with("status ")) {
      server.set_status(std::atoi(line.c_str() + 7));
      fmt::print("ok\n");
    } else if (line == "requests") {
      fmt::print("{}\n", server.requests().size());
    } else if (line.starts_with("secret ")) {
      const bool held = account_book::SecretVault::open_in(argv[1]).get(line.substr(7)).has_value();
      fmt::print("{}\n", held ? "yes" : "no");
    } else {
      fmt::print("unknown command\n");
    }
    std::fflush(stdout);
  }
  return 0;
}
