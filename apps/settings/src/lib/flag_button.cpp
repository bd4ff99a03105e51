#include "lib/flag_button.h"

#include "kalu_ui/document.h"

namespace settings::lib {

FlagButton::FlagButton(std::string label, std::string id, std::string flag_key)
    : Button(std::move(label)), flag_key_(std::move(flag_key)) {
  with_id(std::move(id));
  on_click([pressed = pressed_] { *pressed = true; });
}

void FlagButton::sync(kalu_ui::doc::Document& document) {
  Button::sync(document);
  // The page syncs after its pane: by now the pane has seen the last write.
  written_ = false;
  if (*pressed_) {
    *pressed_ = false;
    (void)document.put(kalu_ui::doc::kRoot, flag_key_, kalu_ui::doc::Scalar(true));
    written_ = true;
  }
}

std::optional<kalu_ui::Instant> FlagButton::next_wake_deadline() const {
  if (*pressed_ || written_) return kalu_ui::Instant::now();
  return std::nullopt;
}

}  // namespace settings::lib
