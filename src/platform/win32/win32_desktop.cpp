#include "platform/win32/win32_desktop.h"

#include <shellapi.h>

#include <cstdio>
#include <string>

namespace quillmark {
namespace {

constexpr const wchar_t* kWindowClass = L"QuillmarkMainWindow";
constexpr UINT kItemSpool = 1;
constexpr UINT kItemQuit = 2;
constexpr UINT kTrayIconId = 0;

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* desktop = reinterpret_cast<Win32Desktop*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
  if (desktop == nullptr) return ::DefWindowProcW(window, message, wParam, lParam);
  return desktop->HandleMessage(window, message, wParam, lParam);
}

TrayMouse ToTrayMouse(LPARAM mouse) {
  switch (static_cast<UINT>(mouse)) {
    case WM_LBUTTONDOWN:
      return TrayMouse::LeftButtonDown;
    case WM_RBUTTONDOWN:
      return TrayMouse::RightButtonDown;
    case WM_LBUTTONDBLCLK:
      return TrayMouse::LeftDoubleClick;
    case WM_RBUTTONDBLCLK:
      return TrayMouse::RightDoubleClick;
    default:
      return TrayMouse::Other;
  }
}

// The 88-byte NOTIFYICONDATAA of the first shell version: the main window, identifier 0, no tooltip.
NOTIFYICONDATAA TrayIconData(HWND window) {
  NOTIFYICONDATAA data{};
  data.cbSize = NOTIFYICONDATAA_V1_SIZE;
  data.hWnd = window;
  data.uID = kTrayIconId;
  return data;
}

}  // namespace

Win32Desktop::~Win32Desktop() {
  RemoveTrayIcon();
  DestroyMainWindow();
  if (menu_ != nullptr) ::DestroyMenu(menu_);
}

void Win32Desktop::ShowMessageBox(std::string_view title, std::string_view text) {
  // No window exists yet when the box is shown: it has no owner.
  ::MessageBoxA(nullptr, std::string(text).c_str(), std::string(title).c_str(), MB_OK);
}

void Win32Desktop::CreateTrayInterface() {
  const HINSTANCE instance = ::GetModuleHandleW(nullptr);
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = MainWindowProc;
  windowClass.hInstance = instance;
  windowClass.hIcon = ::LoadIconW(instance, MAKEINTRESOURCEW(1));
  windowClass.hCursor = ::LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  windowClass.lpszClassName = kWindowClass;
  ::RegisterClassExW(&windowClass);
  // A caption only: no WS_VISIBLE, no system menu; nothing ever shows it.
  window_ = ::CreateWindowExW(0, kWindowClass, L"Quillmark 1.0", WS_CAPTION, CW_USEDEFAULT, CW_USEDEFAULT,
                              200, 100, nullptr, nullptr, instance, this);

  menu_ = ::CreatePopupMenu();
  ::AppendMenuA(menu_, MF_STRING, kItemSpool, "Spool ausdrucken");
  ::AppendMenuA(menu_, MF_SEPARATOR, 0, nullptr);
  ::AppendMenuA(menu_, MF_STRING, kItemQuit, "Beenden");

  // Without a window there is nothing to own an icon; without the icon resource none can be added.
  if (window_ == nullptr) return;
  const auto owner = reinterpret_cast<HINSTANCE>(::GetWindowLongPtrA(window_, GWLP_HINSTANCE));
  const HICON icon = ::LoadIconA(owner, MAKEINTRESOURCEA(1));
  if (icon == nullptr) return;
  NOTIFYICONDATAA data = TrayIconData(window_);
  data.uFlags = NIF_MESSAGE | NIF_ICON;
  data.uCallbackMessage = kTrayMessage;
  data.hIcon = icon;
  iconAdded_ = ::Shell_NotifyIconA(NIM_ADD, &data) != FALSE;
}

LRESULT Win32Desktop::HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_QUERYENDSESSION:
      // The session-end hook: the orderly shutdown, then the default answer that the session may end.
      if (events_ != nullptr) events_->OnSessionEndQuery();
      break;
    case WM_CLOSE:
      if (events_ != nullptr) events_->OnCloseRequest();
      return 0;
    case kTrayMessage:
      if (wParam == kTrayIconId && events_ != nullptr) events_->OnTrayMouse(ToTrayMouse(lParam));
      // Wakes a WaitMessage blocked in GetMessage so that the queued tray event is handled at once.
      ::PostMessageW(window, WM_NULL, 0, 0);
      return 0;
    case WM_COMMAND:
      if (HIWORD(wParam) == 0 && lParam == 0) {
        if (events_ != nullptr) events_->OnMenuChoice(LOWORD(wParam));
        return 0;
      }
      break;
    default:
      break;
  }
  return ::DefWindowProcW(window, message, wParam, lParam);
}

void Win32Desktop::WaitMessage() {
  MSG message{};
  if (::GetMessageW(&message, nullptr, 0, 0) <= 0) return;
  ::TranslateMessage(&message);
  ::DispatchMessageW(&message);
}

void Win32Desktop::ShowTrayMenu() {
  if (menu_ == nullptr || window_ == nullptr) return;
  POINT cursor{};
  ::GetCursorPos(&cursor);
  ::SetForegroundWindow(window_);
  // The choice arrives as WM_COMMAND, which the next WaitMessage delivers.
  ::TrackPopupMenu(menu_, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON, cursor.x - 1, cursor.y - 1, 0,
                   window_, nullptr);
}

void Win32Desktop::DestroyMainWindow() {
  if (window_ == nullptr) return;
  // Removing the icon needs the window's handle, not the window itself.
  const HWND window = window_;
  ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
  ::DestroyWindow(window);
}

void Win32Desktop::RemoveTrayIcon() {
  if (!iconAdded_) return;
  NOTIFYICONDATAA data = TrayIconData(window_);
  ::Shell_NotifyIconA(NIM_DELETE, &data);
  iconAdded_ = false;
}

void Win32Desktop::ExitProcess(int code) {
  std::fflush(nullptr);
  ::ExitProcess(static_cast<UINT>(code));
}

}  // namespace quillmark
