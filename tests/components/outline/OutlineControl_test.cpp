// The outline as a control on a real form window: font metrics and row
// height, selection and rows, pixels of the draw styles (tree lines, picture
// boxes, text boxes), owner drawing, keys and mouse, the column width, and
// streaming of items and pictures through the form description.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "ExceptionCapture.h"
#include "Filer.h"
#include "OutlineCheck.h"
#include "Painting.h"

using namespace outline_test;

namespace {

// An outline that publishes its items and pictures, as a descendant would.
class TTestOutline : public TCustomOutline {
  ZX_CLASS(TTestOutline, TCustomOutline)
 public:
  using TCustomOutline::TCustomOutline;
  TOutlineStrings* Lines() const { return Strings(); }
};

}  // namespace

const TClassInfo& TTestOutline::StaticClass() {
  static const TClassInfo info = DefineClass<TTestOutline>("TTestOutline", [](TClassBuilder<TTestOutline>& c) {
    c.Obj("Lines", &TTestOutline::Lines)
        .Set("Options", OutlineOptionNames, &TTestOutline::Options, &TTestOutline::SetOptions,
             TOutlineOptions{ooDrawTreeRoot, ooDrawFocusRect})
        .Obj("PictureLeaf", &TTestOutline::PictureLeaf)
        .Stored([](TTestOutline& o) { return o.PictureAssigned(opLeaf); })
        .Obj("PictureOpen", &TTestOutline::PictureOpen)
        .Stored([](TTestOutline& o) { return o.PictureAssigned(opOpen); });
  });
  return info;
}

namespace {

constexpr int RH = 16;  // a 10-point font at 96 pixels per inch: 13-pixel font, 16-pixel rows

class OutlineTest : public testing::Test {
 protected:
  void SetUp() override {
    form_ = new TForm(nullptr);
    form_->SetBounds(0, 0, 400, 300);
    o_ = new TTestOutline(form_);
    o_->Font()->SetSize(10);
    o_->SetBorderStyle(bsNone);
    o_->SetScrollBars(ssNone);
    o_->SetBounds(0, 0, 200, 160);
    o_->SetParent(form_);
    form_->HandleNeeded();
    o_->OnExpand = [this](TObject*, int i) { log_.push_back("expand " + std::to_string(i)); };
    o_->OnCollapse = [this](TObject*, int i) { log_.push_back("collapse " + std::to_string(i)); };
  }
  void TearDown() override { delete form_; }
  // a(b, c), d with a expanded: rows a, b, c, d.
  void BuildFour() {
    Load(*o_, "a\r\n\tb\r\n\tc\r\nd\r\n");
    o_->GetItem(1)->Expand();
    log_.clear();
  }
  HWND H() { return o_->Handle(); }
  void Key(WORD vk, bool ctrl = false) {
    BYTE saved[256], state[256];
    GetKeyboardState(saved);
    std::copy(saved, saved + 256, state);
    state[VK_CONTROL] = ctrl ? 0x80 : 0;
    SetKeyboardState(state);
    SendMessageA(H(), WM_KEYDOWN, vk, 1);
    SendMessageA(H(), WM_KEYUP, vk, 0xC0000001);
    SetKeyboardState(saved);
  }
  void Char(char ch) { SendMessageA(H(), WM_CHAR, static_cast<unsigned char>(ch), 1); }
  std::string Selected() { return o_->SelectedIndex() ? o_->GetItem(o_->SelectedIndex())->Text() : ""; }
  // The outline painted on white; the pixel colour at (x, y).
  std::unique_ptr<painting::Surface> Paint() {
    auto s = std::make_unique<painting::Surface>(200, 160, clWhite);
    s->PaintWindowed(*o_);
    return s;
  }

