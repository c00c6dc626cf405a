#include "Controls.h"

#include <oleacc.h>

#include <algorithm>
#include <climits>
#include <utility>

#include "Accessible.h"
#include "Menus.h"

const std::vector<std::string> BorderStyleNames = {"bsNone", "bsSingle", "bsSizeable", "bsDialog",
                                                   "bsToolWindow", "bsSizeToolWin"};
const std::vector<std::string> ControlBorderStyleNames = {"bsNone", "bsSingle"};

const std::vector<std::string> AlignNames = {"alNone", "alTop", "alBottom", "alLeft", "alRight", "alClient"};
const std::vector<std::string> BiDiModeNames = {"bdLeftToRight", "bdRightToLeft", "bdRightToLeftNoAlign",
                                                "bdRightToLeftReadingOnly"};

namespace {
const char* const kObjectProp = "ZxControl";
thread_local TWinControl* creatingControl = nullptr;
TControl* captureControl = nullptr;
TControl* mouseControl = nullptr;
int nextChildId = 100;

bool IsMouseMessage(UINT msg) {
  return msg >= WM_MOUSEFIRST && msg <= WM_MBUTTONDBLCLK && msg != WM_MOUSEWHEEL;
}
}  // namespace

TShiftState KeysToShiftState(WPARAM keys) {
  TShiftState s;
  if (keys & MK_SHIFT) s << ssShift;
  if (keys & MK_CONTROL) s << ssCtrl;
  if (keys & MK_LBUTTON) s << ssLeft;
  if (keys & MK_RBUTTON) s << ssRight;
  if (keys & MK_MBUTTON) s << ssMiddle;
  if (GetKeyState(VK_MENU) < 0) s << ssAlt;
  return s;
}

TShiftState KeyDataToShiftState(LPARAM keyData) {
  TShiftState s;
  if (GetKeyState(VK_SHIFT) < 0) s << ssShift;
  if (GetKeyState(VK_CONTROL) < 0) s << ssCtrl;
  if (keyData & 0x20000000) s << ssAlt;
  return s;
}

HCURSOR CursorHandle(TCursor cursor) {
  const char* id = IDC_ARROW;
  switch (cursor) {
    case crCross: id = IDC_CROSS; break;
    case crIBeam: id = IDC_IBEAM; break;
    case crSizeNESW: id = IDC_SIZENESW; break;
    case crSizeNS: id = IDC_SIZENS; break;
    case crSizeNWSE: id = IDC_SIZENWSE; break;
    case crSizeWE: id = IDC_SIZEWE; break;
    case crUpArrow: id = IDC_UPARROW; break;
    case crHourGlass: id = IDC_WAIT; break;
    case crNo: id = IDC_NO; break;
    case crAppStart: id = IDC_APPSTARTING; break;
    case crHelp: id = IDC_HELP; break;
    case crHandPoint: id = IDC_HAND; break;
    case crSizeAll: id = IDC_SIZEALL; break;
    case crNone: return nullptr;
    default: break;
  }
  return LoadCursorA(nullptr, id);
}

namespace {
struct CursorName {
  TCursor cursor;
  const char* name;
};

constexpr CursorName kCursorNames[] = {
    {crDefault, "crDefault"},     {crNone, "crNone"},         {crArrow, "crArrow"},
    {crCross, "crCross"},         {crIBeam, "crIBeam"},       {crSizeNESW, "crSizeNESW"},
    {crSizeNS, "crSizeNS"},       {crSizeNWSE, "crSizeNWSE"}, {crSizeWE, "crSizeWE"},
    {crUpArrow, "crUpArrow"},     {crHourGlass, "crHourGlass"}, {crNo, "crNo"},
    {crAppStart, "crAppStart"},   {crHelp, "crHelp"},         {crHandPoint, "crHandPoint"},
    {crSizeAll, "crSizeAll"},
};
}  // namespace

bool CursorToIdent(int64_t cursor, std::string& ident) {
  for (const CursorName& c : kCursorNames) {
    if (c.cursor == cursor) {
      ident = c.name;
      return true;
    }
  }
  return false;
}

bool IdentToCursor(std::string_view ident, int64_t& cursor) {
  for (const CursorName& c : kCursorNames) {
    if (SameText(ident, c.name)) {
      cursor = c.cursor;
      return true;
    }
  }
  return false;
}

TControl* GetCaptureControl() {
  // The parent window can lose the capture without a word to us (another
  // window took it, a dialog opened from the press handler): the graphic child
  // holds the capture only while its parent's window does.
  if (captureControl) {
    TWinControl* parent = captureControl->Parent();
    if (!parent || !parent->HandleAllocated() || GetCapture() != parent->Handle()) captureControl = nullptr;
  }
  return captureControl;
}

void SetCaptureControl(TControl* control) {
  captureControl = nullptr;
  if (!control) {
    ReleaseCapture();
    return;
  }
  if (TWinControl* w = AsWindowed(control)) {
    SetCapture(w->Handle());
    return;
  }
  if (control->Parent() && control->Parent()->HandleAllocated()) {
    SetCapture(control->Parent()->Handle());
    captureControl = control;
  }
}

TControl* MouseControl() { return mouseControl; }

TWinControl* TopLevelControl(const TControl* control) {
  const TControl* top = control;
  while (top && top->Parent()) top = top->Parent();
  return const_cast<TWinControl*>(AsWindowed(top));
}

// ---------------------------------------------------------------------------
// TControl

const TClassInfo& TControl::StaticClass() {
  static const TClassInfo info = DefineClass<TControl>("TControl", [](TClassBuilder<TControl>& c) {
    c.Int("Left", &TControl::Left, &TControl::SetLeft, 0, false)
        .Int("Top", &TControl::Top, &TControl::SetTop, 0, false)
        .Int("Width", &TControl::Width, &TControl::SetWidth, 0, false)
        .Int("Height", &TControl::Height, &TControl::SetHeight, 0, false)
        .Enum("Align", AlignNames, &TControl::Align, &TControl::SetAlign, alNone)
        .Str("Caption", &TControl::Caption, &TControl::SetCaption)
        .Stored([](TControl& o) { return !o.Caption().empty(); })
        .Color("Color", &TControl::Color, &TControl::SetColor, clWindow, false)
        .Stored([](TControl& o) { return !o.ParentColor(); })
        .Enum("BiDiMode", BiDiModeNames, &TControl::BiDiMode, &TControl::SetBiDiMode, bdLeftToRight)
        .Int("Cursor", &TControl::Cursor, &TControl::SetCursor, crDefault)
        .Idents(CursorToIdent, IdentToCursor)
        .Bool("Enabled", &TControl::Enabled, &TControl::SetEnabled, true)
        .Obj("Font", &TControl::Font)
        .Stored([](TControl& o) { return !o.ParentFont(); })
        .Str("Hint", &TControl::Hint, &TControl::SetHint)
        .Bool("ParentColor", &TControl::ParentColor, &TControl::SetParentColor, false)
        .Bool("ParentFont", &TControl::ParentFont, &TControl::SetParentFont, true)
        .Bool("ParentShowHint", &TControl::ParentShowHint, &TControl::SetParentShowHint, true)
        .Ref<TPopupMenu>("PopupMenu", &TControl::PopupMenu, &TControl::SetPopupMenu)
        .Bool("ShowHint", &TControl::ShowHint, &TControl::SetShowHint, false)
        .Stored([](TControl& o) { return !o.ParentShowHint(); })
        .Bool("Visible", &TControl::Visible, &TControl::SetVisible, true)
        .Event("OnClick", &TControl::OnClick)
        .Event("OnDblClick", &TControl::OnDblClick)
        .Event("OnMouseDown", &TControl::OnMouseDown)
        .Event("OnMouseMove", &TControl::OnMouseMove)
        .Event("OnMouseUp", &TControl::OnMouseUp);
  });
  return info;
}

