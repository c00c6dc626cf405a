// Times ZapnixLists on 10,000 URLs against the program's own save of the same
// list (the store's whole-subkey rewrite that every change of a list costs):
// import into an empty list against the save into an empty list; import
// --replace over a different list of the same size against the program's save
// over a stored list of that size (what every edit of a long list costs: the
// old values are erased first); export to a file; in-process, and as whole
// runs of the tool.
// Prints figures; it is not a test.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "BenchFolder.h"
#include "Commands.h"
#include "Strings.h"
#include "UrlStore.h"

namespace {
using Clock = std::chrono::steady_clock;
constexpr int kUrls = 10000;
constexpr int kRounds = 5;

std::string Url(const char* kind, int i) {
  char buf[96];
  snprintf(buf, sizeof buf, "http://%s%05d.example/path/index.html", kind, i);
  return buf;
}

std::string TempFile(const char* name) {
  char temp[MAX_PATH + 1] = {};
  const DWORD length = GetTempPathA(sizeof(temp), temp);
  return std::string(temp, length < sizeof(temp) ? length : 0) + name;
}

void WriteBytes(const std::string& path, const std::string& bytes) {
  if (FILE* file = std::fopen(path.c_str(), "wb")) {
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
  }
}

double Ms(const std::function<void()>& work) {
  const auto start = Clock::now();
  work();
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// A whole run of the tool, its output thrown away.
void RunTool(const std::string& arguments) {
  const std::string program = FolderOfThisProgram() + "\\ZapnixLists.exe";
  std::string commandLine = "\"" + program + "\" " + arguments;
  STARTUPINFOA startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
  const HANDLE nul = CreateFileA("NUL", GENERIC_WRITE, FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0, nullptr);
  startup.hStdOutput = startup.hStdError = nul;
  PROCESS_INFORMATION info{};
  if (CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr,
                     &startup, &info)) {
    WaitForSingleObject(info.hProcess, INFINITE);
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
  } else {
    std::printf("cannot start %s\n", program.c_str());
  }
  if (nul != INVALID_HANDLE_VALUE) CloseHandle(nul);
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

void Clear() { RegDeleteTreeA(HKEY_CURRENT_USER, kUrlStoreKey); }
}  // namespace

int main() {
  TStringList list, other;
  std::string file, otherFile;
  for (int i = 0; i < kUrls; ++i) {
    list.Add(Url("white", i));
    other.Add(Url("other", i));
    file += Url("white", i) + "\r\n";
    otherFile += Url("other", i) + "\r\n";
  }
  const std::string listPath = TempFile("zxlistsbench-in.txt");
  const std::string otherPath = TempFile("zxlistsbench-other.txt");
  const std::string outPath = TempFile("zxlistsbench-out.txt");
  WriteBytes(listPath, file);
  WriteBytes(otherPath, otherFile);

  std::vector<double> save, saveOver, import, replace, exported, runImport, runExport;
  for (int round = 0; round < kRounds; ++round) {
    Clear();
    save.push_back(Ms([&] { SaveUrlList(0, &list); }));
    Clear();
    import.push_back(Ms([&] { lists::Import("white", listPath, false, false); }));
    replace.push_back(Ms([&] { lists::Import("white", otherPath, true, false); }));
    saveOver.push_back(Ms([&] { SaveUrlList(0, &list); }));
    exported.push_back(Ms([&] { lists::Export("white", outPath); }));
    Clear();
    runImport.push_back(Ms([&] { RunTool("import white \"" + listPath + "\""); }));
    runExport.push_back(Ms([&] { RunTool("export white \"" + outPath + "\""); }));
  }
  const double base = Median(save);
  std::printf("%d URLs, median of %d rounds\n", kUrls, kRounds);
  std::printf("program's save of the list (erase, %d writes):   %8.1f ms\n", kUrls, base);
  const double baseOver = Median(saveOver);
  std::printf("program's save over a stored list of %d URLs:     %8.1f ms\n", kUrls, baseOver);
  const auto row = [&](const char* what, const std::vector<double>& times, double against = 0) {
    if (against == 0) against = base;
    std::printf("%-48s %8.1f ms  %5.2fx the save\n", what, Median(times), Median(times) / against);
  };
  row("import into an empty list (read, check, save):", import);
  row("import --replace over a different list:", replace, baseOver);
  row("export to a file:", exported);
  row("whole run: ZapnixLists import (empty list):", runImport);
  row("whole run: ZapnixLists export:", runExport);

  Clear();
  DeleteFileA(listPath.c_str());
  DeleteFileA(otherPath.c_str());
  DeleteFileA(outPath.c_str());
  return 0;
}
