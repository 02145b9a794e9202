#pragma once
// A Desktop for unit tests that writes every call into a transcript, one line per call, such as
//   ShowMessageBox Executable | Keine Settings.ini gefunden!\r\rDas Programm wird nun beendet.
// ("\r" and "\n" in texts are written as those two characters). WaitMessage runs the next scripted step
// against the events sink; with no step left it delivers a close request, so a loop under test ends.
// ExitProcess throws RecordingDesktop::Exited instead of ending the test binary.

#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/desktop.h"

namespace quillmark::testing {

class RecordingDesktop final : public Desktop {
 public:
  struct Exited {
    int code;
  };
  using Step = std::function<void(DesktopEvents&)>;

  void ShowMessageBox(std::string_view title, std::string_view text) override {
    Record("ShowMessageBox " + Escaped(title) + " | " + Escaped(text));
  }
  void SetEvents(DesktopEvents* events) override {
    Record(events != nullptr ? "SetEvents" : "SetEvents none");
    std::lock_guard lock(mutex_);
    events_ = events;
  }
  void CreateTrayInterface() override { Record("CreateTrayInterface"); }
  void WaitMessage() override {
    Record("WaitMessage");
    Step step;
    DesktopEvents* events = nullptr;
    {
      std::lock_guard lock(mutex_);
      events = events_;
      if (!script_.empty()) {
        step = std::move(script_.front());
        script_.pop_front();
      }
    }
    if (events == nullptr) return;
    if (step) {
      step(*events);
    } else {
      events->OnCloseRequest();
    }
  }
  void ShowTrayMenu() override { Record("ShowTrayMenu"); }
  void DestroyMainWindow() override { Record("DestroyMainWindow"); }
  void RemoveTrayIcon() override { Record("RemoveTrayIcon"); }
  [[noreturn]] void ExitProcess(int code) override {
    Record("ExitProcess " + std::to_string(code));
    throw Exited{code};
  }

  // Queues what the next WaitMessage delivers.
  void Script(Step step) {
    std::lock_guard lock(mutex_);
    script_.push_back(std::move(step));
  }

  std::vector<std::string> Calls() const {
    std::lock_guard lock(mutex_);
    return calls_;
  }
  // All calls, each followed by "\n".
  std::string Transcript() const {
    std::string text;
    for (const std::string& call : Calls()) text += call + "\n";
    return text;
  }

 private:
  static std::string Escaped(std::string_view text) {
    std::string out;
    for (char c : text) {
      if (c == '\r') {
        out += "\\r";
      } else if (c == '\n') {
        out += "\\n";
      } else {
        out += c;
      }
    }
    return out;
  }
  void Record(std::string call) {
    std::lock_guard lock(mutex_);
    calls_.push_back(std::move(call));
  }

  mutable std::mutex mutex_;
  std::vector<std::string> calls_;
  std::deque<Step> script_;
  DesktopEvents* events_ = nullptr;
};

}  // namespace quillmark::testing
