// Times the outline on a tree of 1,000,000 items: building it by AddChild,
// look-ups at random numbers, the node of every row of a half-expanded tree,
// saving and loading against a plain read of the same bytes (and the load per
// item on a tree small enough for the caches), single edits on the full tree
// (each also right after an insertion at the front has moved every number,
// with 500,500 rows shown and the column following the widest item), the same
// edits on one list of 1,000,000 top-level items and on one item with 999,999
// children, and the directory outline reading a level of 10,000
// subdirectories. The system tree view inserts the same kind of tree for
// comparison. Prints figures; it is not a test.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "Cdiroutl.h"
#include "Forms.h"
#include "Outline.h"
#include "Streams.h"

namespace {
using Clock = std::chrono::steady_clock;

double Ms(Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double, std::milli>(b - a).count(); }

constexpr int kParents = 1000;
constexpr int kChildren = 999;  // 1,000 + 1,000 x 999 = 1,000,000 items

std::string Name(int i) {
  char buf[32];
  snprintf(buf, sizeof buf, "item %07d", i);
  return buf;
}

// Builds `parents` top-level items with `children` children each, every parent
// added after the children of the one before: the way a caller fills a tree.
double BuildOutline(TCustomOutline& o, int parents, int children) {
  const auto t0 = Clock::now();
  int n = 0;
  for (int p = 0; p < parents; ++p) {
    const int parent = o.AddChild(0, Name(n++));
    for (int c = 0; c < children; ++c) o.AddChild(parent, Name(n++));
  }
  return Ms(t0, Clock::now());
}

double BuildTreeView(HWND tree, int parents, int children) {
  const auto t0 = Clock::now();
  int n = 0;
  TVINSERTSTRUCTA ins{};
  ins.item.mask = TVIF_TEXT;
  for (int p = 0; p < parents; ++p) {
    std::string text = Name(n++);
    ins.hParent = TVI_ROOT;
    ins.hInsertAfter = TVI_LAST;
    ins.item.pszText = text.data();
    auto parent = reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&ins)));
    for (int c = 0; c < children; ++c) {
      text = Name(n++);
      ins.hParent = parent;
      ins.item.pszText = text.data();
      SendMessageA(tree, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&ins));
    }
  }
  return Ms(t0, Clock::now());
}

double TreeViewTime(int parents, int children) {
  HWND tree = CreateWindowExA(0, WC_TREEVIEWA, "", WS_POPUP | TVS_HASLINES | TVS_HASBUTTONS, 0, 0, 300, 400,
                              nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  const double ms = BuildTreeView(tree, parents, children);
  DestroyWindow(tree);
  return ms;
}

// Times one call; returns milliseconds.
template <class F>
double Once(F f) {
  const auto t0 = Clock::now();
  f();
  return Ms(t0, Clock::now());
}

void Row(const char* what, double ms) { printf("  %-58s %10.3f ms\n", what, ms); }

// One kind of single-item operation, timed over several rounds.
struct Op {
  const char* what;
  std::function<void()> run;
  double total = 0;
  double worst = 0;
  int runs = 0;
};

void Timed(Op& op) {
  const double ms = Once(op.run);
  op.total += ms;
  op.worst = std::max(op.worst, ms);
  ++op.runs;
}

// Every kind of single-item operation on the full tree, each right after an
// InsertBefore(1) has made every cached number stale; prints the average and
// the slowest of each and returns the slowest of all.
double SingleItemOps(TCustomOutline& o, std::mt19937& rng) {
  auto any = [&] { return 1 + static_cast<int>(rng() % static_cast<unsigned>(o.ItemCount())); };
  auto topLevel = [&] { return o.RootNode()->Child(static_cast<int>(rng() % static_cast<unsigned>(o.RootNode()->ChildCount()))); };
  const std::string wide(60, 'W');
  std::vector<Op> ops;
  ops.push_back({"GetItem at a random number", [&] { o.GetItem(any()); }});
  ops.push_back({"ItemCount", [&] { o.ItemCount(); }});
  ops.push_back({"AddChild to a random item", [&] { o.AddChild(any(), "child"); }});
  ops.push_back({"AddChild of a top-level item at the end", [&] { o.AddChild(0, "end"); }});
  ops.push_back({"InsertBefore a random item", [&] { o.InsertBefore(any(), "before"); }});
  ops.push_back({"Delete a random item", [&] { o.Delete(any()); }});
  ops.push_back({"SetText of a random item", [&] { o.GetItem(any())->SetText("renamed"); }});
  ops.push_back({"SetText making an item the widest, then as before", [&] {
                   TOutlineNode* n = o.RootNode()->Child(1);
                   const std::string text = n->Text();
                   n->SetText(wide);
                   n->SetText(text);
                 }});
  ops.push_back({"Collapse or expand a random top-level item", [&] {
                   TOutlineNode* n = topLevel();
                   n->SetExpanded(!n->Expanded());
                 }});
  ops.push_back({"SelectedIndex := a random item (and its row)", [&] { o.SetSelectedIndex(any()); }});
  ops.push_back({"FindVisible of a random row", [&] {
                   o.RootNode()->FindVisible(1 + static_cast<int>(rng() % static_cast<unsigned>(o.RootNode()->VisibleCount())));
                 }});
  ops.push_back({"Path of a random item", [&] { o.GetItem(any())->Path(); }});
  ops.push_back({"Delete item 1", [&] { o.Delete(1); }});
  Op front{"InsertBefore item 1 (every number moves)", [&] { o.InsertBefore(1, "front"); }};
  constexpr int kRounds = 10;
  for (int round = 0; round < kRounds; ++round)
    for (Op& op : ops) {
      Timed(front);
      Timed(op);
    }
  ops.insert(ops.begin(), front);
  double worst = 0;
  printf("  %-58s %10s %10s\n", "", "average", "slowest");
  for (const Op& op : ops) {
    printf("  %-58s %7.3f ms %7.3f ms\n", op.what, op.total / op.runs, op.worst);
    worst = std::max(worst, op.worst);
  }
  return worst;
}

}  // namespace

