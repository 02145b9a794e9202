#include "support/desktop_session.h"

#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <sstream>

#include "platform/qt/qt_application.h"

namespace quillmark::testing {
namespace {

constexpr const char* kChildVariable = "QUILLMARK_DESKTOP_CHILD";

std::string Script() { return std::string(QUILLMARK_SOURCE_DIR) + "/scripts/xvfb-session.sh"; }

bool HaveTool(const std::string& name) {
  return std::system(("command -v " + name + " >/dev/null 2>&1").c_str()) == 0;
}

}  // namespace

bool InDesktopChild() { return std::getenv(kChildVariable) != nullptr; }

std::unique_ptr<RunningProgram> StartDesktopChild(const std::string& test, const std::string& workDir,
                                                  const EnvChanges& env) {
  EnvChanges childEnv = env;
  childEnv.push_back(std::string(kChildVariable) + "=1");
  // The child must not write its XML report over the parent's.
  childEnv.push_back("GTEST_OUTPUT");
  return std::make_unique<RunningProgram>(std::vector<std::string>{"/proc/self/exe", "--gtest_filter=" + test},
                                          workDir, childEnv);
}

ProgramResult RunDesktopChild(const std::string& test, const std::string& workDir, const EnvChanges& env,
                              std::chrono::milliseconds timeout) {
  return StartDesktopChild(test, workDir, env)->Wait(timeout);
}

bool Passed(const ProgramResult& result) {
  return result.exitCode == 0 && result.out.find("[  PASSED  ] 1 test.") != std::string::npos &&
         result.out.find("[  SKIPPED ]") == std::string::npos;
}

std::string Describe(const ProgramResult& result) {
  return "exit " + std::to_string(result.exitCode) + ", signal " + std::to_string(result.signal) +
         (result.timedOut ? ", timed out" : "") + "\n--- stdout ---\n" + result.out + "--- stderr ---\n" +
         result.err;
}

QApplication& ChildApplication() {
  static int argc = 1;
  static char name[] = "quillmark_tests";
  static char* argv[] = {name, nullptr};
  // Kept to the end of the process: destroying it among the static destructors crashes under xcb, and the
  // program itself never destroys it either (it leaves through _Exit).
  static QApplication* app = CreateQtApplication(argc, argv).release();
  return *app;
}

void RecordingDesktopEvents::OnCloseRequest() { Add("close"); }

void RecordingDesktopEvents::OnTrayMouse(TrayMouse mouse) {
  switch (mouse) {
    case TrayMouse::LeftButtonDown: Add("left-down"); return;
    case TrayMouse::RightButtonDown: Add("right-down"); return;
    case TrayMouse::LeftDoubleClick: Add("left-double"); return;
    case TrayMouse::RightDoubleClick: Add("right-double"); return;
    case TrayMouse::Other: Add("other-mouse"); return;
  }
}

void RecordingDesktopEvents::OnMenuChoice(int item) { Add("choice " + std::to_string(item)); }

void RecordingDesktopEvents::OnSessionEndQuery() { Add("session-end"); }

void RecordingDesktopEvents::Add(const std::string& word) {
  if (!transcript_.empty()) transcript_ += "; ";
  transcript_ += word;
  ++count_;
}

bool PumpUntil(Desktop& desktop, const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  QTimer tick;
  tick.start(20);
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!done()) {
    if (std::chrono::steady_clock::now() >= deadline) return done();
    desktop.WaitMessage();
  }
  return true;
}

std::string Capture(const std::string& command) {
  std::string out;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) return out;
  char buffer[4096];
  std::size_t got = 0;
  while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, got);
  ::pclose(pipe);
  return out;
}

std::map<std::string, int> WindowGeometry(const std::string& search, const std::string& shellPrefix) {
  std::map<std::string, int> widest;
  std::map<std::string, int> current;
  // One block of KEY=value lines per window, WINDOW first and SCREEN last.
  std::istringstream lines(Capture(shellPrefix + "xdotool search --onlyvisible " + search +
                                   " getwindowgeometry --shell %@ 2>/dev/null"));
  std::string line;
  while (std::getline(lines, line)) {
    const auto eq = line.find('=');
    if (eq == std::string::npos) continue;
    const std::string key = line.substr(0, eq);
    if (key == "WINDOW") current.clear();
    current[key] = std::atoi(line.c_str() + eq + 1);
    if (key == "SCREEN" && current["WIDTH"] > widest["WIDTH"]) widest = current;
  }
  return widest;
}

std::string VirtualDisplay::MissingTools(bool withTray) {
  std::vector<std::string> tools = {"Xvfb", "xdotool"};
  // The tray tests also look at the screen (import from ImageMagick).
  if (withTray) tools.insert(tools.end(), {"trayer", "import"});
  std::string missing;
  for (const std::string& tool : tools) {
    if (!HaveTool(tool)) missing += (missing.empty() ? "" : " ") + tool;
  }
  return missing;
}

VirtualDisplay::VirtualDisplay(bool withTray) {
  std::string out = Capture(Script() + " start " + state_.path() + (withTray ? "" : " --no-tray") + " 2>&1");
  while (!out.empty() && (out.back() == '\n' || out.back() == ' ')) out.pop_back();
  if (out.size() >= 2 && out[0] == ':' && out.find('\n') == std::string::npos) {
    display_ = out;
  } else {
    error_ = "xvfb-session.sh start failed: " + out;
  }
}

VirtualDisplay::~VirtualDisplay() { std::system((Script() + " stop " + state_.path() + " >/dev/null 2>&1").c_str()); }

EnvChanges VirtualDisplay::Env() const {
  return {"DISPLAY=" + display_, "XDG_RUNTIME_DIR=" + state_.path() + "/runtime"};
}

std::string VirtualDisplay::ShellPrefix() const {
  return "DISPLAY=" + display_ + " XDG_RUNTIME_DIR=" + state_.path() + "/runtime ";
}

}  // namespace quillmark::testing
