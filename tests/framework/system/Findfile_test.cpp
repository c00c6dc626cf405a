// The file search over a real temporary folder: what the mask admits and
// skips, the end of the search, and a search that finds nothing.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "Findfile.h"

namespace {

std::string TempFolder(const char* name) {
  char buffer[MAX_PATH];
  GetTempPathA(MAX_PATH, buffer);
  std::string dir = std::string(buffer) + name + std::to_string(GetCurrentProcessId());
  CreateDirectoryA(dir.c_str(), nullptr);
  return dir;
}

void MakeFile(const std::string& path) {
  HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  DWORD written = 0;
  WriteFile(h, "12345", 5, &written, nullptr);
  CloseHandle(h);
}

std::vector<std::string> Search(const std::string& pattern, int attr) {
  std::vector<std::string> names;
  TSearchRec rec;
  for (int r = FindFirst(pattern, attr, rec); r == 0; r = FindNext(rec))
    names.push_back(rec.Name + ((rec.Attr & faDirectory) ? "/" : ""));
  FindClose(rec);
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace

TEST(Findfile, TheMaskAdmitsHiddenAndSystemEntriesOnlyWhenAsked) {
  const std::string dir = TempFolder("zxfind");
  CreateDirectoryA((dir + "\\sub").c_str(), nullptr);
  CreateDirectoryA((dir + "\\secret").c_str(), nullptr);
  SetFileAttributesA((dir + "\\secret").c_str(), FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN);
  MakeFile(dir + "\\plain.txt");
  MakeFile(dir + "\\sys.txt");
  SetFileAttributesA((dir + "\\sys.txt").c_str(), FILE_ATTRIBUTE_SYSTEM);
  EXPECT_EQ(Search(dir + "\\*.*", faDirectory), (std::vector<std::string>{"../", "./", "plain.txt", "sub/"}));
  EXPECT_EQ(Search(dir + "\\*.*", faDirectory | faHidden | faSysFile),
            (std::vector<std::string>{"../", "./", "plain.txt", "secret/", "sub/", "sys.txt"}));
  EXPECT_EQ(Search(dir + "\\*.txt", 0), (std::vector<std::string>{"plain.txt"}));
  TSearchRec rec;
  ASSERT_EQ(FindFirst(dir + "\\plain.txt", faAnyFile, rec), 0);
  EXPECT_EQ(rec.Size, 5);
  EXPECT_EQ(FindNext(rec), ERROR_NO_MORE_FILES);
  EXPECT_EQ(FindNext(rec), ERROR_NO_MORE_FILES);
  // Nothing found: an error and no open search.
  TSearchRec none;
  EXPECT_NE(FindFirst(dir + "\\missing*", faAnyFile, none), 0);
  EXPECT_FALSE(none.Handle);
  EXPECT_EQ(FindNext(none), ERROR_NO_MORE_FILES);
  // Only the system file left: a search that skips everything reports the end.
  EXPECT_EQ(Search(dir + "\\sys.txt", 0), std::vector<std::string>{});
  SetFileAttributesA((dir + "\\sys.txt").c_str(), FILE_ATTRIBUTE_NORMAL);
  SetFileAttributesA((dir + "\\secret").c_str(), FILE_ATTRIBUTE_DIRECTORY);
  DeleteFileA((dir + "\\sys.txt").c_str());
  DeleteFileA((dir + "\\plain.txt").c_str());
  RemoveDirectoryA((dir + "\\secret").c_str());
  RemoveDirectoryA((dir + "\\sub").c_str());
  RemoveDirectoryA(dir.c_str());
}
