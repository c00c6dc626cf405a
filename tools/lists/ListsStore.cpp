#include "ListsStore.h"

#include <algorithm>
#include <iterator>

#include "ListFile.h"
#include "Program.h"
#include "Registry.h"
#include "Strings.h"
#include "UrlStore.h"

namespace lists {

namespace {

// The program's main window; a program that runs always has it, also one of
// an earlier build that took no instance lock.
constexpr char kMainWindowClass[] = "TForm1";
constexpr char kMainWindowText[] = "Vantrel Zapnix";

std::wstring WidePath(int selector) {
  const std::string path = std::string(kUrlStoreKey) + "\\" + UrlListSection(selector);
  return std::wstring(path.begin(), path.end());  // the key's path is ASCII
}

class OpenKey {
 public:
  LONG Open(int selector, REGSAM access) {
    return RegOpenKeyExW(HKEY_CURRENT_USER, WidePath(selector).c_str(), 0, access, &key_);
  }
  ~OpenKey() {
    if (key_) RegCloseKey(key_);
  }
  HKEY Get() const { return key_; }

 private:
  HKEY key_ = nullptr;
};

}  // namespace

const char* ListName(int selector) { return selector == 0 ? "white" : "black"; }

LONG ReadList(int selector, std::vector<std::u16string>& names) {
  names.clear();
  OpenKey key;
  LONG result = key.Open(selector, KEY_READ);
  if (result == ERROR_FILE_NOT_FOUND) return ERROR_SUCCESS;
  if (result != ERROR_SUCCESS) return result;
  DWORD count = 0, longest = 0;
  result = RegQueryInfoKeyW(key.Get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count, &longest,
                            nullptr, nullptr, nullptr);
  if (result != ERROR_SUCCESS) return result;
  names.reserve(count);
  std::vector<wchar_t> buffer(std::max<size_t>(static_cast<size_t>(longest) + 1, 256));
  for (DWORD index = 0;;) {
    DWORD length = static_cast<DWORD>(buffer.size());
    result = RegEnumValueW(key.Get(), index, buffer.data(), &length, nullptr, nullptr, nullptr, nullptr);
    if (result == ERROR_NO_MORE_ITEMS) return ERROR_SUCCESS;
    if (result == ERROR_MORE_DATA && buffer.size() < 65536) {
      // A longer name than the key reported when it was measured: read the same one again.
      buffer.resize(buffer.size() * 2);
      continue;
    }
    if (result != ERROR_SUCCESS) return result;
    names.emplace_back(buffer.data(), buffer.data() + std::min<size_t>(length, buffer.size()));
    ++index;
  }
}

LONG CountList(int selector, DWORD& count) {
  count = 0;
  OpenKey key;
  const LONG result = key.Open(selector, KEY_QUERY_VALUE);
  if (result == ERROR_FILE_NOT_FOUND) return ERROR_SUCCESS;
  if (result != ERROR_SUCCESS) return result;
  return RegQueryInfoKeyW(key.Get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count, nullptr, nullptr,
                          nullptr, nullptr);
}

void WriteList(int selector, const std::vector<std::string>& ansiNames) {
  TStringList strings;
  for (const std::string& name : ansiNames) strings.Add(name);
  SaveUrlList(selector, &strings);
}

bool RestoreList(int selector, const std::vector<std::u16string>& names) {
  const std::wstring path = WidePath(selector);
  const LSTATUS erased = RegDeleteTreeW(HKEY_CURRENT_USER, path.c_str());
  if (erased == ERROR_SUCCESS) RegDeleteKeyW(HKEY_CURRENT_USER, path.c_str());
  if (names.empty()) return true;
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr,
                      &key, nullptr) != ERROR_SUCCESS)
    return false;
  bool all = true;
  const wchar_t empty[1] = {L'\0'};
  for (const std::u16string& name : names) {
    const std::wstring wide(name.begin(), name.end());
    all = RegSetValueExW(key, wide.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(empty), sizeof(empty)) ==
              ERROR_SUCCESS &&
          all;
  }
  RegCloseKey(key);
  return all;
}

std::string SystemMessage(DWORD code) {
  // The wide form, so that a message in any language reaches the UTF-8 output whole.
  wchar_t text[512] = {};
  const DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                                      text, static_cast<DWORD>(std::size(text)), nullptr);
  std::u16string message(text, text + std::min<size_t>(length, std::size(text)));
  while (!message.empty() && (message.back() == u'\n' || message.back() == u'\r' || message.back() == u' ' ||
                              message.back() == u'.'))
    message.pop_back();
  return message.empty() ? "error " + std::to_string(code) : EncodeUtf8(message);
}

bool ProgramRuns() {
  if (FindWindowA(kMainWindowClass, kMainWindowText)) return true;
  const HANDLE mutex = OpenMutexA(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, kInstanceMutex);
  if (!mutex) return false;
  const DWORD waited = WaitForSingleObject(mutex, 0);
  if (waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED) ReleaseMutex(mutex);
  CloseHandle(mutex);
  return waited == WAIT_TIMEOUT;
}

InstanceHold::InstanceHold() { mutex_ = CreateMutexA(nullptr, FALSE, kInstanceMutex); }

InstanceHold::~InstanceHold() {
  if (held_) ReleaseMutex(mutex_);
  if (mutex_) CloseHandle(mutex_);
}

bool InstanceHold::Take(DWORD timeoutMs) {
  if (held_) return true;
  if (!mutex_) return false;
  // Abandoned: a program that held it ended without releasing it; it is ours now.
  const DWORD waited = WaitForSingleObject(mutex_, timeoutMs);
  held_ = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
  return held_;
}

bool CloseProgram(DWORD timeoutMs, std::string& why) {
  const HWND window = FindWindowA(kMainWindowClass, kMainWindowText);
  if (!window) {
    why = "Zapnix holds its instance lock but shows no main window: it may be starting or stopping";
    return false;
  }
  DWORD processId = 0;
  GetWindowThreadProcessId(window, &processId);
  const HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, processId);
  DWORD_PTR answer = 0;
  const UINT message = RegisterWindowMessageA("ZapnixCanClose");
  if (message == 0 || !SendMessageTimeoutA(window, message, 0, 0, SMTO_ABORTIFHUNG, 5000, &answer)) {
    if (process) CloseHandle(process);
    why = "Zapnix did not answer the request to close";
    return false;
  }
  bool ended = false;
  if (process) {
    ended = WaitForSingleObject(process, timeoutMs) == WAIT_OBJECT_0;
    CloseHandle(process);
  } else {
    // Without a handle on the process the window's end is the sign there is.
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    while (IsWindow(window) && GetTickCount64() < end) Sleep(10);
    ended = !IsWindow(window);
  }
  if (!ended) why = "Zapnix did not end within " + std::to_string(timeoutMs / 1000) + " seconds";
  return ended;
}

}  // namespace lists
