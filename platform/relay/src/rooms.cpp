#include "relay/rooms.h"

#include <openssl/evp.h>

#include <array>
#include <string>

namespace kalu_relay {
namespace {

constexpr std::size_t kMaxRoomBytes = 255;

bool valid_room(std::string_view room) {
  if (room.empty() || room.size() > kMaxRoomBytes) return false;
  for (char c : room) {
    if (c < 0x21 || c > 0x7E) return false;
  }
  return true;
}

}  // namespace

std::optional<std::uint64_t> room_workspace_id(std::string_view room) {
  if (!valid_room(room)) return std::nullopt;
  std::string input("kalu.room-workspace.v1");
  input.push_back('\0');
  input.append(room);
  std::array<unsigned char, EVP_MAX_MD_SIZE> digest{};
  unsigned int length = 0;
  if (EVP_Digest(input.data(), input.size(), digest.data(), &length, EVP_sha256(), nullptr) != 1 ||
      length < 8) {
    return std::nullopt;
  }
  std::uint64_t id = 0;
  for (std::size_t i = 0; i < 8; ++i) id = (id << 8) | digest[i];
  return id;
}

}  // namespace kalu_relay
