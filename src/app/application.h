#pragma once

#include <QApplication>
#include <QString>
#include <QTranslator>

#include "messages/user_messages.h"

namespace valmeric::app {

class Dialogs;

// The application's title: the main window's caption and the title of the
// default error display.
using valmeric::msg::kApplicationTitle;

// The default error display: the message (with a full stop where it lacks a
// closing mark) in a box titled with the application title, with an OK
// button and the stop icon.
void ShowDefaultError(Dialogs& dialogs, const QString& message);

// The application object. The toolkit's own texts (dialog buttons, the file
// dialog) are Japanese. An exception that escapes an event handler is shown
// by the default error display, and the event loop goes on.
class TApplication final : public QApplication {
  Q_OBJECT

 public:
  TApplication(int& argc, char** argv, Dialogs& dialogs);

  bool notify(QObject* receiver, QEvent* event) override;
  Dialogs& dialogs() { return dialogs_; }

 private:
  Dialogs& dialogs_;
  QTranslator toolkit_texts_;
};

}  // namespace valmeric::app
