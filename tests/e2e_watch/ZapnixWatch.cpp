// A window-message hook that the end-to-end tests and the start-up benchmark
// install on the main thread of a program they start. The system loads this
// library into that process; the hook writes down, in order, when the watched
// top-level window is shown, when it receives a paint message and when it is
// hidden, into a block of shared memory that the watcher created under a name
// derived from the thread id. The outside of a process cannot otherwise see a
// window that is shown and hidden again within a few milliseconds.
#include <windows.h>

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

void NoteSentMessage(const CWPSTRUCT& sent) {
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
