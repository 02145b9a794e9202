#include "app/application.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/fixed_clock.h"
#include "support/memory_file_system.h"
#include "support/recording_desktop.h"

namespace quillmark {
namespace {

using Exited = testing::RecordingDesktop::Exited;

class NoSpoolFiles final : public SpoolFiles {
  std::unique_ptr<SpoolFile> Open(const std::string&, SpoolNotice&) override { return nullptr; }
};

class NoPrinters final : public PrintSystem {
  std::unique_ptr<PrintDevice> OpenDevice(const JobSettings&) override { return nullptr; }
  FontHandle CreateFont(const FontRequest&) override { return 1; }
  void DeleteFont(FontHandle) override {}
};

Event Tray(TrayMouse mouse) { return Event{EventKind::TrayEvent, 0, mouse, 0}; }
Event Menu(int item) { return Event{EventKind::MenuChoice, 0, TrayMouse::Other, item}; }
const Event kClose{EventKind::CloseRequest, 0, TrayMouse::Other, 0};

class ApplicationTest : public ::testing::Test {
 protected:
  testing::MemoryFileSystem files;
  testing::FixedClock clock;
  NoSpoolFiles spoolFiles;
  NoPrinters printers;
  testing::RecordingDesktop desktop;
  Platform platform{files, spoolFiles, printers, clock, desktop, files};
  Application app{platform};
};

TEST_F(ApplicationTest, WaitEventReturnsQueuedEventsOldestFirstWithoutRepeats) {
  desktop.Script([](DesktopEvents& e) {
    e.OnTrayMouse(TrayMouse::RightButtonDown);
    e.OnTrayMouse(TrayMouse::RightButtonDown);  // equal to the newest waiting event: dropped
    e.OnTrayMouse(TrayMouse::Other);            // moves and releases make no event
    e.OnCloseRequest();
    e.OnTrayMouse(TrayMouse::RightButtonDown);
  });
  desktop.Script([](DesktopEvents& e) { e.OnMenuChoice(1); });
  desktop.Script([](DesktopEvents&) {});
  for (const Event& expected :
       {Tray(TrayMouse::RightButtonDown), kClose, Tray(TrayMouse::RightButtonDown), Menu(1), Event{}}) {
    EXPECT_EQ(app.WaitEvent(), expected);
  }
}

// "Spool ausdrucken" also puts what could not be delivered back into the queue: the printer may be back.
TEST_F(ApplicationTest, PressesOpenTheMenuAndOnlyItemOneFlushes) {
  app.state().JobList.emplace_back().JobNumber = 1;
  files.Put("Ungedruckt/20070315-094105-001.prn", "kept");
  PendingJob pending;
  pending.DataLength = 2;
  pending.Data = SpoolData(new std::uint8_t[2]());
  app.state().PendingList.push_back(std::move(pending));
  for (const Event& event :
       {Tray(TrayMouse::LeftButtonDown), Tray(TrayMouse::RightButtonDown), Tray(TrayMouse::LeftDoubleClick),
        Tray(TrayMouse::RightDoubleClick), Menu(3), Event{}}) {
    EXPECT_EQ(app.HandleEvent(event), 0);
  }
  EXPECT_EQ(desktop.Transcript(), "SetEvents\nShowTrayMenu\nShowTrayMenu\n");
  EXPECT_EQ(app.state().PendingList.size(), 1u);
  EXPECT_TRUE(files.Exists("Ungedruckt/20070315-094105-001.prn"));
  app.HandleEvent(Menu(1));
  EXPECT_EQ(app.state().PrintQueueSize.load(), 2u);
  EXPECT_EQ(files.List("Ungedruckt"), std::vector<std::string>{});
  EXPECT_EQ(files.List("Warteschlange"), std::vector<std::string>{"000000000001-1.prn"});
  EXPECT_NE(files.Get("Error.log")
                .find("| 0 | Druckauftrag 'Ungedruckt/20070315-094105-001.prn' wird erneut gedruckt."),
            std::string::npos);
  EXPECT_FALSE(app.state().QuitFlag.load());
}

TEST_F(ApplicationTest, BeendenAndCloseRequestEndTheProcessWithCodeZero) {
  for (const Event& quit : {Menu(2), kClose}) {
    testing::RecordingDesktop fresh;
    Platform p{files, spoolFiles, printers, clock, fresh, files};
    Application quitting(p);
    quitting.state().PendingList.emplace_back();
    EXPECT_THROW(quitting.HandleEvent(quit), Exited);
    EXPECT_TRUE(quitting.state().QuitFlag.load());
    EXPECT_EQ(quitting.state().PrintQueueSize.load(), 1u) << "held jobs are queued before the end";
    EXPECT_EQ(fresh.Transcript(), "SetEvents\nDestroyMainWindow\nRemoveTrayIcon\nExitProcess 0\n");
  }
}

using ApplicationThreads = ApplicationTest;

// Takes a killed run left are handled first, oldest first. The session-end query stops both threads but
// the program runs on; "Beenden" then ends it.
TEST_F(ApplicationThreads, SessionEndStopsThreadsAndBeendenEndsLater) {
  files.Put("Settings.ini", "[Main]\n[Job_1]\nPath = SPOOL.PRN\nPrinter = Office\n");
  files.Put("Warteschlange/000000000012-1.prn", "second");
  files.Put("Warteschlange/000000000011-1.prn", "first");
  // About to be emptied, without a stamp to say whether it was: printed, as nothing may be lost. Only
  // written: its spool file was not touched yet, so it is dropped.
  files.Put("Warteschlange/000000000010-1.new", "zeroth");
  files.Put("Warteschlange/000000000013-1.tmp", "again");
  // Three starts died printing it: set aside at once.
  files.Put("Warteschlange/000000000014-1.prn", "poison");
  for (const char* n : {"1", "2", "3"})
    files.Put(std::string("Warteschlange/000000000014-1.") + n + ".try", "");
  files.Put("SPOOL.PRN", "again and more");
  ASSERT_TRUE(app.StartServices());
  EXPECT_TRUE(app.WatcherRunning() || app.WorkerRunning());
  desktop.Script([](DesktopEvents& e) { e.OnSessionEndQuery(); });
  EXPECT_EQ(app.WaitEvent(), Event{}) << "the query itself makes no event";
  EXPECT_TRUE(app.state().QuitFlag.load());
  EXPECT_FALSE(app.WatcherRunning() || app.WorkerRunning());
  EXPECT_EQ(files.Get("Ungedruckt/saved-1.prn") + files.Get("Ungedruckt/saved-2.prn") +
                files.Get("Ungedruckt/saved-3.prn") + files.Get("Ungedruckt/saved-4.prn"),
            "poisonzerothfirstsecond");
  EXPECT_TRUE(files.List("Warteschlange").empty());
  const std::string log = files.Get("Error.log");
  EXPECT_LT(log.find("'Warteschlange/000000000011-1.prn' eines frueheren Laufs wird gedruckt."),
            log.find("'Warteschlange/000000000012-1.prn' eines frueheren Laufs wird gedruckt."))
      << log;
  EXPECT_NE(
      log.find("| 0 | Druckauftrag 'Warteschlange/000000000014-1.prn' hat das Programm 3-mal beim Drucken "
               "beendet und wird nicht mehr gedruckt; er kommt nach 'Ungedruckt'.\r\n"),
      std::string::npos);
  EXPECT_NE(log.find("| 0 | Druckdaten gespeichert unter 'Ungedruckt/saved-1.prn'.\r\n"), std::string::npos);
  desktop.Script([](DesktopEvents& e) { e.OnMenuChoice(2); });
  EXPECT_THROW(app.HandleEvent(app.WaitEvent()), Exited);
}

}  // namespace
}  // namespace quillmark
