#include "panes/accessibility/page.h"

#include <string>
#include <vector>

#include "actions/invocations.h"
#include "actions/specs.h"
#include "kalu_ui/log.h"
#include "kalu_ui/widget/dropdown.h"
#include "kalu_ui/widget/toggle.h"
#include "vocabulary/accessibility_labels.h"

namespace settings::panes::accessibility {
namespace {

namespace w = kalu_ui::widget;
using ui_rows::WidgetBox;
using ui_rows::WidgetList;

constexpr std::string_view kSharedCaption =
    "Vision comforts are the same settings the Appearance pane offers \u2014 changing them here "
    "or there updates one shared value. Pointer sizing, sticky keys and slow keys are applied by "
    "the compositor's input layer. Colour filters, the magnifier and pointer guides are "
    "final-scene compositor effects. Text-caret width is owned by the shared toolkit. The screen "
    "reader reloads in every Kalu app and visual alerts are rendered by shell chrome. The "
    "on-screen keyboard is a sandboxed system service: the compositor starts it on a private "
    "input-method socket and keeps its surface out of workspace tiles. Unsupported capabilities "
    "are identified explicitly instead of being stored as inert toggles.";

// Builds the controls of one page, bound to the actions of one section
// built for the device the page shows (not one section per control).
class Controls {
 public:
  Controls(const Model& model, const Device& device)
      : model_(model),
        section_(
            actions::accessibility_resource(stored::SettingsPrefs{}, device.section_device())) {}

  WidgetBox toggle(std::string_view label, std::string_view description, std::string_view id,
                   std::string_view action) const {
    w::Toggle control{std::string(id), std::string(id)};
    control.with_id(std::string(id));
    if (auto binding = actions::bind_toggle(section_, action)) {
      control.on_action(std::move(*binding));
    } else {
      missing(action);
    }
    return ui_rows::described_row(label, description, w::boxed(std::move(control)));
  }

  WidgetBox dropdown(std::string_view label, std::string_view id, std::string_view action) const {
    const Control* row = control(id);
    w::Dropdown control(std::string(id),
                        std::vector<std::string>(row->labels.begin(), row->labels.end()),
                        std::string(row->label(model_)));
    if (auto binding = actions::bind_action(section_, action, actions::choice_arguments())) {
      control.on_action(std::move(*binding));
    } else {
      missing(action);
    }
    control.with_id(std::string(id));
    return ui_rows::setting_row(label, w::boxed(std::move(control)));
  }

 private:
  // Logged, not fatal: the section is a fixed table, so a missing action is
  // the program's own fault, and the control still keeps its value.
  static void missing(std::string_view action) {
    kalu_ui::log::warn("kalu::settings", "settings::panes::accessibility",
                       "Accessibility action must be published",
                       {{"op", "accessibility_binding"}, {"requested", std::string(action)}});
  }

  const Model& model_;
  kalu_actions::Resource section_;
};

WidgetBox card(std::string_view title, WidgetList rows) {
  return ui_rows::section_card(title, ui_rows::rows_column(std::move(rows)));
}

WidgetBox vision(const Controls& c) {
  WidgetList rows;
  rows.push_back(c.toggle("High contrast", "Maximise contrast for low-vision comfort",
                          "a11y.high_contrast", "high-contrast"));
  rows.push_back(c.toggle("Reduce motion", "Skip animations and transitions", "a11y.reduce_motion",
                          "reduce-motion"));
  rows.push_back(c.dropdown("Text size", "a11y.text_size", "text-size"));
  rows.push_back(c.dropdown("Colour filter", "a11y.color_filter", "colour-filter"));
  rows.push_back(c.dropdown("Magnifier lens", "a11y.magnifier", "magnifier"));
  return card("Vision", std::move(rows));
}

WidgetBox pointer(const Controls& c) {
  WidgetList rows;
  rows.push_back(c.toggle("Large cursor", "Enlarge the mouse pointer so it is easy to find",
                          "a11y.large_cursor", "large-cursor"));
  rows.push_back(c.dropdown("Cursor size", "a11y.cursor_size", "cursor-size"));
  rows.push_back(c.toggle("Pointer crosshair", "Draw high-contrast guide lines through the pointer",
                          "a11y.cursor_crosshair", "pointer-crosshair"));
  rows.push_back(c.toggle("Thicker text cursor", "Use a wider insertion caret in Kalu applications",
                          "a11y.thick_text_caret", "thick-text-caret"));
  return card("Pointer", std::move(rows));
}

WidgetBox typing(const Controls& c, const Device& device) {
  WidgetList rows;
  rows.push_back(c.toggle("Sticky keys",
                          "Type shortcuts one key at a time instead of holding a chord",
                          "a11y.sticky_keys", "sticky-keys"));
  rows.push_back(
      c.toggle("Slow keys", "Ignore brief, accidental key presses", "a11y.slow_keys", "slow-keys"));
  rows.push_back(device.on_screen_keyboard
                     ? c.toggle("On-screen keyboard",
                                "Show the keyboard automatically for focused text fields",
                                "a11y.on_screen_keyboard", "on-screen-keyboard")
                     : ui_rows::info_row("On-screen keyboard", kNoKeyboard));
  rows.push_back(c.toggle("Switch control",
                          "Translate a hardware switch pair into standard Tab and Enter actions",
                          "a11y.switch_control", "switch-control"));
  rows.push_back(c.dropdown("Switch keys (next / activate)", "a11y.switch_keys", "switch-keys"));
  rows.push_back(c.dropdown("Automatic scan", "a11y.switch_scan", "switch-scan"));
  return card("Typing", std::move(rows));
}

WidgetBox assistive(const Controls& c, const Device& device) {
  WidgetList rows;
  if (device.speech_engine) {
    rows.push_back(c.toggle("Screen reader", "Read focused controls and live announcements aloud",
                            "a11y.screen_reader", "screen-reader"));
    rows.push_back(ui_rows::info_row("Speech engine", *device.speech_engine));
    rows.push_back(c.dropdown("Speech rate", "a11y.reader_rate", "speech-rate"));
    rows.push_back(c.dropdown("Voice", "a11y.reader_voice", "speech-voice"));
  } else {
    rows.push_back(ui_rows::info_row("Screen reader", kNoSpeechEngine));
  }
  rows.push_back(c.toggle("Visual alerts",
                          "Flash a clear screen-edge alert when a notification arrives",
                          "a11y.visual_alerts", "visual-alerts"));
  rows.push_back(ui_rows::info_row("Application focus highlight",
                                   "Not yet available for non-Kalu applications"));
  rows.push_back(ui_rows::info_row(
      "Live captions", "Unavailable \u2014 no local speech-to-text engine is installed"));
  return card("More assistive technology", std::move(rows));
}

}  // namespace

Device Device::probe() {
  return Device{.speech_engine = speech_engine_name(),
                .on_screen_keyboard = on_screen_keyboard_installed()};
}

WidgetBox build_page(const Model& model, const Device& device) {
  const Controls controls(model, device);
  WidgetList cards;
  cards.push_back(vision(controls));
  cards.push_back(pointer(controls));
  cards.push_back(typing(controls, device));
  cards.push_back(assistive(controls, device));
  cards.push_back(ui_rows::section_card("Shared with your apps", ui_rows::caption(kSharedCaption)));
  return ui_rows::sections_column(std::move(cards));
}

}  // namespace settings::panes::accessibility
