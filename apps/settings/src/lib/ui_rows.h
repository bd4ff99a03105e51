#pragma once

// The builders every page is assembled from, so that all panes share one
// look: a label on the left and its control in a column on the right,
// captions under rows, cards of rows and fixed gaps. Each builder takes texts
// (copied) and already built widgets (taken over) and answers a new boxed
// widget; none keeps state, reads the system or fails.

#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

#include "kalu_ui/color.h"
#include "kalu_ui/widget/spacer.h"
#include "widget_contract/widget.h"

namespace settings::ui_rows {

// The spacing scale, by step 0 to 8: the toolkit's, so stepped spacers and
// hand-placed metrics agree.
inline constexpr const auto& kSpacing = kalu_ui::widget::kSpacingScale;

// Fixed measures of the page layout.
inline constexpr float kControlColumnWidth = 220.0f;
inline constexpr float kRowsGap = 12.0f;      // rows of a card
inline constexpr float kSectionsGap = 24.0f;  // sections of a page
inline constexpr float kSettingRowGap = 4.0f;
inline constexpr float kDescriptionGap = 4.0f;
inline constexpr float kHeaderGap = 4.0f;
inline constexpr float kGapHeight = 1.0f;
inline constexpr float kHeroIconSize = 34.0f;
inline constexpr double kHeroIconWeight = 1.5;
inline constexpr float kHeroTextGap = 4.0f;
inline constexpr float kHeroIconGap = 12.0f;  // icon to texts

// Text sizes.
inline constexpr float kLabelSize = 13.0f;
inline constexpr float kCaptionSize = 12.0f;
inline constexpr float kHeroTitleSize = 20.0f;
inline constexpr float kHeroSubtitleSize = 12.0f;
inline constexpr float kHeaderKickerSize = 12.0f;
inline constexpr float kHeaderTitleSize = 24.0f;
inline constexpr float kHeaderSubtitleSize = 13.0f;

using kalu_ui::WidgetBox;
using WidgetList = std::vector<WidgetBox>;

// [label, flexible space, control in the control column], 4 apart. The
// column is 220 wide, wider for a control that needs more (a dropdown with a
// long option) while the row has room.
WidgetBox setting_row(std::string_view label, WidgetBox control);
// The label above the control, 4 apart: a setting row for narrow pages,
// where the control column would squeeze the label. The control starts at
// the row's left edge; one that stretches (a dropdown) takes the row's width.
WidgetBox stacked_setting_row(std::string_view label, WidgetBox control);
// [label, flexible space, control at its own width], no gap.
WidgetBox label_row(std::string_view label, WidgetBox control);
// label_row with a value text that never wraps.
WidgetBox info_row(std::string_view label, std::string_view value);
// The label row above a muted description, 4 apart.
WidgetBox described_row(std::string_view label, std::string_view description, WidgetBox control);
// described_row with the control in the control column.
WidgetBox described_control_row(std::string_view label, std::string_view description,
                                WidgetBox control);
// The control at least 220 wide, stretched to the column.
WidgetBox control_column(WidgetBox control);
// A container of exactly `width` holding `child`.
WidgetBox fixed_width(WidgetBox child, float width);
// An empty box `width` wide and 1 high, for space between buttons.
WidgetBox gap(float width);
// The toolkit's stepped spacer of size step `step`.
WidgetBox spacer(std::uint8_t step);
// Muted small wrapping text.
WidgetBox caption(std::string_view text);
// A column of the widgets in order, `gap` between consecutive ones.
// Buttons side by side, `spacing` apart and centred on the line, then the rest
// of the line left empty.
WidgetBox button_row(WidgetList buttons, float spacing = 8.0f);
WidgetBox column(WidgetList widgets, float gap);
WidgetBox rows_column(WidgetList widgets);
WidgetBox sections_column(WidgetList widgets);
WidgetBox section_card(std::string_view title, WidgetBox content);
WidgetBox section_card_with_description(std::string_view title, std::string_view description,
                                        WidgetBox content);
// A card whose title row also holds `control` (a toggle or a button) at the
// far end, above the content; it looks like section_card's title.
WidgetBox section_card_with_control(std::string_view title, WidgetBox control, WidgetBox content);
WidgetBox badge_with_tone(std::string_view text, std::uint8_t tone);
WidgetBox badge_with_color(std::string_view text, kalu_ui::Color color);
// A card with a large icon beside a title and a subtitle.
WidgetBox hero_card(std::uint8_t icon, std::string_view title, std::string_view subtitle);
// "SETTINGS" above the page title and its subtitle.
WidgetBox page_header(std::string_view title, std::string_view subtitle);

}  // namespace settings::ui_rows
