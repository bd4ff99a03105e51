#pragma once

#include <filesystem>
#include <string>

// Certificates made at test time for loopback TLS servers, so no test ships
// or trusts a fixed key. Any test folder may link kalu_net_testing.
namespace kalu_net::testing {

// A private key and its certificate, both PEM.
struct Identity {
  std::string certificate_pem;
  std::string key_pem;
};

// Made once per process: a trusted authority, an authority nobody trusts,
// and a server identity issued by each, valid for the DNS name "localhost"
// and the address 127.0.0.1.
struct TestPki {
  std::string trusted_ca_pem;
  // A PEM file holding only the trusted authority; hand it to a program as
  // SSL_CERT_FILE.
  std::filesystem::path trusted_ca_file;
  Identity localhost;
  Identity untrusted_localhost;
};

// Generated on first use (thread-safe). Its files live in a temporary
// directory that is removed when the process exits. Aborts the test process
// when OpenSSL cannot make the certificates.
const TestPki& test_pki();

// Points SSL_CERT_FILE at the trusted authority and SSL_CERT_DIR at a
// directory without certificates, so that kalu_net::system_roots(), when
// first loaded after this, trusts that authority and nothing else. Call it while the process has
// one thread and before anything has loaded the roots (a test suite's SetUpTestSuite).
void trust_test_ca();

}  // namespace kalu_net::testing
