// simdev: shows and changes the simulated device, and answers as the programs
// Settings runs (see simdev/simdev.h).
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "relay/simulated_programs.h"
#include "sim_device/simdev.h"

int main(int argc, char** argv) {
  // The device mesh's programs write the relay configuration, a library
  // above the device.
  sim_device::simdev::add_programs(kalu_relay::simulated::programs());
  std::vector<std::string> args(argv + 1, argv + argc);
  const char* argv0 = argc > 0 ? argv[0] : "simdev";
  // Only a program that reads standard input gets it read: a person's
  // `simdev show` must not wait on the terminal.
  std::string input;
  if (sim_device::simdev::takes_input(argv0, args)) {
    char buffer[4096];
    input.reserve(sizeof buffer);
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, stdin)) > 0;) {
      input.append(buffer, n);
    }
    ::explicit_bzero(buffer, sizeof buffer);
  }
  sim_device::simdev::Outcome outcome = sim_device::simdev::run(argv0, args, input);
  // chpasswd's input holds passwords.
  ::explicit_bzero(input.data(), input.capacity());
  std::fwrite(outcome.out.data(), 1, outcome.out.size(), stdout);
  std::fwrite(outcome.err.data(), 1, outcome.err.size(), stderr);
  return outcome.status;
}
