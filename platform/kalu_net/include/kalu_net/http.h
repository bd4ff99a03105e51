#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "kalu_ui/result.h"
#include "kalu_ui/secret.h"

// A small blocking HTTP client over libcurl, for single requests to a
// server the person named (the account probes). It trusts exactly the roots
// of kalu_net::system_roots() (never curl's own compiled-in bundle), speaks
// TLS 1.2 at least with certificate and host-name verification, only
// http and https, and never follows a redirect: a 3xx answer is reported
// like any other status. Credentials given for basic authentication are
// kept in wiped memory and never written to curl's verbose output, which is
// never turned on.
//
// A send blocks its thread until the answer or a time limit; run it on a
// worker. Clients and requests may be used from any thread, one thread at a
// time each; the one-time library set-up is thread-safe.
namespace kalu_net::http {

// An HTTP method: a token of letters, digits and the token punctuation
// (RFC 9110), such as "GET" or "PROPFIND".
class Method {
 public:
  // Fails when `text` is empty or holds a character a token may not hold.
  static kalu_ui::Result<Method> parse(std::string_view text);
  const std::string& text() const { return text_; }

 private:
  explicit Method(std::string text) : text_(std::move(text)) {}
  std::string text_;
};

// An absolute URL as curl's URL parser reads it. Any scheme is accepted
// here, so that callers can refuse the wrong one in their own words.
class Url {
 public:
  // Fails when curl's parser refuses `text` (no scheme, a bad host, a
  // space, ...).
  static kalu_ui::Result<Url> parse(std::string_view text);

  // The URL in curl's normalised form.
  const std::string& text() const { return text_; }
  // Lower-case scheme, such as "https".
  const std::string& scheme() const { return scheme_; }
  // A non-empty user name or password is written in the URL.
  bool has_credentials() const { return has_credentials_; }

 private:
  std::string text_;
  std::string scheme_;
  bool has_credentials_ = false;
};

// One request. Move-only: the authorization it may carry is a secret.
class Request {
 public:
  Request(Method method, Url url) : method_(std::move(method)), url_(std::move(url)) {}
  Request(Request&&) = default;
  Request& operator=(Request&&) = default;
  Request(const Request&) = delete;
  Request& operator=(const Request&) = delete;

  // Adds a header line "name: value"; both must be free of line breaks.
  Request& header(std::string_view name, std::string_view value);
  // The request body; sent with no Content-Type unless a header names one.
  Request& body(std::string bytes);
  // Basic authentication with `user` and `password`. The encoded header is
  // kept in wiped memory.
  Request& basic_auth(std::string_view user, std::string_view password);

  const Method& method() const { return method_; }
  const Url& url() const { return url_; }
  const std::vector<std::pair<std::string, std::string>>& headers() const { return headers_; }
  const std::string& body_bytes() const { return body_; }
  const std::optional<kalu_ui::secret::SecretText>& authorization() const { return authorization_; }

 private:
  Method method_;
  Url url_;
  std::vector<std::pair<std::string, std::string>> headers_;
  std::string body_;
  std::optional<kalu_ui::secret::SecretText> authorization_;  // "Authorization: Basic ..."
};

struct Response {
  long status = 0;
};

class Client {
 public:
  // Sends `request` and waits for the answer's status line and headers
  // (the body is read and dropped). The error is kUntrustedCertificate
  // (tls.h) when the server's certificate did not verify, else curl's text
  // for a failure to connect, to send or to receive in time.
  kalu_ui::Result<Response> send(const Request& request) const;

 private:
  friend class ClientBuilder;
  std::chrono::milliseconds timeout_{0};
  std::chrono::milliseconds connect_timeout_{0};
};

class ClientBuilder {
 public:
  // The limit for a whole request, connection included (zero: none).
  ClientBuilder& timeout(std::chrono::milliseconds limit);
  // The limit for establishing the connection (zero: curl's default).
  ClientBuilder& connect_timeout(std::chrono::milliseconds limit);
  // Fails when the HTTP library cannot be initialised or a limit is
  // negative.
  kalu_ui::Result<Client> build() const;

 private:
  std::chrono::milliseconds timeout_{0};
  std::chrono::milliseconds connect_timeout_{0};
};

// A builder for a client that trusts the system roots.
ClientBuilder blocking_client();

}  // namespace kalu_net::http
