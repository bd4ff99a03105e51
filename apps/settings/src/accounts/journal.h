#pragma once

// The account mutation journal. An account change touches up to three files
// one after the other (the account list, the sync statuses, the credential
// vault), so a crash between two writes could leave them disagreeing. Before
// a change the previous state of all three goes to "mutation-journal.json"
// in the accounts directory (owner-only, written atomically); after the
// change the journal is removed. A journal that is still there means a change
// was interrupted: replaying it puts the three files back exactly as they
// were and removes it. That happens at start-up, before the next change, and
// when removing the journal fails.
//
// A replay that fails leaves the journal where it is, and every later change
// is refused with the replay's error until a replay succeeds, so nothing is
// built on top of stores that may disagree.
//
// UI thread only; no file is locked against other processes.

#include <filesystem>
#include <string_view>

#include "account_book/account_store.h"
#include "account_book/sync_status.h"
#include "accounts/stores.h"
#include "kalu_ui/result.h"

namespace settings::accounts {

// "mutation-journal.json" in the accounts directory; "no config dir"
// without an accounts root.
kalu_ui::Result<std::filesystem::path> mutation_journal_path(const RootOverride& root);

// Replays any journal left behind, then records `store`, `statuses` (as they
// are before the change) and the vault file's bytes. The caller changes
// nothing unless this succeeds. A vault file that exists but cannot be read
// refuses the change, since recording it as absent would let a replay delete
// it.
kalu_ui::Status begin_account_mutation(const RootOverride& root,
                                       const account_book::AccountStore& store,
                                       const account_book::AccountSyncStatusStore& statuses);

// Removes the journal; one that is already gone counts as removed.
kalu_ui::Status clear_account_mutation(const RootOverride& root);

// Puts the three stores back as the journal recorded them, then removes it.
// No journal: nothing to do. Stops at the first failure, leaving the journal.
kalu_ui::Status roll_back_account_mutation(const RootOverride& root);

// The start-up replay: rolls back when there is an accounts root; a failure
// is logged ("could not recover interrupted account mutation") and start-up
// goes on.
void recover_interrupted_mutation(const RootOverride& root);

// Ends a change named `operation` ("account removal", "account save"):
// removes the journal, and when that fails, rolls the change back and
// reports both.
kalu_ui::Status commit_account_mutation(const RootOverride& root, std::string_view operation);

}  // namespace settings::accounts
