#include "platform/win32/win32_file_system.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <utility>

#include "platform/win32/win32_handle.h"
#include "platform/win32/win32_take_file.h"
#include "platform/win32/win32_text.h"

namespace quillmark {
namespace {

std::wstring TimeName(const LocalTime& t, unsigned number) {
  wchar_t name[64];
  std::swprintf(name, 64, L"%04d%02d%02d-%02d%02d%02d-%03u.prn", t.year, t.month, t.day, t.hour, t.minute,
                t.second, number);
  return name;
}

bool IsDiskFile(HANDLE file) { return ::GetFileType(file) == FILE_TYPE_DISK; }

std::wstring FolderOf(const std::wstring& path) {
  const std::size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

std::wstring FolderPrefix(const std::wstring& folder) {
  return folder.empty() || folder.back() == L'\\' || folder.back() == L'/' ? folder : folder + L"\\";
}

// Never replaces a file; the new name is on the disk when it returns.
bool MoveNoReplace(const std::wstring& from, const std::wstring& to) {
  return ::MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_WRITE_THROUGH) != 0;
}

}  // namespace

std::string SystemReason(DWORD error) {
  char* text = nullptr;
  const DWORD length = ::FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
      error, 0, reinterpret_cast<char*>(&text), 0, nullptr);
  std::string reason = length > 0 && text != nullptr ? std::string(text, length) : std::string();
  if (text != nullptr) ::LocalFree(text);
  while (!reason.empty() &&
         (reason.back() == '\n' || reason.back() == '\r' || reason.back() == ' ' || reason.back() == '.')) {
    reason.pop_back();
  }
  return reason.empty() ? "error " + std::to_string(error) : reason;
}

FileStatus LastErrorStatus(std::string path, DWORD error) {
  return FileStatus::Failed(std::move(path), SystemReason(error));
}

long long ReadFully(HANDLE file, void* buffer, long long length) {
  long long done = 0;
  auto* bytes = static_cast<unsigned char*>(buffer);
  while (done < length) {
    const long long left = length - done;
    const DWORD chunk = left > (1 << 30) ? (1u << 30) : static_cast<DWORD>(left);
    DWORD got = 0;
    if (!::ReadFile(file, bytes + done, chunk, &got, nullptr)) return done > 0 ? done : -1;
    if (got == 0) break;
    done += got;
  }
  return done;
}

bool WriteFully(HANDLE file, const void* data, std::size_t size) {
  const auto* bytes = static_cast<const unsigned char*>(data);
  while (size > 0) {
    const DWORD chunk = size > (1u << 30) ? (1u << 30) : static_cast<DWORD>(size);
    DWORD written = 0;
    if (!::WriteFile(file, bytes, chunk, &written, nullptr) || written == 0) return false;
    bytes += written;
    size -= written;
  }
  return true;
}

