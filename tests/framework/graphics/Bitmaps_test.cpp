// Bitmaps: sizes and formats, the .bmp format in every depth, damaged files and resources.

#include <gtest/gtest.h>

#include <cstring>

#include "Graphics.h"

namespace {

TColor At(TBitmap& b, int x, int y) { return b.Canvas()->Pixels(x, y); }

// Little-endian builder for hand-made .bmp files.
struct Bytes {
  std::vector<uint8_t> v;
  Bytes& u8(unsigned x) {
    v.push_back(static_cast<uint8_t>(x));
    return *this;
  }
  Bytes& u16(unsigned x) { return u8(x & 0xFF).u8(x >> 8); }
  Bytes& u32(uint32_t x) { return u16(x & 0xFFFF).u16(x >> 16); }
  Bytes& raw(std::initializer_list<unsigned> xs) {
    for (unsigned x : xs) u8(x);
    return *this;
  }
};

// File header plus a 40-byte info header; the caller appends the rest.
Bytes BmpHeader(int w, int h, int bits, uint32_t compression, uint32_t colorsUsed, uint32_t offBits) {
  Bytes b;
  b.raw({'B', 'M'}).u32(0).u32(0).u32(offBits);
  b.u32(40).u32(static_cast<uint32_t>(w)).u32(static_cast<uint32_t>(h)).u16(1).u16(static_cast<unsigned>(bits));
  b.u32(compression).u32(0).u32(0).u32(0).u32(colorsUsed).u32(0);
  return b;
}

// A picture with a different colour in every corner and a diagonal.
void Paint(TBitmap& b, const TColor colors[4]) {
  TCanvas* c = b.Canvas();
  c->Brush()->SetColor(colors[0]);
  c->FillRect(RECT{0, 0, b.Width(), b.Height()});
  c->SetPixels(b.Width() - 1, 0, colors[1]);
  c->SetPixels(0, b.Height() - 1, colors[2]);
  for (int i = 0; i < std::min(b.Width(), b.Height()); ++i) c->SetPixels(i, i, colors[3]);
}

}  // namespace

TEST(BitmapSize, NewBitmapsAre32BitsAndResizingKeepsThePicture) {
  TBitmap b;
  EXPECT_TRUE(b.Empty());
  EXPECT_EQ(b.PixelFormat(), pf32bit);
  b.SetSize(4, 3);
  ASSERT_FALSE(b.Empty());
  b.Canvas()->Brush()->SetColor(clRed);
  b.Canvas()->FillRect(RECT{0, 0, 4, 3});
  b.Canvas()->Brush()->SetColor(clBlue);
  b.SetWidth(6);
  b.SetHeight(5);
  EXPECT_EQ(At(b, 3, 2), clRed);
  EXPECT_EQ(At(b, 5, 4), clBlue) << "new parts take the canvas brush";
  EXPECT_EQ(At(b, 4, 0), clBlue);
  b.SetWidth(2);
  EXPECT_EQ(b.Width(), 2);
  EXPECT_EQ(At(b, 1, 1), clRed);
  b.SetWidth(0);
  EXPECT_TRUE(b.Empty());
  EXPECT_TRUE(b.SaveToData().empty());
  // An empty bitmap keeps its other side: height first, then width, gives both.
  EXPECT_EQ(b.Height(), 5);
  TBitmap c;
  c.SetHeight(7);
  c.SetWidth(9);
  EXPECT_FALSE(c.Empty());
  EXPECT_EQ(c.Height(), 7);
  EXPECT_EQ(c.Canvas()->Pixels(8, 6), clWhite);
}

TEST(BitmapSize, OnChangeOnlyForRealChanges) {
  TBitmap b;
  int changes = 0;
  b.OnChange = TNotifyEvent([&](TObject*) { ++changes; });
  b.SetSize(3, 3);
  b.SetSize(3, 3);
  b.SetPixelFormat(pf32bit);
  EXPECT_EQ(changes, 1);
  b.SetPixelFormat(pf24bit);
  EXPECT_EQ(changes, 2);
}

TEST(BitmapFormat, ConversionKeepsColoursTheFormatCanHold) {
  TBitmap b(5, 5);
  const TColor colors[4] = {clWhite, clRed, clBlue, clBlack};
  Paint(b, colors);
  for (TPixelFormat f : {pf24bit, pf16bit, pf15bit, pf8bit, pf4bit, pf32bit}) {
    b.SetPixelFormat(f);
    EXPECT_EQ(b.PixelFormat(), f);
    EXPECT_EQ(At(b, 4, 0), clRed) << f;
    EXPECT_EQ(At(b, 0, 4), clBlue) << f;
    EXPECT_EQ(At(b, 2, 2), clBlack) << f;
    EXPECT_EQ(At(b, 3, 1), clWhite) << f;
  }
}

