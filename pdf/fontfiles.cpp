#include "pdf/fontfiles.h"

#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <cctype>
#include <memory>

namespace vantorel::pdf {

namespace {

std::string Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return s;
}

// Whether one of the font's family names is family.
bool HasFamily(FcPattern* font, const std::string& family) {
  FcChar8* name = nullptr;
  for (int i = 0; FcPatternGetString(font, FC_FAMILY, i, &name) == FcResultMatch; ++i)
    if (Lower(reinterpret_cast<const char*>(name)) == family) return true;
  return false;
}

// The font's file, when libharu can read it: TrueType outlines, and a plain
// face number (no variable instance in the high bits).
std::optional<FontFile> TrueTypeFile(FcPattern* font) {
  FcChar8* format = nullptr;
  FcChar8* file = nullptr;
  int index = 0;
  if (FcPatternGetString(font, FC_FONTFORMAT, 0, &format) != FcResultMatch ||
      std::string(reinterpret_cast<const char*>(format)) != "TrueType" ||
      FcPatternGetString(font, FC_FILE, 0, &file) != FcResultMatch)
    return std::nullopt;
  if (FcPatternGetInteger(font, FC_INDEX, 0, &index) != FcResultMatch) index = 0;
  if (index < 0 || index > 0xFFFF) return std::nullopt;
  return FontFile{reinterpret_cast<const char*>(file), static_cast<unsigned>(index)};
}

}  // namespace

std::vector<std::string> FamiliesFor(const platform::FontSpec& face) {
  const std::string family = Lower(face.name);
  // Liberation Mono has Courier New's widths, so the list's columns keep the
  // room they were laid out with.
  if (family == "courier new" || family == "courier")
    return {"liberation mono", "courier new", "dejavu sans mono", "monospace"};
  // Captions under 7 pt share their line with other text: a narrow face.
  if (face.size > 0 && face.size < 7)
    return {"nimbus sans narrow", "dejavu sans condensed", "liberation sans", "sans-serif"};
  return {"dejavu sans condensed", "liberation sans", "dejavu sans", "sans-serif"};
}

std::optional<FontFile> FindFontFile(const platform::FontSpec& face) {
  if (!FcInit()) return std::nullopt;
  const std::vector<std::string> families = FamiliesFor(face);
  for (const std::string& family : families) {
    const std::unique_ptr<FcPattern, decltype(&FcPatternDestroy)> want(FcPatternCreate(), FcPatternDestroy);
    if (!want) return std::nullopt;
    FcPatternAddString(want.get(), FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    FcPatternAddInteger(want.get(), FC_WEIGHT, face.bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(want.get(), FC_SLANT, face.italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(want.get(), FC_SCALABLE, FcTrue);
    FcConfigSubstitute(nullptr, want.get(), FcMatchPattern);
    FcDefaultSubstitute(want.get());
    // Every installed font, nearest first: the first TrueType one of this
    // family (of any family for the generic name) is the face.
    FcResult result = FcResultNoMatch;
    const std::unique_ptr<FcFontSet, decltype(&FcFontSetDestroy)> fonts(FcFontSort(nullptr, want.get(), FcFalse,
                                                                                   nullptr, &result),
                                                                        FcFontSetDestroy);
    const bool generic = &family == &families.back();
    for (int i = 0; fonts && i < fonts->nfont; ++i) {
      FcPattern* font = fonts->fonts[i];
      if (!generic && !HasFamily(font, family)) continue;
      if (auto file = TrueTypeFile(font)) return file;
    }
  }
  return std::nullopt;
}

}  // namespace vantorel::pdf
