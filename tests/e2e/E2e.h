#pragma once
// The end-to-end harness: starts the real Zapnix.exe as a separate process and
// looks at it only from outside — exit codes, global atoms, keys under
// HKEY_CURRENT_USER, the registered messages, its top-level windows and what
// it hands to the notification area.
//
// Where the programs are: ZX_DIST_WIN64 names the folder that holds Zapnix.exe,
// ZapnixServer.dll and ZapnixSim.exe (a Windows path). The test doubles
// ZapnixServerNoExport.dll and ZapnixWatch.dll are looked for there and then in
// the build folder, the parent of the folder of this test program.
//
// Every test of the suite derives its fixture from ZapnixTest, which serialises
// the tests of all processes on one desktop (they share the atom table and the
// registry) and leaves atoms, keys and processes as it found them.
#include <windows.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <future>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "WatchLog.h"

namespace e2e {

constexpr char kMainWindowClass[] = "TForm1";
constexpr char kMainWindowText[] = "Vantrel Zapnix";
constexpr char kTrayWindowClass[] = "TPUtilWindow";
constexpr char kApplicationTitle[] = "Zapnix";

constexpr char kInstanceAtom[] = "PopupZapnix";
constexpr char kRunningAtom[] = "PopupZapnixRunning";
constexpr char kEngineMarkerAtom[] = "IEStillExisted";

constexpr char kProgramKey[] = "Vantrel Software\\Popup Zapnix";
constexpr char kStoppedKey[] = "Vantrel Software\\Popup Zapnix\\Stoped";
constexpr char kEngineClassKey[] = "Software\\Classes\\CLSID\\{BFE99D69-1EEB-404A-9B33-EB5E5123C84A}";
constexpr char kEngineServerKey[] =
    "Software\\Classes\\CLSID\\{BFE99D69-1EEB-404A-9B33-EB5E5123C84A}\\InprocServer32";
constexpr char kEngineProgIdKey[] = "Software\\Classes\\Zapnix.Server";
constexpr char kEngineClsidText[] = "{BFE99D69-1EEB-404A-9B33-EB5E5123C84A}";

constexpr UINT kTrayCallbackMessage = WM_USER + 1;
constexpr char kCanCloseMessageName[] = "ZapnixCanClose";
constexpr char kStopUrlMessageName[] = "VantrelZapnixStopURL";

// Generous bounds: the first program of a fresh Wine prefix starts the desktop
// and takes seconds; later ones take a fraction of a second.
constexpr DWORD kStartTimeoutMs = 20000;
constexpr DWORD kExitTimeoutMs = 15000;
constexpr DWORD kAnswerTimeoutMs = 5000;

// ---------------------------------------------------------------------------
// Handles and small utilities.

class UniqueHandle {
 public:
  UniqueHandle() = default;
  explicit UniqueHandle(HANDLE handle) : handle_(handle == INVALID_HANDLE_VALUE ? nullptr : handle) {}
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  UniqueHandle(UniqueHandle&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept;
  ~UniqueHandle() { Reset(); }
  HANDLE Get() const { return handle_; }
  explicit operator bool() const { return handle_ != nullptr; }
  void Reset();

 private:
  HANDLE handle_ = nullptr;
};

// Polls the condition every few milliseconds until it holds or the time is up.
template <class Condition>
bool WaitFor(Condition condition, DWORD timeoutMs, DWORD intervalMs = 5) {
  const ULONGLONG end = GetTickCount64() + timeoutMs;
  for (;;) {
    if (condition()) return true;
    if (GetTickCount64() >= end) return false;
    Sleep(intervalMs);
  }
}

// ---------------------------------------------------------------------------
// Files and folders.

std::string DistFolder();
// A program or library of the suite: the dist folder first, then the build folder.
std::string SuiteFile(const std::string& name);
bool FileExists(const std::string& path);

// A fresh folder under the temporary folder, removed with everything in it.
class TempFolder {
 public:
  TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  ~TempFolder();
  const std::string& Path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "\\" + name; }
  // Copies a file into the folder under the given name.
  void Copy(const std::string& source, const std::string& name) const;
  void Write(const std::string& name, const std::string& bytes) const;

