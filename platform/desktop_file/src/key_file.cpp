#include "desktop_file/key_file.h"

#include <fcntl.h>
#include <fmt/format.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "limited_exec/text.h"

namespace desktop_file {
namespace {

bool is_blank(char c) { return c == ' ' || c == '\t'; }

std::string_view trim_blank_front(std::string_view s) {
  while (!s.empty() && is_blank(s.front())) s.remove_prefix(1);
  return s;
}

std::string_view trim_blank_back(std::string_view s) {
  while (!s.empty() && is_blank(s.back())) s.remove_suffix(1);
  return s;
}

// Desktop entries use letters, digits and "-"; mimeapps.list keys are MIME
// types ("application/vnd.ms-excel"), so any printable character but the
// brackets and "=" is taken.
bool is_key_char(char c) {
  return static_cast<unsigned char>(c) > 0x20 && c != 0x7f && c != '[' && c != ']' && c != '=';
}

// "Key" or "Key[locale]" (locale: any printable text without brackets).
bool valid_key(std::string_view key) {
  std::size_t i = 0;
  while (i < key.size() && is_key_char(key[i])) ++i;
  if (i == 0) return false;
  if (i == key.size()) return true;
  if (key[i] != '[' || key.back() != ']' || key.size() - i < 3) return false;
  for (char c : key.substr(i + 1, key.size() - i - 2)) {
    if (c == '[' || c == ']' || static_cast<unsigned char>(c) < 0x20) return false;
  }
  return true;
}

bool valid_group_name(std::string_view name) {
  if (name.empty()) return false;
  for (char c : name) {
    if (c == '[' || c == ']' || static_cast<unsigned char>(c) < 0x20 || c == 0x7f) return false;
  }
  return true;
}

// Splits a raw list value at unescaped ";" and keeps "\;" as an escaped
// semicolon for the element decoder.
std::vector<std::string> split_list(std::string_view raw) {
  std::vector<std::string> parts;
  std::string current;
  for (std::size_t i = 0; i < raw.size(); ++i) {
    if (raw[i] == '\\' && i + 1 < raw.size()) {
      current += raw[i];
      current += raw[++i];
    } else if (raw[i] == ';') {
      parts.push_back(std::move(current));
      current.clear();
    } else {
      current += raw[i];
    }
  }
  if (!current.empty()) parts.push_back(std::move(current));
  return parts;
}

std::string errno_text(int error) { return std::strerror(error); }

}  // namespace

std::string unescape_value(std::string_view raw) {
  std::string out;
  out.reserve(raw.size());
  for (std::size_t i = 0; i < raw.size(); ++i) {
    if (raw[i] != '\\' || i + 1 == raw.size()) {
      out += raw[i];
      continue;
    }
    const char next = raw[++i];
    switch (next) {
      case 's':
        out += ' ';
        break;
      case 'n':
        out += '\n';
        break;
      case 't':
        out += '\t';
        break;
      case 'r':
        out += '\r';
        break;
      case '\\':
        out += '\\';
        break;
      case ';':
        out += ';';
        break;
      default:
        out += '\\';
        out += next;
    }
  }
  return out;
}

KeyFile KeyFile::parse(std::string_view text) {
  KeyFile file;
  file.final_newline_ = text.empty() || text.back() == '\n';
  std::optional<std::size_t> current_group;
  std::size_t number = 0;
  while (!text.empty()) {
    const auto end = text.find('\n');
    Line line;
    line.text = std::string(text.substr(0, end));
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    ++number;

    std::string_view body = line.text;
    if (!body.empty() && body.back() == '\r') body.remove_suffix(1);
    body = trim_blank_front(body);
    if (body.empty() || body.front() == '#') {
      line.kind = Kind::Other;
    } else if (body.front() == '[') {
      const std::string_view header = trim_blank_back(body);
      const std::string_view name = header.substr(1, header.size() - 1);
      if (header.back() == ']' && valid_group_name(name.substr(0, name.size() - 1))) {
        const std::string group(name.substr(0, name.size() - 1));
        auto index = file.group_index(group);
        if (!index) {
          index = file.groups_.size();
          file.groups_.push_back(group);
        }
        line.kind = Kind::Group;
        line.group = *index;
        current_group = *index;
      } else {
        line.kind = Kind::Malformed;
      }
    } else if (const auto eq = body.find('='); eq != std::string_view::npos && current_group &&
                                               valid_key(trim_blank_back(body.substr(0, eq)))) {
      line.kind = Kind::Entry;
      line.group = *current_group;
      line.key = std::string(trim_blank_back(body.substr(0, eq)));
      line.value = std::string(trim_blank_front(body.substr(eq + 1)));
    } else {
      line.kind = Kind::Malformed;
    }
    if (line.kind == Kind::Malformed && !file.first_malformed_) file.first_malformed_ = number;
    file.lines_.push_back(std::move(line));
  }
  return file;
}

std::optional<std::size_t> KeyFile::group_index(std::string_view group) const {
  for (std::size_t i = 0; i < groups_.size(); ++i) {
    if (groups_[i] == group) return i;
  }
  return std::nullopt;
}

const KeyFile::Line* KeyFile::find(std::string_view group, std::string_view key) const {
  const auto index = group_index(group);
  if (!index) return nullptr;
  for (const Line& line : lines_) {
    if (line.kind == Kind::Entry && line.group == *index && line.key == key) return &line;
  }
  return nullptr;
}

bool KeyFile::has_group(std::string_view group) const { return group_index(group).has_value(); }

std::optional<std::string> KeyFile::raw(std::string_view group, std::string_view key) const {
  const Line* line = find(group, key);
  if (line == nullptr) return std::nullopt;
  return limited_exec::decode_lossy(line->value);
}

std::optional<std::string> KeyFile::string(std::string_view group, std::string_view key) const {
  auto value = raw(group, key);
  if (!value) return std::nullopt;
  return unescape_value(*value);
}

std::optional<bool> KeyFile::boolean(std::string_view group, std::string_view key) const {
  const auto value = raw(group, key);
  if (value == "true") return true;
  if (value == "false") return false;
  return std::nullopt;
}

std::vector<std::string> KeyFile::list(std::string_view group, std::string_view key) const {
  const auto value = raw(group, key);
  if (!value) return {};
  std::vector<std::string> items = split_list(*value);
  for (std::string& item : items) item = unescape_value(item);
  return items;
}

void KeyFile::set_raw(std::string_view group, std::string_view key, std::string_view raw_value) {
  Line entry;
  entry.kind = Kind::Entry;
  entry.key = std::string(key);
  entry.value = std::string(raw_value);
  entry.text = fmt::format("{}={}", key, raw_value);

  const auto index = group_index(group);
  if (index) {
    entry.group = *index;
    for (Line& line : lines_) {
      if (line.kind == Kind::Entry && line.group == *index && line.key == key) {
        line = std::move(entry);
        return;
      }
    }
    // After the last entry of the group's first section (or its header).
    std::size_t at = 0;
    bool inside = false;
    for (std::size_t i = 0; i < lines_.size(); ++i) {
      if (lines_[i].kind == Kind::Group) {
        if (inside) break;
        if (lines_[i].group == *index) {
          inside = true;
          at = i + 1;
        }
      } else if (inside && lines_[i].kind == Kind::Entry) {
        at = i + 1;
      }
    }
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at), std::move(entry));
    return;
  }

  if (!lines_.empty() && !trim_blank_front(lines_.back().text).empty()) lines_.push_back(Line{});
  Line header;
  header.kind = Kind::Group;
  header.group = groups_.size();
  header.text = fmt::format("[{}]", group);
  groups_.emplace_back(group);
  entry.group = header.group;
  lines_.push_back(std::move(header));
  lines_.push_back(std::move(entry));
  final_newline_ = true;
}

