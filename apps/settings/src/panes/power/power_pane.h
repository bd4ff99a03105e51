#pragma once

// The Power pane (Pane::kPower, "power"): the battery, its charge cap, the power
// profile, the idle timers and what the lid, the power key and a critically
// low battery do.
//
// What the pane promises:
// - It reads the device once, when it is built (model.h: read_power_readings),
//   and the settings document's "power" section; its page shows that model.
// - Its controls keep their values in a state document under the control ids
//   of model.h (the pane's own document once the application hosts it).
// - A change is applied only while the power operation asking for it is
//   pending in the completion cell (when the pane reports completions at
//   all); any other edit is written back to the applied value at the next
//   sync, so the page always shows what is in effect.
// - Every power operation the pane takes from its mailbox completes exactly
//   once in the same sync: applied, already in effect ("... is already
//   active.", "Already set to ..."), or failed with the reason.
// - A preference is saved the moment it is applied, by merging the "power"
//   section into the settings document; a failed save fails the operation
//   but leaves the change in effect.
// Everything runs on the UI thread; the pane has no workers.

#include <memory>
#include <optional>
#include <string>

#include "kalu_ui/document.h"
#include "lib/page_pane.h"
#include "operations/link.h"
#include "panes/power/model.h"
#include "stored/sections.h"
#include "system_ops/dispatcher.h"
#include "vocabulary/registry.h"

namespace settings::panes::power {

using operations::PowerOperation;

class PowerPane : public lib::PagePane,
                  public operations::WithOperationLink<PowerPane, PowerOperation> {
 public:
  static constexpr std::string_view kTypeName = pane_row(Pane::kPower).type_name;

  // Reads the device and the settings document.
  PowerPane();
  // With what was read and the dispatcher given (tests); the settings
  // document is still loaded.
  PowerPane(PowerReadings readings, std::shared_ptr<system_ops::Dispatcher> dispatcher);
  ~PowerPane() override;
  PowerPane(PowerPane&&) noexcept;
  PowerPane& operator=(PowerPane&&) noexcept;

  // The four handlers, run in this order on the working document.
  void apply_profile(kalu_ui::doc::Document& document);
  void apply_charge_limit(kalu_ui::doc::Document& document);
  void apply_idle_timers(kalu_ui::doc::Document& document);
  void apply_power_actions(kalu_ui::doc::Document& document);

  // Merges the "power" section into the settings document.
  kalu_ui::Status save_prefs();
  kalu_ui::Status save_prefs(const stored::PowerPrefs& prefs);

  // The model, as the page shows it.
  const PowerReadings& readings() const { return readings_; }
  PowerProfile current_profile() const { return current_profile_; }
  const stored::PowerPrefs& prefs() const { return prefs_; }
  const stored::PowerPrefs& applied() const { return applied_; }
  const std::optional<std::string>& charge_message() const { return charge_message_; }
  const std::optional<std::string>& profile_message() const { return profile_message_; }

  std::string_view type_name() const override { return kTypeName; }
  void sync(kalu_ui::doc::Document& document) override;
  kalu_ui::layout::NodeId build_layout(kalu_ui::layout::LayoutTree& tree,
                                       const kalu_ui::RenderContext& context,
                                       kalu_ui::layout::NodeRegistry& registry) override;
  std::optional<kalu_actions::ActionContext> take_permission_request() override;

 private:
  // sync's steps.
  void publish_all(kalu_ui::doc::Document& document);
  void take_request(kalu_ui::doc::Document& document);
  void republish_applied(kalu_ui::doc::Document& document);
  void run_handlers(kalu_ui::doc::Document& document);
  bool completion_pending() const;
  // The success text of an operation whose value is already in effect: the
  // device's for the profile and the charge cap, the stored document's
  // (`stored`, none when it could not be read) for the preferences.
  std::optional<std::string> already_applied(const PowerOperation& operation,
                                             const std::optional<stored::PowerPrefs>& stored) const;
  // The power section as the settings document holds it now: the defaults
  // when there is no file or no section; none when the document could not be
  // read or does not read.
  static std::optional<stored::PowerPrefs> stored_prefs();
  // Why the handlers left a pending operation unapplied.
  std::string unapplied(const PowerOperation& operation) const;

  // One timer or action step of the preference handlers.
  template <typename T>
  void apply_preference(kalu_ui::doc::Document& document, std::string_view key,
                        std::optional<T> (*parse)(std::string_view),
                        std::string_view (*label_of)(T), T stored::PowerPrefs::*field,
                        PowerOperation (*make)(std::string label), const std::string& success);

  PowerReadings readings_;
  std::optional<std::string> charge_message_;
  std::optional<std::string> profile_message_;
  std::shared_ptr<system_ops::Dispatcher> dispatcher_;
  stored::PowerPrefs prefs_;
  stored::PowerPrefs applied_;
  PowerProfile current_profile_ = PowerProfile::Balanced;
  PowerProfile applied_profile_ = PowerProfile::Balanced;
  bool needs_publish_ = true;
};

// Writes `text` under `key` unless the key already holds that text.
void put_text_if_changed(kalu_ui::doc::Document& document, std::string_view key,
                         std::string_view text);

}  // namespace settings::panes::power
