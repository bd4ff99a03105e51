#include "kalu_net/testing/pki.h"

#include <fmt/format.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <random>
#include <stdexcept>

namespace kalu_net::testing {

namespace {

using Key = std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)>;
using Cert = std::unique_ptr<X509, decltype(&X509_free)>;

[[noreturn]] void give_up(const char* step) {
  std::fprintf(stderr, "kalu_net::testing: could not %s\n", step);
  std::abort();
}

Key new_key() {
  Key key(EVP_PKEY_Q_keygen(nullptr, nullptr, "EC", "P-256"), EVP_PKEY_free);
  if (!key) give_up("make a key");
  return key;
}

void add_extension(X509* cert, X509* issuer, int nid, const char* value) {
  X509V3_CTX context;
  X509V3_set_ctx_nodb(&context);
  X509V3_set_ctx(&context, issuer, cert, nullptr, nullptr, 0);
  X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value);
  if (extension == nullptr || X509_add_ext(cert, extension, -1) != 1) give_up("add an extension");
  X509_EXTENSION_free(extension);
}

// A certificate for `key` named `common_name`, signed by `issuer_key`
// (itself when `issuer` is null).
Cert new_certificate(EVP_PKEY* key, const char* common_name, X509* issuer, EVP_PKEY* issuer_key,
                     bool authority) {
  Cert cert(X509_new(), X509_free);
  if (!cert) give_up("make a certificate");
  static std::mt19937_64 serials{std::random_device{}()};
  X509_set_version(cert.get(), 2);
  ASN1_INTEGER_set_int64(X509_get_serialNumber(cert.get()), static_cast<int64_t>(serials() >> 2));
  X509_gmtime_adj(X509_getm_notBefore(cert.get()), -3600);
  X509_gmtime_adj(X509_getm_notAfter(cert.get()), 7L * 24 * 3600);
  X509_NAME* name = X509_get_subject_name(cert.get());
  X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                             reinterpret_cast<const unsigned char*>(common_name), -1, -1, 0);
  X509_set_issuer_name(cert.get(), issuer != nullptr ? X509_get_subject_name(issuer) : name);
  X509_set_pubkey(cert.get(), key);
  X509* signer = issuer != nullptr ? issuer : cert.get();
  add_extension(cert.get(), signer, NID_subject_key_identifier, "hash");
  if (authority) {
    add_extension(cert.get(), signer, NID_basic_constraints, "critical,CA:TRUE");
    add_extension(cert.get(), signer, NID_key_usage, "critical,keyCertSign,cRLSign");
  } else {
    add_extension(cert.get(), signer, NID_authority_key_identifier, "keyid");
    add_extension(cert.get(), signer, NID_basic_constraints, "critical,CA:FALSE");
    add_extension(cert.get(), signer, NID_ext_key_usage, "serverAuth");
    add_extension(cert.get(), signer, NID_subject_alt_name, "DNS:localhost,IP:127.0.0.1");
  }
  if (X509_sign(cert.get(), issuer_key, EVP_sha256()) == 0) give_up("sign a certificate");
  return cert;
}

std::string pem_of(X509* cert) {
  std::unique_ptr<BIO, decltype(&BIO_free)> out(BIO_new(BIO_s_mem()), BIO_free);
  PEM_write_bio_X509(out.get(), cert);
  char* data = nullptr;
  long length = BIO_get_mem_data(out.get(), &data);
  return std::string(data, static_cast<std::size_t>(length));
}

std::string pem_of(EVP_PKEY* key) {
  std::unique_ptr<BIO, decltype(&BIO_free)> out(BIO_new(BIO_s_mem()), BIO_free);
  PEM_write_bio_PrivateKey(out.get(), key, nullptr, nullptr, 0, nullptr, nullptr);
  char* data = nullptr;
  long length = BIO_get_mem_data(out.get(), &data);
  return std::string(data, static_cast<std::size_t>(length));
}

struct Authority {
  Key key = new_key();
  Cert cert;
  explicit Authority(const char* name)
      : cert(new_certificate(key.get(), name, nullptr, key.get(), true)) {}

  Identity issue_localhost() const {
    Key server_key = new_key();
    Cert server = new_certificate(server_key.get(), "localhost", cert.get(), key.get(), false);
    return Identity{pem_of(server.get()), pem_of(server_key.get())};
  }
};

// Removes the temporary directory when the process ends.
struct TemporaryDirectory {
  std::filesystem::path path;
  TemporaryDirectory() {
    std::string pattern = (std::filesystem::temp_directory_path() / "kalu-net-pki-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) give_up("make a temporary directory");
    path = pattern;
  }
  ~TemporaryDirectory() {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
  }
};

TestPki generate(const std::filesystem::path& directory) {
  Authority trusted("Kalu Test Authority");
  Authority stranger("Kalu Stranger Authority");
  TestPki pki;
  pki.trusted_ca_pem = pem_of(trusted.cert.get());
  pki.localhost = trusted.issue_localhost();
  pki.untrusted_localhost = stranger.issue_localhost();
  pki.trusted_ca_file = directory / "trusted-ca.pem";
  std::ofstream(pki.trusted_ca_file) << pki.trusted_ca_pem;
  return pki;
}

}  // namespace

const TestPki& test_pki() {
  static TemporaryDirectory directory;
  static const TestPki pki = generate(directory.path);
  return pki;
}

void trust_test_ca() {
  const TestPki& pki = test_pki();
  ::setenv("SSL_CERT_FILE", pki.trusted_ca_file.c_str(), 1);
  // A directory without hashed certificate names: nothing is found there,
  // where the default directory would add the machine's own roots.
  ::setenv("SSL_CERT_DIR", pki.trusted_ca_file.parent_path().c_str(), 1);
}

}  // namespace kalu_net::testing
