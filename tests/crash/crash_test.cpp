// A power cut at any moment of a run: the run's file operations are logged
// (io_log_shim), the disk images a cut could leave are built from the log
// (what the last sync of each file made durable, with the writes since kept
// whole, in part or not at all), and each image is resumed with the real
// command line against the local site. Every image must end as the CSV of the
// uninterrupted run, byte for byte, or be refused with nothing touched; once
// the first checkpoint is committed, none may be refused.

#include <sqlite3.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <set>

#include "disk_images.h"
#include "messages/user_messages.h"
#include "running_site.h"
#include "support/child_process.h"
#include "support/temp_dir.h"

namespace valmeric::crash {
namespace {

namespace fs = std::filesystem;
using sitesim::testing::RunningSite;

// The watched files, numbered as the log numbers them.
const std::vector<std::string> kFiles = {"hpt_data.db", "hpt_data.db-wal", "hpt_data.db-journal",
                                         "result.csv"};
constexpr int kWal = 1;
constexpr int kCsv = 3;

struct Variant {
  const char* name;
  Kept csv;
  Kept database;
};
constexpr Variant kVariants[] = {
    {"unsynced writes dropped", Kept::kNone, Kept::kNone},
    {"unsynced writes kept", Kept::kAll, Kept::kAll},
    {"unsynced writes kept in part", Kept::kPart, Kept::kPart},
    {"the CSV's kept, the database's dropped", Kept::kAll, Kept::kNone},
    {"the CSV's dropped, the database's kept", Kept::kNone, Kept::kAll},
};

enum class Outcome { kResumed, kAlreadyWhole, kRefused, kRefusedForCsv, kFailed };

struct Tried {
  size_t cut = 0;  // the first cut that left the image
  const char* variant = nullptr;
  bool after_first_checkpoint = false;
  DiskImage image;
};

// The first operation that comes after the first checkpoint's commit: the
// worker syncs the CSV, commits the journal into the WAL, and touches the
// CSV again only once the commit has returned.
std::optional<size_t> FirstCheckpointDone(const std::vector<IoOp>& ops) {
  size_t i = 0;
  const auto next = [&](auto is) {
    while (i < ops.size() && !is(ops[i])) ++i;
    return i < ops.size();
  };
  if (!next([](const IoOp& op) { return op.file == kCsv && op.kind == IoKind::kSync; }))
    return std::nullopt;
  if (!next([](const IoOp& op) { return op.file == kWal && op.kind == IoKind::kWrite; }))
    return std::nullopt;
  if (!next([](const IoOp& op) { return op.file == kCsv; })) return std::nullopt;
  return i;
}

// Around every sync, the first checkpoint, and a dozen cuts spread between.
std::set<size_t> SampledCuts(const std::vector<IoOp>& ops, size_t first_checkpoint) {
  std::set<size_t> cuts = {first_checkpoint, ops.size()};
  for (size_t i = 0; i < ops.size(); ++i) {
    if (ops[i].kind == IoKind::kSync || ops[i].kind == IoKind::kFolderSync) {
      cuts.insert(i);
      cuts.insert(i + 1);
    }
  }
  const size_t step = std::max<size_t>(1, ops.size() / 12);
  for (size_t cut = 0; cut < ops.size(); cut += step) cuts.insert(cut);
  return cuts;
}

// The journal's tables and the duplicate table, row by row, as a connection
// of its own reads them.
std::string Journal(const std::string& db_path) {
  sqlite3* db = nullptr;
  std::string text;
  if (sqlite3_open_v2(db_path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
    text = std::string("cannot open: ") + sqlite3_errmsg(db);
    sqlite3_close(db);
    return text;
  }
  for (const char* table : {"T00_Data", "T03_Run", "T04_NotFetched", "T05_MorePages"}) {
    const std::string sql = std::string("SELECT * FROM ") + table + " ORDER BY 1";
    sqlite3_stmt* stmt = nullptr;
    text += std::string(table) + ":\n";
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) {
      text += std::string(sqlite3_errmsg(db)) + "\n";
      continue;
    }
    while (sqlite3_step(stmt) == SQLITE_ROW) {
      for (int c = 0; c < sqlite3_column_count(stmt); ++c) {
        const auto* value = reinterpret_cast<const char*>(sqlite3_column_text(stmt, c));
        text += std::string(value ? value : "NULL") + "|";
      }
      text += "\n";
    }
    sqlite3_finalize(stmt);
  }
  sqlite3_close(db);
  return text;
}

class CrashTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directory(run_);
    fs::create_directory(probe_);
  }

  std::string RunFile(int file) const {
    return (run_ / kFiles[static_cast<size_t>(file)]).string();
  }

