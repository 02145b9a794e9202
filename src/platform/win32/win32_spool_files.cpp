#include "platform/win32/win32_spool_files.h"

#include "platform/win32/win32_handle.h"
#include "platform/win32/win32_text.h"
#include "platform/win32/windows_api.h"

namespace quillmark {
namespace {

constexpr const char* kChanged = "changed since it was read";

class Win32SpoolFile final : public SpoolFile {
 public:
  explicit Win32SpoolFile(HANDLE file) : file_(file) {}

  std::int64_t Size() override {
    LARGE_INTEGER size{};
    return ::GetFileSizeEx(file_.get(), &size) ? size.QuadPart : -1;
  }

  std::int64_t Read(std::int64_t offset, std::uint8_t* buffer, std::int64_t length) override {
    if (!Seek(offset)) return -1;
    return ReadFully(file_.get(), buffer, length);
  }

  FileStatus Empty(std::int64_t readSize) override {
    if (Size() != readSize) return FileStatus::Failed({}, kChanged);
    if (!Rewind() || !::SetEndOfFile(file_.get())) return LastErrorStatus({});
    return FileStatus::Done();
  }

 private:
  bool Rewind() { return Seek(0); }
  bool Seek(std::int64_t offset) {
    LARGE_INTEGER start{};
    start.QuadPart = offset;
    return ::SetFilePointerEx(file_.get(), start, nullptr, FILE_BEGIN);
  }

  FileHandle file_;
};

}  // namespace

std::unique_ptr<SpoolFile> Win32SpoolFiles::Open(const std::string& path, SpoolNotice& notice) {
  notice = SpoolNotice::kNone;
  const std::wstring widePath = WideFromSettings(path);
  const DWORD attributes = ::GetFileAttributesW(widePath.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    notice = SpoolNotice::kNotRegular;
    return nullptr;
  }
  // A symbolic link or junction lets whoever made it choose the file; never followed.
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    notice = SpoolNotice::kLinked;
    return nullptr;
  }
  const HANDLE file = ::CreateFileW(widePath.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    if (::GetLastError() == ERROR_SHARING_VIOLATION) notice = SpoolNotice::kInUse;
    return nullptr;
  }
  // A device or pipe under the name (LPT1, NUL, a named pipe) is no spool file.
  if (::GetFileType(file) != FILE_TYPE_DISK) {
    ::CloseHandle(file);
    notice = SpoolNotice::kNotRegular;
    return nullptr;
  }
  // A second name (hard link) may be another user's file that they want read out and emptied.
  BY_HANDLE_FILE_INFORMATION info{};
  if (::GetFileInformationByHandle(file, &info) &&
      (info.nNumberOfLinks > 1 || (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0)) {
    ::CloseHandle(file);
    notice = SpoolNotice::kLinked;
    return nullptr;
  }
  return std::make_unique<Win32SpoolFile>(file);
}

}  // namespace quillmark
