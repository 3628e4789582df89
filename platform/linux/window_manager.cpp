#include "platform/linux/window_manager.h"

#include <deque>
#include <map>
#include <string>
#include <vector>

namespace {

struct WindowClassEntry {
  std::string name;
  HINSTANCE instance;
  WNDPROC procedure;
  ATOM atom;
};

struct WindowEntry {
  std::string className;
  WNDPROC procedure;
  LONG_PTR userData;
  bool visible;
  bool destroying;
};

// What Windows keeps per thread and per desktop; Brevonix has one thread.
struct WindowManagerState {
  std::vector<WindowClassEntry> classes;
  std::map<uintptr_t, WindowEntry> windows;
  std::deque<MSG> posted;
  bool quitPending = false;
  int quitCode = 0;
  uintptr_t nextWindowId = 1;
  ATOM nextAtom = 0xC000;
};

WindowManagerState& State() {
  static WindowManagerState state;
  return state;
}

// Window ids are never reused, so a stale handle can always be told from a live one. Windows
// and device contexts get handles of their own kinds: even for windows, odd for contexts.
HWND WindowHandle(uintptr_t id) {
  return reinterpret_cast<HWND>(id << 1);
}

HDC DeviceContextHandle(uintptr_t id) {
  return reinterpret_cast<HDC>((id << 1) | 1u);
}

WindowEntry* FindWindow(HWND window) {
  const uintptr_t handle = reinterpret_cast<uintptr_t>(window);
  if (handle == 0 || (handle & 1u) != 0) {
    return nullptr;
  }
  auto found = State().windows.find(handle >> 1);
  return found == State().windows.end() ? nullptr : &found->second;
}

// Class names compare without regard to the case of ASCII letters, as on Windows.
bool SameClassName(const std::string& a, const char* b) {
  std::size_t i = 0;
  for (; i < a.size() && b[i] != '\0'; ++i) {
    const char x = (a[i] >= 'a' && a[i] <= 'z') ? static_cast<char>(a[i] - 32) : a[i];
    const char y = (b[i] >= 'a' && b[i] <= 'z') ? static_cast<char>(b[i] - 32) : b[i];
    if (x != y) {
      return false;
    }
  }
  return i == a.size() && b[i] == '\0';
}

std::vector<WindowClassEntry>::iterator FindClass(const char* name) {
  auto& classes = State().classes;
  for (auto entry = classes.begin(); entry != classes.end(); ++entry) {
    if (SameClassName(entry->name, name)) {
      return entry;
    }
  }
  return classes.end();
}

// Window procedures may call back into the window manager, so no reference into the tables is
// held across a call to one.
LRESULT SendToProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  const WindowEntry* entry = FindWindow(window);
  if (entry == nullptr) {
    return 0;
  }
  const WNDPROC procedure = entry->procedure;
  return procedure(window, message, wParam, lParam);
}

void ForgetWindow(HWND window) {
  State().windows.erase(reinterpret_cast<uintptr_t>(window) >> 1);
}

bool MatchesFilter(const MSG& message, HWND window, UINT filterMin, UINT filterMax) {
  if (window != nullptr && message.hwnd != window) {
    return false;
  }
  if (filterMin == 0 && filterMax == 0) {
    return true;
  }
  return message.message >= filterMin && message.message <= filterMax;
}

}  // namespace

ATOM WmRegisterClass(const WNDCLASSA* windowClass) {
  if (windowClass == nullptr || windowClass->lpfnWndProc == nullptr ||
      windowClass->lpszClassName == nullptr || windowClass->lpszClassName[0] == '\0') {
    return 0;
  }
  if (FindClass(windowClass->lpszClassName) != State().classes.end()) {
    return 0;
  }
  const ATOM atom = State().nextAtom++;
  State().classes.push_back(
      {windowClass->lpszClassName, windowClass->hInstance, windowClass->lpfnWndProc, atom});
  return atom;
}

BOOL WmUnregisterClass(LPCSTR className, HINSTANCE /*instance*/) {
  if (className == nullptr) {
    return FALSE;
  }
  const auto entry = FindClass(className);
  if (entry == State().classes.end()) {
    return FALSE;
  }
  for (const auto& window : State().windows) {
    if (SameClassName(window.second.className, className)) {
      return FALSE;  // Windows keeps a class while any window of it exists.
    }
  }
  State().classes.erase(entry);
  return TRUE;
}

HWND WmCreateWindow(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y,
                    int width, int height, HWND parent, HMENU menu, HINSTANCE instance,
                    LPVOID param) {
  if (className == nullptr) {
    return nullptr;
  }
  const auto windowClass = FindClass(className);
  if (windowClass == State().classes.end()) {
    return nullptr;
  }
  if (parent != nullptr && FindWindow(parent) == nullptr) {
    return nullptr;
  }

  const uintptr_t id = State().nextWindowId++;
  State().windows[id] = {windowClass->name, windowClass->procedure, 0, false, false};
  const HWND window = WindowHandle(id);

  CREATESTRUCTA creation = {};
  creation.lpCreateParams = param;
  creation.hInstance = instance;
  creation.hMenu = menu;
  creation.hwndParent = parent;
  creation.cy = height;
  creation.cx = width;
  creation.y = y;
  creation.x = x;
  creation.style = static_cast<LONG>(style);
  creation.lpszName = windowName;
  creation.lpszClass = className;
  creation.dwExStyle = exStyle;
  if (SendToProcedure(window, WM_CREATE, 0, reinterpret_cast<LPARAM>(&creation)) == -1) {
    // The procedure refused its window: it still gets WM_DESTROY, then the window is gone.
    WmDestroyWindow(window);
    return nullptr;
  }
  // The procedure may have destroyed its own window while it was being created.
  return FindWindow(window) != nullptr ? window : nullptr;
}

