#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

// Collaboration rooms and the workspaces the relay keeps for them.
namespace kalu_relay {

// The workspace id the relay uses for a room: the first eight bytes, read
// big-endian, of SHA-256 over "kalu.room-workspace.v1", a zero byte and the
// room id. A room id is 1 to 255 bytes of printable ASCII without spaces;
// any other text is refused (nothing).
std::optional<std::uint64_t> room_workspace_id(std::string_view room);

}  // namespace kalu_relay
