#include "cli/export_command.h"

#include <filesystem>
#include <optional>
#include <system_error>

#include "cli/console.h"
#include "cli/database_path.h"
#include "cli/exit_codes.h"
#include "cli/option_reader.h"
#include "common/network/site_address.h"
#include "common/platform/utf8_path.h"
#include "engine/output_file_name.h"
#include "engine/workbook_export.h"
#include "messages/cli_messages.h"
#include "messages/detail_text.h"
#include "messages/user_messages.h"
#include "messages/workbook_text.h"
#include "refdb/sqlite_db.h"

namespace valmeric::cli {
namespace {

struct ExportOptions {
  std::string input;
  std::string output;
  std::string database;
};

ExportOptions ParseExportOptions(const std::vector<std::string>& args) {
  ExportOptions options;
  int inputs = 0;
  ReadOptions(
      args, {},
      [&](const std::string& name, const std::string& value) {
        if (name == "--output") {
          options.output = value;
        } else if (name == "--db") {
          options.database = value;
        } else {
          throw UsageError(Detail(text::kUnknownOption, name));
        }
      },
      [&](const std::string& arg) {
        options.input = arg;
        ++inputs;
      });
  if (inputs != 1) throw UsageError(text::kExportInput);
  options.output = options.output.empty() ? WorkbookPathFor(options.input)
                                          : WithExtension(options.output, ".xlsx");
  return options;
}

// The run the database records, when there is a database to ask.
std::optional<RecordedRun> RecordedRunIn(const std::string& named) {
  const std::filesystem::path path = NamedDatabasePath(named);
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error)) return std::nullopt;
  try {
    return ReadRecordedRun(path, RecordRead::kOnlyRead);
  } catch (const DbError&) {
    return std::nullopt;  // the workbook then says that no run is recorded for the file
  }
}

std::string SiteOfEnvironment() {
  try {
    return SiteShown(EnvironmentOrigin());
  } catch (const UsageError&) {
    return SiteShown(SiteOrigin());
  }
}

}  // namespace

int RunExport(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  ExportOptions options;
  try {
    options = ParseExportOptions(args);
  } catch (const UsageError& error) {
    err << ProgramName() << " export: " << error.what() << "\n" << Named(kExportUsage);
    return kExitUsage;
  }
  const WorkbookFacts facts =
      FactsOf(options.input, RecordedRunIn(options.database), SiteOfEnvironment());
  try {
    ExportWorkbook(options.input, options.output, facts);
  } catch (const WorkbookIsTheCsvError& error) {
    err << text::kErrorPrefix << error.what() << "\n";
    return kExitUsage;
  } catch (const WorkbookError& error) {
    err << text::kErrorPrefix << error.what() << "\n";
    return kExitWriteError;
  } catch (const CsvFormatError& error) {
    err << text::kErrorPrefix << workbook_text::kNotCollectorCsv << "\n" << error.what() << "\n";
    return kExitUsage;
  } catch (const std::runtime_error& error) {  // the CSV cannot be read
    err << text::kErrorPrefix << error.what() << "\n";
    return kExitUsage;
  }
  out << AbsoluteUtf8Path(options.output) << "\n";
  if (!out.flush()) {
    err << msg::kResultLineWrite << "\n";
    return kExitWriteError;
  }
  return kExitWrote;
}

}  // namespace valmeric::cli
