#pragma once
// A long run of one Zapnix driven from outside, as a busy user and engine
// would drive it, with the program's live objects and working set taken
// before and after. The soak benchmark runs it at full length; the end-to-end
// suite runs a tenth of it and fails on any growth.
//
// The objects are counted inside the program by the watch library
// ZapnixWatch.dll, whose hook the driver puts on the program's user-interface
// thread (see tests/e2e/WatchLog.h). Stopped URLs are reported by
// ZapnixSim.exe, which plays the engine. Both lie beside Zapnix.exe.
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "../tests/e2e/WatchLog.h"

namespace soak {

struct Sizes {
  int stopReports;   // reports of stopped URLs, in one run of the simulator
  int distinctUrls;  // different URLs among them
  int switches;      // blocking switched off and on again
  int listEdits;     // uses of the input box: adds and edits of the white list
  int restores;      // the window restored and hidden again
};
inline constexpr Sizes kFullSoak{10000, 1000, 1000, 1000, 100};
inline constexpr Sizes kShortSoak{1000, 100, 100, 100, 10};

struct Snapshot {
  WatchCounts counts{};
  size_t workingSet = 0;
};

struct Phase {
  std::string name;
  double seconds = 0;
  Snapshot after;  // the objects right after the phase
};

struct Result {
  std::string failure;  // empty when the run went through
  Snapshot before, after;
  bool errorBox = false;
  std::vector<Phase> phases;
};

namespace detail {

constexpr DWORD kAnswerMs = 5000;
constexpr DWORD kStartMs = 30000;

template <class Condition>
bool WaitFor(Condition condition, DWORD timeoutMs) {
  const ULONGLONG end = GetTickCount64() + timeoutMs;
  for (;;) {
    if (condition()) return true;
    if (GetTickCount64() >= end) return false;
    Sleep(2);
  }
}

inline std::string ClassOf(HWND window) {
  char name[64] = {};
  GetClassNameA(window, name, sizeof name);
  return name;
}

inline std::string TextOf(HWND window) {
  char text[256] = {};
  DWORD_PTR copied = 0;
  SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, kAnswerMs,
                      &copied);
  return text;
}

struct WindowList {
  DWORD processId;
  std::vector<HWND> found;
};

inline BOOL CALLBACK CollectProcessWindow(HWND window, LPARAM data) {
  auto* list = reinterpret_cast<WindowList*>(data);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner == list->processId) list->found.push_back(window);
  return TRUE;
}

inline BOOL CALLBACK CollectChild(HWND window, LPARAM data) {
  reinterpret_cast<WindowList*>(data)->found.push_back(window);
  return TRUE;
}

inline std::vector<HWND> TopLevel(DWORD processId) {
  WindowList list{processId, {}};
  EnumWindows(CollectProcessWindow, reinterpret_cast<LPARAM>(&list));
  return list.found;
}

inline std::vector<HWND> Children(HWND parent) {
  WindowList list{0, {}};
  EnumChildWindows(parent, CollectChild, reinterpret_cast<LPARAM>(&list));
  return list.found;
}

inline bool Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  DWORD_PTR result = 0;
  return SendMessageTimeoutA(window, message, wParam, lParam, SMTO_ABORTIFHUNG, kAnswerMs, &result) != 0;
}

// A press and release of the left button at a point of the window's client area.
inline bool Click(HWND window, POINT at) {
  const LPARAM where = MAKELPARAM(at.x, at.y);
  return Send(window, WM_MOUSEMOVE, 0, where) && Send(window, WM_LBUTTONDOWN, MK_LBUTTON, where) &&
         Send(window, WM_LBUTTONUP, 0, where);
}

// The same, queued: for clicks that open something modal.
inline void PostClick(HWND window, POINT at) {
  const LPARAM where = MAKELPARAM(at.x, at.y);
  PostMessageA(window, WM_MOUSEMOVE, 0, where);
  PostMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, where);
  PostMessageA(window, WM_LBUTTONUP, 0, where);
}

inline bool VisibleStyle(HWND window) {
  return (GetWindowLongPtrA(window, GWL_STYLE) & WS_VISIBLE) != 0;
}

