// The component gallery driven from outside, as a user drives it: every page
// shows without an error box (tests/gallery/screenshots saves a picture of
// each for review), the spin edit's arrows and keys move the gauges, the calendar's
// buttons step months and years, and the outline opens and closes its items
// by mouse and keys. What the controls draw is read
// back from their windows by the watch library inside the gallery.
#include "E2eWindow.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace e2e {
namespace {

constexpr char kGalleryClass[] = "TGalleryForm";
constexpr char kGalleryText[] = "Zapnix component gallery";
constexpr char kGalleryTitle[] = "Zapnix gallery";

// Colours as the screen gives them (0x00RRGGBB of a 32-bit DIB).
constexpr uint32_t kNavy = 0x000080;
constexpr uint32_t kGreen = 0x008000;

// Pixels of an area of the screen.
struct Picture {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> pixels;
  uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x] & 0xFFFFFF; }
  bool operator==(const Picture&) const = default;
};

// The picture block that the watch library fills inside the gallery.
WatchPicture* watchedPicture = nullptr;

// What a window of the gallery shows of its client area, or of a rectangle of
// it; an empty picture when the window did not answer.
Picture CaptureClient(HWND window) {
  Picture picture;
  static const UINT message = RegisterWindowMessageA(kWatchCaptureMessageName);
  if (!watchedPicture) return picture;
  const long before = watchedPicture->answers;
  if (!SendWithTimeout(window, message, 0, 0) || watchedPicture->answers == before) return picture;
  picture.width = static_cast<int>(watchedPicture->width);
  picture.height = static_cast<int>(watchedPicture->height);
  picture.pixels.assign(watchedPicture->pixels,
                        watchedPicture->pixels + static_cast<size_t>(picture.width) * picture.height);
  return picture;
}

Picture Capture(HWND window, RECT area) {
  const Picture whole = CaptureClient(window);
  Picture part;
  if (area.left < 0 || area.top < 0 || area.right > whole.width || area.bottom > whole.height) return part;
  part.width = area.right - area.left;
  part.height = area.bottom - area.top;
  for (int y = area.top; y < area.bottom; ++y)
    for (int x = area.left; x < area.right; ++x) part.pixels.push_back(whole.At(x, y));
  return part;
}

int CountInRow(const Picture& picture, int y, uint32_t color) {
  int count = 0;
  for (int x = 0; x < picture.width; ++x) count += picture.At(x, y) == color;
  return count;
}

int CountInColumn(const Picture& picture, int x, uint32_t color) {
  int count = 0;
  for (int y = 0; y < picture.height; ++y) count += picture.At(x, y) == color;
  return count;
}

RECT Rect(int left, int top, int width, int height) { return RECT{left, top, left + width, top + height}; }

HWND ChildWithText(HWND parent, const char* className, const std::string& text) {
  for (HWND window : Descendants(parent, className))
    if (TextOf(window) == text) return window;
  return nullptr;
}

// The month as the gallery shows it, in the user's locale.
std::string MonthText(int year, int month) {
  SYSTEMTIME day{};
  day.wYear = static_cast<WORD>(year);
  day.wMonth = static_cast<WORD>(month);
  day.wDay = 1;
  char text[80] = {};
  GetDateFormatA(LOCALE_USER_DEFAULT, 0, &day, "MMMM yyyy", text, sizeof(text));
  return text;
}

