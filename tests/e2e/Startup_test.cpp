// Start-up, single instance and shutdown of the real program, seen from outside.
#include "E2e.h"

namespace e2e {
namespace {

using StartupTest = ZapnixTest;

TEST_F(StartupTest, ShowsItsWindowOnceAndHidesItAtTheFirstPaint) {
  ZapnixProcess zapnix;
  ASSERT_TRUE(zapnix.Started());
  const HWND window = zapnix.WaitForMainWindow();
  ASSERT_NE(window, nullptr) << "no top-level window of class TForm1 with the text \"Vantrel Zapnix\"";
  ASSERT_TRUE(zapnix.WaitUntilHiddenAfterFirstPaint()) << "events seen: " << zapnix.WindowEvents();

  // Shown, painted once, hidden during that paint: nothing between the first
  // paint and the hide.
  EXPECT_EQ(zapnix.WindowEvents().substr(0, 3), "SPH");
  EXPECT_TRUE(zapnix.Running());
  EXPECT_TRUE(AtomPresent(kInstanceAtom));
  EXPECT_TRUE(AtomPresent(kRunningAtom));
  EXPECT_FALSE(zapnix.FindMessageBox().has_value()) << zapnix.FindMessageBox()->text;

  // Hidden for good: later messages do not bring the window back.
  ASSERT_TRUE(SendWithTimeout(window, WM_NULL, 0, 0).has_value());
  EXPECT_FALSE(IsWindowVisible(window));
  EXPECT_EQ(zapnix.WindowEvents().find(kWatchShown, 1), std::string::npos) << zapnix.WindowEvents();
}

TEST_F(StartupTest, SecondInstanceEndsWithExitCodeOneAndChangesNothing) {
  ZapnixProcess first;
  ASSERT_NE(first.WaitForMainWindow(), nullptr);
  ASSERT_TRUE(first.WaitUntilHiddenAfterFirstPaint());
  const HWND firstWindow = first.MainWindow();
  EXPECT_EQ(CountAtomReferences(kInstanceAtom), 1);
  EXPECT_EQ(CountAtomReferences(kRunningAtom), 1);

  ZapnixProcess second(StartOptions{.watch = false});
  ASSERT_TRUE(second.Started());
  EXPECT_EQ(second.WaitForExit(), 1u);
  EXPECT_EQ(CountAtomReferences(kInstanceAtom), 1);
  EXPECT_EQ(CountAtomReferences(kRunningAtom), 1);
  EXPECT_TRUE(first.Running());
  EXPECT_EQ(first.MainWindow(), firstWindow);
  EXPECT_FALSE(IsWindowVisible(firstWindow));
  EXPECT_EQ(first.WindowEvents().substr(0, 3), "SPH");
  EXPECT_EQ(first.WindowEvents().size(), 3u) << "the first instance was disturbed: " << first.WindowEvents();
}

// Atoms left by an instance that ended without closing its window do not
// lock the program out: no live process holds the instance lock, so the start
// clears them and runs.
TEST_F(StartupTest, StaleAtomsOfADeadInstanceAreClearedAndTheProgramStarts) {
  AddAtomReferences(kInstanceAtom, 2);
  AddAtomReferences(kRunningAtom, 3);
  AddAtomReferences(kEngineMarkerAtom, 2);

  ZapnixProcess zapnix;
  ASSERT_NE(zapnix.WaitForMainWindow(), nullptr) << "the start was refused";
  ASSERT_TRUE(zapnix.WaitUntilHiddenAfterFirstPaint()) << zapnix.WindowEvents();
  EXPECT_EQ(CountAtomReferences(kInstanceAtom), 1);
  EXPECT_EQ(CountAtomReferences(kRunningAtom), 1);
  EXPECT_FALSE(AtomPresent(kEngineMarkerAtom));
  EXPECT_FALSE(zapnix.FindMessageBox().has_value());
}

TEST_F(StartupTest, KilledInstanceDoesNotLockTheNextStartOut) {
  {
    ZapnixProcess killed;
    ASSERT_NE(killed.WaitForMainWindow(), nullptr);
    ASSERT_TRUE(killed.WaitUntilHiddenAfterFirstPaint());
    killed.Kill();
    ASSERT_TRUE(killed.WaitForExit().has_value());
  }
  ASSERT_TRUE(AtomPresent(kInstanceAtom)) << "a killed process withdrew its atom";
  ZapnixProcess next;
  ASSERT_NE(next.WaitForMainWindow(), nullptr) << "locked out after a killed instance";
  EXPECT_TRUE(next.WaitUntilHiddenAfterFirstPaint());
  EXPECT_EQ(CountAtomReferences(kInstanceAtom), 1);
  EXPECT_TRUE(next.AskToClose());
  EXPECT_EQ(next.WaitForExit(), 0u);
  EXPECT_FALSE(AtomPresent(kInstanceAtom));
}

TEST_F(StartupTest, TwoStartsAtTheSameMomentGiveOneInstance) {
  ZapnixProcess first(StartOptions{.watch = false});
  ZapnixProcess second(StartOptions{.watch = false});
  ASSERT_TRUE(first.Started() && second.Started());
  // One of the two ends with exit code 1; the other runs.
  std::optional<DWORD> code;
  ZapnixProcess* survivor = nullptr;
  WaitFor([&] {
    if ((code = first.WaitForExit(0))) survivor = &second;
    else if ((code = second.WaitForExit(0))) survivor = &first;
    return code.has_value();
  }, kStartTimeoutMs);
  ASSERT_TRUE(code.has_value()) << "both kept running";
  EXPECT_EQ(*code, 1u);
  ASSERT_NE(survivor->WaitForMainWindow(), nullptr);
  EXPECT_TRUE(survivor->Running());
  EXPECT_EQ(CountAtomReferences(kInstanceAtom), 1);
  EXPECT_TRUE(survivor->AskToClose());
  EXPECT_EQ(survivor->WaitForExit(), 0u);
}

// A main window that holds the atom without the lock (an older build of the
// program) still counts as a running instance: the start ends with exit
// code 1 and leaves its atoms alone.
TEST_F(StartupTest, AtomOfAWindowThatRunsWithoutTheLockIsKept) {
  // A window of the main window's class and text in this process, gone with the test.
  struct OlderInstance {
    HWND window = nullptr;
    OlderInstance() {
      WNDCLASSA windowClass{};
      windowClass.lpfnWndProc = DefWindowProcA;
      windowClass.hInstance = GetModuleHandleA(nullptr);
      windowClass.lpszClassName = kMainWindowClass;
      RegisterClassA(&windowClass);
      window = CreateWindowExA(0, kMainWindowClass, kMainWindowText, WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                               GetModuleHandleA(nullptr), nullptr);
    }
    ~OlderInstance() {
      if (window) DestroyWindow(window);
      UnregisterClassA(kMainWindowClass, GetModuleHandleA(nullptr));
    }
  } older;
  ASSERT_NE(older.window, nullptr);
  AddAtomReferences(kInstanceAtom, 1);
  AddAtomReferences(kRunningAtom, 1);

  ZapnixProcess zapnix(StartOptions{.watch = false});
  EXPECT_EQ(zapnix.WaitForExit(), 1u);
  EXPECT_EQ(CountAtomReferences(kInstanceAtom), 1);
  EXPECT_EQ(CountAtomReferences(kRunningAtom), 1);
}

TEST_F(StartupTest, ClearsEveryReferenceOfTheEngineMarkerAtStart) {
  AddAtomReferences(kEngineMarkerAtom, 3);
  ZapnixProcess zapnix;
  ASSERT_NE(zapnix.WaitForMainWindow(), nullptr);
  ASSERT_TRUE(zapnix.WaitUntilHiddenAfterFirstPaint());
  EXPECT_FALSE(AtomPresent(kEngineMarkerAtom));
}

TEST_F(StartupTest, CloseMessageEndsWithExitCodeZeroAndWithdrawsEveryAtomReference) {
  ZapnixProcess zapnix;
  ASSERT_NE(zapnix.WaitForMainWindow(), nullptr);
  ASSERT_TRUE(zapnix.WaitUntilHiddenAfterFirstPaint());
  // Other processes may have added the atoms too; a closing Zapnix removes them all.
  AddAtomReferences(kInstanceAtom, 2);
  AddAtomReferences(kRunningAtom, 3);

  ASSERT_TRUE(zapnix.AskToClose()) << "\"ZapnixCanClose\" was not served";
  EXPECT_EQ(zapnix.WaitForExit(), 0u);
  EXPECT_FALSE(AtomPresent(kInstanceAtom));
  EXPECT_FALSE(AtomPresent(kRunningAtom));
}

TEST_F(StartupTest, StartsAgainAfterANormalExit) {
  {
    ZapnixProcess first;
    ASSERT_NE(first.WaitForMainWindow(), nullptr);
    ASSERT_TRUE(first.WaitUntilHiddenAfterFirstPaint());
    ASSERT_TRUE(first.AskToClose());
    ASSERT_EQ(first.WaitForExit(), 0u);
  }
  ZapnixProcess second;
  ASSERT_NE(second.WaitForMainWindow(), nullptr);
  EXPECT_TRUE(second.WaitUntilHiddenAfterFirstPaint());
  EXPECT_EQ(CountAtomReferences(kInstanceAtom), 1);
  EXPECT_EQ(CountAtomReferences(kRunningAtom), 1);
}

}  // namespace
}  // namespace e2e
