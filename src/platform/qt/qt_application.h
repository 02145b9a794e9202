#pragma once
// The one QApplication of the process, made so that it starts with or without a display.

#include <QApplication>
#include <memory>

namespace quillmark {

// Chooses the Qt platform before construction (an X or Wayland display when one is named, falling back to
// the offscreen platform; offscreen when none is), silences the fallback noise, ignores SIGPIPE and keeps the
// application running without visible windows. `argc` and `argv` must outlive the application.
// Call on the main thread before any other thread starts.
std::unique_ptr<QApplication> CreateQtApplication(int& argc, char** argv);

// True when the application runs without a screen (offscreen or minimal platform).
bool IsHeadless();

}  // namespace quillmark
