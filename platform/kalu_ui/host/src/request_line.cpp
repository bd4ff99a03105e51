#include "request_line.h"

#include <fmt/format.h>

#include <optional>
#include <vector>

namespace kalu_ui::host {

namespace {

// Requests nest a few levels (an operation record inside a payload); a
// deeper one is refused before it is read, because copying and writing a
// JSON value recurses once per level and a line of brackets would exhaust
// the UI thread's stack.
constexpr std::size_t kMaxNesting = 64;
constexpr std::size_t kMaxMessageBytes = 1024;

std::unexpected<RequestError> refuse(std::string code, std::string message) {
  return std::unexpected(RequestError{std::move(code), std::move(message)});
}

std::string cut(std::string_view text, std::size_t limit) {
  if (text.size() <= limit) return std::string(text);
  std::size_t end = limit;
  // Back up to the start of a UTF-8 sequence so the slice stays valid text.
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  return fmt::format("{}…[{} more bytes]", text.substr(0, end), text.size() - end);
}

// One pass over the text outside strings: nesting too deep, or a control byte
// where only JSON's whitespace may stand. The JSON reader would otherwise
// take a NUL for the end of the text and answer the part before it.
std::optional<RequestError> scan(std::string_view text) {
  std::size_t depth = 0;
  bool in_string = false;
  bool escaped = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (in_string) {
      if (escaped) {
        escaped = false;
      } else if (c == '\\') {
        escaped = true;
      } else if (c == '"') {
        in_string = false;
      }
    } else if (c == '"') {
      in_string = true;
    } else if (c == '[' || c == '{') {
      if (++depth > kMaxNesting) {
        return RequestError{"invalid_request",
                            fmt::format("requests may nest at most {} levels", kMaxNesting)};
      }
    } else if ((c == ']' || c == '}') && depth > 0) {
      --depth;
    } else if ((c < 0x20 && c != '\t' && c != '\r') || c == 0x7F) {
      return RequestError{
          "parse_error",
          fmt::format("the request holds the control byte 0x{:02x} outside a string, at byte {}", c,
                      i)};
    }
  }
  return std::nullopt;
}

// What the reader saw of the text besides building the value: an object with
// a key given twice, and whether the last thing read was the key of the
// request's own "id".
struct ParseWatch {
  std::vector<std::size_t> keys;  // keys read so far, per object being read
  std::size_t open = 0;           // objects and arrays being read
  bool repeated_key = false;
  bool at_id = false;

  bool on(Json::parse_event_t event, const Json& parsed) {
    at_id = false;
    switch (event) {
      case Json::parse_event_t::object_start:
        ++open;
        keys.push_back(0);
        break;
      case Json::parse_event_t::array_start:
        ++open;
        break;
      case Json::parse_event_t::key:
        if (!keys.empty()) ++keys.back();
        at_id = open == 1 && parsed == "id";
        break;
      case Json::parse_event_t::object_end:
        --open;
        // A repeated key overwrites the earlier value, so the object ends
        // smaller than the number of keys read into it.
        if (!keys.empty() && parsed.size() != keys.back()) repeated_key = true;
        if (!keys.empty()) keys.pop_back();
        break;
      case Json::parse_event_t::array_end:
        --open;
        break;
      case Json::parse_event_t::value:
        break;
    }
    return true;
  }
};

constexpr const char* kBadId = "id must be a string, an integer or null";

}  // namespace

std::string echo(std::string_view text) { return cut(text, kMaxEchoBytes); }

std::string bounded_message(std::string_view message) { return cut(message, kMaxMessageBytes); }

std::expected<ReadRequest, RequestError> read_request_line(std::string_view line) {
  if (auto problem = scan(line)) return std::unexpected(std::move(*problem));
  ParseWatch watch;
  Json parsed;
  try {
    parsed = Json::parse(
        line.begin(), line.end(),
        [&watch](int, Json::parse_event_t event, Json& value) { return watch.on(event, value); });
  } catch (const Json::out_of_range&) {
    // A number the reader cannot hold (1e400, four hundred digits).
    if (watch.at_id) return refuse("invalid_request", kBadId);
    return refuse("parse_error", "a number in the request is out of range");
  } catch (const Json::exception&) {
    return refuse("parse_error", "the request is not valid JSON");
  }
  if (!parsed.is_object()) return refuse("invalid_request", "a request must be a JSON object");
  if (watch.repeated_key) {
    return refuse("invalid_request", "a key appears more than once in one object");
  }
  Json id = nullptr;
  if (auto it = parsed.find("id"); it != parsed.end()) {
    if (it->is_string()) {
      id = echo(it->get_ref<const std::string&>());
    } else if (it->is_number_integer() || it->is_null()) {
      id = *it;
    } else {
      return refuse("invalid_request", kBadId);
    }
  }
  return ReadRequest{std::move(parsed), std::move(id)};
}

}  // namespace kalu_ui::host
