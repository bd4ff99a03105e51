#pragma once

#include <sys/stat.h>

#include <cstddef>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "kalu_ui/result.h"

// The one way this program reads a file whole. The file is opened without
// blocking and checked before a byte is read: anything but a regular file (a
// FIFO with no writer, a link to /dev/zero, a directory, a socket) is refused
// at once, as is a file past the caller's size bound, judged from its size
// alone; the read itself never goes more than one byte past the bound, so a
// file that grows while it is read is refused too. A missing file is no
// error: the answer is then nothing, since "nothing stored yet" is what most
// callers make of it.
//
// Errors are the reason alone ("not a regular file (a FIFO)", "larger than
// 1048576 bytes", "Permission denied"); read_error makes the message a caller
// shows: "<what> could not be read: <reason>".
namespace safe_write {

enum class Links {
  kFollow,  // a symbolic link in the file's place is followed
  kRefuse,  // a symbolic link in the file's place is refused (O_NOFOLLOW)
};

// "<what> could not be read: <reason>".
std::string read_error(std::string_view what, std::string_view reason);

// The reason given for a file past `max_bytes`.
std::string too_large(std::size_t max_bytes);

// An open regular file, closed when it goes.
class ReadableFile {
 public:
  // Opens `path` for reading: nothing when there is no file; an error when
  // it is not a regular file or cannot be opened.
  static kalu_ui::Result<std::optional<ReadableFile>> open(const std::filesystem::path& path,
                                                           Links links = Links::kFollow);

  ReadableFile(ReadableFile&& other) noexcept;
  ReadableFile& operator=(ReadableFile&& other) noexcept;
  ReadableFile(const ReadableFile&) = delete;
  ReadableFile& operator=(const ReadableFile&) = delete;
  ~ReadableFile();

  // The status taken when the file was opened.
  const struct stat& status() const { return status_; }

  // The rest of the file, handed to `sink` chunk by chunk; fails when it
  // goes past `max_bytes` (the size at opening is checked first). The chunk
  // buffer is wiped afterwards, so a secret leaves no copy behind.
  kalu_ui::Status read_into(std::size_t max_bytes,
                            const std::function<void(std::string_view chunk)>& sink);

  // The rest of the file as text, as read_into.
  kalu_ui::Result<std::string> read_to_end(std::size_t max_bytes);

 private:
  ReadableFile(int fd, const struct stat& status) : fd_(fd), status_(status) {}
  int fd_ = -1;
  struct stat status_ {};
};

// The whole file at `path`, at most `max_bytes`; nothing when it does not
// exist.
kalu_ui::Result<std::optional<std::string>> read_bounded(const std::filesystem::path& path,
                                                         std::size_t max_bytes,
                                                         Links links = Links::kFollow);

// What tells one version of a file from another without reading it: device,
// inode, size, modification and change times.
struct FileStamp {
  dev_t device = 0;
  ino_t inode = 0;
  off_t size = 0;
  timespec modified{};
  timespec changed{};

  static FileStamp of(const struct stat& st);
  bool operator==(const FileStamp& other) const;
  // False for a file written within the last second or so: a write within
  // the same tick of the file system's clock could keep its times, so such a
  // stamp does not prove the content unchanged.
  bool settled() const;
};

// A cache of files read per request: each read costs an open and a fstat,
// and the bytes are read again only when the file's stamp changed (or had
// not settled). Any thread.
class ReadCache {
 public:
  explicit ReadCache(std::size_t max_entries = 8);
  ~ReadCache();
  ReadCache(const ReadCache&) = delete;
  ReadCache& operator=(const ReadCache&) = delete;

  // read_bounded through the cache: the same text object while the file
  // stays the same; null when there is no file.
  kalu_ui::Result<std::shared_ptr<const std::string>> read(const std::filesystem::path& path,
                                                           std::size_t max_bytes);

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace safe_write
