#include "kalu_net/tls.h"

#include <arpa/inet.h>
#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>
#include <sys/socket.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <new>
#include <string>
#include <system_error>
#include <utility>

namespace kalu_net {

namespace {

// The text of the most recent OpenSSL error of this thread, or `otherwise`.
std::string openssl_error_text(std::string_view otherwise) {
  unsigned long code = ERR_peek_last_error();
  ERR_clear_error();
  if (code == 0) return std::string(otherwise);
  const char* reason = ERR_reason_error_string(code);
  return reason != nullptr ? std::string(reason) : std::string(otherwise);
}

// A socket BIO of our own: OpenSSL's writes with write(2), which raises
// SIGPIPE in this process when the server has gone; send with MSG_NOSIGNAL
// reports that as an error instead. It also answers whether the peer closed,
// which OpenSSL asks before taking a bare end of stream as a close.
struct SocketState {
  int fd = -1;
  bool at_end = false;
};

SocketState& state_of(BIO* bio) { return *static_cast<SocketState*>(BIO_get_data(bio)); }

int bio_write(BIO* bio, const char* data, int length) {
  BIO_clear_retry_flags(bio);
  ssize_t sent;
  do {
    sent = ::send(state_of(bio).fd, data, static_cast<std::size_t>(length), MSG_NOSIGNAL);
  } while (sent < 0 && errno == EINTR);
  return static_cast<int>(sent);
}

int bio_read(BIO* bio, char* data, int length) {
  BIO_clear_retry_flags(bio);
  ssize_t got;
  do {
    got = ::recv(state_of(bio).fd, data, static_cast<std::size_t>(length), 0);
  } while (got < 0 && errno == EINTR);
  if (got == 0) state_of(bio).at_end = true;
  return static_cast<int>(got);
}

long bio_ctrl(BIO* bio, int command, long, void*) {
  switch (command) {
    case BIO_CTRL_FLUSH:  // the socket keeps no buffer of its own
      return 1;
    case BIO_CTRL_EOF:
      return state_of(bio).at_end ? 1 : 0;
    default:
      return 0;
  }
}

int bio_create(BIO* bio) {
  BIO_set_data(bio, new (std::nothrow) SocketState);
  BIO_set_init(bio, BIO_get_data(bio) != nullptr ? 1 : 0);
  return BIO_get_data(bio) != nullptr ? 1 : 0;
}

int bio_destroy(BIO* bio) {
  delete static_cast<SocketState*>(BIO_get_data(bio));
  BIO_set_data(bio, nullptr);
  return 1;
}

const BIO_METHOD* socket_method() {
  static const BIO_METHOD* method = [] {
    BIO_METHOD* made = BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK, "kalu_net socket");
    if (made != nullptr) {
      BIO_meth_set_write(made, bio_write);
      BIO_meth_set_read(made, bio_read);
      BIO_meth_set_ctrl(made, bio_ctrl);
      BIO_meth_set_create(made, bio_create);
      BIO_meth_set_destroy(made, bio_destroy);
    }
    return made;
  }();
  return method;
}

bool is_ip_address(std::string_view name) {
  std::string text(name);
  unsigned char bytes[sizeof(in6_addr)];
  return ::inet_pton(AF_INET, text.c_str(), bytes) == 1 ||
         ::inet_pton(AF_INET6, text.c_str(), bytes) == 1;
}

bool is_dns_label(std::string_view label) {
  if (label.empty() || label.size() > 63) return false;
  if (label.front() == '-' || label.back() == '-') return false;
  return std::all_of(label.begin(), label.end(), [](char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_';
  });
}

bool is_dns_name(std::string_view name) {
  if (!name.empty() && name.back() == '.') name.remove_suffix(1);
  if (name.empty() || name.size() > 253) return false;
  std::string_view last;
  while (true) {
    std::size_t dot = name.find('.');
    std::string_view label = name.substr(0, dot);
    if (!is_dns_label(label)) return false;
    last = label;
    if (dot == std::string_view::npos) break;
    name.remove_prefix(dot + 1);
  }
  // A name whose last label is all digits would read as a malformed address.
  return !std::all_of(last.begin(), last.end(),
                      [](char c) { return std::isdigit(static_cast<unsigned char>(c)); });
}

}  // namespace

const RootStore& system_roots() {
  static const RootStore roots = [] {
    X509_STORE* store = X509_STORE_new();
    if (store != nullptr) {
      // Missing default files are not an error here: the set stays empty.
      X509_STORE_set_default_paths(store);
      ERR_clear_error();
    }
    return RootStore(std::shared_ptr<X509_STORE>(store, X509_STORE_free));
  }();
  return roots;
}

