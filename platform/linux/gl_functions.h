// The OpenGL entry points that the Linux layer calls, found through eglGetProcAddress, with
// the types and constants they need (with the values that OpenGL 4.6 defines; no Khronos header).
#pragma once

#include <cstdint>

#include "platform/linux/egl_library.h"

typedef unsigned int GLenum;
typedef unsigned int GLuint;
typedef unsigned int GLbitfield;
typedef int GLint;
typedef int GLsizei;
typedef intptr_t GLintptr;
typedef intptr_t GLsizeiptr;
typedef unsigned char GLubyte;
typedef unsigned char GLboolean;

constexpr GLenum GL_NO_ERROR = 0;
constexpr GLenum GL_VERSION = 0x1F02;
constexpr GLenum GL_EXTENSIONS = 0x1F03;
constexpr GLenum GL_MAJOR_VERSION = 0x821B;
constexpr GLenum GL_MINOR_VERSION = 0x821C;
constexpr GLenum GL_NUM_EXTENSIONS = 0x821D;
constexpr GLenum GL_ARRAY_BUFFER = 0x8892;
constexpr GLenum GL_ARRAY_BUFFER_BINDING = 0x8894;
constexpr GLbitfield GL_MAP_WRITE_BIT = 0x0002;
constexpr GLbitfield GL_MAP_PERSISTENT_BIT = 0x0040;
constexpr GLbitfield GL_MAP_COHERENT_BIT = 0x0080;
constexpr GLbitfield GL_CLIENT_STORAGE_BIT = 0x0200;

typedef GLenum (*PfnGlGetError)();
typedef void (*PfnGlGetIntegerv)(GLenum name, GLint* values);
typedef const GLubyte* (*PfnGlGetString)(GLenum name);
typedef const GLubyte* (*PfnGlGetStringi)(GLenum name, GLuint index);
typedef void (*PfnGlGenBuffers)(GLsizei count, GLuint* buffers);
typedef void (*PfnGlDeleteBuffers)(GLsizei count, const GLuint* buffers);
typedef void (*PfnGlBindBuffer)(GLenum target, GLuint buffer);
typedef void (*PfnGlBufferStorage)(GLenum target, GLsizeiptr size, const void* data,
                                   GLbitfield flags);
typedef void* (*PfnGlMapBufferRange)(GLenum target, GLintptr offset, GLsizeiptr length,
                                     GLbitfield access);
typedef GLboolean (*PfnGlUnmapBuffer)(GLenum target);

struct GlFunctions {
  PfnGlGetError GetError = nullptr;
  PfnGlGetIntegerv GetIntegerv = nullptr;
  PfnGlGetString GetString = nullptr;
  PfnGlGetStringi GetStringi = nullptr;  // OpenGL 3.0
  PfnGlGenBuffers GenBuffers = nullptr;
  PfnGlDeleteBuffers DeleteBuffers = nullptr;
  PfnGlBindBuffer BindBuffer = nullptr;
  PfnGlBufferStorage BufferStorage = nullptr;    // OpenGL 4.4 or GL_ARB_buffer_storage
  PfnGlMapBufferRange MapBufferRange = nullptr;  // OpenGL 3.0 or GL_ARB_map_buffer_range
  PfnGlUnmapBuffer UnmapBuffer = nullptr;
};

// Looks the entry points up. A name that a driver lacks may still get an address (EGL hands
// out dispatch stubs), so only what the context reports tells what may be called.
void LoadGlFunctions(const EglLibrary& egl, GlFunctions* gl);

// Whether the current context can back persistently mapped buffers: OpenGL 4.4 or later, or
// GL_ARB_buffer_storage, with the entry points found. Leaves no GL error behind.
bool GlCanBackPersistentBuffers(const GlFunctions& gl);

// Clears every recorded GL error (bounded, in case a lost context keeps reporting one).
void GlClearErrors(const GlFunctions& gl);