int main() {
  InitApplication();
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_TREEVIEW_CLASSES};
  InitCommonControlsEx(&icc);
  printf("Outline, %d items (%d top-level items of %d children each)\n", kParents * (kChildren + 1), kParents,
         kChildren);

  auto o = std::make_unique<TCustomOutline>(nullptr);
  const double build = BuildOutline(*o, kParents, kChildren);
  Row("building by AddChild", build);
  printf("  %-58s %10d\n", "items", o->ItemCount());

  // Look-ups at random numbers.
  std::mt19937 rng(7);
  const int count = o->ItemCount();
  double worst = 0;
  const auto g0 = Clock::now();
  constexpr int kLookups = 200000;
  for (int i = 0; i < kLookups; ++i) {
    const int k = 1 + static_cast<int>(rng() % static_cast<unsigned>(count));
    const auto a = Clock::now();
    if (o->GetItem(k)->Text().empty()) return 1;
    worst = std::max(worst, Ms(a, Clock::now()));
  }
  Row("GetItem at a random number, average", Ms(g0, Clock::now()) / kLookups);
  Row("GetItem at a random number, slowest", worst);

  // Every row of a half-expanded tree.
  for (int p = 0; p < kParents; p += 2) o->RootNode()->Child(p)->Expand();
  const int rows = o->RootNode()->VisibleCount();
  const auto v0 = Clock::now();
  long long sum = 0;
  for (int r = 0; r < rows; ++r) sum += o->RootNode()->FindVisible(r + 1)->Level();
  const double visible = Ms(v0, Clock::now());
  printf("  %-58s %10d\n", "rows of the half-expanded tree", rows);
  Row("FindVisible for every row, in all", visible);
  Row("FindVisible for one row, average", visible / rows);
  if (sum == 0) return 1;

  // Single edits on the full tree, and the look-ups that pay for them.
  Row("AddChild of a top-level item at the end", Once([&] { o->AddChild(0, "end"); }));
  Row("InsertBefore item 1 (all numbers move)", Once([&] { o->InsertBefore(1, "front"); }));
  Row("GetItem(500000) after it (renumbers half the tree)", Once([&] { o->GetItem(500000); }));
  Row("ItemCount after it (renumbers the rest)", Once([&] { o->ItemCount(); }));
  Row("Delete item 1", Once([&] { o->Delete(1); }));
  Row("GetItem(999999) after it", Once([&] { o->GetItem(999999); }));
  Row("InsertBefore item 500000", Once([&] { o->InsertBefore(500000, "middle"); }));
  Row("Delete item 500000", Once([&] { o->Delete(500000); }));
  Row("Collapse an expanded top-level item", Once([&] { o->RootNode()->Child(0)->Collapse(); }));
  Row("Expand it again", Once([&] { o->RootNode()->Child(0)->Expand(); }));
  Row("SelectedIndex := 999000 (row of a late item)", Once([&] { o->SetSelectedIndex(999000); }));
  o->Delete(o->ItemCount());

  // The column follows the widest visible item: removing the widest one, or
  // collapsing the item above it, makes the outline find the next widest.
  TOutlineNode* second = o->RootNode()->Child(2);
  const int widened = second->FirstChildIndex();
  o->GetItem(widened)->SetText(std::string(80, 'W'));
  Row("Collapse the item above the widest visible item", Once([&] { second->Collapse(); }));
  Row("Expand it again", Once([&] { second->Expand(); }));
  Row("Delete the widest visible item", Once([&] { o->Delete(widened); }));
  printf("  %-58s %10d\n", "rows shown", o->RootNode()->VisibleCount());

  printf("Single-item operations on %d items, %d rows shown, each after an insertion at the front\n",
         o->ItemCount(), o->RootNode()->VisibleCount());
  const double worstSingle = SingleItemOps(*o, rng);
  Row("slowest single-item operation", worstSingle);
  Row("a new font (every visible item measured again)", Once([&] { o->Font()->SetSize(o->Font()->Size() + 1); }));

  // Saving and loading against a plain read of the same bytes from a file.
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  const std::string file = std::string(temp) + "zxoutline-bench.txt";
  double save;
  {
    TFileStream out(file, fmCreate);
    save = Once([&] { o->SaveToStream(out); });
  }
  // Every figure is the best of three turns, taken in alternation: a single
  // read of a cached file varies several times over on a busy machine. Each
  // load replaces the tree of the turn before (the same shape). Beside the
  // plain read, the least that any structure with one object per item pays:
  // the same read, every line split off and kept as a string in a list that
  // already holds strings of the turn before (no allocation per line).
  int64_t bytes = 0;
  double plain = 1e300;
  double load = 1e300;
  double kept = 1e300;
  std::vector<std::string> lines;
  for (int turn = 0; turn < 3; ++turn) {
    {
      TFileStream in(file, fmOpenRead);
      std::vector<char> buffer(4096);
      kept = std::min(kept, Once([&] {
                        size_t n = 0;
                        std::string partial;
                        bool lf = false;  // an LF may follow a CR that ended the last piece
                        int64_t got;
                        while ((got = in.Read(buffer.data(), 4096)) > 0) {
                          const char* p = buffer.data();
                          const char* end = p + got;
                          if (lf && *p == '\n') ++p;
                          while (p < end) {
                            const char* cr = static_cast<const char*>(std::memchr(p, '\r', static_cast<size_t>(end - p)));
                            if (!cr) {
                              partial.append(p, end);
                              break;
                            }
                            if (n == lines.size()) lines.emplace_back();
                            if (partial.empty()) {
                              lines[n++].assign(p, cr);
                            } else {
                              partial.append(p, cr);
                              lines[n++].swap(partial);
                              partial.clear();
                            }
                            p = cr + 1;
                            lf = p == end;
                            if (!lf && *p == '\n') ++p;
                          }
                        }
                      }));
    }
    {
      TFileStream in(file, fmOpenRead);
      bytes = in.Size();
      std::vector<char> buffer(4096);
      plain = std::min(plain, Once([&] {
                         while (in.Read(buffer.data(), 4096) > 0) {
                         }
                       }));
    }
    TFileStream in(file, fmOpenRead);
    load = std::min(load, Once([&] { o->LoadFromStream(in); }));
  }
  // A first load has no tree to reuse: every node's memory is new to the process.
  double first;
  {
    auto fresh = std::make_unique<TCustomOutline>(nullptr);
    TFileStream in(file, fmOpenRead);
    first = Once([&] { fresh->LoadFromStream(in); });
  }
  DeleteFileA(file.c_str());
  const double mb = static_cast<double>(bytes) / 1e6;
  printf("  %-58s %10.1f MB\n", "saved text", mb);
  printf("  %-58s %10.3f ms  %8.1f MB/s\n", "SaveToStream to a file", save, mb / save * 1000);
  printf("  %-58s %10.3f ms  %8.1f MB/s\n", "plain read of the file in 4 KB pieces, best of 3", plain, mb / plain * 1000);
  printf("  %-58s %10.3f ms  %8.1f MB/s\n", "LoadFromStream from the file, best of 3", load, mb / load * 1000);
  printf("  %-58s %10.3f\n", "load throughput / plain read throughput", plain / load);
  printf("  %-58s %10.3f ms  %8.1f MB/s\n", "LoadFromStream into a new outline, once", first, mb / first * 1000);
  printf("  %-58s %10.3f ms  %8.1f MB/s\n", "the read, each line kept as a string, best of 3", kept, mb / kept * 1000);
  printf("  %-58s %10.3f\n", "  its throughput / plain read throughput", plain / kept);
  printf("  %-58s %10d\n", "items loaded", o->ItemCount());
  // The same load per item on a tree whose nodes and text fit in the
  // processor's caches: if it costs about as much as on the large tree, the
  // load is bound by its work per line, not by the memory of its nodes.
  {
    auto small = std::make_unique<TCustomOutline>(nullptr);
    BuildOutline(*small, 100, 99);
    {
      TFileStream out(file, fmCreate);
      small->SaveToStream(out);
    }
    double best = 1e300;
    for (int turn = 0; turn < 50; ++turn) {
      TFileStream in(file, fmOpenRead);
      best = std::min(best, Once([&] { small->LoadFromStream(in); }));
    }
    DeleteFileA(file.c_str());
    printf("  %-58s %10.1f ns\n", "load per item, 1,000,000 items", load * 1e6 / o->ItemCount());
    printf("  %-58s %10.1f ns\n", "load per item, 10,000 items (in the caches), best of 50", best * 1e6 / small->ItemCount());
  }
  Row("freeing the whole tree (Clear)", Once([&] { o->Clear(); }));
  o.reset();

  // The same operations where one child list holds all the items.
  {
    auto flat = std::make_unique<TCustomOutline>(nullptr);
    for (int i = 0; i < kParents * (kChildren + 1); ++i) flat->AddChild(0, Name(i));
    printf("Single-item operations on %d top-level items (one list), each after an insertion at the front\n",
           flat->ItemCount());
    Row("slowest single-item operation", SingleItemOps(*flat, rng));
  }
  {
    auto one = std::make_unique<TCustomOutline>(nullptr);
    one->AddChild(0, "top");
    for (int i = 1; i < kParents * (kChildren + 1); ++i) one->AddChild(1, Name(i));
    TOutlineNode* top = one->GetItem(1);
    printf("One top-level item with %d children\n", top->ChildCount());
    Row("first Expand (every child's text measured for the column)", Once([&] { top->Expand(); }));
    Row("Collapse", Once([&] { top->Collapse(); }));
    Row("Expand again", Once([&] { top->Expand(); }));
    Row("InsertBefore its first child", Once([&] { one->InsertBefore(2, "front"); }));
    Row("SelectedIndex := its last child (and its row)", Once([&] { one->SetSelectedIndex(one->ItemCount()); }));
    Row("Delete its first child", Once([&] { one->Delete(2); }));
    Row("Collapse with the selection on a child", Once([&] { top->Collapse(); }));
  }

  // The system tree view: inserting the same shape of tree. It slows down as
  // it grows, so it is measured at two sizes and extrapolated to 1,000,000.
  printf("System tree view (WC_TREEVIEW)\n");
  const double tv50 = TreeViewTime(50, kChildren);
  const double tv100 = TreeViewTime(100, kChildren);
  Row("inserting 50,000 items", tv50);
  Row("inserting 100,000 items", tv100);
  const double exponent = std::log(tv100 / tv50) / std::log(2.0);
  const double tv1m = tv100 * std::pow(10.0, std::max(1.0, exponent));
  printf("  %-58s %10.2f\n", "growth exponent between the two sizes", exponent);
  Row("1,000,000 items, EXTRAPOLATED from 100,000", tv1m);
  auto small = std::make_unique<TCustomOutline>(nullptr);
  const double outline100 = BuildOutline(*small, 100, kChildren);
  small.reset();
  Row("outline building the same 100,000 items", outline100);
  printf("  %-58s %10.1f\n", "tree view / outline, 100,000 items (measured)", tv100 / outline100);
  printf("  %-58s %10.1f\n", "tree view / outline, 1,000,000 items (extrapolated)", tv1m / build);

  // The directory outline reading a level of 10,000 subdirectories.
  printf("Directory outline\n");
  const std::string base = std::string(temp) + "zxoutline-dirs";
  CreateDirectoryA(base.c_str(), nullptr);
  const std::string big = base + "\\big";
  CreateDirectoryA(big.c_str(), nullptr);
  std::vector<std::string> made;
  std::mt19937 names(11);
  for (int i = 0; i < 10000; ++i) {
    char buf[32];
    snprintf(buf, sizeof buf, "\\D%08X-%05d", static_cast<unsigned>(names()), i);
    made.push_back(big + buf);
    CreateDirectoryA(made.back().c_str(), nullptr);
  }
  {
    TForm form(nullptr);
    auto* dirs = new TCDirectoryOutline(&form);
    dirs->SetDirectory(big);
    TOutlineNode* node = dirs->GetItem(dirs->SelectedIndex());
    Row("expanding a folder of 10,000 subdirectories", Once([&] { node->Expand(); }));
    printf("  %-58s %10d\n", "children read", node->ChildCount());
  }
  for (const std::string& d : made) RemoveDirectoryA(d.c_str());
  RemoveDirectoryA(big.c_str());
  RemoveDirectoryA(base.c_str());
  return 0;
}
