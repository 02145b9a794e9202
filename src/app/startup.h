#pragma once
// The program's spine: start-up in its fixed order, the event loop, shutdown and the end of the process.

#include "platform/platform.h"

namespace quillmark {

// Runs the program on `platform`; never returns (the process ends in EndProgram with exit code 0).
[[noreturn]] void Startup(Platform& platform);

}  // namespace quillmark
