// The list box on a real form window: its lines with and without a window,
// the current line with multiple selection, notifications and its frame.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "Filer.h"
#include "Forms.h"
#include "Listbox.h"

namespace {

// The lines as the system list box holds them.
std::vector<std::string> WindowLines(HWND listBox) {
  std::vector<std::string> lines;
  int n = static_cast<int>(SendMessageA(listBox, LB_GETCOUNT, 0, 0));
  for (int i = 0; i < n; ++i) {
    std::string text(static_cast<size_t>(SendMessageA(listBox, LB_GETTEXTLEN, i, 0)) + 1, '\0');
    text.resize(static_cast<size_t>(SendMessageA(listBox, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text.data()))));
    lines.push_back(text);
  }
  return lines;
}

std::string WindowClass(HWND window) {
  char name[64] = {};
  GetClassNameA(window, name, sizeof name);
  return name;
}

using Lines = std::vector<std::string>;

class ListboxTest : public testing::Test {
 protected:
  void SetUp() override {
    InitApplication();
    form_ = new TForm(nullptr);
    form_->SetBounds(0, 0, 400, 300);
  }
  void TearDown() override { delete form_; }

  // A list box on the form, whose window exists.
  TListBox* NewListBox(int left = 8) {
    auto* lb = new TListBox(form_);
    lb->SetBounds(left, 8, 150, 120);
    lb->SetParent(form_);
    form_->HandleNeeded();
    return lb;
  }

  TForm* form_ = nullptr;
};

}  // namespace

TEST_F(ListboxTest, LinesLiveOnTheWindowAndBeforeIt) {
  auto* lb = new TListBox(form_);
  lb->Items()->Add("one");
  lb->Items()->Add("two");
  lb->Items()->Insert(0, "zero");
  EXPECT_FALSE(lb->HandleAllocated());
  EXPECT_EQ(lb->Items()->Count(), 3);
  EXPECT_EQ(lb->Items()->Get(0), "zero");

  lb->SetParent(form_);
  form_->HandleNeeded();
  ASSERT_TRUE(lb->HandleAllocated());
  HWND h = lb->Handle();
  EXPECT_EQ(WindowClass(h), "TListBox");
  EXPECT_EQ(GetParent(h), form_->Handle());
  EXPECT_EQ(WindowLines(h), (Lines{"zero", "one", "two"}));

  // From now on every change is a change of the window.
  EXPECT_EQ(lb->Items()->Add("three"), 3);
  lb->Items()->Delete(1);
  lb->Items()->Put(0, "nought");
  EXPECT_EQ(WindowLines(h), (Lines{"nought", "two", "three"}));
  EXPECT_EQ(lb->Items()->Get(2), "three");
  EXPECT_THROW(lb->Items()->Get(3), EStringListError);
  EXPECT_THROW(lb->Items()->Delete(-1), EStringListError);
  EXPECT_THROW(lb->Items()->Insert(5, "x"), EStringListError);
  lb->Clear();
  EXPECT_EQ(SendMessageA(h, LB_GETCOUNT, 0, 0), 0);
}

TEST_F(ListboxTest, LinesAndSelectionSurviveRecreatingTheWindow) {
  TListBox* lb = NewListBox();
  lb->SetMultiSelect(true);
  TObject marker;
  lb->Items()->SetText("a\r\nb\r\nc\r\nd\r\n");
  lb->Items()->SetObject(1, &marker);
  lb->SetSelected(0, true);
  lb->SetSelected(2, true);
  lb->SetItemIndex(3);
  HWND before = lb->Handle();

  lb->RecreateWnd();
  ASSERT_TRUE(lb->HandleAllocated());
  EXPECT_NE(lb->Handle(), before);
  EXPECT_FALSE(IsWindow(before));
  EXPECT_EQ(WindowLines(lb->Handle()), (Lines{"a", "b", "c", "d"}));
  EXPECT_EQ(lb->Items()->Objects(1), &marker);
  EXPECT_TRUE(lb->Selected(0));
  EXPECT_FALSE(lb->Selected(1));
  EXPECT_TRUE(lb->Selected(2));
  EXPECT_EQ(lb->SelCount(), 2);
  EXPECT_EQ(lb->ItemIndex(), 3);

  // Changing a style recreates the window too: sorting reorders the lines.
  lb->Items()->Put(0, "z");
  lb->SetSorted(true);
  EXPECT_EQ(WindowLines(lb->Handle()), (Lines{"b", "c", "d", "z"}));
  EXPECT_NE(GetWindowLongPtrA(lb->Handle(), GWL_STYLE) & LBS_SORT, 0);
}

