// The OpenGL context host: a small window with a current rendering context of its own, inside
// which a benchmark routine runs.
#pragma once

#include "bench/bench.h"
#include "platform/platform.h"

// Where a launcher and the host window meet. The launcher sets `routine`; the window fills in
// and clears the two handles.
struct GLHostRecord {
  BenchmarkRoutine routine;
  HDC deviceContext;
  HGLRC renderContext;
};

// Runs record->routine once a window with a current OpenGL context exists, and returns after
// the window and its context are gone. Failures are only printed.
void RunInGLWindow(GLHostRecord* record);

LRESULT CALLBACK GLHostWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
