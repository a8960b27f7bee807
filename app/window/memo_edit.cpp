#include "app/window/memo_edit.h"

#include <QKeyEvent>
#include <QMimeData>
#include <QScopedValueRollback>
#include <QTextBlock>
#include <QTimer>
#include <utility>

#include "app/window/sjis_input.h"

namespace {

// Lines 12 pixels apart, the height of the window font, and a 2-pixel margin: ten lines fit in
// the 129-pixel field without a scroll bar, so nine description lines and the caret on an empty
// tenth line are all in view. The font's own spacing (13 pixels and more) would fit only nine.
constexpr qreal kLinePitch = 12;
constexpr qreal kMargin = 2;

}  // namespace

TMemoEdit::TMemoEdit(QWidget* parent) : QTextEdit(parent) {
  setAcceptRichText(false);
  setLineWrapMode(NoWrap);  // one text line is one description line
  setTabChangesFocus(true);
  document()->setDocumentMargin(kMargin);
  // New lines take the format of the line they split, and pasted text is inserted as typed text
  // is, so the pitch set on the first line holds for every line.
  QTextBlockFormat pitch;
  pitch.setLineHeight(kLinePitch, QTextBlockFormat::FixedHeight);
  QTextCursor(document()).setBlockFormat(pitch);
  document()->clearUndoRedoStacks();
  connect(this, &QTextEdit::textChanged, this, &TMemoEdit::NoteChange);
}

void TMemoEdit::ReplaceLine(int index, const QString& text) {
  const QTextBlock block = document()->findBlockByNumber(index);
  if (!block.isValid()) return;
  const QScopedValueRollback quiet(quiet_, true);
  QTextCursor cursor(block);
  cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
  cursor.insertText(text);
}

void TMemoEdit::DeleteLine(int index) {
  const QTextBlock block = document()->findBlockByNumber(index);
  if (!block.isValid()) return;
  const QScopedValueRollback quiet(quiet_, true);
  QTextCursor cursor(block);
  if (block.next().isValid()) {
    cursor.setPosition(block.next().position(), QTextCursor::KeepAnchor);
  } else {
    cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
  }
  cursor.removeSelectedText();
}

void TMemoEdit::DeleteLinesFrom(int index) {
  const QTextBlock block = document()->findBlockByNumber(index);
  if (!block.isValid()) return;
  const QScopedValueRollback quiet(quiet_, true);
  QTextCursor cursor(block);
  cursor.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
  cursor.removeSelectedText();
}

void TMemoEdit::NoteChange() {
  if (quiet_ || inputMethod_ || !composition_.Change()) return;
  if (pressing_) {
    awaitingRelease_ = true;
    return;
  }
  QueueArrival();
}

void TMemoEdit::QueueArrival() {
  if (arrivalQueued_) return;
  arrivalQueued_ = true;
  QTimer::singleShot(0, this, [this] {
    if (!arrivalQueued_) return;  // a key release reported it in the meantime
    arrivalQueued_ = false;
    if (composition_.Change()) emit textArrived();
  });
}

bool TMemoEdit::Refuse(const QString& text) {
  const auto bad = FirstUnencodable(text);
  if (!bad) return false;
  emit refused(uint(*bad));
  return true;
}

void TMemoEdit::keyPressEvent(QKeyEvent* event) {
  if (!event->text().isEmpty() && Refuse(event->text())) {
    event->accept();
    return;
  }
  const QScopedValueRollback pressing(pressing_, true);
  QTextEdit::keyPressEvent(event);
}

void TMemoEdit::keyReleaseEvent(QKeyEvent* event) {
  QTextEdit::keyReleaseEvent(event);
  if (event->isAutoRepeat() || composition_.Open()) return;
  awaitingRelease_ = false;
  arrivalQueued_ = false;
  emit keyReleased();
}

void TMemoEdit::inputMethodEvent(QInputMethodEvent* event) {
  // The field reports a change for every event, even one that only shows or clears preedit
  // text, as the input method sends when a box takes the focus; only a commit or a replacement
  // changes the text.
  const QScopedValueRollback inside(inputMethod_, true);
  bool changed = false;
  if (Refuse(event->commitString())) {
    QInputMethodEvent cleared;  // drops the composition along with the refused text
    composition_.Update(cleared);
    QTextEdit::inputMethodEvent(&cleared);
    event->accept();
  } else {
    composition_.Update(*event);
    QTextEdit::inputMethodEvent(event);
    changed = !event->commitString().isEmpty() || event->replacementLength() != 0;
  }
  const bool due = changed && composition_.Change();
  if (composition_.Ended() || due) QueueArrival();
}

bool TMemoEdit::canInsertFromMimeData(const QMimeData* source) const {
  // Text only, as in the heading fields: a dragged file (the window's own picture, say) would
  // otherwise come in as its path.
  return source->hasFormat(QStringLiteral("text/plain"));
}

void TMemoEdit::insertFromMimeData(const QMimeData* source) {
  if (!canInsertFromMimeData(source) || Refuse(source->text())) return;
  // As typed text: the lines it starts keep the line pitch, which a pasted fragment would not.
  QTextCursor cursor = textCursor();
  cursor.insertText(source->text());
  setTextCursor(cursor);
  ensureCursorVisible();
}

void TMemoEdit::focusOutEvent(QFocusEvent* event) {
  QTextEdit::focusOutEvent(event);
  // The key's release went to another control.
  if (std::exchange(awaitingRelease_, false)) QueueArrival();
}
