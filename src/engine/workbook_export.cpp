#include "engine/workbook_export.h"

#include <xlsxwriter.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "common/network/site_lists.h"
#include "common/platform/native_file.h"
#include "common/platform/utf8_path.h"
#include "common/text/text_encoding.h"
#include "common/version.h"
#include "engine/record.h"
#include "messages/detail_text.h"
#include "messages/workbook_text.h"

namespace valmeric {
namespace {

namespace fs = std::filesystem;
namespace wt = workbook_text;

// A cell holds at most this many characters; a longer field is cut there.
constexpr size_t kMostCharactersInACell = 32767;
// The widest a column is made, in characters of the default font.
constexpr double kWidestColumn = 60;

[[noreturn]] void Fail(const std::string& path, const std::string& why) {
  throw WorkbookError(Detail(wt::kCannotWrite, path + ": " + why));
}

// utf8 cut to at most kMostCharactersInACell characters, at a character's start.
std::string_view FitInACell(std::string_view utf8) {
  size_t characters = 0;
  for (size_t at = 0; at < utf8.size(); ++at) {
    if ((static_cast<unsigned char>(utf8[at]) & 0xC0) == 0x80) continue;
    if (++characters > kMostCharactersInACell) return utf8.substr(0, at);
  }
  return utf8;
}

// Columns wide enough for their longest field, up to kWidestColumn. A CP932
// character of two bytes is about two columns wide, one of one byte one, so
// the byte count serves as the width.
std::array<double, 8> ColumnWidths(const CsvTable& table) {
  std::array<size_t, 8> longest{};
  for (size_t c = 0; c < 8; ++c) longest[c] = CsvColumnTitles()[c].size();
  for (const CsvRow& row : table.rows()) {
    for (size_t c = 0; c < 8; ++c) longest[c] = std::max(longest[c], row.fields[c].size());
  }
  std::array<double, 8> widths{};
  for (size_t c = 0; c < 8; ++c) {
    widths[c] = std::min(kWidestColumn, static_cast<double>(longest[c]) + 2);
  }
  return widths;
}

// A web address a spreadsheet takes as a link; anything else (another
// scheme, longer than a link may be) stays text.
bool Linkable(std::string_view text) {
  constexpr size_t kLongestLink = 2079;
  return (text.starts_with("https://") || text.starts_with("http://")) &&
         text.size() <= kLongestLink;
}

class Workbook final {
 public:
  Workbook(const std::string& path, const std::string& shown_path) : shown_path_(shown_path) {
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;  // rows go to disk as they are written
    book_ = workbook_new_opt(path.c_str(), &options);
    if (book_ == nullptr) Fail(shown_path_, "workbook_new_opt");
    bold_ = workbook_add_format(book_);
    format_set_bold(bold_);
  }
  ~Workbook() {
    if (book_ != nullptr) workbook_close(book_);
  }
  Workbook(const Workbook&) = delete;
  Workbook& operator=(const Workbook&) = delete;

  lxw_worksheet* AddSheet(const char* name) {
    lxw_worksheet* sheet = workbook_add_worksheet(book_, name);
    if (sheet == nullptr) Fail(shown_path_, "workbook_add_worksheet");
    return sheet;
  }
  lxw_format* bold() const { return bold_; }

  void SetTitle() {
    // The library takes the texts as char* and copies them.
    std::string title = wt::kTitle;
    std::string author = "Valmeric";
    std::string comments = author + " " + kProgramVersion;
    lxw_doc_properties properties{};
    properties.title = title.data();
    properties.author = author.data();
    properties.comments = comments.data();
    Check(workbook_set_properties(book_, &properties));
  }

  void Check(lxw_error error) const {
    if (error != LXW_NO_ERROR) Fail(shown_path_, lxw_strerror(error));
  }

  void Close() {
    const lxw_error error = workbook_close(book_);
    book_ = nullptr;
    Check(error);
  }

