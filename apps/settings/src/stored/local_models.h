#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "kalu_ui/result.h"

// The local model manager's status document, as its "snapshot" command prints
// it. This program only reads it. Keys a record does not define are skipped.
namespace settings::stored {

enum class HardwareFit { Excellent, Good, Tight, Unsupported };

struct HardwareRecommendation {
  HardwareFit fit{};
  std::uint16_t memory_gib = 0;
  std::string accelerator;
  std::optional<std::uint16_t> accelerator_memory_gib;
  std::optional<std::uint16_t> free_storage_gib;
  std::string reason;
};

struct LocalModelPackage {
  std::string id;
  std::string name;
  std::string description;
  std::string source;
  std::string revision;
  std::string license;
  std::string license_url;
  std::uint64_t download_bytes = 0;
  std::uint64_t installed_bytes = 0;
  bool vision = false;
  bool face_recognition = false;
};

struct LocalModelEndpoint {
  std::string url;
  std::string model_id;
};

// The phases of an installed model, tagged by "state".
namespace phase {
struct Downloading {
  std::uint64_t downloaded_bytes = 0;
  std::uint64_t total_bytes = 0;
};
struct Installing {
  std::optional<std::uint8_t> percent;
  std::string message;
};
struct Ready {
  bool running = false;
  std::optional<LocalModelEndpoint> endpoint;
};
struct Error {
  std::string message;
};
}  // namespace phase

struct LocalModelPhase
    : std::variant<phase::Downloading, phase::Installing, phase::Ready, phase::Error> {
  using variant::variant;
};

struct InstalledLocalModel {
  LocalModelPackage package;
  LocalModelPhase phase;
};

// The states of accelerator support, tagged by "state"; only "error" has data.
namespace accelerator {
struct Available {};
struct Queued {};
struct Staging {};
struct RestartRequired {};
struct Active {};
struct Error {
  std::string message;
};
}  // namespace accelerator

struct AcceleratorSetupState
    : std::variant<accelerator::Available, accelerator::Queued, accelerator::Staging,
                   accelerator::RestartRequired, accelerator::Active, accelerator::Error> {
  using variant::variant;
};

struct AcceleratorSetup {
  std::string boot_pack_id;
  AcceleratorSetupState status;
};

struct LocalModelSnapshot {
  HardwareRecommendation hardware;
  std::optional<LocalModelPackage> recommendation;
  std::vector<InstalledLocalModel> models;
  std::optional<AcceleratorSetup> accelerator_setup;
};

// Reads the manager's whole output; any failure fails the whole snapshot,
// with the reader's error text.
kalu_ui::Result<LocalModelSnapshot> read_local_model_snapshot(std::string_view output);

// Derived views. A model is in progress while it downloads or installs;
// accelerator setup while it is queued or staging. Whoever shows a snapshot
// asks the manager again while anything is in progress.
bool in_progress(const LocalModelPhase& phase);
bool in_progress(const AcceleratorSetupState& status);
// A model or the accelerator setup of the snapshot is in progress.
bool work_in_progress(const LocalModelSnapshot& snapshot);

// The model is running and answers for itself on this machine only: an
// endpoint whose model_id is the package id and whose url is on a loopback
// address ("http://127.0.0.1:" or "http://[::1]:"), so a provider profile may
// point at it without sending anything off the device.
bool serves_locally(const InstalledLocalModel& model);

}  // namespace settings::stored
