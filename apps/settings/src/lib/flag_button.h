#pragma once

// A button that starts work through the state document: a click (or an
// automation client pressing its "kalu.control:<id>" resource) writes the
// boolean true under its flag key at the next sync, where the pane's `sync`
// takes it (panes::take_doc_flag) and runs its handler once. The press
// survives until it is written; until the pane has had one sync to see it,
// the button asks for a frame at once, so a press is never left waiting for
// the next unrelated event.

#include <memory>
#include <string>

#include "kalu_ui/widget/button.h"

namespace settings::lib {

class FlagButton : public kalu_ui::widget::Button {
 public:
  FlagButton(std::string label, std::string id, std::string flag_key);

  const std::string& flag_key() const { return flag_key_; }

  void sync(kalu_ui::doc::Document& document) override;
  std::optional<kalu_ui::Instant> next_wake_deadline() const override;

 private:
  std::string flag_key_;
  // Shared with the click handler, which the button keeps.
  std::shared_ptr<bool> pressed_ = std::make_shared<bool>(false);
  bool written_ = false;
};

}  // namespace settings::lib
