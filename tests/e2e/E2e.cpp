#include "E2e.h"

#include <psapi.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>

namespace e2e {

namespace {

class RegKey {
 public:
  RegKey() = default;
  RegKey(const RegKey&) = delete;
  RegKey& operator=(const RegKey&) = delete;
  ~RegKey() {
    if (key_) RegCloseKey(key_);
  }
  bool Open(const std::string& path, REGSAM access = KEY_READ) {
    return RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, access, &key_) == ERROR_SUCCESS;
  }
  bool Create(const std::string& path) {
    return RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                           KEY_READ | KEY_WRITE, nullptr, &key_, nullptr) == ERROR_SUCCESS;
  }
  HKEY Get() const { return key_; }

 private:
  HKEY key_ = nullptr;
};

std::string FolderOf(const std::string& path) {
  const size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

std::string BuildFolder() {
  char path[MAX_PATH * 4] = {};
  const DWORD length = GetModuleFileNameA(nullptr, path, sizeof(path));
  if (length == 0 || length >= sizeof(path)) return {};
  return FolderOf(FolderOf(std::string(path, length)));
}

std::string WindowText(HWND window) {
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutA(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kAnswerTimeoutMs, &length)) return {};
  std::string text(static_cast<size_t>(length) + 1, '\0');
  DWORD_PTR copied = 0;
  if (!SendMessageTimeoutA(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()), SMTO_ABORTIFHUNG,
                           kAnswerTimeoutMs, &copied))
    return {};
  text.resize(std::min<size_t>(static_cast<size_t>(copied), text.size() - 1));
  return text;
}

struct WindowSearch {
  DWORD processId;
  const char* className;
  const char* text;
  std::vector<HWND> found;
};

BOOL CALLBACK CollectTopLevel(HWND window, LPARAM data) {
  auto* search = reinterpret_cast<WindowSearch*>(data);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner != search->processId) return TRUE;
  if (search->className && ClassNameOf(window) != search->className) return TRUE;
  if (search->text) {
    char text[256] = {};
    GetWindowTextA(window, text, sizeof(text));
    if (std::strcmp(text, search->text) != 0) return TRUE;
  }
  search->found.push_back(window);
  return TRUE;
}

BOOL CALLBACK CollectListBoxes(HWND window, LPARAM data) {
  std::string name = ClassNameOf(window);
  std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return static_cast<char>(tolower(c)); });
  if (name.find("listbox") != std::string::npos) reinterpret_cast<std::vector<HWND>*>(data)->push_back(window);
  return TRUE;
}

BOOL CALLBACK CollectStaticTexts(HWND window, LPARAM data) {
  if (ClassNameOf(window) == "Static") {
    std::string text = WindowText(window);
    auto* longest = reinterpret_cast<std::string*>(data);
    if (text.size() > longest->size()) *longest = std::move(text);
  }
  return TRUE;
}

void ReadPipe(HANDLE pipe, std::string* into) {
  char buffer[4096];
  DWORD read = 0;
  while (ReadFile(pipe, buffer, sizeof(buffer), &read, nullptr) && read > 0) into->append(buffer, read);
}

// The environment of this process with some variables added or replaced, as a
// block for CreateProcess.
std::string EnvironmentBlock(const std::vector<std::pair<std::string, std::string>>& changes) {
  std::string block;
  char* strings = GetEnvironmentStringsA();
  for (const char* entry = strings; entry && *entry; entry += std::strlen(entry) + 1) {
    const std::string line = entry;
    const size_t equals = line.find('=', 1);
    const std::string name = line.substr(0, equals);
    const bool replaced = std::any_of(changes.begin(), changes.end(), [&](const auto& change) {
      return _stricmp(change.first.c_str(), name.c_str()) == 0;
    });
    if (!replaced) block.append(line).push_back('\0');
  }
  if (strings) FreeEnvironmentStringsA(strings);
  for (const auto& [name, value] : changes) block.append(name + "=" + value).push_back('\0');
  block.push_back('\0');
  return block;
}

// ZapnixWatch.dll stays loaded here for the whole run: the hooks name it.
HMODULE WatchLibrary() {
  static HMODULE library = LoadLibraryA(SuiteFile("ZapnixWatch.dll").c_str());
  return library;
}

}  // namespace

