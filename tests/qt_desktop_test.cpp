// The Qt desktop: in this process (offscreen in CI), and in the real program on a virtual X display
// (scripts/xvfb-session.sh, with the trayer tray host) driven with xdotool.
#include "platform/qt/qt_desktop.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <QApplication>
#include <QCursor>
#include <QKeyEvent>
#include <QMenu>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>
#include <thread>

#include "support/pdf_reader.h"
#include "support/program_runner.h"
#include "support/qt_application.h"

namespace quillmark {
namespace {

using namespace std::chrono_literals;
using testing::ReadFileBytes;
using testing::WaitUntil;

class RecordingEvents final : public DesktopEvents {
 public:
  void OnCloseRequest() override { log += "close;"; }
  void OnTrayMouse(TrayMouse) override { log += "mouse;"; }
  void OnMenuChoice(int item) override { log += "choice " + std::to_string(item) + ";"; }
  void OnSessionEndQuery() override { log += "session-end;"; }
  std::string log;
};

TEST(QtDesktop, EarlySignalsAndTheTrayMenuReachTheEventsFromTheNextWait) {
  testing::EnsureQtApplication();
  QtDesktop desktop;
  ::raise(SIGINT);
  ::raise(SIGHUP);
  QCoreApplication::processEvents();  // nobody listens yet
  desktop.CreateTrayInterface();
  RecordingEvents events;
  desktop.SetEvents(&events);
  QTimer::singleShot(2000, [] {});  // ends the wait should the signals be lost
  desktop.WaitMessage();
  EXPECT_EQ(events.log, "close;");

  QCursor::setPos(300, 200);
  QStringList entries;
  QPoint at;
  // Runs inside the menu's own event loop: reads the menu, then chooses "Beenden" with the keyboard.
  QTimer::singleShot(100, [&] {
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_NE(menu, nullptr);
    at = menu->pos();
    for (const QAction* action : menu->actions()) entries << (action->isSeparator() ? "|" : action->text());
    menu->setActiveAction(menu->actions().value(2));
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(menu, &enter);
  });
  desktop.ShowTrayMenu();
  EXPECT_EQ(entries.join(','), "Spool ausdrucken,|,Beenden");
  EXPECT_EQ(at, QPoint(299, 199));
  EXPECT_EQ(events.log, "close;");
  desktop.WaitMessage();
  EXPECT_EQ(events.log, "close;choice 2;");
}

std::string Capture(const std::string& command) {
  std::string out;
  FILE* pipe = ::popen(command.c_str(), "r");
  char buffer[4096];
  for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, got);
  ::pclose(pipe);
  return out;
}

class ProgramDesktop : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const std::string tool : {"Xvfb", "xdotool", "xprop", "trayer", "convert", "pdftotext"}) {
      if (std::system(("command -v " + tool + " >/dev/null").c_str()) != 0) GTEST_SKIP() << "no " << tool;
    }
    testing::WriteFileBytes(dir_.File("Settings.ini"),
                            "[Main]\r\n[Job_1]\r\nPath = SPOOL.PRN\r\nPrinter = PDF:out\r\n");
  }
  void TearDown() override {
    const int stopped = std::system((script_ + " stop " + state_.path()).c_str());  // best effort
    static_cast<void>(stopped);
  }

  // Returns once the display answers. A client that stays connected keeps the server from resetting: a reset
  // re-creates sockets that other sessions may have unlinked, and a program connecting then goes offscreen.
  std::string StartDisplay(bool withTray) {
    const std::string out = Capture(script_ + " start " + state_.path() + (withTray ? "" : " --no-tray"));
    if (!out.starts_with(":")) return "xvfb-session.sh failed";
    env_ = {"DISPLAY=" + out.substr(0, out.find('\n')), "XDG_RUNTIME_DIR=" + state_.File("runtime")};
    X("xprop -root -spy _NET_ACTIVE_WINDOW >/dev/null &");
    const bool up = WaitUntil([&] { return !X("xdpyinfo >/dev/null 2>&1 && echo up").empty(); }, 30s);
    return up ? "" : "the display does not answer";
  }
  std::string X(const std::string& command) {
    return Capture(env_[0] + " " + env_[1] + " " + command + " 2>/dev/null");
  }
  std::unique_ptr<testing::RunningProgram> Start() {
    return std::make_unique<testing::RunningProgram>(
        std::vector<std::string>{testing::BuiltProgram("quillmark")}, dir_.path(), env_);
  }
  void Click(int x, int y) {
    X("xdotool mousemove " + std::to_string(x) + " " + std::to_string(y) + " click 1");
  }

  // X, Y, WIDTH and HEIGHT of the widest visible window that `xdotool search` finds (none: all 0).
  std::map<std::string, int> Geometry(const std::string& search) {
    std::map<std::string, int> widest, current;
    std::istringstream lines(X("xdotool search --onlyvisible " + search + " getwindowgeometry --shell %@"));
    for (std::string line; std::getline(lines, line);) {
      current[line.substr(0, line.find('='))] = std::atoi(line.c_str() + line.find('=') + 1);
      if (line.starts_with("SCREEN") && current["WIDTH"] > widest["WIDTH"]) widest = current;
    }
    return widest;
  }

  // Pixels of the icon's blue title bar inside `area` of the screen.
  int BluePixels(std::map<std::string, int> area) {
    const std::string crop = std::to_string(area["WIDTH"]) + "x" + std::to_string(area["HEIGHT"]) + "+" +
                             std::to_string(area["X"]) + "+" + std::to_string(area["Y"]);
    return std::atoi(X("import -window root -crop " + crop + " png:- | convert png:- -fx " +
                       "'r < 0.43 && g < 0.59 && b > 0.59' -format '%[fx:round(mean*w*h)]' info:")
                         .c_str());
  }

  // Ends with `exitCode` and only `err` (the log's entries; by default the start-up line of the slot) on
  // standard error, having printed the report once when `printed`.
  void ExpectCleanEnd(testing::RunningProgram& program, bool printed, const std::string& err = "",
                      int exitCode = 0) {
    const testing::ProgramResult result = program.Wait(20s);
    EXPECT_EQ(result.exitCode, exitCode) << result.err;
    EXPECT_EQ(result.err, !err.empty() ? err
                                       : "Job_1: Spooldatei '" + dir_.File("SPOOL.PRN") +
                                             "', Emulation Basic, Drucker 'PDF:out'\n");
    if (!printed) return;
    std::vector<std::string> pdfs;
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(dir_.File("out"), ignored)) {
      if (entry.path().extension() == ".pdf") pdfs.push_back(entry.path().string());
    }
    ASSERT_EQ(pdfs.size(), 1u);
    EXPECT_NE(testing::ReadPdfText(pdfs[0]).find("Quartalsbericht"), std::string::npos);
  }

  const std::string script_ = std::string(QUILLMARK_SOURCE_DIR) + "/scripts/xvfb-session.sh";
  const std::string report_ = "Quartalsbericht\r\n\f";
  testing::TempDir state_;
  testing::TempDir dir_;
  testing::EnvChanges env_;  // none: headless
};

