// Placeholder until BMP streams land.
#include "image/custom_dib.h"
#include "platform/exception.h"

void TVynCustomDIB::LoadFromStream(TStream&) { throw Exception("LoadFromStream"); }
void TVynCustomDIB::SaveToStream(TStream&) { throw Exception("SaveToStream"); }
void TVynCustomDIB::RectSaveToStream(TStream&, int, int, int, int) {
  throw Exception("RectSaveToStream");
}
void TVynCustomDIB::RectSaveToFile(const std::string&, int, int, int, int) {
  throw Exception("RectSaveToFile");
}
