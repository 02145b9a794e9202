#pragma once
// The desktop seam on Qt: a hidden main window, the tray icon with its menu, the message box, close
// requests by signal and the end of the process.
//
// Construct after CreateQtApplication() and before any other thread starts (the signal handlers are installed
// here). One instance at a time. Every call is made on the main thread. Events reach DesktopEvents only from
// inside WaitMessage() or ShowTrayMenu(); what happens at other times (a SIGTERM during start-up, a choice in
// the menu) is kept and delivered, one event per call, by the following WaitMessage() calls.

#include <deque>
#include <memory>

#include "platform/desktop.h"
#include "platform/posix/close_signals.h"

class QMenu;
class QMessageBox;
class QObject;
class QSocketNotifier;
class QIcon;
class QSystemTrayIcon;
class QTimer;
class QWidget;

namespace quillmark {

class QtDesktop final : public Desktop {
 public:
  QtDesktop();
  ~QtDesktop() override;
  QtDesktop(const QtDesktop&) = delete;
  QtDesktop& operator=(const QtDesktop&) = delete;

  // Headless: "<title>: <text>" on standard error. With a screen: a modal box that a close request
  // (SIGTERM, SIGINT, SIGHUP) also closes, since the program ends right after it anyway.
  void ShowMessageBox(std::string_view title, std::string_view text) override;
  void SetEvents(DesktopEvents* events) override;
  void CreateTrayInterface() override;
  void WaitMessage() override;
  void ShowTrayMenu() override;
  void DestroyMainWindow() override;
  void RemoveTrayIcon() override;
  [[noreturn]] void ExitProcess(int code) override;

 private:
  enum class EventKind { Close, Mouse, Choice, SessionEnd };
  struct Event {
    EventKind kind;
    int value;  // the TrayMouse for Mouse, the item for Choice
  };

  void OnSignalPipe();
  void ShowTrayIcon(const QIcon& icon);
  void Report(Event event);
  void Deliver(Event event);

  DesktopEvents* events_ = nullptr;
  int delivering_ = 0;  // > 0 inside WaitMessage() and ShowTrayMenu()
  std::deque<Event> pending_;
  CloseSignals closeSignals_;
  std::unique_ptr<QObject> context_;  // owns the connections to Qt signals
  std::unique_ptr<QSocketNotifier> signalNotifier_;
  std::unique_ptr<QWidget> mainWindow_;
  std::unique_ptr<QMenu> menu_;
  std::unique_ptr<QSystemTrayIcon> trayIcon_;
  std::unique_ptr<QTimer> trayWatch_;  // looks for a tray host that was missing at start-up
  QMessageBox* openMessageBox_ = nullptr;
};

}  // namespace quillmark
