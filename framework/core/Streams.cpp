#include "Streams.h"

#include <algorithm>
#include <cstring>
#include <limits>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace {

// New position for a seek, refusing one before the start and arithmetic overflow.
int64_t SeekTarget(int64_t base, int64_t offset) {
  if ((offset > 0 && base > std::numeric_limits<int64_t>::max() - offset) || base + offset < 0)
    throw EStreamError("Invalid stream position");
  return base + offset;
}

// The largest block one stdio or memcpy call is given, so that a 64-bit count
// never overflows size_t on the 32-bit build.
constexpr int64_t kChunk = int64_t{1} << 30;

}  // namespace

// ---------------------------------------------------------------------------
// TStream

int64_t TStream::Size() {
  int64_t position = Seek(0, soCurrent);
  int64_t size = Seek(0, soEnd);
  Seek(position, soBeginning);
  return size;
}

void TStream::SetSize(int64_t) {
  throw EStreamError("Stream size cannot be changed");
}

void TStream::ReadBuffer(void* buffer, int64_t count) {
  if (count < 0 || (count > 0 && Read(buffer, count) != count)) throw EReadError("Stream read error");
}

void TStream::WriteBuffer(const void* buffer, int64_t count) {
  if (count < 0 || (count > 0 && Write(buffer, count) != count)) throw EWriteError("Stream write error");
}

int64_t TStream::CopyFrom(TStream& source, int64_t count) {
  if (count < 0) throw EReadError("Stream read error");
  if (count == 0) {
    source.SetPosition(0);
    count = source.Size();
  }
  std::vector<uint8_t> buffer(static_cast<size_t>(std::min<int64_t>(count, 64 * 1024)));
  int64_t left = count;
  while (left > 0) {
    int64_t n = std::min<int64_t>(left, static_cast<int64_t>(buffer.size()));
    source.ReadBuffer(buffer.data(), n);
    WriteBuffer(buffer.data(), n);
    left -= n;
  }
  return count;
}

// ---------------------------------------------------------------------------
// TBufferStream

template <class Buffer>
int64_t TBufferStream<Buffer>::Read(void* buffer, int64_t count) {
  int64_t size = Size();
  if (count <= 0 || position_ >= size) return 0;
  int64_t n = std::min(count, size - position_);
  std::memcpy(buffer, data_.data() + position_, static_cast<size_t>(n));
  position_ += n;
  return n;
}

template <class Buffer>
int64_t TBufferStream<Buffer>::Write(const void* buffer, int64_t count) {
  if (count <= 0) return 0;
  if (count > std::numeric_limits<int64_t>::max() - position_ ||
      static_cast<uint64_t>(position_ + count) > static_cast<uint64_t>(data_.max_size()))
    throw EStreamError("Out of memory while expanding memory stream");
  int64_t end = position_ + count;
  if (end > Size()) data_.resize(static_cast<size_t>(end));
  std::memcpy(data_.data() + position_, buffer, static_cast<size_t>(count));
  position_ = end;
  return count;
}

template <class Buffer>
int64_t TBufferStream<Buffer>::Seek(int64_t offset, TSeekOrigin origin) {
  int64_t base = origin == soBeginning ? 0 : origin == soCurrent ? position_ : Size();
  position_ = SeekTarget(base, offset);
  return position_;
}

template <class Buffer>
void TBufferStream<Buffer>::SetSize(int64_t size) {
  if (size < 0 || static_cast<uint64_t>(size) > static_cast<uint64_t>(data_.max_size()))
    throw EStreamError("Out of memory while expanding memory stream");
  data_.resize(static_cast<size_t>(size));
  if (position_ > size) position_ = size;
}

template class TBufferStream<std::vector<uint8_t>>;
template class TBufferStream<std::string>;

// ---------------------------------------------------------------------------
// TMemoryStream

void TMemoryStream::Clear() {
  data_.clear();
  position_ = 0;
}

void TMemoryStream::LoadFromStream(TStream& stream) {
  stream.SetPosition(0);
  int64_t size = stream.Size();
  SetSize(size);
  if (size > 0) stream.ReadBuffer(data_.data(), size);
  position_ = 0;
}

void TMemoryStream::SaveToStream(TStream& stream) const {
  if (!data_.empty()) stream.WriteBuffer(data_.data(), static_cast<int64_t>(data_.size()));
}

