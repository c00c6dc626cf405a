#include "Outline.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <new>
#include <optional>

#include "Forms.h"
#include "Strres.h"
#include "Streams.h"

const std::vector<std::string> OutlineTypeNames{"otStandard", "otOwnerDraw"};
const std::vector<std::string> OutlineOptionNames{"ooDrawTreeRoot", "ooDrawFocusRect", "ooStretchBitmaps"};

void OutlineFail(unsigned id) { throw EOutlineError(LoadStringBuffer(id)); }

namespace {
// Thrown by the number search and turned into EOutlineError by its callers.
struct OutlineError {};

constexpr int kMaxLevel = 256;
constexpr size_t kBufferSize = 4096;
constexpr char kEndOfFile = 26;
constexpr int kWidthUnknown = INT32_MIN;

// Copies n bytes; the short texts of a load without a library call (two
// fixed-size moves that may overlap, each within both ranges).
void CopyShort(char* to, const char* from, size_t n) {
  if (n > 16) {
    std::memcpy(to, from, n);
  } else if (n >= 8) {
    std::memcpy(to, from, 8);
    std::memcpy(to + n - 8, from + n - 8, 8);
  } else if (n >= 4) {
    std::memcpy(to, from, 4);
    std::memcpy(to + n - 4, from + n - 4, 4);
  } else {
    for (size_t i = 0; i < n; ++i) to[i] = from[i];
  }
}

// The first CR or byte 26 in [pos, end), or end: eight bytes at a time, then
// byte by byte. In a word, a byte that matches makes its own top bit the
// lowest one set by the zero-byte test (a borrow only reaches higher bytes).
size_t LineEnd(const char* data, size_t pos, size_t end) {
  constexpr uint64_t ones = 0x0101010101010101u, highs = 0x8080808080808080u;
  while (end - pos >= 8) {
    uint64_t word;
    std::memcpy(&word, data + pos, 8);
    const uint64_t cr = word ^ (ones * '\r'), eof = word ^ (ones * static_cast<uint8_t>(kEndOfFile));
    const uint64_t found = ((cr - ones) & ~cr & highs) | ((eof - ones) & ~eof & highs);
    if (found) return pos + static_cast<size_t>(__builtin_ctzll(found)) / 8;
    pos += 8;
  }
  while (pos < end && data[pos] != '\r' && data[pos] != kEndOfFile) ++pos;
  return pos;
}
}  // namespace

// ===========================================================================
// The node pool: slots of one node's size in chunks that grow with the tree,
// handed out in address order and taken back through a free list. Loading a
// million items then costs no heap call per item, and a tree that is cleared
// and loaded again reuses the same memory.

class TOutlineNodePool {
 public:
  void* Allocate() {
    ++live_;
    if (free_) {
      Slot* slot = free_;
      free_ = slot->next;
      return slot->bytes;
    }
    if (chunk_ == chunks_.size() || used_ == chunks_[chunk_].count) {
      if (chunk_ < chunks_.size()) ++chunk_;
      if (chunk_ == chunks_.size()) {
        const size_t count = chunks_.empty() ? 16 : std::min<size_t>(chunks_.back().count * 2, 2048);
        chunks_.push_back(Chunk{std::unique_ptr<Slot[]>(new Slot[count]), count});
      }
      used_ = 0;
    }
    return chunks_[chunk_].slots[used_++].bytes;
  }

  void Release(void* bytes) noexcept {
    --live_;
    Slot* slot = reinterpret_cast<Slot*>(bytes);
    slot->next = free_;
    free_ = slot;
  }

  class Walk;

  size_t Live() const { return live_; }

  // With no node alive, the memory goes back to the heap.
  void Reset() noexcept {
    if (live_ != 0) return;
    free_ = nullptr;
    chunk_ = 0;
    used_ = 0;
    chunks_.clear();
  }

 private:
  union Slot {
    Slot* next;
    alignas(TOutlineNode) unsigned char bytes[sizeof(TOutlineNode)];
  };
  struct Chunk {
    std::unique_ptr<Slot[]> slots;
    size_t count;
  };
  std::vector<Chunk> chunks_;
  size_t chunk_ = 0;  // the chunk that slots are handed out from
  size_t used_ = 0;   // slots of that chunk handed out so far
  Slot* free_ = nullptr;
  size_t live_ = 0;
};

// Visits the nodes alive when the walk began in the order of their slots,
// which is address order within a chunk, and skips one node (the root).
// Slots handed out after the walk began are not visited; a visited node may
// be destroyed before the walk moves on.
class TOutlineNodePool::Walk {
 public:
  Walk(const TOutlineNodePool& pool, const TOutlineNode* skip) : pool_(pool), skip_(skip) {
    chunks_ = pool.chunks_.empty() ? 0 : pool.chunk_ + 1;
    lastUsed_ = pool.used_;
    if (pool.free_) MarkFree();
    if (chunks_) Enter(0);
    Settle();
  }

  // The node at the walk's place, nullptr at its end.
  TOutlineNode* Current() const { return current_; }
  void Advance() noexcept {
    ++slot_;
    Settle();
  }

 private:
  void Enter(size_t chunk) noexcept {
    chunk_ = chunk;
    slot_ = 0;
    slots_ = pool_.chunks_[chunk].slots.get();
    count_ = chunk + 1 == chunks_ ? lastUsed_ : pool_.chunks_[chunk].count;
  }

  // Moves on from slot_ to the first live slot that is not skipped.
  void Settle() noexcept {
    for (;;) {
      for (; slot_ < count_; ++slot_) {
        if (!free_.empty() && free_[base_ + slot_]) continue;
        TOutlineNode* node = std::launder(reinterpret_cast<TOutlineNode*>(slots_[slot_].bytes));
        if (node == skip_) continue;
        // The memory a few nodes on is fetched while the loader works on this one.
        if (slot_ + kAhead < count_) {
          const unsigned char* later = slots_[slot_ + kAhead].bytes;
          for (size_t at = 0; at < sizeof(Slot); at += 64) __builtin_prefetch(later + at, 1);
        }
        current_ = node;
        return;
      }
      if (chunk_ + 1 >= chunks_) {
        current_ = nullptr;
        return;
      }
      base_ += count_;
      Enter(chunk_ + 1);
    }
  }

  // The free slots by their number over all chunks, found through the chunk
  // whose memory holds each.
  void MarkFree() {
    struct Range {
      const Slot* first;
      size_t count, base;
    };
    std::vector<Range> ranges;
    size_t total = 0;
    for (size_t c = 0; c < chunks_; ++c) {
      ranges.push_back({pool_.chunks_[c].slots.get(), pool_.chunks_[c].count, total});
      total += pool_.chunks_[c].count;
    }
    const std::less<const Slot*> before;
    std::sort(ranges.begin(), ranges.end(), [&](const Range& a, const Range& b) { return before(a.first, b.first); });
    free_.assign(total, false);
    for (const Slot* s = pool_.free_; s; s = s->next) {
      const auto r = std::upper_bound(ranges.begin(), ranges.end(), s, [&](const Slot* v, const Range& x) { return before(v, x.first); }) - 1;
      free_[r->base + static_cast<size_t>(s - r->first)] = true;
    }
  }

  static constexpr size_t kAhead = 16;
  const TOutlineNodePool& pool_;
  const TOutlineNode* skip_;
  size_t chunks_ = 0;    // chunks in use when the walk began
  size_t lastUsed_ = 0;  // slots handed out of the last of them
  size_t chunk_ = 0;
  size_t slot_ = 0;
  size_t base_ = 0;  // number of chunk_'s first slot
  Slot* slots_ = nullptr;  // chunk_'s slots
  size_t count_ = 0;       // and how many of them the walk visits
  std::vector<bool> free_;
  TOutlineNode* current_ = nullptr;
};

// ===========================================================================
// Child lists

size_t TOutlineChildList::BlockAt(size_t position) const {
  if (blocks_.size() == 1) return 0;
  // The last block that starts at or before the position.
  const auto it = std::upper_bound(blocks_.begin(), blocks_.end(), position,
                                   [](size_t v, const std::unique_ptr<TOutlineChildBlock>& b) { return v < static_cast<size_t>(b->start); });
  return static_cast<size_t>(it - blocks_.begin()) - 1;
}

TOutlineNode* TOutlineChildList::operator[](size_t i) const {
  const TOutlineChildBlock& b = *blocks_[BlockAt(i)];
  return b.nodes[i - static_cast<size_t>(b.start)];
}

TOutlineNode* TOutlineChildList::at(size_t i) const {
  if (i >= size()) throw std::out_of_range("child position out of range");
  return (*this)[i];
}

void TOutlineChildList::Renumber(size_t fromBlock) {
  for (size_t j = fromBlock; j < blocks_.size(); ++j) {
    TOutlineChildBlock& b = *blocks_[j];
    b.index = static_cast<int>(j);
    b.start = j == 0 ? 0 : blocks_[j - 1]->start + static_cast<int>(blocks_[j - 1]->nodes.size());
  }
}

void TOutlineChildList::Changed(TOutlineChildBlock& block, size_t slot, bool widths) {
  block.offsetsKnown = std::min(block.offsetsKnown, static_cast<int>(slot));
  if (widths) block.widthDirty = true;
  SumsChanged(block);
}

