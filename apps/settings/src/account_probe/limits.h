#pragma once

#include <chrono>

namespace settings::account_probe {

// How long each network step of a probe may take. The program always uses
// the defaults; tests pass shorter ones.
struct ProbeLimits {
  // Waiting for the name-resolution thread's answer.
  std::chrono::milliseconds resolve{8000};
  // All IMAP connection attempts together; a DAV request's connection.
  std::chrono::milliseconds connect{8000};
  // Each read and each write on the IMAP socket.
  std::chrono::milliseconds socket{8000};
  // Each IMAP response (greeting, login reply) in full.
  std::chrono::milliseconds response{8000};
  // A whole DAV request, connection included.
  std::chrono::milliseconds request{8000};
};

}  // namespace settings::account_probe
