// A window-message hook that the end-to-end tests and the start-up benchmark
// install on the main thread of a program they start. The system loads this
// library into that process; the hook writes down, in order, when the watched
// top-level window is shown, when it receives a paint message and when it is
// hidden, into a block of shared memory that the watcher created under a name
// derived from the thread id. The outside of a process cannot otherwise see a
// window that is shown and hidden again within a few milliseconds. On request
// it also counts the process's live GDI and user objects and copies what a
// window shows (see WatchLog.h).
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "../e2e/WatchLog.h"

namespace {

// Opens the log for this thread once and keeps it for the life of the process.
WatchLog* Log() {
  static WatchLog* log = [] {
    char name[64];
    std::snprintf(name, sizeof(name), kWatchLogNameFormat, static_cast<unsigned long>(GetCurrentThreadId()));
    const HANDLE mapping = OpenFileMappingA(FILE_MAP_WRITE, FALSE, name);
    if (!mapping) return static_cast<WatchLog*>(nullptr);
    return static_cast<WatchLog*>(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, sizeof(WatchLog)));
  }();
  return log;
}

bool IsWatchedWindow(HWND window) {
  const WatchLog* log = Log();
  char className[sizeof(log->watchedClass)] = {};
  // Top-level, owned or not: an owned window's GetParent is its owner.
  return log && window && !(GetWindowLongPtrA(window, GWL_STYLE) & WS_CHILD) &&
         GetClassNameA(window, className, sizeof(className)) > 0 &&
         std::strncmp(className, log->watchedClass, sizeof(className)) == 0;
}

void Note(char event) {
  WatchLog* log = Log();
  if (!log) return;
  const LONG slot = InterlockedIncrement(&log->count) - 1;
  if (slot >= 0 && slot < static_cast<LONG>(sizeof(log->events))) log->events[slot] = event;
}

// GDI handles are an index into the process's handle table with a reuse
// count in the high word; a zero high word names whatever lives at the index.
void CountGdiObjects(WatchCounts& counts) {
  counts.gdiObjects = 0;
  for (uintptr_t index = 1; index < 0x10000; ++index) {
    const DWORD type = GetObjectType(reinterpret_cast<HGDIOBJ>(index));
    if (type == 0) continue;
    ++counts.gdiObjects;
    if (type < 16) ++counts.gdiByType[type];
  }
}

BOOL CALLBACK CountChild(HWND, LPARAM data) {
  ++*reinterpret_cast<long*>(data);
  return TRUE;
}

BOOL CALLBACK CountTopLevel(HWND window, LPARAM data) {
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner != GetCurrentProcessId()) return TRUE;
  ++*reinterpret_cast<long*>(data);
  EnumChildWindows(window, CountChild, data);
  return TRUE;
}

// User handles are 0x20 plus twice a slot number, with a reuse count in the
// high word; menus and icons of this process are found at their slots.
void CountUserObjects(WatchCounts& counts) {
  counts.menus = 0;
  counts.icons = 0;
  for (uintptr_t value = 0x20; value < 0xFFF0; value += 2) {
    const HANDLE handle = reinterpret_cast<HANDLE>(value);
    if (IsMenu(static_cast<HMENU>(handle))) {
      ++counts.menus;
      continue;
    }
    ICONINFO info{};
    if (GetIconInfo(static_cast<HICON>(handle), &info)) {
      ++counts.icons;
      if (info.hbmColor) DeleteObject(info.hbmColor);
      if (info.hbmMask) DeleteObject(info.hbmMask);
    }
  }
  counts.windows = 0;
  EnumWindows(CountTopLevel, reinterpret_cast<LPARAM>(&counts.windows));
}

