// Builds the real platform and hands over to the program's start-up.

#include "app/startup.h"
#include "platform/posix/posix_clock.h"
#include "platform/posix/posix_file_system.h"
#include "platform/posix/posix_spool_files.h"
#include "platform/printing/linux_print_system.h"
#include "platform/qt/qt_application.h"
#include "platform/qt/qt_desktop.h"

int main(int argc, char** argv) {
  using namespace quillmark;
  PosixSpoolFiles::PrepareLeaseBreakSignal();
  const auto application = CreateQtApplication(argc, argv);
  QtDesktop desktop;
  PosixFileSystem files;
  PosixSpoolFiles spoolFiles;
  LinuxPrintSystem printers;
  PosixClock clock;
  Platform platform{files, spoolFiles, printers, clock, desktop};
  Startup(platform);
}
