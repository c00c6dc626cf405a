#include "Outline.h"

#include <algorithm>
#include <cstring>

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
}  // namespace

// ===========================================================================
// Nodes

const TClassInfo& TOutlineNode::StaticClass() {
  static const TClassInfo info = DefineClass<TOutlineNode>("TOutlineNode");
  return info;
}

TOutlineNode::TOutlineNode(TCustomOutline* owner) : outline_(owner) {}

TOutlineNode::~TOutlineNode() {
  TCustomOutline* o = outline_;
  const bool isRoot = o && o->root_ == this;
  const bool oldIgnore = o ? o->ignoreScrollResize_ : false;
  if (isRoot) o->ignoreScrollResize_ = true;
  int cached = 0;
  // Nothing below may throw out of a destructor; a hook's failure goes to the
  // application's error box like any other exception of a message handler.
  try {
    if (parent_ && o) cached = o->cachedItem_ == o->root_ ? 0 : o->cachedItem_->GetIndex();
    // Free the subtree without recursion: a loaded tree can be deeper than the
    // stack. Each freed descendant has its parent cleared and its children
    // taken away first, so its own destructor does nothing but forget itself.
    std::vector<TOutlineNode*> pending = std::move(children_);
    children_.clear();
    while (!pending.empty()) {
      TOutlineNode* n = pending.back();
      pending.pop_back();
      for (TOutlineNode* c : n->children_) pending.push_back(c);
      n->children_.clear();
      n->parent_ = nullptr;
      if (o && !isRoot) o->NodeDestroying(n, this);
      delete n;
    }
    if (o && !isRoot) o->NodeDestroying(this, this);
    if (parent_ && o) {
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
    if (o) o->ignoreScrollResize_ = oldIgnore;
    if (Application) Application->HandleException(o);
    return;
  }
  if (o) o->ignoreScrollResize_ = oldIgnore;
}

void TOutlineNode::SetText(const std::string& value) {
  if (value == text_) return;
  text_ = value;
  if (parent_ && parent_->expanded_) outline_->InvalidateNode(this);
  Changed();
}

int TOutlineNode::Level() const {
  int level = 0;
  for (const TOutlineNode* p = parent_; p; p = p->parent_) ++level;
  return level;
}

int TOutlineNode::GetIndex() {
  if (outline_->IsIndexStale(this)) outline_->ValidateIndex(this);
  return index_;
}

bool TOutlineNode::IsLastChild() const {
  return parent_ && position_ == static_cast<int>(parent_->children_.size()) - 1;
}

TOutlineNode* TOutlineNode::PrevSibling() const {
  return parent_ && position_ > 0 ? parent_->children_[static_cast<size_t>(position_ - 1)] : nullptr;
}

TOutlineNode* TOutlineNode::NextSibling() const {
  return parent_ && !IsLastChild() ? parent_->children_[static_cast<size_t>(position_ + 1)] : nullptr;
}

TOutlineNode* TOutlineNode::NextInPreorder() const {
  if (!children_.empty()) return children_.front();
  for (const TOutlineNode* n = this; n; n = n->parent_)
    if (TOutlineNode* s = n->NextSibling()) return s;
  return nullptr;
}

void TOutlineNode::AppendRaw(TOutlineNode* node) {
  node->parent_ = this;
  node->position_ = static_cast<int>(children_.size());
  children_.push_back(node);
}

void TOutlineNode::InsertAt(int position, TOutlineNode* node) {
  children_.insert(children_.begin() + position, node);
  node->parent_ = this;
  for (size_t i = static_cast<size_t>(position); i < children_.size(); ++i) children_[i]->position_ = static_cast<int>(i);
}

void TOutlineNode::RemoveAt(int position) {
  children_.erase(children_.begin() + position);
  for (size_t i = static_cast<size_t>(position); i < children_.size(); ++i) children_[i]->position_ = static_cast<int>(i);
}

void TOutlineNode::AdjustVisibleCount(int delta) {
  for (TOutlineNode* n = this; n && n->expanded_; n = n->parent_) n->visibleCount_ += delta;
}

// Collapses the node and every expanded node below it. The expanded part of a
// subtree is what its VisibleCount covers, so only that part is walked.
void TOutlineNode::CollapseSubtree() {
  const int hidden = visibleCount_;
  std::vector<TOutlineNode*> pending{this};
  while (!pending.empty()) {
    TOutlineNode* n = pending.back();
    pending.pop_back();
    for (TOutlineNode* c : n->children_)
      if (c->expanded_) pending.push_back(c);
    n->visibleCount_ = 0;
    n->expanded_ = false;
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
    expanded_ = true;
    AdjustVisibleCount(ChildCount());
  } else {
    CollapseSubtree();
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

TOutlineNode* TOutlineNode::FindVisible(int k) {
  TOutlineNode* n = this;
  for (;;) {
    if (k == 0) return n;
    if (k < 0 || k > n->visibleCount_) return nullptr;
    const int count = n->ChildCount();
    if (n->visibleCount_ == count) return n->children_[static_cast<size_t>(k - 1)];
    int i = 0, passed = 0;
    TOutlineNode* next = nullptr;
    while (i < count) {
      int j = i;
      while (j < count && !n->children_[static_cast<size_t>(j)]->expanded_) ++j;
      if (j > i) {
        if (j - i >= k) return n->children_[static_cast<size_t>(i + k - 1)];
        k -= j - i;
      }
      if (j == count) return nullptr;  // counts out of step; never in a consistent tree
      TOutlineNode* c = n->children_[static_cast<size_t>(j)];
      const int b = c->visibleCount_ + 1;
      passed += (j - i) + b;
      if (b >= k) {
        next = c;
        k -= 1;
        break;
      }
      if (count - 1 - j == n->visibleCount_ - passed) {
        const int at = j + (k - b);
        return at < count ? n->children_[static_cast<size_t>(at)] : nullptr;
      }
      k -= b;
      i = j + 1;
    }
    if (!next) return nullptr;
    n = next;
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

TCustomOutline::TCustomOutline(TComponent* owner) : TCustomGrid(owner) {
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
  root_ = indexMark_ = cachedItem_ = selectedItem_ = nullptr;
}

void TCustomOutline::ResetRoot() {
  if (!root_) root_ = new TOutlineNode(this);
  root_->expanded_ = true;
  root_->index_ = 0;
  selectedItem_ = root_;
  indexMark_ = root_;
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
  if (a->position_ < b->position_) return 0;
  if (a->position_ > b->position_) return 2;
  return la > lb ? 2 : la == lb ? 1 : 0;
}

TOutlineNode* TCustomOutline::FindIndexStart(TOutlineNode* node) {
  switch (CompareOrder(indexMark_, node)) {
    case 2:
      indexMark_ = node->PrevSibling() ? node->PrevSibling() : node->parent_;
      break;
    case 3:
      indexMark_ = root_;
      break;
    default:
      break;
  }
  return indexMark_;
}

void TCustomOutline::ValidateIndex(TOutlineNode* node) {
  TOutlineNode* start = FindIndexStart(node);
  int k = start->index_;
  if (!start->parent_) {
    // The mark stands on the root only in an empty or freshly reset tree, where
    // the node asked for is the first top-level item; numbering from that item
    // gives it 1 and stays right should any later node be asked first.
    if (node == root_ || root_->children_.empty()) {
      indexMark_ = node;
      return;
    }
    start = root_->children_.front();
    k = 1;
  }
  // Number the pre-order stretch from the start up to the node.
  for (TOutlineNode* n = start; n; n = n->NextInPreorder()) {
    n->index_ = k++;
    if (n == node) break;
  }
  indexMark_ = node;
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
  auto node = std::make_unique<TOutlineNode>(this);
  node->text_ = text;
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
  parent->AppendRaw(node);
  parent->AdjustVisibleCount(node->visibleCount_ + 1);
  ValidateIndex(node);
  NodeAdded(node);
  return node->index_;
}

// A new node widens the column at most to its own width, so while the column
// holds the exact widest item, measuring the new one gives what measuring
// every visible item would.
void TCustomOutline::NodeAdded(TOutlineNode* node) {
  if (!node->parent_ || !node->parent_->expanded_) return;
  if (!widthExact_ || DefaultColWidth() != exactWidth_ || !WidthWanted()) return NodeChanged(node);
  SetColumnWidth(std::max(exactWidth_, NodeDisplayWidth(node)));
  exactWidth_ = DefaultColWidth();
}

int TCustomOutline::AttachBefore(TOutlineNode* parent, TOutlineNode* target, TOutlineNode* node) {
  // The target's place among its siblings is kept in the node, so no search
  // by number is needed to find it.
  parent->InsertAt(target->position_, node);
  parent->AdjustVisibleCount(node->visibleCount_ + 1);
  ValidateIndex(node);
  NodeAdded(node);
  return node->index_;
}

void TCustomOutline::DetachChild(TOutlineNode* parent, TOutlineNode* node) {
  const int position = node->position_;
  FindIndexStart(position > 0 ? parent->children_[static_cast<size_t>(position - 1)] : parent);
  parent->RemoveAt(position);
  node->parent_ = nullptr;
  parent->AdjustVisibleCount(-(node->visibleCount_ + 1));
  if (!parent->HasChildren() && parent != root_) parent->SetExpanded(false);
  NodeChanged(parent);
}

// A node of a subtree that is being freed: what pointed at it must not any more.
void TCustomOutline::NodeDestroying(TOutlineNode* node, TOutlineNode* top) {
  if (selectedItem_ == node) selectedItem_ = root_;
  if (cachedItem_ == node) cachedItem_ = root_;
  // The top node is still attached; numbering may start there until it leaves.
  if (indexMark_ == node) indexMark_ = top == node ? indexMark_ : top;
}

void TCustomOutline::NodeRemoved(TOutlineNode* node, int cachedIndex) {
  if (indexMark_ == node) indexMark_ = root_;
  if (indexMark_ == root_ && root_->HasChildren()) ValidateIndex(root_->children_.front());
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

void TCustomOutline::Clear() {
  TOutlineNode* old = root_;
  root_ = nullptr;
  indexMark_ = cachedItem_ = selectedItem_ = nullptr;
  {
    const bool oldIgnore = ignoreScrollResize_;
    ignoreScrollResize_ = true;
    delete old;
    ignoreScrollResize_ = oldIgnore;
  }
  ResetRoot();
}

void TCustomOutline::FullCollapse() {
  for (TOutlineNode* c : root_->children_) c->SetExpanded(false);
}

// ---------------------------------------------------------------------------
// The text format

void TCustomOutline::LoadFromStream(TStream& stream) {
  Clear();
  try {
    ReadItems(stream);
  } catch (...) {
    // The items read before the failing line stay; their rows are counted so
    // that the tree stays consistent (the loaded items all collapsed).
    root_->visibleCount_ = root_->ChildCount();
    if (root_->HasChildren()) ValidateIndex(root_->children_.front());
    UpdateRowCount();
    throw;
  }
  if (!ComponentState().Contains(csLoading)) TCustomOutline::Loaded();
}

void TCustomOutline::ReadItems(TStream& stream) {
  TOutlineNode* current = root_;
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
      while (pos < end && buffer[pos] != '\r' && buffer[pos] != kEndOfFile) ++pos;
      if (pos >= end) break;  // cannot happen: every parsed stretch ends in CR or 26
      const bool eof = buffer[pos] == kEndOfFile;
      if (eof && pos == start) {
        done = true;
        break;
      }
      auto node = std::make_unique<TOutlineNode>(this);
      node->text_.assign(buffer.data() + textStart, pos - textStart);
      if (indent > previous || current == root_) {
        if (indent != previous && indent != previous + 1) OutlineFail(SOutlineFileLoad);
      } else {
        for (int climb = previous - indent + 1; climb > 0; --climb) {
          current = current->parent_;
          if (!current) OutlineFail(SOutlineFileLoad);
        }
      }
      current->AppendRaw(node.get());
      current = node.release();
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

int TCustomOutline::RowOf(const TOutlineNode* node) const {
  int count = 0;
  root_->CountRowsTo(node, count);
  return count - 2;
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
  widthExact_ = false;
  Gdi::WindowDc screen(nullptr);
  const int ppi = screen ? GetDeviceCaps(screen.get(), LOGPIXELSY) : 96;
  fontHeight_ = MulDiv(Font()->Size(), ppi, 72);
  const int rowHeight = MulDiv(fontHeight_, 120, 100);
  SetDefaultRowHeight(rowHeight);
  itemHeight_ = rowHeight;
}

void TCustomOutline::SetItemHeight(int value) {
  itemHeight_ = value;
  widthExact_ = false;
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
  widthExact_ = false;
  if (value == otStandard) SetFontMetrics();
}

void TCustomOutline::SetOptions(TOutlineOptions value) {
  if (options_ == value) return;
  options_ = value;
  widthExact_ = false;
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

int TCustomOutline::TextWidthOf(const std::string& text) {
  TCanvas* canvas = Canvas();
  if (canvas->HandleAllocated()) return canvas->TextWidth(text);
  // Outside painting the canvas has no device context; measure on a memory one.
  Gdi::MemoryDc dc(nullptr);
  TCanvasLease lease(*canvas, dc.get());
  canvas->Font()->Assign(Font());
  return canvas->TextWidth(text);
}

int TCustomOutline::NodeDisplayWidth(TOutlineNode* node) {
  const int64_t rh = DefaultRowHeight();
  const int64_t lev = node->Level();
  const int64_t g = (rh - fontHeight_) / 2;
  const int64_t w = TextWidthOf(node->Text()) + 1;
  const int64_t r = options_.Contains(ooDrawTreeRoot) ? rh : 0;
  int64_t width = 0;
  switch (drawStyle_) {
    case dsText: width = (lev - 1) * rh + w; break;
    case dsPlusMinusText:
    case dsPictureText: width = lev * rh + w; break;
    case dsPlusMinusPictureText: width = (lev + 1) * rh + w; break;
    case dsTreeText: width = (lev - 1) * rh - g + r + w; break;
    case dsTreePictureText: width = lev * rh - g + r + w; break;
  }
  return static_cast<int>(std::clamp<int64_t>(width, 0, INT32_MAX));
}

bool TCustomOutline::WidthWanted() const {
  const TScrollStyle bars = ScrollBars();
  return (bars == ssHorizontal || bars == ssBoth) && !ignoreScrollResize_ && !OwnerDrawing();
}

void TCustomOutline::AdjustScrollWidth() {
  if (!WidthWanted() || widthDeferred_ > 0) return;
  TCanvas* canvas = Canvas();
  if (canvas->HandleAllocated()) {
    SetColumnWidth(root_->MaxDisplayWidth(0));
  } else {
    Gdi::MemoryDc dc(nullptr);
    TCanvasLease lease(*canvas, dc.get());
    canvas->Font()->Assign(Font());
    SetColumnWidth(root_->MaxDisplayWidth(0));
  }
  widthExact_ = true;
  exactWidth_ = DefaultColWidth();
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
  if (root_->HasChildren()) {
    ValidateIndex(root_->children_.front());
    selectedItem_ = root_->children_.front();
  }
  if (ComponentState().Contains(csDesigning)) root_->ExpandAll();
  for (int i = 0; i < static_cast<int>(pictures_.size()); ++i) {
    const uint8_t bit = static_cast<uint8_t>(1u << i);
    if ((streamedPictures_ & bit) && !(assignedPictures_ & bit)) SetPicture(i, nullptr);
  }
  streamedPictures_ = 0;
  AdjustScrollWidth();
}