class GalleryTest : public ZapnixTest {
 protected:
  void SetUp() override {
    ZapnixTest::SetUp();
    if (HasFatalFailure()) return;
    shell_ = std::make_unique<FakeShellTray>(FakeShellTray::Answer::kAccept);
    ASSERT_TRUE(shell_->InFront()) << "the stand-in tray is not the one the shell would use";
    const std::string program = SuiteFile("Gallery.exe");
    ASSERT_TRUE(FileExists(program)) << program;
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    std::string commandLine = "\"" + program + "\"";
    ASSERT_TRUE(CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr,
                               DistFolder().c_str(), &startup, &info))
        << "cannot start " << program << " (error " << GetLastError() << ")";
    process_ = UniqueHandle(info.hProcess);
    UniqueHandle thread(info.hThread);
    processId_ = info.dwProcessId;
    // The watch library's hook on the gallery's thread reads its windows' pixels for us.
    char name[64];
    std::snprintf(name, sizeof(name), kWatchPictureNameFormat, static_cast<unsigned long>(info.dwThreadId));
    pictureMapping_ = UniqueHandle(
        CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(WatchPicture), name));
    ASSERT_TRUE(pictureMapping_);
    watchedPicture = static_cast<WatchPicture*>(MapViewOfFile(pictureMapping_.Get(), FILE_MAP_WRITE, 0, 0, 0));
    ASSERT_NE(watchedPicture, nullptr);
    static const HMODULE library = LoadLibraryA(SuiteFile("ZapnixWatch.dll").c_str());
    const auto sent = library ? reinterpret_cast<HOOKPROC>(GetProcAddress(library, "ZapnixWatchSent")) : nullptr;
    hook_ = sent ? SetWindowsHookExA(WH_CALLWNDPROC, sent, library, info.dwThreadId) : nullptr;
    ResumeThread(thread.Get());
    ASSERT_NE(hook_, nullptr) << "cannot watch the gallery through " << SuiteFile("ZapnixWatch.dll");
    ASSERT_TRUE(WaitFor(
        [&] {
          const std::vector<HWND> forms = TopLevelWindows(processId_, kGalleryClass, kGalleryText);
          form_ = forms.empty() ? nullptr : forms.front();
          return (form_ && IsWindowVisible(form_)) || WaitForSingleObject(process_.Get(), 0) == WAIT_OBJECT_0;
        },
        kStartTimeoutMs))
        << "the gallery window did not show";
    ASSERT_NE(form_, nullptr) << "the gallery ended before its window showed";
    const std::vector<HWND> pageControls = Descendants(form_, "TPageControl");
    ASSERT_EQ(pageControls.size(), 1u);
    parts_.form = form_;
    parts_.pageControl = pageControls.front();
  }

  void TearDown() override {
    if (process_ && WaitForSingleObject(process_.Get(), 0) == WAIT_TIMEOUT) {
      TerminateProcess(process_.Get(), 255);
      WaitForSingleObject(process_.Get(), kExitTimeoutMs);
    }
    if (hook_) UnhookWindowsHookEx(hook_);
    if (watchedPicture) UnmapViewOfFile(watchedPicture);
    watchedPicture = nullptr;
    shell_.reset();
    ZapnixTest::TearDown();
  }

  HWND Sheet(const std::string& caption) const { return ChildWithText(form_, "TTabSheet", caption); }

  // Shows the sheet by clicking its tab and waits for it to be painted.
  HWND Show(const std::string& caption) {
    const HWND sheet = Sheet(caption);
    EXPECT_NE(sheet, nullptr) << caption;
    if (!sheet) return nullptr;
    EXPECT_TRUE(SelectPage(parts_, sheet)) << caption;
    // Painting comes after every waiting message: wait until it has come.
    SendWithTimeout(form_, WM_NULL, 0, 0);
    Sleep(300);
    return sheet;
  }

  std::optional<MessageBoxSeen> ErrorBox() const {
    const std::vector<HWND> boxes = TopLevelWindows(processId_, "#32770", kGalleryTitle);
    if (boxes.empty()) return std::nullopt;
    MessageBoxSeen box{boxes.front(), kGalleryTitle, {}};
    for (HWND text : Descendants(box.window, "Static")) box.text += TextOf(text);
    return box;
  }

  std::unique_ptr<FakeShellTray> shell_;
  UniqueHandle pictureMapping_;
  HHOOK hook_ = nullptr;
  UniqueHandle process_;
  DWORD processId_ = 0;
  HWND form_ = nullptr;
  MainWindowParts parts_;
};

}  // namespace

