#pragma once

// The rows of the "Device security" card. They read "Checking…" until the
// probe worker's answer is in the cell, then show it; the rest of the page
// never waits for the probes.

#include <memory>
#include <string_view>

#include "kalu_ui/widget/column.h"
#include "kalu_ui/widget/text.h"
#include "panes/privacy/workers.h"
#include "vocabulary/type_names.h"

namespace settings::panes::privacy {

inline constexpr std::string_view kChecking = "Checking\u2026";

class SecurityRows final : public kalu_ui::widget::Column {
 public:
  static constexpr std::string_view kTypeName = type_names::kSecurityRows;

  explicit SecurityRows(std::shared_ptr<SecurityCell> cell);

  // Takes the answer once it is there; the cell is let go after it.
  void sync(kalu_ui::doc::Document& document) override;
  std::string_view type_name() const override { return kTypeName; }

  bool answered() const { return cell_ == nullptr; }

 private:
  std::shared_ptr<SecurityCell> cell_;
  // Owned by the rows below this column.
  kalu_ui::widget::Text* disk_encryption_ = nullptr;
  kalu_ui::widget::Text* secure_boot_ = nullptr;
  kalu_ui::widget::Text* firewall_ = nullptr;
};

}  // namespace settings::panes::privacy
