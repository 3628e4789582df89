// Window calls of the fake: logged and refusable, otherwise answered by the Linux layer's real
// window manager.
#include "fake/fake_internal.h"
#include "platform/linux/window_manager.h"

HCURSOR WINAPI LoadCursorA(HINSTANCE instance, LPCSTR name) {
  FakeLog("LoadCursorA(%p, %p)", static_cast<void*>(instance), static_cast<const void*>(name));
  return WmLoadCursor(instance, name);
}

ATOM WINAPI RegisterClassA(const WNDCLASSA* windowClass) {
  FakeLog("RegisterClassA(%s, style=0x%x, extra=%d/%d, background=%p, menu=%p, icon=%p)",
          windowClass->lpszClassName, windowClass->style, windowClass->cbClsExtra,
          windowClass->cbWndExtra, static_cast<void*>(windowClass->hbrBackground),
          static_cast<const void*>(windowClass->lpszMenuName),
          static_cast<void*>(windowClass->hIcon));
  if (FakeRefuses(FakeFallible::kRegisterClassA)) {
    return 0;
  }
  const ATOM atom = WmRegisterClass(windowClass);
  if (atom != 0) {
    ++FakeStateRef().counts.classesRegistered;
  }
  return atom;
}

BOOL WINAPI UnregisterClassA(LPCSTR className, HINSTANCE instance) {
  FakeLog("UnregisterClassA(%s)", className);
  return WmUnregisterClass(className, instance);
}

HWND WINAPI CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x,
                            int y, int width, int height, HWND parent, HMENU menu,
                            HINSTANCE instance, LPVOID param) {
  FakeLog("CreateWindowExA(%u, %s, %s, 0x%x, %d, %d, %d, %d, %p, %p)", exStyle, className,
          windowName, style, x, y, width, height, static_cast<void*>(parent),
          static_cast<void*>(menu));
  if (FakeRefuses(FakeFallible::kCreateWindowExA)) {
    return nullptr;
  }
  const HWND window = WmCreateWindow(exStyle, className, windowName, style, x, y, width, height,
                                     parent, menu, instance, param);
  if (window != nullptr) {
    ++FakeStateRef().counts.windowsCreated;
  }
  return window;
}

BOOL WINAPI DestroyWindow(HWND window) {
  FakeLog("DestroyWindow()");
  return WmDestroyWindow(window);
}

BOOL WINAPI ShowWindow(HWND window, int command) {
  FakeLog("ShowWindow(%d)", command);
  return WmShowWindow(window, command);
}

BOOL WINAPI UpdateWindow(HWND window) {
  FakeLog("UpdateWindow()");
  return WmUpdateWindow(window);
}

BOOL WINAPI GetMessageA(MSG* message, HWND window, UINT filterMin, UINT filterMax) {
  FakeLog("GetMessageA(%p, %u, %u)", static_cast<void*>(window), filterMin, filterMax);
  if (FakeRefuses(FakeFallible::kGetMessageA)) {
    return -1;
  }
  return WmGetMessage(message, window, filterMin, filterMax);
}

BOOL WINAPI TranslateMessage(const MSG* message) {
  FakeLog("TranslateMessage(0x%x)", message->message);
  return WmTranslateMessage(message);
}

LRESULT WINAPI DispatchMessageA(const MSG* message) {
  FakeLog("DispatchMessageA(0x%x)", message->message);
  return WmDispatchMessage(message);
}

BOOL WINAPI PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  FakeLog("PostMessageA(0x%x, %ju, %jd)", message, static_cast<uintmax_t>(wParam),
          static_cast<intmax_t>(lParam));
  return WmPostMessage(window, message, wParam, lParam);
}

void WINAPI PostQuitMessage(int exitCode) {
  FakeLog("PostQuitMessage(%d)", exitCode);
  WmPostQuitMessage(exitCode);
}

LRESULT WINAPI DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  FakeLog("DefWindowProcA(0x%x)", message);
  return WmDefWindowProc(window, message, wParam, lParam);
}

LONG_PTR WINAPI SetWindowLongPtrA(HWND window, int index, LONG_PTR value) {
  FakeLog("SetWindowLongPtrA(%d)", index);
  return WmSetWindowLongPtr(window, index, value);
}

LONG_PTR WINAPI GetWindowLongPtrA(HWND window, int index) {
  return WmGetWindowLongPtr(window, index);
}

HDC WINAPI GetDC(HWND window) {
  FakeLog("GetDC()");
  if (FakeRefuses(FakeFallible::kGetDC)) {
    return nullptr;
  }
  return WmGetDC(window);
}
