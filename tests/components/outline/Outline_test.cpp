// The outline's item model without a window: numbering, insertion and
// deletion against a plain reference tree, expansion and its events, paths,
// the depth limit, the string view, and the text format with its loader's
// buffer boundaries and arbitrary input.

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "ExceptionCapture.h"
#include "OutlineCheck.h"

using namespace outline_test;

namespace {

struct Fixture {
  ExceptionCapture errors;
  std::unique_ptr<TCustomOutline> o = std::make_unique<TCustomOutline>(nullptr);
  std::vector<std::string> events;
  Fixture() {
    o->OnExpand = [this](TObject*, int i) { events.push_back("expand " + std::to_string(i)); };
    o->OnCollapse = [this](TObject*, int i) { events.push_back("collapse " + std::to_string(i)); };
  }
};

// a(b(c), d), e
void BuildSmall(TCustomOutline& o) {
  o.AddChild(0, "a");
  o.AddChild(1, "b");
  o.AddChild(2, "c");
  o.AddChild(1, "d");
  o.AddChild(0, "e");
}

// A plain tree in which every operation is written the obvious way.
struct Ref {
  std::string text;
  std::vector<Ref> children;
};
void Flatten(Ref& n, Ref* parent, std::vector<std::pair<Ref*, Ref*>>& out) {
  out.push_back({&n, parent});
  for (Ref& c : n.children) Flatten(c, &n, out);
}
std::vector<std::string> RefLines(Ref& root) {
  std::vector<std::pair<Ref*, Ref*>> all;
  Flatten(root, nullptr, all);
  std::vector<std::string> lines;
  std::vector<std::pair<Ref*, int>> depth{{&root, 0}};
  // Depth by a second walk.
  std::function<void(Ref&, int)> walk = [&](Ref& n, int level) {
    if (level > 0) lines.push_back(std::string(static_cast<size_t>(level - 1), '.') + n.text);
    for (Ref& c : n.children) walk(c, level + 1);
  };
  walk(root, 0);
  return lines;
}

}  // namespace

TEST(OutlineItems, EmptyOutlineAndFirstItems) {
  Fixture f;
  EXPECT_EQ(f.o->ItemCount(), 0);
  EXPECT_EQ(OutlineErrorOf([&] { f.o->GetItem(1); }), "Outline index not found");
  EXPECT_EQ(OutlineErrorOf([&] { f.o->GetItem(0); }), "Invalid outline index");
  EXPECT_EQ(OutlineErrorOf([&] { f.o->Delete(0); }), "Invalid outline index");
  EXPECT_EQ(OutlineErrorOf([&] { f.o->AddChild(-1, "x"); }), "Invalid outline index");
  EXPECT_EQ(OutlineErrorOf([&] { f.o->InsertBefore(-2, "x"); }), "Invalid outline index");
  EXPECT_EQ(f.o->AddChild(0, "a"), 1);
  EXPECT_EQ(f.o->AddSibling(0, "b"), 2);
  EXPECT_EQ(f.o->InsertBefore(0, "c"), 3);
  EXPECT_EQ(Lines(*f.o), (std::vector<std::string>{"a", "b", "c"}));
  EXPECT_EQ(VerifyTree(*f.o), "");
}

