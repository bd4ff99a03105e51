#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "account_probe/config.h"
#include "account_probe/limits.h"
#include "kalu_ui/result.h"
#include "kalu_ui/secret.h"

// The mail account check: an IMAP LOGIN over TLS (TLS from the first byte;
// there is no STARTTLS), then LOGOUT without waiting for its reply.
//
//   greeting  "* OK ..." up to the first "\r\n"
//   client    kalu1 LOGIN "<login>" "<password>"\r\n
//   server    any untagged lines, then "kalu1 OK ..." (any letter case)
//   client    kalu2 LOGOUT\r\n
//
// Both values are trimmed of surrounding white space and quoted with
// backslash escapes; a control character in either stops the check before
// the LOGIN line is sent. Reads take at most 1024 bytes at a time and a
// response may grow to 16 KiB, so a misbehaving server cannot make the
// check allocate without bound. Every copy of the password the check makes
// is wiped before it is freed; no failure text carries it.
namespace settings::account_probe {

inline constexpr std::size_t kReadChunk = 1024;
inline constexpr std::size_t kResponseLimit = 16384;
inline constexpr std::uint16_t kDefaultImapPort = 993;

// "imap_port" when it is an unsigned integer below 65536 (0 included),
// else 993.
std::uint16_t imap_port(const Json& config);

// `value` quoted for the LOGIN command, without the surrounding double
// quotes: each backslash doubled, each double quote preceded by a
// backslash. Fails with "login contains unsupported control characters"
// for any character below U+0020 or from U+007F to U+009F (invalid UTF-8
// is taken as it stands).
kalu_ui::Result<kalu_ui::secret::SecretText> quote_login_value(std::string_view value);

// Whether a response read so far is whole. With a tag: some line ending in
// "\n" starts with the tag and has a space as its sixth byte. Without: the
// text holds "\r\n".
bool response_complete(std::string_view text, std::optional<std::string_view> tag);

// Whether a login reply holds a line "kalu1 " whose first word is "OK" in
// any letter case.
bool login_accepted(std::string_view reply);

// The whole check. The answer is "IMAP sign-in succeeded" or a failure text.
kalu_ui::Result<std::string> check_imap(const Json& config, std::string_view credential,
                                        const ProbeLimits& limits);

}  // namespace settings::account_probe
