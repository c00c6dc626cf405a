#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "Streams.h"

namespace {

std::string TempPath(const std::string& name) {
  return (std::filesystem::temp_directory_path() / ("zx_streams_test_" + name)).string();
}

// Removes the file when the test ends, whatever happened.
struct TempFile {
  explicit TempFile(const std::string& name) : path(TempPath(name)) { std::filesystem::remove(path); }
  ~TempFile() {
    std::error_code ec;
    std::filesystem::remove(path, ec);
  }
  std::string path;
};

std::string ReadAll(TStream& s) {
  s.SetPosition(0);
  std::string data(static_cast<size_t>(s.Size()), '\0');
  s.ReadBuffer(data.data(), s.Size());
  return data;
}

TEST(MemoryStreamTest, ReadWriteSeekAndSize) {
  TMemoryStream m;
  m.WriteBuffer("hello", 5);
  EXPECT_EQ(m.Position(), 5);
  EXPECT_EQ(m.Size(), 5);
  EXPECT_EQ(m.Seek(-2, soEnd), 3);
  char buf[8] = {};
  EXPECT_EQ(m.Read(buf, 8), 2);  // short read at the end
  EXPECT_EQ(std::string(buf, 2), "lo");
  EXPECT_EQ(m.Read(buf, 8), 0);
  m.SetPosition(1);
  m.WriteBuffer("EL", 2);
  EXPECT_EQ(ReadAll(m), "hELlo");
  // Writing past the end fills the gap with zero bytes.
  m.Seek(3, soEnd);
  m.WriteBuffer("!", 1);
  EXPECT_EQ(ReadAll(m), std::string("hELlo\0\0\0!", 9));
  m.SetSize(2);
  EXPECT_EQ(m.Position(), 2);
  EXPECT_EQ(ReadAll(m), "hE");
  m.Clear();
  EXPECT_EQ(m.Size(), 0);
}

TEST(MemoryStreamTest, ErrorsOfReadBufferSeekAndSize) {
  TMemoryStream m;
  m.WriteBuffer("abc", 3);
  m.SetPosition(1);
  char buf[4];
  try {
    m.ReadBuffer(buf, 3);
    ADD_FAILURE();
  } catch (const EReadError& e) {
    EXPECT_EQ(e.Message(), "Stream read error");
  }
  EXPECT_THROW(m.Seek(-1, soBeginning), EStreamError);
  EXPECT_THROW(m.Seek(-4, soEnd), EStreamError);
  EXPECT_THROW(m.Seek(INT64_MAX, soEnd), EStreamError);
  EXPECT_THROW(m.ReadBuffer(buf, -1), EReadError);
  EXPECT_THROW(m.SetSize(-1), EStreamError);
  m.SetPosition(INT64_MAX - 1);
  EXPECT_THROW(m.Write("xy", 2), EStreamError);  // the end would not fit
  EXPECT_EQ(m.Size(), 3);
}

TEST(MemoryStreamTest, CopyFromTakesACountOrTheWholeSource) {
  TStringStream source("0123456789");
  source.SetPosition(4);
  TMemoryStream m;
  EXPECT_EQ(m.CopyFrom(source, 3), 3);
  EXPECT_EQ(ReadAll(m), "456");
  m.Clear();
  source.SetPosition(8);
  EXPECT_EQ(m.CopyFrom(source, 0), 10);  // 0: everything, from the start
  EXPECT_EQ(ReadAll(m), "0123456789");
  source.SetPosition(8);
  EXPECT_THROW(m.CopyFrom(source, 3), EReadError);
  // A large copy goes through the buffer in several rounds.
  std::string big(200000, 'q');
  big[150000] = 'Z';
  TStringStream bigSource(big);
  TMemoryStream copy;
  copy.CopyFrom(bigSource, 0);
  EXPECT_EQ(ReadAll(copy), big);
}

TEST(StringStreamTest, ReadStringAndWriteString) {
  TStringStream s("abc");
  s.Seek(0, soEnd);
  s.WriteString(std::string("\0d", 2));
  EXPECT_EQ(s.DataString(), std::string("abc\0d", 5));
  s.SetPosition(1);
  EXPECT_EQ(s.ReadString(2), "bc");
  EXPECT_EQ(s.ReadString(100), std::string("\0d", 2));
  EXPECT_EQ(s.ReadString(1), "");
}

TEST(FileStreamTest, CreateWriteReopenAndRead) {
  TempFile f("rw.bin");
  {
    TFileStream out(f.path, fmCreate);
    out.WriteBuffer("line one\r\n", 10);
    out.WriteBuffer("\0\xFF", 2);
    EXPECT_EQ(out.Size(), 12);
  }
  TFileStream in(f.path, fmOpenRead);
  EXPECT_EQ(in.Size(), 12);
  EXPECT_EQ(ReadAll(in), std::string("line one\r\n\0\xFF", 12));
  // A file opened for reading takes no writes.
  try {
    in.WriteBuffer("x", 1);
    ADD_FAILURE();
  } catch (const EWriteError& e) {
    EXPECT_EQ(e.Message(), "Stream write error");
  }
  EXPECT_THROW(in.Seek(-1, soBeginning), EStreamError);
}

TEST(FileStreamTest, ReadingAndWritingTheSameFileInTurns) {
  TempFile f("turns.bin");
  TFileStream s(f.path, fmCreate);
  s.WriteBuffer("abcdef", 6);
  s.SetPosition(2);
  char two[2];
  s.ReadBuffer(two, 2);
  EXPECT_EQ(std::string(two, 2), "cd");
  s.WriteBuffer("XY", 2);  // right after a read: the switch must be handled
  s.SetPosition(0);
  EXPECT_EQ(ReadAll(s), "abcdXY");
  s.SetSize(3);
  EXPECT_EQ(s.Size(), 3);
  EXPECT_EQ(s.Position(), 3);
  EXPECT_EQ(ReadAll(s), "abc");
}

TEST(FileStreamTest, OpenModesAndTheirErrors) {
  TempFile missing("missing.bin");
  try {
    TFileStream s(missing.path, fmOpenRead);
    ADD_FAILURE();
  } catch (const EFOpenError& e) {
    EXPECT_EQ(e.Message(), "Cannot open file \"" + missing.path + "\"");
  }
  EXPECT_THROW((TFileStream(missing.path, fmOpenReadWrite)), EFOpenError);
  EXPECT_FALSE(std::filesystem::exists(missing.path));  // opening never creates

  std::string dir = TempPath("no_such_dir") + "/x.bin";
  EXPECT_THROW((TFileStream(dir, fmCreate)), EFCreateError);

  // Open for writing keeps the content and overwrites from the start.
  TempFile f("modes.bin");
  {
    TFileStream s(f.path, fmCreate);
    s.WriteBuffer("12345", 5);
  }
  {
    TFileStream s(f.path, fmOpenWrite);
    s.WriteBuffer("ab", 2);
    char c;
    EXPECT_EQ(s.Read(&c, 1), 0);
  }
  TFileStream s(f.path, fmOpenRead);
  EXPECT_EQ(ReadAll(s), "ab345");
}

TEST(FileStreamTest, MemoryStreamLoadsAndSavesFiles) {
  TempFile f("memory.bin");
  TMemoryStream m;
  std::string data(70000, '\0');
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 7);
  m.WriteBuffer(data.data(), static_cast<int64_t>(data.size()));
  m.SaveToFile(f.path);
  TMemoryStream back;
  back.WriteBuffer("old", 3);
  back.LoadFromFile(f.path);
  EXPECT_EQ(back.Position(), 0);
  EXPECT_EQ(back.Size(), 70000);
  EXPECT_EQ(std::memcmp(back.Memory(), data.data(), data.size()), 0);
  EXPECT_THROW(back.LoadFromFile(TempPath("absent.bin")), EFOpenError);
  EXPECT_EQ(back.Size(), 70000);  // a failed load leaves the content alone
}


}  // namespace
