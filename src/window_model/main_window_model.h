#pragma once

#include <filesystem>

#include "engine/plan.h"
#include "engine/run_controller.h"
#include "engine/run_view.h"
#include "refdb/database_file.h"
#include "window_model/selection_group.h"

namespace valmeric::window_model {

// The private message a window posts itself once it is shown, as an offset
// from the toolkit's first private message number: WM_USER + 100 (0x464) on
// Windows. The configuration check then runs from the message loop, after the
// window has appeared.
inline constexpr int kCheckConfigOffset = 100;

// What both windows decide alike, with no toolkit in it: the two selection
// groups, the settings file beside the database, the configuration check and
// the ticks of a resumed run. A window binds the groups to its controls and
// calls these from its handlers.
class MainWindowModel final {
 public:
  // database_path: db/hpt_data.db beside the program; the settings file goes
  // beside it.
  explicit MainWindowModel(std::filesystem::path database_path);

  SelectionGroup& categories() { return categories_; }
  SelectionGroup& prefectures() { return prefectures_; }
  const SelectionGroup& categories() const { return categories_; }
  const SelectionGroup& prefectures() const { return prefectures_; }
  const std::filesystem::path& database_path() const { return database_path_; }
  // hpt.ini in the database's folder.
  std::filesystem::path settings_path() const;

  // At the window's creation: whether the database file is there and looks
  // like one. The database is opened by its first query, not here.
  void FindDatabase();
  bool db_ready() const { return db_state_ == DatabaseFileState::kPresent; }

  // The configuration check. With the database: loads the ticks, then lets
  // the controller ask about an unfinished run, and returns true. Without:
  // shows the configuration error through view and returns false; the window
  // must then end the application. The settings file is then neither read
  // nor written. The error's detail line names the file and what is wrong
  // with it.
  bool CheckConfig(RunController& controller, RunView& view);

  void LoadSettings();
  // A settings file that cannot be written must not keep the window open:
  // the failure is dropped.
  void SaveSettings() noexcept;

  Selection TickedSelection() const;
  // Ticks exactly the codes of selection (a resumed run's) and no others; the
  // all boxes and highlighted rows follow as after loading the settings.
  void RestoreSelection(const Selection& selection);

 private:
  const std::filesystem::path database_path_;
  SelectionGroup categories_;
  SelectionGroup prefectures_;
  DatabaseFileState db_state_ = DatabaseFileState::kMissing;
};

}  // namespace valmeric::window_model
