#pragma once

#include <optional>

#include "engine/refresh_report.h"
#include "engine/run_outcome.h"
#include "engine/run_session.h"
#include "messages/user_messages.h"
#include "refdb/database_file.h"

namespace valmeric {

// The configuration error, with the database's full path and what is wrong
// with its file on a line of its own.
std::string ConfigErrorText(const std::filesystem::path& database, DatabaseFileState state);
// The box for a start that was refused: Japanese, with the detail below.
UserMessage StartRefusalMessage(const StartRefused& refusal);
// The box for a run that a local error stopped.
UserMessage FailureMessage(const RunOutcome& outcome);
// The box for a site that could not be reached, naming why.
UserMessage UnreachableMessage(const RunOutcome& outcome);
// What a run met that the user should know of however it ended: facilities
// beyond the first result pages (unless later_pages_left is false: a
// question then tells them), facilities no page listed, pairs stopped at the
// most pages, entries skipped, counts that did not read, plan entries never
// asked for; a line each, empty when there is none.
std::string RunNotesText(const RunProgress& progress, bool later_pages_left = true);
// The end of a run that replaced a list: where that list is kept, and the
// change report written against it (or why not); empty when neither.
std::string RefreshText(const std::optional<std::string>& kept,
                        const std::optional<RefreshReport>& report);

}  // namespace valmeric
