#pragma once
// Controls: the window-less graphic controls, the windowed controls and the
// message routing between them.

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "Classes.h"
#include "Graphics.h"
#include "Utilwindow.h"

class TWinControl;

// Border styles: forms take all of them, controls with a window border only
// bsNone and bsSingle (ControlBorderStyleNames).
enum TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
using TBorderStyle = TFormBorderStyle;
extern const std::vector<std::string> BorderStyleNames;
extern const std::vector<std::string> ControlBorderStyleNames;
class TPopupMenu;


// Views of mouse messages: key flags and the signed 16-bit position in lParam.
inline int MsgX(const TMessage& m) { return static_cast<short>(LOWORD(m.LParam)); }
inline int MsgY(const TMessage& m) { return static_cast<short>(HIWORD(m.LParam)); }
TShiftState KeysToShiftState(WPARAM keys);
TShiftState KeyDataToShiftState(LPARAM keyData);

// Framework notifications, delivered through Dispatch like window messages.
enum : UINT {
  CM_BASE = 0xB000,
  CM_DIALOGKEY = CM_BASE + 5,
  CM_DIALOGCHAR = CM_BASE + 6,
  CM_PARENTFONTCHANGED = CM_BASE + 8,
  CM_PARENTCOLORCHANGED = CM_BASE + 9,
  CM_HITTEST = CM_BASE + 10,
  CM_VISIBLECHANGED = CM_BASE + 11,
  CM_ENABLEDCHANGED = CM_BASE + 12,
  CM_COLORCHANGED = CM_BASE + 13,
  CM_FONTCHANGED = CM_BASE + 14,
  CM_CURSORCHANGED = CM_BASE + 15,
  CM_TEXTCHANGED = CM_BASE + 18,
  CM_MOUSEENTER = CM_BASE + 19,
  CM_MOUSELEAVE = CM_BASE + 20,
  CM_BUTTONPRESSED = CM_BASE + 24,
  CM_ENTER = CM_BASE + 26,
  CM_EXIT = CM_BASE + 27,
  CM_RELEASE = CM_BASE + 33,
  CM_SHOWHINTCHANGED = CM_BASE + 34,
  CM_PARENTSHOWHINTCHANGED = CM_BASE + 35,
  CM_TABSTOPCHANGED = CM_BASE + 40,
  // A key pressed in a control, offered first to its top-level window (wParam:
  // the key, lParam: the control); a result of 1 says the key was used.
  CM_CHILDKEY = CM_BASE + 44,
  // Posted to a top-level window: run the default action of the window-less
  // control with the accessible child id in wParam.
  CM_DODEFAULTACTION = CM_BASE + 45,
  // Notifications reflected from a parent window back to the child control.
  CN_BASE = 0xBC00,
  CN_CTLCOLORLISTBOX = CN_BASE + WM_CTLCOLORLISTBOX,
  CN_CTLCOLOREDIT = CN_BASE + WM_CTLCOLOREDIT,
  CN_CTLCOLORSTATIC = CN_BASE + WM_CTLCOLORSTATIC,
  CN_CTLCOLORBTN = CN_BASE + WM_CTLCOLORBTN,
  CN_COMMAND = CN_BASE + WM_COMMAND,
  CN_NOTIFY = CN_BASE + WM_NOTIFY,
  CN_DRAWITEM = CN_BASE + WM_DRAWITEM,
  CN_MEASUREITEM = CN_BASE + WM_MEASUREITEM,
  CN_HSCROLL = CN_BASE + WM_HSCROLL,
  CN_VSCROLL = CN_BASE + WM_VSCROLL,
};

enum TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };
extern const std::vector<std::string> AlignNames;

enum TControlStyleElem {
  csAcceptsControls, csCaptureMouse, csClickEvents, csFramed, csSetCaption, csOpaque,
  csDoubleClicks, csFixedWidth, csFixedHeight, csReplicatable, csNoStdEvents
};
using TControlStyle = TSet<TControlStyleElem>;
enum TControlStateElem { csLButtonDown, csClicked, csAlignmentNeeded, csCustomPaint, csDestroyingHandle };
using TControlState = TSet<TControlStateElem>;

using TCursor = int;
enum : int {
  crDefault = 0, crNone = -1, crArrow = -2, crCross = -3, crIBeam = -4, crSizeNESW = -6,
  crSizeNS = -7, crSizeNWSE = -8, crSizeWE = -9, crUpArrow = -10, crHourGlass = -11,
  crNo = -18, crAppStart = -19, crHelp = -20, crHandPoint = -21, crSizeAll = -22
};
// The system cursor of a framework cursor number (crDefault: the arrow).
HCURSOR CursorHandle(TCursor cursor);
// Cursor names (crHandPoint) as the form description writes them.
bool CursorToIdent(int64_t cursor, std::string& ident);
bool IdentToCursor(std::string_view ident, int64_t& cursor);

