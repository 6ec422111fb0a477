#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "app/AppState.h"
#include "base/CleanupRetry.h"
#include "app/ExtractionDriver.h"
#include "app/ProgressReporter.h"
#include "app/RunLog.h"
#include "app/RunThread.h"
#include "app/SfxConfig.h"
#include "app/Startup.h"
#include "base/ThreadStart.h"
#include "compress/ProgressMonitor.h"
#include "platform/win32.h"

namespace {

// The hidden main window with the program's own procedure, as InitInstance makes it.
class RunThreadTest : public testing::Test {
 protected:
  void SetUp() override {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = WndProc;
    wc.lpszClassName = wide(u"SELFEXTRACT");
#ifdef _WIN32
    wc.hInstance = GetModuleHandleW(nullptr);
#endif
    RegisterClassExW(&wc);
    g_hiddenWindow = CreateWindowExW(0, wc.lpszClassName, wide(u""), WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                     wc.hInstance, nullptr);
    // Wine without a display creates no windows; the dialog scenarios cover that build.
    if (g_hiddenWindow == nullptr) GTEST_SKIP() << "no desktop for the hidden window";
    drain();
    resetCancel();
  }
  void TearDown() override {
    setExtracting(false);
    resetCancel();
    drain();
  }
  // What was posted and not taken, in order; the quit request shows as WM_QUIT.
  static std::vector<MSG> drain() {
    std::vector<MSG> left;
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) left.push_back(msg);
    return left;
  }
};

struct Trace {
  std::thread::id windowThread;
  std::vector<std::string> steps;
  bool allOnWindowThread = true;
};

}  // namespace

TEST_F(RunThreadTest, RequestsAreCarriedOutByTheWindowThreadInTheOrderAsked) {
  Trace trace;
  trace.windowThread = std::this_thread::get_id();
  bool result = runOnRunThread(
      [](void *context) {
        Trace &t = *static_cast<Trace *>(context);
        if (std::this_thread::get_id() == t.windowThread) return false;
        for (const char *step : {"password", "error box", "end dialog"}) {
          onWindowThread([&] {
            t.allOnWindowThread = t.allOnWindowThread && std::this_thread::get_id() == t.windowThread;
            t.steps.push_back(step);
          });
        }
        return true;
      },
      &trace, nullptr);
  EXPECT_TRUE(result);
  EXPECT_TRUE(trace.allOnWindowThread);
  EXPECT_EQ(trace.steps, (std::vector<std::string>{"password", "error box", "end dialog"}));
}

// Without a thread for the run it goes on on the window thread, whose requests are then carried
// out at once.
TEST_F(RunThreadTest, ARunWithoutAThreadGoesOnOnTheWindowThread) {
  Trace trace;
  trace.windowThread = std::this_thread::get_id();
  limitThreadStartsForTesting(0);
  bool result = runOnRunThread(
      [](void *context) {
        Trace &t = *static_cast<Trace *>(context);
        onWindowThread([&] { t.steps.push_back("password"); });
        return std::this_thread::get_id() == t.windowThread;
      },
      &trace, nullptr);
  limitThreadStartsForTesting(-1);
  EXPECT_TRUE(result);
  EXPECT_EQ(trace.steps, (std::vector<std::string>{"password"}));
  EXPECT_FALSE(runActive());
}

// Ending the run early posts the quit request; the window thread keeps serving the run until it
// returns and only then lets the request end the loops above it.
TEST_F(RunThreadTest, AQuitRequestDuringTheRunIsHeldUntilTheRunEnds) {
  int servedAfterQuit = 0;
  runOnRunThread(
      [](void *context) {
        onWindowThread([] { PostQuitMessage(0); });
        onWindowThread([context] { ++*static_cast<int *>(context); });
        return true;
      },
      &servedAfterQuit, nullptr);
  EXPECT_EQ(servedAfterQuit, 1);
  std::vector<MSG> left = drain();
  ASSERT_FALSE(left.empty());
  EXPECT_EQ(left.back().message, WM_QUIT);
}

