// The queue's promise under a power cut at every step of a take and of a delivery: every byte is afterwards
// in the spool file, in a kept take or in a delivered document, and a job prints twice only if it was
// delivered before the power failed.

#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <span>
#include <string>
#include <vector>

#include "log/log_sink.h"
#include "spool/print_worker.h"
#include "spool/spool_watcher.h"
#include "spool/take_store.h"
#include "support/crash_file_system.h"
#include "support/fixed_clock.h"
#include "support/recording_print_system.h"

namespace quillmark {
namespace {

using testing::CrashDisk;

// Starts the program on `disk`, lets a DOS program write `jobs` to the spool file one by one, each taken
// and printed before the next, and returns the documents delivered, as their characters.
std::vector<std::string> Serve(CrashDisk& disk, std::span<const std::string> jobs) {
  ProgramState state;
  state.JobList.emplace_back().Path.Assign(CrashDisk::kSpool);
  state.JobList[0].Printer.Assign("P");
  testing::RecordingPrintSystem printers;
  printers.AddPrinter("P");
  printers.OnEndDocument = [&] { disk.Deliver(); };
  testing::FixedClock clock;
  StandardErrorSink sink;
  const ErrorLog log(sink, clock);
  TakeStore store(disk);
  SpoolWatcherMemory memory;
  QueueLeftoverTakes(state, store, disk, log);
  for (std::size_t n = 0; n <= jobs.size(); ++n) {
    if (n > 0) disk.Append(jobs[n - 1]);
    RunSpoolPass(state, disk, store, log, memory);
    for (PrintJob job; TakePrintJob(state, job);) EXPECT_TRUE(PrintOneJob(job, printers, store, log));
  }
  // The job's characters are drawn one by one, the footer in one piece.
  std::vector<std::string> documents;
  static const std::regex kItem("start doc|text '(.)' at");
  const std::string& transcript = printers.Transcript();
  for (std::sregex_iterator m(transcript.begin(), transcript.end(), kItem), end; m != end; ++m) {
    if (!(*m)[1].matched) documents.emplace_back();
    else documents.back() += (*m)[1];
  }
  return documents;
}

// Restarted as it was left, or after the DOS program wrote the next job while it was down.
class QueueCrash : public ::testing::TestWithParam<bool> {};
INSTANTIATE_TEST_SUITE_P(WrittenWhileDown, QueueCrash, ::testing::Bool());

TEST_P(QueueCrash, NoByteIsLostAndOnlyADeliveredJobPrintsAgain) {
  const std::vector<std::string> jobs = {"AAAA", "BBBB", "CCCC"};
  CrashDisk run;
  const std::vector<std::string> printed = Serve(run, jobs);
  ASSERT_EQ(printed, jobs);
  for (std::size_t step = 0; step <= run.Steps().size(); ++step) {
    SCOPED_TRACE(step == 0 ? "power cut before the first step" : "power cut after " + run.Steps()[step - 1]);
    const testing::Disk found = run.Crashed(step);
    CrashDisk restarted(found);
    auto next = static_cast<std::size_t>(found.appended);
    if (GetParam() && next < jobs.size()) restarted.Append(jobs[next++]);
    std::string again;
    for (const std::string& document : Serve(restarted, std::span(jobs).subspan(next))) again += document + "|";
    for (std::size_t n = 0; n < jobs.size(); ++n) {
      std::size_t after = 0;
      for (auto at = again.find(jobs[n]); at != std::string::npos; at = again.find(jobs[n], at + 1)) ++after;
      if (n >= static_cast<std::size_t>(found.delivered)) {
        EXPECT_GE(after, 1u) << jobs[n] << " lost";
      }
      EXPECT_LE(after, 1u) << jobs[n] << " printed twice after the restart";
    }
    EXPECT_EQ(restarted.Live().spool, "");
    std::vector<std::string> left;
    EXPECT_TRUE(restarted.ListFiles(kQueueFolder, left).ok() && left.empty());
  }
}

}  // namespace
}  // namespace quillmark
