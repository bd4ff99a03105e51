#pragma once

#include <openssl/types.h>

#include <cstddef>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "kalu_net/tcp.h"
#include "kalu_ui/result.h"

// TLS for clients: the system's root certificates, a client configuration
// that trusts them (TLS 1.2 at least, the peer's certificate and host name
// always verified), and a client connection over a TCP stream.
//
// The roots come from OpenSSL's default verify locations, which honour the
// SSL_CERT_FILE and SSL_CERT_DIR environment variables; that is how a test or
// an end-to-end run adds a certificate authority of its own. The program has
// no other trust setting. The roots are loaded once per process, on first
// use, and shared read-only by every thread.
namespace kalu_net {

// The failure of a connection whose server's certificate did not verify
// (an authority not among the roots, expired, made out for another name):
// TLS streams and the HTTP client report exactly this text, so a caller can
// tell it from a server that did not answer.
inline constexpr std::string_view kUntrustedCertificate = "the server's certificate is not trusted";

// A shared, read-only set of trusted root certificates.
class RootStore {
 public:
  explicit RootStore(std::shared_ptr<X509_STORE> store) : store_(std::move(store)) {}
  // Borrowed; valid while this RootStore lives. Callers that keep it take
  // their own reference (X509_STORE_up_ref).
  X509_STORE* native() const { return store_.get(); }

 private:
  std::shared_ptr<X509_STORE> store_;
};

// The system's roots. Never fails: a system without a readable trust store
// gives an empty set, against which every certificate fails verification.
const RootStore& system_roots();

// A client configuration; copies share one OpenSSL context.
class TlsClientConfig {
 public:
  explicit TlsClientConfig(std::shared_ptr<SSL_CTX> context) : context_(std::move(context)) {}
  SSL_CTX* native() const { return context_.get(); }

 private:
  std::shared_ptr<SSL_CTX> context_;
};

// A configuration trusting exactly `roots`. The error says which step of
// setting up the context failed.
kalu_ui::Result<TlsClientConfig> client_config_with_roots(const RootStore& roots);

// Whether `name` can name a TLS server: an IPv4 or IPv6 address, or a DNS
// name (labels of letters, digits, hyphens and underscores, 1 to 63 bytes,
// not starting or ending with a hyphen, at most 253 bytes in all, one final
// dot allowed). White space anywhere makes it invalid.
bool is_valid_server_name(std::string_view name);

// A TLS client connection. It is made for a server name first, then given a
// connected TCP stream; the handshake happens on the first read or write, so
// a handshake failure shows as a failed read. Move-only; closing the stream
// does not wait for the server.
class TlsStream {
 public:
  ~TlsStream();
  TlsStream(TlsStream&& other) noexcept;
  TlsStream& operator=(TlsStream&& other) noexcept;
  TlsStream(const TlsStream&) = delete;
  TlsStream& operator=(const TlsStream&) = delete;

  // A connection that will verify the server's certificate for `server_name`
  // (which must satisfy is_valid_server_name).
  static kalu_ui::Result<TlsStream> client(const TlsClientConfig& config,
                                           std::string_view server_name);

  // Hands the connection its socket; the stream owns it from now on.
  void attach(TcpStream socket);

  // Reads at most buffer.size() bytes. Answers 0 when the server closed the
  // connection after the handshake; an error for a failed handshake
  // (kUntrustedCertificate when the certificate did not verify), a timeout
  // or any other failure.
  kalu_ui::Result<std::size_t> read(std::span<char> buffer);
  // Writes all of `bytes` or fails.
  kalu_ui::Status write_all(std::string_view bytes);

 private:
  explicit TlsStream(SSL* ssl) : ssl_(ssl) {}
  SSL* ssl_ = nullptr;
  TcpStream socket_;
};

}  // namespace kalu_net
