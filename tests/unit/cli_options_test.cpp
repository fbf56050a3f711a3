#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "cli/code_list.h"
#include "cli/collect_options.h"
#include "cli/progress_printer.h"
#include "cli/rebuild_command.h"
#include "engine/output_file_name.h"

namespace valmeric::cli {
namespace {

TEST(CodeList, ReadsCodesOrAll) {
  struct Case {
    std::string text;
    std::vector<int> codes;
  } cases[] = {
      {"1", {1}},
      {"3,1,3", {1, 3}},
      {"10", {10}},
      {"all", {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}},
  };
  for (const Case& c : cases) EXPECT_EQ(ParseCodeList(c.text, 10, "category"), c.codes);
}

TEST(CodeList, RefusesAnythingElse) {
  for (const char* bad : {"", "0", "11", "1,", ",1", "1,,2", "a", "1.5", " 1", "-1", "ALL", "+2"}) {
    EXPECT_THROW(ParseCodeList(bad, 10, "category"), std::invalid_argument) << bad;
  }
}

TEST(CollectOptions, ReadsEveryOption) {
  const CollectOptions o =
      ParseCollectOptions({"--category", "1,3", "--prefecture=all", "--output", "x", "--db", "d.db",
                           "--site-origin", "http://127.0.0.1:9", "--pause-ms", "0", "--quiet",
                           "--ca-file", "c.pem", "--retry-delays-ms", "5,0,7"});
  EXPECT_EQ(o.selection.categories, (std::vector<int>{1, 3}));
  EXPECT_EQ(o.selection.prefectures.size(), 47u);
  EXPECT_EQ(o.output, "x");
  EXPECT_EQ(o.database, "d.db");
  EXPECT_EQ(o.settings.download.origin.str(), "http://127.0.0.1:9");
  EXPECT_EQ(o.settings.page_pause.count(), 0);
  EXPECT_TRUE(o.quiet);
  EXPECT_EQ(o.settings.download.ca_file, "c.pem");
  EXPECT_EQ(o.settings.retry.delays, (std::vector<std::chrono::milliseconds>{
                                         std::chrono::milliseconds(5), std::chrono::milliseconds(0),
                                         std::chrono::milliseconds(7)}));
  EXPECT_EQ(ParseCollectOptions({"--category", "1", "--prefecture", "1", "--output", "o"})
                .settings.page_pause.count(),
            500);
}

TEST(CollectOptions, EncodingIsCp932UnlessUtf8IsAskedFor) {
  const std::vector<std::string> base = {"--category", "1", "--prefecture", "1", "--output", "o"};
  auto with = [&base](std::vector<std::string> more) {
    more.insert(more.begin(), base.begin(), base.end());
    return ParseCollectOptions(more).encoding;
  };
  EXPECT_EQ(with({}), CsvEncoding::kCp932);
  EXPECT_EQ(with({"--encoding", "utf-8"}), CsvEncoding::kUtf8);
  EXPECT_EQ(with({"--encoding=cp932"}), CsvEncoding::kCp932);
}

TEST(CollectOptions, ResumeAndRetryNeedNoSelectionButRememberWhatWasNamed) {
  struct Case {
    std::vector<std::string> args;
    RunMode mode;
    bool has_category;
    bool has_encoding;
  } cases[] = {
      {{"--resume"}, RunMode::kResume, false, false},
      {{"--retry-failed", "--db", "d.db", "--pause-ms", "0"}, RunMode::kRetryFailed, false, false},
      {{"--resume", "--category", "1", "--encoding", "cp932"}, RunMode::kResume, true, true},
      {{"--category", "1", "--prefecture", "1", "--output", "o"}, RunMode::kNew, true, false},
  };
  for (const Case& c : cases) {
    const CollectOptions o = ParseCollectOptions(c.args);
    EXPECT_EQ(o.mode, c.mode) << c.args[0];
    EXPECT_EQ(o.has_category, c.has_category) << c.args[0];
    EXPECT_EQ(o.has_encoding, c.has_encoding) << c.args[0];
  }
}

TEST(CollectOptions, RefusesIncompleteOrWrongArguments) {
  const std::vector<std::vector<std::string>> bad = {
      {"--prefecture", "1", "--output", "o"},
      {"--category", "1", "--output", "o"},
      {"--category", "1", "--prefecture", "1"},
      {"--category", "11", "--prefecture", "1", "--output", "o"},
      {"--category", "1", "--prefecture", "48", "--output", "o"},
      {"--category", "1", "--prefecture", "1", "--output"},
      {"--category", "1", "--prefecture", "1", "--output", "o", "--pause-ms", "-1"},
      {"--category", "1", "--prefecture", "1", "--output", "o", "--pause-ms", "x"},
      {"--category", "1", "--prefecture", "1", "--output", "o", "--site-origin", "ftp://x"},
      {"--category", "1", "--prefecture", "1", "--output", "o", "--frobnicate", "1"},
      {"--category", "1", "--prefecture", "1", "--output", "o", "--quiet=yes"},
      {"--category", "1", "--prefecture", "1", "--output", "o", "--retry-delays-ms", "1,,2"},
      {"--category", "1", "--prefecture", "1", "--output", "o", "--retry-delays-ms", ""},
      {"--category", "1", "--prefecture", "1", "--output", "o", "--encoding", "utf8"},
      {"--category", "1", "--prefecture", "1", "--output", "o", "--encoding", "UTF-8"},
      {"--category", "1", "--prefecture", "1", "--output", "o", "--encoding", "shift_jis"},
      {"--category", "1", "--prefecture", "1", "--output", "o", "stray"},
      {"--resume", "--retry-failed"},
      {"--resume=yes"},
  };
  for (const auto& args : bad) EXPECT_THROW(ParseCollectOptions(args), UsageError) << args.back();
}

TEST(SiteOptions, CollectAndTheRebuildsReadThemAlike) {
  const std::vector<std::string> collect = {"--category", "1",        "--prefecture",
                                            "1",          "--output", "o"};
  const struct {
    std::vector<std::string> args;
    std::string origin;
    std::string ca_file;
  } cases[] = {
      {{}, "", ""},
      {{"--site-origin", "http://127.0.0.1:9"}, "http://127.0.0.1:9", ""},
      {{"--ca-file=c.pem", "--site-origin=https://localhost:8443"},
       "https://localhost:8443",
       "c.pem"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args = collect;
    args.insert(args.end(), c.args.begin(), c.args.end());
    const DownloadSettings by_collect = ParseCollectOptions(args).settings.download;
    const DownloadSettings by_rebuild = ParseRebuildOptions(c.args).download;
    for (const DownloadSettings& download : {by_collect, by_rebuild}) {
      EXPECT_EQ(download.origin.str(), c.origin) << c.origin;
      EXPECT_EQ(download.ca_file, c.ca_file) << c.origin;
    }
  }
  EXPECT_THROW(ParseRebuildOptions({"--site-origin", "ftp://x"}), UsageError);
}

TEST(OutputFileName, GetsCsvUnlessItAlreadyHasIt) {
  struct Case {
    std::string in, out;
  } cases[] = {
      {"list", "list.csv"},           {"list.csv", "list.csv"},           {"LIST.CsV", "LIST.CsV"},
      {"a.txt", "a.txt.csv"},         {"dir.v2/list", "dir.v2/list.csv"}, {"dir/.csv", "dir/.csv"},
      {"a.csv.bak", "a.csv.bak.csv"},
  };
  for (const Case& c : cases) EXPECT_EQ(WithCsvExtension(c.in), c.out);
}

TEST(ProgressLine, IsCutOnWholeCharactersWideOnesCountingTwo) {
  struct Case {
    std::string text;
    int columns;
    std::string cut;
  } cases[] = {
      {"[1/4] abc", 20, "[1/4] abc"},
      {"[1/4] abc", 7, "[1/4] a"},
      {"[1/4] 東京都", 10, "[1/4] 東京"},  // 都 would take columns 11 and 12
      {"[1/4] 東京都", 9, "[1/4] 東"},     // never half of 京
      {"ｱｲｳ東", 4, "ｱｲｳ"},                 // half-width kana take one column
      {"東", 1, ""},
  };
  for (const Case& c : cases) EXPECT_EQ(CutToColumns(c.text, c.columns), c.cut) << c.text;
}

TEST(ProgressLine, APipeGetsEachEntryOnceAndATerminalLineNeverWraps) {
  const auto news = [](int position, bool starts) {
    RunNews n;
    if (starts) n.plan.emplace().entries_total = 40;
    n.position = position;
    n.status_changed = true;
    n.status = "\x93\x8c\x8b\x9e\x93\x73 \x90\x7a\x8b\x4b\x8b\xe6";  // CP932: 東京都 and a city
    return n;
  };
  const RunNews start = news(1, true), same = news(1, false), next = news(2, false);
  std::ostringstream pipe;
  ProgressPrinter piped(pipe, false, false);
  for (const RunNews* news : {&start, &same, &next, &next}) piped.Show(*news, true);
  piped.Finish();
  const std::string lines = pipe.str();
  EXPECT_EQ(lines.rfind("[1/40]", 0), 0u) << lines;
  EXPECT_EQ(std::count(lines.begin(), lines.end(), '\n'), 2) << lines;
  EXPECT_NE(lines.find("\n[2/40]"), std::string::npos) << lines;

  std::ostringstream terminal;
  ProgressPrinter drawn(terminal, false, true, 16);
  drawn.Show(start, true);
  EXPECT_EQ(terminal.str(), "\r\033[K[1/40] 東京都 ") << "15 columns of a 16-column terminal";
}

}  // namespace
}  // namespace valmeric::cli
