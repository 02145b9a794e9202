#pragma once
// Every platform service the core uses, built by main() and passed in.

#include "log/log_sink.h"
#include "platform/clock.h"
#include "platform/desktop.h"
#include "platform/file_system.h"
#include "platform/print_device.h"
#include "platform/spool_file.h"

namespace quillmark {

struct Platform {
  FileSystem& files;
  SpoolFiles& spoolFiles;
  PrintSystem& printers;
  const Clock& clock;
  Desktop& desktop;
  LogSink& logSink;  // the error log's Error.log and standard error
};

}  // namespace quillmark
