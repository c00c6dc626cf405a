#pragma once
// Byte streams: the abstract TStream, memory, file and string streams.
// Portable: files go through <cstdio>; the resource stream lives in Resstream.h.

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "Classes.h"

enum TSeekOrigin { soBeginning, soCurrent, soEnd };

class TStream : public TObject {
 public:
  // Read and Write move up to `count` bytes and return how many they moved.
  virtual int64_t Read(void* buffer, int64_t count) = 0;
  virtual int64_t Write(const void* buffer, int64_t count) = 0;
  // Returns the new position; a position before the start raises EStreamError.
  virtual int64_t Seek(int64_t offset, TSeekOrigin origin) = 0;

  int64_t Position() { return Seek(0, soCurrent); }
  void SetPosition(int64_t position) { Seek(position, soBeginning); }
  virtual int64_t Size();
  virtual void SetSize(int64_t size);

  // All or nothing: EReadError "Stream read error" / EWriteError "Stream write error".
  void ReadBuffer(void* buffer, int64_t count);
  void WriteBuffer(const void* buffer, int64_t count);
  // Copies `count` bytes from the source's position, or with count 0 the whole
  // source from its start; returns the number of bytes copied.
  int64_t CopyFrom(TStream& source, int64_t count);
};

// A stream over a block of memory that it owns and grows as it is written.
// A stream over bytes held in memory, in a buffer of type Buffer (a vector of
// bytes or a string).
template <class Buffer>
class TBufferStream : public TStream {
 public:
  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  int64_t Size() override { return static_cast<int64_t>(data_.size()); }
  void SetSize(int64_t size) override;

 protected:
  TBufferStream() = default;
  explicit TBufferStream(Buffer data) : data_(std::move(data)) {}
  Buffer data_;
  int64_t position_ = 0;
};

class TMemoryStream : public TBufferStream<std::vector<uint8_t>> {
 public:
  const uint8_t* Memory() const { return data_.data(); }
  uint8_t* Memory() { return data_.data(); }
  void Clear();
  // Replaces the content by the whole of the other stream and rewinds.
  void LoadFromStream(TStream& stream);
  void SaveToStream(TStream& stream) const;
  void LoadFromFile(const std::string& fileName);
  void SaveToFile(const std::string& fileName) const;
};

// The whole content kept as a std::string.
class TStringStream : public TBufferStream<std::string> {
 public:
  explicit TStringStream(std::string data = {}) : TBufferStream(std::move(data)) {}

  const std::string& DataString() const { return data_; }
  // Reads up to `count` bytes from the position.
  std::string ReadString(int64_t count);
  void WriteString(const std::string& text) { WriteBuffer(text.data(), static_cast<int64_t>(text.size())); }
};

enum TFileMode { fmCreate, fmOpenRead, fmOpenWrite, fmOpenReadWrite };

// A file opened for the stream's lifetime. fmCreate creates or truncates the
// file and opens it for reading and writing; the other modes need an existing
// file. Failure raises EFCreateError or EFOpenError.
class TFileStream : public TStream {
 public:
  TFileStream(const std::string& fileName, TFileMode mode);
  ~TFileStream() override;
  TFileStream(const TFileStream&) = delete;
  TFileStream& operator=(const TFileStream&) = delete;

  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  int64_t Size() override;
  void SetSize(int64_t size) override;
  const std::string& FileName() const { return fileName_; }

 private:
  enum class LastOp { None, Read, Write };
  void Switch(LastOp op);
  std::FILE* file_ = nullptr;
  std::string fileName_;
  TFileMode mode_;
  LastOp last_ = LastOp::None;
};