std::string ToAnsi(const std::wstring& text) {
  if (text.empty()) return {};
  const int size = WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                       nullptr);
  std::string result(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), result.data(), size, nullptr, nullptr);
  return result;
}

// ---------------------------------------------------------------------------

UniqueHandle& UniqueHandle::operator=(UniqueHandle&& other) noexcept {
  if (this != &other) {
    Reset();
    handle_ = std::exchange(other.handle_, nullptr);
  }
  return *this;
}

void UniqueHandle::Reset() {
  if (handle_) CloseHandle(std::exchange(handle_, nullptr));
}

// ---------------------------------------------------------------------------

std::string DistFolder() {
  char value[MAX_PATH * 4] = {};
  const DWORD length = GetEnvironmentVariableA("ZX_DIST_WIN64", value, sizeof(value));
  std::string folder = length > 0 && length < sizeof(value) ? std::string(value, length) : BuildFolder();
  while (!folder.empty() && (folder.back() == '\\' || folder.back() == '/')) folder.pop_back();
  return folder;
}

std::string SuiteFile(const std::string& name) {
  const std::string inDist = DistFolder() + "\\" + name;
  if (FileExists(inDist)) return inDist;
  return BuildFolder() + "\\" + name;
}

bool FileExists(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

TempFolder::TempFolder() {
  static std::atomic<unsigned> counter{0};
  char temp[MAX_PATH + 1] = {};
  const DWORD length = GetTempPathA(sizeof(temp), temp);
  std::string base = length > 0 && length < sizeof(temp) ? std::string(temp, length) : std::string("C:\\");
  if (base.back() != '\\') base.push_back('\\');
  for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
    const std::string candidate = base + "zxe2e-" + std::to_string(GetCurrentProcessId()) + "-" +
                                  std::to_string(counter++) + "-" + std::to_string(GetTickCount64() % 100000);
    if (CreateDirectoryA(candidate.c_str(), nullptr)) path_ = candidate;
  }
  if (path_.empty()) ADD_FAILURE() << "cannot create a temporary folder under " << base;
}

TempFolder::~TempFolder() {
  if (path_.empty()) return;
  WIN32_FIND_DATAA found;
  const HANDLE search = FindFirstFileA((path_ + "\\*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) DeleteFileA(File(found.cFileName).c_str());
    } while (FindNextFileA(search, &found));
    FindClose(search);
  }
  RemoveDirectoryA(path_.c_str());
}

void TempFolder::Copy(const std::string& source, const std::string& name) const {
  if (!CopyFileA(source.c_str(), File(name).c_str(), FALSE))
    ADD_FAILURE() << "cannot copy " << source << " to " << File(name) << " (error " << GetLastError() << ")";
}

void TempFolder::Write(const std::string& name, const std::string& bytes) const {
  FILE* file = std::fopen(File(name).c_str(), "wb");
  if (!file) {
    ADD_FAILURE() << "cannot write " << File(name);
    return;
  }
  std::fwrite(bytes.data(), 1, bytes.size(), file);
  std::fclose(file);
}

// ---------------------------------------------------------------------------

bool AtomPresent(const char* name) {
  return GlobalFindAtomA(name) != 0;
}

void AddAtomReferences(const char* name, int count) {
  for (int i = 0; i < count; ++i) GlobalAddAtomA(name);
}

int CountAtomReferences(const char* name) {
  int count = 0;
  for (ATOM atom = GlobalFindAtomA(name); atom != 0 && count < 10000; atom = GlobalFindAtomA(name)) {
    if (GlobalDeleteAtom(atom) != 0) break;
    ++count;
  }
  AddAtomReferences(name, count);
  return count;
}

void PurgeAtom(const char* name) {
  for (int i = 0; i < 10000; ++i) {
    const ATOM atom = GlobalFindAtomA(name);
    if (atom == 0 || GlobalDeleteAtom(atom) != 0) return;
  }
}

// ---------------------------------------------------------------------------

bool KeyExists(const std::string& path) {
  RegKey key;
  return key.Open(path);
}

