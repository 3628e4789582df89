// The Linux layer's pixel-format and WGL calls, and the allocator that wglGetProcAddress hands
// out, on the machine's real OpenGL driver through EGL. Windows come from the layer's own
// window manager.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/linux/egl_driver.h"
#include "platform/linux/egl_library.h"
#include "platform/linux/gdi_wgl_inspect.h"
#include "platform/platform.h"

namespace {

// The allocator's published prototypes.
typedef void*(APIENTRY* AllocateMemoryNV)(int size, float readFrequency, float writeFrequency,
                                          float priority);
typedef void(APIENTRY* FreeMemoryNV)(void* pointer);

constexpr char kClassName[] = "BrevonixWglEglTest";
constexpr int kFourMebibytes = 4 * 1024 * 1024;
constexpr float kAgpPriority = 0.5f;
constexpr float kVideoPriority = 1.0f;

// Set in the environment of a copy of this program that is to run without an EGL driver.
constexpr char kChildRoleVariable[] = "BREVONIX_WGL_TEST_CHILD";

template <typename Function>
Function Lookup(const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(wglGetProcAddress(name)));
}

PIXELFORMATDESCRIPTOR OpenGLRequest() {
  PIXELFORMATDESCRIPTOR request = {};
  request.nSize = sizeof(PIXELFORMATDESCRIPTOR);
  request.nVersion = 1;
  request.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL;
  request.iPixelType = PFD_TYPE_RGBA;
  request.cColorBits = 24;
  request.cDepthBits = 16;
  request.iLayerType = PFD_MAIN_PLANE;
  return request;
}

LRESULT CALLBACK PlainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcA(window, message, wParam, lParam);
}

// Stores into every word of `size` bytes at `memory`, and nothing else.
void WriteEveryWord(void* memory, int size) {
  uint32_t* const words = static_cast<uint32_t*>(memory);
  const std::size_t count = static_cast<std::size_t>(size) / sizeof(uint32_t);
  for (std::size_t index = 0; index < count; ++index) {
    words[index] = static_cast<uint32_t>(index) * 2654435761u;
  }
}

class WglEglTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WNDCLASSA windowClass = {};
    windowClass.style = CS_OWNDC;
    windowClass.lpfnWndProc = PlainWindowProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = kClassName;
    ASSERT_NE(RegisterClassA(&windowClass), 0);
    dc_ = NewDeviceContext();
    ASSERT_NE(dc_, nullptr);
  }

  void TearDown() override {
    EXPECT_TRUE(wglMakeCurrent(nullptr, nullptr));
    for (HGLRC context : contexts_) {
      wglDeleteContext(context);
    }
    for (HWND window : windows_) {
      DestroyWindow(window);
    }
    UnregisterClassA(kClassName, GetModuleHandleA(nullptr));
    EXPECT_EQ(WglCountAllocations(), 0u);
    EXPECT_EQ(WglCountContexts(), 0u);
    EXPECT_FALSE(WglIsDisplayInitialised());
  }

  HDC NewDeviceContext() {
    const HWND window =
        CreateWindowExA(0, kClassName, "test", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, 0, 120, 90,
                        nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    if (window == nullptr) {
      return nullptr;
    }
    windows_.push_back(window);
    return GetDC(window);
  }

  HWND LastWindow() const {
    return windows_.back();
  }

  // Gives `dc` the OpenGL pixel format; false when the driver offers none.
  static bool SetOpenGLFormat(HDC dc) {
    const PIXELFORMATDESCRIPTOR request = OpenGLRequest();
    const int format = ChoosePixelFormat(dc, &request);
    return format > 0 && SetPixelFormat(dc, format, &request) == TRUE;
  }

  // A context for `dc`, which gets the OpenGL format first; deleted at the end of the test
  // unless the test deletes it (deleting twice is refused harmlessly).
  HGLRC NewContext(HDC dc) {
    if (!SetOpenGLFormat(dc)) {
      return nullptr;
    }
    const HGLRC context = wglCreateContext(dc);
    if (context != nullptr) {
      contexts_.push_back(context);
    }
    return context;
  }

  HGLRC NewCurrentContext() {
    const HGLRC context = NewContext(dc_);
    if (context == nullptr || !wglMakeCurrent(dc_, context)) {
      return nullptr;
    }
    return context;
  }

  HDC dc_ = nullptr;
  std::vector<HWND> windows_;
  std::vector<HGLRC> contexts_;
};

