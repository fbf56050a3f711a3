#include "window_harness.h"

#include <chrono>

#include "common/text/sjis_text.h"
#include "support/cp932_check.h"
#include "support/temp_dir.h"

namespace valmeric::test {

WindowHarness::WindowHarness(bool show, const std::function<void(GuiSite&)>& prepare,
                             bool list_pages) {
  if (prepare) prepare(site);
  settings_.pages = site.source();
  if (list_pages) settings_.download.origin = SiteOrigin::Parse(site.Origin());
  settings_.page_pause = std::chrono::milliseconds(0);
  window_ = std::make_unique<app::TFrmMain>(dialogs, site.db_path(), settings_);
  if (show) Show();
}

void WindowHarness::Restart() {
  window_->close();
  window_ = std::make_unique<app::TFrmMain>(dialogs, site.db_path(), settings_);
  Show();
}

WindowHarness::~WindowHarness() {
  site.Release();
  window_.reset();
}

void WindowHarness::Show() {
  window_->show();
  // The configuration check always leaves a highlighted row behind.
  const bool checked = QTest::qWaitFor(
      [this] { return List("lstCtgr")->currentRow() >= 0 || window_->terminateRequested(); },
      kWaitMs);
  EXPECT_TRUE(checked) << "the configuration check did not run";
}

void WindowHarness::Tick(const char* list, int row) {
  QListWidgetItem* item = List(list)->item(row);
  item->setCheckState(item->checkState() == Qt::Checked ? Qt::Unchecked : Qt::Checked);
}

void WindowHarness::TickFirstOfEach() {
  Tick("lstCtgr", 0);
  Tick("lstArea", 0);
}

void WindowHarness::Start(const std::string& name) {
  dialogs.setNextFileName(QString::fromStdString(site.File(name)));
  Button("btnAction")->click();
}

void WindowHarness::StartWorkbook(const std::string& name) {
  dialogs.setNextFileName(QString::fromStdString(site.File(name)), 1);
  Button("btnAction")->click();
}

std::string ReadText(const std::string& path) {
  return ReadFile(path);
}

std::vector<std::string> CsvCodes(const std::string& path) {
  std::vector<std::string> codes;
  const auto lines = SplitLines(ReadCsv(path));
  for (size_t i = 1; i < lines.size(); ++i) {
    if (lines[i].empty()) continue;
    codes.push_back(lines[i].substr(1, lines[i].find('"', 1) - 1));
  }
  return codes;
}

std::vector<std::string> Codes(const std::vector<PageFacility>& facilities) {
  std::vector<std::string> codes;
  for (const auto& f : facilities) codes.push_back(f.code);
  return codes;
}

}  // namespace valmeric::test
