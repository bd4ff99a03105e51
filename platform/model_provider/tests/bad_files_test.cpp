#include "safe_write/bad_files.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>

#include "model_provider/config.h"
#include "model_provider/gateway.h"
#include "temp_config.h"

namespace model_provider {
namespace {

namespace fs = std::filesystem;
using kalu_ui::secret::SecretText;
using safe_write::testing::BadFile;
using testing::TempConfig;

// The provider configuration and the key vault, put out of reach in every way
// a reader must survive: the read answers at once with the reason.
TEST(BadFiles, ConfigurationAndKeysRefuseWithoutBlocking) {
  struct File {
    std::string relative;
    std::function<std::optional<std::string>()> read;
  };
  const File files[] = {
      {"model-providers.json", [] { return ProviderConfig::load().read_error(); }},
      {"model-gateway/keys.enc",
       []() -> std::optional<std::string> {
         auto configured = kalu_model_gateway::secret_configured("p1");
         if (configured) return std::nullopt;
         return configured.error();
       }},
  };
  const std::map<BadFile, std::string> reasons = {
      {BadFile::kFifo, "not a regular file (a FIFO)"},
      {BadFile::kDevZeroLink, "not a regular file (a device)"},
      {BadFile::kHuge, "larger than "},
      {BadFile::kDirectory, "not a regular file (a directory)"},
      {BadFile::kNoPermission, "Permission denied"},
  };
  for (const File& file : files) {
    for (const auto& bad : safe_write::testing::bad_files()) {
      SCOPED_TRACE(file.relative + " as " + std::string(bad.name));
      TempConfig config;
      ASSERT_TRUE(kalu_model_gateway::set_api_key("p1", SecretText::copy_of("sk-1")));
      const fs::path path = config.at(file.relative);
      fs::create_directories(path.parent_path());
      fs::remove(path);
      if (!safe_write::testing::make_bad_file(path, bad.kind)) continue;
      const auto started = std::chrono::steady_clock::now();
      const auto error = file.read();
      EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
      ASSERT_TRUE(error.has_value());
      EXPECT_NE(error->find(reasons.at(bad.kind)), std::string::npos) << *error;
      std::error_code ec;
      fs::permissions(path, fs::perms::owner_all, ec);
    }
  }
}

}  // namespace
}  // namespace model_provider
