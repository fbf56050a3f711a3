#pragma once

#include <filesystem>

namespace valmeric::window_model {

// Which folder the save dialog opens in. The program's own folder is no
// place for the user's files (on Windows it is a hidden one under
// %LOCALAPPDATA%), so the first dialog of a session opens in the user's
// Documents folder and each later one in the folder of the file last chosen.
// Nothing of it is kept beyond the session.
class SaveFolder {
 public:
  // documents: the user's Documents folder as the system names it; empty
  // when the system names none.
  explicit SaveFolder(std::filesystem::path documents) : documents_(std::move(documents)) {}

  // The folder of the file last chosen while it is still a folder, otherwise
  // Documents while it is one; otherwise empty, the dialog's own choice.
  std::filesystem::path Initial() const;
  // The user chose file (a full path) in the dialog.
  void Chosen(const std::filesystem::path& file);

 private:
  std::filesystem::path documents_;
  std::filesystem::path last_;
};

}  // namespace valmeric::window_model
