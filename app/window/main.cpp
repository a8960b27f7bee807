// The program: start-up in the order the libraries expect, the window, the loop, and the
// unregistration of the PNG format at exit.
#include <QApplication>
#include <QDir>
#include <QIcon>
#include <iostream>

#include "app/release.h"
#include "app/window/form1.h"
#include "app/window/qt_translation.h"
#include "app/window_options.h"
#include "image/color_tables.h"
#include "png/png_registration.h"

int main(int argc, char** argv) {
  if (const auto status = AnswerWindowOption(argc, argv, std::cout)) return *status;
  QApplication application(argc, argv);
  InitPaletteDisplayFlag();
  const PngFormatRegistration pngFormat;  // until the program ends, after the window is gone
  QApplication::setApplicationName(QStringLiteral("Nimbrel"));  // also the X11 window class
  QApplication::setDesktopFileName(QStringLiteral(NIMBREL_APP_ID));
  // The installed theme's icon, else the renderings built in: every size drawn for itself, so a
  // title bar does not shrink the largest.
  QIcon builtIn;
  for (const QString& name :
       QDir(QStringLiteral(":/")).entryList({QStringLiteral("nimbrel-*.png")}))
    builtIn.addFile(QStringLiteral(":/") + name);
  QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral(NIMBREL_APP_ID), builtIn));
  QApplication::setFont(TForm1::WindowFont());  // so the dialogs and boxes match the window
  const TQtTranslation qtTexts;                 // before the window builds its dialogs

  TForm1 Form1;
  Form1.show();
  return QApplication::exec();
}