// One object of each kind, made and never freed.
void PlantLeak() {
  CreateSolidBrush(RGB(1, 2, 3));
  CreateWindowExA(0, "STATIC", "leak", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
  CreatePopupMenu();
  BYTE andMask[4 * 32] = {}, xorMask[4 * 32] = {};
  CreateIcon(nullptr, 32, 32, 1, 1, andMask, xorMask);
}

void Count() {
  WatchLog* log = Log();
  if (!log) return;
  WatchCounts counts{};
  // Counting makes objects of its own for a moment (the icons' bitmaps):
  // they are gone again before the GDI objects are counted.
  CountUserObjects(counts);
  CountGdiObjects(counts);
  counts.answers = log->counts.answers + 1;
  log->counts = counts;
}

WatchPicture* Picture() {
  static WatchPicture* picture = [] {
    char name[64];
    std::snprintf(name, sizeof(name), kWatchPictureNameFormat, static_cast<unsigned long>(GetCurrentThreadId()));
    const HANDLE mapping = OpenFileMappingA(FILE_MAP_WRITE, FALSE, name);
    if (!mapping) return static_cast<WatchPicture*>(nullptr);
    return static_cast<WatchPicture*>(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, sizeof(WatchPicture)));
  }();
  return picture;
}

// Copies the client area of the window, child windows included, as the
// window's device context holds it.
void Capture(HWND window) {
  WatchPicture* picture = Picture();
  if (!picture) return;
  picture->width = picture->height = 0;
  RECT client{};
  GetClientRect(window, &client);
  const long width = client.right, height = client.bottom;
  if (width > 0 && height > 0 && width * height <= kWatchPictureMaxPixels) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    // Without clipping the child windows: a parent's picture holds them too.
    const HDC source = GetDCEx(window, nullptr, DCX_CACHE);
    const HDC memory = CreateCompatibleDC(source);
    void* bits = nullptr;
    const HBITMAP dib = CreateDIBSection(source, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (source && memory && dib && bits) {
      const HGDIOBJ old = SelectObject(memory, dib);
      const BOOL copied = BitBlt(memory, 0, 0, width, height, source, 0, 0, SRCCOPY);
      SelectObject(memory, old);
      GdiFlush();
      if (copied) {
        std::memcpy(picture->pixels, bits, static_cast<size_t>(width) * static_cast<size_t>(height) * 4);
        picture->width = width;
        picture->height = height;
      }
    }
    if (dib) DeleteObject(dib);
    if (memory) DeleteDC(memory);
    if (source) ReleaseDC(window, source);
  }
  ++picture->answers;
}

UINT CaptureMessage() {
  static const UINT message = RegisterWindowMessageA(kWatchCaptureMessageName);
  return message;
}

UINT CountMessage() {
  static const UINT message = RegisterWindowMessageA(kWatchCountMessageName);
  return message;
}

void NoteSentMessage(const CWPSTRUCT& sent) {
  if (sent.message == CaptureMessage() && sent.wParam == 0) {
    Capture(sent.hwnd);
    return;
  }
  if (sent.message == CountMessage() && IsWatchedWindow(sent.hwnd)) {
    if (sent.wParam == kWatchPlantLeak) PlantLeak();
    Count();
    return;
  }
  if (!IsWatchedWindow(sent.hwnd)) return;
  if (sent.message == WM_PAINT) {
    Note(kWatchPaint);
  } else if (sent.message == WM_WINDOWPOSCHANGED) {
    const auto* position = reinterpret_cast<const WINDOWPOS*>(sent.lParam);
    if (position->flags & SWP_SHOWWINDOW) Note(kWatchShown);
    if (position->flags & SWP_HIDEWINDOW) Note(kWatchHidden);
  }
}

}  // namespace

extern "C" LRESULT CALLBACK ZapnixWatchSent(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HC_ACTION) NoteSentMessage(*reinterpret_cast<const CWPSTRUCT*>(lParam));
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

extern "C" LRESULT CALLBACK ZapnixWatchPosted(int code, WPARAM wParam, LPARAM lParam) {
  const auto* message = reinterpret_cast<const MSG*>(lParam);
  if (code == HC_ACTION && wParam == PM_REMOVE && message->message == WM_PAINT && IsWatchedWindow(message->hwnd))
    Note(kWatchPaint);
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) DisableThreadLibraryCalls(instance);
  return TRUE;
}
