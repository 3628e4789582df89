/*
 * A test OpenGL driver for running Brevonix's AGPMem and VidMem benchmarks on Wine.
 *
 * TEST ONLY: this DLL is never shipped or installed. The Wine suite puts it beside
 * Brevonix.exe as opengl32.dll and selects it with WINEDLLOVERRIDES="opengl32=n,b". Both the
 * program's own imports and Wine's gdi32 then reach this file: on Wine 8, gdi32's
 * ChoosePixelFormat and SetPixelFormat load opengl32.dll and call its wglChoosePixelFormat and
 * wglSetPixelFormat (the suite's trace shows it). wglDescribePixelFormat and wglGetPixelFormat,
 * which gdi32's DescribePixelFormat and GetPixelFormat use, are exported as well. The window,
 * its device context and the message loop stay Wine's real user32 and gdi32.
 *
 * It offers one pixel format (RGBA, 32-bit colour, 16-bit depth, drawable to a window, OpenGL),
 * rendering contexts that draw nothing, and the NV vertex-array-range allocator
 * wglAllocateMemoryNV/wglFreeMemoryNV backed by VirtualAlloc, handed out by wglGetProcAddress
 * only while one of its contexts is current on the calling thread, as a real driver does.
 *
 * When the environment variable BREVONIX_GL_TRACE names a file, every call is appended to it
 * as one line, so that the suite can check which window was used and that the context was
 * current, released and deleted in order.
 *
 * When BREVONIX_GL_FAIL names one of wglChoosePixelFormat, wglSetPixelFormat, wglCreateContext,
 * wglMakeCurrent, wglAllocateMemoryNV or wglFreeMemoryNV, that step fails (for wglMakeCurrent:
 * making a context current; releasing still works; for wglFreeMemoryNV: wglGetProcAddress
 * does not offer it), so that the suite can walk the program's error paths on real user32.
 */
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#define TEST_PIXEL_FORMAT 1
#define TEST_PIXEL_FORMAT_COUNT 1
#define MAX_WINDOWS 16
#define MAX_CONTEXTS 16
#define CONTEXT_MAGIC 0x42524556u /* "BREV" */

struct WindowFormat {
  HWND window;
  HDC deviceContext; /* for a DC without a window */
  int format;
};

struct Context {
  DWORD magic;
  unsigned serial;
  int inUse;
  HDC deviceContext;
  DWORD thread; /* thread on which the context is current, or 0 */
};

static struct WindowFormat g_formats[MAX_WINDOWS];
static struct Context g_contexts[MAX_CONTEXTS];
static unsigned g_nextSerial = 1;
static CRITICAL_SECTION g_lock;
static DWORD g_currentSlot = TLS_OUT_OF_INDEXES;

/* ---- Fault injection ----------------------------------------------------------------- */

static int ShouldFail(const char* entryPoint) {
  char name[64];
  const DWORD length = GetEnvironmentVariableA("BREVONIX_GL_FAIL", name, sizeof(name));
  return length != 0 && length < sizeof(name) && strcmp(name, entryPoint) == 0;
}

/* ---- Trace ---------------------------------------------------------------------------- */

static void Trace(const char* format, ...) {
  char path[MAX_PATH];
  DWORD length = GetEnvironmentVariableA("BREVONIX_GL_TRACE", path, sizeof(path));
  if (length == 0 || length >= sizeof(path)) {
    return;
  }
  FILE* file = fopen(path, "a");
  if (file == NULL) {
    return;
  }
  va_list arguments;
  va_start(arguments, format);
  vfprintf(file, format, arguments);
  va_end(arguments);
  fputc('\n', file);
  fclose(file);
}

/* Describes the window behind a device context: class, title and outer size. */
static void DescribeWindow(HDC deviceContext, char* text, size_t size) {
  HWND window = WindowFromDC(deviceContext);
  if (window == NULL) {
    snprintf(text, size, "window=none");
    return;
  }
  char className[64] = "";
  char title[64] = "";
  RECT rect = {0, 0, 0, 0};
  GetClassNameA(window, className, sizeof(className));
  GetWindowTextA(window, title, sizeof(title));
  GetWindowRect(window, &rect);
  snprintf(text, size, "class=%s title=%s size=%ldx%ld", className, title,
           (long)(rect.right - rect.left), (long)(rect.bottom - rect.top));
}

