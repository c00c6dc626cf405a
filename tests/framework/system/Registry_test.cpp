// The registry wrapper against the real registry, under a key of its own in
// HKEY_CURRENT_USER\Software\ZapnixTest that each test removes again.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Registry.h"
#include "Strings.h"

namespace {

const char* const kTestRoot = "Software\\ZapnixTest";

// The value names of a key as the registry itself enumerates them.
std::vector<std::string> Enumerated(const std::string& path) {
  std::vector<std::string> names;
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return names;
  std::vector<char> name(40000);
  for (DWORD i = 0;; ++i) {
    DWORD length = static_cast<DWORD>(name.size());
    if (RegEnumValueA(key, i, name.data(), &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    names.emplace_back(name.data(), length);
  }
  RegCloseKey(key);
  return names;
}

bool KeyExists(const std::string& path) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

void SetDword(const std::string& path, const std::string& name, DWORD value) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegSetValueExA(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
  RegCloseKey(key);
}

class RegistryTest : public testing::Test {
 protected:
  void SetUp() override {
    path_ = std::string(kTestRoot) + "\\" + testing::UnitTest::GetInstance()->current_test_info()->name();
    RegDeleteTreeA(HKEY_CURRENT_USER, path_.c_str());
  }
  void TearDown() override { RegDeleteTreeA(HKEY_CURRENT_USER, path_.c_str()); }
  std::string path_;
};

}  // namespace

TEST_F(RegistryTest, IniFileCreatesItsKeyAndWritesEmptyTextValues) {
  TRegIniFile ini(path_);
  EXPECT_TRUE(KeyExists(path_));
  ini.WriteString("WhiteList", "http://a.example/", "");
  ini.WriteString("WhiteList", "http://b.example/", "");
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, (path_ + "\\WhiteList").c_str(), 0, KEY_READ, &key), ERROR_SUCCESS);
  DWORD type = 0, size = 16;
  BYTE data[16] = {0xFF};
  EXPECT_EQ(RegQueryValueExA(key, "http://a.example/", nullptr, &type, data, &size), ERROR_SUCCESS);
  RegCloseKey(key);
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(size, 1u);  // the empty text is one zero byte
  EXPECT_EQ(data[0], 0);
}

TEST_F(RegistryTest, ReadSectionGivesValueNamesInEnumerationOrder) {
  TRegIniFile ini(path_);
  for (const char* url : {"zeta.example", "alpha.example", "Mid.example", "beta.example"})
    ini.WriteString("BlackList", url, "");
  // A value of another type counts as an entry by its name.
  SetDword(path_ + "\\BlackList", "dword.example", 7);

  TStringList names;
  names.Add("left over");
  ini.ReadSection("BlackList", &names);
  EXPECT_EQ(names.ToVector(), Enumerated(path_ + "\\BlackList"));
  EXPECT_EQ(names.Count(), 5);
  EXPECT_NE(names.IndexOf("dword.example"), -1);
  EXPECT_EQ(names.IndexOf("left over"), -1);
}

TEST_F(RegistryTest, ReadSectionOfAMissingSectionLeavesTheStrings) {
  TRegIniFile ini(path_);
  TStringList names;
  names.SetText("one\r\ntwo\r\n");
  ini.ReadSection("Nowhere", &names);
  EXPECT_EQ(names.ToVector(), (std::vector<std::string>{"one", "two"}));
  // An existing but empty section empties them.
  ini.WriteString("Empty", "x", "");
  RegDeleteKeyValueA(HKEY_CURRENT_USER, (path_ + "\\Empty").c_str(), "x");
  ini.ReadSection("Empty", &names);
  EXPECT_EQ(names.Count(), 0);
}

TEST_F(RegistryTest, LongValueNamesAreReadWhole) {
  TRegIniFile ini(path_);
  std::string longest(16383, 'u');
  std::string medium(3000, 'm');
  ini.WriteString("Long", "short", "");
  ini.WriteString("Long", medium, "");
  ini.WriteString("Long", longest, "");
  TStringList names;
  ini.ReadSection("Long", &names);
  ASSERT_EQ(names.Count(), 3);
  EXPECT_NE(names.IndexOf(longest), -1);
  EXPECT_NE(names.IndexOf(medium), -1);
  EXPECT_NE(names.IndexOf("short"), -1);
}

TEST_F(RegistryTest, EraseSectionRemovesEverythingBelowIt) {
  TRegIniFile ini(path_);
  ini.WriteString("WhiteList", "a", "");
  ini.WriteString("WhiteList\\Deeper\\Deepest", "b", "");
  ini.WriteString("Other", "c", "");
  ini.EraseSection("WhiteList");
  EXPECT_FALSE(KeyExists(path_ + "\\WhiteList"));
  EXPECT_TRUE(KeyExists(path_ + "\\Other"));
  // A missing section is no error, and an empty name never means the key itself.
  EXPECT_NO_THROW(ini.EraseSection("WhiteList"));
  EXPECT_NO_THROW(ini.EraseSection(""));
  EXPECT_TRUE(KeyExists(path_ + "\\Other"));
  // Writing after an erase creates the section again.
  ini.WriteString("WhiteList", "again", "");
  EXPECT_EQ(Enumerated(path_ + "\\WhiteList"), std::vector<std::string>{"again"});
}

