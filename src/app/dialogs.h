#pragma once

// Every message box and the save dialog of the program go through Dialogs, so
// that tests can answer them.

#include <QString>
#include <optional>

class QWidget;

namespace valmeric::app {

// Message box styles, with the values of the Windows message box flags so
// that a style reads the same as the original one (0x40040, 0x40024, ...).
namespace mb {
inline constexpr unsigned kOk = 0x0;
inline constexpr unsigned kYesNo = 0x4;
inline constexpr unsigned kIconStop = 0x10;
inline constexpr unsigned kIconQuestion = 0x20;
inline constexpr unsigned kIconInformation = 0x40;
inline constexpr unsigned kDefaultButton2 = 0x100;
inline constexpr unsigned kTopmost = 0x40000;

inline constexpr unsigned kNotice = kOk | kIconInformation | kTopmost;               // 0x40040
inline constexpr unsigned kConfirm = kYesNo | kIconQuestion | kTopmost;              // 0x40024
inline constexpr unsigned kConfirmDefaultNo = kConfirm | kDefaultButton2;           // 0x40124
inline constexpr unsigned kError = kOk | kIconStop;                                  // 0x10
}  // namespace mb

// Answers, as the Windows message box returns them.
inline constexpr int kIdOk = 1;
inline constexpr int kIdYes = 6;
inline constexpr int kIdNo = 7;

struct SaveDialogOptions {
  QString title;
  QString filter;        // "CSV files (*.csv)" style
  QString initial_name;  // a bare file name, no folder
};

class Dialogs {
 public:
  virtual ~Dialogs() = default;
  // Shows a modal message box; returns kIdOk, kIdYes or kIdNo.
  virtual int MessageBox(QWidget* parent, const QString& text, const QString& title, unsigned style) = 0;
  // Asks for a file to save to; nothing when the user cancels.
  virtual std::optional<QString> SaveFileName(QWidget* parent, const SaveDialogOptions& options) = 0;
};

// The real boxes and the toolkit's save dialog.
class QtDialogs final : public Dialogs {
 public:
  int MessageBox(QWidget* parent, const QString& text, const QString& title, unsigned style) override;
  std::optional<QString> SaveFileName(QWidget* parent, const SaveDialogOptions& options) override;
};

}  // namespace valmeric::app
