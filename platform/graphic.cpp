#include "platform/graphic.h"

#include "platform/exception.h"
#include "platform/stream.h"

void TPersistent::Assign(TPersistent* source) {
  if (source == nullptr) AssignError("nil", ClassName());
  TPersistentAccess::AssignTo(source, this);
}

void TPersistent::AssignTo(TPersistent* dest) {
  AssignError(ClassName(), dest->ClassName());
}

void TGraphic::Changed() {
  modified_ = true;
  if (OnChange) OnChange(this);
}

bool TGraphic::Equals(TGraphic* graphic) {
  if (graphic == nullptr) return false;
  if (graphic == this) return true;
  if (GetEmpty() || graphic->GetEmpty()) return GetEmpty() == graphic->GetEmpty();
  TMemoryStream mine, theirs;
  SaveToStream(mine);
  graphic->SaveToStream(theirs);
  return mine.Bytes() == theirs.Bytes();
}

void TGraphic::ReadData(TStream& stream) {
  LoadFromStream(stream);
}

void TGraphic::WriteData(TStream& stream) {
  SaveToStream(stream);
}

void TGraphic::SetTransparent(bool value) {
  if (value == transparent_) return;
  transparent_ = value;
  Changed();
}

void TGraphic::LoadFromFile(const std::string& fileName) {
  TFileStream stream(fileName, fmOpenRead | fmShareDenyWrite);
  LoadFromStream(stream);
}

void TGraphic::SaveToFile(const std::string& fileName) {
  TFileStream stream(fileName, fmCreate);
  SaveToStream(stream);
}