// --- pixel formats ---

TEST_F(WglEglTest, ChoosePixelFormatOffersAFormatForOpenGLAndLeavesTheDisplayAsFound) {
  const PIXELFORMATDESCRIPTOR request = OpenGLRequest();
  EXPECT_GT(ChoosePixelFormat(dc_, &request), 0);
  EXPECT_FALSE(WglIsDisplayInitialised());
}

TEST_F(WglEglTest, ChoosePixelFormatKeepsTheDisplayOfALiveContext) {
  ASSERT_NE(NewCurrentContext(), nullptr);
  const PIXELFORMATDESCRIPTOR request = OpenGLRequest();
  EXPECT_GT(ChoosePixelFormat(NewDeviceContext(), &request), 0);
  EXPECT_TRUE(WglIsDisplayInitialised());
  EXPECT_NE(Lookup<AllocateMemoryNV>("wglAllocateMemoryNV"), nullptr);
}

TEST_F(WglEglTest, ChoosePixelFormatRefusesWhatIsNotALiveDeviceContext) {
  const PIXELFORMATDESCRIPTOR request = OpenGLRequest();
  EXPECT_EQ(ChoosePixelFormat(nullptr, &request), 0);
  EXPECT_EQ(ChoosePixelFormat(reinterpret_cast<HDC>(LastWindow()), &request), 0);
  const HDC dead = NewDeviceContext();
  ASSERT_NE(dead, nullptr);
  ASSERT_TRUE(DestroyWindow(LastWindow()));
  windows_.pop_back();
  EXPECT_EQ(ChoosePixelFormat(dead, &request), 0);
}

TEST_F(WglEglTest, ChoosePixelFormatRefusesRequestsWithoutOpenGLOrRGBA) {
  EXPECT_EQ(ChoosePixelFormat(dc_, nullptr), 0);
  PIXELFORMATDESCRIPTOR request = OpenGLRequest();
  request.dwFlags = PFD_DRAW_TO_WINDOW;
  EXPECT_EQ(ChoosePixelFormat(dc_, &request), 0);
  request = OpenGLRequest();
  request.iPixelType = 1;  // PFD_TYPE_COLORINDEX
  EXPECT_EQ(ChoosePixelFormat(dc_, &request), 0);
}

TEST_F(WglEglTest, SetPixelFormatTakesTheChosenFormatOnceAndTheSameAgain) {
  const PIXELFORMATDESCRIPTOR request = OpenGLRequest();
  const int format = ChoosePixelFormat(dc_, &request);
  ASSERT_GT(format, 0);
  EXPECT_FALSE(SetPixelFormat(dc_, 0, &request));
  EXPECT_FALSE(SetPixelFormat(dc_, format + 1, &request));
  EXPECT_TRUE(SetPixelFormat(dc_, format, &request));
  EXPECT_TRUE(SetPixelFormat(dc_, format, &request));
  EXPECT_TRUE(SetPixelFormat(dc_, format, nullptr));
  EXPECT_FALSE(SetPixelFormat(nullptr, format, &request));
  EXPECT_FALSE(WglIsDisplayInitialised());
}

TEST_F(WglEglTest, SetPixelFormatRefusesADeadDeviceContext) {
  const PIXELFORMATDESCRIPTOR request = OpenGLRequest();
  const int format = ChoosePixelFormat(dc_, &request);
  ASSERT_GT(format, 0);
  ASSERT_TRUE(DestroyWindow(LastWindow()));
  windows_.pop_back();
  EXPECT_FALSE(SetPixelFormat(dc_, format, &request));
  EXPECT_EQ(wglCreateContext(dc_), nullptr);
}

// --- contexts ---

TEST_F(WglEglTest, CreateContextNeedsAPixelFormat) {
  EXPECT_EQ(wglCreateContext(dc_), nullptr);
  EXPECT_EQ(wglCreateContext(nullptr), nullptr);
  EXPECT_FALSE(WglIsDisplayInitialised());
}