TControl::TControl(TComponent* owner) : TComponent(owner), font_(std::make_unique<TFont>()) {
  WindowProc = [this](TMessage& m) { WndProc(m); };
  ControlStyle = {csCaptureMouse, csClickEvents, csSetCaption, csDoubleClicks};
  font_->OnChange = TNotifyEvent(this, &TControl::FontChanged);
}

TControl::~TControl() {
  if (captureControl == this) captureControl = nullptr;
  if (mouseControl == this) mouseControl = nullptr;
  if (parent_) parent_->RemoveControl(this);
}

void TControl::WndProc(TMessage& message) { Dispatch(message); }

void TControl::Dispatch(TMessage& m) {
  switch (m.Msg) {
    case WM_LBUTTONDOWN: return WMLButtonDown(m);
    case WM_LBUTTONDBLCLK: return WMLButtonDblClk(m);
    case WM_LBUTTONUP: return WMLButtonUp(m);
    case WM_RBUTTONDOWN: return WMRButtonDown(m);
    case WM_RBUTTONUP: return WMRButtonUp(m);
    case WM_RBUTTONDBLCLK: return WMRButtonDblClk(m);
    case WM_MBUTTONDOWN: return WMMButtonDown(m);
    case WM_MBUTTONUP: return WMMButtonUp(m);
    case WM_MOUSEMOVE: return WMMouseMove(m);
    case WM_MOUSEWHEEL: return WMMouseWheel(m);
    case WM_CONTEXTMENU: return WMContextMenu(m);
    case CM_ENABLEDCHANGED: return CMEnabledChanged(m);
    case CM_FONTCHANGED: return CMFontChanged(m);
    case CM_COLORCHANGED: return CMColorChanged(m);
    case CM_PARENTFONTCHANGED: return CMParentFontChanged(m);
    case CM_PARENTCOLORCHANGED: return CMParentColorChanged(m);
    case CM_PARENTSHOWHINTCHANGED: return CMParentShowHintChanged(m);
    case CM_HITTEST: return CMHitTest(m);
    case CM_MOUSEENTER: return CMMouseEnter(m);
    case CM_MOUSELEAVE: return CMMouseLeave(m);
    default: return DefaultHandler(m);
  }
}

void TControl::DefaultHandler(TMessage& m) { m.Result = 0; }

LRESULT TControl::Perform(UINT msg, WPARAM wParam, LPARAM lParam) {
  TMessage m{msg, wParam, lParam, 0};
  WindowProc(m);
  return m.Result;
}

void TControl::SetParent(TWinControl* parent) {
  if (parent_ == parent) return;
  // Inside itself or one of its children the control would make the chain of
  // parents a loop that painting, creation and Showing never leave.
  for (const TWinControl* p = parent; p; p = p->Parent())
    if (p == this) throw EInvalidOperation("A control cannot be placed inside itself or one of its children");
  if (parent_) parent_->RemoveControl(this);
  if (parent) {
    parent->InsertControl(this);
    if (parentColor_) Perform(CM_PARENTCOLORCHANGED);
    if (parentFont_) Perform(CM_PARENTFONTCHANGED);
    if (parentShowHint_) Perform(CM_PARENTSHOWHINTCHANGED);
  }
}

TComponent* TControl::GetParentComponent() const { return parent_; }

void TControl::SetParentComponent(TComponent* parent) {
  if (TWinControl* w = AsWindowed(dynamic_cast<TControl*>(parent))) SetParent(w);
}

void TControl::SetBounds(int left, int top, int width, int height) {
  if (left == left_ && top == top_ && width == width_ && height == height_) return;
  InvalidateControl(visible_, false);
  left_ = left;
  top_ = top;
  width_ = width;
  height_ = height;
  InvalidateControl(visible_, ControlStyle.Contains(csOpaque));
  RequestAlign();
}

RECT TControl::ClientRect() const { return RECT{0, 0, width_, height_}; }
int TControl::ClientWidth() const { RECT r = ClientRect(); return r.right - r.left; }
int TControl::ClientHeight() const { RECT r = ClientRect(); return r.bottom - r.top; }

void TControl::SetClientWidth(int v) {
  SetWidth(width_ - ClientWidth() + v);
}
void TControl::SetClientHeight(int v) {
  SetHeight(height_ - ClientHeight() + v);
}

POINT TControl::ClientOrigin() const {
  POINT p{0, 0};
  if (Windowed()) return p;
  p.x = left_;
  p.y = top_;
  return p;
}

POINT TControl::ClientToScreen(POINT p) const {
  if (const TWinControl* w = AsWindowed(this)) {
    if (w->HandleAllocated()) ::ClientToScreen(const_cast<TWinControl*>(w)->Handle(), &p);
    return p;
  }
  if (!parent_) return p;
  POINT q{p.x + left_, p.y + top_};
  return parent_->ClientToScreen(q);
}

POINT TControl::ScreenToClient(POINT p) const {
  if (const TWinControl* w = AsWindowed(this)) {
    if (w->HandleAllocated()) ::ScreenToClient(const_cast<TWinControl*>(w)->Handle(), &p);
    return p;
  }
  if (!parent_) return p;
  POINT q = parent_->ScreenToClient(p);
  return POINT{q.x - left_, q.y - top_};
}

void TControl::SetAlign(TAlign value) {
  if (align_ == value) return;
  align_ = value;
  // Leaving alignment frees the place the control held: the others move up too.
  if (value == alNone && parent_) parent_->Realign();
  else RequestAlign();
}

void TControl::SetVisible(bool value) {
  if (visible_ == value) return;
  VisibleChanging();
  visible_ = value;
  // A window-less control uncovers or covers its place on the parent's window.
  InvalidateControl(true, value && ControlStyle.Contains(csOpaque));
  Perform(CM_VISIBLECHANGED, value);
  RequestAlign();
}

bool TControl::Showing() const { return visible_ && parent_ && parent_->Showing(); }

void TControl::SetEnabled(bool value) {
  if (enabled_ == value) return;
  enabled_ = value;
  Perform(CM_ENABLEDCHANGED);
}

void TControl::SetText(const std::string& value) {
  if (text_ == value) return;
  text_ = value;
  Perform(CM_TEXTCHANGED);
  Invalidate();
  // A window-less control's caption is its name for screen readers.
  NotifyAccessibleEvent(EVENT_OBJECT_NAMECHANGE, this);
}

void TControl::SetColor(TColor value) {
  if (color_ == value) return;
  color_ = value;
  parentColor_ = false;
  Perform(CM_COLORCHANGED);
}

void TControl::SetParentColor(bool value) {
  if (parentColor_ == value) return;
  parentColor_ = value;
  if (value && parent_) Perform(CM_PARENTCOLORCHANGED);
}

void TControl::SetParentFont(bool value) {
  if (parentFont_ == value) return;
  parentFont_ = value;
  if (value && parent_) Perform(CM_PARENTFONTCHANGED);
}

void TControl::SetCursor(TCursor value) {
  if (cursor_ == value) return;
  cursor_ = value;
  Perform(CM_CURSORCHANGED);
}

void TControl::SetShowHint(bool value) {
  if (showHint_ == value && !parentShowHint_) return;
  showHint_ = value;
  parentShowHint_ = false;
  Perform(CM_SHOWHINTCHANGED);
}

void TControl::SetParentShowHint(bool value) {
  if (parentShowHint_ == value) return;
  parentShowHint_ = value;
  if (value && parent_) Perform(CM_PARENTSHOWHINTCHANGED);
}

