#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "account_probe/config.h"
#include "account_probe/limits.h"
#include "kalu_ui/result.h"

// The account-server probe: signs in to an external account's server once,
// to prove that it is reachable over a secure connection and accepts the
// credential. A mail account ("email") is checked by an IMAP LOGIN over TLS
// (imap.h), a CalDAV, WebDAV or Nextcloud account by an HTTPS PROPFIND with
// basic authentication (dav.h).
//
// The answer is a success text or a failure text, both meant to be shown as
// they are; neither ever holds the credential, and the probe logs nothing.
// A probe blocks its thread for up to about 8 seconds per network step
// (resolution, connection, greeting, reply), so it runs on worker threads
// only, never on the UI thread; it touches no widget and no cell. Probes on
// different threads share nothing. The only thread a probe starts itself
// resolves the server's name (resolve.h).
namespace settings::account_probe {

// Dispatches on the account's type id: "email" to the IMAP check;
// "caldav", "webdav" and "nextcloud" to the DAV check; any other type fails
// with "unsupported account type". `config` is the account's configuration.
kalu_ui::Result<std::string> probe_server(std::string_view type_id, const Json& config,
                                          std::string_view credential,
                                          const ProbeLimits& limits = {});

}  // namespace settings::account_probe
