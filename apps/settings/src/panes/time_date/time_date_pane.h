#pragma once

// The Time & Date pane (Pane::kTimeDate): automatic time, the 12- or 24-hour clock
// and the time zone, chosen in a selector or on the map. It reads the device
// once, when it is built (page.h, TimeDateModel), and changes nothing itself:
// its controls are bound to the Time & Date section's actions, which reach
// the executor as "settings.time-date-operation"s that it applies and
// completes at once. So the page does not follow such a change while shown;
// the page frame builds the pane afresh each time the page is selected. It
// keeps no mailbox. The clock and date texts are read at each layout and
// again when the minute turns, which is the one wake-up the pane asks for;
// between minutes it stays idle. The zone catalogue and its land are made
// once and shared by every later opening until the zone tables change.

#include <optional>
#include <string_view>

#include "lib/page_pane.h"
#include "panes/time_date/page.h"
#include "vocabulary/registry.h"

namespace settings::panes::time_date {

class TimeDatePane final : public lib::PagePane {
 public:
  static constexpr std::string_view kTypeName = pane_row(Pane::kTimeDate).type_name;

  // Reads the device (TimeDateModel::read).
  TimeDatePane();
  explicit TimeDatePane(TimeDateModel model);
  // The pane as the page frame takes it.
  static kalu_ui::WidgetBox boxed();

  const TimeDateModel& model() const { return model_; }

  std::string_view type_name() const override { return kTypeName; }
  kalu_ui::layout::NodeId build_layout(kalu_ui::layout::LayoutTree& tree,
                                       const kalu_ui::RenderContext& context,
                                       kalu_ui::layout::NodeRegistry& registry) override;
  std::optional<kalu_actions::ActionContext> take_permission_request() override;
  // Moves the clock texts on when the minute has turned.
  void sync(kalu_ui::doc::Document& document) override;

  // The texts the page shows now (none before the first layout).
  const PageClockTexts& clock_texts() const { return texts_; }

 protected:
  // The next turn of the minute.
  std::optional<kalu_ui::Instant> own_wake_deadline() const override { return next_tick_; }

 private:
  void schedule_tick();

  TimeDateModel model_;
  PageClockTexts texts_;
  std::optional<kalu_ui::Instant> next_tick_;
};

// The section's three bindings, each logged when the section lacks it.
PageBindings section_bindings();

}  // namespace settings::panes::time_date
