#include "cli/rebuild_command.h"

#include <optional>

#include "cli/console.h"
#include "cli/database_path.h"
#include "cli/exit_codes.h"
#include "cli/option_reader.h"
#include "cli/site_options.h"
#include "common/text/text_encoding.h"
#include "messages/cli_messages.h"
#include "messages/detail_text.h"
#include "messages/user_messages.h"

namespace valmeric::cli {

RebuildOptions ParseRebuildOptions(const std::vector<std::string>& args) {
  RebuildOptions options;
  options.download = DefaultSiteSettings();
  ReadOptions(args, {"--quiet"}, [&](const std::string& name, const std::string& value) {
    if (ReadSiteOption(name, value, options.download)) return;
    if (name == "--quiet") {
      options.quiet = true;
    } else if (name == "--db") {
      options.database = value;
    } else if (name == "--retry-delays-ms") {
      options.retry.delays = ParseDelays(value);
    } else {
      throw UsageError(Detail(text::kUnknownOption, name));
    }
  });
  return options;
}

int RunRebuild(RebuildTable table, const std::vector<std::string>& args, std::ostream& err) {
  RebuildOptions options;
  try {
    options = ParseRebuildOptions(args);
  } catch (const UsageError& error) {
    err << ProgramName() << ": " << error.what() << "\n" << Named(kRebuildUsage);
    return kExitUsage;
  }
  const auto db_path = ExistingDatabase(options.database, err);
  if (!db_path) return kExitUsage;
  std::optional<TableRebuild> rebuild;
  try {
    rebuild.emplace(*db_path, options.download, options.retry);
  } catch (const std::exception& error) {
    err << text::kErrorPrefix << error.what() << "\n";
    return kExitUsage;
  }
  int exit_code = kExitWrote;
  try {
    const int rows = rebuild->Run(table, [&](int prefecture) {
      if (!options.quiet) err << SjisToUtf8(CityBuilderStatus(prefecture)) << "\n" << std::flush;
    });
    if (!options.quiet) err << RebuiltRows(rows) << "\n" << msg::kBuilderDone << "\n";
  } catch (const BuildError& error) {
    err << text::kErrorPrefix << error.what() << "\n" << text::kTableKept << "\n";
    if (error.placeholder_host()) err << text::kSiteOriginHint << "\n";
    exit_code = kExitUnreachable;
  } catch (const DbError& error) {
    err << text::kErrorPrefix << error.what() << "\n" << text::kTableKept << "\n";
    exit_code = error.IsWriteFailure() ? kExitWriteError : kExitUsage;
  }
  return exit_code;
}

}  // namespace valmeric::cli
