#include "accounts/journal.h"

#include <fcntl.h>
#include <fmt/format.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

#include "account_book/paths.h"
#include "account_book/secret_vault.h"
#include "accounts/records.h"
#include "kalu_ui/log.h"
#include "prefs_store/document.h"
#include "safe_write/safe_write.h"

namespace settings::accounts {

namespace fs = std::filesystem;
using kalu_ui::fail;
using kalu_ui::Result;
using kalu_ui::Status;

namespace {

constexpr std::string_view kJournalFile = "mutation-journal.json";

std::string error_text(int err) { return std::error_code(err, std::generic_category()).message(); }

Result<fs::path> require_root(const RootOverride& root) {
  auto dir = accounts_root(root);
  if (!dir) return fail("no config dir");
  return *dir;
}

// Removes a file; one that is not there counts as removed.
Status remove_file(const fs::path& path) {
  if (::unlink(path.c_str()) == 0 || errno == ENOENT) return {};
  return fail("could not remove {}: {}", path.string(), error_text(errno));
}

// Makes a removal durable; a failure here loses nothing that matters, since
// a journal that comes back after a power loss is replayed once more.
void flush_directory(const fs::path& dir) {
  const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

// The vault file's bytes; none when there is no vault file.
Result<std::optional<std::vector<std::uint8_t>>> read_vault_bytes(const fs::path& root) {
  auto text =
      prefs_store::read_text(account_book::vault_file_in(root), account_book::kMaxVaultBytes);
  if (!text) return fail(text.error());
  if (!*text) return std::optional<std::vector<std::uint8_t>>();
  return std::optional<std::vector<std::uint8_t>>(std::in_place, (*text)->begin(), (*text)->end());
}

Status restore_vault(const fs::path& root, const std::optional<std::vector<std::uint8_t>>& bytes) {
  const fs::path file = account_book::vault_file_in(root);
  if (!bytes) return remove_file(file);
  const std::string_view view(reinterpret_cast<const char*>(bytes->data()), bytes->size());
  return safe_write::write_creating_parent_with_mode(file, view, 0600);
}

}  // namespace

Result<fs::path> mutation_journal_path(const RootOverride& root) {
  auto dir = require_root(root);
  if (!dir) return fail(dir.error());
  return account_book::accounts_dir_in(*dir) / kJournalFile;
}

Status begin_account_mutation(const RootOverride& root, const account_book::AccountStore& store,
                              const account_book::AccountSyncStatusStore& statuses) {
  if (auto replayed = roll_back_account_mutation(root); !replayed) return replayed;
  auto dir = require_root(root);
  if (!dir) return fail(dir.error());
  auto vault = read_vault_bytes(*dir);
  if (!vault) return fail("could not read credential vault: {}", vault.error());
  const AccountMutationJournal journal{store, statuses, std::move(*vault)};
  // The codec's writer cannot fail, so there is no serialization error to
  // report here.
  const std::string text = codec::to_json(journal);
  const fs::path path = account_book::accounts_dir_in(*dir) / kJournalFile;
  if (auto written = safe_write::write_creating_parent_with_mode(path, text, 0600); !written) {
    return fail("could not persist account transaction intent: {}", written.error());
  }
  return {};
}

Status clear_account_mutation(const RootOverride& root) {
  auto path = mutation_journal_path(root);
  if (!path) return fail(path.error());
  if (::unlink(path->c_str()) != 0) {
    if (errno == ENOENT) return {};
    return fail("could not clear account transaction intent: {}", error_text(errno));
  }
  flush_directory(path->parent_path());
  return {};
}

Status roll_back_account_mutation(const RootOverride& root) {
  auto path = mutation_journal_path(root);
  if (!path) return fail(path.error());
  auto text = prefs_store::read_text(*path);
  if (!text) return fail("could not read account transaction intent: {}", text.error());
  if (!*text) return {};
  auto journal = codec::from_json<AccountMutationJournal>(**text);
  if (!journal) {
    return fail("account transaction intent is invalid: {}", journal.error());
  }
  if (auto saved = save_account_store(root, journal->previous_store); !saved) {
    return fail("could not recover account metadata: {}", saved.error());
  }
  if (auto saved = save_sync_status(root, journal->previous_statuses); !saved) {
    return fail("could not recover account sync status: {}", saved.error());
  }
  auto dir = require_root(root);
  if (!dir) return fail(dir.error());
  if (auto restored = restore_vault(*dir, journal->previous_vault_ciphertext); !restored) {
    return fail("could not recover credential vault: {}", restored.error());
  }
  return clear_account_mutation(root);
}

void recover_interrupted_mutation(const RootOverride& root) {
  if (!accounts_root(root)) return;
  if (auto replayed = roll_back_account_mutation(root); !replayed) {
    kalu_ui::log::warn("kalu::settings", "settings::accounts",
                       "could not recover interrupted account mutation",
                       {{"error", replayed.error()}});
  }
}

Status commit_account_mutation(const RootOverride& root, std::string_view operation) {
  auto cleared = clear_account_mutation(root);
  if (cleared) return {};
  if (auto replayed = roll_back_account_mutation(root); !replayed) {
    return fail("could not complete {}: {}; recovery also failed: {}", operation, cleared.error(),
                replayed.error());
  }
  return fail("could not complete {}: {}; changes were rolled back", operation, cleared.error());
}

}  // namespace settings::accounts
