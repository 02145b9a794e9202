#include "platform/win32/win32_font_table.h"

#include <algorithm>

#include "platform/font_faces.h"

namespace quillmark {

std::wstring_view ChooseWindowsFace(const FontRequest& request) {
  const FontFace face = ChooseFontFace(request);
  // The LaserJet's stand-ins are metric twins of these Windows faces.
  if (face.family == kSansFamily || face.family == "Liberation Sans") return L"Arial";
  if (face.family == kRomanFamily || face.family == "Liberation Serif") return L"Times New Roman";
  return L"Courier New";
}

LOGFONTW MakeLogFont(const FontRequest& request) {
  LOGFONTW font{};
  font.lfHeight = request.height;
  font.lfWidth = request.width;
  font.lfEscapement = request.escapement;
  font.lfOrientation = request.orientation;
  font.lfWeight = request.weight >= 600 ? FW_BOLD : FW_NORMAL;
  font.lfItalic = request.italic;
  font.lfUnderline = request.underline;
  font.lfStrikeOut = request.strikeOut;
  font.lfCharSet = DEFAULT_CHARSET;
  font.lfOutPrecision = OUT_TT_ONLY_PRECIS;
  font.lfClipPrecision = request.clipPrecision;
  font.lfQuality = request.quality;
  font.lfPitchAndFamily = request.pitchAndFamily;
  const std::wstring_view face = ChooseWindowsFace(request);
  std::copy(face.begin(), face.end(), font.lfFaceName);
  return font;
}

Win32FontTable::~Win32FontTable() {
  for (const auto& [handle, font] : fonts_) ::DeleteObject(font.handle);
}

FontHandle Win32FontTable::Create(const FontRequest& request) {
  const LOGFONTW logFont = MakeLogFont(request);
  const HFONT handle = ::CreateFontIndirectW(&logFont);
  if (handle == nullptr) return 0;
  std::lock_guard lock(mutex_);
  const FontHandle id = next_++;
  fonts_[id] = Font{handle, request};
  return id;
}

void Win32FontTable::Delete(FontHandle font) {
  std::lock_guard lock(mutex_);
  const auto found = fonts_.find(font);
  if (found == fonts_.end()) return;
  ::DeleteObject(found->second.handle);
  fonts_.erase(found);
}

std::optional<Win32FontTable::Font> Win32FontTable::Find(FontHandle font) const {
  std::lock_guard lock(mutex_);
  const auto found = fonts_.find(font);
  if (found == fonts_.end()) return std::nullopt;
  return found->second;
}

}  // namespace quillmark
