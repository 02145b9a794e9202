#pragma once
// The print worker thread: prints each queued job as one document.

#include <atomic>

#include "log/error_log.h"
#include "platform/file_system.h"
#include "platform/print_device.h"
#include "spool/program_state.h"

namespace quillmark {

// Prints one job start to end and frees its data. A document that was not delivered keeps its bytes
// under "Ungedruckt/" with a log line naming the file.
void PrintOneJob(PrintJob& job, PrintSystem& printers, FileSystem& files, const ErrorLog& log);

// Thread procedure: polls the queue every 500 ms while it is empty; ends once the quit flag is set, the
// queue is empty and `watcherEnded` is true.
void PrintWorker(ProgramState& state, PrintSystem& printers, FileSystem& files, const ErrorLog& log,
                 const std::atomic<bool>& watcherEnded);

}  // namespace quillmark