 private:
  const std::string shown_path_;
  lxw_workbook* book_ = nullptr;
  lxw_format* bold_ = nullptr;
};

void WriteText(const Workbook& book, lxw_worksheet* sheet, lxw_row_t row, lxw_col_t col,
               std::string_view utf8, lxw_format* format = nullptr) {
  const std::string text(FitInACell(utf8));
  book.Check(worksheet_write_string(sheet, row, col, text.c_str(), format));
}

size_t WriteList(const Workbook& book, lxw_worksheet* sheet, const CsvTable& table) {
  const std::array<double, 8> widths = ColumnWidths(table);
  for (lxw_col_t c = 0; c < 8; ++c) {
    book.Check(worksheet_set_column(sheet, c, c, widths[c], nullptr));
    WriteText(book, sheet, 0, c, SjisToUtf8(CsvColumnTitles()[c]), book.bold());
  }
  size_t links = 0;
  lxw_row_t row = 1;
  for (const CsvRow& record : table.rows()) {
    for (lxw_col_t c = 0; c < 8; ++c) {
      const std::string text = SjisToUtf8(record.fields[c]);
      if (c == kDetailUrl && links < kMostLinksOnASheet && Linkable(text) &&
          worksheet_write_url(sheet, row, c, text.c_str(), nullptr) == LXW_NO_ERROR) {
        ++links;
        continue;
      }
      WriteText(book, sheet, row, c, text);
    }
    ++row;
  }
  worksheet_freeze_panes(sheet, 1, 0);
  book.Check(worksheet_autofilter(sheet, 0, 0, static_cast<lxw_row_t>(table.rows().size()), 7));
  return links;
}

std::string Counted(int n) {
  return std::to_string(n) + wt::kCount;
}

std::vector<std::array<std::string, 2>> FactRows(const WorkbookFacts& facts) {
  std::vector<std::array<std::string, 2>> rows = {
      {wt::kFile, facts.csv_name}, {wt::kFileTime, facts.csv_time}, {wt::kSite, facts.site}};
  if (!facts.run) {
    rows.push_back({wt::kNoRecord, ""});
    return rows;
  }
  const RecordedRun& run = *facts.run;
  rows.push_back({wt::kCategories, NamedCodes(run.selection.categories, kCategoryNamesUtf8, "、")});
  rows.push_back(
      {wt::kPrefectures, NamedCodes(run.selection.prefectures, kPrefectureNamesUtf8, "、")});
  rows.push_back({wt::kWritten, Counted(run.progress.facilities_written)});
  rows.push_back({wt::kNotFetched, Counted(run.progress.not_fetched)});
  rows.push_back({wt::kGone, Counted(run.progress.gone)});
  rows.push_back({wt::kBeyond, Counted(run.progress.beyond_first_page)});
  return rows;
}

void WriteFacts(const Workbook& book, lxw_worksheet* sheet, const WorkbookFacts& facts) {
  const auto rows = FactRows(facts);
  size_t widest = 0;
  for (const auto& row : rows) widest = std::max(widest, row[0].size() * 2 / 3);
  book.Check(worksheet_set_column(sheet, 0, 0, static_cast<double>(widest) + 2, nullptr));
  book.Check(worksheet_set_column(sheet, 1, 1, kWidestColumn, nullptr));
  WriteText(book, sheet, 0, 0, wt::kFactsItem, book.bold());
  WriteText(book, sheet, 0, 1, wt::kFactsValue, book.bold());
  lxw_row_t r = 1;
  for (const auto& row : rows) {
    WriteText(book, sheet, r, 0, row[0]);
    if (!row[1].empty()) WriteText(book, sheet, r, 1, row[1]);
    ++r;
  }
}

}  // namespace

std::string WorkbookPathFor(const std::string& csv_path) {
  fs::path path = PathFromUtf8(csv_path);
  path.replace_extension(".xlsx");
  return Utf8FromPath(path);
}

std::string SiteShown(const SiteOrigin& origin) {
  return origin.str().empty() ? std::string(BuiltSiteHost()) : origin.str();
}

WorkbookFacts FactsOf(const std::string& csv_path, const std::optional<RecordedRun>& recorded,
                      std::string site) {
  WorkbookFacts facts;
  facts.csv_name = Utf8FromPath(PathFromUtf8(csv_path).filename());
  facts.csv_time = ModifiedTimeOfFile(csv_path).value_or("");
  facts.site = std::move(site);
  if (recorded && SameExistingFile(recorded->output_path, csv_path)) facts.run = recorded;
  return facts;
}

WorkbookSummary WriteWorkbook(CsvTable table, const std::string& path, const WorkbookFacts& facts) {
  const std::string part = path + ".part";
  WorkbookSummary summary;
  summary.records = table.rows().size();
  // Made here first, so that a folder that refuses it is told in our words
  // rather than in the library's.
  std::FILE* probe = OpenStdioFile(part, "wb");
  if (probe == nullptr) Fail(path, StdioErrorText());
  std::fclose(probe);
  try {
    Workbook book(PathForNarrowApi(part), path);
    book.SetTitle();
    lxw_worksheet* list = book.AddSheet(wt::kListSheet);
    lxw_worksheet* facts_sheet = book.AddSheet(wt::kFactsSheet);
    summary.links = WriteList(book, list, table);
    WriteFacts(book, facts_sheet, facts);
    // The rows are on disk now; the library holds the links until it closes.
    { const CsvTable written = std::move(table); }
    book.Close();
    std::error_code error;
    fs::rename(PathFromUtf8(part), PathFromUtf8(path), error);
    if (error) Fail(path, error.message());
  } catch (...) {
    std::error_code ignored;
    fs::remove(PathFromUtf8(part), ignored);
    throw;
  }
  return summary;
}

WorkbookSummary ExportWorkbook(const std::string& csv_path, const std::string& xlsx_path,
                               const WorkbookFacts& facts) {
  if (SameExistingFile(csv_path, xlsx_path) || PathFromUtf8(csv_path) == PathFromUtf8(xlsx_path))
    throw WorkbookIsTheCsvError(Detail(workbook_text::kSameAsCsv, xlsx_path));
  return WriteWorkbook(CsvTable::Read(csv_path), xlsx_path, facts);
}

std::optional<RunWorkbook> WriteRunWorkbook(const RunOutcome& outcome, const RecordedRun& run,
                                            std::string site) {
  const bool wrote = outcome.kind == Outcome::kCompleted || outcome.kind == Outcome::kIncomplete;
  if (!wrote || outcome.progress.facilities_written <= 0 || run.output_path.empty()) {
    return std::nullopt;
  }
  RecordedRun ended = run;
  ended.progress = outcome.progress;
  RunWorkbook workbook;
  workbook.path = AbsoluteUtf8Path(WorkbookPathFor(run.output_path));
  try {
    ExportWorkbook(run.output_path, workbook.path,
                   FactsOf(run.output_path, ended, std::move(site)));
  } catch (const WorkbookError& failure) {
    workbook.failure = failure.what();
  } catch (const std::runtime_error& failure) {  // the CSV could not be read
    workbook.failure = Detail(wt::kCannotWrite, failure.what());
  }
  return workbook;
}

}  // namespace valmeric
