#pragma once

#include <cstdint>
#include <string_view>

// The numbers and names of the accessibility bus protocol (AT-SPI 2) that
// the bridge speaks: roles, states, object paths and interface names.
namespace kalu_ui::atspi {

// Roles, by their protocol numbers.
namespace role {
inline constexpr std::uint32_t kInvalid = 0;
inline constexpr std::uint32_t kComboBox = 11;
inline constexpr std::uint32_t kFrame = 23;
inline constexpr std::uint32_t kImage = 27;
inline constexpr std::uint32_t kLabel = 29;
inline constexpr std::uint32_t kListItem = 32;
inline constexpr std::uint32_t kMenu = 33;
inline constexpr std::uint32_t kMenuItem = 35;
inline constexpr std::uint32_t kPanel = 39;
inline constexpr std::uint32_t kPasswordText = 40;
inline constexpr std::uint32_t kProgressBar = 42;
inline constexpr std::uint32_t kButton = 43;
inline constexpr std::uint32_t kScrollPane = 49;
inline constexpr std::uint32_t kSlider = 51;
inline constexpr std::uint32_t kStatusBar = 54;
inline constexpr std::uint32_t kToggleButton = 62;
inline constexpr std::uint32_t kApplication = 75;
inline constexpr std::uint32_t kEntry = 79;
inline constexpr std::uint32_t kGrouping = 99;
}  // namespace role

// The role's name as the protocol spells it ("push button").
std::string_view role_name(std::uint32_t role);

// States, by their protocol numbers (bit positions of a state set).
enum class State : std::uint32_t {
  Active = 1,
  Armed = 2,
  Checked = 4,
  Editable = 7,
  Enabled = 8,
  Expandable = 9,
  Expanded = 10,
  Focusable = 11,
  Focused = 12,
  Horizontal = 14,
  Pressed = 20,
  Resizable = 21,
  Selectable = 22,
  Selected = 23,
  Sensitive = 24,
  Showing = 25,
  SingleLine = 26,
  Visible = 30,
  SelectableText = 38,
  Checkable = 41,
  HasPopup = 42,
};

// A set of states: bit n stands for state n.
class StateSet {
 public:
  void set(State state, bool on = true) {
    const std::uint64_t bit = std::uint64_t{1} << static_cast<std::uint32_t>(state);
    bits_ = on ? bits_ | bit : bits_ & ~bit;
  }
  bool has(State state) const { return (bits_ >> static_cast<std::uint32_t>(state)) & 1u; }
  std::uint64_t bits() const { return bits_; }
  friend bool operator==(const StateSet&, const StateSet&) = default;

 private:
  std::uint64_t bits_ = 0;
};

// The state's name in state-changed events ("focused", "checked").
std::string_view state_name(State state);

// Object paths and names.
inline constexpr std::string_view kObjectPrefix = "/org/a11y/atspi/accessible";
inline constexpr std::string_view kRootPath = "/org/a11y/atspi/accessible/root";
inline constexpr std::string_view kNullPath = "/org/a11y/atspi/null";
inline constexpr std::string_view kCachePath = "/org/a11y/atspi/cache";
inline constexpr std::string_view kRegistryName = "org.a11y.atspi.Registry";
inline constexpr std::string_view kRegistryPath = "/org/a11y/atspi/registry";

inline constexpr std::string_view kAccessible = "org.a11y.atspi.Accessible";
inline constexpr std::string_view kApplication = "org.a11y.atspi.Application";
inline constexpr std::string_view kComponent = "org.a11y.atspi.Component";
inline constexpr std::string_view kAction = "org.a11y.atspi.Action";
inline constexpr std::string_view kValue = "org.a11y.atspi.Value";
inline constexpr std::string_view kText = "org.a11y.atspi.Text";
inline constexpr std::string_view kCache = "org.a11y.atspi.Cache";
inline constexpr std::string_view kSocket = "org.a11y.atspi.Socket";
inline constexpr std::string_view kRegistry = "org.a11y.atspi.Registry";
inline constexpr std::string_view kEventObject = "org.a11y.atspi.Event.Object";
inline constexpr std::string_view kEventWindow = "org.a11y.atspi.Event.Window";

// Where a coordinate is measured from (Component's coordinate types).
enum class CoordType : std::uint32_t { Screen = 0, Window = 1, Parent = 2 };

}  // namespace kalu_ui::atspi