  std::vector<std::string> SiteArgs(const RunningSite& site) const {
    return {"--db",
            RunFile(0),
            "--site-origin",
            "http://127.0.0.1:" + std::to_string(site.port()),
            "--retry-delays-ms",
            "1,1",
            "--quiet"};
  }

  test::ChildExit Run(const std::vector<std::string>& args) {
    const pid_t pid = test::SpawnProcess(args, dir_.File("stdout.txt"), dir_.File("stderr.txt"));
    EXPECT_NE(pid, -1) << "cannot start " << args[0];
    return test::WaitForChild(pid);
  }
  std::string Stderr() const { return test::ReadFile(dir_.File("stderr.txt")); }

  static DiskImage ImageOf(const fs::path& folder) {
    DiskImage image;
    for (const std::string& name : kFiles) {
      const fs::path file = folder / name;
      image.push_back(fs::exists(file) ? std::optional(test::ReadFile(file.string()))
                                       : std::nullopt);
    }
    return image;
  }
  // The image in the folder; the WAL index is shared memory, rebuilt on open.
  static void Put(const DiskImage& image, const fs::path& folder) {
    for (size_t f = 0; f < kFiles.size(); ++f) {
      const fs::path file = folder / kFiles[f];
      if (image[f]) {
        test::WriteFile(file.string(), *image[f]);
      } else {
        fs::remove(file);
      }
    }
    fs::remove(folder / "hpt_data.db-shm");
  }
  // What the image's journal holds, read from a copy: opening a database
  // whose WAL or journal is hot writes to it.
  std::string JournalOf(const DiskImage& image) const {
    Put(image, probe_);
    return Journal((probe_ / kFiles[0]).string());
  }

  // FacilitiesWritten as the image's journal records it, 0 without a record.
  int RecordedFacilities(const DiskImage& image) const {
    Put(image, probe_);
    sqlite3* db = nullptr;
    int facilities = 0;
    if (sqlite3_open_v2((probe_ / kFiles[0]).c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) ==
        SQLITE_OK) {
      sqlite3_stmt* stmt = nullptr;
      if (sqlite3_prepare_v2(db, "SELECT FacilitiesWritten FROM T03_Run", -1, &stmt, nullptr) ==
              SQLITE_OK &&
          sqlite3_step(stmt) == SQLITE_ROW) {
        facilities = sqlite3_column_int(stmt, 0);
      }
      sqlite3_finalize(stmt);
    }
    sqlite3_close(db);
    return facilities;
  }

  // The new run whose operations are logged: paced, so that it takes
  // checkpoints on the way. Returns its CSV.
  std::string RecordRun(const RunningSite& site) {
    std::string files;
    for (const std::string& name : kFiles) files += (files.empty() ? "" : "/") + name;
    std::vector<std::string> args = {"/usr/bin/env",
                                     std::string("LD_PRELOAD=") + VALMERIC_IO_LOG_SHIM,
                                     "VALMERIC_IO_LOG=" + log_,
                                     "VALMERIC_IO_DIR=" + run_.string(),
                                     "VALMERIC_IO_FILES=" + files,
                                     VALMERIC_CLI_EXE,
                                     "collect",
                                     "--category",
                                     "3",
                                     "--prefecture",
                                     "16",
                                     "--output",
                                     (run_ / "result").string(),
                                     "--pause-ms",
                                     "40"};
    for (const auto& a : SiteArgs(site)) args.push_back(a);
    const test::ChildExit done = Run(args);
    EXPECT_EQ(done.status, 0) << Stderr();
    return test::ReadFile(RunFile(kCsv));
  }

  Outcome Resume(const DiskImage& image, const RunningSite& site, const std::string& whole,
                 std::string& why) {
    const std::string journal = JournalOf(image);
    Put(image, run_);
    std::vector<std::string> args = {VALMERIC_CLI_EXE, "collect", "--resume", "--pause-ms", "0"};
    for (const auto& a : SiteArgs(site)) args.push_back(a);
    const int status = Run(args).status;
    const std::string err = Stderr();
    const DiskImage after = ImageOf(run_);
    if (status == 0) {
      if (after[kCsv] == whole) return Outcome::kResumed;
      why = "resumed to another CSV (" + std::to_string(after[kCsv] ? after[kCsv]->size() : 0) +
            " bytes against " + std::to_string(whole.size()) + ")";
      return Outcome::kFailed;
    }
    if (status != 2 || after[kCsv] != image[kCsv] || JournalOf(after) != journal) {
      why = "exit " + std::to_string(status) + ", the CSV or the journal changed: " + err;
      return Outcome::kFailed;
    }
    why = err;
    if (err.find(msg::kNothingToResume) != std::string::npos && after[kCsv] == whole)
      return Outcome::kAlreadyWhole;
    if (err.find(msg::kOutputChanged) != std::string::npos) return Outcome::kRefusedForCsv;
    return Outcome::kRefused;
  }

