// What the Linux layer's GDI and WGL part holds now, for tests and for checks that nothing was
// left behind. Not part of the Windows interface.
#pragma once

#include <cstddef>

// Whether the EGL display is initialised (it is while a rendering context exists, and only then).
bool WglIsDisplayInitialised();
// Rendering contexts created and not yet deleted.
std::size_t WglCountContexts();
// Blocks that wglAllocateMemoryNV handed out and that are not yet freed.
std::size_t WglCountAllocations();
