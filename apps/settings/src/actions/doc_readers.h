#pragma once

// Reading control values out of the state document. Pages keep each control's
// value at the document's root under its control id ("display.brightness");
// a pane's `sync` reads them back every frame, and so do the action argument
// readers. Each reader answers a value of exactly one kind or nothing: there
// is no conversion between kinds (the integer 1 is not the float 1.0, the
// string "true" is not a boolean), and a missing key, a value of another kind
// or an object that is not a map all count as nothing. Readers never write
// and never fail. The boolean and float readers do not allocate.

#include <optional>
#include <string>
#include <string_view>

#include "kalu_ui/document.h"

namespace settings::actions {

// Whatever the key holds (a scalar, or an object named by its id), read from
// the document's current state.
std::optional<kalu_ui::doc::Value> get_doc_value(const kalu_ui::doc::Document& document,
                                                 const kalu_ui::doc::ObjId& obj,
                                                 std::string_view key);

// A text object's whole text, or a string scalar.
std::optional<std::string> read_doc_text(const kalu_ui::doc::Document& document,
                                         const kalu_ui::doc::ObjId& obj, std::string_view key);
// A string scalar only: a text object gives nothing.
std::optional<std::string> read_doc_str(const kalu_ui::doc::Document& document,
                                        const kalu_ui::doc::ObjId& obj, std::string_view key);
// A 64-bit float scalar only: integers give nothing.
std::optional<double> read_doc_f64(const kalu_ui::doc::Document& document,
                                   const kalu_ui::doc::ObjId& obj, std::string_view key);
// A boolean scalar only.
std::optional<bool> read_doc_bool(const kalu_ui::doc::Document& document,
                                  const kalu_ui::doc::ObjId& obj, std::string_view key);

// Takes a pane's pending document out, leaving a new empty document in its
// place; the pane puts it back at the end of its `sync`.
kalu_ui::doc::Document take_doc(kalu_ui::doc::Document& pending);

}  // namespace settings::actions