TEST_F(ProgramDesktop, TrayIconMenuAndBeendenEndWithCodeZeroAfterPrinting) {
  ASSERT_EQ(StartDisplay(false), "");
  auto program = Start();
  // The tray host starts after the program, as when it is started before the panel.
  std::this_thread::sleep_for(1s);
  X("trayer --edge top --align right --widthtype request --height 32 --SetDockType true --transparent false "
    "--tint 0x888888 >/dev/null 2>&1 &");
  // The tray host's panel grows from 2 pixels to the icon's width once the icon has docked.
  std::map<std::string, int> panel;
  ASSERT_TRUE(WaitUntil(
      [&] { return (panel = Geometry("--class trayer"))["WIDTH"] >= 16 && BluePixels(panel) >= 4; }, 15s))
      << "no icon: " + program->Wait(1s).err;

  // A left press opens the menu one pixel up and left of the pointer, moved onto the screen.
  const int y = panel["Y"] + panel["HEIGHT"] / 2;
  Click(panel["X"] + panel["WIDTH"] / 2, y);
  std::map<std::string, int> menu;
  ASSERT_TRUE(WaitUntil([&] { return (menu = Geometry("--classname quillmark"))["HEIGHT"] > 30; }, 10s))
      << "no menu: " + program->Wait(1s).err;
  EXPECT_EQ(menu["Y"], y - 1);
  EXPECT_LE(menu["X"] + menu["WIDTH"], 800);
  // A report taken from the spool file just before "Beenden" (the last entry) is chosen is still printed.
  testing::WriteFileBytes(dir_.File("SPOOL.PRN"), report_);
  ASSERT_TRUE(WaitUntil([&] { return ReadFileBytes(dir_.File("SPOOL.PRN")).empty(); }, 5s));
  Click(menu["X"] + menu["WIDTH"] / 2, menu["Y"] + menu["HEIGHT"] - 10);
  ExpectCleanEnd(*program, true);
}

// Without a display the box goes to standard error; on one it waits for the user.
TEST_F(ProgramDesktop, MissingSettingsShowsTheBoxUntilReturn) {
  std::filesystem::remove(dir_.File("Settings.ini"));
  const auto headless = Start()->Wait(20s);
  EXPECT_EQ(headless.exitCode, 1) << "a start that cannot work is no success";
  const std::string searched = "Keine Settings.ini gefunden!\nGesucht im Ordner '" + dir_.path() + "'.\n";
  EXPECT_EQ(headless.err, searched + "Keine Settings.ini gefunden!\n\nDas Programm wird nun beendet.\n");
  ASSERT_EQ(StartDisplay(false), "");
  auto program = Start();
  const auto boxShown = [&] { return !X("xdotool search --onlyvisible --name '^Executable$'").empty(); };
  ASSERT_TRUE(WaitUntil(boxShown, 15s)) << program->Wait(1s).err;
  std::this_thread::sleep_for(300ms);
  EXPECT_TRUE(program->Running()) << "the box waits for the user";
  X("xdotool key Return");
  ExpectCleanEnd(*program, false, searched, 1);
  EXPECT_NE(ReadFileBytes(dir_.File("Error.log")).find("Keine Settings.ini gefunden!"), std::string::npos);
}

TEST_F(ProgramDesktop, WithoutIconSigtermEndsWithCodeZeroAfterPrinting) {
  for (const bool withDisplay : {false, true}) {
    SCOPED_TRACE(withDisplay ? "display without tray host" : "headless");
    ASSERT_EQ(withDisplay ? StartDisplay(false) : "", "");
    std::filesystem::remove_all(dir_.File("out"));
    testing::WriteFileBytes(dir_.File("SPOOL.PRN"), report_);
    auto program = Start();
    // Asked to close as soon as the report is taken from the spool file, it still prints it.
    ASSERT_TRUE(WaitUntil([&] { return ReadFileBytes(dir_.File("SPOOL.PRN")).empty(); }, 20s))
        << program->Wait(1s).err;
    program->Signal(SIGTERM);
    ExpectCleanEnd(*program, true);
  }
}

}  // namespace
}  // namespace quillmark
