#pragma once

// The Network page: ten cards built from the pane's state with the shared row
// builders, in page order. Every control carries an element id (most begin
// "settings.network.") and a control id (most begin "network."), the key of
// the state document under which it keeps its value: buttons write true under
// theirs when pressed, toggles their boolean, text inputs and dropdowns their
// text. Password and PIN fields edit the pane's secret buffers in place and
// write nothing into the document. The page only shows; the pane's sync acts.

#include <optional>
#include <string>
#include <string_view>

#include "kalu_actions/binding.h"
#include "lib/ui_rows.h"
#include "panes/network/model.h"
#include "panes/network/secrets.h"

namespace settings::panes::network {

struct PageInput {
  const NetworkSnapshot& snapshot;
  const NetworkView& view;
  SecretFields& secrets;
  // The hotspot's join code, present only while the QR code is shown and the
  // hotspot configuration is valid.
  std::optional<std::string> qr_payload;
  // The Wi-Fi toggle's action, when the Network section publishes it.
  std::optional<kalu_actions::ActionBinding> wifi_binding;
  // The Wired toggle's action: the section's "disable-wired" while wired
  // networking is on, "enable-wired" while it is off.
  std::optional<kalu_actions::ActionBinding> wired_binding;
};

// The whole page. Moves the QR payload into the page's QR code.
ui_rows::WidgetBox network_page(PageInput& input);

// A password field over the secret buffer `secret_id` (made empty when
// missing), with `control_id` as its id: masked, never in the document.
ui_rows::WidgetBox secret_field(SecretFields& secrets, std::string_view secret_id,
                                std::string_view control_id, std::string_view placeholder);

// The text of a Wi-Fi row: signal glyph, lock glyph and SSID, two spaces
// apart. The glyphs are code points of the icon font that the toolkit draws
// as its own icons.
std::string wifi_row_text(const net::WifiNetwork& network);

}  // namespace settings::panes::network
