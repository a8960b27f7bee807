// The description field: plain text, one text line per description line, ten lines in view. It
// refuses text that code page 932 cannot hold and says when its text is ready for the width guard:
// at each key release, and once any other change (paste, drop, input-method commit, undo from the
// menu) is over. Nothing is reported while an input-method composition is open.
#pragma once

#include <QTextEdit>

#include "app/window/composition.h"

class TMemoEdit : public QTextEdit {
  Q_OBJECT
 public:
  explicit TMemoEdit(QWidget* parent = nullptr);

  // The composer's own corrections, which it follows with a redraw itself: not reported.
  void ReplaceLine(int index, const QString& text);
  // Removes a line and the break after it; the last line has none, so the break before it stays
  // and the caret keeps an empty last line, as in any plain text memo.
  void DeleteLine(int index);
  // Removes line index and every line after it in one edit, leaving an empty last line as
  // deleting them one by one would.
  void DeleteLinesFrom(int index);

 signals:
  void refused(uint character);
  // A key was let go (auto-repeat releases excluded: one press, one release).
  void keyReleased();
  // The text changed without a key release to follow; emitted from the event loop, after the
  // change is complete, so a box may open.
  void textArrived();

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  void inputMethodEvent(QInputMethodEvent* event) override;
  bool canInsertFromMimeData(const QMimeData* source) const override;
  void insertFromMimeData(const QMimeData* source) override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  void NoteChange();
  void QueueArrival();
  // True (and refused emitted) when text must not go in.
  bool Refuse(const QString& text);

  TComposition composition_;
  bool pressing_ = false;         // inside a key press: its release reports the change
  bool awaitingRelease_ = false;  // changed by a key press whose release has not come yet
  bool quiet_ = false;
  bool inputMethod_ = false;  // inside an input-method event, which judges its change itself
  bool arrivalQueued_ = false;
};
