// The embossed label: shadow offset, borders, the disabled and hidden colours
// in pixels; Deep's limits; both kinds of blinking under a real timer; the
// streamed properties.

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <memory>
#include <string>
#include <vector>

#include "Filer.h"
#include "Forms.h"
#include "Painting.h"
#include "Vexlolabel.h"

namespace {

constexpr TColor kPaper = clWhite;
constexpr TColor kInk = clRed;
constexpr TColor kShade = 0x00C000;

struct LabelOnForm {
  std::unique_ptr<TForm> form;
  TVexloLabel* label = nullptr;
  painting::Surface surface{140, 60, clBlack};

  LabelOnForm() {
    InitApplication();
    form = std::make_unique<TForm>(nullptr);
    form->SetBounds(0, 0, 200, 100);
    label = new TVexloLabel(form.get());
    label->SetParent(form.get());
    label->SetAutoSize(false);
    label->SetBounds(0, 0, 120, 50);
    label->SetColor(kPaper);
    label->Font()->SetColor(kInk);
    label->Font()->SetHeight(-32);
    label->Font()->SetStyle({fsBold});
    label->SetShadowColor(kShade);
    label->SetCaption("HIH");
  }
  void Paint() {
    surface.Fill(clBlack);
    surface.PaintChildren(*form);
  }
  // The smallest rectangle holding every pixel of exactly this colour.
  RECT Box(TColor color) {
    RECT box{INT_MAX, INT_MAX, INT_MIN, INT_MIN};
    for (int y = 0; y < 60; ++y)
      for (int x = 0; x < 140; ++x)
        if (surface.At(x, y) == color) {
          box.left = std::min<LONG>(box.left, x);
          box.top = std::min<LONG>(box.top, y);
          box.right = std::max<LONG>(box.right, x + 1);
          box.bottom = std::max<LONG>(box.bottom, y + 1);
        }
    return box;
  }
  bool Has(TColor color) { return surface.Contains(color, RECT{0, 0, 120, 50}); }
};

TEST(Vexlolabel, ANewLabelIsDeepPixelsLargerThanAPlainOne) {
  TLabel plain(nullptr);
  TVexloLabel label(nullptr);
  EXPECT_EQ(label.Width(), plain.Width() + 1);
  EXPECT_EQ(label.Height(), plain.Height() + 1);
  EXPECT_EQ(label.Deep(), 1);
  EXPECT_EQ(label.BlinkTimer()->Interval(), 300u);
  EXPECT_FALSE(label.BlinkTimer()->Enabled());
  EXPECT_EQ(label.BlinkTimer()->Owner(), &label);
}

TEST(Vexlolabel, ShadowLiesDeepPixelsDownAndRightOfTheText) {
  LabelOnForm f;
  for (int deep : {1, 2}) {
    SCOPED_TRACE(deep);
    f.label->SetDeep(deep);
    f.Paint();
    RECT text = f.Box(kInk), shadow = f.Box(kShade);
    ASSERT_LT(text.left, text.right);
    ASSERT_LT(shadow.left, shadow.right);
    EXPECT_EQ(shadow.right, text.right + deep);
    EXPECT_EQ(shadow.bottom, text.bottom + deep);
  }
  // Without Ctl3D only the text.
  f.label->SetCtl3D(false);
  f.Paint();
  EXPECT_TRUE(f.Has(kInk));
  EXPECT_FALSE(f.Has(kShade));
}

TEST(Vexlolabel, DisabledTextIsGreyOverAShadowStillInItsColour) {
  LabelOnForm f;
  f.label->SetEnabled(false);
  f.Paint();
  EXPECT_TRUE(f.Has(ColorToRGB(clGrayText)));
  EXPECT_TRUE(f.Has(kShade));
  EXPECT_FALSE(f.Has(kInk));
}

TEST(Vexlolabel, TextInTheLabelsOwnColourDrawsNothing) {
  LabelOnForm f;
  f.label->Font()->SetColor(kPaper);
  f.Paint();
  EXPECT_FALSE(f.Has(kShade));
  RECT ink = f.surface.Ink(kPaper, RECT{0, 0, 120, 50});
  EXPECT_EQ(ink.right - ink.left, 0);
  // Transparent: the background is not filled either.
  f.label->SetTransparent(true);
  f.Paint();
  EXPECT_EQ(f.surface.At(60, 25), clBlack);
}

TEST(Vexlolabel, BordersLeaveTheLastColumnAndRowFree) {
  const TColor frame = ColorToRGB(clWindowFrame), light = ColorToRGB(clBtnHighlight),
               dark = ColorToRGB(clBtnShadow);
  struct Case {
    TVexloBorder border;
    TColor topLeft, bottomRight;
  } cases[] = {
      {boNone, kPaper, kPaper},
      {boSingle, frame, frame},
      {boRaised, light, dark},
      {boLowered, dark, light},
  };
  LabelOnForm f;
  f.label->SetCaption("");
  for (const Case& c : cases) {
    SCOPED_TRACE(VexloBorderNames[c.border]);
    f.label->SetBorder(c.border);
    f.Paint();
    EXPECT_EQ(f.surface.At(0, 25), c.topLeft);
    EXPECT_EQ(f.surface.At(60, 0), c.topLeft);
    EXPECT_EQ(f.surface.At(118, 25), c.bottomRight);
    EXPECT_EQ(f.surface.At(60, 48), c.bottomRight);
    EXPECT_EQ(f.surface.At(119, 25), kPaper);
    EXPECT_EQ(f.surface.At(60, 49), kPaper);
    EXPECT_EQ(f.surface.At(1, 25), kPaper);
  }
}

TEST(Vexlolabel, DeepTakesOnlyOneAndTwo) {
  TVexloLabel label(nullptr);
  struct Step {
    int value, expected;
  } steps[] = {{0, 1}, {3, 1}, {2, 2}, {-1, 2}, {255, 2}, {1, 1}, {256 + 2, 1}};
  for (const Step& s : steps) {
    SCOPED_TRACE(s.value);
    label.SetDeep(s.value);
    EXPECT_EQ(label.Deep(), s.expected);
  }
}

// Pumps messages until the label's font has changed colour `count` times (or
// the time is up) and returns the colours in order.
std::vector<TColor> BlinkColours(TVexloLabel& label, size_t count, DWORD waitMs = 3000) {
  std::vector<TColor> seen;
  TWndMethod original = label.WindowProc;
  label.WindowProc = [&](TMessage& m) {
    if (m.Msg == CM_FONTCHANGED) seen.push_back(label.Font()->Color());
    original(m);
  };
  const DWORD start = GetTickCount();
  while (seen.size() < count && GetTickCount() - start < waitMs) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    MSG msg;
    while (seen.size() < count && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
  }
  label.WindowProc = original;
  return seen;
}

TEST(Vexlolabel, BlinkingUnderARealTimer) {
  LabelOnForm f;
  TVexloLabel& label = *f.label;
  label.SetInterval(15);
  EXPECT_EQ(label.BlinkTimer()->Interval(), 15u);

  // Vanish and return: the label's colour, then the text's own again.
  label.SetBlink(blBlink);
  EXPECT_TRUE(label.BlinkTimer()->Enabled());
  EXPECT_EQ(BlinkColours(label, 4), (std::vector<TColor>{kPaper, kInk, kPaper, kInk}));

  // From a colour that is neither: high first, then low.
  label.Font()->SetColor(clGreen);
  label.SetBlink(blHiLo);  // puts back the colour saved when blinking began
  EXPECT_EQ(label.Font()->Color(), kInk);
  EXPECT_EQ(BlinkColours(label, 3), (std::vector<TColor>{clBlue, clNavy, clBlue}));

  // Straight to blBlink: the colour of that moment is the one it returns to.
  label.SetBlink(blBlink);
  EXPECT_EQ(BlinkColours(label, 2), (std::vector<TColor>{kPaper, clBlue}));

  // Off: the saved colour back and the timer stopped; the same mode again changes nothing.
  label.Font()->SetColor(kPaper);
  label.SetBlink(blNone);
  EXPECT_EQ(label.Font()->Color(), clBlue);
  EXPECT_FALSE(label.BlinkTimer()->Enabled());
  label.Font()->SetColor(clGreen);
  label.SetBlink(blNone);
  EXPECT_EQ(label.Font()->Color(), clGreen);
  EXPECT_TRUE(BlinkColours(label, 1, 300).empty());  // twenty intervals
}

TEST(Vexlolabel, PropertiesStreamAfterTheLabelsAndOnlyShadowColourHasADefault) {
  RegisterClassInfo(TVexloLabel::StaticClass());
  TForm form(nullptr);
  ReadComponentText(&form,
                    "object Form1: TForm\n"
                    "  object Vexlo1: TVexloLabel\n"
                    "    HiColor = clYellow\n    LoColor = clMaroon\n    Border = boRaised\n"
                    "    Ctl3D = False\n    BlinkInterval = 120\n    Blink = blHiLo\n"
                    "    ShadowColor = clGray\n    Deep = 2\n"
                    "  end\n"
                    "end\n");
  auto* label = dynamic_cast<TVexloLabel*>(form.FindComponent("Vexlo1"));
  ASSERT_NE(label, nullptr);
  EXPECT_EQ(label->HiColor(), clYellow);
  EXPECT_EQ(label->LoColor(), clMaroon);
  EXPECT_EQ(label->Border(), boRaised);
  EXPECT_FALSE(label->Ctl3D());
  EXPECT_EQ(label->BlinkTimer()->Interval(), 120u);
  EXPECT_TRUE(label->BlinkTimer()->Enabled());
  EXPECT_EQ(label->ShadowColor(), clGray);
  EXPECT_EQ(label->Deep(), 2);

  TForm holder(nullptr);
  auto* fresh = new TVexloLabel(&holder);
  fresh->SetName("Fresh");
  fresh->SetParent(&holder);
  const std::string text = WriteComponentText(&holder);
  const char* order[] = {"HiColor = clBlue", "LoColor = clNavy", "Border = boNone", "Ctl3D = True",
                         "BlinkInterval = 300", "Blink = blNone", "Deep = 1"};
  size_t last = 0;
  for (const char* line : order) {
    SCOPED_TRACE(line);
    size_t at = text.find(line);
    ASSERT_NE(at, std::string::npos) << text;
    EXPECT_GT(at, last);
    last = at;
  }
  EXPECT_EQ(text.find("ShadowColor"), std::string::npos) << text;
}

TEST(Vexlolabel, RegistersOnTheVexloPage) {
  Vexlolabel::Register();
  auto classes = PaletteClasses("Vexlo");
  EXPECT_NE(std::find(classes.begin(), classes.end(), &TVexloLabel::StaticClass()), classes.end());
}

}  // namespace
