// The speed button: clicks, groups, and its pixels as its parent paints it
// into a 32-bit DIB section.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "Buttons.h"
#include "Filer.h"
#include "Forms.h"

namespace {

constexpr COLORREF kPaper = RGB(0, 0, 255);  // what the parent painted before
constexpr COLORREF kKey = RGB(128, 128, 0);  // the glyphs' transparent colour
constexpr COLORREF kInk = RGB(255, 0, 0);

// A 32-bpp picture of the parent's client area with its graphic children painted on it.
class Snapshot {
 public:
  Snapshot(TWinControl* parent, int w, int h) : w_(w), h_(h) {
    BITMAPINFO bi{};
    bi.bmiHeader = {sizeof(BITMAPINFOHEADER), w, -h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    dib_.reset(CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
    dc_ = std::make_unique<Gdi::MemoryDc>(dib_.get());
    RECT all{0, 0, w, h};
    Gdi::Brush paper(CreateSolidBrush(kPaper));
    FillRect(dc_->get(), &all, paper.get());
    parent->PaintControls(dc_->get(), nullptr);
    GdiFlush();
  }
  COLORREF At(int x, int y) const { return GetPixel(dc_->get(), x, y); }
  // The leftmost and topmost pixel of a colour, or {-1, -1}.
  POINT First(COLORREF color) const {
    POINT best{-1, -1};
    for (int y = 0; y < h_; ++y)
      for (int x = 0; x < w_; ++x)
        if (At(x, y) == color && (best.x < 0 || x < best.x)) best = POINT{x, y};
    for (int y = 0; y < h_ && best.x >= 0; ++y)
      if (At(best.x, y) == color) return POINT{best.x, y};
    return best;
  }
  int Count(COLORREF color) const {
    int n = 0;
    for (int y = 0; y < h_; ++y)
      for (int x = 0; x < w_; ++x) n += At(x, y) == color;
    return n;
  }

 private:
  int w_, h_;
  Gdi::Bitmap dib_;
  std::unique_ptr<Gdi::MemoryDc> dc_;
};

// An 8 x 8 glyph strip of `images` images: the key colour with a 2 x 2 block of
// ink at (3, 3) in the first image and at (1, 1) in the others.
std::unique_ptr<TBitmap> MakeGlyph(int images = 1, TPixelFormat format = pf32bit) {
  auto glyph = std::make_unique<TBitmap>(8 * images, 8, format);
  TCanvas* c = glyph->Canvas();
  c->Brush()->SetColor(kKey);
  c->FillRect(RECT{0, 0, 8 * images, 8});
  c->Brush()->SetColor(kInk);
  c->FillRect(RECT{3, 3, 5, 5});
  for (int i = 1; i < images; ++i) c->FillRect(RECT{8 * i + 1, 1, 8 * i + 3, 3});
  return glyph;
}

class ButtonsTest : public testing::Test {
 protected:
  void SetUp() override {
    InitApplication();
    form_ = new TForm(nullptr);
    form_->SetBounds(0, 0, 300, 200);
  }
  void TearDown() override { delete form_; }

  TSpeedButton* NewButton(int left = 10, int top = 10, int w = 24, int h = 24) {
    auto* b = new TSpeedButton(form_);
    b->SetParent(form_);
    b->SetBounds(left, top, w, h);
    return b;
  }

  TForm* form_ = nullptr;
};

}  // namespace

TEST_F(ButtonsTest, ClickRunsOnClickEvenWhenDisabled) {
  TSpeedButton* b = NewButton();
  int clicks = 0;
  b->OnClick = TNotifyEvent([&](TObject* sender) {
    EXPECT_EQ(sender, b);
    ++clicks;
  });
  b->SetEnabled(false);
  b->Click();
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(b->State(), bsDisabled);
}

TEST_F(ButtonsTest, GlyphIsACopyAndCountsItsImages) {
  TSpeedButton* b = NewButton();
  auto source = MakeGlyph(2);
  b->SetGlyph(source.get());
  EXPECT_EQ(b->Glyph()->Width(), 16);
  EXPECT_EQ(b->NumGlyphs(), 2);
  // Drawing on the source afterwards leaves the button's glyph alone.
  source->Canvas()->SetPixels(0, 0, kInk);
  EXPECT_EQ(b->Glyph()->Canvas()->Pixels(0, 0), kKey);

  auto one = MakeGlyph(1);
  b->Glyph()->Assign(one.get());
  EXPECT_EQ(b->NumGlyphs(), 1);
  TBitmap wide(30, 8);
  b->SetGlyph(&wide);  // not a strip of square images: the count stays
  EXPECT_EQ(b->NumGlyphs(), 1);
  b->SetNumGlyphs(9);
  EXPECT_EQ(b->NumGlyphs(), 4);
  b->SetNumGlyphs(0);
  EXPECT_EQ(b->NumGlyphs(), 1);
}

TEST_F(ButtonsTest, FlatGlyphIsDrawnCentredWithItsTransparentColour) {
  TSpeedButton* b = NewButton(10, 10, 24, 24);
  b->SetFlat(true);
  auto glyph = MakeGlyph(1, pf4bit);  // a 16-colour glyph, as the program's are
  b->SetGlyph(glyph.get());
  Snapshot shot(form_, 60, 50);
  // No caption: the 8 x 8 glyph sits at (8, 8) of the button; its ink block at (3, 3) of it.
  EXPECT_EQ(shot.First(kInk).x, 10 + 8 + 3);
  EXPECT_EQ(shot.First(kInk).y, 10 + 8 + 3);
  EXPECT_EQ(shot.Count(kInk), 4);
  EXPECT_EQ(shot.Count(kKey), 0);
  // Flat and not under the mouse: no frame, the parent shows through.
  EXPECT_EQ(shot.At(10, 10), kPaper);
  EXPECT_EQ(shot.At(33, 33), kPaper);
  EXPECT_EQ(shot.At(10 + 8, 10 + 8), kPaper);
}

TEST_F(ButtonsTest, FlatFrameUnderTheMouseAndWhilePressed) {
  TSpeedButton* b = NewButton(10, 10, 24, 24);
  b->SetFlat(true);
  auto glyph = MakeGlyph();
  b->SetGlyph(glyph.get());
  int clicks = 0;
  b->OnClick = TNotifyEvent([&](TObject*) { ++clicks; });
  HWND h = form_->Handle();
  COLORREF light = ColorRef(clBtnHighlight), dark = ColorRef(clBtnShadow);

  // The form routes its mouse messages to the button under the cursor.
  SendMessageA(h, WM_MOUSEMOVE, 0, MAKELPARAM(20, 20));
  ASSERT_TRUE(b->MouseInControl());
  {
    Snapshot shot(form_, 60, 50);
    EXPECT_EQ(shot.At(10, 10), light);
    EXPECT_EQ(shot.At(33, 33), dark);
    EXPECT_EQ(shot.First(kInk).x, 21);
  }

  SendMessageA(h, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, 20));
  EXPECT_EQ(b->State(), bsDown);
  EXPECT_TRUE(b->ControlState.Contains(csLButtonDown));
  {
    // Pressed: a sunken frame and the content one pixel down and to the right.
    Snapshot shot(form_, 60, 50);
    EXPECT_EQ(shot.At(10, 10), dark);
    EXPECT_EQ(shot.At(33, 33), light);
    EXPECT_EQ(shot.First(kInk).x, 22);
    EXPECT_EQ(shot.First(kInk).y, 22);
  }
  SendMessageA(h, WM_LBUTTONUP, 0, MAKELPARAM(20, 20));
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(b->State(), bsUp);

