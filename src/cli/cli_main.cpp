#include "cli/cli_main.h"

#include "cli/collect_command.h"
#include "cli/console.h"
#include "cli/diff_command.h"
#include "cli/exit_codes.h"
#include "cli/export_command.h"
#include "cli/rebuild_command.h"
#include "cli/status_command.h"
#include "messages/cli_messages.h"
#include "messages/detail_text.h"

namespace valmeric::cli {

int CliMain(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
            const std::atomic<bool>& interrupted, bool terminal) {
  if (args.empty()) {
    err << MainUsage();
    return kExitUsage;
  }
  const std::string& command = args[0];
  const std::vector<std::string> rest(args.begin() + 1, args.end());
  if (command == "help" || command == "--help" || command == "-h") {
    out << HelpText();
    return kExitWrote;
  }
  if (command == "--version" || command == "version") {
    out << VersionText();
    return kExitWrote;
  }
  if (command == "collect") {
    CollectOptions options;
    try {
      options = ParseCollectOptions(rest);
    } catch (const UsageError& error) {
      err << ProgramName() << " collect: " << error.what() << "\n" << Named(kCollectUsage);
      return kExitUsage;
    }
    return RunCollect(options, out, err, interrupted, terminal);
  }
  if (command == "status") return RunStatus(rest, out, err);
  if (command == "diff") return RunDiff(rest, out, err);
  if (command == "export") return RunExport(rest, out, err);
  if (command == "rebuild-cities") return RunRebuild(RebuildTable::kCities, rest, err);
  if (command == "rebuild-categories") return RunRebuild(RebuildTable::kSubCategories, rest, err);
  err << ProgramName() << ": " << Detail(text::kUnknownCommand, command) << "\n" << MainUsage();
  return kExitUsage;
}

}  // namespace valmeric::cli
