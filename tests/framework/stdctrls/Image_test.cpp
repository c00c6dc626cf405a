// The picture control: where the picture lands (own size, stretched, centred,
// proportional) and what a transparent picture leaves of the background.

#include <gtest/gtest.h>

#include <memory>

#include "Image.h"
#include "Painting.h"

namespace {

constexpr TColor kBackdrop = 0x0000FF;  // red
constexpr TColor kBlue = 0xFF0000;
constexpr TColor kGreen = 0x00FF00;

// A width × height bitmap: the left half blue, the right half green. Its
// bottom-left pixel, and so its transparent colour, is blue.
std::unique_ptr<TBitmap> HalfAndHalf(int width, int height) {
  auto bitmap = std::make_unique<TBitmap>(width, height);
  TCanvas* c = bitmap->Canvas();
  c->Brush()->SetColor(kBlue);
  c->FillRect(RECT{0, 0, width / 2, height});
  c->Brush()->SetColor(kGreen);
  c->FillRect(RECT{width / 2, 0, width, height});
  return bitmap;
}

struct ImageFixture {
  TWinControl parent{nullptr};
  TImage* image = new TImage(nullptr);
  painting::Surface surface{100, 80, kBackdrop};

  ImageFixture() {
    parent.SetBounds(0, 0, 100, 80);
    image->SetParent(&parent);
    image->SetBounds(10, 10, 40, 20);
  }
  ~ImageFixture() { delete image; }
  void Paint() { surface.PaintChildren(parent); }
};

TEST(Image, StretchFillsTheControlAndOwnSizeDoesNot) {
  ImageFixture own, stretched;
  for (ImageFixture* f : {&own, &stretched}) f->image->Picture()->SetBitmap(HalfAndHalf(4, 4).get());
  stretched.image->SetStretch(true);
  own.Paint();
  stretched.Paint();

  EXPECT_EQ(own.surface.At(10, 10), kBlue);
  EXPECT_EQ(own.surface.At(13, 13), kGreen);
  EXPECT_EQ(own.surface.At(14, 14), kBackdrop);
  EXPECT_EQ(own.surface.At(49, 29), kBackdrop);

  EXPECT_EQ(stretched.surface.At(10, 10), kBlue);
  EXPECT_EQ(stretched.surface.At(29, 29), kBlue);
  EXPECT_EQ(stretched.surface.At(30, 10), kGreen);
  EXPECT_EQ(stretched.surface.At(49, 29), kGreen);
  // Nothing outside the control's bounds.
  EXPECT_EQ(stretched.surface.At(50, 20), kBackdrop);
  EXPECT_EQ(stretched.surface.At(20, 30), kBackdrop);
}

TEST(Image, TransparentPictureKeepsTheBackgroundUnderItsTransparentColour) {
  ImageFixture plain, clear;
  for (ImageFixture* f : {&plain, &clear}) {
    f->image->Picture()->SetBitmap(HalfAndHalf(4, 4).get());
    f->image->SetStretch(true);
  }
  clear.image->SetTransparent(true);
  EXPECT_TRUE(clear.image->Picture()->Graphic()->Transparent());
  plain.Paint();
  clear.Paint();
  EXPECT_EQ(plain.surface.At(15, 15), kBlue);
  EXPECT_EQ(clear.surface.At(15, 15), kBackdrop);
  EXPECT_EQ(clear.surface.At(45, 25), kGreen);

  // A picture loaded later is made transparent too.
  clear.image->Picture()->SetBitmap(HalfAndHalf(8, 2).get());
  EXPECT_TRUE(clear.image->Picture()->Graphic()->Transparent());
  clear.surface.Fill(kBackdrop);
  clear.Paint();
  EXPECT_EQ(clear.surface.At(15, 15), kBackdrop);
  EXPECT_EQ(clear.surface.At(45, 15), kGreen);
}

TEST(Image, DestRectForCentreAndProportionalScaling) {
  struct Case {
    const char* name;
    int pictureWidth, pictureHeight;
    bool stretch, center, proportional;
    RECT expected;
  } cases[] = {
      {"own size", 20, 10, false, false, false, {0, 0, 20, 10}},
      {"centred", 20, 10, false, true, false, {10, 15, 30, 25}},
      {"stretched", 20, 10, true, false, false, {0, 0, 40, 40}},
      {"stretched, proportional, wide", 20, 10, true, true, true, {0, 10, 40, 30}},
      {"stretched, proportional, tall", 10, 20, true, true, true, {10, 0, 30, 40}},
      {"proportional shrinks a big one", 80, 20, false, false, true, {0, 0, 40, 10}},
      {"proportional keeps a small one", 8, 4, false, false, true, {0, 0, 8, 4}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TImage image(nullptr);
    image.SetBounds(0, 0, 40, 40);
    TBitmap bitmap(c.pictureWidth, c.pictureHeight);
    image.Picture()->SetBitmap(&bitmap);
    image.SetStretch(c.stretch);
    image.SetCenter(c.center);
    image.SetProportional(c.proportional);
    RECT r = image.DestRect();
    EXPECT_EQ(r.left, c.expected.left);
    EXPECT_EQ(r.top, c.expected.top);
    EXPECT_EQ(r.right, c.expected.right);
    EXPECT_EQ(r.bottom, c.expected.bottom);
  }
}

TEST(Image, OpaqueOnlyWhileAnUntransparentPictureCoversIt) {
  TImage image(nullptr);
  image.SetBounds(0, 0, 40, 20);
  EXPECT_FALSE(image.ControlStyle.Contains(csOpaque));
  image.Picture()->SetBitmap(HalfAndHalf(4, 4).get());
  EXPECT_FALSE(image.ControlStyle.Contains(csOpaque));
  image.SetStretch(true);
  EXPECT_TRUE(image.ControlStyle.Contains(csOpaque));
  image.SetTransparent(true);
  EXPECT_FALSE(image.ControlStyle.Contains(csOpaque));
}

}  // namespace