TEST(OutlineItems, InsertionModesPlaceAndNumberItems) {
  Fixture f;
  BuildSmall(*f.o);
  EXPECT_EQ(Lines(*f.o), (std::vector<std::string>{"a", ".b", "..c", ".d", "e"}));
  // InsertBefore takes the item's place; every later number moves by one.
  TOutlineNode* formerFirst = f.o->GetItem(1);
  EXPECT_EQ(f.o->InsertBefore(1, "x"), 1);
  EXPECT_EQ(f.o->GetItem(2), formerFirst);
  EXPECT_EQ(f.o->GetItem(6)->Text(), "e");
  // AddSibling appends after the last child of the item's parent.
  EXPECT_EQ(f.o->AddSibling(3, "s"), 6);  // sibling of b: after d
  EXPECT_EQ(f.o->InsertBefore(5, "y"), 5);  // before d
  EXPECT_EQ(Lines(*f.o), (std::vector<std::string>{"x", "a", ".b", "..c", ".y", ".d", ".s", "e"}));
  EXPECT_EQ(VerifyTree(*f.o), "");
  // A number that no item has: the error goes to the error box, then the
  // cached look-up raises it to the caller.
  EXPECT_EQ(OutlineErrorOf([&] { f.o->AddChild(99, "z"); }), "Outline index not found");
  EXPECT_EQ(f.errors.count, 1);
  EXPECT_EQ(f.errors.text, "Outline index not found");
  EXPECT_EQ(f.o->ItemCount(), 8);
  EXPECT_EQ(OutlineErrorOf([&] { f.o->Delete(9); }), "Outline index not found");
}

// Fills the outline and the plain tree with two long child lists (the top
// level and the first item's), so that edits split, empty and renumber the
// blocks that long lists are kept in.
static void AddLongLists(TCustomOutline& o, Ref& ref) {
  for (int k = 0; k < 300; ++k) {
    o.AddChild(0, "w" + std::to_string(k));
    ref.children.push_back({"w" + std::to_string(k), {}});
  }
  for (int k = 0; k < 300; ++k) {
    o.AddChild(1, "v" + std::to_string(k));
    ref.children[0].children.push_back({"v" + std::to_string(k), {}});
  }
}

TEST(OutlineItems, RandomEditsMatchAPlainTreeAndKeepEveryInvariant) {
  for (unsigned seed = 1; seed <= 15; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    Fixture f;
    Ref ref;
    if (seed > 12) AddLongLists(*f.o, ref);
    std::mt19937 rng(seed);
    int made = 0;
    for (int step = 0; step < 250; ++step) {
      std::vector<std::pair<Ref*, Ref*>> all;
      Flatten(ref, nullptr, all);
      const int count = static_cast<int>(all.size()) - 1;
      const int op = static_cast<int>(rng() % 10);
      const int i = count ? 1 + static_cast<int>(rng() % static_cast<unsigned>(count)) : 0;
      const std::string text = "n" + std::to_string(++made);
      SCOPED_TRACE("step " + std::to_string(step) + " op " + std::to_string(op) + " item " + std::to_string(i));
      if (op <= 2 || count == 0) {
        const int at = op == 0 ? 0 : i;
        f.o->AddChild(at, text);
        all[static_cast<size_t>(at)].first->children.push_back({text, {}});
      } else if (op == 3) {
        f.o->AddSibling(i, text);
        all[static_cast<size_t>(i)].second->children.push_back({text, {}});
      } else if (op == 4) {
        f.o->InsertBefore(i, text);
        auto& sibs = all[static_cast<size_t>(i)].second->children;
        size_t pos = 0;
        while (&sibs[pos] != all[static_cast<size_t>(i)].first) ++pos;
        sibs.insert(sibs.begin() + static_cast<long>(pos), Ref{text, {}});
      } else if (op == 5) {
        f.o->Delete(i);
        auto& sibs = all[static_cast<size_t>(i)].second->children;
        size_t pos = 0;
        while (&sibs[pos] != all[static_cast<size_t>(i)].first) ++pos;
        sibs.erase(sibs.begin() + static_cast<long>(pos));
      } else if (op == 6) {
        TOutlineNode* n = f.o->GetItem(i);
        if (n->Parent()->Expanded()) n->SetExpanded(!n->Expanded());
      } else if (op == 7) {
        TOutlineNode* n = f.o->GetItem(i);
        if (n->Parent()->Expanded()) n->ExpandAll();
      } else if (op == 8) {
        f.o->GetItem(i)->SetText(text);
        all[static_cast<size_t>(i)].first->text = text;
      } else if (count > 0) {
        // Look-ups at random numbers between edits.
        for (int k = 0; k < 5; ++k) {
          const int j = 1 + static_cast<int>(rng() % static_cast<unsigned>(count));
          ASSERT_EQ(f.o->GetItem(j)->Text(), all[static_cast<size_t>(j)].first->text);
        }
      }
      ASSERT_EQ(VerifyTree(*f.o), "");
      ASSERT_EQ(f.errors.count, 0) << f.errors.text;
    }
    EXPECT_EQ(Lines(*f.o), RefLines(ref));
  }
}

