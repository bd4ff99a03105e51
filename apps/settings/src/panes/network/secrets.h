#pragma once

// The Network pane's secret text: the buffers its password and PIN fields
// edit in place (kalu_ui::secret::SecretBuffer), so nothing typed there ever
// enters the state document, a log, accessibility or text review. Taking a
// text out hands over a copy and empties the buffer; every buffer is
// overwritten when it is emptied or dropped with the pane.
//
// Three kinds: the secret fields by id ("__mobile_pin",
// "__enterprise_password", and any other a page asks for), one password per
// Wi-Fi network whose row was opened (by SSID), and the hotspot's password.
// Used on the UI thread only.

#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "kalu_ui/secret.h"

namespace settings::panes::network {

using kalu_ui::secret::SecretBuffer;
using kalu_ui::secret::SecretText;

inline constexpr std::string_view kMobilePinSecret = "__mobile_pin";
inline constexpr std::string_view kEnterprisePasswordSecret = "__enterprise_password";

class SecretFields {
 public:
  // With the two fields of the pane, both empty.
  SecretFields();

  // The field's buffer, made empty when missing.
  const std::shared_ptr<SecretBuffer>& field(std::string_view id);
  // The field's buffer, or null.
  std::shared_ptr<SecretBuffer> find_field(std::string_view id) const;
  // Takes the field's text out (empty when there is no such field).
  SecretText take_field(std::string_view id);

  // The password buffer of a network's row, made empty when missing.
  const std::shared_ptr<SecretBuffer>& network_password(std::string_view ssid);
  std::shared_ptr<SecretBuffer> find_network_password(std::string_view ssid) const;

  const std::shared_ptr<SecretBuffer>& hotspot_password() const { return hotspot_; }

  // Whether every buffer is empty (what the pane promises once texts have
  // been handed on).
  bool all_empty() const;
  std::size_t field_count() const { return fields_.size(); }

 private:
  using Buffers = std::map<std::string, std::shared_ptr<SecretBuffer>, std::less<>>;
  static const std::shared_ptr<SecretBuffer>& buffer_in(Buffers& buffers, std::string_view key);

  Buffers fields_;
  Buffers networks_;
  std::shared_ptr<SecretBuffer> hotspot_ = SecretBuffer::create();
};

}  // namespace settings::panes::network
