#pragma once
// The desktop seam: the hidden main window, the tray icon with its menu, the message box, close requests
// and the end of the process. Every call is made on the main thread.

#include <string_view>

namespace quillmark {

enum class TrayMouse { LeftButtonDown, RightButtonDown, LeftDoubleClick, RightDoubleClick, Other };

// What the main window's message handling reports. Called on the main thread from inside
// Desktop::WaitMessage() or Desktop::ShowTrayMenu().
class DesktopEvents {
 public:
  virtual void OnCloseRequest() = 0;                // window close, SIGTERM, SIGINT or SIGHUP
  virtual void OnTrayMouse(TrayMouse mouse) = 0;    // a mouse notification from the tray icon
  virtual void OnMenuChoice(int item) = 0;          // 1 "Spool ausdrucken", 2 "Beenden"
  virtual void OnSessionEndQuery() = 0;             // the session may end: runs before normal handling

 protected:
  ~DesktopEvents() = default;
};

class Desktop {
 public:
  virtual ~Desktop() = default;

  // A message box with one OK button and no icon that blocks until closed; without a display the text goes
  // to standard error and the call returns at once. "\r" line breaks are shown as line breaks.
  virtual void ShowMessageBox(std::string_view title, std::string_view text) = 0;

  // Sets where events go. Close requests that arrived earlier are delivered on the next WaitMessage().
  virtual void SetEvents(DesktopEvents* events) = 0;

  // The hidden main window "Quillmark 1.0", the tray menu and the tray icon. Nothing is reported when a
  // part cannot be made (no display, no tray host): the program runs on without it.
  virtual void CreateTrayInterface() = 0;

  // Blocks without time-out until at least one platform message has been handled.
  virtual void WaitMessage() = 0;

  // Shows the tray menu at (cursor x - 1, cursor y - 1) and returns when it has closed. A chosen item is
  // reported through OnMenuChoice from inside the next WaitMessage().
  virtual void ShowTrayMenu() = 0;

  virtual void DestroyMainWindow() = 0;
  virtual void RemoveTrayIcon() = 0;

  // Ends the process with `code` after releasing what the platform holds.
  [[noreturn]] virtual void ExitProcess(int code) = 0;
};

}  // namespace quillmark
