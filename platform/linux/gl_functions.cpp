// Finding the OpenGL entry points and what the current context offers.
#include "platform/linux/gl_functions.h"

#include <cstring>

#include "platform/linux/extension_list.h"

namespace {

// More than OpenGL keeps: one flag per error kind.
constexpr int kMaxErrorsToClear = 64;

template <typename Function>
void Find(const EglLibrary& egl, const char* name, Function* function) {
  *function = reinterpret_cast<Function>(egl.GetProcAddress(name));
}

bool IsVersionAtLeast(GLint major, GLint minor, GLint wantedMajor, GLint wantedMinor) {
  return major > wantedMajor || (major == wantedMajor && minor >= wantedMinor);
}

bool HasExtension(const GlFunctions& gl, GLint major, const char* extension) {
  if (major >= 3 && gl.GetStringi != nullptr) {
    GLint count = 0;
    gl.GetIntegerv(GL_NUM_EXTENSIONS, &count);
    for (GLint index = 0; index < count; ++index) {
      const GLubyte* name = gl.GetStringi(GL_EXTENSIONS, static_cast<GLuint>(index));
      if (name != nullptr && std::strcmp(reinterpret_cast<const char*>(name), extension) == 0) {
        return true;
      }
    }
    return false;
  }
  // Before OpenGL 3.0 there is no indexed query; the one string lists everything.
  return ListHasExtension(reinterpret_cast<const char*>(gl.GetString(GL_EXTENSIONS)), extension);
}

}  // namespace

void LoadGlFunctions(const EglLibrary& egl, GlFunctions* gl) {
  Find(egl, "glGetError", &gl->GetError);
  Find(egl, "glGetIntegerv", &gl->GetIntegerv);
  Find(egl, "glGetString", &gl->GetString);
  Find(egl, "glGetStringi", &gl->GetStringi);
  Find(egl, "glGenBuffers", &gl->GenBuffers);
  Find(egl, "glDeleteBuffers", &gl->DeleteBuffers);
  Find(egl, "glBindBuffer", &gl->BindBuffer);
  Find(egl, "glBufferStorage", &gl->BufferStorage);
  Find(egl, "glMapBufferRange", &gl->MapBufferRange);
  Find(egl, "glUnmapBuffer", &gl->UnmapBuffer);
}

bool GlCanBackPersistentBuffers(const GlFunctions& gl) {
  if (gl.GetError == nullptr || gl.GetIntegerv == nullptr || gl.GetString == nullptr ||
      gl.GenBuffers == nullptr || gl.DeleteBuffers == nullptr || gl.BindBuffer == nullptr ||
      gl.BufferStorage == nullptr || gl.MapBufferRange == nullptr || gl.UnmapBuffer == nullptr) {
    return false;
  }
  GlClearErrors(gl);
  // Before OpenGL 3.0 these names are unknown: the values stay 0 and an error is recorded.
  GLint major = 0;
  GLint minor = 0;
  gl.GetIntegerv(GL_MAJOR_VERSION, &major);
  gl.GetIntegerv(GL_MINOR_VERSION, &minor);
  const bool capable =
      IsVersionAtLeast(major, minor, 4, 4) || HasExtension(gl, major, "GL_ARB_buffer_storage");
  GlClearErrors(gl);
  return capable;
}

void GlClearErrors(const GlFunctions& gl) {
  for (int cleared = 0; cleared < kMaxErrorsToClear && gl.GetError() != GL_NO_ERROR; ++cleared) {
  }
}
