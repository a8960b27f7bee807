#include "app/caption_window.h"

void CaptionWindow::DeleteDescriptionLinesFrom(int index) {
  for (int count = DescriptionLineCount(); count > index;) {
    DeleteDescriptionLine(index);
    const int left = DescriptionLineCount();
    if (left >= count) break;  // a field that refuses to shrink must not hang the command
    count = left;
  }
}
