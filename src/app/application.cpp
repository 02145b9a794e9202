#include "app/application.h"

#include <cstdlib>
#include <iostream>
#include <system_error>
#include <utility>

#include "app/startup.h"
#include "settings/settings_loader.h"
#include "spool/delay.h"
#include "spool/print_worker.h"
#include "spool/spool_watcher.h"

namespace quillmark {

Application::Application(Platform& platform)
    : platform_(platform),
      log_(platform.logSink, platform.clock),
      store_(platform.files),
      report_(platform.spoolFiles, platform.printers, log_, std::cerr) {
  platform_.desktop.SetEvents(this);
}

Application::~Application() {
  // Only reached in tests: the program itself ends in EndProgram.
  SetQuitFlag(state_);
  if (watcher_.joinable()) watcher_.join();
  if (worker_.joinable()) worker_.join();
}

bool Application::WatcherRunning() const { return !watcherEnded_.load(); }
bool Application::WorkerRunning() const { return !workerEnded_.load(); }

void Application::Startup(bool alone) {
  if (!alone) {
    log_.LogError("", "Quillmark laeuft in diesem Ordner bereits; dieser zweite Start wird beendet.", "", 0,
                  2);
    EndProgram(1);
  }
  // A start that cannot work is no success: scripts and service managers see exit code 1.
  if (!StartServices()) EndProgram(1);
  platform_.desktop.CreateTrayInterface();
  for (;;) {
    const Event event = WaitEvent();
    if (event.window == 0) HandleEvent(event);
  }
}

bool Application::StartServices() {
  if (!SettingsLoader(state_, platform_.files, log_, platform_.desktop)) return false;
  report_.Report(state_.JobList);
  for (const JobSettings& settings : state_.JobList) platform_.printers.RemoveLeftovers(settings);
  QueueLeftoverTakes(state_, store_, platform_.files, log_);
  StartThreads();
  return true;
}

void Application::StartThreads() {
  // A thread that cannot be started is not reported; the program runs on without it.
  watcherEnded_.store(false);
  try {
    watcher_ = std::thread([this] {
      SpoolWatcher(state_, report_, store_, log_);
      watcherEnded_.store(true);
      WakeQueueWaiters(state_);  // the worker may be waiting for this end
    });
  } catch (const std::system_error&) {
    watcherEnded_.store(true);
  }
  workerEnded_.store(false);
  try {
    worker_ = std::thread([this] {
      PrintWorker(state_, platform_.printers, store_, log_, watcherEnded_);
      workerEnded_.store(true);
    });
  } catch (const std::system_error&) {
    workerEnded_.store(true);
  }
}

Event Application::WaitEvent() {
  while (events_.Empty() && menuChoices_.empty()) {
    platform_.desktop.WaitMessage();
    if (!menuChoices_.empty()) break;
    if (events_.Empty()) return Event{};  // a message of no concern: an other event
  }
  if (!menuChoices_.empty()) {
    const Event choice = menuChoices_.front();
    menuChoices_.pop_front();
    return choice;
  }
  return events_.TakeOldest();
}

int Application::HandleEvent(const Event& event) {
  switch (event.kind) {
    case EventKind::CloseRequest:
      Shutdown();
      EndProgram();
    case EventKind::TrayEvent:
      if (event.mouse == TrayMouse::LeftButtonDown || event.mouse == TrayMouse::RightButtonDown) {
        platform_.desktop.ShowTrayMenu();
      }
      break;
    case EventKind::MenuChoice:
      if (event.item == 1) {
        FlushPendingJobs(state_);
        // The printer may be back: what could not be delivered is tried again.
        RequeueUnprintedTakes(state_, store_, platform_.files, log_);
      } else if (event.item == 2) {
        Shutdown();
        EndProgram();
      }
      break;
    case EventKind::Other:
      break;
  }
  return 0;
}

int Application::Shutdown() {
  FlushPendingJobs(state_);
  SetQuitFlag(state_);
  // Blocking waits, first for the watcher, then for the worker; threads that never started or were waited
  // for already (a second Shutdown) are not joinable.
  for (std::thread* thread : {&watcher_, &worker_}) {
    if (thread->joinable()) thread->join();
  }
  Delay(kShutdownSettle);
  return 0;
}

void Application::EndProgram(int exitCode) {
  platform_.desktop.DestroyMainWindow();
  // Both threads have ended on every path that gets here; joining only releases them.
  for (std::thread* thread : {&watcher_, &worker_}) {
    if (thread->joinable()) thread->join();
  }
  platform_.desktop.RemoveTrayIcon();
  platform_.desktop.ExitProcess(exitCode);
  std::abort();  // ExitProcess does not return
}

void Application::OnCloseRequest() { events_.Append(Event{EventKind::CloseRequest, 0, TrayMouse::Other, 0}); }

void Application::OnTrayMouse(TrayMouse mouse) {
  if (mouse == TrayMouse::Other) return;  // moves, releases and the middle button make no event
  events_.Append(Event{EventKind::TrayEvent, 0, mouse, 0});
}

void Application::OnMenuChoice(int item) {
  menuChoices_.push_back(Event{EventKind::MenuChoice, 0, TrayMouse::Other, item});
}

void Application::OnSessionEndQuery() {
  // The session may end; the program stops its threads and waits for the platform to end it.
  Shutdown();
}

void Startup(Platform& platform, bool alone) {
  static Application application(platform);
  application.Startup(alone);
}

}  // namespace quillmark
