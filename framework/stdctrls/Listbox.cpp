#include "Listbox.h"

#include <algorithm>

const std::vector<std::string> BevelKindNames = {"bkNone", "bkTile", "bkSoft", "bkFlat"};

namespace {

// The DC of a whole window, non-client area included.
class WholeWindowDc {
 public:
  explicit WholeWindowDc(HWND window) : window_(window), dc_(GetWindowDC(window)) {}
  WholeWindowDc(const WholeWindowDc&) = delete;
  WholeWindowDc& operator=(const WholeWindowDc&) = delete;
  ~WholeWindowDc() {
    if (dc_) ReleaseDC(window_, dc_);
  }
  HDC get() const { return dc_; }

 private:
  HWND window_;
  HDC dc_;
};

LRESULT Send(HWND window, UINT msg, WPARAM wParam = 0, LPARAM lParam = 0) {
  return SendMessageA(window, msg, wParam, lParam);
}

[[noreturn]] void InsertFailed() { throw EOutOfResources("Unable to insert a line"); }
}  // namespace

// ---------------------------------------------------------------------------
// TListBoxStrings

const TClassInfo& TListBoxStrings::StaticClass() {
  static const TClassInfo info = DefineClass<TListBoxStrings>("TListBoxStrings");
  return info;
}

HWND TListBoxStrings::Window() const {
  return listBox_.HandleAllocated() ? listBox_.Handle() : nullptr;
}

TStringList& TListBoxStrings::Saved() const { return *listBox_.saved_; }

int TListBoxStrings::Count() const {
  HWND h = Window();
  if (!h) return Saved().Count();
  return static_cast<int>(listBox_.texts_.size());
}

std::string TListBoxStrings::Get(int index) const {
  HWND h = Window();
  if (!h) return Saved().Get(index);
  const auto& texts = listBox_.texts_;
  if (index < 0 || static_cast<size_t>(index) >= texts.size()) IndexError(index);
  return texts[static_cast<size_t>(index)];
}

void TListBoxStrings::Put(int index, const std::string& text) {
  HWND h = Window();
  if (!h) return Saved().Put(index, text);
  if (index < 0 || index >= Count()) IndexError(index);
  // Replacing a line keeps its object, its selection and the focus rectangle
  // on it, and does not scroll the list.
  LRESULT data = Send(h, LB_GETITEMDATA, static_cast<WPARAM>(index));
  bool multi = listBox_.MultiSelect();
  bool selected = multi ? Send(h, LB_GETSEL, static_cast<WPARAM>(index)) > 0
                        : Send(h, LB_GETCURSEL) == index;
  bool caret = Send(h, LB_GETCARETINDEX) == index;
  LRESULT top = Send(h, LB_GETTOPINDEX);
  Send(h, WM_SETREDRAW, FALSE);
  Send(h, LB_DELETESTRING, static_cast<WPARAM>(index));
  LRESULT at = listBox_.Sorted()
                   ? Send(h, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()))
                   : Send(h, LB_INSERTSTRING, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.c_str()));
  if (at >= 0) {
    Send(h, LB_SETITEMDATA, static_cast<WPARAM>(at), data);
    if (multi) {
      if (selected) Send(h, LB_SETSEL, TRUE, at);
      if (caret) Send(h, LB_SETCARETINDEX, static_cast<WPARAM>(at), FALSE);
    } else if (selected) {
      Send(h, LB_SETCURSEL, static_cast<WPARAM>(at));
    }
  }
  Send(h, LB_SETTOPINDEX, static_cast<WPARAM>(top));
  Send(h, WM_SETREDRAW, UpdateCount() == 0);
  if (UpdateCount() == 0) InvalidateRect(h, nullptr, TRUE);
  if (at < 0) InsertFailed();
}

TObject* TListBoxStrings::GetObject(int index) const {
  HWND h = Window();
  if (!h) return Saved().GetObject(index);
  if (index < 0 || index >= Count()) IndexError(index);
  return reinterpret_cast<TObject*>(Send(h, LB_GETITEMDATA, static_cast<WPARAM>(index)));
}