bool MakeFolders(const std::wstring& folder) {
  if (folder.empty()) return true;
  for (std::size_t end = folder.find_first_of(L"\\/", 1);; end = folder.find_first_of(L"\\/", end + 1)) {
    const std::wstring part = folder.substr(0, end);
    // Drive roots ("C:") and existing folders fail with a harmless error.
    if (!part.empty() && part.back() != L':') ::CreateDirectoryW(part.c_str(), nullptr);
    if (end == std::wstring::npos) break;
  }
  const DWORD attributes = ::GetFileAttributesW(folder.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

FileStatus Win32FileSystem::ReadWholeFile(const std::string& path, std::string& contents) {
  contents.clear();
  FileHandle file(::CreateFileW(WideFromSettings(path).c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) return LastErrorStatus(path);
  if (!IsDiskFile(file.get())) return LastErrorStatus(path, ERROR_BAD_FILE_TYPE);
  // Read to the end rather than trusting the size: the file may change while it is read.
  char buffer[65536];
  for (;;) {
    DWORD got = 0;
    if (!::ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr)) {
      contents.clear();
      return LastErrorStatus(path);
    }
    if (got == 0) return FileStatus::Done();
    contents.append(buffer, got);
  }
}

FileStatus Win32FileSystem::SaveNewFile(const std::string& folder, const std::uint8_t* data,
                                        std::size_t size) {
  const std::wstring wideFolder = WideFromSettings(folder);
  if (!MakeFolders(wideFolder)) return LastErrorStatus(folder);
  const std::wstring prefix = FolderPrefix(wideFolder);
  const LocalTime now = clock_->Now();
  for (unsigned number = 1; number < 1000000; ++number) {
    const std::wstring path = prefix + TimeName(now, number);
    FileStatus status = FileStatus::Done(Utf8FromWide(path));
    {
      FileHandle file(
          ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
      if (!file.valid()) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) continue;
        return LastErrorStatus(Utf8FromWide(path), error);
      }
      if (!WriteFully(file.get(), data, size) || !::FlushFileBuffers(file.get())) {
        const DWORD error = ::GetLastError();
        status = LastErrorStatus(Utf8FromWide(path), error);
      }
    }
    if (!status.ok()) ::DeleteFileW(path.c_str());
    return status;
  }
  return LastErrorStatus(folder, ERROR_FILE_EXISTS);
}

FileStatus Win32FileSystem::WriteNewFile(const std::string& path, const std::uint8_t* data,
                                         std::size_t size) {
  return CopyNewFile(path, size, [data](std::uint8_t* block, std::size_t length, std::uint64_t offset) {
    std::copy_n(data + offset, length, block);
    return true;
  });
}

FileStatus Win32FileSystem::CopyNewFile(const std::string& path, std::uint64_t size,
                                        const BlockSource& source) {
  constexpr std::size_t kBlock = 1 << 20;  // takes are copied a block at a time, never whole
  const std::wstring widePath = WideFromSettings(path);
  if (!MakeFolders(FolderOf(widePath))) return LastErrorStatus(path);
  FileStatus status = FileStatus::Done(path);
  {
    FileHandle file(::CreateFileW(widePath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) return LastErrorStatus(path);
    std::unique_ptr<std::uint8_t[]> block(new std::uint8_t[std::min<std::uint64_t>(kBlock, size)]);
    for (std::uint64_t offset = 0; offset < size && status.ok();) {
      const auto length = static_cast<std::size_t>(std::min<std::uint64_t>(kBlock, size - offset));
      if (!source(block.get(), length, offset)) {
        status = FileStatus::Failed(path, "its source cannot be read");
      } else if (!WriteFully(file.get(), block.get(), length)) {
        status = LastErrorStatus(path);
      }
      offset += length;
    }
  }
  if (!status.ok()) ::DeleteFileW(widePath.c_str());
  return status;
}

FileStatus Win32FileSystem::OpenTake(const std::string& path, std::unique_ptr<TakeFile>& take) {
  // Shared with every other opener, so that the take can be flushed, renamed and removed while it prints.
  const HANDLE file = ::CreateFileW(WideFromSettings(path).c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return LastErrorStatus(path);
  if (!IsDiskFile(file)) {
    ::CloseHandle(file);
    return LastErrorStatus(path, ERROR_BAD_FILE_TYPE);
  }
  take = MakeWin32TakeFile(file);
  return FileStatus::Done(path);
}

FileStatus Win32FileSystem::FlushToDisk(const std::string& path) {
  // FlushFileBuffers needs write access; others may read the file meanwhile.
  FileHandle file(::CreateFileW(WideFromSettings(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) return LastErrorStatus(path);
  if (!IsDiskFile(file.get())) return LastErrorStatus(path, ERROR_BAD_FILE_TYPE);
  return ::FlushFileBuffers(file.get()) ? FileStatus::Done() : LastErrorStatus(path);
}

FileStatus Win32FileSystem::MoveToNewFile(const std::string& path, const std::string& folder) {
  const std::wstring wideFolder = WideFromSettings(folder);
  if (!MakeFolders(wideFolder)) return LastErrorStatus(folder);
  const std::wstring from = WideFromSettings(path);
  const std::wstring prefix = FolderPrefix(wideFolder);
  const LocalTime now = clock_->Now();
  for (unsigned number = 1; number < 1000000; ++number) {
    const std::wstring target = prefix + TimeName(now, number);
    if (MoveNoReplace(from, target)) return FileStatus::Done(Utf8FromWide(target));
    const DWORD error = ::GetLastError();
    if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) return LastErrorStatus(path, error);
  }
  return LastErrorStatus(folder, ERROR_FILE_EXISTS);
}

FileStatus Win32FileSystem::Rename(const std::string& path, const std::string& target) {
  return MoveNoReplace(WideFromSettings(path), WideFromSettings(target)) ? FileStatus::Done()
                                                                         : LastErrorStatus(path);
}

FileStatus Win32FileSystem::RemoveDurably(const std::string& path) {
  const std::wstring widePath = WideFromSettings(path);
  if (::DeleteFileW(widePath.c_str())) return FileStatus::Done();
  const DWORD error = ::GetLastError();
  if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return FileStatus::Done();
  return LastErrorStatus(path, error);
}

FileStatus Win32FileSystem::ListFiles(const std::string& folder, std::vector<std::string>& names) {
  names.clear();
  const std::wstring pattern = FolderPrefix(WideFromSettings(folder.empty() ? "." : folder)) + L"*";
  WIN32_FIND_DATAW found{};
  const HANDLE search = ::FindFirstFileW(pattern.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) {
    const DWORD error = ::GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return FileStatus::Done();
    return LastErrorStatus(folder, error);
  }
  do {
    constexpr DWORD kNotPlain =
        FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE;
    if ((found.dwFileAttributes & kNotPlain) == 0) names.push_back(Utf8FromWide(found.cFileName));
  } while (::FindNextFileW(search, &found));
  ::FindClose(search);
  std::sort(names.begin(), names.end());
  return FileStatus::Done();
}

}  // namespace quillmark
