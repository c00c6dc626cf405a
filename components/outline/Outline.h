#pragma once
// The outline: a tree of text items shown one visible item per grid row.
//
// Every item has a number, its place in a pre-order walk of the whole tree
// (collapsed parts included), starting at 1; the invisible root is 0. Numbers
// are cached in the nodes and worked out lazily: every node knows the size of
// its subtree, so a node's number is its parent's number plus one plus the
// sizes of the siblings before it. A child list is kept in blocks of at most
// 128 children; each block keeps the sums of its children's subtree sizes and
// rows and the sums over the blocks before it, and each child its offset within
// its block, all refreshed only from the first changed place on, so that no
// operation walks a long list whole. Any change of the tree's shape makes the
// cached numbers stale at once (one counter), and a number asked for
// afterwards climbs only to the nearest ancestor still numbered. A second count
// per node, the visible descendants, maps grid rows to nodes without walking
// collapsed parts.
//
// Nodes live in a pool owned by their outline; `delete` on a node returns it
// there, and a load reuses the nodes of the tree it replaces. The column width
// is kept as a maximum per subtree (and per block) over the visible items,
// refreshed only where something changed.

#include <windows.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <iterator>
#include <new>
#include <memory>
#include <string>
#include <vector>

#include "Filer.h"
#include "Grids.h"
#include "Strings.h"

class TCustomOutline;
class TOutlineNode;
class TOutlineNodePool;
class TStream;

// A run of consecutive children of one node, with sums that the outline keeps
// per run, so that no operation walks a list of a million children whole.
struct TOutlineChildBlock {
  std::vector<TOutlineNode*> nodes;
  int start = 0;  // position of nodes[0] among all the children
  int index = 0;  // place in the list of blocks
  // Nodes before this place have their offset_ (within the block) right.
  int offsetsKnown = 0;
  // Nodes that are expanded.
  int expanded = 0;
  // The sums over the nodes are right while sumsKnown is set; the sums over
  // the blocks before are right while index < the list's prefixKnown.
  bool sumsKnown = false;
  int64_t sizes = 0;  // subtree sizes
  int64_t rows = 0;   // one plus the visible count of each node
  int64_t sizesBefore = 0;
  int64_t rowsBefore = 0;
  // The widest maxWidth_ of the nodes, right while widthStamp is the outline's
  // width stamp and widthDirty is clear.
  uint64_t widthStamp = 0;
  bool widthDirty = true;
  int64_t maxWidth = 0;
};

// The children of a node in blocks of at most kMaxBlock: inserting or removing
// a child moves at most a block's entries and the small table of blocks. Every
// block holds at least one node. Indexing finds the block by binary search.
class TOutlineChildList {
 public:
  static constexpr size_t kMaxBlock = 128;

  class iterator {
   public:
    using iterator_category = std::bidirectional_iterator_tag;
    using value_type = TOutlineNode*;
    using difference_type = std::ptrdiff_t;
    using pointer = TOutlineNode* const*;
    using reference = TOutlineNode*;
    iterator() = default;
    iterator(const TOutlineChildList* list, size_t block, size_t slot) : list_(list), block_(block), slot_(slot) {}
    TOutlineNode* operator*() const { return list_->blocks_[block_]->nodes[slot_]; }
    iterator& operator++() {
      if (++slot_ == list_->blocks_[block_]->nodes.size()) {
        ++block_;
        slot_ = 0;
      }
      return *this;
    }
    iterator& operator--() {
      if (slot_ == 0)
        slot_ = list_->blocks_[--block_]->nodes.size() - 1;
      else
        --slot_;
      return *this;
    }
    iterator operator++(int) {
      iterator old = *this;
      ++*this;
      return old;
    }
    iterator operator--(int) {
      iterator old = *this;
      --*this;
      return old;
    }
    bool operator==(const iterator& o) const { return block_ == o.block_ && slot_ == o.slot_; }

   private:
    const TOutlineChildList* list_ = nullptr;
    size_t block_ = 0;
    size_t slot_ = 0;
  };
  using reverse_iterator = std::reverse_iterator<iterator>;

  TOutlineChildList() = default;
  TOutlineChildList(const TOutlineChildList&) = delete;
  TOutlineChildList& operator=(const TOutlineChildList&) = delete;

  size_t size() const { return blocks_.empty() ? 0 : static_cast<size_t>(blocks_.back()->start) + blocks_.back()->nodes.size(); }
  bool empty() const { return blocks_.empty(); }
  TOutlineNode* operator[](size_t i) const;
  TOutlineNode* at(size_t i) const;
  TOutlineNode* front() const { return blocks_.front()->nodes.front(); }
  TOutlineNode* back() const { return blocks_.back()->nodes.back(); }
  iterator begin() const { return {this, 0, 0}; }
  iterator end() const { return {this, blocks_.size(), 0}; }
  reverse_iterator rbegin() const { return reverse_iterator(end()); }
  reverse_iterator rend() const { return reverse_iterator(begin()); }
  const std::vector<std::unique_ptr<TOutlineChildBlock>>& Blocks() const { return blocks_; }

