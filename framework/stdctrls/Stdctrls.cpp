#include "Stdctrls.h"

#include <algorithm>

#include "Forms.h"

namespace {

bool IsDialogChar(WPARAM ch) { return ch == '\r' || ch == '\x1b' || ch == '\t'; }

// Offers the key to the controls under `parent`, depth first, until one takes it.
bool BroadcastDialogKey(TWinControl* parent, WORD key) {
  for (int i = 0; i < parent->ControlCount(); ++i) {
    TControl* c = parent->Controls(i);
    if (c->Perform(CM_DIALOGKEY, key, 0) != 0) return true;
    if (auto* w = dynamic_cast<TWinControl*>(c); w && BroadcastDialogKey(w, key)) return true;
  }
  return false;
}
}  // namespace

bool SendDialogKey(TWinControl* from, WORD key) {
  if (!from) return false;
  TWinControl* top = from;
  while (top->Parent()) top = top->Parent();
  if (key == VK_TAB) {
    if (!top->HandleAllocated()) return false;
    HWND next = GetNextDlgTabItem(top->Handle(), GetFocus(), GetKeyState(VK_SHIFT) < 0);
    if (!next) return false;
    SetFocus(next);
    return true;
  }
  if (key != VK_RETURN && key != VK_ESCAPE) return false;
  return BroadcastDialogKey(top, key);
}

// ---------------------------------------------------------------------------
// TCustomEdit

const TClassInfo& TCustomEdit::StaticClass() {
  static const TClassInfo info = DefineClass<TCustomEdit>("TCustomEdit", [](TClassBuilder<TCustomEdit>& c) {
    c.Bool("AutoSelect", &TCustomEdit::AutoSelect, &TCustomEdit::SetAutoSelect, true)
        .Enum("BorderStyle", ControlBorderStyleNames, &TCustomEdit::BorderStyle, &TCustomEdit::SetBorderStyle, bsSingle)
        .Int("MaxLength", &TCustomEdit::MaxLength, &TCustomEdit::SetMaxLength, 0)
        .Bool("ReadOnly", &TCustomEdit::ReadOnly, &TCustomEdit::SetReadOnly, false)
        .Str("Text", &TCustomEdit::Text, &TCustomEdit::SetText)
        .Event("OnChange", &TCustomEdit::OnChange);
  });
  return info;
}

const TClassInfo& TEdit::StaticClass() {
  static const TClassInfo info = DefineClass<TEdit>("TEdit");
  return info;
}

TCustomEdit::TCustomEdit(TComponent* owner) : TWinControl(owner) {
  // The system edit captures the mouse itself.
  ControlStyle = {csClickEvents, csSetCaption, csDoubleClicks};
  SetBounds(Left(), Top(), 121, 21);
  SetTabStop(true);
}

void TCustomEdit::Dispatch(TMessage& m) {
  switch (m.Msg) {
    case CN_COMMAND: return CNCommand(m);
    case CM_ENTER: return CMEnter(m);
    case CM_TEXTCHANGED: return CMTextChanged(m);
    case WM_KEYDOWN: return WMKeyDown(m);
    case WM_CHAR: return WMChar(m);
    case WM_LBUTTONDOWN: return WMLButtonDown(m);
    case WM_LBUTTONUP: return WMLButtonUp(m);
    case WM_CAPTURECHANGED: return WMCaptureChanged(m);
    default: return inherited::Dispatch(m);
  }
}

void TCustomEdit::CreateParams(TCreateParams& p) {
  inherited::CreateParams(p);
  CreateSubClass(p, "EDIT");
  p.Style |= ES_LEFT | ES_AUTOHSCROLL;
  if (readOnly_) p.Style |= ES_READONLY;
  if (borderStyle_ == bsSingle) p.ExStyle |= WS_EX_CLIENTEDGE;
}

void TCustomEdit::CreateWnd() {
  inherited::CreateWnd();
  changedText_ = Text();
  SendMessageA(Handle(), EM_LIMITTEXT, static_cast<WPARAM>(maxLength_), 0);
}

void TCustomEdit::SetMaxLength(int value) {
  value = std::max(value, 0);
  if (maxLength_ == value) return;
  maxLength_ = value;
  if (HandleAllocated()) SendMessageA(Handle(), EM_LIMITTEXT, static_cast<WPARAM>(value), 0);
}

void TCustomEdit::SetReadOnly(bool value) {
  if (readOnly_ == value) return;
  readOnly_ = value;
  if (HandleAllocated()) SendMessageA(Handle(), EM_SETREADONLY, value ? TRUE : FALSE, 0);
}

void TCustomEdit::SetBorderStyle(TBorderStyle value) {
  if (value != bsNone) value = bsSingle;
  if (borderStyle_ == value) return;
  borderStyle_ = value;
  RecreateWnd();
}

std::pair<int, int> TCustomEdit::Selection() const {
  if (!HandleAllocated()) return {0, 0};
  DWORD start = 0, end = 0;
  SendMessageA(const_cast<TCustomEdit*>(this)->Handle(), EM_GETSEL, reinterpret_cast<WPARAM>(&start),
               reinterpret_cast<LPARAM>(&end));
  return {static_cast<int>(start), static_cast<int>(end)};
}

void TCustomEdit::SelectAll() {
  if (HandleAllocated()) SendMessageA(Handle(), EM_SETSEL, 0, -1);
}

int TCustomEdit::SelStart() const { return Selection().first; }

void TCustomEdit::SetSelStart(int value) {
  if (HandleAllocated()) SendMessageA(Handle(), EM_SETSEL, static_cast<WPARAM>(value), value);
}

int TCustomEdit::SelLength() const {
  auto [start, end] = Selection();
  return end - start;
}

