#include "kalu_ui/secret.h"

#include <string.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <utility>

namespace kalu_ui::secret {
namespace {

std::size_t page_size() {
  static const std::size_t size = [] {
    const long page = ::sysconf(_SC_PAGESIZE);
    return page > 0 ? static_cast<std::size_t>(page) : std::size_t{4096};
  }();
  return size;
}

}  // namespace

void wipe(void* data, std::size_t size) {
  if (data != nullptr && size != 0) ::explicit_bzero(data, size);
}

void wipe(std::string& text) {
  // The whole capacity: an earlier, longer value may still sit past size().
  wipe(text.data(), text.capacity());
  text.clear();
}

LockedBytes::LockedBytes(std::size_t capacity) {
  if (capacity == 0) return;
  const std::size_t page = page_size();
  const std::size_t rounded = (capacity + page - 1) / page * page;
  void* mapped =
      ::mmap(nullptr, rounded, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (mapped == MAP_FAILED) {
    // Still overwritten on release; only not pinned or kept out of dumps.
    data_ = new char[capacity]();
    capacity_ = capacity;
    return;
  }
  data_ = static_cast<char*>(mapped);
  capacity_ = rounded;
  mapped_ = true;
  locked_ = ::mlock(data_, capacity_) == 0;
  (void)::madvise(data_, capacity_, MADV_DONTDUMP);
}

LockedBytes::~LockedBytes() { release(); }

LockedBytes::LockedBytes(LockedBytes&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)),
      capacity_(std::exchange(other.capacity_, 0)),
      mapped_(std::exchange(other.mapped_, false)),
      locked_(std::exchange(other.locked_, false)) {}

LockedBytes& LockedBytes::operator=(LockedBytes&& other) noexcept {
  if (this != &other) {
    release();
    data_ = std::exchange(other.data_, nullptr);
    capacity_ = std::exchange(other.capacity_, 0);
    mapped_ = std::exchange(other.mapped_, false);
    locked_ = std::exchange(other.locked_, false);
  }
  return *this;
}

void LockedBytes::release() {
  if (data_ == nullptr) return;
  wipe(data_, capacity_);
  if (mapped_) {
    if (locked_) ::munlock(data_, capacity_);
    ::munmap(data_, capacity_);
  } else {
    delete[] data_;
  }
  data_ = nullptr;
  capacity_ = 0;
  mapped_ = locked_ = false;
}

Exposed::Exposed(std::string_view text) {
  // One allocation of the final size, so no shorter copy is left behind.
  text_.reserve(text.size());
  text_.append(text);
}

Exposed::~Exposed() { wipe(text_); }

SecretText SecretText::copy_of(std::string_view text) {
  SecretText out = with_capacity(text.size());
  out.append(text);
  return out;
}

SecretText SecretText::with_capacity(std::size_t capacity) {
  SecretText out;
  if (capacity != 0) out.reserve(capacity);
  return out;
}

void SecretText::reserve(std::size_t size) {
  if (size < bytes_.capacity()) return;  // the zero byte fits too
  // Doubling keeps a text built byte by byte from moving at every byte.
  LockedBytes grown(std::max(size + 1, bytes_.capacity() * 2));
  std::copy_n(bytes_.data(), size_, grown.data());
  bytes_ = std::move(grown);  // the old bytes are overwritten on release
}

void SecretText::append(std::string_view bytes) {
  if (bytes.empty()) return;
  reserve(size_ + bytes.size());
  std::copy(bytes.begin(), bytes.end(), bytes_.data() + size_);
  size_ += bytes.size();
}

SecretText::SecretText(SecretText&& other) noexcept
    : bytes_(std::move(other.bytes_)), size_(std::exchange(other.size_, 0)) {}

SecretText& SecretText::operator=(SecretText&& other) noexcept {
  if (this != &other) {
    bytes_ = std::move(other.bytes_);  // the old bytes are overwritten on release
    size_ = std::exchange(other.size_, 0);
  }
  return *this;
}

SecretText& SecretText::operator=(const SecretText& other) {
  if (this != &other) *this = copy_of(other.view());
  return *this;
}

void SecretText::wipe() {
  bytes_ = LockedBytes();
  size_ = 0;
}

SecretBuffer::SecretBuffer() : bytes_(kCapacity) {}

SecretBuffer::~SecretBuffer() = default;

SecretBuffer::Access SecretBuffer::lock() { return Access(*this, std::unique_lock(mutex_)); }

std::optional<SecretBuffer::Access> SecretBuffer::try_lock() {
  std::unique_lock lock(mutex_, std::try_to_lock);
  if (!lock.owns_lock()) return std::nullopt;
  return Access(*this, std::move(lock));
}

SecretText SecretBuffer::take() {
  Access access = lock();
  SecretText out = SecretText::copy_of(access.view());
  access.clear();
  return out;
}

bool SecretBuffer::Access::replace(std::size_t start, std::size_t length, std::string_view text) {
  SecretBuffer& b = *buffer_;
  start = std::min(start, b.size_);
  length = std::min(length, b.size_ - start);
  const std::size_t size = b.size_ - length + text.size();
  if (size > kCapacity) return false;
  char* data = b.bytes_.data();
  // Move the tail to its new place, write the new text, overwrite what the
  // text no longer covers.
  std::memmove(data + start + text.size(), data + start + length, b.size_ - start - length);
  std::copy(text.begin(), text.end(), data + start);
  if (size < b.size_) wipe(data + size, b.size_ - size);
  b.size_ = size;
  return true;
}

void SecretBuffer::Access::clear() {
  wipe(buffer_->bytes_.data(), buffer_->size_);
  buffer_->size_ = 0;
}

}  // namespace kalu_ui::secret
