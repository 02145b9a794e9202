#pragma once
// GDI fonts made from font requests, kept with the request so that a device knows each font's advance.
// A GDI font is not tied to a device, so fonts outlive devices as the print seam asks. Thread-safe.
//
// Faces: the requests name no Windows face, so ChooseWindowsFace picks one that every Windows has and that
// covers the DOS code page's box drawing and blocks (WGL4): Courier New for fixed pitch, Arial for
// variable pitch, Times New Roman for the variable-pitch Roman typeface. The character set is always
// DEFAULT_CHARSET: text arrives as Unicode, and OEM_CHARSET would make Windows pick the raster Terminal
// font (Wine ignores it altogether).

#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string_view>

#include "platform/print_device.h"
#include "platform/win32/windows_api.h"

namespace quillmark {

std::wstring_view ChooseWindowsFace(const FontRequest& request);

// The LOGFONT for a request; weights between regular and bold ask for regular (printed twice, slightly
// offset, by the device).
LOGFONTW MakeLogFont(const FontRequest& request);

class Win32FontTable {
 public:
  struct Font {
    HFONT handle = nullptr;
    FontRequest request;
  };

  Win32FontTable() = default;
  ~Win32FontTable();
  Win32FontTable(const Win32FontTable&) = delete;
  Win32FontTable& operator=(const Win32FontTable&) = delete;

  FontHandle Create(const FontRequest& request);
  void Delete(FontHandle font);
  std::optional<Font> Find(FontHandle font) const;

 private:
  mutable std::mutex mutex_;
  std::map<FontHandle, Font> fonts_;
  FontHandle next_ = 1;
};

}  // namespace quillmark
