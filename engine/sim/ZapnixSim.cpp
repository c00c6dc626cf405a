// ZapnixSim: plays the blocking engine toward a running Zapnix, through the
// same channels the engine uses (the Stoped value, the two registered window
// messages, the global atoms and the list subkeys), so that the program can be
// tried and tested without the real engine.
#include <windows.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr char kProgramKey[] = "Vantrel Software\\Popup Zapnix";
constexpr char kStoppedKey[] = "Vantrel Software\\Popup Zapnix\\Stoped";
constexpr char kMainWindowClass[] = "TForm1";
constexpr char kMainWindowText[] = "Vantrel Zapnix";
constexpr DWORD kAnswerTimeoutMs = 5000;
constexpr DWORD kEndTimeoutMs = 10000;
constexpr unsigned long kMaxRawLength = 1000000;

enum ExitCode { kDone = 0, kBadArguments = 1, kNotRunning = 2, kFailed = 3 };

class RegKey {
 public:
  RegKey() = default;
  RegKey(const RegKey&) = delete;
  RegKey& operator=(const RegKey&) = delete;
  ~RegKey() {
    if (key_) RegCloseKey(key_);
  }
  LSTATUS Create(const char* path) {
    return RegCreateKeyExA(HKEY_CURRENT_USER, path, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_READ | KEY_WRITE,
                           nullptr, &key_, nullptr);
  }
  LSTATUS Open(const char* path) { return RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_READ, &key_); }
  HKEY Get() const { return key_; }

 private:
  HKEY key_ = nullptr;
};

class Handle {
 public:
  explicit Handle(HANDLE handle) : handle_(handle) {}
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  ~Handle() {
    if (handle_) CloseHandle(handle_);
  }
  HANDLE Get() const { return handle_; }

 private:
  HANDLE handle_;
};

void PrintUsage() {
  std::fputs(
      "usage: ZapnixSim <command> [arguments]\n"
      "  stop <url>                  store <url> as the stopped URL and tell Zapnix\n"
      "  stop-raw length <n>         store a URL of exactly n characters and tell Zapnix\n"
      "  stop-raw unterminated <n>   store n bytes of text without a terminating zero\n"
      "  stop-raw dword <number>     store a number (REG_DWORD) in place of the URL\n"
      "  stop-raw missing            remove the Stoped key, then tell Zapnix\n"
      "  stop-many <n> <distinct>    report n stops that cycle through <distinct> different URLs\n"
      "  close                       ask Zapnix to close and wait until it has ended\n"
      "  status                      show the atoms, the white and black lists and the stopped URL\n"
      "exit codes: 0 done, 1 bad arguments, 2 Zapnix is not running,\n"
      "            3 Zapnix did not answer or a registry operation failed\n",
      stderr);
}

int BadArguments(const char* why) {
  std::fprintf(stderr, "ZapnixSim: %s\n", why);
  PrintUsage();
  return kBadArguments;
}

std::string SystemMessage(DWORD code) {
  char text[256] = {};
  const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                                      text, sizeof(text), nullptr);
  std::string result(text, length);
  while (!result.empty() && (result.back() == '\n' || result.back() == '\r' || result.back() == ' '))
    result.pop_back();
  return result.empty() ? "error " + std::to_string(code) : result;
}

bool ParseCount(const char* text, unsigned long& value) {
  if (!text || *text < '0' || *text > '9') return false;
  char* end = nullptr;
  errno = 0;
  value = std::strtoul(text, &end, 10);
  return errno == 0 && *end == '\0' && value <= kMaxRawLength;
}

HWND FindMainWindow() {
  return FindWindowA(kMainWindowClass, kMainWindowText);
}

int NotRunning() {
  std::fputs("Zapnix is not running (no window of class TForm1 with the text \"Vantrel Zapnix\").\n", stderr);
  return kNotRunning;
}

// Sends a registered message as the engine does. The program ignores wParam and
// lParam; a timeout means the program is hung or gone.
int SendRegistered(HWND window, const char* name) {
  const UINT message = RegisterWindowMessageA(name);
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutA(window, message, 0, 0, SMTO_ABORTIFHUNG, kAnswerTimeoutMs, &result)) {
    std::fprintf(stderr, "ZapnixSim: Zapnix did not answer \"%s\" within %lu ms.\n", name,
                 static_cast<unsigned long>(kAnswerTimeoutMs));
    return kFailed;
  }
  return kDone;
}

// Writes the default value of the Stoped key: type and bytes exactly as given,
// so that malformed values can be reported too.
int WriteStopped(DWORD type, const void* data, DWORD size) {
  RegKey key;
  LSTATUS status = key.Create(kStoppedKey);
  if (status == ERROR_SUCCESS)
    status = RegSetValueExA(key.Get(), nullptr, 0, type, static_cast<const BYTE*>(data), size);
  if (status != ERROR_SUCCESS) {
    std::fprintf(stderr, "ZapnixSim: cannot write HKEY_CURRENT_USER\\%s: %s\n", kStoppedKey,
                 SystemMessage(static_cast<DWORD>(status)).c_str());
    return kFailed;
  }
  return kDone;
}

