#include "panes/doc_flags.h"

namespace settings::panes {

std::string edit_control_id(std::string_view control_id) {
  std::string key(control_id);
  key += ".edit";
  return key;
}

bool take_doc_flag(kalu_ui::doc::Document& document, std::string_view key) {
  if (document.read_bool(kalu_ui::doc::kRoot, key) != true) return false;
  // Writing under a key of the root cannot fail.
  (void)document.put(kalu_ui::doc::kRoot, key, kalu_ui::doc::Scalar(false));
  return true;
}

}  // namespace settings::panes
