#include "support/qt_application.h"

#include <QApplication>

namespace quillmark::testing {

void EnsureQtApplication() {
  if (QCoreApplication::instance() != nullptr) return;
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  static int argc = 1;
  static char name[] = "quillmark_tests";
  static char* argv[] = {name, nullptr};
  // Never destroyed: tests in any order may still use fonts at the end of the program.
  static QApplication* application = new QApplication(argc, argv);
  (void)application;
}

}  // namespace quillmark::testing
