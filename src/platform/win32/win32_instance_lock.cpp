#include "platform/win32/win32_instance_lock.h"

#include <cstdint>
#include <cwctype>
#include <string>

namespace quillmark {
namespace {

// FNV-1a over the folder's case-folded path: the same folder gives the same name in every process.
std::uint64_t FolderHash(const std::wstring& folder) {
  std::uint64_t hash = 14695981039346656037ull;
  for (const wchar_t c : folder) {
    hash ^= static_cast<std::uint64_t>(std::towlower(static_cast<wint_t>(c)));
    hash *= 1099511628211ull;
  }
  return hash;
}

}  // namespace

Win32InstanceLock::Win32InstanceLock() {
  wchar_t folder[32768];
  const DWORD length = ::GetCurrentDirectoryW(32768, folder);
  if (length == 0 || length >= 32768) return;  // cannot tell: run as before
  const std::wstring name = L"Local\\Quillmark-" + std::to_wstring(FolderHash(std::wstring(folder, length)));
  mutex_ = ::CreateMutexW(nullptr, TRUE, name.c_str());
  if (mutex_ != nullptr && ::GetLastError() == ERROR_ALREADY_EXISTS) held_ = false;
}

Win32InstanceLock::~Win32InstanceLock() {
  if (mutex_ != nullptr) ::CloseHandle(mutex_);
}

}  // namespace quillmark