// Reading order and alignment of a control's text.
enum TBiDiMode { bdLeftToRight, bdRightToLeft, bdRightToLeftNoAlign, bdRightToLeftReadingOnly };
extern const std::vector<std::string> BiDiModeNames;

using TMouseEvent = TEvent<TObject*, TMouseButton, TShiftState, int, int>;
using TMouseMoveEvent = TEvent<TObject*, TShiftState, int, int>;
using TKeyEvent = TEvent<TObject*, WORD&, TShiftState>;
using TKeyPressEvent = TEvent<TObject*, char&>;
// Wheel turned by wheelDelta (WHEEL_DELTA a notch, positive away from the user)
// with the cursor at a screen point; the handler sets handled to keep it.
using TMouseWheelEvent = TEvent<TObject*, TShiftState, int, POINT, bool&>;
using TWndMethod = std::function<void(TMessage&)>;

// ---------------------------------------------------------------------------
class TControl : public TComponent {
  ZX_CLASS(TControl, TComponent)
 public:
  explicit TControl(TComponent* owner);
  ~TControl() override;

  // Message routing: WindowProc (replaceable) → WndProc → Dispatch → DefaultHandler.
  TWndMethod WindowProc;
  virtual void WndProc(TMessage& message);
  virtual void Dispatch(TMessage& message);
  virtual void DefaultHandler(TMessage& message);
  LRESULT Perform(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0);

  // True for controls with a window of their own (TWinControl and its kind).
  virtual bool Windowed() const { return false; }

  TWinControl* Parent() const { return parent_; }
  virtual void SetParent(TWinControl* parent);
  TComponent* GetParentComponent() const override;
  void SetParentComponent(TComponent* parent) override;