TEST_F(ListboxTest, ItemIndexIsTheCaretLineWithMultipleSelection) {
  TListBox* lb = NewListBox();
  lb->SetMultiSelect(true);
  EXPECT_NE(GetWindowLongPtrA(lb->Handle(), GWL_STYLE) & LBS_EXTENDEDSEL, 0);
  EXPECT_EQ(lb->ItemIndex(), -1);  // empty: no current line, whatever the caret says

  for (const char* s : {"u0", "u1", "u2", "u3", "u4"}) lb->Items()->Add(s);
  lb->SetSelected(1, true);
  lb->SetSelected(2, true);
  lb->SetSelected(3, true);
  lb->SetItemIndex(2);
  EXPECT_EQ(lb->SelCount(), 3);
  EXPECT_EQ(lb->ItemIndex(), 2);
  EXPECT_EQ(SendMessageA(lb->Handle(), LB_GETCARETINDEX, 0, 0), 2);

  // The caret may stand on a line that is not selected.
  lb->SetItemIndex(4);
  EXPECT_EQ(lb->ItemIndex(), 4);
  EXPECT_FALSE(lb->Selected(4));
  EXPECT_EQ(lb->SelCount(), 3);

  // Replacing the current line keeps it current and selected where it was.
  lb->SetItemIndex(3);
  lb->Items()->Put(3, "edited");
  EXPECT_EQ(lb->ItemIndex(), 3);
  EXPECT_TRUE(lb->Selected(3));
  EXPECT_EQ(lb->Items()->Get(3), "edited");

  lb->Clear();
  EXPECT_EQ(lb->ItemIndex(), -1);
  EXPECT_EQ(lb->SelCount(), 0);
}

TEST_F(ListboxTest, ItemIndexOfASingleSelectionList) {
  TListBox* lb = NewListBox();
  lb->Items()->SetText("a\r\nb\r\nc\r\n");
  EXPECT_EQ(lb->ItemIndex(), -1);
  lb->SetItemIndex(1);
  EXPECT_EQ(lb->ItemIndex(), 1);
  EXPECT_TRUE(lb->Selected(1));
  EXPECT_EQ(lb->SelCount(), 1);
  lb->SetSelected(1, false);
  EXPECT_EQ(lb->ItemIndex(), -1);
  EXPECT_THROW(lb->Selected(3), EListError);
}

TEST_F(ListboxTest, DoubleClickAndSelectionChangeRaiseEvents) {
  TListBox* lb = NewListBox();
  lb->Items()->SetText("first\r\nsecond\r\n");
  std::vector<std::string> log;
  lb->OnDblClick = TNotifyEvent([&](TObject* sender) { log.push_back(sender == lb ? "dbl" : "dbl?"); });
  lb->OnClick = TNotifyEvent([&](TObject* sender) { log.push_back(sender == lb ? "click" : "click?"); });

  HWND h = lb->Handle();
  SendMessageA(h, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(10, 5));
  SendMessageA(h, WM_LBUTTONUP, 0, MAKELPARAM(10, 5));
  EXPECT_EQ(std::count(log.begin(), log.end(), "dbl"), 1);
  EXPECT_EQ(std::count(log.begin(), log.end(), "dbl?"), 0);

  // A selection made by the user's mouse reports a click; the program's own does not.
  log.clear();
  lb->SetItemIndex(0);
  EXPECT_TRUE(log.empty());
  int rowTop = static_cast<int>(SendMessageA(h, LB_GETITEMHEIGHT, 0, 0)) + 2;
  SendMessageA(h, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, rowTop));
  SendMessageA(h, WM_LBUTTONUP, 0, MAKELPARAM(10, rowTop));
  EXPECT_EQ(lb->ItemIndex(), 1);
  EXPECT_EQ(log, (std::vector<std::string>{"click"}));
}

