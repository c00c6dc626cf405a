// The page control on a real (hidden) form: its window and the sheets' windows,
// tabs kept in step with the sheets, the user's selection, multi-line tabs, and
// a page control read from a form description.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "Classes.h"
#include "Comctrls.h"
#include "Filer.h"
#include "Forms.h"

#include <commctrl.h>

namespace {

std::string WindowClass(HWND window) {
  char name[64] = {};
  GetClassNameA(window, name, sizeof name);
  return name;
}

bool HasStyle(HWND window, LONG_PTR style) { return (GetWindowLongPtrA(window, GWL_STYLE) & style) == style; }

std::string TabText(HWND tabs, int index) {
  char text[128] = {};
  TCITEMA item{};
  item.mask = TCIF_TEXT;
  item.pszText = text;
  item.cchTextMax = sizeof text;
  SendMessageA(tabs, TCM_GETITEMA, index, reinterpret_cast<LPARAM>(&item));
  return text;
}

// A hidden form with a page control of three sheets built in code.
struct PagesFixture {
  std::unique_ptr<TForm> form;
  TPageControl* pages = nullptr;
  TTabSheet* sheet[3] = {};
  std::vector<std::string> log;

  PagesFixture() {
    InitApplication();
    form = std::make_unique<TForm>(nullptr);
    form->SetBounds(0, 0, 400, 300);
    pages = new TPageControl(form.get());
    pages->SetParent(form.get());
    pages->SetBounds(2, 27, 300, 200);
    const char* captions[] = {"   Main    ", "White List", "Black List"};
    for (int i = 0; i < 3; ++i) {
      sheet[i] = new TTabSheet(form.get());
      sheet[i]->SetPageControl(pages);
      sheet[i]->SetCaption(captions[i]);
    }
    pages->OnChange = [this](TObject* sender) { log.push_back(sender == pages ? "change" : "change?"); };
    form->HandleNeeded();
  }
  HWND Tabs() { return pages->Handle(); }
  // Presses and releases the left button on a tab, as the user does.
  void ClickTab(int index) {
    RECT r{};
    ASSERT_TRUE(SendMessageA(Tabs(), TCM_GETITEMRECT, index, reinterpret_cast<LPARAM>(&r)));
    LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    SendMessageA(Tabs(), WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageA(Tabs(), WM_LBUTTONUP, 0, at);
  }
};

TEST(Comctrls, PageControlSheetsAreChildWindowsOfTheirOwnClassInsideThePageControlsWindow) {
  PagesFixture f;
  HWND tabs = f.Tabs();
  EXPECT_EQ(WindowClass(tabs), "TPageControl");
  EXPECT_EQ(GetParent(tabs), f.form->Handle());
  for (TTabSheet* sheet : f.sheet) {
    ASSERT_TRUE(sheet->HandleAllocated());
    EXPECT_EQ(WindowClass(sheet->Handle()), "TTabSheet");
    EXPECT_EQ(GetParent(sheet->Handle()), tabs);
    EXPECT_EQ(sheet->PageControl(), f.pages);
  }
  EXPECT_EQ(f.pages->PageCount(), 3);
  EXPECT_EQ(SendMessageA(tabs, TCM_GETITEMCOUNT, 0, 0), 3);
  EXPECT_EQ(TabText(tabs, 0), "   Main    ");
  EXPECT_EQ(TabText(tabs, 2), "Black List");
  // The first sheet is shown, and only it.
  EXPECT_EQ(f.pages->ActivePage(), f.sheet[0]);
  EXPECT_TRUE(HasStyle(f.sheet[0]->Handle(), WS_VISIBLE));
  EXPECT_FALSE(HasStyle(f.sheet[1]->Handle(), WS_VISIBLE));
  EXPECT_FALSE(HasStyle(f.sheet[2]->Handle(), WS_VISIBLE));
}

TEST(Comctrls, PageControlSheetsFillTheAreaBelowTheTabs) {
  PagesFixture f;
  RECT area{};
  GetClientRect(f.Tabs(), &area);
  SendMessageA(f.Tabs(), TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&area));
  EXPECT_GT(area.top, 10);
  for (TTabSheet* sheet : f.sheet) {
    RECT r = sheet->BoundsRect();
    EXPECT_EQ(r.left, area.left);
    EXPECT_EQ(r.top, area.top);
    EXPECT_EQ(r.right, area.right);
    EXPECT_EQ(r.bottom, area.bottom);
  }
  // And follow the page control's size.
  f.pages->SetBounds(2, 27, 250, 150);
  RECT smaller{};
  GetClientRect(f.Tabs(), &smaller);
  SendMessageA(f.Tabs(), TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&smaller));
  RECT window{};
  GetWindowRect(f.sheet[1]->Handle(), &window);
  EXPECT_EQ(window.right - window.left, smaller.right - smaller.left);
  EXPECT_EQ(window.bottom - window.top, smaller.bottom - smaller.top);
}

