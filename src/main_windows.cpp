// Builds the Win32 platform and hands over to the program's start-up.

#include <iostream>
#include <string_view>
#include <vector>

#include "app/command_line.h"
#include "app/startup.h"
#include "platform/win32/win32_clock.h"
#include "platform/win32/win32_desktop.h"
#include "platform/win32/win32_file_system.h"
#include "platform/win32/win32_instance_lock.h"
#include "platform/win32/win32_log_sink.h"
#include "platform/win32/win32_print_system.h"
#include "platform/win32/win32_spool_files.h"
#include "platform/win32/windows_api.h"

int main(int argc, char** argv) {
  using namespace quillmark;
  const std::vector<std::string_view> arguments(argv + 1, argv + argc);
  if (const auto exitCode = HandleProgramCommandLine(arguments, std::cout, std::cerr)) return *exitCode;
  // 1 ms timer resolution for the whole run, so the threads' delays last their time.
  ::timeBeginPeriod(1);
  const Win32InstanceLock instance;
  Win32Desktop desktop;
  Win32FileSystem files;
  Win32SpoolFiles spoolFiles;
  Win32PrintSystem printers;
  Win32Clock clock;
  Win32LogSink logSink;
  Platform platform{files, spoolFiles, printers, clock, desktop, logSink};
  Startup(platform, instance.Held());
}
