#include "E2eWindow.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace e2e {

namespace {

struct DescendantSearch {
  const char* className;
  std::vector<HWND> found;
};

BOOL CALLBACK CollectDescendant(HWND window, LPARAM data) {
  auto* search = reinterpret_cast<DescendantSearch*>(data);
  if (!search->className || ClassNameOf(window) == search->className) search->found.push_back(window);
  return TRUE;
}

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return static_cast<char>(tolower(c)); });
  return text;
}

bool IsListBoxClass(HWND window) {
  return Lower(ClassNameOf(window)).find("listbox") != std::string::npos;
}

std::string Hex(HWND window) {
  char text[32];
  std::snprintf(text, sizeof(text), "%p", static_cast<void*>(window));
  return text;
}

HWND VisibleMenuOf(DWORD processId) {
  for (HWND menu : TopLevelWindows(processId, "#32768", nullptr))
    if (IsWindowVisible(menu)) return menu;
  return nullptr;
}

bool PostKey(HWND window, WPARAM key) {
  return PostMessageA(window, WM_KEYDOWN, key, 1) && PostMessageA(window, WM_KEYUP, key, 0xC0000001);
}

// Handles of the screen capture, released in reverse order of their making.
struct ScreenDc {
  HDC dc = GetDC(nullptr);
  ~ScreenDc() {
    if (dc) ReleaseDC(nullptr, dc);
  }
};
struct MemoryDc {
  HDC dc;
  explicit MemoryDc(HDC compatible) : dc(CreateCompatibleDC(compatible)) {}
  ~MemoryDc() {
    if (dc) DeleteDC(dc);
  }
};
struct DibSection {
  HBITMAP bitmap = nullptr;
  ~DibSection() {
    if (bitmap) DeleteObject(bitmap);
  }
};
struct Selection {
  HDC dc;
  HGDIOBJ old;
  Selection(HDC target, HGDIOBJ object) : dc(target), old(SelectObject(target, object)) {}
  ~Selection() { SelectObject(dc, old); }
};

}  // namespace

// ---------------------------------------------------------------------------

