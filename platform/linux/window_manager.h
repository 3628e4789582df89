// A small in-process window manager: window classes, windows with their procedure and user
// data, each window's own device context, and the thread's posted-message queue with its quit
// request. It runs on the calling thread and draws nothing. The Linux layer's user32 calls
// forward to it; the test fake forwards to it too, after deciding whether to refuse a call, so
// that tests exercise the same semantics.
#pragma once

#include <cstddef>

#include "platform/platform.h"

ATOM WmRegisterClass(const WNDCLASSA* windowClass);
BOOL WmUnregisterClass(LPCSTR className, HINSTANCE instance);
HWND WmCreateWindow(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y,
                    int width, int height, HWND parent, HMENU menu, HINSTANCE instance,
                    LPVOID param);
BOOL WmDestroyWindow(HWND window);
BOOL WmShowWindow(HWND window, int command);
BOOL WmUpdateWindow(HWND window);
BOOL WmGetMessage(MSG* message, HWND window, UINT filterMin, UINT filterMax);
BOOL WmTranslateMessage(const MSG* message);
LRESULT WmDispatchMessage(const MSG* message);
BOOL WmPostMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void WmPostQuitMessage(int exitCode);
LRESULT WmDefWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LONG_PTR WmSetWindowLongPtr(HWND window, int index, LONG_PTR value);
LONG_PTR WmGetWindowLongPtr(HWND window, int index);
HCURSOR WmLoadCursor(HINSTANCE instance, LPCSTR name);
HDC WmGetDC(HWND window);

// True while `deviceContext` is the own device context of an existing window.
bool WmIsLiveDeviceContext(HDC deviceContext);

// What exists now, for tests and for checks that nothing was left behind.
std::size_t WmCountClasses();
std::size_t WmCountWindows();
std::size_t WmCountPostedMessages();
bool WmIsQuitPending();
// Forgets every class, window, posted message and quit request.
void WmReset();
