#include "platform/win32/win32_take_file.h"

#include <algorithm>
#include <cstddef>

#include "platform/win32/win32_handle.h"

namespace quillmark {
namespace {

class Win32TakeFile final : public TakeFile {
 public:
  explicit Win32TakeFile(HANDLE file) : file_(file) {}
  ~Win32TakeFile() override {
    if (view_ != nullptr) ::UnmapViewOfFile(view_);
    if (mapping_ != nullptr) ::CloseHandle(mapping_);
  }
  Win32TakeFile(const Win32TakeFile&) = delete;
  Win32TakeFile& operator=(const Win32TakeFile&) = delete;

  std::int64_t Size() override {
    LARGE_INTEGER size{};
    return ::GetFileSizeEx(file_.get(), &size) ? size.QuadPart : -1;
  }

  std::int64_t ReadAt(std::int64_t offset, std::uint8_t* buffer, std::int64_t length) override {
    LARGE_INTEGER at{};
    at.QuadPart = offset;
    if (!::SetFilePointerEx(file_.get(), at, nullptr, FILE_BEGIN)) return -1;
    return ReadFully(file_.get(), buffer, length);
  }

  const std::uint8_t* Map(std::int64_t length) override {
    const std::int64_t size = std::min(length, Size());
    if (view_ != nullptr || size <= 0) return nullptr;
    const auto bytes = static_cast<unsigned long long>(size);
    mapping_ = ::CreateFileMappingW(file_.get(), nullptr, PAGE_READONLY, static_cast<DWORD>(bytes >> 32),
                                    static_cast<DWORD>(bytes), nullptr);
    if (mapping_ == nullptr) return nullptr;
    view_ = ::MapViewOfFile(mapping_, FILE_MAP_READ, 0, 0, static_cast<SIZE_T>(size));
    if (view_ == nullptr) return nullptr;
    mapped_ = static_cast<std::size_t>(size);
    return static_cast<const std::uint8_t*>(view_);
  }

  void Drop(std::int64_t position) override {
    if (view_ == nullptr || position <= 0) return;
    SYSTEM_INFO system{};
    ::GetSystemInfo(&system);
    const std::size_t page = system.dwPageSize;
    const std::size_t whole = std::min(static_cast<std::size_t>(position), mapped_) / page * page;
    if (whole <= dropped_) return;
    // Unlocking pages that were never locked takes them out of the working set; that is all it does here.
    ::VirtualUnlock(static_cast<char*>(view_) + dropped_, whole - dropped_);
    dropped_ = whole;
  }

 private:
  FileHandle file_;
  HANDLE mapping_ = nullptr;
  void* view_ = nullptr;
  std::size_t mapped_ = 0;
  std::size_t dropped_ = 0;
};

}  // namespace

std::unique_ptr<TakeFile> MakeWin32TakeFile(HANDLE file) { return std::make_unique<Win32TakeFile>(file); }

}  // namespace quillmark
