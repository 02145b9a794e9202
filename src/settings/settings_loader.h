#pragma once
// Reads "Settings.ini" once at start-up into the job list. Main thread, before the threads start.

#include "log/error_log.h"
#include "platform/desktop.h"
#include "platform/file_system.h"
#include "settings/paper.h"
#include "spool/program_state.h"

namespace quillmark {

// Defaults of a job slot's keys, also used by the tools that print without a "Settings.ini".
inline constexpr float kDefaultPaperWidth = kA4Width;    // "Paper.Width", mm
inline constexpr float kDefaultPaperHeight = kA4Height;  // "Paper.Height", mm
inline constexpr float kDefaultBorderTop = 10.7f;     // "Border.Top", mm
inline constexpr float kDefaultBorderLeft = 9.75f;    // "Border.Left", mm

// Fills state.JobList from "Settings.ini" in the working directory. On a fatal error (no file, no group
// "Main") it logs the error, shows the message box and returns false; the caller then ends the program.
// A missing job group is logged and the list stays without it.
bool SettingsLoader(ProgramState& state, FileSystem& files, const ErrorLog& log, Desktop& desktop);

}  // namespace quillmark
