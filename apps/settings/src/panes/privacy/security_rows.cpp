#include "panes/privacy/security_rows.h"

#include <string>
#include <utility>

#include "lib/ui_rows.h"

namespace settings::panes::privacy {

namespace w = kalu_ui::widget;

namespace {

// A label row whose value text is kept for later.
kalu_ui::WidgetBox value_row(std::string_view label, w::Text*& value) {
  auto text = std::make_unique<w::Text>(std::string(kChecking));
  text->with_size(ui_rows::kLabelSize);
  value = text.get();
  return ui_rows::label_row(label, std::move(text));
}

}  // namespace

SecurityRows::SecurityRows(std::shared_ptr<SecurityCell> cell) : cell_(std::move(cell)) {
  with_gap(ui_rows::kRowsGap);
  push(value_row("Disk encryption", disk_encryption_));
  push(value_row("Secure Boot", secure_boot_));
  push(value_row("Firewall", firewall_));
}

void SecurityRows::sync(kalu_ui::doc::Document& document) {
  // Generation 0: nothing published yet, so no copy is taken.
  if (cell_ != nullptr && cell_->generation() != 0) {
    if (auto answer = cell_->get()) {
      disk_encryption_->set_text(answer->disk_encryption);
      secure_boot_->set_text(answer->secure_boot);
      firewall_->set_text(answer->firewall);
      cell_.reset();
    }
  }
  Column::sync(document);
}

}  // namespace settings::panes::privacy
