#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "Filer.h"
#include "Forms.h"
#include "Gdihandles.h"
#include "Graphics.h"
#include "Imglist.h"
#include "Menus.h"
#include "Timer.h"
#include "Trayicon.h"
#include "RealMouse.h"

namespace {

// The shell as the tests see it: every call is recorded, and each kind of
// call can be made to fail.
struct ShellCall {
  DWORD message;
  NOTIFYICONDATAA data;
};
std::vector<ShellCall> shellCalls;
bool refuseAdd = false, refuseDelete = false;

BOOL WINAPI RecordingShell(DWORD message, PNOTIFYICONDATAA data) {
  shellCalls.push_back({message, *data});
  if (message == NIM_ADD) return !refuseAdd;
  if (message == NIM_DELETE) return !refuseDelete;
  return TRUE;
}

int CountCalls(DWORD message) {
  int n = 0;
  for (const auto& c : shellCalls) n += c.message == message;
  return n;
}

// Restore, ShowMenu and Minimize write into a log instead of moving windows,
// so that the routing of each mouse action can be checked on its own.
class TLoggedTray : public TTrayIcon {
 public:
  using TTrayIcon::TTrayIcon;
  void Restore() override { log.push_back("Restore"); }
  void ShowMenu() override { log.push_back("ShowMenu"); }
  void Minimize() override { log.push_back("Minimize"); }
  std::vector<std::string> log;
};

// A menu whose Popup only records where it was asked to open.
class TRecordingMenu : public TPopupMenu {
 public:
  using TPopupMenu::TPopupMenu;
  void Popup(int x, int y) override { popups.push_back({x, y}); }
  std::vector<POINT> popups;
};

constexpr std::array<COLORREF, 4> kImageColours = {RGB(255, 0, 0), RGB(0, 255, 0), RGB(0, 0, 255),
                                                   RGB(255, 255, 0)};

// An image list of four 16 x 16 pictures, each one solid colour.
std::unique_ptr<TImageList> MakeImages(TComponent* owner) {
  auto list = std::make_unique<TImageList>(owner);
  for (COLORREF colour : kImageColours) {
    TBitmap image(16, 16);
    image.Canvas()->Brush()->SetColor(static_cast<TColor>(colour));
    image.Canvas()->FillRect(RECT{0, 0, 16, 16});
    list->Add(&image, nullptr);
  }
  return list;
}

// The colour in the middle of an icon drawn on white.
COLORREF IconColour(HICON icon) {
  Gdi::WindowDc screen(nullptr);
  Gdi::Dc dc(CreateCompatibleDC(screen.get()));
  Gdi::Bitmap bitmap(CreateCompatibleBitmap(screen.get(), 16, 16));
  Gdi::Selection sel(dc.get(), bitmap.get());
  RECT all{0, 0, 16, 16};
  FillRect(dc.get(), &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  DrawIconEx(dc.get(), 0, 0, icon, 16, 16, 0, nullptr, DI_NORMAL);
  return GetPixel(dc.get(), 8, 8);
}

LRESULT Notify(TTrayIcon& tray, LPARAM event) {
  return SendMessageA(tray.Handle(), TTrayIcon::kCallbackMessage, 0, event);
}

class TrayIconTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InitApplication();
    shellCalls.clear();
    refuseAdd = refuseDelete = false;
    TTrayIcon::ShellNotify = &RecordingShell;
  }
  void TearDown() override { TTrayIcon::ShellNotify = &Shell_NotifyIconA; }
};

TEST_F(TrayIconTest, ConstructionFillsTheShellRecordAndTalksToNoOne) {
  TTrayIcon tray(nullptr);
  const NOTIFYICONDATAA& d = tray.IconData();
  EXPECT_EQ(d.cbSize, NOTIFYICONDATAA_V2_SIZE);
  ASSERT_TRUE(IsWindow(tray.Handle()));
  EXPECT_EQ(d.hWnd, tray.Handle());
  char cls[64] = {};
  GetClassNameA(tray.Handle(), cls, sizeof cls);
  EXPECT_STREQ(cls, "TPUtilWindow");
  EXPECT_EQ(d.uID, static_cast<UINT>(reinterpret_cast<uintptr_t>(&tray)));
  EXPECT_EQ(d.uFlags, UINT(NIF_MESSAGE | NIF_ICON));
  EXPECT_EQ(d.uCallbackMessage, 0x401u);
  EXPECT_EQ(d.hIcon, tray.Icon()->Handle());
  // The icon is a copy of the application's, not the same handle.
  EXPECT_FALSE(tray.Icon()->Empty());
  EXPECT_NE(tray.Icon()->Handle(), Application->Icon()->Handle());

  EXPECT_FALSE(tray.Visible());
  EXPECT_TRUE(tray.Hide());
  EXPECT_EQ(tray.RestoreOn(), imDoubleClick);
  EXPECT_EQ(tray.PopupMenuOn(), imNone);
  EXPECT_EQ(tray.AnimateInterval(), 1000);
  EXPECT_FALSE(tray.Animate());
  EXPECT_FALSE(tray.AnimateTimer()->Enabled());
  EXPECT_TRUE(shellCalls.empty());

  // The timer took the handler at construction; a later OnAnimate is not its.
  bool replaced = false;
  tray.OnAnimate = [&](TObject*) { replaced = true; };
  tray.AnimateTimer()->OnTimer()(tray.AnimateTimer());
  EXPECT_FALSE(replaced);
}

