// Finding a font file for a face name through fontconfig.
#pragma once

#include <string>
#include <vector>

struct FaceLocation {
  std::string file;    // path of the font file
  int index = 0;       // face index within the file
  std::string family;  // the family fontconfig matched
};

// The proportional Japanese Gothic families, in the order they are tried; the window uses the
// same list for its own font.
const std::vector<std::string>& JapaneseGothicFamilies();

// The face for a font name (UTF-8). Proportional Japanese Gothic names — the canvas's default
// "ＭＳ Ｐゴシック" among them — walk a list of such families and take the first one installed
// that covers kana; any other name is used when a family of exactly that name is installed.
// When nothing fits, a sans face. Results are cached; safe to call from several threads.
// Raises Exception when fontconfig finds no font at all.
FaceLocation LocateFace(const std::string& utf8Name);
