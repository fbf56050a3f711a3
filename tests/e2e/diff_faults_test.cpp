// What the user gets from `valmeric-cli diff` when an input is not a file, the
// report's place is taken or refuses writes, or stdout does: each case runs
// the real program, unprivileged where a read-only file must stay read-only.

#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <stdexcept>

#include "common/platform/native_file.h"
#include "support/child_process.h"
#include "support/csv_headers.h"
#include "support/euc.h"
#include "support/excel_csv.h"
#include "support/temp_dir.h"

namespace valmeric {
namespace {

namespace fs = std::filesystem;

using test::kCsvHeader;
using test::kReportHeader;
constexpr char kOldReport[] = "yesterday's report\r\n";

std::string Fields(const std::string& code, const std::string& name) {
  return "\"" + code + "\",\"" + name + "\",\"〒100-0001\",\"東京都千代田区千代田" + code +
         "\",\"03-1111-" + code + "\",\"東京駅 徒歩5分\",\"歯科\",\"https://h/dental/" + code +
         "/\",";
}

std::string Name(const std::string& code) {
  return code + "歯科医院";
}

// Facility 1 renamed in the newer file (new_name), 2 gone, 10 to 29 new, so
// that the report is over 1 KiB.
std::string OldRun() {
  return test::Sjis(std::string(kCsvHeader) + "\r\n" + Fields("1", Name("1")) + "\r\n" +
                    Fields("2", Name("2")) + "\r\n");
}

std::string NewRun(const std::string& new_name) {
  std::string text = std::string(kCsvHeader) + "\r\n" + Fields("1", new_name) + "\r\n";
  for (int code = 10; code < 30; ++code)
    text += Fields(std::to_string(code), Name(std::to_string(code))) + "\r\n";
  return test::Sjis(text);
}

// In the newer file's encoding: CP932, or UTF-8 after a byte-order mark.
std::string Report(const std::string& new_name, bool utf8 = false) {
  std::string text = std::string(kReportHeader) + "\r\n";
  for (int code = 10; code < 30; ++code) {
    text += "\"新規\"," + Fields(std::to_string(code), Name(std::to_string(code))) + "\"\",\r\n";
  }
  text += "\"変更\"," + Fields("1", new_name) + "\"病院名\",\r\n";
  text += "\"廃止\"," + Fields("2", Name("2")) + "\"\",\r\n";
  return utf8 ? "\xEF\xBB\xBF" + text : test::Sjis(text);
}

// The file's bytes, or nothing when it cannot be read (so one case's failure
// does not stop the others).
std::optional<std::string> Contents(const std::string& path) {
  try {
    return test::ReadFile(path);
  } catch (const std::runtime_error&) {
    return std::nullopt;
  }
}

enum class Input { kRun, kFolder, kSavedByExcel };
enum class ReportBefore { kNone, kFile, kFileHeldByARun, kReadOnlyFile, kFolder };
enum class ReportAfter { kNone, kUntouched, kStillThere, kFolder, kWhole };

struct Case {
  const char* name;
  const char* new_name = "1歯科 医院";  // facility 1's name in the newer file
  Input old_csv = Input::kRun;
  Input new_csv = Input::kRun;
  ReportBefore before = ReportBefore::kNone;
  const char* shell = "";  // run first, in the shell that starts the program
  bool stdout_full = false;
  int status = 0;
  const char* message = "";  // on stderr; {old}, {new} and {report} stand for the paths
  ReportAfter after = ReportAfter::kWhole;
};

std::string Expand(std::string text, const std::string& key, const std::string& value) {
  for (size_t at = text.find(key); at != std::string::npos; at = text.find(key, at + value.size()))
    text.replace(at, key.size(), value);
  return text;
}

std::string Quoted(const std::string& arg) {
  return " '" + arg + "'";
}

TEST(DiffFaults, EveryInputGetsItsAnswerAndNoFileDiffDidNotMakeIsRemoved) {
  const bool root = geteuid() == 0;
  // Root writes anywhere; an unprivileged user meets the read-only file.
  if (root && !fs::exists("/usr/bin/setpriv")) GTEST_SKIP() << "needs setpriv to drop root";
  const Case cases[] = {
      // As an earlier collector wrote a page's &#13;&#10;, or Excel a cell's line break.
      {.name = "a field over two lines is read and written back as it was",
       .new_name = "1歯科\r\n医院"},
      // Quotes only where needed, no trailing column, LF, UTF-8: the report in UTF-8.
      {.name = "NEW saved again by Excel", .new_csv = Input::kSavedByExcel},
      {.name = "a folder as OLD",
       .old_csv = Input::kFolder,
       .status = 2,
       .message = "フォルダーが指定されたため、CSVファイルとして読み込めませんでした。\n({old})\n",
       .after = ReportAfter::kNone},
      {.name = "a folder as NEW",
       .new_csv = Input::kFolder,
       .status = 2,
       .message = "フォルダーが指定されたため、CSVファイルとして読み込めませんでした。\n({new})\n",
       .after = ReportAfter::kNone},
      {.name = "a report that a running collection holds",
       .before = ReportBefore::kFileHeldByARun,
       .status = 4,
       .message = "選択されたファイルが他のアプリケーションで使用中の為\n"
                  "開くことができませんでした。\n({report})\n",
       .after = ReportAfter::kUntouched},
      {.name = "a read-only report",
       .before = ReportBefore::kReadOnlyFile,
       .status = 4,
       .message =
           "保存先のファイルに書き込めませんでした。\nファイルを開けませんでした。({report}: ",
       .after = ReportAfter::kUntouched},
      {.name = "a folder in the report's place",
       .before = ReportBefore::kFolder,
       .status = 4,
       .message =
           "保存先のファイルに書き込めませんでした。\nファイルを開けませんでした。({report}: ",
       .after = ReportAfter::kFolder},
      {.name = "a new report cut short by the file size limit goes",
       .shell = "trap '' XFSZ; ulimit -f 1;",
       .status = 4,
       .message =
           "保存先のファイルに書き込めませんでした。\nファイルに書き込めませんでした。({report}: ",
       .after = ReportAfter::kNone},
      {.name = "an old report cut short by the file size limit stays",
       .before = ReportBefore::kFile,
       .shell = "trap '' XFSZ; ulimit -f 1;",
       .status = 4,
       .message =
           "保存先のファイルに書き込めませんでした。\nファイルに書き込めませんでした。({report}: ",
       .after = ReportAfter::kStillThere},
      {.name = "stdout on a full device",
       .stdout_full = true,
       .status = 4,
       .message = "新規 20 件・変更 1 件・廃止 1 件\n結果を標準出力に書き出せませんでした。\n",
       .after = ReportAfter::kWhole},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string new_bytes = c.new_csv == Input::kSavedByExcel
                                      ? test::ExcelResave(NewRun(c.new_name))
                                      : NewRun(c.new_name);
    test::TempDir dir;
    fs::permissions(dir.path(), fs::perms::all);  // the unprivileged program writes here
    const std::string old_csv = dir.File("old.csv");
    const std::string new_csv = dir.File("new.csv");
    const std::string report = dir.File("changes.csv");
    const std::string out_path = dir.File("stdout.txt");
    const std::string err_path = dir.File("stderr.txt");
    if (c.old_csv == Input::kFolder) {
      fs::create_directory(old_csv);
    } else {
      test::WriteFile(old_csv, OldRun());
    }
    if (c.new_csv == Input::kFolder) {
      fs::create_directory(new_csv);
    } else {
      test::WriteFile(new_csv, new_bytes);
    }
    NativeFile running_collection;
    switch (c.before) {
      case ReportBefore::kNone:
        break;
      case ReportBefore::kFile:
        test::WriteFile(report, kOldReport);
        fs::permissions(report, fs::perms::all);
        break;
      case ReportBefore::kFileHeldByARun:
        test::WriteFile(report, kOldReport);
        fs::permissions(report, fs::perms::all);
        ASSERT_TRUE(running_collection.Open(report, NativeFile::Mode::kWriteExisting));
        ASSERT_EQ(running_collection.TryLock(), NativeFile::LockResult::kLocked);
        break;
      case ReportBefore::kReadOnlyFile:
        test::WriteFile(report, kOldReport);
        fs::permissions(report,
                        fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
        break;
      case ReportBefore::kFolder:
        fs::create_directory(report);
        break;
    }

    std::string command = std::string(c.shell) + " exec";
    if (root) command += " /usr/bin/setpriv --reuid=65534 --regid=65534 --clear-groups";
    for (const std::string& arg : {std::string(VALMERIC_CLI_EXE), std::string("diff"), old_csv,
                                   new_csv, std::string("--output"), report})
      command += Quoted(arg);
    command += " >" + std::string(c.stdout_full ? "/dev/full" : Quoted(out_path));
    const pid_t pid = test::SpawnProcess({"/bin/bash", "-c", command}, "/dev/null", err_path);
    ASSERT_NE(pid, -1);
    const int status = test::WaitForChild(pid).status;
    const std::string err = Contents(err_path).value_or("");

    EXPECT_EQ(status, c.status) << err;
    std::string message = Expand(c.message, "{old}", old_csv);
    message = Expand(message, "{new}", new_csv);
    message = Expand(message, "{report}", report);
    if (message.empty()) {
      EXPECT_EQ(err, "新規 20 件・変更 1 件・廃止 1 件\n");  // the summary, and nothing else
    } else {
      EXPECT_EQ(err.rfind(message, 0), 0u) << err;
    }
    if (c.status == 0) {
      EXPECT_EQ(Contents(out_path), report + "\t20\t1\t1\n");
    }
    switch (c.after) {
      case ReportAfter::kNone:
        EXPECT_FALSE(fs::exists(report));
        break;
      case ReportAfter::kUntouched:
        EXPECT_EQ(Contents(report), kOldReport);
        break;
      case ReportAfter::kStillThere:
        EXPECT_TRUE(fs::is_regular_file(report));
        break;
      case ReportAfter::kFolder:
        EXPECT_TRUE(fs::is_directory(report));
        break;
      case ReportAfter::kWhole:
        EXPECT_EQ(Contents(report), Report(c.new_name, c.new_csv == Input::kSavedByExcel));
        break;
    }
    // The inputs are only ever read.
    if (c.old_csv == Input::kRun) {
      EXPECT_EQ(Contents(old_csv), OldRun());
    }
    if (c.new_csv != Input::kFolder) {
      EXPECT_EQ(Contents(new_csv), new_bytes);
    }
  }
}

}  // namespace
}  // namespace valmeric
