#include "cli/diff_command.h"

#include <filesystem>
#include <optional>
#include <system_error>

#include "cli/exit_codes.h"
#include "cli/option_reader.h"
#include "common/text_encoding.h"
#include "common/user_messages.h"
#include "common/utf8_path.h"
#include "engine/change_report.h"
#include "engine/output_file_name.h"

namespace valmeric::cli {

const char kDiffUsage[] =
    "usage: valmeric-cli diff OLD.csv NEW.csv --output REPORT\n"
    "  lists the facilities new in NEW (新規), changed (変更) and gone since OLD (廃止),\n"
    "  keyed by 病院ID, in NEW's encoding; \".csv\" is appended to REPORT as for collect\n";

namespace {

struct DiffOptions {
  std::vector<std::string> inputs;
  std::string output;
};

DiffOptions ParseDiffOptions(const std::vector<std::string>& args) {
  DiffOptions options;
  ReadOptions(
      args, {},
      [&](const std::string& name, const std::string& value) {
        if (name != "--output") throw UsageError("unknown option " + name);
        options.output = value;
      },
      [&](const std::string& arg) { options.inputs.push_back(arg); });
  if (options.inputs.size() != 2) throw UsageError("diff takes two CSV files, OLD and NEW");
  if (options.output.empty()) throw UsageError("--output is required");
  return options;
}

bool SameFile(const std::string& a, const std::string& b) {
  std::error_code error;
  return std::filesystem::equivalent(PathFromUtf8(a), PathFromUtf8(b), error);
}

std::optional<CsvTable> ReadRun(const std::string& path, std::ostream& err) {
  std::error_code ignored;
  if (std::filesystem::is_directory(PathFromUtf8(path), ignored)) {
    err << msg::kDiffInputIsFolder << "\n(" << path << ")\n";
    return std::nullopt;
  }
  try {
    CsvTable table = CsvTable::Read(path);
    for (const RepeatedCode& repeat : table.repeated()) {
      err << "warning: " << path << ": line " << repeat.line << ": 病院ID "
          << SjisToUtf8(repeat.code) << " is already on line " << repeat.first_line
          << "; the first one counts\n";
    }
    return table;
  } catch (const std::runtime_error& error) {  // not readable, or a CsvFormatError
    err << "error: " << error.what() << "\n";
  }
  return std::nullopt;
}

}  // namespace

int RunDiff(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  DiffOptions options;
  try {
    options = ParseDiffOptions(args);
  } catch (const UsageError& error) {
    err << "valmeric-cli diff: " << error.what() << "\n" << kDiffUsage;
    return kExitUsage;
  }
  const std::string output = WithCsvExtension(options.output);
  for (const std::string& input : options.inputs) {
    if (SameFile(input, output)) {
      err << "error: the report would overwrite " << input << "\n";
      return kExitUsage;
    }
  }

  const std::optional<CsvTable> old_run = ReadRun(options.inputs[0], err);
  if (!old_run) return kExitUsage;
  const std::optional<CsvTable> new_run = ReadRun(options.inputs[1], err);
  if (!new_run) return kExitUsage;

  ChangeCounts counts;
  try {
    counts = WriteChangeReport(*old_run, *new_run, output);
  } catch (const OutputInUseError&) {
    err << ForConsole(msg::kFileInUse) << "\n(" << output << ")\n";
    return kExitWriteError;
  } catch (const OutputError& error) {
    err << msg::kOutputWrite << "\n" << error.what() << "\n";
    return kExitWriteError;
  }
  out << output << "\t" << counts.added << "\t" << counts.changed << "\t" << counts.gone << "\n";
  // A result line that never reached its reader must not read as success.
  if (!out.flush()) {
    err << msg::kResultLineWrite << "\n";
    return kExitWriteError;
  }
  return kExitWrote;
}

}  // namespace valmeric::cli