  // Dragged off while held: up again, and releasing there is no click.
  SendMessageA(h, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, 20));
  SendMessageA(h, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(100, 100));
  EXPECT_EQ(b->State(), bsUp);
  EXPECT_FALSE(b->ControlState.Contains(csLButtonDown));
  SendMessageA(h, WM_LBUTTONUP, 0, MAKELPARAM(100, 100));
  EXPECT_EQ(clicks, 1);

  SendMessageA(h, WM_MOUSEMOVE, 0, MAKELPARAM(150, 150));
  SendMessageA(h, WM_MOUSEMOVE, 0, MAKELPARAM(160, 150));
  EXPECT_FALSE(b->MouseInControl());
  Snapshot shot(form_, 60, 50);
  EXPECT_EQ(shot.At(10, 10), kPaper);
}

TEST_F(ButtonsTest, DisabledGlyphIsEmbossedUnlessItHasItsOwnImage) {
  TSpeedButton* b = NewButton(10, 10, 24, 24);
  b->SetFlat(true);
  auto glyph = MakeGlyph(1);
  b->SetGlyph(glyph.get());
  b->SetEnabled(false);
  COLORREF light = ColorRef(clBtnHighlight), dark = ColorRef(clBtnShadow);
  {
    Snapshot shot(form_, 60, 50);
    EXPECT_EQ(shot.Count(kInk), 0);
    // The ink block (21..22, 21..22) in shadow, its highlight one pixel down-right.
    EXPECT_EQ(shot.At(21, 21), dark);
    EXPECT_EQ(shot.At(22, 22), dark);
    EXPECT_EQ(shot.At(23, 23), light);
    EXPECT_EQ(shot.At(22, 23), light);
    EXPECT_EQ(shot.At(23, 22), light);
    EXPECT_EQ(shot.At(21, 23), kPaper);
    EXPECT_EQ(shot.At(20, 20), kPaper);
  }
  // With a second image, that image is the disabled look, drawn as it is.
  auto two = MakeGlyph(2);
  b->SetGlyph(two.get());
  ASSERT_EQ(b->NumGlyphs(), 2);
  Snapshot shot(form_, 60, 50);
  EXPECT_EQ(shot.First(kInk).x, 19);
  EXPECT_EQ(shot.First(kInk).y, 19);
  EXPECT_EQ(shot.Count(dark), 0);
}