TEST_F(RegistryTest, FailedWritesRaiseWithTheValueName) {
  TRegIniFile ini(path_);
  ini.WriteString("List", "first", "");
  ini.WriteString("List", "second", "");
  std::string tooLong(16384, 'x');
  try {
    ini.WriteString("List", tooLong, "");
    FAIL() << "a value name longer than the registry allows was accepted";
  } catch (const ERegistryException& e) {
    EXPECT_EQ(e.Message(), "Failed to set data for '" + tooLong + "'");
  }
  // What was written before the failure stays.
  TStringList names;
  ini.ReadSection("List", &names);
  EXPECT_EQ(names.Count(), 2);

  // A wrapper opened for reading refuses to write.
  TRegIniFile reader(path_, KEY_READ);
  EXPECT_THROW(reader.WriteString("List", "third", ""), ERegistryException);
  reader.EraseSection("List");
  EXPECT_TRUE(KeyExists(path_ + "\\List"));

  TRegistry reg;
  ASSERT_TRUE(reg.OpenKeyReadOnly(path_ + "\\List"));
  try {
    reg.WriteString("third", "");
    FAIL() << "a key opened for reading was written";
  } catch (const ERegistryException& e) {
    EXPECT_STREQ(e.what(), "Failed to set data for 'third'");
  }
}

TEST_F(RegistryTest, ReadStringFallsBackToTheDefault) {
  TRegIniFile ini(path_);
  ini.WriteString("Settings", "Name", "value");
  SetDword(path_ + "\\Settings", "Number", 5);
  EXPECT_EQ(ini.ReadString("Settings", "Name", "dflt"), "value");
  EXPECT_EQ(ini.ReadString("Settings", "Missing", "dflt"), "dflt");
  EXPECT_EQ(ini.ReadString("Settings", "Number", "dflt"), "dflt");
  EXPECT_EQ(ini.ReadString("NoSection", "Name", "dflt"), "dflt");

  TRegistry reg;
  ASSERT_TRUE(reg.OpenKey(path_, false));
  ASSERT_TRUE(reg.OpenKey("Settings", false));
  EXPECT_EQ(reg.CurrentPath(), path_ + "\\Settings");
  EXPECT_EQ(reg.ReadString("Name"), "value");
  EXPECT_EQ(reg.ReadString("Missing"), "");
  EXPECT_THROW(reg.ReadString("Number"), ERegistryException);
  EXPECT_TRUE(reg.ValueExists("Number"));
  EXPECT_TRUE(reg.DeleteValue("Number"));
  EXPECT_FALSE(reg.ValueExists("Number"));
}

TEST_F(RegistryTest, TextWithoutTerminatorIsReadWithinItsData) {
  TRegIniFile ini(path_);
  ini.WriteString("Raw", "seed", "");
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, (path_ + "\\Raw").c_str(), 0, KEY_SET_VALUE, &key), ERROR_SUCCESS);
  const char raw[3] = {'a', 'b', 'c'};
  RegSetValueExA(key, "Unterminated", 0, REG_SZ, reinterpret_cast<const BYTE*>(raw), sizeof raw);
  RegCloseKey(key);
  EXPECT_EQ(ini.ReadString("Raw", "Unterminated", ""), "abc");
}

// A list is written value after value into one section, whose key stays open
// between the writes; a section deleted meanwhile by someone else is made again.
TEST_F(RegistryTest, WritesIntoASectionDeletedMeanwhileCreateItAgain) {
  TRegIniFile ini(path_);
  ini.WriteString("BlackList", "http://one.example/", "");
  RegDeleteTreeA(HKEY_CURRENT_USER, (path_ + "\\BlackList").c_str());
  ini.WriteString("BlackList", "http://two.example/", "");
  EXPECT_TRUE(KeyExists(path_ + "\\BlackList"));
  ini.EraseSection("BlackList");
  EXPECT_FALSE(KeyExists(path_ + "\\BlackList"));
  ini.WriteString("BlackList", "http://three.example/", "");
  ini.WriteString("WhiteList", "http://four.example/", "");
  TStringList names;
  ini.ReadSection("BlackList", &names);
  ASSERT_EQ(names.Count(), 1);
  EXPECT_EQ(names.Get(0), "http://three.example/");
  ini.ReadSection("WhiteList", &names);
  ASSERT_EQ(names.Count(), 1);
  EXPECT_EQ(names.Get(0), "http://four.example/");
}
