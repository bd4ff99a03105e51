#include "panes/network/secrets.h"

namespace settings::panes::network {
namespace {

std::shared_ptr<SecretBuffer> lookup(
    const std::map<std::string, std::shared_ptr<SecretBuffer>, std::less<>>& buffers,
    std::string_view key) {
  auto found = buffers.find(key);
  return found == buffers.end() ? nullptr : found->second;
}

}  // namespace

SecretFields::SecretFields() {
  field(kMobilePinSecret);
  field(kEnterprisePasswordSecret);
}

const std::shared_ptr<SecretBuffer>& SecretFields::buffer_in(Buffers& buffers,
                                                             std::string_view key) {
  auto found = buffers.find(key);
  if (found == buffers.end()) found = buffers.emplace(key, SecretBuffer::create()).first;
  return found->second;
}

const std::shared_ptr<SecretBuffer>& SecretFields::field(std::string_view id) {
  return buffer_in(fields_, id);
}

std::shared_ptr<SecretBuffer> SecretFields::find_field(std::string_view id) const {
  return lookup(fields_, id);
}

SecretText SecretFields::take_field(std::string_view id) {
  auto buffer = find_field(id);
  return buffer ? buffer->take() : SecretText();
}

const std::shared_ptr<SecretBuffer>& SecretFields::network_password(std::string_view ssid) {
  return buffer_in(networks_, ssid);
}

std::shared_ptr<SecretBuffer> SecretFields::find_network_password(std::string_view ssid) const {
  return lookup(networks_, ssid);
}

bool SecretFields::all_empty() const {
  for (const auto* buffers : {&fields_, &networks_}) {
    for (const auto& [key, buffer] : *buffers) {
      if (!buffer->empty()) return false;
    }
  }
  return hotspot_->empty();
}

}  // namespace settings::panes::network
