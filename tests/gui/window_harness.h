#pragma once

#include <QCheckBox>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <functional>
#include <memory>

#include "app/frm_main.h"
#include "fake_dialogs.h"
#include "gui_site.h"

namespace valmeric::test {

inline constexpr int kWaitMs = 20000;

// A main window on a GuiSite, shown and past its configuration check.
class WindowHarness {
 public:
  // prepare runs on the site before the window is made. A run reads the site
  // in memory; with list_pages the table builders read its list pages over
  // HTTP.
  explicit WindowHarness(bool show = true, const std::function<void(GuiSite&)>& prepare = {},
                         bool list_pages = false);
  ~WindowHarness();

  app::TFrmMain& window() { return *window_; }
  template <typename T>
  T* Find(const char* name) {
    return window_->findChild<T*>(QString::fromLatin1(name));
  }
  QPushButton* Button(const char* name) { return Find<QPushButton>(name); }
  QListWidget* List(const char* name) { return Find<QListWidget>(name); }
  QCheckBox* Check(const char* name) { return Find<QCheckBox>(name); }

  // The user ticks an item, as a mouse toggle reports it.
  void Tick(const char* list, int row);
  // Ticks category 1 and prefecture 1: the four pairs of GuiSite.
  void TickFirstOfEach();
  // Chooses name (in the site's folder) in the save dialog and presses start.
  void Start(const std::string& name);
  // The same with the workbook's file type chosen in the save dialog.
  void StartWorkbook(const std::string& name);
  bool Idle() { return Button("btnAction")->isEnabled() && !Button("btnCancel")->isEnabled(); }
  bool WaitIdle() {
    return QTest::qWaitFor([this] { return Idle(); }, kWaitMs);
  }
  bool WaitHolding() {
    return QTest::qWaitFor([this] { return site.Holding(); }, kWaitMs);
  }
  void Show();
  // Closes the window as the user would and starts the program's window
  // anew on the same folder and site.
  void Restart();

  GuiSite site;
  FakeDialogs dialogs;

 private:
  RunSettings settings_;
  std::unique_ptr<app::TFrmMain> window_;
};

std::string ReadText(const std::string& path);
// The CSV's facility codes, in file order (header left out).
std::vector<std::string> CsvCodes(const std::string& path);
std::vector<std::string> Codes(const std::vector<PageFacility>& facilities);

}  // namespace valmeric::test
