#include "app/application.h"

#include <exception>

#include "app/dialogs.h"
#include "app/toolkit_translation.h"
#include "window_model/error_text.h"

namespace valmeric::app {

void ShowDefaultError(Dialogs& dialogs, const QString& message) {
  const QString text =
      QString::fromStdString(window_model::ErrorDisplayText(message.toStdString()));
  dialogs.MessageBox(nullptr, text, QString::fromUtf8(kApplicationTitle), mb::kError);
}

TApplication::TApplication(int& argc, char** argv, Dialogs& dialogs)
    : QApplication(argc, argv), dialogs_(dialogs) {
  setApplicationName(QStringLiteral("valmeric"));
  // No display name: on X11 the toolkit would append it to every window's
  // title ("設定エラー — Valmeric"), and each box has a title of its own.
  setDesktopFileName(QStringLiteral("valmeric"));
  InstallToolkitTranslation(*this, toolkit_texts_);  // without it, English buttons
}

bool TApplication::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (const std::exception& error) {
    ShowDefaultError(dialogs_, QString::fromUtf8(error.what()));
  } catch (...) {
    ShowDefaultError(dialogs_, QString());
  }
  return false;
}

}  // namespace valmeric::app