// An empty block with room for `capacity` nodes put in at `at`; the caller
// renumbers the blocks. What may throw comes before the block joins the list.
TOutlineChildBlock& TOutlineChildList::NewBlock(size_t at, size_t capacity) {
  std::unique_ptr<TOutlineChildBlock> block;
  if (spare_.empty()) {
    block = std::make_unique<TOutlineChildBlock>();
    block->nodes.reserve(capacity);
    blocks_.reserve(blocks_.size() + 1);
  } else {
    // Room for every kept block at once: the list is likely to grow back.
    blocks_.reserve(blocks_.size() + spare_.size());
    block = std::move(spare_.back());
    spare_.pop_back();
    std::vector<TOutlineNode*> nodes = std::move(block->nodes);
    *block = TOutlineChildBlock{std::move(nodes)};
  }
  TOutlineChildBlock& b = *block;
  blocks_.insert(blocks_.begin() + static_cast<std::ptrdiff_t>(at), std::move(block));  // cannot throw: reserved
  prefixKnown_ = std::min(prefixKnown_, static_cast<int>(at));
  return b;
}

void TOutlineChildList::insert(size_t position, TOutlineNode* node) {
  const size_t count = size();
  size_t b;
  if (blocks_.empty() || (position == count && blocks_.back()->nodes.size() == kMaxBlock)) {
    // A new block at the end rather than splitting a full one: appending fills blocks.
    b = blocks_.size();
    NewBlock(b, std::min<size_t>(kMaxBlock, count + 1));
    Renumber(b);
  } else if (position == count) {
    b = blocks_.size() - 1;
  } else {
    b = BlockAt(position);
  }
  TOutlineChildBlock* block = blocks_[b].get();
  size_t slot = position - static_cast<size_t>(block->start);
  if (block->nodes.size() == kMaxBlock) {
    // Split: the second half moves to a new block after this one.
    const size_t half = kMaxBlock / 2;
    TOutlineChildBlock& next = NewBlock(b + 1, kMaxBlock);
    next.nodes.assign(block->nodes.begin() + static_cast<std::ptrdiff_t>(half), block->nodes.end());
    block->nodes.resize(half);
    next.expanded = 0;
    for (size_t i = 0; i < next.nodes.size(); ++i) {
      TOutlineNode* moved = next.nodes[i];
      moved->block_ = &next;
      moved->slot_ = static_cast<int>(i);
      if (moved->expanded_) ++next.expanded;
    }
    block->expanded -= next.expanded;
    Changed(*block, half);
    Changed(next, 0);
    Renumber(b);
    if (slot > half) {
      block = &next;
      slot -= half;
    }
  }
  Place(*block, slot, node);
  for (size_t j = static_cast<size_t>(block->index) + 1; j < blocks_.size(); ++j) ++blocks_[j]->start;
}

void TOutlineChildList::Place(TOutlineChildBlock& block, size_t slot, TOutlineNode* node) {
  if (slot == block.nodes.size())
    block.nodes.push_back(node);
  else
    block.nodes.insert(block.nodes.begin() + static_cast<std::ptrdiff_t>(slot), node);
  node->block_ = &block;
  for (size_t i = slot; i < block.nodes.size(); ++i) block.nodes[i]->slot_ = static_cast<int>(i);
  if (node->expanded_) ++block.expanded;
  // The outline takes the new node into the block's widest (or marks it).
  Changed(block, slot, false);
}

// Appending to the last block is the loader's path for every item: it skips
// the search for the block and the shift of the later blocks' starts.
void TOutlineChildList::push_back(TOutlineNode* node) {
  if (blocks_.empty() || blocks_.back()->nodes.size() == kMaxBlock) return insert(size(), node);
  Place(*blocks_.back(), blocks_.back()->nodes.size(), node);
}

inline void TOutlineChildList::AppendLoaded(TOutlineNode* node) {
  TOutlineChildBlock* block = blocks_.empty() ? nullptr : blocks_.back().get();
  if (!block || block->nodes.size() == kMaxBlock || block->nodes.size() == block->nodes.capacity()) return push_back(node);
  node->block_ = block;
  node->slot_ = static_cast<int>(block->nodes.size());
  block->nodes.push_back(node);  // cannot throw: there is room
}

void TOutlineChildList::erase(size_t position) {
  TOutlineNode* node = (*this)[position];
  TOutlineChildBlock& block = *node->block_;
  const size_t b = static_cast<size_t>(block.index);
  const size_t slot = static_cast<size_t>(node->slot_);
  if (node->expanded_) --block.expanded;
  block.nodes.erase(block.nodes.begin() + static_cast<std::ptrdiff_t>(slot));
  node->block_ = nullptr;
  node->slot_ = -1;
  if (block.nodes.empty()) {
    blocks_.erase(blocks_.begin() + static_cast<std::ptrdiff_t>(b));
    prefixKnown_ = std::min(prefixKnown_, static_cast<int>(b));
    Renumber(b);
    return;
  }
  for (size_t i = slot; i < block.nodes.size(); ++i) block.nodes[i]->slot_ = static_cast<int>(i);
  Changed(block, slot);
  for (size_t j = b + 1; j < blocks_.size(); ++j) --blocks_[j]->start;
}

void TOutlineChildList::pop_back() { erase(size() - 1); }

void TOutlineChildList::KeepBlocks() {
  if (spare_.empty()) {
    spare_.swap(blocks_);
    for (const auto& block : spare_) block->nodes.clear();
  }
  blocks_.clear();
}

void TOutlineChildList::FreeSpare() { std::vector<std::unique_ptr<TOutlineChildBlock>>().swap(spare_); }

void TOutlineChildList::EnsureSums(TOutlineChildBlock& block) {
  if (block.sumsKnown) return;
  int64_t sizes = 0, rows = 0;
  for (const TOutlineNode* n : block.nodes) {
    sizes += n->size_;
    rows += 1 + int64_t{n->visibleCount_};
  }
  block.sizes = sizes;
  block.rows = rows;
  block.sumsKnown = true;
}

TOutlineChildBlock& TOutlineChildList::Prefix(int b) {
  for (int j = prefixKnown_; j <= b; ++j) {
    TOutlineChildBlock& cur = *blocks_[static_cast<size_t>(j)];
    if (j == 0) {
      cur.sizesBefore = cur.rowsBefore = 0;
    } else {
      TOutlineChildBlock& prev = *blocks_[static_cast<size_t>(j - 1)];
      EnsureSums(prev);
      cur.sizesBefore = prev.sizesBefore + prev.sizes;
      cur.rowsBefore = prev.rowsBefore + prev.rows;
    }
  }
  prefixKnown_ = std::max(prefixKnown_, b + 1);
  return *blocks_[static_cast<size_t>(b)];
}

// Measures texts in the control's font, on the canvas while it paints and on a
// memory device context (made on first use) otherwise.
class TCustomOutline::TextMeter {
 public:
  explicit TextMeter(TCustomOutline& outline) : outline_(outline) {}
  int Width(const std::string& text) {
    TCanvas* canvas = outline_.Canvas();
    if (!canvas->HandleAllocated() && !lease_) {
      dc_.emplace(nullptr);
      lease_.emplace(*canvas, dc_->get());
      canvas->Font()->Assign(outline_.Font());
    }
    return canvas->TextWidth(text);
  }

 private:
  TCustomOutline& outline_;
  std::optional<Gdi::MemoryDc> dc_;
  std::optional<TCanvasLease> lease_;  // let go before the device context
};

// ===========================================================================
// Nodes

const TClassInfo& TOutlineNode::StaticClass() {
  static const TClassInfo info = DefineClass<TOutlineNode>("TOutlineNode");
  return info;
}

TOutlineNode::TOutlineNode(TCustomOutline* owner) : outline_(owner) {}

TOutlineNode::TOutlineNode(TCustomOutline* owner, const char* text, size_t length)
    : text_(text, length), outline_(owner) {}

void* TOutlineNode::operator new(size_t, TCustomOutline& outline) { return outline.pool_->Allocate(); }

void TOutlineNode::operator delete(void* slot, TCustomOutline& outline) { outline.pool_->Release(slot); }

void TOutlineNode::operator delete(TOutlineNode* node, std::destroying_delete_t) {
  TOutlineNodePool* pool = node->outline_->pool_.get();
  node->~TOutlineNode();
  pool->Release(node);
}

TOutlineNode::~TOutlineNode() {
  TCustomOutline* o = outline_;
  if (!o) return;  // a node of no outline was never in a tree
  const bool isRoot = o->root_ == this;
  const bool oldIgnore = o->ignoreScrollResize_;
  if (isRoot) o->ignoreScrollResize_ = true;
  int cached = 0;
  // Nothing below may throw out of a destructor; a hook's failure goes to the
  // application's error box like any other exception of a message handler.
  try {
    if (parent_) cached = o->cachedItem_ == o->root_ ? 0 : o->cachedItem_->GetIndex();
    // Free the subtree without recursion (a loaded tree can be deeper than the
    // stack) and without a list of it: always the last child of the deepest
    // node that has children, each taken off its parent first, so that its own
    // destructor does nothing but forget itself. This node's own counts stay
    // as they were until it leaves its parent below.
    TOutlineNode* n = this;
    for (;;) {
      if (!n->children_.empty()) {
        n = n->children_.back();
        continue;
      }
      if (n == this) break;
      TOutlineNode* p = n->parent_;
      p->children_.pop_back();
      n->parent_ = nullptr;
      if (!isRoot) o->NodeDestroying(n);
      delete n;
      n = p;
    }
    if (!isRoot) o->NodeDestroying(this);
    if (parent_) {
      TOutlineNode* p = parent_;
      const bool wasLast = IsLastChild();
      o->DetachChild(p, this);
      if (!p->HasChildren())
        o->SelectRowOf(p);
      else if (wasLast)
        o->SelectRowOf(p->children_.back());
      o->NodeRemoved(this, cached);
    }
  } catch (...) {
    o->ignoreScrollResize_ = oldIgnore;
    if (Application) Application->HandleException(o);
    return;
  }
  o->ignoreScrollResize_ = oldIgnore;
}