// Places of the window-less buttons in their parents' client areas.
constexpr POINT kDisableButton{308 + 45, 19 + 15};  // on the panel
constexpr POINT kMinimizePicture{363 + 9, 5 + 9};   // on the form
constexpr POINT kClearButton{316 + 36, 140 + 12};   // in the blocked list's group box
constexpr POINT kAddButton{317 + 34, 17 + 11};      // in the white list's group box
constexpr POINT kDeleteButton{317 + 34, 51 + 11};
constexpr POINT kEditButton{317 + 34, 86 + 11};

}  // namespace detail

class Driver {
 public:
  // folder: where Zapnix.exe and ZapnixSim.exe lie; watch: the hook library
  // ZapnixWatch.dll, a test tool that the product folder does not carry (by
  // default looked for beside the program).
  explicit Driver(std::string folder, std::string watch = {})
      : folder_(std::move(folder)), watchPath_(watch.empty() ? folder_ + "\\ZapnixWatch.dll" : std::move(watch)) {}
  Driver(const Driver&) = delete;
  Driver& operator=(const Driver&) = delete;
  ~Driver() { Stop(); }

  Result Run(const Sizes& sizes) {
    Result result;
    result.failure = Start();
    if (!result.failure.empty()) return result;
    // One round of everything first, so that what the program makes once
    // (the input box's class, fonts, the menu's pictures) is there before the
    // count.
    result.failure = Phases(Sizes{20, 5, 2, 2, 2}, nullptr);
    if (result.failure.empty()) result.failure = PaintEveryPage();
    const DWORD settle = 2600;
    if (result.failure.empty()) result.failure = Take(result.before, settle);
    if (result.failure.empty()) result.failure = Phases(sizes, &result.phases);
    if (result.failure.empty()) result.failure = Take(result.after, settle);
    result.errorBox = ErrorBoxShown();
    if (result.failure.empty()) result.failure = Close();
    return result;
  }

