#include "log/log_sink.h"

#include <cstdio>

namespace quillmark {

void LogSink::Show(std::string_view text) {
  // Written with one call, so that a terminal or a service's journal gets each line whole.
  std::string line(text);
  line.push_back('\n');
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
}

std::string StandardErrorSink::Append(std::string_view, std::string_view) { return {}; }

}  // namespace quillmark
