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

TEST_F(StartupTest, StaleInstanceAtomEndsTheStartWithExitCodeOneAndNothingElse) {
  AddAtomReferences(kInstanceAtom, 1);
  AddAtomReferences(kEngineMarkerAtom, 2);

  ZapnixProcess zapnix;
  ASSERT_TRUE(zapnix.Started());
  bool windowSeen = false;
  WaitFor([&] {
    windowSeen = windowSeen || !zapnix.Windows(nullptr, nullptr).empty();
    return !zapnix.Running();
  }, kExitTimeoutMs, 1);
  EXPECT_EQ(zapnix.WaitForExit(), 1u);
  EXPECT_FALSE(windowSeen) << "the refused start created a window";
  EXPECT_EQ(zapnix.WindowEvents(), "");
  EXPECT_EQ(CountAtomReferences(kInstanceAtom), 1);
  EXPECT_FALSE(AtomPresent(kRunningAtom));
  EXPECT_EQ(CountAtomReferences(kEngineMarkerAtom), 2) << "the refused start cleared the engine marker";
  EXPECT_FALSE(KeyExists(kEngineClassKey)) << "the refused start registered the engine";
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
