// Finding an EGL display that needs no window system and can run desktop OpenGL.
#include "platform/linux/egl_driver.h"

#include <vector>

#include "platform/linux/extension_list.h"

namespace {

// Any surface type serves: contexts are only ever made current without a surface.
constexpr EGLint kConfigAttributes[] = {EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT, EGL_SURFACE_TYPE, 0,
                                        EGL_NONE};

EGLDisplay GetPlatformDisplay(const EglLibrary& egl, EGLenum platform, void* nativeDisplay) {
  if (egl.GetPlatformDisplayEXT != nullptr) {
    const EGLint attributes[] = {EGL_NONE};
    return egl.GetPlatformDisplayEXT(platform, nativeDisplay, attributes);
  }
  if (egl.GetPlatformDisplay != nullptr) {
    const EGLAttrib attributes[] = {EGL_NONE};
    return egl.GetPlatformDisplay(platform, nativeDisplay, attributes);
  }
  return EGL_NO_DISPLAY;
}

// Whether the initialised `display` serves; if it does, its OpenGL config goes to `config`.
bool Serves(const EglLibrary& egl, EGLDisplay display, EGLConfig* config) {
  if (!ListHasExtension(egl.QueryString(display, EGL_EXTENSIONS), "EGL_KHR_surfaceless_context")) {
    return false;
  }
  if (!egl.BindAPI(EGL_OPENGL_API)) {
    return false;
  }
  EGLint count = 0;
  return egl.ChooseConfig(display, kConfigAttributes, config, 1, &count) && count > 0;
}

// Initialises `display` and keeps it if it serves; otherwise leaves it terminated.
bool TryDisplay(const EglLibrary& egl, EGLDisplay display, EglDriver* driver) {
  if (display == EGL_NO_DISPLAY) {
    return false;
  }
  EGLint major = 0;
  EGLint minor = 0;
  if (!egl.Initialize(display, &major, &minor)) {
    egl.Terminate(display);  // allowed on a display that is not initialised; frees what it can
    return false;
  }
  EGLConfig config = nullptr;
  if (!Serves(egl, display, &config)) {
    egl.Terminate(display);
    return false;
  }
  driver->egl = &egl;
  driver->display = display;
  driver->config = config;
  return true;
}

bool TrySurfacelessDisplay(const EglLibrary& egl, const char* clientExtensions, EglDriver* driver) {
  if (!ListHasExtension(clientExtensions, "EGL_MESA_platform_surfaceless")) {
    return false;
  }
  return TryDisplay(egl, GetPlatformDisplay(egl, EGL_PLATFORM_SURFACELESS_MESA, nullptr), driver);
}

bool TryDeviceDisplays(const EglLibrary& egl, const char* clientExtensions, EglDriver* driver) {
  if (egl.QueryDevicesEXT == nullptr ||
      !ListHasExtension(clientExtensions, "EGL_EXT_platform_device")) {
    return false;
  }
  EGLint count = 0;
  if (!egl.QueryDevicesEXT(0, nullptr, &count) || count <= 0) {
    return false;
  }
  std::vector<EGLDeviceEXT> devices(static_cast<std::size_t>(count));
  if (!egl.QueryDevicesEXT(count, devices.data(), &count)) {
    return false;
  }
  for (EGLint index = 0; index < count; ++index) {
    if (TryDisplay(egl, GetPlatformDisplay(egl, EGL_PLATFORM_DEVICE_EXT, devices[index]), driver)) {
      return true;
    }
  }
  return false;
}

}  // namespace

bool InitialiseEglDriver(const EglLibrary* egl, EglDriver* driver) {
  *driver = EglDriver();
  if (egl == nullptr) {
    return false;
  }
  const char* clientExtensions = egl->QueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS);
  const bool found = TrySurfacelessDisplay(*egl, clientExtensions, driver) ||
                     TryDeviceDisplays(*egl, clientExtensions, driver);
  // Failed attempts leave an error code on the thread; a later eglGetError would see it.
  egl->GetError();
  return found;
}

void TerminateEglDriver(EglDriver* driver) {
  if (driver->egl != nullptr && driver->display != EGL_NO_DISPLAY) {
    driver->egl->Terminate(driver->display);
    driver->egl->ReleaseThread();
  }
  *driver = EglDriver();
}
