#include "lib/text_object.h"

#include <string>

namespace settings::lib {

namespace doc = kalu_ui::doc;

kalu_ui::Result<doc::ObjId> seed_text_object(doc::Document& document, const doc::ObjId& parent,
                                             std::string_view key) {
  auto current = document.get(parent, key);
  std::string previous;
  if (current) {
    if (const auto* ref = std::get_if<doc::ObjectRef>(&*current)) {
      if (ref->type == doc::ObjType::Text) return ref->id;
    } else if (const auto* text = std::get_if<std::string>(&std::get<doc::Scalar>(*current))) {
      previous = *text;
    }
  }
  auto made = document.put_object(parent, key, doc::ObjType::Text);
  if (!made) return kalu_ui::fail("seed a Text object for an editable field: " + made.error());
  // The remembered text was a valid string value, so inserting it cannot
  // fail; should it, the field simply starts empty.
  if (!previous.empty()) (void)document.insert_text(*made, 0, previous);
  return *made;
}

}  // namespace settings::lib