void TCustomEdit::SetSelLength(int value) {
  if (!HandleAllocated()) return;
  int start = SelStart();
  SendMessageA(Handle(), EM_SETSEL, static_cast<WPARAM>(start), static_cast<LPARAM>(start) + value);
}

void TCustomEdit::Change() {
  if (OnChange) OnChange(this);
}

void TCustomEdit::CNCommand(TMessage& m) {
  if (HIWORD(m.WParam) != EN_CHANGE) return;
  ChangeIfTextChanged();
}

// Some system edits report a change for a key they refused (the limit was
// reached): only a text that really changed is a change.
void TCustomEdit::ChangeIfTextChanged() {
  std::string now = Text();
  if (now == changedText_) return;
  changedText_ = std::move(now);
  Change();
}

void TCustomEdit::CMTextChanged(TMessage& m) {
  inherited::Dispatch(m);
  // A multi-line edit reports no change for a text set by the program: the
  // change is reported here instead.
  if (HandleAllocated() && (GetWindowLongPtrA(Handle(), GWL_STYLE) & ES_MULTILINE)) ChangeIfTextChanged();
}

void TCustomEdit::CMEnter(TMessage& m) {
  if (autoSelect_ && !ControlState.Contains(csLButtonDown)) SelectAll();
  inherited::Dispatch(m);
}

void TCustomEdit::WMLButtonDown(TMessage& m) {
  // The system edit takes the focus inside this message: CMEnter must know
  // that the mouse placed it.
  ControlState << csLButtonDown;
  try {
    inherited::Dispatch(m);
  } catch (...) {
    ControlState >> csLButtonDown;
    throw;
  }
}

void TCustomEdit::WMLButtonUp(TMessage& m) {
  ControlState >> csLButtonDown;
  inherited::Dispatch(m);
}

void TCustomEdit::WMCaptureChanged(TMessage& m) {
  // The press ended somewhere else: the button-up will not come here.
  ControlState >> csLButtonDown;
  DefaultHandler(m);
}

void TCustomEdit::WMKeyDown(TMessage& m) {
  WORD key = static_cast<WORD>(m.WParam);
  KeyDown(key, KeyDataToShiftState(m.LParam));
  if (key == 0) return;
  if ((key == VK_RETURN || key == VK_ESCAPE || key == VK_TAB) && SendDialogKey(this, key)) {
    swallowChar_ = true;
    return;
  }
  m.WParam = key;
  DefaultHandler(m);
}

void TCustomEdit::WMChar(TMessage& m) {
  if (std::exchange(swallowChar_, false) && IsDialogChar(m.WParam)) return;
  inherited::Dispatch(m);
}

// ---------------------------------------------------------------------------
// TButton

const TClassInfo& TButton::StaticClass() {
  static const TClassInfo info = DefineClass<TButton>("TButton", [](TClassBuilder<TButton>& c) {
    c.Bool("Cancel", &TButton::Cancel, &TButton::SetCancel, false)
        .Bool("Default", &TButton::Default, &TButton::SetDefault, false)
        .Int("ModalResult", &TButton::ModalResult, &TButton::SetModalResult, mrNone);
  });
  return info;
}

TButton::TButton(TComponent* owner) : TWinControl(owner) {
  // The system button reports its clicks with BN_CLICKED.
  ControlStyle = {csSetCaption, csDoubleClicks};
  SetColor(clBtnFace);
  SetBounds(Left(), Top(), 75, 25);
  SetTabStop(true);
}

void TButton::Dispatch(TMessage& m) {
  switch (m.Msg) {
    case CN_COMMAND: return CNCommand(m);
    case CM_DIALOGKEY: return CMDialogKey(m);
    case WM_KEYDOWN: return WMKeyDown(m);
    case WM_CHAR: return WMChar(m);
    default: return inherited::Dispatch(m);
  }
}

void TButton::CreateParams(TCreateParams& p) {
  inherited::CreateParams(p);
  CreateSubClass(p, "BUTTON");
  p.Style |= default_ ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
}

void TButton::SetDefault(bool value) {
  if (default_ == value) return;
  default_ = value;
  if (HandleAllocated()) SendMessageA(Handle(), BM_SETSTYLE, value ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, TRUE);
}

void TButton::Click() {
  if (modalResult_ != mrNone) {
    TWinControl* top = this;
    while (top->Parent()) top = top->Parent();
    if (auto* form = dynamic_cast<TForm*>(top)) form->ModalResult = modalResult_;
  }
  inherited::Click();
}

void TButton::CNCommand(TMessage& m) {
  if (HIWORD(m.WParam) == BN_CLICKED) Click();
}

void TButton::CMDialogKey(TMessage& m) {
  bool mine = (m.WParam == VK_RETURN && default_) || (m.WParam == VK_ESCAPE && cancel_);
  if (!mine || !CanFocus()) return;
  Click();
  m.Result = 1;
}

void TButton::WMKeyDown(TMessage& m) {
  WORD key = static_cast<WORD>(m.WParam);
  KeyDown(key, KeyDataToShiftState(m.LParam));
  if (key == 0) return;
  // Enter presses the button that has the focus, whichever is the default.
  if (key == VK_RETURN) {
    swallowChar_ = true;
    Click();
    return;
  }
  if ((key == VK_ESCAPE || key == VK_TAB) && SendDialogKey(this, key)) {
    swallowChar_ = true;
    return;
  }
  m.WParam = key;
  DefaultHandler(m);
}

void TButton::WMChar(TMessage& m) {
  if (std::exchange(swallowChar_, false) && IsDialogChar(m.WParam)) return;
  inherited::Dispatch(m);
}
