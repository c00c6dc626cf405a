#include "Comctrls.h"

#include <commctrl.h>

#include <algorithm>

#include "Label.h"

// ---------------------------------------------------------------------------
// TPageControl

const TClassInfo& TPageControl::StaticClass() {
  static const TClassInfo info = DefineClass<TPageControl>("TPageControl", [](TClassBuilder<TPageControl>& c) {
    c.Ref<TTabSheet>("ActivePage", &TPageControl::ActivePage, &TPageControl::SetActivePage)
        .Bool("MultiLine", &TPageControl::MultiLine, &TPageControl::SetMultiLine, false)
        .Event("OnChange", &TPageControl::OnChange)
        .Event("OnChanging", &TPageControl::OnChanging);
  });
  return info;
}

TPageControl::TPageControl(TComponent* owner) : TWinControl(owner) {
  // The tab control handles its own clicks; the framework's capture and click detection stay out.
  ControlStyle = {csDoubleClicks};
  SetBounds(0, 0, 289, 193);
  SetColor(clBtnFace);
  SetTabStop(true);
}

TPageControl::~TPageControl() {
  // The sheets outlive this object's own part: they must not call back into it.
  for (TTabSheet* page : pages_) page->pageControl_ = nullptr;
  pages_.clear();
  activePage_ = nullptr;
}

void TPageControl::Dispatch(TMessage& m) {
  switch (m.Msg) {
    case CN_NOTIFY: return CNNotify(m);
    case CM_FONTCHANGED: return CMFontChanged(m);
    case CM_DIALOGKEY: return CMDialogKey(m);
    case CM_DIALOGCHAR: return CMDialogChar(m);
    default: return inherited::Dispatch(m);
  }
}

// The keys belong to the page control that holds the focus, or, while the
// focus is in no page control, to the first one that hears them.
void TPageControl::CMDialogKey(TMessage& m) {
  if (m.WParam != VK_TAB || GetKeyState(VK_CONTROL) >= 0 || !HandleAllocated() || !Showing())
    return inherited::Dispatch(m);
  const HWND focus = GetFocus();
  if (focus != Handle() && !IsChild(Handle(), focus)) {
    for (TWinControl* c = FindControl(focus); c; c = c->Parent())
      if (dynamic_cast<TPageControl*>(c)) return inherited::Dispatch(m);
  }
  m.Result = 1;
  TTabSheet* next = FindNextPage(activePage_, GetKeyState(VK_SHIFT) >= 0, true);
  if (!next || next == activePage_ || !CanChange()) return;
  SetActivePage(next);
  Change();
}

void TPageControl::CMDialogChar(TMessage& m) {
  if (Showing() && Enabled()) {
    for (TTabSheet* page : pages_) {
      if (!page->TabVisible() || !IsAccel(static_cast<char>(m.WParam), page->Caption())) continue;
      m.Result = 1;
      if (page != activePage_ && CanChange()) {
        SetActivePage(page);
        Change();
      }
      return;
    }
  }
  inherited::Dispatch(m);
}

void TPageControl::Loaded() {
  inherited::Loaded();
  if (!activePage_) SetActivePage(FindNextPage(nullptr, true, true));
  Realign();
}

int TPageControl::ActivePageIndex() const {
  auto it = std::find(pages_.begin(), pages_.end(), activePage_);
  return activePage_ && it != pages_.end() ? static_cast<int>(it - pages_.begin()) : -1;
}

void TPageControl::SetActivePageIndex(int index) {
  SetActivePage(index >= 0 && index < PageCount() ? pages_[static_cast<size_t>(index)] : nullptr);
}

TTabSheet* TPageControl::Pages(int index) const {
  if (index < 0 || index >= PageCount()) throw EListError(Format("List index out of bounds (%d)", index));
  return pages_[static_cast<size_t>(index)];
}

void TPageControl::SetMultiLine(bool value) {
  if (multiLine_ == value) return;
  multiLine_ = value;
  RecreateWnd();
}

