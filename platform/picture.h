// TPicture's registries of graphic classes: which class loads files of an extension, and which
// reads clipboard data of a format.
#pragma once

#include <memory>
#include <string>

#include "platform/graphic.h"
#include "platform/win_types.h"

// A graphic class as the registries know it: its name and how to make one. Classes are told
// apart by the address of their TGraphicClassInfo, so GraphicClassOf gives one per type.
struct TGraphicClassInfo {
  const char* name;
  std::unique_ptr<TGraphic> (*create)();
};
using TGraphicClass = const TGraphicClassInfo*;

template <class T>
TGraphicClass GraphicClassOf(const char* name) {
  static const TGraphicClassInfo info{name, [] { return std::unique_ptr<TGraphic>(new T()); }};
  return &info;
}

// A file format entry: the class and the description shown in file dialogs.
struct TFileFormat {
  TGraphicClass graphicClass = nullptr;
  std::string description;
};

class TPicture {
 public:
  // Registers graphicClass for files with extension (with or without the leading dot, any
  // case). A later registration of the same extension takes precedence.
  static void RegisterFileFormat(const std::string& extension, const std::string& description,
                                 TGraphicClass graphicClass);
  // Registers graphicClass as the reader of clipboard data in format.
  static void RegisterClipboardFormat(WORD format, TGraphicClass graphicClass);
  // Removes every file-format and clipboard-format entry of graphicClass.
  static void UnregisterGraphicClass(TGraphicClass graphicClass);

  // The entry for an extension (case-insensitive, leading dot optional); an empty entry when
  // none is registered.
  static TFileFormat FileFormat(const std::string& extension);
  // The class registered for a clipboard format, or nullptr.
  static TGraphicClass ClipboardFormatClass(WORD format);
};
