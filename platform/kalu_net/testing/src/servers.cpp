#include "kalu_net/testing/servers.h"

#include <arpa/inet.h>
#include <fmt/format.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace kalu_net::testing {

namespace {

using namespace std::chrono_literals;

// How long a blocked read waits before it looks whether the server stops.
constexpr auto kPollInterval = 50ms;
constexpr auto kHandshakeLimit = 10s;

[[noreturn]] void give_up(const char* step) {
  std::fprintf(stderr, "kalu_net::testing: could not %s\n", step);
  std::abort();
}

void set_timeout(int fd, int option, std::chrono::milliseconds timeout) {
  timeval value{};
  value.tv_sec = static_cast<time_t>(timeout.count() / 1000);
  value.tv_usec = static_cast<suseconds_t>((timeout.count() % 1000) * 1000);
  ::setsockopt(fd, SOL_SOCKET, option, &value, sizeof value);
}

SSL_CTX* server_context(const Identity& identity) {
  SSL_CTX* context = SSL_CTX_new(TLS_server_method());
  if (context == nullptr) give_up("make a server context");
  std::unique_ptr<BIO, decltype(&BIO_free)> cert_pem(
      BIO_new_mem_buf(identity.certificate_pem.data(),
                      static_cast<int>(identity.certificate_pem.size())),
      BIO_free);
  std::unique_ptr<BIO, decltype(&BIO_free)> key_pem(
      BIO_new_mem_buf(identity.key_pem.data(), static_cast<int>(identity.key_pem.size())),
      BIO_free);
  X509* cert = PEM_read_bio_X509(cert_pem.get(), nullptr, nullptr, nullptr);
  EVP_PKEY* key = PEM_read_bio_PrivateKey(key_pem.get(), nullptr, nullptr, nullptr);
  bool loaded = cert != nullptr && key != nullptr && SSL_CTX_use_certificate(context, cert) == 1 &&
                SSL_CTX_use_PrivateKey(context, key) == 1;
  X509_free(cert);
  EVP_PKEY_free(key);
  if (!loaded) give_up("load the server identity");
  SSL_CTX_set_options(context, SSL_OP_IGNORE_UNEXPECTED_EOF);
  return context;
}

std::string_view reason_phrase(int status) {
  switch (status) {
    case 200:
      return "OK";
    case 207:
      return "Multi-Status";
    case 301:
      return "Moved Permanently";
    case 401:
      return "Unauthorized";
    case 403:
      return "Forbidden";
    case 404:
      return "Not Found";
    case 500:
      return "Internal Server Error";
    default:
      return "Status";
  }
}

bool same_name(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) ==
           std::tolower(static_cast<unsigned char>(y));
  });
}

std::string_view trim_spaces(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

// The request line and headers of `head` (without the blank line).
RecordedRequest parse_head(std::string_view head) {
  RecordedRequest request;
  std::size_t end = head.find("\r\n");
  std::string_view line = head.substr(0, end);
  std::size_t first = line.find(' ');
  std::size_t second = line.find(' ', first == std::string_view::npos ? first : first + 1);
  request.method = std::string(line.substr(0, first));
  if (first != std::string_view::npos) {
    request.target = std::string(line.substr(first + 1, second - first - 1));
  }
  while (end != std::string_view::npos) {
    head.remove_prefix(end + 2);
    end = head.find("\r\n");
    line = head.substr(0, end);
    std::size_t colon = line.find(':');
    if (colon == std::string_view::npos) continue;
    request.headers.emplace_back(std::string(line.substr(0, colon)),
                                 std::string(trim_spaces(line.substr(colon + 1))));
  }
  return request;
}

}  // namespace

TlsTestServer::TlsTestServer(const Identity& identity) : context_(server_context(identity)) {
  listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (listener_ < 0) give_up("open a socket");
  int yes = 1;
  ::setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(listener_, 8) != 0 ||
      ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    give_up("listen on the loopback address");
  }
  port_ = ntohs(address.sin_port);
}

TlsTestServer::~TlsTestServer() {
  stop();
  ::close(listener_);
  SSL_CTX_free(context_);
}

void TlsTestServer::start() {
  thread_ = std::thread([this] { accept_loop(); });
}

void TlsTestServer::stop() {
  stopping_ = true;
  if (thread_.joinable()) thread_.join();
}

void TlsTestServer::accept_loop() {
  // A client that went away makes a write raise SIGPIPE; keep it pending on
  // this thread instead of ending the test process.
  sigset_t pipe_only;
  sigemptyset(&pipe_only);
  sigaddset(&pipe_only, SIGPIPE);
  pthread_sigmask(SIG_BLOCK, &pipe_only, nullptr);
  while (!stopping()) {
    pollfd entry{listener_, POLLIN, 0};
    if (::poll(&entry, 1, static_cast<int>(kPollInterval.count())) <= 0) continue;
    int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    ++connections_;
    handle(fd);
    ::close(fd);
  }
}

