#include "kalu_net/http.h"

#include <curl/curl.h>
#include <dlfcn.h>
#include <fmt/format.h>
#include <openssl/evp.h>
#include <openssl/ssl.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <memory>
#include <mutex>

#include "kalu_net/tls.h"

namespace kalu_net::http {

using kalu_ui::secret::SecretText;
using kalu_ui::secret::wipe;

namespace {

constexpr std::string_view kTokenPunctuation = "!#$%&'*+-.^_`|~";

bool is_token(std::string_view text) {
  return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
    return std::isalnum(static_cast<unsigned char>(c)) ||
           kTokenPunctuation.find(c) != std::string_view::npos;
  });
}

bool has_line_break(std::string_view text) {
  return text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

// libcurl, and the two dozen libraries it brings along (HTTP/2, IDN, LDAP,
// SSH, Kerberos ...), are loaded the first time a URL is parsed or a client
// built, not when the program starts: most runs make neither, and every
// start is spared the loader's work and the pages those libraries take.
// The functions are the library's own, reached through its symbols.
struct Curl {
  decltype(&::curl_global_init) global_init = nullptr;
  decltype(&::curl_easy_strerror) easy_strerror = nullptr;
  decltype(&::curl_easy_init) easy_init = nullptr;
  decltype(&::curl_easy_setopt) easy_setopt = nullptr;
  decltype(&::curl_easy_perform) easy_perform = nullptr;
  decltype(&::curl_easy_getinfo) easy_getinfo = nullptr;
  decltype(&::curl_easy_cleanup) easy_cleanup = nullptr;
  decltype(&::curl_slist_append) slist_append = nullptr;
  decltype(&::curl_slist_free_all) slist_free_all = nullptr;
  decltype(&::curl_url) url = nullptr;
  decltype(&::curl_url_set) url_set = nullptr;
  decltype(&::curl_url_get) url_get = nullptr;
  decltype(&::curl_url_strerror) url_strerror = nullptr;
  decltype(&::curl_url_cleanup) url_cleanup = nullptr;
  decltype(&::curl_free) free = nullptr;
};

// The soname of libcurl's ABI, unchanged since 2006.
constexpr const char* kCurlLibrary = "libcurl.so.4";

template <typename F>
bool find_symbol(void* library, const char* name, F& into) {
  into = reinterpret_cast<F>(::dlsym(library, name));
  return into != nullptr;
}

kalu_ui::Result<Curl> load_curl() {
  // Kept for the life of the process: its functions stay in use.
  void* library = ::dlopen(kCurlLibrary, RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) {
    const char* why = ::dlerror();
    return kalu_ui::fail("cannot load {}: {}", kCurlLibrary, why ? why : "unknown");
  }
  Curl c;
  const bool complete = find_symbol(library, "curl_global_init", c.global_init) &&
                        find_symbol(library, "curl_easy_strerror", c.easy_strerror) &&
                        find_symbol(library, "curl_easy_init", c.easy_init) &&
                        find_symbol(library, "curl_easy_setopt", c.easy_setopt) &&
                        find_symbol(library, "curl_easy_perform", c.easy_perform) &&
                        find_symbol(library, "curl_easy_getinfo", c.easy_getinfo) &&
                        find_symbol(library, "curl_easy_cleanup", c.easy_cleanup) &&
                        find_symbol(library, "curl_slist_append", c.slist_append) &&
                        find_symbol(library, "curl_slist_free_all", c.slist_free_all) &&
                        find_symbol(library, "curl_url", c.url) &&
                        find_symbol(library, "curl_url_set", c.url_set) &&
                        find_symbol(library, "curl_url_get", c.url_get) &&
                        find_symbol(library, "curl_url_strerror", c.url_strerror) &&
                        find_symbol(library, "curl_url_cleanup", c.url_cleanup) &&
                        find_symbol(library, "curl_free", c.free);
  if (!complete) return kalu_ui::fail("{} lacks a function this client uses", kCurlLibrary);
  // curl_global_init is not safe to race with itself or with other curl
  // calls on older libraries: it runs here, once, before any other call.
  if (CURLcode code = c.global_init(CURL_GLOBAL_DEFAULT); code != CURLE_OK) {
    return kalu_ui::fail(c.easy_strerror(code));
  }
  return c;
}

// The library, loaded on first use (once, whichever thread asks first).
kalu_ui::Result<const Curl*> curl() {
  static const kalu_ui::Result<Curl> loaded = load_curl();
  if (!loaded) return kalu_ui::fail(loaded.error());
  return &*loaded;
}

// Only called with handles that exist, so the library is loaded already.
const Curl& loaded_curl() { return **curl(); }

struct CurlUrlFree {
  void operator()(CURLU* url) const { loaded_curl().url_cleanup(url); }
};
struct CurlEasyFree {
  void operator()(CURL* handle) const { loaded_curl().easy_cleanup(handle); }
};
// Header lines may carry the authorization: wipe every line before freeing.
struct HeaderListFree {
  void operator()(curl_slist* list) const {
    for (curl_slist* line = list; line != nullptr; line = line->next) {
      if (line->data != nullptr) wipe(line->data, std::strlen(line->data));
    }
    if (list != nullptr) loaded_curl().slist_free_all(list);
  }
};
using HeaderList = std::unique_ptr<curl_slist, HeaderListFree>;

// A part of a parsed URL, or nothing when curl has none. The copy curl made
// is wiped before it is freed: it may be a password.
std::optional<std::string> url_part(CURLU* url, CURLUPart part) {
  char* value = nullptr;
  const Curl& c = loaded_curl();
  if (c.url_get(url, part, &value, 0) != CURLUE_OK || value == nullptr) return std::nullopt;
  std::string text(value);
  wipe(value, text.size());
  c.free(value);
  return text;
}

size_t discard_body(char*, size_t size, size_t count, void*) { return size * count; }

// Replaces whatever store curl set up with the system roots, so that curl's
// compiled-in bundle path plays no part in what is trusted.
CURLcode install_roots(CURL*, void* ssl_context, void* store) {
  SSL_CTX_set1_cert_store(static_cast<SSL_CTX*>(ssl_context), static_cast<X509_STORE*>(store));
  return CURLE_OK;
}

bool names_header(const Request& request, std::string_view name) {
  return std::any_of(request.headers().begin(), request.headers().end(), [&](const auto& header) {
    return std::equal(header.first.begin(), header.first.end(), name.begin(), name.end(),
                      [](char a, char b) { return std::tolower(a) == std::tolower(b); });
  });
}

kalu_ui::Result<HeaderList> header_list(const Request& request) {
  HeaderList list;
  auto add = [&](const char* line) {
    curl_slist* grown = loaded_curl().slist_append(list.get(), line);
    if (grown == nullptr) return false;
    (void)list.release();
    list.reset(grown);
    return true;
  };
  bool ok = true;
  for (const auto& [name, value] : request.headers()) {
    ok = ok && add(fmt::format("{}: {}", name, value).c_str());
  }
  if (request.authorization()) ok = ok && add(request.authorization()->c_str());
  // curl would otherwise label a body as a form and ask the server to accept
  // it before sending it.
  if (!request.body_bytes().empty() && !names_header(request, "Content-Type")) {
    ok = ok && add("Content-Type:");
  }
  ok = ok && add("Expect:");
  if (!ok) return kalu_ui::fail("out of memory");
  return list;
}

}  // namespace

