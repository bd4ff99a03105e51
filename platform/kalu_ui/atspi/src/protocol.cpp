#include "kalu_ui/atspi/protocol.h"

namespace kalu_ui::atspi {

std::string_view role_name(std::uint32_t r) {
  switch (r) {
    case role::kComboBox:
      return "combo box";
    case role::kFrame:
      return "frame";
    case role::kImage:
      return "image";
    case role::kLabel:
      return "label";
    case role::kListItem:
      return "list item";
    case role::kMenu:
      return "menu";
    case role::kMenuItem:
      return "menu item";
    case role::kGrouping:
      return "grouping";
    case role::kPanel:
      return "panel";
    case role::kPasswordText:
      return "password text";
    case role::kProgressBar:
      return "progress bar";
    case role::kButton:
      return "push button";
    case role::kScrollPane:
      return "scroll pane";
    case role::kSlider:
      return "slider";
    case role::kStatusBar:
      return "status bar";
    case role::kToggleButton:
      return "toggle button";
    case role::kApplication:
      return "application";
    case role::kEntry:
      return "entry";
    default:
      return "unknown";
  }
}

std::string_view state_name(State state) {
  switch (state) {
    case State::Active:
      return "active";
    case State::Armed:
      return "armed";
    case State::Checked:
      return "checked";
    case State::Editable:
      return "editable";
    case State::Enabled:
      return "enabled";
    case State::Expandable:
      return "expandable";
    case State::Expanded:
      return "expanded";
    case State::Focusable:
      return "focusable";
    case State::Focused:
      return "focused";
    case State::Horizontal:
      return "horizontal";
    case State::Pressed:
      return "pressed";
    case State::Resizable:
      return "resizable";
    case State::Selectable:
      return "selectable";
    case State::Selected:
      return "selected";
    case State::Sensitive:
      return "sensitive";
    case State::Showing:
      return "showing";
    case State::SingleLine:
      return "single-line";
    case State::Visible:
      return "visible";
    case State::SelectableText:
      return "selectable-text";
    case State::Checkable:
      return "checkable";
    case State::HasPopup:
      return "has-popup";
  }
  return "invalid";
}

}  // namespace kalu_ui::atspi
