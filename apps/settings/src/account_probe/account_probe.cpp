#include "account_probe/account_probe.h"

#include "account_probe/dav.h"
#include "account_probe/imap.h"

namespace settings::account_probe {

kalu_ui::Result<std::string> probe_account(const account_book::Account& account,
                                           std::string_view credential, const ProbeLimits& limits) {
  const std::string& type_id = account.type_id.as_str();
  if (type_id == "email") return check_imap(account.config, credential, limits);
  if (type_id == "caldav" || type_id == "webdav" || type_id == "nextcloud") {
    return check_dav(type_id, account.config, credential, limits);
  }
  return kalu_ui::fail("unsupported account type");
}

kalu_ui::Result<std::string> AccountProbe::probe(const account_book::Account& account,
                                                 std::string_view credential) const {
  return probe_account(account, credential);
}

SharedAccountProbe new_account_probe() { return std::make_shared<const AccountProbe>(); }

}  // namespace settings::account_probe