BOOL WmDestroyWindow(HWND window) {
  WindowEntry* entry = FindWindow(window);
  if (entry == nullptr || entry->destroying) {
    return FALSE;
  }
  entry->destroying = true;
  entry->visible = false;
  SendToProcedure(window, WM_DESTROY, 0, 0);
  SendToProcedure(window, WM_NCDESTROY, 0, 0);
  ForgetWindow(window);
  return TRUE;
}

BOOL WmShowWindow(HWND window, int command) {
  WindowEntry* entry = FindWindow(window);
  if (entry == nullptr) {
    return FALSE;
  }
  const bool wasVisible = entry->visible;
  entry->visible = command != 0;  // SW_HIDE is 0; every other command shows.
  return wasVisible ? TRUE : FALSE;
}

BOOL WmUpdateWindow(HWND window) {
  // Nothing is drawn, so there is never anything to repaint.
  return FindWindow(window) != nullptr ? TRUE : FALSE;
}

BOOL WmGetMessage(MSG* message, HWND window, UINT filterMin, UINT filterMax) {
  if (message == nullptr || (window != nullptr && FindWindow(window) == nullptr)) {
    return -1;
  }
  auto& posted = State().posted;
  for (auto next = posted.begin(); next != posted.end(); ++next) {
    if (MatchesFilter(*next, window, filterMin, filterMax)) {
      *message = *next;
      posted.erase(next);
      return TRUE;
    }
  }
  // A quit request waits behind every posted message, even those posted after it.
  if (State().quitPending) {
    State().quitPending = false;
    *message = MSG{};
    message->message = WM_QUIT;
    message->wParam = static_cast<WPARAM>(State().quitCode);
    return FALSE;
  }
  // One thread, and nothing else posts to it: a wait here could never end, so it is reported
  // as a failed call instead of hanging the process.
  return -1;
}

BOOL WmTranslateMessage(const MSG* /*message*/) {
  return FALSE;  // No keyboard input, so never a character message to make.
}

LRESULT WmDispatchMessage(const MSG* message) {
  if (message == nullptr || message->hwnd == nullptr) {
    return 0;
  }
  // A message for a window that is gone is dropped.
  return SendToProcedure(message->hwnd, message->message, message->wParam, message->lParam);
}

BOOL WmPostMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (window != nullptr && FindWindow(window) == nullptr) {
    return FALSE;
  }
  MSG posted = {};
  posted.hwnd = window;
  posted.message = message;
  posted.wParam = wParam;
  posted.lParam = lParam;
  State().posted.push_back(posted);
  return TRUE;
}

void WmPostQuitMessage(int exitCode) {
  State().quitPending = true;
  State().quitCode = exitCode;
}

LRESULT WmDefWindowProc(HWND /*window*/, UINT /*message*/, WPARAM /*wParam*/, LPARAM /*lParam*/) {
  return 0;
}

LONG_PTR WmSetWindowLongPtr(HWND window, int index, LONG_PTR value) {
  WindowEntry* entry = FindWindow(window);
  if (entry == nullptr || index != GWLP_USERDATA) {
    return 0;
  }
  const LONG_PTR previous = entry->userData;
  entry->userData = value;
  return previous;
}

LONG_PTR WmGetWindowLongPtr(HWND window, int index) {
  const WindowEntry* entry = FindWindow(window);
  if (entry == nullptr || index != GWLP_USERDATA) {
    return 0;
  }
  return entry->userData;
}

HCURSOR WmLoadCursor(HINSTANCE instance, LPCSTR name) {
  // Only the system's own cursors exist; nothing is drawn, so any non-null handle serves.
  if (instance != nullptr || name != IDC_ARROW) {
    return nullptr;
  }
  return reinterpret_cast<HCURSOR>(static_cast<uintptr_t>(32512));
}

HDC WmGetDC(HWND window) {
  // Every window keeps its own device context for its lifetime.
  if (FindWindow(window) == nullptr) {
    return nullptr;
  }
  return DeviceContextHandle(reinterpret_cast<uintptr_t>(window) >> 1);
}

bool WmIsLiveDeviceContext(HDC deviceContext) {
  const uintptr_t handle = reinterpret_cast<uintptr_t>(deviceContext);
  if ((handle & 1u) == 0) {
    return false;
  }
  return State().windows.count(handle >> 1) != 0;
}

std::size_t WmCountClasses() {
  return State().classes.size();
}

std::size_t WmCountWindows() {
  return State().windows.size();
}

std::size_t WmCountPostedMessages() {
  return State().posted.size();
}

bool WmIsQuitPending() {
  return State().quitPending;
}

void WmReset() {
  State() = WindowManagerState();
}
