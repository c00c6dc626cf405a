// Start-up benchmark: how long Zapnix takes from its process start until its
// main window has hidden itself into the tray, and how much memory it peaks
// at, against a minimal Win32 program that shows one window and hides it at
// its first paint — both under the same system, in the same run.
//
// Usage: StartupBench [folder]   (default: the folder of this program), which
// holds Zapnix.exe (with ZapnixServer.dll) and MinimalWindow.exe.
//
// Each program is started, the watcher polls every millisecond until the
// window is seen hidden after having been shown, and the peak working set is
// read just before the program is asked to close. One unmeasured warm-up round
// lets the system start its desktop first; then N rounds alternate the two
// programs and the medians are compared. No hook goes into the measured
// programs: loading a hook library into a process costs it tens of
// milliseconds under Wine.
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "BenchFolder.h"

namespace {

constexpr int kRounds = 5;
constexpr DWORD kStartTimeoutMs = 30000;
constexpr DWORD kExitTimeoutMs = 15000;
constexpr double kGoal = 1.5;

class Handle {
 public:
  explicit Handle(HANDLE handle = nullptr) : handle_(handle) {}
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  ~Handle() {
    if (handle_) CloseHandle(handle_);
  }
  HANDLE Get() const { return handle_; }

 private:
  HANDLE handle_;
};

struct Program {
  const char* label;
  std::string path;
  const char* windowClass;
  const char* windowText;  // null: any text
  bool closesByEngineMessage;
};

struct Measure {
  double startupMs = 0;
  double peakWorkingSetMb = 0;
};

struct Search {
  DWORD processId;
  const char* windowClass;
  const char* windowText;
  HWND found;
};

BOOL CALLBACK FindProcessWindow(HWND window, LPARAM data) {
  auto* search = reinterpret_cast<Search*>(data);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner != search->processId) return TRUE;
  char name[64] = {};
  GetClassNameA(window, name, sizeof(name));
  if (std::strcmp(name, search->windowClass) != 0) return TRUE;
  if (search->windowText) {
    char text[64] = {};
    GetWindowTextA(window, text, sizeof(text));
    if (std::strcmp(text, search->windowText) != 0) return TRUE;
  }
  search->found = window;
  return FALSE;
}