TEST(BitmapFile, RoundTripInEveryDepth) {
  const TColor colors[4] = {clWhite, clRed, clBlue, clBlack};
  for (TPixelFormat f : {pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit}) {
    SCOPED_TRACE(f);
    // Odd widths exercise the row padding.
    TBitmap b(7, 3);
    b.SetPixelFormat(f);
    const TColor mono[4] = {clWhite, clBlack, clBlack, clBlack};
    Paint(b, f == pf1bit ? mono : colors);
    std::vector<uint8_t> file = b.SaveToData();
    ASSERT_GE(file.size(), 54u);
    EXPECT_EQ(file[0], 'B');
    EXPECT_EQ(file[28], PixelFormatBits(f));

    TBitmap c;
    c.LoadFromData(file);
    EXPECT_EQ(c.PixelFormat(), f);
    EXPECT_EQ(c.Width(), 7);
    EXPECT_EQ(c.Height(), 3);
    EXPECT_EQ(c.SaveToData(), file);
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < 7; ++x) EXPECT_EQ(At(c, x, y), At(b, x, y)) << x << "," << y;
  }
}

TEST(BitmapFile, ThirtyTwoBitsKeepTheAlphaByte) {
  TBitmap b(2, 1);
  b.ScanLine(0)[3] = 0x80;
  b.ScanLine(0)[7] = 0x00;
  TBitmap c;
  c.LoadFromData(b.SaveToData());
  EXPECT_EQ(c.ScanLine(0)[3], 0x80);
  EXPECT_EQ(c.ScanLine(0)[7], 0x00);
}

TEST(BitmapFile, ReadsFilesOfOtherWriters) {
  struct Case {
    const char* name;
    std::vector<uint8_t> file;
    int w, h;
    std::vector<TColor> pixels;  // row by row from the top
  };
  std::vector<Case> cases;
  {  // 24 bits, top-down (negative height), rows padded to 4 bytes
    Bytes b = BmpHeader(2, -2, 24, BI_RGB, 0, 54);
    b.raw({0, 0, 255, 0, 255, 0, 0, 0}).raw({255, 0, 0, 255, 255, 255, 0, 0});
    cases.push_back({"top-down 24", b.v, 2, 2, {clRed, clLime, clBlue, clWhite}});
  }
  {  // 16 bits 5-6-5 given by bit fields after the header
    Bytes b = BmpHeader(2, 1, 16, BI_BITFIELDS, 0, 66);
    b.u32(0xF800).u32(0x07E0).u32(0x001F).u16(0xF800).u16(0x001F);
    cases.push_back({"565", b.v, 2, 1, {clRed, clBlue}});
  }
  {  // 32 bits with the channels in an unusual order: decoded into the usual one
    Bytes b = BmpHeader(1, 1, 32, BI_BITFIELDS, 0, 66);
    b.u32(0x000000FF).u32(0x0000FF00).u32(0x00FF0000).u32(0x00C08040);
    cases.push_back({"32 with masks", b.v, 1, 1, {RGB(0x40, 0x80, 0xC0)}});
  }
  {  // the old core header with three-byte colour entries
    Bytes b;
    b.raw({'B', 'M'}).u32(0).u32(0).u32(14 + 12 + 6);
    b.u32(12).u16(3).u16(1).u16(1).u16(1).raw({0, 0, 255, 0, 255, 0}).raw({0x40, 0, 0, 0});
    cases.push_back({"core header", b.v, 3, 1, {clRed, clLime, clRed}});
  }
  {  // 8-bit run-length coding: a run, a literal run, end of line, end of picture
    Bytes b = BmpHeader(4, 2, 8, BI_RLE8, 2, 54 + 8);
    b.raw({0, 0, 255, 0, 0, 255, 0, 0});
    b.raw({4, 1, 0, 0}).raw({0, 3, 0, 1, 0, 0}).raw({0, 1});
    cases.push_back({"rle8", b.v, 4, 2, {clRed, clLime, clRed, clRed, clLime, clLime, clLime, clLime}});
  }
  {  // a pixel offset that points past the end falls back to the colour table's end
    Bytes b = BmpHeader(1, 1, 24, BI_RGB, 0, 5000);
    b.raw({0, 255, 0, 0});
    cases.push_back({"bad offset", b.v, 1, 1, {clLime}});
  }
  for (auto& c : cases) {
    SCOPED_TRACE(c.name);
    TBitmap b;
    ASSERT_NO_THROW(b.LoadFromData(c.file));
    ASSERT_EQ(b.Width(), c.w);
    ASSERT_EQ(b.Height(), c.h);
    for (int i = 0; i < c.w * c.h; ++i) EXPECT_EQ(At(b, i % c.w, i / c.w), c.pixels[static_cast<size_t>(i)]) << i;
  }
}