TEST(Comctrls, PageControlClickingATabShowsItsSheetHidesTheOldOneAndReportsTheChange) {
  PagesFixture f;
  // The sheets' windows (and what lies in them) are shown and hidden, never made anew.
  auto* inner = new TPageControl(f.form.get());
  inner->SetParent(f.sheet[1]);
  const HWND sheetWindow = f.sheet[1]->Handle(), innerWindow = inner->Handle();
  f.ClickTab(1);
  EXPECT_EQ(f.sheet[1]->Handle(), sheetWindow);
  EXPECT_EQ(inner->Handle(), innerWindow);
  EXPECT_TRUE(IsWindow(innerWindow));
  EXPECT_EQ(f.pages->ActivePage(), f.sheet[1]);
  EXPECT_EQ(f.pages->ActivePageIndex(), 1);
  EXPECT_FALSE(HasStyle(f.sheet[0]->Handle(), WS_VISIBLE));
  EXPECT_TRUE(HasStyle(f.sheet[1]->Handle(), WS_VISIBLE));
  EXPECT_EQ(f.log, std::vector<std::string>{"change"});

  // Setting the page in code moves the tab but is not the user's change.
  f.pages->SetActivePageIndex(2);
  EXPECT_EQ(SendMessageA(f.Tabs(), TCM_GETCURSEL, 0, 0), 2);
  EXPECT_FALSE(HasStyle(f.sheet[1]->Handle(), WS_VISIBLE));
  EXPECT_EQ(f.log.size(), 1u);

  // A veto keeps the current sheet.
  f.pages->OnChanging = [](TObject*, bool& allow) { allow = false; };
  f.ClickTab(0);
  EXPECT_EQ(f.pages->ActivePage(), f.sheet[2]);
  EXPECT_EQ(SendMessageA(f.Tabs(), TCM_GETCURSEL, 0, 0), 2);
}

// Keys of the shown window: Alt and a tab caption's letter, Ctrl+Tab and
// Ctrl+Shift+Tab change the page as the user's choice does, vetoes included.
TEST(Comctrls, PageControlKeysChangeThePage) {
  PagesFixture f;
  f.sheet[1]->SetCaption("T&wo");
  f.sheet[2]->SetCaption("&Three");
  f.form->Show();
  f.pages->SetFocus();
  auto alt = [&](char letter) { return f.form->Perform(CM_DIALOGCHAR, static_cast<unsigned char>(letter), 0); };
  auto ctrlTab = [&](bool shift) {
    BYTE state[256] = {};
    GetKeyboardState(state);
    state[VK_CONTROL] = 0x80;
    state[VK_SHIFT] = shift ? 0x80 : 0;
    SetKeyboardState(state);
    LRESULT used = f.form->Perform(CM_DIALOGKEY, VK_TAB, 0);
    state[VK_CONTROL] = state[VK_SHIFT] = 0;
    SetKeyboardState(state);
    return used;
  };
  EXPECT_EQ(alt('W'), 1);
  EXPECT_EQ(f.pages->ActivePage(), f.sheet[1]);
  EXPECT_EQ(alt('x'), 0) << "no tab has the letter";
  EXPECT_EQ(ctrlTab(false), 1);
  EXPECT_EQ(f.pages->ActivePage(), f.sheet[2]);
  EXPECT_EQ(ctrlTab(false), 1);
  EXPECT_EQ(f.pages->ActivePage(), f.sheet[0]) << "the next of the last is the first";
  EXPECT_EQ(ctrlTab(true), 1);
  EXPECT_EQ(f.pages->ActivePage(), f.sheet[2]);
  EXPECT_EQ(f.log, (std::vector<std::string>{"change", "change", "change", "change"}));
  EXPECT_EQ(SendMessageA(f.Tabs(), TCM_GETCURSEL, 0, 0), 2);

  f.pages->OnChanging = [](TObject*, bool& allow) { allow = false; };
  EXPECT_EQ(alt('w'), 1) << "the letter is the page control's even when vetoed";
  EXPECT_EQ(ctrlTab(false), 1);
  EXPECT_EQ(f.pages->ActivePage(), f.sheet[2]);
  f.sheet[1]->SetTabVisible(false);
  f.pages->OnChanging = nullptr;
  EXPECT_EQ(alt('w'), 0) << "a page without its tab cannot be chosen";
}