  test::TempDir dir_;
  fs::path run_ = dir_.path() / "run";
  fs::path probe_ = dir_.path() / "probe";
  std::string log_ = dir_.File("io.log");
};

TEST_F(CrashTest, EveryImageAPowerCutCanLeaveResumesToTheWholeFileOrIsRefusedUntouched) {
  RunningSite site;
  fs::copy_file(VALMERIC_SHIPPED_DB, RunFile(0));
  // Last month's run, finished: the logged run replaces its list.
  {
    std::vector<std::string> args = {
        VALMERIC_CLI_EXE, "collect", "--category", "3",
        "--prefecture",   "16",      "--output",   (run_ / "result").string(),
        "--pause-ms",     "0"};
    for (const auto& a : SiteArgs(site)) args.push_back(a);
    ASSERT_EQ(Run(args).status, 0) << Stderr();
  }
  const DiskImage initial = ImageOf(run_);
  const std::string whole = RecordRun(site);
  ASSERT_FALSE(HasFailure());
  const DiskImage recorded = ImageOf(run_);
  const std::vector<IoOp> ops = ReadIoLog(log_);
  for (const IoOp& op : ops) ASSERT_NE(op.kind, IoKind::kUnfollowed) << kFiles[op.file];
  const std::optional<size_t> first_checkpoint = FirstCheckpointDone(ops);
  ASSERT_TRUE(first_checkpoint) << "no checkpoint in " << ops.size() << " operations";

  // Each image once, with the first cut and variant that left it.
  std::map<std::string, Tried> images;
  std::vector<const Tried*> order;
  DiskReplay replay(initial, ops);
  const std::set<size_t> cuts = SampledCuts(ops, *first_checkpoint);
  for (size_t cut : cuts) {
    replay.CutAt(cut);
    for (const Variant& variant : kVariants) {
      std::vector<Kept> kept(kFiles.size(), variant.database);
      kept[kCsv] = variant.csv;
      DiskImage image = replay.Image(kept);
      auto [at, added] = images.try_emplace(Fingerprint(image));
      if (added) {
        at->second = {cut, variant.name, false, std::move(image)};
        order.push_back(&at->second);
      }
      at->second.after_first_checkpoint |= cut >= *first_checkpoint;
    }
  }

  // The log holds every change: played to its end, it leaves the files the run left.
  ASSERT_TRUE(Fingerprint(replay.Image(std::vector<Kept>(kFiles.size(), Kept::kAll))) ==
              Fingerprint(recorded))
      << "the log misses changes the run made";

  std::map<Outcome, int> tally;
  std::map<std::string, int> refusals;  // by the message's first line
  int after_first_checkpoint = 0;
  int refused_after_first_checkpoint = 0;
  for (const Tried* tried : order) {
    after_first_checkpoint += tried->after_first_checkpoint;
    // The old list goes only once the new run's record is on the disk: no
    // image keeps a record of facilities written beside no list at all.
    EXPECT_FALSE(!tried->image[kCsv] && RecordedFacilities(tried->image) > 0)
        << "cut before operation " << tried->cut << ", " << tried->variant
        << ": the record names a list that is gone";
    std::string why;
    const Outcome outcome = Resume(tried->image, site, whole, why);
    ++tally[outcome];
    const bool refused = outcome == Outcome::kRefused || outcome == Outcome::kRefusedForCsv;
    if (refused) ++refusals[why.substr(0, why.find('\n'))];
    if (refused && tried->after_first_checkpoint) ++refused_after_first_checkpoint;
    EXPECT_TRUE(outcome != Outcome::kFailed && !(refused && tried->after_first_checkpoint))
        << "cut before operation " << tried->cut << " of " << ops.size() << " (first checkpoint "
        << *first_checkpoint << "), " << tried->variant << ": " << why;
  }
  const auto checkpoints = std::count_if(ops.begin(), ops.end(), [](const IoOp& op) {
    return op.file == kCsv && op.kind == IoKind::kSync;
  });
  std::printf(
      "%zu operations (%td checkpoints), %zu cuts, %zu images: %d resumed to the whole CSV, "
      "%d already whole, %d refused for the CSV, %d refused otherwise, %d failed; of the %d "
      "images after the first checkpoint, %d refused\n",
      ops.size(), checkpoints, cuts.size(), order.size(), tally[Outcome::kResumed],
      tally[Outcome::kAlreadyWhole], tally[Outcome::kRefusedForCsv], tally[Outcome::kRefused],
      tally[Outcome::kFailed], after_first_checkpoint, refused_after_first_checkpoint);
  for (const auto& [message, count] : refusals) std::printf("  %d: %s\n", count, message.c_str());
}

}  // namespace
}  // namespace valmeric::crash