 private:
  std::string path_;
};

// ---------------------------------------------------------------------------
// Global atoms.

bool AtomPresent(const char* name);
void AddAtomReferences(const char* name, int count);
// The reference count: deletes the atom until it is gone, then adds it back as
// often. Meant for moments when no other process touches the atom.
int CountAtomReferences(const char* name);
void PurgeAtom(const char* name);

// ---------------------------------------------------------------------------
// HKEY_CURRENT_USER.

bool KeyExists(const std::string& path);
// A REG_SZ value (null name: the default value); nothing when missing or of another type.
std::optional<std::string> ReadText(const std::string& path, const char* name);
// The value names of a key in the registry's enumeration order.
std::vector<std::string> ValueNames(const std::string& path);
void WriteText(const std::string& path, const char* name, const std::string& text);
void DeleteTree(const std::string& path);
// Makes the program's key anew as a volatile key: it exists, but no list
// subkey can be created below it (a non-volatile key cannot live under a
// volatile one), so every write of a list fails. False when it cannot be made.
bool MakeListsUnwritable();

// ---------------------------------------------------------------------------
// Windows.

// Top-level windows of a process, hidden ones included; a null class or text matches any.
std::vector<HWND> TopLevelWindows(DWORD processId, const char* className, const char* text);
std::optional<LRESULT> SendWithTimeout(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                       DWORD timeoutMs = kAnswerTimeoutMs);
std::string ClassNameOf(HWND window);
// Text of the wide-character messages in the system's ANSI code page.
std::string ToAnsi(const std::wstring& text);
// The list boxes among the descendants of a window.
std::vector<HWND> ListBoxes(HWND parent);
// The rows of a list box of another process, read with the wide-character
// messages (the ANSI ones garble across processes under Wine). A row longer
// than kLongestReadableRow characters reads as "<N characters>" and is not
// asked for: when the list box's window procedure is an ANSI one, as that of
// a subclassed list box is, Wine passes the row through a fixed 512-byte
// buffer in the list box's process, and longer rows came back empty or hung
// the caller. FindListBoxRow checks such a row's text.
constexpr size_t kLongestReadableRow = 511;
std::vector<std::string> ListBoxRows(HWND listBox);
// The index of the row equal to the text (letter case aside), or -1.
int FindListBoxRow(HWND listBox, const std::string& text);

struct MessageBoxSeen {
  HWND window = nullptr;
  std::string title;
  std::string text;
};

// ---------------------------------------------------------------------------
// Console tools of the suite, ZapnixSim.exe above all.

struct ToolResult {
  DWORD exitCode = 0xFFFFFFFF;
  std::string out;
  std::string err;
};
ToolResult RunTool(const std::string& program, const std::string& arguments, DWORD timeoutMs = 30000);
ToolResult RunSim(const std::string& arguments);

// ---------------------------------------------------------------------------
// A stand-in for the shell's notification area. The shell sends every icon
// request to the first top-level window of class "Shell_TrayWnd"; this one,
// created in front of the real one, either takes every request (and notes the
// request and the icon's window) or refuses every request.

class FakeShellTray {
 public:
  enum class Answer { kAccept, kRefuse };
  struct Request {
    DWORD operation;  // NIM_ADD, NIM_MODIFY, NIM_DELETE, ...
    HWND window;      // the window that receives the icon's notifications
  };

  explicit FakeShellTray(Answer answer);
  FakeShellTray(const FakeShellTray&) = delete;
  FakeShellTray& operator=(const FakeShellTray&) = delete;
  ~FakeShellTray();

  // True when the shell would talk to this window rather than to the real tray.
  bool InFront() const;
  std::vector<Request> Requests() const;
  // The window named by the first accepted or refused add, or null.
  HWND AddedIconWindow() const;
  void Note(const Request& request);
  Answer GetAnswer() const { return answer_; }

 private:
  void Run(std::promise<HWND>* ready);

  const Answer answer_;
  mutable std::mutex mutex_;
  std::vector<Request> requests_;
  HWND window_ = nullptr;
  std::thread thread_;
};

// ---------------------------------------------------------------------------
// One Zapnix process.

struct StartOptions {
  // The folder Zapnix.exe is started from; empty means the dist folder.
  std::string folder;
  // Added to (or replacing in) the environment the program inherits.
  std::vector<std::pair<std::string, std::string>> environment;
  // Watch the main window's show, paint and hide through ZapnixWatch.dll.
  bool watch = true;
};

class ZapnixProcess {
 public:
  explicit ZapnixProcess(const StartOptions& options = {});
  ZapnixProcess(const ZapnixProcess&) = delete;
  ZapnixProcess& operator=(const ZapnixProcess&) = delete;
  ~ZapnixProcess();

  bool Started() const { return static_cast<bool>(process_); }
  DWORD Id() const { return processId_; }
  bool Running() const;
  // The exit code once the process has ended within the time, else nothing.
  std::optional<DWORD> WaitForExit(DWORD timeoutMs = kExitTimeoutMs);
  void Kill();

  // The top-level window of class TForm1 with the text "Vantrel Zapnix" of this process.
  HWND MainWindow() const;
  HWND WaitForMainWindow(DWORD timeoutMs = kStartTimeoutMs);
  // Waits until the main window has been hidden after having been shown and
  // painted, or the process has ended, or the time is up; true when hidden.
  bool WaitUntilHiddenAfterFirstPaint(DWORD timeoutMs = kStartTimeoutMs);
  // What the watch saw happen to the main window, in order: S shown, P paint, H hidden.
  std::string WindowEvents() const;

  std::vector<HWND> Windows(const char* className, const char* text) const {
    return TopLevelWindows(processId_, className, text);
  }
  // The process's standard error box: a dialog titled "Zapnix".
  std::optional<MessageBoxSeen> FindMessageBox() const;
  std::optional<MessageBoxSeen> WaitForMessageBox(DWORD timeoutMs = kStartTimeoutMs) const;
  // Presses the box's OK button and waits until the box has gone.
  bool PressOk(const MessageBoxSeen& box) const;

  // Sends "ZapnixCanClose" to the main window as the engine does.
  bool AskToClose() const;

  // The live GDI and user objects of the process, counted inside it by the
  // watch; with plantLeak the watch first makes one object of each kind and
  // keeps it. Nothing when the process is not watched or does not answer.
  std::optional<WatchCounts> CountObjects(bool plantLeak = false) const;
  // The process's working set in bytes, 0 when it cannot be read.
  size_t WorkingSet() const;

 private:
  UniqueHandle process_;
  UniqueHandle watchMapping_;
  WatchLog* watchLog_ = nullptr;
  std::vector<HHOOK> hooks_;
  DWORD processId_ = 0;
};

// ---------------------------------------------------------------------------
// The fixture of the whole suite.

class ZapnixTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  // Removes what a run of Zapnix or an earlier test may leave: the three
  // atoms, the program's registry key and the engine's registration.
  static void CleanSlate();

 private:
  UniqueHandle desktopLock_;
};

}  // namespace e2e