void TListBoxStrings::PutObject(int index, TObject* object) {
  HWND h = Window();
  if (!h) return Saved().PutObject(index, object);
  if (index < 0 || index >= Count()) IndexError(index);
  Send(h, LB_SETITEMDATA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(object));
}

void TListBoxStrings::Insert(int index, const std::string& text) {
  if (index < 0 || index > Count()) IndexError(index);
  HWND h = Window();
  if (!h) {
    listBox_.ForgetSavedSelection();
    if (listBox_.Sorted()) Saved().Add(text);
    else Saved().Insert(index, text);
    return;
  }
  // A sorted list box places the line itself.
  LRESULT at = listBox_.Sorted()
                   ? Send(h, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()))
                   : Send(h, LB_INSERTSTRING, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.c_str()));
  if (at < 0) InsertFailed();
}

int TListBoxStrings::Add(const std::string& text) {
  HWND h = Window();
  if (!h) {
    listBox_.ForgetSavedSelection();
    return Saved().Add(text);
  }
  LRESULT at = Send(h, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
  if (at < 0) InsertFailed();
  return static_cast<int>(at);
}

void TListBoxStrings::Delete(int index) {
  HWND h = Window();
  if (!h) {
    Saved().Delete(index);
    listBox_.ForgetSavedSelection();
    return;
  }
  if (Send(h, LB_DELETESTRING, static_cast<WPARAM>(index)) == LB_ERR) IndexError(index);
}

void TListBoxStrings::Clear() {
  HWND h = Window();
  if (!h) {
    Saved().Clear();
    listBox_.ForgetSavedSelection();
    return;
  }
  Send(h, LB_RESETCONTENT);
}

void TListBoxStrings::SetUpdateState(bool updating) {
  HWND h = Window();
  if (!h) return;
  Send(h, WM_SETREDRAW, !updating);
  if (!updating) InvalidateRect(h, nullptr, TRUE);
}

// ---------------------------------------------------------------------------
// TListBox

const TClassInfo& TListBox::StaticClass() {
  static const TClassInfo info = DefineClass<TListBox>("TListBox", [](TClassBuilder<TListBox>& c) {
    c.Enum("BevelKind", BevelKindNames, &TListBox::BevelKind, &TListBox::SetBevelKind, bkNone)
        .Enum("BorderStyle", ControlBorderStyleNames, &TListBox::BorderStyle, &TListBox::SetBorderStyle, bsSingle)
        .Bool("ExtendedSelect", &TListBox::ExtendedSelect, &TListBox::SetExtendedSelect, true)
        .Int("ItemHeight", &TListBox::ItemHeight, &TListBox::SetItemHeight, 16)
        .Obj("Items", &TListBox::Items)
        .Bool("MultiSelect", &TListBox::MultiSelect, &TListBox::SetMultiSelect, false)
        .Bool("Sorted", &TListBox::Sorted, &TListBox::SetSorted, false);
  });
  return info;
}

TListBox::TListBox(TComponent* owner)
    : TWinControl(owner),
      items_(std::make_unique<TListBoxStrings>(*this)),
      saved_(std::make_unique<TStringList>()) {
  // The system list box captures the mouse and reports clicks itself.
  ControlStyle = {csSetCaption, csDoubleClicks, csOpaque};
  saved_->SetDuplicates(dupAccept);
  SetBounds(Left(), Top(), 121, 97);
  SetTabStop(true);
}

TListBox::~TListBox() = default;

void TListBox::Dispatch(TMessage& m) {
  switch (m.Msg) {
    case CN_COMMAND: return CNCommand(m);
    case WM_SETFONT: return WMSetFont(m);
    case WM_NCCALCSIZE: return WMNCCalcSize(m);
    case WM_NCPAINT: return WMNCPaint(m);
    case WM_PRINT: return WMPrint(m);
    case LB_ADDSTRING:
    case LB_INSERTSTRING: return LBInsertString(m);
    case LB_DELETESTRING: return LBDeleteString(m);
    case LB_RESETCONTENT: return LBResetContent(m);
    case WM_NCDESTROY: return WMNCDestroy(m);
    default: return inherited::Dispatch(m);
  }
}

void TListBox::LBInsertString(TMessage& m) {
  DefaultHandler(m);
  if (m.Result < 0 || static_cast<size_t>(m.Result) > texts_.size()) return;
  const char* text = reinterpret_cast<const char*>(m.LParam);
  texts_.insert(texts_.begin() + m.Result, text ? std::string(text) : std::string());
}

void TListBox::LBDeleteString(TMessage& m) {
  DefaultHandler(m);
  if (m.Result == LB_ERR || m.WParam >= texts_.size()) return;
  texts_.erase(texts_.begin() + static_cast<std::ptrdiff_t>(m.WParam));
}

void TListBox::LBResetContent(TMessage& m) {
  DefaultHandler(m);
  texts_.clear();
}

void TListBox::WMNCDestroy(TMessage& m) {
  inherited::Dispatch(m);
  texts_.clear();
}

void TListBox::CreateParams(TCreateParams& p) {
  inherited::CreateParams(p);
  CreateSubClass(p, "LISTBOX");
  // The horizontal bar shows only while the horizontal extent exceeds the width.
  p.Style |= WS_VSCROLL | WS_HSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT;
  if (multiSelect_) p.Style |= extendedSelect_ ? LBS_EXTENDEDSEL : LBS_MULTIPLESEL;
  if (sorted_) p.Style |= LBS_SORT;
  if (borderStyle_ == bsSingle) p.ExStyle |= WS_EX_CLIENTEDGE;
}

void TListBox::CreateWnd() {
  inherited::CreateWnd();
  HWND h = Handle();
  Send(h, LB_SETITEMHEIGHT, 0, MAKELPARAM(itemHeight_, 0));
  if (saved_->Count() == 0) return;
  // Hand the saved lines and their state to the new window.
  Send(h, WM_SETREDRAW, FALSE);
  for (int i = 0; i < saved_->Count(); ++i) {
    LRESULT at = Send(h, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(saved_->Get(i).c_str()));
    if (at >= 0) Send(h, LB_SETITEMDATA, static_cast<WPARAM>(at), reinterpret_cast<LPARAM>(saved_->GetObject(i)));
  }
  int count = saved_->Count();
  saved_->Clear();
  if (multiSelect_) {
    for (int i : savedSelection_)
      if (i < count) Send(h, LB_SETSEL, TRUE, i);
    if (savedItemIndex_ >= 0 && savedItemIndex_ < count)
      Send(h, LB_SETCARETINDEX, static_cast<WPARAM>(savedItemIndex_), FALSE);
  } else if (savedItemIndex_ >= 0 && savedItemIndex_ < count) {
    Send(h, LB_SETCURSEL, static_cast<WPARAM>(savedItemIndex_));
  }
  Send(h, LB_SETTOPINDEX, static_cast<WPARAM>(std::max(savedTopIndex_, 0)));
  ForgetSavedSelection();
  Send(h, WM_SETREDRAW, TRUE);
}

void TListBox::DestroyWnd() {
  if (HandleAllocated()) {
    // The lines live in the window: keep them, with the selection, for the next one.
    HWND h = Handle();
    std::vector<std::string> lines;
    std::vector<TObject*> objects;
    int count = items_->Count();
    for (int i = 0; i < count; ++i) {
      lines.push_back(items_->Get(i));
      objects.push_back(items_->GetObject(i));
    }
    std::vector<int> selection;
    if (multiSelect_) {
      for (int i = 0; i < count; ++i)
        if (Send(h, LB_GETSEL, static_cast<WPARAM>(i)) > 0) selection.push_back(i);
    }
    int itemIndex = ItemIndex();
    int topIndex = TopIndex();
    saved_->BeginUpdate();
    saved_->Clear();
    for (int i = 0; i < count; ++i) saved_->AddObject(lines[static_cast<size_t>(i)], objects[static_cast<size_t>(i)]);
    saved_->EndUpdate();
    savedSelection_ = std::move(selection);
    savedItemIndex_ = itemIndex;
    savedTopIndex_ = topIndex;
  }
  inherited::DestroyWnd();
}

void TListBox::ForgetSavedSelection() {
  savedSelection_.clear();
  savedItemIndex_ = -1;
  savedTopIndex_ = 0;
}

void TListBox::SetMultiSelect(bool value) {
  if (multiSelect_ == value) return;
  multiSelect_ = value;
  RecreateWnd();
}

void TListBox::SetExtendedSelect(bool value) {
  if (extendedSelect_ == value) return;
  extendedSelect_ = value;
  RecreateWnd();
}

void TListBox::SetSorted(bool value) {
  if (sorted_ == value) return;
  sorted_ = value;
  saved_->SetSorted(value);
  RecreateWnd();
}

void TListBox::SetItemHeight(int value) {
  if (itemHeight_ == value || value <= 0 || value > 255) return;
  itemHeight_ = value;
  if (!HandleAllocated()) return;
  Send(Handle(), LB_SETITEMHEIGHT, 0, MAKELPARAM(value, 0));
  Invalidate();
}

void TListBox::SetBorderStyle(TBorderStyle value) {
  if (value != bsNone) value = bsSingle;
  if (borderStyle_ == value) return;
  borderStyle_ = value;
  RecreateWnd();
}

void TListBox::SetBevelKind(TBevelKind value) {
  if (bevelKind_ == value) return;
  bevelKind_ = value;
  FrameChanged();
}

void TListBox::FrameChanged() {
  if (!HandleAllocated()) return;
  SetWindowPos(Handle(), nullptr, 0, 0, 0, 0,
               SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

int TListBox::ItemIndex() const {
  if (!HandleAllocated()) return savedItemIndex_ < saved_->Count() ? savedItemIndex_ : -1;
  HWND h = const_cast<TListBox*>(this)->Handle();
  if (!multiSelect_) return static_cast<int>(Send(h, LB_GETCURSEL));
  // The caret of an empty list box still reports line 0.
  if (Send(h, LB_GETCOUNT) <= 0) return -1;
  return static_cast<int>(Send(h, LB_GETCARETINDEX));
}

void TListBox::SetItemIndex(int value) {
  if (ItemIndex() == value) return;
  if (!HandleAllocated()) {
    savedItemIndex_ = value >= 0 && value < saved_->Count() ? value : -1;
    return;
  }
  if (multiSelect_) {
    if (value >= 0) Send(Handle(), LB_SETCARETINDEX, static_cast<WPARAM>(value), FALSE);
  } else {
    Send(Handle(), LB_SETCURSEL, static_cast<WPARAM>(value));
  }
}

bool TListBox::Selected(int index) const {
  if (index < 0 || index >= items_->Count())
    throw EListError(Format("List index out of bounds (%d)", index));
  if (!HandleAllocated()) {
    if (!multiSelect_) return savedItemIndex_ == index;
    return std::find(savedSelection_.begin(), savedSelection_.end(), index) != savedSelection_.end();
  }
  HWND h = const_cast<TListBox*>(this)->Handle();
  if (!multiSelect_) return Send(h, LB_GETCURSEL) == index;
  return Send(h, LB_GETSEL, static_cast<WPARAM>(index)) > 0;
}

void TListBox::SetSelected(int index, bool value) {
  if (index < 0 || index >= items_->Count())
    throw EListError(Format("List index out of bounds (%d)", index));
  if (!HandleAllocated()) {
    if (!multiSelect_) {
      if (value) savedItemIndex_ = index;
      else if (savedItemIndex_ == index) savedItemIndex_ = -1;
      return;
    }
    auto it = std::find(savedSelection_.begin(), savedSelection_.end(), index);
    if (value && it == savedSelection_.end()) savedSelection_.push_back(index);
    if (!value && it != savedSelection_.end()) savedSelection_.erase(it);
    return;
  }
  if (multiSelect_) {
    Send(Handle(), LB_SETSEL, value ? TRUE : FALSE, index);
  } else if (value) {
    Send(Handle(), LB_SETCURSEL, static_cast<WPARAM>(index));
  } else if (Send(Handle(), LB_GETCURSEL) == index) {
    Send(Handle(), LB_SETCURSEL, static_cast<WPARAM>(-1));
  }
}

int TListBox::SelCount() const {
  if (!multiSelect_) return ItemIndex() >= 0 ? 1 : 0;
  if (!HandleAllocated()) return static_cast<int>(savedSelection_.size());
  LRESULT n = Send(const_cast<TListBox*>(this)->Handle(), LB_GETSELCOUNT);
  return n < 0 ? 0 : static_cast<int>(n);
}

int TListBox::TopIndex() const {
  if (!HandleAllocated()) return savedTopIndex_;
  return static_cast<int>(Send(const_cast<TListBox*>(this)->Handle(), LB_GETTOPINDEX));
}

void TListBox::SetTopIndex(int value) {
  if (TopIndex() == value) return;
  if (!HandleAllocated()) {
    savedTopIndex_ = std::max(value, 0);
    return;
  }
  Send(Handle(), LB_SETTOPINDEX, static_cast<WPARAM>(std::max(value, 0)));
}

void TListBox::CNCommand(TMessage& m) {
  switch (HIWORD(m.WParam)) {
    case LBN_DBLCLK: DblClick(); break;
    case LBN_SELCHANGE: Click(); break;
    default: break;
  }
}

void TListBox::WMSetFont(TMessage& m) {
  DefaultHandler(m);
  // A new font makes the system list box measure its rows again.
  Send(Handle(), LB_SETITEMHEIGHT, 0, MAKELPARAM(itemHeight_, 0));
}

void TListBox::WMNCCalcSize(TMessage& m) {
  // The bevel is the outermost part of the frame: the system places its border
  // and scroll bars inside what is left.
  int w = BevelWidth();
  if (w > 0 && m.LParam) {
    RECT* r = m.WParam ? &reinterpret_cast<NCCALCSIZE_PARAMS*>(m.LParam)->rgrc[0]
                       : reinterpret_cast<RECT*>(m.LParam);
    InflateRect(r, -w, -w);
    if (r->right < r->left) r->right = r->left;
    if (r->bottom < r->top) r->bottom = r->top;
  }
  DefaultHandler(m);
}

void TListBox::WMNCPaint(TMessage& m) {
  DefaultHandler(m);
  if (bevelKind_ == bkNone) return;
  WholeWindowDc dc(Handle());
  if (dc.get()) PaintBevel(dc.get());
}

void TListBox::WMPrint(TMessage& m) {
  DefaultHandler(m);
  if (bevelKind_ != bkNone && (m.LParam & PRF_NONCLIENT) && m.WParam) PaintBevel(reinterpret_cast<HDC>(m.WParam));
}

void TListBox::PaintBevel(HDC dc) {
  RECT window{};
  GetWindowRect(Handle(), &window);
  RECT r{0, 0, window.right - window.left, window.bottom - window.top};
  if (bevelKind_ == bkFlat) {
    Gdi::Brush shadow(CreateSolidBrush(ColorRef(clBtnShadow)));
    FrameRect(dc, &r, shadow.get());
  } else {
    DrawEdge(dc, &r, BDR_SUNKENOUTER, BF_RECT | (bevelKind_ == bkSoft ? BF_SOFT : 0));
  }
}
