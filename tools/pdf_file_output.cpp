#include "pdf_file_output.h"

#include <cstdio>

namespace quillmark {

bool CopyToStandardOutput(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return false;
  char buffer[1 << 16];
  std::size_t got = 0;
  bool written = true;
  while (written && (got = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
    written = std::fwrite(buffer, 1, got, stdout) == got;
  }
  written = written && std::ferror(file) == 0 && std::fflush(stdout) == 0;
  std::fclose(file);
  return written;
}

}  // namespace quillmark
