#pragma once
// What the program says when it starts: one line per job slot on standard error (spool file, emulation,
// printer), and what cannot work yet, logged at start: a printer that does not exist, a spool file whose
// folder is missing or cannot be written. The spool file is logged once more when it has become usable.

#include <memory>
#include <mutex>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "log/error_log.h"
#include "platform/print_device.h"
#include "platform/spool_file.h"
#include "spool/job_records.h"

namespace quillmark {

// Stands between the spool watcher and the platform's spool files, so that it sees each open's outcome.
class StartupReport final : public SpoolFiles {
 public:
  StartupReport(SpoolFiles& spoolFiles, PrintSystem& printers, const ErrorLog& log, std::ostream& err)
      : spoolFiles_(spoolFiles), printers_(printers), log_(log), err_(err) {}

  // The report, on the main thread after the settings are read and before the threads start.
  void Report(const std::vector<JobSettings>& jobs);

  // The watcher's opens: the first that fails for want of a folder or rights is logged, and the first that
  // succeeds after it.
  std::unique_ptr<SpoolFile> Open(const std::string& path, SpoolNotice& notice) override;

 private:
  SpoolFiles& spoolFiles_;
  PrintSystem& printers_;
  const ErrorLog& log_;
  std::ostream& err_;
  std::mutex mutex_;
  std::set<std::string> seen_;      // paths opened at least once
  std::set<std::string> unusable_;  // paths logged as unusable and not yet as usable again
};

// "Basic", "ESC/P2": the emulation as Settings.ini names it.
const char* EmulationName(Emulation emulation);

}  // namespace quillmark
