// The release as a user gets it: the installer of dist/release run for real,
// silently, and what it leaves on the machine looked at from outside; the
// version resource of every shipped file read back.
#include <shlobj.h>
#include <shobjidl.h>
#include <winver.h>

#include <array>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>

#include "E2e.h"

#ifndef ZX_VERSION
#error "ZX_VERSION names the build's version"
#endif

namespace e2e {
namespace {

constexpr char kVersion[] = ZX_VERSION;
constexpr char kUninstallKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Zapnix";
constexpr char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr char kRunValue[] = "Zapnix";
constexpr char kWhiteListKey[] = "Vantrel Software\\Popup Zapnix\\WhiteList";
constexpr char kBlackListKey[] = "Vantrel Software\\Popup Zapnix\\BlackList";
// The programs and libraries the installer puts in the folder.
constexpr std::array<const char*, 4> kProductFiles = {"Zapnix.exe", "ZapnixServer.dll", "Zapnix.chm",
                                                     "ZapnixLists.exe"};
// Emulated 32-bit runs are slow: one setup takes many seconds here.
constexpr DWORD kSetupTimeoutMs = 180000;

std::string FullPath(const std::string& path) {
  char full[MAX_PATH * 4] = {};
  const DWORD length = GetFullPathNameA(path.c_str(), sizeof(full), full, nullptr);
  return length > 0 && length < sizeof(full) ? std::string(full, length) : path;
}

// The build tree the release is packaged from (scripts/release): the parent
// of this program's folder.
std::string BuildFolder() {
  char path[MAX_PATH * 4] = {};
  const DWORD length = GetModuleFileNameA(nullptr, path, sizeof(path));
  return FullPath(std::string(path, length < sizeof(path) ? length : 0) + "\\..\\..");
}

std::string InstallerPath() {
  return FullPath(DistFolder() + "\\..\\release\\Zapnix-" + kVersion + "-setup.exe");
}

std::string ShellFolder(int csidl) {
  char path[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path))) return {};
  return path;
}

std::string DefaultInstallFolder() {
  return ShellFolder(CSIDL_LOCAL_APPDATA) + "\\Programs\\Zapnix";
}

std::string ShortcutPath() {
  return ShellFolder(CSIDL_PROGRAMS) + "\\Zapnix.lnk";
}

bool FolderExists(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::string FileBytes(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// The names of the files in a folder, sorted; subfolders are not looked into.
std::vector<std::string> FolderFiles(const std::string& folder) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA found;
  const HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.emplace_back(found.cFileName);
  } while (FindNextFileA(search, &found));
  FindClose(search);
  std::sort(names.begin(), names.end());
  return names;
}

// Removes a folder with the files in it, and the folders above it up to (not
// including) `stop`, as long as they are empty.
void RemoveFolder(const std::string& folder) {
  for (const std::string& name : FolderFiles(folder)) {
    SetFileAttributesA((folder + "\\" + name).c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileA((folder + "\\" + name).c_str());
  }
  RemoveDirectoryA(folder.c_str());
}

// The file a shell link points at, or empty.
std::string ShortcutTarget(const std::string& link) {
  std::string target;
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  IShellLinkA* shellLink = nullptr;
  if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                 reinterpret_cast<void**>(&shellLink)))) {
    IPersistFile* file = nullptr;
    if (SUCCEEDED(shellLink->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
      std::wstring wide(link.begin(), link.end());
      char path[MAX_PATH] = {};
      if (SUCCEEDED(file->Load(wide.c_str(), STGM_READ)) &&
          SUCCEEDED(shellLink->GetPath(path, sizeof(path), nullptr, 0)))
        target = path;
      file->Release();
    }
    shellLink->Release();
  }
  if (SUCCEEDED(com)) CoUninitialize();
  return target;
}

void DeleteValue(const char* key, const char* name) {
  RegDeleteKeyValueA(HKEY_CURRENT_USER, key, name);
}

// What a version resource says about a file.
struct VersionInfo {
  bool present = false;
  std::array<unsigned, 4> fileVersion{};
  std::array<unsigned, 4> productVersion{};
  DWORD fileType = 0;
  std::string productName, productVersionText, fileVersionText, companyName, originalFilename;
};

