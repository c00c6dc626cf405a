#pragma once
// Pop-up menus and their items.

#include <windows.h>

#include <vector>

#include "Classes.h"
#include "Controls.h"

class TImageList;
class TPopupMenu;

class TMenuItem : public TComponent {
  ZX_CLASS(TMenuItem, TComponent)
 public:
  explicit TMenuItem(TComponent* owner);
  ~TMenuItem() override;

  const std::string& Caption() const { return caption_; }
  void SetCaption(const std::string& value) { caption_ = value; }
  bool Checked() const { return checked_; }
  void SetChecked(bool value) { checked_ = value; }
  bool Default() const { return default_; }
  void SetDefault(bool value) { default_ = value; }
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool value) { enabled_ = value; }
  bool Visible() const { return visible_; }
  void SetVisible(bool value) { visible_ = value; }
  int ImageIndex() const { return imageIndex_; }
  void SetImageIndex(int value) { imageIndex_ = value; }
  bool IsLine() const { return caption_ == "-"; }

  int Count() const { return static_cast<int>(items_.size()); }
  TMenuItem* Items(int index) const { return items_.at(static_cast<size_t>(index)); }
  TMenuItem* ParentItem() const { return parent_; }
  void Add(TMenuItem* item);
  void Remove(TMenuItem* item);
  // The menu this item belongs to (through its parents), or null.
  TPopupMenu* Menu() const;

  virtual void Click();
  TNotifyEvent OnClick;

  TComponent* GetParentComponent() const override;
  void SetParentComponent(TComponent* parent) override;

 private:
  friend class TPopupMenu;
  std::string caption_;
  bool checked_ = false;
  bool default_ = false;
  bool enabled_ = true;
  bool visible_ = true;
  int imageIndex_ = -1;
  TMenuItem* parent_ = nullptr;
  TPopupMenu* menu_ = nullptr;  // set on the root item only
  std::vector<TMenuItem*> items_;
};

class TPopupMenu : public TComponent {
  ZX_CLASS(TPopupMenu, TComponent)
 public:
  explicit TPopupMenu(TComponent* owner);
  ~TPopupMenu() override;

  TMenuItem* Items() const { return items_.get(); }
  TImageList* Images() const { return images_; }
  void SetImages(TImageList* value);
  // Shows the menu at a screen point and runs the chosen item's Click.
  virtual void Popup(int x, int y);
  // The utility window that owns the menu while it is shown.
  HWND WindowHandle() const { return window_; }
  TNotifyEvent OnPopup;

  void Notification(TComponent* component, TOperation operation) override;

 protected:
  // Item layout and painting of owner-drawn items (used when Images is set).
  virtual void MeasureItem(TMenuItem* item, MEASUREITEMSTRUCT& mis);
  virtual void DrawItem(TMenuItem* item, const DRAWITEMSTRUCT& dis);

 private:
  HMENU BuildMenu(TMenuItem* parent, std::vector<TMenuItem*>& ids);
  void WndProc(TMessage& m);
  std::unique_ptr<TMenuItem> items_;
  TImageList* images_ = nullptr;
  HWND window_ = nullptr;
};
