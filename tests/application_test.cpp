#include "app/application.h"

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "support/fixed_clock.h"
#include "support/memory_file_system.h"

namespace quillmark {
namespace {

// Thrown by the fake ExitProcess so a test can watch the end of the process.
struct ProcessExit {
  int code;
};

// A desktop whose platform messages are scripted: each WaitMessage runs the next step, which reports
// events the way the platform's message handling would.
class ScriptedDesktop final : public Desktop {
 public:
  using Step = std::function<void(DesktopEvents&)>;

  void ShowMessageBox(std::string_view title, std::string_view text) override {
    calls.push_back("message box " + std::string(title) + ": " + std::string(text));
  }
  void SetEvents(DesktopEvents* sink) override { events = sink; }
  void CreateTrayInterface() override { calls.push_back("create tray"); }
  void WaitMessage() override {
    calls.push_back("wait");
    if (steps.empty()) return;
    Step step = std::move(steps.front());
    steps.pop_front();
    step(*events);
  }
  void ShowTrayMenu() override {
    calls.push_back("menu");
    if (menuChoice != 0) events->OnMenuChoice(menuChoice);
  }
  void DestroyMainWindow() override { calls.push_back("destroy window"); }
  void RemoveTrayIcon() override { calls.push_back("remove icon"); }
  [[noreturn]] void ExitProcess(int code) override {
    calls.push_back("exit " + std::to_string(code));
    throw ProcessExit{code};
  }

  DesktopEvents* events = nullptr;
  std::deque<Step> steps;
  int menuChoice = 0;
  std::vector<std::string> calls;
};

class NoSpoolFiles final : public SpoolFiles {
 public:
  std::unique_ptr<SpoolFile> Open(const std::string&) override { return nullptr; }
};

class NoPrinters final : public PrintSystem {
 public:
  std::unique_ptr<PrintDevice> OpenDevice(const JobSettings&) override { return nullptr; }
  FontHandle CreateFont(const FontRequest&) override { return ++fonts; }
  void DeleteFont(FontHandle) override {}
  FontHandle fonts = 0;
};

class ApplicationTest : public ::testing::Test {
 protected:
  static Event Tray(TrayMouse mouse) { return Event{EventKind::TrayEvent, 0, mouse, 0}; }
  static Event Menu(int item) { return Event{EventKind::MenuChoice, 0, TrayMouse::Other, item}; }
  static Event Close() { return Event{EventKind::CloseRequest, 0, TrayMouse::Other, 0}; }

