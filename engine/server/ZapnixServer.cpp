// The stand-in blocking engine: a COM in-process server with one class whose
// object does nothing but exist. Self-registration is real but per user: it
// writes the class and its ProgID under HKEY_CURRENT_USER\Software\Classes and
// touches nothing else, so the program can be run and tested without the
// real engine and without administrator rights.
//
// Setting the environment variable ZAPNIX_ENGINE_FAIL to 1 makes
// DllRegisterServer fail with SELFREG_E_CLASS without writing anything; the
// end-to-end tests use it to check that the program ignores a failing engine.
#include <windows.h>
#include <ole2.h>
#include <olectl.h>

#include <cwchar>
#include <new>
#include <string>
#include <utility>

namespace {

// {BFE99D69-1EEB-404A-9B33-EB5E5123C84A}
constexpr CLSID kEngineClsid = {0xbfe99d69, 0x1eeb, 0x404a, {0x9b, 0x33, 0xeb, 0x5e, 0x51, 0x23, 0xc8, 0x4a}};
constexpr wchar_t kEngineClsidText[] = L"{BFE99D69-1EEB-404A-9B33-EB5E5123C84A}";
constexpr wchar_t kClassKey[] = L"Software\\Classes\\CLSID\\{BFE99D69-1EEB-404A-9B33-EB5E5123C84A}";
constexpr wchar_t kProgIdKey[] = L"Software\\Classes\\Zapnix.Server";
constexpr wchar_t kProgId[] = L"Zapnix.Server";
constexpr wchar_t kDescription[] = L"Zapnix Server";

HMODULE g_module = nullptr;
// Live engine objects and server locks (factory references included); the
// library may be unloaded only when both are zero.
LONG g_objects = 0;
LONG g_locks = 0;

class RegKey {
 public:
  RegKey() = default;
  RegKey(const RegKey&) = delete;
  RegKey& operator=(const RegKey&) = delete;
  RegKey(RegKey&& other) noexcept : key_(std::exchange(other.key_, nullptr)) {}
  RegKey& operator=(RegKey&& other) noexcept {
    if (this != &other) {
      Close();
      key_ = std::exchange(other.key_, nullptr);
    }
    return *this;
  }
  ~RegKey() { Close(); }

  // Opens or creates a key below HKEY_CURRENT_USER for writing.
  LSTATUS Create(const std::wstring& path) {
    Close();
    return RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                           KEY_READ | KEY_WRITE, nullptr, &key_, nullptr);
  }
  LSTATUS OpenRead(const std::wstring& path) {
    Close();
    return RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key_);
  }
  // Writes a REG_SZ value; a null name writes the key's default value.
  LSTATUS SetText(const wchar_t* name, const std::wstring& text) {
    const DWORD bytes = static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t));
    return RegSetValueExW(key_, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()), bytes);
  }
  // Reads a REG_SZ value of at most a few hundred characters; false when it is
  // missing, of another type or longer.
  bool GetShortText(const wchar_t* name, std::wstring& text) const {
    wchar_t buffer[256] = {};
    DWORD type = 0;
    DWORD bytes = sizeof(buffer) - sizeof(wchar_t);  // keeps room for a terminating zero
    if (RegQueryValueExW(key_, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &bytes) != ERROR_SUCCESS ||
        type != REG_SZ)
      return false;
    buffer[bytes / sizeof(wchar_t)] = L'\0';
    text = buffer;
    return true;
  }
  void Close() {
    if (key_) RegCloseKey(std::exchange(key_, nullptr));
  }

 private:
  HKEY key_ = nullptr;
};

// The full path of this library, however long.
std::wstring ModulePath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(g_module, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return {};
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    if (path.size() >= 32768) return {};
    path.resize(path.size() * 2);
  }
}

bool RegistrationForcedToFail() {
  wchar_t value[8] = {};
  const DWORD length = GetEnvironmentVariableW(L"ZAPNIX_ENGINE_FAIL", value, 8);
  return length > 0 && length < 8 && std::wcscmp(value, L"1") == 0;
}

LSTATUS DeleteTreeIfPresent(const wchar_t* path) {
  const LSTATUS status = RegDeleteTreeW(HKEY_CURRENT_USER, path);
  return status == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : status;
}

