// Qt's own texts (the file and colour dialogs, standard buttons, the edit fields' context menus)
// in the user's language. The window's own texts are Japanese whatever the locale; without this,
// every dialog Qt draws around them would be English.
#pragma once

#include <QLocale>
#include <QTranslator>

class TQtTranslation {
 public:
  // Installs Qt's catalogue for the locale's languages, when one is installed on the system.
  explicit TQtTranslation(const QLocale& locale = QLocale());
  ~TQtTranslation();
  TQtTranslation(const TQtTranslation&) = delete;
  TQtTranslation& operator=(const TQtTranslation&) = delete;

  bool Installed() const { return installed_; }

 private:
  QTranslator translator_;
  bool installed_ = false;
};
