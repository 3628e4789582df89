// The one door from the program to its platform. The program calls the platform by the
// platform's own names; which implementation answers is decided when linking: the Windows
// system libraries, our Linux layer (platform/linux) or the test fake (tests/fake).
#pragma once

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <mmsystem.h>
#else
#include "platform/win32_subset.h"
#endif