TEST(Comctrls, PageControlMultiLineTabsSurviveTheNewWindow) {
  PagesFixture f;
  f.pages->SetActivePage(f.sheet[2]);
  EXPECT_FALSE(HasStyle(f.Tabs(), TCS_MULTILINE));
  f.pages->SetMultiLine(true);
  HWND tabs = f.Tabs();
  EXPECT_TRUE(HasStyle(tabs, TCS_MULTILINE));
  EXPECT_EQ(WindowClass(tabs), "TPageControl");
  EXPECT_EQ(SendMessageA(tabs, TCM_GETITEMCOUNT, 0, 0), 3);
  EXPECT_EQ(SendMessageA(tabs, TCM_GETCURSEL, 0, 0), 2);
  EXPECT_EQ(TabText(tabs, 1), "White List");
  EXPECT_EQ(GetParent(f.sheet[0]->Handle()), tabs);
  // Narrow enough, the tabs wrap into rows and the sheets move down below them.
  const int oneRowTop = f.sheet[0]->Top();
  f.pages->SetWidth(90);
  EXPECT_GT(SendMessageA(tabs, TCM_GETROWCOUNT, 0, 0), 1);
  EXPECT_GT(f.sheet[0]->Top(), oneRowTop);
}

TEST(Comctrls, PageControlTabsFollowCaptionsHiddenTabsAndRemovedSheets) {
  PagesFixture f;
  f.sheet[1]->SetCaption("Allowed");
  EXPECT_EQ(TabText(f.Tabs(), 1), "Allowed");

  // A sheet without a tab: the tabs close up, and an active one gives way to the next.
  f.pages->SetActivePage(f.sheet[1]);
  f.sheet[1]->SetTabVisible(false);
  EXPECT_EQ(SendMessageA(f.Tabs(), TCM_GETITEMCOUNT, 0, 0), 2);
  EXPECT_EQ(TabText(f.Tabs(), 1), "Black List");
  EXPECT_EQ(f.pages->ActivePage(), f.sheet[2]);
  EXPECT_EQ(f.sheet[1]->TabIndex(), -1);
  EXPECT_EQ(f.sheet[2]->TabIndex(), 1);
  EXPECT_EQ(f.sheet[2]->PageIndex(), 2);
  f.sheet[1]->SetTabVisible(true);

  // Freeing the active sheet shows the next one.
  delete f.sheet[2];
  EXPECT_EQ(f.pages->PageCount(), 2);
  EXPECT_EQ(SendMessageA(f.Tabs(), TCM_GETITEMCOUNT, 0, 0), 2);
  EXPECT_EQ(f.pages->ActivePage(), f.sheet[0]);
  EXPECT_THROW(f.pages->Pages(2), EListError);

  // Moving a sheet to no page control takes its tab away too.
  f.sheet[0]->SetPageControl(nullptr);
  EXPECT_EQ(f.pages->PageCount(), 1);
  EXPECT_EQ(f.pages->ActivePage(), f.sheet[1]);
  delete f.sheet[0];
}

