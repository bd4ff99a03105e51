#pragma once

#include <string_view>

#include "kalu_ui/document.h"
#include "kalu_ui/result.h"

namespace settings::lib {

// Prepares an editable text field: makes sure the key of `parent` holds a text
// object the toolkit can edit in place, and answers its id. A text object
// already there is kept; a plain string there becomes the new object's text;
// anything else is replaced by an empty text object. Fails only when `parent`
// is not a map of the document.
kalu_ui::Result<kalu_ui::doc::ObjId> seed_text_object(kalu_ui::doc::Document& doc,
                                                      const kalu_ui::doc::ObjId& parent,
                                                      std::string_view key);

}  // namespace settings::lib
