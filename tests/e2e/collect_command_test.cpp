#include "cli/cli_main.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#include <utime.h>

#include <ctime>

#include <filesystem>
#include <functional>
#include <sstream>

#include "cli/exit_codes.h"
#include "common/network/site_host.h"
#include "common/text/sjis_text.h"
#include "engine/run_session.h"
#include "messages/cli_messages.h"
#include "messages/detail_text.h"
#include "messages/user_messages.h"
#include "refdb/run_journal.h"
#include "refdb/run_lock.h"
#include "support/cp932_check.h"
#include "support/euc.h"
#include "support/raw_server.h"
#include "support/site_fixture.h"
#include "support/test_database.h"

namespace valmeric::cli {
namespace {

using test::SiteFixture;

class CollectCommandTest : public ::testing::Test {
 protected:
  int Run(std::vector<std::string> extra, const std::string& output_name = "result") {
    std::vector<std::string> args = {"collect",
                                     "--category",
                                     "1",
                                     "--prefecture",
                                     "1",
                                     "--output",
                                     site_.File(output_name),
                                     "--db",
                                     site_.db_path(),
                                     "--site-origin",
                                     site_.server().Origin(),
                                     "--pause-ms",
                                     "0",
                                     "--retry-delays-ms",
                                     "1,1"};
    args.insert(args.end(), extra.begin(), extra.end());
    out_.str("");
    err_.str("");
    return CliMain(args, out_, err_, interrupted_, false);
  }

  size_t RecordLines(const std::string& path) { return SplitLines(test::ReadCsv(path)).size() - 1; }