 private:
  std::string Start() {
    const std::string program = folder_ + "\\Zapnix.exe";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    std::string commandLine = "\"" + program + "\"";
    if (!CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr,
                        folder_.c_str(), &startup, &info))
      return "cannot start " + program;
    process_ = info.hProcess;
    char name[64];
    std::snprintf(name, sizeof name, kWatchLogNameFormat, static_cast<unsigned long>(info.dwThreadId));
    mapping_ = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(WatchLog), name);
    if (mapping_) log_ = static_cast<WatchLog*>(MapViewOfFile(mapping_, FILE_MAP_WRITE, 0, 0, sizeof(WatchLog)));
    watch_ = LoadLibraryA(watchPath_.c_str());
    const auto sent = watch_ ? reinterpret_cast<HOOKPROC>(GetProcAddress(watch_, "ZapnixWatchSent")) : nullptr;
    if (log_) {
      std::memset(log_, 0, sizeof(WatchLog));
      std::snprintf(log_->watchedClass, sizeof log_->watchedClass, "TForm1");
    }
    if (log_ && sent) hook_ = SetWindowsHookExA(WH_CALLWNDPROC, sent, watch_, info.dwThreadId);
    ResumeThread(info.hThread);
    CloseHandle(info.hThread);
    processId_ = info.dwProcessId;
    if (!hook_) return "cannot watch the program through " + watchPath_;

    if (!detail::WaitFor([&] { return FindParts() || !Running(); }, detail::kStartMs))
      return "no main window with its parts";
    if (!detail::WaitFor([&] { return !IsWindowVisible(form_) || !Running(); }, detail::kStartMs))
      return "the main window did not hide into the tray";
    return Running() ? "" : "the program ended at start";
  }

  void Stop() {
    if (process_) {
      if (WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) {
        TerminateProcess(process_, 255);
        WaitForSingleObject(process_, 10000);
      }
      CloseHandle(process_);
      process_ = nullptr;
    }
    if (hook_) UnhookWindowsHookEx(hook_);
    hook_ = nullptr;
    if (log_) UnmapViewOfFile(log_);
    log_ = nullptr;
    if (mapping_) CloseHandle(mapping_);
    mapping_ = nullptr;
  }

  bool Running() const { return process_ && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT; }

  bool FindParts() {
    form_ = nullptr;
    for (HWND window : detail::TopLevel(processId_))
      if (detail::ClassOf(window) == "TForm1") form_ = window;
    if (!form_) return false;
    application_ = GetWindow(form_, GW_OWNER);
    for (HWND child : detail::Children(form_)) {
      const std::string name = detail::ClassOf(child);
      if (name == "TPanel") panel_ = child;
      if (name == "TPageControl") pages_ = child;
      if (name == "TTabSheet" && detail::TextOf(child) == "   Main    ") mainSheet_ = child;
      if (name == "TTabSheet" && detail::TextOf(child) == "White List") whiteSheet_ = child;
      if (name == "TTabSheet" && detail::TextOf(child) == "Black List") blackSheet_ = child;
      if (name == "TGroupBox" && detail::TextOf(child) == "White Page List") whiteGroup_ = child;
      if (name == "TGroupBox" && detail::TextOf(child) == "Blocked popups") blockedGroup_ = child;
    }
    for (HWND child : detail::Children(whiteGroup_))
      if (detail::ClassOf(child).find("ListBox") != std::string::npos) whiteList_ = child;
    return application_ && panel_ && pages_ && mainSheet_ && whiteSheet_ && blackSheet_ && whiteGroup_ &&
           blockedGroup_ && whiteList_;
  }

  // settleMs: time for the last announcement to end (about two seconds after its URL).
  std::string Take(Snapshot& snapshot, DWORD settleMs) {
    Sleep(settleMs);
    const long answered = log_->counts.answers;
    if (!detail::Send(form_, RegisterWindowMessageA(kWatchCountMessageName), kWatchCount, 0) ||
        log_->counts.answers == answered)
      return "the watch did not count the objects";
    snapshot.counts = log_->counts;
    PROCESS_MEMORY_COUNTERS memory{};
    memory.cb = sizeof memory;
    if (K32GetProcessMemoryInfo(process_, &memory, sizeof memory)) snapshot.workingSet = memory.WorkingSetSize;
    return "";
  }

  bool ErrorBoxShown() const {
    for (HWND window : detail::TopLevel(processId_))
      if (detail::ClassOf(window) == "#32770" && IsWindowVisible(window)) return true;
    return false;
  }

  std::string Phases(const Sizes& sizes, std::vector<Phase>* record) {
    const std::pair<const char*, std::function<std::string()>> phases[] = {
        {"stopped-URL reports", [&] { return Reports(sizes.stopReports, sizes.distinctUrls); }},
        {"switches off and on", [&] { return Switches(sizes.switches); }},
        {"list edits", [&] { return ListEdits(sizes.listEdits); }},
        {"restores and hides", [&] { return Restores(sizes.restores); }},
    };
    for (const auto& [name, phase] : phases) {
      const ULONGLONG start = GetTickCount64();
      std::string failure = phase();
      if (!failure.empty()) return std::string(name) + ": " + failure;
      if (!Running()) return std::string(name) + ": the program ended";
      if (ErrorBoxShown()) return std::string(name) + ": an error box is shown";
      if (!record) continue;
      Phase done{name, static_cast<double>(GetTickCount64() - start) / 1000.0, {}};
      failure = Take(done.after, 0);
      if (!failure.empty()) return failure;
      record->push_back(done);
    }
    return "";
  }

  std::string Reports(int count, int distinct) {
    const std::string sim = folder_ + "\\ZapnixSim.exe";
    std::string commandLine = "\"" + sim + "\" stop-many " + std::to_string(count) + " " + std::to_string(distinct);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessA(sim.c_str(), commandLine.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr,
                        &startup, &info))
      return "cannot start " + sim;
    CloseHandle(info.hThread);
    DWORD code = 255;
    if (WaitForSingleObject(info.hProcess, 600000) == WAIT_OBJECT_0) GetExitCodeProcess(info.hProcess, &code);
    CloseHandle(info.hProcess);
    if (code != 0) return "the simulator ended with " + std::to_string(code);
    const LRESULT rows = SendMessageW(FindBlockedList(), LB_GETCOUNT, 0, 0);
    if (rows != distinct) return "the blocked list holds " + std::to_string(rows) + " rows";
    // The rows go again, so that the end state is the start state.
    return detail::Click(blockedGroup_, detail::kClearButton) ? "" : "Clear was not handled";
  }

  HWND FindBlockedList() const {
    for (HWND child : detail::Children(blockedGroup_))
      if (detail::ClassOf(child).find("ListBox") != std::string::npos) return child;
    return nullptr;
  }

  std::string Switches(int count) {
    for (int i = 0; i < 2 * count; ++i)
      if (!detail::Click(panel_, detail::kDisableButton)) return "a click on the switch was not handled";
    return GlobalFindAtomA("PopupZapnixRunning") ? "" : "blocking ended switched off";
  }

  // Controls keep the pens, brushes and fonts of their first paint: every
  // page is shown once before the count, so that later paints make nothing new.
  std::string PaintEveryPage() {
    if (!detail::Send(application_, WM_SYSCOMMAND, SC_RESTORE, 0) ||
        !detail::WaitFor([&] { return IsWindowVisible(form_) != FALSE; }, detail::kAnswerMs))
      return "the window did not show";
    for (HWND sheet : {whiteSheet_, blackSheet_, mainSheet_}) {
      if (!ShowPage(sheet)) return "a page did not show";
      RedrawWindow(form_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
      detail::Send(form_, WM_NULL, 0, 0);
    }
    if (!detail::Click(form_, detail::kMinimizePicture) ||
        !detail::WaitFor([&] { return !IsWindowVisible(form_); }, detail::kAnswerMs))
      return "the window did not hide";
    return "";
  }

  bool ShowPage(HWND sheet) {
    if (detail::VisibleStyle(sheet)) return true;
    RECT control{};
    GetClientRect(pages_, &control);
    RECT page{};
    GetWindowRect(sheet, &page);
    MapWindowPoints(HWND_DESKTOP, pages_, reinterpret_cast<POINT*>(&page), 2);
    const int y = std::max<int>(page.top / 2, 2);
    for (int x = 4; x < control.right - 2; x += 6) {
      if (!detail::Click(pages_, POINT{x, y})) return false;
      if (detail::VisibleStyle(sheet)) return true;
    }
    return false;
  }

  // Opens the input box with a click and answers it with OK.
  std::string Answer(POINT button, const char* caption, const std::string& text) {
    detail::PostClick(whiteGroup_, button);
    HWND box = nullptr, edit = nullptr, ok = nullptr;
    detail::WaitFor(
        [&] {
          for (HWND window : detail::TopLevel(processId_))
            if (IsWindowVisible(window) && detail::TextOf(window) == caption) box = window;
          return box != nullptr;
        },
        detail::kAnswerMs);
    if (!box) return std::string("no input box \"") + caption + "\"";
    for (HWND child : detail::Children(box)) {
      std::string name = detail::ClassOf(child);
      std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return char(tolower(c)); });
      if (name == "tedit" || name == "edit") edit = child;
      if (name.find("button") != std::string::npos && detail::TextOf(child) == "OK") ok = child;
    }
    if (!edit || !ok) return "the input box has no field or no OK button";
    if (!detail::Send(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()))) return "the field took no text";
    PostMessageA(ok, BM_CLICK, 0, 0);
    return detail::WaitFor([&] { return !IsWindow(box); }, detail::kAnswerMs) ? "" : "the input box stayed";
  }

  bool SelectLastWhiteRow() {
    const LRESULT rows = SendMessageW(whiteList_, LB_GETCOUNT, 0, 0);
    if (rows <= 0) return false;
    detail::Send(whiteList_, LB_SETSEL, FALSE, -1);
    return detail::Send(whiteList_, LB_SETSEL, TRUE, rows - 1) &&
           detail::Send(whiteList_, LB_SETCARETINDEX, static_cast<WPARAM>(rows - 1), FALSE);
  }

  // Adds a URL through the input box, edits it through the box on the next
  // round and then deletes it, so that the list ends as it began.
  std::string ListEdits(int count) {
    if (!ShowPage(whiteSheet_)) return "the White List page did not show";
    const LRESULT rows = SendMessageW(whiteList_, LB_GETCOUNT, 0, 0);
    for (int i = 0; i < count; ++i) {
      const std::string url = "http://edit" + std::to_string(i) + ".soak.example/";
      std::string failure;
      if (i % 2 == 0) {
        failure = Answer(detail::kAddButton, "Add URL", url);
      } else {
        if (!SelectLastWhiteRow()) return "no row to edit";
        failure = Answer(detail::kEditButton, "Edit", url);
        if (failure.empty() && (!SelectLastWhiteRow() || !detail::Click(whiteGroup_, detail::kDeleteButton)))
          failure = "the edited row could not be deleted";
      }
      if (!failure.empty()) return failure;
    }
    if (count % 2 == 1 && (!SelectLastWhiteRow() || !detail::Click(whiteGroup_, detail::kDeleteButton)))
      return "the last added row could not be deleted";
    const LRESULT after = SendMessageW(whiteList_, LB_GETCOUNT, 0, 0);
    return after == rows ? "" : "the white list holds " + std::to_string(after) + " rows";
  }

  std::string Restores(int count) {
    for (int i = 0; i < count; ++i) {
      if (!detail::Send(application_, WM_SYSCOMMAND, SC_RESTORE, 0) ||
          !detail::WaitFor([&] { return IsWindowVisible(form_) != FALSE; }, detail::kAnswerMs))
        return "the window did not show";
      if (!detail::Click(form_, detail::kMinimizePicture) ||
          !detail::WaitFor([&] { return !IsWindowVisible(form_); }, detail::kAnswerMs))
        return "the window did not hide";
    }
    return "";
  }

  std::string Close() {
    if (!detail::Send(form_, RegisterWindowMessageA("ZapnixCanClose"), 0, 0)) return "the close was not answered";
    if (WaitForSingleObject(process_, 15000) != WAIT_OBJECT_0) return "the program did not end";
    DWORD code = 255;
    GetExitCodeProcess(process_, &code);
    return code == 0 ? "" : "the program ended with " + std::to_string(code);
  }

  std::string folder_;
  std::string watchPath_;
  HANDLE process_ = nullptr;
  DWORD processId_ = 0;
  HANDLE mapping_ = nullptr;
  WatchLog* log_ = nullptr;
  HMODULE watch_ = nullptr;
  HHOOK hook_ = nullptr;
  HWND form_ = nullptr, application_ = nullptr, panel_ = nullptr, pages_ = nullptr;
  HWND mainSheet_ = nullptr, whiteSheet_ = nullptr, blackSheet_ = nullptr;
  HWND whiteGroup_ = nullptr, blockedGroup_ = nullptr, whiteList_ = nullptr;
};