void TOutlineNode::SetText(const std::string& value) {
  if (value == text_) return;
  text_ = value;
  outline_->WidthTextChanged(this);
  if (parent_ && parent_->expanded_) outline_->InvalidateNode(this);
  Changed();
}

int TOutlineNode::Level() const {
  int level = 0;
  for (const TOutlineNode* p = parent_; p; p = p->parent_) ++level;
  return level;
}

int TOutlineNode::GetIndex() {
  if (!parent_ || indexEpoch_ == outline_->indexEpoch_) return index_;
  return outline_->Renumber(this);
}

TOutlineNode* TOutlineNode::Child(int i) const { return children_.at(static_cast<size_t>(i)); }

bool TOutlineNode::IsLastChild() const { return parent_ && parent_->children_.back() == this; }

TOutlineNode* TOutlineNode::PrevSibling() const {
  if (!parent_) return nullptr;
  if (slot_ > 0) return block_->nodes[static_cast<size_t>(slot_ - 1)];
  if (block_->index == 0) return nullptr;
  return parent_->children_.Blocks()[static_cast<size_t>(block_->index - 1)]->nodes.back();
}

TOutlineNode* TOutlineNode::NextSibling() const {
  if (!parent_) return nullptr;
  if (static_cast<size_t>(slot_) + 1 < block_->nodes.size()) return block_->nodes[static_cast<size_t>(slot_ + 1)];
  const auto& blocks = parent_->children_.Blocks();
  const size_t next = static_cast<size_t>(block_->index) + 1;
  return next < blocks.size() ? blocks[next]->nodes.front() : nullptr;
}

inline void TOutlineNode::AppendRaw(TOutlineNode* node) {
  children_.AppendLoaded(node);
  node->parent_ = this;
}

inline void TOutlineNode::ReuseText(const char* text, size_t length) {
  // A text much longer than the new one gives its memory back.
  if (text_.capacity() > 2 * length + 32) {
    std::string(text, length).swap(text_);
  } else {
    // In place: the general assignment guards against the source lying in
    // the string itself, which it never does here.
    text_.resize(length);
    CopyShort(text_.data(), text, length);
  }
}

inline void TOutlineNode::ResetForReuse() noexcept {
  children_.clear();
  data_ = nullptr;
  parent_ = nullptr;
  indexEpoch_ = 0;
  widthStamp_ = 0;
  maxWidth_ = 0;
  index_ = -1;
  block_ = nullptr;
  slot_ = -1;
  visibleCount_ = 0;
  size_ = 1;
  offset_ = 0;
  textWidth_ = kWidthUnknown;
  expanded_ = false;
  widthDirty_ = true;
}

void TOutlineNode::InsertAt(int position, TOutlineNode* node) {
  children_.insert(static_cast<size_t>(position), node);
  node->parent_ = this;
  outline_->ShapeChanged(this, node->size_);
}

void TOutlineNode::RemoveAt(int position) {
  const int size = children_[static_cast<size_t>(position)]->size_;
  children_.erase(static_cast<size_t>(position));
  outline_->ShapeChanged(this, -size);
}

void TOutlineNode::AdjustVisibleCount(int delta) {
  for (TOutlineNode* n = this; n && n->expanded_; n = n->parent_) {
    n->visibleCount_ += delta;
    n->SumsChanged();
  }
}

void TOutlineNode::SetExpandedFlag(bool value) {
  if (expanded_ == value) return;
  expanded_ = value;
  if (block_) block_->expanded += value ? 1 : -1;
}

// Collapses the node and every expanded node below it. The expanded part of a
// subtree is what its VisibleCount covers, so only that part is walked. Each
// collapsed node's width maximum no longer covers its children.
void TOutlineNode::CollapseSubtree() {
  const int hidden = visibleCount_;
  std::vector<TOutlineNode*> pending{this};
  while (!pending.empty()) {
    TOutlineNode* n = pending.back();
    pending.pop_back();
    for (const auto& block : n->children_.Blocks())
      if (block->expanded)
        for (TOutlineNode* c : block->nodes)
          if (c->expanded_) pending.push_back(c);
    n->visibleCount_ = 0;
    n->SumsChanged();
    n->SetExpandedFlag(false);
    TCustomOutline::MarkWidthDirty(n);
  }
  if (parent_) parent_->AdjustVisibleCount(-hidden);
}

void TOutlineNode::Changed() {
  if (parent_ && parent_->expanded_) outline_->NodeChanged(this);
}

void TOutlineNode::SetExpanded(bool value) {
  if (expanded_ == value) return;
  if (value) {
    for (TOutlineNode* p = parent_; p; p = p->parent_)
      if (!p->expanded_) OutlineFail(SOutlineExpandError);
    outline_->Expand(GetIndex());
    if (expanded_) return;  // the handler expanded it already
    const auto width = outline_->WidthBefore(this);
    SetExpandedFlag(true);
    AdjustVisibleCount(ChildCount());
    outline_->WidthAfter(this, width);
  } else {
    const auto width = outline_->WidthBefore(this);
    CollapseSubtree();
    outline_->WidthAfter(this, width);
    if (outline_->UpdateRowCount()) outline_->Invalidate();
    outline_->Collapse(GetIndex());
  }
  Changed();
  if (outline_->UpdateRowCount()) outline_->Invalidate();
}

void TOutlineNode::ExpandAll() {
  // The column width is measured once at the end rather than after every
  // expansion: the result is the same and the cost no longer grows with the
  // square of the rows shown.
  struct Defer {
    TCustomOutline* o;
    explicit Defer(TCustomOutline* outline) : o(outline) { ++o->widthDeferred_; }
    ~Defer() {
      if (--o->widthDeferred_ == 0) try {
          o->AdjustScrollWidth();
        } catch (...) {
        }
    }
  } defer(outline_);
  // Pre-order without recursion: a parent is expanded before its children.
  std::vector<TOutlineNode*> pending{this};
  while (!pending.empty()) {
    TOutlineNode* n = pending.back();
    pending.pop_back();
    if (!n->HasChildren()) continue;
    n->SetExpanded(true);
    for (auto it = n->children_.rbegin(); it != n->children_.rend(); ++it) pending.push_back(*it);
  }
}

std::string TOutlineNode::Path() const {
  if (!parent_) return {};
  std::vector<const TOutlineNode*> chain;
  for (const TOutlineNode* n = this; n->parent_; n = n->parent_) chain.push_back(n);
  std::string path;
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
    if (it != chain.rbegin()) path += outline_->pathSeparator_;
    path += (*it)->text_;
  }
  return path;
}

int TOutlineNode::FirstChildIndex() { return children_.empty() ? -1 : children_.front()->GetIndex(); }

int TOutlineNode::LastChildIndex() { return children_.empty() ? -1 : children_.back()->GetIndex(); }

int TOutlineNode::NextChildIndex(int index) {
  // The children's numbers ascend, so the child numbered `index` is found by
  // binary search; the linear scan of the plain definition gives the same one.
  size_t lo = 0, hi = children_.size();
  while (lo < hi) {
    size_t mid = lo + (hi - lo) / 2;
    if (children_[mid]->GetIndex() < index)
      lo = mid + 1;
    else
      hi = mid;
  }
  if (lo >= children_.size() || children_[lo]->GetIndex() != index || lo + 1 == children_.size()) return -1;
  return children_[lo + 1]->GetIndex();
}

bool TOutlineNode::IsVisible() const { return parent_ && parent_->expanded_; }

TOutlineNode* TOutlineNode::NearestVisible() {
  TOutlineNode* n = this;
  while (n->parent_ && !n->parent_->expanded_) n = n->parent_;
  return n;
}

int TOutlineNode::DisplayWidth() { return outline_->NodeDisplayWidth(this); }

int TOutlineNode::MaxDisplayWidth(int width) {
  std::vector<TOutlineNode*> pending{this};
  while (!pending.empty()) {
    TOutlineNode* n = pending.back();
    pending.pop_back();
    width = std::max(width, n->DisplayWidth());
    if (n->expanded_)
      for (auto it = n->children_.rbegin(); it != n->children_.rend(); ++it) pending.push_back(*it);
  }
  return width;
}

// Blocks whose rows lie wholly before the k-th are passed by their sums;
// inside a block, a run of collapsed children counts one row each.
TOutlineNode* TOutlineNode::FindVisible(int k) {
  TOutlineNode* n = this;
  for (;;) {
    if (k == 0) return n;
    if (k < 0 || k > n->visibleCount_) return nullptr;
    if (n->visibleCount_ == n->ChildCount()) return n->children_[static_cast<size_t>(k - 1)];
    TOutlineNode* next = nullptr;
    for (const auto& block : n->children_.Blocks()) {
      if (!block->expanded && k > static_cast<int>(block->nodes.size())) {
        k -= static_cast<int>(block->nodes.size());
        continue;
      }
      TOutlineChildList::EnsureSums(*block);
      if (k > block->rows) {
        k -= static_cast<int>(block->rows);
        continue;
      }
      for (TOutlineNode* c : block->nodes) {
        const int rows = 1 + c->visibleCount_;
        if (k <= rows) {
          next = c;
          break;
        }
        k -= rows;
      }
      break;
    }
    if (!next) return nullptr;  // counts out of step; never in a consistent tree
    n = next;
    k -= 1;
  }
}

bool TOutlineNode::CountRowsTo(const TOutlineNode* x, int& count) {
  // Pre-order over the expanded part, without recursion.
  std::vector<TOutlineNode*> pending{this};
  while (!pending.empty()) {
    TOutlineNode* n = pending.back();
    pending.pop_back();
    ++count;
    if (n == x) return true;
    if (!n->expanded_) continue;
    for (auto it = n->children_.rbegin(); it != n->children_.rend(); ++it) pending.push_back(*it);
  }
  return false;
}

