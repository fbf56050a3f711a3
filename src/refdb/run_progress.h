#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace valmeric {

// Which result pages of each pair a run reads.
enum class PageScope {
  kFirstPages = 0,  // the first page of each pair only
  kAllPages = 1,    // every page the first page's links lead to, pair by pair
  kMorePages = 2,   // a first-pages run whose later pages were then asked for
};

// The most pages of one pair a run reads, its first included: a site whose
// links never end never keeps a run on one pair.
inline constexpr int kMostPagesOfAPair = 100;

// The pair whose later pages were under way at a checkpoint: a resume goes on
// with its next page, knowing what the pages before it listed.
struct PairInProgress {
  int index = -1;        // its plan index; -1: none
  int pages = 0;         // its pages read, the first included
  std::string next_url;  // the page to read next
  int announced = 0;     // the result count its first page announced
  int listed = 0;        // entries its pages listed so far (the cap counts them)
};

// Where a run stands: the one value its worker keeps, its checkpoints commit,
// its reports carry and its outcome ends with. Counts run from the run's
// first start, so a resumed run counts what the earlier starts did too.
struct RunProgress {
  // This start's walk, as the progress bar shows it: the plan from its first
  // entry for a new run or a resume; the entries to fetch again for a retry.
  int entries_done = 0;    // entries of the walk read to their end
  int entries_total = -1;  // the walk's length; -1 until the plan is built

  // The run's place in its plan, as the journal records it.
  int plan_size = -1;           // -1 until the plan is built
  std::int64_t plan_check = 0;  // a fingerprint of the plan's entries
  int next_entry = 0;           // entries read to their end from the first: a resume starts here
  PairInProgress pair;

  // What the run met.
  int not_fetched = 0;  // entries whose page did not arrive after the retries
  int gone = 0;         // entries whose page the site said does not exist (404, 410)
  // Facilities that result pages announced beyond what they listed, and the
  // pairs they belong to.
  // Facilities that pairs' first pages announced beyond what they listed
  // (and whose later pages were not read), and their pairs.
  int beyond_first_page = 0;
  int beyond_pairs = 0;
  // Facilities the site announced that none of the pages it links listed
  // (the links ended, looped or led to nothing new), and their pairs; of
  // those, pairs whose pages stopped at the most a pair is read.
  int unlisted = 0;
  int unlisted_pairs = 0;
  int pairs_capped = 0;
  int later_pages = 0;        // pages read after pairs' first pages
  int entries_skipped = 0;    // facility entries whose link holds no usable code: never written
  int counts_unreadable = 0;  // result pages whose count did not read as one: read whole
  int pairs_unaskable = 0;    // plan entries whose codes are no numbers: never asked for

  // The CSV: record lines that reached it, and, as the last checkpoint left
  // it, its length and the CRC-32 of those bytes (none in a record of the
  // first journal layout).
  int facilities_written = 0;
  std::int64_t csv_bytes = 0;
  std::optional<std::int64_t> csv_crc;

  // The pages the walk left to fetch: not fetched and gone.
  int missing() const { return not_fetched + gone; }
};

}  // namespace valmeric
