#pragma once
// Text at the Win32 seam. The core's texts are 8-bit; every Win32 call made here is the wide one, so the
// conversion happens once, in these functions. Any thread may call them.

#include <string>
#include <string_view>

namespace quillmark {

// A name read from Settings.ini (a path, a printer): valid UTF-8 as UTF-8, anything else as the Windows
// ANSI code page, the way an editor on that machine would have written it.
std::wstring WideFromSettings(std::string_view text);

// UTF-16 back to UTF-8, for names the core keeps (saved files).
std::string Utf8FromWide(std::wstring_view text);

}  // namespace quillmark
