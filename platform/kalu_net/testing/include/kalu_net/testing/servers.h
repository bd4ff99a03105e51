#pragma once

#include <openssl/types.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "kalu_net/testing/pki.h"

// Loopback servers for tests: a TLS server that plays a script (IMAP, or
// any line protocol) and an HTTPS server that answers every request with a
// chosen status while recording what it received. Both listen on 127.0.0.1
// at a port the system picks, serve one connection at a time on a thread of
// their own, and stop when destroyed. Any test folder may link
// kalu_net_testing (an end-to-end test can point a running program at them
// with SSL_CERT_FILE set to test_pki().trusted_ca_file).
namespace kalu_net::testing {

// Listening, accepting and the TLS handshake, shared by both servers.
class TlsTestServer {
 public:
  explicit TlsTestServer(const Identity& identity);
  virtual ~TlsTestServer();
  TlsTestServer(const TlsTestServer&) = delete;
  TlsTestServer& operator=(const TlsTestServer&) = delete;

  std::uint16_t port() const { return port_; }
  // Connections accepted so far, and how many of them failed the handshake.
  int connections() const { return connections_.load(); }
  int failed_handshakes() const { return failed_handshakes_.load(); }

 protected:
  // Starts the accepting thread; the derived constructor calls it last.
  void start();
  // Stops and joins the thread; the derived destructor calls it first.
  void stop();
  bool stopping() const { return stopping_.load(); }

  // Serves one connection whose handshake succeeded.
  virtual void serve(SSL* ssl) = 0;

  // Blocking helpers for serve(): they give up when the server stops or the
  // client goes away. read_some answers what arrived (empty at the end).
  std::string read_some(SSL* ssl);
  bool write_all(SSL* ssl, std::string_view bytes);

 private:
  void accept_loop();
  void handle(int fd);

  SSL_CTX* context_ = nullptr;
  int listener_ = -1;
  std::uint16_t port_ = 0;
  std::atomic<bool> stopping_{false};
  std::atomic<int> connections_{0};
  std::atomic<int> failed_handshakes_{0};
  std::thread thread_;
};

// One step of a script.
struct ScriptStep {
  enum class Kind { Send, ReadLine, Pause, Close };
  Kind kind;
  std::string bytes;                   // Send
  std::chrono::milliseconds pause{0};  // Pause

  static ScriptStep send(std::string bytes) { return {Kind::Send, std::move(bytes), {}}; }
  // Reads until a further "\r\n" has arrived.
  static ScriptStep read_line() { return {Kind::ReadLine, {}, {}}; }
  static ScriptStep wait(std::chrono::milliseconds pause) { return {Kind::Pause, {}, pause}; }
  // Ends the connection without reading what remains.
  static ScriptStep close() { return {Kind::Close, {}, {}}; }
};

// Plays `script` on every connection, then (unless it closed) keeps reading
// until the client closes, recording every byte the client sent.
class ScriptedTlsServer : public TlsTestServer {
 public:
  ScriptedTlsServer(const Identity& identity, std::vector<ScriptStep> script);
  ~ScriptedTlsServer() override;

  // What the client sent on the first connection that completed its
  // handshake, once that connection has ended; nothing when none ended
  // within `wait`.
  std::optional<std::string> received(std::chrono::milliseconds wait = std::chrono::seconds(10));

 protected:
  void serve(SSL* ssl) override;

 private:
  std::vector<ScriptStep> script_;
  std::mutex mutex_;
  std::condition_variable ended_;
  std::vector<std::string> received_;
};

// A request as the HTTPS server read it.
struct RecordedRequest {
  std::string method;
  std::string target;
  std::vector<std::pair<std::string, std::string>> headers;  // as sent
  std::string body;

  // The first header of that name (any letter case).
  std::optional<std::string> header(std::string_view name) const;
};

// Answers every request with `status` (and `extra_headers`, each a
// "Name: value" line) and closes the connection.
class HttpsRecordingServer : public TlsTestServer {
 public:
  HttpsRecordingServer(const Identity& identity, int status,
                       std::vector<std::string> extra_headers = {});
  ~HttpsRecordingServer() override;

  void set_status(int status, std::vector<std::string> extra_headers = {});
  std::vector<RecordedRequest> requests() const;

 protected:
  void serve(SSL* ssl) override;

 private:
  mutable std::mutex mutex_;
  int status_;
  std::vector<std::string> extra_headers_;
  std::vector<RecordedRequest> requests_;
};

}  // namespace kalu_net::testing