TEST_F(ButtonsTest, CaptionAndGlyphAreCentredTogetherTrailingBlanksIncluded) {
  auto glyph = MakeGlyph();
  TSpeedButton* plain = NewButton(0, 0, 90, 30);
  TSpeedButton* padded = NewButton(0, 40, 90, 30);
  for (TSpeedButton* b : {plain, padded}) {
    b->SetFlat(true);
    b->SetGlyph(glyph.get());
    b->Font()->SetColor(clBlack);
  }
  plain->SetCaption("Exit");
  padded->SetCaption("Exit      ");
  Snapshot shot(form_, 100, 80);
  POINT plainGlyph{-1, -1}, paddedGlyph{-1, -1};
  for (int x = 0; x < 100 && (plainGlyph.x < 0 || paddedGlyph.x < 0); ++x) {
    if (plainGlyph.x < 0 && shot.At(x, 14) == kInk) plainGlyph.x = x;
    if (paddedGlyph.x < 0 && shot.At(x, 54) == kInk) paddedGlyph.x = x;
  }
  ASSERT_GE(plainGlyph.x, 0);
  ASSERT_GE(paddedGlyph.x, 0);
  // The blanks widen the block, so the glyph and the text move left.
  EXPECT_LT(paddedGlyph.x, plainGlyph.x);
  EXPECT_GT(shot.Count(RGB(0, 0, 0)), 0);
}

TEST_F(ButtonsTest, CaptionWithAnAcceleratorAndGreyTextWhenDisabled) {
  TSpeedButton* b = NewButton(0, 0, 90, 30);
  b->SetFlat(true);
  b->Font()->SetColor(clBlack);
  b->SetCaption("&Disable");
  int black = Snapshot(form_, 100, 40).Count(RGB(0, 0, 0));
  EXPECT_GT(black, 0);
  b->SetCaption("Disable");
  // The marker is not drawn; it underlines the letter after it.
  EXPECT_LT(Snapshot(form_, 100, 40).Count(RGB(0, 0, 0)), black);
  b->SetEnabled(false);
  Snapshot grey(form_, 100, 40);
  EXPECT_EQ(grey.Count(RGB(0, 0, 0)), 0);
  EXPECT_GT(grey.Count(ColorRef(clBtnShadow)), 0);
}

TEST_F(ButtonsTest, GroupKeepsOneButtonDown) {
  TSpeedButton* a = NewButton(0, 0);
  TSpeedButton* b = NewButton(30, 0);
  a->SetDown(true);
  EXPECT_FALSE(a->Down());  // not in a group: never down
  a->SetGroupIndex(1);
  b->SetGroupIndex(1);
  a->SetDown(true);
  EXPECT_TRUE(a->Down());
  EXPECT_EQ(a->State(), bsExclusive);
  b->SetDown(true);
  EXPECT_TRUE(b->Down());
  EXPECT_FALSE(a->Down());
  b->SetDown(false);  // the group must keep one down
  EXPECT_TRUE(b->Down());
  a->SetAllowAllUp(true);
  b->SetDown(false);
  EXPECT_FALSE(b->Down());
}

TEST_F(ButtonsTest, GlyphAndSettingsGoThroughAFormDescription) {
  RegisterClassInfo(TSpeedButton::StaticClass());
  form_->SetName("Form1");
  TSpeedButton* b = NewButton(308, 19, 90, 30);
  b->SetName("SpeedButton5");
  b->SetFlat(true);
  b->SetCaption("Help    ");
  auto glyph = MakeGlyph(2, pf4bit);
  b->SetGlyph(glyph.get());
  std::string text = WriteComponentText(form_);
  EXPECT_NE(text.find("Glyph.Data"), std::string::npos) << text;
  EXPECT_NE(text.find("NumGlyphs = 2"), std::string::npos) << text;

  TForm copy(nullptr);
  ReadComponentText(&copy, text);
  auto* read = dynamic_cast<TSpeedButton*>(copy.FindComponent("SpeedButton5"));
  ASSERT_NE(read, nullptr);
  EXPECT_TRUE(read->Flat());
  EXPECT_EQ(read->Caption(), "Help    ");
  EXPECT_EQ(read->NumGlyphs(), 2);
  ASSERT_EQ(read->Glyph()->Width(), 16);
  EXPECT_EQ(read->Glyph()->Canvas()->Pixels(3, 3), kInk);
  EXPECT_EQ(read->Glyph()->Canvas()->Pixels(0, 7), kKey);
}
