#pragma once

// Turning the per-output values of the state document into a new display
// configuration: each output's edits applied to a copy of the configuration,
// then the arrangement made consistent (exactly one primary output among the
// enabled ones, a mirrored pair on a resolution both offer). Pure: the pane
// reads the document into OutputFieldValues and writes the primary flags
// back; validation and staging are the pane's.

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "panes/display/model.h"
#include "prefs_store/display.h"

namespace settings::panes::display {

// What the document holds under one output's fields (absent: nothing there,
// or a value of another kind).
struct OutputFieldValues {
  std::optional<bool> enabled;
  std::optional<bool> primary;
  std::optional<std::string> scale;
  std::optional<std::string> mode;
  std::optional<std::string> transform;
  std::optional<bool> hdr;
  std::optional<bool> vrr;
  std::optional<std::string> color_profile;
  std::optional<std::string> mirror;
  std::optional<std::string> position;
};

struct StagedOutputs {
  prefs_store::DisplayConfig config;
  bool changed = false;
  // The primary flag of every output once one was chosen, in output order;
  // empty when no output is enabled.
  std::vector<std::pair<std::string, bool>> primary;
};

// `fields` runs parallel to `outputs`. `config` is the configuration in
// force; the result is a changed copy.
StagedOutputs stage_outputs(const prefs_store::DisplayConfig& config,
                            const std::vector<DisplayOutput>& outputs,
                            const std::vector<OutputFieldValues>& fields);

// The position that the text "{direction} of {label}" gives `output` beside
// the output labelled `label`, or nothing when the text names no
// direction or no output ("Automatic").
std::optional<prefs_store::Position> position_from_text(const std::string& text,
                                                        const DisplayOutput& output,
                                                        const prefs_store::DisplayConfig& copy,
                                                        const std::vector<DisplayOutput>& outputs);

}  // namespace settings::panes::display
