// The part of the Windows programming interface that Brevonix uses, declared for platforms
// other than Windows. Types, constants and calls keep their Windows names and meanings; the
// Linux layer and the test fake implement the calls. Handles are opaque pointers to types of
// their own, so that the compiler keeps a window apart from a device context.
#pragma once

#include <cstddef>
#include <cstdint>

#define WINAPI
#define CALLBACK
#define APIENTRY

typedef int BOOL;
typedef int INT;
typedef unsigned int UINT;
typedef int32_t LONG;
typedef uint32_t DWORD;
typedef uint16_t WORD;
typedef uint8_t BYTE;
typedef uint16_t ATOM;
typedef char CHAR;
typedef const char* LPCSTR;
typedef void* LPVOID;
typedef std::size_t SIZE_T;
typedef intptr_t LONG_PTR;
typedef uintptr_t DWORD_PTR;
typedef uintptr_t WPARAM;
typedef intptr_t LPARAM;
typedef intptr_t LRESULT;
typedef UINT MMRESULT;

typedef void* HANDLE;
typedef void* HGLOBAL;
struct HINSTANCE__;
typedef HINSTANCE__* HINSTANCE;
typedef HINSTANCE HMODULE;
struct HWND__;
typedef HWND__* HWND;
struct HDC__;
typedef HDC__* HDC;
struct HGLRC__;
typedef HGLRC__* HGLRC;
struct HICON__;
typedef HICON__* HICON;
struct HCURSOR__;
typedef HCURSOR__* HCURSOR;
struct HBRUSH__;
typedef HBRUSH__* HBRUSH;
struct HMENU__;
typedef HMENU__* HMENU;

typedef LRESULT(CALLBACK* WNDPROC)(HWND, UINT, WPARAM, LPARAM);
typedef intptr_t(WINAPI* PROC)();

#define FALSE 0
#define TRUE 1

// Kernel
#define GMEM_FIXED 0x0000u

HGLOBAL WINAPI GlobalAlloc(UINT flags, SIZE_T bytes);
HGLOBAL WINAPI GlobalFree(HGLOBAL block);
void WINAPI Sleep(DWORD milliseconds);
HANDLE WINAPI GetCurrentProcess();
BOOL WINAPI SetProcessAffinityMask(HANDLE process, DWORD_PTR mask);
HMODULE WINAPI GetModuleHandleA(LPCSTR moduleName);

// Multimedia timer
#define TIMERR_NOERROR 0u

DWORD WINAPI timeGetTime();
MMRESULT WINAPI timeBeginPeriod(UINT period);
MMRESULT WINAPI timeEndPeriod(UINT period);

// Window manager
#define CS_VREDRAW 0x0001u
#define CS_HREDRAW 0x0002u
#define CS_OWNDC 0x0020u

#define WS_OVERLAPPEDWINDOW 0x00CF0000u
#define WS_CLIPCHILDREN 0x02000000u
#define WS_CLIPSIBLINGS 0x04000000u
#define CW_USEDEFAULT (static_cast<int>(0x80000000u))
#define SW_SHOW 5

#define WM_CREATE 0x0001u
#define WM_DESTROY 0x0002u
#define WM_QUIT 0x0012u
#define WM_NCDESTROY 0x0082u
#define WM_APP 0x8000u

#define GWLP_USERDATA (-21)
#define COLOR_WINDOW 5
#define MAKEINTRESOURCEA(id) \
  (reinterpret_cast<LPCSTR>(static_cast<uintptr_t>(static_cast<WORD>(id))))
#define IDC_ARROW MAKEINTRESOURCEA(32512)

struct WNDCLASSA {
  UINT style;
  WNDPROC lpfnWndProc;
  int cbClsExtra;
  int cbWndExtra;
  HINSTANCE hInstance;
  HICON hIcon;
  HCURSOR hCursor;
  HBRUSH hbrBackground;
  LPCSTR lpszMenuName;
  LPCSTR lpszClassName;
};

struct CREATESTRUCTA {
  LPVOID lpCreateParams;
  HINSTANCE hInstance;
  HMENU hMenu;
  HWND hwndParent;
  int cy;
  int cx;
  int y;
  int x;
  LONG style;
  LPCSTR lpszName;
  LPCSTR lpszClass;
  DWORD dwExStyle;
};

struct POINT {
  LONG x;
  LONG y;
};

struct MSG {
  HWND hwnd;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  DWORD time;
  POINT pt;
};

HCURSOR WINAPI LoadCursorA(HINSTANCE instance, LPCSTR name);
ATOM WINAPI RegisterClassA(const WNDCLASSA* windowClass);
BOOL WINAPI UnregisterClassA(LPCSTR className, HINSTANCE instance);
HWND WINAPI CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x,
                            int y, int width, int height, HWND parent, HMENU menu,
                            HINSTANCE instance, LPVOID param);
BOOL WINAPI DestroyWindow(HWND window);
BOOL WINAPI ShowWindow(HWND window, int command);
BOOL WINAPI UpdateWindow(HWND window);
BOOL WINAPI GetMessageA(MSG* message, HWND window, UINT filterMin, UINT filterMax);
BOOL WINAPI TranslateMessage(const MSG* message);
LRESULT WINAPI DispatchMessageA(const MSG* message);
BOOL WINAPI PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void WINAPI PostQuitMessage(int exitCode);
LRESULT WINAPI DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LONG_PTR WINAPI SetWindowLongPtrA(HWND window, int index, LONG_PTR value);
LONG_PTR WINAPI GetWindowLongPtrA(HWND window, int index);
HDC WINAPI GetDC(HWND window);

// GDI
#define PFD_DRAW_TO_WINDOW 0x00000004u
#define PFD_SUPPORT_OPENGL 0x00000020u
#define PFD_DOUBLEBUFFER 0x00000001u
#define PFD_TYPE_RGBA 0
#define PFD_MAIN_PLANE 0

struct PIXELFORMATDESCRIPTOR {
  WORD nSize;
  WORD nVersion;
  DWORD dwFlags;
  BYTE iPixelType;
  BYTE cColorBits;
  BYTE cRedBits;
  BYTE cRedShift;
  BYTE cGreenBits;
  BYTE cGreenShift;
  BYTE cBlueBits;
  BYTE cBlueShift;
  BYTE cAlphaBits;
  BYTE cAlphaShift;
  BYTE cAccumBits;
  BYTE cAccumRedBits;
  BYTE cAccumGreenBits;
  BYTE cAccumBlueBits;
  BYTE cAccumAlphaBits;
  BYTE cDepthBits;
  BYTE cStencilBits;
  BYTE cAuxBuffers;
  BYTE iLayerType;
  BYTE bReserved;
  DWORD dwLayerMask;
  DWORD dwVisibleMask;
  DWORD dwDamageMask;
};

int WINAPI ChoosePixelFormat(HDC deviceContext, const PIXELFORMATDESCRIPTOR* request);
BOOL WINAPI SetPixelFormat(HDC deviceContext, int format, const PIXELFORMATDESCRIPTOR* request);

// WGL
HGLRC WINAPI wglCreateContext(HDC deviceContext);
BOOL WINAPI wglMakeCurrent(HDC deviceContext, HGLRC renderContext);
BOOL WINAPI wglDeleteContext(HGLRC renderContext);
PROC WINAPI wglGetProcAddress(LPCSTR name);
