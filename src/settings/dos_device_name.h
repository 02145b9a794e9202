#pragma once
// DOS reserves a few file names for its devices: whatever the extension, a DOS program that writes to
// LPT1.PRN or NUL.TXT reaches the device, not the file. A spool file of such a name never receives data.

#include <optional>
#include <string>
#include <string_view>

namespace quillmark {

// True when the base name of `path` (after the last "/" or "\", before the first ".") is a DOS device name.
bool IsDosDeviceName(std::string_view path);

// The Error.log message for a spool file of such a name, naming a writable one in the same folder;
// nothing for a name DOS can write.
std::optional<std::string> DosDeviceNameWarning(std::string_view path);

}  // namespace quillmark