// The column width is kept as a maximum per subtree and measured again only
// where something changed; after any mix of edits, expansions, renamings,
// loads, font, style and scroll-bar changes it must still be what measuring
// every visible item gives.
TEST(OutlineItems, ColumnWidthStaysTheWidestVisibleItemThroughEveryChange) {
  {
    // A wide grandchild hidden by collapsing the top item stays hidden when
    // the top item alone expands again.
    Fixture f;
    BuildSmall(*f.o);
    f.o->GetItem(3)->SetText(std::string(40, 'W'));
    f.o->GetItem(1)->ExpandAll();
    const int wide = f.o->DefaultColWidth();
    f.o->GetItem(1)->Collapse();
    f.o->GetItem(1)->Expand();
    EXPECT_LT(f.o->DefaultColWidth(), wide);
    EXPECT_EQ(f.o->DefaultColWidth(), f.o->RootNode()->MaxDisplayWidth(0));
  }
  for (unsigned seed = 1; seed <= 6; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    Fixture f;
    TCustomOutline& o = *f.o;
    Ref unused;
    if (seed > 4) AddLongLists(o, unused);
    std::mt19937 rng(seed);
    for (int step = 0; step < 250; ++step) {
      const int count = o.ItemCount();
      const int i = count ? 1 + static_cast<int>(rng() % static_cast<unsigned>(count)) : 0;
      const std::string text(1 + rng() % 24, "iWm."[rng() % 4]);
      const int op = static_cast<int>(rng() % 12);
      SCOPED_TRACE("step " + std::to_string(step) + " op " + std::to_string(op) + " item " + std::to_string(i));
      if (op <= 2 || count == 0) {
        o.AddChild(op == 0 ? 0 : i, text);
      } else if (op == 3) {
        o.InsertBefore(i, text);
      } else if (op == 4) {
        o.Delete(i);
      } else if (op == 5) {
        o.GetItem(i)->SetText(text);
      } else if (op == 6 || op == 7) {
        // Often the parent, so that subtrees with expanded parts collapse and come back.
        TOutlineNode* n = o.GetItem(i)->NearestVisible();
        if (n->Parent() != o.RootNode() && rng() % 2) n = n->Parent();
        if (op == 6)
          n->SetExpanded(!n->Expanded());
        else
          n->ExpandAll();
      } else if (op == 8) {
        o.Font()->SetSize(7 + static_cast<int>(rng() % 8));
      } else if (op == 9) {
        o.SetDrawStyle(static_cast<TOutlineDrawStyle>(rng() % 6));
      } else if (op == 10) {
        o.SetScrollBars(o.ScrollBars() == ssBoth ? ssNone : ssBoth);
      } else {
        Load(o, Save(o));
        for (int k = 0; k < 3 && o.ItemCount(); ++k) o.GetItem(1 + static_cast<int>(rng() % static_cast<unsigned>(o.ItemCount())))->NearestVisible()->Expand();
      }
      if (o.ScrollBars() == ssBoth) {
        o.AdjustScrollWidth();
        ASSERT_EQ(o.DefaultColWidth(), o.RootNode()->MaxDisplayWidth(0));
      }
    }
    EXPECT_EQ(f.errors.count, 0) << f.errors.text;
  }
}

