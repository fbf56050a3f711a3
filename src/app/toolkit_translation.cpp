#include "app/toolkit_translation.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QTranslator>

namespace valmeric::app {

QStringList ToolkitTranslationFolders() {
  return {QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("translations")),
          QLibraryInfo::path(QLibraryInfo::TranslationsPath)};
}

bool InstallToolkitTranslation(QCoreApplication& app, QTranslator& translator,
                               const QStringList& folders) {
  for (const QString& folder : folders) {
    if (folder.isEmpty()) continue;
    if (translator.load(QStringLiteral("qtbase_ja"), folder)) {
      app.installTranslator(&translator);
      return true;
    }
  }
  return false;
}

}  // namespace valmeric::app