void TMemoryStream::LoadFromFile(const std::string& fileName) {
  TFileStream file(fileName, fmOpenRead);
  LoadFromStream(file);
}

void TMemoryStream::SaveToFile(const std::string& fileName) const {
  TFileStream file(fileName, fmCreate);
  SaveToStream(file);
}

// ---------------------------------------------------------------------------
// TStringStream

std::string TStringStream::ReadString(int64_t count) {
  int64_t size = Size();
  if (count <= 0 || position_ >= size) return std::string();
  int64_t n = std::min(count, size - position_);
  std::string result = data_.substr(static_cast<size_t>(position_), static_cast<size_t>(n));
  position_ += n;
  return result;
}

// ---------------------------------------------------------------------------
// TFileStream

namespace {

int SeekFile(std::FILE* file, int64_t offset, int whence) {
#ifdef _WIN32
  return _fseeki64(file, offset, whence);
#else
  return fseeko(file, static_cast<off_t>(offset), whence);
#endif
}

int64_t TellFile(std::FILE* file) {
#ifdef _WIN32
  return _ftelli64(file);
#else
  return static_cast<int64_t>(ftello(file));
#endif
}

}  // namespace

TFileStream::TFileStream(const std::string& fileName, TFileMode mode) : fileName_(fileName), mode_(mode) {
  const char* how = mode == fmCreate ? "w+b" : mode == fmOpenRead ? "rb" : "r+b";
  file_ = std::fopen(fileName.c_str(), how);
  if (!file_) {
    if (mode == fmCreate) throw EFCreateError(Format("Cannot create file \"%s\"", fileName.c_str()));
    throw EFOpenError(Format("Cannot open file \"%s\"", fileName.c_str()));
  }
}

TFileStream::~TFileStream() {
  if (file_) std::fclose(file_);
}

void TFileStream::Switch(LastOp op) {
  // stdio needs a positioning call between reading and writing the same file.
  if (last_ != LastOp::None && last_ != op) SeekFile(file_, 0, SEEK_CUR);
  last_ = op;
}

int64_t TFileStream::Read(void* buffer, int64_t count) {
  if (count <= 0 || mode_ == fmOpenWrite) return 0;
  Switch(LastOp::Read);
  auto* out = static_cast<uint8_t*>(buffer);
  int64_t done = 0;
  while (done < count) {
    size_t want = static_cast<size_t>(std::min(count - done, kChunk));
    size_t got = std::fread(out + done, 1, want, file_);
    done += static_cast<int64_t>(got);
    if (got < want) break;
  }
  return done;
}

int64_t TFileStream::Write(const void* buffer, int64_t count) {
  if (count <= 0 || mode_ == fmOpenRead) return 0;
  Switch(LastOp::Write);
  const auto* in = static_cast<const uint8_t*>(buffer);
  int64_t done = 0;
  while (done < count) {
    size_t want = static_cast<size_t>(std::min(count - done, kChunk));
    size_t put = std::fwrite(in + done, 1, want, file_);
    done += static_cast<int64_t>(put);
    if (put < want) break;
  }
  return done;
}

int64_t TFileStream::Seek(int64_t offset, TSeekOrigin origin) {
  int whence = origin == soBeginning ? SEEK_SET : origin == soCurrent ? SEEK_CUR : SEEK_END;
  if (origin == soBeginning && offset < 0) throw EStreamError("Invalid stream position");
  if (SeekFile(file_, offset, whence) != 0) throw EStreamError("Invalid stream position");
  last_ = LastOp::None;
  return TellFile(file_);
}

int64_t TFileStream::Size() {
  std::fflush(file_);
  return TStream::Size();
}

void TFileStream::SetSize(int64_t size) {
  if (size < 0 || mode_ == fmOpenRead) throw EStreamError("Stream size cannot be changed");
  int64_t position = Position();
  std::fflush(file_);
#ifdef _WIN32
  bool ok = _chsize_s(_fileno(file_), size) == 0;
#else
  bool ok = ftruncate(fileno(file_), static_cast<off_t>(size)) == 0;
#endif
  if (!ok) throw EWriteError("Stream write error");
  Seek(std::min(position, size), soBeginning);
}
