#pragma once
// The outline: a tree of text items shown one visible item per grid row.
//
// Every item has a number, its place in a pre-order walk of the whole tree
// (collapsed parts included), starting at 1; the invisible root is 0. Numbers
// are cached in the nodes and renumbered lazily: the outline remembers the last
// node up to which the cached numbers are right (the index mark), and a node
// after the mark renumbers the stretch from the mark to itself when its number
// is asked for. A second count per node, the visible descendants, maps grid
// rows to nodes without walking collapsed parts.

#include <windows.h>

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "Filer.h"
#include "Grids.h"
#include "Strings.h"

class TCustomOutline;
class TStream;

class TOutlineNode : public TPersistent {
  ZX_CLASS(TOutlineNode, TPersistent)
 public:
  explicit TOutlineNode(TCustomOutline* owner);
  // Frees the subtree; a node that still has a parent leaves it and keeps the
  // outline's counts, numbering, selection and rows consistent.
  ~TOutlineNode() override;
  TOutlineNode(const TOutlineNode&) = delete;
  TOutlineNode& operator=(const TOutlineNode&) = delete;

  const std::string& Text() const { return text_; }
  void SetText(const std::string& value);
  void* Data() const { return data_; }
  void SetData(void* value) { data_ = value; }
  TOutlineNode* Parent() const { return parent_; }
  bool Expanded() const { return expanded_; }
  void SetExpanded(bool value);
  void Expand() { SetExpanded(true); }
  void Collapse() { SetExpanded(false); }
  void ExpandAll();
  void FullExpand() { ExpandAll(); }
  TCustomOutline* OwnerOutline() const { return outline_; }
  int VisibleCount() const { return visibleCount_; }

  int Level() const;
  int GetIndex();
  int ChildCount() const { return static_cast<int>(children_.size()); }
  TOutlineNode* Child(int i) const { return children_.at(static_cast<size_t>(i)); }
  bool HasChildren() const { return !children_.empty(); }
  std::string Path() const;
  int FirstChildIndex();
  int LastChildIndex();
  int NextChildIndex(int index);
  bool IsVisible() const;
  TOutlineNode* NearestVisible();
  int DisplayWidth();
  int MaxDisplayWidth(int width);
  // The k-th visible descendant in pre-order; k = 0 is the node itself.
  TOutlineNode* FindVisible(int k);
  // Counts rows in pre-order up to x over expanded nodes; see CountRowsTo's use in RowOf.
  bool CountRowsTo(const TOutlineNode* x, int& count);
  // Position in the parent's child list (-1 for the root).
  int Position() const { return position_; }
  bool IsLastChild() const;
  TOutlineNode* PrevSibling() const;
  TOutlineNode* NextSibling() const;

 private:
  friend class TCustomOutline;
  void AdjustVisibleCount(int delta);
  void CollapseSubtree();
  void Changed();
  // Appends without any bookkeeping (the loader's fast path).
  void AppendRaw(TOutlineNode* node);
  void InsertAt(int position, TOutlineNode* node);
  void RemoveAt(int position);
  // The next node in a pre-order walk of the whole tree, or null at the end.
  TOutlineNode* NextInPreorder() const;

  std::vector<TOutlineNode*> children_;
  std::string text_;
  void* data_ = nullptr;
  TOutlineNode* parent_ = nullptr;
  int index_ = -1;
  int position_ = -1;
  bool expanded_ = false;
  TCustomOutline* outline_;
  int visibleCount_ = 0;
};

// The item view through which the framework streams the items: line i is item
// i + 1, indented by one TAB per level below the top.
class TOutlineStrings : public TStrings {
  ZX_CLASS(TOutlineStrings, TStrings)
 public:
  explicit TOutlineStrings(TCustomOutline* outline) : outline_(outline) {}
  int Count() const override;
  std::string Get(int index) const override;
  TObject* GetObject(int index) const override;
  void PutObject(int index, TObject* object) override;
  int Add(const std::string& text) override;
  void Insert(int index, const std::string& text) override;
  void Delete(int index) override;
  void Clear() override;
  TCustomOutline* Outline() const { return outline_; }
  // The items stream as one property "Nodes": their lines in the text format.
  void DefineProperties(TFiler* filer) override;

