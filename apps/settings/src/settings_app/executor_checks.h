#pragma once

// The checks the device-local executor makes before it hands an operation to
// its pane: each tests one record against the device as it is now and answers
// success, or the short sentence the client is refused with. They only read;
// nothing on the device or on disk changes. A variant that names something
// no longer there (an output, a stream, a Bluetooth device, a print queue or
// job) or a state that no longer allows it is refused here, so a pane is only
// ever handed an operation that made sense a moment ago.
//
// Platform reads: the display hardware snapshot, the audio graph (read by the
// executor before it selects Sound and passed in), the Bluetooth devices, the
// print queues and jobs, the wired link and the battery's charge limits. The
// errors of the wired and Bluetooth reads are the refusal as they stand; print
// lists that cannot be read count as empty; a display snapshot without live
// capabilities refuses only the variants that name a connector; an audio graph
// that cannot be read refuses, with its error, only the variants that look
// something up in it. Everything runs on the UI thread.

#include <optional>
#include <string_view>
#include <vector>

#include "kalu_ui/result.h"
#include "media_kit/audio.h"
#include "operations/records.h"
#include "prefs_store/display.h"
#include "system_ops/bluez.h"

namespace settings::settings_app {

// The output named `connector` (its name is the connector). Refused with
// "live display capabilities are unavailable" when the snapshot has none, and
// "display output is no longer available" when no output has that name.
kalu_ui::Result<const prefs_store::OutputDescriptor*> find_display_output(
    const prefs_store::DisplayHardwareSnapshot& snapshot, std::string_view connector);

// The first device of `devices` whose path is `path`, taken out of the list.
std::optional<system_ops::bluez::BluetoothDevice> take_entry_by_id(
    std::vector<system_ops::bluez::BluetoothDevice> devices, std::string_view path);

// One check per handed-over record; success, or the refusal's sentence.
kalu_ui::Status check_operation(const operations::UpdateOperation& operation);
kalu_ui::Status check_operation(const operations::PowerOperation& operation);
kalu_ui::Status check_operation(const operations::NetworkOperation& operation);
kalu_ui::Status check_operation(const operations::BluetoothOperation& operation);
kalu_ui::Status check_operation(const operations::AudioOperation& operation,
                                const kalu_ui::Result<media_kit::AudioGraph>& graph);
kalu_ui::Status check_operation(const operations::DisplayOperation& operation,
                                const prefs_store::DisplayHardwareSnapshot& snapshot);
kalu_ui::Status check_operation(const operations::PrinterOperation& operation);

}  // namespace settings::settings_app