// Long child lists are kept in blocks that each remember their widest item:
// edits that add, remove, rename, show and hide items in them, with the column
// following every change, must leave the column as wide as the widest item.
TEST(OutlineItems, ColumnWidthOverLongChildLists) {
  Fixture f;
  TCustomOutline& o = *f.o;
  o.SetScrollBars(ssBoth);
  Ref unused;
  AddLongLists(o, unused);
  o.GetItem(1)->Expand();
  std::mt19937 rng(99);
  for (int step = 0; step < 600; ++step) {
    const int count = o.ItemCount();
    const int i = 1 + static_cast<int>(rng() % static_cast<unsigned>(count));
    const std::string text(1 + rng() % 30, "iWm"[rng() % 3]);
    const int op = static_cast<int>(rng() % 10);
    SCOPED_TRACE("step " + std::to_string(step) + " op " + std::to_string(op) + " item " + std::to_string(i));
    if (op >= 8) {
      // The widest shown item shrinks or goes: the column falls back to the
      // next widest, wherever that one is kept.
      TOutlineNode* widest = nullptr;
      for (int r = 1; r <= o.RootNode()->VisibleCount(); ++r) {
        TOutlineNode* n = o.RootNode()->FindVisible(r);
        if (!widest || n->DisplayWidth() > widest->DisplayWidth()) widest = n;
      }
      if (op == 8)
        widest->SetText("i");
      else if (widest->GetIndex() != 1)
        o.Delete(widest->GetIndex());
    } else if (op == 0) {
      o.AddChild(rng() % 2 ? 0 : 1, text);
    } else if (op == 1) {
      o.InsertBefore(i, text);
    } else if (op == 2 && count > 2) {
      o.Delete(i == 1 ? 2 : i);
    } else if (op == 3 || op == 4) {
      o.GetItem(i)->SetText(text);
    } else if (op == 5) {
      TOutlineNode* n = o.GetItem(i);
      if (n->Parent()->Expanded()) n->SetExpanded(!n->Expanded());
    } else if (op == 6) {
      o.AddChild(i, text);
    } else {
      o.GetItem(1)->SetExpanded(!o.GetItem(1)->Expanded());
    }
    // Compared every third step, so that edits also meet maxima left stale
    // by the ones before.
    if (step % 3 != 2) continue;
    o.AdjustScrollWidth();
    ASSERT_EQ(o.DefaultColWidth(), o.RootNode()->MaxDisplayWidth(0));
  }
  EXPECT_EQ(VerifyTree(o), "");
  EXPECT_EQ(f.errors.count, 0) << f.errors.text;
}

TEST(OutlineItems, CompareOrderAndRows) {
  Fixture f;
  BuildSmall(*f.o);
  TOutlineNode* a = f.o->GetItem(1);
  TOutlineNode* b = f.o->GetItem(2);
  TOutlineNode* c = f.o->GetItem(3);
  TOutlineNode* d = f.o->GetItem(4);
  TOutlineNode* root = f.o->RootNode();
  struct Case {
    TOutlineNode *x, *y;
    int expect;
  } cases[] = {{a, a, 1}, {a, b, 0}, {b, a, 2}, {c, d, 0}, {d, c, 2}, {a, c, 0}, {c, a, 2},
               {root, a, 3}, {c, root, 3}, {f.o->GetItem(5), d, 2}};
  for (const Case& k : cases)
    EXPECT_EQ(TCustomOutline::CompareOrder(k.x, k.y), k.expect) << k.x->Text() << " " << k.y->Text();
  // Rows: only the top level shows; after expanding a and b, four rows lie above e.
  EXPECT_EQ(f.o->RowCount(), 2);
  a->Expand();
  b->Expand();
  EXPECT_EQ(f.o->RowCount(), 5);
  const char* rows[] = {"a", "b", "c", "d", "e"};
  for (int r = 0; r < 5; ++r) {
    TOutlineNode* n = root->FindVisible(r + 1);
    ASSERT_NE(n, nullptr);
    EXPECT_EQ(n->Text(), rows[r]);
    EXPECT_EQ(f.o->RowOf(n), r);
  }
  EXPECT_EQ(root->FindVisible(0), root);
  // In a long list, a child that was expanded when its parent collapsed takes
  // one row again when the parent comes back: the rows of later items follow.
  Fixture g;
  Ref unused;
  AddLongLists(*g.o, unused);
  for (int k = 0; k < 5; ++k) g.o->AddChild(2, "x");
  g.o->GetItem(1)->Expand();
  g.o->GetItem(2)->Expand();
  g.o->GetItem(1)->Collapse();
  g.o->GetItem(1)->Expand();
  EXPECT_EQ(VerifyTree(*g.o), "");
}