VersionInfo ReadVersion(const std::string& path) {
  VersionInfo info;
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
  if (size == 0) return info;
  std::vector<char> data(size);
  if (!GetFileVersionInfoA(path.c_str(), 0, size, data.data())) return info;
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT fixedSize = 0;
  if (!VerQueryValueA(data.data(), "\\", reinterpret_cast<void**>(&fixed), &fixedSize) || fixedSize < sizeof(*fixed))
    return info;
  info.present = true;
  info.fileVersion = {HIWORD(fixed->dwFileVersionMS), LOWORD(fixed->dwFileVersionMS), HIWORD(fixed->dwFileVersionLS),
                      LOWORD(fixed->dwFileVersionLS)};
  info.productVersion = {HIWORD(fixed->dwProductVersionMS), LOWORD(fixed->dwProductVersionMS),
                         HIWORD(fixed->dwProductVersionLS), LOWORD(fixed->dwProductVersionLS)};
  info.fileType = fixed->dwFileType;
  // The strings of the first language and code page the file lists.
  struct Translation {
    WORD language, codePage;
  }* translations = nullptr;
  UINT translationsSize = 0;
  if (!VerQueryValueA(data.data(), "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translations),
                      &translationsSize) ||
      translationsSize < sizeof(Translation))
    return info;
  auto text = [&](const char* name) {
    char query[128];
    std::snprintf(query, sizeof(query), "\\StringFileInfo\\%04x%04x\\%s", translations->language,
                  translations->codePage, name);
    char* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(data.data(), query, reinterpret_cast<void**>(&value), &length) || !value) return std::string();
    return std::string(value, strnlen(value, length));
  };
  info.productName = text("ProductName");
  info.productVersionText = text("ProductVersion");
  info.fileVersionText = text("FileVersion");
  info.companyName = text("CompanyName");
  info.originalFilename = text("OriginalFilename");
  return info;
}

// The build's version as the four numbers of a version resource.
std::array<unsigned, 4> VersionNumbers() {
  std::array<unsigned, 4> numbers{};
  std::istringstream text(kVersion);
  std::string part;
  for (size_t i = 0; i < numbers.size() && std::getline(text, part, '.'); ++i)
    numbers[i] = static_cast<unsigned>(std::stoul(part));
  return numbers;
}

// ---------------------------------------------------------------------------

class ReleaseTest : public ZapnixTest {
 protected:
  void SetUp() override {
    ZapnixTest::SetUp();
    if (HasFatalFailure()) return;
    ClearInstallation();
    ASSERT_TRUE(FileExists(InstallerPath())) << InstallerPath() << " is missing: scripts/release makes it";
  }
  void TearDown() override {
    ClearInstallation();
    ZapnixTest::TearDown();
  }

  // What an installation leaves for the user, so that none outlives the test:
  // a Run entry left behind would start Zapnix in the next session of the prefix.
  static void ClearInstallation() {
    DeleteValue(kRunKey, kRunValue);
    DeleteTree(kUninstallKey);
    DeleteFileA(ShortcutPath().c_str());
    RemoveFolder(DefaultInstallFolder());
  }

  static ToolResult Setup(const std::string& arguments) {
    return RunTool(InstallerPath(), arguments, kSetupTimeoutMs);
  }

  // Runs the folder's uninstaller as it runs itself: from a copy outside the
  // folder, told where the folder is, so that it can remove its own file and
  // its exit code is the one of the whole uninstallation.
  static ToolResult Uninstall(const std::string& folder, const std::string& arguments) {
    TempFolder copy;
    copy.Copy(folder + "\\Uninstall.exe", "Uninstall.exe");
    return RunTool(copy.File("Uninstall.exe"), arguments + " _?=" + folder, kSetupTimeoutMs);
  }

  // Every trace an installation into `folder` leaves, checked present.
  static void ExpectInstalled(const std::string& folder, bool startAtSignIn) {
    for (const char* name : kProductFiles)
      EXPECT_TRUE(FileBytes(folder + "\\" + name) == FileBytes(BuildFolder() + "\\" + name))
          << name << " in " << folder << " is not the one of the build";
    EXPECT_EQ(FolderFiles(folder), (std::vector<std::string>{"Uninstall.exe", "Zapnix.chm", "Zapnix.exe",
                                                             "ZapnixLists.exe", "ZapnixServer.dll"}));
    EXPECT_EQ(ShortcutTarget(ShortcutPath()), folder + "\\Zapnix.exe");
    if (startAtSignIn)
      EXPECT_EQ(ReadText(kRunKey, kRunValue), "\"" + folder + "\\Zapnix.exe\"");
    else
      EXPECT_EQ(ReadText(kRunKey, kRunValue), std::nullopt);
    EXPECT_EQ(ReadText(kUninstallKey, "DisplayName"), "Zapnix");
    EXPECT_EQ(ReadText(kUninstallKey, "DisplayVersion"), kVersion);
    EXPECT_EQ(ReadText(kUninstallKey, "Publisher"), "Vantrel Software");
    EXPECT_EQ(ReadText(kUninstallKey, "InstallLocation"), folder);
    EXPECT_EQ(ReadText(kUninstallKey, "UninstallString"), "\"" + folder + "\\Uninstall.exe\"");
  }

