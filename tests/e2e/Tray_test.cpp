// The program's icon in the notification area, seen from the shell's side: a
// stand-in for the shell's tray window receives the icon requests.
#include <memory>

#include "E2eWindow.h"

namespace e2e {
namespace {

using TrayTest = ZapnixTest;

TEST_F(TrayTest, IconBelongsToAHiddenUtilityWindowThatAnswersTheCallback) {
  FakeShellTray shell(FakeShellTray::Answer::kAccept);
  ASSERT_TRUE(shell.InFront()) << "the stand-in tray is not the one the shell would use";
  ZapnixProcess zapnix;
  ASSERT_NE(zapnix.WaitForMainWindow(), nullptr);
  ASSERT_TRUE(zapnix.WaitUntilHiddenAfterFirstPaint());

  const HWND icon = shell.AddedIconWindow();
  ASSERT_NE(icon, nullptr) << "no icon was added";
  EXPECT_EQ(shell.Requests().front().operation, static_cast<DWORD>(NIM_ADD));
  EXPECT_EQ(ClassNameOf(icon), kTrayWindowClass);
  EXPECT_EQ(GetWindowTextLengthA(icon), 0);
  EXPECT_EQ(GetParent(icon), nullptr);
  EXPECT_FALSE(IsWindowVisible(icon));
  DWORD owner = 0;
  GetWindowThreadProcessId(icon, &owner);
  EXPECT_EQ(owner, zapnix.Id());

  // A mouse move over the icon is served (result 0) and changes nothing;
  // the end of the user's session is agreed to.
  EXPECT_EQ(SendWithTimeout(icon, kTrayCallbackMessage, 0, WM_MOUSEMOVE), LRESULT{0});
  EXPECT_EQ(SendWithTimeout(icon, WM_QUERYENDSESSION, 0, 0), LRESULT{1});
  EXPECT_TRUE(zapnix.Running());
  EXPECT_TRUE(AtomPresent(kRunningAtom));

  // Closing removes the icon again.
  ASSERT_TRUE(zapnix.AskToClose());
  EXPECT_EQ(zapnix.WaitForExit(), 0u);
  const std::vector<FakeShellTray::Request> requests = shell.Requests();
  ASSERT_FALSE(requests.empty());
  EXPECT_EQ(requests.back().operation, static_cast<DWORD>(NIM_DELETE));
  EXPECT_EQ(requests.back().window, icon);
}

TEST_F(TrayTest, LeftClickOnTheIconSwitchesBlockingOffAndOn) {
  FakeShellTray shell(FakeShellTray::Answer::kAccept);
  ASSERT_TRUE(shell.InFront());
  ZapnixProcess zapnix;
  ASSERT_NE(zapnix.WaitForMainWindow(), nullptr);
  ASSERT_TRUE(zapnix.WaitUntilHiddenAfterFirstPaint());
  const HWND icon = shell.AddedIconWindow();
  ASSERT_NE(icon, nullptr);

  // Switching off removes the atom even when other processes had added it too.
  AddAtomReferences(kRunningAtom, 2);
  ASSERT_TRUE(SendWithTimeout(icon, kTrayCallbackMessage, 0, WM_LBUTTONDOWN).has_value());
  ASSERT_TRUE(SendWithTimeout(icon, kTrayCallbackMessage, 0, WM_LBUTTONUP).has_value());
  EXPECT_FALSE(AtomPresent(kRunningAtom));

  // Switching on adds exactly one reference.
  ASSERT_TRUE(SendWithTimeout(icon, kTrayCallbackMessage, 0, WM_LBUTTONUP).has_value());
  EXPECT_EQ(CountAtomReferences(kRunningAtom), 1);
  EXPECT_FALSE(IsWindowVisible(zapnix.MainWindow())) << "a left click restores nothing";
  EXPECT_FALSE(zapnix.FindMessageBox().has_value());
}

// A refused icon: the creation error is shown, and the window stays shown
// (nothing else could bring it back). When the shell's taskbar comes back it
// announces itself, and the icon is added then; from there on the window
// hides into the tray as usual.
TEST_F(TrayTest, ShellRefusingTheIconKeepsTheWindowShownUntilTheTaskbarReturns) {
  auto shell = std::make_unique<FakeShellTray>(FakeShellTray::Answer::kRefuse);
  ASSERT_TRUE(shell->InFront()) << "the stand-in tray is not the one the shell would use";
  ZapnixProcess zapnix;
  const std::optional<MessageBoxSeen> box = zapnix.WaitForMessageBox();
  ASSERT_TRUE(box.has_value()) << "no error box titled \"Zapnix\"";
  EXPECT_EQ(box->text.rfind("Cannot Create System Shell Notification Icon", 0), 0u) << box->text;
  const HWND icon = shell->AddedIconWindow();
  ASSERT_NE(icon, nullptr) << "the box came before any icon request";
  ASSERT_TRUE(zapnix.PressOk(*box));

  // Shown and painted, and not hidden.
  const HWND window = zapnix.WaitForMainWindow();
  ASSERT_NE(window, nullptr);
  ASSERT_TRUE(WaitFor([&] { return zapnix.WindowEvents().find(kWatchPaint) != std::string::npos; }, kStartTimeoutMs))
      << zapnix.WindowEvents();
  ASSERT_TRUE(SendWithTimeout(window, WM_NULL, 0, 0).has_value());
  Sleep(200);
  EXPECT_TRUE(IsWindowVisible(window)) << zapnix.WindowEvents();
  EXPECT_EQ(zapnix.WindowEvents().find(kWatchHidden), std::string::npos) << zapnix.WindowEvents();
  EXPECT_TRUE(zapnix.Running());
  EXPECT_TRUE(AtomPresent(kInstanceAtom));
  EXPECT_TRUE(AtomPresent(kRunningAtom));
  EXPECT_FALSE(zapnix.FindMessageBox().has_value()) << "a second box: " << zapnix.FindMessageBox()->text;

  // The shell restarts: a new taskbar, which takes icons, tells every top-level window.
  shell.reset();
  FakeShellTray restarted(FakeShellTray::Answer::kAccept);
  ASSERT_TRUE(restarted.InFront());
  ASSERT_TRUE(SendWithTimeout(icon, RegisterWindowMessageA("TaskbarCreated"), 0, 0).has_value());
  ASSERT_EQ(restarted.AddedIconWindow(), icon) << "the icon was not added again";
  EXPECT_FALSE(zapnix.FindMessageBox().has_value());

  // With its icon back, the minimize picture hides the window into the tray.
  ASSERT_TRUE(SendClick(window, places::kMinimizePicture));
  EXPECT_TRUE(WaitFor([&] { return !IsWindowVisible(window); }, kAnswerTimeoutMs));

  ASSERT_TRUE(zapnix.AskToClose());
  EXPECT_EQ(zapnix.WaitForExit(), 0u);
  EXPECT_FALSE(AtomPresent(kInstanceAtom));
  EXPECT_FALSE(AtomPresent(kRunningAtom));
}

// A visible icon adds itself again after the shell restarted; one that is
// shown already is simply added once more.
TEST_F(TrayTest, VisibleIconIsAddedAgainWhenTheTaskbarIsCreated) {
  FakeShellTray shell(FakeShellTray::Answer::kAccept);
  ASSERT_TRUE(shell.InFront());
  ZapnixProcess zapnix;
  ASSERT_NE(zapnix.WaitForMainWindow(), nullptr);
  ASSERT_TRUE(zapnix.WaitUntilHiddenAfterFirstPaint());
  const HWND icon = shell.AddedIconWindow();
  ASSERT_NE(icon, nullptr);
  auto adds = [&] {
    size_t n = 0;
    for (const FakeShellTray::Request& request : shell.Requests()) n += request.operation == NIM_ADD;
    return n;
  };
  ASSERT_EQ(adds(), 1u);
  ASSERT_TRUE(SendWithTimeout(icon, RegisterWindowMessageA("TaskbarCreated"), 0, 0).has_value());
  EXPECT_EQ(adds(), 2u);
  EXPECT_EQ(shell.Requests().back().window, icon);
  EXPECT_FALSE(IsWindowVisible(zapnix.MainWindow()));
}

}  // namespace
}  // namespace e2e
