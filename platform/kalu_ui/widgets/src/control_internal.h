#pragma once

#include <optional>
#include <string>

#include "kalu_ui/geometry.h"
#include "kalu_ui/text.h"
#include "widget_contract/widget.h"

// Pieces every control of this folder uses; not part of the public headers.
namespace kalu_ui::widget::detail {

// The visible keyboard focus ring around a control.
void draw_focus_ring(Scene& scene, const Rect& rect, const Theme& theme, const Affine& transform);

// Enter or Space pressed without a command modifier and not auto-repeated:
// the keys that activate the focused control.
bool is_activation_key(const Event& event);

// The style controls measure and draw their label in.
text::TextStyle label_style(text::TextRenderer& renderer, float size);

// The text as a JSON string (quoted and escaped).
std::string json_string(std::string_view text);

// The text of a payload that is exactly one JSON string; none otherwise.
std::optional<std::string> json_string_payload(Payload payload);

}  // namespace kalu_ui::widget::detail
