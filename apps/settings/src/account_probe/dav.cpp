#include "account_probe/dav.h"

#include <fmt/format.h>

#include "account_probe/config.h"
#include "kalu_net/http.h"
#include "kalu_net/tls.h"

namespace settings::account_probe {

kalu_ui::Result<std::string> check_dav(std::string_view type_id, const Json& config,
                                       std::string_view credential, const ProbeLimits& limits) {
  namespace http = kalu_net::http;
  auto text = text_value(config, type_id == "webdav" ? "base_url" : "server_url");
  if (!text) return kalu_ui::fail("account has no server URL");
  auto url = http::Url::parse(*text);
  if (!url) return kalu_ui::fail("account has an invalid server URL");
  if (url->scheme() != "https") return kalu_ui::fail("refusing to send a credential without HTTPS");
  if (url->has_credentials()) return kalu_ui::fail("server URL must not contain credentials");
  auto username = text_value(config, "username");
  if (!username) return kalu_ui::fail("account has no username");

  auto client =
      http::blocking_client().timeout(limits.request).connect_timeout(limits.connect).build();
  if (!client) return kalu_ui::fail("could not initialize the secure HTTP client");
  auto method = http::Method::parse("PROPFIND");
  if (!method) return kalu_ui::fail("could not construct DAV probe");
  http::Request request(std::move(*method), std::move(*url));
  request.basic_auth(*username, credential).header("Depth", "0").body(std::string(kPropfindBody));

  auto response = client->send(request);
  if (!response) {
    if (response.error() == kalu_net::kUntrustedCertificate) return kalu_ui::fail(response.error());
    return kalu_ui::fail("connection failed: {}", response.error());
  }
  if (response->status >= 200 && response->status <= 299) {
    return std::string("Server accepted the signed-in DAV request");
  }
  if (response->status == 401) return kalu_ui::fail("server rejected the saved credential");
  return kalu_ui::fail("server returned HTTP {}", response->status);
}

}  // namespace settings::account_probe
