#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Text that holds a secret (a password, a command line carrying one, an
// authorization header). Its bytes are overwritten with zeros before the
// memory goes back to the allocator: when the text is destroyed, cleared or
// moved from, and when it has to grow, the old buffer is wiped before it is
// freed. Plain std::string gives none of this: a growing string frees its
// old buffer as it is.
namespace kalu_net {

// Overwrites `size` bytes at `data` with zeros in a way the compiler keeps.
void wipe(void* data, std::size_t size);
// Wipes the whole buffer of `text`, spare capacity included, then clears it.
void wipe(std::string& text);

class SecretText {
 public:
  SecretText() = default;
  // Room for `capacity` bytes, so that appending up to that many never
  // reallocates.
  explicit SecretText(std::size_t capacity) { text_.reserve(capacity); }
  explicit SecretText(std::string_view text) : SecretText(text.size()) { text_.append(text); }
  ~SecretText() { wipe(text_); }

  SecretText(SecretText&& other) noexcept;
  SecretText& operator=(SecretText&& other) noexcept;
  SecretText(const SecretText&) = delete;
  SecretText& operator=(const SecretText&) = delete;

  void append(std::string_view bytes);
  void append(char byte) { append(std::string_view(&byte, 1)); }
  void clear() { wipe(text_); }

  std::string_view view() const { return text_; }
  const char* c_str() const { return text_.c_str(); }
  std::size_t size() const { return text_.size(); }
  bool empty() const { return text_.empty(); }

 private:
  std::string text_;
};

}  // namespace kalu_net
