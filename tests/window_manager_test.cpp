// The Linux layer's window manager, on the semantics that the host window relies on.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/linux/window_manager.h"

namespace {

std::vector<std::string>& Seen() {
  static std::vector<std::string> seen;
  return seen;
}

LRESULT g_createAnswer = 0;

LRESULT CALLBACK RecordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE: {
      const auto* creation = reinterpret_cast<const CREATESTRUCTA*>(lParam);
      Seen().push_back("create " + std::string(static_cast<const char*>(creation->lpCreateParams)));
      return g_createAnswer;
    }
    case WM_DESTROY:
      Seen().push_back("destroy");
      return 0;
    case WM_NCDESTROY:
      Seen().push_back("ncdestroy");
      return 0;
    default:
      Seen().push_back("message " + std::to_string(message) + " " + std::to_string(wParam));
      return WmDefWindowProc(window, message, wParam, lParam);
  }
}

class WindowManagerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WmReset();
    Seen().clear();
    g_createAnswer = 0;
  }
  void TearDown() override {
    WmReset();
  }

  static ATOM Register(const char* name) {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = RecordingProc;
    windowClass.lpszClassName = name;
    return WmRegisterClass(&windowClass);
  }

  static HWND Create(const char* className, const char* param) {
    return WmCreateWindow(0, className, "title", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr,
                          const_cast<char*>(param));
  }
};

TEST_F(WindowManagerTest, ClassNamesAreUniqueAndHeldWhileAWindowExists) {
  ASSERT_NE(Register("Host"), 0);
  EXPECT_EQ(Register("HOST"), 0) << "class names ignore letter case";
  const HWND window = Create("host", "p");
  ASSERT_NE(window, nullptr);
  EXPECT_FALSE(WmUnregisterClass("Host", nullptr));
  EXPECT_TRUE(WmDestroyWindow(window));
  EXPECT_TRUE(WmUnregisterClass("Host", nullptr));
  EXPECT_FALSE(WmUnregisterClass("Host", nullptr));
  EXPECT_EQ(Create("Host", "p"), nullptr) << "no class, no window";
}

TEST_F(WindowManagerTest, CreationSendsTheParameterAndARefusalDestroysTheHalfMadeWindow) {
  Register("Host");
  g_createAnswer = -1;
  EXPECT_EQ(Create("Host", "record"), nullptr);
  EXPECT_EQ(Seen(), (std::vector<std::string>{"create record", "destroy", "ncdestroy"}));
  EXPECT_EQ(WmCountWindows(), 0u);
}

TEST_F(WindowManagerTest, UserDataAndOwnDeviceContextLiveAndDieWithTheWindow) {
  Register("Host");
  const HWND window = Create("Host", "p");
  EXPECT_EQ(WmSetWindowLongPtr(window, GWLP_USERDATA, 1234), 0);
  EXPECT_EQ(WmGetWindowLongPtr(window, GWLP_USERDATA), 1234);
  const HDC deviceContext = WmGetDC(window);
  ASSERT_NE(deviceContext, nullptr);
  EXPECT_EQ(WmGetDC(window), deviceContext);
  EXPECT_TRUE(WmIsLiveDeviceContext(deviceContext));
  EXPECT_FALSE(WmIsLiveDeviceContext(reinterpret_cast<HDC>(window)));

  WmDestroyWindow(window);
  EXPECT_FALSE(WmIsLiveDeviceContext(deviceContext));
  EXPECT_EQ(WmGetWindowLongPtr(window, GWLP_USERDATA), 0);
  EXPECT_EQ(WmGetDC(window), nullptr);
  EXPECT_FALSE(WmDestroyWindow(window));
}

TEST_F(WindowManagerTest, PostedMessagesComeFirstInOrderThenTheQuitRequest) {
  Register("Host");
  const HWND window = Create("Host", "p");
  WmPostMessage(window, WM_APP, 1, 0);
  WmPostQuitMessage(7);
  WmPostMessage(window, WM_APP, 2, 0);  // posted after the quit request, still taken first

  MSG message;
  ASSERT_EQ(WmGetMessage(&message, nullptr, 0, 0), TRUE);
  EXPECT_EQ(message.wParam, 1u);
  ASSERT_EQ(WmGetMessage(&message, nullptr, 0, 0), TRUE);
  EXPECT_EQ(message.wParam, 2u);
  ASSERT_EQ(WmGetMessage(&message, nullptr, 0, 0), FALSE);
  EXPECT_EQ(message.message, WM_QUIT);
  EXPECT_EQ(message.wParam, 7u);
  EXPECT_FALSE(WmIsQuitPending());
}

TEST_F(WindowManagerTest, UntakenQuitRequestWaitsForTheNextLoop) {
  WmPostQuitMessage(0);
  EXPECT_TRUE(WmIsQuitPending());
  MSG message;
  EXPECT_EQ(WmGetMessage(&message, nullptr, 0, 0), FALSE);
}

TEST_F(WindowManagerTest, InvalidOrHopelessGetMessageFails) {
  Register("Host");
  const HWND window = Create("Host", "p");
  MSG message;
  EXPECT_EQ(WmGetMessage(nullptr, nullptr, 0, 0), -1);
  WmDestroyWindow(window);
  EXPECT_EQ(WmGetMessage(&message, window, 0, 0), -1) << "a window that is gone";
  // Nothing queued and no quit request: nothing could ever arrive on this one thread.
  EXPECT_EQ(WmGetMessage(&message, nullptr, 0, 0), -1);
}

TEST_F(WindowManagerTest, DispatchReachesLiveWindowsAndDropsMessagesForDeadOnes) {
  Register("Host");
  const HWND window = Create("Host", "p");
  WmPostMessage(window, WM_APP, 5, 0);
  WmPostMessage(window, WM_APP, 6, 0);
  MSG message;
  WmGetMessage(&message, nullptr, 0, 0);
  WmDispatchMessage(&message);
  WmDestroyWindow(window);
  WmGetMessage(&message, nullptr, 0, 0);
  WmDispatchMessage(&message);
  EXPECT_EQ(Seen(),
            (std::vector<std::string>{"create p", "message 32768 5", "destroy", "ncdestroy"}));
  EXPECT_FALSE(WmPostMessage(window, WM_APP, 0, 0)) << "posting to a window that is gone";
}

}  // namespace
