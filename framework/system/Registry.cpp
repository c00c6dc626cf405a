#include "Registry.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

// Value names are at most 16383 characters; in a multi-byte code page the ANSI
// form can take two bytes per character. Nothing longer is ever asked for.
constexpr size_t kMaxNameBuffer = 2 * 16384 + 2;
// Text values are read whole up to this size; the registry keeps far less.
constexpr DWORD kMaxTextBytes = 0x7FFFFFF0;

[[noreturn]] void SetDataFailed(const std::string& name) {
  throw ERegistryException(Format("Failed to set data for '%s'", name.c_str()));
}

// Reads a value of any type as text; the data need not carry its terminating
// zero. Returns the registry's result, ERROR_MORE_DATA when the value kept
// growing while it was read.
LONG QueryText(HKEY key, const std::string& name, DWORD& type, std::string& text) {
  DWORD size = 0;
  LONG result = RegQueryValueExA(key, name.c_str(), nullptr, &type, nullptr, &size);
  for (int attempt = 0; result == ERROR_SUCCESS && attempt < 4; ++attempt) {
    if (size > kMaxTextBytes) return ERROR_NOT_ENOUGH_MEMORY;
    std::vector<BYTE> data(static_cast<size_t>(size) + 1, 0);
    DWORD got = size;
    result = RegQueryValueExA(key, name.c_str(), nullptr, &type, data.data(), &got);
    if (result == ERROR_MORE_DATA) {
      size = got;
      result = ERROR_SUCCESS;
      continue;
    }
    if (result != ERROR_SUCCESS) return result;
    size_t length = std::min<size_t>(got, size);
    const char* chars = reinterpret_cast<const char*>(data.data());
    text.assign(chars, strnlen(chars, length));
    return ERROR_SUCCESS;
  }
  return result == ERROR_SUCCESS ? ERROR_MORE_DATA : result;
}

bool IsTextType(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ; }

// Stores a REG_SZ value or raises the wrapper's error naming the value.
void SetText(HKEY key, const std::string& name, const std::string& value) {
  if (!key || value.size() >= kMaxTextBytes) SetDataFailed(name);
  LONG result = RegSetValueExA(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                               static_cast<DWORD>(value.size() + 1));
  if (result != ERROR_SUCCESS) SetDataFailed(name);
}

}  // namespace

Reg::Key Reg::Open(HKEY parent, const std::string& subKey, REGSAM access, bool create) {
  if (!parent) return Key();
  HKEY key = nullptr;
  LONG result = create ? RegCreateKeyExA(parent, subKey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, access,
                                         nullptr, &key, nullptr)
                       : RegOpenKeyExA(parent, subKey.c_str(), 0, access, &key);
  return Key(result == ERROR_SUCCESS ? key : nullptr);
}

void Reg::ValueNames(HKEY key, TStrings& names) {
  DWORD maxName = 0;
  if (RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &maxName, nullptr,
                       nullptr, nullptr) != ERROR_SUCCESS)
    maxName = 0;
  std::vector<char> buffer(std::clamp<size_t>(static_cast<size_t>(maxName) + 1, 256, kMaxNameBuffer));
  std::vector<std::string> found;
  DWORD index = 0;
  for (;;) {
    DWORD length = static_cast<DWORD>(buffer.size());
    LONG result = RegEnumValueA(key, index, buffer.data(), &length, nullptr, nullptr, nullptr, nullptr);
    if (result == ERROR_MORE_DATA) {
      // A longer name than the key reported, added meanwhile or counted in
      // wide characters: grow and read the same index again.
      if (buffer.size() < kMaxNameBuffer) {
        buffer.resize(std::min(buffer.size() * 2, kMaxNameBuffer));
        continue;
      }
      ++index;
      continue;
    }
    if (result != ERROR_SUCCESS) break;
    found.emplace_back(buffer.data(), std::min<size_t>(length, buffer.size()));
    ++index;
  }
  names.BeginUpdate();
  try {
    names.Clear();
    for (const std::string& name : found) names.Add(name);
  } catch (...) {
    names.EndUpdate();
    throw;
  }
  names.EndUpdate();
}

// ---------------------------------------------------------------------------
// TRegistry

const TClassInfo& TRegistry::StaticClass() {
  static const TClassInfo info = DefineClass<TRegistry>("TRegistry");
  return info;
}

TRegistry::TRegistry(REGSAM access) : access_(access) {}

void TRegistry::SetRootKey(HKEY value) {
  if (root_ == value) return;
  CloseKey();
  root_ = value;
}

std::string TRegistry::StripLeadingSlash(const std::string& key) {
  return !key.empty() && key.front() == '\\' ? key.substr(1) : key;
}