std::vector<HWND> Descendants(HWND parent, const char* className) {
  DescendantSearch search{className, {}};
  EnumChildWindows(parent, CollectDescendant, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

std::string TextOf(HWND window) {
  const std::optional<LRESULT> length = SendWithTimeout(window, WM_GETTEXTLENGTH, 0, 0);
  if (!length || *length < 0 || *length > 100000) return {};
  std::string text(static_cast<size_t>(*length) + 1, '\0');
  const std::optional<LRESULT> copied =
      SendWithTimeout(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
  if (!copied || *copied < 0) return {};
  text.resize(std::min<size_t>(static_cast<size_t>(*copied), text.size() - 1));
  return text;
}

RECT RectIn(HWND reference, HWND window) {
  RECT rect{};
  GetWindowRect(window, &rect);
  MapWindowPoints(HWND_DESKTOP, reference, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

bool WaitVisible(HWND window, bool visible, DWORD timeoutMs) {
  return WaitFor([&] { return (IsWindowVisible(window) != FALSE) == visible; }, timeoutMs);
}

bool SendClick(HWND window, POINT at) {
  const LPARAM where = MAKELPARAM(at.x, at.y);
  return SendWithTimeout(window, WM_MOUSEMOVE, 0, where).has_value() &&
         SendWithTimeout(window, WM_LBUTTONDOWN, MK_LBUTTON, where).has_value() &&
         SendWithTimeout(window, WM_LBUTTONUP, 0, where).has_value();
}

void PostClick(HWND window, POINT at) {
  const LPARAM where = MAKELPARAM(at.x, at.y);
  PostMessageA(window, WM_MOUSEMOVE, 0, where);
  PostMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, where);
  PostMessageA(window, WM_LBUTTONUP, 0, where);
}

POINT CentreOf(int left, int top, int width, int height) {
  return POINT{left + width / 2, top + height / 2};
}

// ---------------------------------------------------------------------------

std::vector<std::string> Rows(HWND listBox) {
  std::vector<std::string> rows;
  DWORD_PTR count = 0;
  if (!SendMessageTimeoutW(listBox, LB_GETCOUNT, 0, 0, SMTO_ABORTIFHUNG, kAnswerTimeoutMs, &count)) return rows;
  for (DWORD_PTR row = 0; row < count && row < 100000; ++row) {
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(listBox, LB_GETTEXTLEN, row, 0, SMTO_ABORTIFHUNG, kAnswerTimeoutMs, &length) ||
        static_cast<LRESULT>(length) < 0 || length > 1000000)
      break;
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutW(listBox, LB_GETTEXT, row, reinterpret_cast<LPARAM>(text.data()), SMTO_ABORTIFHUNG,
                             kAnswerTimeoutMs, &copied) ||
        static_cast<LRESULT>(copied) < 0)
      break;
    if (copied != length) {
      rows.push_back(UnreadableRow(static_cast<size_t>(length)));
      continue;
    }
    text.resize(static_cast<size_t>(length));
    rows.push_back(ToAnsi(text));
  }
  return rows;
}

std::string UnreadableRow(size_t length) {
  return "<unreadable row of " + std::to_string(length) + " characters>";
}

bool SelectRow(HWND listBox, int row) {
  const std::optional<LRESULT> selected = SendWithTimeout(listBox, LB_SETSEL, TRUE, row);
  const std::optional<LRESULT> caret = SendWithTimeout(listBox, LB_SETCARETINDEX, static_cast<WPARAM>(row), FALSE);
  return selected && *selected != LB_ERR && caret && *caret != LB_ERR;
}

LRESULT HorizontalExtent(HWND listBox) {
  return SendWithTimeout(listBox, LB_GETHORIZONTALEXTENT, 0, 0).value_or(-1);
}

// ---------------------------------------------------------------------------

bool MainWindowParts::Complete() const {
  for (HWND window : {form, application, pageControl, panel, mainSheet, whiteSheet, blackSheet, blockedGroup,
                      whiteGroup, blackGroup, blockedList, whiteList, blackList})
    if (!window) return false;
  return true;
}

std::string MainWindowParts::Describe() const {
  return "form " + Hex(form) + ", application " + Hex(application) + ", page control " + Hex(pageControl) +
         ", panel " + Hex(panel) + ", sheets " + Hex(mainSheet) + " " + Hex(whiteSheet) + " " + Hex(blackSheet) +
         ", group boxes " + Hex(blockedGroup) + " " + Hex(whiteGroup) + " " + Hex(blackGroup) + ", list boxes " +
         Hex(blockedList) + " " + Hex(whiteList) + " " + Hex(blackList);
}

MainWindowParts FindParts(HWND form) {
  MainWindowParts parts;
  parts.form = form;
  if (!form) return parts;
  const HWND owner = GetWindow(form, GW_OWNER);
  if (owner && ClassNameOf(owner) == "TApplication") parts.application = owner;
  for (HWND window : Descendants(form, nullptr)) {
    const std::string name = ClassNameOf(window);
    if (name == "TPageControl") {
      parts.pageControl = window;
    } else if (name == "TPanel") {
      parts.panel = window;
    } else if (name == "TTabSheet") {
      const std::string caption = TextOf(window);
      if (caption == "   Main    ") parts.mainSheet = window;
      if (caption == "White List") parts.whiteSheet = window;
      if (caption == "Black List") parts.blackSheet = window;
    } else if (name == "TGroupBox") {
      const std::string caption = TextOf(window);
      if (caption == "Blocked popups") parts.blockedGroup = window;
      if (caption == "White Page List") parts.whiteGroup = window;
      if (caption == "Black Page List") parts.blackGroup = window;
    }
  }
  for (HWND window : Descendants(form, nullptr)) {
    if (!IsListBoxClass(window)) continue;
    const HWND parent = GetParent(window);
    if (parent && parent == parts.blockedGroup) parts.blockedList = window;
    if (parent && parent == parts.whiteGroup) parts.whiteList = window;
    if (parent && parent == parts.blackGroup) parts.blackList = window;
  }
  return parts;
}

bool HasVisibleStyle(HWND window) {
  return (GetWindowLongPtrA(window, GWL_STYLE) & WS_VISIBLE) != 0;
}

bool SelectPage(const MainWindowParts& parts, HWND sheet) {
  if (HasVisibleStyle(sheet)) return true;
  RECT control{};
  GetClientRect(parts.pageControl, &control);
  // The tabs fill the strip between the control's top and the sheets' top.
  const RECT page = RectIn(parts.pageControl, sheet);
  const int y = std::max<int>(page.top / 2, 2);
  for (int x = 4; x < control.right - 2; x += 6) {
    if (!SendClick(parts.pageControl, POINT{x, y})) return false;
    if (HasVisibleStyle(sheet)) return true;
  }
  return false;
}

bool RestoreThroughApplication(const MainWindowParts& parts) {
  if (!SendWithTimeout(parts.application, WM_SYSCOMMAND, SC_RESTORE, 0)) return false;
  return WaitVisible(parts.form, true);
}

// ---------------------------------------------------------------------------

HWND OpenTrayMenu(HWND icon, DWORD processId) {
  if (!PostMessageA(icon, kTrayCallbackMessage, 0, WM_RBUTTONDOWN) ||
      !PostMessageA(icon, kTrayCallbackMessage, 0, WM_RBUTTONUP))
    return nullptr;
  HWND menu = nullptr;
  WaitFor([&] { return (menu = VisibleMenuOf(processId)) != nullptr; }, kAnswerTimeoutMs);
  return menu;
}

bool ChooseFromMenu(HWND menu, int downs) {
  for (int i = 0; i < downs; ++i)
    if (!PostKey(menu, VK_DOWN)) return false;
  if (!PostKey(menu, VK_RETURN)) return false;
  return WaitFor([&] { return !IsWindow(menu) || !IsWindowVisible(menu); }, kAnswerTimeoutMs);
}

bool CancelMenu(HWND menu) {
  if (!PostKey(menu, VK_ESCAPE)) return false;
  return WaitFor([&] { return !IsWindow(menu) || !IsWindowVisible(menu); }, kAnswerTimeoutMs);
}

// ---------------------------------------------------------------------------

std::optional<InputBoxSeen> WaitForInputBox(DWORD processId, const char* caption, DWORD timeoutMs) {
  HWND window = nullptr;
  WaitFor(
      [&] {
        for (HWND candidate : TopLevelWindows(processId, nullptr, caption))
          if (IsWindowVisible(candidate)) window = candidate;
        return window != nullptr;
      },
      timeoutMs);
  if (!window) return std::nullopt;
  InputBoxSeen box;
  box.window = window;
  for (HWND child : Descendants(window, nullptr)) {
    const std::string name = Lower(ClassNameOf(child));
    if (name == "tedit" || name == "edit") box.edit = child;
    if (name.find("button") != std::string::npos) {
      const std::string text = TextOf(child);
      if (text == "OK") box.ok = child;
      if (text == "Cancel") box.cancel = child;
    } else if (name.find("label") != std::string::npos || name == "static") {
      box.prompt = TextOf(child);
    }
  }
  if (!box.edit || !box.ok || !box.cancel) return std::nullopt;
  return box;
}

bool AnswerInputBox(const InputBoxSeen& box, const std::string& text, bool ok) {
  if (!SendWithTimeout(box.edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()))) return false;
  if (!PostMessageA(ok ? box.ok : box.cancel, BM_CLICK, 0, 0)) return false;
  return WaitFor([&] { return !IsWindow(box.window); }, kAnswerTimeoutMs);
}

// ---------------------------------------------------------------------------

void WriteNumber(const std::string& path, const char* name, DWORD number) {
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr, &key,
                      nullptr) != ERROR_SUCCESS) {
    ADD_FAILURE() << "cannot create HKEY_CURRENT_USER\\" << path;
    return;
  }
  if (RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof(number)) !=
      ERROR_SUCCESS)
    ADD_FAILURE() << "cannot write the number " << name << " under HKEY_CURRENT_USER\\" << path;
  RegCloseKey(key);
}