TEST(OutlineItems, ExpandingCollapsingAndTheirEvents) {
  Fixture f;
  BuildSmall(*f.o);
  TOutlineNode* a = f.o->GetItem(1);
  TOutlineNode* b = f.o->GetItem(2);
  EXPECT_EQ(OutlineErrorOf([&] { b->Expand(); }), "Parent must be expanded");
  a->Expand();
  a->Expand();  // already expanded: nothing, no event
  b->Expand();
  EXPECT_EQ(f.events, (std::vector<std::string>{"expand 1", "expand 2"}));
  // Deleting the last child of an expanded item collapses it and says so.
  f.events.clear();
  f.o->Delete(3);
  EXPECT_FALSE(b->Expanded());
  EXPECT_EQ(f.events, (std::vector<std::string>{"collapse 2"}));
  EXPECT_EQ(VerifyTree(*f.o), "");
  // Collapsing a collapses its whole subtree.
  f.o->AddChild(2, "c2");
  b->Expand();
  f.events.clear();
  a->Collapse();
  EXPECT_FALSE(b->Expanded());
  EXPECT_EQ(f.events, (std::vector<std::string>{"collapse 1"}));
  EXPECT_EQ(VerifyTree(*f.o), "");
  // A handler of the expansion may still add the children it shows.
  f.o->OnExpand = [&](TObject*, int i) { f.o->AddChild(i, "lazy"); };
  f.o->GetItem(5)->Expand();
  EXPECT_EQ(f.o->GetItem(6)->Text(), "lazy");
  EXPECT_TRUE(f.o->GetItem(6)->IsVisible());
  EXPECT_EQ(VerifyTree(*f.o), "");
}

TEST(OutlineItems, PathsChildNumbersAndNearestVisible) {
  Fixture f;
  BuildSmall(*f.o);
  EXPECT_EQ(f.o->GetItem(3)->Path(), "a\\b\\c");
  EXPECT_EQ(f.o->GetItem(5)->Path(), "e");
  EXPECT_EQ(f.o->RootNode()->Path(), "");
  f.o->SetPathSeparator("/");
  EXPECT_EQ(f.o->GetItem(4)->Path(), "a/d");
  TOutlineNode* a = f.o->GetItem(1);
  EXPECT_EQ(a->FirstChildIndex(), 2);
  EXPECT_EQ(a->LastChildIndex(), 4);
  EXPECT_EQ(a->NextChildIndex(2), 4);
  EXPECT_EQ(a->NextChildIndex(4), -1);
  EXPECT_EQ(a->NextChildIndex(3), -1);  // a grandchild is no child
  EXPECT_EQ(f.o->GetItem(3)->FirstChildIndex(), -1);
  EXPECT_EQ(f.o->GetItem(3)->NearestVisible(), a);
  EXPECT_FALSE(f.o->RootNode()->IsVisible());
}

TEST(OutlineItems, DepthLimitOf256Levels) {
  Fixture f;
  int last = 0;
  for (int level = 1; level <= 256; ++level) last = f.o->AddChild(last, "l" + std::to_string(level));
  EXPECT_EQ(f.o->GetItem(256)->Level(), 256);
  EXPECT_EQ(f.o->AddChild(256, "too deep"), 0);
  EXPECT_EQ(f.errors.text, "Maximum outline depth exceeded");
  EXPECT_EQ(f.o->AddSibling(256, "beside"), 257);  // a sibling at 256 is fine
  EXPECT_EQ(f.o->ItemCount(), 257);
  EXPECT_EQ(VerifyTree(*f.o), "");
}

