#pragma once
// A file's change stamp: device, inode, size and change time, as text for a file name ([0-9a-f.]).
// Header-only, shared by the file system and the spool files.

#include <sys/stat.h>
#include <time.h>

#include <cstdio>
#include <string>

namespace quillmark {

inline std::string ChangeStampOf(const struct stat& st) {
  char text[96];
  std::snprintf(text, sizeof text, "%llx.%llx.%llx.%llx.%lx", static_cast<unsigned long long>(st.st_dev),
                static_cast<unsigned long long>(st.st_ino), static_cast<unsigned long long>(st.st_size),
                static_cast<unsigned long long>(st.st_ctim.tv_sec),
                static_cast<unsigned long>(st.st_ctim.tv_nsec));
  return text;
}

// Waits until the kernel's coarse clock, which stamps file changes, has moved past `st`'s change time, so
// that the next change of the file gets a later one. A few milliseconds at most.
inline void WaitPastChangeTime(const struct stat& st) {
  for (int round = 0; round < 100; ++round) {
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME_COARSE, &now);
    if (now.tv_sec > st.st_ctim.tv_sec ||
        (now.tv_sec == st.st_ctim.tv_sec && now.tv_nsec > st.st_ctim.tv_nsec)) {
      return;
    }
    const timespec pause{0, 1000000};
    ::nanosleep(&pause, nullptr);
  }
}

}  // namespace quillmark