/* ---- Pixel formats -------------------------------------------------------------------- */

/* The pixel-format record of the window behind `deviceContext` (or of the DC itself, for a DC
 * without a window); with `create`, a new empty record when there is none. Records of windows
 * that are gone are dropped first, since Wine may hand their handles out again. */
static struct WindowFormat* FindFormat(HDC deviceContext, int create) {
  HWND window = WindowFromDC(deviceContext);
  struct WindowFormat* freeEntry = NULL;
  for (int i = 0; i < MAX_WINDOWS; ++i) {
    struct WindowFormat* entry = &g_formats[i];
    if (entry->format != 0 && entry->window != NULL && !IsWindow(entry->window)) {
      memset(entry, 0, sizeof(*entry));
    }
    if (entry->format == 0) {
      if (freeEntry == NULL) {
        freeEntry = entry;
      }
      continue;
    }
    if (window != NULL ? entry->window == window : entry->deviceContext == deviceContext) {
      return entry;
    }
  }
  if (!create || freeEntry == NULL) {
    return NULL;
  }
  freeEntry->window = window;
  freeEntry->deviceContext = window != NULL ? NULL : deviceContext;
  return freeEntry;
}

static void FillDescriptor(PIXELFORMATDESCRIPTOR* descriptor) {
  memset(descriptor, 0, sizeof(*descriptor));
  descriptor->nSize = sizeof(*descriptor);
  descriptor->nVersion = 1;
  descriptor->dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
  descriptor->iPixelType = PFD_TYPE_RGBA;
  descriptor->cColorBits = 32;
  descriptor->cRedBits = 8;
  descriptor->cRedShift = 16;
  descriptor->cGreenBits = 8;
  descriptor->cGreenShift = 8;
  descriptor->cBlueBits = 8;
  descriptor->cBlueShift = 0;
  descriptor->cAlphaBits = 8;
  descriptor->cAlphaShift = 24;
  descriptor->cDepthBits = 16;
  descriptor->iLayerType = PFD_MAIN_PLANE;
}

int WINAPI TestChoosePixelFormat(HDC deviceContext, const PIXELFORMATDESCRIPTOR* request) {
  char window[160];
  DescribeWindow(deviceContext, window, sizeof(window));
  int format = 0;
  if (!ShouldFail("wglChoosePixelFormat") && request != NULL &&
      (request->dwFlags & PFD_SUPPORT_OPENGL) != 0 &&
      request->iPixelType == PFD_TYPE_RGBA) {
    format = TEST_PIXEL_FORMAT;
  }
  Trace("wglChoosePixelFormat %s flags=0x%lx colour=%u depth=%u -> %d", window,
        request != NULL ? (unsigned long)request->dwFlags : 0ul,
        request != NULL ? request->cColorBits : 0u, request != NULL ? request->cDepthBits : 0u,
        format);
  if (format == 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
  }
  return format;
}