void TControl::SetPopupMenu(TPopupMenu* value) {
  if (popupMenu_ == value) return;
  if (popupMenu_) popupMenu_->RemoveFreeNotification(this);
  popupMenu_ = value;
  if (value) value->FreeNotification(this);
}

void TControl::SetBiDiMode(TBiDiMode value) {
  if (biDiMode_ == value) return;
  biDiMode_ = value;
  Invalidate();
}

UINT TControl::DrawTextBiDiModeFlags(UINT flags) const {
  if (UseRightToLeftAlignment()) {
    // DT_LEFT is 0: only a text that is not centred swaps sides.
    if ((flags & (DT_CENTER | DT_RIGHT)) == DT_RIGHT)
      flags &= ~static_cast<UINT>(DT_RIGHT);
    else if (!(flags & (DT_CENTER | DT_RIGHT)))
      flags |= DT_RIGHT;
  }
  if (UseRightToLeftReading()) flags |= DT_RTLREADING;
  return flags;
}

void TControl::Notification(TComponent* component, TOperation operation) {
  inherited::Notification(component, operation);
  if (operation == opRemove && component == popupMenu_) popupMenu_ = nullptr;
}

void TControl::FontChanged(TObject*) {
  parentFont_ = false;
  Perform(CM_FONTCHANGED);
}

void TControl::InvalidateControl(bool isVisible, bool isOpaque) {
  if (!isVisible || !parent_ || !parent_->HandleAllocated()) return;
  if (Windowed()) return;
  RECT r = BoundsRect();
  InvalidateRect(parent_->Handle(), &r, !isOpaque);
}

void TControl::Invalidate() { InvalidateControl(visible_, ControlStyle.Contains(csOpaque)); }

void TControl::Repaint() {
  if (!visible_ || !parent_ || !parent_->HandleAllocated()) return;
  Invalidate();
  parent_->Update();
}

void TControl::Update() {
  if (parent_) parent_->Update();
}

void TControl::BringToFront() {
  if (!parent_) return;
  // Only the order changes: the control keeps its parent and its window.
  auto& siblings = parent_->controls_;
  auto it = std::find(siblings.begin(), siblings.end(), this);
  if (it != siblings.end()) std::rotate(it, it + 1, siblings.end());
  Invalidate();
  if (TWinControl* w = AsWindowed(this); w && w->HandleAllocated())
    SetWindowPos(w->Handle(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void TControl::RequestAlign() {
  if (parent_ && align_ != alNone) parent_->Realign();
}

void TControl::Click() {
  if (OnClick) OnClick(this);
}

void TControl::DblClick() {
  if (OnDblClick) OnDblClick(this);
}

int TControl::AccessibleRole() const {
  // A picture that reacts to a click but has neither caption nor hint would
  // be a button without a name: of no use to a screen reader.
  return OnClick && !AccessibleName().empty() ? ROLE_SYSTEM_PUSHBUTTON : 0;
}

std::string TControl::AccessibleName() const {
  std::string name = StripAccelChars(Caption());
  size_t first = name.find_first_not_of(' ');
  if (first == std::string::npos) return Hint();
  size_t last = name.find_last_not_of(' ');
  return name.substr(first, last - first + 1);
}

std::string TControl::AccessibleDefaultAction() const {
  switch (AccessibleRole()) {
    case ROLE_SYSTEM_PUSHBUTTON: return "Press";
    case ROLE_SYSTEM_LINK: return "Jump";
    default: return {};
  }
}

void TControl::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  if (OnMouseDown) OnMouseDown(this, button, shift, x, y);
}

void TControl::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  if (OnMouseUp) OnMouseUp(this, button, shift, x, y);
}

void TControl::MouseMove(TShiftState shift, int x, int y) {
  if (OnMouseMove) OnMouseMove(this, shift, x, y);
}

void TControl::DoMouseDown(TMessage& m, TMouseButton button, TShiftState extra) {
  if (ControlStyle.Contains(csNoStdEvents)) return;
  MouseDown(button, KeysToShiftState(m.WParam) + extra, MsgX(m), MsgY(m));
}

void TControl::DoMouseUp(TMessage& m, TMouseButton button) {
  if (ControlStyle.Contains(csNoStdEvents)) return;
  MouseUp(button, KeysToShiftState(m.WParam), MsgX(m), MsgY(m));
}

void TControl::WMLButtonDown(TMessage& m) {
  DefaultHandler(m);
  if (ControlStyle.Contains(csCaptureMouse)) SetCaptureControl(this);
  if (ControlStyle.Contains(csClickEvents)) ControlState << csClicked;
  DoMouseDown(m, mbLeft, {});
}

void TControl::WMLButtonDblClk(TMessage& m) {
  DefaultHandler(m);
  if (ControlStyle.Contains(csCaptureMouse)) SetCaptureControl(this);
  if (ControlStyle.Contains(csClickEvents)) DblClick();
  DoMouseDown(m, mbLeft, {ssDouble});
}

void TControl::WMLButtonUp(TMessage& m) {
  DefaultHandler(m);
  if (ControlStyle.Contains(csCaptureMouse) && (GetCaptureControl() == this ||
      (Windowed() && GetCapture() == static_cast<TWinControl*>(this)->Handle())))
    SetCaptureControl(nullptr);
  if (ControlState.Contains(csClicked)) {
    ControlState >> csClicked;
    RECT r = ClientRect();
    POINT p{MsgX(m), MsgY(m)};
    if (PtInRect(&r, p)) Click();
  }
  DoMouseUp(m, mbLeft);
}

void TControl::WMRButtonDown(TMessage& m) {
  DefaultHandler(m);
  DoMouseDown(m, mbRight, {});
}

void TControl::WMRButtonUp(TMessage& m) {
  DefaultHandler(m);
  DoMouseUp(m, mbRight);
}

void TControl::WMRButtonDblClk(TMessage& m) {
  DefaultHandler(m);
  DoMouseDown(m, mbRight, {ssDouble});
}

void TControl::WMMButtonDown(TMessage& m) {
  DefaultHandler(m);
  DoMouseDown(m, mbMiddle, {});
}

void TControl::WMMButtonUp(TMessage& m) {
  DefaultHandler(m);
  DoMouseUp(m, mbMiddle);
}

void TControl::WMMouseMove(TMessage& m) {
  DefaultHandler(m);
  if (!ControlStyle.Contains(csNoStdEvents)) MouseMove(KeysToShiftState(m.WParam), MsgX(m), MsgY(m));
}

bool TControl::DoMouseWheel(TShiftState shift, int wheelDelta, POINT mousePos) {
  bool handled = false;
  if (OnMouseWheel) OnMouseWheel(this, shift, wheelDelta, mousePos, handled);
  return handled;
}

void TControl::WMMouseWheel(TMessage& m) {
  // The key flags are in the low word, the signed delta in the high word and
  // the cursor, in screen coordinates, in lParam.
  int delta = static_cast<short>(HIWORD(m.WParam));
  if (DoMouseWheel(KeysToShiftState(LOWORD(m.WParam)), delta, POINT{MsgX(m), MsgY(m)})) {
    m.Result = 0;
    return;
  }
  DefaultHandler(m);
}

void TControl::WMContextMenu(TMessage& m) {
  if (!popupMenu_) return DefaultHandler(m);
  POINT p{MsgX(m), MsgY(m)};
  if (p.x == -1 && p.y == -1) p = ClientToScreen(POINT{0, 0});
  popupMenu_->Popup(p.x, p.y);
  m.Result = 1;
}

void TControl::CMEnabledChanged(TMessage&) { Invalidate(); }
void TControl::CMFontChanged(TMessage&) { Invalidate(); }
void TControl::CMColorChanged(TMessage&) { Invalidate(); }

void TControl::CMParentFontChanged(TMessage&) {
  if (!parentFont_ || !parent_) return;
  font_->Assign(parent_->Font());
  parentFont_ = true;
}

void TControl::CMParentColorChanged(TMessage&) {
  if (!parentColor_ || !parent_) return;
  SetColor(parent_->Color());
  parentColor_ = true;
}

void TControl::CMParentShowHintChanged(TMessage&) {
  if (!parentShowHint_ || !parent_) return;
  SetShowHint(parent_->ShowHint());
  parentShowHint_ = true;
}

void TControl::CMHitTest(TMessage& m) { m.Result = 1; }
void TControl::CMMouseEnter(TMessage& m) {
  if (parent_) parent_->Perform(CM_MOUSEENTER, 0, reinterpret_cast<LPARAM>(this));
}
void TControl::CMMouseLeave(TMessage& m) {
  if (parent_) parent_->Perform(CM_MOUSELEAVE, 0, reinterpret_cast<LPARAM>(this));
}

// ---------------------------------------------------------------------------
// TGraphicControl

const TClassInfo& TGraphicControl::StaticClass() {
  static const TClassInfo info = DefineClass<TGraphicControl>("TGraphicControl");
  return info;
}

TGraphicControl::TGraphicControl(TComponent* owner)
    : TControl(owner), canvas_(std::make_unique<TCanvas>()) {}

TGraphicControl::~TGraphicControl() = default;

void TGraphicControl::Dispatch(TMessage& m) {
  switch (m.Msg) {
    case WM_PAINT: return WMPaint(m);
    default: return inherited::Dispatch(m);
  }
}

void TGraphicControl::WMPaint(TMessage& m) {
  if (!m.WParam) return;
  TCanvasLease lease(*canvas_, reinterpret_cast<HDC>(m.WParam));
  canvas_->Font()->Assign(Font());
  Paint();
}

// ---------------------------------------------------------------------------
// TWinControl

LRESULT CALLBACK ZxWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto* control = static_cast<TWinControl*>(GetPropA(hwnd, kObjectProp));
  if (!control && creatingControl) {
    control = creatingControl;
    creatingControl = nullptr;
    control->handle_ = hwnd;
    SetPropA(hwnd, kObjectProp, control);
  }
  if (!control) return DefWindowProcA(hwnd, msg, wParam, lParam);
  TMessage m{msg, wParam, lParam, 0};
  try {
    control->WindowProc(m);
  } catch (...) {
    if (HandleWindowProcException) HandleWindowProcException(control);
  }
  if (msg == WM_NCDESTROY) {
    RemovePropA(hwnd, kObjectProp);
    control->handle_ = nullptr;
  }
  return m.Result;
}

