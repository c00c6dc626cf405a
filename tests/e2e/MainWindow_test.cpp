// The main window of the real program, driven from outside: its layout, its
// title-bar pictures and panel buttons, the tray menu, the list boxes' focus
// and a picture of the restored window.
#include <cstdio>
#include <functional>
#include <future>
#include <set>

#include "E2eWindow.h"

namespace e2e {
namespace {

using MainWindowTest = ZapnixWindowTest;

struct Placement {
  const char* name;
  HWND window;
  HWND reference;  // the rectangle is taken in this window's client area
  RECT expected;   // left, top, right, bottom
};

RECT Box(int left, int top, int width, int height) {
  return RECT{left, top, left + width, top + height};
}

std::string Show(const RECT& r) {
  return std::to_string(r.left) + "," + std::to_string(r.top) + " " + std::to_string(r.right - r.left) + "x" +
         std::to_string(r.bottom - r.top);
}

DWORD ThreadOf(HWND window) {
  return GetWindowThreadProcessId(window, nullptr);
}

HWND FocusOf(HWND window) {
  GUITHREADINFO info{};
  info.cbSize = sizeof(info);
  return GetGUIThreadInfo(ThreadOf(window), &info) ? info.hwndFocus : nullptr;
}

TEST_F(MainWindowTest, ChildWindowsLieWhereTheFormDescriptionPutsThem) {
  ASSERT_NO_FATAL_FAILURE(Start());
  RECT client{};
  ASSERT_TRUE(GetClientRect(parts_.form, &client));
  EXPECT_EQ(Show(client), "0,0 408x373");
  const LONG_PTR style = GetWindowLongPtrA(parts_.form, GWL_STYLE);
  EXPECT_EQ(style & (WS_CAPTION | WS_THICKFRAME), 0) << "the window has a system border or title bar";
  RECT outer{};
  GetWindowRect(parts_.form, &outer);
  EXPECT_EQ(Show(RectIn(parts_.form, parts_.form)), "0,0 408x373") << "the window is larger than its client area";

  const Placement placements[] = {
      {"PageControl1", parts_.pageControl, parts_.form, Box(2, 27, 404, 201)},
      {"Panel1", parts_.panel, parts_.form, Box(2, 226, 404, 145)},
      {"GroupBox3", parts_.blockedGroup, parts_.mainSheet, Box(0, 0, 396, 169)},
      {"GroupBox2", parts_.whiteGroup, parts_.whiteSheet, Box(0, 0, 396, 169)},
      {"GroupBox4", parts_.blackGroup, parts_.blackSheet, Box(0, 0, 396, 169)},
      {"ListBox3", parts_.blockedList, parts_.blockedGroup, Box(7, 16, 384, 121)},
      {"ListBox1", parts_.whiteList, parts_.whiteGroup, Box(7, 16, 306, 121)},
      {"ListBox2", parts_.blackList, parts_.blackGroup, Box(7, 16, 306, 121)},
  };
  for (const Placement& placement : placements) {
    SCOPED_TRACE(placement.name);
    EXPECT_EQ(Show(RectIn(placement.reference, placement.window)), Show(placement.expected));
  }

  // The sheets belong to the page control, the Main page is the one shown,
  // and no list box scrolls sideways before it has had the focus.
  for (HWND sheet : {parts_.mainSheet, parts_.whiteSheet, parts_.blackSheet})
    EXPECT_EQ(GetParent(sheet), parts_.pageControl);
  EXPECT_TRUE(HasVisibleStyle(parts_.mainSheet));
  EXPECT_FALSE(HasVisibleStyle(parts_.whiteSheet));
  EXPECT_FALSE(HasVisibleStyle(parts_.blackSheet));
  for (HWND list : {parts_.blockedList, parts_.whiteList, parts_.blackList}) {
    EXPECT_EQ(HorizontalExtent(list), 0);
    EXPECT_EQ(GetWindowLongPtrA(list, GWL_EXSTYLE) & WS_EX_CLIENTEDGE, 0) << "a list box has a border of its own";
  }
}

TEST_F(MainWindowTest, ClosePictureEndsTheProgram) {
  ASSERT_NO_FATAL_FAILURE(Start());
  ASSERT_NO_FATAL_FAILURE(Restore());
  ASSERT_TRUE(SendClick(parts_.form, places::kClosePicture));
  EXPECT_EQ(zapnix_->WaitForExit(), 0u);
  EXPECT_FALSE(AtomPresent(kInstanceAtom));
  EXPECT_FALSE(AtomPresent(kRunningAtom));
}

// The minimize picture and the lantern hide the window into the tray; only
// the tray menu's "Restore &main window" shows it again, and it stays shown
// through repaints. The restored window's picture goes to the screenshots.
TEST_F(MainWindowTest, MinimizePictureAndLanternHideTheWindowAndTheTrayMenuRestoresIt) {
  ASSERT_NO_FATAL_FAILURE(Start());
  ASSERT_NO_FATAL_FAILURE(Restore());
  ASSERT_TRUE(SendClick(parts_.form, places::kMinimizePicture));
  ASSERT_TRUE(WaitVisible(parts_.form, false)) << "the minimize picture left the window shown";

  const HWND menu = OpenTrayMenu(icon_, zapnix_->Id());
  ASSERT_NE(menu, nullptr) << "no tray menu";
  ASSERT_TRUE(ChooseFromMenu(menu, kMenuRestore));
  ASSERT_TRUE(WaitVisible(parts_.form, true)) << "\"Restore &main window\" did not show the window";

  // Repainting does not hide the window again: only the first paint of the run does.
  for (int i = 0; i < 3; ++i) {
    InvalidateRect(parts_.form, nullptr, TRUE);
    UpdateWindow(parts_.form);
    ASSERT_TRUE(SendWithTimeout(parts_.form, WM_NULL, 0, 0).has_value());
    EXPECT_TRUE(IsWindowVisible(parts_.form)) << "hidden by repaint " << i;
  }
  const std::string events = zapnix_->WindowEvents();
  EXPECT_EQ(events.find(kWatchHidden, events.rfind(kWatchShown)), std::string::npos) << events;
  EXPECT_TRUE(HasVisibleStyle(parts_.mainSheet)) << "the program changed the page";

  const std::optional<std::string> picture = SaveScreenshot(parts_.form, "main-window.bmp");
  if (!ScreenshotFolder().empty()) {
    EXPECT_TRUE(picture.has_value()) << "no screenshot in " << ScreenshotFolder();
  }

  ASSERT_TRUE(SendClick(parts_.form, places::kLantern));
  EXPECT_TRUE(WaitVisible(parts_.form, false)) << "the lantern left the window shown";
  EXPECT_TRUE(zapnix_->Running());
  EXPECT_EQ(CountAtomReferences(kRunningAtom), 1) << "hiding or showing switched blocking";
}

TEST_F(MainWindowTest, DoubleClickOnTheTrayIconRestoresNothing) {
  ASSERT_NO_FATAL_FAILURE(Start());
  const std::string before = zapnix_->WindowEvents();
  ASSERT_TRUE(SendWithTimeout(icon_, kTrayCallbackMessage, 0, WM_LBUTTONDBLCLK).has_value());
  ASSERT_TRUE(SendWithTimeout(parts_.form, WM_NULL, 0, 0).has_value());
  EXPECT_FALSE(IsWindowVisible(parts_.form));
  EXPECT_EQ(zapnix_->WindowEvents(), before);
  EXPECT_EQ(CountAtomReferences(kRunningAtom), 1) << "a double-click alone switched blocking";
  EXPECT_TRUE(TopLevelWindows(zapnix_->Id(), "#32768", nullptr).empty() ||
              !IsWindowVisible(TopLevelWindows(zapnix_->Id(), "#32768", nullptr).front()))
      << "a double-click opened the menu";
}

// While a list box has the focus it scrolls sideways over 1000 pixels; the
// extent goes back to 0 when the focus leaves it.
TEST_F(MainWindowTest, ListBoxScrollsSidewaysOnlyWhileItHasTheFocus) {
  ASSERT_NO_FATAL_FAILURE(Start());
  ASSERT_NO_FATAL_FAILURE(Restore());
  const POINT inside{40, 7};

  ASSERT_TRUE(SendClick(parts_.blockedList, inside));
  EXPECT_EQ(FocusOf(parts_.form), parts_.blockedList) << "the click did not give the list box the focus";
  EXPECT_EQ(HorizontalExtent(parts_.blockedList), 1000);

  ASSERT_TRUE(SelectPage(parts_, parts_.whiteSheet));
  EXPECT_NE(FocusOf(parts_.form), parts_.blockedList);
  EXPECT_EQ(HorizontalExtent(parts_.blockedList), 0);

  ASSERT_TRUE(SendClick(parts_.whiteList, inside));
  EXPECT_EQ(FocusOf(parts_.form), parts_.whiteList);
  EXPECT_EQ(HorizontalExtent(parts_.whiteList), 1000);
  EXPECT_EQ(HorizontalExtent(parts_.blockedList), 0);

  ASSERT_TRUE(SelectPage(parts_, parts_.blackSheet));
  ASSERT_TRUE(SendClick(parts_.blackList, inside));
  EXPECT_EQ(HorizontalExtent(parts_.whiteList), 0);
  EXPECT_EQ(HorizontalExtent(parts_.blackList), 1000);

  // The page's buttons are window-less and take no focus: a click on one
  // (Delete, on an empty list) leaves the list box scrolling sideways.
  ASSERT_TRUE(SendClick(parts_.blackGroup, places::kDeleteButton));
  EXPECT_EQ(FocusOf(parts_.form), parts_.blackList);
  EXPECT_EQ(HorizontalExtent(parts_.blackList), 1000);
}

TEST_F(MainWindowTest, DisableButtonSwitchesAndExitButtonEndsTheProgram) {
  ASSERT_NO_FATAL_FAILURE(Start());
  ASSERT_NO_FATAL_FAILURE(Restore());
  AddAtomReferences(kRunningAtom, 1);
  ASSERT_TRUE(SendClick(parts_.panel, places::kDisableButton));
  EXPECT_FALSE(AtomPresent(kRunningAtom));
  ASSERT_TRUE(SendClick(parts_.panel, places::kDisableButton));
  EXPECT_EQ(CountAtomReferences(kRunningAtom), 1);
  EXPECT_TRUE(IsWindowVisible(parts_.form));

  ASSERT_TRUE(SendClick(parts_.panel, places::kExitButton));
  EXPECT_EQ(zapnix_->WaitForExit(), 0u);
  EXPECT_FALSE(AtomPresent(kInstanceAtom));
  EXPECT_FALSE(AtomPresent(kRunningAtom));
}

TEST_F(MainWindowTest, TrayMenuSwitchesBlockingAndItsExitEndsTheProgram) {
  ASSERT_NO_FATAL_FAILURE(Start());
  HWND menu = OpenTrayMenu(icon_, zapnix_->Id());
  ASSERT_NE(menu, nullptr) << "no tray menu";
  ASSERT_TRUE(CancelMenu(menu));
  EXPECT_TRUE(zapnix_->Running());
  EXPECT_EQ(CountAtomReferences(kRunningAtom), 1) << "a cancelled menu did something";
  EXPECT_FALSE(IsWindowVisible(parts_.form));

  menu = OpenTrayMenu(icon_, zapnix_->Id());
  ASSERT_NE(menu, nullptr);
  ASSERT_TRUE(ChooseFromMenu(menu, kMenuSwitch));
  EXPECT_TRUE(WaitFor([] { return !AtomPresent(kRunningAtom); }, kAnswerTimeoutMs)) << "\"&Disable\" did not switch";

  menu = OpenTrayMenu(icon_, zapnix_->Id());
  ASSERT_NE(menu, nullptr);
  ASSERT_TRUE(ChooseFromMenu(menu, kMenuExit));
  EXPECT_EQ(zapnix_->WaitForExit(), 0u);
  EXPECT_FALSE(AtomPresent(kInstanceAtom));
  EXPECT_FALSE(AtomPresent(kRunningAtom));
}

// Without a help file beside the program, Help shows no message of the
// program's own; whatever the shell shows about it is closed here.
TEST_F(MainWindowTest, HelpWithoutAHelpFileShowsNoMessageOfTheProgram) {
  TempFolder folder;
  folder.Copy(DistFolder() + "\\Zapnix.exe", "Zapnix.exe");
  ASSERT_NO_FATAL_FAILURE(Start(StartOptions{.folder = folder.Path()}));
  ASSERT_NO_FATAL_FAILURE(Restore());

  std::set<HWND> known;
  for (HWND window : TopLevelWindows(zapnix_->Id(), nullptr, nullptr)) known.insert(window);
  std::vector<std::string> shellWindows;
  // Waits for the click to be handled, closing every new window of the
  // process meanwhile; a window titled "Zapnix" is the program's own.
  auto settle = [&](const std::function<bool()>& done) {
    bool own = false;
    WaitFor(
        [&] {
          for (HWND window : TopLevelWindows(zapnix_->Id(), nullptr, nullptr)) {
            if (known.count(window) || !IsWindowVisible(window)) continue;
            const std::string title = TextOf(window);
            if (title == kApplicationTitle) own = true;
            shellWindows.push_back(ClassNameOf(window) + " \"" + title + "\"");
            known.insert(window);
            PostMessageA(window, WM_COMMAND, IDOK, 0);
            PostMessageA(window, WM_CLOSE, 0, 0);
          }
          return done();
        },
        kAnswerTimeoutMs + 2000);
    return own;
  };

  std::future<bool> clicked = std::async(std::launch::async, [&] { return SendClick(parts_.panel, places::kHelpButton); });
  EXPECT_FALSE(settle([&] { return clicked.wait_for(std::chrono::milliseconds(0)) == std::future_status::ready; }))
      << "Help showed a message of the program";
  EXPECT_TRUE(clicked.get()) << "the click on Help was not handled";

  // The tray menu's Help does what the button does.
  const HWND menu = OpenTrayMenu(icon_, zapnix_->Id());
  ASSERT_NE(menu, nullptr);
  ASSERT_TRUE(ChooseFromMenu(menu, kMenuHelp));
  const ULONGLONG chosen = GetTickCount64();
  EXPECT_FALSE(settle([&] { return GetTickCount64() - chosen >= 1500; })) << "the menu's Help showed a message";

  EXPECT_TRUE(zapnix_->Running());
  EXPECT_TRUE(SendWithTimeout(parts_.form, WM_NULL, 0, 0).has_value());
  EXPECT_FALSE(zapnix_->FindMessageBox().has_value());
  for (const std::string& window : shellWindows) std::printf("the shell showed %s\n", window.c_str());
}

}  // namespace
}  // namespace e2e
