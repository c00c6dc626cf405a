#pragma once
// The page control: a system tab control whose tabs switch between tab sheets,
// each a child window filling the area below the tabs.

#include <windows.h>

#include <vector>

#include "Controls.h"

class TTabSheet;

using TTabChangingEvent = TEvent<TObject*, bool&>;

class TPageControl : public TWinControl {
  ZX_CLASS(TPageControl, TWinControl)
 public:
  explicit TPageControl(TComponent* owner);
  ~TPageControl() override;

  void Dispatch(TMessage& message) override;
  void Loaded() override;

  // The shown sheet, or null. A sheet of another page control is ignored.
  TTabSheet* ActivePage() const { return activePage_; }
  void SetActivePage(TTabSheet* page);
  // Index of the shown sheet among all sheets, or -1; an index out of range shows none.
  int ActivePageIndex() const;
  void SetActivePageIndex(int index);
  int PageCount() const { return static_cast<int>(pages_.size()); }
  // Raises EListError for an index out of range.
  TTabSheet* Pages(int index) const;
  // Lets the tabs wrap into several rows instead of scrolling in one.
  bool MultiLine() const { return multiLine_; }
  void SetMultiLine(bool value);

  // The client area below the tabs, where the sheets lie.
  RECT DisplayRect();
  // The next sheet after (or before) current, cycling, optionally only among
  // those with a tab; null when there is no other.
  TTabSheet* FindNextPage(TTabSheet* current, bool goForward, bool checkTabVisible) const;

  // A tab was selected by the user and its sheet is now shown.
  TNotifyEvent OnChange;
  // Before the user's selection takes effect; clearing the flag keeps the current sheet.
  TTabChangingEvent OnChanging;

 protected:
  void CreateParams(TCreateParams& params) override;
  void CreateWnd() override;
  void AlignControls(TControl* control, RECT& rect) override;
  virtual bool CanChange();
  virtual void Change();

  void CNNotify(TMessage& m);
  void CMFontChanged(TMessage& m);
  // Ctrl+Tab and Ctrl+Shift+Tab show the next and the previous page.
  void CMDialogKey(TMessage& m);
  // Alt and the letter after the & of a tab's caption show that page.
  void CMDialogChar(TMessage& m);

 private:
  friend class TTabSheet;
  void InsertPage(TTabSheet* page);
  void RemovePage(TTabSheet* page);
  // Puts every sheet with a visible tab into the window again and selects the active one's tab.
  void UpdateTabs();
  void UpdateTabText(TTabSheet* page);
  void SelectActiveTab();
  int TabIndexOf(const TTabSheet* page) const;
  TTabSheet* PageForTab(int tabIndex) const;

  std::vector<TTabSheet*> pages_;
  TTabSheet* activePage_ = nullptr;
  bool multiLine_ = false;
};

class TTabSheet : public TWinControl {
  ZX_CLASS(TTabSheet, TWinControl)
 public:
  explicit TTabSheet(TComponent* owner);
  ~TTabSheet() override;

  void Dispatch(TMessage& message) override;
  // A sheet placed on a page control becomes one of its pages.
  void SetParent(TWinControl* parent) override;
  void SetParentComponent(TComponent* parent) override;

  TPageControl* PageControl() const { return pageControl_; }
  void SetPageControl(TPageControl* value) { SetParent(value); }
  // Position among the page control's sheets, or -1.
  int PageIndex() const;
  // Position among the visible tabs, or -1 when the sheet has none.
  int TabIndex() const;
  // A sheet without a visible tab cannot be chosen by the user.
  bool TabVisible() const { return tabVisible_; }
  void SetTabVisible(bool value);

 protected:
  void CMTextChanged(TMessage& m);

 private:
  friend class TPageControl;
  TPageControl* pageControl_ = nullptr;
  bool tabVisible_ = true;
};