TWinControl* TWinControl::FindControl(HWND window) {
  if (!window) return nullptr;
  return static_cast<TWinControl*>(GetPropA(window, kObjectProp));
}

const TClassInfo& TWinControl::StaticClass() {
  static const TClassInfo info = DefineClass<TWinControl>("TWinControl", [](TClassBuilder<TWinControl>& c) {
    c.Int("TabOrder", &TWinControl::TabOrder, &TWinControl::TabOrder, -1)
        .Bool("DoubleBuffered", &TWinControl::DoubleBuffered, &TWinControl::SetDoubleBuffered, false)
        .Bool("TabStop", &TWinControl::TabStop, &TWinControl::SetTabStop, false)
        .Event("OnEnter", &TWinControl::OnEnter)
        .Event("OnExit", &TWinControl::OnExit)
        .Event("OnKeyDown", &TWinControl::OnKeyDown)
        .Event("OnKeyPress", &TWinControl::OnKeyPress)
        .Event("OnKeyUp", &TWinControl::OnKeyUp);
  });
  return info;
}

TWinControl::TWinControl(TComponent* owner) : TControl(owner) { defWndProc_ = DefWindowProcA; }

TWinControl::~TWinControl() {
  Destroying();
  if (handle_) DestroyHandle();
  // Children stay owned by their owner; they only lose their parent.
  while (!controls_.empty()) controls_.back()->SetParent(nullptr);
}

HWND TWinControl::Handle() {
  if (!handle_) CreateHandle();
  return handle_;
}

void TWinControl::CreateHandle() {
  if (handle_) return;
  // Creating the parent's window creates this one among its children.
  if (Parent() && !Parent()->HandleAllocated()) {
    Parent()->HandleNeeded();
    if (handle_) return;
  }
  CreateWnd();
  if (!handle_) return;
  ApplyFont();
  CreateChildren();
  Realign();
}

void TWinControl::CreateChildren() {
  for (TControl* c : std::vector<TControl*>(controls_))
    if (TWinControl* w = AsWindowed(c)) w->CreateHandle();
}

void TWinControl::CreateParams(TCreateParams& p) {
  p.Caption = windowText_.empty() ? TControl::GetText() : windowText_;
  p.Style = WS_CHILD | WS_CLIPSIBLINGS;
  if (Parent() == nullptr) p.Style = WS_POPUP | WS_CLIPCHILDREN;
  if (ControlStyle.Contains(csAcceptsControls)) p.Style |= WS_CLIPCHILDREN;
  if (Visible() && Parent()) p.Style |= WS_VISIBLE;
  if (!Enabled()) p.Style |= WS_DISABLED;
  if (tabStop_) p.Style |= WS_TABSTOP;
  p.X = left_;
  p.Y = top_;
  p.Width = width_;
  p.Height = height_;
  if (Parent()) p.WndParent = Parent()->Handle();
  else p.WndParent = parentWindow_;
  p.WindowClass.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;
  p.WindowClass.lpfnWndProc = DefWindowProcA;
  p.WindowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  p.WindowClass.hbrBackground = nullptr;
  p.WinClassName = ClassName();
}

void TWinControl::CreateSubClass(TCreateParams& params, const char* systemClass) {
  WNDCLASSA wc{};
  if (!GetClassInfoA(nullptr, systemClass, &wc)) {
    GetClassInfoA(GetModuleHandleA(nullptr), systemClass, &wc);
  }
  params.WindowClass = wc;
  params.SystemClass = systemClass;
}

void TWinControl::CreateWnd() {
  TCreateParams params;
  CreateParams(params);
  HINSTANCE instance = GetModuleHandleA(nullptr);
  defWndProc_ = params.WindowClass.lpfnWndProc ? params.WindowClass.lpfnWndProc : DefWindowProcA;
  WNDCLASSA existing{};
  if (!GetClassInfoA(instance, params.WinClassName.c_str(), &existing)) {
    WNDCLASSA wc = params.WindowClass;
    wc.lpfnWndProc = ZxWindowProc;
    wc.hInstance = instance;
    wc.lpszClassName = params.WinClassName.c_str();
    if (!RegisterClassA(&wc)) throw EOutOfResources("Cannot register window class " + params.WinClassName);
  }
  CreateWindowHandle(params);
  if (!handle_) throw EOutOfResources("Error creating window of class " + params.WinClassName);
}

void TWinControl::CreateWindowHandle(const TCreateParams& p) {
  HMENU id = nullptr;
  if (p.Style & WS_CHILD) id = reinterpret_cast<HMENU>(static_cast<INT_PTR>(nextChildId++));
  TWinControl* previous = creatingControl;
  creatingControl = this;
  HWND h = CreateWindowExA(p.ExStyle, p.WinClassName.c_str(), p.Caption.c_str(), p.Style, p.X, p.Y,
                           p.Width, p.Height, p.WndParent, id, GetModuleHandleA(nullptr), p.Param);
  creatingControl = previous;
  if (h && !handle_) {
    handle_ = h;
    SetPropA(h, kObjectProp, this);
  }
}

