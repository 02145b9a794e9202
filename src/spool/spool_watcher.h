#pragma once
// The spool watcher thread: takes the whole content out of each slot's spool file and queues it.

#include <chrono>
#include <map>
#include <set>
#include <string>

#include "log/error_log.h"
#include "platform/spool_file.h"
#include "spool/program_state.h"
#include "spool/take_store.h"

namespace quillmark {

// What the watcher keeps from one pass to the next: the problems already logged, so that a spool file
// that cannot be taken is reported once per run and not every 200 ms, and since when each file has been
// held open by another process. Watcher thread only.
struct SpoolWatcherMemory {
  std::set<std::string> Reported;
  std::map<std::string, std::chrono::steady_clock::time_point> InUseSince;
};

// One pass over the job list: every non-empty spool file becomes one queued job, kept
// on disk by `store` before the file is emptied. A file that cannot be taken whole (too large, no memory,
// read error, no room in the store) is left exactly as it is.
void RunSpoolPass(ProgramState& state, SpoolFiles& files, TakeStore& store, const ErrorLog& log,
                  SpoolWatcherMemory& memory);

// Thread procedure: passes 200 ms apart until it finds the quit flag set after a pass.
void SpoolWatcher(ProgramState& state, SpoolFiles& files, TakeStore& store, const ErrorLog& log);

}  // namespace quillmark
