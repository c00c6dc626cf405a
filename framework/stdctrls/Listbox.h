#pragma once
// The list box: a superclass of the system list box whose lines are reached
// through a TStrings that lives on the window, and on a saved list while there
// is no window, so the lines survive the window being created again.

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "Controls.h"
#include "Strings.h"

class TListBox;

// The single-line border of a control: none or a sunken edge.
// A frame drawn in the non-client area around the client: bkFlat is a plain
// one-pixel line in the button-shadow colour.
enum TBevelKind { bkNone, bkTile, bkSoft, bkFlat };
extern const std::vector<std::string> BevelKindNames;

// The lines of a list box. With a window every call is a list-box message;
// without one the lines are kept in the list box's saved list.
class TListBoxStrings : public TStrings {
  ZX_CLASS(TListBoxStrings, TStrings)
 public:
  explicit TListBoxStrings(TListBox& listBox) : listBox_(listBox) {}

  int Count() const override;
  std::string Get(int index) const override;
  void Put(int index, const std::string& text) override;
  TObject* GetObject(int index) const override;
  void PutObject(int index, TObject* object) override;
  void Insert(int index, const std::string& text) override;
  void Delete(int index) override;
  void Clear() override;
  int Add(const std::string& text) override;

 protected:
  void SetUpdateState(bool updating) override;

 private:
  // The window when it exists, else null (then the saved list is used).
  HWND Window() const;
  TStringList& Saved() const;
  TListBox& listBox_;
};

class TListBox : public TWinControl {
  ZX_CLASS(TListBox, TWinControl)
 public:
  explicit TListBox(TComponent* owner);
  ~TListBox() override;

  void Dispatch(TMessage& message) override;

  TStrings* Items() const { return items_.get(); }
  void SetItems(TStrings* value) { items_->Assign(value); }

  bool MultiSelect() const { return multiSelect_; }
  void SetMultiSelect(bool value);
  bool ExtendedSelect() const { return extendedSelect_; }
  void SetExtendedSelect(bool value);
  bool Sorted() const { return sorted_; }
  void SetSorted(bool value);
  int ItemHeight() const { return itemHeight_; }
  void SetItemHeight(int value);
  TBorderStyle BorderStyle() const { return borderStyle_; }
  void SetBorderStyle(TBorderStyle value);
  TBevelKind BevelKind() const { return bevelKind_; }
  void SetBevelKind(TBevelKind value);

  // The current line: with multiple selection the line with the focus
  // rectangle (selected or not), otherwise the selected line; -1 for none.
  int ItemIndex() const;
  void SetItemIndex(int value);
  bool Selected(int index) const;
  void SetSelected(int index, bool value);
  int SelCount() const;
  int TopIndex() const;
  void SetTopIndex(int value);
  void Clear() { items_->Clear(); }

 protected:
  void CreateParams(TCreateParams& params) override;
  void CreateWnd() override;
  void DestroyWnd() override;

  void CNCommand(TMessage& m);
  void WMSetFont(TMessage& m);
  void WMNCCalcSize(TMessage& m);
  void WMNCPaint(TMessage& m);
  void WMPrint(TMessage& m);
  void LBInsertString(TMessage& m);
  void LBDeleteString(TMessage& m);
  void LBResetContent(TMessage& m);
  void WMNCDestroy(TMessage& m);

 private:
  friend class TListBoxStrings;
  // Draws the bevel on a DC of the whole window (origin at its top-left corner).
  void PaintBevel(HDC windowDc);
  int BevelWidth() const { return bevelKind_ == bkNone ? 0 : 1; }
  // The window's border and bevel changed: let the system ask for the frame again.
  void FrameChanged();
  // Lines were added or removed while there is no window: the saved selection
  // no longer points at the same lines.
  void ForgetSavedSelection();

  std::unique_ptr<TListBoxStrings> items_;
  // The lines while there is no window, with the state that lives in the window.
  std::unique_ptr<TStringList> saved_;
  // The window's lines as it was given them, so that reading a line needs no
  // message: kept in step by watching every message that adds or removes one.
  std::vector<std::string> texts_;
  std::vector<int> savedSelection_;
  int savedItemIndex_ = -1;
  int savedTopIndex_ = 0;

  bool multiSelect_ = false;
  bool extendedSelect_ = true;
  bool sorted_ = false;
  int itemHeight_ = 16;
  TBorderStyle borderStyle_ = bsSingle;
  TBevelKind bevelKind_ = bkNone;
};
