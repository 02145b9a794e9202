#pragma once
// The spool watcher thread: takes the whole content out of each slot's spool file and queues it.

#include <set>
#include <string>

#include "log/error_log.h"
#include "platform/spool_file.h"
#include "spool/program_state.h"

namespace quillmark {

// What the watcher keeps from one pass to the next: the problems already logged, so that a spool file
// that cannot be taken is reported once per run and not every 200 ms. Watcher thread only.
struct SpoolWatcherMemory {
  std::set<std::string> Reported;
};

// One pass over the job list under SettingsLock: every non-empty spool file becomes one queued job.
// A file that cannot be taken whole (too large, no memory, read error) is left exactly as it is.
void RunSpoolPass(ProgramState& state, SpoolFiles& files, const ErrorLog& log, SpoolWatcherMemory& memory);
// The same with nothing remembered from earlier passes.
void RunSpoolPass(ProgramState& state, SpoolFiles& files, const ErrorLog& log);

// Thread procedure: passes 200 ms apart until it finds the quit flag set after a pass.
void SpoolWatcher(ProgramState& state, SpoolFiles& files, const ErrorLog& log);

}  // namespace quillmark
