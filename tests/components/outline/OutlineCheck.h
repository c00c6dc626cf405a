#pragma once
// Shared by the outline tests: an invariant verifier of the node tree and
// small helpers to build and read outlines.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Outline.h"
#include "Streams.h"

namespace outline_test {

// Walks the whole tree and checks what every operation relies on: parent
// links and child positions, numbering in pre-order (asked through GetIndex,
// so the lazy numbering is what is checked), visible counts, expansion only
// below expanded nodes, the row of every item, the row count of the grid, and
// no node alive beyond the tree. Returns "" when the tree is sound, else the
// first fault found.
inline std::string VerifyTree(TCustomOutline& o) {
  TOutlineNode* root = o.RootNode();
  if (!root->Expanded()) return "root collapsed";
  if (root->GetIndex() != 0) return "root index " + std::to_string(root->GetIndex());
  std::vector<TOutlineNode*> order;
  std::vector<TOutlineNode*> pending{root};
  while (!pending.empty()) {
    TOutlineNode* n = pending.back();
    pending.pop_back();
    order.push_back(n);
    for (int i = n->ChildCount() - 1; i >= 0; --i) {
      TOutlineNode* c = n->Child(i);
      if (c->Parent() != n) return "parent link of " + c->Text();
      if (c->Position() != i) return "position of " + c->Text();
      if (c->PrevSibling() != (i > 0 ? n->Child(i - 1) : nullptr)) return "previous sibling of " + c->Text();
      if (c->NextSibling() != (i + 1 < n->ChildCount() ? n->Child(i + 1) : nullptr)) return "next sibling of " + c->Text();
      if (c->Expanded() && !n->Expanded()) return "expanded below collapsed: " + c->Text();
      pending.push_back(c);
    }
  }
  // Visible counts, children before parents.
  for (auto it = order.rbegin(); it != order.rend(); ++it) {
    TOutlineNode* n = *it;
    int expect = 0;
    if (n->Expanded())
      for (int i = 0; i < n->ChildCount(); ++i) expect += 1 + n->Child(i)->VisibleCount();
    if (n->VisibleCount() != expect)
      return "visible count of '" + n->Text() + "' is " + std::to_string(n->VisibleCount()) + ", expected " +
             std::to_string(expect);
  }
  // Numbers, asked in a scattered order so that lazy renumbering is exercised.
  const int count = static_cast<int>(order.size()) - 1;
  for (int step : {7, 1}) {
    for (int start = 0; start < step; ++start)
      for (int i = count - start; i >= 1; i -= step)
        if (order[static_cast<size_t>(i)]->GetIndex() != i)
          return "index of '" + order[static_cast<size_t>(i)]->Text() + "' is " +
                 std::to_string(order[static_cast<size_t>(i)]->GetIndex()) + ", expected " + std::to_string(i);
  }
  if (o.ItemCount() != count) return "item count " + std::to_string(o.ItemCount());
  if (o.NodesAlive() != order.size()) return "nodes alive " + std::to_string(o.NodesAlive());
  // Rows worked out from the counts agree with the plain walk over the rows,
  // also for items that no row shows.
  for (TOutlineNode* n : order) {
    int walked = 0;
    const bool shown = root->CountRowsTo(n, walked);
    if (o.RowOf(n) != walked - 2)
      return "row of '" + n->Text() + "' is " + std::to_string(o.RowOf(n)) + ", expected " + std::to_string(walked - 2);
    if (shown && root->FindVisible(walked - 1) != n) return "FindVisible misses '" + n->Text() + "'";
  }
  if (o.RowCount() != root->VisibleCount()) return "row count " + std::to_string(o.RowCount());
  return "";
}

// The items as lines: indentation by dots, then the text.
inline std::vector<std::string> Lines(TCustomOutline& o) {
  std::vector<std::string> lines;
  for (int i = 1; i <= o.ItemCount(); ++i) {
    TOutlineNode* n = o.GetItem(i);
    lines.push_back(std::string(static_cast<size_t>(n->Level() - 1), '.') + n->Text());
  }
  return lines;
}

inline std::string Save(TCustomOutline& o) {
  TStringStream s;
  o.SaveToStream(s);
  return s.DataString();
}

inline void Load(TCustomOutline& o, const std::string& bytes) {
  TStringStream s(bytes);
  o.LoadFromStream(s);
}

// The message of the EOutlineError that f raises, or "" when it raises none.
template <class F>
std::string OutlineErrorOf(F f) {
  try {
    f();
  } catch (const EOutlineError& e) {
    return e.Message();
  }
  return "";
}

}  // namespace outline_test