// ===========================================================================
// The string view

const TClassInfo& TOutlineStrings::StaticClass() {
  static const TClassInfo info = DefineClass<TOutlineStrings>("TOutlineStrings");
  return info;
}

int TOutlineStrings::Count() const { return outline_->ItemCount(); }

std::string TOutlineStrings::Get(int index) const {
  TOutlineNode* n = outline_->GetItem(index + 1);
  return std::string(static_cast<size_t>(n->Level() - 1), '\t') + n->Text();
}

TObject* TOutlineStrings::GetObject(int index) const {
  return static_cast<TObject*>(outline_->GetItem(index + 1)->Data());
}

void TOutlineStrings::PutObject(int index, TObject* object) { outline_->GetItem(index + 1)->SetData(object); }

int TOutlineStrings::Add(const std::string& text) { return outline_->AddLine(text) - 1; }

void TOutlineStrings::Insert(int index, const std::string& text) { outline_->InsertBefore(index + 1, text); }

void TOutlineStrings::Delete(int index) { outline_->Delete(index + 1); }

void TOutlineStrings::Clear() { outline_->Clear(); }

void TOutlineStrings::DefineProperties(TFiler* filer) {
  filer->DefineProperty(
      "Nodes", [this](TReader& r) { ReadNodes(r); }, [this](TWriter& w) { WriteNodes(w); }, HasNodes(filer));
}

bool TOutlineStrings::HasNodes(TFiler* filer) const {
  auto* ancestor = dynamic_cast<TOutlineStrings*>(filer->Ancestor());
  const int count = outline_->ItemCount();
  if (!ancestor) return count > 0;
  TCustomOutline* other = ancestor->outline_;
  if (count != other->ItemCount()) return count > 0;
  for (int i = 1; i <= count; ++i) {
    TOutlineNode* a = outline_->GetItem(i);
    TOutlineNode* b = other->GetItem(i);
    if (a->Text() != b->Text() || a->Data() != b->Data() || a->VisibleCount() != b->VisibleCount()) return true;
  }
  return false;
}

void TOutlineStrings::WriteNodes(TWriter& writer) {
  TStringStream stream;
  outline_->SaveToStream(stream);
  // Every line ends in CR LF; splitting there only keeps an item whose text
  // holds a lone LF in one piece (the loader reads a lone LF as text).
  const std::string& text = stream.DataString();
  writer.WriteListBegin();
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find("\r\n", start);
    if (end == std::string::npos) end = text.size();
    writer.WriteString(text.substr(start, end - start));
    start = end + 2;
  }
  writer.WriteListEnd();
}

void TOutlineStrings::ReadNodes(TReader& reader) {
  TStringStream stream;
  reader.ReadListBegin();
  while (!reader.EndOfList()) stream.WriteString(reader.ReadString() + "\r\n");
  reader.ReadListEnd();
  stream.SetPosition(0);
  outline_->LoadFromStream(stream);
}

// ===========================================================================
// The outline: item model

const TClassInfo& TCustomOutline::StaticClass() {
  static const TClassInfo info = DefineClass<TCustomOutline>("TCustomOutline");
  return info;
}

TCustomOutline::TCustomOutline(TComponent* owner)
    : TCustomGrid(owner), pool_(std::make_unique<TOutlineNodePool>()) {
  SetBounds(Left(), Top(), 121, 97);
  SetColor(clWindow);
  SetParentColor(false);
  SetFontMetrics();
  SetRowCount(0);
  SetColCount(1);
  SetFixedCols(0);
  SetFixedRows(0);
  SetDefaultDrawing(false);
  ResetRoot();
  strings_ = std::make_unique<TOutlineStrings>(this);
  TCustomGrid::SetOptions({});
  static const char* const names[] = {"PLUS", "MINUS", "OPEN", "CLOSED", "LEAF"};
  for (size_t i = 0; i < pictures_.size(); ++i) {
    pictures_[i] = std::make_unique<TBitmap>();
    try {
      pictures_[i]->LoadFromResourceName(GetModuleHandleA(nullptr), names[i]);
    } catch (const EResNotFound&) {
      // A program without the pictures shows empty slots.
    }
  }
}

TCustomOutline::~TCustomOutline() {
  strings_.reset();
  TOutlineNode* root = root_;
  ignoreScrollResize_ = true;
  delete root;
  root_ = cachedItem_ = selectedItem_ = nullptr;
}

TOutlineNode* TCustomOutline::NewNode() { return new (*this) TOutlineNode(this); }

void TCustomOutline::ResetRoot() {
  if (!root_) root_ = NewNode();
  root_->expanded_ = true;
  root_->index_ = 0;
  selectedItem_ = root_;
  cachedItem_ = root_;
  UpdateRowCount();
}

int TCustomOutline::CompareOrder(const TOutlineNode* a, const TOutlineNode* b) {
  if (a == b) return 1;
  const int la = a->Level(), lb = b->Level();
  for (int l = la; l > lb; --l) a = a->parent_;
  for (int l = lb; l > la; --l) b = b->parent_;
  while (a->parent_ != b->parent_) {
    a = a->parent_;
    b = b->parent_;
  }
  if (!a->parent_) return 3;
  if (a->Position() < b->Position()) return 0;
  if (a->Position() > b->Position()) return 2;
  return la > lb ? 2 : la == lb ? 1 : 0;
}

// A node's number is its parent's number plus its offset among its siblings;
// climb to the nearest ancestor whose number is current (the root always is),
// then store the numbers of the nodes on the way down.
int TCustomOutline::Renumber(TOutlineNode* node) {
  int sum = 0;
  TOutlineNode* top = node;
  while (top->parent_ && top->indexEpoch_ != indexEpoch_) {
    sum += OffsetOf(top);
    top = top->parent_;
  }
  const int index = top->index_ + sum;
  int k = index;
  for (TOutlineNode* n = node; n != top; n = n->parent_) {
    n->index_ = k;
    n->indexEpoch_ = indexEpoch_;
    k -= OffsetOf(n);
  }
  return index;
}

// One plus the sizes of the siblings before the node: those of the blocks
// before its block, summed per block, and those before it in its block, filled
// in from the last one known up to the node.
int TCustomOutline::OffsetOf(TOutlineNode* node) {
  TOutlineChildBlock& b = node->parent_->children_.Prefix(node->block_->index);
  int k = b.offsetsKnown;
  if (node->slot_ >= k) {
    int offset = 1;
    if (k > 0) {
      const TOutlineNode* before = b.nodes[static_cast<size_t>(k - 1)];
      offset = before->offset_ + before->size_;
    }
    for (; k <= node->slot_; ++k) {
      TOutlineNode* c = b.nodes[static_cast<size_t>(k)];
      c->offset_ = offset;
      offset += c->size_;
    }
    b.offsetsKnown = k;
  }
  return static_cast<int>(b.sizesBefore + node->offset_);
}

// `delta` nodes joined (or left) `parent`'s children (the child list has
// marked its own sums): the subtree sizes on the way up change, and with them
// the offsets of every later sibling on the way; every cached number may be
// stale.
void TCustomOutline::ShapeChanged(TOutlineNode* parent, int delta) {
  for (TOutlineNode* a = parent; a; a = a->parent_) {
    a->size_ += delta;
    if (a->parent_) {
      TOutlineChildBlock& b = *a->block_;
      b.offsetsKnown = std::min(b.offsetsKnown, a->slot_ + 1);
      a->SumsChanged();
    }
  }
  ++indexEpoch_;
}

TOutlineNode* TCustomOutline::FindByIndex(TOutlineNode* from, int index) {
  TOutlineNode* n = from;
  for (;;) {
    if (n->GetIndex() == index) return n;
    int lo = 0, hi = n->ChildCount() - 1;
    TOutlineNode* found = nullptr;
    while (lo <= hi) {
      const int mid = (lo + hi) / 2;
      TOutlineNode* c = n->children_[static_cast<size_t>(mid)];
      if (lo == hi) {
        found = c;
        break;
      }
      const int ci = c->GetIndex();
      if (ci > index) {
        hi = mid - 1;
      } else if (ci < index && mid < hi && n->children_[static_cast<size_t>(mid + 1)]->GetIndex() <= index) {
        lo = mid + 1;
      } else {
        found = c;
        break;
      }
    }
    if (!found) throw OutlineError{};
    if (found->GetIndex() == index) return found;
    n = found;
  }
}

TOutlineNode* TCustomOutline::FindByIndexOrFail(int index) {
  try {
    return FindByIndex(root_, index);
  } catch (const OutlineError&) {
    OutlineFail(SOutlineIndexError);
  }
}

TOutlineNode* TCustomOutline::GetItem(int index) {
  TOutlineNode* n = index == cachedItem_->GetIndex() ? cachedItem_ : FindByIndexOrFail(index);
  if (n == root_) OutlineFail(SInvalidOutlineIndex);
  return n;
}

size_t TCustomOutline::NodesAlive() const { return pool_->Live(); }

int TCustomOutline::ItemCount() {
  TOutlineNode* n = root_;
  while (n->HasChildren()) n = n->children_.back();
  return n->GetIndex();
}

void TCustomOutline::SetCachedIndex(int index) {
  if (index == cachedItem_->GetIndex()) return;
  cachedItem_ = FindByIndexOrFail(index);
}

int TCustomOutline::AddChild(int index, const std::string& text, void* data) {
  if (index < 0) OutlineFail(SInvalidOutlineIndex);
  const int result = InsertNode(index, text, data, Attach::Child);
  SetCachedIndex(index);
  return result;
}

