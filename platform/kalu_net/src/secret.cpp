#include "kalu_net/secret.h"

#include <openssl/crypto.h>

#include <algorithm>
#include <utility>

namespace kalu_net {

void wipe(void* data, std::size_t size) {
  if (data != nullptr && size > 0) OPENSSL_cleanse(data, size);
}

void wipe(std::string& text) {
  // The buffer may hold bytes past size() from earlier contents; the
  // terminating byte is the string's own and stays writable.
  wipe(text.data(), text.capacity());
  text.clear();
}

SecretText::SecretText(SecretText&& other) noexcept {
  // Moving a short string copies it out of the other's inline buffer; wiping
  // the other afterwards covers both the inline and the heap case.
  text_.reserve(other.text_.capacity());
  text_.append(other.text_);
  wipe(other.text_);
}

SecretText& SecretText::operator=(SecretText&& other) noexcept {
  if (this != &other) {
    wipe(text_);
    if (text_.capacity() < other.text_.size()) {
      SecretText grown(other.text_.capacity());
      std::swap(text_, grown.text_);
    }
    text_.append(other.text_);
    wipe(other.text_);
  }
  return *this;
}

void SecretText::append(std::string_view bytes) {
  std::size_t needed = text_.size() + bytes.size();
  if (needed > text_.capacity()) {
    // Grow by hand so the old buffer is wiped rather than freed as it is.
    std::string grown;
    grown.reserve(std::max(needed, text_.capacity() * 2));
    grown.append(text_);
    wipe(text_);
    std::swap(text_, grown);
  }
  text_.append(bytes);
}

}  // namespace kalu_net
