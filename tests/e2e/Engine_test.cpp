// The stand-in engine: its per-user COM registration, tried in this process,
// and the program's start with every kind of engine in its folder.
#include <ole2.h>
#include <olectl.h>

#include <algorithm>
#include <iterator>

#include "E2e.h"

namespace e2e {
namespace {

constexpr CLSID kEngineClsid = {0xbfe99d69, 0x1eeb, 0x404a, {0x9b, 0x33, 0xeb, 0x5e, 0x51, 0x23, 0xc8, 0x4a}};

class Library {
 public:
  explicit Library(const std::string& path) : module_(LoadLibraryA(path.c_str())) {}
  Library(const Library&) = delete;
  Library& operator=(const Library&) = delete;
  ~Library() {
    if (module_) FreeLibrary(module_);
  }
  HMODULE Get() const { return module_; }
  template <class F>
  F* Entry(const char* name) const {
    return reinterpret_cast<F*>(GetProcAddress(module_, name));
  }

 private:
  HMODULE module_;
};

using RegisterFunction = HRESULT STDAPICALLTYPE();
using GetClassObjectFunction = HRESULT STDAPICALLTYPE(REFCLSID, REFIID, void**);

std::string ModulePath(HMODULE module) {
  char path[MAX_PATH * 4] = {};
  const DWORD length = GetModuleFileNameA(module, path, sizeof(path));
  return std::string(path, length < sizeof(path) ? length : 0);
}

std::vector<std::string> SubkeyNames(const std::string& path) {
  std::vector<std::string> names;
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return names;
  char name[256];
  for (DWORD index = 0;; ++index) {
    DWORD length = sizeof(name);
    if (RegEnumKeyExA(key, index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    names.emplace_back(name, length);
  }
  RegCloseKey(key);
  return names;
}

// The names of the second list that the first lacks, sorted.
std::vector<std::string> Added(std::vector<std::string> before, std::vector<std::string> after) {
  std::sort(before.begin(), before.end());
  std::sort(after.begin(), after.end());
  std::vector<std::string> added;
  std::set_difference(after.begin(), after.end(), before.begin(), before.end(), std::back_inserter(added));
  return added;
}

bool SamePath(const std::string& a, const std::string& b) {
  return _stricmp(a.c_str(), b.c_str()) == 0;
}

// Sets an environment variable of this process for one scope.
class ScopedVariable {
 public:
  ScopedVariable(const char* name, const char* value) : name_(name) { SetEnvironmentVariableA(name, value); }
  ScopedVariable(const ScopedVariable&) = delete;
  ScopedVariable& operator=(const ScopedVariable&) = delete;
  ~ScopedVariable() { SetEnvironmentVariableA(name_, nullptr); }

 private:
  const char* name_;
};

class EngineLibraryTest : public ZapnixTest {
 protected:
  void SetUp() override {
    ZapnixTest::SetUp();
    ASSERT_NE(engine_.Get(), nullptr) << "cannot load " << SuiteFile("ZapnixServer.dll");
    registerServer_ = engine_.Entry<RegisterFunction>("DllRegisterServer");
    unregisterServer_ = engine_.Entry<RegisterFunction>("DllUnregisterServer");
    ASSERT_NE(registerServer_, nullptr);
    ASSERT_NE(unregisterServer_, nullptr);
  }

  Library engine_{SuiteFile("ZapnixServer.dll")};
  RegisterFunction* registerServer_ = nullptr;
  RegisterFunction* unregisterServer_ = nullptr;
};

TEST_F(EngineLibraryTest, ExportsTheFourComEntriesUndecorated) {
  for (const char* name : {"DllRegisterServer", "DllUnregisterServer", "DllGetClassObject", "DllCanUnloadNow"})
    EXPECT_NE(GetProcAddress(engine_.Get(), name), nullptr) << name;
}

TEST_F(EngineLibraryTest, RegistersOneClassPerUserAndNothingElse) {
  const std::vector<std::string> classesBefore = SubkeyNames("Software\\Classes");
  const std::vector<std::string> clsidsBefore = SubkeyNames("Software\\Classes\\CLSID");
  ASSERT_EQ(registerServer_(), S_OK);

  EXPECT_TRUE(SamePath(ReadText(kEngineServerKey, nullptr).value_or(""), ModulePath(engine_.Get())));
  EXPECT_EQ(ReadText(kEngineServerKey, "ThreadingModel"), "Apartment");
  EXPECT_EQ(ReadText(std::string(kEngineClassKey) + "\\ProgID", nullptr), "Zapnix.Server");
  EXPECT_EQ(ReadText(std::string(kEngineProgIdKey) + "\\CLSID", nullptr), kEngineClsidText);
  std::vector<std::string> subkeys = SubkeyNames(kEngineClassKey);
  std::sort(subkeys.begin(), subkeys.end());
  EXPECT_EQ(subkeys, (std::vector<std::string>{"InprocServer32", "ProgID"}));

  // Exactly one new class and one new ProgID; nothing under the machine's classes.
  EXPECT_EQ(Added(clsidsBefore, SubkeyNames("Software\\Classes\\CLSID")),
            (std::vector<std::string>{kEngineClsidText}));
  std::vector<std::string> addedClasses = Added(classesBefore, SubkeyNames("Software\\Classes"));
  std::erase(addedClasses, "CLSID");
  EXPECT_EQ(addedClasses, (std::vector<std::string>{"Zapnix.Server"}));
  HKEY machine = nullptr;
  EXPECT_NE(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kEngineClassKey, 0, KEY_READ, &machine),
            ERROR_SUCCESS);
  if (machine) RegCloseKey(machine);

  EXPECT_EQ(unregisterServer_(), S_OK);
  EXPECT_FALSE(KeyExists(kEngineClassKey));
  EXPECT_FALSE(KeyExists(kEngineProgIdKey));
  EXPECT_EQ(Added(clsidsBefore, SubkeyNames("Software\\Classes\\CLSID")), std::vector<std::string>{});
  EXPECT_EQ(unregisterServer_(), S_OK) << "unregistering twice is no error";
}

TEST_F(EngineLibraryTest, RegisteredClassIsCreatedThroughCom) {
  ASSERT_EQ(registerServer_(), S_OK);
  HKEY merged = nullptr;
  if (RegOpenKeyExA(HKEY_CLASSES_ROOT, "CLSID\\{BFE99D69-1EEB-404A-9B33-EB5E5123C84A}", 0, KEY_READ, &merged) !=
      ERROR_SUCCESS) {
    EXPECT_EQ(unregisterServer_(), S_OK);
    GTEST_SKIP() << "HKEY_CLASSES_ROOT of this system does not show the user's own classes";
  }
  RegCloseKey(merged);
  ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
  CLSID fromProgId{};
  EXPECT_EQ(CLSIDFromProgID(L"Zapnix.Server", &fromProgId), S_OK);
  EXPECT_TRUE(IsEqualCLSID(fromProgId, kEngineClsid));
  IUnknown* engine = nullptr;
  EXPECT_EQ(CoCreateInstance(kEngineClsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                             reinterpret_cast<void**>(&engine)),
            S_OK);
  if (engine) engine->Release();
  CoUninitialize();
  EXPECT_EQ(unregisterServer_(), S_OK);
}

TEST_F(EngineLibraryTest, ClassObjectHoldsTheLibraryWhileObjectsLive) {
  auto* getClassObject = engine_.Entry<GetClassObjectFunction>("DllGetClassObject");
  auto* canUnloadNow = engine_.Entry<RegisterFunction>("DllCanUnloadNow");
  ASSERT_NE(getClassObject, nullptr);
  ASSERT_NE(canUnloadNow, nullptr);

  void* unknownClass = reinterpret_cast<void*>(1);
  EXPECT_EQ(getClassObject(IID_IUnknown, IID_IClassFactory, &unknownClass), CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(unknownClass, nullptr);

  IClassFactory* factory = nullptr;
  ASSERT_EQ(getClassObject(kEngineClsid, IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
  EXPECT_EQ(canUnloadNow(), S_FALSE) << "a held class object must keep the library";
  IUnknown* object = nullptr;
  ASSERT_EQ(factory->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(&object)), S_OK);
  IUnknown* outer = object;
  IUnknown* aggregated = nullptr;
  EXPECT_EQ(factory->CreateInstance(outer, IID_IUnknown, reinterpret_cast<void**>(&aggregated)),
            CLASS_E_NOAGGREGATION);
  EXPECT_EQ(aggregated, nullptr);
  IClassFactory* notAFactory = nullptr;
  EXPECT_EQ(object->QueryInterface(IID_IClassFactory, reinterpret_cast<void**>(&notAFactory)), E_NOINTERFACE);
  factory->Release();
  EXPECT_EQ(canUnloadNow(), S_FALSE) << "a live object must keep the library";
  object->Release();
  EXPECT_EQ(canUnloadNow(), S_OK);
}

TEST_F(EngineLibraryTest, FailSwitchMakesRegistrationFailWithoutWriting) {
  ScopedVariable fail("ZAPNIX_ENGINE_FAIL", "1");
  EXPECT_EQ(registerServer_(), SELFREG_E_CLASS);
  EXPECT_FALSE(KeyExists(kEngineClassKey));
  EXPECT_FALSE(KeyExists(kEngineProgIdKey));
}

TEST_F(EngineLibraryTest, UnregisteringLeavesAProgIdThatNamesAnotherClass) {
  WriteText(std::string(kEngineProgIdKey) + "\\CLSID", nullptr, "{00000000-1111-2222-3333-444444444444}");
  EXPECT_EQ(unregisterServer_(), S_OK);
  EXPECT_EQ(ReadText(std::string(kEngineProgIdKey) + "\\CLSID", nullptr), "{00000000-1111-2222-3333-444444444444}");
}

TEST_F(EngineLibraryTest, TheDoubleWithoutExportLoadsButCannotRegister) {
  Library noExport(SuiteFile("ZapnixServerNoExport.dll"));
  ASSERT_NE(noExport.Get(), nullptr) << "cannot load " << SuiteFile("ZapnixServerNoExport.dll");
  EXPECT_EQ(GetProcAddress(noExport.Get(), "DllRegisterServer"), nullptr);
}

// ---------------------------------------------------------------------------
// The program started from a folder of its own with an engine of each kind.

using ProgramEngineTest = ZapnixTest;

TEST_F(ProgramEngineTest, RegistersTheEngineFromTheProgramsOwnFolder) {
  TempFolder folder;
  folder.Copy(SuiteFile("Zapnix.exe"), "Zapnix.exe");
  folder.Copy(SuiteFile("ZapnixServer.dll"), "ZapnixServer.dll");
  ZapnixProcess zapnix(StartOptions{.folder = folder.Path()});
  ASSERT_NE(zapnix.WaitForMainWindow(), nullptr);
  ASSERT_TRUE(zapnix.WaitUntilHiddenAfterFirstPaint());

  EXPECT_TRUE(SamePath(ReadText(kEngineServerKey, nullptr).value_or("(none)"), folder.File("ZapnixServer.dll")))
      << ReadText(kEngineServerKey, nullptr).value_or("(none)");
  EXPECT_EQ(ReadText(kEngineServerKey, "ThreadingModel"), "Apartment");
  EXPECT_TRUE(AtomPresent(kRunningAtom));
  ASSERT_TRUE(zapnix.AskToClose());
  EXPECT_EQ(zapnix.WaitForExit(), 0u);
}

enum class EngineKind { kMissing, kWithoutExport, kRegistrationFails, kNotALibrary };

struct EngineCase {
  const char* name;
  EngineKind kind;
};

void PrintTo(const EngineCase& engineCase, std::ostream* out) {
  *out << engineCase.name;
}

class FaultyEngineTest : public ZapnixTest, public ::testing::WithParamInterface<EngineCase> {};

// Whatever lies (or does not lie) in the engine's place, the program starts as
// usual, says nothing, announces blocking as on and ends normally.
TEST_P(FaultyEngineTest, ProgramStartsNormallyAndSaysNothing) {
  TempFolder folder;
  folder.Copy(SuiteFile("Zapnix.exe"), "Zapnix.exe");
  StartOptions options{.folder = folder.Path()};
  switch (GetParam().kind) {
    case EngineKind::kMissing:
      break;
    case EngineKind::kWithoutExport:
      folder.Copy(SuiteFile("ZapnixServerNoExport.dll"), "ZapnixServer.dll");
      break;
    case EngineKind::kRegistrationFails:
      folder.Copy(SuiteFile("ZapnixServer.dll"), "ZapnixServer.dll");
      options.environment = {{"ZAPNIX_ENGINE_FAIL", "1"}};
      break;
    case EngineKind::kNotALibrary:
      folder.Write("ZapnixServer.dll", "This is not a library.\r\n");
      break;
  }
  ZapnixProcess zapnix(options);
  ASSERT_NE(zapnix.WaitForMainWindow(), nullptr);
  ASSERT_TRUE(zapnix.WaitUntilHiddenAfterFirstPaint()) << zapnix.WindowEvents();
  EXPECT_EQ(zapnix.WindowEvents().substr(0, 3), "SPH");
  EXPECT_FALSE(zapnix.FindMessageBox().has_value());
  EXPECT_EQ(zapnix.Windows("#32770", nullptr).size(), 0u) << "a dialog box is open";
  EXPECT_TRUE(AtomPresent(kRunningAtom));
  EXPECT_FALSE(KeyExists(kEngineClassKey));
  EXPECT_FALSE(KeyExists(kEngineProgIdKey));
  ASSERT_TRUE(zapnix.AskToClose());
  EXPECT_EQ(zapnix.WaitForExit(), 0u);
}

INSTANTIATE_TEST_SUITE_P(EngineKinds, FaultyEngineTest,
                         ::testing::Values(EngineCase{"Missing", EngineKind::kMissing},
                                           EngineCase{"WithoutExport", EngineKind::kWithoutExport},
                                           EngineCase{"RegistrationFails", EngineKind::kRegistrationFails},
                                           EngineCase{"NotALibrary", EngineKind::kNotALibrary}),
                         [](const ::testing::TestParamInfo<EngineCase>& info) { return info.param.name; });

}  // namespace
}  // namespace e2e
