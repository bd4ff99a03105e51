#pragma once

// The Displays pane's plain data and pure functions: its view of each output
// (DisplayOutput, built from the hardware snapshot and sorted), the control
// ids of its state document, the labels it writes there, the default entry
// of an output without a saved configuration, the hardware view validation
// needs, the one conversion from the operation records' modes and
// orientations to the display library's, and the brightness texts. Nothing
// here reads the device or the document; the pane and its tests call it.

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "kalu_ui/document.h"
#include "operations/records.h"
#include "prefs_store/display.h"
#include "vocabulary/display_vocabulary.h"

namespace settings::panes::display {

// ---- Control ids ----------------------------------------------------------

inline constexpr std::string_view kBrightnessId = "display.brightness";
inline constexpr std::string_view kAutoBrightnessId = "display.auto_brightness";
inline constexpr std::string_view kNightLightId = "display.night_light";
inline constexpr std::string_view kNightLightTemperatureId = "display.night_light_temperature";
inline constexpr std::string_view kScaleId = "display.scale";
// The one-shot commands: true means requested.
inline constexpr std::string_view kApplyId = "display.apply";
inline constexpr std::string_view kKeepId = "display.keep";
inline constexpr std::string_view kRevertId = "display.revert";

// The per-output fields of "display.output.{connector}.{field}".
namespace field {
inline constexpr std::string_view kPrimary = "primary";
inline constexpr std::string_view kEnabled = "enabled";
inline constexpr std::string_view kScale = "scale";
inline constexpr std::string_view kPosition = "position";
inline constexpr std::string_view kMirror = "mirror";
inline constexpr std::string_view kMode = "mode";
inline constexpr std::string_view kTransform = "transform";
inline constexpr std::string_view kHdr = "hdr";
inline constexpr std::string_view kVrr = "vrr";
inline constexpr std::string_view kColorProfile = "color_profile";
}  // namespace field

// "display.output.{connector}.{field}".
std::string output_control_id(std::string_view connector, std::string_view field);

// ---- Outputs --------------------------------------------------------------

// The pane's view of one connected output.
struct DisplayOutput {
  // output_label of the descriptor with its card's qualifier: its card, the
  // summary and the other outputs' choices name it so, exactly as the action
  // surface's Displays section does.
  std::string label;
  std::string connector;
  // The descriptor's name, or the connector when the name is empty.
  std::string name;
  std::vector<prefs_store::OutputMode> modes;
  std::optional<prefs_store::OutputMode> current_mode;
  std::vector<std::string> color_profiles;
  std::map<std::string, std::string> color_profile_names;
  std::optional<std::string> hdr_note;
  std::optional<std::string> vrr_note;
  bool connected = true;
  bool internal = false;
  bool hdr_supported = false;
  bool hdr_capable = false;
  bool vrr_supported = false;
  bool vrr_capable = false;

  bool operator==(const DisplayOutput&) const = default;
};

// Every output of every card in snapshot order, sorted stably: built-in
// panels first, then connected ones, then by label in byte order.
std::vector<DisplayOutput> outputs_of(const prefs_store::DisplayHardwareSnapshot& snapshot);

// The output with this connector, or null.
const DisplayOutput* find_output(const std::vector<DisplayOutput>& outputs,
                                 std::string_view connector);

// (connector, label) of each output, for the choice lists.
OutputLabels choice_labels(const std::vector<DisplayOutput>& outputs);

// The entry of the output at `index` of the pane's list when it has none:
// enabled, primary when first, scale 1, at (1920 × index, 0), landscape.
prefs_store::OutputConfig default_output_config(std::size_t index);

// What validation is given: each output's connector, name, modes, profiles
// and whether the compositor controls HDR and variable refresh.
prefs_store::HardwareView hardware_view_of(const std::vector<DisplayOutput>& outputs);

// ---- Labels the pane writes -------------------------------------------------

// "Extend workspace", or "Mirror {}" of the mirrored output's label
// when it is among `outputs`.
std::string mirror_label(const prefs_store::OutputConfig& entry,
                         const std::vector<DisplayOutput>& outputs);
// "System default" without a profile; "{name} · {id}" when `output` names
// the id; otherwise `unnamed` decides: the id itself (an operation's
// profile), or "System default" (the model pushed into the document).
enum class UnnamedProfile { kId, kSystemDefault };
std::string profile_label(const std::optional<std::string>& profile, const DisplayOutput* output,
                          UnnamedProfile unnamed);

// ---- Operation records ------------------------------------------------------

// The operation records carry their own copies of the display library's mode
// and orientation; this is the one place they are converted.
prefs_store::OutputMode to_store(const operations::OutputMode& mode);
prefs_store::OutputTransform to_store(operations::OutputTransform transform);

// ---- Brightness ---------------------------------------------------------------

// The level clamped to 0..1, in percent.
float percent_of(float level);
// "Brightness set to {}%." with the percentage rounded half away from zero.
std::string brightness_message(float percent);

// ---- Document values ---------------------------------------------------------

// One value the pane writes under a control id.
struct DocEntry {
  std::string key;
  kalu_ui::doc::Scalar value;
};

// The per-output values of `config` for every output (an output without an
// entry takes the default of its index): primary, enabled, scale, position
// ("Automatic"), mirror, mode (only when the entry has one), transform, hdr,
// vrr and colour profile (unnamed profiles read "System default").
std::vector<DocEntry> output_entries(const prefs_store::DisplayConfig& config,
                                     const std::vector<DisplayOutput>& outputs);

}  // namespace settings::panes::display