kalu_ui::Result<Method> Method::parse(std::string_view text) {
  if (!is_token(text)) return kalu_ui::fail("invalid HTTP method");
  return Method(std::string(text));
}

kalu_ui::Result<Url> Url::parse(std::string_view text) {
  if (text.find('\0') != std::string_view::npos) return kalu_ui::fail("invalid URL");
  auto c = curl();
  if (!c) return std::unexpected(c.error());
  std::unique_ptr<CURLU, CurlUrlFree> parsed((*c)->url());
  if (!parsed) return kalu_ui::fail("out of memory");
  std::string owned(text);
  CURLUcode code =
      (*c)->url_set(parsed.get(), CURLUPART_URL, owned.c_str(), CURLU_NON_SUPPORT_SCHEME);
  if (code != CURLUE_OK) return kalu_ui::fail((*c)->url_strerror(code));
  Url url;
  url.text_ = url_part(parsed.get(), CURLUPART_URL).value_or("");
  url.scheme_ = url_part(parsed.get(), CURLUPART_SCHEME).value_or("");
  std::transform(url.scheme_.begin(), url.scheme_.end(), url.scheme_.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  auto user = url_part(parsed.get(), CURLUPART_USER);
  auto password = url_part(parsed.get(), CURLUPART_PASSWORD);
  url.has_credentials_ = (user && !user->empty()) || (password && !password->empty());
  if (password) wipe(*password);
  return url;
}

Request& Request::header(std::string_view name, std::string_view value) {
  headers_.emplace_back(std::string(name), std::string(value));
  return *this;
}

Request& Request::body(std::string bytes) {
  body_ = std::move(bytes);
  return *this;
}

Request& Request::basic_auth(std::string_view user, std::string_view password) {
  SecretText pair = SecretText::with_capacity(user.size() + 1 + password.size());
  pair.append(user);
  pair.append(':');
  pair.append(password);
  std::string encoded(4 * ((pair.size() + 2) / 3) + 1, '\0');
  int length = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(encoded.data()),
                               reinterpret_cast<const unsigned char*>(pair.view().data()),
                               static_cast<int>(pair.size()));
  constexpr std::string_view kPrefix = "Authorization: Basic ";
  SecretText line =
      SecretText::with_capacity(kPrefix.size() + static_cast<std::size_t>(std::max(length, 0)));
  line.append(kPrefix);
  line.append(std::string_view(encoded.data(), static_cast<std::size_t>(std::max(length, 0))));
  wipe(encoded);
  authorization_ = std::move(line);
  return *this;
}

