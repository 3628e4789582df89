// Persistently mapped OpenGL buffers.
#include "platform/linux/mapped_buffer.h"

namespace {

// Write-only: nothing of the buffer is ever read back through the mapping.
constexpr GLbitfield kMapAccess = GL_MAP_WRITE_BIT | GL_MAP_PERSISTENT_BIT | GL_MAP_COHERENT_BIT;

bool IsLowFrequency(float frequency) {
  return frequency >= 0.0f && frequency < 0.25f;
}

GLuint CurrentArrayBuffer(const GlFunctions& gl) {
  GLint bound = 0;
  gl.GetIntegerv(GL_ARRAY_BUFFER_BINDING, &bound);
  return static_cast<GLuint>(bound);
}

// Creates storage for the bound array buffer and maps it; null on any error.
void* StoreAndMap(const GlFunctions& gl, GLsizeiptr size, BufferPlacement placement) {
  const GLbitfield storage =
      kMapAccess | (placement == BufferPlacement::kClientStorage ? GL_CLIENT_STORAGE_BIT : 0u);
  gl.BufferStorage(GL_ARRAY_BUFFER, size, nullptr, storage);
  if (gl.GetError() != GL_NO_ERROR) {
    return nullptr;
  }
  void* mapping = gl.MapBufferRange(GL_ARRAY_BUFFER, 0, size, kMapAccess);
  if (gl.GetError() != GL_NO_ERROR) {
    if (mapping != nullptr) {
      gl.UnmapBuffer(GL_ARRAY_BUFFER);
    }
    return nullptr;
  }
  return mapping;
}

}  // namespace

bool PlaceBufferByHints(float readFrequency, float writeFrequency, float priority,
                        BufferPlacement* placement) {
  if (!IsLowFrequency(readFrequency) || !IsLowFrequency(writeFrequency)) {
    return false;
  }
  if (priority > 0.25f && priority <= 0.75f) {
    *placement = BufferPlacement::kClientStorage;
    return true;
  }
  if (priority > 0.75f && priority <= 1.0f) {
    *placement = BufferPlacement::kDeviceLocal;
    return true;
  }
  return false;
}

void* CreateMappedBuffer(const GlFunctions& gl, GLsizeiptr size, BufferPlacement placement,
                         GLuint* buffer) {
  *buffer = 0;
  if (size <= 0) {
    return nullptr;
  }
  GlClearErrors(gl);
  const GLuint previous = CurrentArrayBuffer(gl);
  GLuint name = 0;
  gl.GenBuffers(1, &name);
  if (name == 0 || gl.GetError() != GL_NO_ERROR) {
    if (name != 0) {
      gl.DeleteBuffers(1, &name);
    }
    GlClearErrors(gl);
    return nullptr;
  }
  gl.BindBuffer(GL_ARRAY_BUFFER, name);
  void* mapping = gl.GetError() == GL_NO_ERROR ? StoreAndMap(gl, size, placement) : nullptr;
  gl.BindBuffer(GL_ARRAY_BUFFER, previous);
  if (mapping == nullptr) {
    gl.DeleteBuffers(1, &name);
    GlClearErrors(gl);  // the failure's own errors: they are reported by the null result
    return nullptr;
  }
  *buffer = name;
  return mapping;
}

void DeleteMappedBuffer(const GlFunctions& gl, GLuint buffer) {
  const GLuint previous = CurrentArrayBuffer(gl);
  gl.BindBuffer(GL_ARRAY_BUFFER, buffer);
  gl.UnmapBuffer(GL_ARRAY_BUFFER);
  gl.BindBuffer(GL_ARRAY_BUFFER, previous == buffer ? 0 : previous);
  gl.DeleteBuffers(1, &buffer);
}
