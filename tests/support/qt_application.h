#pragma once
// The one Qt application object that tests of Qt platform code need (fonts, painting, widgets).

namespace quillmark::testing {

// Creates a headless QApplication the first time (offscreen unless QT_QPA_PLATFORM says otherwise);
// uses an application that already exists. It lives until the test program ends.
void EnsureQtApplication();

}  // namespace quillmark::testing
