// Draws the main window in the middle of a run against a local site, for the
// screenshots of the documentation (tools/screenshot.sh).

#include <QApplication>

#include <QTest>
#include <cstdio>
#include <cstring>
#include "app/tsan_defaults.h"

#include "window_harness.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: valmeric-screenshot-running OUT.png\n");
    return 2;
  }
  QApplication app(argc, argv);
  int status = 1;
  {
    valmeric::test::WindowHarness h;
    h.site.SetFivePages();
    h.site.HoldNext(valmeric::test::GuiSite::Pairs()[1]);
    h.TickFirstOfEach();
    h.Tick("lstArea", 12);
    h.Start("result");
    // The run now waits for its second page: the first entry's status is shown.
    if (h.WaitHolding() &&
        QTest::qWaitFor(
            [&] { return h.Find<QLabel>("lblStatus")->text().contains(QLatin1Char('/')); },
            10000)) {
      QTest::qWait(300);
      status = h.window().grab().save(QString::fromLocal8Bit(argv[1]), "PNG") ? 0 : 1;
    }
    h.dialogs.setNextAnswer(valmeric::app::kIdYes);
    h.window().close();  // confirmed: the run stops and the window ends with it
  }
  return status;
}