  int Left() const { return left_; }
  int Top() const { return top_; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  void SetLeft(int v) { SetBounds(v, top_, width_, height_); }
  void SetTop(int v) { SetBounds(left_, v, width_, height_); }
  void SetWidth(int v) { SetBounds(left_, top_, v, height_); }
  void SetHeight(int v) { SetBounds(left_, top_, width_, v); }
  virtual void SetBounds(int left, int top, int width, int height);
  RECT BoundsRect() const { return RECT{left_, top_, left_ + width_, top_ + height_}; }
  virtual RECT ClientRect() const;
  int ClientWidth() const;
  int ClientHeight() const;
  virtual void SetClientWidth(int v);
  virtual void SetClientHeight(int v);
  POINT ClientToScreen(POINT p) const;
  POINT ScreenToClient(POINT p) const;
  // Offset of this control's client area inside the nearest window (0 for windowed controls).
  POINT ClientOrigin() const;

  TAlign Align() const { return align_; }
  void SetAlign(TAlign value);
  bool Visible() const { return visible_; }
  void SetVisible(bool value);
  void Show() { SetVisible(true); }
  void Hide() { SetVisible(false); }
  // Visible and every parent visible and windowed parent has a handle.
  virtual bool Showing() const;
  bool Enabled() const { return enabled_; }
  virtual void SetEnabled(bool value);

  const std::string& Caption() const { return GetText(); }
  void SetCaption(const std::string& value) { SetText(value); }
  virtual const std::string& GetText() const { return text_; }
  virtual void SetText(const std::string& value);

  TColor Color() const { return color_; }
  void SetColor(TColor value);
  bool ParentColor() const { return parentColor_; }
  void SetParentColor(bool value);
  TFont* Font() const { return font_.get(); }
  void SetFont(TFont* value) { font_->Assign(value); }
  bool ParentFont() const { return parentFont_; }
  void SetParentFont(bool value);
  TCursor Cursor() const { return cursor_; }
  void SetCursor(TCursor value);
  const std::string& Hint() const { return hint_; }
  void SetHint(const std::string& value) { hint_ = value; }
  bool ShowHint() const { return showHint_; }
  void SetShowHint(bool value);
  bool ParentShowHint() const { return parentShowHint_; }
  void SetParentShowHint(bool value);
  TPopupMenu* PopupMenu() const { return popupMenu_; }
  void SetPopupMenu(TPopupMenu* value);
  TBiDiMode BiDiMode() const { return biDiMode_; }
  void SetBiDiMode(TBiDiMode value);
  // Right-to-left text flips the alignment (except bdRightToLeftNoAlign and
  // bdRightToLeftReadingOnly) and reads right to left (except bdLeftToRight).
  bool UseRightToLeftAlignment() const { return biDiMode_ == bdRightToLeft; }
  bool UseRightToLeftReading() const { return biDiMode_ != bdLeftToRight; }
  // DrawText flags adjusted for the reading order: DT_LEFT and DT_RIGHT swap
  // where the alignment flips, and DT_RTLREADING is added for right-to-left reading.
  UINT DrawTextBiDiModeFlags(UINT flags) const;

  TControlStyle ControlStyle;
  TControlState ControlState;

  virtual void Invalidate();
  // Invalidates and paints at once.
  virtual void Repaint();
  void Refresh() { Repaint(); }
  virtual void Update();
  void BringToFront();

  // Runs OnClick (and what a derived control adds) as a user's click does.
  virtual void Click();
  virtual void DblClick();

  // Keyboard and screen-reader access to a window-less control. A control
  // that takes the keyboard focus without a window holds it through its
  // parent's window, which draws the focus rectangle over it and hands it
  // Space and Enter as its default action.
  virtual bool CanFocusWithoutWindow() const { return false; }
  // The role a screen reader is told (a ROLE_SYSTEM_ value), or 0 when the
  // control is not shown to screen readers: by default a control that reacts
  // to a click is a push button, anything else is left out.
  virtual int AccessibleRole() const;
  // The name a screen reader reads: the caption without its accelerator mark
  // and trailing blanks, or the hint when there is no caption.
  virtual std::string AccessibleName() const;
  // The name of the default action ("Press"), empty when there is none.
  virtual std::string AccessibleDefaultAction() const;
  // Extra STATE_SYSTEM_ bits of the control's own (pressed, linked...).
  virtual unsigned AccessibleState() const { return 0; }
  // What a press by keyboard or screen reader does: a click.
  virtual void DoDefaultAction() { Click(); }
  // Where the parent draws the focus rectangle, in the control's coordinates.
  virtual RECT FocusRect() const { return RECT{2, 2, width_ - 2, height_ - 2}; }

  TNotifyEvent OnClick;
  TNotifyEvent OnDblClick;
  TMouseEvent OnMouseDown;
  TMouseEvent OnMouseUp;
  TMouseMoveEvent OnMouseMove;
  TMouseWheelEvent OnMouseWheel;

  void Notification(TComponent* component, TOperation operation) override;

 protected:
  virtual void MouseDown(TMouseButton button, TShiftState shift, int x, int y);
  virtual void MouseUp(TMouseButton button, TShiftState shift, int x, int y);
  virtual void MouseMove(TShiftState shift, int x, int y);
  // The wheel: true when the control used it; otherwise the window's default
  // handling passes it on to the parent window.
  virtual bool DoMouseWheel(TShiftState shift, int wheelDelta, POINT mousePos);
  virtual void VisibleChanging() {}
  // Invalidates the rectangle of this control in its windowed parent.
  void InvalidateControl(bool isVisible, bool isOpaque);
  virtual void RequestAlign();
  void FontChanged(TObject*);
  void SetTextField(const std::string& value) { text_ = value; }

  // Message handlers.
  void WMLButtonDown(TMessage& m);
  void WMLButtonDblClk(TMessage& m);
  void WMLButtonUp(TMessage& m);
  void WMRButtonDown(TMessage& m);
  void WMRButtonUp(TMessage& m);
  void WMRButtonDblClk(TMessage& m);
  void WMMButtonDown(TMessage& m);
  void WMMButtonUp(TMessage& m);
  void WMMouseMove(TMessage& m);
  void WMMouseWheel(TMessage& m);
  void WMContextMenu(TMessage& m);
  void CMEnabledChanged(TMessage& m);
  void CMFontChanged(TMessage& m);
  void CMColorChanged(TMessage& m);
  void CMParentFontChanged(TMessage& m);
  void CMParentColorChanged(TMessage& m);
  void CMParentShowHintChanged(TMessage& m);
  void CMHitTest(TMessage& m);
  void CMMouseEnter(TMessage& m);
  void CMMouseLeave(TMessage& m);

  int left_ = 0, top_ = 0, width_ = 0, height_ = 0;

 private:
  friend class TWinControl;
  void DoMouseDown(TMessage& m, TMouseButton button, TShiftState extra);
  void DoMouseUp(TMessage& m, TMouseButton button);

  TWinControl* parent_ = nullptr;
  TAlign align_ = alNone;
  bool visible_ = true;
  bool enabled_ = true;
  std::string text_;
  TColor color_ = clWindow;
  bool parentColor_ = false;
  std::unique_ptr<TFont> font_;
  bool parentFont_ = true;
  TCursor cursor_ = crDefault;
  std::string hint_;
  bool showHint_ = false;
  bool parentShowHint_ = true;
  TPopupMenu* popupMenu_ = nullptr;
  TBiDiMode biDiMode_ = bdLeftToRight;
};

// A control without a window: its parent paints it and routes mouse messages to it.
class TGraphicControl : public TControl {
  ZX_CLASS(TGraphicControl, TControl)
 public:
  explicit TGraphicControl(TComponent* owner);
  ~TGraphicControl() override;
  void Dispatch(TMessage& message) override;
  TCanvas* Canvas() const { return canvas_.get(); }

