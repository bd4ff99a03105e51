#pragma once

#include <string_view>

// The full type names that widgets answer from type_name. A type declares
// its own as `static constexpr std::string_view kTypeName = ...;` and answers
// it; short_type_name is the text after the last "::". The table below holds
// the toolkit's widgets; a program keeps the names of its own types with its
// own code.
namespace kalu_ui {

constexpr std::string_view short_type_name_of(std::string_view full_name) {
  const auto pos = full_name.rfind("::");
  return pos == std::string_view::npos ? full_name : full_name.substr(pos + 2);
}

namespace type_names {

// The toolkit's widgets.
inline constexpr std::string_view kAppShell = "kalu_ui::widget::app_shell::AppShell";
inline constexpr std::string_view kBadge = "kalu_ui::widget::badge::Badge";
inline constexpr std::string_view kButton = "kalu_ui::widget::button::Button";
inline constexpr std::string_view kCard = "kalu_ui::widget::card::Card";
inline constexpr std::string_view kColumn = "kalu_ui::widget::column::Column";
inline constexpr std::string_view kContainer = "kalu_ui::widget::container::Container";
inline constexpr std::string_view kDropdown = "kalu_ui::widget::dropdown::Dropdown";
inline constexpr std::string_view kIconWidget = "kalu_ui::widget::icon::IconWidget";
inline constexpr std::string_view kProgressBar = "kalu_ui::widget::progress_bar::ProgressBar";
inline constexpr std::string_view kQrWidget = "kalu_ui::widget::qr::QrWidget";
inline constexpr std::string_view kRow = "kalu_ui::widget::row::Row";
inline constexpr std::string_view kScrollable = "kalu_ui::widget::scrollable::Scrollable";
inline constexpr std::string_view kShortcutRecorder =
    "kalu_ui::widget::shortcut_recorder::ShortcutRecorder";
inline constexpr std::string_view kSlider = "kalu_ui::widget::slider::Slider";
inline constexpr std::string_view kSpacer = "kalu_ui::widget::spacer::Spacer";
inline constexpr std::string_view kSparkline = "kalu_ui::widget::chart::Sparkline";
inline constexpr std::string_view kText = "kalu_ui::widget::text::Text";
inline constexpr std::string_view kTextInput = "kalu_ui::widget::text_input::TextInput";
inline constexpr std::string_view kToggle = "kalu_ui::widget::toggle::Toggle";

// Every name above, for checks that walk the whole table.
inline constexpr std::string_view kAll[] = {
    kAppShell,   kBadge,       kButton,   kCard,      kColumn,     kContainer,        kDropdown,
    kIconWidget, kProgressBar, kQrWidget, kRow,       kScrollable, kShortcutRecorder, kSlider,
    kSpacer,     kSparkline,   kText,     kTextInput, kToggle,
};

}  // namespace type_names
}  // namespace kalu_ui
