#include "Findfile.h"

namespace {

// Copies the find data into the record; false when the mask excludes the entry.
bool Take(const WIN32_FIND_DATAA& data, TSearchRec& rec) {
  const int attr = static_cast<int>(data.dwFileAttributes);
  if (attr & rec.ExcludeAttr) return false;
  rec.Attr = attr;
  rec.Size = static_cast<int64_t>((static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow);
  rec.Time = data.ftLastWriteTime;
  rec.Name = data.cFileName;
  return true;
}

// Moves on until an admitted entry or the end; 0 or the error code.
int Advance(TSearchRec& rec) {
  WIN32_FIND_DATAA data;
  while (FindNextFileA(rec.Handle.get(), &data))
    if (Take(data, rec)) return 0;
  return static_cast<int>(GetLastError());
}

}  // namespace

int FindFirst(const std::string& path, int attr, TSearchRec& rec) {
  rec.ExcludeAttr = ~attr & (faHidden | faSysFile | faVolumeID);
  WIN32_FIND_DATAA data;
  rec.Handle.Reset(FindFirstFileA(path.c_str(), &data));
  if (!rec.Handle) return static_cast<int>(GetLastError());
  if (Take(data, rec)) return 0;
  const int error = Advance(rec);
  if (error) rec.Handle.Reset();
  return error;
}

int FindNext(TSearchRec& rec) {
  if (!rec.Handle) return ERROR_NO_MORE_FILES;
  return Advance(rec);
}

void FindClose(TSearchRec& rec) { rec.Handle.Reset(); }