TEST_F(WglEglTest, DisplayLivesFromTheFirstContextToTheLastOneDeleted) {
  EXPECT_FALSE(WglIsDisplayInitialised());
  const HGLRC first = NewContext(dc_);
  ASSERT_NE(first, nullptr);
  EXPECT_TRUE(WglIsDisplayInitialised());
  const HGLRC second = NewContext(NewDeviceContext());
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(WglCountContexts(), 2u);

  EXPECT_TRUE(wglDeleteContext(first));
  EXPECT_TRUE(WglIsDisplayInitialised());
  EXPECT_FALSE(wglDeleteContext(first));
  EXPECT_TRUE(wglDeleteContext(second));
  EXPECT_FALSE(WglIsDisplayInitialised());
  EXPECT_EQ(WglCountContexts(), 0u);
}

TEST_F(WglEglTest, ContextsCanBeMadeAgainAfterTheDisplayWasTerminated) {
  for (int round = 0; round < 3; ++round) {
    const HGLRC context = NewContext(dc_);
    ASSERT_NE(context, nullptr) << "round " << round;
    ASSERT_TRUE(wglMakeCurrent(dc_, context));
    const AllocateMemoryNV allocate = Lookup<AllocateMemoryNV>("wglAllocateMemoryNV");
    ASSERT_NE(allocate, nullptr);
    void* memory = allocate(4096, 0.0f, 0.0f, kVideoPriority);
    ASSERT_NE(memory, nullptr);
    WriteEveryWord(memory, 4096);
    EXPECT_TRUE(wglDeleteContext(context));
    EXPECT_FALSE(WglIsDisplayInitialised());
    EXPECT_EQ(WglCountAllocations(), 0u);
  }
}

TEST_F(WglEglTest, DeletingTheCurrentContextLeavesNoneCurrent) {
  const HGLRC context = NewCurrentContext();
  ASSERT_NE(context, nullptr);
  EXPECT_TRUE(wglDeleteContext(context));
  EXPECT_EQ(wglGetProcAddress("wglAllocateMemoryNV"), nullptr);
  EXPECT_FALSE(WglIsDisplayInitialised());
}

TEST_F(WglEglTest, MakeCurrentWithNoContextSucceedsWhateverTheDeviceContext) {
  EXPECT_TRUE(wglMakeCurrent(nullptr, nullptr));
  EXPECT_TRUE(wglMakeCurrent(dc_, nullptr));
  ASSERT_NE(NewCurrentContext(), nullptr);
  EXPECT_TRUE(wglMakeCurrent(nullptr, nullptr));
  EXPECT_EQ(wglGetProcAddress("wglAllocateMemoryNV"), nullptr);
}

TEST_F(WglEglTest, MakeCurrentFailsForAForeignContextOrAnUnfitDeviceContext) {
  const HGLRC context = NewCurrentContext();
  ASSERT_NE(context, nullptr);
  int notAContext = 0;
  EXPECT_FALSE(wglMakeCurrent(dc_, reinterpret_cast<HGLRC>(&notAContext)));
  // A failed call leaves the thread with no current context, as on Windows.
  EXPECT_EQ(wglGetProcAddress("wglAllocateMemoryNV"), nullptr);

  EXPECT_FALSE(wglMakeCurrent(nullptr, context));
  EXPECT_FALSE(wglMakeCurrent(NewDeviceContext(), context));  // no pixel format set
  EXPECT_TRUE(wglMakeCurrent(dc_, context));
  EXPECT_NE(wglGetProcAddress("wglAllocateMemoryNV"), nullptr);
}

TEST_F(WglEglTest, AContextIsCurrentOnOneThreadAtATime) {
  const HGLRC context = NewContext(dc_);
  ASSERT_NE(context, nullptr);
  ASSERT_TRUE(wglMakeCurrent(dc_, context));
  BOOL madeElsewhere = TRUE;
  BOOL deletedElsewhere = TRUE;
  std::thread([&] {
    madeElsewhere = wglMakeCurrent(dc_, context);
    deletedElsewhere = wglDeleteContext(context);
  }).join();
  EXPECT_FALSE(madeElsewhere);
  EXPECT_FALSE(deletedElsewhere);
  EXPECT_NE(wglGetProcAddress("wglAllocateMemoryNV"), nullptr);
}

// --- wglGetProcAddress ---