TEST(Comctrls, PageControlFreeingThePageControlLeavesItsSheetsUsable) {
  PagesFixture f;
  delete f.pages;
  for (TTabSheet* sheet : f.sheet) {
    EXPECT_EQ(sheet->PageControl(), nullptr);
    EXPECT_EQ(sheet->Parent(), nullptr);
  }
}

TEST(Comctrls, PageControlSheetsTakeThePageControlsColour) {
  TTabSheet loose(nullptr);
  EXPECT_EQ(loose.Color(), clBtnFace);
  TPageControl pages(nullptr);
  pages.SetColor(0xE4DFE5);
  TTabSheet* sheet = new TTabSheet(&pages);
  sheet->SetPageControl(&pages);
  EXPECT_EQ(sheet->Color(), 0xE4DFE5u);
  pages.SetColor(clWhite);
  EXPECT_EQ(sheet->Color(), clWhite);
}

class TPagesTestForm : public TForm {
  ZX_CLASS(TPagesTestForm, TForm)
 public:
  using TForm::TForm;
};

const TClassInfo& TPagesTestForm::StaticClass() {
  static const TClassInfo info = DefineClass<TPagesTestForm>("TPagesTestForm");
  return info;
}

TEST(Comctrls, PageControlReadFromAFormDescription) {
  InitApplication();
  RegisterClassInfo(TPageControl::StaticClass());
  RegisterClassInfo(TTabSheet::StaticClass());
  auto form = std::make_unique<TPagesTestForm>(nullptr);
  ReadComponentText(form.get(),
                    "object PagesTestForm: TPagesTestForm\n"
                    "  object PageControl1: TPageControl\n"
                    "    Left = 2\n    Top = 27\n    Width = 404\n    Height = 201\n"
                    "    ActivePage = TabSheet2\n"
                    "    MultiLine = True\n"
                    "    object TabSheet1: TTabSheet\n"
                    "      Caption = '   Main    '\n"
                    "    end\n"
                    "    object TabSheet2: TTabSheet\n"
                    "      Caption = 'White List'\n"
                    "    end\n"
                    "  end\n"
                    "end\n");
  auto* pages = dynamic_cast<TPageControl*>(form->FindComponent("PageControl1"));
  auto* first = dynamic_cast<TTabSheet*>(form->FindComponent("TabSheet1"));
  auto* second = dynamic_cast<TTabSheet*>(form->FindComponent("TabSheet2"));
  ASSERT_TRUE(pages && first && second);
  EXPECT_EQ(pages->PageCount(), 2);
  EXPECT_EQ(pages->Pages(0), first);
  EXPECT_EQ(first->PageControl(), pages);
  EXPECT_EQ(pages->ActivePage(), second);
  EXPECT_TRUE(pages->MultiLine());
  EXPECT_FALSE(first->Visible());
  EXPECT_TRUE(second->Visible());

  form->HandleNeeded();
  EXPECT_TRUE(HasStyle(pages->Handle(), TCS_MULTILINE));
  EXPECT_EQ(TabText(pages->Handle(), 0), "   Main    ");
  EXPECT_EQ(SendMessageA(pages->Handle(), TCM_GETCURSEL, 0, 0), 1);

  std::string all = WriteComponentText(form.get());
  std::string text = all.substr(all.find("object PageControl1"));
  EXPECT_NE(text.find("ActivePage = TabSheet2"), std::string::npos) << text;
  EXPECT_NE(text.find("object TabSheet1: TTabSheet"), std::string::npos) << text;
  // Which sheet shows follows from ActivePage alone.
  EXPECT_EQ(text.find("Visible"), std::string::npos) << text;
  EXPECT_EQ(text.find("PageControl = "), std::string::npos) << text;
  EXPECT_EQ(text.find("ParentColor"), std::string::npos) << text;
}

}  // namespace