 private:
  void ReadNodes(TReader& reader);
  void WriteNodes(TWriter& writer);
  // Whether the items differ from those of the ancestor's outline (none: any item).
  bool HasNodes(TFiler* filer) const;
  TCustomOutline* outline_;
};

enum TOutlineDrawStyle {
  dsText, dsPlusMinusText, dsPictureText, dsPlusMinusPictureText, dsTreeText, dsTreePictureText
};
enum TOutlineType { otStandard, otOwnerDraw };
extern const std::vector<std::string> OutlineTypeNames;
enum TOutlineOption { ooDrawTreeRoot, ooDrawFocusRect, ooStretchBitmaps };
using TOutlineOptions = TSet<TOutlineOption>;
extern const std::vector<std::string> OutlineOptionNames;
enum TOwnerDrawStateElem { odSelected, odGrayed, odDisabled, odChecked, odFocused };
using TOwnerDrawState = TSet<TOwnerDrawStateElem>;
using TOutlineEvent = TEvent<TObject*, int>;
using TDrawItemEvent = TEvent<TWinControl*, int, RECT, TOwnerDrawState>;

enum TOutlinePicture { opPlus, opMinus, opOpen, opClosed, opLeaf };

// String-table ids of the outline's errors.
enum : unsigned {
  SInvalidSelection = 65456,
  SOutlineFileLoad = 65457,
  SOutlineLongLine = 65458,
  SOutlineMaxLevels = 65459,
  SOutlineIndexError = 65482,
  SOutlineExpandError = 65483,
  SInvalidOutlineIndex = 65487,
};
// Raises EOutlineError with the string-table text `id`.
[[noreturn]] void OutlineFail(unsigned id);

class TCustomOutline : public TCustomGrid {
  ZX_CLASS(TCustomOutline, TCustomGrid)
 public:
  explicit TCustomOutline(TComponent* owner);
  ~TCustomOutline() override;

  void Dispatch(TMessage& message) override;
  void Loaded() override;
  // The set of assigned pictures streams as the binary property "Data".
  void DefineProperties(TFiler* filer) override;

  // Items, by number (1-based).
  TOutlineNode* GetItem(int index);
  TOutlineNode* Items(int index) { return GetItem(index); }
  int ItemCount();
  int AddChild(int index, const std::string& text, void* data = nullptr);
  int AddSibling(int index, const std::string& text, void* data = nullptr);
  int InsertBefore(int index, const std::string& text, void* data = nullptr);
  void Delete(int index);
  void Clear();
  void LoadFromStream(TStream& stream);
  void SaveToStream(TStream& stream);
  TOutlineNode* RootNode() const { return root_; }
  TOutlineStrings* Strings() const { return strings_.get(); }
  const std::string& PathSeparator() const { return pathSeparator_; }
  void SetPathSeparator(const std::string& value) { pathSeparator_ = value; }
  // Pre-order relation: 0 a before b, 1 the same node, 2 a after b, 3 one is the root.
  static int CompareOrder(const TOutlineNode* a, const TOutlineNode* b);
  void FullExpand() { root_->ExpandAll(); }
  void FullCollapse();

  // Selection and rows.
  int SelectedIndex();
  void SetSelectedIndex(int index);
  TOutlineNode* SelectedItem() const { return selectedItem_; }
  int RowOf(const TOutlineNode* node) const;
  void SelectRowOf(TOutlineNode* node);
  bool UpdateRowCount();
  void AdjustScrollWidth();
  int NodeDisplayWidth(TOutlineNode* node);
  void ToggleItem(TOutlineNode* node) { node->SetExpanded(!node->Expanded()); }

