// The GDI pixel-format and WGL calls of the Linux layer, and the vertex-array-range allocator
// that wglGetProcAddress hands out, over EGL without any window system.
//
// There is one pixel format: RGBA with OpenGL support. Windows are never drawn, so a context
// has no surface: it renders nothing and is made current on its own
// (EGL_KHR_surfaceless_context). The EGL display is initialised when a call first needs it and
// terminated when the last rendering context is deleted; a ChoosePixelFormat probe leaves it as
// it found it.
//
// wglAllocateMemoryNV is backed by GL buffers with immutable storage, mapped persistently and
// coherently for writing. A block belongs to the context that was current when it was made.
// wglFreeMemoryNV frees a block in its own context: if another context (or none) is current on
// the calling thread, the owner is made current for the moment and the caller's context is
// made current again afterwards. When the owner is current on another thread, it cannot be
// borrowed; the block then stays allocated until its owner is deleted.
//
// Contexts follow WGL's threading rules: one thread at a time, a context current on another
// thread cannot be made current or deleted. A lock serialises every call. A thread should make
// no context current before it ends: the layer would go on taking its context for busy.
#include <cstring>
#include <iterator>
#include <mutex>
#include <unordered_map>
#include <unordered_set>

#include "platform/linux/egl_driver.h"
#include "platform/linux/egl_library.h"
#include "platform/linux/gdi_wgl_inspect.h"
#include "platform/linux/gl_functions.h"
#include "platform/linux/mapped_buffer.h"
#include "platform/linux/window_manager.h"
#include "platform/platform.h"

