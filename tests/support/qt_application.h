#pragma once
// The one Qt application object that tests of Qt platform code need (fonts, painting, widgets).

namespace quillmark::testing {

// Creates the QApplication the first time, as the program does (offscreen without a display);
// uses an application that already exists. It lives until the test program ends.
void EnsureQtApplication();

}  // namespace quillmark::testing