TEST(OutlineItems, StringViewLinesAndAddRules) {
  Fixture f;
  TOutlineStrings& s = *f.o->Strings();
  EXPECT_EQ(s.Add("\ta"), 0);  // the first line may be one step in
  EXPECT_EQ(s.Add("\t\tb"), 1);
  EXPECT_EQ(s.Add("\t\t\tc"), 2);  // two steps deeper than b's own indentation: b's child
  EXPECT_EQ(s.Add("d"), 3);
  EXPECT_EQ(Lines(*f.o), (std::vector<std::string>{"a", ".b", "..c", "d"}));
  EXPECT_EQ(s.Count(), 4);
  EXPECT_EQ(s.Get(2), "\t\tc");
  EXPECT_EQ(OutlineErrorOf([&] { s.Add("\t\t\td"); }), "File load error");
  s.Insert(0, "z");
  EXPECT_EQ(s.Get(0), "z");
  int tag = 0;
  s.PutObject(1, reinterpret_cast<TObject*>(&tag));
  EXPECT_EQ(f.o->GetItem(2)->Data(), &tag);
  s.Delete(0);
  EXPECT_EQ(s.Get(0), "a");
  s.Clear();
  EXPECT_EQ(s.Count(), 0);
  EXPECT_EQ(OutlineErrorOf([&] { s.Add("\t\tx"); }), "File load error");
}

TEST(OutlineText, LoadAndSaveRoundTrip) {
  Fixture f;
  const std::string text = "a\r\n\tb\r\n\t\tc\r\nd\r\n";
  Load(*f.o, text);
  EXPECT_EQ(Lines(*f.o), (std::vector<std::string>{"a", ".b", "..c", "d"}));
  EXPECT_EQ(Save(*f.o), text);
  EXPECT_EQ(VerifyTree(*f.o), "");
  EXPECT_EQ(f.o->RowCount(), 2);
  EXPECT_EQ(f.o->SelectedIndex(), 1);
  // Blanks count as indentation too; saving writes TABs.
  Load(*f.o, "a\r\n b\r\n\t c\r\n");
  EXPECT_EQ(Save(*f.o), "a\r\n\tb\r\n\t\tc\r\n");
}