TEST_F(ListboxTest, FocusMovesRaiseEnterAndExit) {
  TListBox* first = NewListBox(8);
  TListBox* second = NewListBox(200);
  std::vector<std::string> log;
  for (TListBox* lb : {first, second}) {
    std::string name = lb == first ? "first" : "second";
    lb->OnEnter = TNotifyEvent([&log, name](TObject*) { log.push_back("enter " + name); });
    lb->OnExit = TNotifyEvent([&log, name](TObject*) { log.push_back("exit " + name); });
  }
  // Focus goes to windows of a shown form.
  form_->Show();
  first->SetFocus();
  ASSERT_EQ(GetFocus(), first->Handle());
  second->SetFocus();
  first->SetFocus();
  EXPECT_EQ(log, (std::vector<std::string>{"enter first", "exit first", "enter second", "exit second",
                                           "enter first"}));
  // The form's destruction moves the focus away again; the log is gone by then.
  for (TListBox* lb : {first, second}) lb->OnEnter = lb->OnExit = nullptr;
}

TEST_F(ListboxTest, ItemHeightHoldsAcrossFontChanges) {
  TListBox* lb = NewListBox();
  lb->SetItemHeight(14);
  EXPECT_EQ(SendMessageA(lb->Handle(), LB_GETITEMHEIGHT, 0, 0), 14);
  lb->Font()->SetHeight(-20);
  EXPECT_EQ(SendMessageA(lb->Handle(), LB_GETITEMHEIGHT, 0, 0), 14);
  lb->RecreateWnd();
  EXPECT_EQ(SendMessageA(lb->Handle(), LB_GETITEMHEIGHT, 0, 0), 14);
}

