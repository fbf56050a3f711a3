#pragma once

// The disk images a power cut could leave, built from a log of a run's file
// operations (io_log_shim): at a cut, each file holds what its last sync made
// durable, and what was written since may have reached the disk whole, in
// part or not at all.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "io_log_format.h"

namespace valmeric::crash {

struct IoOp {
  IoKind kind;
  int file;  // kFolder or the watched file's number
  std::int64_t offset;
  std::string data;  // a write's bytes
};

// Reads a log; throws std::runtime_error when it ends inside an entry.
std::vector<IoOp> ReadIoLog(const std::string& path);

// One content per watched file; nullopt where the file does not exist.
using DiskImage = std::vector<std::optional<std::string>>;

// How much of a file's operations since its last sync survives the cut:
// none, all, or the first half of them with the last of that half torn (a
// write keeps the first half of its bytes).
enum class Kept { kNone, kAll, kPart };

class DiskReplay final {
 public:
  // initial: the files as they were, durable, before the logged run began.
  DiskReplay(DiskImage initial, const std::vector<IoOp>& ops);

  // Plays the operations up to ops[cut], which has not happened yet. Cuts
  // only move forward.
  void CutAt(size_t cut);

  // The disk after a power cut at the present cut; kept holds one entry per file.
  DiskImage Image(const std::vector<Kept>& kept) const;

 private:
  struct File {
    std::optional<std::string> durable;
    std::vector<size_t> pending;  // indexes into ops_, in order
  };
  void MakeDurable(File& file, size_t count) const;

  const std::vector<IoOp>& ops_;
  std::vector<File> files_;
  size_t cut_ = 0;
};

// The image's files as one string, to tell images apart.
std::string Fingerprint(const DiskImage& image);

}  // namespace valmeric::crash