  testing::MemoryFileSystem files;
  testing::FixedClock clock;
  NoSpoolFiles spoolFiles;
  NoPrinters printers;
  ScriptedDesktop desktop;
  Platform platform{files, spoolFiles, printers, clock, desktop};
};

TEST_F(ApplicationTest, WaitEventReturnsQueuedEventsOldestFirstWithoutRepeats) {
  Application app(platform);
  desktop.steps.push_back([](DesktopEvents& e) {
    e.OnTrayMouse(TrayMouse::RightButtonDown);
    e.OnTrayMouse(TrayMouse::RightButtonDown);  // the same notification again while the first waits
    e.OnTrayMouse(TrayMouse::Other);            // moves and releases make no event
    e.OnCloseRequest();
    e.OnTrayMouse(TrayMouse::RightButtonDown);
  });
  desktop.steps.push_back([](DesktopEvents& e) { e.OnMenuChoice(1); });
  EXPECT_EQ(app.WaitEvent(), Tray(TrayMouse::RightButtonDown));
  EXPECT_EQ(app.WaitEvent(), Close());
  EXPECT_EQ(app.WaitEvent(), Tray(TrayMouse::RightButtonDown));
  EXPECT_EQ(app.WaitEvent(), Menu(1)) << "a menu choice is returned by the wait that produced it";
  EXPECT_EQ(app.WaitEvent(), Event{}) << "a message of no concern is an other event";
}

TEST_F(ApplicationTest, HandleEventActsOnPressesAndKnownMenuItemsOnly) {
  struct Case {
    Event event;
    std::vector<std::string> calls;
  };
  const std::vector<Case> cases = {
      {Tray(TrayMouse::LeftButtonDown), {"menu"}},
      {Tray(TrayMouse::RightButtonDown), {"menu"}},
      {Tray(TrayMouse::LeftDoubleClick), {}},
      {Tray(TrayMouse::RightDoubleClick), {}},
      {Menu(1), {}},
      {Menu(3), {}},
      {Event{}, {}},
  };
  for (const Case& c : cases) {
    ScriptedDesktop fresh;
    Platform p{files, spoolFiles, printers, clock, fresh};
    Application app(p);
    EXPECT_EQ(app.HandleEvent(c.event), 0);
    EXPECT_EQ(fresh.calls, c.calls);
    EXPECT_FALSE(app.state().QuitFlag.load());
  }
}

TEST_F(ApplicationTest, SpoolAusdruckenMovesPendingJobsBehindQueuedOnes) {
  Application app(platform);
  ProgramState& state = app.state();
  {
    std::lock_guard lock(state.QueueLock);
    QueuePrintJob(state, JobSettings{}, 1, SpoolData(new std::uint8_t[1]()));
  }
  PendingJob pending;
  pending.DataLength = 2;
  pending.Data = SpoolData(new std::uint8_t[2]());
  state.PendingList.push_back(std::move(pending));

  app.HandleEvent(Menu(1));

  ASSERT_EQ(state.PrintQueueSize.load(), 2u);
  EXPECT_EQ(state.PrintQueue[0].DataLength, 1);
  EXPECT_EQ(state.PrintQueue[1].DataLength, 2);
  EXPECT_TRUE(state.PendingList.empty());
}

TEST_F(ApplicationTest, BeendenAndCloseRequestEndTheProcessWithCodeZero) {
  for (const Event& quit : {Menu(2), Close()}) {
    ScriptedDesktop fresh;
    Platform p{files, spoolFiles, printers, clock, fresh};
    Application app(p);
    try {
      app.HandleEvent(quit);
      FAIL() << "the program did not end";
    } catch (const ProcessExit& exit) {
      EXPECT_EQ(exit.code, 0);
    }
    EXPECT_TRUE(app.state().QuitFlag.load());
    const std::vector<std::string> expected = {"destroy window", "remove icon", "exit 0"};
    EXPECT_EQ(fresh.calls, expected);
  }
}

TEST_F(ApplicationTest, MissingSettingsEndsBeforeAnyThreadOrTray) {
  Application app(platform);
  EXPECT_THROW(app.Startup(), ProcessExit);
  EXPECT_FALSE(app.WatcherRunning());
  EXPECT_FALSE(app.WorkerRunning());
  const std::vector<std::string> expected = {
      "message box Executable: Keine Settings.ini gefunden!\r\rDas Programm wird nun beendet.",
      "destroy window", "remove icon", "exit 0"};
  EXPECT_EQ(desktop.calls, expected);
}

// Runs the real spool threads, so TSan looks at it.
using ApplicationThreads = ApplicationTest;

// The session-end query stops both threads but leaves the program running; "Beenden" then ends it
// without waiting for the threads again.
TEST_F(ApplicationThreads, SessionEndStopsThreadsAndBeendenEndsLater) {
  files.Put("Settings.ini", "[Main]\r\n[Job_1]\r\nPath = LPT1.PRN\r\nPrinter = Office\r\n");
  Application app(platform);
  ASSERT_TRUE(app.StartServices());
  EXPECT_TRUE(app.WatcherRunning() || app.WorkerRunning());

  desktop.steps.push_back([](DesktopEvents& e) { e.OnSessionEndQuery(); });
  EXPECT_EQ(app.WaitEvent(), Event{}) << "the query itself makes no event";
  EXPECT_TRUE(app.state().QuitFlag.load());
  EXPECT_FALSE(app.WatcherRunning());
  EXPECT_FALSE(app.WorkerRunning());

  desktop.menuChoice = 2;
  app.HandleEvent(Tray(TrayMouse::LeftButtonDown));
  const Event choice = app.WaitEvent();
  EXPECT_EQ(choice, Menu(2));
  EXPECT_THROW(app.HandleEvent(choice), ProcessExit);
}

}  // namespace
}  // namespace quillmark
