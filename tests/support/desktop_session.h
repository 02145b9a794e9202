#pragma once
// Helpers for desktop tests. A test that needs its own QApplication (headless, or on a virtual display) runs
// in a fresh copy of the test binary: the parent test calls RunDesktopChild("Suite.Name"), and the child test
// starts with QUILLMARK_DESKTOP_CHILD_ONLY() so that it is skipped in ordinary runs.

#include <QApplication>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "platform/desktop.h"
#include "support/program_runner.h"

#define QUILLMARK_DESKTOP_CHILD_ONLY()                                             \
  if (!::quillmark::testing::InDesktopChild()) {                                   \
    GTEST_SKIP() << "runs only in a child process started by its parent test";      \
  }

namespace quillmark::testing {

bool InDesktopChild();

// Runs one test of this binary in a child process in `workDir`; the child is headless unless `env` names a
// display. Passed() tells whether that test ran and passed.
std::unique_ptr<RunningProgram> StartDesktopChild(const std::string& test, const std::string& workDir,
                                                  const EnvChanges& env = {});
ProgramResult RunDesktopChild(const std::string& test, const std::string& workDir, const EnvChanges& env = {},
                              std::chrono::milliseconds timeout = std::chrono::seconds(30));
bool Passed(const ProgramResult& result);
std::string Describe(const ProgramResult& result);  // exit status and output, for failure messages

// The child's application, made once with the program's own CreateQtApplication().
QApplication& ChildApplication();

// Records every event as a short word, in order: "close", "left-down", "right-down", "left-double",
// "right-double", "other-mouse", "choice 2", "session-end".
class RecordingDesktopEvents final : public DesktopEvents {
 public:
  void OnCloseRequest() override;
  void OnTrayMouse(TrayMouse mouse) override;
  void OnMenuChoice(int item) override;
  void OnSessionEndQuery() override;

  const std::string& transcript() const { return transcript_; }  // words joined by "; "
  std::size_t count() const { return count_; }

 private:
  void Add(const std::string& word);
  std::string transcript_;
  std::size_t count_ = 0;
};

// Calls desktop.WaitMessage() until `done` holds or `timeout` passes. A 20 ms timer keeps WaitMessage from
// blocking for good when nothing happens.
bool PumpUntil(Desktop& desktop, const std::function<bool()>& done, std::chrono::milliseconds timeout);

// Standard output of a shell command.
std::string Capture(const std::string& command);

// X, Y, WIDTH and HEIGHT of the widest visible window that `xdotool search --onlyvisible <search>` finds
// (all 0 when none); `shellPrefix` names the display when the process itself has none.
std::map<std::string, int> WindowGeometry(const std::string& search, const std::string& shellPrefix = "");

// A virtual X display (Xvfb), with a tray host (trayer) unless told otherwise, made by
// scripts/xvfb-session.sh and stopped when the object dies.
class VirtualDisplay {
 public:
  // The missing tools, blank-separated; empty when everything is there.
  static std::string MissingTools(bool withTray);

  explicit VirtualDisplay(bool withTray);
  ~VirtualDisplay();
  VirtualDisplay(const VirtualDisplay&) = delete;
  VirtualDisplay& operator=(const VirtualDisplay&) = delete;

  bool ok() const { return !display_.empty(); }
  const std::string& error() const { return error_; }  // what the script said when it failed
  const std::string& display() const { return display_; }
  // DISPLAY and XDG_RUNTIME_DIR for a child.
  EnvChanges Env() const;
  // "DISPLAY=... XDG_RUNTIME_DIR=..." to put in front of a shell command.
  std::string ShellPrefix() const;

 private:
  TempDir state_;
  std::string display_;
  std::string error_;
};

}  // namespace quillmark::testing
