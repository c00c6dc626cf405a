#pragma once
// A read-only stream over a resource of a loaded module (Win32).

#include <windows.h>

#include <string>

#include "Streams.h"

class TResourceStream : public TStream {
 public:
  // `type` is a resource type such as RT_RCDATA. A missing resource raises
  // EResNotFound "Resource <name> not found".
  TResourceStream(HINSTANCE instance, const std::string& name, const char* type);
  TResourceStream(HINSTANCE instance, int id, const char* type);

  int64_t Read(void* buffer, int64_t count) override;
  // Resources are read-only: writing raises EStreamError.
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  int64_t Size() override { return size_; }

  const uint8_t* Memory() const { return data_; }

 private:
  void Initialize(HINSTANCE instance, const char* name, const char* type, const std::string& shownName);
  // Resource memory belongs to the module and needs no release.
  const uint8_t* data_ = nullptr;
  int64_t size_ = 0;
  int64_t position_ = 0;
};