kalu_ui::Result<TlsClientConfig> client_config_with_roots(const RootStore& roots) {
  if (roots.native() == nullptr) return kalu_ui::fail("no root certificate store");
  std::shared_ptr<SSL_CTX> context(SSL_CTX_new(TLS_client_method()), SSL_CTX_free);
  if (!context) return kalu_ui::fail(openssl_error_text("could not create a TLS context"));
  if (SSL_CTX_set_min_proto_version(context.get(), TLS1_2_VERSION) != 1) {
    return kalu_ui::fail(openssl_error_text("could not require TLS 1.2"));
  }
  SSL_CTX_set1_cert_store(context.get(), roots.native());
  SSL_CTX_set_verify(context.get(), SSL_VERIFY_PEER, nullptr);
  // A server that drops the connection without a closing alert has closed
  // it all the same; renegotiation is never wanted.
  SSL_CTX_set_options(context.get(), SSL_OP_IGNORE_UNEXPECTED_EOF | SSL_OP_NO_RENEGOTIATION);
  SSL_CTX_set_mode(context.get(), SSL_MODE_AUTO_RETRY);
  return TlsClientConfig(std::move(context));
}

bool is_valid_server_name(std::string_view name) {
  if (name.find('\0') != std::string_view::npos) return false;
  return is_ip_address(name) || is_dns_name(name);
}

TlsStream::~TlsStream() {
  if (ssl_ != nullptr) SSL_free(ssl_);
}

TlsStream::TlsStream(TlsStream&& other) noexcept
    : ssl_(std::exchange(other.ssl_, nullptr)), socket_(std::move(other.socket_)) {}

TlsStream& TlsStream::operator=(TlsStream&& other) noexcept {
  if (this != &other) {
    if (ssl_ != nullptr) SSL_free(ssl_);
    ssl_ = std::exchange(other.ssl_, nullptr);
    socket_ = std::move(other.socket_);
  }
  return *this;
}

kalu_ui::Result<TlsStream> TlsStream::client(const TlsClientConfig& config,
                                             std::string_view server_name) {
  if (!is_valid_server_name(server_name)) return kalu_ui::fail("invalid server name");
  ERR_clear_error();
  SSL* ssl = SSL_new(config.native());
  if (ssl == nullptr) return kalu_ui::fail(openssl_error_text("could not create a connection"));
  TlsStream stream(ssl);
  std::string name(server_name);
  bool named;
  if (is_ip_address(name)) {
    named = X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(ssl), name.c_str()) == 1;
  } else {
    if (name.back() == '.') name.pop_back();
    named =
        SSL_set_tlsext_host_name(ssl, name.c_str()) == 1 && SSL_set1_host(ssl, name.c_str()) == 1;
  }
  if (!named) return kalu_ui::fail(openssl_error_text("could not set the server name"));
  SSL_set_connect_state(ssl);
  return stream;
}

void TlsStream::attach(TcpStream socket) {
  socket_ = std::move(socket);
  const BIO_METHOD* method = socket_method();
  BIO* bio = method != nullptr ? BIO_new(method) : nullptr;
  if (bio == nullptr) return;  // reads and writes then fail
  state_of(bio).fd = socket_.fd();
  SSL_set_bio(ssl_, bio, bio);
}

namespace {

// Why an SSL_read or SSL_write that answered `result` failed.
std::string failure_text(SSL* ssl, int result, int saved_errno) {
  switch (SSL_get_error(ssl, result)) {
    case SSL_ERROR_SYSCALL:
      ERR_clear_error();
      if (saved_errno == EAGAIN || saved_errno == EWOULDBLOCK) return "timed out";
      if (saved_errno == 0) return "connection ended unexpectedly";
      return std::system_category().message(saved_errno);
    case SSL_ERROR_WANT_READ:
    case SSL_ERROR_WANT_WRITE:
      ERR_clear_error();
      return "timed out";
    default:
      if (SSL_get_verify_result(ssl) != X509_V_OK) {
        ERR_clear_error();
        return std::string(kUntrustedCertificate);
      }
      return openssl_error_text("secure connection failed");
  }
}

}  // namespace

kalu_ui::Result<std::size_t> TlsStream::read(std::span<char> buffer) {
  if (SSL_get_rbio(ssl_) == nullptr) return kalu_ui::fail("not connected");
  ERR_clear_error();
  errno = 0;
  int length = static_cast<int>(std::min<std::size_t>(buffer.size(), INT_MAX));
  int got = SSL_read(ssl_, buffer.data(), length);
  if (got > 0) return static_cast<std::size_t>(got);
  int saved_errno = errno;
  bool handshaken = SSL_is_init_finished(ssl_) == 1;
  if (handshaken && SSL_get_error(ssl_, got) == SSL_ERROR_ZERO_RETURN) {
    ERR_clear_error();
    return std::size_t{0};
  }
  return kalu_ui::fail(failure_text(ssl_, got, saved_errno));
}

kalu_ui::Status TlsStream::write_all(std::string_view bytes) {
  if (SSL_get_wbio(ssl_) == nullptr) return kalu_ui::fail("not connected");
  while (!bytes.empty()) {
    ERR_clear_error();
    errno = 0;
    int length = static_cast<int>(std::min<std::size_t>(bytes.size(), INT_MAX));
    int written = SSL_write(ssl_, bytes.data(), length);
    if (written <= 0) return kalu_ui::fail(failure_text(ssl_, written, errno));
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return {};
}

}  // namespace kalu_net
