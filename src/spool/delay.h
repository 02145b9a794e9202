#pragma once
// The threads' timing in one place, and Delay, with which they wait.

#include <chrono>

namespace quillmark {

// Between two passes of the spool watcher over the job list.
inline constexpr std::chrono::milliseconds kSpoolPassInterval{200};
// How long another program may keep a spool file open before the log says that it holds up printing.
inline constexpr std::chrono::seconds kSpoolHeldTooLong{60};
// Between two attempts to keep the bytes of a job that was neither delivered nor kept.
inline constexpr std::chrono::seconds kUnsettledRetryInterval{3};
// The pause at the end of Shutdown, after both threads have ended.
inline constexpr std::chrono::milliseconds kShutdownSettle{200};

// Suspends the calling thread for `time` (Linux sleeps are already fine-grained).
void Delay(std::chrono::milliseconds time);

}  // namespace quillmark
