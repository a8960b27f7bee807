// The window under test: one QApplication for the whole run, dialogs and boxes answered by the
// test, and key events delivered the way the platform delivers them.
#pragma once

#include <QApplication>
#include <QColorDialog>
#include <QFileDialog>
#include <QKeyEvent>
#include <QPushButton>
#include <deque>
#include <memory>
#include <optional>

#include "app/window/form1.h"
#include "app/window/form_dialogs.h"
#include "app/window/line_edit.h"
#include "app/window/memo_edit.h"
#include "app/window/picture_label.h"

inline QApplication& TestApplication() {
  static int argc = 1;
  static char name[] = "window_tests";
  static char* argv[] = {name, nullptr};
  static QApplication* application = [] {
    auto* app = new QApplication(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Nimbrel"));
    return app;
  }();
  return *application;
}

// Answers every dialog from queues and records what the window asked.
class FakeDialogs : public TFormDialogs {
 public:
  std::deque<std::optional<QColor>> colours;
  std::vector<QColor> colourStarts;
  std::deque<std::optional<QString>> saves;
  int saveDialogs = 0;
  QString saveFilter, saveSuffix;
  bool saveConfirmsOverwrite = true;
  QStringList messages;
  QStringList errors;

  std::optional<QColor> ExecuteColor(QColorDialog& dialog) override {
    colourStarts.push_back(dialog.currentColor());
    if (colours.empty()) return std::nullopt;
    auto answer = colours.front();
    colours.pop_front();
    return answer;
  }
  std::optional<QString> ExecuteSave(QFileDialog& dialog) override {
    ++saveDialogs;
    saveFilter = dialog.nameFilters().join(QStringLiteral(";;"));
    saveSuffix = dialog.defaultSuffix();
    saveConfirmsOverwrite = !dialog.testOption(QFileDialog::DontConfirmOverwrite);
    if (saves.empty()) return std::nullopt;
    auto answer = saves.front();
    saves.pop_front();
    return answer;
  }
  void Message(QWidget*, const QString& text) override { messages.push_back(text); }
  void Error(QWidget*, const QString& text) override { errors.push_back(text); }
};

// A fresh window with fake dialogs, shown and active.
struct WindowFixture {
  FakeDialogs* dialogs;
  std::unique_ptr<TForm1> form;

  WindowFixture() {
    TestApplication();
    auto fake = std::make_unique<FakeDialogs>();
    dialogs = fake.get();
    form = std::make_unique<TForm1>(std::move(fake));
    form->show();
    form->activateWindow();
    QApplication::processEvents();
  }

  QImage Shown() const { return form->Image1->pixmap().toImage(); }
};

inline void PressKey(QWidget* target, int key, const QString& text = {},
                     Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
  QKeyEvent press(QEvent::KeyPress, key, modifiers, text);
  QApplication::sendEvent(target, &press);
}

inline void ReleaseKey(QWidget* target, int key, const QString& text = {},
                       Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
  QKeyEvent release(QEvent::KeyRelease, key, modifiers, text);
  QApplication::sendEvent(target, &release);
}

// One keystroke: press and release.
inline void Type(QWidget* target, const QString& text, int key = Qt::Key_A) {
  PressKey(target, key, text);
  ReleaseKey(target, key, text);
}
