#include "Cspin.h"

#include <algorithm>
#include <climits>

#include "Locale.h"

namespace {
constexpr const char* kUpResource = "SpinUp";
constexpr const char* kDownResource = "SpinDown";
constexpr unsigned kFirstRepeat = 400;
constexpr unsigned kNextRepeat = 100;
}  // namespace

// ---------------------------------------------------------------------------
const TClassInfo& TTimerSpeedButton::StaticClass() {
  static const TClassInfo info = DefineClass<TTimerSpeedButton>("TTimerSpeedButton");
  return info;
}

TTimerSpeedButton::TTimerSpeedButton(TComponent* owner) : TSpeedButton(owner) {}

TTimerSpeedButton::~TTimerSpeedButton() = default;  // the timer is owned and freed with the button

void TTimerSpeedButton::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  inherited::MouseDown(button, shift, x, y);
  if (!TimerFlags.Contains(tfAllowRepeat)) return;
  if (!repeatTimer_) {
    repeatTimer_ = new TTimer(this);
    repeatTimer_->SetOnTimer(TNotifyEvent(this, &TTimerSpeedButton::TimerExpired));
  }
  repeatTimer_->SetInterval(kFirstRepeat);
  repeatTimer_->SetEnabled(true);
}

void TTimerSpeedButton::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  inherited::MouseUp(button, shift, x, y);
  if (repeatTimer_) repeatTimer_->SetEnabled(false);
}

void TTimerSpeedButton::TimerExpired(TObject*) {
  repeatTimer_->SetInterval(kNextRepeat);
  // Dragged off the held button it is not pressed: no clicks until it returns.
  if (State() != bsDown || GetCaptureControl() != this) return;
  try {
    Click();
  } catch (...) {
    repeatTimer_->SetEnabled(false);
    throw;
  }
}

void TTimerSpeedButton::Paint() {
  inherited::Paint();
  if (!TimerFlags.Contains(tfFocusRect)) return;
  RECT r{0, 0, Width(), Height()};
  InflateRect(&r, -3, -3);
  if (State() == bsDown) OffsetRect(&r, 1, 1);
  Canvas()->DrawFocusRect(r);
}

// ---------------------------------------------------------------------------
const TClassInfo& TCSpinButton::StaticClass() {
  static const TClassInfo info = DefineClass<TCSpinButton>("TCSpinButton", [](TClassBuilder<TCSpinButton>& c) {
    c.Obj("DownGlyph", &TCSpinButton::GetDownGlyph)
        .Stored([](TCSpinButton& b) { return !IsDefaultGlyph(b.GetDownGlyph(), kDownResource); })
        .Ref<TWinControl>("FocusControl", &TCSpinButton::FocusControl, &TCSpinButton::SetFocusControl)
        .Obj("UpGlyph", &TCSpinButton::GetUpGlyph)
        .Stored([](TCSpinButton& b) { return !IsDefaultGlyph(b.GetUpGlyph(), kUpResource); })
        .Event("OnDownClick", &TCSpinButton::OnDownClick)
        .Event("OnUpClick", &TCSpinButton::OnUpClick);
  });
  return info;
}

TCSpinButton::TCSpinButton(TComponent* owner) : TWinControl(owner) {
  ControlStyle = ControlStyle - csAcceptsControls - csSetCaption + csFramed + csOpaque;
  // Dialog navigation leaves the arrow keys to the buttons.
  DlgCode = DLGC_WANTARROWS;
  upButton_ = CreateButton();
  downButton_ = CreateButton();
  focusedButton_ = upButton_;
  SetUpGlyph(nullptr);
  SetDownGlyph(nullptr);
  SetWidth(20);
  SetHeight(25);
}

void TCSpinButton::Dispatch(TMessage& m) {
  switch (m.Msg) {
    case WM_SIZE: return WMSize(m);
    case WM_SETFOCUS: return WMSetFocus(m);
    case WM_KILLFOCUS: return WMKillFocus(m);
    default: return inherited::Dispatch(m);
  }
}

TTimerSpeedButton* TCSpinButton::CreateButton() {
  auto* button = new TTimerSpeedButton(this);
  button->OnClick = TNotifyEvent(this, &TCSpinButton::BtnClick);
  button->OnMouseDown = TMouseEvent(this, &TCSpinButton::BtnMouseDown);
  button->SetVisible(true);
  button->SetEnabled(true);
  button->TimerFlags << tfAllowRepeat;
  button->SetNumGlyphs(1);
  button->SetParent(this);
  return button;
}

bool TCSpinButton::IsDefaultGlyph(TBitmap* glyph, const char* resource) {
  TBitmap builtIn;
  builtIn.LoadFromResourceName(GetModuleHandleA(nullptr), resource);
  return glyph->SaveToData() == builtIn.SaveToData();
}

void TCSpinButton::LoadGlyph(TTimerSpeedButton* button, TBitmap* value, const char* resource) {
  if (value) {
    button->SetGlyph(value);
    return;
  }
  button->Glyph()->LoadFromResourceName(GetModuleHandleA(nullptr), resource);
  button->SetNumGlyphs(1);
  button->Invalidate();
}

