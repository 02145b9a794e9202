// The real program on a desktop: the tray menu's "Beenden", the start-up message box, and running without
// an icon (no display, or a display without a tray host) until SIGTERM.
#include <gtest/gtest.h>
#include <signal.h>

#include <filesystem>
#include <map>
#include <thread>

#include "support/desktop_session.h"
#include "support/pdf_reader.h"

namespace quillmark {
namespace {

using namespace std::chrono_literals;
using testing::BuiltProgram;
using testing::Capture;
using testing::Describe;
using testing::ProgramResult;
using testing::RunningProgram;
using testing::TempDir;
using testing::VirtualDisplay;
using testing::WaitUntil;

constexpr const char kSettings[] = "[Main]\r\n[Job_1]\r\nPath = LPT1.PRN\r\nPrinter = PDF:out\r\n";

std::vector<std::string> Pdfs(const TempDir& dir) {
  std::vector<std::string> files;
  std::error_code ignored;
  for (const auto& entry : std::filesystem::directory_iterator(dir.File("out"), ignored)) {
    if (entry.path().extension() == ".pdf") files.push_back(entry.path().string());
  }
  return files;
}

class ProgramDesktop : public ::testing::Test {
 protected:
  // A working directory with the settings and one report waiting in the spool file.
  static void WithQueuedReport(const TempDir& dir) {
    testing::WriteFileBytes(dir.File("Settings.ini"), kSettings);
    testing::WriteFileBytes(dir.File("LPT1.PRN"), "Quartalsbericht\r\n\f");
  }
  bool StartDisplay(bool withTray) {
    const std::string missing = VirtualDisplay::MissingTools(withTray);
    if (!missing.empty()) {
      skipReason_ = "missing: " + missing;
      return false;
    }
    display_ = std::make_unique<VirtualDisplay>(withTray);
    return display_->ok();
  }
  std::unique_ptr<RunningProgram> Start(const TempDir& dir, bool onDisplay) {
    return std::make_unique<RunningProgram>(std::vector<std::string>{BuiltProgram("quillmark")}, dir.path(),
                                            onDisplay ? display_->Env() : testing::EnvChanges{});
  }
  std::string X(const std::string& command) { return Capture(display_->ShellPrefix() + command + " 2>/dev/null"); }
  std::map<std::string, int> Geometry(const std::string& search) {
    return testing::WindowGeometry(search, display_->ShellPrefix());
  }
  static void ExpectPrintedReport(const TempDir& dir) {
    const auto pdfs = Pdfs(dir);
    ASSERT_EQ(pdfs.size(), 1u);
    if (testing::PopplerInstalled()) {
      EXPECT_NE(testing::ReadPdfText(pdfs[0]).find("Quartalsbericht"), std::string::npos);
    }
  }

  TempDir dir_;
  std::unique_ptr<VirtualDisplay> display_;
  std::string skipReason_;
};

TEST_F(ProgramDesktop, BeendenInTheTrayMenuEndsWithCodeZeroAfterPrinting) {
  if (!StartDisplay(true)) {
    if (!skipReason_.empty()) GTEST_SKIP() << skipReason_;
    FAIL() << display_->error();
  }
  testing::WriteFileBytes(dir_.File("Settings.ini"), kSettings);
  auto program = Start(dir_, true);
  std::map<std::string, int> panel;
  ASSERT_TRUE(WaitUntil([&] { return (panel = Geometry("--class trayer"))["WIDTH"] >= 16; }, 15s))
      << "icon did not dock\n" << Describe(program->Wait(1s));

  // A left press opens the menu one pixel up and left of the pointer, moved onto the screen.
  const int x = panel["X"] + panel["WIDTH"] / 2;
  const int y = panel["Y"] + panel["HEIGHT"] / 2;
  X("xdotool mousemove " + std::to_string(x) + " " + std::to_string(y) + " click 1");
  std::map<std::string, int> menu;
  ASSERT_TRUE(WaitUntil([&] { return (menu = Geometry("--classname quillmark"))["HEIGHT"] > 30; }, 10s))
      << "no menu\n" << Describe(program->Wait(1s));
  EXPECT_EQ(menu["Y"], y - 1);
  EXPECT_LE(menu["X"] + menu["WIDTH"], 800);
  // A report is taken from the spool file just before "Beenden", the last entry, is chosen: it is printed
  // before the program ends.
  testing::WriteFileBytes(dir_.File("LPT1.PRN"), "Quartalsbericht\r\n\f");
  ASSERT_TRUE(WaitUntil([&] { return testing::ReadFileBytes(dir_.File("LPT1.PRN")).empty(); }, 5s));
  X("xdotool mousemove " + std::to_string(menu["X"] + menu["WIDTH"] / 2) + " " +
    std::to_string(menu["Y"] + menu["HEIGHT"] - 10) + " click 1");
  const ProgramResult result = program->Wait(20s);
  EXPECT_EQ(result.exitCode, 0) << Describe(result);
  ExpectPrintedReport(dir_);
  EXPECT_EQ(result.err, "");
}

TEST_F(ProgramDesktop, MissingSettingsShowsTheBoxUntilOk) {
  if (!StartDisplay(false)) {
    if (!skipReason_.empty()) GTEST_SKIP() << skipReason_;
    FAIL() << display_->error();
  }
  auto program = Start(dir_, true);
  ASSERT_TRUE(WaitUntil([&] { return !X("xdotool search --onlyvisible --name '^Executable$'").empty(); }, 15s))
      << Describe(program->Wait(1s));
  std::this_thread::sleep_for(300ms);
  EXPECT_TRUE(program->Running()) << "the box waits for the user";
  X("xdotool key Return");
  const ProgramResult result = program->Wait(10s);
  EXPECT_EQ(result.exitCode, 0) << Describe(result);
  EXPECT_NE(testing::ReadFileBytes(dir_.File("Error.log")).find("Keine Settings.ini gefunden!"), std::string::npos);
}

TEST_F(ProgramDesktop, WithoutIconSigtermEndsWithCodeZeroAfterPrinting) {
  struct Case {
    const char* name;
    bool display;
    bool tray;
  };
  for (const Case& c : {Case{"headless", false, false}, Case{"display without tray host", true, false}}) {
    SCOPED_TRACE(c.name);
    if (c.display && !StartDisplay(c.tray)) {
      if (!skipReason_.empty()) GTEST_SKIP() << skipReason_;
      FAIL() << display_->error();
    }
    TempDir dir;
    WithQueuedReport(dir);
    auto program = Start(dir, c.display);
    ASSERT_TRUE(WaitUntil([&] { return !Pdfs(dir).empty(); }, 20s)) << Describe(program->Wait(1s));
    program->Signal(SIGTERM);
    const ProgramResult result = program->Wait(20s);
    EXPECT_EQ(result.exitCode, 0) << Describe(result);
    EXPECT_EQ(result.err, "");
    ExpectPrintedReport(dir);
    display_.reset();
  }
}

}  // namespace
}  // namespace quillmark