TEST_F(WglEglTest, GetProcAddressGivesNothingWithoutACurrentContext) {
  EXPECT_EQ(wglGetProcAddress("wglAllocateMemoryNV"), nullptr);
  EXPECT_EQ(wglGetProcAddress("wglFreeMemoryNV"), nullptr);
  ASSERT_NE(NewContext(dc_), nullptr);  // exists, but is not current
  EXPECT_EQ(wglGetProcAddress("wglAllocateMemoryNV"), nullptr);
  EXPECT_EQ(wglGetProcAddress("wglFreeMemoryNV"), nullptr);
}

TEST_F(WglEglTest, GetProcAddressGivesTheAllocatorAndNothingElse) {
  ASSERT_NE(NewCurrentContext(), nullptr);
  EXPECT_NE(wglGetProcAddress("wglAllocateMemoryNV"), nullptr);
  EXPECT_NE(wglGetProcAddress("wglFreeMemoryNV"), nullptr);
  EXPECT_NE(wglGetProcAddress("wglAllocateMemoryNV"), wglGetProcAddress("wglFreeMemoryNV"));
  EXPECT_EQ(wglGetProcAddress(nullptr), nullptr);
  EXPECT_EQ(wglGetProcAddress(""), nullptr);
  EXPECT_EQ(wglGetProcAddress("wglAllocateMemoryNVX"), nullptr);
  EXPECT_EQ(wglGetProcAddress("wglAllocateMemory"), nullptr);
  EXPECT_EQ(wglGetProcAddress("glBufferStorage"), nullptr);
  EXPECT_EQ(wglGetProcAddress("wglSwapIntervalEXT"), nullptr);
}

// --- the allocator ---

class WglAllocatorTest : public WglEglTest {
 protected:
  void SetUp() override {
    WglEglTest::SetUp();
    context_ = NewCurrentContext();
    ASSERT_NE(context_, nullptr);
    allocate_ = Lookup<AllocateMemoryNV>("wglAllocateMemoryNV");
    free_ = Lookup<FreeMemoryNV>("wglFreeMemoryNV");
    ASSERT_NE(allocate_, nullptr);
    ASSERT_NE(free_, nullptr);
  }

  HGLRC context_ = nullptr;
  AllocateMemoryNV allocate_ = nullptr;
  FreeMemoryNV free_ = nullptr;
};

class WglAllocatorPriorityTest : public WglAllocatorTest,
                                 public ::testing::WithParamInterface<float> {};

TEST_P(WglAllocatorPriorityTest, HandsOutFourMebibytesToWriteAndTakesThemBack) {
  void* memory = allocate_(kFourMebibytes, 0.0f, 0.0f, GetParam());
  ASSERT_NE(memory, nullptr);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(memory) % 64, 0u);  // GL_MIN_MAP_BUFFER_ALIGNMENT
  EXPECT_EQ(WglCountAllocations(), 1u);
  WriteEveryWord(memory, kFourMebibytes);
  WriteEveryWord(memory, kFourMebibytes);
  free_(memory);
  EXPECT_EQ(WglCountAllocations(), 0u);
  EXPECT_TRUE(WglIsDisplayInitialised());  // the context is still there
}

// The benchmark's own hints, and the edges of each range.
INSTANTIATE_TEST_SUITE_P(AgpAndVideo, WglAllocatorPriorityTest,
                         ::testing::Values(kAgpPriority, kVideoPriority, 0.2500001f, 0.75f,
                                           0.7500001f));

TEST_F(WglAllocatorTest, BlocksAreDistinctAndFreedOneByOne) {
  void* agp = allocate_(kFourMebibytes, 0.0f, 0.0f, kAgpPriority);
  void* video = allocate_(kFourMebibytes, 0.0f, 0.0f, kVideoPriority);
  void* small = allocate_(1, 0.24f, 0.24f, kVideoPriority);
  ASSERT_NE(agp, nullptr);
  ASSERT_NE(video, nullptr);
  ASSERT_NE(small, nullptr);
  EXPECT_NE(agp, video);
  EXPECT_EQ(WglCountAllocations(), 3u);
  WriteEveryWord(agp, kFourMebibytes);
  WriteEveryWord(video, kFourMebibytes);
  *static_cast<unsigned char*>(small) = 0x5A;
  free_(video);
  EXPECT_EQ(WglCountAllocations(), 2u);
  free_(video);  // a second time: not ours any more, ignored
  EXPECT_EQ(WglCountAllocations(), 2u);
  free_(agp);
  free_(small);
  EXPECT_EQ(WglCountAllocations(), 0u);
}

