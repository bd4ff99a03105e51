#include "stored/local_models.h"

#include <algorithm>

#include "codec/codec.h"

namespace settings::stored {

namespace codec = settings::codec;

constexpr auto describe(codec::Tag<HardwareFit>) {
  return codec::names<HardwareFit>("HardwareFit", "excellent", "good", "tight", "unsupported");
}

constexpr auto describe(codec::Tag<HardwareRecommendation>) {
  using H = HardwareRecommendation;
  return codec::record(
      "HardwareRecommendation", codec::field("fit", &H::fit),
      codec::field("memory_gib", &H::memory_gib), codec::field("accelerator", &H::accelerator),
      codec::field_or_default("accelerator_memory_gib", &H::accelerator_memory_gib),
      codec::field_or_default("free_storage_gib", &H::free_storage_gib),
      codec::field("reason", &H::reason));
}

constexpr auto describe(codec::Tag<LocalModelPackage>) {
  using P = LocalModelPackage;
  return codec::record("LocalModelPackage", codec::field("id", &P::id),
                       codec::field("name", &P::name), codec::field("description", &P::description),
                       codec::field("source", &P::source), codec::field("revision", &P::revision),
                       codec::field("license", &P::license),
                       codec::field("license_url", &P::license_url),
                       codec::field("download_bytes", &P::download_bytes),
                       codec::field("installed_bytes", &P::installed_bytes),
                       codec::field_or_default("vision", &P::vision),
                       codec::field_or_default("face_recognition", &P::face_recognition));
}

constexpr auto describe(codec::Tag<LocalModelEndpoint>) {
  return codec::record("LocalModelEndpoint", codec::field("url", &LocalModelEndpoint::url),
                       codec::field("model_id", &LocalModelEndpoint::model_id));
}

namespace phase {
constexpr auto describe(codec::Tag<Downloading>) {
  return codec::record("downloading",
                       codec::field("downloaded_bytes", &Downloading::downloaded_bytes),
                       codec::field("total_bytes", &Downloading::total_bytes));
}
constexpr auto describe(codec::Tag<Installing>) {
  return codec::record("installing", codec::field_or_default("percent", &Installing::percent),
                       codec::field("message", &Installing::message));
}
constexpr auto describe(codec::Tag<Ready>) {
  return codec::record("ready", codec::field("running", &Ready::running),
                       codec::field_or_default("endpoint", &Ready::endpoint));
}
constexpr auto describe(codec::Tag<Error>) {
  return codec::record("error", codec::field("message", &Error::message));
}
}  // namespace phase

constexpr auto describe(codec::Tag<LocalModelPhase>) {
  return codec::internally_tagged("LocalModelPhase", "state");
}

constexpr auto describe(codec::Tag<InstalledLocalModel>) {
  return codec::record("InstalledLocalModel",
                       codec::field("package", &InstalledLocalModel::package),
                       codec::field("phase", &InstalledLocalModel::phase));
}

namespace accelerator {
constexpr auto describe(codec::Tag<Available>) { return codec::unit<Available>("available"); }
constexpr auto describe(codec::Tag<Queued>) { return codec::unit<Queued>("queued"); }
constexpr auto describe(codec::Tag<Staging>) { return codec::unit<Staging>("staging"); }
constexpr auto describe(codec::Tag<RestartRequired>) {
  return codec::unit<RestartRequired>("restart_required");
}
constexpr auto describe(codec::Tag<Active>) { return codec::unit<Active>("active"); }
constexpr auto describe(codec::Tag<Error>) {
  return codec::record("error", codec::field("message", &Error::message));
}
}  // namespace accelerator

constexpr auto describe(codec::Tag<AcceleratorSetupState>) {
  return codec::internally_tagged("AcceleratorSetupState", "state");
}

constexpr auto describe(codec::Tag<AcceleratorSetup>) {
  return codec::record("AcceleratorSetup",
                       codec::field("boot_pack_id", &AcceleratorSetup::boot_pack_id),
                       codec::field("status", &AcceleratorSetup::status));
}

constexpr auto describe(codec::Tag<LocalModelSnapshot>) {
  using S = LocalModelSnapshot;
  return codec::record("LocalModelSnapshot", codec::field("hardware", &S::hardware),
                       codec::field_or_default("recommendation", &S::recommendation),
                       codec::field_or_default("models", &S::models),
                       codec::field_or_default("accelerator_setup", &S::accelerator_setup));
}

kalu_ui::Result<LocalModelSnapshot> read_local_model_snapshot(std::string_view output) {
  return codec::from_json<LocalModelSnapshot>(output);
}

bool in_progress(const LocalModelPhase& phase) {
  return std::holds_alternative<phase::Downloading>(phase) ||
         std::holds_alternative<phase::Installing>(phase);
}

bool in_progress(const AcceleratorSetupState& status) {
  return std::holds_alternative<accelerator::Queued>(status) ||
         std::holds_alternative<accelerator::Staging>(status);
}

bool work_in_progress(const LocalModelSnapshot& snapshot) {
  if (snapshot.accelerator_setup && in_progress(snapshot.accelerator_setup->status)) return true;
  return std::any_of(snapshot.models.begin(), snapshot.models.end(),
                     [](const InstalledLocalModel& m) { return in_progress(m.phase); });
}

bool serves_locally(const InstalledLocalModel& model) {
  const auto* ready = std::get_if<phase::Ready>(&model.phase);
  if (ready == nullptr || !ready->running || !ready->endpoint) return false;
  const LocalModelEndpoint& endpoint = *ready->endpoint;
  if (endpoint.model_id != model.package.id) return false;
  return endpoint.url.starts_with("http://127.0.0.1:") || endpoint.url.starts_with("http://[::1]:");
}

}  // namespace settings::stored
