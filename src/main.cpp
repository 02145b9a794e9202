// Builds the real platform and hands over to the program's start-up.

#include <iostream>
#include <string_view>
#include <vector>

#include "app/command_line.h"
#include "app/startup.h"
#include "platform/posix/close_signals.h"
#include "platform/posix/posix_clock.h"
#include "platform/posix/posix_file_system.h"
#include "platform/posix/posix_instance_lock.h"
#include "platform/posix/posix_log_sink.h"
#include "platform/posix/posix_spool_files.h"
#include "platform/printing/linux_print_system.h"
#include "platform/qt/qt_application.h"
#include "platform/qt/qt_desktop.h"

int main(int argc, char** argv) {
  using namespace quillmark;
  CloseSignals::HoldUntilHandled();
  const std::vector<std::string_view> arguments(argv + 1, argv + argc);
  if (const auto exitCode = HandleProgramCommandLine(arguments, std::cout, std::cerr)) return *exitCode;
  PosixSpoolFiles::PrepareLeaseBreakSignal();
  const PosixInstanceLock instance;
  const auto application = CreateQtApplication(argc, argv);
  QtDesktop desktop;
  PosixFileSystem files;
  PosixSpoolFiles spoolFiles;
  LinuxPrintSystem printers;
  PosixClock clock;
  PosixLogSink logSink;
  Platform platform{files, spoolFiles, printers, clock, desktop, logSink};
  Startup(platform, instance.Held());
}