TEST_F(WglAllocatorTest, RefusesPrioritiesOutsideBothRanges) {
  for (float priority : {0.0f, 0.1f, 0.25f, -0.5f, 1.0000001f, 2.0f, -1.0f, NAN, INFINITY}) {
    EXPECT_EQ(allocate_(kFourMebibytes, 0.0f, 0.0f, priority), nullptr) << priority;
  }
  EXPECT_EQ(WglCountAllocations(), 0u);
}

TEST_F(WglAllocatorTest, RefusesFrequenciesThatAreNotLow) {
  EXPECT_EQ(allocate_(kFourMebibytes, 0.5f, 0.0f, kVideoPriority), nullptr);
  EXPECT_EQ(allocate_(kFourMebibytes, 0.0f, 0.5f, kVideoPriority), nullptr);
  EXPECT_EQ(allocate_(kFourMebibytes, 0.25f, 0.0f, kAgpPriority), nullptr);
  EXPECT_EQ(allocate_(kFourMebibytes, 0.0f, 0.25f, kAgpPriority), nullptr);
  EXPECT_EQ(allocate_(kFourMebibytes, -0.1f, 0.0f, kAgpPriority), nullptr);
  EXPECT_EQ(allocate_(kFourMebibytes, NAN, 0.0f, kAgpPriority), nullptr);
  EXPECT_EQ(allocate_(kFourMebibytes, 0.0f, 1.0f, kVideoPriority), nullptr);
  EXPECT_EQ(WglCountAllocations(), 0u);
}

TEST_F(WglAllocatorTest, RefusesSizesThatAreNotPositive) {
  EXPECT_EQ(allocate_(0, 0.0f, 0.0f, kVideoPriority), nullptr);
  EXPECT_EQ(allocate_(-1, 0.0f, 0.0f, kVideoPriority), nullptr);
  EXPECT_EQ(allocate_(INT_MIN, 0.0f, 0.0f, kAgpPriority), nullptr);
  EXPECT_EQ(WglCountAllocations(), 0u);
}

TEST_F(WglAllocatorTest, RefusesWithoutACurrentContext) {
  ASSERT_TRUE(wglMakeCurrent(nullptr, nullptr));
  EXPECT_EQ(allocate_(kFourMebibytes, 0.0f, 0.0f, kVideoPriority), nullptr);
  EXPECT_EQ(WglCountAllocations(), 0u);
}

TEST_F(WglAllocatorTest, IgnoresPointersItDidNotHandOut) {
  void* memory = allocate_(kFourMebibytes, 0.0f, 0.0f, kAgpPriority);
  ASSERT_NE(memory, nullptr);
  int local = 0;
  free_(nullptr);
  free_(&local);
  free_(static_cast<char*>(memory) + 64);
  EXPECT_EQ(WglCountAllocations(), 1u);
  ASSERT_TRUE(wglMakeCurrent(nullptr, nullptr));
  free_(&local);  // with no context current too
  EXPECT_EQ(WglCountAllocations(), 1u);
}

TEST_F(WglAllocatorTest, DeletingTheContextReleasesItsRemainingBlocks) {
  ASSERT_NE(allocate_(kFourMebibytes, 0.0f, 0.0f, kAgpPriority), nullptr);
  ASSERT_NE(allocate_(kFourMebibytes, 0.0f, 0.0f, kVideoPriority), nullptr);
  EXPECT_EQ(WglCountAllocations(), 2u);
  EXPECT_TRUE(wglDeleteContext(context_));
  EXPECT_EQ(WglCountAllocations(), 0u);
  EXPECT_EQ(WglCountContexts(), 0u);
  EXPECT_FALSE(WglIsDisplayInitialised());
}

