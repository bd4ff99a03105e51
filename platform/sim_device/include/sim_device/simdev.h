#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

// simdev: the simulated device's own program, one multi-call binary.
//
// For people it shows and edits the device (see `help`):
//   simdev show [SECTION] | get PATH | set PATH JSON | add PATH JSON |
//          remove PATH | fault OP [TEXT] | delay OP [MS] | reset | help
// PATH is dotted, with [n] for list items and ["..."] for names holding dots:
// network.wifi_networks[0].signal, faults["bluez.pair"]. A change that would
// leave the device in a shape its services cannot read is refused. Secrets
// (passphrases, passwords, PINs) are masked unless asked for by their path.
//
// Started under another program's name (the runner's program table points
// those names at simdev), or with that name as its first argument, it answers
// as that program from the device, in the program's own output format:
// wpctl (status, get-volume, set-default, set-volume, set-mute, set-profile),
// findmnt,
// lsblk, firewall-cmd, nft, kalu-model-manager (snapshot, install, start,
// stop, remove, stage-accelerator), systemctl, bootc and journalctl for
// the image updates (src/simdev_update_programs.h), and the account
// programs: useradd, chpasswd (the "name:password" lines on standard input),
// userdel, gpasswd and the automatic-login switch kalu-autologin
// (enable|disable|status NAME), which change the "users" section and so the
// device's account and group files (src/simdev_users.h). A fault "<program>"
// or "<program>.<first argument>" makes it exit 1 with the fault's text on
// standard error; the account programs also answer the fault of the change
// they make: "users.create_user", "users.set_password", "users.delete_user",
// "users.set_role", "users.set_automatic_login".
//
// pkexec answers as the program it is given (with the rest of the
// arguments): on the simulated device every administrator approval is
// granted, unless the fault "pkexec" says otherwise.
//
// Adding a simulated program: write its answer in programs.cpp as a function
// from its arguments to an Outcome and add it to the table at the end of that
// file; the runner's table (limited_exec::program_names) must list its name.
// A program that needs a library above the device (the relay configuration's
// writer) is written beside that library and added by simdev's main with
// add_programs. Until then simdev exits 127 with "simdev: <name> is not
// simulated yet".
namespace sim_device::simdev {

struct Outcome {
  int status = 0;
  std::string out;
  std::string err;
};

// A program answered outside this library: from its arguments and what it
// read on standard input.
struct ExternalProgram {
  std::string_view name;  // its base name ("kalu-enroll")
  Outcome (*run)(const std::vector<std::string>& args, std::string_view input);
  // Whether it reads standard input when its first argument is this ("" for
  // none).
  std::string_view input_command;
};

// Adds programs for the rest of the process (simdev's main, before it runs
// anything; tests). They answer after the faults, like the others.
void add_programs(std::span<const ExternalProgram> programs);

// `argv0` is the name the program was started under; `args` the rest;
// `input` what it read on standard input (see takes_input).
Outcome run(std::string_view argv0, const std::vector<std::string>& args,
            std::string_view input = {});

// The person's commands (argv0 "simdev").
Outcome command(const std::vector<std::string>& args);

// Answers as `program` (its name as started) with `args`.
Outcome program(std::string_view program, const std::vector<std::string>& args,
                std::string_view input = {});

// Whether simdev answers as `program` already.
bool simulates(std::string_view program);

// Whether the program `argv0` and `args` name reads standard input (only
// then does simdev read it: a person's `simdev show` must not wait on a
// terminal).
bool takes_input(std::string_view argv0, const std::vector<std::string>& args);

}  // namespace sim_device::simdev
