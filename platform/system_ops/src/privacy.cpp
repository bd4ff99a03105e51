#include "system_ops/privacy.h"

#include "access.h"

namespace system_ops {

using detail::Json;
using kalu_ui::fail;

namespace privacy {

kalu_ui::Result<PrivacyStatus> get_privacy_status() {
  auto privacy = device::section("privacy.get_privacy_status", "privacy");
  if (!privacy) return fail(privacy.error());
  const Json& p = *privacy;
  PrivacyStatus out{p["camera_present"].get<bool>(),
                    p["camera_state"].get<std::uint8_t>(),
                    p["microphone_state"].get<std::uint8_t>(),
                    p["microphone_mute"].get<std::uint8_t>(),
                    {}};
  for (const auto& use : p["active_uses"]) {
    out.active_uses.push_back(
        {use["app_name"].get<std::string>(), use["kind"].get<std::uint8_t>()});
  }
  return out;
}

}  // namespace privacy

namespace tool_intent {

namespace {
// The tools a person was handed over to, newest last; a few are enough to see.
constexpr std::size_t kRemembered = 20;

const char* intent_name(ToolIntent intent) {
  switch (intent) {
    case ToolIntent::Vpn:
      return "vpn";
    case ToolIntent::Disks:
      return "disks";
    case ToolIntent::Backups:
      return "backups";
    case ToolIntent::Workspace:
      return "workspace";
    case ToolIntent::IdentityBackup:
      return "identity-backup";
  }
  return "unknown";
}
}  // namespace

kalu_ui::Status open_tool(ToolIntent intent, std::optional<std::uint8_t> page,
                          std::optional<std::string> subject) {
  return device::update("tool_intent.open_tool", [&](Json& state) -> kalu_ui::Status {
    Json& opened = state["tools"]["opened"];
    opened.push_back(Json{{"intent", intent_name(intent)},
                          {"page", page ? Json(*page) : Json(nullptr)},
                          {"subject", detail::text_or_null(subject)}});
    while (opened.size() > kRemembered) opened.erase(opened.begin());
    return {};
  });
}

}  // namespace tool_intent
}  // namespace system_ops
