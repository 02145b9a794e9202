#pragma once
// A Desktop that records every call, one line each ("\r" and "\n" in texts written as those two
// characters). WaitMessage runs the next scripted step against the events sink, or with no step left
// delivers a close request so a loop under test ends. ExitProcess throws Exited instead of ending the test.

#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>

#include "platform/desktop.h"

namespace quillmark::testing {

class RecordingDesktop final : public Desktop {
 public:
  struct Exited {
    int code;
  };
  using Step = std::function<void(DesktopEvents&)>;

  void ShowMessageBox(std::string_view title, std::string_view text) override {
    std::string call = "ShowMessageBox ";
    for (char c : std::string(title) + " | " + std::string(text)) {
      call += c == '\r' ? "\\r" : c == '\n' ? "\\n" : std::string(1, c);
    }
    Record(call);
  }
  void SetEvents(DesktopEvents* events) override {
    Record(events != nullptr ? "SetEvents" : "SetEvents none");
    std::lock_guard lock(mutex_);
    events_ = events;
  }
  void CreateTrayInterface() override { Record("CreateTrayInterface"); }
  void WaitMessage() override {
    Record("WaitMessage");
    std::unique_lock lock(mutex_);
    Step step = [](DesktopEvents& events) { events.OnCloseRequest(); };
    if (!script_.empty()) {
      step = std::move(script_.front());
      script_.pop_front();
    }
    DesktopEvents* events = events_;
    lock.unlock();
    if (events != nullptr) step(*events);
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
  // All calls, each followed by "\n".
  std::string Transcript() const {
    std::lock_guard lock(mutex_);
    return transcript_;
  }

 private:
  void Record(const std::string& call) {
    std::lock_guard lock(mutex_);
    transcript_ += call + "\n";
  }

  mutable std::mutex mutex_;
  std::string transcript_;
  std::deque<Step> script_;
  DesktopEvents* events_ = nullptr;
};

}  // namespace quillmark::testing
