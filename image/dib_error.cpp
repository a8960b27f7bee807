#include "image/dib_error.h"

void RaiseDIBError(const char* method, const char* fault) {
  throw EVynCustomDIB(AnsiString(method) + ": " + AnsiString(fault));
}