// Every page in turn: it shows, something is drawn on it, no error box comes
// up. The
// palette page lists what the units registered; the tray icon is there while
// the gallery runs and goes with it.
TEST_F(GalleryTest, EveryPageShowsWithoutAnErrorBox) {
  const char* const pages[] = {"Palette", "Samples", "Quorb Hyper Controls", "Vexlo", "Outline and tray icon"};
  for (const char* caption : pages) {
    const HWND sheet = Show(caption);
    ASSERT_NE(sheet, nullptr);
    EXPECT_TRUE(IsWindowVisible(sheet)) << caption;
    const Picture shown = CaptureClient(sheet);
    EXPECT_GT(std::count_if(shown.pixels.begin(), shown.pixels.end(),
                            [&](uint32_t pixel) { return (pixel & 0xFFFFFF) != shown.At(0, 0); }),
              1000)
        << caption << " looks empty";
    EXPECT_EQ(ErrorBox().value_or(MessageBoxSeen{}).text, "") << "an error box came up on " << caption;
  }

  const std::vector<HWND> lists = ListBoxes(Sheet("Palette"));
  ASSERT_EQ(lists.size(), 1u);
  EXPECT_EQ(Rows(lists.front()), (std::vector<std::string>{"Samples: TMyImage, MyBarLabel, TMyProgressBar",
                                                           "Quorb Hyper Controls: THyperLabel",
                                                           "Vexlo: TVexloLabel"}));

  EXPECT_NE(shell_->AddedIconWindow(), nullptr) << "no tray icon while the gallery runs";
  PostMessageA(form_, WM_CLOSE, 0, 0);
  ASSERT_EQ(WaitForSingleObject(process_.Get(), kExitTimeoutMs), WAIT_OBJECT_0) << "the gallery did not end";
  DWORD code = 1;
  GetExitCodeProcess(process_.Get(), &code);
  EXPECT_EQ(code, 0u);
  const std::vector<FakeShellTray::Request> requests = shell_->Requests();
  ASSERT_FALSE(requests.empty());
  EXPECT_EQ(requests.back().operation, static_cast<DWORD>(NIM_DELETE)) << "the tray icon stayed behind";
}

// The spin edit drives the five gauges: its arrows and its Up and Down keys
// step it by 5 within 0..100, and the bars fill as far as the percentage says.
TEST_F(GalleryTest, SpinEditArrowsAndKeysMoveTheGauges) {
  Show("Samples");
  const HWND group = ChildWithText(form_, "TGroupBox", "Gauges, driven by the spin edit");
  ASSERT_NE(group, nullptr);
  const std::vector<HWND> edits = Descendants(group, "TCSpinEdit");
  ASSERT_EQ(edits.size(), 1u);
  const HWND edit = edits.front();
  const std::vector<HWND> buttons = Descendants(edit, "TCSpinButton");
  ASSERT_EQ(buttons.size(), 1u);
  RECT arrows{};
  GetClientRect(buttons.front(), &arrows);
  const POINT up{arrows.right / 2, arrows.bottom / 4};
  const POINT down{arrows.right / 2, arrows.bottom * 3 / 4};

  // Places in the group box as the form description gives them; a border of
  // one pixel lies around each gauge.
  const RECT horizontal = Rect(228, 16, 130, 24);
  const RECT vertical = Rect(10, 50, 36, 200);
  const RECT pie = Rect(56, 50, 140, 140);
  const RECT needle = Rect(206, 50, 152, 100);
  const RECT text = Rect(140, 16, 80, 24);
  // The horizontal bar fills percent of 129 pixels from its left edge (its
  // top row, above the text); the vertical one percent of 199 from its bottom
  // (its left column, beside the text).
  int navy = -1, green = -1;
  auto bars = [&](int percent) {
    const Picture h = Capture(group, horizontal);
    const Picture v = Capture(group, vertical);
    navy = h.width ? CountInRow(h, 1, kNavy) : -1;
    green = v.width ? CountInColumn(v, 1, kGreen) : -1;
    // A full vertical bar leaves its top row free.
    return navy == percent * 129 / 100 - 1 && green == std::min(percent * 199 / 100, 198);
  };

  EXPECT_EQ(TextOf(edit), "40");
  ASSERT_TRUE(WaitFor([&] { return bars(40); }, kAnswerTimeoutMs)) << "the gauges do not show 40 %";
  const Picture pieAt40 = Capture(group, pie), needleAt40 = Capture(group, needle), textAt40 = Capture(group, text);

  ASSERT_TRUE(SendClick(buttons.front(), up));
  EXPECT_EQ(TextOf(edit), "45");
  EXPECT_TRUE(WaitFor([&] { return bars(45); }, kAnswerTimeoutMs)) << "the up arrow did not move the bars to 45 %: " << navy << " navy, " << green << " green";
  EXPECT_NE(Capture(group, pie), pieAt40);
  EXPECT_NE(Capture(group, needle), needleAt40);
  EXPECT_NE(Capture(group, text), textAt40);

  for (int i = 0; i < 3; ++i) ASSERT_TRUE(SendClick(buttons.front(), down));
  EXPECT_EQ(TextOf(edit), "30");
  EXPECT_TRUE(WaitFor([&] { return bars(30); }, kAnswerTimeoutMs)) << "the down arrow did not move the bars to 30 %";

  // The keys, as the focused field gets them.
  SendWithTimeout(edit, WM_KEYDOWN, VK_UP, 1);
  SendWithTimeout(edit, WM_KEYDOWN, VK_UP, 1);
  EXPECT_EQ(TextOf(edit), "40");
  EXPECT_TRUE(WaitFor([&] { return bars(40); }, kAnswerTimeoutMs)) << "the Up key did not move the bars back to 40 %";
  EXPECT_EQ(Capture(group, pie), pieAt40) << "the pie at 40 % looks other than before";
  EXPECT_EQ(Capture(group, needle), needleAt40) << "the needle at 40 % looks other than before";

  // The top of the range holds.
  for (int i = 0; i < 14; ++i) SendWithTimeout(edit, WM_KEYDOWN, VK_UP, 1);
  EXPECT_EQ(TextOf(edit), "100");
  EXPECT_TRUE(WaitFor([&] { return bars(100); }, kAnswerTimeoutMs)) << "the bars are not full at 100 %";
  SendWithTimeout(edit, WM_KEYDOWN, VK_DOWN, 1);
  EXPECT_EQ(TextOf(edit), "95");
  EXPECT_TRUE(WaitFor([&] { return bars(95); }, kAnswerTimeoutMs)) << "the Down key did not move the bars to 95 %";
  EXPECT_EQ(ErrorBox().value_or(MessageBoxSeen{}).text, "");
}

