// Valmeric: collects the listings of a hospital directory site into a CSV file.

#include <exception>

#include "app/application.h"
#include "app/dialogs.h"
#include "app/frm_main.h"
#include "app/tsan_defaults.h"
#include "common/platform/app_paths.h"
#include "common/platform/standard_descriptors.h"
#include "window_model/single_instance.h"

namespace {

// One instance per user logon.
constexpr char kInstanceName[] = "Quillmere";

}  // namespace

int main(int argc, char** argv) {
  if (!valmeric::OpenClosedStandardDescriptors()) return 1;
  const auto instance = valmeric::window_model::ClaimSingleInstance(kInstanceName);
  if (!instance) return 1;

  // The program takes no arguments; the toolkit sees only the program name.
  int qt_argc = argc > 0 ? 1 : 0;
  valmeric::app::QtDialogs dialogs;
  valmeric::app::TApplication app(qt_argc, argv, dialogs);
  try {
    // VALMERIC_SITE_ORIGIN points the window at another copy of the site (the
    // bundled local one, for a demo); the program takes no arguments.
    valmeric::RunSettings settings;
    settings.download.origin = valmeric::SiteOrigin::FromEnvironment();
    valmeric::app::TFrmMain FrmMain(dialogs, valmeric::DefaultDatabasePath(), settings);
    FrmMain.show();
    valmeric::app::TApplication::exec();
  } catch (const std::exception& error) {
    valmeric::app::ShowDefaultError(dialogs, QString::fromUtf8(error.what()));
  } catch (...) {
    valmeric::app::ShowDefaultError(dialogs, QString());
  }
  return 0;
}