 protected:
  virtual void Paint() {}
  void WMPaint(TMessage& m);

 private:
  std::unique_ptr<TCanvas> canvas_;
};

// Window creation parameters, as CreateParams fills them in.
struct TCreateParams {
  std::string Caption;
  DWORD Style = 0;
  DWORD ExStyle = 0;
  int X = 0, Y = 0, Width = 0, Height = 0;
  HWND WndParent = nullptr;
  void* Param = nullptr;
  WNDCLASSA WindowClass{};
  std::string WinClassName;
  // The system class this control is built on ("LISTBOX", WC_TABCONTROLA...), or empty.
  std::string SystemClass;
};

class TWinControl : public TControl {
  ZX_CLASS(TWinControl, TControl)
  friend class TControl;

 public:
  explicit TWinControl(TComponent* owner);
  ~TWinControl() override;

  bool Windowed() const override { return true; }
  HWND Handle();
  bool HandleAllocated() const { return handle_ != nullptr; }
  // Paints into a memory bitmap and copies it to the window in one step, so
  // that the background never shows between erasing and drawing.
  bool DoubleBuffered() const { return doubleBuffered_; }
  void SetDoubleBuffered(bool value);
  void HandleNeeded() { Handle(); }
  // The window handle of the parent chain's first windowed control, for graphic children.
  HWND ParentWindow() const { return parentWindow_; }
  void SetParentWindow(HWND value) { parentWindow_ = value; }
  // Destroys and creates the window again, keeping the state that lives in it.
  void RecreateWnd();
  void DestroyHandle();

  void Dispatch(TMessage& message) override;
  void DefaultHandler(TMessage& message) override;
  void WndProc(TMessage& message) override;

  int ControlCount() const { return static_cast<int>(controls_.size()); }
  TControl* Controls(int index) const { return controls_.at(static_cast<size_t>(index)); }
  void InsertControl(TControl* control);
  void RemoveControl(TControl* control);
  // The graphic child at a client point (topmost, that is last created, first), or null.
  TControl* ControlAtPos(POINT p, bool allowDisabled = false) const;
  void PaintControls(HDC dc, TControl* first);
  void Realign();

  void SetBounds(int left, int top, int width, int height) override;
  RECT ClientRect() const override;
  bool Showing() const override;
  void SetText(const std::string& value) override;
  const std::string& GetText() const override;
  void SetEnabled(bool value) override;
  void Invalidate() override;
  void Repaint() override;
  void Update() override;

  bool Focused() const;
  bool CanFocus() const;
  virtual void SetFocus();
  // The window-less child that holds the focus while this window has it, or null.
  TControl* FocusedChild() const { return focusedChild_; }
  // Gives the focus to a window-less child through this window.
  void FocusChild(TControl* child);
  // Moves the focus to the next (or previous) stop of the tab order under
  // this window: windowed tab stops and window-less controls that take the
  // focus, each container's windows before its window-less controls.
  // Returns false when there is no stop.
  bool SelectNext(bool goForward);
  // The stops of the tab order, as SelectNext walks them.
  std::vector<TControl*> TabStops() const;
  bool TabStop() const { return tabStop_; }
  void SetTabStop(bool value);
  int TabOrder = -1;

  TNotifyEvent OnEnter;
  TNotifyEvent OnExit;
  TKeyEvent OnKeyDown;
  TKeyEvent OnKeyUp;
  TKeyPressEvent OnKeyPress;

  // The object of a window created by the framework, or null.
  static TWinControl* FindControl(HWND window);

