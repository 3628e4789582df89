// The EGL library, opened at run time with dlopen so that the executable does not depend on it
// when it links and still starts on a machine without it. Only the types, constants and entry
// points that the Linux layer uses are declared here, with the values that EGL 1.5 and the
// extensions named beside them define; no Khronos or Mesa header is needed.
#pragma once

#include <cstdint>

typedef void* EGLDisplay;
typedef void* EGLConfig;
typedef void* EGLContext;
typedef void* EGLSurface;
typedef void* EGLDeviceEXT;
typedef unsigned int EGLBoolean;
typedef unsigned int EGLenum;
typedef int32_t EGLint;
typedef intptr_t EGLAttrib;
typedef void (*EglProc)();

constexpr EGLBoolean EGL_FALSE = 0;
constexpr EGLBoolean EGL_TRUE = 1;
constexpr EGLDisplay EGL_NO_DISPLAY = nullptr;
constexpr EGLContext EGL_NO_CONTEXT = nullptr;
constexpr EGLSurface EGL_NO_SURFACE = nullptr;

constexpr EGLint EGL_SUCCESS = 0x3000;
constexpr EGLint EGL_SURFACE_TYPE = 0x3033;
constexpr EGLint EGL_NONE = 0x3038;
constexpr EGLint EGL_RENDERABLE_TYPE = 0x3040;
constexpr EGLint EGL_EXTENSIONS = 0x3055;
constexpr EGLint EGL_OPENGL_BIT = 0x0008;
constexpr EGLenum EGL_OPENGL_API = 0x30A2;
// EGL_MESA_platform_surfaceless.
constexpr EGLenum EGL_PLATFORM_SURFACELESS_MESA = 0x31DD;
// EGL_EXT_platform_device.
constexpr EGLenum EGL_PLATFORM_DEVICE_EXT = 0x313F;

// Core entry points (EGL 1.4; eglGetPlatformDisplay is EGL 1.5 and may be missing).
typedef EglProc (*PfnEglGetProcAddress)(const char* name);
typedef EGLint (*PfnEglGetError)();
typedef const char* (*PfnEglQueryString)(EGLDisplay display, EGLint name);
typedef EGLDisplay (*PfnEglGetPlatformDisplay)(EGLenum platform, void* nativeDisplay,
                                               const EGLAttrib* attributes);
typedef EGLBoolean (*PfnEglInitialize)(EGLDisplay display, EGLint* major, EGLint* minor);
typedef EGLBoolean (*PfnEglTerminate)(EGLDisplay display);
typedef EGLBoolean (*PfnEglBindAPI)(EGLenum api);
typedef EGLBoolean (*PfnEglChooseConfig)(EGLDisplay display, const EGLint* attributes,
                                         EGLConfig* configs, EGLint capacity, EGLint* count);
typedef EGLContext (*PfnEglCreateContext)(EGLDisplay display, EGLConfig config,
                                          EGLContext shareContext, const EGLint* attributes);
typedef EGLBoolean (*PfnEglDestroyContext)(EGLDisplay display, EGLContext context);
typedef EGLBoolean (*PfnEglMakeCurrent)(EGLDisplay display, EGLSurface draw, EGLSurface read,
                                        EGLContext context);
typedef EGLBoolean (*PfnEglReleaseThread)();
// Extension entry points, found through eglGetProcAddress.
// EGL_EXT_platform_base.
typedef EGLDisplay (*PfnEglGetPlatformDisplayEXT)(EGLenum platform, void* nativeDisplay,
                                                  const EGLint* attributes);
// EGL_EXT_device_enumeration.
typedef EGLBoolean (*PfnEglQueryDevicesEXT)(EGLint capacity, EGLDeviceEXT* devices, EGLint* count);

struct EglLibrary {
  void* handle = nullptr;
  PfnEglGetProcAddress GetProcAddress = nullptr;
  PfnEglGetError GetError = nullptr;
  PfnEglQueryString QueryString = nullptr;
  PfnEglGetPlatformDisplay GetPlatformDisplay = nullptr;  // null before EGL 1.5
  PfnEglInitialize Initialize = nullptr;
  PfnEglTerminate Terminate = nullptr;
  PfnEglBindAPI BindAPI = nullptr;
  PfnEglChooseConfig ChooseConfig = nullptr;
  PfnEglCreateContext CreateContext = nullptr;
  PfnEglDestroyContext DestroyContext = nullptr;
  PfnEglMakeCurrent MakeCurrent = nullptr;
  PfnEglReleaseThread ReleaseThread = nullptr;
  PfnEglGetPlatformDisplayEXT GetPlatformDisplayEXT = nullptr;  // null without the extension
  PfnEglQueryDevicesEXT QueryDevicesEXT = nullptr;              // null without the extension
};

// Opens `libraryName` and resolves the entry points into `library`. False, with nothing left
// open, when the library cannot be opened or lacks a core entry point other than
// eglGetPlatformDisplay.
bool OpenEglLibrary(const char* libraryName, EglLibrary* library);

// Closes what OpenEglLibrary opened. Only for a library whose displays were never initialised:
// an EGL driver, once it has run, may leave exit handlers behind inside itself.
void CloseEglLibrary(EglLibrary* library);

// The system's EGL library (libEGL.so.1), opened on the first call that finds it and kept open
// for the rest of the process; null while it cannot be opened (a later call tries again).
// Not thread-safe: the caller serialises calls.
const EglLibrary* SystemEglLibrary();
