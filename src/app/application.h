#pragma once
// The program's life on the main thread: start-up in its fixed order, the event loop, the orderly
// shutdown and the end of the process. Owns the program-wide state and the two background threads.

#include <atomic>
#include <deque>
#include <thread>

#include "app/event_queue.h"
#include "app/startup_report.h"
#include "log/error_log.h"
#include "platform/platform.h"
#include "spool/program_state.h"
#include "spool/take_store.h"

namespace quillmark {

class Application final : private DesktopEvents {
 public:
  explicit Application(Platform& platform);
  ~Application();
  Application(const Application&) = delete;
  Application& operator=(const Application&) = delete;

  // Settings, threads, tray, then the event loop; never returns. `alone` false: another instance works in
  // this folder, so one log entry and exit code 1, before anything else is touched.
  [[noreturn]] void Startup(bool alone = true);

  // Loads the settings, removes what a killed run left half-written, queues the takes it left unprinted
  // and starts both threads. False after a fatal settings error (already reported).
  bool StartServices();

  // The next event: a waiting one, else the result of handling the next platform message.
  Event WaitEvent();
  // Acts on one event; a close request or "Beenden" ends the process.
  int HandleEvent(const Event& event);
  // Flushes pending jobs, sets the quit flag, waits for the watcher, then the worker, then 200 ms.
  int Shutdown();
  // Releases what is left and ends the process with `exitCode`.
  [[noreturn]] void EndProgram(int exitCode = 0);

  ProgramState& state() { return state_; }
  bool WatcherRunning() const;
  bool WorkerRunning() const;

 private:
  // Reports from the platform's message handling, on the main thread.
  void OnCloseRequest() override;
  void OnTrayMouse(TrayMouse mouse) override;
  void OnMenuChoice(int item) override;
  void OnSessionEndQuery() override;  // the session-end hook

  void StartThreads();

  Platform& platform_;
  ErrorLog log_;
  ProgramState state_;
  TakeStore store_;
  StartupReport report_;  // the watcher opens spool files through it
  EventQueue events_;
  std::deque<Event> menuChoices_;  // produced by the current message, returned directly

  std::thread watcher_;
  std::thread worker_;
  std::atomic<bool> watcherEnded_{true};  // a thread that never started counts as ended
  std::atomic<bool> workerEnded_{true};
};

}  // namespace quillmark
