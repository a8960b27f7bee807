// The modal boxes and dialogs of the main window, behind one class so the tests can answer them.
#pragma once

#include <QColor>
#include <QString>
#include <optional>

class QColorDialog;
class QFileDialog;
class QWidget;

class TFormDialogs {
 public:
  virtual ~TFormDialogs() = default;

  // The colour dialog, already set to the colour it opens on; the confirmed colour or nothing.
  virtual std::optional<QColor> ExecuteColor(QColorDialog& dialog);
  // The save dialog; the chosen file or nothing.
  virtual std::optional<QString> ExecuteSave(QFileDialog& dialog);
  // A message box captioned "Nimbrel" with no icon and one OK.
  virtual void Message(QWidget* parent, const QString& text);
  // The error box for an exception that escaped a handler: stop icon, one OK.
  virtual void Error(QWidget* parent, const QString& text);
};

// The error box's text: the message with a full stop appended when its last character sorts after
// the full stop, as the framework's exception box has always shown it.
QString ErrorBoxText(const QString& message);
