#include "panes/printers/model.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <set>

namespace settings::panes::printers {
namespace {

using ::testing::MatchesRegex;

TEST(PrinterIds, SanitizedNamesAndTheirTriggers) {
  EXPECT_EQ(sanitize_id("Office Printer (2nd)"), "office_printer__2nd_");
  EXPECT_EQ(sanitize_id("Étage 3"), "__tage_3");  // each byte of "É" is one "_"
  EXPECT_EQ(default_id("office_printer__2nd_"), "settings.printers.default.office_printer__2nd_");
  EXPECT_EQ(confirm_remove_id("x"), "settings.printers.confirm_remove.x");
  PrintJob job;
  job.id = 42;
  EXPECT_EQ(job_cancel_id(job), "settings.printers.job.cancel.42");
  EXPECT_EQ(job_retry_id(job), "settings.printers.job.retry.42");
}

TEST(PrinterIds, NamesThatSanitizeAlikeGetDistinctIds) {
  const std::vector<std::string_view> names = {"Office Printer (2nd)", "A B", "a_b", "a-b", "Solo"};
  const auto ids = distinct_ids(names);
  ASSERT_EQ(ids.size(), names.size());
  EXPECT_EQ(ids[0], "office_printer__2nd_");
  EXPECT_EQ(ids[4], "solo");
  for (std::size_t i = 1; i <= 3; ++i) EXPECT_THAT(ids[i], MatchesRegex("a_b_[0-9a-f]{8}"));
  EXPECT_EQ(std::set<std::string>(ids.begin(), ids.end()).size(), ids.size());
  // The same list gives the same ids (a client's id stays valid).
  EXPECT_EQ(distinct_ids(names), ids);
  // A name that is literally another's hashed id still gets an id of its own.
  std::vector<std::string_view> tricky = {"A B", "a_b"};
  const auto hashed = distinct_ids(tricky);
  tricky.push_back(hashed[0]);
  const auto three = distinct_ids(tricky);
  EXPECT_EQ(std::set<std::string>(three.begin(), three.end()).size(), 3u);
}

TEST(PrinterIds, JobIdTexts) {
  EXPECT_EQ(parse_job_id("17"), 17u);
  EXPECT_EQ(parse_job_id("4294967295"), 4294967295u);
  for (const char* bad : {"", "x7", "-1", "1.0", " 17", "4294967296"}) {
    EXPECT_EQ(parse_job_id(bad), std::nullopt) << bad;
  }
}

PrintQueue queue(std::string detail, std::optional<std::string> detail2, bool is_default,
                 bool accepting) {
  PrintQueue q;
  q.name = "Q";
  q.detail = std::move(detail);
  q.detail2 = std::move(detail2);
  q.is_default = is_default;
  q.accepting_jobs = accepting;
  return q;
}

TEST(PrinterTexts, QueueStatusLines) {
  EXPECT_EQ(queue_status_line(queue("", std::nullopt, false, false)), "Not accepting new jobs");
  EXPECT_EQ(queue_status_line(queue("", std::nullopt, true, false)), "Not accepting new jobs");
  EXPECT_EQ(queue_status_line(queue("", std::nullopt, true, true)), "Default · accepting jobs");
  EXPECT_EQ(queue_status_line(queue("", std::nullopt, false, true)), "Accepting jobs");
  EXPECT_EQ(queue_status_line(queue("Laser", "IPP", true, true)), "Default · Laser");
  EXPECT_EQ(queue_status_line(queue("", "IPP", false, false)), "Configured · IPP");
}

TEST(PrinterTexts, SupplyLines) {
  PrintQueue q;
  q.supply_levels_unreported = true;
  EXPECT_EQ(supplies_line(q), "Supply levels not reported by this printer");
  q.supply_levels_unreported = false;
  EXPECT_EQ(supplies_line(q), "Live IPP details unavailable");
  q.live = system_ops::printing::LiveDetails{};
  EXPECT_EQ(supplies_line(q), "Supplies: none installed");
  q.live->supplies = {{"Black toner", 64}, {"Cyan", 5}};
  EXPECT_EQ(supplies_line(q), "Supplies: Black toner 64% · Cyan 5%");
  q.live->supplies = {{"Waste toner", std::nullopt}, {"Cyan", 0}};
  EXPECT_EQ(supplies_line(q), "Supplies: Waste toner — level not reported · Cyan 0%");
}

TEST(PrinterTexts, Jobs) {
  PrintJob job;
  job.id = 17;
  job.destination = "Office Laser";
  job.title = "Report.pdf";
  job.owner = "Submitted by you";
  job.size_bytes = 245760;
  job.pages_completed = 3;
  job.pages_expected = 12;
  job.state = JobState::Processing;
  EXPECT_EQ(job_title(job), "17 → Office Laser");
  EXPECT_EQ(job_detail_line(job), "Report.pdf · 245.8 kB · Submitted by you");
  EXPECT_EQ(job_state_line(job), "Printing · 3 of 12 impressions · 25%");
  job.extra = "Duplex · A4";
  EXPECT_EQ(job_state_line(job), "Printing · 3 of 12 impressions · 25% · Duplex · A4");
  job.pages_expected = 0;
  EXPECT_EQ(job_progress_text(job), "3 impressions completed");
  job.pages_completed = 0;
  EXPECT_EQ(job_progress_text(job), "Page progress not reported");

  const struct {
    std::optional<JobState> state;
    const char* label;
    bool retry;
    bool cancel;
  } states[] = {
      {std::nullopt, "State not reported", false, true},
      {JobState::Pending, "Waiting", false, true},
      {JobState::Held, "Held", true, true},
      {JobState::Processing, "Printing", false, true},
      {JobState::Stopped, "Stopped", true, true},
      {JobState::Canceled, "Canceled", false, false},
      {JobState::Aborted, "Failed", true, false},
      {JobState::Completed, "Completed", false, false},
      {JobState::Unrecognized, "Unknown state", false, false},
  };
  for (const auto& s : states) {
    SCOPED_TRACE(s.label);
    EXPECT_EQ(job_state_label(s.state), s.label);
    EXPECT_EQ(job_offers_retry(s.state), s.retry);
    EXPECT_EQ(job_offers_cancel(s.state), s.cancel);
  }
}

TEST(PrinterTexts, StatusNotice) {
  StatusResult all_good{std::vector<PrintQueue>{}, std::vector<PrintJob>{}, std::vector<Scanner>{}};
  EXPECT_EQ(status_notice(all_good), std::nullopt);
  StatusResult two_failed{kalu_ui::fail(std::string("no cupsd")), std::vector<PrintJob>{},
                          kalu_ui::fail(std::string("sane busy"))};
  EXPECT_EQ(status_notice(two_failed), "Printers: no cupsd · Scanners: sane busy");
}

}  // namespace
}  // namespace settings::panes::printers
