// The worker's reading of a pair's result pages after its first, as the
// pages' own links to their next page lead.
#include <algorithm>

#include "common/network/site_address.h"
#include "engine/next_page_link.h"
#include "engine/worker.h"

namespace valmeric {

bool TMyThread::GoesOnWithPair(int index) const {
  const PairInProgress& pair = progress_.pair;
  if (!FollowsLaterPages() || pair.index != index || pair.pages <= 0) return false;
  // Only a page of the pair's own is asked for: a recorded address that
  // lies elsewhere (an edited record) starts the pair again from its first
  // page, whose facilities the duplicate filter already holds.
  const PlanPair plan_pair = plan_.Pair(static_cast<size_t>(index));
  std::string own = ResultPageUrl(plan_pair.area_code, plan_pair.sub_category_code);
  own.pop_back();  // its "/"
  const std::string& next = pair.next_url;
  return next.size() > own.size() + 1 && next.compare(0, own.size(), own) == 0 &&
         (next[own.size()] == '/' || next[own.size()] == '?');
}

TMyThread::EntryReport TMyThread::PairUnderWay(size_t index, int position) {
  const PlanPair pair = plan_.Pair(index);
  reports_.EntryStarted(position, pair.Place());
  const PairRead read = RunJournal::ReadPairRead(db_->db());
  pair_pages_ = {read.pages.begin(), read.pages.end()};
  pair_codes_ = {read.codes.begin(), read.codes.end()};
  const PairInProgress& under_way = progress_.pair;
  EntryReport report;
  report.beyond =
      PairBeyondFirstPage{static_cast<int>(index), pair.area_code, pair.sub_category_code,
                          under_way.announced, under_way.listed};
  report.next_url = under_way.next_url;
  return report;
}

void TMyThread::BeginLaterPages(int index, const EntryReport& report) {
  if (progress_.pair.index == index) return;  // a resume: the journal holds its pages
  journal_->ClearPairRead();
  for (const std::string& url : pair_pages_) journal_->AddPairPage(url);
  for (const std::string& code : pair_codes_) journal_->AddPairCode(code);
  progress_.pair = {index, 1, report.next_url.value_or(std::string()), report.beyond->announced,
                    report.beyond->listed};
}

std::optional<PagesEnd> TMyThread::PagesEndBefore(const EntryReport& report) const {
  if (!report.next_url) return PagesEnd::kNoLink;
  if (pair_pages_.count(*report.next_url) > 0) return PagesEnd::kLoop;
  if (progress_.pair.pages >= kMostPagesOfAPair) return PagesEnd::kPageLimit;
  return std::nullopt;
}

std::optional<TMyThread::CsvMark> TMyThread::FollowPages(int index, Savepoint& step,
                                                         EntryReport& report) {
  if (!report.next_url) {  // the first page links no next one
    EndPairPages(report, PagesEnd::kNoLink);
    return std::nullopt;
  }
  BeginLaterPages(index, report);
  in_later_pages_ = true;
  std::optional<PagesEnd> end;
  while (report.beyond->listed < report.beyond->announced && !(end = PagesEndBefore(report))) {
    CheckpointWhenDue();
    reports_.LaterPageFound();  // the walk grows by the page the link leads to
    const CsvMark mark = BeginStep(step);
    const LaterPage page = ReadLaterPage(index, report);
    if (page == LaterPage::kInterrupted) {
      step.Undo();
      in_later_pages_ = false;
      return mark;
    }
    step.Release();
    out_file_.Flush();
    if (page == LaterPage::kNotFetched) break;
    if (page == LaterPage::kNothingNew) end = PagesEnd::kNothingNew;
    if (end) break;
  }
  in_later_pages_ = false;
  EndPairPages(report, end.value_or(PagesEnd::kNoLink));
  return std::nullopt;
}

TMyThread::LaterPage TMyThread::ReadLaterPage(int index, EntryReport& report) {
  const PlanPair pair = plan_.Pair(static_cast<size_t>(index));
  const std::string url = *report.next_url;
  pair_pages_.insert(url);
  journal_->AddPairPage(url);
  reports_.LaterPageStarted();
  const PageRead page = FetchResultPage(url);
  if (page.fetched.kind == FetchResult::kCancelled) return LaterPage::kInterrupted;
  const bool ok = CountInRow(page.fetched);
  PairCounts counts;
  page_new_codes_ = 0;
  PairBeyondFirstPage& pages = *report.beyond;
  if (!page.lines.empty()) counts = ReadResultPage(page.lines, *this, pages.listed);
  if (counts.cut_short) return LaterPage::kInterrupted;
  cancel_.WaitFor(config_.settings.page_pause);
  ++progress_.later_pages;
  ++progress_.pair.pages;
  if (!ok) {
    report.result =
        page.fetched.kind == FetchResult::kGone ? EntryResult::kGone : EntryResult::kNotFetched;
    report.status = page.fetched.status;
    report.page = progress_.pair.pages;
    return LaterPage::kNotFetched;
  }
  // A page that lists only what the pair listed before adds nothing to its count.
  if (page_new_codes_ == 0 && counts.skipped == 0) return LaterPage::kNothingNew;
  pages.listed = std::min(pages.announced, pages.listed + counts.done + counts.skipped);
  report.skipped += counts.skipped;
  report.count_unreadable = report.count_unreadable || counts.count_unreadable;
  report.next_url = NextPageLinkOfPair(page.lines, url, pair.area_code, pair.sub_category_code);
  progress_.pair.next_url = report.next_url.value_or(std::string());
  progress_.pair.listed = pages.listed;
  return LaterPage::kRead;
}

void TMyThread::EndPairPages(EntryReport& report, PagesEnd end) {
  PairBeyondFirstPage& pages = *report.beyond;
  if (report.result != EntryResult::kRead || pages.listed >= pages.announced) {
    report.beyond.reset();  // read to its count, or left to a retry
  } else {
    pages.end = end;
  }
  progress_.pair = {};
  journal_->ClearPairRead();
  pair_pages_.clear();
  pair_codes_.clear();
}

}  // namespace valmeric
