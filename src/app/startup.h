#pragma once
// The program's spine: start-up in its fixed order, the event loop, shutdown and the end of the process.

#include "platform/platform.h"

namespace quillmark {

// Runs the program on `platform`; never returns. The process ends in EndProgram: exit code 0 after
// "Beenden" or a close request, 1 when the start could not work (no usable Settings.ini, or `alone` false:
// another instance holds this working folder, in which case nothing but one log entry is written).
[[noreturn]] void Startup(Platform& platform, bool alone = true);

}  // namespace quillmark
