// The framework's persistent and graphic base classes.
#pragma once

#include <functional>
#include <string>

#include "platform/gdi.h"
#include "platform/win_types.h"

class TStream;
class TCanvas;

class TPersistent {
 public:
  virtual ~TPersistent() = default;

  // Class name for conversion errors.
  virtual const char* ClassName() const { return "TPersistent"; }
  // Copies Source into this object: asks Source to AssignTo this, which raises EConvertError
  // when neither side knows the other.
  virtual void Assign(TPersistent* source);

 protected:
  virtual void AssignTo(TPersistent* dest);
  friend class TPersistentAccess;
};

// Lets a class call AssignTo of another object, as the framework's Assign does.
class TPersistentAccess {
 public:
  static void AssignTo(TPersistent* source, TPersistent* dest) { source->AssignTo(dest); }
};

// A picture of some format that can draw itself and travel through streams, files and the
// clipboard.
class TGraphic : public TPersistent {
 public:
  TGraphic() = default;
  const char* ClassName() const override { return "TGraphic"; }

  virtual void Changed();
  virtual void Draw(TCanvas& canvas, const TRect& rect) = 0;
  // True when both hold the same picture (compared through SaveToStream).
  virtual bool Equals(TGraphic* graphic);
  virtual bool GetEmpty() = 0;
  virtual int GetHeight() = 0;
  virtual HPALETTE GetPalette() { return nullptr; }
  virtual bool GetTransparent() { return transparent_; }
  virtual int GetWidth() = 0;
  virtual void ReadData(TStream& stream);
  virtual void SetHeight(int value) = 0;
  virtual void SetPalette(HPALETTE) {}
  virtual void SetTransparent(bool value);
  virtual void SetWidth(int value) = 0;
  virtual void WriteData(TStream& stream);
  // Opens the file for reading with deny-write sharing and loads it.
  virtual void LoadFromFile(const std::string& fileName);
  // Creates the file (replacing one that exists) and saves into it.
  virtual void SaveToFile(const std::string& fileName);
  virtual void LoadFromStream(TStream& stream) = 0;
  virtual void SaveToStream(TStream& stream) = 0;
  virtual void LoadFromClipboardFormat(WORD format, HANDLE data, HPALETTE palette) = 0;
  virtual void SaveToClipboardFormat(WORD& format, HANDLE& data, HPALETTE& palette) = 0;

  bool Empty() { return GetEmpty(); }
  bool Modified() const { return modified_; }
  void SetModified(bool value) { modified_ = value; }
  bool PaletteModified() const { return paletteModified_; }
  void SetPaletteModified(bool value) { paletteModified_ = value; }
  // Called by Changed, after Modified is set.
  std::function<void(TGraphic*)> OnChange;

 private:
  bool modified_ = false;
  bool paletteModified_ = false;
  bool transparent_ = false;
};

// A graphic class of the library's own; adds no behaviour.
class TLmGraphic : public TGraphic {
 public:
  const char* ClassName() const override { return "TLmGraphic"; }
};
