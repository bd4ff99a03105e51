#pragma once

#include <filesystem>
#include <optional>
#include <string_view>

#include "kalu_ui/result.h"

// The desktop portal: the file chooser a person picks a file with, and the
// opener that shows an address in the person's browser. Both block until the
// portal answers (the chooser until the person has chosen), so callers run
// them on a worker thread.
//
// The file chooser always answers from the simulated device (section
// "portal"): `simdev set portal.file_chooser.answer '"cancel"'` (or "path"
// with portal.file_chooser.path, or "error" with portal.file_chooser.error)
// sets what the next open answers; the last title asked for is kept in
// portal.file_chooser.last_title. A fault "portal.file_chooser_open" fails it
// with the fault's text; a delay of that name makes the person slow.
//
// The URI opener records the address in portal.opened_uris on the simulated
// device; with KALU_DEVICE=system it runs `xdg-open URI` through the bounded
// runner (a fault "portal.open_uri" fails it on the simulated device).
namespace host_portal_xdg {

class FileChooser {
 public:
  // The chosen file, none when the person cancelled, or the portal's error.
  static kalu_ui::Result<std::optional<std::filesystem::path>> open(std::string_view title);
};

kalu_ui::Status open_uri(std::string_view uri);

}  // namespace host_portal_xdg