int ReportStop(HWND window, const char* what) {
  const int code = SendRegistered(window, "VantrelZapnixStopURL");
  if (code == kDone) std::printf("Reported %s to Zapnix.\n", what);
  return code;
}

// A URL as the messages show it: long ones by their start and length.
std::string Shown(const std::string& url) {
  if (url.size() <= 100) return "\"" + url + "\"";
  return "\"" + url.substr(0, 60) + "...\" (" + std::to_string(url.size()) + " characters)";
}

int StopUrl(const std::string& url) {
  const HWND window = FindMainWindow();
  if (!window) return NotRunning();
  const int code = WriteStopped(REG_SZ, url.c_str(), static_cast<DWORD>(url.size() + 1));
  return code == kDone ? ReportStop(window, ("the stopped URL " + Shown(url)).c_str()) : code;
}

int StopRaw(int argc, char** argv) {
  if (argc < 3) return BadArguments("stop-raw needs a variant: length, unterminated, dword or missing");
  const std::string variant = argv[2];
  if (variant == "missing") {
    if (argc != 3) return BadArguments("stop-raw missing takes no further argument");
    const HWND window = FindMainWindow();
    if (!window) return NotRunning();
    const LSTATUS status = RegDeleteKeyA(HKEY_CURRENT_USER, kStoppedKey);
    if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) {
      std::fprintf(stderr, "ZapnixSim: cannot remove HKEY_CURRENT_USER\\%s: %s\n", kStoppedKey,
                   SystemMessage(static_cast<DWORD>(status)).c_str());
      return kFailed;
    }
    return ReportStop(window, "a stop without a Stoped key");
  }
  if (argc != 4) return BadArguments(("stop-raw " + variant + " needs one number").c_str());
  unsigned long count = 0;
  if (!ParseCount(argv[3], count)) return BadArguments("the number must be a decimal count of at most 1000000");
  if (variant == "length") {
    std::string url = "http://";
    url.resize(count < url.size() ? url.size() : count, 'a');
    url.resize(count);
    return StopUrl(url);
  }
  if (variant != "unterminated" && variant != "dword")
    return BadArguments(("unknown stop-raw variant \"" + variant + "\"").c_str());
  const HWND window = FindMainWindow();
  if (!window) return NotRunning();
  int code = kDone;
  if (variant == "unterminated") {
    const std::string bytes(count, 'x');
    code = WriteStopped(REG_SZ, bytes.data(), static_cast<DWORD>(bytes.size()));
  } else {
    const DWORD number = static_cast<DWORD>(count);
    code = WriteStopped(REG_DWORD, &number, sizeof(number));
  }
  return code == kDone ? ReportStop(window, ("a " + variant + " Stoped value").c_str()) : code;
}

// Many reports in one run, as a busy browser session gives them: URL i is
// the (i mod distinct)-th of a fixed set.
int StopMany(int argc, char** argv) {
  unsigned long count = 0, distinct = 0;
  if (argc != 4 || !ParseCount(argv[2], count) || !ParseCount(argv[3], distinct) || distinct == 0)
    return BadArguments("stop-many needs a count and a number of different URLs (at least 1)");
  const HWND window = FindMainWindow();
  if (!window) return NotRunning();
  const UINT message = RegisterWindowMessageA("VantrelZapnixStopURL");
  for (unsigned long i = 0; i < count; ++i) {
    const std::string url = "http://pop" + std::to_string(i % distinct) + ".soak.example/ad";
    const int code = WriteStopped(REG_SZ, url.c_str(), static_cast<DWORD>(url.size() + 1));
    if (code != kDone) return code;
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutA(window, message, 0, 0, SMTO_ABORTIFHUNG, kAnswerTimeoutMs, &result)) {
      std::fprintf(stderr, "ZapnixSim: Zapnix did not answer report %lu within %lu ms.\n", i + 1,
                   static_cast<unsigned long>(kAnswerTimeoutMs));
      return kFailed;
    }
  }
  std::printf("Reported %lu stops of %lu different URLs to Zapnix.\n", count, distinct);
  return kDone;
}