  // No trace of an installation into `folder` is left.
  static void ExpectNothingInstalled(const std::string& folder) {
    EXPECT_FALSE(FolderExists(folder)) << folder << " still holds " << ::testing::PrintToString(FolderFiles(folder));
    EXPECT_FALSE(FileExists(ShortcutPath()));
    EXPECT_EQ(ReadText(kRunKey, kRunValue), std::nullopt);
    EXPECT_FALSE(KeyExists(kUninstallKey));
  }

  static void WriteLists() {
    WriteText(kWhiteListKey, "http://allowed.example/", "");
    WriteText(kBlackListKey, "http://stopped.example/", "");
  }
};

// Every file users get names the product and carries the build's version:
// the programs of the build tree the release is packaged from, and the installer.
TEST(ReleaseVersionTest, EveryShippedFileCarriesTheBuildsVersion) {
  struct Case {
    std::string path;
    DWORD fileType;
    const char* originalFilename;  // null: not looked at
  };
  const std::string build = BuildFolder() + "\\";
  const Case cases[] = {
      {build + "Zapnix.exe", VFT_APP, "Zapnix.exe"},
      {build + "ZapnixServer.dll", VFT_DLL, "ZapnixServer.dll"},
      {build + "ZapnixSim.exe", VFT_APP, "ZapnixSim.exe"},
      {build + "ZapnixLists.exe", VFT_APP, "ZapnixLists.exe"},
      {build + "Gallery.exe", VFT_APP, "Gallery.exe"},
      {InstallerPath(), VFT_APP, nullptr},
  };
  const std::array<unsigned, 4> expected = VersionNumbers();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    const VersionInfo info = ReadVersion(c.path);
    ASSERT_TRUE(info.present) << "no version resource";
    EXPECT_EQ(info.fileVersion, expected);
    EXPECT_EQ(info.productVersion, expected);
    EXPECT_EQ(info.fileType, c.fileType);
    EXPECT_EQ(info.productName, "Zapnix");
    EXPECT_EQ(info.companyName, "Vantrel Software");
    EXPECT_EQ(info.productVersionText, kVersion);
    EXPECT_EQ(info.fileVersionText, kVersion);
    if (c.originalFilename) {
      EXPECT_EQ(info.originalFilename, c.originalFilename);
    }
  }
}

// The whole life of an installation in the user's own programs folder: a
// silent first installation (start at sign-in by default), the installed
// program running into the tray with its own engine registered, a second
// installation over the running copy, which asks it to close first, and the
// uninstallation, which removes everything it installed and the engine's
// registration but keeps the lists.
TEST_F(ReleaseTest, InstallsForTheUserReplacesARunningCopyAndUninstallsKeepingTheLists) {
  const std::string folder = DefaultInstallFolder();
  {
    SCOPED_TRACE("first installation");
    const ToolResult setup = Setup("/S");
    ASSERT_EQ(setup.exitCode, 0u) << setup.err;
    ExpectInstalled(folder, /*startAtSignIn=*/true);
  }

  ZapnixProcess zapnix(StartOptions{.folder = folder});
  ASSERT_NE(zapnix.WaitForMainWindow(), nullptr);
  ASSERT_TRUE(zapnix.WaitUntilHiddenAfterFirstPaint()) << zapnix.WindowEvents();
  EXPECT_EQ(ReadText(kEngineServerKey, nullptr), folder + "\\ZapnixServer.dll");
  WriteLists();

  {
    SCOPED_TRACE("installation over the running copy");
    const ToolResult setup = Setup("/S /AUTOSTART=no");
    ASSERT_EQ(setup.exitCode, 0u) << setup.err;
    // Closed as asked, not killed.
    EXPECT_EQ(zapnix.WaitForExit(0), 0u);
    ExpectInstalled(folder, /*startAtSignIn=*/false);
  }

  {
    SCOPED_TRACE("uninstallation");
    WriteText(kRunKey, kRunValue, "\"" + folder + "\\Zapnix.exe\"");
    const ToolResult uninstall = Uninstall(folder, "/S");
    ASSERT_EQ(uninstall.exitCode, 0u) << uninstall.err;
    ExpectNothingInstalled(folder);
    EXPECT_FALSE(KeyExists(kEngineClassKey)) << "the engine's registration names a removed file";
    EXPECT_EQ(ValueNames(kWhiteListKey), std::vector<std::string>{"http://allowed.example/"});
    EXPECT_EQ(ValueNames(kBlackListKey), std::vector<std::string>{"http://stopped.example/"});
  }
}

