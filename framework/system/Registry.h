#pragma once
// A small wrapper of the registry (one open key at a time, relative paths under
// a root key) and the ini-file view of it that keeps a program's settings as
// subkeys ("sections") of one key.

#include <windows.h>

#include <string>
#include <utility>

#include "Classes.h"
#include "Strings.h"

namespace Reg {

// An open registry key, closed when the owner goes away. Move-only.
class Key {
 public:
  Key() = default;
  explicit Key(HKEY key) noexcept : key_(key) {}
  Key(const Key&) = delete;
  Key& operator=(const Key&) = delete;
  Key(Key&& other) noexcept : key_(other.release()) {}
  Key& operator=(Key&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  ~Key() { reset(); }

  HKEY get() const noexcept { return key_; }
  explicit operator bool() const noexcept { return key_ != nullptr; }
  HKEY release() noexcept { return std::exchange(key_, nullptr); }
  void reset(HKEY key = nullptr) noexcept {
    HKEY old = std::exchange(key_, key);
    if (old) RegCloseKey(old);
  }

 private:
  HKEY key_ = nullptr;
};

// Opens (or with `create`, creates) a subkey; an empty key is returned on failure.
Key Open(HKEY parent, const std::string& subKey, REGSAM access, bool create);
// The names of every value of a key, in the registry's enumeration order.
// Names of any length the registry allows are read whole.
void ValueNames(HKEY key, TStrings& names);

}  // namespace Reg

class TRegistry : public TObject {
  ZX_CLASS(TRegistry, TObject)
 public:
  explicit TRegistry(REGSAM access = KEY_ALL_ACCESS);
  ~TRegistry() override = default;
  TRegistry(const TRegistry&) = delete;
  TRegistry& operator=(const TRegistry&) = delete;

  HKEY RootKey() const { return root_; }
  // Closes the current key when the root changes.
  void SetRootKey(HKEY value);
  REGSAM Access() const { return access_; }
  void SetAccess(REGSAM value) { access_ = value; }
  // The open key, or null.
  HKEY CurrentKey() const { return current_.get(); }
  const std::string& CurrentPath() const { return currentPath_; }

  // Opens a key relative to the current key, or to the root when no key is open
  // or the name starts with a backslash. Returns false when it cannot be opened.
  bool OpenKey(const std::string& key, bool canCreate);
  bool OpenKeyReadOnly(const std::string& key);
  void CloseKey();
  bool KeyExists(const std::string& key) const;
  // Deletes a key relative to the current key with everything below it.
  bool DeleteKey(const std::string& key);

  bool ValueExists(const std::string& name) const;
  void GetValueNames(TStrings& names) const;
  // A text value of the current key; "" when the value does not exist. A value
  // of another type raises ERegistryException.
  std::string ReadString(const std::string& name) const;
  // Writes a REG_SZ value; raises ERegistryException "Failed to set data for 'name'".
  void WriteString(const std::string& name, const std::string& value);
  bool DeleteValue(const std::string& name);

 protected:
  // The key that relative names start from: the current key, else the root.
  HKEY BaseKey(const std::string& key) const;
  static std::string StripLeadingSlash(const std::string& key);

 private:
  HKEY root_ = HKEY_CURRENT_USER;
  REGSAM access_;
  Reg::Key current_;
  std::string currentPath_;
};

// A key under HKEY_CURRENT_USER (created when missing) whose subkeys are
// sections and whose values in them are entries.
class TRegIniFile : public TRegistry {
  ZX_CLASS(TRegIniFile, TRegistry)
 public:
  // The key cannot be opened or created: the object still exists, reading
  // gives nothing and writing raises.
  explicit TRegIniFile(const std::string& fileName, REGSAM access = KEY_ALL_ACCESS);
  const std::string& FileName() const { return fileName_; }

  // The value names of a section in enumeration order. When the section cannot
  // be opened (or `strings` is null) the strings are left as they are;
  // otherwise they are replaced.
  void ReadSection(const std::string& section, TStrings* strings) const;
  // Deletes a section with everything below it; a missing section is no error.
  void EraseSection(const std::string& section);
  std::string ReadString(const std::string& section, const std::string& name,
                         const std::string& defaultValue) const;
  // Creates the section when needed; a failure raises ERegistryException
  // "Failed to set data for 'name'".
  void WriteString(const std::string& section, const std::string& name, const std::string& value);

  using TRegistry::ReadString;
  using TRegistry::WriteString;

 private:
  std::string fileName_;
  // The section last written to stays open: a list is written value after
  // value into one section, and opening its key for each costs more than the write.
  Reg::Key writeKey_;
  std::string writeSection_;
};
