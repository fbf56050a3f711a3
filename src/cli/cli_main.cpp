#include "cli/cli_main.h"

#include "cli/collect_command.h"
#include "cli/diff_command.h"
#include "cli/exit_codes.h"
#include "cli/rebuild_command.h"
#include "cli/status_command.h"

namespace valmeric::cli {
namespace {

constexpr char kUsage[] =
    "usage: valmeric-cli COMMAND [OPTIONS]\n"
    "commands:\n"
    "  collect             fetch the selected categories and prefectures into a CSV file\n"
    "  status              show the run recorded in the database and whether it can be resumed\n"
    "  rebuild-cities      refill the city table from the site's city list pages\n"
    "  rebuild-categories  refill the sub-category table from the site's list page\n"
    "  diff                list what changed between two collected CSV files\n"
    "  help                show this text\n";

}  // namespace

int CliMain(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
            const std::atomic<bool>& interrupted, bool terminal) {
  if (args.empty()) {
    err << kUsage;
    return kExitUsage;
  }
  const std::string& command = args[0];
  const std::vector<std::string> rest(args.begin() + 1, args.end());
  if (command == "help" || command == "--help" || command == "-h") {
    out << kUsage << "\n" << kCollectUsage << kStatusUsage << kRebuildUsage << kDiffUsage;
    return kExitWrote;
  }
  if (command == "collect") {
    CollectOptions options;
    try {
      options = ParseCollectOptions(rest);
    } catch (const UsageError& error) {
      err << "valmeric-cli collect: " << error.what() << "\n" << kCollectUsage;
      return kExitUsage;
    }
    return RunCollect(options, out, err, interrupted, terminal);
  }
  if (command == "status") return RunStatus(rest, out, err);
  if (command == "diff") return RunDiff(rest, out, err);
  if (command == "rebuild-cities") return RunRebuild(RebuildTable::kCities, rest, err);
  if (command == "rebuild-categories") return RunRebuild(RebuildTable::kSubCategories, rest, err);
  err << "valmeric-cli: unknown command \"" << command << "\"\n" << kUsage;
  return kExitUsage;
}

}  // namespace valmeric::cli