TEST(BitmapFile, DamagedFilesAreRefusedAndChangeNothing) {
  std::vector<std::pair<const char*, std::vector<uint8_t>>> bad;
  bad.push_back({"not a bitmap", {'G', 'I', 'F', '8', '9', 'a', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}});
  bad.push_back({"header only", BmpHeader(2, 2, 24, BI_RGB, 0, 54).v});
  {
    Bytes b = BmpHeader(2, 2, 24, BI_RGB, 0, 54);
    b.raw({1, 2, 3, 4, 5, 6, 0, 0, 1, 2});
    bad.push_back({"pixels cut short", b.v});
  }
  bad.push_back({"zero width", BmpHeader(0, 2, 24, BI_RGB, 0, 54).raw({0, 0, 0, 0}).v});
  bad.push_back({"bits per pixel 7", BmpHeader(1, 1, 7, BI_RGB, 0, 54).raw({0, 0, 0, 0}).v});
  bad.push_back({"huge", BmpHeader(0x7FFFFFFF, 0x7FFFFFFF, 32, BI_RGB, 0, 54).raw({0, 0, 0, 0}).v});
  bad.push_back({"most negative height", BmpHeader(1, static_cast<int>(0x80000000u), 32, BI_RGB, 0, 54).v});
  bad.push_back({"colour table missing", BmpHeader(1, 1, 8, BI_RGB, 0, 54).raw({0, 0, 0, 0}).v});
  {
    Bytes b = BmpHeader(1, 1, 32, BI_BITFIELDS, 0, 66);
    b.u32(0x00F0F000).u32(0x0000000F).u32(0x0F000000).u32(0);
    bad.push_back({"mask with a gap", b.v});
  }
  {
    Bytes b;
    b.raw({'B', 'M'}).u32(0).u32(0).u32(54).u32(0xFFFFFFF0u);
    bad.push_back({"header size beyond the file", b.v});
  }
  bad.push_back({"unknown compression", BmpHeader(1, 1, 24, 9, 0, 54).raw({0, 0, 0, 0}).v});

  TBitmap b(3, 2);
  b.Canvas()->Brush()->SetColor(clRed);
  b.Canvas()->FillRect(RECT{0, 0, 3, 2});
  for (auto& [name, file] : bad) {
    EXPECT_THROW(b.LoadFromData(file), EInvalidGraphic) << name;
    EXPECT_EQ(b.Width(), 3) << name;
    EXPECT_EQ(At(b, 2, 1), clRed) << name;
  }
}

TEST(BitmapFile, TruncatedRunLengthDataEndsThePicture) {
  Bytes b = BmpHeader(4, 2, 8, BI_RLE8, 2, 54 + 8);
  b.raw({0, 0, 255, 0, 0, 255, 0, 0});
  b.raw({200, 1, 0, 2, 200, 200, 0, 5, 1});  // overlong run, a far delta, a cut literal
  TBitmap bmp;
  ASSERT_NO_THROW(bmp.LoadFromData(b.v));
  EXPECT_EQ(At(bmp, 0, 1), clLime);
  EXPECT_EQ(At(bmp, 3, 1), clLime);
  EXPECT_EQ(At(bmp, 0, 0), clRed) << "rows not reached keep colour 0";
}

TEST(BitmapFile, DamagedHeadersNeverCrash) {
  // Every header byte in turn replaced by values that make sizes and counts absurd:
  // the reader either takes the file or refuses it with EInvalidGraphic.
  TBitmap source(5, 3);
  source.SetPixelFormat(pf8bit);
  std::vector<uint8_t> paletted = source.SaveToData();
  Bytes rle = BmpHeader(4, 2, 8, BI_RLE8, 2, 54 + 8);
  rle.raw({0, 0, 255, 0, 0, 255, 0, 0}).raw({4, 1, 0, 0, 0, 3, 0, 1, 0, 0, 0, 1});
  for (const std::vector<uint8_t>& file : {paletted, rle.v}) {
    for (size_t i = 0; i < 70 && i < file.size(); ++i) {
      for (uint8_t value : {0x00, 0x01, 0x7F, 0x80, 0xFF}) {
        std::vector<uint8_t> damaged = file;
        damaged[i] = value;
        TBitmap b;
        try {
          b.LoadFromData(damaged);
        } catch (const EInvalidGraphic&) {
          EXPECT_TRUE(b.Empty());
        }
      }
    }
  }
}