void TWinControl::DestroyWnd() {
  if (!handle_) return;
  // Keep the text: the window text is the Caption of a windowed control.
  char buf[1024];
  int n = GetWindowTextA(handle_, buf, sizeof buf);
  windowText_.assign(buf, n > 0 ? static_cast<size_t>(n) : 0);
  TControl::SetTextField(windowText_);
  DestroyWindow(handle_);
}

void TWinControl::DestroyHandle() {
  if (!handle_) return;
  ControlState << csDestroyingHandle;
  for (TControl* c : controls_)
    if (TWinControl* w = AsWindowed(c)) w->DestroyHandle();
  DestroyWnd();
  ControlState >> csDestroyingHandle;
}

void TWinControl::RecreateWnd() {
  if (!handle_) return;
  // A top-level window on screen is made again and shown at once, or it
  // would vanish while Visible still says otherwise.
  const bool shownTopLevel = !Parent() && IsWindowVisible(handle_);
  DestroyHandle();
  UpdateShowing();
  if (!handle_ && Parent() && Parent()->HandleAllocated()) CreateHandle();
  if (shownTopLevel) {
    CreateHandle();
    if (handle_) ShowWindow(handle_, SW_SHOWNORMAL);
  }
}

void TWinControl::ApplyFont() {
  if (handle_) SendMessageA(handle_, WM_SETFONT, reinterpret_cast<WPARAM>(Font()->Handle()), 0);
}

void TWinControl::WndProc(TMessage& m) {
  if (IsMouseMessage(m.Msg) && RouteMouseToChildren(m)) return;
  inherited::WndProc(m);
}

bool TWinControl::RouteMouseToChildren(TMessage& m) {
  POINT p{MsgX(m), MsgY(m)};
  TControl* target = nullptr;
  if (TControl* captured = GetCaptureControl(); captured && captured->Parent() == this) target = captured;
  else target = ControlAtPos(p);
  if (m.Msg == WM_MOUSEMOVE) TrackMouse(target ? target : this);
  if (!target) return false;
  TMessage cm{m.Msg, m.WParam, MAKELPARAM(p.x - target->Left(), p.y - target->Top()), 0};
  target->WindowProc(cm);
  m.Result = cm.Result;
  // The system makes the context-menu message from this window's own button-up.
  if (m.Msg == WM_RBUTTONUP) DefaultHandler(m);
  return true;
}

void TWinControl::WMContextMenu(TMessage& m) {
  // A window-less child under the point shows its own menu.
  if (MsgX(m) != -1 || MsgY(m) != -1) {
    POINT p = ScreenToClient(POINT{MsgX(m), MsgY(m)});
    if (TControl* c = ControlAtPos(p); c && c->PopupMenu()) {
      m.Result = c->Perform(WM_CONTEXTMENU, m.WParam, m.LParam);
      return;
    }
  }
  TControl::WMContextMenu(m);
}

void TWinControl::TrackMouse(TControl* target) {
  if (!trackingLeave_ && handle_) {
    TRACKMOUSEEVENT tme{sizeof tme, TME_LEAVE, handle_, 0};
    trackingLeave_ = TrackMouseEvent(&tme) != FALSE;
  }
  if (mouseControl == target) return;
  TControl* old = mouseControl;
  mouseControl = target;
  if (old) old->Perform(CM_MOUSELEAVE);
  if (target && mouseControl == target) target->Perform(CM_MOUSEENTER);
}

void TWinControl::WMMouseLeave(TMessage& m) {
  trackingLeave_ = false;
  // The window also hears of a leave when the mouse moves onto one of its
  // child windows; that child has its own tracking and keeps the mouse.
  if (mouseControl && (mouseControl == this || (mouseControl->Parent() == this && !mouseControl->Windowed()))) {
    TControl* old = mouseControl;
    mouseControl = nullptr;
    old->Perform(CM_MOUSELEAVE);
  }
  DefaultHandler(m);
}

TControl* TWinControl::ControlAtPos(POINT p, bool allowDisabled) const {
  for (auto it = controls_.rbegin(); it != controls_.rend(); ++it) {
    TControl* c = *it;
    if (c->Windowed()) continue;
    if (!c->Visible() && !c->ComponentState().Contains(csDesigning)) continue;
    if (!c->Enabled() && !allowDisabled) continue;
    RECT r = c->BoundsRect();
    if (!PtInRect(&r, p)) continue;
    if (c->Perform(CM_HITTEST, 0, MAKELPARAM(p.x - c->Left(), p.y - c->Top())) == 0) continue;
    return c;
  }
  return nullptr;
}

void TWinControl::Dispatch(TMessage& m) {
  switch (m.Msg) {
    case WM_PAINT: return WMPaint(m);
    case WM_PRINTCLIENT: return WMPrintClient(m);
    case WM_ERASEBKGND: return WMEraseBkgnd(m);
    case WM_SIZE: return WMSize(m);
    case WM_MOVE: return WMMove(m);
    case WM_SETFOCUS: return WMSetFocus(m);
    case WM_KILLFOCUS: return WMKillFocus(m);
    case WM_SETCURSOR: return WMSetCursor(m);
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_DRAWITEM:
    case WM_MEASUREITEM: return WMReflect(m);
    case WM_KEYDOWN: return WMKeyDown(m);
    case WM_KEYUP: return WMKeyUp(m);
    case WM_CHAR: return WMChar(m);
    case WM_SYSCHAR: return WMSysChar(m);
    case WM_GETOBJECT: return WMGetObject(m);
    case CM_DIALOGKEY:
    case CM_DIALOGCHAR: return CMDialogBroadcast(m);
    case CM_DODEFAULTACTION: return CMDoDefaultAction(m);
    case WM_MOUSELEAVE: return WMMouseLeave(m);
    case WM_CONTEXTMENU: return WMContextMenu(m);
    case WM_GETDLGCODE: return WMGetDlgCode(m);
    case WM_HSCROLL:
    case WM_VSCROLL: return WMScroll(m);
    case CM_ENTER: return CMEnter(m);
    case CM_EXIT: return CMExit(m);
    case CM_COLORCHANGED: return CMColorChanged(m);
    case CM_FONTCHANGED: return CMFontChanged(m);
    case CM_VISIBLECHANGED: return CMVisibleChanged(m);
    case CN_CTLCOLORLISTBOX:
    case CN_CTLCOLOREDIT:
    case CN_CTLCOLORSTATIC:
    case CN_CTLCOLORBTN: return CNCtlColor(m);
    default: return inherited::Dispatch(m);
  }
}

void TWinControl::DefaultHandler(TMessage& m) {
  if (!handle_) {
    m.Result = 0;
    return;
  }
  if (m.Msg >= CM_BASE && m.Msg < CN_BASE + 0x400) {
    m.Result = 0;
    return;
  }
  m.Result = CallWindowProcA(defWndProc_, handle_, m.Msg, m.WParam, m.LParam);
}

void TWinControl::InsertControl(TControl* control) {
  controls_.push_back(control);
  control->parent_ = this;
  if (TWinControl* w = AsWindowed(control)) {
    if (handle_ && !w->HandleAllocated()) w->CreateHandle();
  } else {
    control->Invalidate();
  }
  Realign();
}

void TWinControl::RemoveControl(TControl* control) {
  auto it = std::find(controls_.begin(), controls_.end(), control);
  if (it == controls_.end()) return;
  if (focusedChild_ == control) focusedChild_ = nullptr;
  if (!control->Windowed()) control->Invalidate();
  controls_.erase(it);
  control->parent_ = nullptr;
  if (TWinControl* w = AsWindowed(control); w && w->HandleAllocated() &&
                                                     !ComponentState().Contains(csDestroying))
    w->DestroyHandle();
  Realign();
}