std::optional<std::string> ReadText(const std::string& path, const char* name) {
  RegKey key;
  if (!key.Open(path)) return std::nullopt;
  DWORD type = 0;
  DWORD size = 0;
  if (RegQueryValueExA(key.Get(), name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS || type != REG_SZ)
    return std::nullopt;
  std::string text(static_cast<size_t>(size) + 1, '\0');
  if (RegQueryValueExA(key.Get(), name, nullptr, &type, reinterpret_cast<BYTE*>(text.data()), &size) != ERROR_SUCCESS)
    return std::nullopt;
  text.resize(strnlen(text.c_str(), size));
  return text;
}

std::vector<std::string> ValueNames(const std::string& path) {
  std::vector<std::string> names;
  RegKey key;
  if (!key.Open(path)) return names;
  std::vector<char> name(16384 + 1);
  for (DWORD index = 0;; ++index) {
    DWORD length = static_cast<DWORD>(name.size());
    if (RegEnumValueA(key.Get(), index, name.data(), &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
      break;
    names.emplace_back(name.data(), length);
  }
  return names;
}

void WriteText(const std::string& path, const char* name, const std::string& text) {
  RegKey key;
  if (!key.Create(path) || RegSetValueExA(key.Get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                                          static_cast<DWORD>(text.size() + 1)) != ERROR_SUCCESS)
    ADD_FAILURE() << "cannot write HKEY_CURRENT_USER\\" << path;
}

void DeleteTree(const std::string& path) {
  const LSTATUS status = RegDeleteTreeA(HKEY_CURRENT_USER, path.c_str());
  if (status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND) RegDeleteKeyA(HKEY_CURRENT_USER, path.c_str());
}

bool MakeListsUnwritable() {
  DeleteTree("Vantrel Software");
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, kProgramKey, 0, nullptr, REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr, &key,
                      nullptr) != ERROR_SUCCESS)
    return false;
  RegCloseKey(key);
  return true;
}

// ---------------------------------------------------------------------------

std::string ClassNameOf(HWND window) {
  char name[256] = {};
  const int length = GetClassNameA(window, name, sizeof(name));
  return std::string(name, length > 0 ? static_cast<size_t>(length) : 0);
}

std::vector<HWND> TopLevelWindows(DWORD processId, const char* className, const char* text) {
  WindowSearch search{processId, className, text, {}};
  EnumWindows(CollectTopLevel, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

std::optional<LRESULT> SendWithTimeout(HWND window, UINT message, WPARAM wParam, LPARAM lParam, DWORD timeoutMs) {
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutA(window, message, wParam, lParam, SMTO_ABORTIFHUNG, timeoutMs, &result))
    return std::nullopt;
  return static_cast<LRESULT>(result);
}

std::vector<HWND> ListBoxes(HWND parent) {
  std::vector<HWND> boxes;
  EnumChildWindows(parent, CollectListBoxes, reinterpret_cast<LPARAM>(&boxes));
  return boxes;
}

std::vector<std::string> ListBoxRows(HWND listBox) {
  std::vector<std::string> rows;
  DWORD_PTR count = 0;
  if (!SendMessageTimeoutW(listBox, LB_GETCOUNT, 0, 0, SMTO_ABORTIFHUNG, kAnswerTimeoutMs, &count)) return rows;
  for (DWORD_PTR row = 0; row < count && row < 100000; ++row) {
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(listBox, LB_GETTEXTLEN, row, 0, SMTO_ABORTIFHUNG, kAnswerTimeoutMs, &length) ||
        static_cast<LRESULT>(length) < 0)
      break;
    if (length > kLongestReadableRow) {
      char placeholder[40];
      std::snprintf(placeholder, sizeof(placeholder), "<%llu characters>", static_cast<unsigned long long>(length));
      rows.emplace_back(placeholder);
      continue;
    }
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutW(listBox, LB_GETTEXT, row, reinterpret_cast<LPARAM>(text.data()), SMTO_ABORTIFHUNG,
                             kAnswerTimeoutMs, &copied) ||
        static_cast<LRESULT>(copied) < 0)
      break;
    text.resize(std::min<size_t>(static_cast<size_t>(copied), text.size() - 1));
    rows.push_back(ToAnsi(text));
  }
  return rows;
}

int FindListBoxRow(HWND listBox, const std::string& text) {
  const int size = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
  std::wstring wide(static_cast<size_t>(std::max(size, 1)), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, wide.data(), size);
  DWORD_PTR found = static_cast<DWORD_PTR>(LB_ERR);
  if (!SendMessageTimeoutW(listBox, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                           reinterpret_cast<LPARAM>(wide.c_str()), SMTO_ABORTIFHUNG, kAnswerTimeoutMs, &found))
    return -1;
  return static_cast<LRESULT>(found) < 0 ? -1 : static_cast<int>(found);
}

