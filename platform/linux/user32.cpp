// The window calls of the Linux layer, answered by the in-process window manager.
#include "platform/linux/window_manager.h"

HCURSOR WINAPI LoadCursorA(HINSTANCE instance, LPCSTR name) {
  return WmLoadCursor(instance, name);
}

ATOM WINAPI RegisterClassA(const WNDCLASSA* windowClass) {
  return WmRegisterClass(windowClass);
}

BOOL WINAPI UnregisterClassA(LPCSTR className, HINSTANCE instance) {
  return WmUnregisterClass(className, instance);
}

HWND WINAPI CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x,
                            int y, int width, int height, HWND parent, HMENU menu,
                            HINSTANCE instance, LPVOID param) {
  return WmCreateWindow(exStyle, className, windowName, style, x, y, width, height, parent, menu,
                        instance, param);
}

BOOL WINAPI DestroyWindow(HWND window) {
  return WmDestroyWindow(window);
}

BOOL WINAPI ShowWindow(HWND window, int command) {
  return WmShowWindow(window, command);
}

BOOL WINAPI UpdateWindow(HWND window) {
  return WmUpdateWindow(window);
}

BOOL WINAPI GetMessageA(MSG* message, HWND window, UINT filterMin, UINT filterMax) {
  return WmGetMessage(message, window, filterMin, filterMax);
}

BOOL WINAPI TranslateMessage(const MSG* message) {
  return WmTranslateMessage(message);
}

LRESULT WINAPI DispatchMessageA(const MSG* message) {
  return WmDispatchMessage(message);
}

BOOL WINAPI PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return WmPostMessage(window, message, wParam, lParam);
}

void WINAPI PostQuitMessage(int exitCode) {
  WmPostQuitMessage(exitCode);
}

LRESULT WINAPI DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return WmDefWindowProc(window, message, wParam, lParam);
}

LONG_PTR WINAPI SetWindowLongPtrA(HWND window, int index, LONG_PTR value) {
  return WmSetWindowLongPtr(window, index, value);
}

LONG_PTR WINAPI GetWindowLongPtrA(HWND window, int index) {
  return WmGetWindowLongPtr(window, index);
}

HDC WINAPI GetDC(HWND window) {
  return WmGetDC(window);
}