// The calendar's four buttons step it by month and by year, as the month
// line tells and the grid shows; stepping back shows the same grid again,
// and another first weekday redraws it.
TEST_F(GalleryTest, CalendarButtonsStepMonthsAndYears) {
  Show("Samples");
  const HWND group = ChildWithText(form_, "TGroupBox", "Calendar");
  ASSERT_NE(group, nullptr);
  const HWND prevYear = ChildWithText(group, "TButton", "<<");
  const HWND prevMonth = ChildWithText(group, "TButton", "<");
  const HWND nextMonth = ChildWithText(group, "TButton", ">");
  const HWND nextYear = ChildWithText(group, "TButton", ">>");
  const std::vector<HWND> panels = Descendants(group, "TPanel");
  const std::vector<HWND> calendars = Descendants(group, "TCCalendar");
  ASSERT_TRUE(prevYear && prevMonth && nextMonth && nextYear);
  ASSERT_EQ(panels.size(), 1u);
  ASSERT_EQ(calendars.size(), 1u);
  const HWND month = panels.front();
  const HWND calendar = calendars.front();
  auto click = [](HWND button) {
    RECT r{};
    GetClientRect(button, &r);
    return SendClick(button, POINT{r.right / 2, r.bottom / 2});
  };

  SYSTEMTIME today{};
  GetLocalTime(&today);
  int year = today.wYear, monthNumber = today.wMonth;
  ASSERT_EQ(TextOf(month), MonthText(year, monthNumber));
  const Picture start = CaptureClient(calendar);

  struct Step {
    HWND button;
    int months;
  };
  const Step steps[] = {{nextMonth, 1}, {nextMonth, 1}, {nextYear, 12}, {prevMonth, -1}, {prevYear, -12},
                        {prevMonth, -1}};
  for (const Step& step : steps) {
    const Picture before = CaptureClient(calendar);
    ASSERT_TRUE(click(step.button));
    const int index = year * 12 + (monthNumber - 1) + step.months;
    year = index / 12;
    monthNumber = index % 12 + 1;
    EXPECT_EQ(TextOf(month), MonthText(year, monthNumber)) << "after " << TextOf(step.button);
    EXPECT_TRUE(WaitFor([&] { return CaptureClient(calendar) != before; }, kAnswerTimeoutMs))
        << "the grid did not change after " << TextOf(step.button);
  }
  EXPECT_EQ(TextOf(month), MonthText(today.wYear, today.wMonth));
  EXPECT_TRUE(WaitFor([&] { return CaptureClient(calendar) == start; }, kAnswerTimeoutMs))
      << "back at the first month the grid looks other than at the start";

  // Sunday first: the day names and the days move one column on.
  const POINT sunday = CentreOf(78 + 6 * 39, 214, 38, 24);
  ASSERT_TRUE(SendClick(group, sunday));
  EXPECT_TRUE(WaitFor([&] { return CaptureClient(calendar) != start; }, kAnswerTimeoutMs))
      << "the grid did not change with the first weekday";
  const POINT monday = CentreOf(78, 214, 38, 24);
  ASSERT_TRUE(SendClick(group, monday));
  EXPECT_TRUE(WaitFor([&] { return CaptureClient(calendar) == start; }, kAnswerTimeoutMs))
      << "Monday first again does not give the first grid back";
  EXPECT_EQ(ErrorBox().value_or(MessageBoxSeen{}).text, "");
}