void TPageControl::SetActivePage(TTabSheet* page) {
  if (page && page->pageControl_ != this) return;
  if (page == activePage_) {
    SelectActiveTab();
    return;
  }
  TTabSheet* old = activePage_;
  // Keep the keyboard focus out of a sheet that is about to be hidden.
  bool focusInOld = old && old->HandleAllocated() && HandleAllocated() &&
                    (GetFocus() == old->Handle() || IsChild(old->Handle(), GetFocus()));
  activePage_ = page;
  if (page) {
    // Only the window order changes; the sheet keeps its place among the page control's children.
    if (page->HandleAllocated())
      SetWindowPos(page->Handle(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    page->SetVisible(true);
  }
  if (old) old->SetVisible(false);
  if (focusInOld) ::SetFocus(Handle());
  SelectActiveTab();
}

TTabSheet* TPageControl::FindNextPage(TTabSheet* current, bool goForward, bool checkTabVisible) const {
  const size_t n = pages_.size();
  if (n == 0) return nullptr;
  auto it = std::find(pages_.begin(), pages_.end(), current);
  // Without a current sheet the search starts just before the first (or after the last) one.
  size_t start = it != pages_.end() ? static_cast<size_t>(it - pages_.begin()) : (goForward ? n - 1 : 0);
  for (size_t step = 1; step <= n; ++step) {
    size_t i = goForward ? (start + step) % n : (start + n - step % n) % n;
    TTabSheet* page = pages_[i];
    if (page == current) continue;
    if (!checkTabVisible || page->tabVisible_) return page;
  }
  return nullptr;
}

RECT TPageControl::DisplayRect() {
  RECT r = ClientRect();
  if (HandleAllocated()) SendMessageA(Handle(), TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&r));
  return r;
}

void TPageControl::CreateParams(TCreateParams& params) {
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_TAB_CLASSES};
  InitCommonControlsEx(&icc);
  inherited::CreateParams(params);
  CreateSubClass(params, WC_TABCONTROLA);
  params.Style |= WS_CLIPCHILDREN;
  if (multiLine_) params.Style |= TCS_MULTILINE;
}

void TPageControl::CreateWnd() {
  inherited::CreateWnd();
  UpdateTabs();
}

void TPageControl::AlignControls(TControl* control, RECT& rect) {
  rect = DisplayRect();
  for (TTabSheet* page : pages_)
    page->SetBounds(rect.left, rect.top, std::max(0L, rect.right - rect.left), std::max(0L, rect.bottom - rect.top));
  inherited::AlignControls(control, rect);
}

bool TPageControl::CanChange() {
  bool allow = true;
  if (OnChanging) OnChanging(this, allow);
  return allow;
}

void TPageControl::Change() {
  if (HandleAllocated()) {
    int tab = static_cast<int>(SendMessageA(Handle(), TCM_GETCURSEL, 0, 0));
    if (TTabSheet* page = PageForTab(tab)) SetActivePage(page);
  }
  if (OnChange) OnChange(this);
}

void TPageControl::CNNotify(TMessage& m) {
  const auto* hdr = reinterpret_cast<const NMHDR*>(m.LParam);
  if (!hdr) return;
  switch (hdr->code) {
    case TCN_SELCHANGING: m.Result = CanChange() ? FALSE : TRUE; return;
    case TCN_SELCHANGE: Change(); return;
    default: return DefaultHandler(m);
  }
}

void TPageControl::CMFontChanged(TMessage& m) {
  inherited::CMFontChanged(m);
  // The height of the tabs follows the font, and with it the sheets' area.
  Realign();
}

void TPageControl::InsertPage(TTabSheet* page) {
  if (std::find(pages_.begin(), pages_.end(), page) != pages_.end()) return;
  pages_.push_back(page);
  UpdateTabs();
  // A page control built in code shows its first sheet; one being read gets ActivePage or Loaded.
  if (!activePage_ && !ComponentState().Contains(csLoading) && page->tabVisible_) SetActivePage(page);
}

void TPageControl::RemovePage(TTabSheet* page) {
  auto it = std::find(pages_.begin(), pages_.end(), page);
  if (it == pages_.end()) return;
  TTabSheet* next = page == activePage_ ? FindNextPage(page, true, true) : activePage_;
  pages_.erase(it);
  if (page == activePage_) {
    activePage_ = nullptr;
    if (!ComponentState().Contains(csDestroying)) SetActivePage(next);
  }
  UpdateTabs();
}

void TPageControl::UpdateTabs() {
  if (!HandleAllocated() || ComponentState().Contains(csDestroying)) return;
  HWND h = Handle();
  SendMessageA(h, TCM_DELETEALLITEMS, 0, 0);
  int tab = 0;
  for (TTabSheet* page : pages_) {
    if (!page->tabVisible_) continue;
    std::string text = page->Caption();
    TCITEMA item{};
    item.mask = TCIF_TEXT;
    item.pszText = text.data();
    SendMessageA(h, TCM_INSERTITEMA, tab++, reinterpret_cast<LPARAM>(&item));
  }
  SelectActiveTab();
  Realign();
}