TEST_F(ListboxTest, NoBorderWithAFlatBevel) {
  TListBox* lb = NewListBox();
  EXPECT_NE(GetWindowLongPtrA(lb->Handle(), GWL_EXSTYLE) & WS_EX_CLIENTEDGE, 0);
  lb->SetBorderStyle(bsNone);
  lb->SetBevelKind(bkFlat);
  HWND h = lb->Handle();
  EXPECT_EQ(GetWindowLongPtrA(h, GWL_EXSTYLE) & WS_EX_CLIENTEDGE, 0);
  RECT client{};
  GetClientRect(h, &client);
  EXPECT_EQ(client.right, 150 - 2);
  EXPECT_EQ(client.bottom, 120 - 2);

  // The frame is one pixel of the button-shadow colour around the window.
  BITMAPINFO bi{};
  bi.bmiHeader = {sizeof(BITMAPINFOHEADER), 150, -120, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  Gdi::Bitmap dib(CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
  Gdi::MemoryDc dc(dib.get());
  RECT all{0, 0, 150, 120};
  Gdi::Brush red(CreateSolidBrush(RGB(255, 0, 0)));
  FillRect(dc.get(), &all, red.get());
  SendMessageA(h, WM_PRINT, reinterpret_cast<WPARAM>(dc.get()), PRF_NONCLIENT | PRF_CLIENT | PRF_ERASEBKGND);
  COLORREF shadow = ColorRef(clBtnShadow);
  for (POINT p : {POINT{0, 0}, POINT{149, 0}, POINT{0, 119}, POINT{149, 119}, POINT{75, 0}, POINT{0, 60}})
    EXPECT_EQ(GetPixel(dc.get(), p.x, p.y), shadow) << p.x << "," << p.y;
  EXPECT_NE(GetPixel(dc.get(), 1, 1), shadow);
}

TEST_F(ListboxTest, HorizontalBarFollowsTheExtent) {
  TListBox* lb = NewListBox();
  lb->Items()->Add(std::string(300, 'W'));
  HWND h = lb->Handle();
  auto hasBar = [h] { return (GetWindowLongPtrA(h, GWL_STYLE) & WS_HSCROLL) != 0; };
  SendMessageA(h, LB_SETHORIZONTALEXTENT, 0, 0);
  EXPECT_FALSE(hasBar());
  SendMessageA(h, LB_SETHORIZONTALEXTENT, 1000, 0);
  EXPECT_TRUE(hasBar());
  SendMessageA(h, LB_SETHORIZONTALEXTENT, 0, 0);
  EXPECT_FALSE(hasBar());
}

TEST_F(ListboxTest, ReadFromAFormDescription) {
  RegisterClassInfo(TListBox::StaticClass());
  ReadComponentText(form_,
                    "object Form: TForm\n"
                    "  object ListBox1: TListBox\n"
                    "    Left = 7\n"
                    "    Top = 16\n"
                    "    Width = 306\n"
                    "    Height = 121\n"
                    "    BevelKind = bkFlat\n"
                    "    BorderStyle = bsNone\n"
                    "    ItemHeight = 14\n"
                    "    Items.Strings = (\n"
                    "      'http://one.example/'\n"
                    "      'http://two.example/')\n"
                    "    MultiSelect = True\n"
                    "  end\n"
                    "end\n");
  auto* lb = dynamic_cast<TListBox*>(form_->FindComponent("ListBox1"));
  ASSERT_NE(lb, nullptr);
  EXPECT_EQ(lb->Parent(), form_);
  EXPECT_EQ(lb->Items()->Count(), 2);
  form_->HandleNeeded();
  HWND h = lb->Handle();
  EXPECT_EQ(WindowLines(h), (Lines{"http://one.example/", "http://two.example/"}));
  EXPECT_EQ(SendMessageA(h, LB_GETITEMHEIGHT, 0, 0), 14);
  EXPECT_NE(GetWindowLongPtrA(h, GWL_STYLE) & LBS_EXTENDEDSEL, 0);
  EXPECT_EQ(GetWindowLongPtrA(h, GWL_EXSTYLE) & WS_EX_CLIENTEDGE, 0);
  std::string text = WriteComponentText(form_);
  EXPECT_NE(text.find("'http://two.example/'"), std::string::npos) << text;
  EXPECT_NE(text.find("BevelKind = bkFlat"), std::string::npos) << text;
}

// Lines are read from a copy kept beside the window: it must follow every
// message that changes the window's lines, whoever sends it.
TEST_F(ListboxTest, LinesReadBackFollowMessagesSentToTheWindow) {
  auto* lb = NewListBox();
  HWND h = lb->Handle();
  lb->Items()->Add("b");
  SendMessageA(h, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>("c"));
  SendMessageA(h, LB_INSERTSTRING, 0, reinterpret_cast<LPARAM>("a"));
  SendMessageA(h, LB_INSERTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>("d"));
  EXPECT_EQ(lb->Items()->Count(), 4);
  EXPECT_EQ(WindowLines(h), (Lines{"a", "b", "c", "d"}));
  for (int i = 0; i < 4; ++i) EXPECT_EQ(lb->Items()->Get(i), WindowLines(h)[static_cast<size_t>(i)]);

  EXPECT_EQ(SendMessageA(h, LB_DELETESTRING, 9, 0), LB_ERR);  // no such line: nothing changes
  SendMessageA(h, LB_DELETESTRING, 1, 0);
  EXPECT_EQ(lb->Items()->Get(1), "c");
  lb->Items()->Put(0, "A");
  EXPECT_EQ(WindowLines(h), (Lines{"A", "c", "d"}));
  EXPECT_EQ(lb->Items()->Get(0), "A");
  EXPECT_THROW(lb->Items()->Get(3), EStringListError);

  lb->RecreateWnd();
  EXPECT_EQ(lb->Items()->Count(), 3);
  EXPECT_EQ(lb->Items()->Get(2), "d");
  SendMessageA(lb->Handle(), LB_RESETCONTENT, 0, 0);
  EXPECT_EQ(lb->Items()->Count(), 0);

  lb->SetSorted(true);
  lb->Items()->Add("m");
  lb->Items()->Add("b");
  SendMessageA(lb->Handle(), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>("k"));
  EXPECT_EQ(WindowLines(lb->Handle()), (Lines{"b", "k", "m"}));
  EXPECT_EQ(lb->Items()->Get(1), "k");
}
