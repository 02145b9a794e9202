#include "support/qt_application.h"

#include <QApplication>

#include "platform/qt/qt_application.h"

namespace quillmark::testing {

void EnsureQtApplication() {
  if (QCoreApplication::instance() != nullptr) return;
  static int argc = 1;
  static char name[] = "quillmark_tests";
  static char* argv[] = {name, nullptr};
  // Never destroyed: tests in any order may still use fonts at the end of the program.
  static QApplication* application = CreateQtApplication(argc, argv).release();
  (void)application;
}

}  // namespace quillmark::testing
