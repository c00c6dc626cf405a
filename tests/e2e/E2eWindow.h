#pragma once
// Driving the main window of a running Zapnix from outside, as a user would:
// finding its child windows, clicking the window-less buttons at their places,
// choosing pages by a click on their tabs, answering the input box, opening the
// tray menu and choosing from it, and taking a picture of the screen.
#include "E2e.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace e2e {

// ---------------------------------------------------------------------------
// Windows of another process.

// Every descendant of a window of the given class (null: any), in the order
// EnumChildWindows gives them.
std::vector<HWND> Descendants(HWND parent, const char* className);
// The window text, asked with WM_GETTEXT (the system copies it across processes).
std::string TextOf(HWND window);
// A window's rectangle in the client coordinates of another window.
RECT RectIn(HWND reference, HWND window);
bool WaitVisible(HWND window, bool visible, DWORD timeoutMs = kAnswerTimeoutMs);

// A press and release of the left button at a point of the window's client
// area. SendClick returns once both are handled; PostClick only queues them,
// for clicks that open something modal.
bool SendClick(HWND window, POINT at);
void PostClick(HWND window, POINT at);
// The centre of a rectangle given as left, top, width, height.
POINT CentreOf(int left, int top, int width, int height);

// ---------------------------------------------------------------------------
// List boxes, through the wide-character messages.

// Under Wine a row of more than about 550 characters comes back empty across
// processes although its length is right; such a row reads as UnreadableRow
// of its length, and its text has to be checked another way.
std::vector<std::string> Rows(HWND listBox);
std::string UnreadableRow(size_t length);
// Selects the row and puts the focus rectangle on it: what the program takes
// as the current item of a list that allows multiple selection.
bool SelectRow(HWND listBox, int row);
LRESULT HorizontalExtent(HWND listBox);

// ---------------------------------------------------------------------------
// The main window.

struct MainWindowParts {
  HWND form = nullptr;
  HWND application = nullptr;  // the owner of the form, class TApplication
  HWND pageControl = nullptr;
  HWND panel = nullptr;
  HWND mainSheet = nullptr, whiteSheet = nullptr, blackSheet = nullptr;
  HWND blockedGroup = nullptr, whiteGroup = nullptr, blackGroup = nullptr;
  HWND blockedList = nullptr, whiteList = nullptr, blackList = nullptr;

  bool Complete() const;
  std::string Describe() const;
};

MainWindowParts FindParts(HWND form);

// The window's own WS_VISIBLE style, whether or not its parents are shown.
bool HasVisibleStyle(HWND window);

// Clicks along the tab strip at the top of the page control, left to right,
// until the sheet is the one shown. The tabs' rectangles live in the other
// process, so their places are found by trying.
bool SelectPage(const MainWindowParts& parts, HWND sheet);

// Shows the window hidden in the tray the way the system's restore command
// does: SC_RESTORE to the application window.
bool RestoreThroughApplication(const MainWindowParts& parts);

// Places of the window-less controls, in their parents' client coordinates.
namespace places {
constexpr POINT kClosePicture{385 + 9, 5 + 9};     // Image2 on the form
constexpr POINT kMinimizePicture{363 + 9, 5 + 9};  // Image3 on the form
constexpr POINT kLantern{4 + 9, 3 + 9};            // Image1 on the form
constexpr POINT kDisableButton{308 + 45, 19 + 15};  // SpeedButton5 on Panel1
constexpr POINT kHelpButton{308 + 45, 60 + 14};     // SpeedButton6 on Panel1
constexpr POINT kExitButton{308 + 45, 102 + 14};    // SpeedButton7 on Panel1
constexpr POINT kAddToBlackButton{7 + 54, 139 + 12};  // SpeedButton8 in GroupBox3
constexpr POINT kAddToWhiteButton{124 + 54, 140 + 12};  // SpeedButton9 in GroupBox3
constexpr POINT kDeleteBlockedButton{240 + 34, 140 + 12};  // SpeedButton11 in GroupBox3
constexpr POINT kClearButton{316 + 36, 140 + 12};    // SpeedButton10 in GroupBox3
constexpr POINT kAddButton{317 + 34, 17 + 11};     // SpeedButton1/3 in GroupBox2/4
constexpr POINT kDeleteButton{317 + 34, 51 + 11};  // SpeedButton2/4 in GroupBox2/4
constexpr POINT kEditButton{317 + 34, 86 + 11};    // SpeedButton13/14 in GroupBox2/4
constexpr POINT kListRow0{7 + 40, 16 + 7};         // the first row of a list box, in its group box
}  // namespace places

// ---------------------------------------------------------------------------
// The tray menu: a modal popup menu of class "#32768" in the program's process.

// Releases the right button on the icon (posted: the menu's loop holds the
// program until the menu closes) and waits for the menu to show.
HWND OpenTrayMenu(HWND icon, DWORD processId);
// Moves the highlight down the given number of times from none and presses
// Enter; separators are skipped by the menu itself.
bool ChooseFromMenu(HWND menu, int downs);
bool CancelMenu(HWND menu);

// Item positions of the tray menu as Down presses from an unselected menu.
constexpr int kMenuSwitch = 1;
constexpr int kMenuRestore = 2;
constexpr int kMenuHelp = 3;
constexpr int kMenuExit = 4;

// ---------------------------------------------------------------------------
// The input box: a top-level window of the process with the caption as text.

struct InputBoxSeen {
  HWND window = nullptr;
  HWND edit = nullptr;
  HWND ok = nullptr;
  HWND cancel = nullptr;
  std::string prompt;
};

std::optional<InputBoxSeen> WaitForInputBox(DWORD processId, const char* caption,
                                            DWORD timeoutMs = kAnswerTimeoutMs);
// Types the text into the field and presses OK (or Cancel), then waits until
// the box has gone.
bool AnswerInputBox(const InputBoxSeen& box, const std::string& text, bool ok);

// ---------------------------------------------------------------------------
// HKEY_CURRENT_USER values of other types.

void WriteNumber(const std::string& path, const char* name, DWORD number);
// The type and size of a value, or nothing when it is missing.
struct ValueShape {
  DWORD type = REG_NONE;
  DWORD size = 0;
};
std::optional<ValueShape> ShapeOf(const std::string& path, const char* name);

// ---------------------------------------------------------------------------
// Pictures of the screen.

// ZX_SCREENSHOTS as a Windows path: a Unix path "/x/y" becomes "Z:\x\y".
std::string ScreenshotFolder();
// Copies the window's place on the screen into a 32-bit .bmp file in the
// screenshot folder; the file's path, or nothing when it could not be written.
std::optional<std::string> SaveScreenshot(HWND window, const std::string& name);

// ---------------------------------------------------------------------------
// A fixture with a stand-in notification area and one running Zapnix.

class ZapnixWindowTest : public ZapnixTest {
 protected:
  void TearDown() override;

  // Starts Zapnix, waits until it has hidden itself into the tray and finds
  // its windows. Tests that prepare the registry do so before.
  void Start(const StartOptions& options = {});
  // Shows the main window through the application window and waits for it.
  void Restore();

  // NIM_MODIFY requests that the stand-in notification area has received.
  size_t ModifyCount() const;

  std::unique_ptr<FakeShellTray> shell_;
  std::unique_ptr<ZapnixProcess> zapnix_;
  MainWindowParts parts_;
  HWND icon_ = nullptr;
};

}  // namespace e2e
