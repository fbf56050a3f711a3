#include "window_model/main_window_model.h"

#include <string>
#include <system_error>
#include <vector>

#include "common/network/site_lists.h"
#include "common/platform/utf8_path.h"
#include "messages/run_messages.h"
#include "window_model/selection_settings.h"
#include "window_model/selection_ticks.h"

namespace valmeric::window_model {
namespace {

void RestoreTicks(SelectionGroup& group, const std::vector<int>& codes) {
  std::string ticks(static_cast<size_t>(group.Count()), '0');
  for (const int code : codes) {
    if (code >= 1 && code <= group.Count()) ticks[static_cast<size_t>(code) - 1] = '1';
  }
  if (group.All()) group.SetAll(false);
  for (int i = 0; i < group.Count(); ++i) group.SetTick(i, false);
  ApplyTickText(group, ticks);
}

}  // namespace

MainWindowModel::MainWindowModel(std::filesystem::path database_path)
    : database_path_(std::move(database_path)),
      categories_(CategoryNames()),
      prefectures_(PrefectureNames()) {}

std::filesystem::path MainWindowModel::settings_path() const {
  return database_path_.parent_path() / kSettingsFileName;
}

void MainWindowModel::FindDatabase() {
  db_state_ = LookAtDatabaseFile(Utf8FromPath(database_path_));
}

bool MainWindowModel::CheckConfig(RunController& controller, RunView& view) {
  if (!db_ready()) {
    view.ShowMessage({ConfigErrorText(database_path_, db_state_), msg::kConfigTitle, mb::kNotice});
    return false;
  }
  LoadSettings();
  controller.StartupCheck();
  return true;
}

void MainWindowModel::LoadSettings() {
  LoadSelectionSettings(settings_path(), categories_, prefectures_);
}

void MainWindowModel::SaveSettings() noexcept {
  try {
    SaveSelectionSettings(settings_path(), categories_, prefectures_);
  } catch (...) {
  }
}

Selection MainWindowModel::TickedSelection() const {
  return {categories_.TickedCodes(), prefectures_.TickedCodes()};
}

void MainWindowModel::RestoreSelection(const Selection& selection) {
  RestoreTicks(categories_, selection.categories);
  RestoreTicks(prefectures_, selection.prefectures);
}

}  // namespace valmeric::window_model