int Close() {
  const HWND window = FindMainWindow();
  if (!window) return NotRunning();
  DWORD processId = 0;
  GetWindowThreadProcessId(window, &processId);
  Handle process(OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
  const int code = SendRegistered(window, "ZapnixCanClose");
  if (code != kDone) return code;
  if (process.Get()) {
    if (WaitForSingleObject(process.Get(), kEndTimeoutMs) != WAIT_OBJECT_0) {
      std::fprintf(stderr, "ZapnixSim: Zapnix did not end within %lu ms.\n", static_cast<unsigned long>(kEndTimeoutMs));
      return kFailed;
    }
    DWORD exitCode = 0;
    GetExitCodeProcess(process.Get(), &exitCode);
    std::printf("Zapnix has ended with exit code %lu.\n", static_cast<unsigned long>(exitCode));
    return kDone;
  }
  // Without access to the process, the window's end is the best sign there is.
  for (DWORD waited = 0; IsWindow(window); waited += 10) {
    if (waited >= kEndTimeoutMs) {
      std::fprintf(stderr, "ZapnixSim: Zapnix did not close within %lu ms.\n", static_cast<unsigned long>(kEndTimeoutMs));
      return kFailed;
    }
    Sleep(10);
  }
  std::puts("Zapnix has closed its window.");
  return kDone;
}

void PrintAtom(const char* name) {
  std::printf("atom %-20s %s\n", name, GlobalFindAtomA(name) ? "present" : "absent");
}

void PrintList(const char* subkey) {
  const std::string path = std::string(kProgramKey) + "\\" + subkey;
  RegKey key;
  if (key.Open(path.c_str()) != ERROR_SUCCESS) {
    std::printf("%s: no subkey\n", subkey);
    return;
  }
  DWORD count = 0;
  DWORD longestName = 0;
  RegQueryInfoKeyA(key.Get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count, &longestName, nullptr,
                   nullptr, nullptr);
  std::printf("%s: %lu value(s)\n", subkey, static_cast<unsigned long>(count));
  std::vector<char> name(static_cast<size_t>(longestName) + 1);
  for (DWORD index = 0;; ++index) {
    DWORD length = static_cast<DWORD>(name.size());
    const LSTATUS status = RegEnumValueA(key.Get(), index, name.data(), &length, nullptr, nullptr, nullptr, nullptr);
    if (status == ERROR_MORE_DATA) {
      // The key grew since it was measured; measure the longer name again.
      name.resize(name.size() * 2);
      --index;
      continue;
    }
    if (status != ERROR_SUCCESS) break;
    std::printf("  %.*s\n", static_cast<int>(length), name.data());
  }
}

void PrintStopped() {
  RegKey key;
  if (key.Open(kStoppedKey) != ERROR_SUCCESS) {
    std::puts("Stoped: no key");
    return;
  }
  DWORD type = 0;
  DWORD size = 0;
  if (RegQueryValueExA(key.Get(), nullptr, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) {
    std::puts("Stoped: no value");
    return;
  }
  std::vector<char> data(static_cast<size_t>(size) + 1, '\0');
  DWORD read = size;
  RegQueryValueExA(key.Get(), nullptr, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &read);
  if (type == REG_SZ || type == REG_EXPAND_SZ) {
    const size_t length = strnlen(data.data(), read);
    const std::string text(data.data(), length);
    std::printf("Stoped: %s%s\n", Shown(text).c_str(), length == read ? ", no terminating zero" : "");
  } else if (type == REG_DWORD && read == sizeof(DWORD)) {
    DWORD number = 0;
    std::memcpy(&number, data.data(), sizeof(number));
    std::printf("Stoped: number %lu (REG_DWORD)\n", static_cast<unsigned long>(number));
  } else {
    std::printf("Stoped: value of type %lu, %lu bytes\n", static_cast<unsigned long>(type),
                static_cast<unsigned long>(read));
  }
}

int Status() {
  const HWND window = FindMainWindow();
  if (window) {
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    std::printf("Zapnix: running, process %lu, main window %s\n", static_cast<unsigned long>(processId),
                IsWindowVisible(window) ? "shown" : "hidden");
  } else {
    std::puts("Zapnix: not running");
  }
  PrintAtom("PopupZapnix");
  PrintAtom("PopupZapnixRunning");
  PrintAtom("IEStillExisted");
  PrintList("WhiteList");
  PrintList("BlackList");
  PrintStopped();
  std::fflush(stdout);
  return window ? kDone : NotRunning();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return BadArguments("no command given");
  const std::string command = argv[1];
  if (command == "stop") {
    if (argc != 3) return BadArguments("stop needs exactly one URL");
    return StopUrl(argv[2]);
  }
  if (command == "stop-raw") return StopRaw(argc, argv);
  if (command == "stop-many") return StopMany(argc, argv);
  if (command == "close") return argc == 2 ? Close() : BadArguments("close takes no argument");
  if (command == "status") return argc == 2 ? Status() : BadArguments("status takes no argument");
  if (command == "help" || command == "--help" || command == "/?") {
    PrintUsage();
    return kDone;
  }
  return BadArguments(("unknown command \"" + command + "\"").c_str());
}
