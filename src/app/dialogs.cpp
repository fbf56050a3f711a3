#include "app/dialogs.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

namespace valmeric::app {

int QtDialogs::MessageBox(QWidget* parent, const QString& text, const QString& title,
                          unsigned style) {
  QMessageBox box(parent);
  box.setWindowTitle(title);
  box.setText(text);
  box.setTextFormat(Qt::PlainText);
  if (style & mb::kIconStop) {
    box.setIcon(QMessageBox::Critical);
  } else if (style & mb::kIconQuestion) {
    box.setIcon(QMessageBox::Question);
  } else if (style & mb::kIconInformation) {
    box.setIcon(QMessageBox::Information);
  }
  if (style & mb::kTopmost) box.setWindowFlag(Qt::WindowStaysOnTopHint, true);
  if ((style & 0xF) == mb::kYesNo) {
    QPushButton* yes = box.addButton(QMessageBox::Yes);
    QPushButton* no = box.addButton(QMessageBox::No);
    box.setDefaultButton((style & mb::kDefaultButton2) ? no : yes);
    box.setEscapeButton(no);
    box.exec();
    return box.clickedButton() == yes ? kIdYes : kIdNo;
  }
  box.addButton(QMessageBox::Ok);
  box.exec();
  return kIdOk;
}

std::optional<SavedFile> QtDialogs::SaveFileName(QWidget* parent,
                                                 const SaveDialogOptions& options) {
  QFileDialog dialog(parent, options.title);
  // The toolkit's own dialog, which speaks the toolkit's translation: a
  // desktop's native one would follow the user's locale.
  dialog.setOption(QFileDialog::DontUseNativeDialog, true);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  if (!options.folder.isEmpty()) dialog.setDirectory(options.folder);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setNameFilters(options.filters);
  dialog.selectFile(options.initial_name);
  // Asking before replacing a file is the dialog's default; it adds no
  // extension of its own (the caller completes ".csv").
  dialog.setDefaultSuffix(QString());
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return SavedFile{dialog.selectedFiles().constFirst(),
                   static_cast<int>(options.filters.indexOf(dialog.selectedNameFilter()))};
}

}  // namespace valmeric::app
