#pragma once
// Reads "Settings.ini" once at start-up into the job list. Main thread, before the threads start.

#include "log/error_log.h"
#include "platform/desktop.h"
#include "platform/file_system.h"
#include "spool/program_state.h"

namespace quillmark {

// What a job slot gets when its group leaves a length out, in millimetres. quillmark-render uses them too,
// so that a rendered file looks like the same data printed by the program.
inline constexpr float kDefaultPaperWidth = 210.0f;
inline constexpr float kDefaultPaperHeight = 297.0f;
inline constexpr float kDefaultBorderTop = 10.7f;
inline constexpr float kDefaultBorderLeft = 9.75f;

// Fills state.JobList from "Settings.ini" in the working directory. On a fatal error (no file, no group
// "Main") it logs the error, shows the message box and returns false; the caller then ends the program.
// A missing job group is logged and the list stays without it.
bool SettingsLoader(ProgramState& state, FileSystem& files, const ErrorLog& log, Desktop& desktop);

}  // namespace quillmark