TEST_F(WglAllocatorTest, DeletingAContextThatIsNotCurrentReleasesItsBlocksAndKeepsTheCurrent) {
  ASSERT_NE(allocate_(kFourMebibytes, 0.0f, 0.0f, kAgpPriority), nullptr);
  const HDC otherDc = NewDeviceContext();
  const HGLRC other = NewContext(otherDc);
  ASSERT_NE(other, nullptr);
  ASSERT_TRUE(wglMakeCurrent(otherDc, other));
  void* mine = allocate_(4096, 0.0f, 0.0f, kVideoPriority);
  ASSERT_NE(mine, nullptr);
  EXPECT_TRUE(wglDeleteContext(context_));
  EXPECT_EQ(WglCountAllocations(), 1u);
  // `other` is still current: its block can be written and freed.
  EXPECT_NE(wglGetProcAddress("wglFreeMemoryNV"), nullptr);
  WriteEveryWord(mine, 4096);
  free_(mine);
  EXPECT_EQ(WglCountAllocations(), 0u);
}

TEST_F(WglAllocatorTest, FreeingInAnotherContextBorrowsTheOwnerAndRestoresTheCaller) {
  void* first = allocate_(kFourMebibytes, 0.0f, 0.0f, kAgpPriority);
  ASSERT_NE(first, nullptr);
  const HDC otherDc = NewDeviceContext();
  const HGLRC other = NewContext(otherDc);
  ASSERT_NE(other, nullptr);
  ASSERT_TRUE(wglMakeCurrent(otherDc, other));
  free_(first);
  EXPECT_EQ(WglCountAllocations(), 0u);
  // `other` is current again: a new block is its own, and goes when it is deleted.
  ASSERT_NE(allocate_(4096, 0.0f, 0.0f, kVideoPriority), nullptr);
  EXPECT_TRUE(wglDeleteContext(other));
  EXPECT_EQ(WglCountAllocations(), 0u);
  EXPECT_EQ(wglGetProcAddress("wglAllocateMemoryNV"), nullptr);
}

TEST_F(WglAllocatorTest, FreeingWithNoContextCurrentBorrowsTheOwnerAndLeavesNoneCurrent) {
  void* memory = allocate_(kFourMebibytes, 0.0f, 0.0f, kVideoPriority);
  ASSERT_NE(memory, nullptr);
  ASSERT_TRUE(wglMakeCurrent(nullptr, nullptr));
  free_(memory);
  EXPECT_EQ(WglCountAllocations(), 0u);
  EXPECT_EQ(wglGetProcAddress("wglAllocateMemoryNV"), nullptr);
}

TEST_F(WglAllocatorTest, ABlockWhoseOwnerIsCurrentElsewhereWaitsForItsOwner) {
  void* memory = allocate_(kFourMebibytes, 0.0f, 0.0f, kVideoPriority);
  ASSERT_NE(memory, nullptr);
  ASSERT_TRUE(wglMakeCurrent(nullptr, nullptr));
  std::size_t blocksWhileBusy = 0;
  BOOL deletedWhileBusy = TRUE;
  std::thread([&] {
    ASSERT_TRUE(wglMakeCurrent(dc_, context_));
    std::thread([&] {
      free_(memory);
      blocksWhileBusy = WglCountAllocations();
      deletedWhileBusy = wglDeleteContext(context_);
    }).join();
    EXPECT_TRUE(wglMakeCurrent(nullptr, nullptr));
  }).join();
  EXPECT_EQ(blocksWhileBusy, 1u);
  EXPECT_FALSE(deletedWhileBusy);
  EXPECT_TRUE(wglDeleteContext(context_));
  EXPECT_EQ(WglCountAllocations(), 0u);
}

// --- in a copy of this program ---

enum class ChildRole { kWithoutEgl, kAddressSpaceLimited };

const char* RoleName(ChildRole role) {
  return role == ChildRole::kWithoutEgl ? "without-egl" : "address-space-limited";
}

bool IsChild(ChildRole role) {
  const char* value = std::getenv(kChildRoleVariable);
  return value != nullptr && std::strcmp(value, RoleName(role)) == 0;
}