// ---------------------------------------------------------------------------

ToolResult RunTool(const std::string& program, const std::string& arguments, DWORD timeoutMs) {
  ToolResult result;
  SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
  HANDLE outRead = nullptr, outWrite = nullptr, errRead = nullptr, errWrite = nullptr;
  if (!CreatePipe(&outRead, &outWrite, &inherit, 0) || !CreatePipe(&errRead, &errWrite, &inherit, 0)) {
    ADD_FAILURE() << "cannot create pipes for " << program;
    return result;
  }
  UniqueHandle outReader(outRead), outWriter(outWrite), errReader(errRead), errWriter(errWrite);
  SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);
  SetHandleInformation(errRead, HANDLE_FLAG_INHERIT, 0);

  STARTUPINFOA startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = outWrite;
  startup.hStdError = errWrite;
  PROCESS_INFORMATION info{};
  std::string commandLine = "\"" + program + "\" " + arguments;
  if (!CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                      nullptr, &startup, &info)) {
    ADD_FAILURE() << "cannot start " << program << " (error " << GetLastError() << ")";
    return result;
  }
  UniqueHandle process(info.hProcess), thread(info.hThread);
  // Only the child may hold the writing ends now, so that the readers see the end.
  outWriter.Reset();
  errWriter.Reset();
  std::thread outThread(ReadPipe, outRead, &result.out);
  std::thread errThread(ReadPipe, errRead, &result.err);
  if (WaitForSingleObject(process.Get(), timeoutMs) != WAIT_OBJECT_0) {
    ADD_FAILURE() << program << " " << arguments << " did not end within " << timeoutMs << " ms";
    TerminateProcess(process.Get(), 255);
    WaitForSingleObject(process.Get(), kExitTimeoutMs);
  }
  outThread.join();
  errThread.join();
  GetExitCodeProcess(process.Get(), &result.exitCode);
  // Console output ends its lines with CR LF; the tests compare plain lines.
  std::erase(result.out, '\r');
  std::erase(result.err, '\r');
  return result;
}

ToolResult RunSim(const std::string& arguments) {
  return RunTool(SuiteFile("ZapnixSim.exe"), arguments);
}

// ---------------------------------------------------------------------------

namespace {

constexpr char kShellTrayClass[] = "Shell_TrayWnd";

LRESULT CALLBACK FakeShellTrayProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* tray = reinterpret_cast<FakeShellTray*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  switch (message) {
    case WM_COPYDATA: {
      if (!tray) return FALSE;
      const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
      tray->Note({static_cast<DWORD>(data->dwData), reinterpret_cast<HWND>(wParam)});
      return tray->GetAnswer() == FakeShellTray::Answer::kAccept;
    }
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

}  // namespace

FakeShellTray::FakeShellTray(Answer answer) : answer_(answer) {
  std::promise<HWND> ready;
  std::future<HWND> created = ready.get_future();
  thread_ = std::thread(&FakeShellTray::Run, this, &ready);
  window_ = created.get();
  if (!window_) ADD_FAILURE() << "cannot create the stand-in notification area";
}

FakeShellTray::~FakeShellTray() {
  if (window_) PostMessageA(window_, WM_CLOSE, 0, 0);
  thread_.join();
}

void FakeShellTray::Run(std::promise<HWND>* ready) {
  const HINSTANCE instance = GetModuleHandleA(nullptr);
  WNDCLASSA windowClass{};
  if (!GetClassInfoA(instance, kShellTrayClass, &windowClass)) {
    windowClass.lpfnWndProc = FakeShellTrayProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = kShellTrayClass;
    RegisterClassA(&windowClass);
  }
  const HWND window = CreateWindowExA(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, kShellTrayClass, "", WS_POPUP, 0, 0, 1, 1,
                                      nullptr, nullptr, instance, nullptr);
  if (window) SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  ready->set_value(window);
  if (!window) return;
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) DispatchMessageA(&message);
}

bool FakeShellTray::InFront() const {
  return window_ && FindWindowA(kShellTrayClass, nullptr) == window_;
}

