#include "lib/ui_rows.h"

#include <optional>
#include <string>
#include <utility>

#include "kalu_ui/widget/badge.h"
#include "kalu_ui/widget/card.h"
#include "kalu_ui/widget/column.h"
#include "kalu_ui/widget/container.h"
#include "kalu_ui/widget/controls.h"
#include "kalu_ui/widget/icon_widget.h"
#include "kalu_ui/widget/row.h"
#include "kalu_ui/widget/support.h"
#include "kalu_ui/widget/text.h"

namespace settings::ui_rows {
namespace {

namespace w = kalu_ui::widget;
using w::boxed;

WidgetBox text(std::string_view content, float size, bool muted, bool wrap) {
  return boxed(w::Text(std::string(content)).with_size(size).with_muted(muted).with_wrap(wrap));
}

WidgetBox label(std::string_view content) { return text(content, kLabelSize, false, true); }

// The row's label (and description) name the controls it holds for a screen
// reader, so no control is known by its key or by nothing.
WidgetBox named(WidgetBox control, std::string_view label_text, std::string_view description = {}) {
  if (control) w::label_controls(*control, label_text, description);
  return control;
}

// [label, flexible space, control] with `gap` between them.
WidgetBox labelled(std::string_view label_text, WidgetBox control, float gap) {
  return boxed(w::Row()
                   .with_gap(gap)
                   .push(label(label_text))
                   .push(boxed(w::Spacer()))
                   .push(std::move(control)));
}

}  // namespace

WidgetBox setting_row(std::string_view label_text, WidgetBox control) {
  return labelled(label_text, control_column(named(std::move(control), label_text)),
                  kSettingRowGap);
}

WidgetBox stacked_setting_row(std::string_view label_text, WidgetBox control) {
  return boxed(w::Column()
                   .with_gap(kSettingRowGap)
                   .push(label(label_text))
                   .push(named(std::move(control), label_text)));
}

WidgetBox label_row(std::string_view label_text, WidgetBox control) {
  return labelled(label_text, named(std::move(control), label_text), 0.0f);
}

WidgetBox info_row(std::string_view label_text, std::string_view value) {
  return label_row(label_text, text(value, kLabelSize, false, false));
}

WidgetBox described_row(std::string_view label_text, std::string_view description,
                        WidgetBox control) {
  return boxed(w::Column()
                   .with_gap(kDescriptionGap)
                   .push(label_row(label_text, named(std::move(control), label_text, description)))
                   .push(caption(description)));
}

WidgetBox described_control_row(std::string_view label_text, std::string_view description,
                                WidgetBox control) {
  return described_row(label_text, description, control_column(std::move(control)));
}

WidgetBox control_column(WidgetBox control) {
  // A least width rather than a fixed one: a control whose content is wider
  // (a dropdown's longest option) would otherwise be cut to the column.
  return boxed(w::Container().with_min_width(kControlColumnWidth).with_child(std::move(control)));
}

WidgetBox fixed_width(WidgetBox child, float width) {
  return boxed(w::Container().with_width(width).with_child(std::move(child)));
}

WidgetBox gap(float width) { return boxed(w::Container().with_size(width, kGapHeight)); }

WidgetBox button_row(WidgetList buttons, float spacing) {
  w::Row row;
  row.with_alignment(w::Alignment::Center);
  for (std::size_t i = 0; i < buttons.size(); ++i) {
    if (i > 0) row.push(gap(spacing));
    row.push(std::move(buttons[i]));
  }
  row.push(boxed(w::Spacer()));
  return boxed(std::move(row));
}

WidgetBox spacer(std::uint8_t step) { return boxed(w::Spacer::step(step)); }

WidgetBox caption(std::string_view content) { return text(content, kCaptionSize, true, true); }

WidgetBox column(WidgetList widgets, float gap) {
  w::Column out;
  out.with_gap(gap);
  for (auto& widget : widgets) out.push(std::move(widget));
  return boxed(std::move(out));
}

WidgetBox rows_column(WidgetList widgets) { return column(std::move(widgets), kRowsGap); }

WidgetBox sections_column(WidgetList widgets) { return column(std::move(widgets), kSectionsGap); }

WidgetBox section_card(std::string_view title, WidgetBox content) {
  return boxed(w::card::surface(std::string(title), std::nullopt, std::move(content)));
}

WidgetBox section_card_with_description(std::string_view title, std::string_view description,
                                        WidgetBox content) {
  return boxed(w::card::surface(std::string(title), std::string(description), std::move(content)));
}

WidgetBox section_card_with_control(std::string_view title, WidgetBox control, WidgetBox content) {
  // The card's own header cannot hold a widget, so the title is a row of the
  // content, in the card title's size and weight and at its distance.
  WidgetBox header = boxed(w::Row()
                               .with_alignment(w::Alignment::Center)
                               .push(boxed(w::Text(std::string(title))
                                               .with_size(w::Card::kTitleSize)
                                               .with_weight(kalu_ui::text::kWeightSemibold)
                                               .with_wrap()))
                               .push(boxed(w::Spacer()))
                               .push(named(std::move(control), title)));
  return boxed(w::Card(boxed(
      w::Column().with_gap(w::Card::kHeaderGap).push(std::move(header)).push(std::move(content)))));
}

WidgetBox badge_with_tone(std::string_view content, std::uint8_t tone) {
  return boxed(w::Badge::with_tone(std::string(content), tone));
}

WidgetBox badge_with_color(std::string_view content, kalu_ui::Color color) {
  return boxed(w::Badge::with_color(std::string(content), color));
}

WidgetBox hero_card(std::uint8_t icon, std::string_view title, std::string_view subtitle) {
  // The text box expands so that long titles wrap within what the icon
  // leaves rather than pushing the card wider.
  auto texts = w::Container().with_expand().with_child(
      boxed(w::Column()
                .with_gap(kHeroTextGap)
                .push(text(title, kHeroTitleSize, false, true))
                .push(text(subtitle, kHeroSubtitleSize, true, true))));
  auto row = w::Row()
                 .with_gap(kHeroIconGap)
                 .with_alignment(w::Alignment::Center)
                 .push(boxed(w::IconWidget(icon, kHeroIconSize, kHeroIconWeight)))
                 .push(boxed(std::move(texts)));
  return boxed(w::Card(boxed(std::move(row))));
}

WidgetBox page_header(std::string_view title, std::string_view subtitle) {
  return boxed(w::Column()
                   .with_gap(kHeaderGap)
                   .push(text("SETTINGS", kHeaderKickerSize, true, true))
                   .push(text(title, kHeaderTitleSize, false, true))
                   .push(text(subtitle, kHeaderSubtitleSize, true, true)));
}

}  // namespace settings::ui_rows