HKEY TRegistry::BaseKey(const std::string& key) const {
  bool absolute = !key.empty() && key.front() == '\\';
  return absolute || !current_ ? root_ : current_.get();
}

bool TRegistry::OpenKey(const std::string& key, bool canCreate) {
  bool relative = BaseKey(key) != root_;
  std::string path = StripLeadingSlash(key);
  Reg::Key opened = Reg::Open(BaseKey(key), path, access_, canCreate);
  if (!opened) return false;
  if (!relative) currentPath_ = path;
  else if (!path.empty()) currentPath_ += "\\" + path;
  current_ = std::move(opened);
  return true;
}

bool TRegistry::OpenKeyReadOnly(const std::string& key) {
  REGSAM saved = access_;
  access_ = KEY_READ;
  bool ok = OpenKey(key, false);
  access_ = saved;
  return ok;
}

void TRegistry::CloseKey() {
  current_.reset();
  currentPath_.clear();
}

bool TRegistry::KeyExists(const std::string& key) const {
  return static_cast<bool>(Reg::Open(BaseKey(key), StripLeadingSlash(key), KEY_QUERY_VALUE, false));
}

bool TRegistry::DeleteKey(const std::string& key) {
  std::string path = StripLeadingSlash(key);
  // An empty name would make the tree deletion empty the base key itself.
  if (path.empty()) return false;
  return RegDeleteTreeA(BaseKey(key), path.c_str()) == ERROR_SUCCESS;
}

bool TRegistry::ValueExists(const std::string& name) const {
  if (!current_) return false;
  return RegQueryValueExA(current_.get(), name.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

void TRegistry::GetValueNames(TStrings& names) const {
  if (current_) Reg::ValueNames(current_.get(), names);
  else names.Clear();
}

std::string TRegistry::ReadString(const std::string& name) const {
  if (!current_) return std::string();
  DWORD type = REG_NONE;
  std::string text;
  if (QueryText(current_.get(), name, type, text) != ERROR_SUCCESS) return std::string();
  if (!IsTextType(type)) throw ERegistryException(Format("Invalid data type for '%s'", name.c_str()));
  return text;
}

void TRegistry::WriteString(const std::string& name, const std::string& value) {
  SetText(current_.get(), name, value);
}

bool TRegistry::DeleteValue(const std::string& name) {
  return current_ && RegDeleteValueA(current_.get(), name.c_str()) == ERROR_SUCCESS;
}

// ---------------------------------------------------------------------------
// TRegIniFile

const TClassInfo& TRegIniFile::StaticClass() {
  static const TClassInfo info = DefineClass<TRegIniFile>("TRegIniFile");
  return info;
}

TRegIniFile::TRegIniFile(const std::string& fileName, REGSAM access) : TRegistry(access), fileName_(fileName) {
  SetRootKey(HKEY_CURRENT_USER);
  OpenKey(fileName, true);
}

void TRegIniFile::ReadSection(const std::string& section, TStrings* strings) const {
  if (!strings) return;
  Reg::Key key = Reg::Open(CurrentKey(), section, KEY_READ, false);
  if (key) Reg::ValueNames(key.get(), *strings);
}

void TRegIniFile::EraseSection(const std::string& section) {
  // The ini key itself is never a section: an empty name deletes nothing.
  if (!CurrentKey() || section.empty() || !(Access() & DELETE)) return;
  writeKey_.reset();
  writeSection_.clear();
  RegDeleteTreeA(CurrentKey(), section.c_str());
}

std::string TRegIniFile::ReadString(const std::string& section, const std::string& name,
                                    const std::string& defaultValue) const {
  Reg::Key key = Reg::Open(CurrentKey(), section, KEY_READ, false);
  if (!key) return defaultValue;
  DWORD type = REG_NONE;
  std::string text;
  if (QueryText(key.get(), name, type, text) != ERROR_SUCCESS || !IsTextType(type)) return defaultValue;
  return text;
}

void TRegIniFile::WriteString(const std::string& section, const std::string& name, const std::string& value) {
  // A wrapper opened for reading writes nothing, even where the key would allow it.
  if (!(Access() & KEY_SET_VALUE)) SetDataFailed(name);
  if (writeKey_ && writeSection_ == section && value.size() < kMaxTextBytes) {
    LONG result = RegSetValueExA(writeKey_.get(), name.c_str(), 0, REG_SZ,
                                 reinterpret_cast<const BYTE*>(value.c_str()), static_cast<DWORD>(value.size() + 1));
    if (result == ERROR_SUCCESS) return;
    // Another program may have deleted the section meanwhile: open it anew once.
  }
  writeKey_ = Reg::Open(CurrentKey(), section, KEY_SET_VALUE, true);
  writeSection_ = section;
  SetText(writeKey_.get(), name, value);
}
