#include "account_probe/account_probe.h"

#include "account_probe/dav.h"
#include "account_probe/imap.h"

namespace settings::account_probe {

kalu_ui::Result<std::string> probe_server(std::string_view type_id, const Json& config,
                                          std::string_view credential, const ProbeLimits& limits) {
  if (type_id == "email") return check_imap(config, credential, limits);
  if (type_id == "caldav" || type_id == "webdav" || type_id == "nextcloud") {
    return check_dav(type_id, config, credential, limits);
  }
  return kalu_ui::fail("unsupported account type");
}

}  // namespace settings::account_probe
