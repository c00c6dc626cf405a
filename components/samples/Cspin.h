#pragma once
// Spin controls: a speed button that repeats its click while held, a pair of
// them stacked as an up/down spin button, and a numeric edit with the spin
// button embedded at its right edge.

#include <windows.h>

#include "Buttons.h"
#include "Stdctrls.h"
#include "Timer.h"

enum TTimeBtnState { tfFocusRect, tfAllowRepeat };
using TTimeBtnStates = TSet<TTimeBtnState>;

class TTimerSpeedButton : public TSpeedButton {
  ZX_CLASS(TTimerSpeedButton, TSpeedButton)
 public:
  explicit TTimerSpeedButton(TComponent* owner);
  ~TTimerSpeedButton() override;

  TTimeBtnStates TimerFlags;
  // Null until the first press that repeats.
  TTimer* RepeatTimer() const { return repeatTimer_; }

 protected:
  void Paint() override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
  void TimerExpired(TObject* sender);

 private:
  TTimer* repeatTimer_ = nullptr;
};

class TCSpinButton : public TWinControl {
  ZX_CLASS(TCSpinButton, TWinControl)
 public:
  explicit TCSpinButton(TComponent* owner);

  void Dispatch(TMessage& message) override;
  void SetBounds(int left, int top, int width, int height) override;
  void Loaded() override;
  void Notification(TComponent* component, TOperation operation) override;

  TTimerSpeedButton* UpButton() const { return upButton_; }
  TTimerSpeedButton* DownButton() const { return downButton_; }
  TTimerSpeedButton* FocusedButton() const { return focusedButton_; }
  // The bitmap given, or the built-in arrow when null.
  TBitmap* GetUpGlyph() const { return upButton_->Glyph(); }
  void SetUpGlyph(TBitmap* value);
  TBitmap* GetDownGlyph() const { return downButton_->Glyph(); }
  void SetDownGlyph(TBitmap* value);
  // Takes the focus when a button is pressed with the mouse; cleared when it goes away.
  TWinControl* FocusControl() const { return focusControl_; }
  void SetFocusControl(TWinControl* value);

  TNotifyEvent OnUpClick;
  TNotifyEvent OnDownClick;

 protected:
  TTimerSpeedButton* CreateButton();
  void AdjustSize(int& width, int& height);
  void BtnClick(TObject* sender);
  void BtnMouseDown(TObject* sender, TMouseButton button, TShiftState shift, int x, int y);
  void SetFocusBtn(TTimerSpeedButton* button);
  void KeyDown(WORD& key, TShiftState shift) override;
  void WMSize(TMessage& m);
  void WMSetFocus(TMessage& m);
  void WMKillFocus(TMessage& m);

 private:
  // Whether a glyph is the built-in arrow of the resource.
  static bool IsDefaultGlyph(TBitmap* glyph, const char* resource);
  void LoadGlyph(TTimerSpeedButton* button, TBitmap* value, const char* resource);

  TTimerSpeedButton* upButton_ = nullptr;
  TTimerSpeedButton* downButton_ = nullptr;
  TTimerSpeedButton* focusedButton_ = nullptr;
  TWinControl* focusControl_ = nullptr;
};

class TCSpinEdit : public TCustomEdit {
  ZX_CLASS(TCSpinEdit, TCustomEdit)
 public:
  explicit TCSpinEdit(TComponent* owner);
  ~TCSpinEdit() override;

  void Dispatch(TMessage& message) override;

  // Plain settings: assigning them changes no shown value.
  int MinValue = 0;
  int MaxValue = 0;
  int Increment = 1;
  bool EditorEnabled = true;

  // The text as a number; a text that is none is replaced by MinValue.
  int GetValue();
  void SetValue(int value);
  // Clamped to MinValue..MaxValue unless the two are equal.
  int CheckValue(int value) const;
  TCSpinButton* Button() const { return button_; }
  int GetMinHeight();

  virtual bool IsValidChar(char key);
  virtual void UpClick(TObject* sender);
  virtual void DownClick(TObject* sender);

 protected:
  void KeyDown(WORD& key, TShiftState shift) override;
  void KeyPress(char& key) override;
  void CreateParams(TCreateParams& params) override;
  void CreateWnd() override;
  void SetEditRect();
  void WMSize(TMessage& m);
  void WMCut(TMessage& m);
  void WMPaste(TMessage& m);
  void WMSetFont(TMessage& m);
  void CMExit(TMessage& m);

 private:
  // Value + delta, stopping at the ends of the 32-bit range.
  void Step(int64_t delta);

  TCSpinButton* button_ = nullptr;
};
