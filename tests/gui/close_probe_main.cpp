// The main window closed while its run waits for a page that does not come:
// prints "closing" as the user's confirmation goes in, then runs until the
// window has ended the application. The program tests time the rest.

#include <QApplication>
#include <cstdio>

#include "app/tsan_defaults.h"
#include "window_harness.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  valmeric::test::WindowHarness h;
  h.site.SetFivePages();
  h.site.HoldNext(valmeric::test::GuiSite::Pairs()[1]);  // the second page stalls
  h.TickFirstOfEach();
  h.Start("result");
  if (!h.WaitHolding()) return 2;
  h.dialogs.setNextAnswer(valmeric::kIdYes);
  std::puts("closing");
  std::fflush(stdout);
  h.window().close();
  QApplication::exec();
  return h.window().terminateRequested() ? 0 : 3;
}
