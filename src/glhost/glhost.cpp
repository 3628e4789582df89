#include "glhost/glhost.h"

#include <cstdio>

namespace {

constexpr char kWindowClassName[] = "Brevonix";
constexpr char kWindowTitle[] = "Brevonix";
constexpr int kWindowWidth = 120;
constexpr int kWindowHeight = 90;
// Posted to the window during creation; dispatching it runs the routine.
constexpr UINT kStartMessage = WM_APP;

GLHostRecord* GetRecord(HWND window) {
  return reinterpret_cast<GLHostRecord*>(GetWindowLongPtrA(window, GWLP_USERDATA));
}

PIXELFORMATDESCRIPTOR MakePixelFormatRequest() {
  PIXELFORMATDESCRIPTOR request = {};
  request.nSize = static_cast<WORD>(sizeof(PIXELFORMATDESCRIPTOR));
  request.nVersion = 1;
  request.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL;
  request.iPixelType = PFD_TYPE_RGBA;
  request.cColorBits = 24;
  request.cDepthBits = 16;
  request.iLayerType = PFD_MAIN_PLANE;
  return request;
}

// Answers the creation message: -1 abandons the window, and the platform then sends
// WM_DESTROY, whose handler deletes any context made here.
LRESULT CreateRenderContext(HWND window, const CREATESTRUCTA* creation) {
  SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(creation->lpCreateParams));
  GLHostRecord* record = GetRecord(window);
  record->deviceContext = nullptr;
  record->renderContext = nullptr;

  record->deviceContext = GetDC(window);
  if (record->deviceContext == nullptr) {
    printf("ERROR:  GetDC failed.\n");
    return -1;
  }

  const PIXELFORMATDESCRIPTOR request = MakePixelFormatRequest();
  const int format = ChoosePixelFormat(record->deviceContext, &request);
  if (format == 0) {
    printf("ERROR:  ChoosePixelFormat failed.\n");
    return -1;
  }
  if (!SetPixelFormat(record->deviceContext, format, &request)) {
    printf("ERROR:  SetPixelFormat failed.\n");
    return -1;
  }

  record->renderContext = wglCreateContext(record->deviceContext);
  if (record->renderContext == nullptr) {
    printf("ERROR:  wglCreateContext failed.\n");
    return -1;
  }
  if (!wglMakeCurrent(record->deviceContext, record->renderContext)) {
    printf("ERROR:  wglMakeCurrent failed.\n");
    return -1;
  }

  PostMessageA(window, kStartMessage, 0, 0);
  return 0;
}

void ReleaseRenderContext(GLHostRecord* record) {
  if (record->renderContext != nullptr) {
    wglMakeCurrent(nullptr, nullptr);
    wglDeleteContext(record->renderContext);
    record->renderContext = nullptr;
  }
}

}  // namespace

LRESULT CALLBACK GLHostWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      return CreateRenderContext(window, reinterpret_cast<const CREATESTRUCTA*>(lParam));
    case kStartMessage:
      if (GLHostRecord* record = GetRecord(window)) {
        record->routine();
        DestroyWindow(window);
        return 0;
      }
      break;
    case WM_DESTROY:
      if (GLHostRecord* record = GetRecord(window)) {
        ReleaseRenderContext(record);
        PostQuitMessage(0);
        return 0;
      }
      break;
    case WM_NCDESTROY:
      // The window's last message. Some window managers abandon a refused creation with this
      // alone, without WM_DESTROY, so a context made before the refusal is released here too.
      // The record is then detached: nothing left of the window can reach it.
      if (GLHostRecord* record = GetRecord(window)) {
        ReleaseRenderContext(record);
        SetWindowLongPtrA(window, GWLP_USERDATA, 0);
      }
      break;
    default:
      break;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

void RunInGLWindow(GLHostRecord* record) {
  const HINSTANCE instance = GetModuleHandleA(nullptr);

  WNDCLASSA windowClass = {};
  windowClass.style = CS_OWNDC | CS_HREDRAW | CS_VREDRAW;
  windowClass.lpfnWndProc = GLHostWindowProc;
  windowClass.cbClsExtra = 0;
  windowClass.cbWndExtra = 0;
  windowClass.hInstance = instance;
  windowClass.hIcon = nullptr;
  windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<intptr_t>(COLOR_WINDOW + 1));
  windowClass.lpszMenuName = nullptr;
  windowClass.lpszClassName = kWindowClassName;
  if (RegisterClassA(&windowClass) == 0) {
    printf("ERROR:  RegisterClass failed.\n");
    return;
  }

  const HWND window = CreateWindowExA(
      0, kWindowClassName, kWindowTitle, WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | WS_CLIPSIBLINGS,
      CW_USEDEFAULT, 0, kWindowWidth, kWindowHeight, nullptr, nullptr, instance, record);
  if (window == nullptr) {
    UnregisterClassA(kWindowClassName, instance);
    printf("ERROR:  CreateWindow failed.\n");
    return;
  }

  ShowWindow(window, SW_SHOW);
  UpdateWindow(window);

  MSG message;
  for (;;) {
    const BOOL got = GetMessageA(&message, nullptr, 0, 0);
    if (got == -1) {
      printf("ERROR:  GetMessage failed.\n");
      // The window outlives a failed loop unless we end it here, and its procedure would then
      // reach `record` after the launcher's frame is gone. Destroying it now, while the record
      // is alive, releases the context and leaves nothing that points at the record.
      DestroyWindow(window);
      break;
    }
    if (got == 0) {
      break;
    }
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }

  UnregisterClassA(kWindowClassName, instance);
}