  SiteFixture site_;
  std::ostringstream out_;
  std::ostringstream err_;
  std::atomic<bool> interrupted_{false};
};

TEST_F(CollectCommandTest, ARunWritesTheCsvAndSaysWhere) {
  site_.SetPage("01101110", 3, SiteFixture::Facilities(1, 3));
  site_.SetPage("01202120", 2, SiteFixture::Facilities(3, 4));
  test::WriteFile(site_.File("result.csv"), "an older file");
  EXPECT_EQ(Run({}), kExitWrote) << err_.str();
  const std::string csv = site_.File("result.csv");
  EXPECT_EQ(RecordLines(csv), 4u);
  EXPECT_EQ(out_.str(), csv + "\t4\n");
  EXPECT_NE(err_.str().find("[4/4]"), std::string::npos) << err_.str();
  EXPECT_NE(err_.str().find("北海道函館市 - 循環器内科 (2/2)  4 件保存"), std::string::npos)
      << err_.str();
  for (const auto& entry :
       std::filesystem::directory_iterator(std::filesystem::path(csv).parent_path())) {
    EXPECT_FALSE(entry.path().filename().string().starts_with("tmp-"))
        << "scratch file left: " << entry.path();
  }
}

// A build without the site's host, run without --site-origin, behind a proxy
// that cannot resolve the placeholder host (so no name is looked up here).
TEST_F(CollectCommandTest, ABuildWithoutTheSitesHostSaysSoAndHowToNameASite) {
  if (std::string_view(kSiteHost) != kPlaceholderSiteHost) GTEST_SKIP() << "built for a real host";
  if (std::getenv("VALMERIC_SITE_ORIGIN") != nullptr) GTEST_SKIP() << "an origin is named";
  test::RawServer proxy("HTTP/1.1 502 Bad Gateway\r\nContent-Length: 0\r\n\r\n");
  ::setenv("http_proxy", proxy.Origin().c_str(), 1);
  ::setenv("no_proxy", "", 1);
  const int status =
      CliMain({"collect", "--category", "1", "--prefecture", "1", "--output", site_.File("result"),
               "--db", site_.db_path(), "--pause-ms", "0", "--retry-delays-ms", "1,1"},
              out_, err_, interrupted_, false);
  ::unsetenv("http_proxy");
  ::setenv("no_proxy", "127.0.0.1,localhost", 1);
  EXPECT_EQ(status, kExitUnreachable) << err_.str();
  for (const char* line : {detail::kBuiltWithoutSiteHost, text::kSiteOriginHint}) {
    EXPECT_NE(err_.str().find(line), std::string::npos) << err_.str();
  }
}

TEST_F(CollectCommandTest, Utf8OutputHoldsTheSameTextAfterAByteOrderMark) {
  site_.SetPage("01101110", 3, SiteFixture::Facilities(1, 3));
  ASSERT_EQ(Run({"--quiet"}, "cp932"), kExitWrote) << err_.str();
  ASSERT_EQ(Run({"--quiet", "--encoding", "utf-8"}, "utf8"), kExitWrote) << err_.str();
  const std::string cp932 = test::ReadFile(site_.File("cp932.csv"));
  EXPECT_EQ(RecordLines(site_.File("cp932.csv")), 3u);
  EXPECT_EQ(cp932.rfind("\"\x95\x61\x89\x40ID\",", 0), 0u);  // no byte-order mark
  EXPECT_EQ(test::ReadFile(site_.File("utf8.csv")),
            "\xEF\xBB\xBF" + test::SjisToUtf8ForTest(cp932));
  EXPECT_EQ(out_.str(), site_.File("utf8.csv") + "\t3\n");
}

TEST_F(CollectCommandTest, ExitStatusTellsHowTheRunEnded) {
  EXPECT_EQ(Run({"--quiet"}), kExitNothingFound);
  EXPECT_EQ(err_.str(), "");
  EXPECT_EQ(RecordLines(site_.File("result.csv")), 0u);

  site_.FailNext(1000, 503);
  EXPECT_EQ(Run({"--quiet"}), kExitUnreachable);
  EXPECT_NE(err_.str().find("サイトへのアクセスができませんでした。"), std::string::npos);
  EXPECT_EQ(RecordLines(site_.File("result.csv")), 0u);
}

TEST_F(CollectCommandTest, BadArgumentsWriteNothing) {
  const std::vector<std::vector<std::string>> bad = {
      {"--category", "0"}, {"--prefecture", "48"}, {"--category", "1;2"}, {"--bogus"}};
  for (const auto& extra : bad) {
    EXPECT_EQ(Run(extra), kExitUsage) << extra[0];
    EXPECT_FALSE(std::filesystem::exists(site_.File("result.csv")));
    EXPECT_FALSE(err_.str().empty());
  }
  std::atomic<bool> no{false};
  std::ostringstream out, err;
  EXPECT_EQ(CliMain({}, out, err, no, false), kExitUsage);
  EXPECT_EQ(CliMain({"frobnicate"}, out, err, no, false), kExitUsage);
}

TEST_F(CollectCommandTest, AMissingDatabaseIsAConfigurationError) {
  EXPECT_EQ(Run({"--db", site_.File("missing.db")}), kExitUsage);
  EXPECT_NE(err_.str().find("DBファイルの設定が正しくありません。"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(site_.File("result.csv")));
}

// Rows for the ticks that give no pair (codes stored as text) are a broken
// table, told as one: never "nothing found" with the old file replaced.
TEST_F(CollectCommandTest, ReferenceRowsThatGiveNoPairAreAConfigurationError) {
  test::WriteFile(site_.File("result.csv"), "last month's list");
  test::ExecuteOn(site_.db_path(), "UPDATE T01_City SET AreaCode = AreaCode || 'x'");
  EXPECT_EQ(Run({}), kExitUsage) << err_.str();
  EXPECT_NE(err_.str().find("取得する地域と科目の組を作れませんでした。"), std::string::npos)
      << err_.str();
  EXPECT_EQ(test::ReadFile(site_.File("result.csv")), "last month's list");
  EXPECT_EQ(site_.ResultRequests(), 0);
}

// A pair whose sub-category code is gone is never asked for; the run goes on
// with the others and its end says how many pairs it could not ask for.
TEST_F(CollectCommandTest, PairsThatCannotBeAskedAreToldAtTheEnd) {
  site_.SetPage("01101110", 3, SiteFixture::Facilities(1, 3));
  site_.SetPage("01202110", 2, SiteFixture::Facilities(3, 4));
  test::ExecuteOn(site_.db_path(),
                  "UPDATE T02_Category SET SubCtgrCode = NULL WHERE SubCtgrCode = 120");
  EXPECT_EQ(Run({}), kExitWrote) << err_.str();
  EXPECT_EQ(RecordLines(site_.File("result.csv")), 4u);
  EXPECT_NE(err_.str().find(PairsUnaskableText(2)), std::string::npos) << err_.str();
  EXPECT_EQ(site_.ResultRequests(), 2);
}

TEST_F(CollectCommandTest, ASecondRunOnTheSameDatabaseIsRefusedAndTouchesNothing) {
  test::WriteFile(site_.File("result.csv"), "the other run's file");
  RunLock other(site_.db_path());
  EXPECT_EQ(Run({}), kExitUsage);
  EXPECT_EQ(err_.str().rfind(
                "他のプログラムがデータベースを使用中のため、取得を開始できませんでした。\n", 0),
            0u)
      << err_.str();
  EXPECT_EQ(test::ReadFile(site_.File("result.csv")), "the other run's file");
}

// An output that is not free to be replaced stops the start: exit 2, the
// "file in use" message, and nothing touched.
TEST_F(CollectCommandTest, AnOutputThatIsNotFreeStopsBeforeTheRun) {
  struct Case {
    const char* name;
    std::string output;                           // as given on the command line
    std::function<std::function<void()>()> take;  // makes the output unavailable; returns the undo
  };
  // A database whose name a CSV could have.
  const std::string db = site_.File("shop.csv");
  std::filesystem::copy_file(site_.db_path(), db);
  const std::filesystem::path folder = std::filesystem::path(db).parent_path();
  const std::string db_by_dot_dot = (folder / ".." / folder.filename() / "shop.csv").string();
  // An unfinished run recorded there, which a refused start must leave for a resume.
  {
    Database recorded(db);
    recorded.Begin();
    RunJournal::EnsureSchema(recorded);
    RunJournal::StartNew(recorded,
                         NewRunRecord({{1}, {1}}, site_.File("earlier.csv"), CsvEncoding::kCp932));
    recorded.Execute("INSERT INTO T00_Data (Hsp_code) VALUES ('earlier')");
    recorded.Commit();
  }
  const auto record = [&db] {
    return test::QueryColumn(db,
                             "SELECT OutputPath || '|' || EntriesDone FROM T03_Run UNION ALL "
                             "SELECT Hsp_code FROM T00_Data");
  };
  const auto recorded_before = record();
  ASSERT_EQ(recorded_before.size(), 2u);
  const Case cases[] = {
      {"FolderOfThatName", site_.File("taken.csv"),
       [this] {
         std::filesystem::create_directory(site_.File("taken.csv"));
         return [] {};
       }},
      {"AnotherRunsOutput", site_.File("result.csv"),
       [this] {
         test::WriteFile(site_.File("result.csv"), "the other run's lines\r\n");
         const int fd = ::open(site_.File("result.csv").c_str(), O_RDONLY);
         ::flock(fd, LOCK_EX);
         return std::function<void()>([fd] { ::close(fd); });
       }},
      {"TheDatabase", db, [] { return [] {}; }},
      {"TheDatabaseThroughDotDot", db_by_dot_dot, [] { return [] {}; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const auto release = c.take();
    const bool existed = std::filesystem::exists(c.output);
    const std::string before =
        existed && std::filesystem::is_regular_file(c.output) ? test::ReadFile(c.output) : "";
    std::vector<std::string> args = {"collect",
                                     "--category",
                                     "1",
                                     "--prefecture",
                                     "1",
                                     "--output",
                                     c.output,
                                     "--db",
                                     db,
                                     "--site-origin",
                                     site_.server().Origin()};
    out_.str("");
    err_.str("");
    EXPECT_EQ(CliMain(args, out_, err_, interrupted_, false), kExitUsage) << err_.str();
    EXPECT_EQ(err_.str().rfind("選択されたファイルが他のアプリケーションで使用中の為", 0), 0u)
        << err_.str();
    EXPECT_EQ(std::filesystem::exists(c.output), existed);
    if (std::filesystem::is_regular_file(c.output)) {
      EXPECT_EQ(test::ReadFile(c.output), before);
    }
    EXPECT_EQ(site_.ResultRequests(), 0);
    EXPECT_EQ(record(), recorded_before);
    release();
  }
  EXPECT_FALSE(
      test::QueryColumn(db, "SELECT CityName FROM T01_City").empty());  // the database is whole
}

TEST_F(CollectCommandTest, AnOutputFolderThatIsMissingIsAWriteError) {
  EXPECT_EQ(Run({}, "no/such/folder/x"), kExitWriteError);
  EXPECT_EQ(err_.str().rfind(
                "保存先のファイルに書き込めませんでした。\nファイルを開けませんでした。(", 0),
            0u)
      << err_.str();
}

// Gives the file at path a modification time at noon, local time, on the day.
void SetModifiedDay(const std::string& path, int year, int month, int day) {
  std::tm local{};
  local.tm_year = year - 1900;
  local.tm_mon = month - 1;
  local.tm_mday = day;
  local.tm_hour = 12;
  local.tm_isdst = -1;
  const std::time_t when = std::mktime(&local);
  const utimbuf times{when, when};
  ASSERT_EQ(::utime(path.c_str(), &times), 0);
}

TEST_F(CollectCommandTest, ARunKeepsTheOldListUnderItsDatedName) {
  // The site does not answer: the run ends at once, after the old list was moved aside.
  site_.FailNext(1000, 503);
  site_.FailSubCategoryList(503);
  const std::string csv = site_.File("result.csv");
  const char* const kept[] = {"result_20261109.csv", "result_20261109(2).csv"};
  for (int i = 0; i < 2; ++i) {
    SCOPED_TRACE(kept[i]);
    const std::string old_bytes = "last month's list " + std::to_string(i) + "\r\n";
    test::WriteFile(csv, old_bytes);
    SetModifiedDay(csv, 2026, 11, 9);
    EXPECT_EQ(Run({"--quiet"}), kExitUnreachable) << err_.str();
    EXPECT_EQ(test::ReadFile(site_.File(kept[i])), old_bytes);
    EXPECT_EQ(RecordLines(csv), 0u);  // the run made its own file, as always
    EXPECT_NE(err_.str().find(std::string("前回のファイルは ") + kept[i] +
                              " として同じフォルダーに残しています。"),
              std::string::npos)
        << err_.str();
  }
}

TEST_F(CollectCommandTest, ARefreshOfTheSameTicksWritesTheChangeReportThatDiffWrites) {
  struct Case {
    const char* name;
    std::vector<std::string> second;  // the second run's own options
    bool site_fails_first;            // the second run stops, and --resume ends it
    bool report;
  };
  const Case cases[] = {
      {"same", {}, false, true},
      {"resumed", {}, true, true},
      {"other-ticks", {"--category", "1,2"}, false, false},
      {"other-encoding", {"--encoding", "utf-8"}, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string csv = site_.File(std::string(c.name) + ".csv");
    const std::string report = site_.File(std::string(c.name) + "_変更点.csv");
    site_.SetPage("01101110", 3, SiteFixture::Facilities(1, 3));
    site_.SetPage("01202120", 2, SiteFixture::Facilities(3, 4));
    ASSERT_EQ(Run({"--quiet"}, c.name), kExitWrote) << err_.str();
    SetModifiedDay(csv, 2026, 11, 9);
    // A month later: facility 1 gone, 2 with a new address, 5 new.
    std::vector<test::PageFacility> changed = SiteFixture::Facilities(2, 3);
    changed[0].address = "北海道札幌市北区北八条西5丁目";
    site_.SetPage("01101110", 2, changed);
    site_.SetPage("01202120", 3, SiteFixture::Facilities(3, 5));
    std::vector<std::string> second = {"--quiet"};
    second.insert(second.end(), c.second.begin(), c.second.end());
    if (c.site_fails_first) {
      site_.FailNext(9, 503);
      site_.FailSubCategoryList(503);
      ASSERT_EQ(Run(second, c.name), kExitUnreachable) << err_.str();
      EXPECT_FALSE(std::filesystem::exists(report));
      site_.FailSubCategoryList(200);
      second = {"--resume"};
    }
    ASSERT_EQ(Run(second, c.name), kExitWrote) << err_.str();
    ASSERT_EQ(std::filesystem::exists(report), c.report);
    const std::string summary = "前回から 新規 1 件・変更 1 件・廃止 1 件。変更点を " +
                                std::string(c.name) + "_変更点.csv に書き出しました。";
    EXPECT_EQ(err_.str().find(summary) != std::string::npos, c.report) << err_.str();
    if (!c.report) continue;
    const std::string by_diff = site_.File(std::string(c.name) + "-diff.csv");
    std::ostringstream diff_out;
    std::ostringstream diff_err;
    ASSERT_EQ(CliMain({"diff", site_.File(std::string(c.name) + "_20261109.csv"), csv, "--output",
                       by_diff},
                      diff_out, diff_err, interrupted_, false),
              kExitWrote)
        << diff_err.str();
    EXPECT_EQ(test::ReadFile(report), test::ReadFile(by_diff));
  }
}

TEST_F(CollectCommandTest, AnInterruptStopsAfterTheCurrentEntry) {
  for (const auto& pair : SiteFixture::Pairs())
    site_.SetPage(pair, 1, SiteFixture::Facilities(1, 1));
  interrupted_ = true;
  EXPECT_EQ(Run({"--quiet"}), kExitInterrupted);
  EXPECT_LE(site_.ResultRequests(), 1);
  EXPECT_EQ(err_.str().rfind("取得処理を中断しました。", 0), 0u) << err_.str();
}

// A run the site stopped at once: recorded as unfinished, nothing done.
class RecordedRunTest : public CollectCommandTest {
 protected:
  void SetUp() override {
    for (const auto& pair : SiteFixture::Pairs())
      site_.SetPage(pair, 2, SiteFixture::Facilities(1, 2));
    site_.FailNext(9, 503);  // three entries, three attempts each
    site_.FailSubCategoryList(503);
    ASSERT_EQ(Run({"--quiet"}), kExitUnreachable) << err_.str();
    site_.FailSubCategoryList(200);
  }

  int Status() {
    out_.str("");
    err_.str("");
    return CliMain({"status", "--db", site_.db_path()}, out_, err_, interrupted_, false);
  }

  int Again(std::vector<std::string> args) {
    args.insert(args.begin(), "collect");
    args.insert(args.end(), {"--db", site_.db_path(), "--site-origin", site_.server().Origin(),
                             "--pause-ms", "0"});
    out_.str("");
    err_.str("");
    return CliMain(args, out_, err_, interrupted_, false);
  }
};

TEST_F(RecordedRunTest, StatusTellsTheRunAndExitsZeroOnlyWhileWorkIsLeft) {
  EXPECT_EQ(Status(), kExitWrote);
  EXPECT_EQ(
      out_.str(),
      "診療科目: 1 内科系\n都道府県: 1 北海道\n保存先: " + site_.File("result.csv") +
          " (cp932)\n処理済みのページ: 0 / 4\n保存した事業所: 0 件\n"
          "取得できなかったページ: 0 件\n"
          "サイトに存在しないページ: 0 件\n"
          "2 ページ目以降の未取得の事業所: 0 件（0 組の地域と科目）\n"
          "どの結果ページにも載っていなかった事業所: 0 件（0 組の地域と科目）\n"
          "状態: 途中で終了しています。valmeric-cli collect --resume で続きを取得できます。\n");
  ASSERT_EQ(Again({"--resume", "--output", site_.File("result")}), kExitWrote) << err_.str();
  EXPECT_NE(err_.str().find("前回の取得処理の続きから取得します。\n処理済み 0 / 4 ページ"),
            std::string::npos)
      << err_.str();
  EXPECT_EQ(RecordLines(site_.File("result.csv")), 2u);
  EXPECT_EQ(Status(), kExitNothingFound);
  EXPECT_NE(out_.str().find("処理済みのページ: 4 / 4\n"), std::string::npos) << out_.str();
  EXPECT_NE(out_.str().find("状態: 終了しています。\n"), std::string::npos) << out_.str();
}

TEST_F(RecordedRunTest, ANewRunSaysThatItDropsTheUnfinishedOne) {
  EXPECT_EQ(Run({}, "other"), kExitWrote) << err_.str();
  EXPECT_NE(
      err_.str().find("データベースに記録されていた途中の取得処理は破棄し、新しい取得を始めます。"
                      "\n処理済み 0 / 4 ページ、取得できなかったページ 0 件、保存した事業所 0 件(" +
                      site_.File("result.csv") + ")"),
      std::string::npos)
      << err_.str();
  EXPECT_EQ(Again({"--resume"}), kExitUsage);
}

// What keeps a recorded run from being taken up: each refusal writes nothing.
struct RefusedResumeCase {
  const char* name;
  std::vector<std::string> args;
  std::function<void(SiteFixture&)> spoil;
  const char* says;
};

void PrintTo(const RefusedResumeCase& c, std::ostream* os) {
  *os << c.name;
}

class RefusedResumeTest : public RecordedRunTest,
                          public ::testing::WithParamInterface<RefusedResumeCase> {};

TEST_P(RefusedResumeTest, ExitsWithTwoAndTouchesNothing) {
  if (GetParam().spoil) GetParam().spoil(site_);
  std::error_code error;
  const bool had_file = std::filesystem::exists(site_.File("result.csv"), error);
  const std::string before = had_file ? test::ReadFile(site_.File("result.csv")) : "";
  const int requests = site_.ResultRequests();
  EXPECT_EQ(Again(GetParam().args), kExitUsage);
  EXPECT_NE(err_.str().find(GetParam().says), std::string::npos) << err_.str();
  EXPECT_EQ(site_.ResultRequests(), requests);
  if (had_file) {
    EXPECT_EQ(test::ReadFile(site_.File("result.csv")), before);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Resume, RefusedResumeTest,
    ::testing::Values(
        RefusedResumeCase{"OtherCategory",
                          {"--resume", "--category", "2"},
                          {},
                          "異なります。(記録: --category 1)"},
        RefusedResumeCase{"OtherPrefecture",
                          {"--resume", "--prefecture", "1,2"},
                          {},
                          "異なります。(記録: --prefecture 1)"},
        RefusedResumeCase{"OtherOutput",
                          {"--resume", "--output", "elsewhere"},
                          {},
                          "異なります。(記録: --output "},
        RefusedResumeCase{"OtherEncoding",
                          {"--resume", "--encoding", "utf-8"},
                          {},
                          "異なります。(記録: --encoding cp932)"},
        RefusedResumeCase{
            "NothingToRetry", {"--retry-failed"}, {}, "取得できなかったページの記録がありません。"},
        RefusedResumeCase{
            "OutputGone",
            {"--resume"},
            [](SiteFixture& site) { std::filesystem::remove(site.File("result.csv")); },
            "前回の保存先ファイルが見つからないか変更されているため"},
        RefusedResumeCase{"OutputReplaced",
                          {"--resume"},
                          [](SiteFixture& site) {
                            test::WriteFile(site.File("result.csv"), std::string(500, 'x'));
                          },
                          "前回の保存先ファイルが見つからないか変更されているため"},
        RefusedResumeCase{"CitiesRebuilt",
                          {"--resume"},
                          [](SiteFixture& site) {
                            test::ExecuteOn(site.db_path(),
                                            "DELETE FROM T01_City WHERE CityCode = 202");
                          },
                          "地域または診療科目の情報が更新されたため"}),
    [](const auto& info) { return std::string(info.param.name); });

// A database file that must not be opened: every command refuses it with the
// same words and exit status 2, and the file and what stands beside it stay
// exactly as they were.
struct UnopenableDatabaseCase {
  const char* name;
  std::function<void(SiteFixture&)> spoil;
  const char* says;
};

void PrintTo(const UnopenableDatabaseCase& c, std::ostream* os) {
  *os << c.name;
}

class UnopenableDatabaseTest : public RecordedRunTest,
                               public ::testing::WithParamInterface<UnopenableDatabaseCase> {};

TEST_P(UnopenableDatabaseTest, EveryCommandRefusesItAndTouchesNothing) {
  GetParam().spoil(site_);
  const std::string db = site_.db_path();
  const std::string origin = site_.server().Origin();
  const std::string file = test::ReadFile(db);
  const bool had_wal = std::filesystem::exists(db + "-wal");
  const std::string wal = had_wal ? test::ReadFile(db + "-wal") : "";
  const int requests = site_.ResultRequests();
  const struct {
    std::vector<std::string> args;
    bool database_message;  // "データベースを読み込めませんでした。" above the detail
  } commands[] = {
      {{"status", "--db", db}, true},
      {{"collect", "--category", "1", "--prefecture", "1", "--output", site_.File("new"), "--db",
        db, "--site-origin", origin},
       true},
      {{"collect", "--resume", "--db", db, "--site-origin", origin}, true},
      {{"collect", "--retry-failed", "--db", db, "--site-origin", origin}, true},
      {{"rebuild-cities", "--db", db, "--site-origin", origin}, false},
      {{"rebuild-categories", "--db", db, "--site-origin", origin}, false},
  };
  for (const auto& command : commands) {
    SCOPED_TRACE(command.args[0] + " " + command.args[1]);
    std::ostringstream out, err;
    EXPECT_EQ(CliMain(command.args, out, err, interrupted_, false), kExitUsage) << err.str();
    const std::string said =
        (command.database_message ? "データベースを読み込めませんでした。\n" : "") +
        std::string(GetParam().says);
    EXPECT_NE(err.str().find(said), std::string::npos) << err.str();
    EXPECT_EQ(test::ReadFile(db), file);
    EXPECT_EQ(std::filesystem::exists(db + "-wal"), had_wal);
    if (had_wal && std::filesystem::exists(db + "-wal")) {
      EXPECT_EQ(test::ReadFile(db + "-wal"), wal);
    }
  }
  EXPECT_EQ(site_.ResultRequests(), requests);
  EXPECT_FALSE(std::filesystem::exists(site_.File("new.csv")));
}

INSTANTIATE_TEST_SUITE_P(
    Database, UnopenableDatabaseTest,
    ::testing::Values(UnopenableDatabaseCase{"AnotherDatabasesWal",
                                             [](SiteFixture& site) {
                                               test::WriteFile(site.db_path() + "-wal",
                                                               test::AnotherDatabasesWal(
                                                                   site.File("another.db")));
                                             },
                                             "このデータベースのものではない -wal ファイル"},
                      UnopenableDatabaseCase{
                          "Empty", [](SiteFixture& site) { test::WriteFile(site.db_path(), ""); },
                          "データベースファイルが空です。"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(CollectCommandTest, ResumeWithNoRecordedRunIsAUsageError) {
  std::ostringstream out, err;
  EXPECT_EQ(
      CliMain({"collect", "--resume", "--db", site_.db_path()}, out, err, interrupted_, false),
      kExitUsage);
  EXPECT_NE(err.str().find("途中で終了した取得処理の記録がありません。"), std::string::npos)
      << err.str();
  EXPECT_EQ(CliMain({"status", "--db", site_.db_path()}, out, err, interrupted_, false),
            kExitNothingFound);
  EXPECT_EQ(out.str(), "データベースに取得処理の記録はありません。(" + site_.db_path() + ")\n");
}

}  // namespace
}  // namespace valmeric::cli

namespace valmeric::cli {
namespace {

TEST(RebuildCommand, APageThatFailsStopsWithStatusThreeAndKeepsTheTable) {
  SiteFixture site;  // serves result pages only: its city list pages answer 404
  const auto before = test::QueryColumn(site.db_path(), "SELECT CityName FROM T01_City");
  std::atomic<bool> no{false};
  std::ostringstream out, err;
  const int status = CliMain({"rebuild-cities", "--db", site.db_path(), "--site-origin",
                              site.server().Origin(), "--retry-delays-ms", "1"},
                             out, err, no, false);
  EXPECT_EQ(status, kExitUnreachable);
  EXPECT_NE(err.str().find("pref_no=1)\nページが見つかりませんでした。(HTTP 404)"),
            std::string::npos)
      << err.str();
  EXPECT_EQ(test::QueryColumn(site.db_path(), "SELECT CityName FROM T01_City"), before);
  for (const auto& entry : std::filesystem::directory_iterator(site.File("."))) {
    EXPECT_NE(entry.path().filename().string().rfind("tmp-", 0), 0u)
        << "left behind: " << entry.path();
  }
  EXPECT_EQ(CliMain({"rebuild-categories", "--bogus"}, out, err, no, false), kExitUsage);
  EXPECT_EQ(CliMain({"rebuild-categories", "--db", site.File("none.db")}, out, err, no, false),
            kExitUsage);
}

}  // namespace
}  // namespace valmeric::cli
