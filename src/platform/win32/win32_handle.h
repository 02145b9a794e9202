#pragma once
// A kernel handle closed when it leaves scope.

#include <string>

#include "platform/file_status.h"
#include "platform/win32/windows_api.h"

namespace quillmark {

class FileHandle {
 public:
  explicit FileHandle(HANDLE handle) : handle_(handle) {}
  ~FileHandle() {
    if (valid()) ::CloseHandle(handle_);
  }
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;

  HANDLE get() const { return handle_; }
  bool valid() const { return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr; }

 private:
  HANDLE handle_;
};

// Reads until `length` bytes are in or the file ends; the count read, -1 when nothing could be read.
long long ReadFully(HANDLE file, void* buffer, long long length);
// Writes everything; false on the first failure.
bool WriteFully(HANDLE file, const void* data, std::size_t size);

// The system's words for a Win32 error code, without the trailing full stop and line end.
std::string SystemReason(DWORD error);
// A failure on `path` for `error` (by default the calling thread's last error).
FileStatus LastErrorStatus(std::string path, DWORD error = ::GetLastError());

}  // namespace quillmark
