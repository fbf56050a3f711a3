#pragma once

#include <cstdint>
#include <optional>

namespace valmeric {

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
  int page_in_pair = 0;         // the page of the next entry's pair to start with (0: its first)

  // What the run met.
  int not_fetched = 0;  // entries whose page did not arrive after the retries
  int gone = 0;         // entries whose page the site said does not exist (404, 410)
  // Facilities that result pages announced beyond what they listed, and the
  // pairs they belong to.
  int beyond_first_page = 0;
  int beyond_pairs = 0;
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
