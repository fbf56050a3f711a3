#pragma once

namespace valmeric {

// What a start does with the run recorded in the database.
enum class RunMode {
  kNew,          // drops the recorded run and starts afresh
  kResume,       // goes on with the recorded unfinished run where it stopped
  kRetryFailed,  // fetches again the plan entries the recorded run could not fetch
  kMorePages,    // reads the later pages of the pairs the recorded run read only the first of
};

}  // namespace valmeric