// Removes the class key, and the ProgID key only while it still names our
// class: a ProgID taken over by another registration is left alone.
LSTATUS RemoveRegistration() {
  LSTATUS result = DeleteTreeIfPresent(kClassKey);
  RegKey clsidOfProgId;
  std::wstring clsid;
  if (clsidOfProgId.OpenRead(std::wstring(kProgIdKey) + L"\\CLSID") == ERROR_SUCCESS &&
      clsidOfProgId.GetShortText(nullptr, clsid)) {
    clsidOfProgId.Close();
    if (_wcsicmp(clsid.c_str(), kEngineClsidText) == 0) {
      const LSTATUS progIdResult = DeleteTreeIfPresent(kProgIdKey);
      if (result == ERROR_SUCCESS) result = progIdResult;
    }
  }
  return result;
}

LSTATUS WriteRegistration(const std::wstring& modulePath) {
  RegKey key;
  LSTATUS status = key.Create(kClassKey);
  if (status == ERROR_SUCCESS) status = key.SetText(nullptr, kDescription);
  if (status == ERROR_SUCCESS) status = key.Create(std::wstring(kClassKey) + L"\\InprocServer32");
  if (status == ERROR_SUCCESS) status = key.SetText(nullptr, modulePath);
  if (status == ERROR_SUCCESS) status = key.SetText(L"ThreadingModel", L"Apartment");
  if (status == ERROR_SUCCESS) status = key.Create(std::wstring(kClassKey) + L"\\ProgID");
  if (status == ERROR_SUCCESS) status = key.SetText(nullptr, kProgId);
  if (status == ERROR_SUCCESS) status = key.Create(kProgIdKey);
  if (status == ERROR_SUCCESS) status = key.SetText(nullptr, kDescription);
  if (status == ERROR_SUCCESS) status = key.Create(std::wstring(kProgIdKey) + L"\\CLSID");
  if (status == ERROR_SUCCESS) status = key.SetText(nullptr, kEngineClsidText);
  return status;
}

// The engine object. The blocking itself lives in the real engine; this one
// only proves that the class can be created through its registration.
class Engine final : public IUnknown {
 public:
  Engine() { InterlockedIncrement(&g_objects); }
  Engine(const Engine&) = delete;
  Engine& operator=(const Engine&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
    if (!object) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown)) {
      *object = static_cast<IUnknown*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&references_)); }
  ULONG STDMETHODCALLTYPE Release() override {
    const LONG left = InterlockedDecrement(&references_);
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
  }

 private:
  ~Engine() { InterlockedDecrement(&g_objects); }
  LONG references_ = 1;
};

// One factory for the whole library. Its references count as server locks so
// that the library stays loaded while a client holds the factory.
class EngineFactory final : public IClassFactory {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
    if (!object) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory)) {
      *object = static_cast<IClassFactory*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&g_locks)) + 1; }
  ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(InterlockedDecrement(&g_locks)) + 1; }

  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    Engine* engine = new (std::nothrow) Engine;
    if (!engine) return E_OUTOFMEMORY;
    const HRESULT result = engine->QueryInterface(riid, object);
    engine->Release();
    return result;
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
    if (lock)
      InterlockedIncrement(&g_locks);
    else
      InterlockedDecrement(&g_locks);
    return S_OK;
  }
};

EngineFactory g_factory;

}  // namespace

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    g_module = instance;
    DisableThreadLibraryCalls(instance);
  }
  return TRUE;
}

STDAPI DllRegisterServer() {
  if (RegistrationForcedToFail()) return SELFREG_E_CLASS;
  const std::wstring path = ModulePath();
  if (path.empty()) return SELFREG_E_CLASS;
  if (WriteRegistration(path) != ERROR_SUCCESS) {
    // A half-written class would send clients to a server that is not fully
    // registered; take back whatever was written.
    RemoveRegistration();
    return SELFREG_E_CLASS;
  }
  return S_OK;
}

STDAPI DllUnregisterServer() {
  return RemoveRegistration() == ERROR_SUCCESS ? S_OK : SELFREG_E_CLASS;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, LPVOID* object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  if (!IsEqualCLSID(clsid, kEngineClsid)) return CLASS_E_CLASSNOTAVAILABLE;
  return g_factory.QueryInterface(riid, object);
}

STDAPI DllCanUnloadNow() {
  return g_objects == 0 && g_locks == 0 ? S_OK : S_FALSE;
}
