// Opening the EGL library at run time and finding its entry points.
#include "platform/linux/egl_library.h"

#include <dlfcn.h>

#include "platform/linux/extension_list.h"

namespace {

constexpr char kSystemEglLibrary[] = "libEGL.so.1";

template <typename Function>
bool Resolve(void* handle, const char* name, Function* function) {
  *function = reinterpret_cast<Function>(dlsym(handle, name));
  return *function != nullptr;
}

template <typename Function>
void ResolveExtension(PfnEglGetProcAddress getProcAddress, const char* name, Function* function) {
  *function = reinterpret_cast<Function>(getProcAddress(name));
}

}  // namespace

bool OpenEglLibrary(const char* libraryName, EglLibrary* library) {
  *library = EglLibrary();
  void* handle = dlopen(libraryName, RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    return false;
  }
  EglLibrary found;
  found.handle = handle;
  const bool complete = Resolve(handle, "eglGetProcAddress", &found.GetProcAddress) &&
                        Resolve(handle, "eglGetError", &found.GetError) &&
                        Resolve(handle, "eglQueryString", &found.QueryString) &&
                        Resolve(handle, "eglInitialize", &found.Initialize) &&
                        Resolve(handle, "eglTerminate", &found.Terminate) &&
                        Resolve(handle, "eglBindAPI", &found.BindAPI) &&
                        Resolve(handle, "eglChooseConfig", &found.ChooseConfig) &&
                        Resolve(handle, "eglCreateContext", &found.CreateContext) &&
                        Resolve(handle, "eglDestroyContext", &found.DestroyContext) &&
                        Resolve(handle, "eglMakeCurrent", &found.MakeCurrent) &&
                        Resolve(handle, "eglReleaseThread", &found.ReleaseThread);
  if (!complete) {
    dlclose(handle);
    return false;
  }
  Resolve(handle, "eglGetPlatformDisplay", &found.GetPlatformDisplay);

  // Client extensions (EGL_EXT_client_extensions): asked of no display. An implementation
  // without them answers null, and then has none of the extensions below either.
  const char* clientExtensions = found.QueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS);
  if (clientExtensions == nullptr) {
    found.GetError();  // clears the EGL_BAD_DISPLAY that the query left behind
  }
  if (ListHasExtension(clientExtensions, "EGL_EXT_platform_base")) {
    ResolveExtension(found.GetProcAddress, "eglGetPlatformDisplayEXT",
                     &found.GetPlatformDisplayEXT);
  }
  if (ListHasExtension(clientExtensions, "EGL_EXT_device_enumeration") ||
      ListHasExtension(clientExtensions, "EGL_EXT_device_base")) {
    ResolveExtension(found.GetProcAddress, "eglQueryDevicesEXT", &found.QueryDevicesEXT);
  }
  *library = found;
  return true;
}

void CloseEglLibrary(EglLibrary* library) {
  if (library->handle != nullptr) {
    dlclose(library->handle);
  }
  *library = EglLibrary();
}

const EglLibrary* SystemEglLibrary() {
  static EglLibrary library;
  static bool open = false;
  if (!open) {
    open = OpenEglLibrary(kSystemEglLibrary, &library);
  }
  return open ? &library : nullptr;
}
