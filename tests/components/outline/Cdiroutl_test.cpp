// The directory outline over a real temporary directory tree: which entries
// become items and in which order, walking to and setting the current
// directory, the case modes, its failures, and the click on an item.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "Cdiroutl.h"
#include "ExceptionCapture.h"
#include "OutlineCheck.h"

using namespace outline_test;

namespace {

std::string Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return s;
}

// base\A with the subdirectories b, C, .git, a1 and a hidden one, and a file.
class DirOutlineTest : public testing::Test {
 protected:
  void SetUp() override {
    char buffer[MAX_PATH];
    GetTempPathA(MAX_PATH, buffer);
    char saved[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, saved);
    savedDir_ = saved;
    base_ = std::string(buffer) + "ZxDirs" + std::to_string(GetCurrentProcessId());
    for (const char* d : {"", "\\A", "\\A\\b", "\\A\\C", "\\A\\.git", "\\A\\a1", "\\A\\hid", "\\A\\b\\deep"}) Mk(d);
    SetFileAttributesA((base_ + "\\A\\hid").c_str(), FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN);
    HANDLE h = CreateFileA((base_ + "\\A\\file.txt").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    CloseHandle(h);
    form_ = new TForm(nullptr);
    o_ = new TCDirectoryOutline(form_);
    o_->SetParent(form_);
    o_->OnChange = [this](TObject*) { ++changes_; };
  }
  void TearDown() override {
    delete form_;
    SetCurrentDirectoryA(savedDir_.c_str());
    SetFileAttributesA((base_ + "\\A\\hid").c_str(), FILE_ATTRIBUTE_DIRECTORY);
    DeleteFileA((base_ + "\\A\\file.txt").c_str());
    for (const auto& d : made_) RemoveDirectoryA(d.c_str());
  }
  void Mk(const std::string& sub) {
    CreateDirectoryA((base_ + sub).c_str(), nullptr);
    made_.insert(made_.begin(), base_ + sub);
  }
  std::vector<std::string> ChildTexts(TOutlineNode* n) {
    std::vector<std::string> texts;
    for (int i = 0; i < n->ChildCount(); ++i) texts.push_back(n->Child(i)->Text());
    return texts;
  }
  TOutlineNode* Selected() { return o_->GetItem(o_->SelectedIndex()); }

  ExceptionCapture errors_;
  std::string savedDir_, base_;
  std::vector<std::string> made_;
  TForm* form_ = nullptr;
  TCDirectoryOutline* o_ = nullptr;
  int changes_ = 0;
};

TEST_F(DirOutlineTest, ShowsVisibleSubdirectoriesSortedAndFollowsTheDirectory) {
  EXPECT_EQ(o_->Options(), (TOutlineOptions{ooDrawFocusRect, ooStretchBitmaps}));
  EXPECT_TRUE(o_->PictureAssigned(opLeaf));
  o_->SetDirectory(base_ + "\\A\\");
  const std::string a = Lower(base_ + "\\A");
  EXPECT_EQ(o_->Directory(), a);
  EXPECT_EQ(std::toupper(o_->Drive()), 'C');
  EXPECT_EQ(o_->RootNode()->ChildCount(), 1);
  EXPECT_EQ(o_->GetItem(1)->Text(), "c:");
  EXPECT_EQ(Selected()->Path(), a);
  // The selected directory's own level is read when it is first expanded.
  EXPECT_EQ(Selected()->Data(), nullptr);
  Selected()->Expand();
  EXPECT_EQ(ChildTexts(Selected()), (std::vector<std::string>{"a1", "b", "c"}));
  EXPECT_EQ(Selected()->Data(), TCDirectoryOutline::APointer);
  EXPECT_EQ(Selected()->Child(0)->Data(), nullptr);  // not read yet
  EXPECT_EQ(changes_, 1);
  char cwd[MAX_PATH];
  GetCurrentDirectoryA(MAX_PATH, cwd);
  EXPECT_EQ(Lower(cwd), a);
  // The same directory again, in another spelling: nothing happens.
  o_->SetDirectory(base_ + "\\a");
  EXPECT_EQ(changes_, 1);
  // Going down reads the level on the way; the item is selected.
  o_->SetDirectory(base_ + "\\A\\b\\deep");
  EXPECT_EQ(Selected()->Text(), "deep");
  EXPECT_EQ(changes_, 2);
  EXPECT_EQ(VerifyTree(*o_), "");
  // A drive root keeps its backslash and selects the drive item.
  o_->SetDirectory("c:\\");
  EXPECT_EQ(o_->Directory(), "c:\\");
  EXPECT_EQ(o_->SelectedIndex(), 1);
  EXPECT_EQ(errors_.count, 0) << errors_.text;
}

TEST_F(DirOutlineTest, CaseModesAndFailures) {
  o_->SetDirectory(base_ + "\\A\\b");
  o_->SetTextCase(tcUpperCase);
  EXPECT_EQ(Selected()->Text(), "B");
  EXPECT_EQ(o_->GetItem(1)->Text(), "C:");
  EXPECT_EQ(ChildTexts(Selected()->Parent()), (std::vector<std::string>{"A1", "B", "C"}));
  o_->SetTextCase(tcAsIs);
  EXPECT_EQ(ChildTexts(Selected()->Parent()), (std::vector<std::string>{"a1", "b", "C"}));
  o_->SetTextCase(tcLowerCase);
  // A missing last component: no item to select; a missing earlier one: no item to read.
  EXPECT_EQ(OutlineErrorOf([&] { o_->SetDirectory(base_ + "\\A\\zz"); }), "Invalid selection");
  EXPECT_EQ(OutlineErrorOf([&] { o_->SetDirectory(base_ + "\\A\\zz\\yy"); }), "Outline index not found");
  EXPECT_EQ(OutlineErrorOf([&] { o_->SetDirectory(base_ + "\\A\\b\\deep\\none"); }), "Outline index not found");
  // A name that is not a drive letter is ignored.
  const char drive = o_->Drive();
  o_->SetDrive('1');
  EXPECT_EQ(o_->Drive(), drive);
}

TEST_F(DirOutlineTest, SortedInsertionKeepsTheOrderAndPutsEqualNamesFirst) {
  const char* names[] = {"Zeta", "alpha", "Mid", "beta", "ALPHA2", "omega", "Gamma", "delta", "kappa", "Epsilon"};
  for (const char* n : names) Mk(std::string("\\A\\b\\") + n);
  o_->SetDirectory(base_ + "\\A\\b");
  Selected()->Expand();
  std::vector<std::string> expect{"alpha", "alpha2", "beta", "deep", "delta", "epsilon", "gamma", "kappa", "mid", "omega", "zeta"};
  EXPECT_EQ(ChildTexts(Selected()), expect);
  // Reading the level a second time adds every name again, each before its
  // twin (the items read first are marked to tell them apart).
  const int b = o_->SelectedIndex();
  int mark = 0;
  for (int i = 0; i < Selected()->ChildCount(); ++i) Selected()->Child(i)->SetData(&mark);
  o_->BuildOneLevel(b);
  std::vector<std::string> twice, got;
  for (const auto& n : expect) twice.insert(twice.end(), {n + " new", n + " old"});
  for (int i = 0; i < Selected()->ChildCount(); ++i)
    got.push_back(Selected()->Child(i)->Text() + (Selected()->Child(i)->Data() ? " old" : " new"));
  EXPECT_EQ(got, twice);
  // Children added out of order by a caller: the place is still the first
  // child that does not sort below the name.
  o_->Clear();
  o_->AddChild(0, "c:");
  const int top = o_->AddChild(1, base_ + "\\A");
  o_->GetItem(top)->SetText(Lower(base_).substr(3) + "\\a");
  o_->AddChild(top, "zz");
  o_->AddChild(top, "b0");
  o_->BuildOneLevel(top);
  EXPECT_EQ(ChildTexts(o_->GetItem(top)), (std::vector<std::string>{"a1", "b", "c", "zz", "b0"}));
  EXPECT_EQ(VerifyTree(*o_), "");
}

TEST_F(DirOutlineTest, ClickMakesTheItemsDirectoryCurrent) {
  form_->SetBounds(0, 0, 300, 400);
  o_->SetBounds(0, 0, 280, 380);
  form_->HandleNeeded();
  o_->SetDirectory(base_ + "\\A");
  const int a = o_->SelectedIndex();
  Selected()->Expand();
  const int bRow = o_->RowOf(o_->GetItem(a + 2));  // a, a1, b
  SendMessageA(o_->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(60, o_->CellRect(0, bRow).top + 3));
  SendMessageA(o_->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(60, o_->CellRect(0, bRow).top + 3));
  EXPECT_EQ(o_->Directory(), Lower(base_ + "\\A\\b"));
  // The drive item's path is the drive's current directory: nothing changes.
  const int before = changes_;
  o_->SetTopRow(0);
  SendMessageA(o_->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(30, o_->CellRect(0, 0).top + 3));
  SendMessageA(o_->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(30, o_->CellRect(0, 0).top + 3));
  EXPECT_EQ(o_->SelectedIndex(), 1);
  EXPECT_EQ(o_->Directory(), Lower(base_ + "\\A\\b"));
  EXPECT_EQ(changes_, before);
  EXPECT_EQ(errors_.count, 0) << errors_.text;
}

}  // namespace