  // Each of these keeps the nodes' block_ and slot_, the blocks' starts and
  // indexes, and marks the sums of the block changed as stale. Inserting
  // leaves the block's widest to the outline, which measures the new node.
  void insert(size_t position, TOutlineNode* node);
  void push_back(TOutlineNode* node);
  // The loader's append to a list that the load emptied: its blocks are new,
  // their sums, offsets and widths not known yet, so only the place is set.
  void AppendLoaded(TOutlineNode* node);
  void erase(size_t position);
  void pop_back();
  // Keeps the blocks' memory for the next children.
  void clear() {
    prefixKnown_ = 0;
    if (!blocks_.empty()) KeepBlocks();
  }
  // Gives back the kept blocks that the list did not take again.
  void ReleaseSpare() {
    if (spare_.capacity()) FreeSpare();
  }

  // The sums of the blocks before block `b` (and the block's own sums).
  TOutlineChildBlock& Prefix(int b);
  static void EnsureSums(TOutlineChildBlock& block);
  // A node's subtree size or visible count changed.
  void SumsChanged(TOutlineChildBlock& block) {
    block.sumsKnown = false;
    prefixKnown_ = std::min(prefixKnown_, block.index + 1);
  }

 private:
  // The block that holds `position` (< size()).
  size_t BlockAt(size_t position) const;
  TOutlineChildBlock& NewBlock(size_t at, size_t capacity);
  // Puts the node at `slot` of a block that has room for it.
  void Place(TOutlineChildBlock& block, size_t slot, TOutlineNode* node);
  void Changed(TOutlineChildBlock& block, size_t slot, bool widths = true);
  void Renumber(size_t fromBlock);
  void KeepBlocks();
  void FreeSpare();
  std::vector<std::unique_ptr<TOutlineChildBlock>> blocks_;
  // Blocks that clear() kept for the list to take again, their nodes cleared.
  std::vector<std::unique_ptr<TOutlineChildBlock>> spare_;
  int prefixKnown_ = 0;
};

class TOutlineNode final : public TPersistent {
  ZX_CLASS(TOutlineNode, TPersistent)
 public:
  explicit TOutlineNode(TCustomOutline* owner);
  // Frees the subtree; a node that still has a parent leaves it and keeps the
  // outline's counts, numbering, selection and rows consistent.
  ~TOutlineNode() override;
  TOutlineNode(const TOutlineNode&) = delete;
  TOutlineNode& operator=(const TOutlineNode&) = delete;
  // Destroys the node and gives its memory back to its outline's pool.
  static void operator delete(TOutlineNode* node, std::destroying_delete_t);

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
  TOutlineNode* Child(int i) const;
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
  int Position() const { return block_ ? block_->start + slot_ : -1; }
  bool IsLastChild() const;
  TOutlineNode* PrevSibling() const;
  TOutlineNode* NextSibling() const;

 private:
  friend class TCustomOutline;
  friend class TOutlineChildList;
  // Nodes are made only by their outline, in its pool.
  TOutlineNode(TCustomOutline* owner, const char* text, size_t length);
  static void* operator new(size_t size, TCustomOutline& outline);
  static void operator delete(void* slot, TCustomOutline& outline);
  static void* operator new(size_t) = delete;
  void AdjustVisibleCount(int delta);
  // Sets expanded_, keeping the count of expanded nodes of its block.
  void SetExpandedFlag(bool value);
  // Marks the sums of the node's block stale after its size or visible count changed.
  void SumsChanged() {
    if (parent_) parent_->children_.SumsChanged(*block_);
  }
  void CollapseSubtree();
  void Changed();
  // Appends without the outline's bookkeeping (the loader's fast path: the
  // lists it fills are new, their blocks not measured yet).
  void AppendRaw(TOutlineNode* node);
  // The loader's reuse of a node of the tree it replaces: the new text (may
  // throw, the node unchanged otherwise), then every other field as a new
  // node has it, the child list emptied. Both keep their memory where it fits.
  void ReuseText(const char* text, size_t length);
  void ResetForReuse() noexcept;
  void InsertAt(int position, TOutlineNode* node);
  void RemoveAt(int position);