int WINAPI TestDescribePixelFormat(HDC deviceContext, int format, UINT size,
                                   PIXELFORMATDESCRIPTOR* descriptor) {
  (void)deviceContext;
  Trace("wglDescribePixelFormat format=%d", format);
  if (descriptor == NULL) {
    return TEST_PIXEL_FORMAT_COUNT;
  }
  if (format != TEST_PIXEL_FORMAT || size < sizeof(PIXELFORMATDESCRIPTOR)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  FillDescriptor(descriptor);
  return TEST_PIXEL_FORMAT_COUNT;
}

int WINAPI TestGetPixelFormat(HDC deviceContext) {
  EnterCriticalSection(&g_lock);
  const struct WindowFormat* entry = FindFormat(deviceContext, 0);
  const int format = entry != NULL ? entry->format : 0;
  LeaveCriticalSection(&g_lock);
  Trace("wglGetPixelFormat -> %d", format);
  return format;
}

BOOL WINAPI TestSetPixelFormat(HDC deviceContext, int format,
                               const PIXELFORMATDESCRIPTOR* request) {
  (void)request;
  BOOL result = FALSE;
  EnterCriticalSection(&g_lock);
  if (format == TEST_PIXEL_FORMAT && !ShouldFail("wglSetPixelFormat")) {
    struct WindowFormat* entry = FindFormat(deviceContext, 1);
    /* Like Windows: a window's pixel format is set once; setting the same one again is fine. */
    if (entry != NULL && (entry->format == 0 || entry->format == format)) {
      entry->format = format;
      result = TRUE;
    }
  }
  LeaveCriticalSection(&g_lock);
  Trace("wglSetPixelFormat format=%d -> %d", format, result);
  if (!result) {
    SetLastError(ERROR_INVALID_PIXEL_FORMAT);
  }
  return result;
}

BOOL WINAPI TestSwapBuffers(HDC deviceContext) {
  (void)deviceContext;
  Trace("wglSwapBuffers");
  return TRUE;
}

/* ---- Rendering contexts --------------------------------------------------------------- */

static struct Context* FromHandle(HGLRC handle) {
  struct Context* context = (struct Context*)handle;
  for (int i = 0; i < MAX_CONTEXTS; ++i) {
    if (context == &g_contexts[i] && context->inUse && context->magic == CONTEXT_MAGIC) {
      return context;
    }
  }
  return NULL;
}

static struct Context* CurrentContext(void) {
  return (struct Context*)TlsGetValue(g_currentSlot);
}

HGLRC WINAPI TestCreateContext(HDC deviceContext) {
  char window[160];
  DescribeWindow(deviceContext, window, sizeof(window));
  struct Context* created = NULL;
  EnterCriticalSection(&g_lock);
  const struct WindowFormat* entry = FindFormat(deviceContext, 0);
  if (entry != NULL && entry->format != 0 && !ShouldFail("wglCreateContext")) {
    for (int i = 0; i < MAX_CONTEXTS; ++i) {
      if (!g_contexts[i].inUse) {
        created = &g_contexts[i];
        created->magic = CONTEXT_MAGIC;
        created->serial = g_nextSerial++;
        created->inUse = 1;
        created->deviceContext = deviceContext;
        created->thread = 0;
        break;
      }
    }
  }
  LeaveCriticalSection(&g_lock);
  if (created == NULL) {
    Trace("wglCreateContext %s -> none", window);
    SetLastError(ERROR_INVALID_PIXEL_FORMAT);
    return NULL;
  }
  Trace("wglCreateContext %s -> context%u", window, created->serial);
  return (HGLRC)created;
}

BOOL WINAPI TestMakeCurrent(HDC deviceContext, HGLRC handle) {
  BOOL result = FALSE;
  unsigned serial = 0;
  const DWORD thread = GetCurrentThreadId();
  EnterCriticalSection(&g_lock);
  struct Context* previous = CurrentContext();
  if (handle == NULL) {
    if (previous != NULL) {
      previous->thread = 0;
    }
    TlsSetValue(g_currentSlot, NULL);
    result = TRUE;
  } else {
    struct Context* context = FromHandle(handle);
    const struct WindowFormat* entry = FindFormat(deviceContext, 0);
    serial = context != NULL ? context->serial : 0;
    /* A context is current on one thread at most, on a DC with a pixel format. */
    if (context != NULL && entry != NULL && entry->format != 0 && !ShouldFail("wglMakeCurrent") &&
        (context->thread == 0 || context->thread == thread)) {
      if (previous != NULL) {
        previous->thread = 0;
      }
      context->thread = thread;
      context->deviceContext = deviceContext;
      TlsSetValue(g_currentSlot, context);
      result = TRUE;
    }
  }
  LeaveCriticalSection(&g_lock);
  if (handle == NULL) {
    Trace("wglMakeCurrent none -> %d", result);
  } else if (serial != 0) {
    Trace("wglMakeCurrent context%u -> %d", serial, result);
  } else {
    Trace("wglMakeCurrent invalid -> %d", result);
  }
  if (!result) {
    SetLastError(ERROR_INVALID_HANDLE);
  }
  return result;
}

BOOL WINAPI TestDeleteContext(HGLRC handle) {
  BOOL result = FALSE;
  unsigned serial = 0;
  EnterCriticalSection(&g_lock);
  struct Context* context = FromHandle(handle);
  if (context != NULL) {
    serial = context->serial;
    if (context == CurrentContext()) {
      TlsSetValue(g_currentSlot, NULL);
    }
    /* Deleting a context current on another thread fails, as on Windows. */
    if (context->thread == 0 || context->thread == GetCurrentThreadId()) {
      memset(context, 0, sizeof(*context));
      result = TRUE;
    }
  }
  LeaveCriticalSection(&g_lock);
  Trace("wglDeleteContext context%u -> %d", serial, result);
  if (!result) {
    SetLastError(ERROR_INVALID_HANDLE);
  }
  return result;
}

HGLRC WINAPI TestGetCurrentContext(void) {
  return (HGLRC)CurrentContext();
}

HDC WINAPI TestGetCurrentDC(void) {
  const struct Context* context = CurrentContext();
  return context != NULL ? context->deviceContext : NULL;
}

/* ---- The NV vertex-array-range allocator ---------------------------------------------- */

static const char* Describe(float value, char* text, size_t size) {
  snprintf(text, size, "%.2f", (double)value);
  return text;
}

static void* WINAPI TestAllocateMemoryNV(int size, float readFrequency, float writeFrequency,
                                         float priority) {
  char read[16];
  char write[16];
  char prio[16];
  void* memory = NULL;
  const struct Context* context = CurrentContext();
  if (context != NULL && size > 0 && !ShouldFail("wglAllocateMemoryNV")) {
    memory = VirtualAlloc(NULL, (SIZE_T)size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  }
  Trace("wglAllocateMemoryNV size=%d read=%s write=%s priority=%s current=context%u -> %s", size,
        Describe(readFrequency, read, sizeof(read)), Describe(writeFrequency, write, sizeof(write)),
        Describe(priority, prio, sizeof(prio)), context != NULL ? context->serial : 0u,
        memory != NULL ? "memory" : "none");
  return memory;
}

static void WINAPI TestFreeMemoryNV(void* pointer) {
  const BOOL freed = pointer != NULL && VirtualFree(pointer, 0, MEM_RELEASE);
  Trace("wglFreeMemoryNV -> %d", freed);
}

PROC WINAPI TestGetProcAddress(LPCSTR name) {
  const struct Context* context = CurrentContext();
  PROC proc = NULL;
  if (context != NULL && name != NULL) {
    /* Through void(*)(void), the one function type that any other converts to silently. */
    if (strcmp(name, "wglAllocateMemoryNV") == 0) {
      proc = (PROC)(void (*)(void))TestAllocateMemoryNV;
    } else if (strcmp(name, "wglFreeMemoryNV") == 0 && !ShouldFail("wglFreeMemoryNV")) {
      proc = (PROC)(void (*)(void))TestFreeMemoryNV;
    }
  }
  Trace("wglGetProcAddress %s current=context%u -> %s", name != NULL ? name : "(null)",
        context != NULL ? context->serial : 0u, proc != NULL ? "proc" : "none");
  return proc;
}

/* ---- Loading -------------------------------------------------------------------------- */

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  (void)instance;
  (void)reserved;
  if (reason == DLL_PROCESS_ATTACH) {
    g_currentSlot = TlsAlloc();
    if (g_currentSlot == TLS_OUT_OF_INDEXES) {
      return FALSE;
    }
    InitializeCriticalSection(&g_lock);
  } else if (reason == DLL_PROCESS_DETACH && reserved == NULL) {
    DeleteCriticalSection(&g_lock);
    TlsFree(g_currentSlot);
  }
  return TRUE;
}