HWND WindowOf(DWORD processId, const Program& program) {
  Search search{processId, program.windowClass, program.windowText, nullptr};
  EnumWindows(FindProcessWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

double Milliseconds(LARGE_INTEGER from, LARGE_INTEGER to) {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(to.QuadPart - from.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

void PurgeAtom(const char* name) {
  for (int i = 0; i < 10000; ++i) {
    const ATOM atom = GlobalFindAtomA(name);
    if (atom == 0 || GlobalDeleteAtom(atom) != 0) return;
  }
}

std::optional<Measure> Run(const Program& program) {
  if (std::strcmp(program.windowClass, "TForm1") == 0) {
    // A Zapnix that a killed round left behind still owns its atom.
    if (FindWindowA("TForm1", "Vantrel Zapnix")) {
      std::fprintf(stderr, "StartupBench: another Zapnix is running; close it first.\n");
      return std::nullopt;
    }
    PurgeAtom("PopupZapnix");
    PurgeAtom("PopupZapnixRunning");
  }
  STARTUPINFOA startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info{};
  std::string commandLine = "\"" + program.path + "\"";
  LARGE_INTEGER started;
  QueryPerformanceCounter(&started);
  if (!CreateProcessA(program.path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &info)) {
    std::fprintf(stderr, "StartupBench: cannot start %s (error %lu).\n", program.path.c_str(), GetLastError());
    return std::nullopt;
  }
  Handle process(info.hProcess);
  Handle thread(info.hThread);

  bool seenShown = false;
  HWND window = nullptr;
  LARGE_INTEGER hidden{};
  const ULONGLONG deadline = GetTickCount64() + kStartTimeoutMs;
  for (;;) {
    if (!window) window = WindowOf(info.dwProcessId, program);
    if (window) {
      const bool visible = IsWindowVisible(window) != FALSE;
      // A window shown for less than a polling step can be missed; a hidden
      // window of a process that already waits for input has had its show
      // and its first paint (both programs show the window before their
      // message loop first runs dry).
      seenShown = seenShown || visible || WaitForInputIdle(process.Get(), 0) == 0;
      if (seenShown && !visible) {
        QueryPerformanceCounter(&hidden);
        break;
      }
    }
    if (WaitForSingleObject(process.Get(), 0) == WAIT_OBJECT_0) {
      std::fprintf(stderr, "StartupBench: %s ended before its window was hidden.\n", program.label);
      return std::nullopt;
    }
    if (GetTickCount64() > deadline) {
      std::fprintf(stderr, "StartupBench: %s: no window seen hidden after being shown within %lu ms.\n",
                   program.label, static_cast<unsigned long>(kStartTimeoutMs));
      TerminateProcess(process.Get(), 255);
      return std::nullopt;
    }
    Sleep(1);
  }

  Measure measure;
  measure.startupMs = Milliseconds(started, hidden);
  PROCESS_MEMORY_COUNTERS memory{};
  memory.cb = sizeof(memory);
  if (GetProcessMemoryInfo(process.Get(), &memory, sizeof(memory)))
    measure.peakWorkingSetMb = static_cast<double>(memory.PeakWorkingSetSize) / (1024.0 * 1024.0);

  if (program.closesByEngineMessage) {
    DWORD_PTR result = 0;
    SendMessageTimeoutA(window, RegisterWindowMessageA("ZapnixCanClose"), 0, 0, SMTO_ABORTIFHUNG, 5000, &result);
  } else {
    PostMessageA(window, WM_CLOSE, 0, 0);
  }
  if (WaitForSingleObject(process.Get(), kExitTimeoutMs) != WAIT_OBJECT_0) {
    std::fprintf(stderr, "StartupBench: %s did not end when asked; ended it.\n", program.label);
    TerminateProcess(process.Get(), 255);
    WaitForSingleObject(process.Get(), kExitTimeoutMs);
  }
  return measure;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const size_t middle = values.size() / 2;
  return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 2) {
    std::fputs("usage: StartupBench [folder holding Zapnix.exe and MinimalWindow.exe]\n", stderr);
    return 1;
  }
  const std::string folder = argc == 2 ? argv[1] : FolderOfThisProgram();
  Program programs[] = {
      {"Zapnix", folder + "\\Zapnix.exe", "TForm1", "Vantrel Zapnix", true},
      {"minimal", folder + "\\MinimalWindow.exe", "ZxMinimalWindow", nullptr, false},
  };
  for (const Program& program : programs) {
    if (GetFileAttributesA(program.path.c_str()) == INVALID_FILE_ATTRIBUTES) {
      std::fprintf(stderr, "StartupBench: %s not found.\n", program.path.c_str());
      return 1;
    }
  }
  for (const Program& program : programs)
    if (!Run(program)) return 1;

  std::vector<double> times[2], memory[2];
  for (int round = 0; round < kRounds; ++round) {
    // Alternate which program goes first, so that neither always follows the other.
    for (int step = 0; step < 2; ++step) {
      const int which = (round + step) % 2;
      const std::optional<Measure> measure = Run(programs[which]);
      if (!measure) return 1;
      times[which].push_back(measure->startupMs);
      memory[which].push_back(measure->peakWorkingSetMb);
      std::printf("round %d  %-8s %8.1f ms  %7.1f MB\n", round + 1, programs[which].label, measure->startupMs,
                  measure->peakWorkingSetMb);
    }
  }

  const double zapnixTime = Median(times[0]), minimalTime = Median(times[1]);
  const double zapnixMemory = Median(memory[0]), minimalMemory = Median(memory[1]);
  const double timeRatio = minimalTime > 0 ? zapnixTime / minimalTime : 0;
  const double memoryRatio = minimalMemory > 0 ? zapnixMemory / minimalMemory : 0;
  std::printf("\nmedian of %d rounds     start to hidden    peak working set\n", kRounds);
  std::printf("Zapnix                  %9.1f ms      %9.1f MB\n", zapnixTime, zapnixMemory);
  std::printf("minimal program         %9.1f ms      %9.1f MB\n", minimalTime, minimalMemory);
  std::printf("ratio Zapnix/minimal    %9.2f         %9.2f\n", timeRatio, memoryRatio);
  std::printf("goal, within %.1fx of the minimal program: start-up %s, peak working set %s\n", kGoal,
              timeRatio <= kGoal ? "met" : "not met", memoryRatio <= kGoal ? "met" : "not met");
  return 0;
}
