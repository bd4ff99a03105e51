#include "vocabulary/doc_flags.h"

namespace settings::panes {

bool take_doc_flag(kalu_ui::doc::Document& document, std::string_view key) {
  if (document.read_bool(kalu_ui::doc::kRoot, key) != true) return false;
  // Writing under a key of the root cannot fail.
  (void)document.put(kalu_ui::doc::kRoot, key, kalu_ui::doc::Scalar(false));
  return true;
}

}  // namespace settings::panes
