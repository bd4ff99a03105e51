#pragma once

// What the Network pane's handler files share: the log target and module of
// their warnings, and writes of the working document. Writes under keys of
// the root cannot fail; a value already there is not written again, so a
// quiet frame changes nothing in the document. UI thread only.

#include <string>
#include <string_view>

#include "kalu_ui/document.h"
#include "kalu_ui/log.h"

namespace settings::panes::network::doc_writes {

inline constexpr std::string_view kTarget = "kalu::settings";
inline constexpr std::string_view kModule = "settings::panes::network";

inline void put_bool(kalu_ui::doc::Document& document, std::string_view key, bool value) {
  if (document.read_bool(kalu_ui::doc::kRoot, key) == value) return;
  (void)document.put(kalu_ui::doc::kRoot, key, kalu_ui::doc::Scalar(value));
}

// The warning "message" with its op and error.
inline void warn(std::string_view message, std::string_view op, const std::string& error) {
  kalu_ui::log::warn(kTarget, kModule, message, {{"op", std::string(op)}, {"error", error}});
}

}  // namespace settings::panes::network::doc_writes
