// The Qt desktop without a screen: close requests by signal and by window, the end of the process.
#include "platform/qt/qt_desktop.h"

#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <thread>

#include "platform/qt/qt_application.h"
#include "support/desktop_session.h"

namespace quillmark {
namespace {

using namespace std::chrono_literals;
using testing::Describe;
using testing::Passed;
using testing::RecordingDesktopEvents;
using testing::RunDesktopChild;
using testing::TempDir;

QWidget* FindMainWindow() {
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    if (widget->windowTitle() == QStringLiteral("Quillmark 1.0")) return widget;
  }
  return nullptr;
}

// --- children: each runs in its own process with its own QApplication ---

TEST(QtDesktopChild, SignalsBeforeSetEventsArriveOnFirstWait) {
  QUILLMARK_DESKTOP_CHILD_ONLY();
  testing::ChildApplication();
  ASSERT_TRUE(IsHeadless());
  QtDesktop desktop;
  ::raise(SIGINT);
  ::raise(SIGHUP);
  // Nothing is reported before SetEvents, and it is not lost either.
  QCoreApplication::processEvents();
  RecordingDesktopEvents events;
  desktop.SetEvents(&events);
  desktop.WaitMessage();
  EXPECT_EQ(events.transcript(), "close");
}

TEST(QtDesktopChild, SignalWakesBlockedWait) {
  QUILLMARK_DESKTOP_CHILD_ONLY();
  testing::ChildApplication();
  QtDesktop desktop;
  desktop.CreateTrayInterface();
  RecordingDesktopEvents events;
  desktop.SetEvents(&events);
  // A worker thread takes the signal; the main thread sleeps in WaitMessage with no timer to wake it.
  std::thread sender([] {
    std::this_thread::sleep_for(100ms);
    ::kill(::getpid(), SIGTERM);
  });
  while (events.count() == 0) desktop.WaitMessage();
  sender.join();
  EXPECT_EQ(events.transcript(), "close");
}

TEST(QtDesktopChild, WindowCloseIsReportedAndRefused) {
  QUILLMARK_DESKTOP_CHILD_ONLY();
  testing::ChildApplication();
  QtDesktop desktop;
  desktop.CreateTrayInterface();
  QWidget* window = FindMainWindow();
  ASSERT_NE(window, nullptr);
  EXPECT_FALSE(window->isVisible());
  RecordingDesktopEvents events;
  desktop.SetEvents(&events);
  QTimer::singleShot(0, window, [window] { window->close(); });
  ASSERT_TRUE(testing::PumpUntil(desktop, [&] { return events.count() > 0; }, 5s));
  EXPECT_EQ(events.transcript(), "close");
  EXPECT_EQ(FindMainWindow(), window);

  desktop.DestroyMainWindow();
  EXPECT_EQ(FindMainWindow(), nullptr);
}

TEST(QtDesktopChild, ExitProcessFlushesAndUsesCode) {
  QUILLMARK_DESKTOP_CHILD_ONLY();
  testing::ChildApplication();
  QtDesktop desktop;
  desktop.CreateTrayInterface();
  std::fputs("unflushed tail", stdout);
  desktop.ExitProcess(3);
}

// --- parents ---

class QtDesktopHeadless : public ::testing::Test {
 protected:
  testing::ProgramResult Child(const std::string& name) {
    return RunDesktopChild("QtDesktopChild." + name, dir_.path(), {}, 20s);
  }
  TempDir dir_;
};

TEST_F(QtDesktopHeadless, HeadlessCloseRequests) {
  for (const char* name :
       {"SignalsBeforeSetEventsArriveOnFirstWait", "SignalWakesBlockedWait", "WindowCloseIsReportedAndRefused"}) {
    SCOPED_TRACE(name);
    const auto result = Child(name);
    EXPECT_TRUE(Passed(result)) << Describe(result);
  }
}

TEST_F(QtDesktopHeadless, ExitProcessEndsWithTheCodeAfterFlushing) {
  const auto result = Child("ExitProcessFlushesAndUsesCode");
  EXPECT_EQ(result.exitCode, 3) << Describe(result);
  EXPECT_NE(result.out.find("unflushed tail"), std::string::npos) << Describe(result);
}

}  // namespace
}  // namespace quillmark