void TCSpinButton::SetUpGlyph(TBitmap* value) { LoadGlyph(upButton_, value, kUpResource); }
void TCSpinButton::SetDownGlyph(TBitmap* value) { LoadGlyph(downButton_, value, kDownResource); }

void TCSpinButton::SetFocusControl(TWinControl* value) {
  if (value == focusControl_) return;
  if (focusControl_) focusControl_->RemoveFreeNotification(this);
  focusControl_ = value;
  if (value) value->FreeNotification(this);
}

void TCSpinButton::Notification(TComponent* component, TOperation operation) {
  inherited::Notification(component, operation);
  if (operation == opRemove && component == focusControl_) focusControl_ = nullptr;
}

void TCSpinButton::AdjustSize(int& width, int& height) {
  if (!upButton_) return;
  if (width < 15) width = 15;
  upButton_->SetBounds(0, 0, width, height / 2);
  const int up = upButton_->Height();
  // The buttons overlap by one row.
  downButton_->SetBounds(0, up - 1, width, height - up + 1);
}

void TCSpinButton::SetBounds(int left, int top, int width, int height) {
  AdjustSize(width, height);
  inherited::SetBounds(left, top, width, height);
}

void TCSpinButton::WMSize(TMessage& m) {
  inherited::Dispatch(m);
  int w = Width(), h = Height();
  AdjustSize(w, h);
  if (w != Width() || h != Height()) inherited::SetBounds(Left(), Top(), w, h);
  m.Result = 0;
}

void TCSpinButton::Loaded() {
  inherited::Loaded();
  int w = Width(), h = Height();
  AdjustSize(w, h);
  if (w != Width() || h != Height()) inherited::SetBounds(Left(), Top(), w, h);
}

void TCSpinButton::SetFocusBtn(TTimerSpeedButton* button) {
  if (!TabStop() || !CanFocus() || button == focusedButton_) return;
  focusedButton_->TimerFlags >> tfFocusRect;
  focusedButton_ = button;
  if (HandleAllocated() && GetFocus() == Handle()) {
    button->TimerFlags << tfFocusRect;
    Invalidate();
  }
}

void TCSpinButton::WMSetFocus(TMessage& m) {
  focusedButton_->TimerFlags << tfFocusRect;
  focusedButton_->Invalidate();
  inherited::Dispatch(m);
}

void TCSpinButton::WMKillFocus(TMessage& m) {
  focusedButton_->TimerFlags >> tfFocusRect;
  focusedButton_->Invalidate();
  inherited::Dispatch(m);
}

void TCSpinButton::KeyDown(WORD& key, TShiftState shift) {
  inherited::KeyDown(key, shift);
  switch (key) {
    case VK_SPACE: focusedButton_->Click(); break;
    case VK_UP:
      SetFocusBtn(upButton_);
      upButton_->Click();
      break;
    case VK_DOWN:
      SetFocusBtn(downButton_);
      downButton_->Click();
      break;
    default: break;
  }
}

void TCSpinButton::BtnClick(TObject* sender) {
  if (sender == upButton_) {
    if (OnUpClick) OnUpClick(this);
  } else if (OnDownClick) {
    OnDownClick(this);
  }
}

void TCSpinButton::BtnMouseDown(TObject* sender, TMouseButton button, TShiftState, int, int) {
  if (button != mbLeft) return;
  SetFocusBtn(static_cast<TTimerSpeedButton*>(sender));
  if (focusControl_ && focusControl_->TabStop() && focusControl_->CanFocus() &&
      GetFocus() != focusControl_->Handle())
    focusControl_->SetFocus();
  else if (TabStop() && GetFocus() != Handle() && CanFocus())
    SetFocus();
}

// ---------------------------------------------------------------------------
const TClassInfo& TCSpinEdit::StaticClass() {
  static const TClassInfo info = DefineClass<TCSpinEdit>("TCSpinEdit", [](TClassBuilder<TCSpinEdit>& c) {
    c.Bool("TabStop", &TCSpinEdit::TabStop, &TCSpinEdit::SetTabStop, true)
        .Bool("EditorEnabled", &TCSpinEdit::EditorEnabled, &TCSpinEdit::EditorEnabled, true)
        .Int("Increment", &TCSpinEdit::Increment, &TCSpinEdit::Increment, 1)
        .Int("MaxValue", &TCSpinEdit::MaxValue, &TCSpinEdit::MaxValue, 0)
        .Int("MinValue", &TCSpinEdit::MinValue, &TCSpinEdit::MinValue, 0)
        // The value is the text: only Value is written.
        .Str("Text", &TCSpinEdit::Text, &TCSpinEdit::SetText)
        .Stored([](TCSpinEdit&) { return false; })
        .Int("Value", &TCSpinEdit::GetValue, &TCSpinEdit::SetValue, 0);
  });
  return info;
}

