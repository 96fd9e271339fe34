#include "runtime/ui/translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QPointer>
#include <QTranslator>

namespace hostrt {

bool InstallQtTranslations() {
  static QPointer<QCoreApplication> installed_for;
  static bool loaded = false;
  QCoreApplication* app = QCoreApplication::instance();
  if (app == nullptr) return false;
  if (installed_for == app) return loaded;
  installed_for = app;

  const QLocale chinese(QLocale::Chinese, QLocale::China);
  QLocale::setDefault(chinese);
  // Owned by the application object, so a later QApplication starts afresh.
  auto* translator = new QTranslator(app);
  const QString places[] = {QLibraryInfo::path(QLibraryInfo::TranslationsPath),
                            QCoreApplication::applicationDirPath() + "/translations"};
  loaded = false;
  for (const QString& place : places) {
    if (translator->load(chinese, "qtbase", "_", place)) {
      loaded = QCoreApplication::installTranslator(translator);
      break;
    }
  }
  if (!loaded) delete translator;
  return loaded;
}

}  // namespace hostrt
