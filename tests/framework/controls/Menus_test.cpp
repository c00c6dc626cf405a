// Menu items and pop-up menus: the item tree, clicks, ownership when the menu
// goes first, the owner-drawn items' size and pixels, and a pop-up cancelled
// while it is shown.

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "Forms.h"
#include "Imglist.h"
#include "Menus.h"
#include "Painting.h"

namespace {

TMenuItem* NewItem(TComponent* owner, const std::string& caption) {
  auto* item = new TMenuItem(owner);
  item->SetCaption(caption);
  return item;
}

// Counts the destructions of items, to tell leaks and double frees apart.
class TCountedItem : public TMenuItem {
  ZX_CLASS(TCountedItem, TMenuItem)
 public:
  TCountedItem(TComponent* owner, int* destroyed) : TMenuItem(owner), destroyed_(destroyed) {}
  ~TCountedItem() override { ++*destroyed_; }

 private:
  int* destroyed_;
};

const TClassInfo& TCountedItem::StaticClass() {
  static const TClassInfo info = DefineClass<TCountedItem>("TCountedItem");
  return info;
}

// Opens the owner-drawn items' layout and painting to the tests.
class TMenuProbe : public TPopupMenu {
  ZX_CLASS(TMenuProbe, TPopupMenu)
 public:
  using TPopupMenu::TPopupMenu;
  int Measured = 0;
  int Drawn = 0;

  SIZE Measure(TMenuItem* item) {
    MEASUREITEMSTRUCT mis{};
    mis.CtlType = ODT_MENU;
    mis.itemData = reinterpret_cast<ULONG_PTR>(item);
    MeasureItem(item, mis);
    return SIZE{static_cast<LONG>(mis.itemWidth), static_cast<LONG>(mis.itemHeight)};
  }
  void Draw(TMenuItem* item, HDC dc, RECT r, UINT state) {
    DRAWITEMSTRUCT dis{};
    dis.CtlType = ODT_MENU;
    dis.itemAction = ODA_DRAWENTIRE;
    dis.itemState = state;
    dis.hDC = dc;
    dis.rcItem = r;
    dis.itemData = reinterpret_cast<ULONG_PTR>(item);
    DrawItem(item, dis);
    GdiFlush();
  }

