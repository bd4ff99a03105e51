#pragma once

#include <cstddef>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

// Secret text (passwords, PINs) kept out of everything that may outlive or
// leave the process: its bytes live in page-sized memory of their own that is
// locked in RAM where the system allows it (mlock, so it is never swapped),
// left out of core dumps, and overwritten before it is released or emptied.
//
// Two holders:
//   - SecretBuffer: the shared, lock-guarded buffer a password field edits in
//     place (TextInput::from_secret). Its owner takes the text out with
//     `take`, which hands over a SecretText and empties the buffer.
//   - SecretText: every other secret of the program and its libraries (a
//     typed password on its way to a worker, a vault's entry, a command line
//     or a header carrying a credential). Every copy lives in memory of its
//     own and is overwritten when it is wiped, moved from or destroyed; when
//     it grows, its old bytes are overwritten before they are released.
// A platform call that only takes a std::string gets one through `expose`,
// whose copy is overwritten when the exposure ends. Buffers of plain bytes
// (keys, plaintext) that must not leave copies use WipingAllocator.
//
// Neither holder can be printed or formatted: a secret reaches a log, a
// message or a document only by someone calling `view`.
//
// Locking memory may be refused (RLIMIT_MEMLOCK); the bytes are then still
// overwritten and kept out of dumps, only not pinned. Nothing here logs.
namespace kalu_ui::secret {

// Overwrites `size` bytes in a way the compiler keeps.
void wipe(void* data, std::size_t size);
// Overwrites the string's whole storage, then empties it.
void wipe(std::string& text);

// An allocator that overwrites memory before handing it back, for a
// std::vector of secret bytes: its growth leaves no copy behind.
template <typename T>
struct WipingAllocator {
  using value_type = T;
  WipingAllocator() = default;
  template <typename U>
  WipingAllocator(const WipingAllocator<U>&) {}
  T* allocate(std::size_t n) { return std::allocator<T>().allocate(n); }
  void deallocate(T* p, std::size_t n) {
    wipe(p, n * sizeof(T));
    std::allocator<T>().deallocate(p, n);
  }
  template <typename U>
  bool operator==(const WipingAllocator<U>&) const {
    return true;
  }
};

// Page-aligned memory for secret bytes, as described above. Move-only.
class LockedBytes {
 public:
  LockedBytes() = default;
  // At least `capacity` bytes (rounded up to whole pages; none for 0).
  explicit LockedBytes(std::size_t capacity);
  ~LockedBytes();
  LockedBytes(LockedBytes&& other) noexcept;
  LockedBytes& operator=(LockedBytes&& other) noexcept;
  LockedBytes(const LockedBytes&) = delete;
  LockedBytes& operator=(const LockedBytes&) = delete;

  char* data() { return data_; }
  const char* data() const { return data_; }
  std::size_t capacity() const { return capacity_; }
  // Whether the memory is pinned in RAM.
  bool locked() const { return locked_; }

 private:
  void release();

  char* data_ = nullptr;
  std::size_t capacity_ = 0;
  bool mapped_ = false;
  bool locked_ = false;
};

// A std::string copy of a secret for a call that takes nothing else; the copy
// is overwritten when this goes away. Keep it no longer than the call.
class Exposed {
 public:
  explicit Exposed(std::string_view text);
  ~Exposed();
  Exposed(const Exposed&) = delete;
  Exposed& operator=(const Exposed&) = delete;

  const std::string& str() const { return text_; }

 private:
  std::string text_;
};

// One owned secret; a moved-from SecretText is empty. A copy takes memory of
// its own (none for an empty text), so records that carry a secret stay
// plain values. The bytes past the text are always zero, so `c_str` needs no
// copy.
class SecretText {
 public:
  SecretText() = default;
  static SecretText copy_of(std::string_view text);
  // Empty, with room for `capacity` bytes: appending up to that many never
  // moves the text.
  static SecretText with_capacity(std::size_t capacity);
  ~SecretText() { wipe(); }
  SecretText(SecretText&& other) noexcept;
  SecretText& operator=(SecretText&& other) noexcept;
  SecretText(const SecretText& other) : SecretText(copy_of(other.view())) {}
  SecretText& operator=(const SecretText& other);

  std::string_view view() const { return {bytes_.data(), size_}; }
  // The text followed by a zero byte, for a C interface.
  const char* c_str() const { return bytes_.data() ? bytes_.data() : ""; }
  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  bool operator==(const SecretText& other) const { return view() == other.view(); }
  // A std::string copy for one call (see Exposed).
  Exposed expose() const { return Exposed(view()); }

  // Appends; when the room runs out the text moves to larger memory and the
  // old is overwritten.
  void append(std::string_view bytes);
  void append(char byte) { append(std::string_view(&byte, 1)); }
  // Overwrites the text and empties it.
  void wipe();

 private:
  // Memory for at least `size` bytes and the zero byte after them.
  void reserve(std::size_t size);

  LockedBytes bytes_;
  std::size_t size_ = 0;
};

// The text a secret field edits in place, shared by the field and its owner
// and guarded by a lock. It holds at most kCapacity bytes: an edit that would
// pass that is refused whole. Every replaced or removed byte is overwritten.
class SecretBuffer {
 public:
  static constexpr std::size_t kCapacity = 1024;

  static std::shared_ptr<SecretBuffer> create() { return std::make_shared<SecretBuffer>(); }
  SecretBuffer();
  ~SecretBuffer();
  SecretBuffer(const SecretBuffer&) = delete;
  SecretBuffer& operator=(const SecretBuffer&) = delete;

  // The buffer while its lock is held.
  class Access {
   public:
    std::string_view view() const { return {buffer_->bytes_.data(), buffer_->size_}; }
    std::size_t size() const { return buffer_->size_; }
    bool empty() const { return buffer_->size_ == 0; }
    // Replaces `length` bytes at `start` (both clamped to the text) with
    // `text`; false, changing nothing, when the result would not fit.
    bool replace(std::size_t start, std::size_t length, std::string_view text);
    bool assign(std::string_view text) { return replace(0, buffer_->size_, text); }
    // Overwrites the text and empties the buffer.
    void clear();

   private:
    friend class SecretBuffer;
    Access(SecretBuffer& buffer, std::unique_lock<std::mutex> lock)
        : buffer_(&buffer), lock_(std::move(lock)) {}
    SecretBuffer* buffer_;
    std::unique_lock<std::mutex> lock_;
  };

  // Waits for the lock.
  Access lock();
  // None when another holder has the lock.
  std::optional<Access> try_lock();

  // Takes the text out (a copy of its own) and empties the buffer.
  SecretText take();
  void clear() { lock().clear(); }
  bool empty() { return lock().empty(); }
  bool memory_locked() const { return bytes_.locked(); }

 private:
  std::mutex mutex_;
  LockedBytes bytes_;
  std::size_t size_ = 0;
};

}  // namespace kalu_ui::secret
