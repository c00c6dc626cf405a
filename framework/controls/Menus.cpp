#include "Menus.h"

#include <algorithm>

#include "Controls.h"
#include "Gdihandles.h"
#include "Imglist.h"
#include "Timer.h"

const TClassInfo& TMenuItem::StaticClass() {
  static const TClassInfo info = DefineClass<TMenuItem>("TMenuItem", [](TClassBuilder<TMenuItem>& c) {
    c.Str("Caption", &TMenuItem::Caption, &TMenuItem::SetCaption)
        .Bool("Checked", &TMenuItem::Checked, &TMenuItem::SetChecked, false)
        .Bool("Default", &TMenuItem::Default, &TMenuItem::SetDefault, false)
        .Bool("Enabled", &TMenuItem::Enabled, &TMenuItem::SetEnabled, true)
        .Int("ImageIndex", &TMenuItem::ImageIndex, &TMenuItem::SetImageIndex, -1)
        .Bool("Visible", &TMenuItem::Visible, &TMenuItem::SetVisible, true)
        .Event("OnClick", &TMenuItem::OnClick);
  });
  return info;
}

TMenuItem::TMenuItem(TComponent* owner) : TComponent(owner) {}

TMenuItem::~TMenuItem() {
  if (parent_) parent_->Remove(this);
  for (TMenuItem* item : std::vector<TMenuItem*>(items_)) {
    item->parent_ = nullptr;
    if (!item->Owner()) delete item;
  }
}

void TMenuItem::Add(TMenuItem* item) {
  if (!item || item->parent_ == this) return;
  // An item inside itself would make the tree a loop that Menu() and the
  // destructors never leave.
  for (const TMenuItem* p = this; p; p = p->parent_)
    if (p == item) throw EInvalidOperation("A menu item cannot hold itself or an item above it");
  if (item->parent_) item->parent_->Remove(item);
  items_.push_back(item);
  item->parent_ = this;
}

void TMenuItem::Remove(TMenuItem* item) {
  auto it = std::find(items_.begin(), items_.end(), item);
  if (it == items_.end()) return;
  items_.erase(it);
  item->parent_ = nullptr;
}

TPopupMenu* TMenuItem::Menu() const {
  const TMenuItem* root = this;
  while (root->parent_) root = root->parent_;
  return root->menu_;
}

void TMenuItem::Click() {
  if (enabled_ && OnClick) OnClick(this);
}

TComponent* TMenuItem::GetParentComponent() const {
  if (parent_ && parent_->menu_) return parent_->menu_;
  return parent_;
}

void TMenuItem::SetParentComponent(TComponent* parent) {
  if (auto* menu = dynamic_cast<TPopupMenu*>(parent)) menu->Items()->Add(this);
  else if (auto* item = dynamic_cast<TMenuItem*>(parent)) item->Add(this);
}

// ---------------------------------------------------------------------------

const TClassInfo& TPopupMenu::StaticClass() {
  static const TClassInfo info = DefineClass<TPopupMenu>("TPopupMenu", [](TClassBuilder<TPopupMenu>& c) {
    c.Ref<TImageList>("Images", &TPopupMenu::Images, &TPopupMenu::SetImages)
        .Event("OnPopup", &TPopupMenu::OnPopup);
  });
  return info;
}

TPopupMenu::TPopupMenu(TComponent* owner) : TComponent(owner), items_(std::make_unique<TMenuItem>(nullptr)) {
  items_->menu_ = this;
  window_ = AllocateHWnd([this](TMessage& m) { WndProc(m); });
}

TPopupMenu::~TPopupMenu() {
  // The root item goes with the menu: items owned by the form only lose their
  // place in it, items without an owner are freed with it.
  DeallocateHWnd(window_);
}

void TPopupMenu::SetImages(TImageList* value) {
  if (images_ == value) return;
  if (images_) images_->RemoveFreeNotification(this);
  images_ = value;
  if (value) value->FreeNotification(this);
}

void TPopupMenu::Notification(TComponent* component, TOperation operation) {
  inherited::Notification(component, operation);
  if (operation == opRemove && component == images_) images_ = nullptr;
}

HMENU TPopupMenu::BuildMenu(TMenuItem* parent, std::vector<TMenuItem*>& ids) {
  HMENU menu = CreatePopupMenu();
  for (TMenuItem* item : parent->items_) {
    if (!item->Visible()) continue;
    if (item->IsLine()) {
      AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
      continue;
    }
    UINT flags = (item->Enabled() ? MF_ENABLED : MF_GRAYED) | (item->Checked() ? MF_CHECKED : 0);
    if (item->Count() > 0) {
      HMENU sub = BuildMenu(item, ids);
      AppendMenuA(menu, flags | MF_POPUP, reinterpret_cast<UINT_PTR>(sub), item->Caption().c_str());
      continue;
    }
    ids.push_back(item);
    UINT id = static_cast<UINT>(ids.size());
    if (images_) {
      AppendMenuA(menu, flags | MF_OWNERDRAW, id, reinterpret_cast<LPCSTR>(item));
    } else {
      AppendMenuA(menu, flags | MF_STRING, id, item->Caption().c_str());
    }
    if (item->Default()) SetMenuDefaultItem(menu, id, FALSE);
  }
  return menu;
}