std::vector<FakeShellTray::Request> FakeShellTray::Requests() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return requests_;
}

HWND FakeShellTray::AddedIconWindow() const {
  std::lock_guard<std::mutex> lock(mutex_);
  for (const Request& request : requests_)
    if (request.operation == NIM_ADD) return request.window;
  return nullptr;
}

void FakeShellTray::Note(const Request& request) {
  std::lock_guard<std::mutex> lock(mutex_);
  requests_.push_back(request);
}

// ---------------------------------------------------------------------------

ZapnixProcess::ZapnixProcess(const StartOptions& options) {
  const std::string folder = options.folder.empty() ? DistFolder() : options.folder;
  const std::string program = folder + "\\Zapnix.exe";
  if (!FileExists(program)) {
    ADD_FAILURE() << "Zapnix.exe not found at " << program << " (set ZX_DIST_WIN64)";
    return;
  }
  std::string environment;
  if (!options.environment.empty()) environment = EnvironmentBlock(options.environment);
  STARTUPINFOA startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info{};
  std::string commandLine = "\"" + program + "\"";
  if (!CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED,
                      environment.empty() ? nullptr : environment.data(), folder.c_str(), &startup, &info)) {
    ADD_FAILURE() << "cannot start " << program << " (error " << GetLastError() << ")";
    return;
  }
  process_ = UniqueHandle(info.hProcess);
  UniqueHandle thread(info.hThread);
  processId_ = info.dwProcessId;

  if (options.watch) {
    // The hooks go on the main thread before it runs, so the first show is seen too.
    char name[64];
    std::snprintf(name, sizeof(name), kWatchLogNameFormat, static_cast<unsigned long>(info.dwThreadId));
    watchMapping_ = UniqueHandle(CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                                    sizeof(WatchLog), name));
    if (watchMapping_)
      watchLog_ = static_cast<WatchLog*>(MapViewOfFile(watchMapping_.Get(), FILE_MAP_WRITE, 0, 0, sizeof(WatchLog)));
    const HMODULE library = WatchLibrary();
    if (watchLog_ && library) {
      std::memset(watchLog_, 0, sizeof(WatchLog));
      std::snprintf(watchLog_->watchedClass, sizeof(watchLog_->watchedClass), "%s", kMainWindowClass);
      const auto sent = reinterpret_cast<HOOKPROC>(GetProcAddress(library, "ZapnixWatchSent"));
      const auto posted = reinterpret_cast<HOOKPROC>(GetProcAddress(library, "ZapnixWatchPosted"));
      if (sent) hooks_.push_back(SetWindowsHookExA(WH_CALLWNDPROC, sent, library, info.dwThreadId));
      if (posted) hooks_.push_back(SetWindowsHookExA(WH_GETMESSAGE, posted, library, info.dwThreadId));
    }
    if (hooks_.size() != 2 || std::count(hooks_.begin(), hooks_.end(), nullptr) != 0)
      ADD_FAILURE() << "cannot watch the main window through " << SuiteFile("ZapnixWatch.dll");
  }
  ResumeThread(thread.Get());
}

ZapnixProcess::~ZapnixProcess() {
  Kill();
  for (HHOOK hook : hooks_)
    if (hook) UnhookWindowsHookEx(hook);
  if (watchLog_) UnmapViewOfFile(watchLog_);
}

bool ZapnixProcess::Running() const {
  return process_ && WaitForSingleObject(process_.Get(), 0) == WAIT_TIMEOUT;
}

std::optional<DWORD> ZapnixProcess::WaitForExit(DWORD timeoutMs) {
  if (!process_ || WaitForSingleObject(process_.Get(), timeoutMs) != WAIT_OBJECT_0) return std::nullopt;
  DWORD code = 0;
  GetExitCodeProcess(process_.Get(), &code);
  return code;
}

void ZapnixProcess::Kill() {
  if (!Running()) return;
  TerminateProcess(process_.Get(), 255);
  WaitForSingleObject(process_.Get(), kExitTimeoutMs);
}

HWND ZapnixProcess::MainWindow() const {
  const std::vector<HWND> windows = Windows(kMainWindowClass, kMainWindowText);
  return windows.empty() ? nullptr : windows.front();
}