void TWinControl::PaintControls(HDC dc, TControl* first) {
  auto it = controls_.begin();
  if (first) it = std::find(controls_.begin(), controls_.end(), first);
  RECT clip{};
  GetClipBox(dc, &clip);
  for (; it != controls_.end(); ++it) {
    TControl* c = *it;
    if (c->Windowed()) continue;
    if (!c->Visible() && !c->ComponentState().Contains(csDesigning)) continue;
    RECT r = c->BoundsRect(), hit{};
    if (!IntersectRect(&hit, &r, &clip)) continue;
    int saved = SaveDC(dc);
    POINT origin{};
    GetViewportOrgEx(dc, &origin);
    SetViewportOrgEx(dc, origin.x + c->Left(), origin.y + c->Top(), nullptr);
    IntersectClipRect(dc, 0, 0, c->Width(), c->Height());
    c->Perform(WM_PAINT, reinterpret_cast<WPARAM>(dc), 0);
    if (c == focusedChild_ && Focused()) {
      RECT focus = c->FocusRect();
      SetTextColor(dc, RGB(0, 0, 0));
      SetBkColor(dc, RGB(255, 255, 255));
      DrawFocusRect(dc, &focus);
    }
    RestoreDC(dc, saved);
  }
}

void TWinControl::PaintWindow(HDC dc) {
  TMessage m{WM_PAINT, reinterpret_cast<WPARAM>(dc), 0, 0};
  DefaultHandler(m);
}

void TWinControl::PaintHandler(TMessage& m) {
  HDC dc = reinterpret_cast<HDC>(m.WParam);
  PaintWindow(dc);
  PaintControls(dc, nullptr);
}

static bool HasGraphicChildren(const std::vector<TControl*>& controls) {
  for (TControl* c : controls)
    if (!c->Windowed()) return true;
  return false;
}

void TWinControl::SetDoubleBuffered(bool value) {
  if (doubleBuffered_ == value) return;
  doubleBuffered_ = value;
  Invalidate();
}

void TWinControl::WMPaint(TMessage& m) {
  bool ownPaint = ControlState.Contains(csCustomPaint) || HasGraphicChildren(controls_);
  if (!ownPaint) return DefaultHandler(m);
  if (m.WParam) return PaintHandler(m);
  if (doubleBuffered_) return PaintBuffered(m);
  Gdi::PaintDc dc(handle_);
  m.WParam = reinterpret_cast<WPARAM>(dc.get());
  PaintHandler(m);
  m.WParam = 0;
}

// The invalid part is erased and painted in a memory bitmap of its size, with
// the origin moved so that the painting code sees window coordinates, and then
// copied to the window at once.
void TWinControl::PaintBuffered(TMessage& m) {
  Gdi::PaintDc dc(handle_);
  const RECT area = dc.Info().rcPaint;
  const int w = area.right - area.left, h = area.bottom - area.top;
  if (!dc.get() || w <= 0 || h <= 0) return;
  Gdi::Bitmap bitmap;
  {
    Gdi::WindowDc screen(nullptr);
    bitmap.reset(CreateCompatibleBitmap(screen.get(), w, h));
  }
  Gdi::MemoryDc memory(bitmap.get());
  if (!bitmap || !memory) {  // no memory for the bitmap: paint straight to the window
    m.WParam = reinterpret_cast<WPARAM>(dc.get());
    PaintHandler(m);
    m.WParam = 0;
    return;
  }
  SetViewportOrgEx(memory.get(), -area.left, -area.top, nullptr);
  IntersectClipRect(memory.get(), area.left, area.top, area.right, area.bottom);
  bufferDc_ = memory.get();
  try {
    Perform(WM_ERASEBKGND, reinterpret_cast<WPARAM>(memory.get()), 0);
    m.WParam = reinterpret_cast<WPARAM>(memory.get());
    PaintHandler(m);
  } catch (...) {
    bufferDc_ = nullptr;
    m.WParam = 0;
    throw;
  }
  bufferDc_ = nullptr;
  m.WParam = 0;
  SetViewportOrgEx(memory.get(), 0, 0, nullptr);
  BitBlt(dc.get(), area.left, area.top, w, h, memory.get(), 0, 0, SRCCOPY);
}

// Painting into a DC the caller gives (WM_PRINT, PrintWindow) takes the paint path.
void TWinControl::WMPrintClient(TMessage& m) {
  bool ownPaint = ControlState.Contains(csCustomPaint) || HasGraphicChildren(controls_);
  if (!ownPaint || !m.WParam) return DefaultHandler(m);
  if (m.LParam & PRF_ERASEBKGND) {
    HDC previous = std::exchange(bufferDc_, reinterpret_cast<HDC>(m.WParam));
    Perform(WM_ERASEBKGND, m.WParam, 0);
    bufferDc_ = previous;
  }
  PaintHandler(m);
}

HBRUSH TWinControl::BackgroundBrush() {
  if (!brush_ || brushColor_ != Color()) {
    brush_.reset(CreateSolidBrush(ColorToRGB(Color())));
    brushColor_ = Color();
  }
  return brush_.get();
}

void TWinControl::WMEraseBkgnd(TMessage& m) {
  if (defWndProc_ != DefWindowProcA) return DefaultHandler(m);
  // A buffered window erases in its bitmap, never on the screen.
  if (doubleBuffered_ && handle_ && reinterpret_cast<HDC>(m.WParam) != bufferDc_ &&
      ControlState.Contains(csCustomPaint)) {
    m.Result = 1;
    return;
  }
  RECT r{};
  GetClientRect(handle_, &r);
  FillRect(reinterpret_cast<HDC>(m.WParam), &r, BackgroundBrush());
  m.Result = 1;
}