  ExceptionCapture errors_;
  TForm* form_ = nullptr;
  TTestOutline* o_ = nullptr;
  std::vector<std::string> log_;
};

TEST_F(OutlineTest, FontMetricsGiveRowHeightAndItemHeightFollowsTheStyle) {
  EXPECT_EQ(o_->FontHeight(), 13);
  EXPECT_EQ(o_->DefaultRowHeight(), RH);
  EXPECT_EQ(o_->ItemHeight(), RH);
  o_->SetItemHeight(30);  // standard style: the font decides
  EXPECT_EQ(o_->DefaultRowHeight(), RH);
  EXPECT_EQ(o_->ItemHeight(), RH);
  o_->SetStyle(otOwnerDraw);
  o_->SetItemHeight(30);
  EXPECT_EQ(o_->DefaultRowHeight(), 30);
  EXPECT_EQ(o_->FontHeight(), 25);
  o_->SetStyle(otStandard);
  EXPECT_EQ(o_->DefaultRowHeight(), RH);
  EXPECT_EQ(o_->Width(), 200);
  TCustomOutline fresh(nullptr);
  EXPECT_EQ(fresh.Width(), 121);
  EXPECT_EQ(fresh.Height(), 97);
  EXPECT_EQ(fresh.DrawStyle(), dsTreePictureText);
  EXPECT_EQ(fresh.Options(), (TOutlineOptions{ooDrawTreeRoot, ooDrawFocusRect}));
}

TEST_F(OutlineTest, SelectionFollowsRowsAndCollapsing) {
  EXPECT_EQ(o_->RowCount(), 0);
  EXPECT_EQ(o_->SelectedIndex(), 0);
  EXPECT_EQ(OutlineErrorOf([&] { o_->SetSelectedIndex(0); }), "Invalid selection");
  o_->AddChild(0, "x");
  o_->AddChild(0, "y");
  o_->AddChild(0, "z");
  o_->SetSelectedIndex(0);
  EXPECT_EQ(o_->SelectedIndex(), 1);
  EXPECT_EQ(OutlineErrorOf([&] { o_->SetSelectedIndex(-1); }), "Invalid selection");
  EXPECT_EQ(OutlineErrorOf([&] { o_->SetSelectedIndex(9); }), "Outline index not found");
  o_->Clear();
  BuildFour();
  o_->SetSelectedIndex(3);  // c
  EXPECT_EQ(o_->Row(), 2);
  o_->GetItem(1)->Collapse();
  EXPECT_EQ(Selected(), "a");
  EXPECT_EQ(o_->Row(), 0);
  // Selecting a hidden item selects its nearest visible ancestor.
  o_->SetSelectedIndex(2);
  EXPECT_EQ(Selected(), "a");
  o_->SetSelectedIndex(4);
  EXPECT_EQ(o_->Row(), 1);
  // Deleting the selected item re-reads the selection from the grid row.
  o_->Delete(4);
  EXPECT_EQ(Selected(), "a");
  EXPECT_EQ(VerifyTree(*o_), "");
}

TEST_F(OutlineTest, TreeLinesAndTheirColumns) {
  BuildFour();
  o_->SetDrawStyle(dsTreeText);
  auto s = Paint();
  auto line = [&](int x, int y) { return s->At(x, y) == RGB(0, 0, 0); };
  // Column k lies at 16k + 8. a is not the last top-level item: its line runs
  // through b and c; d is the last one, so its line stops half-way down.
  for (int row = 0; row < 3; ++row) EXPECT_TRUE(line(8, row * RH + 15)) << "row " << row;
  EXPECT_TRUE(line(8, 3 * RH));
  EXPECT_FALSE(line(8, 3 * RH + 15));
  // A connector runs from the column's centre over half the font height (6).
  EXPECT_TRUE(line(13, 8));
  EXPECT_FALSE(line(14, 8));
  EXPECT_TRUE(line(24, RH + 15));       // b, not the last child
  EXPECT_TRUE(line(24, 2 * RH));        // c, the last child: only the upper half
  EXPECT_FALSE(line(24, 2 * RH + 15));
  EXPECT_TRUE(line(29, 2 * RH + 8));
  // Without the root's lines every column moves one row height to the left
  // and top-level items have no connector.
  o_->SetOptions({ooDrawFocusRect});
  s = Paint();
  EXPECT_FALSE(line(8, 0));
  EXPECT_FALSE(line(8, 3 * RH));
  EXPECT_TRUE(line(8, RH));
  EXPECT_TRUE(line(8, RH + 15));
  EXPECT_TRUE(line(8, 2 * RH));
  EXPECT_FALSE(line(8, 2 * RH + 15));
  EXPECT_FALSE(line(24, RH + 15));
}

TEST_F(OutlineTest, TextBoxesAndPictureSlotsOfEveryDrawStyle) {
  BuildFour();
  o_->SetSelectedIndex(2);  // b, level 2, in row 1
  const TColor highlight = ColorToRGB(clHighlight) & 0xFFFFFF;
  struct Case {
    TOutlineDrawStyle style;
    TOutlineOptions options;
    int textLeft;  // first highlighted pixel of row 1
    int slot;      // left of the picture box in row 0 (a, expanded), -1 for none
  } cases[] = {
      {dsText, {ooDrawTreeRoot}, 16, -1},
      {dsPlusMinusText, {ooDrawTreeRoot}, 32, 0},
      {dsPictureText, {ooDrawTreeRoot}, 32, 0},
      {dsPlusMinusPictureText, {ooDrawTreeRoot}, 48, 16},  // the folder's slot; plus/minus at 0
      {dsTreeText, {ooDrawTreeRoot}, 31, -1},
      {dsTreePictureText, {ooDrawTreeRoot}, 47, 16},
      {dsTreePictureText, {}, 31, 0},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE("style " + std::to_string(k.style) + " options " + std::to_string(k.options.Bits()));
    o_->SetDrawStyle(k.style);
    o_->SetOptions(k.options);
    auto s = Paint();
    int first = -1;
    for (int x = 0; x < 200 && first < 0; ++x)
      if ((s->At(x, RH + 1) & 0xFFFFFF) == highlight) first = x;
    EXPECT_EQ(first, k.textLeft);
    // Pictures: 13-pixel boxes one pixel below the row's top; the transparent
    // background of every picture takes the control's colour.
    EXPECT_FALSE(s->Contains(RGB(191, 191, 0), RECT{0, 0, 200, 4 * RH}));
    EXPECT_FALSE(s->Contains(RGB(128, 0, 128), RECT{0, 0, 200, 4 * RH}));
    if (k.slot >= 0) {
      const RECT box{k.slot, 1, k.slot + 13, 14};
      if (k.style == dsPlusMinusText) {
        EXPECT_EQ(s->Ink(clWhite, box).left, k.slot + 2);  // the minus sign's outline
      } else {
        EXPECT_TRUE(s->Contains(RGB(255, 255, 0), box));  // the open folder
        EXPECT_FALSE(s->Contains(RGB(255, 255, 0), RECT{0, 0, k.slot, RH}));
      }
    }
  }
  // Stretched pictures fill the whole box, also the 14th pixel row that the
  // unstretched copy leaves out.
  o_->SetDrawStyle(dsPictureText);
  o_->SetOptions({ooStretchBitmaps});
  auto s = Paint();
  EXPECT_TRUE(s->Contains(RGB(255, 255, 0), RECT{0, 1, 13, 14}));
}

TEST_F(OutlineTest, OwnerDrawingGetsGridRows) {
  BuildFour();
  std::vector<std::string> drawn;
  o_->SetStyle(otOwnerDraw);
  o_->OnDrawItem = [&](TWinControl* c, int index, RECT r, TOwnerDrawState st) {
    drawn.push_back(std::to_string(index) + (st.Contains(odSelected) ? "s" : "") + "@" + std::to_string(r.top));
  };
  o_->SetSelectedIndex(4);  // d, item 4, in row 3
  Paint();
  EXPECT_EQ(drawn, (std::vector<std::string>{"0@0", "1@16", "2@32", "3s@48"}));
}

TEST_F(OutlineTest, KeysMoveTheSelectionAndExpand) {
  Load(*o_, "a\r\n\tb\r\n\t\tc\r\n\tb2\r\nd\r\n\te\r\n");
  o_->SetSelectedIndex(1);
  struct Step {
    WORD key;
    bool ctrl;
    const char* selected;
    int rows;
  } steps[] = {
      {VK_RIGHT, false, "a", 2},  // collapsed: beep
      {VK_RETURN, false, "a", 4},
      {VK_RIGHT, false, "b", 4},
      {VK_DOWN, true, "b2", 4},
      {VK_DOWN, true, "b2", 4},  // last child: beep
      {VK_UP, true, "b", 4},
      {VK_LEFT, false, "a", 4},
      {VK_LEFT, false, "a", 4},  // top level: beep
      {VK_END, false, "d", 4},
      {VK_HOME, false, "a", 4},
      {VK_DOWN, false, "b", 4},
      {VK_MULTIPLY, true, "b", 6},
      {VK_END, false, "e", 6},
  };
  for (const Step& k : steps) {
    SCOPED_TRACE(std::to_string(k.key) + (k.ctrl ? "+ctrl" : ""));
    Key(k.key, k.ctrl);
    EXPECT_EQ(Selected(), k.selected);
    EXPECT_EQ(o_->RowCount(), k.rows);
    EXPECT_EQ(o_->Row(), o_->RowOf(o_->GetItem(o_->SelectedIndex())));
  }
  // Typed keys act on the selected item: "-" collapses, "+" expands, "*" its subtree.
  o_->SetSelectedIndex(1);
  Char('-');
  EXPECT_EQ(o_->RowCount(), 3);  // a, d, e: collapsing a collapsed b too
  Char('+');
  EXPECT_EQ(o_->RowCount(), 5);
  EXPECT_FALSE(o_->GetItem(2)->Expanded());
  Char('*');
  EXPECT_TRUE(o_->GetItem(2)->Expanded());
  EXPECT_FALSE(o_->GetItem(3)->Expanded());  // no children: stays collapsed
  EXPECT_EQ(errors_.count, 0) << errors_.text;
}

TEST_F(OutlineTest, MouseSelectsAndDoubleClickToggles) {
  BuildFour();
  SendMessageA(H(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(40, 2 * RH + 4));
  SendMessageA(H(), WM_LBUTTONUP, 0, MAKELPARAM(40, 2 * RH + 4));
  EXPECT_EQ(Selected(), "c");
  EXPECT_TRUE(log_.empty());  // a click on a row or its picture expands nothing
  SendMessageA(H(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(40, 2));
  SendMessageA(H(), WM_LBUTTONUP, 0, MAKELPARAM(40, 2));
  SendMessageA(H(), WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(40, 2));
  SendMessageA(H(), WM_LBUTTONUP, 0, MAKELPARAM(40, 2));
  EXPECT_EQ(log_, (std::vector<std::string>{"collapse 1"}));
  EXPECT_EQ(o_->RowCount(), 2);
}

TEST_F(OutlineTest, ColumnWidthFollowsScrollBars) {
  BuildFour();
  o_->SetScrollBars(ssVertical);
  o_->SetBounds(0, 0, 180, 100);
  EXPECT_EQ(o_->DefaultColWidth(), o_->ClientWidth());
  o_->SetScrollBars(ssBoth);
  o_->SetDrawStyle(dsText);
  o_->AdjustScrollWidth();
  const int base = o_->DefaultColWidth();
  // The widest visible item decides: a long text under a (level 2) widens it.
  const int added = o_->AddChild(1, std::string(40, 'W'));
  const int wide = o_->DefaultColWidth();
  EXPECT_GT(wide, base);
  EXPECT_EQ(wide, o_->NodeDisplayWidth(o_->GetItem(added)));
  o_->Delete(added);
  EXPECT_EQ(o_->DefaultColWidth(), base);
  // Items under a collapsed parent do not count.
  o_->AddChild(2, std::string(40, 'W'));
  EXPECT_EQ(o_->DefaultColWidth(), base);
}

TEST_F(OutlineTest, ItemsAndPicturesStreamThroughTheFormDescription) {
  BuildFour();
  o_->SetName("Outline1");
  o_->SetPictureLeaf(nullptr);  // cleared: the empty slot must survive
  const std::string text = WriteComponentText(o_);
  EXPECT_NE(text.find("Lines.Nodes = ("), std::string::npos) << text;
  EXPECT_NE(text.find("#9'b'"), std::string::npos) << text;
  EXPECT_NE(text.find("Data = {"), std::string::npos) << text;
  TTestOutline copy(nullptr);
  ReadComponentText(&copy, text);
  EXPECT_EQ(Lines(copy), (std::vector<std::string>{"a", ".b", ".c", "d"}));
  EXPECT_EQ(copy.PictureLeaf(), nullptr);
  EXPECT_NE(copy.PictureOpen(), nullptr);
  EXPECT_EQ(copy.SelectedIndex(), 1);
  EXPECT_EQ(VerifyTree(copy), "");
  // An outline without items or assigned pictures writes neither.
  TTestOutline empty(nullptr);
  empty.SetName("Outline2");
  const std::string none = WriteComponentText(&empty);
  EXPECT_EQ(none.find("Nodes"), std::string::npos) << none;
  EXPECT_EQ(none.find("Data"), std::string::npos) << none;
  // An assigned picture is written and read back.
  TBitmap red(3, 2);
  red.Canvas()->Brush()->SetColor(clRed);
  red.Canvas()->FillRect(RECT{0, 0, 3, 2});
  empty.SetPictureOpen(&red);
  TTestOutline again(nullptr);
  ReadComponentText(&again, WriteComponentText(&empty));
  EXPECT_EQ(again.PictureOpen()->Width(), 3);
}

}  // namespace