int TCustomOutline::AddSibling(int index, const std::string& text, void* data) {
  if (index == 0) return AddChild(0, text, data);
  if (index < 0) OutlineFail(SInvalidOutlineIndex);
  const int result = InsertNode(index, text, data, Attach::Sibling);
  SetCachedIndex(index);
  return result;
}

int TCustomOutline::InsertBefore(int index, const std::string& text, void* data) {
  if (index == 0) return AddChild(0, text, data);
  if (index < 0) OutlineFail(SInvalidOutlineIndex);
  const int result = InsertNode(index, text, data, Attach::Before);
  SetCachedIndex(index);
  return result;
}

int TCustomOutline::InsertNode(int index, const std::string& text, void* data, Attach mode) {
  std::unique_ptr<TOutlineNode> node(new (*this) TOutlineNode(this, text.data(), text.size()));
  node->data_ = data;
  try {
    TOutlineNode* target = index == cachedItem_->GetIndex() ? cachedItem_ : FindByIndexOrFail(index);
    if (mode == Attach::Sibling) {
      if (target == root_) OutlineFail(SInvalidOutlineIndex);
      target = target->parent_;
    }
    int result;
    if (mode == Attach::Before) {
      target->GetIndex();
      result = AttachBefore(target->parent_, target, node.get());
    } else {
      if (target->Level() >= kMaxLevel) OutlineFail(SOutlineMaxLevels);
      result = AttachChild(target, node.get());
    }
    node.release();
    if (UpdateRowCount()) Invalidate();
    return result;
  } catch (...) {
    // Once attached, the node is the tree's; freeing it detaches it again.
    if (node && node->parent_) node.reset();
    if (!Application) throw;
    Application->HandleException(this);
    return 0;
  }
}

int TCustomOutline::AttachChild(TOutlineNode* parent, TOutlineNode* node) {
  return AttachBefore(parent, nullptr, node);
}

// Puts the node before `target` among the parent's children (at the end when
// there is no target). The target's place is kept in the node, so no search by
// number is needed to find it.
int TCustomOutline::AttachBefore(TOutlineNode* parent, TOutlineNode* target, TOutlineNode* node) {
  parent->InsertAt(target ? target->Position() : parent->ChildCount(), node);
  parent->AdjustVisibleCount(node->visibleCount_ + 1);
  const int index = node->GetIndex();
  WidthNodeAdded(node);
  NodeChanged(node);
  return index;
}

void TCustomOutline::DetachChild(TOutlineNode* parent, TOutlineNode* node) {
  WidthNodeRemoving(parent, node);
  parent->RemoveAt(node->Position());
  node->parent_ = nullptr;
  parent->AdjustVisibleCount(-(node->visibleCount_ + 1));
  if (!parent->HasChildren() && parent != root_) parent->SetExpanded(false);
  NodeChanged(parent);
}

// A node of a subtree that is being freed: what pointed at it must not any more.
void TCustomOutline::NodeDestroying(TOutlineNode* node) {
  if (selectedItem_ == node) selectedItem_ = root_;
  if (cachedItem_ == node) cachedItem_ = root_;
}

void TCustomOutline::NodeRemoved(TOutlineNode* node, int cachedIndex) {
  try {
    cachedItem_ = FindByIndex(root_, cachedIndex);
  } catch (const OutlineError&) {
    cachedItem_ = root_;
  }
  if (selectedItem_ == root_ && node != root_) SelectedIndex();
  if (UpdateRowCount()) Invalidate();
}

void TCustomOutline::NodeChanged(TOutlineNode* node) {
  if (node->parent_ && node->parent_->expanded_) AdjustScrollWidth();
}

void TCustomOutline::Delete(int index) {
  if (index <= 0) OutlineFail(SInvalidOutlineIndex);
  delete FindByIndexOrFail(index);
}

// Frees every node, the root included, and starts again with a new root. The
// root's destructor sees itself as the root: the nodes go without the
// bookkeeping of a single removal, and the column width is left alone.
void TCustomOutline::Clear() {
  cachedItem_ = selectedItem_ = nullptr;
  delete root_;
  root_ = nullptr;
  pool_->Reset();
  ResetRoot();
}

void TCustomOutline::FullCollapse() {
  for (TOutlineNode* c : root_->children_) c->SetExpanded(false);
}

// ---------------------------------------------------------------------------
// The text format

// The nodes of the tree that a load replaces, handed out again for the items
// read in the order of their memory, so that the load writes the node memory
// front to back. Loading over a tree of as many items frees and makes no node;
// each keeps the memory of its text and child list. What no line took when
// the load ends, in any way, is freed.
class TCustomOutline::NodeRecycler {
 public:
  // The root's children are left to the walk; the root becomes a new root.
  explicit NodeRecycler(TOutlineNode* root) : outline_(root->outline_), walk_(*outline_->pool_, root) {
    root->ResetForReuse();
  }
  NodeRecycler(const NodeRecycler&) = delete;
  NodeRecycler& operator=(const NodeRecycler&) = delete;
  ~NodeRecycler() {
    // Each node left over forgets the old tree around it (its parent and
    // children are reused or left over too) and is freed alone.
    for (TOutlineNode* n; (n = walk_.Current()) != nullptr;) {
      walk_.Advance();
      n->ResetForReuse();
      delete n;
    }
  }

  // A node with this text and nothing else, detached: a reused one or a new one.
  TOutlineNode* Take(const char* text, size_t length) {
    TOutlineNode* n = walk_.Current();
    if (!n) return new (*outline_) TOutlineNode(outline_, text, length);
    // The text may throw; the node is then still the walk's, freed at the end.
    n->ReuseText(text, length);
    walk_.Advance();
    n->ResetForReuse();
    return n;
  }

 private:
  TCustomOutline* outline_;
  TOutlineNodePool::Walk walk_;
};

void TCustomOutline::LoadFromStream(TStream& stream) {
  cachedItem_ = selectedItem_ = root_;
  NodeRecycler recycler(root_);
  ++indexEpoch_;
  ResetRoot();
  try {
    ReadItems(stream, recycler);
  } catch (...) {
    // The items read before the failing line stay; their rows are counted so
    // that the tree stays consistent (the loaded items all collapsed).
    root_->visibleCount_ = root_->ChildCount();
    UpdateRowCount();
    throw;
  }
  if (!ComponentState().Contains(csLoading)) TCustomOutline::Loaded();
}

void TCustomOutline::ReadItems(TStream& stream, NodeRecycler& recycler) {
  // The last node read; it and every node above it are still open: a node's
  // subtree size is complete, and added to its parent's, when the loader
  // leaves it for a line that is not below it, or when loading ends in any way.
  struct OpenChain {
    TOutlineNode* current;
    TCustomOutline* outline;
    void Leave() {
      // A reused node keeps none of its old blocks that its new children left.
      current->children_.ReleaseSpare();
      current->parent_->size_ += current->size_;
      current = current->parent_;
    }
    ~OpenChain() {
      while (current->parent_) Leave();
      current->children_.ReleaseSpare();  // the root's
      ++outline->indexEpoch_;
    }
  } chain{root_, this};
  int previous = 0;
  std::vector<char> buffer(kBufferSize + 1);
  size_t kept = 0;
  bool done = false;
  while (!done) {
    const int64_t got = stream.Read(buffer.data() + kept, static_cast<int64_t>(kBufferSize - kept));
    size_t total = kept + static_cast<size_t>(std::max<int64_t>(got, 0));
    size_t end;  // parse [0, end)
    if (total < kBufferSize) {
      buffer[total] = kEndOfFile;
      end = total + 1;
      kept = 0;
      done = true;
    } else {
      size_t cr = kBufferSize - 1;
      while (cr > 0 && buffer[cr - 1] != '\r') --cr;
      if (cr == 0) OutlineFail(SOutlineLongLine);
      end = cr;  // just after the CR
      if (buffer[end] == '\n') ++end;
      kept = total - end;
    }
    size_t pos = 0;
    while (pos < end) {
      // One line: indentation, text, then CR (LF) or byte 26.
      int indent = 0;
      size_t start = pos;
      while (pos < end && (buffer[pos] == '\t' || buffer[pos] == ' ')) {
        ++indent;
        ++pos;
      }
      const size_t textStart = pos;
      pos = LineEnd(buffer.data(), pos, end);
      if (pos >= end) break;  // cannot happen: every parsed stretch ends in CR or 26
      const bool eof = buffer[pos] == kEndOfFile;
      if (eof && pos == start) {
        done = true;
        break;
      }
      if (indent > previous || chain.current == root_) {
        if (indent != previous && indent != previous + 1) OutlineFail(SOutlineFileLoad);
      } else {
        for (int climb = previous - indent + 1; climb > 0; --climb) {
          if (!chain.current->parent_) OutlineFail(SOutlineFileLoad);
          chain.Leave();
        }
      }
      std::unique_ptr<TOutlineNode> node(recycler.Take(buffer.data() + textStart, pos - textStart));
      chain.current->AppendRaw(node.get());
      chain.current = node.release();
      previous = indent;
      if (eof) {
        done = true;
        break;
      }
      ++pos;  // the CR
      if (pos < end && buffer[pos] == '\n') ++pos;
    }
    if (kept) std::memmove(buffer.data(), buffer.data() + end, kept);
  }
}

