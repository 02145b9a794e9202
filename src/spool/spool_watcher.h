#pragma once
// The spool watcher thread: takes the whole content out of each slot's spool file and queues it.

#include "log/error_log.h"
#include "platform/spool_file.h"
#include "spool/program_state.h"

namespace quillmark {

// One pass over the job list under SettingsLock: every non-empty spool file becomes one queued job.
void RunSpoolPass(ProgramState& state, SpoolFiles& files, const ErrorLog& log);

// Thread procedure: passes 200 ms apart until it finds the quit flag set after a pass.
void SpoolWatcher(ProgramState& state, SpoolFiles& files, const ErrorLog& log);

}  // namespace quillmark
