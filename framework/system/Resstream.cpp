#include "Resstream.h"

#include <algorithm>
#include <cstring>
#include <limits>

TResourceStream::TResourceStream(HINSTANCE instance, const std::string& name, const char* type) {
  Initialize(instance, name.c_str(), type, name);
}

TResourceStream::TResourceStream(HINSTANCE instance, int id, const char* type) {
  Initialize(instance, MAKEINTRESOURCEA(id), type, IntToStr(id));
}

void TResourceStream::Initialize(HINSTANCE instance, const char* name, const char* type,
                                 const std::string& shownName) {
  HRSRC info = FindResourceA(instance, name, type);
  HGLOBAL handle = info ? LoadResource(instance, info) : nullptr;
  const void* data = handle ? LockResource(handle) : nullptr;
  if (!data) throw EResNotFound("Resource " + shownName + " not found");
  data_ = static_cast<const uint8_t*>(data);
  size_ = SizeofResource(instance, info);
}

int64_t TResourceStream::Read(void* buffer, int64_t count) {
  if (count <= 0 || position_ >= size_) return 0;
  int64_t n = std::min(count, size_ - position_);
  std::memcpy(buffer, data_ + position_, static_cast<size_t>(n));
  position_ += n;
  return n;
}

int64_t TResourceStream::Write(const void*, int64_t) {
  throw EStreamError("Can't write to a read-only resource stream");
}

int64_t TResourceStream::Seek(int64_t offset, TSeekOrigin origin) {
  int64_t base = origin == soBeginning ? 0 : origin == soCurrent ? position_ : size_;
  if ((offset > 0 && base > std::numeric_limits<int64_t>::max() - offset) || base + offset < 0)
    throw EStreamError("Invalid stream position");
  position_ = base + offset;
  return position_;
}