void TCustomOutline::SaveToStream(TStream& stream) {
  // A line longer than the buffer is composed in a larger one and written
  // whole: the stream holds every item as it is, and loading reports the long
  // line instead of losing text silently.
  std::string line;
  line.reserve(kBufferSize);
  int level = 0;
  TOutlineNode* n = root_->HasChildren() ? root_->children_.front() : nullptr;
  level = 1;
  while (n) {
    line.assign(static_cast<size_t>(level - 1), '\t');
    line += n->text_;
    line += "\r\n";
    stream.WriteBuffer(line.data(), static_cast<int64_t>(line.size()));
    if (n->HasChildren()) {
      n = n->children_.front();
      ++level;
      continue;
    }
    while (n && !n->NextSibling()) {
      n = n->parent_;
      --level;
    }
    if (n) n = n->NextSibling();
    if (n == root_) n = nullptr;
  }
}

// The string view's add: the new line's place depends on the level of the
// last item rather than on the previous line's indentation.
int TCustomOutline::AddLine(const std::string& line) {
  int indent = 0;
  while (static_cast<size_t>(indent) < line.size() && (line[static_cast<size_t>(indent)] == '\t' || line[static_cast<size_t>(indent)] == ' '))
    ++indent;
  const std::string text = line.substr(static_cast<size_t>(indent));
  const int count = ItemCount();
  TOutlineNode* last = count == 0 ? root_ : GetItem(count);
  const int a = last->Level();
  TOutlineNode* parent = last;
  if (a < indent || count == 0) {
    if (indent - a != 0 && indent - a != 1) OutlineFail(SOutlineFileLoad);
  } else if (indent < a) {
    for (int climb = a - indent; climb > 0; --climb) {
      parent = parent->parent_;
      if (!parent) OutlineFail(SOutlineFileLoad);
    }
  }
  return AddChild(parent->GetIndex(), text);
}

// ===========================================================================
// The outline: rows and selection

int TCustomOutline::SelectedIndex() {
  if (selectedItem_ == root_) {
    if (root_->HasChildren() && Row() >= 0) {
      if (TOutlineNode* n = root_->FindVisible(Row() + 1)) selectedItem_ = n;
    }
  } else if (!selectedItem_->IsVisible()) {
    selectedItem_ = selectedItem_->NearestVisible();
  }
  return selectedItem_ == root_ ? 0 : selectedItem_->GetIndex();
}

void TCustomOutline::SetSelectedIndex(int index) {
  if (index == 0 && root_->HasChildren()) index = 1;
  if (index <= 0) OutlineFail(SInvalidSelection);
  TOutlineNode* n = selectedItem_ != root_ && selectedItem_->GetIndex() == index ? selectedItem_ : FindByIndexOrFail(index);
  if (!n->IsVisible()) n = n->NearestVisible();
  selectedItem_ = n;
  SelectRowOf(n);
}

// The row CountRowsTo gives, from the visible counts instead of a walk of
// every row above: a node's row follows its parent's, after the rows that its
// earlier siblings take (each one plus its visible descendants). A node that
// no walk of the rows reaches gets the count of every row, as the walk does.
int TCustomOutline::RowOf(const TOutlineNode* node) const {
  if (node == root_) return -1;
  int64_t count = 1;  // the root
  const TOutlineNode* n = node;
  for (; n->parent_; n = n->parent_) {
    const TOutlineNode* p = n->parent_;
    if (!p->expanded_) break;
    count += 1 + RowsBefore(n);
  }
  if (n != root_) count = 1 + int64_t{root_->visibleCount_};
  return static_cast<int>(count - 2);
}

int64_t TCustomOutline::RowsBefore(const TOutlineNode* node) const {
  TOutlineChildBlock& b = node->parent_->children_.Prefix(node->block_->index);
  int64_t rows = b.rowsBefore;
  for (int i = 0; i < node->slot_; ++i) rows += 1 + int64_t{b.nodes[static_cast<size_t>(i)]->visibleCount_};
  return rows;
}

void TCustomOutline::SelectRowOf(TOutlineNode* node) {
  if (node == root_) return;
  const int row = RowOf(node);
  if (row >= 0 && row < RowCount() && row != Row()) MoveColRow(Col(), row, true, true);
}

bool TCustomOutline::UpdateRowCount() {
  const bool oldSetting = settingHeight_;
  settingHeight_ = true;
  const int before = RowCount();
  try {
    SetRowCount(root_->visibleCount_);
  } catch (...) {
    settingHeight_ = oldSetting;
    throw;
  }
  settingHeight_ = oldSetting;
  if (selectedItem_ && selectedItem_ != root_) SetSelectedIndex(selectedItem_->GetIndex());
  return before != RowCount();
}

// ===========================================================================
// The outline: the control

void TCustomOutline::Dispatch(TMessage& message) {
  switch (message.Msg) {
    case WM_SIZE: return WMSize(message);
    case CM_FONTCHANGED: return CMFontChanged(message);
    default: return TCustomGrid::Dispatch(message);
  }
}

bool TCustomOutline::OwnerDrawing() const { return style_ == otOwnerDraw && static_cast<bool>(OnDrawItem); }

bool TCustomOutline::HasFocus() { return HandleAllocated() && GetFocus() == Handle(); }

void TCustomOutline::SetFontMetrics() {
  if (style_ == otOwnerDraw) return;
  Gdi::WindowDc screen(nullptr);
  const int ppi = screen ? GetDeviceCaps(screen.get(), LOGPIXELSY) : 96;
  fontHeight_ = MulDiv(Font()->Size(), ppi, 72);
  const int rowHeight = MulDiv(fontHeight_, 120, 100);
  SetDefaultRowHeight(rowHeight);
  itemHeight_ = rowHeight;
}

void TCustomOutline::SetItemHeight(int value) {
  itemHeight_ = value;
  if (style_ == otStandard) {
    SetFontMetrics();
  } else {
    SetDefaultRowHeight(value);
    fontHeight_ = MulDiv(value, 100, 120);
    Invalidate();
  }
}

void TCustomOutline::SetStyle(TOutlineType value) {
  if (style_ == value) return;
  style_ = value;
  if (value == otStandard) SetFontMetrics();
}

void TCustomOutline::SetOptions(TOutlineOptions value) {
  if (options_ == value) return;
  options_ = value;
  Invalidate();
}

void TCustomOutline::SetDrawStyle(TOutlineDrawStyle value) {
  if (drawStyle_ == value) return;
  drawStyle_ = value;
  AdjustScrollWidth();
  Invalidate();
}

void TCustomOutline::InvalidateNode(TOutlineNode* node) {
  const int row = RowOf(node);
  if (row >= 0 && row < RowCount()) InvalidateCell(0, row);
}

// What every item's width adds to level * row height + text width.
int64_t TCustomOutline::WidthBase() const {
  const int64_t rh = DefaultRowHeight();
  const int64_t g = (rh - fontHeight_) / 2;
  const int64_t r = options_.Contains(ooDrawTreeRoot) ? rh : 0;
  switch (drawStyle_) {
    case dsText: return -rh;
    case dsPlusMinusText:
    case dsPictureText: return 0;
    case dsPlusMinusPictureText: return rh;
    case dsTreeText: return -rh - g + r;
    case dsTreePictureText: return -g + r;
  }
  return 0;
}

int TCustomOutline::NodeDisplayWidth(TOutlineNode* node) {
  TextMeter meter(*this);
  const int64_t width =
      WidthBase() + int64_t{node->Level()} * DefaultRowHeight() + int64_t{meter.Width(node->Text())} + 1;
  return static_cast<int>(std::clamp<int64_t>(width, 0, INT32_MAX));
}

bool TCustomOutline::WidthWanted() const {
  const TScrollStyle bars = ScrollBars();
  return (bars == ssHorizontal || bars == ssBoth) && !ignoreScrollResize_ && !OwnerDrawing();
}

// The column is as wide as the widest visible item: the root's maximum, kept
// per subtree, plus what the draw style adds. Only subtrees marked since the
// last time are measured again.
void TCustomOutline::AdjustScrollWidth() {
  if (!WidthWanted() || widthDeferred_ > 0) return;
  CheckWidthKey();
  TextMeter meter(*this);
  const int64_t widest = SubtreeWidth(root_, meter);
  SetColumnWidth(static_cast<int>(std::clamp<int64_t>(WidthBase() + widest, 0, INT32_MAX)));
}

// Cached widths hold for one font and one row height; any other makes them all stale.
void TCustomOutline::CheckWidthKey() {
  TFont* font = Font();
  WidthKey& k = widthKey_;
  if (k.rowHeight == DefaultRowHeight() && k.fontName == font->Name() && k.fontHeight == font->Height() &&
      k.fontStyle == font->Style().Bits() && k.fontCharset == font->Charset() &&
      k.fontPitch == static_cast<int>(font->Pitch()))
    return;
  k.rowHeight = DefaultRowHeight();
  k.fontName = font->Name();
  k.fontHeight = font->Height();
  k.fontStyle = font->Style().Bits();
  k.fontCharset = font->Charset();
  k.fontPitch = static_cast<int>(font->Pitch());
  ++widthStamp_;
}

int64_t TCustomOutline::CachedTextWidth(TOutlineNode* node, TextMeter& meter) {
  if (node->widthStamp_ != widthStamp_) {
    node->widthStamp_ = widthStamp_;
    node->textWidth_ = kWidthUnknown;
    // The node is measured now; its block, if clean, takes it in afterwards.
    node->widthDirty_ = true;
  }
  if (node->textWidth_ == kWidthUnknown) node->textWidth_ = meter.Width(node->text_);
  return int64_t{node->textWidth_} + 1;
}