  TOutlineChildList children_;
  std::string text_;
  void* data_ = nullptr;
  TOutlineNode* parent_ = nullptr;
  TCustomOutline* outline_;
  // index_ is right while indexEpoch_ equals the outline's epoch.
  uint64_t indexEpoch_ = 0;
  // The width figures are right while widthStamp_ equals the outline's stamp
  // (and, for maxWidth_, while the node is not marked dirty).
  uint64_t widthStamp_ = 0;
  // The widest visible item of the subtree as level * row height + text width,
  // the level counted from this node; only the node itself when collapsed.
  int64_t maxWidth_ = 0;
  int index_ = -1;
  // The block of the parent's children that holds the node, and its place there.
  TOutlineChildBlock* block_ = nullptr;
  int slot_ = -1;
  int visibleCount_ = 0;
  // Nodes in the subtree, the node included.
  int size_ = 1;
  // One plus the subtree sizes of the nodes before it in its block; right
  // while slot_ < the block's offsetsKnown.
  int offset_ = 0;
  // The canvas text width of text_, INT32_MIN while unknown.
  int textWidth_ = INT32_MIN;
  bool expanded_ = false;
  bool widthDirty_ = true;
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
  // The nodes alive in the outline's memory, the root included: ItemCount() + 1
  // between operations, unless a node was lost.
  size_t NodesAlive() const;
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
  class TextMeter;
  class NodeRecycler;
  void InvalidateNode(TOutlineNode* node);
  TOutlineNode* NewNode();
  // Numbering.
  int Renumber(TOutlineNode* node);
  int OffsetOf(TOutlineNode* node);
  // Rows that the siblings before the node take.
  int64_t RowsBefore(const TOutlineNode* node) const;
  // Subtree sizes and sibling offsets after `delta` nodes joined (or left)
  // `parent`'s children.
  void ShapeChanged(TOutlineNode* parent, int delta);
  TOutlineNode* FindByIndex(TOutlineNode* from, int index);
  TOutlineNode* FindByIndexOrFail(int index);
  void SetCachedIndex(int index);
  // Insertion and removal.
  enum class Attach { Child, Sibling, Before };
  int InsertNode(int index, const std::string& text, void* data, Attach mode);
  int AttachChild(TOutlineNode* parent, TOutlineNode* node);
  int AttachBefore(TOutlineNode* parent, TOutlineNode* target, TOutlineNode* node);
  void DetachChild(TOutlineNode* parent, TOutlineNode* node);
  void NodeDestroying(TOutlineNode* node);
  void NodeRemoved(TOutlineNode* node, int cachedIndex);
  void NodeChanged(TOutlineNode* node);
  bool WidthWanted() const;
  // The column width: per-subtree maxima refreshed where they went stale.
  struct WidthState {
    bool clean;
    int64_t width;
  };
  bool WidthClean(const TOutlineNode* node) const { return node->widthStamp_ == widthStamp_ && !node->widthDirty_; }
  bool EagerWidths() const { return WidthWanted() && widthDeferred_ == 0; }
  void CheckWidthKey();
  int64_t WidthBase() const;
  int64_t CachedTextWidth(TOutlineNode* node, TextMeter& meter);
  int64_t SubtreeWidth(TOutlineNode* node, TextMeter& meter);
  void MeasureSubtree(TOutlineNode* node);
  void WidthDirtyAbove(TOutlineNode* node);
  // Marks a node's maximum stale, and with it its block's.
  static void MarkWidthDirty(TOutlineNode* node) {
    node->widthDirty_ = true;
    if (node->block_) node->block_->widthDirty = true;
  }
  bool BlockWidthClean(const TOutlineChildBlock& block) const { return block.widthStamp == widthStamp_ && !block.widthDirty; }
  void BlockWidthChanged(TOutlineNode* node, bool counted, int64_t oldWidth);
  int64_t BlockWidth(TOutlineChildBlock& block);
  void WidthDirtyUp(TOutlineNode* node);
  void PropagateWidth(TOutlineNode* node, bool counted, int64_t oldWidth);
  WidthState WidthBefore(TOutlineNode* node);
  void WidthAfter(TOutlineNode* node, WidthState before);
  void WidthNodeAdded(TOutlineNode* node);
  void WidthNodeRemoving(TOutlineNode* parent, TOutlineNode* node);
  void WidthTextChanged(TOutlineNode* node);
  int AddLine(const std::string& line);
  void ReadItems(TStream& stream, NodeRecycler& recycler);
  // Drawing.
  void DrawTreeLines(TOutlineNode* node, const RECT& cell, int rowHeight);
  void DrawPictures(int x, const RECT& cell, int rowHeight, std::initializer_list<TBitmap*> pictures);

  std::unique_ptr<TOutlineNodePool> pool_;
  TOutlineNode* root_ = nullptr;
  TOutlineNode* cachedItem_ = nullptr;
  // Advanced by every change of the tree's shape: cached numbers go stale.
  uint64_t indexEpoch_ = 1;
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
  // Advanced when the font or the row height changes: every cached width goes stale.
  uint64_t widthStamp_ = 1;
  struct WidthKey {
    int rowHeight = 0;
    std::string fontName;
    int fontHeight = 0;
    uint32_t fontStyle = 0;
    int fontCharset = 0;
    int fontPitch = 0;
  } widthKey_;
  int widthDeferred_ = 0;
};