TCSpinEdit::TCSpinEdit(TComponent* owner) : TCustomEdit(owner) {
  button_ = new TCSpinButton(this);
  button_->SetWidth(15);
  button_->SetHeight(17);
  button_->SetVisible(true);
  button_->SetParent(this);
  button_->SetFocusControl(this);
  button_->OnUpClick = TNotifyEvent([this](TObject* sender) { UpClick(sender); });
  button_->OnDownClick = TNotifyEvent([this](TObject* sender) { DownClick(sender); });
  SetText("0");
  ControlStyle >> csSetCaption;
}

// The embedded button is owned by the edit and goes with it.
TCSpinEdit::~TCSpinEdit() { button_ = nullptr; }

void TCSpinEdit::Dispatch(TMessage& m) {
  switch (m.Msg) {
    case WM_SIZE: return WMSize(m);
    case WM_CUT: return WMCut(m);
    case WM_PASTE: return WMPaste(m);
    case WM_SETFONT: return WMSetFont(m);
    case CM_EXIT: return CMExit(m);
    default: return inherited::Dispatch(m);
  }
}

int TCSpinEdit::CheckValue(int value) const {
  if (MaxValue == MinValue) return value;
  if (value < MinValue) return MinValue;
  if (value > MaxValue) return MaxValue;
  return value;
}

int TCSpinEdit::GetValue() {
  int value = 0;
  if (TryStrToInt(Text(), value)) return value;
  SetText(IntToStr(MinValue));
  return MinValue;
}

void TCSpinEdit::SetValue(int value) { SetText(IntToStr(CheckValue(value))); }

void TCSpinEdit::Step(int64_t delta) {
  SetValue(static_cast<int>(std::clamp<int64_t>(int64_t{GetValue()} + delta, INT_MIN, INT_MAX)));
}

void TCSpinEdit::UpClick(TObject*) {
  if (ReadOnly()) MessageBeep(0);
  else Step(Increment);
}

void TCSpinEdit::DownClick(TObject*) {
  if (ReadOnly()) MessageBeep(0);
  else Step(-int64_t{Increment});
}

bool TCSpinEdit::IsValidChar(char key) {
  const auto code = static_cast<unsigned char>(key);
  bool valid = key == DecimalSeparator() || key == '+' || key == '-' || (key >= '0' && key <= '9') ||
               (code < 32 && code != '\r');
  // Without the editor only control keys other than backspace pass (the clipboard shortcuts).
  if (valid && !EditorEnabled && (code >= 32 || code == '\b')) valid = false;
  return valid;
}

void TCSpinEdit::KeyPress(char& key) {
  if (!IsValidChar(key)) {
    key = 0;
    MessageBeep(0);
  }
  if (key != 0) inherited::KeyPress(key);
}

void TCSpinEdit::KeyDown(WORD& key, TShiftState shift) {
  if (key == VK_UP) UpClick(this);
  else if (key == VK_DOWN) DownClick(this);
  inherited::KeyDown(key, shift);
}

void TCSpinEdit::WMCut(TMessage& m) {
  if (EditorEnabled && !ReadOnly()) inherited::Dispatch(m);
}

void TCSpinEdit::WMPaste(TMessage& m) {
  if (EditorEnabled && !ReadOnly()) inherited::Dispatch(m);
}

void TCSpinEdit::WMSetFont(TMessage& m) {
  // The system edit resets its formatting rectangle with a new font.
  inherited::Dispatch(m);
  SetEditRect();
}

void TCSpinEdit::CMExit(TMessage& m) {
  if (CheckValue(GetValue()) != GetValue()) SetValue(GetValue());
  inherited::Dispatch(m);
}

void TCSpinEdit::CreateParams(TCreateParams& params) {
  inherited::CreateParams(params);
  params.Style |= ES_MULTILINE | WS_CLIPCHILDREN;
}

void TCSpinEdit::CreateWnd() {
  inherited::CreateWnd();
  SetEditRect();
}

void TCSpinEdit::SetEditRect() {
  if (!HandleAllocated() || !button_) return;
  // The text never runs under the buttons.
  RECT r{0, 0, ClientWidth() - button_->Width() - 2, ClientHeight() + 1};
  SendMessageA(Handle(), EM_SETRECTNP, 0, reinterpret_cast<LPARAM>(&r));
}

int TCSpinEdit::GetMinHeight() {
  HDC dc = GetDC(nullptr);
  TEXTMETRICA system{}, font{};
  GetTextMetricsA(dc, &system);
  HGDIOBJ old = SelectObject(dc, Font()->Handle());
  GetTextMetricsA(dc, &font);
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  const int smaller = std::min(system.tmHeight, font.tmHeight);
  return font.tmHeight + smaller / 4 + 4 * GetSystemMetrics(SM_CYBORDER) + 2;
}

void TCSpinEdit::WMSize(TMessage& m) {
  inherited::Dispatch(m);
  const int minHeight = GetMinHeight();
  if (Height() < minHeight) {
    // The new size message lays out the button.
    SetHeight(minHeight);
    return;
  }
  if (button_) {
    // Inside the sunken edge of the field.
    const int bw = button_->Width();
    button_->SetBounds(Width() - bw - 5, 0, bw, Height() - 5);
  }
  SetEditRect();
}