void TPageControl::UpdateTabText(TTabSheet* page) {
  int tab = TabIndexOf(page);
  if (tab < 0 || !HandleAllocated()) return;
  std::string text = page->Caption();
  TCITEMA item{};
  item.mask = TCIF_TEXT;
  item.pszText = text.data();
  SendMessageA(Handle(), TCM_SETITEMA, tab, reinterpret_cast<LPARAM>(&item));
  // Longer or shorter captions can change the number of tab rows.
  Realign();
}

void TPageControl::SelectActiveTab() {
  if (!HandleAllocated()) return;
  SendMessageA(Handle(), TCM_SETCURSEL, static_cast<WPARAM>(TabIndexOf(activePage_)), 0);
}

int TPageControl::TabIndexOf(const TTabSheet* page) const {
  if (!page || !page->tabVisible_) return -1;
  int tab = 0;
  for (const TTabSheet* p : pages_) {
    if (p == page) return tab;
    if (p->tabVisible_) ++tab;
  }
  return -1;
}

TTabSheet* TPageControl::PageForTab(int tabIndex) const {
  if (tabIndex < 0) return nullptr;
  int tab = 0;
  for (TTabSheet* p : pages_) {
    if (!p->tabVisible_) continue;
    if (tab++ == tabIndex) return p;
  }
  return nullptr;
}

// ---------------------------------------------------------------------------
// TTabSheet

const TClassInfo& TTabSheet::StaticClass() {
  static const TClassInfo info = DefineClass<TTabSheet>("TTabSheet", [](TClassBuilder<TTabSheet>& c) {
    c.Ref<TPageControl>("PageControl", &TTabSheet::PageControl, &TTabSheet::SetPageControl)
        .Stored([](TTabSheet&) { return false; })
        .Bool("ParentColor", &TTabSheet::ParentColor, &TTabSheet::SetParentColor, true)
        .Bool("TabVisible", &TTabSheet::TabVisible, &TTabSheet::SetTabVisible, true)
        // The page control shows and hides its sheets; a description only says which is active.
        .Bool("Visible", &TTabSheet::Visible, &TTabSheet::SetVisible, true)
        .Stored([](TTabSheet&) { return false; });
  });
  return info;
}

TTabSheet::TTabSheet(TComponent* owner) : TWinControl(owner) {
  ControlStyle = {csAcceptsControls, csDoubleClicks};
  // Hidden until its page control shows it; its background is the page control's
  // colour, or the button face while it has none.
  SetVisible(false);
  SetColor(clBtnFace);
  SetParentColor(true);
}

TTabSheet::~TTabSheet() {
  if (pageControl_) pageControl_->RemovePage(this);
  pageControl_ = nullptr;
}

void TTabSheet::Dispatch(TMessage& m) {
  switch (m.Msg) {
    case CM_TEXTCHANGED: return CMTextChanged(m);
    default: return inherited::Dispatch(m);
  }
}

void TTabSheet::SetParent(TWinControl* parent) {
  inherited::SetParent(parent);
  auto* pageControl = dynamic_cast<TPageControl*>(parent);
  if (pageControl == pageControl_) return;
  TPageControl* old = pageControl_;
  pageControl_ = pageControl;
  if (old) old->RemovePage(this);
  if (pageControl) pageControl->InsertPage(this);
}

void TTabSheet::SetParentComponent(TComponent* parent) {
  if (auto* pageControl = dynamic_cast<TPageControl*>(parent))
    SetPageControl(pageControl);
  else
    inherited::SetParentComponent(parent);
}

int TTabSheet::PageIndex() const {
  if (!pageControl_) return -1;
  const auto& pages = pageControl_->pages_;
  auto it = std::find(pages.begin(), pages.end(), this);
  return it != pages.end() ? static_cast<int>(it - pages.begin()) : -1;
}

int TTabSheet::TabIndex() const { return pageControl_ ? pageControl_->TabIndexOf(this) : -1; }

void TTabSheet::SetTabVisible(bool value) {
  if (tabVisible_ == value) return;
  tabVisible_ = value;
  if (!pageControl_) return;
  // The user cannot return to a sheet without a tab: another one takes its place.
  if (!value && pageControl_->activePage_ == this)
    pageControl_->SetActivePage(pageControl_->FindNextPage(this, true, true));
  pageControl_->UpdateTabs();
}

void TTabSheet::CMTextChanged(TMessage&) {
  if (pageControl_) pageControl_->UpdateTabText(this);
}