// The bounds of the window as the system sees them, in the parent's client coordinates.
static RECT WindowBounds(HWND window) {
  RECT r{};
  GetWindowRect(window, &r);
  HWND parent = (GetWindowLongPtrA(window, GWL_STYLE) & WS_CHILD) ? GetParent(window) : nullptr;
  if (parent) MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

void TWinControl::WMSize(TMessage& m) {
  DefaultHandler(m);
  RECT r = WindowBounds(handle_);
  bool resized = (r.right - r.left) != width_ || (r.bottom - r.top) != height_;
  left_ = r.left;
  top_ = r.top;
  width_ = r.right - r.left;
  height_ = r.bottom - r.top;
  if (resized) TControl::RequestAlign();
  Realign();
}

void TWinControl::WMMove(TMessage& m) {
  DefaultHandler(m);
  RECT r = WindowBounds(handle_);
  left_ = r.left;
  top_ = r.top;
}

void TWinControl::SetBounds(int left, int top, int width, int height) {
  if (left == left_ && top == top_ && width == width_ && height == height_) return;
  left_ = left;
  top_ = top;
  width_ = width;
  height_ = height;
  if (handle_) SetWindowPos(handle_, nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
  TControl::RequestAlign();
  Realign();
}

void TWinControl::RequestAlign() { TControl::RequestAlign(); }

RECT TWinControl::ClientRect() const {
  RECT r{0, 0, width_, height_};
  if (handle_) GetClientRect(handle_, &r);
  return r;
}

void TWinControl::Realign() {
  if (ComponentState().Contains(csLoading) || ComponentState().Contains(csDestroying)) return;
  if (ControlState.Contains(csAlignmentNeeded)) return;
  ControlState << csAlignmentNeeded;
  RECT r = ClientRect();
  try {
    AlignControls(nullptr, r);
  } catch (...) {
    ControlState >> csAlignmentNeeded;
    throw;
  }
  ControlState >> csAlignmentNeeded;
}

void TWinControl::AlignControls(TControl*, RECT& rect) {
  auto place = [&](TAlign which) {
    for (TControl* c : controls_) {
      if (c->Align() != which || (!c->Visible() && !c->ComponentState().Contains(csDesigning))) continue;
      int w = c->Width(), h = c->Height();
      switch (which) {
        case alTop:
          c->SetBounds(rect.left, rect.top, rect.right - rect.left, h);
          rect.top += h;
          break;
        case alBottom:
          c->SetBounds(rect.left, rect.bottom - h, rect.right - rect.left, h);
          rect.bottom -= h;
          break;
        case alLeft:
          c->SetBounds(rect.left, rect.top, w, rect.bottom - rect.top);
          rect.left += w;
          break;
        case alRight:
          c->SetBounds(rect.right - w, rect.top, w, rect.bottom - rect.top);
          rect.right -= w;
          break;
        case alClient:
          c->SetBounds(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
          break;
        default: break;
      }
    }
  };
  place(alTop);
  place(alBottom);
  place(alLeft);
  place(alRight);
  place(alClient);
}

bool TWinControl::Showing() const {
  if (!Visible()) return false;
  if (!Parent()) return handle_ && IsWindowVisible(handle_);
  return Parent()->Showing();
}

void TWinControl::UpdateShowing() {
  bool show = Visible() && (Parent() ? Parent()->HandleAllocated() : false);
  if (!Parent()) return;  // top-level windows are shown by their form
  if (show && !handle_) CreateHandle();
  if (!handle_) return;
  ShowWindow(handle_, Visible() ? SW_SHOWNA : SW_HIDE);
}

void TWinControl::CMVisibleChanged(TMessage& m) { UpdateShowing(); }

void TWinControl::SetText(const std::string& value) {
  if (GetText() == value) return;
  windowText_ = value;
  TControl::SetTextField(value);
  if (handle_) SetWindowTextA(handle_, value.c_str());
  Perform(CM_TEXTCHANGED);
}

const std::string& TWinControl::GetText() const {
  if (handle_) {
    int n = GetWindowTextLengthA(handle_);
    std::string buf(static_cast<size_t>(n) + 1, '\0');
    int got = GetWindowTextA(handle_, buf.data(), n + 1);
    buf.resize(got > 0 ? static_cast<size_t>(got) : 0);
    const_cast<TWinControl*>(this)->windowText_ = buf;
  }
  return windowText_;
}

void TWinControl::SetEnabled(bool value) {
  if (Enabled() == value) return;
  TControl::SetEnabled(value);
  if (handle_) EnableWindow(handle_, value);
}

void TWinControl::Invalidate() {
  if (handle_) InvalidateRect(handle_, nullptr, !ControlStyle.Contains(csOpaque));
}

void TWinControl::Repaint() {
  Invalidate();
  Update();
}

void TWinControl::Update() {
  if (handle_) UpdateWindow(handle_);
}

bool TWinControl::Focused() const { return handle_ && GetFocus() == handle_; }

bool TWinControl::CanFocus() const {
  for (const TWinControl* c = this; c; c = c->Parent())
    if (!c->Visible() || !c->Enabled()) return false;
  return true;
}

void TWinControl::SetFocus() {
  if (Handle()) ::SetFocus(handle_);
}

void TWinControl::FocusChild(TControl* child) {
  if (child && (child->Parent() != this || child->Windowed())) return;
  TControl* old = std::exchange(focusedChild_, child);
  if (old && old != child) old->Invalidate();
  // Already focused, the window hears of no change: the child is redrawn here.
  // WM_SETFOCUS redraws the child and tells screen readers.
  if (!Focused()) {
    if (Handle()) ::SetFocus(handle_);
    return;
  }
  if (!child) return;
  child->Invalidate();
  NotifyAccessibleEvent(EVENT_OBJECT_FOCUS, child);
}

namespace {
void CollectTabStops(const TWinControl* parent, std::vector<TControl*>& stops) {
  std::vector<TWinControl*> windows;
  for (int i = 0; i < parent->ControlCount(); ++i)
    if (TWinControl* w = AsWindowed(parent->Controls(i))) windows.push_back(w);
  // An explicit tab order comes first; the others keep their creation order.
  std::stable_sort(windows.begin(), windows.end(), [](const TWinControl* a, const TWinControl* b) {
    return (a->TabOrder < 0 ? INT_MAX : a->TabOrder) < (b->TabOrder < 0 ? INT_MAX : b->TabOrder);
  });
  for (TWinControl* w : windows) {
    if (!w->Showing() || !w->Enabled()) continue;
    if (w->TabStop()) stops.push_back(w);
    CollectTabStops(w, stops);
  }
  for (int i = 0; i < parent->ControlCount(); ++i) {
    TControl* c = parent->Controls(i);
    if (!c->Windowed() && c->CanFocusWithoutWindow()) stops.push_back(c);
  }
}
}  // namespace

std::vector<TControl*> TWinControl::TabStops() const {
  std::vector<TControl*> stops;
  CollectTabStops(this, stops);
  return stops;
}

bool TWinControl::SelectNext(bool goForward) {
  std::vector<TControl*> stops = TabStops();
  if (stops.empty()) return false;
  TControl* current = nullptr;
  if (TWinControl* focused = FindControl(GetFocus()))
    current = focused->focusedChild_ ? focused->focusedChild_ : focused;
  const size_t n = stops.size();
  size_t next = goForward ? 0 : n - 1;
  if (auto it = std::find(stops.begin(), stops.end(), current); it != stops.end()) {
    const size_t at = static_cast<size_t>(it - stops.begin());
    next = goForward ? (at + 1) % n : (at + n - 1) % n;
  }
  TControl* target = stops[next];
  if (TWinControl* w = AsWindowed(target)) {
    if (TControl* old = std::exchange(w->focusedChild_, nullptr)) old->Invalidate();
    w->SetFocus();
  } else {
    target->Parent()->FocusChild(target);
  }
  return true;
}

void TWinControl::SetTabStop(bool value) {
  if (tabStop_ == value) return;
  tabStop_ = value;
  if (handle_) {
    LONG_PTR style = GetWindowLongPtrA(handle_, GWL_STYLE);
    SetWindowLongPtrA(handle_, GWL_STYLE, value ? (style | WS_TABSTOP) : (style & ~static_cast<LONG_PTR>(WS_TABSTOP)));
  }
  Perform(CM_TABSTOPCHANGED);
}

// While a control is being destroyed its handlers may belong to an object that
// is already half gone: the focus moves of its last moments raise no events.
void TWinControl::WMSetFocus(TMessage& m) {
  DefaultHandler(m);
  if (focusedChild_) {
    focusedChild_->Invalidate();
    NotifyAccessibleEvent(EVENT_OBJECT_FOCUS, focusedChild_);
  }
  if (!ComponentState().Contains(csDestroying)) Perform(CM_ENTER);
}

void TWinControl::WMKillFocus(TMessage& m) {
  DefaultHandler(m);
  if (focusedChild_) focusedChild_->Invalidate();
  if (!ComponentState().Contains(csDestroying)) Perform(CM_EXIT);
}

void TWinControl::CMEnter(TMessage&) { DoEnter(); }
void TWinControl::CMExit(TMessage&) { DoExit(); }

void TWinControl::DoEnter() {
  if (OnEnter) OnEnter(this);
}

void TWinControl::DoExit() {
  if (OnExit) OnExit(this);
}

void TWinControl::WMSetCursor(TMessage& m) {
  if (LOWORD(m.LParam) == HTCLIENT && reinterpret_cast<HWND>(m.WParam) == handle_) {
    POINT p{};
    GetCursorPos(&p);
    ::ScreenToClient(handle_, &p);
    // A window-less child without a cursor of its own shows the window's.
    TControl* c = ControlAtPos(p);
    TCursor cur = c && c->Cursor() != crDefault ? c->Cursor() : Cursor();
    if (cur != crDefault) {
      ::SetCursor(CursorHandle(cur));
      m.Result = 1;
      return;
    }
  }
  DefaultHandler(m);
}

namespace {
// The child window a notification of the parent comes from, or null.
HWND NotifyingWindow(HWND parent, const TMessage& m) {
  switch (m.Msg) {
    case WM_NOTIFY: {
      const auto* hdr = reinterpret_cast<const NMHDR*>(m.LParam);
      return hdr ? hdr->hwndFrom : nullptr;
    }
    case WM_DRAWITEM: {
      const auto* dis = reinterpret_cast<const DRAWITEMSTRUCT*>(m.LParam);
      return dis && dis->CtlType != ODT_MENU ? dis->hwndItem : nullptr;
    }
    case WM_MEASUREITEM: {
      // The item's window does not exist yet for the first measure of a list box: found by id.
      const auto* mis = reinterpret_cast<const MEASUREITEMSTRUCT*>(m.LParam);
      return mis && mis->CtlType != ODT_MENU && parent ? GetDlgItem(parent, static_cast<int>(mis->CtlID)) : nullptr;
    }
    default:  // WM_COMMAND and WM_CTLCOLOR*: the child's window in lParam
      return reinterpret_cast<HWND>(m.LParam);
  }
}
}  // namespace

void TWinControl::WMReflect(TMessage& m) {
  if (TWinControl* child = FindControl(NotifyingWindow(handle_, m)); child && child != this) {
    m.Result = child->Perform(CN_BASE + m.Msg, m.WParam, m.LParam);
    return;
  }
  DefaultHandler(m);
}

void TWinControl::CNCtlColor(TMessage& m) {
  HDC dc = reinterpret_cast<HDC>(m.WParam);
  SetTextColor(dc, ColorToRGB(Font()->Color()));
  SetBkColor(dc, ColorToRGB(Color()));
  m.Result = reinterpret_cast<LRESULT>(BackgroundBrush());
}

void TWinControl::WMGetDlgCode(TMessage& m) {
  DefaultHandler(m);
  m.Result |= DlgCode;
}

void TWinControl::WMScroll(TMessage& m) {
  HWND bar = reinterpret_cast<HWND>(m.LParam);
  if (TWinControl* child = FindControl(bar); child && child != this) {
    m.Result = child->Perform(CN_BASE + m.Msg, m.WParam, m.LParam);
    return;
  }
  DefaultHandler(m);
}

void TWinControl::KeyDown(WORD& key, TShiftState shift) {
  if (OnKeyDown) OnKeyDown(this, key, shift);
}

void TWinControl::KeyUp(WORD& key, TShiftState shift) {
  if (OnKeyUp) OnKeyUp(this, key, shift);
}

void TWinControl::KeyPress(char& key) {
  if (OnKeyPress) OnKeyPress(this, key);
}

namespace {
// Whether the window keeps Tab for itself, as it answers WM_GETDLGCODE.
bool WantsTab(HWND window, LPARAM keyData) {
  MSG msg{window, WM_KEYDOWN, VK_TAB, keyData, 0, {0, 0}};
  const LRESULT code = SendMessageA(window, WM_GETDLGCODE, VK_TAB, reinterpret_cast<LPARAM>(&msg));
  return (code & (DLGC_WANTALLKEYS | DLGC_WANTMESSAGE | DLGC_WANTTAB)) != 0;
}
}  // namespace

// A key goes first to the top-level window's preview, then to the control's
// own handler, then to a focused window-less child (Space and Enter press
// it). Tab, when the window does not want it, goes to the top-level window,
// which offers it to every control (Ctrl+Tab changes pages) and then moves
// the focus. Enter and Escape stay with the control: a control that acts on
// Enter itself must not also press a default button.
void TWinControl::WMKeyDown(TMessage& m) {
  WORD key = static_cast<WORD>(m.WParam);
  TWinControl* top = TopLevelControl(this);
  if (top && top != this && top->Perform(CM_CHILDKEY, key, m.LParam) != 0) return;
  KeyDown(key, KeyDataToShiftState(m.LParam));
  if (key == 0) return;
  if (focusedChild_ && (key == VK_SPACE || key == VK_RETURN)) {
    if (focusedChild_->Enabled() && focusedChild_->Showing()) focusedChild_->DoDefaultAction();
    return;
  }
  if (top && key == VK_TAB && handle_ && !WantsTab(handle_, m.LParam) &&
      top->Perform(CM_DIALOGKEY, key, m.LParam) != 0)
    return;
  m.WParam = key;
  DefaultHandler(m);
}

void TWinControl::WMSysChar(TMessage& m) {
  if (TWinControl* top = TopLevelControl(this); top && top->Perform(CM_DIALOGCHAR, m.WParam, m.LParam) != 0) {
    m.Result = 0;
    return;
  }
  DefaultHandler(m);
}

void TWinControl::CMDialogBroadcast(TMessage& m) {
  m.Result = 0;
  for (TControl* c : std::vector<TControl*>(controls_)) {
    if (c->Perform(m.Msg, m.WParam, m.LParam) != 0) {
      m.Result = 1;
      return;
    }
  }
}

void TWinControl::WMGetObject(TMessage& m) {
  // Only the top-level window speaks for the window-less controls under it;
  // every window keeps the system's object for everything else.
  if (!Parent() && static_cast<LONG>(static_cast<DWORD>(m.LParam)) == OBJID_CLIENT) {
    if (LRESULT answer = AccessibleClientObject(this, m.WParam)) {
      m.Result = answer;
      return;
    }
  }
  DefaultHandler(m);
}

void TWinControl::CMDoDefaultAction(TMessage& m) {
  const std::vector<TControl*> children = AccessibleControls(this);
  if (m.WParam < 1 || m.WParam > children.size()) return;
  TControl* c = children[m.WParam - 1];
  if (c->Enabled() && c->Showing()) c->DoDefaultAction();
}

void TWinControl::WMKeyUp(TMessage& m) {
  WORD key = static_cast<WORD>(m.WParam);
  KeyUp(key, KeyDataToShiftState(m.LParam));
  if (key == 0) return;
  m.WParam = key;
  DefaultHandler(m);
}

void TWinControl::WMChar(TMessage& m) {
  char key = static_cast<char>(m.WParam);
  KeyPress(key);
  if (key == 0) return;
  m.WParam = static_cast<unsigned char>(key);
  DefaultHandler(m);
}

void TWinControl::CMColorChanged(TMessage& m) {
  for (TControl* c : std::vector<TControl*>(controls_)) c->Perform(CM_PARENTCOLORCHANGED);
  TControl::CMColorChanged(m);
}

void TWinControl::CMFontChanged(TMessage& m) {
  ApplyFont();
  for (TControl* c : std::vector<TControl*>(controls_)) c->Perform(CM_PARENTFONTCHANGED);
  TControl::CMFontChanged(m);
}

// ---------------------------------------------------------------------------
// TCustomControl

const TClassInfo& TCustomControl::StaticClass() {
  static const TClassInfo info = DefineClass<TCustomControl>("TCustomControl");
  return info;
}

TCustomControl::TCustomControl(TComponent* owner)
    : TWinControl(owner), canvas_(std::make_unique<TCanvas>()) {
  ControlState << csCustomPaint;
}

TCustomControl::~TCustomControl() = default;

void TCustomControl::PaintWindow(HDC dc) {
  TCanvasLease lease(*canvas_, dc);
  canvas_->Font()->Assign(Font());
  Paint();
}
