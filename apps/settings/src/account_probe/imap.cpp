#include "account_probe/imap.h"

#include <fmt/format.h>

#include <array>
#include <chrono>

#include "account_probe/config.h"
#include "account_probe/resolve.h"
#include "kalu_net/tcp.h"
#include "kalu_net/tls.h"
#include "limited_exec/text.h"

namespace settings::account_probe {

namespace {

using Clock = std::chrono::steady_clock;
using kalu_ui::secret::SecretText;

constexpr std::string_view kLoginTag = "kalu1";

bool is_control(char32_t cp) { return cp < 0x20 || (cp >= 0x7F && cp <= 0x9F); }

// The login name: "username" when it has more than white space, else
// "email" as it stands (even empty).
std::optional<std::string> login_name(const Json& config) {
  if (auto username = text_value(config, "username");
      username && !limited_exec::trim_white_space(*username).empty()) {
    return username;
  }
  return text_value(config, "email");
}

kalu_ui::Result<kalu_net::TcpStream> connect_any(
    const std::vector<kalu_net::SocketAddress>& addresses, const std::string& host,
    std::uint16_t port, std::chrono::milliseconds limit) {
  auto deadline = Clock::now() + limit;
  std::optional<std::string> last_error;
  for (const auto& address : addresses) {
    auto now = Clock::now();
    if (now >= deadline) break;
    auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - now);
    auto stream = kalu_net::TcpStream::connect(address, left);
    if (stream) return stream;
    last_error = stream.error();
  }
  return kalu_ui::fail("could not reach {}:{}: {}", host, port,
                       last_error.value_or("connection timed out"));
}

// Reads until the response is whole (response_complete), the deadline
// passes, or the server misbehaves; answers the text with invalid UTF-8
// replaced.
kalu_ui::Result<std::string> read_response(kalu_net::TlsStream& stream,
                                           std::optional<std::string_view> tag,
                                           Clock::time_point deadline) {
  std::string received;
  received.reserve(kReadChunk);
  std::array<char, kReadChunk> chunk{};
  for (;;) {
    if (Clock::now() >= deadline) return kalu_ui::fail("IMAP server response timed out");
    auto got = stream.read(chunk);
    if (!got) {
      // A certificate that did not verify ends the handshake at the first
      // read; the server did answer, and the person must hear why it failed.
      if (got.error() == kalu_net::kUntrustedCertificate) return kalu_ui::fail(got.error());
      return kalu_ui::fail("IMAP server did not answer before the timeout");
    }
    if (*got == 0) return kalu_ui::fail("IMAP server closed the connection unexpectedly");
    if (*got > chunk.size())
      return kalu_ui::fail("IMAP server reported an invalid response length");
    received.append(chunk.data(), *got);
    if (received.size() > kResponseLimit) {
      return kalu_ui::fail("IMAP server response exceeded the safety limit");
    }
    std::string text = limited_exec::decode_lossy(received);
    if (response_complete(text, tag)) return text;
  }
}

// "kalu1 LOGIN "<login>" "<password>"\r\n", built in wiped memory of
// exactly the size it needs.
kalu_ui::Result<SecretText> login_command(std::string_view login, std::string_view credential) {
  auto quoted_login = quote_login_value(limited_exec::trim_white_space(login));
  if (!quoted_login) return std::unexpected(quoted_login.error());
  auto quoted_secret = quote_login_value(limited_exec::trim_white_space(credential));
  if (!quoted_secret) return std::unexpected(quoted_secret.error());
  constexpr std::string_view kHead = "kalu1 LOGIN \"";
  SecretText line = SecretText::with_capacity(kHead.size() + quoted_login->size() + 3 +
                                              quoted_secret->size() + 3);
  line.append(kHead);
  line.append(quoted_login->view());
  line.append("\" \"");
  line.append(quoted_secret->view());
  line.append("\"\r\n");
  return line;
}

// Steps from the connection on, once the configuration has been read.
kalu_ui::Result<std::string> sign_in(const std::string& host, std::uint16_t port,
                                     const std::string& login, std::string_view credential,
                                     const ProbeLimits& limits) {
  auto tls_config = kalu_net::client_config_with_roots(kalu_net::system_roots());
  if (!tls_config) return kalu_ui::fail("could not initialize secure protocol versions");
  if (!kalu_net::is_valid_server_name(host)) return kalu_ui::fail("invalid IMAP server name");
  auto tls = kalu_net::TlsStream::client(*tls_config, host);
  if (!tls) return kalu_ui::fail("could not initialize the secure IMAP connection");

  auto addresses = resolve_within(host, port, limits.resolve);
  if (!addresses) return std::unexpected(addresses.error());
  if (addresses->empty()) return kalu_ui::fail("server name returned no address");
  auto socket = connect_any(*addresses, host, port, limits.connect);
  if (!socket) return std::unexpected(socket.error());
  if (!socket->set_read_timeout(limits.socket) || !socket->set_write_timeout(limits.socket)) {
    return kalu_ui::fail("could not configure the connection timeout");
  }
  tls->attach(std::move(*socket));

  auto greeting = read_response(*tls, std::nullopt, Clock::now() + limits.response);
  if (!greeting) return std::unexpected(greeting.error());
  if (!greeting->starts_with("* OK")) {
    return kalu_ui::fail("server did not provide a valid IMAP greeting");
  }
  auto command = login_command(login, credential);
  if (!command) return std::unexpected(command.error());
  if (!tls->write_all(command->view())) return kalu_ui::fail("could not send the IMAP login");
  command->wipe();

  auto reply = read_response(*tls, kLoginTag, Clock::now() + limits.response);
  if (!reply) return std::unexpected(reply.error());
  if (!login_accepted(*reply)) return kalu_ui::fail("IMAP server rejected the saved credential");
  // Polite, not required: the answer is not awaited and a failure changes
  // nothing.
  (void)tls->write_all("kalu2 LOGOUT\r\n");
  return std::string("IMAP sign-in succeeded");
}

}  // namespace

