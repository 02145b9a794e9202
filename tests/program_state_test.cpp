#include "spool/program_state.h"

#include <gtest/gtest.h>

namespace quillmark {
namespace {

TEST(ProgramState, QueueIsFirstInFirstOut) {
  ProgramState state;
  JobSettings settings;
  for (std::int32_t i = 1; i <= 3; ++i) {
    std::lock_guard lock(state.QueueLock);
    QueuePrintJob(state, settings, i, SpoolData(new std::uint8_t[static_cast<std::size_t>(i)]()));
  }
  PrintJob job;
  for (std::int32_t i = 1; i <= 3; ++i) {
    ASSERT_TRUE(TakePrintJob(state, job));
    EXPECT_EQ(job.DataLength, i);
  }
  EXPECT_FALSE(TakePrintJob(state, job));
}

}  // namespace
}  // namespace quillmark
