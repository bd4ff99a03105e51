#include "panes/audio/services.h"

#include <nlohmann/json.hpp>

#include "lib/dispatcher.h"
#include "prefs_store/document.h"
#include "stored/settings_prefs.h"

namespace settings::panes::audio {

namespace {
constexpr std::string_view kAudioSection = "audio";
}  // namespace

kalu_ui::Result<system_ops::audio::VolumeState> AudioServices::volume_state() {
  return system_ops::audio::get_volume_state();
}

stored::AudioPrefs AudioServices::load_prefs() { return stored::SettingsPrefs::load().audio; }

kalu_ui::Status AudioServices::save_prefs(const std::function<void(stored::AudioPrefs&)>& edit) {
  // A file that cannot be read is refused; a document that does not read is
  // kept aside by the update, which starts a fresh one. A section that does
  // not read is written afresh from the defaults.
  auto section = prefs_store::load_section(kAudioSection);
  if (!section) return kalu_ui::fail(section.error());
  stored::AudioPrefs prefs;
  if (!section->empty()) {
    if (auto saved = stored::read_section<stored::AudioPrefs>(*section)) prefs = *saved;
  }
  edit(prefs);
  return prefs_store::update_section(kAudioSection, stored::write_section(prefs));
}

kalu_ui::Instant AudioServices::now() { return kalu_ui::Instant::now(); }

void AudioDependencies::fill_defaults() {
  if (!services) services = std::make_shared<AudioServices>();
  dispatcher = lib::dispatcher_or_default(std::move(dispatcher));
  if (!tool) tool = wpctl_tool();
  if (!enumerator) enumerator = std::make_shared<media_kit::AudioEnumerator>();
  if (!graph_control) graph_control = std::make_shared<media_kit::GraphControl>();
  if (!runtime) runtime = std::make_shared<media_kit::AudioRuntimeControl>();
  if (!graph_changes) graph_changes = device_graph_changes();
}

}  // namespace settings::panes::audio
