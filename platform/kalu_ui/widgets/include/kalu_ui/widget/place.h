#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "widget_contract/widget.h"

// The person's place in a tree of widgets: how far each viewport is
// scrolled, which widget holds the keyboard focus, the text being typed into
// a field with its caret and selection, the control held pressed and the list
// left open. Pages are rebuilt under the person's hands (a background answer,
// an applied change); a page built anew gets the place back, widget by
// widget, under the same keys, so nothing the person was doing is lost.
//
// A widget that keeps a place derives from KeepsPlace. Its key is its id, or
// for a widget without one its kind and its order among the keyless widgets
// of that kind. TreePlace::capture takes the place of a whole tree;
// TreePlace::restore hands each widget built since the capture the place of
// the widget that had its key before, and gives the focus back when nothing
// holds it any more. Widgets that lived through the rebuild keep their own.
// A focused control that is gone, or can no longer take the focus, passes it
// to the question's default answer when one appeared, else to the control
// that now follows the nearest one before it that is still there (its
// replacement in the same row, or the next control), so the focus stays
// where the person was rather than falling back to the window.
// Everything runs on the UI thread.
namespace kalu_ui::widget {

// A field's text as the person is typing it. The text of a field over a
// secret is never copied: only the caret travels.
struct TextEdit {
  std::optional<std::string> text;
  std::size_t caret = 0;
  std::size_t anchor = 0;
  // Typed since the field took the focus, with no Enter since: the person's
  // text wins over any value the field is given meanwhile.
  bool editing = false;
};

// One widget's place; a widget at rest has none.
struct WidgetPlace {
  std::optional<double> scroll_offset;
  std::optional<TextEdit> edit;
  bool pressed = false;
  // An open list and its highlighted entry.
  std::optional<std::size_t> open_at;
};

class KeepsPlace {
 public:
  virtual ~KeepsPlace() = default;

  // The key the widget is known by in the next tree (a view into the
  // widget); none: by its kind and order.
  virtual std::optional<std::string_view> place_key() const = 0;
  // What of the person's place it holds; none at rest.
  virtual std::optional<WidgetPlace> place() const = 0;
  // Takes the place the widget of its key had in the tree it replaces.
  virtual void take_place(const WidgetPlace& place) = 0;

  // Tells this widget from another of the same key: widgets made apart have
  // different serials, a widget moved into its box keeps its own.
  std::uint64_t place_serial() const { return serial_; }

 protected:
  KeepsPlace();
  KeepsPlace(const KeepsPlace&) = default;
  KeepsPlace(KeepsPlace&&) noexcept = default;
  KeepsPlace& operator=(const KeepsPlace&) = default;
  KeepsPlace& operator=(KeepsPlace&&) noexcept = default;

 private:
  std::uint64_t serial_;
};

class TreePlace {
 public:
  // Every place held under `root`, and the key of the focused widget.
  static TreePlace capture(const Widget& root);
  // Hands each widget built since the capture the place of its key, and the
  // focus to the widget of the focused key when no widget holds it.
  void restore(Widget& root) const;
  bool empty() const { return places_.empty() && !focused_; }

 private:
  struct Held {
    std::uint64_t serial = 0;
    WidgetPlace place;
  };
  std::unordered_map<std::string, Held> places_;
  std::optional<std::string> focused_;
  // The keys of the focusable widgets before the focused one, the nearest
  // first, and after it.
  std::vector<std::string> before_;
  std::vector<std::string> after_;
};

}  // namespace kalu_ui::widget