HWND ZapnixProcess::WaitForMainWindow(DWORD timeoutMs) {
  HWND window = nullptr;
  WaitFor([&] { return (window = MainWindow()) != nullptr || !Running(); }, timeoutMs);
  return window;
}

bool ZapnixProcess::WaitUntilHiddenAfterFirstPaint(DWORD timeoutMs) {
  WaitFor([&] { return WindowEvents().find(kWatchHidden) != std::string::npos || !Running(); }, timeoutMs);
  const HWND window = MainWindow();
  return WindowEvents().find(kWatchHidden) != std::string::npos && window && !IsWindowVisible(window);
}

std::string ZapnixProcess::WindowEvents() const {
  if (!watchLog_) return {};
  const long count = std::clamp<long>(watchLog_->count, 0, static_cast<long>(sizeof(watchLog_->events)));
  return std::string(watchLog_->events, static_cast<size_t>(count));
}

std::optional<MessageBoxSeen> ZapnixProcess::FindMessageBox() const {
  const std::vector<HWND> boxes = Windows("#32770", kApplicationTitle);
  if (boxes.empty()) return std::nullopt;
  MessageBoxSeen box;
  box.window = boxes.front();
  box.title = kApplicationTitle;
  EnumChildWindows(box.window, CollectStaticTexts, reinterpret_cast<LPARAM>(&box.text));
  return box;
}

std::optional<MessageBoxSeen> ZapnixProcess::WaitForMessageBox(DWORD timeoutMs) const {
  std::optional<MessageBoxSeen> box;
  WaitFor([&] { return (box = FindMessageBox()).has_value() || !Running(); }, timeoutMs);
  return box;
}

bool ZapnixProcess::PressOk(const MessageBoxSeen& box) const {
  const HWND button = GetDlgItem(box.window, IDOK);
  PostMessageA(box.window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(button));
  return WaitFor([&] { return !IsWindow(box.window); }, kAnswerTimeoutMs);
}

std::optional<WatchCounts> ZapnixProcess::CountObjects(bool plantLeak) const {
  const HWND window = MainWindow();
  if (!watchLog_ || !window) return std::nullopt;
  const long before = watchLog_->counts.answers;
  const std::optional<LRESULT> sent = SendWithTimeout(window, RegisterWindowMessageA(kWatchCountMessageName),
                                                      plantLeak ? kWatchPlantLeak : kWatchCount, 0);
  if (!sent || watchLog_->counts.answers == before) return std::nullopt;
  return watchLog_->counts;
}

size_t ZapnixProcess::WorkingSet() const {
  PROCESS_MEMORY_COUNTERS memory{};
  memory.cb = sizeof(memory);
  if (!process_ || !K32GetProcessMemoryInfo(process_.Get(), &memory, sizeof(memory))) return 0;
  return memory.WorkingSetSize;
}

bool ZapnixProcess::AskToClose() const {
  const HWND window = MainWindow();
  return window && SendWithTimeout(window, RegisterWindowMessageA(kCanCloseMessageName), 0, 0).has_value();
}

// ---------------------------------------------------------------------------

void ZapnixTest::SetUp() {
  // Every test process of the run shares the desktop's atoms and the user's
  // registry: one test at a time, across processes.
  desktopLock_ = UniqueHandle(CreateMutexA(nullptr, FALSE, "Local\\ZapnixEndToEndDesktop"));
  ASSERT_TRUE(desktopLock_) << "cannot create the desktop lock";
  const DWORD waited = WaitForSingleObject(desktopLock_.Get(), 110000);
  if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED) {
    desktopLock_.Reset();
    FAIL() << "another test kept the desktop for more than 110 s";
  }
  ASSERT_EQ(FindWindowA(kMainWindowClass, kMainWindowText), nullptr)
      << "a Zapnix that this test did not start runs on the desktop";
  CleanSlate();
}

void ZapnixTest::TearDown() {
  CleanSlate();
  if (desktopLock_) ReleaseMutex(desktopLock_.Get());
  desktopLock_.Reset();
}

void ZapnixTest::CleanSlate() {
  PurgeAtom(kInstanceAtom);
  PurgeAtom(kRunningAtom);
  PurgeAtom(kEngineMarkerAtom);
  DeleteTree(kProgramKey);
  DeleteTree(kEngineClassKey);
  DeleteTree(kEngineProgIdKey);
}

}  // namespace e2e