TEST_F(TrayIconTest, SetVisibleAddsAndDeletesOnEveryCallAndHooksOnce) {
  TLoggedTray tray(nullptr);
  tray.SetHide(false);
  tray.SetVisible(true);
  tray.SetVisible(true);
  EXPECT_EQ(CountCalls(NIM_ADD), 2);
  EXPECT_TRUE(tray.Hide());
  EXPECT_EQ(shellCalls.back().data.hIcon, tray.Icon()->Handle());
  // Two adds install one hook: one minimise command, one Minimize.
  SendMessageA(Application->Handle(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
  EXPECT_EQ(tray.log, std::vector<std::string>{"Minimize"});

  tray.SetVisible(false);
  EXPECT_EQ(CountCalls(NIM_DELETE), 1);
  EXPECT_FALSE(tray.Hide());
  SendMessageA(Application->Handle(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
  EXPECT_EQ(tray.log.size(), 1u);
}

TEST_F(TrayIconTest, ShellRefusalsRaiseWithTheTextsAndKeepHideAndHook) {
  TLoggedTray tray(nullptr);
  tray.SetHide(false);
  refuseAdd = true;
  try {
    tray.SetVisible(true);
    ADD_FAILURE() << "no exception";
  } catch (const EOutOfResources& e) {
    EXPECT_EQ(e.Message(), "Cannot Create System Shell Notification Icon");
  }
  EXPECT_TRUE(tray.Visible());
  EXPECT_FALSE(tray.Hide());
  SendMessageA(Application->Handle(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
  EXPECT_TRUE(tray.log.empty()) << "no hook after a refused add";

  refuseAdd = false;
  tray.SetVisible(true);
  refuseDelete = true;
  try {
    tray.SetVisible(false);
    ADD_FAILURE() << "no exception";
  } catch (const EOutOfResources& e) {
    EXPECT_EQ(e.Message(), "Cannot Remove System Shell Notification Icon");
  }
  EXPECT_FALSE(tray.Visible());
  EXPECT_TRUE(tray.Hide());
  SendMessageA(Application->Handle(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
  EXPECT_EQ(tray.log, std::vector<std::string>{"Minimize"}) << "the hook stays after a refused delete";
  refuseDelete = false;
}

TEST_F(TrayIconTest, HintIsBoundedAndDrivesTheTipFlag) {
  TTrayIcon tray(nullptr);
  tray.SetVisible(true);
  shellCalls.clear();
  const std::string hint63(63, 'h');
  tray.SetHint(hint63);
  EXPECT_EQ(tray.Hint(), hint63);
  ASSERT_EQ(CountCalls(NIM_MODIFY), 1);
  EXPECT_STREQ(shellCalls.back().data.szTip, hint63.c_str());
  EXPECT_EQ(shellCalls.back().data.uFlags, UINT(NIF_MESSAGE | NIF_ICON | NIF_TIP));

  tray.SetHint(std::string(64, 'x'));  // too long: ignored
  tray.SetHint(hint63);                // unchanged: ignored
  EXPECT_EQ(tray.Hint(), hint63);
  EXPECT_EQ(CountCalls(NIM_MODIFY), 1);

  tray.SetHint("");
  ASSERT_EQ(CountCalls(NIM_MODIFY), 2);
  EXPECT_EQ(shellCalls.back().data.szTip[0], '\0');
  EXPECT_EQ(shellCalls.back().data.uFlags, UINT(NIF_MESSAGE | NIF_ICON));
  EXPECT_EQ(shellCalls.back().data.hIcon, tray.Icon()->Handle());
}

TEST_F(TrayIconTest, AnimationRunsThroughEveryImageAndAnEmptyStep) {
  TComponent owner(nullptr);
  auto images = MakeImages(&owner);
  TTrayIcon tray(&owner);
  tray.SetIcons(images.get());
  tray.SetAnimate(true);
  EXPECT_TRUE(tray.Animate());
  EXPECT_TRUE(tray.AnimateTimer()->Enabled());
  tray.SetAnimateInterval(100);
  EXPECT_EQ(tray.AnimateTimer()->Interval(), 100u);
  tray.SetIconIndex(0);
  tray.SetVisible(true);

  struct Step {
    int index;
    bool empty;
  };
  const Step steps[] = {{1, false}, {2, false}, {3, false}, {4, true}, {0, false}, {1, false}};
  for (const Step& step : steps) {
    SCOPED_TRACE(step.index);
    shellCalls.clear();
    tray.AnimateTimer()->OnTimer()(tray.AnimateTimer());
    EXPECT_EQ(tray.IconIndex(), step.index);
    EXPECT_EQ(tray.Icon()->Empty(), step.empty);
    if (!step.empty) {
      EXPECT_EQ(IconColour(tray.Icon()->Handle()), kImageColours[size_t(step.index)]);
    }
    // The picture is pushed twice per step, both times with the current handle.
    ASSERT_EQ(CountCalls(NIM_MODIFY), 2);
    EXPECT_EQ(shellCalls.back().data.hIcon, tray.Icon()->Handle());
  }
  tray.SetAnimate(false);
  EXPECT_FALSE(tray.AnimateTimer()->Enabled());
  EXPECT_EQ(tray.IconIndex(), 1) << "the index stays where it stopped";
}

TEST_F(TrayIconTest, AnimateNeedsAnImageListAndRemovedReferencesAreCleared) {
  TComponent owner(nullptr);
  TTrayIcon tray(&owner);
  tray.SetAnimate(true);
  EXPECT_FALSE(tray.Animate());
  EXPECT_FALSE(tray.AnimateTimer()->Enabled());

  auto images = MakeImages(&owner);
  auto menu = std::make_unique<TPopupMenu>(&owner);
  tray.SetIcons(images.get());
  tray.SetPopupMenu(menu.get());
  tray.SetIconIndex(2);
  images.reset();
  menu.reset();
  EXPECT_EQ(tray.Icons(), nullptr);
  EXPECT_EQ(tray.PopupMenu(), nullptr);
  tray.AnimateTimer()->OnTimer()(tray.AnimateTimer());
  EXPECT_EQ(tray.IconIndex(), 2) << "a tick without image list does nothing";

  // References to components of another owner are cleared too.
  TComponent elsewhere(nullptr);
  auto foreignMenu = std::make_unique<TPopupMenu>(&elsewhere);
  tray.SetPopupMenu(foreignMenu.get());
  foreignMenu.reset();
  EXPECT_EQ(tray.PopupMenu(), nullptr);
}

TEST_F(TrayIconTest, LoadedTakesTheImageOrFallsBackToTheApplicationIcon) {
  TComponent owner(nullptr);
  auto images = MakeImages(&owner);
  TTrayIcon withList(&owner);
  withList.BeginLoading();
  withList.SetAnimate(true);
  withList.SetIconIndex(2);
  withList.SetIcons(images.get());
  withList.Loaded();
  EXPECT_TRUE(withList.Animate());
  EXPECT_TRUE(withList.AnimateTimer()->Enabled());
  EXPECT_EQ(IconColour(withList.Icon()->Handle()), kImageColours[2]);
  EXPECT_EQ(withList.IconData().hIcon, withList.Icon()->Handle());

  TTrayIcon without(&owner);
  without.BeginLoading();
  without.SetAnimate(true);
  EXPECT_TRUE(without.Animate()) << "taken while loading";
  without.Loaded();
  EXPECT_FALSE(without.Animate());
  EXPECT_FALSE(without.AnimateTimer()->Enabled());
  EXPECT_EQ(IconColour(without.Icon()->Handle()), IconColour(Application->Icon()->Handle()));
}

// One row per mouse notification and setting: what runs, in order.
struct CallbackRow {
  LPARAM event;
  TTrayIconMessage restoreOn, menuOn;
  bool withOnClick;
  const char* expected;
};
const CallbackRow kCallbackRows[] = {
    {WM_MOUSEMOVE, imNone, imNone, true, "Move"},
    {WM_LBUTTONDOWN, imNone, imNone, true, "Down L l"},
    {WM_LBUTTONUP, imNone, imNone, true, "Click|Up L l"},
    {WM_LBUTTONUP, imNone, imRightClickUp, true, "Click|Up L l"},
    {WM_LBUTTONUP, imLeftClickUp, imLeftClickUp, true, "Click|Up L l|Restore|ShowMenu"},
    {WM_LBUTTONUP, imClick, imClick, false, "Up L l"},
    {WM_LBUTTONUP, imClick, imClick, true, "Restore|ShowMenu|Click|Up L l"},
    {WM_LBUTTONUP, imMouseUp, imNone, false, "Restore|Up L l"},
    {WM_LBUTTONDOWN, imMouseDown, imMouseDown, false, "Restore|ShowMenu|Down L l"},
    {WM_LBUTTONDBLCLK, imDoubleClick, imNone, true, "Restore|Dbl"},
    {WM_LBUTTONDBLCLK, imLeftDoubleClick, imLeftDoubleClick, true, "Dbl|Restore|ShowMenu"},
    {WM_RBUTTONDOWN, imNone, imNone, true, "Down R r"},
    {WM_RBUTTONUP, imNone, imRightClickUp, true, "Up R r|ShowMenu"},
    {WM_RBUTTONUP, imLeftClickUp, imMouseUp, true, "ShowMenu|Up R r"},
    {WM_RBUTTONDBLCLK, imDoubleClick, imNone, true, "Restore|Dbl"},
    {WM_RBUTTONDBLCLK, imRightDoubleClick, imRightDoubleClick, true, "Dbl|Restore|ShowMenu"},
    {WM_MBUTTONDOWN, imNone, imNone, true, "Down M m"},
    {WM_MBUTTONUP, imMouseUp, imNone, true, "Restore|Up M m"},
    {WM_MBUTTONDBLCLK, imDoubleClick, imNone, true, "Restore|Dbl"},
    {WM_MBUTTONDBLCLK, imLeftDoubleClick, imRightDoubleClick, true, "Dbl"},
    {WM_MOUSEWHEEL, imClick, imClick, true, ""},
};

std::string ButtonLog(const char* what, TMouseButton button, TShiftState shift) {
  std::string s = std::string(what) + " " + "LRM"[button] + " ";
  if (shift.Contains(ssLeft)) s += 'l';
  if (shift.Contains(ssRight)) s += 'r';
  if (shift.Contains(ssMiddle)) s += 'm';
  return s;
}

TEST_F(TrayIconTest, ShellNotificationsBecomeEventsInOrder) {
  TLoggedTray tray(nullptr);
  POINT last{-1, -1};
  tray.OnMouseMove = [&](TObject* s, TShiftState, int x, int y) {
    EXPECT_EQ(s, &tray);
    tray.log.push_back("Move");
    last = {x, y};
  };
  tray.OnMouseDown = [&](TObject*, TMouseButton b, TShiftState sh, int x, int y) {
    tray.log.push_back(ButtonLog("Down", b, sh));
    last = {x, y};
  };
  tray.OnMouseUp = [&](TObject*, TMouseButton b, TShiftState sh, int x, int y) {
    tray.log.push_back(ButtonLog("Up", b, sh));
    last = {x, y};
  };
  tray.OnDblClick = [&](TObject*) { tray.log.push_back("Dbl"); };
  TNotifyEvent click = [&](TObject* s) {
    EXPECT_EQ(s, &tray);
    tray.log.push_back("Click");
  };
  testsupport::MoveMouseTo(POINT{123, 234});
  POINT cursor{};
  GetCursorPos(&cursor);
  for (const CallbackRow& row : kCallbackRows) {
    SCOPED_TRACE(testing::Message() << "lParam " << std::hex << row.event << " restore " << int(row.restoreOn)
                                    << " menu " << int(row.menuOn));
    tray.log.clear();
    tray.SetRestoreOn(row.restoreOn);
    tray.SetPopupMenuOn(row.menuOn);
    tray.OnClick = row.withOnClick ? click : TNotifyEvent();
    last = {-1, -1};
    EXPECT_EQ(Notify(tray, row.event), 0);
    std::string joined;
    for (const auto& entry : tray.log) joined += (joined.empty() ? "" : "|") + entry;
    EXPECT_EQ(joined, row.expected);
    if (last.x != -1) {
      EXPECT_EQ(last.x, cursor.x);
      EXPECT_EQ(last.y, cursor.y);
    }
  }
}

// The keyboard's notifications of version 3 come besides the mouse's: Enter
// or Space on the icon acts as a left click, the menu key as a right-button
// release, and the shell's repeats after a mouse click act nothing twice.
TEST_F(TrayIconTest, KeyboardNotificationsActAsTheMouseButtons) {
  struct Row {
    std::vector<LPARAM> events;
    TTrayIconMessage restoreOn, menuOn;
    const char* expected;
  };
  const Row rows[] = {
      {{NIN_KEYSELECT}, imLeftClickUp, imNone, "Click|Restore"},
      {{NIN_KEYSELECT}, imNone, imLeftClickUp, "Click|ShowMenu"},
      {{NIN_KEYSELECT}, imRightClickUp, imRightClickUp, "Click"},
      {{WM_CONTEXTMENU}, imNone, imRightClickUp, "ShowMenu"},
      {{WM_CONTEXTMENU}, imLeftClickUp, imNone, ""},
      {{WM_LBUTTONUP, NIN_SELECT}, imLeftClickUp, imNone, "Click|Up|Restore"},
      {{WM_RBUTTONUP, WM_CONTEXTMENU}, imNone, imRightClickUp, "Up|ShowMenu"},
      {{WM_RBUTTONUP, WM_MOUSEMOVE, WM_CONTEXTMENU}, imNone, imRightClickUp, "Up|ShowMenu"},
      {{WM_RBUTTONUP, WM_CONTEXTMENU, WM_CONTEXTMENU}, imNone, imRightClickUp, "Up|ShowMenu|ShowMenu"},
      {{WM_RBUTTONUP, NIN_KEYSELECT, WM_CONTEXTMENU}, imNone, imRightClickUp, "Up|ShowMenu|Click|ShowMenu"},
  };
  TLoggedTray tray(nullptr);
  tray.OnClick = [&](TObject*) { tray.log.push_back("Click"); };
  tray.OnMouseUp = [&](TObject*, TMouseButton, TShiftState, int, int) { tray.log.push_back("Up"); };
  for (const Row& row : rows) {
    std::string events;
    for (LPARAM e : row.events) events += std::to_string(e) + " ";
    SCOPED_TRACE(events);
    tray.log.clear();
    tray.SetRestoreOn(row.restoreOn);
    tray.SetPopupMenuOn(row.menuOn);
    for (LPARAM e : row.events) EXPECT_EQ(Notify(tray, e), 0);
    std::string joined;
    for (const auto& entry : tray.log) joined += (joined.empty() ? "" : "|") + entry;
    EXPECT_EQ(joined, row.expected);
  }

  // The icon asks for these notifications right after each add; the record
  // sent with every other call keeps its version field zero.
  shellCalls.clear();
  tray.SetVisible(true);
  ASSERT_EQ(shellCalls.size(), 2u);
  EXPECT_EQ(shellCalls[0].message, DWORD(NIM_ADD));
  EXPECT_EQ(shellCalls[1].message, DWORD(NIM_SETVERSION));
  EXPECT_EQ(shellCalls[1].data.uVersion, UINT(NOTIFYICON_VERSION));
  EXPECT_EQ(tray.IconData().uVersion, 0u);
  tray.SetVisible(false);
}

TEST_F(TrayIconTest, ShiftStateFollowsTheKeyboard) {
  BYTE saved[256], keys[256] = {};
  GetKeyboardState(saved);
  keys[VK_SHIFT] = keys[VK_CONTROL] = 0x80;
  SetKeyboardState(keys);
  EXPECT_EQ(TTrayIcon::ShiftState(), (TShiftState{ssShift, ssCtrl}));
  TTrayIcon tray(nullptr);
  TShiftState seen;
  tray.OnMouseDown = [&](TObject*, TMouseButton, TShiftState sh, int, int) { seen = sh; };
  Notify(tray, WM_RBUTTONDOWN);
  EXPECT_EQ(seen, (TShiftState{ssShift, ssCtrl, ssRight}));
  keys[VK_SHIFT] = keys[VK_CONTROL] = 0;
  keys[VK_MENU] = 0x80;
  SetKeyboardState(keys);
  EXPECT_EQ(TTrayIcon::ShiftState(), TShiftState{ssAlt});
  SetKeyboardState(saved);
}

TEST_F(TrayIconTest, EndOfSessionIsAnsweredAndDeletesTheIcon) {
  TTrayIcon tray(nullptr);
  EXPECT_EQ(SendMessageA(tray.Handle(), WM_QUERYENDSESSION, 0, 0), 1);
  EXPECT_TRUE(shellCalls.empty());
  for (WPARAM ending : {WPARAM(0), WPARAM(1)}) {
    shellCalls.clear();
    EXPECT_EQ(SendMessageA(tray.Handle(), WM_ENDSESSION, ending, 0), 0);
    ASSERT_EQ(shellCalls.size(), 1u);
    EXPECT_EQ(shellCalls[0].message, DWORD(NIM_DELETE));
    EXPECT_EQ(shellCalls[0].data.uID, tray.IconData().uID);
  }
  shellCalls.clear();
  refuseDelete = true;
  EXPECT_EQ(SendMessageA(tray.Handle(), WM_ENDSESSION, 1, 0), 0) << "a refusal is ignored";
  EXPECT_EQ(SendMessageA(tray.Handle(), WM_USER + 7, 0, 0), 0) << "other messages answer 0";
  EXPECT_EQ(shellCalls.size(), 1u);
}

TEST_F(TrayIconTest, MinimizeAndRestoreMoveTheApplicationAndFireEvents) {
  TTrayIcon tray(nullptr);
  std::vector<std::string> events;
  tray.OnMinimize = [&](TObject* s) { events.push_back(s == &tray ? "min" : "min?"); };
  tray.OnRestore = [&](TObject* s) { events.push_back(s == &tray ? "restore" : "restore?"); };
  tray.Minimize();
  EXPECT_TRUE(Application->Minimized());
  EXPECT_FALSE(IsWindowVisible(Application->Handle()));
  tray.Restore();
  EXPECT_FALSE(Application->Minimized());
  EXPECT_TRUE(IsWindowVisible(Application->Handle()));
  tray.Minimize();
  EXPECT_FALSE(IsWindowVisible(Application->Handle()));
  EXPECT_EQ(events, (std::vector<std::string>{"min", "restore", "min"}));
}

TEST_F(TrayIconTest, ApplicationHookTakesOnlyThePlainCommands) {
  TLoggedTray tray(nullptr);
  tray.SetVisible(true);
  HWND app = Application->Handle();
  SendMessageA(app, WM_SYSCOMMAND, SC_MINIMIZE, 0);
  SendMessageA(app, WM_SYSCOMMAND, SC_RESTORE, 0);
  SendMessageA(app, WM_SYSCOMMAND, SC_MINIMIZE | 2, 0);
  SendMessageA(app, WM_SYSCOMMAND, SC_RESTORE | 2, 0);
  EXPECT_EQ(tray.log, (std::vector<std::string>{"Minimize", "Restore"}));
  TMessage other{WM_SIZE, SC_MINIMIZE, 0, 0};
  EXPECT_FALSE(tray.ApplicationHookProc(other));
  TMessage minimize{WM_SYSCOMMAND, SC_MINIMIZE, 0, 0};
  EXPECT_FALSE(tray.ApplicationHookProc(minimize)) << "the application goes on handling it";
}

TEST_F(TrayIconTest, HookNeverReachesAFreedComponent) {
  int minimized = 0;
  auto tray = std::make_unique<TTrayIcon>(nullptr);
  tray->OnMinimize = [&](TObject*) { ++minimized; };
  tray->SetVisible(true);
  tray.reset();
  SendMessageA(Application->Handle(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
  EXPECT_EQ(minimized, 0);

  // Freed by another hook while the application runs the hooks of the same message.
  tray = std::make_unique<TTrayIcon>(nullptr);
  int killer = Application->HookMainWindow([&](TMessage&) {
    tray.reset();
    return false;
  });
  tray->OnMinimize = [&](TObject*) { ++minimized; };
  tray->SetVisible(true);
  SendMessageA(Application->Handle(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
  Application->UnhookMainWindow(killer);
  EXPECT_EQ(tray, nullptr);
  EXPECT_EQ(minimized, 0);
}

TEST_F(TrayIconTest, DesignTimeMakesNoWindowAndNoShellCall) {
  TComponent designer(nullptr);
  designer.SetDesigning(true);
  auto images = MakeImages(&designer);
  {
    TTrayIcon tray(&designer);
    EXPECT_EQ(tray.Handle(), nullptr);
    tray.SetVisible(true);
    EXPECT_TRUE(tray.Visible());
    tray.SetHint("design");
    tray.SetIcons(images.get());
    tray.SetIconIndex(1);
    tray.SetAnimate(true);
    EXPECT_TRUE(tray.Animate());
    EXPECT_FALSE(tray.AnimateTimer()->Enabled());
    tray.Update();
    tray.SetVisible(false);
  }
  EXPECT_TRUE(shellCalls.empty());
}

TEST_F(TrayIconTest, ShowMenuOpensTheMenuAtTheCursorOnlyWhenThereIsOne) {
  TTrayIcon tray(nullptr);
  tray.ShowMenu();  // no menu: nothing
  tray.SetPopupMenuOn(imRightClickUp);
  Notify(tray, WM_RBUTTONUP);

  TRecordingMenu menu(nullptr);
  tray.SetPopupMenu(&menu);
  SetCursorPos(40, 50);
  POINT cursor{};
  GetCursorPos(&cursor);
  Notify(tray, WM_RBUTTONUP);
  ASSERT_EQ(menu.popups.size(), 1u);
  EXPECT_EQ(menu.popups[0].x, cursor.x);
  EXPECT_EQ(menu.popups[0].y, cursor.y);
  tray.SetPopupMenu(nullptr);
}

bool menuSeenOpen = false;

BOOL CALLBACK FindShownMenu(HWND window, LPARAM) {
  char cls[16] = {};
  GetClassNameA(window, cls, sizeof cls);
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (std::string(cls) == "#32768" && process == GetCurrentProcessId() && IsWindowVisible(window))
    menuSeenOpen = true;
  return TRUE;
}

// Runs inside the menu's own loop, so only while the menu is open: notes
// that it is shown, then closes it.
VOID CALLBACK CancelMenu(HWND, UINT, UINT_PTR id, DWORD) {
  KillTimer(nullptr, id);
  EnumWindows(FindShownMenu, 0);
  EndMenu();
}

TEST_F(TrayIconTest, ShowMenuRunsARealMenuThatCanBeCancelled) {
  TTrayIcon tray(nullptr);
  TPopupMenu menu(nullptr);
  auto* item = new TMenuItem(nullptr);
  item->SetCaption("Restore &main window");
  bool clicked = false;
  item->OnClick = [&](TObject*) { clicked = true; };
  menu.Items()->Add(item);
  tray.SetPopupMenu(&menu);
  menuSeenOpen = false;
  UINT_PTR timer = SetTimer(nullptr, 0, 50, &CancelMenu);
  tray.ShowMenu();
  KillTimer(nullptr, timer);
  EXPECT_TRUE(menuSeenOpen) << "the menu never opened";
  EXPECT_FALSE(clicked);
  tray.SetPopupMenu(nullptr);
  menu.Items()->Remove(item);
  delete item;
}

TEST_F(TrayIconTest, InTrayFollowsWhatTheShellHolds) {
  TTrayIcon tray(nullptr);
  EXPECT_FALSE(tray.InTray());
  refuseAdd = true;
  EXPECT_THROW(tray.SetVisible(true), EOutOfResources);
  EXPECT_TRUE(tray.Visible());
  EXPECT_FALSE(tray.InTray());
  refuseAdd = false;
  tray.SetVisible(true);
  EXPECT_TRUE(tray.InTray());
  tray.EndSession();
  EXPECT_FALSE(tray.InTray());
  tray.SetVisible(true);
  tray.SetVisible(false);
  EXPECT_FALSE(tray.InTray());
}

// The shell announces a new taskbar to every top-level window; a visible
// icon then adds itself again, with the picture and hint it has now.
TEST_F(TrayIconTest, NewTaskbarGetsTheVisibleIconAgain) {
  const UINT taskbarCreated = RegisterWindowMessageA("TaskbarCreated");
  TComponent owner(nullptr);
  auto images = MakeImages(&owner);
  TLoggedTray tray(&owner);
  tray.SetIcons(images.get());
  SendMessageA(tray.Handle(), taskbarCreated, 0, 0);
  EXPECT_TRUE(shellCalls.empty()) << "an icon never asked for was added";

  // Refused at first: no icon, no hook, and no error on the later tries.
  refuseAdd = true;
  EXPECT_THROW(tray.SetVisible(true), EOutOfResources);
  EXPECT_EQ(SendMessageA(tray.Handle(), taskbarCreated, 0, 0), 0);
  EXPECT_FALSE(tray.InTray());
  SendMessageA(Application->Handle(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
  EXPECT_TRUE(tray.log.empty());

  refuseAdd = false;
  tray.SetHint("Zapnix - Disabled");
  tray.SetIconIndex(2);
  shellCalls.clear();
  EXPECT_EQ(SendMessageA(tray.Handle(), taskbarCreated, 0, 0), 0);
  ASSERT_EQ(CountCalls(NIM_ADD), 1);
  EXPECT_STREQ(shellCalls.back().data.szTip, "Zapnix - Disabled");
  EXPECT_EQ(shellCalls.back().data.hIcon, tray.Icon()->Handle());
  EXPECT_EQ(IconColour(shellCalls.back().data.hIcon), kImageColours[2]);
  EXPECT_TRUE(tray.InTray());
  EXPECT_TRUE(tray.Hide());
  // The hook came with the icon, once however often the taskbar returns.
  SendMessageA(tray.Handle(), taskbarCreated, 0, 0);
  SendMessageA(Application->Handle(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
  EXPECT_EQ(tray.log, std::vector<std::string>{"Minimize"});

  // A hidden icon stays out of the new taskbar.
  tray.SetVisible(false);
  shellCalls.clear();
  SendMessageA(tray.Handle(), taskbarCreated, 0, 0);
  EXPECT_EQ(CountCalls(NIM_ADD), 0);
}

TEST_F(TrayIconTest, RealShellAddsModifiesAndDeletes) {
  TTrayIcon::ShellNotify = &Shell_NotifyIconA;
  TTrayIcon tray(nullptr);
  tray.SetHint("Zapnix - Enabled");
  EXPECT_NO_THROW(tray.SetVisible(true));
  EXPECT_TRUE(Shell_NotifyIconA(NIM_MODIFY, const_cast<NOTIFYICONDATAA*>(&tray.IconData())));
  tray.SetHint("Zapnix - Disabled");
  EXPECT_NO_THROW(tray.SetVisible(false));
  // The shell no longer knows the icon: a second delete is refused.
  EXPECT_THROW(tray.SetVisible(false), EOutOfResources);
}

// A form-like root with a handler for the tray icon's click.
class TTrayTestRoot : public TComponent {
  ZX_CLASS(TTrayTestRoot, TComponent)
 public:
  using TComponent::TComponent;
  void TrayIcon1Click(TObject*) { ++clicks; }
  int clicks = 0;
};

const TClassInfo& TTrayTestRoot::StaticClass() {
  static const TClassInfo info = DefineClass<TTrayTestRoot>("TTrayTestRoot", [](TClassBuilder<TTrayTestRoot>& c) {
    c.Method("TrayIcon1Click", &TTrayTestRoot::TrayIcon1Click);
  });
  return info;
}

TEST_F(TrayIconTest, StreamingWritesOnlyWhatDiffersAndReadsItBack) {
  for (const TClassInfo* cls : {&TTrayIcon::StaticClass(), &TImageList::StaticClass(), &TPopupMenu::StaticClass()})
    RegisterClassInfo(*cls);
  std::string text;
  {
    TTrayTestRoot root(nullptr);
    root.SetName("Root");
    auto* images = MakeImages(&root).release();
    images->SetName("ImageList1");
    auto* menu = new TPopupMenu(&root);
    menu->SetName("PopupMenu1");
    auto* tray = new TTrayIcon(&root);
    tray->SetName("TrayIcon1");
    tray->SetHint("Zapnix - Enabled");
    tray->SetPopupMenu(menu);
    tray->SetRestoreOn(imNone);
    tray->SetPopupMenuOn(imRightClickUp);
    tray->SetIcons(images);
    tray->SetIconIndex(1);
    tray->SetAnimateInterval(100);
    tray->OnClick = TNotifyEvent(&root, &TTrayTestRoot::TrayIcon1Click, "TrayIcon1Click");
    text = WriteComponentText(&root);
  }
  for (const char* line : {"Hint = 'Zapnix - Enabled'", "PopupMenu = PopupMenu1", "Hide = True",
                           "RestoreOn = imNone", "PopupMenuOn = imRightClickUp", "Icons = ImageList1",
                           "IconIndex = 1", "AnimateInterval = 100", "OnClick = TrayIcon1Click"})
    EXPECT_NE(text.find(line), std::string::npos) << line << "\n" << text;
  for (const char* absent : {"Visible", "Handle", "Animate =", "OnAnimate"})
    EXPECT_EQ(text.find(absent), std::string::npos) << absent << "\n" << text;

  TTrayTestRoot root(nullptr);
  ReadComponentText(&root, text);
  auto* tray = dynamic_cast<TTrayIcon*>(root.FindComponent("TrayIcon1"));
  ASSERT_NE(tray, nullptr);
  EXPECT_EQ(tray->Hint(), "Zapnix - Enabled");
  EXPECT_EQ(tray->PopupMenu(), root.FindComponent("PopupMenu1"));
  EXPECT_EQ(tray->Icons(), root.FindComponent("ImageList1"));
  EXPECT_TRUE(tray->Hide());
  EXPECT_EQ(tray->RestoreOn(), imNone);
  EXPECT_EQ(tray->PopupMenuOn(), imRightClickUp);
  EXPECT_EQ(tray->IconIndex(), 1);
  EXPECT_EQ(tray->AnimateInterval(), 100);
  EXPECT_FALSE(tray->Visible());
  EXPECT_EQ(IconColour(tray->Icon()->Handle()), kImageColours[1]);
  Notify(*tray, WM_LBUTTONUP);
  EXPECT_EQ(root.clicks, 1);
  EXPECT_EQ(WriteComponentText(&root), text);
}

}  // namespace

namespace {

// Settings that equal the declared defaults but not the starting values
// survive the form text; text without them reads as the starting values.
TEST_F(TrayIconTest, SettingsOtherThanTheStartingValuesSurviveTheFormText) {
  RegisterClassInfo(TTrayIcon::StaticClass());
  struct Row {
    bool hide;
    TTrayIconMessage restoreOn, menuOn;
  };
  for (const Row& row : {Row{false, imClick, imClick}, Row{true, imDoubleClick, imNone},
                         Row{false, imRightClickUp, imLeftDoubleClick}}) {
    SCOPED_TRACE(testing::Message() << row.hide << " " << int(row.restoreOn) << " " << int(row.menuOn));
    std::string text;
    {
      TTrayTestRoot root(nullptr);
      root.SetName("Root");
      auto* tray = new TTrayIcon(&root);
      tray->SetName("TrayIcon1");
      tray->SetHide(row.hide);
      tray->SetRestoreOn(row.restoreOn);
      tray->SetPopupMenuOn(row.menuOn);
      text = WriteComponentText(&root);
    }
    TTrayTestRoot root(nullptr);
    ReadComponentText(&root, text);
    auto* tray = dynamic_cast<TTrayIcon*>(root.FindComponent("TrayIcon1"));
    ASSERT_NE(tray, nullptr);
    EXPECT_EQ(tray->Hide(), row.hide) << text;
    EXPECT_EQ(tray->RestoreOn(), row.restoreOn) << text;
    EXPECT_EQ(tray->PopupMenuOn(), row.menuOn) << text;
  }

  TTrayTestRoot root(nullptr);
  ReadComponentText(&root, "object Root: TTrayTestRoot\n  object TrayIcon1: TTrayIcon\n  end\nend\n");
  auto* tray = dynamic_cast<TTrayIcon*>(root.FindComponent("TrayIcon1"));
  ASSERT_NE(tray, nullptr);
  EXPECT_TRUE(tray->Hide());
  EXPECT_EQ(tray->RestoreOn(), imDoubleClick);
  EXPECT_EQ(tray->PopupMenuOn(), imNone);
}

}  // namespace