// Brings the node's maximum up to date, descending only into children whose
// own maximum is stale; without recursion, as trees can be deeper than the stack.
int64_t TCustomOutline::SubtreeWidth(TOutlineNode* node, TextMeter& meter) {
  if (WidthClean(node)) return node->maxWidth_;
  if (!node->expanded_) {
    node->maxWidth_ = CachedTextWidth(node, meter);
    node->widthDirty_ = false;
    return node->maxWidth_;
  }
  const int64_t rh = widthKey_.rowHeight;
  // A block is measured again once every child in it is clean; a clean block
  // is passed by its maximum.
  struct Frame {
    TOutlineNode* node;
    size_t block;
    size_t slot;
  };
  std::vector<Frame> stack{{node, 0, 0}};
  while (!stack.empty()) {
    Frame& f = stack.back();
    TOutlineNode* n = f.node;
    if (n->expanded_) {
      const auto& blocks = n->children_.Blocks();
      TOutlineNode* stale = nullptr;
      for (; f.block < blocks.size(); ++f.block, f.slot = 0) {
        TOutlineChildBlock& b = *blocks[f.block];
        if (BlockWidthClean(b)) continue;
        while (f.slot < b.nodes.size() && WidthClean(b.nodes[f.slot])) ++f.slot;
        if (f.slot < b.nodes.size()) {
          stale = b.nodes[f.slot++];
          break;
        }
        BlockWidth(b);
      }
      if (stale) {
        stack.push_back({stale, 0, 0});
        continue;
      }
    }
    int64_t widest = CachedTextWidth(n, meter);
    if (n->expanded_)
      for (const auto& b : n->children_.Blocks()) widest = std::max(widest, rh + b->maxWidth);
    n->maxWidth_ = widest;
    n->widthDirty_ = false;
    stack.pop_back();
  }
  return node->maxWidth_;
}

// The widest of a block whose nodes are all clean.
int64_t TCustomOutline::BlockWidth(TOutlineChildBlock& block) {
  int64_t widest = INT64_MIN;
  for (const TOutlineNode* c : block.nodes) widest = std::max(widest, c->maxWidth_);
  block.maxWidth = widest;
  block.widthStamp = widthStamp_;
  block.widthDirty = false;
  return widest;
}

// A node's maximum changed from oldWidth (counted: the block's maximum
// included the old one; else the node is new in the block): the block's
// maximum follows, or is marked stale where the node may have been its widest.
void TCustomOutline::BlockWidthChanged(TOutlineNode* node, bool counted, int64_t oldWidth) {
  if (!node->block_) return;
  TOutlineChildBlock& b = *node->block_;
  if (!BlockWidthClean(b)) {
    // A block that the node alone fills (one just made for it) is measured with it.
    if (b.nodes.size() == 1 && WidthClean(node)) BlockWidth(b);
    return;
  }
  if (!WidthClean(node))
    b.widthDirty = true;
  else if (node->maxWidth_ >= b.maxWidth)
    b.maxWidth = node->maxWidth_;
  else if (counted && oldWidth >= b.maxWidth)
    b.widthDirty = true;
}

// An expanded parent's maximum counts its children's: when a child's goes
// stale, so does the parent's, up to a collapsed node or one already stale.
void TCustomOutline::WidthDirtyAbove(TOutlineNode* node) {
  for (TOutlineNode* p = node->parent_; p && p->expanded_ && WidthClean(p); p = p->parent_) MarkWidthDirty(p);
}

void TCustomOutline::WidthDirtyUp(TOutlineNode* node) {
  MarkWidthDirty(node);
  WidthDirtyAbove(node);
}

// The node's maximum is up to date again; its ancestors' follow. A maximum
// that grew is taken over directly; one that shrank matters only where it was
// the widest, and there the ancestor is measured again over its children.
// `counted` tells whether the parent's maximum included the node's old one.
void TCustomOutline::PropagateWidth(TOutlineNode* node, bool counted, int64_t oldWidth) {
  const int64_t rh = widthKey_.rowHeight;
  for (TOutlineNode* p = node->parent_; p; node = p, p = p->parent_) {
    BlockWidthChanged(node, counted, oldWidth);
    if (!p->expanded_ || !WidthClean(p)) return;
    const int64_t before = p->maxWidth_;
    const int64_t now = rh + node->maxWidth_;
    if (now > before)
      p->maxWidth_ = now;
    else if (counted && now < before && rh + oldWidth >= before)
      return WidthDirtyUp(p);
    if (p->maxWidth_ == before) return;
    counted = true;
    oldWidth = before;
  }
}

TCustomOutline::WidthState TCustomOutline::WidthBefore(TOutlineNode* node) {
  CheckWidthKey();
  return {WidthClean(node), node->maxWidth_};
}

// After the node's own maximum changed (it expanded or collapsed): measured at
// once while the column follows the items, else only marked.
void TCustomOutline::WidthAfter(TOutlineNode* node, WidthState before) {
  MarkWidthDirty(node);
  if (!before.clean || !EagerWidths()) return WidthDirtyAbove(node);
  MeasureSubtree(node);
  PropagateWidth(node, true, before.width);
}

// Measures the node's subtree where it is stale. Should measuring fail, the
// ancestors are marked so that their maxima are measured again later.
void TCustomOutline::MeasureSubtree(TOutlineNode* node) {
  try {
    TextMeter meter(*this);
    SubtreeWidth(node, meter);
  } catch (...) {
    WidthDirtyUp(node);
    throw;
  }
}

// The child list left the block's widest as it was: it takes the new node in
// once measured, else is marked stale.
void TCustomOutline::WidthNodeAdded(TOutlineNode* node) {
  TOutlineNode* p = node->parent_;
  TOutlineChildBlock& block = *node->block_;
  if (!p->expanded_) {
    // Hidden: the parent's maximum covers the parent alone.
    block.widthDirty = true;
    return;
  }
  CheckWidthKey();
  if (!WidthClean(p) || !EagerWidths()) {
    block.widthDirty = true;
    if (WidthClean(p)) WidthDirtyAbove(node);
    return;
  }
  MeasureSubtree(node);
  PropagateWidth(node, false, 0);
}

void TCustomOutline::WidthNodeRemoving(TOutlineNode* parent, TOutlineNode* node) {
  if (!parent->expanded_) return;
  CheckWidthKey();
  if (!WidthClean(parent)) return;
  if (!WidthClean(node) || widthKey_.rowHeight + node->maxWidth_ >= parent->maxWidth_) WidthDirtyUp(parent);
}

void TCustomOutline::WidthTextChanged(TOutlineNode* node) {
  CheckWidthKey();
  const WidthState before{WidthClean(node), node->maxWidth_};
  node->textWidth_ = kWidthUnknown;
  MarkWidthDirty(node);
  if (!before.clean || node->expanded_ || !node->parent_ || !node->parent_->expanded_ || !EagerWidths())
    return WidthDirtyAbove(node);
  MeasureSubtree(node);
  PropagateWidth(node, true, before.width);
}

void TCustomOutline::SetColumnWidth(int width) {
  const bool old = settingWidth_;
  settingWidth_ = true;
  try {
    if (DefaultColWidth() != width) SetDefaultColWidth(width);
  } catch (...) {
    settingWidth_ = old;
    throw;
  }
  settingWidth_ = old;
}

void TCustomOutline::WMSize(TMessage& m) {
  TCustomGrid::WMSize(m);
  if (settingWidth_ || settingHeight_) return;
  const TScrollStyle bars = ScrollBars();
  if (bars == ssNone || bars == ssVertical || OwnerDrawing())
    SetDefaultColWidth(ClientWidth());
  else
    AdjustScrollWidth();
}

void TCustomOutline::CMFontChanged(TMessage& m) {
  TCustomGrid::CMFontChanged(m);
  SetFontMetrics();
  AdjustScrollWidth();
}

void TCustomOutline::Expand(int index) {
  if (OnExpand) OnExpand(this, index);
}

void TCustomOutline::Collapse(int index) {
  if (OnCollapse) OnCollapse(this, index);
}

// ---------------------------------------------------------------------------
// Drawing

void TCustomOutline::DrawCell(int col, int row, const RECT& rect, TGridDrawState state) {
  TCanvas* canvas = Canvas();
  if (!root_->HasChildren()) {
    canvas->Brush()->SetColor(Color());
    canvas->FillRect(rect);
    return;
  }
  const bool current = row == Row();
  const bool focused = HasFocus();
  if (OwnerDrawing()) {
    TOwnerDrawState odState;
    if (current) odState << odSelected;
    if (current && focused) odState << odFocused;
    OnDrawItem(this, row, rect, odState);
    if (current && focused && options_.Contains(ooDrawFocusRect)) canvas->DrawFocusRect(rect);
    return;
  }
  TOutlineNode* node = root_->FindVisible(row + 1);
  if (!node) return;
  const int rh = DefaultRowHeight();
  const int c = (rect.bottom - rect.top - fontHeight_) / 2;
  canvas->Font()->Assign(Font());
  canvas->Brush()->SetColor(Color());
  canvas->FillRect(rect);
  const int w = canvas->TextWidth(node->Text()) + 1;
  if (current) {
    canvas->Brush()->SetColor(clHighlight);
    canvas->Font()->SetColor(clHighlightText);
  }
  const int lev = node->Level();
  const int r = options_.Contains(ooDrawTreeRoot) ? rh : 0;
  TBitmap* plusMinus = node->HasChildren() ? GetPicture(node->Expanded() ? opMinus : opPlus) : nullptr;
  TBitmap* folder = !node->HasChildren() ? GetPicture(opLeaf) : GetPicture(node->Expanded() ? opOpen : opClosed);
  int highlightLeft, textLeft, right;
  switch (drawStyle_) {
    case dsText:
    case dsPlusMinusText:
    case dsPictureText:
    case dsPlusMinusPictureText: {
      const int steps = drawStyle_ == dsText ? lev - 1 : drawStyle_ == dsPlusMinusPictureText ? lev + 1 : lev;
      const int x = rect.left + rh * steps;
      highlightLeft = textLeft = x;
      right = x + w;
      if (drawStyle_ == dsPlusMinusText) DrawPictures(x - rh, rect, rh, {plusMinus});
      if (drawStyle_ == dsPictureText) DrawPictures(x - rh, rect, rh, {folder});
      if (drawStyle_ == dsPlusMinusPictureText) DrawPictures(x - 2 * rh, rect, rh, {plusMinus, folder});
      break;
    }
    case dsTreeText: {
      DrawTreeLines(node, rect, rh);
      const int y = rect.left + rh * (lev - 1) - c + r;
      highlightLeft = y;
      textLeft = y + c;
      right = y + c + w;
      break;
    }
    case dsTreePictureText:
    default: {
      DrawTreeLines(node, rect, rh);
      const int y = rect.left + rh * lev - c + r;
      highlightLeft = textLeft = y;
      right = y + c + w;
      DrawPictures(y - rh + c, rect, rh, {folder});
      break;
    }
  }
  if (current && !node->Text().empty()) canvas->FillRect(RECT{highlightLeft, rect.top, right, rect.bottom});
  RECT textBox{textLeft, rect.top, right, rect.bottom};
  const HDC dc = canvas->Handle();
  const int oldMode = SetBkMode(dc, TRANSPARENT);
  DrawTextA(dc, node->Text().c_str(), static_cast<int>(node->Text().size()), &textBox,
            DT_NOPREFIX | DT_SINGLELINE | DT_VCENTER);
  SetBkMode(dc, oldMode);
  if (current && !node->Text().empty() && focused && options_.Contains(ooDrawFocusRect))
    canvas->DrawFocusRect(RECT{highlightLeft, rect.top, right, rect.bottom});
}