// A folder of the user's choice, with a space in its path, and no start at
// sign-in; the uninstaller asks the running program to close and, when told
// to, removes the lists too.
TEST_F(ReleaseTest, UninstallerClosesTheProgramAndRemovesTheListsWhenAsked) {
  TempFolder temp;
  const std::string parent = temp.Path() + "\\My Programs";
  const std::string folder = parent + "\\Zapnix";
  {
    SCOPED_TRACE("installation");
    const ToolResult setup = Setup("/S /AUTOSTART=no /D=" + folder);
    ASSERT_EQ(setup.exitCode, 0u) << setup.err;
    ExpectInstalled(folder, /*startAtSignIn=*/false);
  }
  ZapnixProcess zapnix(StartOptions{.folder = folder});
  ASSERT_TRUE(zapnix.WaitUntilHiddenAfterFirstPaint()) << zapnix.WindowEvents();
  WriteLists();

  const ToolResult uninstall = Uninstall(folder, "/S /REMOVELISTS");
  EXPECT_EQ(uninstall.exitCode, 0u) << uninstall.err;
  EXPECT_EQ(zapnix.WaitForExit(0), 0u) << "the running program was not closed";
  ExpectNothingInstalled(folder);
  EXPECT_FALSE(KeyExists(kProgramKey));
  RemoveDirectoryA(parent.c_str());
}

// A setup that cannot complete says why and leaves everything as it was: a
// folder that cannot be made, and an earlier copy with a file held open by
// another program (the files before it are already moved aside when the
// setup finds the one it cannot move, and must come back).
TEST_F(ReleaseTest, AFolderThatCannotBeMadeOrAFileInUseStopsTheSetupAndChangesNothing) {
  TempFolder temp;
  {
    SCOPED_TRACE("a folder below a file");
    temp.Write("blocker", "a file, not a folder");
    const std::string folder = temp.File("blocker") + "\\Zapnix";
    const ToolResult setup = Setup("/S /D=" + folder);
    EXPECT_EQ(setup.exitCode, 2u);
    EXPECT_NE(setup.err.find("The folder " + folder + " cannot be used"), std::string::npos) << setup.err;
    EXPECT_FALSE(FolderExists(DefaultInstallFolder())) << "installed where nobody asked";
    EXPECT_EQ(FileBytes(temp.File("blocker")), "a file, not a folder");
    ExpectNothingInstalled(folder);
  }
  {
    SCOPED_TRACE("a file in use");
    const std::string folder = temp.Path() + "\\Earlier";
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    const std::vector<std::string> names = {"Uninstall.exe", "Zapnix.chm", "Zapnix.exe", "ZapnixLists.exe",
                                            "ZapnixServer.dll"};
    for (const std::string& name : names) {
      std::ofstream(folder + "\\" + name, std::ios::binary) << "earlier " << name;
    }
    {
      UniqueHandle held(CreateFileA((folder + "\\Zapnix.chm").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
      ASSERT_TRUE(held);
      const ToolResult setup = Setup("/S /D=" + folder);
      EXPECT_EQ(setup.exitCode, 2u);
      EXPECT_NE(setup.err.find(folder + "\\Zapnix.chm is in use"), std::string::npos) << setup.err;
    }
    EXPECT_EQ(FolderFiles(folder), names);
    for (const std::string& name : names) EXPECT_EQ(FileBytes(folder + "\\" + name), "earlier " + name) << name;
    EXPECT_FALSE(FileExists(ShortcutPath()));
    EXPECT_EQ(ReadText(kRunKey, kRunValue), std::nullopt);
    EXPECT_FALSE(KeyExists(kUninstallKey));
    RemoveFolder(folder);
  }
}

}  // namespace
}  // namespace e2e