TEST(OutlineText, LoaderCases) {
  const std::string long4094(4094, 'x'), long4095(4095, 'y');
  struct Case {
    const char* name;
    std::string input;
    std::vector<std::string> lines;
    const char* error;
  } cases[] = {
      {"empty", "", {}, ""},
      {"no CR at all", "abc", {"abc"}, ""},
      {"CR without LF", "a\rb\r", {"a", "b"}, ""},
      {"lone LF is text", "a\nb\r\n", {"a\nb"}, ""},
      {"blank line", "a\r\n\r\nb", {"a", "", "b"}, ""},
      {"byte 26 ends input", std::string("a\r\nb\x1a" "c\r\n"), {"a", "b"}, ""},
      {"byte 26 at start", std::string("\x1a" "a"), {}, ""},
      {"byte 26 after CR LF", std::string("a\r\n\x1a" "b"), {"a"}, ""},
      {"climb to sibling", "a\r\n\tb\r\n\t\tc\r\n\td\r\ne", {"a", ".b", "..c", ".d", "e"}, ""},
      {"first line one step in", "\ta\r\n\tb", {"a", "b"}, ""},
      {"first line two steps in", "\t\ta", {}, "File load error"},
      {"jump two steps", "a\r\n\t\tb", {"a"}, "File load error"},
      {"climb past the root", "\ta\r\nb", {"a"}, "File load error"},
      {"line of 4094 bytes", long4094 + "\r\nz", {long4094, "z"}, ""},
      {"line of 4094 bytes, CR LF last", "ab\r\n" + std::string(4090, 'q') + "\r\n", {"ab", std::string(4090, 'q')}, ""},
      {"line of 4095 bytes", long4095 + "\r\n", {}, "Line too long"},
      {"no CR in 4096 bytes", std::string(5000, 'w'), {}, "Line too long"},
      {"short input without CR", std::string(4095, 'v'), {std::string(4095, 'v')}, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Fixture f;
    EXPECT_EQ(OutlineErrorOf([&] { Load(*f.o, c.input); }), c.error);
    EXPECT_EQ(Lines(*f.o), c.lines);
    EXPECT_EQ(VerifyTree(*f.o), "");
  }
}

TEST(OutlineText, EveryBufferBoundary) {
  // A CR (and its LF) at each place around the end of the first buffer, and
  // byte 26 at each place in a short input.
  for (int first = 4088; first <= 4096; ++first) {
    SCOPED_TRACE("first line " + std::to_string(first));
    Fixture f;
    const std::string one(static_cast<size_t>(first), 'a');
    const std::string input = one + "\r\nsecond\r\nthird";
    const std::string error = OutlineErrorOf([&] { Load(*f.o, input); });
    if (first <= 4094) {
      EXPECT_EQ(error, "");
      EXPECT_EQ(Lines(*f.o), (std::vector<std::string>{one, "second", "third"}));
    } else {
      EXPECT_EQ(error, "Line too long");
    }
  }
  const std::string base = "ab\r\n\tcd\r\nef";
  for (size_t at = 0; at <= base.size(); ++at) {
    SCOPED_TRACE("byte 26 at " + std::to_string(at));
    Fixture f;
    std::string input = base;
    input.insert(at, 1, '\x1a');
    Fixture whole;
    Load(*whole.o, base.substr(0, at));
    EXPECT_EQ(OutlineErrorOf([&] { Load(*f.o, input); }), "");
    EXPECT_EQ(Lines(*f.o), Lines(*whole.o));
  }
}

TEST(OutlineText, HundredsOfLevelsAndHugeDepth) {
  Fixture f;
  std::string text;
  for (int level = 0; level < 600; ++level) text += std::string(static_cast<size_t>(level), ' ') + "n\r\n";
  // Indentation of 600 blanks overflows no line: the lines are short enough.
  Load(*f.o, text);
  EXPECT_EQ(f.o->ItemCount(), 600);
  EXPECT_EQ(f.o->GetItem(600)->Level(), 600);  // loading applies no depth limit
  EXPECT_EQ(VerifyTree(*f.o), "");
  // Saving writes one TAB per level; loading it back gives the same tree.
  const std::string saved = Save(*f.o);
  Load(*f.o, saved);
  EXPECT_EQ(f.o->GetItem(600)->Level(), 600);
  f.o->FullExpand();
  EXPECT_EQ(f.o->RowCount(), 600);
  EXPECT_EQ(VerifyTree(*f.o), "");
  // The deepest chain the line length allows loads, expands, counts its rows
  // and frees.
  TStringStream big;
  std::string line;
  for (int level = 0; level < 4000; ++level) {
    line.assign(static_cast<size_t>(level), '\t');
    line += "x\r\n";
    big.WriteString(line);
  }
  big.SetPosition(0);
  f.o->LoadFromStream(big);
  EXPECT_EQ(f.o->ItemCount(), 4000);
  f.o->FullExpand();
  EXPECT_EQ(f.o->RowCount(), 4000);
  EXPECT_EQ(f.o->RowOf(f.o->GetItem(4000)), 3999);
  f.o->Clear();
  EXPECT_EQ(f.o->ItemCount(), 0);
}

TEST(OutlineText, SavingALineLongerThanTheBufferKeepsItWhole) {
  Fixture f;
  const std::string huge(10000, 'h');
  f.o->AddChild(0, "a");
  f.o->AddChild(1, huge);
  EXPECT_EQ(Save(*f.o), "a\r\n\t" + huge + "\r\n");
}

TEST(OutlineText, ArbitraryInputEndsAsASoundTreeOrAnError) {
  std::mt19937 rng(20261208);
  const std::string alphabet = "ab \t\t\t\r\n\x1a";
  const std::string seeds[] = {"a\r\n\tb\r\n\t\tc\r\nd\r\n", "x\r\n\ty\r\n\t\tz\r\n\t\t\tw\r\n\tv\r\nu\r\n"};
  // Every input is also loaded over the tree that the round before left, with
  // some of its items expanded, selected, holding data and a long text: the
  // result must be the tree that a new outline loads.
  Fixture reused;
  reused.o->SetScrollBars(ssBoth);
  for (int round = 0; round < 400; ++round) {
    std::string input;
    const int kind = round % 4;
    if (kind == 0) {
      // Random bytes drawn mostly from the format's own.
      const size_t length = rng() % 300;
      for (size_t i = 0; i < length; ++i) input += alphabet[rng() % alphabet.size()];
    } else if (kind == 1) {
      // A valid text with a few bytes changed, inserted or removed.
      input = seeds[rng() % 2];
      for (int m = 0; m < 3; ++m) {
        const size_t at = rng() % (input.size() + 1);
        const char ch = alphabet[rng() % alphabet.size()];
        switch (rng() % 3) {
          case 0: if (at < input.size()) input[at] = ch; break;
          case 1: input.insert(at, 1, ch); break;
          default: if (at < input.size()) input.erase(at, 1); break;
        }
      }
    } else if (kind == 2) {
      // Long lines around the buffer size, with stray CRs.
      const size_t length = 3000 + rng() % 3000;
      input.assign(length, 'L');
      for (int m = 0; m < 3; ++m) input[rng() % length] = "\r\n\x1a"[rng() % 3];
    } else {
      // Random indentation jumps.
      const int lines = round % 8 == 3 ? 400 : 50;
      for (int l = 0; l < lines; ++l) input += std::string(rng() % 4, '\t') + "i\r\n";
    }
    SCOPED_TRACE("round " + std::to_string(round));
    Fixture f;
    const std::string error = OutlineErrorOf([&] { Load(*f.o, input); });
    EXPECT_TRUE(error == "" || error == "File load error" || error == "Line too long") << error;
    ASSERT_EQ(VerifyTree(*f.o), "");
    const int before = reused.o->ItemCount();
    for (int k = 0; k < 4 && before; ++k) {
      TOutlineNode* n = reused.o->GetItem(1 + static_cast<int>(rng() % static_cast<unsigned>(before)));
      n->SetData(n);
      if (k == 0) n->SetText(std::string(200, 'T'));
      n->NearestVisible()->ExpandAll();
      reused.o->SetSelectedIndex(n->NearestVisible()->GetIndex());
    }
    EXPECT_EQ(OutlineErrorOf([&] { Load(*reused.o, input); }), error);
    ASSERT_EQ(VerifyTree(*reused.o), "");
    ASSERT_EQ(Lines(*reused.o), Lines(*f.o));
    for (int i = 1; i <= reused.o->ItemCount(); ++i) {
      TOutlineNode* n = reused.o->GetItem(i);
      ASSERT_FALSE(n->Expanded() || n->Data()) << i;
    }
    EXPECT_EQ(reused.o->SelectedIndex(), f.o->SelectedIndex());
    reused.o->AdjustScrollWidth();
    EXPECT_EQ(reused.o->DefaultColWidth(), reused.o->RootNode()->MaxDisplayWidth(0));
    if (error.empty()) {
      // A loaded tree saves and loads back to the same items.
      const std::vector<std::string> lines = Lines(*f.o);
      Fixture again;
      Load(*again.o, Save(*f.o));
      EXPECT_EQ(Lines(*again.o), lines);
    }
  }
}
