// One field's input-method composition. While the user is still composing (preedit text shown),
// nothing may open a box or rewrite the field: a box takes the focus from the input method and a
// rewrite lands in the middle of its text. A change made while a composition is open is held back
// and reported once the composition ends.
#pragma once

#include <QInputMethodEvent>

class TComposition {
 public:
  // Before the field handles event, so the changes it makes are judged by the state it leaves.
  void Update(const QInputMethodEvent& event) { open_ = !event.preeditString().isEmpty(); }
  bool Open() const { return open_; }

  // A change of the field's text: true when it may be acted on now, false when it is held back.
  bool Change() {
    held_ = held_ || open_;
    return !open_;
  }

  // After the field handled an event: true once when a held change is due.
  bool Ended() {
    if (open_ || !held_) return false;
    held_ = false;
    return true;
  }

 private:
  bool open_ = false;
  bool held_ = false;
};