std::uint16_t imap_port(const Json& config) {
  if (!config.is_object()) return kDefaultImapPort;
  auto found = config.find("imap_port");
  if (found == config.end()) return kDefaultImapPort;
  if (found->is_number_unsigned()) {
    auto value = found->get<std::uint64_t>();
    return value < 65536 ? static_cast<std::uint16_t>(value) : kDefaultImapPort;
  }
  if (found->is_number_integer()) {
    auto value = found->get<std::int64_t>();
    return value >= 0 && value < 65536 ? static_cast<std::uint16_t>(value) : kDefaultImapPort;
  }
  return kDefaultImapPort;
}

kalu_ui::Result<SecretText> quote_login_value(std::string_view value) {
  std::size_t escapes = 0;
  for (std::string_view rest = value; !rest.empty();) {
    char32_t cp = limited_exec::take_char(rest);
    if (is_control(cp)) return kalu_ui::fail("login contains unsupported control characters");
    if (cp == '\\' || cp == '"') ++escapes;
  }
  SecretText quoted = SecretText::with_capacity(value.size() + escapes);
  for (char c : value) {
    if (c == '\\' || c == '"') quoted.append('\\');
    quoted.append(c);
  }
  return quoted;
}

bool response_complete(std::string_view text, std::optional<std::string_view> tag) {
  if (!tag) return text.find("\r\n") != std::string_view::npos;
  while (!text.empty()) {
    std::size_t end = text.find('\n');
    if (end == std::string_view::npos) return false;  // an unfinished last line
    std::string_view line = text.substr(0, end + 1);
    if (line.starts_with(*tag) && line.size() >= 6 && line[5] == ' ') return true;
    text.remove_prefix(end + 1);
  }
  return false;
}

bool login_accepted(std::string_view reply) {
  constexpr std::string_view kPrefix = "kalu1 ";
  constexpr std::string_view kSpaces = " \t\r\n\f\v";
  while (!reply.empty()) {
    std::size_t end = reply.find('\n');
    std::string_view line = reply.substr(0, end);
    reply.remove_prefix(end == std::string_view::npos ? reply.size() : end + 1);
    if (!line.starts_with(kPrefix)) continue;
    line.remove_prefix(kPrefix.size());
    std::size_t start = line.find_first_not_of(kSpaces);
    if (start == std::string_view::npos) continue;
    std::string_view word = line.substr(start, line.find_first_of(kSpaces, start) - start);
    if (word.size() == 2 && (word[0] | 0x20) == 'o' && (word[1] | 0x20) == 'k') return true;
  }
  return false;
}

kalu_ui::Result<std::string> check_imap(const Json& config, std::string_view credential,
                                        const ProbeLimits& limits) {
  auto host = text_value(config, "imap_host");
  if (!host || limited_exec::trim_white_space(*host).empty()) {
    return kalu_ui::fail("account has no IMAP server");
  }
  std::uint16_t port = imap_port(config);
  auto login = login_name(config);
  if (!login) return kalu_ui::fail("account has no IMAP login name");
  if (credential.empty()) return kalu_ui::fail("account has no saved password");
  return sign_in(*host, port, *login, credential, limits);
}

}  // namespace settings::account_probe
