#pragma once
// Reads up to `length` bytes at `offset`, through interruptions and short reads.

#include <errno.h>
#include <unistd.h>

#include <cstdint>

namespace quillmark {

// The bytes read: fewer at the end of the file, -1 when the first read fails.
inline std::int64_t ReadAt(int fd, std::int64_t offset, std::uint8_t* buffer, std::int64_t length) {
  std::int64_t done = 0;
  while (done < length) {
    const ssize_t got = ::pread(fd, buffer + done, static_cast<std::size_t>(length - done), offset + done);
    if (got < 0) {
      if (errno == EINTR) continue;
      return done > 0 ? done : -1;
    }
    if (got == 0) break;
    done += got;
  }
  return done;
}

}  // namespace quillmark
