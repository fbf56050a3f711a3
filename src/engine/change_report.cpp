#include "engine/change_report.h"

#include "common/text/text_encoding.h"

namespace valmeric {
namespace {

std::uint8_t ChangedColumns(const CsvRow& before, const CsvRow& after) {
  std::uint8_t columns = 0;
  // The codes matched, perhaps as numbers whose leading zeros one file lost.
  for (size_t i = kHspCode + 1; i < before.fields.size(); ++i) {
    if (before.fields[i] != after.fields[i]) columns |= static_cast<std::uint8_t>(1u << i);
  }
  return columns;
}

const std::string& KindLabel(ChangeKind kind) {
  static const std::string labels[] = {Utf8ToSjis("新規"), Utf8ToSjis("変更"), Utf8ToSjis("廃止")};
  return labels[static_cast<size_t>(kind)];
}

std::string ChangedTitles(std::uint8_t columns) {
  static const std::string separator = Utf8ToSjis("・");
  std::string titles;
  for (size_t i = 0; i < CsvColumnTitles().size(); ++i) {
    if ((columns & (1u << i)) == 0) continue;
    if (!titles.empty()) titles += separator;
    titles += CsvColumnTitles()[i];
  }
  return titles;
}

}  // namespace

const CsvRow* Counterpart(const CsvRow& row, const CsvTable& self, const CsvTable& other) {
  if (const CsvRow* same = other.Find(row.code())) return same;
  const CsvRow* number = other.FindNumber(row.code());
  if (number == nullptr || self.FindNumber(number->code()) != &row) return nullptr;
  if (self.Find(number->code()) != nullptr) return nullptr;
  if (!row.code().starts_with('0') || !number->code().starts_with('0')) return number;
  return nullptr;
}

DroppedZeros FindDroppedZeros(const CsvTable& file, const CsvTable& other) {
  DroppedZeros dropped;
  for (const CsvRow& row : file.rows()) {
    if (row.code().starts_with('0')) continue;
    const CsvRow* match = Counterpart(row, file, other);
    if (match == nullptr || match->code() == row.code()) continue;
    if (dropped.count++ == 0) {
      dropped.first = &row;
      dropped.first_other = match;
    }
  }
  return dropped;
}

std::vector<Change> CompareRuns(const CsvTable& old_run, const CsvTable& new_run) {
  std::vector<Change> report;
  std::vector<Change> changed;
  for (const CsvRow& row : new_run.rows()) {
    const CsvRow* before = Counterpart(row, new_run, old_run);
    if (before == nullptr) {
      report.push_back({ChangeKind::kNew, &row, 0});
    } else if (const std::uint8_t columns = ChangedColumns(*before, row); columns != 0) {
      changed.push_back({ChangeKind::kChanged, &row, columns});
    }
  }
  report.insert(report.end(), changed.begin(), changed.end());
  for (const CsvRow& row : old_run.rows()) {
    if (Counterpart(row, old_run, new_run) == nullptr)
      report.push_back({ChangeKind::kGone, &row, 0});
  }
  return report;
}

const std::string& ChangeReportHeaderLine() {
  static const std::string header = [] {
    std::string line;
    AppendCsvField(line, Utf8ToSjis("区分"));
    line += CsvHeaderLine();
    line += ',';
    AppendCsvField(line, Utf8ToSjis("変更項目"));
    line.pop_back();  // a header ends with its last title's quote
    return line;
  }();
  return header;
}

std::string FormatChangeLine(const Change& change) {
  std::string line;
  line.reserve(288);
  AppendCsvField(line, KindLabel(change.kind));
  for (std::string_view field : change.row->fields) AppendCsvField(line, field);
  AppendCsvField(line, ChangedTitles(change.changed_columns));
  return line;
}

ChangeCounts WriteChangeReport(const CsvTable& old_run, const CsvTable& new_run,
                               const std::string& path) {
  ChangeCounts counts;
  CsvFile file;
  try {
    file.Open(path, new_run.encoding());
    file.WriteLine(ChangeReportHeaderLine());
    for (const Change& change : CompareRuns(old_run, new_run)) {
      file.WriteLine(FormatChangeLine(change));
      switch (change.kind) {
        case ChangeKind::kNew:
          ++counts.added;
          break;
        case ChangeKind::kChanged:
          ++counts.changed;
          break;
        case ChangeKind::kGone:
          ++counts.gone;
          break;
      }
    }
    file.Close();
  } catch (const OutputError&) {
    // No half-written report of ours is left behind; anybody else's file
    // (another run's CSV, a read-only file) is never removed.
    file.Discard();
    throw;
  }
  return counts;
}

}  // namespace valmeric
