// The label: where its text lands for each alignment, layout and wrapping, what
// it leaves of the background, its automatic size and its streamed settings.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "Classes.h"
#include "Filer.h"
#include "Forms.h"
#include "Label.h"
#include "Painting.h"

namespace {

constexpr TColor kPaper = clWhite;
constexpr TColor kBackdrop = 0x0000FF;  // what lies under the label: red

// A label on a window-less parent, painted into a surface of the parent's size.
struct LabelFixture {
  TWinControl parent{nullptr};
  TLabel* label = new TLabel(nullptr);
  painting::Surface surface{160, 80, kBackdrop};

  LabelFixture() {
    parent.SetBounds(0, 0, 160, 80);
    label->SetParent(&parent);
    label->SetAutoSize(false);
    label->SetBounds(10, 10, 120, 40);
    label->SetColor(kPaper);
    label->Font()->SetColor(clBlack);
    label->Font()->SetHeight(-12);
  }
  ~LabelFixture() { delete label; }
  RECT Paint() {
    surface.PaintChildren(parent);
    return surface.Ink(kPaper, label->BoundsRect());
  }
};

TEST(Label, AlignmentPlacesTheTextAtTheLeftRightOrMiddle) {
  struct Case {
    TAlignment alignment;
    const char* name;
  } cases[] = {{taLeftJustify, "left"}, {taRightJustify, "right"}, {taCenter, "centre"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LabelFixture f;
    f.label->SetCaption("WWW");
    f.label->SetAlignment(c.alignment);
    RECT ink = f.Paint();
    ASSERT_GT(ink.right, ink.left);
    switch (c.alignment) {
      case taLeftJustify: EXPECT_LE(ink.left, 10 + 2); break;
      case taRightJustify: EXPECT_GE(ink.right, 130 - 2); break;
      case taCenter: EXPECT_NEAR((ink.left + ink.right) / 2, 70, 2); break;
    }
    // The text starts on the first line whatever the alignment.
    EXPECT_LT(ink.top, 10 + 8);
  }
}

TEST(Label, LayoutPlacesTheTextAtTheTopMiddleOrBottom) {
  LabelFixture top, centre, bottom;
  for (LabelFixture* f : {&top, &centre, &bottom}) f->label->SetCaption("Hx");
  centre.label->SetLayout(tlCenter);
  bottom.label->SetLayout(tlBottom);
  RECT t = top.Paint(), c = centre.Paint(), b = bottom.Paint();
  EXPECT_LT(t.top, 18);
  EXPECT_GT(b.bottom, 50 - 6);
  EXPECT_LT(t.top, c.top);
  EXPECT_LT(c.top, b.top);
  EXPECT_NEAR((c.top + c.bottom) / 2, 30, 4);
}

TEST(Label, WordWrapBreaksBetweenWordsWithinTheWidth) {
  LabelFixture wrapped, single;
  for (LabelFixture* f : {&wrapped, &single}) {
    f->label->SetBounds(10, 10, 60, 60);
    f->label->SetCaption("WW WW WW WW");
  }
  wrapped.label->SetWordWrap(true);
  RECT w = wrapped.Paint();
  RECT s = single.Paint();
  // One line is clipped at the label's right edge; wrapped, the text runs down several lines.
  EXPECT_GE(s.right, 69);
  EXPECT_LT(s.bottom - s.top, 16);
  EXPECT_GT(w.bottom - w.top, 2 * (s.bottom - s.top));
  EXPECT_LE(w.right, 70);
}

TEST(Label, TransparentLabelLeavesTheBackgroundAndOpaqueOneFillsIt) {
  LabelFixture opaque, clear;
  for (LabelFixture* f : {&opaque, &clear}) f->label->SetCaption("Hi");
  clear.label->SetTransparent(true);
  opaque.Paint();
  clear.Paint();
  // Far from the text: the label's colour, or the red backdrop for the transparent one.
  EXPECT_EQ(opaque.surface.At(125, 45), kPaper);
  EXPECT_EQ(clear.surface.At(125, 45), kBackdrop);
  // The text itself is drawn on both.
  EXPECT_TRUE(clear.surface.Contains(clBlack, clear.label->BoundsRect()));
  EXPECT_FALSE(clear.label->ControlStyle.Contains(csOpaque));
  EXPECT_TRUE(opaque.label->ControlStyle.Contains(csOpaque));
}

TEST(Label, DisabledTextIsEngravedInsteadOfTheFontColour) {
  LabelFixture f;
  f.label->SetCaption("WWW");
  f.label->Font()->SetColor(0x00FF00);
  f.label->SetEnabled(false);
  RECT ink = f.Paint();
  ASSERT_GT(ink.right, ink.left);
  EXPECT_FALSE(f.surface.Contains(0x00FF00, f.label->BoundsRect()));
  EXPECT_TRUE(f.surface.Contains(ColorToRGB(clBtnShadow), f.label->BoundsRect()));
}

TEST(Label, AutoSizeFollowsTheTextAndKeepsTheRightEdgeOfRightAlignedLabels) {
  TLabel label(nullptr);
  label.SetBounds(100, 5, 10, 10);
  label.SetCaption("Some words");
  const int oneLine = label.Height();
  EXPECT_GT(label.Width(), 30);
  EXPECT_GT(oneLine, 5);
  EXPECT_EQ(label.Left(), 100);

  TLabel right(nullptr);
  right.SetAlignment(taRightJustify);
  right.SetBounds(100, 5, 10, 10);
  right.SetCaption("Some words");
  EXPECT_EQ(right.Left() + right.Width(), 110);

  // An empty caption still measures one line high.
  label.SetCaption("");
  EXPECT_EQ(label.Height(), oneLine);

  // Fixed size: nothing moves.
  TLabel fixed(nullptr);
  fixed.SetAutoSize(false);
  fixed.SetBounds(4, 137, 372, 29);
  fixed.SetCaption("A long note that would be much wider than this in one line of text");
  EXPECT_EQ(fixed.Width(), 372);
  EXPECT_EQ(fixed.Height(), 29);
}

TEST(Label, AmpersandsAreAcceleratorMarksOnlyWhileShowAccelCharIsOn) {
  TLabel marks(nullptr), plain(nullptr);
  plain.SetShowAccelChar(false);
  marks.SetCaption("A&&&&B");
  plain.SetCaption("A&&&&B");
  // "&&" draws one ampersand, so the text with marks is narrower.
  EXPECT_LT(marks.Width(), plain.Width());

  EXPECT_TRUE(IsAccel('a', "&Add"));
  EXPECT_TRUE(IsAccel('D', "A&dd"));
  EXPECT_FALSE(IsAccel('d', "A&&dd"));
  EXPECT_FALSE(IsAccel('x', "Trailing&"));
}

class TLabelTestForm : public TForm {
  ZX_CLASS(TLabelTestForm, TForm)
 public:
  using TForm::TForm;
};

const TClassInfo& TLabelTestForm::StaticClass() {
  static const TClassInfo info = DefineClass<TLabelTestForm>("TLabelTestForm");
  return info;
}

TEST(Label, ReadsItsSettingsAndWritesOnlyWhatDiffersFromTheDefaults) {
  RegisterClassInfo(TLabel::StaticClass());
  auto form = std::make_unique<TLabelTestForm>(nullptr);
  ReadComponentText(form.get(),
                    "object LabelTestForm: TLabelTestForm\n"
                    "  object Label6: TLabel\n"
                    "    Left = 4\n    Top = 137\n    Width = 372\n    Height = 29\n"
                    "    AutoSize = False\n"
                    "    Caption = 'The URL listed in White Page will be forcibly showed.'\n"
                    "    Transparent = True\n    WordWrap = True\n    Layout = tlCenter\n"
                    "    Alignment = taRightJustify\n"
                    "  end\n"
                    "end\n");
  auto* label = dynamic_cast<TLabel*>(form->FindComponent("Label6"));
  ASSERT_NE(label, nullptr);
  EXPECT_EQ(label->Parent(), form.get());
  EXPECT_FALSE(label->AutoSize());
  EXPECT_TRUE(label->Transparent());
  EXPECT_TRUE(label->WordWrap());
  EXPECT_EQ(label->Layout(), tlCenter);
  EXPECT_EQ(label->Alignment(), taRightJustify);
  EXPECT_EQ(label->Width(), 372);
  EXPECT_EQ(label->Height(), 29);

  std::string all = WriteComponentText(form.get());
  std::string text = all.substr(all.find("object Label6"));
  EXPECT_NE(text.find("AutoSize = False"), std::string::npos) << text;
  EXPECT_NE(text.find("WordWrap = True"), std::string::npos) << text;
  EXPECT_EQ(text.find("ShowAccelChar"), std::string::npos) << text;
  // A label takes its parent's colour unless told otherwise, and says nothing about it.
  EXPECT_TRUE(label->ParentColor());
  EXPECT_EQ(text.find("ParentColor"), std::string::npos) << text;
  EXPECT_EQ(text.find("Color ="), std::string::npos) << text;
}

}  // namespace
