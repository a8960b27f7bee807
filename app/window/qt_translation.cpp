#include "app/window/qt_translation.h"

#include <QCoreApplication>
#include <QLibraryInfo>

TQtTranslation::TQtTranslation(const QLocale& locale) {
  installed_ = translator_.load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                                QLibraryInfo::path(QLibraryInfo::TranslationsPath)) &&
               QCoreApplication::installTranslator(&translator_);
}

TQtTranslation::~TQtTranslation() {
  if (installed_) QCoreApplication::removeTranslator(&translator_);
}
