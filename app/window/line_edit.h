// The heading fields: a line edit that reports a change of its text only when no input-method
// composition is open.
#pragma once

#include <QLineEdit>

#include "app/window/composition.h"

class TLineEdit : public QLineEdit {
  Q_OBJECT
 public:
  explicit TLineEdit(QWidget* parent = nullptr);

 signals:
  // The text changed: at once when typed, pasted or dropped; when committed by the input method,
  // once the composition is over.
  void textSettled();

 protected:
  void inputMethodEvent(QInputMethodEvent* event) override;

 private:
  TComposition composition_;
};
