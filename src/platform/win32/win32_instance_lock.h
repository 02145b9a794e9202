#pragma once
// One running program per working folder: a named mutex derived from the folder's full path (case folded,
// hashed), owned for the process's life; Windows frees it when the process ends, however it ends.

#include "platform/win32/windows_api.h"

namespace quillmark {

class Win32InstanceLock {
 public:
  Win32InstanceLock();
  ~Win32InstanceLock();
  Win32InstanceLock(const Win32InstanceLock&) = delete;
  Win32InstanceLock& operator=(const Win32InstanceLock&) = delete;
  // False when another process in this folder holds it.
  bool Held() const { return held_; }

 private:
  HANDLE mutex_ = nullptr;
  bool held_ = true;
};

}  // namespace quillmark
