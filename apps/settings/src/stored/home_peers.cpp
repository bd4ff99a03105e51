#include "stored/home_peers.h"

#include "codec/codec.h"

namespace settings::codec {

constexpr auto describe(Tag<kalu_relay::PassThrough>) {
  return via_tree<kalu_relay::PassThrough>();
}

constexpr auto describe(Tag<kalu_relay::HomePeerRegistration>) {
  using T = kalu_relay::HomePeerRegistration;
  return record("HomePeerRegistration", field("schema_version", &T::schema_version),
                field("device_node_id", &T::device_node_id),
                field("relay_service_node_id", &T::relay_service_node_id),
                field("relay_endpoint", &T::relay_endpoint), field("label", &T::label),
                field("user_public_key", &T::user_public_key),
                field("device_cert", &T::device_cert),
                field("relay_workspace_ids", &T::relay_workspace_ids))
      .deny_unknown_fields();
}

}  // namespace settings::codec

namespace settings::stored {

kalu_ui::Result<std::vector<kalu_relay::HomePeerRegistration>> read_home_peer_registrations(
    std::string_view text) {
  return codec::from_json<std::vector<kalu_relay::HomePeerRegistration>>(text);
}

}  // namespace settings::stored
