// The host window on the fake driver and the real window manager: every failure row, the
// teardown of a full run, and runs that follow one another in one process.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "fake/fake_platform.h"
#include "glhost/glhost.h"
#include "platform/linux/window_manager.h"
#include "support/captured_stdout.h"

namespace {

int& RoutineRuns() {
  static int runs;
  return runs;
}

void* g_contextSeen = nullptr;

void CountRun() {
  ++RoutineRuns();
  g_contextSeen = FakeGetCurrentContext();
  printf("<routine>");
}

class GLHostTest : public ::testing::Test {
 protected:
  void SetUp() override {
    FakeReset();
    RoutineRuns() = 0;
    g_contextSeen = nullptr;
  }

  void Refuse(FakeFallible call) {
    FakeGetSettings().refuse[static_cast<int>(call)] = true;
  }

  // Runs the host once with a record whose handles start out as garbage.
  std::string Run(GLHostRecord* record) {
    CapturedStdout out;
    RunInGLWindow(record);
    return out.Text();
  }

  // Nothing of the run is left: no window, class, current context or undeleted context.
  void ExpectAllReleased(const GLHostRecord& record, bool creationRan = true) {
    EXPECT_EQ(WmCountWindows(), 0u);
    EXPECT_EQ(WmCountClasses(), 0u);
    EXPECT_EQ(FakeGetCurrentContext(), nullptr);
    EXPECT_EQ(FakeGetCounts().contextsCreated, FakeGetCounts().contextsDeleted);
    if (creationRan) {
      EXPECT_EQ(record.renderContext, nullptr);
    }
  }
};

GLHostRecord GarbageRecord() {
  return {CountRun, reinterpret_cast<HDC>(0x1), reinterpret_cast<HGLRC>(0x1)};
}

TEST_F(GLHostTest, FullRunRunsTheRoutineWithItsContextCurrentThenTearsDown) {
  GLHostRecord record = GarbageRecord();
  EXPECT_EQ(Run(&record), "<routine>");
  EXPECT_EQ(RoutineRuns(), 1);
  EXPECT_NE(g_contextSeen, nullptr);
  EXPECT_EQ(FakeGetCounts().contextsCreated, 1);
  ExpectAllReleased(record);
  EXPECT_NE(record.deviceContext, nullptr);
  // The quit request was taken by this run's own loop.
  EXPECT_FALSE(WmIsQuitPending());
  EXPECT_EQ(WmCountPostedMessages(), 0u);
}

TEST_F(GLHostTest, AsksForTheDocumentedClassWindowAndPixelFormat) {
  GLHostRecord record = GarbageRecord();
  Run(&record);
  const std::vector<std::string> calls = FakeGetCalls();
  auto has = [&](const std::string& call) {
    return std::find(calls.begin(), calls.end(), call) != calls.end();
  };
  EXPECT_TRUE(
      has("RegisterClassA(Brevonix, style=0x23, extra=0/0, background=0x6, "
          "menu=(nil), icon=(nil))"));
  EXPECT_TRUE(
      has("CreateWindowExA(0, Brevonix, Brevonix, 0x6cf0000, -2147483648, 0, 120, 90, "
          "(nil), (nil))"));
  EXPECT_TRUE(
      has("ChoosePixelFormat(size=40, version=1, flags=0x24, type=0, color=24, "
          "depth=16, layer=0, others=0)"));
  EXPECT_TRUE(has("SetPixelFormat(1)"));
  EXPECT_TRUE(has("LoadCursorA((nil), 0x7f00)"));
  // The start message is posted during creation but taken only after show and update.
  const auto at = [&](const std::string& call) {
    return std::find(calls.begin(), calls.end(), call) - calls.begin();
  };
  EXPECT_LT(at("PostMessageA(0x8000, 0, 0)"), at("ShowWindow(5)"));
  EXPECT_LT(at("ShowWindow(5)"), at("UpdateWindow()"));
  EXPECT_LT(at("UpdateWindow()"), at("DispatchMessageA(0x8000)"));
  // The context is made not current before it is deleted.
  const auto deleted = at("wglDeleteContext()");
  ASSERT_LT(deleted, static_cast<std::ptrdiff_t>(calls.size()));
  EXPECT_EQ(calls[deleted - 1], "wglMakeCurrent(null)");
}

struct CreationFailure {
  FakeFallible call;
  const char* output;
  int contextsCreated;
};

const CreationFailure kCreationFailures[] = {
    {FakeFallible::kGetDC, "ERROR:  GetDC failed.\nERROR:  CreateWindow failed.\n", 0},
    {FakeFallible::kChoosePixelFormat,
     "ERROR:  ChoosePixelFormat failed.\nERROR:  CreateWindow failed.\n", 0},
    {FakeFallible::kSetPixelFormat,
     "ERROR:  SetPixelFormat failed.\nERROR:  CreateWindow failed.\n", 0},
    {FakeFallible::kWglCreateContext,
     "ERROR:  wglCreateContext failed.\nERROR:  CreateWindow failed.\n", 0},
    {FakeFallible::kWglMakeCurrent,
     "ERROR:  wglMakeCurrent failed.\nERROR:  CreateWindow failed.\n", 1},
    {FakeFallible::kCreateWindowExA, "ERROR:  CreateWindow failed.\n", 0},
    {FakeFallible::kRegisterClassA, "ERROR:  RegisterClass failed.\n", 0},
};

TEST_F(GLHostTest, EachFailureOfCreationPrintsItsLinesAndReleasesEverything) {
  for (const CreationFailure& failure : kCreationFailures) {
    SetUp();
    Refuse(failure.call);
    GLHostRecord record = GarbageRecord();
    EXPECT_EQ(Run(&record), failure.output) << static_cast<int>(failure.call);
    EXPECT_EQ(RoutineRuns(), 0);
    EXPECT_EQ(FakeGetCounts().contextsCreated, failure.contextsCreated);
    // Refused before the window procedure ever ran, the record is left as the launcher set it.
    const bool creationRan = failure.call != FakeFallible::kRegisterClassA &&
                             failure.call != FakeFallible::kCreateWindowExA;
    ExpectAllReleased(record, creationRan);
  }
}

TEST_F(GLHostTest, ContextThatCannotBeMadeCurrentIsDeletedBeforeCreationReturns) {
  Refuse(FakeFallible::kWglMakeCurrent);
  GLHostRecord record = GarbageRecord();
  Run(&record);
  const std::vector<std::string> calls = FakeGetCalls();
  const auto deleted = std::find(calls.begin(), calls.end(), "wglDeleteContext()");
  const auto created = std::find_if(calls.begin(), calls.end(), [](const std::string& call) {
    return call.rfind("CreateWindowExA(", 0) == 0;
  });
  ASSERT_NE(deleted, calls.end());
  // Deleted inside window creation: before the class is unregistered after it.
  EXPECT_LT(created, deleted);
  EXPECT_LT(deleted, std::find(calls.begin(), calls.end(), "UnregisterClassA(Brevonix)"));
}

// Some window managers abandon a refused creation with WM_NCDESTROY alone. The context made
// before the refusal must still be deleted, and the record let go.
LRESULT CALLBACK HostProcWithoutDestroyMessage(HWND window, UINT message, WPARAM wParam,
                                               LPARAM lParam) {
  if (message == WM_DESTROY) {
    return 0;
  }
  return GLHostWindowProc(window, message, wParam, lParam);
}

TEST_F(GLHostTest, RefusedCreationReleasesTheContextEvenWithoutDestroyMessage) {
  Refuse(FakeFallible::kWglMakeCurrent);
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = HostProcWithoutDestroyMessage;
  windowClass.lpszClassName = "NoDestroy";
  ASSERT_NE(RegisterClassA(&windowClass), 0);
  GLHostRecord record = GarbageRecord();
  {
    CapturedStdout out;
    EXPECT_EQ(
        CreateWindowExA(0, "NoDestroy", "", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, &record),
        nullptr);
    EXPECT_EQ(out.Text(), "ERROR:  wglMakeCurrent failed.\n");
  }
  EXPECT_EQ(FakeGetCounts().contextsCreated, 1);
  EXPECT_EQ(FakeGetCounts().contextsDeleted, 1);
  EXPECT_EQ(record.renderContext, nullptr);
  EXPECT_FALSE(WmIsQuitPending()) << "WM_DESTROY never ran, so nothing posted a quit request";
  EXPECT_TRUE(UnregisterClassA("NoDestroy", nullptr));
}

TEST_F(GLHostTest, TwoRunsEachMakeAndReleaseTheirOwnClassWindowAndContext) {
  for (int run = 1; run <= 2; ++run) {
    GLHostRecord record = GarbageRecord();
    EXPECT_EQ(Run(&record), "<routine>") << run;
    EXPECT_EQ(RoutineRuns(), run);
    EXPECT_EQ(FakeGetCounts().classesRegistered, run);
    EXPECT_EQ(FakeGetCounts().windowsCreated, run);
    EXPECT_EQ(FakeGetCounts().contextsCreated, run);
    ExpectAllReleased(record);
  }
}

TEST_F(GLHostTest, RunAfterFailedCreationStillTakesItsStartMessageFirst) {
  Refuse(FakeFallible::kChoosePixelFormat);
  GLHostRecord first = GarbageRecord();
  EXPECT_EQ(Run(&first), "ERROR:  ChoosePixelFormat failed.\nERROR:  CreateWindow failed.\n");
  // The failed creation had no loop to take its quit request.
  EXPECT_TRUE(WmIsQuitPending());

  FakeGetSettings().refuse[static_cast<int>(FakeFallible::kChoosePixelFormat)] = false;
  GLHostRecord second = GarbageRecord();
  EXPECT_EQ(Run(&second), "<routine>");
  EXPECT_EQ(RoutineRuns(), 1);
  ExpectAllReleased(second);
  EXPECT_FALSE(WmIsQuitPending());
}

// A loop that fails leaves a window whose user data points at the launcher's record. The host
// must end that window while the record still lives.
TEST_F(GLHostTest, FailedMessageLoopLeavesNothingThatReachesTheRecord) {
  Refuse(FakeFallible::kGetMessageA);
  {
    GLHostRecord record = GarbageRecord();
    EXPECT_EQ(Run(&record), "ERROR:  GetMessage failed.\n");
    EXPECT_EQ(RoutineRuns(), 0);
    ExpectAllReleased(record);
  }
  // A later run in the same process is not disturbed by what the failed one left queued.
  FakeGetSettings().refuse[static_cast<int>(FakeFallible::kGetMessageA)] = false;
  GLHostRecord next = GarbageRecord();
  EXPECT_EQ(Run(&next), "<routine>");
  EXPECT_EQ(RoutineRuns(), 1);
  ExpectAllReleased(next);
}

TEST_F(GLHostTest, LoopFailingAfterTheRoutineStillReleasesEverything) {
  // Fallible calls of a run: RegisterClassA, CreateWindowExA, GetDC, ChoosePixelFormat,
  // SetPixelFormat, wglCreateContext, wglMakeCurrent, then GetMessageA (start message), then
  // GetMessageA again after the routine.
  FakeGetSettings().refuseNthFallible = 9;
  GLHostRecord record = GarbageRecord();
  EXPECT_EQ(Run(&record), "<routine>ERROR:  GetMessage failed.\n");
  EXPECT_EQ(RoutineRuns(), 1);
  ExpectAllReleased(record);
}

}  // namespace
