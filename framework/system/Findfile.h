#pragma once
// The file search: the entries of a folder that match a pattern, with their
// attributes, found one after another. The search handle is owned by the
// search record and closed when the record lets go of it.

#include <windows.h>

#include <cstdint>
#include <string>

// Attribute bits of a search result and of the mask a search takes.
enum : int {
  faReadOnly = 0x01,
  faHidden = 0x02,
  faSysFile = 0x04,
  faVolumeID = 0x08,
  faDirectory = 0x10,
  faArchive = 0x20,
  faAnyFile = 0x3F,
};

// Owns a handle of FindFirstFileA; move-only.
class TFindHandle {
 public:
  TFindHandle() = default;
  explicit TFindHandle(HANDLE handle) noexcept : handle_(handle) {}
  TFindHandle(TFindHandle&& other) noexcept : handle_(other.Release()) {}
  TFindHandle& operator=(TFindHandle&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
  }
  TFindHandle(const TFindHandle&) = delete;
  TFindHandle& operator=(const TFindHandle&) = delete;
  ~TFindHandle() { Reset(); }

  HANDLE get() const noexcept { return handle_; }
  explicit operator bool() const noexcept { return handle_ != INVALID_HANDLE_VALUE; }
  HANDLE Release() noexcept {
    HANDLE h = handle_;
    handle_ = INVALID_HANDLE_VALUE;
    return h;
  }
  void Reset(HANDLE handle = INVALID_HANDLE_VALUE) noexcept {
    if (handle_ != INVALID_HANDLE_VALUE) FindClose(handle_);
    handle_ = handle;
  }

 private:
  HANDLE handle_ = INVALID_HANDLE_VALUE;
};

// The current result of a search and the search itself.
struct TSearchRec {
  std::string Name;
  int Attr = 0;
  int64_t Size = 0;
  FILETIME Time{};
  // Entries carrying one of these attributes (hidden, system, volume label)
  // are skipped unless the search's mask has it.
  int ExcludeAttr = 0;
  TFindHandle Handle;
};

// Starts a search for `path` (a folder and a pattern such as c:\a\*.*); 0 and
// the first result that the mask admits, else a Win32 error code (the search
// is then closed). FindNext continues it the same way; FindClose ends it.
int FindFirst(const std::string& path, int attr, TSearchRec& rec);
int FindNext(TSearchRec& rec);
void FindClose(TSearchRec& rec);
