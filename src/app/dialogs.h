#pragma once

// Every message box and the save dialog of the program go through Dialogs, so
// that tests can answer them.

#include <QString>
#include <QStringList>
#include <optional>

#include "messages/user_messages.h"

class QWidget;

namespace valmeric::app {

// Styles and answers are those of the Windows message box (0x40040, 0x40024,
// ..., IDYES), defined with the messages themselves.
using valmeric::kIdNo;
using valmeric::kIdOk;
using valmeric::kIdYes;
namespace mb = valmeric::mb;

struct SaveDialogOptions {
  QString title;
  QStringList filters;   // "CSV files (*.csv)" style, the first one chosen at first
  QString initial_name;  // a bare file name, no folder
  QString folder;        // where the dialog opens; empty: its own choice
};

// The file chosen, and the position in filters of the type chosen with it.
struct SavedFile {
  QString path;
  int filter = 0;
};

class Dialogs {
 public:
  virtual ~Dialogs() = default;
  // Shows a modal message box; returns kIdOk, kIdYes or kIdNo.
  virtual int MessageBox(QWidget* parent, const QString& text, const QString& title,
                         unsigned style) = 0;
  // Asks for a file to save to; nothing when the user cancels.
  virtual std::optional<SavedFile> SaveFileName(QWidget* parent,
                                                const SaveDialogOptions& options) = 0;
};

// The real boxes and the toolkit's save dialog.
class QtDialogs final : public Dialogs {
 public:
  int MessageBox(QWidget* parent, const QString& text, const QString& title,
                 unsigned style) override;
  std::optional<SavedFile> SaveFileName(QWidget* parent, const SaveDialogOptions& options) override;
};

}  // namespace valmeric::app
