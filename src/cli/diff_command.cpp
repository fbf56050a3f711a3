#include "cli/diff_command.h"

#include <filesystem>
#include <optional>
#include <system_error>

#include "cli/console.h"
#include "cli/exit_codes.h"
#include "cli/option_reader.h"
#include "common/platform/utf8_path.h"
#include "common/text/text_encoding.h"
#include "engine/change_report.h"
#include "engine/output_file_name.h"
#include "messages/cli_messages.h"
#include "messages/detail_text.h"
#include "messages/user_messages.h"

namespace valmeric::cli {

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
        if (name != "--output") throw UsageError(Detail(text::kUnknownOption, name));
        options.output = value;
      },
      [&](const std::string& arg) { options.inputs.push_back(arg); });
  if (options.inputs.size() != 2) throw UsageError(text::kDiffInputs);
  if (options.output.empty()) throw UsageError(text::kOutputRequired);
  return options;
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
      err << text::kWarningPrefix
          << Detail(text::kDiffRepeatedCode, path + ": " + std::to_string(repeat.line) + " / " +
                                                 std::to_string(repeat.first_line) + ": " +
                                                 SjisToUtf8(repeat.code))
          << "\n";
    }
    return table;
  } catch (const std::runtime_error& error) {  // not readable, or a CsvFormatError
    err << text::kErrorPrefix << error.what() << "\n";
  }
  return std::nullopt;
}

// Once for each file whose codes lost their leading zeros, as when Excel
// saved it again.
void WarnOfDroppedZeros(const CsvTable& file, const CsvTable& other, std::ostream& err) {
  const DroppedZeros dropped = FindDroppedZeros(file, other);
  if (dropped.count == 0) return;
  err << text::kWarningPrefix
      << Detail(text::kDiffZerosDropped,
                file.name() + ": " + Count(static_cast<long long>(dropped.count)) + ", " +
                    std::to_string(dropped.first->line) + ": " + SjisToUtf8(dropped.first->code()) +
                    " / " + SjisToUtf8(dropped.first_other->code()))
      << "\n";
}

}  // namespace

int RunDiff(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  DiffOptions options;
  try {
    options = ParseDiffOptions(args);
  } catch (const UsageError& error) {
    err << ProgramName() << " diff: " << error.what() << "\n" << Named(kDiffUsage);
    return kExitUsage;
  }
  const std::string output = WithCsvExtension(options.output);
  for (const std::string& input : options.inputs) {
    if (SameExistingFile(input, output)) {
      err << text::kErrorPrefix << Detail(text::kDiffWouldOverwrite, input) << "\n";
      return kExitUsage;
    }
  }

  const std::optional<CsvTable> old_run = ReadRun(options.inputs[0], err);
  if (!old_run) return kExitUsage;
  const std::optional<CsvTable> new_run = ReadRun(options.inputs[1], err);
  if (!new_run) return kExitUsage;
  WarnOfDroppedZeros(*old_run, *new_run, err);
  WarnOfDroppedZeros(*new_run, *old_run, err);

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
  err << ChangeSummary(counts.added, counts.changed, counts.gone) << "\n";
  out << AbsoluteUtf8Path(output) << "\t" << counts.added << "\t" << counts.changed << "\t"
      << counts.gone << "\n";
  // A result line that never reached its reader must not read as success.
  if (!out.flush()) {
    err << msg::kResultLineWrite << "\n";
    return kExitWriteError;
  }
  return kExitWrote;
}

}  // namespace valmeric::cli
