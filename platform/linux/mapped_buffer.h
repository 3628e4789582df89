// OpenGL buffers that the CPU writes through a persistent, coherent mapping: what the
// vertex-array-range allocator (wglAllocateMemoryNV) hands out on Linux.
#pragma once

#include "platform/linux/gl_functions.h"

// Where the driver is asked to keep a buffer.
enum class BufferPlacement {
  kClientStorage,  // system memory that the GPU reaches ("AGP memory")
  kDeviceLocal,    // the GPU's own memory where it has some ("video memory")
};

// Reads the allocator's hints: read and write frequencies in [0, 0.25); priority in
// (0.25, 0.75] for client storage, (0.75, 1.0] for device-local storage. False for any other
// hints (NaN included).
bool PlaceBufferByHints(float readFrequency, float writeFrequency, float priority,
                        BufferPlacement* placement);

// In the current context, creates a buffer of `size` (> 0) bytes with immutable storage and
// maps all of it persistently and coherently for writing only. Returns the mapping and puts
// the buffer's name in `buffer`; returns null with nothing left created when any GL call
// records an error. Clears errors recorded before the call, and leaves the array-buffer
// binding as it found it.
void* CreateMappedBuffer(const GlFunctions& gl, GLsizeiptr size, BufferPlacement placement,
                         GLuint* buffer);

// In the current context (the buffer's), unmaps `buffer` and deletes it, leaving the
// array-buffer binding as it found it.
void DeleteMappedBuffer(const GlFunctions& gl, GLuint buffer);
