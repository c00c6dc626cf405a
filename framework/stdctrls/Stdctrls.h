#pragma once
// Edit fields and push buttons, built on the system's EDIT and BUTTON classes,
// and the dialog keys that let a form made of them work like a dialog box:
// Enter presses the default button, Escape the cancel button, Tab moves on.

#include <windows.h>

#include <string>

#include "Controls.h"

// The single-line border of a control: none or a sunken edge.

// What a button sets as its form's ModalResult (the dialog-box command ids).
using TModalResult = int;
inline constexpr TModalResult mrNone = 0;
inline constexpr TModalResult mrOk = IDOK;
inline constexpr TModalResult mrCancel = IDCANCEL;

// Offers a dialog key to the form that holds `from`: Enter and Escape go to
// every control of the form until a default or cancel button takes it, Tab
// (with Shift: backwards) moves the focus to the next control that takes it.
// Returns true when the key was used.
bool SendDialogKey(TWinControl* from, WORD key);

class TCustomEdit : public TWinControl {
  ZX_CLASS(TCustomEdit, TWinControl)
 public:
  explicit TCustomEdit(TComponent* owner);

  void Dispatch(TMessage& message) override;

  std::string Text() const { return GetText(); }
  // At most this many characters can be typed; 0 is no limit of our own. A
  // text set by the program is kept whole.
  int MaxLength() const { return maxLength_; }
  void SetMaxLength(int value);
  bool ReadOnly() const { return readOnly_; }
  void SetReadOnly(bool value);
  // Selects the whole text whenever the field gains the focus from the
  // keyboard or the program; a click into it places the caret instead.
  bool AutoSelect() const { return autoSelect_; }
  void SetAutoSelect(bool value) { autoSelect_ = value; }
  TBorderStyle BorderStyle() const { return borderStyle_; }
  void SetBorderStyle(TBorderStyle value);

  void SelectAll();
  int SelStart() const;
  void SetSelStart(int value);
  int SelLength() const;
  void SetSelLength(int value);
  void Clear() { SetText(std::string()); }

  TNotifyEvent OnChange;

 protected:
  void CreateParams(TCreateParams& params) override;
  void CreateWnd() override;
  virtual void Change();

  void CNCommand(TMessage& m);
  void CMEnter(TMessage& m);
  void CMTextChanged(TMessage& m);
  void ChangeIfTextChanged();
  void WMKeyDown(TMessage& m);
  void WMChar(TMessage& m);
  void WMLButtonDown(TMessage& m);
  void WMLButtonUp(TMessage& m);
  void WMCaptureChanged(TMessage& m);

 private:
  // The selection as the window reports it (start, end).
  std::pair<int, int> Selection() const;

  int maxLength_ = 0;
  bool readOnly_ = false;
  bool autoSelect_ = true;
  TBorderStyle borderStyle_ = bsSingle;
  // The character that follows a dialog key already handled, not to be typed.
  bool swallowChar_ = false;
  // The text as the last change reported it.
  std::string changedText_;
};

class TEdit : public TCustomEdit {
  ZX_CLASS(TEdit, TCustomEdit)
 public:
  explicit TEdit(TComponent* owner) : TCustomEdit(owner) {}
};

class TButton : public TWinControl {
  ZX_CLASS(TButton, TWinControl)
 public:
  explicit TButton(TComponent* owner);

  void Dispatch(TMessage& message) override;
  // Sets the form's ModalResult to the button's, then runs OnClick.
  void Click() override;

  // Enter anywhere on the form presses the default button.
  bool Default() const { return default_; }
  void SetDefault(bool value);
  // Escape anywhere on the form presses the cancel button.
  bool Cancel() const { return cancel_; }
  void SetCancel(bool value) { cancel_ = value; }
  TModalResult ModalResult() const { return modalResult_; }
  void SetModalResult(TModalResult value) { modalResult_ = value; }

 protected:
  void CreateParams(TCreateParams& params) override;

  void CNCommand(TMessage& m);
  void CMDialogKey(TMessage& m);
  void WMKeyDown(TMessage& m);
  void WMChar(TMessage& m);

 private:
  bool default_ = false;
  bool cancel_ = false;
  TModalResult modalResult_ = mrNone;
  bool swallowChar_ = false;
};
