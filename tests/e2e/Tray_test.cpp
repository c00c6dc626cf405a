// The program's icon in the notification area, seen from the shell's side: a
// stand-in for the shell's tray window receives the icon requests.
#include "E2e.h"

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

TEST_F(TrayTest, ShellRefusingTheIconShowsTheCreationErrorAndTheProgramGoesOn) {
  FakeShellTray shell(FakeShellTray::Answer::kRefuse);
  ASSERT_TRUE(shell.InFront()) << "the stand-in tray is not the one the shell would use";
  ZapnixProcess zapnix;
  const std::optional<MessageBoxSeen> box = zapnix.WaitForMessageBox();
  ASSERT_TRUE(box.has_value()) << "no error box titled \"Zapnix\"";
  EXPECT_EQ(box->text.rfind("Cannot Create System Shell Notification Icon", 0), 0u) << box->text;
  ASSERT_NE(shell.AddedIconWindow(), nullptr) << "the box came before any icon request";
  ASSERT_TRUE(zapnix.PressOk(*box));

  // Blocking was announced before the icon was asked for, and the window
  // still hides itself at its first paint.
  ASSERT_NE(zapnix.WaitForMainWindow(), nullptr);
  ASSERT_TRUE(zapnix.WaitUntilHiddenAfterFirstPaint()) << zapnix.WindowEvents();
  EXPECT_EQ(zapnix.WindowEvents().substr(0, 3), "SPH");
  EXPECT_TRUE(zapnix.Running());
  EXPECT_TRUE(AtomPresent(kInstanceAtom));
  EXPECT_TRUE(AtomPresent(kRunningAtom));
  EXPECT_FALSE(zapnix.FindMessageBox().has_value()) << "a second box: " << zapnix.FindMessageBox()->text;

  ASSERT_TRUE(zapnix.AskToClose());
  EXPECT_EQ(zapnix.WaitForExit(), 0u);
  EXPECT_FALSE(AtomPresent(kInstanceAtom));
  EXPECT_FALSE(AtomPresent(kRunningAtom));
}

}  // namespace
}  // namespace e2e
