// Image lists: the streamed strip, copies into bitmaps and icons, masks and drawing.

#include <gtest/gtest.h>

#include "Imglist.h"

namespace {

TColor At(TBitmap& b, int x, int y) { return b.Canvas()->Pixels(x, y); }

const TColor kColors[] = {clRed, clLime, clBlue, clYellow};

// A 32-bit strip of `count` images of w × h: image i is kColors[i] with alpha 255,
// except its top-left pixel, which is transparent (alpha 0).
std::vector<uint8_t> Strip(int count, int w, int h) {
  TBitmap b(count * w, h);
  for (int y = 0; y < h; ++y) {
    uint8_t* p = b.ScanLine(y);
    for (int x = 0; x < count * w; ++x, p += 4) {
      TColor c = kColors[x / w % 4];
      bool hole = x % w == 0 && y == 0;
      p[0] = hole ? 0 : GetBValue(c);
      p[1] = hole ? 0 : GetGValue(c);
      p[2] = hole ? 0 : GetRValue(c);
      p[3] = hole ? 0 : 255;
    }
  }
  return b.SaveToData();
}

}  // namespace

TEST(ImageListStrip, SplitsTheStripByWidth) {
  TImageList list(nullptr);
  EXPECT_EQ(list.Width(), 16);
  EXPECT_EQ(list.Height(), 16);
  EXPECT_EQ(list.Count(), 0);
  EXPECT_TRUE(list.HandleAllocated());
  std::vector<uint8_t> strip = Strip(4, 16, 16);
  const TPropInfo* prop = TImageList::StaticClass().FindProp("Bitmap");
  ASSERT_NE(prop, nullptr);
  EXPECT_FALSE(prop->IsStored(list)) << "an empty list writes no strip";
  prop->setBin(list, strip);
  EXPECT_EQ(list.Count(), 4);
  EXPECT_EQ(ImageList_GetImageCount(list.Handle()), 4);
  EXPECT_EQ(prop->getBin(list), strip) << "the strip is written back as it was read";

  // A width that does not divide the strip leaves the rest out.
  TImageList wide(nullptr);
  wide.SetWidth(20);
  wide.SetBitmapData(strip);
  EXPECT_EQ(wide.Count(), 3);
}

TEST(ImageListStrip, KnownToTheReaderByName) {
  const TClassInfo* cls = FindClass("TImageList");
  ASSERT_EQ(cls, &TImageList::StaticClass());
  std::unique_ptr<TComponent> list(cls->create(nullptr));
  EXPECT_NE(dynamic_cast<TImageList*>(list.get()), nullptr);
}

TEST(ImageListStrip, SizesReadAfterTheStripStillSplitIt) {
  // A form may give the strip before the sizes: the split waits for Loaded.
  TImageList list(nullptr);
  list.BeginLoading();
  list.SetBitmapData(Strip(4, 20, 20));
  list.SetHeight(20);
  list.SetWidth(20);
  list.EndReading();
  list.Loaded();
  EXPECT_EQ(list.Count(), 4);
  EXPECT_EQ(ImageList_GetImageCount(list.Handle()), 4);
  int cx = 0, cy = 0;
  ImageList_GetIconSize(list.Handle(), &cx, &cy);
  EXPECT_EQ(cx, 20);
  EXPECT_EQ(cy, 20);
  TBitmap b;
  list.GetBitmap(3, &b);
  EXPECT_EQ(b.Width(), 20);
  EXPECT_EQ(At(b, 10, 10), clYellow);
}

TEST(ImageListCopies, GetBitmapInAndOutOfRange) {
  TImageList list(nullptr);
  list.SetBitmapData(Strip(4, 16, 16));
  TBitmap b;
  list.GetBitmap(2, &b);
  EXPECT_EQ(b.Width(), 16);
  EXPECT_EQ(b.Height(), 16);
  EXPECT_EQ(At(b, 8, 8), clBlue);
  EXPECT_EQ(At(b, 0, 0), clWhite) << "the transparent pixel shows the bitmap's background";

  for (int index : {-1, 4, 100}) {
    TBitmap out;
    list.GetBitmap(index, &out);
    EXPECT_EQ(out.Width(), 16) << index;
    EXPECT_EQ(At(out, 8, 8), clWhite) << index;
  }
}

