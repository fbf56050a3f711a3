// Every text a user can read, in the windows and on the command line, is
// Japanese: its words may stand beside option names, paths, program names,
// placeholders and a library's own words in parentheses, and nothing else.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli_main.h"
#include "common/network/download.h"
#include "common/network/site_address.h"
#include "common/network/site_host.h"
#include "common/platform/app_paths.h"
#include "common/version.h"
#include "messages/check_text.h"
#include "messages/cli_messages.h"
#include "messages/detail_text.h"
#include "messages/download_text.h"
#include "messages/run_messages.h"
#include "messages/user_messages.h"
#include "messages/workbook_text.h"
#include "support/temp_dir.h"

namespace valmeric {
namespace {

// Texts that are not sentences and stay as they are: the program's name, the
// title the window's error boxes have always had, and the save dialog's pattern.
const std::set<std::string> kNotSentences = {"Valmeric", "Error", "*.csv", "*.xlsx"};

// ASCII words a Japanese sentence may hold: encodings, table names, the
// commands a user types, file name parts, the system's name, the spreadsheet.
const std::set<std::string> kAllowedWords = {
    "all",      "cp932", "utf",   "Shift_JIS", "T01_City", "T02_Category", "collect",
    "status",   "diff",  "help",  "rebuild",   "cities",   "categories",   "csv",
    "hpt_data", "db",    "http",  "https",     "exe",      "valmeric",     "cli",
    "Windows",  "wal",   "Excel", "export",    "xlsx"};

bool IsAsciiLetter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}
bool IsWordChar(char c) {
  return IsAsciiLetter(c) || (c >= '0' && c <= '9') || c == '_';
}

// text with every part [from, to) that is_part marks put out as a space.
template <typename IsPart>
std::string Blanked(const std::string& text, IsPart is_part) {
  std::string out;
  size_t at = 0;
  while (at < text.size()) {
    const size_t end = is_part(text, at);
    if (end > at) {
      out += ' ';
      at = end;
    } else {
      out += text[at++];
    }
  }
  return out;
}

// What is left of text once the parts that may stay in any language are gone:
// ASCII parentheses and what they hold, --options, and paths.
std::string WithoutAllowedParts(const std::string& text) {
  std::string rest = text;
  // Parentheses inside parentheses go from the inside out.
  for (size_t close = rest.find(')'); close != std::string::npos; close = rest.find(')')) {
    const size_t open = rest.rfind('(', close);
    if (open == std::string::npos) break;
    rest.replace(open, close - open + 1, " ");
  }
  rest = Blanked(rest, [](const std::string& t, size_t at) {
    if (t.compare(at, 2, "--") != 0) return at;
    size_t end = at + 2;
    while (end < t.size() && (IsWordChar(t[end]) || t[end] == '-')) ++end;
    return end;
  });
  // A path: a run without spaces that holds a slash or a backslash; full-width
  // parentheses end a run as a space would.
  for (const std::string paren : {"（", "）"}) {
    for (size_t at = rest.find(paren); at != std::string::npos; at = rest.find(paren, at)) {
      rest.replace(at, paren.size(), " ");
    }
  }
  std::string out;
  size_t start = 0;
  while (start <= rest.size()) {
    const size_t space = std::min(rest.find(' ', start), rest.size());
    const std::string piece = rest.substr(start, space - start);
    out += piece.find_first_of("/\\") == std::string::npos ? piece : std::string(" ");
    if (space < rest.size()) out += ' ';
    start = space + 1;
  }
  return out;
}

// The English words left in text: words of two letters or more that are
// neither upper-case placeholders and acronyms (FILE, LIST, CSV, HTTP) nor allowed.
std::vector<std::string> EnglishWords(const std::string& text) {
  const std::string rest = WithoutAllowedParts(text);
  std::vector<std::string> english;
  for (size_t at = 0; at < rest.size();) {
    if (!IsAsciiLetter(rest[at])) {
      ++at;
      continue;
    }
    size_t end = at;
    while (end < rest.size() && IsWordChar(rest[end])) ++end;
    const std::string w = rest.substr(at, end - at);
    at = end;
    const bool upper = std::all_of(w.begin(), w.end(), [](char c) {
      return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
    });
    if (w.size() >= 2 && !upper && kAllowedWords.count(w) == 0) english.push_back(w);
  }
  return english;
}

bool HasJapanese(const std::string& text) {
  const std::string rest = WithoutAllowedParts(text);
  for (const char c : rest) {
    if (static_cast<unsigned char>(c) >= 0xE3) return true;  // kana, kanji, full-width forms
  }
  return false;
}

// Empty when text is a Japanese message; otherwise why it is not.
std::string Problem(const std::string& text) {
  if (kNotSentences.count(text) != 0) return {};
  const std::vector<std::string> english = EnglishWords(text);
  if (!english.empty()) return "English words: " + english.front();
  if (!HasJapanese(text)) return "no Japanese";
  return {};
}

// The checker itself, on texts it must pass and texts it must fail.
TEST(JapaneseMessageCheck, TellsAJapaneseMessageFromAnEnglishOne) {
  struct Case {
    std::string text;
    bool japanese;
  } cases[] = {
      {"サーバーに接続できませんでした。(Couldn't connect to server)", true},
      {"ページが見つかりませんでした。(HTTP 404)", true},
      {"ファイルを開けませんでした。(/tmp/a b/x.csv: No such file or directory)", true},
      {"使い方: valmeric-cli collect --category LIST --output FILE", true},
      {"続きは valmeric-cli.exe collect --resume で取得できます。", true},
      {"都道府県: 13 東京都", true},
      {"5 件を保存しました（/out/a.csv）", true},
      {"/db/hpt_data.db（not found）", false},
      {"(Couldn't connect to server)", false},
      {"cannot open /tmp/x.csv: No such file or directory", false},
      {"T01_City: no cities for prefecture 13", false},
      {"note: the unfinished run recorded in the database is dropped", false},
      {"unknown option --format", false},
      {"取得できませんでした (timeout reached)。 retry later", false},
      {"", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Problem(c.text).empty(), c.japanese) << c.text << ": " << Problem(c.text);
  }
}

// Every constant and every text the message functions make.
std::vector<std::string> AllMessages() {
  std::vector<std::string> all;
  const auto add = [&](const auto& texts) {
    for (const auto& text : texts) all.emplace_back(text);
  };
  add(UserMessageTexts());
  add(DetailSentences());
  add(DownloadTexts());
  add(CheckTexts());
  add(cli::CliMessages());
  add(workbook_text::Texts());
  for (const DownloadFailureRow& row : DownloadFailureTable()) {
    all.push_back(DownloadFailureText(row.kind, "library words"));
  }
  for (const long status : {301L, 400L, 401L, 403L, 404L, 410L, 429L, 500L, 503L}) {
    all.push_back(HttpStatusText(status));
  }
  all.insert(all.end(), {DoneQuestion(),
                         IncompleteText(3),
                         KeptText(5, "/out/a.csv"),
                         KeptPreviousText("病院施設一覧_20261109.csv"),
                         RefreshReportText(1, 2, 3, "病院施設一覧_変更点.csv"),
                         InterruptedText(1, 4, 2, "/out/a.csv"),
                         ResumeDetail("/out/a.csv", 1, 4),
                         SavedText(5, "/out/a.csv"),
                         StoppedStatus(true, 5, "a.csv"),
                         StoppedStatus(false, 0, "a.csv"),
                         DatabaseFileDetail("/db/hpt_data.db", msg::kDatabaseFileMissing),
                         BeyondFirstPageText(10, 2),
                         IncompleteText(2, 5),
                         cli::MainUsage(),
                         cli::HelpText(),
                         cli::ChangeSummary(1, 2, 3),
                         cli::EntriesLine(1, 4, 0, 3, "/out/a.csv"),
                         cli::EntriesLine(0, -1, 0, 0, "/out/a.csv"),
                         cli::BeyondLine(3, 1),
                         cli::ProgressWritten(4),
                         cli::ProgressRemaining("1:02"),
                         cli::NamedCategories({1, 10}),
                         cli::NamedPrefectures({13, 47}),
                         CityBuilderProgress(13),
                         AtLine("/out/a.csv", 3) + check_text::kCsvEmptyLine,
                         AtByte(5, check_text::kCsvNotCp932),
                         FieldProblem(2, check_text::kCsvFieldNoComma),
                         ShorterThanRecorded(100, 50),
                         LinesDisagree(3, 2)});
  for (const StartProblem problem :
       {StartProblem::kDatabaseMissing, StartProblem::kDatabaseBusy,
        StartProblem::kDatabaseUnusable, StartProblem::kDatabaseWrite, StartProblem::kOutputInUse,
        StartProblem::kNoPlanRows, StartProblem::kScratch, StartProblem::kNothingToResume,
        StartProblem::kNothingToRetry, StartProblem::kOutputChanged, StartProblem::kPlanChanged,
        StartProblem::kRecordInvalid}) {
    const UserMessage box = StartRefusalMessage(StartRefused(problem, detail::kDatabaseOpen));
    all.insert(all.end(), {box.text, box.title});
  }
  for (const FailureKind kind : {FailureKind::kOutput, FailureKind::kDatabaseRead,
                                 FailureKind::kDatabaseWrite, FailureKind::kScratch}) {
    RunOutcome outcome;
    outcome.failure = kind;
    outcome.detail = FileDetail(detail::kCannotWrite, "/out/a.csv", "No space left on device");
    all.push_back(FailureMessage(outcome).text);
  }
  RunOutcome unreachable;
  unreachable.detail = HttpStatusText(403);
  all.push_back(UnreachableMessage(unreachable).text);
  unreachable.placeholder_host = true;
  all.push_back(UnreachableMessage(unreachable).text);
  return all;
}

// A kind missing from the table would fall back to the general sentence
// without a word; one listed twice would hide one of its sentences.
TEST(JapaneseMessages, EveryDownloadFailureHasOneSentence) {
  const auto& table = DownloadFailureTable();
  for (int kind = static_cast<int>(DownloadFailure::kSession);
       kind <= static_cast<int>(DownloadFailure::kOther); ++kind) {
    const auto rows = std::count_if(table.begin(), table.end(), [&](const DownloadFailureRow& row) {
      return static_cast<int>(row.kind) == kind && row.sentence != nullptr;
    });
    EXPECT_EQ(rows, 1) << "kind " << kind;
  }
}

TEST(JapaneseMessages, EveryMessageIsJapanese) {
  const std::vector<std::string> all = AllMessages();
  int english = 0;
  for (const std::string& text : all) {
    const std::string problem = Problem(text);
    if (problem.empty()) continue;
    ++english;
    ADD_FAILURE() << problem << "\n" << text;
  }
  std::printf("%zu messages, %d not Japanese\n", all.size(), english);
  EXPECT_GT(all.size(), 150u);
}

// Run on Windows too: there the hint must name valmeric-cli.exe.
TEST(JapaneseMessages, TheRebuildHintNamesTheCommandAsTypedOnThisSystem) {
  const std::string text = IncompleteText(0, kManyGonePages);
  EXPECT_NE(text.find(std::string(CommandLineProgramName()) + " rebuild-cities"), std::string::npos)
      << text;
}

// What the command line says when it is used wrongly, read from its streams:
// this also finds a text written where no table lists it.
TEST(JapaneseMessages, TheCommandLineAnswersInJapanese) {
  test::TempDir dir;
  const std::string missing = dir.File("none.db");
  const std::string csv = dir.File("none.csv");
  const std::vector<std::vector<std::string>> cases = {
      {},
      {"bogus"},
      {"collect"},
      {"collect", "--bogus", "1"},
      {"collect", "--category"},
      {"collect", "--category", "0", "--prefecture", "1", "--output", "x"},
      {"collect", "--category", "1", "--prefecture", "48", "--output", "x"},
      {"collect", "--category", "1", "--output", "x"},
      {"collect", "--category", "1", "--prefecture", "1"},
      {"collect", "--resume", "--retry-failed"},
      {"collect", "--quiet=yes"},
      {"collect", "--pause-ms", "-1"},
      {"collect", "--retry-delays-ms", "1,1,1,1,1,1,1,1,1,1,1"},
      {"collect", "--encoding", "latin1"},
      {"collect", "--site-origin", "ftp://host"},
      {"collect", "--site-origin", "http://host/path"},
      {"collect", "--category", "1", "--prefecture", "1", "--output", csv, "--db", missing},
      {"collect", "--resume", "--db", missing},
      {"collect", "extra"},
      {"status", "--bogus", "1"},
      {"status", "--db", missing},
      {"diff"},
      {"diff", csv, "--output", "r"},
      {"diff", csv, csv, "--output", dir.File("r")},
      {"diff", csv, csv},
      {"rebuild-cities", "--bogus"},
      {"rebuild-categories", "--db", missing},
  };
  const std::atomic<bool> no{false};
  for (const auto& args : cases) {
    std::string call;
    for (const std::string& arg : args) call += " " + arg;
    SCOPED_TRACE(call);
    std::ostringstream out, err;
    cli::CliMain(args, out, err, no, false);
    ASSERT_FALSE(err.str().empty());
    EXPECT_EQ(Problem(err.str()), "") << err.str();
  }
  std::ostringstream out, err;
  cli::CliMain({"help"}, out, err, no, false);
  EXPECT_EQ(Problem(out.str()), "") << out.str();
  // The code tables, first and last of each.
  for (const char* code : {" 1 内科系", "10 動物病院", " 1 北海道", "13 東京都", "47 沖縄県",
                           "終了ステータス:\n  0  ", "\n  5  ", "\n  130  "}) {
    EXPECT_NE(out.str().find(code), std::string::npos) << code;
  }
}

// A build that carries the placeholder host blames no user's network for
// what the build lacks, and --version names the host a build was made for.
TEST(JapaneseMessages, APlaceholderHostIsToldWhereverTheSiteIsUnreached) {
  const bool placeholder_build = std::string_view(kSiteHost) == kPlaceholderSiteHost;
  EXPECT_EQ(AimsAtPlaceholderHost(SiteOrigin()), placeholder_build);
  EXPECT_FALSE(AimsAtPlaceholderHost(SiteOrigin::Parse("http://127.0.0.1:8080")));
  for (const bool placeholder : {false, true}) {
    RunOutcome outcome;
    outcome.detail = "why";
    outcome.placeholder_host = placeholder;
    const std::string text = UnreachableMessage(outcome).text;
    EXPECT_EQ(text.find(detail::kBuiltWithoutSiteHost) != std::string::npos, placeholder) << text;
    EXPECT_NE(text.find("why"), std::string::npos) << text;
  }
  const std::atomic<bool> no{false};
  std::ostringstream out, err;
  EXPECT_EQ(cli::CliMain({"--version"}, out, err, no, false), 0);
  EXPECT_NE(out.str().find(kProgramVersion), std::string::npos) << out.str();
  EXPECT_NE(out.str().find(std::string(cli::text::kBuiltForHost) + kSiteHost), std::string::npos)
      << out.str();
  EXPECT_EQ(out.str().find(cli::text::kPlaceholderHostNote) != std::string::npos, placeholder_build)
      << out.str();
}

}  // namespace
}  // namespace valmeric
