// simdev: shows and changes the simulated device, and answers as the programs
// Settings runs (see simdev/simdev.h).
#include <cstdio>
#include <string>
#include <vector>

#include "sim_device/simdev.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  sim_device::simdev::Outcome outcome = sim_device::simdev::run(argc > 0 ? argv[0] : "simdev", args);
  std::fwrite(outcome.out.data(), 1, outcome.out.size(), stdout);
  std::fwrite(outcome.err.data(), 1, outcome.err.size(), stderr);
  return outcome.status;
}
