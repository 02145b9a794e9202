#pragma once
// The desktop seam on Win32: the hidden main window "Quillmark 1.0" that owns the tray icon, the popup
// menu, MessageBoxA and the end of the process.
//
// Construct and call on the main thread only. The window procedure runs inside WaitMessage() (GetMessage
// and DispatchMessage) or inside the modal loop of TrackPopupMenu in ShowTrayMenu(), so events reach
// DesktopEvents only from there: WM_CLOSE is a close request (the window stays), the tray icon's callback
// message a mouse report, WM_COMMAND from the menu a menu choice, and WM_QUERYENDSESSION runs the
// session-end hook before the default handling agrees that the session may end.

#include "platform/desktop.h"
#include "platform/win32/windows_api.h"

namespace quillmark {

class Win32Desktop final : public Desktop {
 public:
  // The tray icon's callback message.
  static constexpr UINT kTrayMessage = WM_APP + 1;

  Win32Desktop() = default;
  ~Win32Desktop() override;
  Win32Desktop(const Win32Desktop&) = delete;
  Win32Desktop& operator=(const Win32Desktop&) = delete;

  void ShowMessageBox(std::string_view title, std::string_view text) override;
  void SetEvents(DesktopEvents* events) override { events_ = events; }
  void CreateTrayInterface() override;
  void WaitMessage() override;
  void ShowTrayMenu() override;
  void DestroyMainWindow() override;
  void RemoveTrayIcon() override;
  [[noreturn]] void ExitProcess(int code) override;

  HWND MainWindow() const { return window_; }

  // The handling of one message of the main window; public for the window procedure and for tests.
  LRESULT HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

 private:
  DesktopEvents* events_ = nullptr;
  HWND window_ = nullptr;
  HMENU menu_ = nullptr;
  bool iconAdded_ = false;
};

}  // namespace quillmark