namespace {

// The only pixel format: RGBA, OpenGL.
constexpr int kOpenGLPixelFormat = 1;

constexpr char kAllocateMemoryName[] = "wglAllocateMemoryNV";
constexpr char kFreeMemoryName[] = "wglFreeMemoryNV";

struct RenderContext {
  EGLContext egl = EGL_NO_CONTEXT;
  int pixelFormat = 0;
  bool currentSomewhere = false;  // current on some thread
  bool glLoaded = false;          // set when first made current
  GlFunctions gl;
  bool canBackAllocator = false;
};

struct Allocation {
  GLuint buffer;
  RenderContext* owner;
};

struct LayerState {
  std::mutex lock;
  EglDriver driver;  // driver.display is EGL_NO_DISPLAY while not initialised
  std::unordered_map<HDC, int> pixelFormats;
  std::unordered_set<RenderContext*> contexts;
  std::unordered_map<void*, Allocation> allocations;
};

LayerState& State() {
  static LayerState state;
  return state;
}

// This thread's current context, if it is one of ours.
thread_local RenderContext* tCurrent = nullptr;

bool IsDisplayInitialised(const LayerState& state) {
  return state.driver.display != EGL_NO_DISPLAY;
}

bool EnsureDisplay(LayerState& state) {
  return IsDisplayInitialised(state) || InitialiseEglDriver(SystemEglLibrary(), &state.driver);
}

void TerminateDisplayIfUnused(LayerState& state) {
  if (state.contexts.empty() && IsDisplayInitialised(state)) {
    TerminateEglDriver(&state.driver);
  }
}

// Device contexts die with their windows; forget the formats of those that have.
void ForgetDeadDeviceContexts(LayerState& state) {
  for (auto entry = state.pixelFormats.begin(); entry != state.pixelFormats.end();) {
    entry =
        WmIsLiveDeviceContext(entry->first) ? std::next(entry) : state.pixelFormats.erase(entry);
  }
}

int PixelFormatOf(LayerState& state, HDC deviceContext) {
  if (!WmIsLiveDeviceContext(deviceContext)) {
    return 0;
  }
  const auto found = state.pixelFormats.find(deviceContext);
  return found == state.pixelFormats.end() ? 0 : found->second;
}

RenderContext* FindContext(LayerState& state, HGLRC handle) {
  RenderContext* context = reinterpret_cast<RenderContext*>(handle);
  return state.contexts.count(context) != 0 ? context : nullptr;
}

// Makes `context` (null: none) current on this thread. The first time a context is current, its
// GL entry points are looked up and what it can back is noted.
bool MakeCurrentHere(LayerState& state, RenderContext* context) {
  if (context == nullptr && tCurrent == nullptr) {
    return true;
  }
  if (!IsDisplayInitialised(state)) {
    return false;  // cannot happen while a context exists
  }
  const EglLibrary& egl = *state.driver.egl;
  if (!egl.MakeCurrent(state.driver.display, EGL_NO_SURFACE, EGL_NO_SURFACE,
                       context != nullptr ? context->egl : EGL_NO_CONTEXT)) {
    egl.GetError();
    return false;
  }
  if (tCurrent != nullptr) {
    tCurrent->currentSomewhere = false;
  }
  tCurrent = context;
  if (context != nullptr) {
    context->currentSomewhere = true;
    if (!context->glLoaded) {
      LoadGlFunctions(egl, &context->gl);
      context->canBackAllocator = GlCanBackPersistentBuffers(context->gl);
      context->glLoaded = true;
    }
  }
  return true;
}

// Runs `work` with `context` current on this thread, borrowing it for the moment if another
// context or none is current here. False, without running `work`, if `context` is current on
// another thread or cannot be made current.
template <typename Work>
bool WithContextCurrent(LayerState& state, RenderContext* context, Work work) {
  if (tCurrent == context) {
    work();
    return true;
  }
  if (context->currentSomewhere) {
    return false;
  }
  RenderContext* const previous = tCurrent;
  if (!MakeCurrentHere(state, context)) {
    return false;
  }
  work();
  if (!MakeCurrentHere(state, previous)) {
    MakeCurrentHere(state, nullptr);
  }
  return true;
}

// Frees the blocks of `context`, which must not be current on another thread. Once the context
// is destroyed its buffers go with it, so a block that cannot be freed in it is only forgotten.
void FreeAllocationsOf(LayerState& state, RenderContext* context) {
  bool owns = false;
  for (const auto& entry : state.allocations) {
    owns = owns || entry.second.owner == context;
  }
  if (!owns) {
    return;
  }
  WithContextCurrent(state, context, [&state, context] {
    for (const auto& entry : state.allocations) {
      if (entry.second.owner == context) {
        DeleteMappedBuffer(context->gl, entry.second.buffer);
      }
    }
  });
  for (auto entry = state.allocations.begin(); entry != state.allocations.end();) {
    entry = entry->second.owner == context ? state.allocations.erase(entry) : std::next(entry);
  }
}

void* APIENTRY wglAllocateMemoryNV(int size, float readFrequency, float writeFrequency,
                                   float priority) {
  BufferPlacement placement;
  if (size <= 0 || !PlaceBufferByHints(readFrequency, writeFrequency, priority, &placement)) {
    return nullptr;
  }
  LayerState& state = State();
  std::lock_guard<std::mutex> hold(state.lock);
  RenderContext* const context = tCurrent;
  if (context == nullptr || !context->canBackAllocator) {
    return nullptr;
  }
  GLuint buffer = 0;
  void* const mapping = CreateMappedBuffer(context->gl, size, placement, &buffer);
  if (mapping == nullptr) {
    return nullptr;
  }
  state.allocations[mapping] = Allocation{buffer, context};
  return mapping;
}

void APIENTRY wglFreeMemoryNV(void* pointer) {
  LayerState& state = State();
  std::lock_guard<std::mutex> hold(state.lock);
  const auto found = state.allocations.find(pointer);
  if (found == state.allocations.end()) {
    return;
  }
  const Allocation allocation = found->second;
  if (WithContextCurrent(state, allocation.owner, [&allocation] {
        DeleteMappedBuffer(allocation.owner->gl, allocation.buffer);
      })) {
    state.allocations.erase(found);
  }
}

template <typename Function>
PROC AsProc(Function function) {
  return reinterpret_cast<PROC>(reinterpret_cast<void (*)()>(function));
}

}  // namespace

int WINAPI ChoosePixelFormat(HDC deviceContext, const PIXELFORMATDESCRIPTOR* request) {
  if (request == nullptr || (request->dwFlags & PFD_SUPPORT_OPENGL) == 0 ||
      request->iPixelType != PFD_TYPE_RGBA) {
    return 0;
  }
  LayerState& state = State();
  std::lock_guard<std::mutex> hold(state.lock);
  if (!WmIsLiveDeviceContext(deviceContext) || !EnsureDisplay(state)) {
    return 0;
  }
  TerminateDisplayIfUnused(state);
  return kOpenGLPixelFormat;
}