 protected:
  virtual void CreateParams(TCreateParams& params);
  virtual void CreateWnd();
  virtual void CreateWindowHandle(const TCreateParams& params);
  virtual void DestroyWnd();
  virtual void CreateHandle();
  // Called once the window exists and its children may be created.
  virtual void CreateChildren();
  // Builds the window class on a system class (list box, tab control...).
  static void CreateSubClass(TCreateParams& params, const char* systemClass);
  virtual void PaintWindow(HDC dc);
  void PaintHandler(TMessage& m);
  virtual void AlignControls(TControl* control, RECT& rect);
  virtual void DoEnter();
  virtual void DoExit();
  virtual void KeyDown(WORD& key, TShiftState shift);
  virtual void KeyUp(WORD& key, TShiftState shift);
  virtual void KeyPress(char& key);
  void RequestAlign() override;
  void UpdateShowing();
  // The brush used to fill the background of the window (solid Color).
  HBRUSH BackgroundBrush();
  void ApplyFont();

  // Message handlers.
  void WMPaint(TMessage& m);
  void WMPrintClient(TMessage& m);
  void WMEraseBkgnd(TMessage& m);
  void WMSize(TMessage& m);
  void WMMove(TMessage& m);
  void WMSetFocus(TMessage& m);
  void WMKillFocus(TMessage& m);
  void WMSetCursor(TMessage& m);
  // Hands a child window's notification (command, notify, colour, owner draw)
  // back to the child's control as CN_BASE + the message.
  void WMReflect(TMessage& m);
  void WMKeyDown(TMessage& m);
  void WMKeyUp(TMessage& m);
  void WMChar(TMessage& m);
  // Alt+letter: offered to every control of the top-level window as CM_DIALOGCHAR.
  void WMSysChar(TMessage& m);
  void WMGetObject(TMessage& m);
  // Offers a dialog key or character to the children until one takes it.
  void CMDialogBroadcast(TMessage& m);
  void CMDoDefaultAction(TMessage& m);
  void WMMouseLeave(TMessage& m);
  void WMContextMenu(TMessage& m);
  void WMNCDestroy(TMessage& m);
  void CMEnter(TMessage& m);
  void CMExit(TMessage& m);
  void CMColorChanged(TMessage& m);
  void CMFontChanged(TMessage& m);
  void CMVisibleChanged(TMessage& m);
  void CNCtlColor(TMessage& m);

  // Keys the control keeps for itself when a dialog-key handler asks
  // (DLGC_WANTARROWS, DLGC_WANTTAB, DLGC_WANTALLKEYS, DLGC_WANTCHARS); added to
  // the answer of the window's default handling of WM_GETDLGCODE.
  UINT DlgCode = 0;
  void WMGetDlgCode(TMessage& m);
  // Scroll messages of a child scroll-bar window go back to its control as
  // CN_HSCROLL/CN_VSCROLL; those of the window's own bars stay with it.
  void WMScroll(TMessage& m);

  WNDPROC defWndProc_ = nullptr;

 private:
  friend LRESULT CALLBACK ZxWindowProc(HWND, UINT, WPARAM, LPARAM);
  bool RouteMouseToChildren(TMessage& m);
  void TrackMouse(TControl* target);
  void PaintBuffered(TMessage& m);

  HWND handle_ = nullptr;
  HWND parentWindow_ = nullptr;
  std::vector<TControl*> controls_;
  TControl* focusedChild_ = nullptr;
  bool tabStop_ = false;
  bool trackingLeave_ = false;
  bool doubleBuffered_ = false;
  HDC bufferDc_ = nullptr;  // the memory DC while a buffered paint runs
  Gdi::Brush brush_;
  TColor brushColor_ = clNone;
  std::string windowText_;  // cache for GetText
};

// A windowed control with its own canvas and Paint.
class TCustomControl : public TWinControl {
  ZX_CLASS(TCustomControl, TWinControl)
 public:
  explicit TCustomControl(TComponent* owner);
  ~TCustomControl() override;
  TCanvas* Canvas() const { return canvas_.get(); }

 protected:
  virtual void Paint() {}
  void PaintWindow(HDC dc) override;

 private:
  std::unique_ptr<TCanvas> canvas_;
};

// The control as a windowed control, or null for a window-less one.
inline TWinControl* AsWindowed(TControl* control) {
  return control && control->Windowed() ? static_cast<TWinControl*>(control) : nullptr;
}
inline const TWinControl* AsWindowed(const TControl* control) {
  return control && control->Windowed() ? static_cast<const TWinControl*>(control) : nullptr;
}

// The outermost windowed control above a control (the control itself when it
// is windowed and has no parent), or null for a window-less control without one.
TWinControl* TopLevelControl(const TControl* control);

// The control that currently holds the mouse capture for graphic children.
TControl* GetCaptureControl();
void SetCaptureControl(TControl* control);
// The control under the mouse, as enter and leave notifications were last sent.
TControl* MouseControl();
