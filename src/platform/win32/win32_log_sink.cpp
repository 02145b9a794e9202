#include "platform/win32/win32_log_sink.h"

#include <aclapi.h>

#include <memory>

#include "platform/win32/win32_handle.h"
#include "platform/win32/win32_text.h"

namespace quillmark {
namespace {

constexpr DWORD kAccess = FILE_APPEND_DATA | FILE_READ_ATTRIBUTES | READ_CONTROL;
constexpr DWORD kShare = FILE_SHARE_READ | FILE_SHARE_WRITE;

// True when the object behind `handle` is owned by the user this process runs as.
bool OwnedByProcessUser(HANDLE handle) {
  PSID owner = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (::GetSecurityInfo(handle, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr, nullptr,
                        &descriptor) != ERROR_SUCCESS) {
    return false;
  }
  HANDLE token = nullptr;
  bool own = false;
  if (::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) {
    DWORD size = 0;
    ::GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    const auto buffer = std::make_unique<unsigned char[]>(size);
    if (::GetTokenInformation(token, TokenUser, buffer.get(), size, &size)) {
      own = ::EqualSid(reinterpret_cast<TOKEN_USER*>(buffer.get())->User.Sid, owner) != 0;
    }
    ::CloseHandle(token);
  }
  ::LocalFree(descriptor);
  return own;
}

// The existing file without following a link, a new one made exclusively, or the target of a link of the
// process's own user. An invalid handle with `reason` otherwise.
HANDLE OpenLog(const std::wstring& path, std::string& reason) {
  for (int round = 0; round < 2; ++round) {
    const HANDLE file = ::CreateFileW(path.c_str(), kAccess, kShare, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
      if (::GetLastError() != ERROR_FILE_NOT_FOUND) break;
      const HANDLE created =
          ::CreateFileW(path.c_str(), kAccess, kShare, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
      if (created != INVALID_HANDLE_VALUE || ::GetLastError() != ERROR_FILE_EXISTS) return created;
      continue;  // made by another writer meanwhile
    }
    BY_HANDLE_FILE_INFORMATION info{};
    const bool known = ::GetFileInformationByHandle(file, &info) != 0;
    if (known && (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) return file;
    const DWORD error = ::GetLastError();
    const bool own = known && OwnedByProcessUser(file);
    ::CloseHandle(file);
    if (!known) {
      reason = SystemReason(error);
    } else if (!own) {
      reason = "Verknuepfung eines anderen Benutzers";
    } else {
      return ::CreateFileW(path.c_str(), kAccess, kShare, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                           nullptr);
    }
    return INVALID_HANDLE_VALUE;
  }
  return INVALID_HANDLE_VALUE;
}

}  // namespace

std::string Win32LogSink::Append(std::string_view headerIfEmpty, std::string_view entry) {
  std::string reason;
  FileHandle file(OpenLog(WideFromSettings(path_), reason));
  if (!file.valid()) return reason.empty() ? SystemReason(::GetLastError()) : reason;
  if (::GetFileType(file.get()) != FILE_TYPE_DISK) return "keine gewoehnliche Datei";
  OVERLAPPED whole{};
  if (!::LockFileEx(file.get(), LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &whole)) {
    return SystemReason(::GetLastError());
  }
  // The size is looked at under the lock, so exactly one writer sees the empty file and writes the header.
  LARGE_INTEGER size{};
  std::string text;
  if (::GetFileSizeEx(file.get(), &size) && size.QuadPart == 0) text.append(headerIfEmpty);
  text.append(entry);
  if (!WriteFully(file.get(), text.data(), text.size())) reason = SystemReason(::GetLastError());
  ::UnlockFileEx(file.get(), 0, MAXDWORD, MAXDWORD, &whole);
  return reason;
}

}  // namespace quillmark