// One line per figure: before, after, growth.
inline void Print(const Result& result, FILE* out) {
  const auto row = [&](const char* name, long long before, long long after) {
    std::fprintf(out, "%-22s %12lld %12lld %+10lld\n", name, before, after, after - before);
  };
  std::fprintf(out, "%-22s %12s %12s %10s\n", "", "before", "after", "growth");
  row("GDI objects", result.before.counts.gdiObjects, result.after.counts.gdiObjects);
  row("windows", result.before.counts.windows, result.after.counts.windows);
  row("menus", result.before.counts.menus, result.after.counts.menus);
  row("icons and cursors", result.before.counts.icons, result.after.counts.icons);
  row("USER objects", result.before.counts.windows + result.before.counts.menus + result.before.counts.icons,
      result.after.counts.windows + result.after.counts.menus + result.after.counts.icons);
  row("working set (KB)", static_cast<long long>(result.before.workingSet / 1024),
      static_cast<long long>(result.after.workingSet / 1024));
  static const char* const kTypes[] = {"", "pens", "brushes", "DCs", "metafile DCs", "palettes", "fonts",
                                       "bitmaps", "regions", "metafiles", "memory DCs", "extended pens",
                                       "enhanced metafile DCs", "enhanced metafiles", "colour spaces", ""};
  for (int type = 1; type < 15; ++type)
    if (result.before.counts.gdiByType[type] || result.after.counts.gdiByType[type])
      row((std::string("  ") + kTypes[type]).c_str(), result.before.counts.gdiByType[type],
          result.after.counts.gdiByType[type]);
  std::fprintf(out, "%-22s %9s %12s %10s %10s\n", "phase", "time", "GDI after", "USER after", "WS after");
  for (const Phase& phase : result.phases)
    std::fprintf(out, "%-22s %7.1f s %12ld %10ld %7zu KB\n", phase.name.c_str(), phase.seconds,
                 phase.after.counts.gdiObjects,
                 phase.after.counts.windows + phase.after.counts.menus + phase.after.counts.icons,
                 phase.after.workingSet / 1024);
  std::fprintf(out, "error box: %s\n", result.errorBox ? "shown" : "none");
}

}  // namespace soak