// The outline of the plain text style: double-clicks and the Enter, "+",
// "-" and "*" keys open and close items, and the rows below move by whole
// rows. Its items come from the gallery's outline text: four at the top, of
// which the first holds five and the third two, the first of them one more.
TEST_F(GalleryTest, OutlineExpandsAndCollapsesByMouseAndKeys) {
  const HWND sheet = Show("Outline and tray icon");
  ASSERT_NE(sheet, nullptr);
  HWND outline = nullptr;
  for (HWND candidate : Descendants(sheet, "TGalleryOutline")) {
    const RECT r = RectIn(sheet, candidate);
    if (r.left == 8 && r.top == 20) outline = candidate;
  }
  ASSERT_NE(outline, nullptr) << "no outline at the place of the first one";
  // One below the lowest row that holds ink on the window's white.
  auto bottom = [&] {
    const Picture p = CaptureClient(outline);
    for (int y = p.height - 1; y >= 0; --y)
      for (int x = 0; x < p.width; ++x)
        if (p.At(x, y) != 0xFFFFFF) return y + 1;
    return 0;
  };
  auto waitBottom = [&](int wanted) {
    int seen = 0;
    WaitFor([&] { return (seen = bottom()) == wanted; }, kAnswerTimeoutMs, 20);
    return seen;
  };
  auto doubleClick = [&](POINT at) {
    const LPARAM where = MAKELPARAM(at.x, at.y);
    SendWithTimeout(outline, WM_LBUTTONDOWN, MK_LBUTTON, where);
    SendWithTimeout(outline, WM_LBUTTONUP, 0, where);
    SendWithTimeout(outline, WM_LBUTTONDBLCLK, MK_LBUTTON, where);
    SendWithTimeout(outline, WM_LBUTTONUP, 0, where);
  };
  auto key = [&](WPARAM vk) { SendWithTimeout(outline, WM_KEYDOWN, vk, 1); };
  auto typed = [&](char c) { SendWithTimeout(outline, WM_CHAR, static_cast<WPARAM>(c), 1); };

  const int closed = bottom();
  ASSERT_GT(closed, 0) << "the outline shows nothing";
  doubleClick(POINT{20, 4});
  int opened = 0;
  ASSERT_TRUE(WaitFor([&] { return (opened = bottom()) > closed; }, kAnswerTimeoutMs))
      << "a double-click on the first item did not open it (" << closed << " pixels of rows)";
  const int rows = opened - closed;
  ASSERT_EQ(rows % 5, 0) << "five rows came in, not " << rows << " pixels of them";
  const int row = rows / 5;
  ASSERT_GE(row, 10);
  ASSERT_LE(row, 30);
  EXPECT_GT(closed, row * 3) << "four rows at the start";
  EXPECT_LE(closed, row * 4) << "four rows at the start";

  doubleClick(POINT{20, row / 2});
  EXPECT_EQ(waitBottom(closed), closed) << "a second double-click did not close it";
  key(VK_RETURN);
  EXPECT_EQ(waitBottom(opened), opened) << "Enter did not open it";
  typed('-');
  EXPECT_EQ(waitBottom(closed), closed) << "\"-\" did not close it";
  typed('+');
  EXPECT_EQ(waitBottom(opened), opened) << "\"+\" did not open it";
  key(VK_RETURN);
  EXPECT_EQ(waitBottom(closed), closed) << "Enter did not close it";

  // The third item, chosen by a click, then "*": its two and the one below
  // the first of them.
  ASSERT_TRUE(SendClick(outline, POINT{20, 2 * row + row / 2}));
  typed('*');
  EXPECT_EQ(waitBottom(closed + 3 * row), closed + 3 * row) << "\"*\" did not open the whole third item";
  typed('-');
  EXPECT_EQ(waitBottom(closed), closed) << "\"-\" did not close the third item";
  EXPECT_EQ(ErrorBox().value_or(MessageBoxSeen{}).text, "");
}

}  // namespace e2e
