#pragma once

// The Users pane's one worker, "kalu-users-change": it carries out one
// account or identity change (or none, for the pane's first reading), reads
// both lists afresh, sends the ChangeOutcome over a one-place channel and
// ends; it is never joined. The pane polls the receiving end in `sync` and
// starts the next worker only once this one answered, so one change runs at
// a time. When the pane goes first, the send fails quietly and the change
// (with any password it carried) is dropped on the worker.

#include <memory>
#include <optional>
#include <string_view>

#include "kalu_ui/channel.h"
#include "kalu_ui/result.h"
#include "panes/users/changes.h"

namespace settings::panes::users {

inline constexpr std::string_view kChangeWorkerName = "kalu-users-change";

using ChangeReceiver = kalu_ui::channel::Receiver<ChangeOutcome>;

// Starts the worker for `change`, or for the lists alone when there is none.
// `identities` may be null. The error is why no thread could be started;
// the change has then been dropped (its password wiped).
kalu_ui::Result<ChangeReceiver> start_change_worker(std::optional<Change> change,
                                                    std::shared_ptr<UsersBackend> users,
                                                    std::shared_ptr<IdentityBackend> identities);

}  // namespace settings::panes::users