 protected:
  void MeasureItem(TMenuItem* item, MEASUREITEMSTRUCT& mis) override {
    ++Measured;
    inherited::MeasureItem(item, mis);
  }
  void DrawItem(TMenuItem* item, const DRAWITEMSTRUCT& dis) override {
    ++Drawn;
    inherited::DrawItem(item, dis);
  }
};

const TClassInfo& TMenuProbe::StaticClass() {
  static const TClassInfo info = DefineClass<TMenuProbe>("TMenuProbe");
  return info;
}

constexpr TColor kImageColour = 0x0000FF;

// An image list of 16 x 16 images holding one solid image.
void FillImages(TImageList& images) {
  images.SetWidth(16);
  images.SetHeight(16);
  TBitmap picture(16, 16);
  picture.Canvas()->Brush()->SetColor(kImageColour);
  picture.Canvas()->FillRect(RECT{0, 0, 16, 16});
  ASSERT_EQ(images.Add(&picture, nullptr), 0);
}

// ---------------------------------------------------------------------------

TEST(Menus, ItemsFormATreeThatKnowsItsMenu) {
  TComponent owner(nullptr);
  auto* menu = new TPopupMenu(&owner);
  TMenuItem* file = NewItem(&owner, "&File");
  TMenuItem* edit = NewItem(&owner, "&Edit");
  TMenuItem* open = NewItem(&owner, "&Open");
  TMenuItem* save = NewItem(&owner, "&Save");
  menu->Items()->Add(file);
  menu->Items()->Add(edit);
  file->Add(open);
  file->Add(save);
  file->Add(open);  // already there: nothing changes

  EXPECT_EQ(menu->Items()->Count(), 2);
  EXPECT_EQ(menu->Items()->Items(0), file);
  EXPECT_EQ(menu->Items()->Items(1), edit);
  EXPECT_EQ(file->Count(), 2);
  EXPECT_EQ(file->Items(1), save);
  EXPECT_EQ(save->ParentItem(), file);
  EXPECT_EQ(save->Menu(), menu);
  EXPECT_EQ(file->Menu(), menu);
  EXPECT_EQ(menu->Items()->Menu(), menu);
  EXPECT_EQ(file->GetParentComponent(), menu);
  EXPECT_EQ(save->GetParentComponent(), file);
  EXPECT_THROW(file->Items(2), std::out_of_range);

  // Adding an item elsewhere moves it.
  edit->Add(open);
  EXPECT_EQ(file->Count(), 1);
  EXPECT_EQ(file->Items(0), save);
  EXPECT_EQ(open->ParentItem(), edit);

  file->Remove(save);
  EXPECT_EQ(file->Count(), 0);
  EXPECT_EQ(save->ParentItem(), nullptr);
  EXPECT_EQ(save->Menu(), nullptr);
  file->Remove(save);  // not there any more: nothing happens

  // An item freed first leaves its place.
  delete edit;
  EXPECT_EQ(menu->Items()->Count(), 1);
  EXPECT_EQ(open->ParentItem(), nullptr);
}

TEST(Menus, ItemsCannotBecomeTheirOwnAncestors) {
  TComponent owner(nullptr);
  TMenuItem* top = NewItem(&owner, "top");
  TMenuItem* middle = NewItem(&owner, "middle");
  TMenuItem* bottom = NewItem(&owner, "bottom");
  top->Add(middle);
  middle->Add(bottom);
  EXPECT_ANY_THROW(top->Add(top));
  EXPECT_ANY_THROW(bottom->Add(top));
  EXPECT_EQ(top->ParentItem(), nullptr);
  EXPECT_EQ(bottom->Count(), 0);
  EXPECT_EQ(bottom->Menu(), nullptr);  // finds the root and ends
}

TEST(Menus, ClickRunsOnClickOnlyWhenEnabled) {
  TMenuItem item(nullptr);
  int clicks = 0;
  item.Click();  // no handler: nothing
  item.OnClick = TNotifyEvent([&](TObject* s) { clicks += s == &item; });
  item.Click();
  item.SetEnabled(false);
  item.Click();
  EXPECT_EQ(clicks, 1);
  item.SetEnabled(true);
  item.Click();
  EXPECT_EQ(clicks, 2);
}

TEST(Menus, ItemsSurviveTheirMenuAndAreFreedOnce) {
  InitApplication();
  int destroyed = 0;
  {
    TForm form(nullptr);
    auto* menu = new TPopupMenu(&form);
    auto* restore = new TCountedItem(&form, &destroyed);
    auto* exit = new TCountedItem(&form, &destroyed);
    auto* sub = new TCountedItem(&form, &destroyed);
    menu->Items()->Add(restore);
    menu->Items()->Add(exit);
    restore->Add(sub);
    form.SetPopupMenu(menu);
    delete menu;
    EXPECT_EQ(destroyed, 0);
    EXPECT_EQ(form.PopupMenu(), nullptr);
    EXPECT_EQ(restore->ParentItem(), nullptr);
    EXPECT_EQ(restore->Menu(), nullptr);
    EXPECT_EQ(sub->ParentItem(), restore);
    int clicks = 0;
    exit->OnClick = TNotifyEvent([&](TObject*) { ++clicks; });
    exit->Click();
    EXPECT_EQ(clicks, 1);
  }
  EXPECT_EQ(destroyed, 3);

  // Items without an owner belong to the item or menu that holds them.
  destroyed = 0;
  {
    TPopupMenu menu(nullptr);
    auto* top = new TCountedItem(nullptr, &destroyed);
    auto* inner = new TCountedItem(nullptr, &destroyed);
    menu.Items()->Add(top);
    top->Add(inner);
  }
  EXPECT_EQ(destroyed, 2);

  // Items owned by the menu itself go with it.
  destroyed = 0;
  {
    TPopupMenu menu(nullptr);
    menu.Items()->Add(new TCountedItem(&menu, &destroyed));
  }
  EXPECT_EQ(destroyed, 1);
}

TEST(Menus, OwnerDrawnItemsMeasureTheirTextAndImage) {
  InitApplication();
  TMenuProbe menu(nullptr);
  TMenuItem plain(nullptr), bold(nullptr);
  plain.SetCaption("Restore main window");
  bold.SetCaption("Restore main window");
  bold.SetDefault(true);
  SIZE p = menu.Measure(&plain);
  SIZE b = menu.Measure(&bold);
  EXPECT_GT(b.cx, p.cx);  // the default item's caption is bold
  EXPECT_GT(p.cy, 0);

  TImageList images(nullptr);
  FillImages(images);
  menu.SetImages(&images);
  SIZE withImage = menu.Measure(&plain);
  EXPECT_EQ(withImage.cx, p.cx + 16);
  EXPECT_GE(withImage.cy, 16);
}

TEST(Menus, OwnerDrawnItemsPaintImageAndText) {
  InitApplication();
  TMenuProbe menu(nullptr);
  TImageList images(nullptr);
  FillImages(images);
  menu.SetImages(&images);
  TMenuItem item(nullptr);
  item.SetCaption("Exit");
  item.SetImageIndex(0);
  const TColor menuColour = GetSysColor(COLOR_MENU), highlight = GetSysColor(COLOR_HIGHLIGHT);
  const RECT r{0, 0, 220, 24};

  painting::Surface s(220, 24, 0x00FF00);
  menu.Draw(&item, s.Dc(), r, 0);
  EXPECT_EQ(s.At(0, 0), menuColour);
  EXPECT_EQ(s.At(219, 23), menuColour);
  // The image at the left, centred in the height.
  EXPECT_EQ(s.Ink(menuColour, RECT{0, 0, 22, 24}).left, 3);
  EXPECT_EQ(s.At(3, 4), kImageColour);
  EXPECT_EQ(s.At(18, 19), kImageColour);
  EXPECT_EQ(s.At(19, 12), menuColour);
  EXPECT_EQ(s.At(10, 3), menuColour);
  // The text right of the image.
  RECT text = s.Ink(menuColour, RECT{19, 0, 220, 24});
  EXPECT_GE(text.left, 16 + 8);
  EXPECT_GT(text.right, text.left);
  EXPECT_TRUE(s.Contains(GetSysColor(COLOR_MENUTEXT), text));

  // Selected: the highlight behind it.
  s.Fill(0x00FF00);
  menu.Draw(&item, s.Dc(), r, ODS_SELECTED);
  EXPECT_EQ(s.At(0, 0), highlight);
  EXPECT_EQ(s.At(10, 12), kImageColour);

  // An index outside the list draws no image.
  for (int index : {-1, 1, 100}) {
    SCOPED_TRACE(index);
    item.SetImageIndex(index);
    s.Fill(0x00FF00);
    menu.Draw(&item, s.Dc(), r, 0);
    EXPECT_FALSE(s.Contains(kImageColour, RECT{0, 0, 220, 24}));
  }

  // The default item's caption is bold: the same text covers more width.
  item.SetImageIndex(-1);
  item.SetCaption("Restore main window");
  s.Fill(0x00FF00);
  menu.Draw(&item, s.Dc(), r, 0);
  RECT normal = s.Ink(menuColour, RECT{0, 0, 220, 24});
  item.SetDefault(true);
  s.Fill(0x00FF00);
  menu.Draw(&item, s.Dc(), r, 0);
  RECT boldText = s.Ink(menuColour, RECT{0, 0, 220, 24});
  EXPECT_LE(std::abs(boldText.left - normal.left), 1);
  EXPECT_GT(boldText.right, normal.right);
}

// A thread timer ends the menu while TrackPopupMenuEx runs it.
VOID CALLBACK EndMenuSoon(HWND, UINT, UINT_PTR id, DWORD) {
  KillTimer(nullptr, id);
  EndMenu();
}

HWND menuWindow = nullptr;

// Picks the first item with the keyboard, as a user would.
VOID CALLBACK ChooseFirstItem(HWND, UINT, UINT_PTR id, DWORD) {
  KillTimer(nullptr, id);
  PostMessageA(menuWindow, WM_KEYDOWN, VK_DOWN, 0);
  PostMessageA(menuWindow, WM_KEYDOWN, VK_RETURN, 0);
}

TEST(Menus, PopupCancelledRunsNoItemAndAChosenItemRuns) {
  InitApplication();
  TMenuProbe menu(nullptr);
  TImageList images(nullptr);
  FillImages(images);
  menu.SetImages(&images);
  int clicks = 0, popups = 0;
  menu.OnPopup = TNotifyEvent([&](TObject* s) { popups += s == &menu; });
  TMenuItem* first = NewItem(&menu, "First");
  TMenuItem* second = NewItem(&menu, "Second");
  first->OnClick = TNotifyEvent([&](TObject* s) { clicks += s == first ? 1 : 100; });
  second->OnClick = TNotifyEvent([&](TObject*) { clicks += 1000; });
  menu.Items()->Add(first);
  menu.Items()->Add(second);

  SetTimer(nullptr, 0, 100, EndMenuSoon);
  menu.Popup(100, 100);
  EXPECT_EQ(popups, 1);
  EXPECT_EQ(clicks, 0);
  EXPECT_GE(menu.Measured, 2);  // owner-drawn items were measured through the menu's window

  menuWindow = menu.WindowHandle();
  UINT_PTR guard = SetTimer(nullptr, 0, 5000, EndMenuSoon);
  SetTimer(nullptr, 0, 100, ChooseFirstItem);
  menu.Popup(100, 100);
  KillTimer(nullptr, guard);
  EXPECT_EQ(popups, 2);
  EXPECT_EQ(clicks, 1);
}

}  // namespace
