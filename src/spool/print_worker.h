#pragma once
// The print worker thread: prints each queued job as one document.

#include <atomic>

#include "log/error_log.h"
#include "platform/print_device.h"
#include "spool/program_state.h"
#include "spool/take_store.h"

namespace quillmark {

// Prints one job start to end. A delivered document removes its take from `store`; one that was not
// delivered keeps its bytes under "Ungedruckt/" with a log line naming the file. True when the job is
// settled and its data freed; false when its bytes could be neither delivered nor kept (logged): the job
// keeps its data and its take for KeepUnprintedJob.
bool PrintOneJob(PrintJob& job, PrintSystem& printers, TakeStore& store, const ErrorLog& log);

// Tries again to keep the bytes of a job PrintOneJob could not settle; logs only a success. Done with the
// kept path, else why not.
FileStatus KeepUnprintedJob(PrintJob& job, TakeStore& store, const ErrorLog& log);

// Thread procedure: polls the queue every 500 ms while it is empty; ends once the quit flag is set, the
// queue is empty and `watcherEnded` is true. Jobs that could not be settled are tried again every few
// seconds meanwhile; at the end they stay in the store for the next run.
void PrintWorker(ProgramState& state, PrintSystem& printers, TakeStore& store, const ErrorLog& log,
                 const std::atomic<bool>& watcherEnded);

}  // namespace quillmark
