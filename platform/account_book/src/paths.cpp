#include "account_book/paths.h"

#include "prefs_store/paths.h"

namespace account_book {

namespace fs = std::filesystem;

std::optional<fs::path> config_root() {
  auto dir = prefs_store::config_dir();
  if (!dir) return std::nullopt;
  return *dir / "kalu";
}

fs::path accounts_dir_in(const fs::path& root) { return root / "accounts"; }

fs::path vault_dir_in(const fs::path& root) { return root / "vault"; }

}  // namespace account_book