TEST_F(RunThreadTest, ACloseOfTheHiddenWindowEndsTheLoopsAndKeepsTheWindow) {
  // No run: every loop is asked to end, and the window still takes the run thread's posts.
  EXPECT_EQ(WndProc(g_hiddenWindow, WM_CLOSE, 0, 0), 0);
  EXPECT_FALSE(cancelRequested());
  std::vector<MSG> left = drain();
  ASSERT_EQ(left.size(), 1u);
  EXPECT_EQ(left[0].message, WM_QUIT);
  EXPECT_TRUE(PostMessageA(g_hiddenWindow, kRunRequestMessage, 0, 0));
  drain();

  // A run that is not extracting (a password prompt, a setup wait) is told to stop at its next
  // step; the quit request waits until it has returned.
  bool toldToStop = runOnRunThread(
      [](void *) {
        PostMessageA(g_hiddenWindow, WM_CLOSE, 0, 0);
        while (!cancelRequested()) std::this_thread::yield();
        return true;
      },
      nullptr, nullptr);
  EXPECT_TRUE(toldToStop);
  left = drain();
  ASSERT_FALSE(left.empty());
  EXPECT_EQ(left.back().message, WM_QUIT);
}

TEST_F(RunThreadTest, ACloseDuringTheExtractionCancelsItAndTheSessionQuestionDoesNot) {
  // The run checks for a cancel the way the extraction does, through a monitor's abort check,
  // and asks for the close itself once it is extracting.
  struct Check : ProgressCallback {
    void abortCheck(bool &abort) override { abort = cancelRequested(); }
  } check;
  bool aborted = runOnRunThread(
      [](void *context) {
        ProgressMonitor monitor(static_cast<Check *>(context));
        monitor.setHeartbeatMs(1);
        setExtracting(true);
        PostMessageA(g_hiddenWindow, WM_CLOSE, 0, 0);
        while (!monitor.abortCheck()) std::this_thread::yield();
        setExtracting(false);
        return monitor.aborted();
      },
      &check, nullptr);
  EXPECT_TRUE(aborted);
  EXPECT_TRUE(cancelRequested());
  // The extraction ends the loops itself once it has taken its files back.
  for (const MSG &msg : drain()) EXPECT_NE(msg.message, WM_QUIT);

  // Another program may still refuse the end of the session: the extraction goes on.
  resetCancel();
  setExtracting(true);
  EXPECT_EQ(WndProc(g_hiddenWindow, WM_QUERYENDSESSION, 0, 0), TRUE);
  EXPECT_FALSE(cancelRequested());
  // A session that goes on after all changes nothing either.
  EXPECT_EQ(WndProc(g_hiddenWindow, WM_ENDSESSION, FALSE, 0), 0);
  EXPECT_FALSE(cancelRequested());
}

TEST_F(RunThreadTest, OneRunAtATime) {
  struct Nested {
    bool second = true;
  } nested;
  bool first = runOnRunThread(
      [](void *context) {
        // A second Unzip press reaches the window thread while this run goes on.
        onWindowThread([context] {
          static_cast<Nested *>(context)->second = runOnRunThread([](void *) { return true; }, nullptr, nullptr);
        });
        return true;
      },
      &nested, nullptr);
  EXPECT_TRUE(first);
  EXPECT_FALSE(nested.second);
  EXPECT_FALSE(runActive());
  EXPECT_TRUE(runOnRunThread([](void *) { return true; }, nullptr, nullptr));
}

// Natively a message box is a line on stderr; on Windows it would wait for a click.
#ifndef _WIN32
// The driver's failures reach the person from the window thread, in the order the run met them,
// and the abandoned run leaves its quit request for the loops above.
TEST_F(RunThreadTest, ADirectoryThatCannotBeMadeIsReportedAndEndsTheRun) {
  char temp[1024];
  std::string file = std::string(temp, GetTempPathA(sizeof temp, temp)) + "sfx_runthread_blocker.txt";
  HANDLE blocker = CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(blocker, INVALID_HANDLE_VALUE);
  CloseHandle(blocker);
  std::string dir = file + "\\below";
  g_config.SetValue("UnzipDir", dir.c_str());
  g_config.SetValue("Encryption", "0");
  g_config.SetValue("Debug", "0");  // a dry run would not try to make it
  std::string log = file + ".log";
  runLogOpen(log.c_str());
  testing::internal::CaptureStderr();
  EXPECT_FALSE(DoUnzip(g_hiddenWindow));
  std::string shown = testing::internal::GetCapturedStderr();
  runLogClose();
  g_config.SetValue("UnzipDir", "");
  std::string normalised = dir;  // the driver writes every "/" as a backslash
  for (char &c : normalised) c = c == '/' ? '\\' : c;
  EXPECT_EQ(shown, "Error: Failed to ensure dir exists: " + normalised + "\n");
  std::vector<MSG> left = drain();
  ASSERT_FALSE(left.empty());
  EXPECT_EQ(left.back().message, WM_QUIT);
  std::remove(log.c_str());
  DeleteFileA(file.c_str());
}
#endif

