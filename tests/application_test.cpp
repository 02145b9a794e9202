#include "app/application.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/fixed_clock.h"
#include "support/memory_file_system.h"
#include "support/recording_desktop.h"

namespace quillmark {
namespace {

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
  testing::RecordingDesktop desktop;
  Platform platform{files, spoolFiles, printers, clock, desktop};
};

TEST_F(ApplicationTest, WaitEventReturnsQueuedEventsOldestFirstWithoutRepeats) {
  Application app(platform);
  desktop.Script([](DesktopEvents& e) {
    e.OnTrayMouse(TrayMouse::RightButtonDown);
    e.OnTrayMouse(TrayMouse::RightButtonDown);  // the same notification again while the first waits
    e.OnTrayMouse(TrayMouse::Other);            // moves and releases make no event
    e.OnCloseRequest();
    e.OnTrayMouse(TrayMouse::RightButtonDown);
  });
  desktop.Script([](DesktopEvents& e) { e.OnMenuChoice(1); });
  desktop.Script([](DesktopEvents&) {});
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
      {Tray(TrayMouse::LeftButtonDown), {"SetEvents", "ShowTrayMenu"}},
      {Tray(TrayMouse::RightButtonDown), {"SetEvents", "ShowTrayMenu"}},
      {Tray(TrayMouse::LeftDoubleClick), {"SetEvents"}},
      {Tray(TrayMouse::RightDoubleClick), {"SetEvents"}},
      {Menu(1), {"SetEvents"}},
      {Menu(3), {"SetEvents"}},
      {Event{}, {"SetEvents"}},
  };
  for (const Case& c : cases) {
    testing::RecordingDesktop fresh;
    Platform p{files, spoolFiles, printers, clock, fresh};
    Application app(p);
    EXPECT_EQ(app.HandleEvent(c.event), 0);
    EXPECT_EQ(fresh.Calls(), c.calls);
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
    testing::RecordingDesktop fresh;
    Platform p{files, spoolFiles, printers, clock, fresh};
    Application app(p);
    try {
      app.HandleEvent(quit);
      FAIL() << "the program did not end";
    } catch (const testing::RecordingDesktop::Exited& exit) {
      EXPECT_EQ(exit.code, 0);
    }
    EXPECT_TRUE(app.state().QuitFlag.load());
    const std::vector<std::string> expected = {"SetEvents", "DestroyMainWindow", "RemoveTrayIcon",
                                               "ExitProcess 0"};
    EXPECT_EQ(fresh.Calls(), expected);
  }
}

TEST_F(ApplicationTest, MissingSettingsEndsBeforeAnyThreadOrTray) {
  Application app(platform);
  EXPECT_THROW(app.Startup(), testing::RecordingDesktop::Exited);
  EXPECT_FALSE(app.WatcherRunning());
  EXPECT_FALSE(app.WorkerRunning());
  const std::vector<std::string> expected = {
      "SetEvents", "ShowMessageBox Executable | Keine Settings.ini gefunden!\\r\\rDas Programm wird nun beendet.",
      "DestroyMainWindow", "RemoveTrayIcon", "ExitProcess 0"};
  EXPECT_EQ(desktop.Calls(), expected);
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

  desktop.Script([](DesktopEvents& e) { e.OnSessionEndQuery(); });
  EXPECT_EQ(app.WaitEvent(), Event{}) << "the query itself makes no event";
  EXPECT_TRUE(app.state().QuitFlag.load());
  EXPECT_FALSE(app.WatcherRunning());
  EXPECT_FALSE(app.WorkerRunning());

  // The menu reports its choice through the next wait, as the platform does.
  app.HandleEvent(Tray(TrayMouse::LeftButtonDown));
  desktop.Script([](DesktopEvents& e) { e.OnMenuChoice(2); });
  const Event choice = app.WaitEvent();
  EXPECT_EQ(choice, Menu(2));
  EXPECT_THROW(app.HandleEvent(choice), testing::RecordingDesktop::Exited);
}

}  // namespace
}  // namespace quillmark
