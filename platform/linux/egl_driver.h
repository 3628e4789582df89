// The OpenGL driver as the Linux layer reaches it: an initialised EGL display that needs no
// window system, and a config for desktop OpenGL contexts made current without a surface.
#pragma once

#include "platform/linux/egl_library.h"

struct EglDriver {
  const EglLibrary* egl = nullptr;
  EGLDisplay display = EGL_NO_DISPLAY;
  EGLConfig config = nullptr;
};

// Initialises a display of `egl`: Mesa's surfaceless platform (EGL_MESA_platform_surfaceless)
// first, then each device of EGL_EXT_platform_device. A display serves if it offers
// EGL_KHR_surfaceless_context and a config that renders desktop OpenGL, and the calling thread
// can bind the OpenGL API. False, with no display left initialised, when none serves or `egl`
// is null.
bool InitialiseEglDriver(const EglLibrary* egl, EglDriver* driver);

// Terminates the display that InitialiseEglDriver initialised, once no context of it is current
// or alive, and releases the calling thread's EGL state.
void TerminateEglDriver(EglDriver* driver);
