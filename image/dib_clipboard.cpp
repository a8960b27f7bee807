// Placeholder until clipboard exchange and drawing land.
#include "image/custom_dib.h"
#include "platform/exception.h"

void TVynCustomDIB::LoadFromClipboardFormat(WORD, HANDLE, HPALETTE) {
  throw Exception("LoadFromClipboardFormat");
}
void TVynCustomDIB::SaveToClipboardFormat(WORD&, HANDLE&, HPALETTE&) {
  throw Exception("SaveToClipboardFormat");
}
void TVynCustomDIB::Draw(TCanvas&, const TRect&) { throw Exception("Draw"); }