  // Looks.
  TOutlineDrawStyle DrawStyle() const { return drawStyle_; }
  void SetDrawStyle(TOutlineDrawStyle value);
  int ItemHeight() const { return itemHeight_; }
  void SetItemHeight(int value);
  int FontHeight() const { return fontHeight_; }
  TOutlineType Style() const { return style_; }
  void SetStyle(TOutlineType value);
  TOutlineOptions Options() const { return options_; }
  void SetOptions(TOutlineOptions value);
  TBitmap* GetPicture(int index);
  void SetPicture(int index, const TBitmap* bitmap);
  TBitmap* PicturePlus() { return GetPicture(opPlus); }
  void SetPicturePlus(const TBitmap* b) { SetPicture(opPlus, b); }
  TBitmap* PictureMinus() { return GetPicture(opMinus); }
  void SetPictureMinus(const TBitmap* b) { SetPicture(opMinus, b); }
  TBitmap* PictureOpen() { return GetPicture(opOpen); }
  void SetPictureOpen(const TBitmap* b) { SetPicture(opOpen, b); }
  TBitmap* PictureClosed() { return GetPicture(opClosed); }
  void SetPictureClosed(const TBitmap* b) { SetPicture(opClosed, b); }
  TBitmap* PictureLeaf() { return GetPicture(opLeaf); }
  void SetPictureLeaf(const TBitmap* b) { SetPicture(opLeaf, b); }
  bool PictureAssigned(int index) const { return (assignedPictures_ >> index & 1) != 0; }

  TOutlineEvent OnExpand;
  TOutlineEvent OnCollapse;
  TDrawItemEvent OnDrawItem;

 protected:
  void DrawCell(int col, int row, const RECT& rect, TGridDrawState state) override;
  void KeyDown(WORD& key, TShiftState shift) override;
  void KeyPress(char& key) override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void Click() override;
  void DblClick() override;
  // Raised with the item's number before it expands and after it collapses.
  virtual void Expand(int index);
  virtual void Collapse(int index);

  void WMSize(TMessage& m);
  void CMFontChanged(TMessage& m);

 private:
  friend class TOutlineNode;
  friend class TOutlineStrings;
  void ResetRoot();
  void SetFontMetrics();
  void SetColumnWidth(int width);
  bool OwnerDrawing() const;
  bool HasFocus();
  int TextWidthOf(const std::string& text);
  void InvalidateNode(TOutlineNode* node);
  // Numbering.
  bool IsIndexStale(const TOutlineNode* node) const { return CompareOrder(node, indexMark_) == 2; }
  TOutlineNode* FindIndexStart(TOutlineNode* node);
  void ValidateIndex(TOutlineNode* node);
  TOutlineNode* FindByIndex(TOutlineNode* from, int index);
  TOutlineNode* FindByIndexOrFail(int index);
  void SetCachedIndex(int index);
  // Insertion and removal.
  enum class Attach { Child, Sibling, Before };
  int InsertNode(int index, const std::string& text, void* data, Attach mode);
  int AttachChild(TOutlineNode* parent, TOutlineNode* node);
  int AttachBefore(TOutlineNode* parent, TOutlineNode* target, TOutlineNode* node);
  void DetachChild(TOutlineNode* parent, TOutlineNode* node);
  void NodeDestroying(TOutlineNode* node, TOutlineNode* top);
  void NodeRemoved(TOutlineNode* node, int cachedIndex);
  void NodeChanged(TOutlineNode* node);
  void NodeAdded(TOutlineNode* node);
  bool WidthWanted() const;
  int AddLine(const std::string& line);
  void ReadItems(TStream& stream);
  // Drawing.
  void DrawTreeLines(TOutlineNode* node, const RECT& cell, int rowHeight);
  void DrawPictures(int x, const RECT& cell, int rowHeight, std::initializer_list<TBitmap*> pictures);

  TOutlineNode* root_ = nullptr;
  TOutlineNode* indexMark_ = nullptr;
  TOutlineNode* cachedItem_ = nullptr;
  std::string pathSeparator_ = "\\";
  std::unique_ptr<TOutlineStrings> strings_;
  int fontHeight_ = 0;
  uint8_t assignedPictures_ = 0;
  uint8_t streamedPictures_ = 0;
  std::array<std::unique_ptr<TBitmap>, 5> pictures_;
  TOutlineDrawStyle drawStyle_ = dsTreePictureText;
  int itemHeight_ = 0;
  TOutlineType style_ = otStandard;
  TOutlineOptions options_{ooDrawTreeRoot, ooDrawFocusRect};
  bool ignoreScrollResize_ = false;
  TOutlineNode* selectedItem_ = nullptr;
  bool settingWidth_ = false;
  bool settingHeight_ = false;
  // The column width last measured over every visible item, while nothing
  // that changes item widths has happened since.
  bool widthExact_ = false;
  int exactWidth_ = 0;
  int widthDeferred_ = 0;
};