void TlsTestServer::handle(int fd) {
  // Answers go out at once rather than waiting for the client's delayed
  // acknowledgement of the handshake's last flight.
  int yes = 1;
  ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
  set_timeout(fd, SO_RCVTIMEO, kPollInterval);
  set_timeout(fd, SO_SNDTIMEO, std::chrono::seconds(2));
  SSL* ssl = SSL_new(context_);
  if (ssl == nullptr) return;
  SSL_set_fd(ssl, fd);
  auto deadline = std::chrono::steady_clock::now() + kHandshakeLimit;
  for (;;) {
    int result = SSL_accept(ssl);
    if (result == 1) {
      serve(ssl);
      break;
    }
    int error = SSL_get_error(ssl, result);
    bool again = error == SSL_ERROR_WANT_READ || error == SSL_ERROR_WANT_WRITE;
    if (!again || stopping() || std::chrono::steady_clock::now() > deadline) {
      ++failed_handshakes_;
      break;
    }
  }
  ERR_clear_error();
  SSL_free(ssl);
}

std::string TlsTestServer::read_some(SSL* ssl) {
  char buffer[4096];
  while (!stopping()) {
    int got = SSL_read(ssl, buffer, sizeof buffer);
    if (got > 0) return std::string(buffer, static_cast<std::size_t>(got));
    if (SSL_get_error(ssl, got) != SSL_ERROR_WANT_READ) break;
  }
  ERR_clear_error();
  return {};
}

bool TlsTestServer::write_all(SSL* ssl, std::string_view bytes) {
  while (!bytes.empty() && !stopping()) {
    int written = SSL_write(ssl, bytes.data(), static_cast<int>(bytes.size()));
    if (written > 0) {
      bytes.remove_prefix(static_cast<std::size_t>(written));
      continue;
    }
    int error = SSL_get_error(ssl, written);
    if (error != SSL_ERROR_WANT_WRITE && error != SSL_ERROR_WANT_READ) {
      ERR_clear_error();
      return false;
    }
  }
  return bytes.empty();
}

ScriptedTlsServer::ScriptedTlsServer(const Identity& identity, std::vector<ScriptStep> script)
    : TlsTestServer(identity), script_(std::move(script)) {
  start();
}

ScriptedTlsServer::~ScriptedTlsServer() { stop(); }

void ScriptedTlsServer::serve(SSL* ssl) {
  std::string got;
  std::size_t consumed = 0;
  bool open = true;
  for (const ScriptStep& step : script_) {
    if (!open) break;
    switch (step.kind) {
      case ScriptStep::Kind::Send:
        open = write_all(ssl, step.bytes);
        break;
      case ScriptStep::Kind::ReadLine:
        while (got.find("\r\n", consumed) == std::string::npos) {
          std::string chunk = read_some(ssl);
          if (chunk.empty()) {
            open = false;
            break;
          }
          got += chunk;
        }
        if (open) consumed = got.find("\r\n", consumed) + 2;
        break;
      case ScriptStep::Kind::Pause:
        std::this_thread::sleep_for(step.pause);
        break;
      case ScriptStep::Kind::Close:
        open = false;
        break;
    }
    if (step.kind == ScriptStep::Kind::Close) break;
  }
  bool closed_by_script = !script_.empty() && script_.back().kind == ScriptStep::Kind::Close;
  while (open && !closed_by_script) {
    std::string chunk = read_some(ssl);
    if (chunk.empty()) break;
    got += chunk;
  }
  {
    std::lock_guard lock(mutex_);
    received_.push_back(std::move(got));
  }
  ended_.notify_all();
}

std::optional<std::string> ScriptedTlsServer::received(std::chrono::milliseconds wait) {
  std::unique_lock lock(mutex_);
  if (!ended_.wait_for(lock, wait, [&] { return !received_.empty(); })) return std::nullopt;
  return received_.front();
}

std::optional<std::string> RecordedRequest::header(std::string_view name) const {
  for (const auto& [key, value] : headers) {
    if (same_name(key, name)) return value;
  }
  return std::nullopt;
}

HttpsRecordingServer::HttpsRecordingServer(const Identity& identity, int status,
                                           std::vector<std::string> extra_headers)
    : TlsTestServer(identity), status_(status), extra_headers_(std::move(extra_headers)) {
  start();
}

HttpsRecordingServer::~HttpsRecordingServer() { stop(); }

void HttpsRecordingServer::set_status(int status, std::vector<std::string> extra_headers) {
  std::lock_guard lock(mutex_);
  status_ = status;
  extra_headers_ = std::move(extra_headers);
}

std::vector<RecordedRequest> HttpsRecordingServer::requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

void HttpsRecordingServer::serve(SSL* ssl) {
  std::string got;
  std::size_t head_end;
  while ((head_end = got.find("\r\n\r\n")) == std::string::npos) {
    std::string chunk = read_some(ssl);
    if (chunk.empty()) return;
    got += chunk;
  }
  RecordedRequest request = parse_head(std::string_view(got).substr(0, head_end));
  std::size_t body_length = 0;
  if (auto length = request.header("Content-Length"))
    body_length = std::strtoul(length->c_str(), nullptr, 10);
  std::string body = got.substr(head_end + 4);
  while (body.size() < body_length) {
    std::string chunk = read_some(ssl);
    if (chunk.empty()) break;
    body += chunk;
  }
  request.body = std::move(body);

  std::string answer;
  {
    std::lock_guard lock(mutex_);
    requests_.push_back(std::move(request));
    answer = fmt::format("HTTP/1.1 {} {}\r\nContent-Length: 0\r\nConnection: close\r\n", status_,
                         reason_phrase(status_));
    for (const std::string& line : extra_headers_) answer += line + "\r\n";
  }
  answer += "\r\n";
  write_all(ssl, answer);
}

}  // namespace kalu_net::testing
