// Loading of Qt's own translations for the program's language.
#include "framework/qt/qttranslation.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <memory>

namespace qern {

namespace {
std::unique_ptr<QTranslator> installed;
}

std::string QtLanguageName(int languageNumber) {
  switch (languageNumber) {
    case 2: return "en";
    case 3: return "fr";
    case 4: return "it";
    case 5: return "sv";
    case 6: return "pt_BR";  // the Portuguese that Qt ships
    case 7: return "ro";
    case 8: return "ko";
    case 9: return "es";
    case 12: return "zh_CN";
    default: return "de";
  }
}

bool LoadQtTranslations(int languageNumber) {
  if (!QCoreApplication::instance()) return false;
  if (installed) {
    QCoreApplication::removeTranslator(installed.get());
    installed.reset();
  }
  auto translator = std::make_unique<QTranslator>();
  const QLocale locale(QString::fromStdString(QtLanguageName(languageNumber)));
  if (!translator->load(locale, "qtbase", "_", QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
    return false;
  QCoreApplication::installTranslator(translator.get());
  installed = std::move(translator);
  return true;
}

}  // namespace qern
