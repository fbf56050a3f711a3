#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <sstream>

#include "cli/cli_main.h"
#include "cli/exit_codes.h"
#include "common/platform/native_file.h"
#include "common/platform/utf8_path.h"
#include "support/csv_headers.h"
#include "support/euc.h"
#include "support/excel_csv.h"
#include "support/temp_dir.h"

namespace valmeric::cli {
namespace {

namespace fs = std::filesystem;

using test::kCsvHeader;

std::string Record(const std::string& code, const std::string& telephone = "03-1111-2222") {
  return "\"" + code + "\",\"" + code + "歯科\",\"〒100-0001\",\"東京都千代田区千代田1-1\",\"" +
         telephone + "\",\"東京駅 徒歩5分\",\"歯科\",\"https://h/dental/" + code + "/\",";
}

std::string Cp932File(const std::vector<std::string>& records) {
  std::string text = std::string(kCsvHeader) + "\r\n";
  for (const std::string& record : records) text += record + "\r\n";
  return test::Sjis(text);
}

class DiffCommand : public ::testing::Test {
 protected:
  std::string Write(const std::string& name, const std::string& bytes) {
    const std::string path = dir_.File(name);
    test::WriteFile(path, bytes);
    return path;
  }

  int Run(const std::vector<std::string>& args) {
    std::vector<std::string> all = {"diff"};
    all.insert(all.end(), args.begin(), args.end());
    out_.str("");
    err_.str("");
    std::atomic<bool> no{false};
    return CliMain(all, out_, err_, no, false);
  }

