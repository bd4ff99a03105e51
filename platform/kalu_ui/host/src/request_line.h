#pragma once

#include <expected>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

// Reading one request line of an automation client, before anything is
// carried out: the JSON text is checked (nesting depth, control bytes outside
// strings, numbers that fit, keys given once per object), the request must be
// an object, and its id a string, an integer that fits 64 bits, or null.
// Whatever of the client's text an answer repeats goes through `echo`, so an
// answer never grows with the client's input.
namespace kalu_ui::host {

using Json = nlohmann::ordered_json;

struct RequestError {
  std::string code;
  std::string message;
};

struct ReadRequest {
  Json request;  // an object
  Json id;       // what the answer repeats: null, an integer or a string
};

// The request on the line, or the error to answer it with (whose id is null).
std::expected<ReadRequest, RequestError> read_request_line(std::string_view line);

// Client text to repeat in an answer: as it is when short, otherwise its
// first bytes (cut at a character boundary) and a marker saying how much was
// left out.
std::string echo(std::string_view text);

// An error or refusal message, cut the same way when it is over-long.
std::string bounded_message(std::string_view message);

// Longest client text an answer repeats whole.
inline constexpr std::size_t kMaxEchoBytes = 256;

}  // namespace kalu_ui::host
