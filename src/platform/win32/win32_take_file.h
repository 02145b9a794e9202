#pragma once

#include <memory>

#include "platform/take_file.h"
#include "platform/win32/windows_api.h"

namespace quillmark {

// A take's file through its handle, which it closes, mapped read-only. While it is mapped the file cannot be
// cut short (Windows refuses), so no mapped page ever lies past its end.
std::unique_ptr<TakeFile> MakeWin32TakeFile(HANDLE file);

}  // namespace quillmark