std::optional<ValueShape> ShapeOf(const std::string& path, const char* name) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return std::nullopt;
  ValueShape shape;
  const LSTATUS status = RegQueryValueExA(key, name, nullptr, &shape.type, nullptr, &shape.size);
  RegCloseKey(key);
  if (status != ERROR_SUCCESS) return std::nullopt;
  return shape;
}

// ---------------------------------------------------------------------------

std::string ScreenshotFolder() {
  char value[MAX_PATH * 4] = {};
  const DWORD length = GetEnvironmentVariableA("ZX_SCREENSHOTS", value, sizeof(value));
  if (length == 0 || length >= sizeof(value)) return {};
  std::string folder(value, length);
  if (folder.front() == '/') {
    std::replace(folder.begin(), folder.end(), '/', '\\');
    folder = "Z:" + folder;
  }
  while (!folder.empty() && folder.back() == '\\') folder.pop_back();
  return folder;
}

std::optional<std::string> SaveScreenshot(HWND window, const std::string& name) {
  const std::string folder = ScreenshotFolder();
  if (folder.empty()) return std::nullopt;
  CreateDirectoryA(folder.c_str(), nullptr);
  RECT rect{};
  if (!GetWindowRect(window, &rect)) return std::nullopt;
  const int width = rect.right - rect.left;
  const int height = rect.bottom - rect.top;
  if (width <= 0 || height <= 0 || width > 10000 || height > 10000) return std::nullopt;

  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;  // bottom-up, the form every reader of .bmp files knows
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  const size_t bytes = static_cast<size_t>(width) * static_cast<size_t>(height) * 4;

  ScreenDc screen;
  if (!screen.dc) return std::nullopt;
  MemoryDc memory(screen.dc);
  DibSection dib;
  void* bits = nullptr;
  dib.bitmap = CreateDIBSection(screen.dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!memory.dc || !dib.bitmap || !bits) return std::nullopt;
  {
    Selection selected(memory.dc, dib.bitmap);
    if (!BitBlt(memory.dc, 0, 0, width, height, screen.dc, rect.left, rect.top, SRCCOPY)) return std::nullopt;
  }
  GdiFlush();

  BITMAPFILEHEADER file{};
  file.bfType = 0x4D42;  // "BM"
  file.bfOffBits = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
  file.bfSize = static_cast<DWORD>(file.bfOffBits + bytes);
  const std::string path = folder + "\\" + name;
  FILE* out = std::fopen(path.c_str(), "wb");
  if (!out) return std::nullopt;
  const bool written = std::fwrite(&file, sizeof(file), 1, out) == 1 &&
                       std::fwrite(&info.bmiHeader, sizeof(info.bmiHeader), 1, out) == 1 &&
                       std::fwrite(bits, 1, bytes, out) == bytes;
  std::fclose(out);
  if (!written) return std::nullopt;
  return path;
}