TEST(ImageListCopies, GetIconInAndOutOfRange) {
  TImageList list(nullptr);
  list.SetBitmapData(Strip(4, 16, 16));
  TIcon icon;
  list.GetIcon(1, &icon);
  ASSERT_FALSE(icon.Empty());
  EXPECT_EQ(icon.Width(), 16);
  TBitmap shown(16, 16);
  shown.Canvas()->Draw(0, 0, &icon);
  EXPECT_EQ(At(shown, 8, 8), clLime);
  EXPECT_EQ(At(shown, 0, 0), clWhite);

  for (int index : {4, -1, 1000}) {
    list.GetIcon(1, &icon);
    ASSERT_FALSE(icon.Empty());
    EXPECT_NO_THROW(list.GetIcon(index, &icon));
    EXPECT_TRUE(icon.Empty()) << index;
  }
  TImageList none(nullptr);
  list.GetIcon(0, &icon);
  none.GetIcon(0, &icon);
  EXPECT_TRUE(icon.Empty());
}

TEST(ImageListAdd, MasksColoursAndDeletes) {
  TImageList list(nullptr);
  list.SetWidth(4);
  list.SetHeight(4);
  TBitmap two(8, 4);
  two.SetPixelFormat(pf24bit);
  two.Canvas()->Brush()->SetColor(clFuchsia);
  two.Canvas()->FillRect(RECT{0, 0, 8, 4});
  two.Canvas()->SetPixels(1, 1, clRed);
  two.Canvas()->SetPixels(5, 1, clBlue);
  EXPECT_EQ(list.AddMasked(&two, clFuchsia), 0);
  EXPECT_EQ(list.Count(), 2);

  TBitmap mask(4, 4);
  mask.Canvas()->Brush()->SetColor(clBlack);
  mask.Canvas()->FillRect(RECT{0, 0, 4, 4});
  mask.Canvas()->SetPixels(3, 3, clWhite);
  TBitmap green(4, 4);
  green.Canvas()->Brush()->SetColor(clGreen);
  green.Canvas()->FillRect(RECT{0, 0, 4, 4});
  EXPECT_EQ(list.Add(&green, &mask), 2);
  EXPECT_EQ(list.Count(), 3);
  EXPECT_EQ(ImageList_GetImageCount(list.Handle()), 3);

  // Drawn onto grey: masked pixels leave the grey, the others replace it.
  TBitmap canvas(12, 4);
  canvas.Canvas()->Brush()->SetColor(clGray);
  canvas.Canvas()->FillRect(RECT{0, 0, 12, 4});
  for (int i = 0; i < 3; ++i) list.Draw(canvas.Canvas(), 4 * i, 0, i);
  EXPECT_EQ(At(canvas, 1, 1), clRed);
  EXPECT_EQ(At(canvas, 0, 0), clGray);
  EXPECT_EQ(At(canvas, 5, 1), clBlue);
  EXPECT_EQ(At(canvas, 6, 2), clGray);
  EXPECT_EQ(At(canvas, 9, 1), clGreen);
  EXPECT_EQ(At(canvas, 11, 3), clGray);

  list.Delete(0);
  EXPECT_EQ(list.Count(), 2);
  EXPECT_EQ(ImageList_GetImageCount(list.Handle()), 2);
  TBitmap b;
  list.GetBitmap(0, &b);
  EXPECT_EQ(At(b, 1, 1), clBlue);
  EXPECT_THROW(list.Delete(2), EInvalidOperation);

  // A new size empties the list.
  list.SetWidth(8);
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(ImageList_GetImageCount(list.Handle()), 0);
  EXPECT_EQ(list.Add(&green, nullptr), -1) << "narrower than one image";
}

TEST(ImageListDraw, DisabledImagesAreGreyShapes) {
  TImageList list(nullptr);
  list.SetWidth(4);
  list.SetHeight(4);
  TBitmap dark(4, 4);
  dark.Canvas()->Brush()->SetColor(clFuchsia);
  dark.Canvas()->FillRect(RECT{0, 0, 4, 4});
  dark.Canvas()->SetPixels(1, 1, clNavy);
  list.AddMasked(&dark, clFuchsia);
  TBitmap canvas(6, 6);
  canvas.Canvas()->Brush()->SetColor(clWhite);
  canvas.Canvas()->FillRect(RECT{0, 0, 6, 6});
  list.Draw(canvas.Canvas(), 0, 0, 0, false);
  EXPECT_EQ(At(canvas, 1, 1), ColorToRGB(clBtnShadow));
  EXPECT_EQ(At(canvas, 2, 2), ColorToRGB(clBtnHighlight));
  EXPECT_EQ(At(canvas, 3, 3), clWhite);
}
