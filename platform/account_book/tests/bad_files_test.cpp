#include "safe_write/bad_files.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>

#include "account_book/account_store.h"
#include "account_book/secret_vault.h"
#include "account_book/sync_status.h"
#include "temp_root.h"

namespace account_book {
namespace {

namespace fs = std::filesystem;
using kalu_ui::secret::SecretText;
using safe_write::testing::bad_files;
using testing::TempRoot;

// Each of the library's files, put out of reach in every way a reader must
// survive: the open answers quickly with the reason, and nothing is replaced.
TEST(BadFiles, EveryStoreRefusesWithoutBlocking) {
  struct File {
    std::string relative;
    // The read's error, or none when it read.
    std::function<std::optional<std::string>(const fs::path& root)> open;
  };
  const File files[] = {
      {"vault/vault.enc",
       [](const fs::path& root) { return SecretVault::open_in(root).read_error(); }},
      {"vault/vault.key",
       [](const fs::path& root) { return SecretVault::open_in(root).read_error(); }},
      {"accounts/accounts.json",
       [](const fs::path& root) -> std::optional<std::string> {
         auto store = AccountStore::load_in(root);
         if (store) return std::nullopt;
         return store.error();
       }},
      {"accounts/sync-status.json",
       [](const fs::path& root) -> std::optional<std::string> {
         auto store = AccountSyncStatusStore::load_in(root);
         if (store) return std::nullopt;
         return store.error();
       }},
  };
  const std::map<safe_write::testing::BadFile, std::string> reasons = {
      {safe_write::testing::BadFile::kFifo, "not a regular file (a FIFO)"},
      {safe_write::testing::BadFile::kDevZeroLink, "not a regular file (a device)"},
      {safe_write::testing::BadFile::kHuge, "larger than "},
      {safe_write::testing::BadFile::kDirectory, "not a regular file (a directory)"},
      {safe_write::testing::BadFile::kNoPermission, "Permission denied"},
  };
  for (const File& file : files) {
    for (const auto& bad : bad_files()) {
      SCOPED_TRACE(file.relative + " as " + std::string(bad.name));
      TempRoot root;
      {
        // A saved vault, so the key is read too.
        SecretVault vault = SecretVault::open_in(root.path());
        vault.put("me@example.org", SecretText::copy_of("pw"));
        ASSERT_TRUE(vault.try_save());
      }
      const fs::path path = root.path() / file.relative;
      fs::create_directories(path.parent_path());
      fs::remove(path);
      if (!safe_write::testing::make_bad_file(path, bad.kind)) continue;
      const auto started = std::chrono::steady_clock::now();
      const auto error = file.open(root.path());
      EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
      ASSERT_TRUE(error.has_value());
      EXPECT_NE(error->find(path.string()), std::string::npos) << *error;
      EXPECT_NE(error->find(reasons.at(bad.kind)), std::string::npos) << *error;
      if (file.relative.starts_with("vault/")) {
        SecretVault vault = SecretVault::open_in(root.path());
        EXPECT_FALSE(vault.try_save()) << "a vault that did not read is never replaced";
      }
      std::error_code ec;
      fs::permissions(path, fs::perms::owner_all, ec);
    }
  }
}

}  // namespace
}  // namespace account_book
