// The running program by keys alone, from outside: keys posted to its windows
// go through its own message loop (TranslateMessage, the routing of dialog
// keys and characters) as the keyboard's do, and the tray icon gets the
// keyboard's notifications as the shell sends them.
#include "E2eWindow.h"

#include <shellapi.h>

namespace e2e {
namespace {

using KeyboardTest = ZapnixWindowTest;

HWND VisibleMenu(DWORD processId) {
  for (HWND menu : TopLevelWindows(processId, "#32768", nullptr))
    if (IsWindowVisible(menu)) return menu;
  return nullptr;
}

HWND WaitForMenu(DWORD processId) {
  HWND menu = nullptr;
  WaitFor([&] { return (menu = VisibleMenu(processId)) != nullptr; }, kAnswerTimeoutMs);
  return menu;
}

bool Escape(HWND menu) {
  PostMessageA(menu, WM_KEYDOWN, VK_ESCAPE, 1);
  return WaitFor([&] { return !IsWindow(menu) || !IsWindowVisible(menu); }, kAnswerTimeoutMs);
}

// Enter or Space on the icon switches as a left click does; the menu key
// opens the tray menu, and a right click opens it once although the shell
// follows the click with the menu key's notification.
TEST_F(KeyboardTest, TrayIconByKeyboard) {
  ASSERT_NO_FATAL_FAILURE(Start());
  ASSERT_TRUE(SendWithTimeout(icon_, kTrayCallbackMessage, 0, NIN_KEYSELECT).has_value());
  EXPECT_FALSE(AtomPresent(kRunningAtom));
  ASSERT_TRUE(SendWithTimeout(icon_, kTrayCallbackMessage, 0, NIN_KEYSELECT).has_value());
  EXPECT_EQ(CountAtomReferences(kRunningAtom), 1);
  EXPECT_FALSE(IsWindowVisible(parts_.form)) << "the key restored the window";

  ASSERT_TRUE(PostMessageA(icon_, kTrayCallbackMessage, 0, WM_CONTEXTMENU));
  HWND menu = WaitForMenu(zapnix_->Id());
  ASSERT_NE(menu, nullptr) << "the menu key opened no menu";
  ASSERT_TRUE(Escape(menu));

  // The shell's follow-up of a right click, here handled only once the
  // click's menu is closed, opens nothing.
  ASSERT_TRUE(PostMessageA(icon_, kTrayCallbackMessage, 0, WM_RBUTTONDOWN));
  ASSERT_TRUE(PostMessageA(icon_, kTrayCallbackMessage, 0, WM_RBUTTONUP));
  menu = WaitForMenu(zapnix_->Id());
  ASSERT_NE(menu, nullptr);
  ASSERT_TRUE(Escape(menu));
  ASSERT_TRUE(PostMessageA(icon_, kTrayCallbackMessage, 0, WM_CONTEXTMENU));
  Sleep(300);
  EXPECT_EQ(VisibleMenu(zapnix_->Id()), nullptr) << "a right click opened the menu twice";
}

// In the shown window: Delete on the blocked list deletes the chosen row,
// Alt+E switches blocking on once the button reads "&Enable", and Escape
// hides the window into the tray.
TEST_F(KeyboardTest, WindowKeysGoThroughTheProgramsOwnLoop) {
  ASSERT_NO_FATAL_FAILURE(Start());
  ASSERT_NO_FATAL_FAILURE(Restore());
  const UINT stopUrl = RegisterWindowMessageA(kStopUrlMessageName);
  for (const char* url : {"http://one.example/", "http://two.example/"}) {
    WriteText(kStoppedKey, nullptr, url);
    ASSERT_TRUE(SendWithTimeout(parts_.form, stopUrl, 0, 0).has_value());
  }
  ASSERT_EQ(ListBoxRows(parts_.blockedList).size(), 2u);
  // A click gives the list the focus, as the keys below need.
  ASSERT_TRUE(SendClick(parts_.blockedList, POINT{20, 5}));
  ASSERT_TRUE(SelectRow(parts_.blockedList, 1));
  ASSERT_TRUE(PostMessageA(parts_.blockedList, WM_KEYDOWN, VK_DELETE, 1));
  ASSERT_TRUE(SendWithTimeout(parts_.form, WM_NULL, 0, 0).has_value());
  EXPECT_EQ(ListBoxRows(parts_.blockedList), (std::vector<std::string>{"http://one.example/"}));

  ASSERT_TRUE(SendWithTimeout(icon_, kTrayCallbackMessage, 0, NIN_KEYSELECT).has_value());
  ASSERT_FALSE(AtomPresent(kRunningAtom));
  // The program's TranslateMessage makes the Alt character of the key.
  ASSERT_TRUE(PostMessageA(parts_.blockedList, WM_SYSKEYDOWN, 'E', 0x20000001));
  WaitFor([] { return AtomPresent(kRunningAtom); }, kAnswerTimeoutMs);
  EXPECT_EQ(CountAtomReferences(kRunningAtom), 1) << "Alt+E did not switch blocking on";

  ASSERT_TRUE(PostMessageA(parts_.blockedList, WM_KEYDOWN, VK_ESCAPE, 1));
  EXPECT_TRUE(WaitVisible(parts_.form, false)) << "Escape left the window shown";
  EXPECT_TRUE(zapnix_->Running());
}

}  // namespace
}  // namespace e2e
