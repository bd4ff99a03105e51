#pragma once

#include <string>
#include <string_view>

#include "account_probe/config.h"
#include "account_probe/limits.h"
#include "kalu_ui/result.h"

// The check of a CalDAV, WebDAV or Nextcloud account: one PROPFIND of the
// server URL over HTTPS with basic authentication, never over plain HTTP
// and never with credentials written in the URL, redirects not followed.
namespace settings::account_probe {

// The exact body sent (83 bytes).
inline constexpr std::string_view kPropfindBody =
    R"(<?xml version="1.0"?><propfind xmlns="DAV:"><prop><resourcetype/></prop></propfind>)";

// "base_url" for "webdav", "server_url" for the other kinds. The answer is
// "Server accepted the signed-in DAV request" or a failure text.
kalu_ui::Result<std::string> check_dav(std::string_view type_id, const Json& config,
                                       std::string_view credential, const ProbeLimits& limits);

}  // namespace settings::account_probe
