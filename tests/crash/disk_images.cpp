#include "disk_images.h"

#include <algorithm>
#include <fstream>
#include <stdexcept>

namespace valmeric::crash {
namespace {

// A write keeps its first `bytes`; every other operation is whole or absent.
void Apply(std::optional<std::string>& content, const IoOp& op, size_t bytes) {
  switch (op.kind) {
    case IoKind::kCreate:
      content.emplace();
      break;
    case IoKind::kUnlink:
      content.reset();
      break;
    case IoKind::kTruncate:
      if (content) content->resize(static_cast<size_t>(op.offset), '\0');
      break;
    case IoKind::kWrite: {
      if (!content) break;  // a write through a descriptor whose name is gone
      const auto at = static_cast<size_t>(op.offset);
      const size_t size = std::min(bytes, op.data.size());
      if (content->size() < at + size) content->resize(at + size, '\0');
      content->replace(at, size, op.data, 0, size);
      break;
    }
    default:
      break;
  }
}

bool IsNameOp(IoKind kind) {
  return kind == IoKind::kCreate || kind == IoKind::kUnlink;
}

}  // namespace

std::vector<IoOp> ReadIoLog(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  std::vector<IoOp> ops;
  IoEntry entry{};
  while (in.read(reinterpret_cast<char*>(&entry), sizeof entry)) {
    IoOp op{entry.kind, entry.file, entry.offset, {}};
    if (entry.kind == IoKind::kWrite) {
      op.data.resize(static_cast<size_t>(entry.length));
      if (!in.read(op.data.data(), entry.length))
        throw std::runtime_error(path + " ends mid-write");
    }
    ops.push_back(std::move(op));
  }
  if (in.gcount() != 0) throw std::runtime_error(path + " ends mid-entry");
  return ops;
}

DiskReplay::DiskReplay(DiskImage initial, const std::vector<IoOp>& ops) : ops_(ops) {
  for (auto& content : initial) files_.push_back({std::move(content), {}});
}

void DiskReplay::MakeDurable(File& file, size_t count) const {
  for (size_t i = 0; i < count; ++i) {
    const IoOp& op = ops_[file.pending[i]];
    Apply(file.durable, op, op.data.size());
  }
  file.pending.erase(file.pending.begin(), file.pending.begin() + static_cast<long>(count));
}

void DiskReplay::CutAt(size_t cut) {
  if (cut < cut_ || cut > ops_.size()) throw std::logic_error("cuts move forward in the log");
  for (; cut_ < cut; ++cut_) {
    const IoOp& op = ops_[cut_];
    if (op.kind == IoKind::kFolderSync) {
      // The folder's names are durable; what was written into the files is not.
      for (File& file : files_) {
        const auto last = std::find_if(file.pending.rbegin(), file.pending.rend(),
                                       [&](size_t i) { return IsNameOp(ops_[i].kind); });
        MakeDurable(file, static_cast<size_t>(file.pending.rend() - last));
      }
      continue;
    }
    if (op.file < 0 || static_cast<size_t>(op.file) >= files_.size()) continue;
    File& file = files_[static_cast<size_t>(op.file)];
    if (op.kind == IoKind::kSync) {
      MakeDurable(file, file.pending.size());
    } else {
      file.pending.push_back(cut_);
    }
  }
}

DiskImage DiskReplay::Image(const std::vector<Kept>& kept) const {
  DiskImage image;
  for (size_t f = 0; f < files_.size(); ++f) {
    const File& file = files_[f];
    std::optional<std::string> content = file.durable;
    size_t whole = 0;
    size_t torn = 0;  // 1: one more operation, with half its bytes
    if (kept[f] == Kept::kAll) whole = file.pending.size();
    if (kept[f] == Kept::kPart && !file.pending.empty()) {
      whole = (file.pending.size() + 1) / 2 - 1;
      torn = 1;
    }
    for (size_t i = 0; i < whole; ++i) {
      const IoOp& op = ops_[file.pending[i]];
      Apply(content, op, op.data.size());
    }
    if (torn) {
      const IoOp& op = ops_[file.pending[whole]];
      Apply(content, op, op.data.size() / 2);
    }
    image.push_back(std::move(content));
  }
  return image;
}

std::string Fingerprint(const DiskImage& image) {
  std::string all;
  for (const auto& content : image) {
    all += content ? std::to_string(content->size()) + ":" + *content : std::string("-");
    all += '\n';
  }
  return all;
}

}  // namespace valmeric::crash