// Runs this test program again with only the test `filter` in the role `role`, and returns its
// exit status (-1 if it could not be run or did not exit) with its output in `output`. Without
// EGL, glvnd's __EGL_VENDOR_LIBRARY_DIRS points at an empty directory, so that libEGL.so.1 has
// no vendor library to load. Under AddressSanitizer, an allocation that the system refuses
// then gives null instead of ending the program, as plain malloc does.
int RunChild(ChildRole role, const char* filter, std::string* output) {
  char directory[] = "/tmp/brevonix-no-egl-XXXXXX";
  const bool hideEgl = role == ChildRole::kWithoutEgl;
  if (hideEgl && mkdtemp(directory) == nullptr) {
    return -1;
  }
  int pipeEnds[2];
  if (pipe(pipeEnds) != 0) {
    if (hideEgl) {
      rmdir(directory);
    }
    return -1;
  }
  const std::string filterArgument = std::string("--gtest_filter=") + filter;
  const char* asanOptions = std::getenv("ASAN_OPTIONS");
  const std::string childAsanOptions =
      std::string(asanOptions != nullptr ? asanOptions : "") + ":allocator_may_return_null=1";
  const pid_t child = fork();
  if (child == 0) {
    dup2(pipeEnds[1], STDOUT_FILENO);
    dup2(pipeEnds[1], STDERR_FILENO);
    close(pipeEnds[0]);
    close(pipeEnds[1]);
    if (hideEgl) {
      setenv("__EGL_VENDOR_LIBRARY_DIRS", directory, 1);
      unsetenv("__EGL_VENDOR_LIBRARY_FILENAMES");
    }
    setenv("ASAN_OPTIONS", childAsanOptions.c_str(), 1);
    setenv(kChildRoleVariable, RoleName(role), 1);
    char* const arguments[] = {const_cast<char*>("brevonix_linux_layer_tests"),
                               const_cast<char*>(filterArgument.c_str()), nullptr};
    execv("/proc/self/exe", arguments);
    _exit(127);
  }
  close(pipeEnds[1]);
  char chunk[4096];
  ssize_t got;
  while ((got = read(pipeEnds[0], chunk, sizeof(chunk))) > 0) {
    output->append(chunk, static_cast<std::size_t>(got));
  }
  close(pipeEnds[0]);
  int status = 0;
  const bool waited = child > 0 && waitpid(child, &status, 0) == child;
  if (hideEgl) {
    rmdir(directory);
  }
  return waited && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Runs the current test again in a child in `role`, and expects it to pass there.
void ExpectPassesAsChild(ChildRole role) {
  const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
  const std::string name = std::string(test->test_suite_name()) + "." + test->name();
  std::string output;
  EXPECT_EQ(RunChild(role, name.c_str(), &output), 0) << output;
  EXPECT_NE(output.find("[  PASSED  ] 1 test."), std::string::npos) << output;
}

// Lets this process map at most `extra` bytes more than it has mapped now.
bool LimitAddressSpace(std::size_t extra, rlimit* previous) {
  std::FILE* statm = std::fopen("/proc/self/statm", "r");
  if (statm == nullptr) {
    return false;
  }
  unsigned long pages = 0;
  const bool read = std::fscanf(statm, "%lu", &pages) == 1;
  std::fclose(statm);
  if (!read || getrlimit(RLIMIT_AS, previous) != 0) {
    return false;
  }
  rlimit limited = *previous;
  limited.rlim_cur =
      static_cast<rlim_t>(pages) * static_cast<rlim_t>(sysconf(_SC_PAGESIZE)) + extra;
  return limited.rlim_cur < previous->rlim_max && setrlimit(RLIMIT_AS, &limited) == 0;
}

TEST_F(WglAllocatorTest, ADriverErrorGivesNullAndLeavesNothingBehind) {
  if (!IsChild(ChildRole::kAddressSpaceLimited)) {
    ExpectPassesAsChild(ChildRole::kAddressSpaceLimited);
    return;
  }
  // llvmpipe keeps buffers in system memory, and only reserves it until it is touched, so it
  // stores the largest size there is. With no room to map it, glBufferStorage records
  // GL_OUT_OF_MEMORY.
  rlimit previous;
  ASSERT_TRUE(LimitAddressSpace(std::size_t{256} << 20, &previous));
  void* huge = allocate_(INT_MAX, 0.0f, 0.0f, kVideoPriority);
  void* hugeAgp = allocate_(INT_MAX, 0.0f, 0.0f, kAgpPriority);
  ASSERT_EQ(setrlimit(RLIMIT_AS, &previous), 0);
  EXPECT_EQ(huge, nullptr);
  EXPECT_EQ(hugeAgp, nullptr);
  EXPECT_EQ(WglCountAllocations(), 0u);
  // The failure left no error behind to spoil the next allocation.
  void* memory = allocate_(kFourMebibytes, 0.0f, 0.0f, kVideoPriority);
  ASSERT_NE(memory, nullptr);
  WriteEveryWord(memory, kFourMebibytes);
  free_(memory);
}

// --- without an OpenGL driver ---

TEST_F(WglEglTest, WithoutAnEglDriverChoosePixelFormatIsZero) {
  if (!IsChild(ChildRole::kWithoutEgl)) {
    ExpectPassesAsChild(ChildRole::kWithoutEgl);
    return;
  }
  const PIXELFORMATDESCRIPTOR request = OpenGLRequest();
  EXPECT_EQ(ChoosePixelFormat(dc_, &request), 0);
  EXPECT_TRUE(SetPixelFormat(dc_, 1, &request));
  EXPECT_EQ(wglCreateContext(dc_), nullptr);
  EXPECT_EQ(wglGetProcAddress("wglAllocateMemoryNV"), nullptr);
  EXPECT_TRUE(wglMakeCurrent(nullptr, nullptr));
}

// --- the loader ---

TEST(EglLibraryTest, AMissingLibraryOpensNothing) {
  EglLibrary library;
  EXPECT_FALSE(OpenEglLibrary("libbrevonix-no-such-egl.so.1", &library));
  EXPECT_EQ(library.handle, nullptr);
  EXPECT_EQ(library.Initialize, nullptr);
}

TEST(EglLibraryTest, ALibraryWithoutEglOpensNothing) {
  EglLibrary library;
  EXPECT_FALSE(OpenEglLibrary("libm.so.6", &library));
  EXPECT_EQ(library.handle, nullptr);
}

// --- finding a display ---

// The system library's eglQueryString, for the stand-in below.
PfnEglQueryString gRealQueryString = nullptr;

// eglQueryString as an implementation without Mesa's surfaceless platform answers.
const char* QueryStringWithoutSurfaceless(EGLDisplay display, EGLint name) {
  static std::string filtered;
  const char* answer = gRealQueryString(display, name);
  if (display != EGL_NO_DISPLAY || name != EGL_EXTENSIONS || answer == nullptr) {
    return answer;
  }
  filtered = answer;
  const std::string hidden = "EGL_MESA_platform_surfaceless";
  for (std::size_t at; (at = filtered.find(hidden)) != std::string::npos;) {
    filtered.replace(at, hidden.size(), "EGL_BREVONIX_hidden");
  }
  return filtered.c_str();
}

TEST(EglDriverTest, FindsNothingWithoutALibrary) {
  EglDriver driver;
  EXPECT_FALSE(InitialiseEglDriver(nullptr, &driver));
  EXPECT_EQ(driver.display, EGL_NO_DISPLAY);
}

TEST(EglDriverTest, FallsBackToADeviceDisplayWithoutTheSurfacelessPlatform) {
  const EglLibrary* system = SystemEglLibrary();
  ASSERT_NE(system, nullptr);
  ASSERT_NE(system->QueryDevicesEXT, nullptr) << "the driver enumerates no devices";
  EglLibrary withoutSurfaceless = *system;
  gRealQueryString = system->QueryString;
  withoutSurfaceless.QueryString = QueryStringWithoutSurfaceless;

  EglDriver driver;
  ASSERT_TRUE(InitialiseEglDriver(&withoutSurfaceless, &driver));
  const EGLint none[] = {EGL_NONE};
  EXPECT_NE(driver.display,
            system->GetPlatformDisplayEXT(EGL_PLATFORM_SURFACELESS_MESA, nullptr, none));

  // The device display runs desktop OpenGL without a surface.
  ASSERT_TRUE(system->BindAPI(EGL_OPENGL_API));
  const EGLContext context =
      system->CreateContext(driver.display, driver.config, EGL_NO_CONTEXT, none);
  ASSERT_NE(context, EGL_NO_CONTEXT);
  EXPECT_TRUE(system->MakeCurrent(driver.display, EGL_NO_SURFACE, EGL_NO_SURFACE, context));
  EXPECT_TRUE(system->MakeCurrent(driver.display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT));
  EXPECT_TRUE(system->DestroyContext(driver.display, context));
  TerminateEglDriver(&driver);
  EXPECT_EQ(driver.display, EGL_NO_DISPLAY);
}

}  // namespace