  test::TempDir dir_;
  std::ostringstream out_, err_;
};

TEST_F(DiffCommand, PrintsTheReportPathAndTheThreeCounts) {
  const std::string old_csv = Write("old.csv", Cp932File({Record("1"), Record("2"), Record("3")}));
  const std::string new_csv =
      Write("new.csv", Cp932File({Record("4"), Record("5"), Record("2", "03-9999-0000")}));
  const std::string report = dir_.File("changes");
  ASSERT_EQ(Run({old_csv, new_csv, "--output", report}), kExitWrote) << err_.str();
  EXPECT_EQ(out_.str(), report + ".csv\t2\t1\t2\n");
  EXPECT_EQ(err_.str(), "新規 2 件・変更 1 件・廃止 2 件\n");
  EXPECT_TRUE(fs::exists(report + ".csv"));
}

// A script may read the path from anywhere: a report named relative to the
// current folder is printed with its whole path.
TEST_F(DiffCommand, PrintsTheReportPathInFull) {
  const std::string old_csv = Write("old.csv", Cp932File({Record("1")}));
  const std::string new_csv = Write("new.csv", Cp932File({Record("2")}));
  const fs::path before = fs::current_path();
  fs::current_path(dir_.path());
  const int status = Run({old_csv, new_csv, "--output", "relative"});
  fs::current_path(before);
  ASSERT_EQ(status, kExitWrote) << err_.str();
  const std::string printed = out_.str().substr(0, out_.str().find('\t'));
  EXPECT_TRUE(fs::path(printed).is_absolute()) << printed;
  EXPECT_TRUE(fs::equivalent(printed, dir_.File("relative.csv"))) << printed;
  EXPECT_EQ(out_.str().substr(printed.size()), "\t1\t0\t1\n");
}

TEST_F(DiffCommand, WarnsOfARepeatedCodeAndCountsTheFirst) {
  const std::string old_csv = Write("old.csv", Cp932File({Record("1")}));
  const std::string new_csv =
      Write("new.csv", Cp932File({Record("1"), Record("2"), Record("1", "03-0000-0000")}));
  ASSERT_EQ(Run({old_csv, new_csv, "--output=" + dir_.File("r.csv")}), kExitWrote);
  EXPECT_EQ(out_.str(), dir_.File("r.csv") + "\t1\t0\t0\n");
  EXPECT_EQ(err_.str(), "警告: 同じ病院IDが前の行にもあります。最初の行を使います。(" + new_csv +
                            ": 4 / 2: 1)\n新規 1 件・変更 0 件・廃止 0 件\n");
}

// Excel takes a code of digits for a number and saves it without its leading
// zeros; the file that lost them is named once, however many codes did.
TEST_F(DiffCommand, WarnsOnceOfAFileWhoseCodesLostTheirLeadingZeros) {
  const std::string collected =
      Cp932File({Record("0131"), Record("0132"), Record("0133", "03-9999-0000"), Record("A1")});
  const std::string original = Write("original.csv", collected);
  const std::string saved = Write("saved.csv", test::ExcelResave(collected));
  const std::string kept = Write("kept.csv", test::ExcelResave(collected, {.keep_zeros = true}));
  const std::string changed = Write(
      "changed.csv", Cp932File({Record("0131"), Record("0132"), Record("0133"), Record("A1")}));
  const std::string warning =
      "警告: 病院IDの先頭の 0 が消えています（Excel で保存し直したファイルなど）。"
      "数として同じ病院IDを同じ施設として比べます。(";
  struct Case {
    const char* name;
    std::string old_csv, new_csv;
    std::string err;
    const char* counts;
  } cases[] = {
      {"the newer file saved again", original, saved,
       warning + saved + ": 3 件, 2: 131 / 0131)\n新規 0 件・変更 0 件・廃止 0 件\n",
       "\t0\t0\t0\n"},
      {"the older file saved again", saved, changed,
       warning + saved + ": 3 件, 2: 131 / 0131)\n新規 0 件・変更 1 件・廃止 0 件\n",
       "\t0\t1\t0\n"},
      {"zeros kept", original, kept, "新規 0 件・変更 0 件・廃止 0 件\n", "\t0\t0\t0\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string report = dir_.File("report.csv");
    ASSERT_EQ(Run({c.old_csv, c.new_csv, "--output", report}), kExitWrote) << err_.str();
    EXPECT_EQ(err_.str(), c.err);
    EXPECT_EQ(out_.str(), report + c.counts);
  }
}

TEST_F(DiffCommand, ABrokenFileIsNamedWithItsLineAndNoReportIsWritten) {
  const std::string good = Write("good.csv", Cp932File({Record("1")}));
  const std::string broken = Write("broken.csv", Cp932File({Record("1"), "\"2\",\"x\","}));
  const std::string report = dir_.File("report.csv");
  struct Case {
    const char* name;
    std::string old_csv, new_csv;
    std::string message;
  } cases[] = {
      {"old broken", broken, good,
       "CSV ファイルの形式が正しくありません。(" + broken + ": 3 行目: "},
      {"new broken", good, broken,
       "CSV ファイルの形式が正しくありません。(" + broken + ": 3 行目: "},
      {"old missing", dir_.File("none.csv"), good,
       "ファイルを開けませんでした。(" + dir_.File("none.csv") + ")"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Run({c.old_csv, c.new_csv, "--output", report}), kExitUsage);
    EXPECT_EQ(out_.str(), "");
    EXPECT_EQ(err_.str().rfind("エラー: " + c.message, 0), 0u) << err_.str();
    EXPECT_FALSE(fs::exists(report));
  }
}

// In process, so that the Windows build checks its own half of the file layer.
TEST_F(DiffCommand, AReportThatCannotBeOpenedIsLeftAsItWas) {
  const std::string a = Write("a.csv", Cp932File({Record("1")}));
  const std::string b = Write("b.csv", Cp932File({Record("2")}));
  struct Case {
    const char* name;
    bool folder;  // a folder of the report's name, else a file a running collection holds
    const char* message;
  } cases[] = {
      {"held by a running collection", false, "開くことができませんでした。"},
      {"a folder", true, "保存先のファイルに書き込めませんでした。"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string report = dir_.File(std::string(c.folder ? "folder" : "held") + ".csv");
    NativeFile running_collection;
    if (c.folder) {
      fs::create_directory(PathFromUtf8(report));
    } else {
      test::WriteFile(report, "a collection under way");
      ASSERT_TRUE(running_collection.Open(report, NativeFile::Mode::kWriteExisting));
      ASSERT_EQ(running_collection.TryLock(), NativeFile::LockResult::kLocked);
    }
    EXPECT_EQ(Run({a, b, "--output", report}), kExitWriteError);
    EXPECT_EQ(out_.str(), "");
    EXPECT_NE(err_.str().find(c.message), std::string::npos) << err_.str();
    if (c.folder) {
      EXPECT_TRUE(fs::is_directory(PathFromUtf8(report)));
    } else {
      running_collection.Close();
      EXPECT_EQ(test::ReadFile(report), "a collection under way");
    }
  }
}

TEST_F(DiffCommand, RefusesWrongArgumentsAndAReportOverAnInput) {
  const std::string a = Write("a.csv", Cp932File({Record("1")}));
  const std::string b = Write("b.csv", Cp932File({Record("1")}));
  struct Case {
    const char* name;
    std::vector<std::string> args;
    const char* message;
  } cases[] = {
      {"no output", {a, b}, "--output を指定してください。"},
      {"one file", {a, "--output", "r"}, "2 つの CSV ファイル"},
      {"three files", {a, b, a, "--output", "r"}, "2 つの CSV ファイル"},
      {"unknown option", {a, b, "--output", "r", "--format", "x"}, "使えません。(--format)"},
      {"report over the new file", {a, b, "--output", b}, "上書きしてしまうため"},
      {"report over the old file named without .csv",
       {a, b, "--output", dir_.File("a")},
       "上書きしてしまうため"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Run(c.args), kExitUsage);
    EXPECT_NE(err_.str().find(c.message), std::string::npos) << err_.str();
  }
  EXPECT_EQ(test::ReadFile(a), Cp932File({Record("1")}));
  EXPECT_EQ(test::ReadFile(b), Cp932File({Record("1")}));
}

}  // namespace
}  // namespace valmeric::cli
