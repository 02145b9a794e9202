#include "support/qt_application.h"

#include <QApplication>

#include "platform/qt/qt_application.h"

namespace quillmark::testing {

void EnsureQtApplication() {
  static int argc = 1;
  static char name[] = "quillmark_tests";
  static char* argv[] = {name, nullptr};
  // Never destroyed: tests in any order may still use fonts at the end of the program.
  if (QCoreApplication::instance() == nullptr) CreateQtApplication(argc, argv).release();
}

}  // namespace quillmark::testing