BOOL WINAPI SetPixelFormat(HDC deviceContext, int format,
                           const PIXELFORMATDESCRIPTOR* /*request*/) {
  LayerState& state = State();
  std::lock_guard<std::mutex> hold(state.lock);
  ForgetDeadDeviceContexts(state);
  if (!WmIsLiveDeviceContext(deviceContext) || format != kOpenGLPixelFormat) {
    return FALSE;
  }
  // A window's pixel format is set once; setting the same one again changes nothing.
  const auto set = state.pixelFormats.emplace(deviceContext, format);
  return set.first->second == format ? TRUE : FALSE;
}

HGLRC WINAPI wglCreateContext(HDC deviceContext) {
  LayerState& state = State();
  std::lock_guard<std::mutex> hold(state.lock);
  const int format = PixelFormatOf(state, deviceContext);
  if (format == 0 || !EnsureDisplay(state)) {
    return nullptr;
  }
  const EglLibrary& egl = *state.driver.egl;
  const EGLint attributes[] = {EGL_NONE};
  // The bound API is per thread; the context's kind is taken from it.
  EGLContext created = EGL_NO_CONTEXT;
  if (egl.BindAPI(EGL_OPENGL_API)) {
    created =
        egl.CreateContext(state.driver.display, state.driver.config, EGL_NO_CONTEXT, attributes);
  }
  if (created == EGL_NO_CONTEXT) {
    egl.GetError();
    TerminateDisplayIfUnused(state);
    return nullptr;
  }
  RenderContext* const context = new RenderContext();
  context->egl = created;
  context->pixelFormat = format;
  state.contexts.insert(context);
  return reinterpret_cast<HGLRC>(context);
}

BOOL WINAPI wglMakeCurrent(HDC deviceContext, HGLRC renderContext) {
  LayerState& state = State();
  std::lock_guard<std::mutex> hold(state.lock);
  if (renderContext == nullptr) {
    // No context: the device context does not matter.
    return MakeCurrentHere(state, nullptr) ? TRUE : FALSE;
  }
  RenderContext* const context = FindContext(state, renderContext);
  const bool made = context != nullptr && (tCurrent == context || !context->currentSomewhere) &&
                    PixelFormatOf(state, deviceContext) == context->pixelFormat &&
                    MakeCurrentHere(state, context);
  if (!made) {
    // On failure Windows leaves the thread with no current context.
    MakeCurrentHere(state, nullptr);
    return FALSE;
  }
  return TRUE;
}

BOOL WINAPI wglDeleteContext(HGLRC renderContext) {
  LayerState& state = State();
  std::lock_guard<std::mutex> hold(state.lock);
  RenderContext* const context = FindContext(state, renderContext);
  if (context == nullptr || (context->currentSomewhere && tCurrent != context)) {
    return FALSE;  // not ours, or current on another thread
  }
  FreeAllocationsOf(state, context);
  if (tCurrent == context && !MakeCurrentHere(state, nullptr)) {
    return FALSE;
  }
  state.driver.egl->DestroyContext(state.driver.display, context->egl);
  state.contexts.erase(context);
  delete context;
  TerminateDisplayIfUnused(state);
  return TRUE;
}

PROC WINAPI wglGetProcAddress(LPCSTR name) {
  if (name == nullptr) {
    return nullptr;
  }
  LayerState& state = State();
  std::lock_guard<std::mutex> hold(state.lock);
  if (tCurrent == nullptr || !tCurrent->canBackAllocator) {
    return nullptr;
  }
  if (std::strcmp(name, kAllocateMemoryName) == 0) {
    return AsProc(&wglAllocateMemoryNV);
  }
  if (std::strcmp(name, kFreeMemoryName) == 0) {
    return AsProc(&wglFreeMemoryNV);
  }
  return nullptr;
}

bool WglIsDisplayInitialised() {
  LayerState& state = State();
  std::lock_guard<std::mutex> hold(state.lock);
  return IsDisplayInitialised(state);
}

std::size_t WglCountContexts() {
  LayerState& state = State();
  std::lock_guard<std::mutex> hold(state.lock);
  return state.contexts.size();
}

std::size_t WglCountAllocations() {
  LayerState& state = State();
  std::lock_guard<std::mutex> hold(state.lock);
  return state.allocations.size();
}