ClientBuilder& ClientBuilder::timeout(std::chrono::milliseconds limit) {
  timeout_ = limit;
  return *this;
}

ClientBuilder& ClientBuilder::connect_timeout(std::chrono::milliseconds limit) {
  connect_timeout_ = limit;
  return *this;
}

kalu_ui::Result<Client> ClientBuilder::build() const {
  if (timeout_.count() < 0 || connect_timeout_.count() < 0) {
    return kalu_ui::fail("a time limit is negative");
  }
  if (auto ready = curl(); !ready) return std::unexpected(ready.error());
  Client client;
  client.timeout_ = timeout_;
  client.connect_timeout_ = connect_timeout_;
  return client;
}

ClientBuilder blocking_client() { return ClientBuilder(); }

kalu_ui::Result<Response> Client::send(const Request& request) const {
  for (const auto& [name, value] : request.headers()) {
    if (!is_token(name) || has_line_break(value)) {
      return kalu_ui::fail("invalid header \"{}\"", name);
    }
  }
  // A client exists only once the library was loaded (build()).
  const Curl& c = loaded_curl();
  std::unique_ptr<CURL, CurlEasyFree> curl(c.easy_init());
  if (!curl) return kalu_ui::fail("could not start an HTTP transfer");
  auto headers = header_list(request);
  if (!headers) return std::unexpected(headers.error());
  char error_text[CURL_ERROR_SIZE] = {};
  CURL* handle = curl.get();

  c.easy_setopt(handle, CURLOPT_URL, request.url().text().c_str());
  c.easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "http,https");
  c.easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
  c.easy_setopt(handle, CURLOPT_VERBOSE, 0L);
  c.easy_setopt(handle, CURLOPT_FOLLOWLOCATION, 0L);
  c.easy_setopt(handle, CURLOPT_TIMEOUT_MS, static_cast<long>(timeout_.count()));
  c.easy_setopt(handle, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(connect_timeout_.count()));
  c.easy_setopt(handle, CURLOPT_SSLVERSION, static_cast<long>(CURL_SSLVERSION_TLSv1_2));
  c.easy_setopt(handle, CURLOPT_SSL_VERIFYPEER, 1L);
  c.easy_setopt(handle, CURLOPT_SSL_VERIFYHOST, 2L);
  c.easy_setopt(handle, CURLOPT_CAINFO, nullptr);
  c.easy_setopt(handle, CURLOPT_CAPATH, nullptr);
  c.easy_setopt(handle, CURLOPT_CA_CACHE_TIMEOUT, 0L);
  c.easy_setopt(handle, CURLOPT_SSL_CTX_FUNCTION, install_roots);
  c.easy_setopt(handle, CURLOPT_SSL_CTX_DATA, system_roots().native());
  c.easy_setopt(handle, CURLOPT_ERRORBUFFER, error_text);
  c.easy_setopt(handle, CURLOPT_WRITEFUNCTION, discard_body);
  c.easy_setopt(handle, CURLOPT_HTTPHEADER, headers->get());

  const std::string& method = request.method().text();
  if (method == "HEAD") {
    c.easy_setopt(handle, CURLOPT_NOBODY, 1L);
  } else if (method != "GET" || !request.body_bytes().empty()) {
    if (!request.body_bytes().empty() || method == "POST") {
      c.easy_setopt(handle, CURLOPT_POSTFIELDS, request.body_bytes().data());
      c.easy_setopt(handle, CURLOPT_POSTFIELDSIZE_LARGE,
                    static_cast<curl_off_t>(request.body_bytes().size()));
    }
    c.easy_setopt(handle, CURLOPT_CUSTOMREQUEST, method.c_str());
  }

  CURLcode code = c.easy_perform(handle);
  if (code == CURLE_PEER_FAILED_VERIFICATION)
    return kalu_ui::fail(std::string(kUntrustedCertificate));
  if (code != CURLE_OK) {
    return kalu_ui::fail(error_text[0] != '\0' ? std::string(error_text)
                                               : std::string(c.easy_strerror(code)));
  }
  Response response;
  c.easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &response.status);
  return response;
}

}  // namespace kalu_net::http