TEST(BitmapTransparency, BottomLeftPixelUnlessSet) {
  TBitmap b(3, 3);
  b.Canvas()->Brush()->SetColor(clWhite);
  b.Canvas()->FillRect(RECT{0, 0, 3, 3});
  b.Canvas()->SetPixels(0, 2, RGB(128, 128, 0));
  EXPECT_EQ(b.TransparentMode(), tmAuto);
  EXPECT_EQ(b.TransparentColor(), RGB(128, 128, 0));
  b.SetTransparentColor(clWhite);
  EXPECT_EQ(b.TransparentMode(), tmFixed);
  EXPECT_EQ(b.TransparentColor(), clWhite);
  b.SetTransparentColor(clDefault);
  EXPECT_EQ(b.TransparentColor(), RGB(128, 128, 0));

  // The bottom-left pixel of paletted pictures is read through the colour table.
  b.SetPixelFormat(pf4bit);
  EXPECT_EQ(b.TransparentColor(), RGB(128, 128, 0));
}

TEST(BitmapResource, LoadsTheProgramsBitmapsByName) {
  TBitmap b;
  b.LoadFromResourceName(GetModuleHandleA(nullptr), "PLUS");
  EXPECT_EQ(b.Width(), 14);
  EXPECT_EQ(b.Height(), 14);
  EXPECT_EQ(b.PixelFormat(), pf4bit);
  EXPECT_EQ(b.TransparentColor(), RGB(191, 191, 0));
  TBitmap spin;
  spin.LoadFromResourceName(GetModuleHandleA(nullptr), "SPINUP");
  EXPECT_EQ(spin.Width(), 9);
  EXPECT_EQ(spin.Height(), 6);
  EXPECT_THROW(b.LoadFromResourceName(GetModuleHandleA(nullptr), "NO SUCH PICTURE"), EResNotFound);
  EXPECT_EQ(b.Width(), 14);
}

TEST(BitmapCopy, AssignCopiesThePixelsNotTheHandle) {
  TBitmap a(2, 2);
  a.SetPixelFormat(pf8bit);
  a.Canvas()->SetPixels(0, 0, clRed);
  a.SetTransparentColor(clRed);
  TBitmap b;
  b.Assign(&a);
  EXPECT_NE(a.Handle(), b.Handle());
  EXPECT_EQ(b.PixelFormat(), pf8bit);
  EXPECT_EQ(b.TransparentColor(), clRed);
  b.Canvas()->SetPixels(0, 0, clBlue);
  EXPECT_EQ(At(a, 0, 0), clRed);
  b.Assign(nullptr);
  EXPECT_TRUE(b.Empty());
}

TEST(BitmapCopy, HandleCanBeSelectedElsewhereAfterDrawing) {
  TBitmap a(2, 2);
  a.Canvas()->Brush()->SetColor(clLime);
  a.Canvas()->FillRect(RECT{0, 0, 2, 2});
  // Another DC can take the bitmap; the canvas takes it back when it draws again.
  {
    Gdi::MemoryDc dc(a.Handle());
    EXPECT_EQ(GetPixel(dc.get(), 1, 1), clLime);
  }
  a.Canvas()->SetPixels(1, 1, clRed);
  EXPECT_EQ(At(a, 1, 1), clRed);

  TBitmap copy;
  copy.LoadFromHandle(a.Handle());
  EXPECT_EQ(At(copy, 1, 1), clRed);
  EXPECT_EQ(At(copy, 0, 0), clLime);
}

TEST(BitmapCopy, ScanLineRangeAndLayout) {
  TBitmap b(3, 2);
  b.Canvas()->SetPixels(2, 0, RGB(1, 2, 3));
  const uint8_t* top = b.ScanLine(0);
  EXPECT_EQ(top[8], 3);
  EXPECT_EQ(top[9], 2);
  EXPECT_EQ(top[10], 1);
  EXPECT_THROW(b.ScanLine(2), ERangeError);
  EXPECT_THROW(b.ScanLine(-1), ERangeError);
}

TEST(BitmapStreaming, DataPropertyIsTheBmpFile) {
  TBitmap b(2, 2);
  b.Canvas()->SetPixels(1, 1, clBlue);
  const TPropInfo* data = TBitmap::StaticClass().FindProp("Data");
  ASSERT_NE(data, nullptr);
  std::vector<uint8_t> bytes = data->getBin(b);
  EXPECT_EQ(bytes, b.SaveToData());
  TBitmap c;
  data->setBin(c, bytes);
  EXPECT_EQ(At(c, 1, 1), clBlue);
  EXPECT_FALSE(data->IsStored(*std::make_unique<TBitmap>())) << "an empty bitmap writes no data";
}
