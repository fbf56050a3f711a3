#include "cli/rebuild_command.h"

#include <optional>

#include "cli/database_path.h"
#include "cli/exit_codes.h"
#include "cli/option_reader.h"
#include "cli/site_options.h"
#include "common/text_encoding.h"

namespace valmeric::cli {

const char kRebuildUsage[] =
    "usage: valmeric-cli rebuild-cities|rebuild-categories [--db FILE] [--site-origin URL]\n"
    "                            [--ca-file FILE] [--retry-delays-ms N,N...] [--quiet]\n";

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
      throw UsageError("unknown option " + name);
    }
  });
  return options;
}

int RunRebuild(RebuildTable table, const std::vector<std::string>& args, std::ostream& err) {
  RebuildOptions options;
  try {
    options = ParseRebuildOptions(args);
  } catch (const UsageError& error) {
    err << "valmeric-cli: " << error.what() << "\n" << kRebuildUsage;
    return kExitUsage;
  }
  const auto db_path = ExistingDatabase(options.database, err);
  if (!db_path) return kExitUsage;
  std::optional<TableRebuild> rebuild;
  try {
    rebuild.emplace(*db_path, options.download, options.retry);
  } catch (const std::exception& error) {
    err << "error: " << error.what() << "\n";
    return kExitUsage;
  }
  int exit_code = kExitWrote;
  try {
    const int rows = rebuild->Run(table, [&](int prefecture) {
      if (!options.quiet) err << SjisToUtf8(CityBuilderStatus(prefecture)) << "\n" << std::flush;
    });
    if (!options.quiet) err << rows << " rows\n終了\n";
  } catch (const BuildError& error) {
    err << "error: " << error.what() << "\nthe table was left as it was\n";
    exit_code = kExitUnreachable;
  } catch (const DbError& error) {
    err << "error: " << error.what() << "\nthe table was left as it was\n";
    exit_code = error.IsWriteFailure() ? kExitWriteError : kExitUsage;
  }
  return exit_code;
}

}  // namespace valmeric::cli
