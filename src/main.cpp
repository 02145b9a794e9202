// Builds the real platform and hands over to the program's start-up.

#include "app/startup.h"
#include "platform/posix/close_signals.h"
#include "platform/posix/posix_clock.h"
#include "platform/posix/posix_file_system.h"
#include "platform/posix/posix_spool_files.h"
#include "platform/qt/qt_application.h"
#include "platform/qt/qt_desktop.h"
#include "platform/qt/qt_print_system.h"

int main(int argc, char** argv) {
  using namespace quillmark;
  CloseSignals::HoldUntilHandled();
  PosixSpoolFiles::PrepareLeaseBreakSignal();
  const auto application = CreateQtApplication(argc, argv);
  QtDesktop desktop;
  PosixFileSystem files;
  PosixSpoolFiles spoolFiles;
  QtPrintSystem printers;
  PosixClock clock;
  Platform platform{files, spoolFiles, printers, clock, desktop};
  Startup(platform);
}
