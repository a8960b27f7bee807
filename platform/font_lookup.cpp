#include "platform/font_lookup.h"

#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/exception.h"

// Fontconfig has no alias for the canvas's default face and maps its name to a fixed-width
// Gothic, so the proportional Gothics are named one by one, that face itself first for systems
// that have it.
const std::vector<std::string>& JapaneseGothicFamilies() {
  static const std::vector<std::string> families = {"ＭＳ Ｐゴシック", "MS PGothic", "IPAPGothic",
                                                    "VL PGothic"};
  return families;
}

namespace {

// A kana: a face without it cannot draw the captions the tool is made for.
constexpr FcChar32 kKanaProbe = 0x3042;

struct PatternDeleter {
  void operator()(FcPattern* p) const { FcPatternDestroy(p); }
};
using PatternPtr = std::unique_ptr<FcPattern, PatternDeleter>;

PatternPtr Match(FcConfig* config, const std::string& family) {
  PatternPtr pattern(FcPatternCreate());
  if (!pattern) return nullptr;
  if (!family.empty()) {
    FcPatternAddString(pattern.get(), FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
  }
  // Regular weight: bold is synthesised from the regular outlines.
  FcPatternAddInteger(pattern.get(), FC_WEIGHT, FC_WEIGHT_REGULAR);
  FcPatternAddInteger(pattern.get(), FC_SLANT, FC_SLANT_ROMAN);
  FcConfigSubstitute(config, pattern.get(), FcMatchPattern);
  FcDefaultSubstitute(pattern.get());
  FcResult result = FcResultNoMatch;
  PatternPtr match(FcFontMatch(config, pattern.get(), &result));
  if (result != FcResultMatch) return nullptr;
  return match;
}

bool HasFamily(FcPattern* match, const std::string& family) {
  FcChar8* name = nullptr;
  for (int i = 0; FcPatternGetString(match, FC_FAMILY, i, &name) == FcResultMatch; ++i) {
    if (FcStrCmpIgnoreCase(name, reinterpret_cast<const FcChar8*>(family.c_str())) == 0)
      return true;
  }
  return false;
}

bool CoversKana(FcPattern* match) {
  FcCharSet* charset = nullptr;
  return FcPatternGetCharSet(match, FC_CHARSET, 0, &charset) == FcResultMatch &&
         FcCharSetHasChar(charset, kKanaProbe);
}

FaceLocation LocationOf(FcPattern* match, const std::string& family) {
  FaceLocation location;
  FcChar8* file = nullptr;
  if (FcPatternGetString(match, FC_FILE, 0, &file) != FcResultMatch) return location;
  location.file = reinterpret_cast<const char*>(file);
  FcPatternGetInteger(match, FC_INDEX, 0, &location.index);
  location.family = family;
  return location;
}

FaceLocation FirstInstalled(FcConfig* config, const std::vector<std::string>& families,
                            bool needKana) {
  for (const std::string& family : families) {
    PatternPtr match = Match(config, family);
    if (match && HasFamily(match.get(), family) && (!needKana || CoversKana(match.get())))
      return LocationOf(match.get(), family);
  }
  return {};
}

FaceLocation Resolve(FcConfig* config, const std::string& name) {
  const auto& gothics = JapaneseGothicFamilies();
  const bool isGothic = std::find(gothics.begin(), gothics.end(), name) != gothics.end();
  FaceLocation location;
  if (!isGothic && !name.empty()) location = FirstInstalled(config, {name}, false);
  if (location.file.empty()) location = FirstInstalled(config, gothics, true);
  if (location.file.empty()) {
    PatternPtr match = Match(config, "sans-serif");
    FcChar8* family = nullptr;
    if (match && FcPatternGetString(match.get(), FC_FAMILY, 0, &family) == FcResultMatch)
      location = LocationOf(match.get(), reinterpret_cast<const char*>(family));
  }
  if (location.file.empty()) throw Exception::FromUtf8("No font found for \"" + name + "\"");
  return location;
}

// The configuration is our own rather than fontconfig's global one, so that it is released at
// exit like every other resource.
struct FontLookup {
  std::mutex mutex;
  FcConfig* config = FcInitLoadConfigAndFonts();
  std::map<std::string, FaceLocation> cache;
  ~FontLookup() {
    if (config) FcConfigDestroy(config);
  }
};

}  // namespace

FaceLocation LocateFace(const std::string& utf8Name) {
  static FontLookup lookup;
  std::lock_guard lock(lookup.mutex);
  auto found = lookup.cache.find(utf8Name);
  if (found != lookup.cache.end()) return found->second;
  if (!lookup.config) throw Exception("Cannot load the font configuration");
  FaceLocation location = Resolve(lookup.config, utf8Name);
  lookup.cache.emplace(utf8Name, location);
  return location;
}
