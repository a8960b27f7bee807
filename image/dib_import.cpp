// Placeholder until import and conversion land.
#include "image/custom_dib.h"
#include "platform/exception.h"

void TVynCustomDIB::Assign(TPersistent* source) { TPersistent::Assign(source); }
void TVynCustomDIB::AssignTo(TPersistent* dest) { TPersistent::AssignTo(dest); }
void TVynCustomInternalDIB::InportBitmap(HBITMAP, HPALETTE) { throw Exception("InportBitmap"); }
void TVynCustomInternalDIB::ConvertImage(int) { throw Exception("ConvertImage"); }
HBITMAP TVynCustomInternalDIB::CreateBMPHandle() { throw Exception("CreateBMPHandle"); }
