#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "account_book/account_store.h"
#include "account_probe/limits.h"
#include "kalu_ui/result.h"

// The account-server probe: signs in to an external account's server once,
// to prove that it is reachable over a secure connection and accepts the
// credential. A mail account ("email") is checked by an IMAP LOGIN over TLS
// (imap.h), a CalDAV, WebDAV or Nextcloud account by an HTTPS PROPFIND with
// basic authentication (dav.h). Of the account only the type id and the
// configuration object are read.
//
// The answer is a success text or a failure text, both meant to be shown as
// they are; neither ever holds the credential, and the probe logs nothing.
// A probe blocks its thread for up to about 8 seconds per network step
// (resolution, connection, greeting, reply), so it runs on worker threads
// only (the application's connection check, the pane's check threads), never
// on the UI thread; it touches no widget and no cell. Probes on different
// threads share nothing. The only thread a probe starts itself resolves the
// server's name (resolve.h).
namespace settings::account_probe {

// Dispatches on the type id: "email" to the IMAP check; "caldav", "webdav"
// and "nextcloud" to the DAV check; any other type fails with "unsupported
// account type".
kalu_ui::Result<std::string> probe_account(const account_book::Account& account,
                                           std::string_view credential,
                                           const ProbeLimits& limits = {});

// The probe backend the application holds and hands to the External
// Accounts pane: one operation and no data, shared by reference counting
// and safe to call from several threads at once. The operation is virtual
// so that tests of its users can answer without a server.
class AccountProbe {
 public:
  virtual ~AccountProbe() = default;
  // probe_account with the program's time limits.
  virtual kalu_ui::Result<std::string> probe(const account_book::Account& account,
                                             std::string_view credential) const;
};

using SharedAccountProbe = std::shared_ptr<const AccountProbe>;

// A backend that probes real servers.
SharedAccountProbe new_account_probe();

}  // namespace settings::account_probe
