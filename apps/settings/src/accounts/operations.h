#pragma once

// The account changes of the External Accounts pane, shared by the pane's
// buttons and by automation clients: removing an account, saving an account
// whose server check succeeded, and replacing a saved credential.
//
// Removal and saving are journaled (accounts/journal.h): the previous state
// of the account list, the sync statuses and the vault is recorded before
// the first write and dropped after the last. When a step fails, the steps
// already taken are undone where that can be done; the journal stays exactly
// when the stores may disagree, so the next start puts them back.
//
// Every failure is a text for the pane's status line (or an automation
// client); no credential ever appears in one, nor in a log. UI thread.

#include <string_view>

#include "account_book/account_store.h"
#include "account_book/secret_vault.h"
#include "accounts/kinds.h"
#include "accounts/stores.h"
#include "kalu_ui/result.h"

namespace settings::accounts {

// Removes the saved credential, the metadata and the sync status of the
// account `id` of `kind`. An id the store no longer lists is not an error:
// its credential and status still go. Fails with "account type changed
// before removal; refresh Settings and try again" (nothing written) when the
// store holds the id under another kind, else with a text beginning "could
// not remove saved credential: ", "could not remove account metadata: " or
// "could not remove account sync status: ", or the journal's own error.
kalu_ui::Status remove_account(const RootOverride& root, AccountKind kind, std::string_view id);

// Saves `account` (added or edited, already checked against its server) and,
// when `credential` is not blank, stores it as the account's secret. The
// sync statuses are not changed. Failures: the journal's error, "could not
// save credential: ...", "could not persist account: ..." (also logged as
// "failed to persist account metadata"), or "could not persist account: ...;
// credential rollback also failed: ...".
kalu_ui::Status save_checked_account(const RootOverride& root, const account_book::Account& account,
                                     const kalu_ui::secret::SecretText& credential);

// Replaces the saved secret of `id` (a re-authentication that passed its
// check). Not journaled: it changes one file. The vault's error as it is.
kalu_ui::Status replace_credential(const RootOverride& root, std::string_view id,
                                   const kalu_ui::secret::SecretText& credential);

}  // namespace settings::accounts
