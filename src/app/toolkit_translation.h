#pragma once

#include <QString>
#include <QStringList>

class QCoreApplication;
class QTranslator;

namespace valmeric::app {

// Where the toolkit's Japanese texts are looked for, in order: a folder
// "translations" beside the program (a copy carried with it), then the
// toolkit's own translations folder (qt6-translations-l10n on Debian).
QStringList ToolkitTranslationFolders();

// Loads the toolkit's own texts in Japanese (qtbase_ja.qm: the buttons of the
// message boxes, the file dialog and its questions) into translator and
// installs it on app, whatever the user's locale: the program speaks
// Japanese only. translator must outlive app's use of it. False when no
// folder holds the file; the toolkit then keeps its English and the program
// runs on.
bool InstallToolkitTranslation(QCoreApplication& app, QTranslator& translator,
                               const QStringList& folders = ToolkitTranslationFolders());

}  // namespace valmeric::app
