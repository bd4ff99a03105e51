// The Storage, Printers, Users and External Accounts sections: their fixed
// records, the items of the lists they read (queues and jobs, login users,
// accounts), which actions are destructive, and the page bindings.

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "actions/resource_tree.h"
#include "actions/storage_printers_section.h"
#include "actions/tests/section_support.h"
#include "actions/users_accounts_section.h"
#include "sim_device/state.h"

namespace settings::actions {
namespace {

using kalu_actions::ControlValue;
using kalu_actions::Resource;
using panes::users::LocalUser;
using system_ops::printing::PrintJob;
using system_ops::printing::PrintQueue;
using system_ops::printing::QueueState;
using namespace section_testing;

constexpr std::string_view kPrinterId = "settings.printer-operation";
constexpr std::string_view kUserId = "settings.user-operation";
constexpr std::string_view kAccountId = "settings.account-operation";

std::vector<std::string> destructive_names(const Resource& resource) {
  std::vector<std::string> out;
  for (const auto& spec : resource.actions) {
    if (spec.is_destructive) out.push_back(spec.name);
  }
  return out;
}

TEST(StorageSectionTest, FourFixedRecordsTwoOfThemDestructive) {
  const Resource section = storage_resource();
  EXPECT_EQ(section.id, "settings.section:storage");
  EXPECT_EQ(names(section), (std::vector<std::string>{"cleanup-caches", "free-synced-files",
                                                      "open-disks", "open-backups"}));
  EXPECT_EQ(destructive_names(section),
            (std::vector<std::string>{"cleanup-caches", "free-synced-files"}));
  for (const auto& spec : section.actions) {
    EXPECT_EQ(spec.operation_kind, kalu_actions::kOperationEffect);
    EXPECT_EQ(tags_of(spec), (std::vector<std::string>{"device-local", "storage"}));
  }
  EXPECT_EQ(invoke(section, "free-synced-files", "{}", "settings.storage-operation"),
            R"("FreeSyncedFiles")");
  auto binding = storage_command_binding("open-backups");
  ASSERT_TRUE(binding);
  EXPECT_EQ(binding->encode(ControlValue())->payload_text(), R"("OpenBackups")");
  EXPECT_FALSE(storage_command_binding("open"));
}

PrintQueue queue(std::string name, QueueState state = QueueState::Ready) {
  PrintQueue q;
  q.name = std::move(name);
  q.state = state;
  return q;
}

PrintJob job_of(std::uint32_t id, std::optional<system_ops::printing::JobState> state =
                                      system_ops::printing::JobState::Stopped) {
  PrintJob j;
  j.id = id;
  j.state = state;
  return j;
}

LocalUser user(std::string name, std::string full_name, bool admin = false,
               bool automatic_login = false) {
  LocalUser u;
  u.username = std::move(name);
  u.display_name = std::move(full_name);
  u.administrator = admin;
  u.automatic_login = automatic_login;
  return u;
}

TEST(PrintersSectionTest, QueuesOfferWhatTheirStateAllowsAndJobsFollow) {
  const std::vector<PrintQueue> queues = {queue("Office Laser", QueueState::Printing),
                                          queue("Old Inkjet", QueueState::Paused),
                                          queue("Far Away", QueueState::Offline)};
  const std::vector<PrintJob> jobs = {job_of(17)};
  const Resource section = printers_resource(queues, jobs);
  EXPECT_EQ(names(section), (std::vector<std::string>{"refresh", "discover"}));
  EXPECT_EQ(tags_of(action(section, "discover")),
            (std::vector<std::string>{"device-local", "printers"}));
  EXPECT_EQ(child_ids(section), (std::vector<std::string>{
                                    "settings.printer:Office Laser", "settings.printer:Old Inkjet",
                                    "settings.printer:Far Away", "settings.print-job:17"}));
  const Resource& laser = section.children[0];
  EXPECT_EQ(laser.kind, "settings.printer");
  EXPECT_EQ(laser.label, "Office Laser");
  EXPECT_EQ(names(laser), (std::vector<std::string>{"set-default", "pause", "remove"}));
  EXPECT_EQ(destructive_names(laser), (std::vector<std::string>{"remove"}));
  EXPECT_EQ(tags_of(action(laser, "pause")),
            (std::vector<std::string>{"device-local", "printers", "live-queue"}));
  EXPECT_EQ(invoke(laser, "pause", "{}", kPrinterId),
            R"({"SetEnabled":{"name":"Office Laser","enabled":false}})");
  const Resource& paused = section.children[1];
  EXPECT_EQ(names(paused), (std::vector<std::string>{"set-default", "enable", "remove"}));
  EXPECT_EQ(invoke(paused, "enable", "{}", kPrinterId),
            R"({"SetEnabled":{"name":"Old Inkjet","enabled":true}})");
  EXPECT_EQ(names(section.children[2])[1], "pause");
  const Resource& job = section.children[3];
  EXPECT_EQ(job.kind, "settings.print-job");
  EXPECT_EQ(job.label, "17");
  EXPECT_EQ(names(job), (std::vector<std::string>{"cancel", "retry"}));
  EXPECT_TRUE(destructive_names(job).empty());
  EXPECT_EQ(tags_of(action(job, "retry")),
            (std::vector<std::string>{"device-local", "printers", "live-job"}));
  EXPECT_EQ(invoke(job, "cancel", "{}", kPrinterId), R"({"CancelJob":{"id":"17"}})");
  // Retry only where the printing service restarts the job: not on one
  // that ended or is already going, nor on one whose state is not known.
  using system_ops::printing::JobState;
  for (const std::optional<JobState> state :
       {std::optional<JobState>(JobState::Canceled), std::optional<JobState>(JobState::Completed),
        std::optional<JobState>(JobState::Processing), std::optional<JobState>(JobState::Pending),
        std::optional<JobState>()}) {
    const Resource other = printers_resource(queues, std::vector<PrintJob>{job_of(18, state)});
    EXPECT_EQ(names(other.children.back()), (std::vector<std::string>{"cancel"}));
  }
  for (const JobState state : {JobState::Held, JobState::Aborted}) {
    const Resource other = printers_resource(queues, std::vector<PrintJob>{job_of(18, state)});
    EXPECT_EQ(names(other.children.back()), (std::vector<std::string>{"cancel", "retry"}));
  }

  std::vector<PrintQueue> many(300, queue("q"));
  EXPECT_EQ(printers_resource(many, jobs).children.size(), kMaxItems + 1);
}

TEST(PrintersSectionTest, ReadsTheSimulatedDeviceAndBindsRowsWithoutIt) {
  sim_device::ScopedDeviceState device;
  const Resource section = printers_resource();
  EXPECT_EQ(child_ids(section),
            (std::vector<std::string>{"settings.printer:Office Laser", "settings.print-job:17"}));
  auto enable = printer_queue_command_binding("Old Inkjet", "enable");
  ASSERT_TRUE(enable);
  EXPECT_EQ(enable->resource_id, "settings.printer:Old Inkjet");
  EXPECT_EQ(enable->encode(ControlValue())->payload_text(),
            R"({"SetEnabled":{"name":"Old Inkjet","enabled":true}})");
  EXPECT_EQ(print_job_command_binding(4, "retry")->encode(ControlValue())->payload_text(),
            R"({"RetryJob":{"id":"4"}})");
  EXPECT_EQ(printer_command_binding("refresh")->encode(ControlValue())->payload_text(),
            R"("Refresh")");
  EXPECT_FALSE(printer_queue_command_binding("Old Inkjet", "cancel"));
  EXPECT_FALSE(print_job_command_binding(4, "remove"));
  EXPECT_FALSE(printer_command_binding("pause"));
}

TEST(UsersSectionTest, EveryUserButTheCurrentOneWithBothRemovalsDestructive) {
  const std::vector<LocalUser> users = {user("ada", "Ada L", true), user("me", "Me"),
                                        user("grace", "grace", false, true)};
  const Resource section = users_resource(users, std::string("me"));
  EXPECT_EQ(section.id, "settings.section:users");
  EXPECT_TRUE(section.actions.empty());
  EXPECT_EQ(child_ids(section),
            (std::vector<std::string>{"settings.user:ada", "settings.user:grace"}));
  const Resource& ada = section.children[0];
  EXPECT_EQ(ada.kind, "settings.user");
  EXPECT_EQ(ada.label, "Ada L");
  EXPECT_EQ(names(ada), (std::vector<std::string>{"set-admin", "set-autologin", "remove-keep-files",
                                                  "remove-files"}));
  EXPECT_EQ(destructive_names(ada),
            (std::vector<std::string>{"remove-keep-files", "remove-files"}));
  for (const auto& spec : ada.actions) {
    EXPECT_EQ(tags_of(spec), (std::vector<std::string>{"device-local", "users", "live-account"}));
  }
  EXPECT_EQ(action(ada, "set-admin").label, "Make standard user");
  EXPECT_EQ(invoke(ada, "set-admin", "{}", kUserId),
            R"({"SetAdmin":{"username":"ada","admin":false}})");
  EXPECT_EQ(action(ada, "set-autologin").label, "Enable automatic login");
  EXPECT_EQ(invoke(ada, "remove-files", "{}", kUserId),
            R"({"Remove":{"username":"ada","remove_files":true}})");
  const Resource& grace = section.children[1];
  EXPECT_EQ(action(grace, "set-admin").label, "Make administrator");
  EXPECT_EQ(invoke(grace, "set-autologin", "{}", kUserId),
            R"({"SetAutologin":{"username":"grace","enabled":false}})");

  // The skipped current user counts toward the limit.
  std::vector<LocalUser> many(300, user("u", "U"));
  many[0].username = "me";
  EXPECT_EQ(users_resource(many, std::string("me")).children.size(), kMaxItems - 1);
  EXPECT_EQ(users_resource(users, std::nullopt).children.size(), 3u);

  auto remove = user_command_binding(users[2], "remove-keep-files");
  ASSERT_TRUE(remove);
  EXPECT_EQ(remove->resource_id, "settings.user:grace");
  EXPECT_EQ(remove->encode(ControlValue())->payload_text(),
            R"({"Remove":{"username":"grace","remove_files":false}})");
  EXPECT_FALSE(user_command_binding(users[2], "open"));
}

account_book::Account account(std::string id, std::string type, std::string name) {
  account_book::Account a;
  a.id = std::move(id);
  a.type_id = account_book::AccountTypeId::from(type);
  a.display_name = std::move(name);
  return a;
}

TEST(ExternalAccountsSectionTest, AddsAtOnceAndOneItemPerAccountWithOnlyTheCheckContracted) {
  const std::vector<account_book::Account> accounts = {account("mail1", "email", "Work mail"),
                                                       account("cal1", "caldav", "")};
  const Resource section = external_accounts_resource(accounts);
  EXPECT_EQ(section.id, "settings.section:external_accounts");
  EXPECT_EQ(section.kind, "settings.accounts");
  EXPECT_EQ(names(section),
            (std::vector<std::string>{"add-mail", "add-caldav", "add-webdav", "add-nextcloud"}));
  EXPECT_EQ(invoke(section, "add-mail", "{}", kAccountId), R"({"Add":{"kind":"mail"}})");
  EXPECT_EQ(child_ids(section),
            (std::vector<std::string>{"settings.account:mail1", "settings.account:cal1"}));
  const Resource& mail = section.children[0];
  EXPECT_EQ(mail.kind, "settings.external-account");
  EXPECT_EQ(mail.label, "Work mail");
  EXPECT_EQ(section.children[1].label, "cal1");
  EXPECT_EQ(names(mail),
            (std::vector<std::string>{"open", "edit", "reauthenticate", "test", "remove"}));
  EXPECT_EQ(destructive_names(mail), (std::vector<std::string>{"remove"}));
  EXPECT_EQ(action(mail, "test").label, "Check server reachability");
  EXPECT_EQ(action(section.children[1], "test").label, "Verify sign-in");
  EXPECT_EQ(invoke(section.children[1], "remove", "{}", kAccountId), R"({"Remove":{"id":"cal1"}})");

  std::vector<std::string> contracted;
  for (const auto* resource : {&section, &mail}) {
    for (const auto& spec : resource->actions) {
      const bool interface = spec.name != "test" && spec.name != "remove";
      EXPECT_EQ(spec.operation_kind,
                interface ? kalu_actions::kOperationInterface : kalu_actions::kOperationEffect)
          << spec.name;
      if (spec.contract) contracted.push_back(spec.name);
    }
  }
  EXPECT_EQ(contracted, (std::vector<std::string>{"test"}));
  EXPECT_EQ(tags_of(action(mail, "test")),
            (std::vector<std::string>{"device-local", "accounts", "network-probe"}));
}

TEST(ExternalAccountsSectionTest, CommandBindingOnAFreshResource) {
  auto remove = external_account_command_binding(
      "settings.account:cal1", "Calendar", "remove", "Remove from this device",
      kalu_actions::kOperationEffect, operations::AccountOperation::Remove{"cal1"}, true);
  ASSERT_TRUE(remove);
  EXPECT_EQ(remove->resource_id, "settings.account:cal1");
  auto encoded = remove->encode(ControlValue());
  ASSERT_TRUE(encoded);
  EXPECT_EQ(encoded->action_id, kAccountId);
  EXPECT_EQ(encoded->payload_text(), R"({"Remove":{"id":"cal1"}})");

  // The tree answers the application's accounts.
  const std::vector<account_book::Account> accounts = {account("dav1", "webdav", "Files")};
  const kalu_ui::doc::Document empty;
  const Resource tree_section = settings_sections(*panes::pane_by_id("external_accounts"), empty,
                                                  stored::SettingsPrefs{}, accounts);
  EXPECT_EQ(tree_section.actions.front().name, "open");
  EXPECT_EQ(child_ids(tree_section), (std::vector<std::string>{"settings.account:dav1"}));
}

}  // namespace
}  // namespace settings::actions
