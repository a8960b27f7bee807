#include "app/window/line_edit.h"

TLineEdit::TLineEdit(QWidget* parent) : QLineEdit(parent) {
  connect(this, &QLineEdit::textChanged, this, [this] {
    if (composition_.Change()) emit textSettled();
  });
}

void TLineEdit::inputMethodEvent(QInputMethodEvent* event) {
  composition_.Update(*event);
  QLineEdit::inputMethodEvent(event);
  if (composition_.Ended()) emit textSettled();
}