void TPopupMenu::Popup(int x, int y) {
  if (OnPopup) OnPopup(this);
  std::vector<TMenuItem*> ids;
  HMENU menu = BuildMenu(items_.get(), ids);
  UINT chosen = static_cast<UINT>(
      TrackPopupMenuEx(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_LEFTALIGN, x, y, window_, nullptr));
  DestroyMenu(menu);
  PostMessageA(window_, WM_NULL, 0, 0);
  if (chosen >= 1 && chosen <= ids.size()) ids[chosen - 1]->Click();
}

void TPopupMenu::MeasureItem(TMenuItem* item, MEASUREITEMSTRUCT& mis) {
  Gdi::WindowDc screen(nullptr);
  NONCLIENTMETRICSA ncm{};
  ncm.cbSize = sizeof ncm;
  SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof ncm, &ncm, 0);
  if (item->Default()) ncm.lfMenuFont.lfWeight = FW_BOLD;
  Gdi::Font font(CreateFontIndirectA(&ncm.lfMenuFont));
  Gdi::Selection sel(screen.get(), font.get());
  SIZE size{};
  GetTextExtentPoint32A(screen.get(), item->Caption().c_str(), static_cast<int>(item->Caption().size()), &size);
  int imageW = images_ ? images_->Width() : 0, imageH = images_ ? images_->Height() : 0;
  mis.itemWidth = static_cast<UINT>(imageW + 8 + size.cx + 16);
  mis.itemHeight = static_cast<UINT>(std::max<int>(imageH + 4, size.cy + 6));
}

void TPopupMenu::DrawItem(TMenuItem* item, const DRAWITEMSTRUCT& dis) {
  HDC dc = dis.hDC;
  RECT r = dis.rcItem;
  bool selected = (dis.itemState & ODS_SELECTED) != 0;
  bool grayed = (dis.itemState & (ODS_GRAYED | ODS_DISABLED)) != 0;
  FillRect(dc, &r, GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_MENU));
  int imageW = images_ ? images_->Width() : 0;
  if (images_ && item->ImageIndex() >= 0 && item->ImageIndex() < images_->Count()) {
    int y = r.top + (r.bottom - r.top - images_->Height()) / 2;
    ImageList_Draw(images_->Handle(), item->ImageIndex(), dc, r.left + 3, y, ILD_TRANSPARENT);
  }
  NONCLIENTMETRICSA ncm{};
  ncm.cbSize = sizeof ncm;
  SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof ncm, &ncm, 0);
  if (item->Default()) ncm.lfMenuFont.lfWeight = FW_BOLD;
  Gdi::Font font(CreateFontIndirectA(&ncm.lfMenuFont));
  Gdi::Selection sel(dc, font.get());
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, GetSysColor(grayed ? COLOR_GRAYTEXT : selected ? COLOR_HIGHLIGHTTEXT : COLOR_MENUTEXT));
  RECT text = r;
  text.left += imageW + 8;
  UINT flags = DT_SINGLELINE | DT_VCENTER | DT_LEFT;
  if (dis.itemState & ODS_NOACCEL) flags |= DT_HIDEPREFIX;
  DrawTextA(dc, item->Caption().c_str(), static_cast<int>(item->Caption().size()), &text, flags);
}

void TPopupMenu::WndProc(TMessage& m) {
  switch (m.Msg) {
    case WM_MEASUREITEM: {
      auto* mis = reinterpret_cast<MEASUREITEMSTRUCT*>(m.LParam);
      if (mis->CtlType == ODT_MENU && mis->itemData) {
        MeasureItem(reinterpret_cast<TMenuItem*>(mis->itemData), *mis);
        m.Result = TRUE;
        return;
      }
      break;
    }
    case WM_DRAWITEM: {
      auto* dis = reinterpret_cast<DRAWITEMSTRUCT*>(m.LParam);
      if (dis->CtlType == ODT_MENU && dis->itemData) {
        DrawItem(reinterpret_cast<TMenuItem*>(dis->itemData), *dis);
        m.Result = TRUE;
        return;
      }
      break;
    }
  }
  m.Result = DefWindowProcA(window_, m.Msg, m.WParam, m.LParam);
}