TEST(CleanupRetry, AHoldThatPassesIsWaitedOutAndOtherFailuresAreNot) {
  struct Attempts {
    int made = 0;
    int failFirst;
    DWORD error;
  };
  auto attempt = [](void *context) {
    Attempts &a = *static_cast<Attempts *>(context);
    if (a.made++ < a.failFirst) {
      SetLastError(a.error);
      return false;
    }
    return true;
  };
  for (DWORD held : {ERROR_SHARING_VIOLATION, ERROR_LOCK_VIOLATION, ERROR_DIR_NOT_EMPTY}) {
    Attempts a{0, 2, held};
    EXPECT_TRUE(retryWhileHeld(attempt, &a, kCleanupRetryMs)) << held;
    EXPECT_EQ(a.made, 3) << held;
  }
  // A read-only file or a folder without the right stays as it is: no time is spent on it.
  for (DWORD lasting : {ERROR_PATH_NOT_FOUND, ERROR_ACCESS_DENIED}) {
    Attempts a{0, 5, lasting};
    EXPECT_FALSE(retryWhileHeld(attempt, &a, kCleanupRetryMs)) << lasting;
    EXPECT_EQ(a.made, 1) << lasting;
  }
  Attempts noPatience{0, 5, ERROR_SHARING_VIOLATION};
  EXPECT_FALSE(retryWhileHeld(attempt, &noPatience, 0));
  EXPECT_EQ(noPatience.made, 1);
  Attempts forever{0, 1 << 30, ERROR_SHARING_VIOLATION};
  EXPECT_FALSE(retryWhileHeld(attempt, &forever, 120));  // gives up once the time is over
  EXPECT_GT(forever.made, 1);
}

TEST_F(RunThreadTest, ProgressFollowsThePayloadAndIsPostedAtMostTenTimesASecond) {
  HWND owner = reinterpret_cast<HWND>(uintptr_t(0x1234));
  DWORD start = GetTickCount();
  ProgressReporter reporter(owner, 1000, 100);
  reporter.progress(150, 9000);  // 25 %: the first report goes out at once
  for (int i = 0; i < 40; ++i) reporter.progress(10, 10);
  reporter.progress(1000, 1000);  // more than is left: stays below 100
  DWORD elapsed = GetTickCount() - start;
  std::vector<MSG> posted = drain();
  ASSERT_FALSE(posted.empty());
  EXPECT_EQ(posted[0].message, kTaskbarProgressMessage);
  EXPECT_EQ(posted[0].wParam, 25u);
  EXPECT_EQ(posted[0].lParam, reinterpret_cast<LPARAM>(owner));
  EXPECT_LE(posted.size(), 1 + elapsed / 100);
  for (size_t i = 1; i < posted.size(); ++i) EXPECT_GT(posted[i].wParam, posted[i - 1].wParam);
  EXPECT_LT(posted.back().wParam, 100u);
}

// Asks the question while an extraction runs, with `runThreadCall` made on a thread of its own
// meanwhile, and answers Yes or No: what that call returned.
namespace {
bool answeredWhileHeld(bool yes, bool (*runThreadCall)()) {
  resetCancel();
  setExtracting(true);
  EXPECT_TRUE(holdExtraction());
  bool result = !yes;
  std::thread run([&result, runThreadCall] { result = runThreadCall(); });
  if (yes) requestCancel();
  releaseExtraction();
  run.join();
  return result;
}
}  // namespace

// While the person is asked, the extraction waits; it then goes on with the answer given.
TEST_F(RunThreadTest, TheExtractionWaitsForTheCancelAnswer) {
  EXPECT_FALSE(holdExtraction()) << "nothing to hold before the extraction";
  for (bool yes : {true, false}) {
    EXPECT_EQ(answeredWhileHeld(yes, extractionShouldStop), yes);
    setExtracting(false);
  }
}

// The last entry may be written while the person is still being asked: the run waits for the
// answer before it calls itself complete, and a Yes then cancels it. Once it has finished, a
// close asks nothing.
TEST_F(RunThreadTest, AYesGivenWhileTheLastBytesGoOutStillCancels) {
  for (bool yes : {true, false}) {
    EXPECT_EQ(answeredWhileHeld(yes, finishExtracting), yes);
    EXPECT_FALSE(isExtracting());
    EXPECT_FALSE(holdExtraction());
  }
  resetCancel();
}