// ---------------------------------------------------------------------------

void ZapnixWindowTest::TearDown() {
  zapnix_.reset();
  shell_.reset();
  ZapnixTest::TearDown();
}

void ZapnixWindowTest::Start(const StartOptions& options) {
  shell_ = std::make_unique<FakeShellTray>(FakeShellTray::Answer::kAccept);
  ASSERT_TRUE(shell_->InFront()) << "the stand-in tray is not the one the shell would use";
  zapnix_ = std::make_unique<ZapnixProcess>(options);
  ASSERT_NE(zapnix_->WaitForMainWindow(), nullptr) << "no main window";
  ASSERT_TRUE(zapnix_->WaitUntilHiddenAfterFirstPaint()) << "events seen: " << zapnix_->WindowEvents();
  icon_ = shell_->AddedIconWindow();
  ASSERT_NE(icon_, nullptr) << "no tray icon was added";
  parts_ = FindParts(zapnix_->MainWindow());
  ASSERT_TRUE(parts_.Complete()) << parts_.Describe();
}

void ZapnixWindowTest::Restore() {
  ASSERT_TRUE(RestoreThroughApplication(parts_)) << "the main window did not show";
}

size_t ZapnixWindowTest::ModifyCount() const {
  size_t count = 0;
  for (const FakeShellTray::Request& request : shell_->Requests())
    if (request.operation == NIM_MODIFY) ++count;
  return count;
}

}  // namespace e2e