std::string KeyFile::text() const {
  std::string out;
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    out += lines_[i].text;
    if (i + 1 < lines_.size() || final_newline_) out += '\n';
  }
  return out;
}

kalu_ui::Result<std::optional<std::string>> read_small_file(const std::filesystem::path& path,
                                                            std::size_t max_bytes) {
  // O_NONBLOCK: opening a FIFO placed where a file is expected must not wait
  // for a writer.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) {
    if (errno == ENOENT || errno == ENOTDIR) return std::optional<std::string>();
    return kalu_ui::fail("cannot open {}: {}", path.string(), errno_text(errno));
  }
  struct Closer {
    int fd;
    ~Closer() { ::close(fd); }
  } closer{fd};
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    return kalu_ui::fail("cannot read {}: {}", path.string(), errno_text(errno));
  }
  if (!S_ISREG(st.st_mode)) {
    return kalu_ui::fail("{} is not a regular file", path.string());
  }
  std::string bytes;
  char buffer[16384];
  while (true) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0) {
      if (errno == EINTR) continue;
      return kalu_ui::fail("cannot read {}: {}", path.string(), errno_text(errno));
    }
    if (n == 0) break;
    bytes.append(buffer, static_cast<std::size_t>(n));
    if (bytes.size() > max_bytes) {
      return kalu_ui::fail("{} is larger than {} bytes", path.string(), max_bytes);
    }
  }
  return std::optional<std::string>(std::move(bytes));
}

}  // namespace desktop_file