void TCustomOutline::DrawTreeLines(TOutlineNode* node, const RECT& cell, int rh) {
  TCanvas* canvas = Canvas();
  TPen saved;
  saved.Assign(canvas->Pen());
  struct Restore {
    TCanvas* canvas;
    TPen* pen;
    ~Restore() { canvas->Pen()->Assign(pen); }
  } restore{canvas, &saved};
  canvas->Pen()->SetColor(clBlack);
  canvas->Pen()->SetWidth(1);
  const bool treeRoot = options_.Contains(ooDrawTreeRoot);
  const int h = rh / 2;
  const int lev = node->Level();
  auto column = [&](int k) { return cell.left + rh * k + h; };
  int k = treeRoot ? lev - 2 : lev - 3;
  for (TOutlineNode* a = node->parent_; a && a->parent_ && (treeRoot || a->parent_ != root_); a = a->parent_, --k) {
    if (!a->IsLastChild()) {
      canvas->MoveTo(column(k), cell.top);
      canvas->LineTo(column(k), cell.bottom);
    }
  }
  if (treeRoot || lev > 1) {
    const int x = column(treeRoot ? lev - 1 : lev - 2);
    canvas->MoveTo(x, cell.top);
    canvas->LineTo(x, node->IsLastChild() ? cell.top + h : cell.bottom);
    canvas->MoveTo(x, cell.top + h);
    canvas->LineTo(x + fontHeight_ / 2, cell.top + h);
  }
}

void TCustomOutline::DrawPictures(int x, const RECT& cell, int rh, std::initializer_list<TBitmap*> pictures) {
  TCanvas* canvas = Canvas();
  const TColor oldBrush = canvas->Brush()->Color();
  canvas->Brush()->SetColor(Color());
  int top = cell.top + (rh - fontHeight_) / 2;
  int bottom = top + fontHeight_;
  int slot = 0;
  for (TBitmap* picture : pictures) {
    const int left = x + slot * rh + (rh - fontHeight_) / 2 - 1;
    ++slot;
    if (!picture || picture->Empty()) continue;
    RECT box{left, top, left + fontHeight_, bottom};
    if (options_.Contains(ooStretchBitmaps)) {
      canvas->BrushCopy(box, picture, RECT{0, 0, picture->Width(), picture->Height()}, picture->TransparentColor());
      continue;
    }
    if (picture->Width() < box.right - box.left) box.right = box.left + picture->Width();
    if (picture->Height() < box.bottom - box.top) box.bottom = box.top + picture->Height();
    const int boxHeight = box.bottom - box.top;
    if ((fontHeight_ - boxHeight) / 2 > 0) {
      box.top = cell.top + (rh - boxHeight) / 2;
      box.bottom = box.top + boxHeight;
    }
    top = box.top;
    bottom = box.bottom;
    canvas->BrushCopy(box, picture, RECT{0, 0, box.right - box.left, box.bottom - box.top}, picture->TransparentColor());
  }
  canvas->Brush()->SetColor(oldBrush);
}

// ---------------------------------------------------------------------------
// Keys and mouse

void TCustomOutline::KeyDown(WORD& key, TShiftState shift) {
  TCustomGrid::KeyDown(key, shift);
  if (!root_->HasChildren()) return;
  TOutlineNode* node = root_->FindVisible(Row() + 1);
  if (!node) return;
  const bool ctrl = shift.Contains(ssCtrl);
  switch (key) {
    case VK_RETURN:
      node->SetExpanded(!node->Expanded());
      return;
    case VK_END: {
      TOutlineNode* n = root_->children_.back();
      while (n->Expanded() && n->HasChildren()) n = n->children_.back();
      return SetSelectedIndex(n->GetIndex());
    }
    case VK_HOME:
      return SetSelectedIndex(root_->children_.front()->GetIndex());
    case VK_LEFT:
      if (node->parent_ == root_) return void(MessageBeep(0));
      return SetSelectedIndex(node->parent_->GetIndex());
    case VK_RIGHT:
      if (node->HasChildren() && node->Expanded()) return SetSelectedIndex(SelectedIndex() + 1);
      return void(MessageBeep(0));
    case VK_UP:
      if (!ctrl) break;
      if (!node->PrevSibling()) return void(MessageBeep(0));
      return SetSelectedIndex(node->PrevSibling()->GetIndex());
    case VK_DOWN:
      if (!ctrl) break;
      if (!node->NextSibling()) return void(MessageBeep(0));
      return SetSelectedIndex(node->NextSibling()->GetIndex());
    case VK_MULTIPLY:
      if (ctrl) return root_->ExpandAll();
      break;
    default:
      break;
  }
  if (TOutlineNode* n = root_->FindVisible(Row() + 1)) SetSelectedIndex(n->GetIndex());
}

void TCustomOutline::KeyPress(char& key) {
  TCustomGrid::KeyPress(key);
  if (selectedItem_ == root_) return;
  switch (key) {
    case '*': return selectedItem_->ExpandAll();
    case '+': return selectedItem_->SetExpanded(true);
    case '-': return selectedItem_->SetExpanded(false);
    default: return;
  }
}

void TCustomOutline::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  TCustomGrid::MouseDown(button, shift, x, y);
  selectedItem_ = root_;
  SelectedIndex();
}

void TCustomOutline::Click() {
  if (root_->HasChildren())
    if (TOutlineNode* n = root_->FindVisible(Row() + 1)) SetSelectedIndex(n->GetIndex());
  TCustomGrid::Click();
}

void TCustomOutline::DblClick() {
  TCustomGrid::DblClick();
  if (selectedItem_ != root_) ToggleItem(selectedItem_);
}

// ---------------------------------------------------------------------------
// Pictures and loading

TBitmap* TCustomOutline::GetPicture(int index) {
  if (index < 0 || index >= static_cast<int>(pictures_.size())) return nullptr;
  if (ComponentState().Contains(csLoading)) assignedPictures_ |= static_cast<uint8_t>(1u << index);
  return pictures_[static_cast<size_t>(index)].get();
}

void TCustomOutline::SetPicture(int index, const TBitmap* bitmap) {
  if (index < 0 || index >= static_cast<int>(pictures_.size())) return;
  auto& slot = pictures_[static_cast<size_t>(index)];
  assignedPictures_ |= static_cast<uint8_t>(1u << index);
  if (!bitmap) {
    slot.reset();
  } else {
    // A slot cleared before gets a new bitmap to copy into.
    if (!slot) slot = std::make_unique<TBitmap>();
    slot->Assign(bitmap);
  }
  Invalidate();
}

void TCustomOutline::DefineProperties(TFiler* filer) {
  TCustomGrid::DefineProperties(filer);
  bool hasData = assignedPictures_ != 0;
  if (auto* ancestor = dynamic_cast<TCustomOutline*>(filer->Ancestor()))
    hasData = ancestor->assignedPictures_ != 0 && (ancestor->assignedPictures_ & ~assignedPictures_) != 0;
  filer->DefineBinaryProperty(
      "Data",
      [this](TStream& s) {
        uint8_t bits = 0;
        s.ReadBuffer(&bits, 1);
        streamedPictures_ = bits;
      },
      [this](TStream& s) { s.WriteBuffer(&assignedPictures_, 1); }, hasData);
}

void TCustomOutline::Loaded() {
  TCustomGrid::Loaded();
  root_->visibleCount_ = root_->ChildCount();
  if (RowCount() > 0) MoveColRow(0, 0, true, true);
  selectedItem_ = root_;
  if (UpdateRowCount()) Invalidate();
  if (root_->HasChildren()) selectedItem_ = root_->children_.front();
  if (ComponentState().Contains(csDesigning)) root_->ExpandAll();
  for (int i = 0; i < static_cast<int>(pictures_.size()); ++i) {
    const uint8_t bit = static_cast<uint8_t>(1u << i);
    if ((streamedPictures_ & bit) && !(assignedPictures_ & bit)) SetPicture(i, nullptr);
  }
  streamedPictures_ = 0;
  AdjustScrollWidth();
}
