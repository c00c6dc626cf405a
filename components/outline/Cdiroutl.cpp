#include "Cdiroutl.h"

#include <direct.h>

#include <cctype>
#include <vector>

const std::vector<std::string> TextCaseNames{"tcLowerCase", "tcUpperCase", "tcAsIs"};

void* const TCDirectoryOutline::APointer = const_cast<void**>(&TCDirectoryOutline::APointer);

namespace {

bool MultiByteCodePage() {
  CPINFO info{};
  return GetCPInfo(CP_ACP, &info) && info.MaxCharSize > 1;
}

// File-name case conversions: the system's on a single-byte code page; on a
// multi-byte one only the ASCII letters change, double-byte characters are
// copied as they are.
std::string ConvertCase(const std::string& text, bool upper) {
  std::string s = text;
  if (s.empty()) return s;
  if (!MultiByteCodePage()) {
    if (upper)
      CharUpperBuffA(s.data(), static_cast<DWORD>(s.size()));
    else
      CharLowerBuffA(s.data(), static_cast<DWORD>(s.size()));
    return s;
  }
  for (size_t i = 0; i < s.size(); ++i) {
    const auto ch = static_cast<unsigned char>(s[i]);
    if (IsDBCSLeadByte(ch)) {
      ++i;
    } else if (upper && ch >= 'a' && ch <= 'z') {
      s[i] = static_cast<char>(ch - 'a' + 'A');
    } else if (!upper && ch >= 'A' && ch <= 'Z') {
      s[i] = static_cast<char>(ch - 'A' + 'a');
    }
  }
  return s;
}

std::string LowerName(const std::string& s) { return ConvertCase(s, false); }
std::string UpperName(const std::string& s) { return ConvertCase(s, true); }

// Whether the last character is a backslash that is not the second byte of a
// double-byte character.
bool EndsWithBackslash(const std::string& s) {
  if (s.empty() || s.back() != '\\') return false;
  for (size_t i = 0; i < s.size(); ++i) {
    if (i == s.size() - 1) return true;
    if (IsDBCSLeadByte(static_cast<BYTE>(s[i]))) ++i;
  }
  return false;
}

// The position of the first backslash that is a character of its own, or npos.
size_t FindBackslash(const std::string& s) {
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\\') return i;
    if (IsDBCSLeadByte(static_cast<BYTE>(s[i]))) ++i;
  }
  return std::string::npos;
}

// a < b in the user's locale without regard to case.
bool NameBelow(const std::string& a, const std::string& b) {
  return CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.data(), static_cast<int>(a.size()), b.data(),
                        static_cast<int>(b.size())) == CSTR_LESS_THAN;
}

}  // namespace

const TClassInfo& TCDirectoryOutline::StaticClass() {
  static const TClassInfo info = DefineClass<TCDirectoryOutline>(
      "TCDirectoryOutline", [](TClassBuilder<TCDirectoryOutline>& c) {
        c.Bool("TabStop", &TCDirectoryOutline::TabStop, &TCDirectoryOutline::SetTabStop, true)
            .Event("OnChange", &TCDirectoryOutline::OnChange)
            .Enum("TextCase", TextCaseNames, &TCDirectoryOutline::TextCase, &TCDirectoryOutline::SetTextCase,
                  tcLowerCase)
            .Int("ItemHeight", &TCDirectoryOutline::ItemHeight, &TCDirectoryOutline::SetItemHeight, 0)
            .EventAcc("OnCollapse", [](TCDirectoryOutline& o) -> const TOutlineEvent& { return o.OnCollapse; },
                      [](TCDirectoryOutline& o, const TOutlineEvent& e) { o.OnCollapse = e; }, static_cast<TOutlineEvent*>(nullptr))
            .EventAcc("OnDrawItem", [](TCDirectoryOutline& o) -> const TDrawItemEvent& { return o.OnDrawItem; },
                      [](TCDirectoryOutline& o, const TDrawItemEvent& e) { o.OnDrawItem = e; }, static_cast<TDrawItemEvent*>(nullptr))
            .EventAcc("OnExpand", [](TCDirectoryOutline& o) -> const TOutlineEvent& { return o.OnExpand; },
                      [](TCDirectoryOutline& o, const TOutlineEvent& e) { o.OnExpand = e; }, static_cast<TOutlineEvent*>(nullptr))
            .Set("Options", OutlineOptionNames, &TCDirectoryOutline::Options, &TCDirectoryOutline::SetOptions,
                 TOutlineOptions{ooDrawTreeRoot, ooDrawFocusRect})
            .Obj("PictureClosed", &TCDirectoryOutline::PictureClosed)
            .Stored([](TCDirectoryOutline& o) { return o.PictureAssigned(opClosed); })
            .Obj("PictureLeaf", &TCDirectoryOutline::PictureLeaf)
            .Stored([](TCDirectoryOutline& o) { return o.PictureAssigned(opLeaf); })
            .Obj("PictureOpen", &TCDirectoryOutline::PictureOpen)
            .Stored([](TCDirectoryOutline& o) { return o.PictureAssigned(opOpen); })
            .Enum("Style", OutlineTypeNames, &TCDirectoryOutline::Style, &TCDirectoryOutline::SetStyle,
                  otStandard);
      });
  return info;
}

TCDirectoryOutline::TCDirectoryOutline(TComponent* owner) : TCustomOutline(owner) {
  SetTabStop(true);
  SetDrawStyle(dsTreePictureText);
  SetOptions({ooDrawFocusRect, ooStretchBitmaps});
  SetPictureLeaf(PictureClosed());
  AssignCaseProc();
}

TCDirectoryOutline::~TCDirectoryOutline() = default;

void TCDirectoryOutline::AssignCaseProc() {
  caseProc_ = textCase_ == tcLowerCase ? &LowerName : textCase_ == tcUpperCase ? &UpperName : nullptr;
}

std::string TCDirectoryOutline::ForceCase(const std::string& text) const {
  return caseProc_ ? caseProc_(text) : text;
}

std::string TCDirectoryOutline::CurDir() {
  std::vector<char> buffer(256);
  DWORD length = GetCurrentDirectoryA(static_cast<DWORD>(buffer.size()), buffer.data());
  if (length > buffer.size()) {
    buffer.resize(length);
    length = GetCurrentDirectoryA(static_cast<DWORD>(buffer.size()), buffer.data());
    if (length >= buffer.size()) return {};
  }
  return length == 0 ? std::string() : std::string(buffer.data(), length);
}

int TCDirectoryOutline::DriveToInt(char drive) {
  return std::toupper(static_cast<unsigned char>(drive)) - 'A';
}

void TCDirectoryOutline::BuildOneLevel(int index) {
  TOutlineNode* node = GetItem(index);
  std::string pattern = node->Path();
  if (!EndsWithBackslash(pattern)) pattern += '\\';
  pattern += "*.*";
  // The children are kept in ascending order, so the first child that does not
  // compare below a new name is found by binary search. A list that is not in
  // order (items added by a caller) is walked child by child instead; both
  // find the same place.
  bool ordered = true;
  for (int c = 1; c < node->ChildCount() && ordered; ++c)
    ordered = !NameBelow(node->Child(c)->Text(), node->Child(c - 1)->Text());
  for (FileFind find(pattern, faDirectory); find.Valid(); find.Next()) {
    const TSearchRec& rec = find.Rec();
    if (!(rec.Attr & faDirectory) || rec.Name.empty() || rec.Name[0] == '.') continue;
    const std::string name = ForceCase(rec.Name);
    if (!node->HasChildren()) {
      AddChild(index, name);
      continue;
    }
    int place = 0;
    if (ordered) {
      int lo = 0, hi = node->ChildCount();
      while (lo < hi) {
        const int mid = lo + (hi - lo) / 2;
        if (NameBelow(node->Child(mid)->Text(), name))
          lo = mid + 1;
        else
          hi = mid;
      }
      place = lo;
    } else {
      while (place < node->ChildCount() && NameBelow(node->Child(place)->Text(), name)) ++place;
    }
    if (place < node->ChildCount())
      InsertBefore(node->Child(place)->GetIndex(), name);
    else
      AddSibling(node->LastChildIndex(), name);
  }
  node->SetData(APointer);
}

void TCDirectoryOutline::BuildTree() {
  Clear();
  AddChild(0, ForceCase(std::string(1, drive_) + ":"));
  WalkTree(directory_);
  Change();
}

void TCDirectoryOutline::BuildSubTree(int index) {
  BuildOneLevel(index);
  TOutlineNode* node = GetItem(index);
  for (int child = node->FirstChildIndex(); child != -1; child = node->NextChildIndex(child)) BuildSubTree(child);
}

void TCDirectoryOutline::WalkTree(const std::string& path) {
  std::string s = ForceCase(path);
  int k = 1;
  const size_t colon = s.find(':');
  if (colon != std::string::npos) {
    const size_t skip = colon + 1 < s.size() && s[colon + 1] == '\\' ? 2 : 1;
    s = colon + skip <= s.size() ? s.substr(colon + skip) : std::string();
  }
  while (!s.empty()) {
    std::string part;
    const size_t q = FindBackslash(s);
    if (q != std::string::npos) {
      part = s.substr(0, q);
      s = s.substr(q + 1);
    } else {
      part = s;
      s.clear();
    }
    k = GetChildNamed(part, k);
  }
  SetSelectedIndex(k);
}

int TCDirectoryOutline::GetChildNamed(const std::string& name, int index) {
  TOutlineNode* node = GetItem(index);
  node->SetExpanded(true);
  const std::string target = UpperName(name);
  int j = node->FirstChildIndex();
  std::string text = UpperName(GetItem(j)->Text());
  while (j != -1 && text != target) {
    j = node->NextChildIndex(j);
    if (j != -1) text = UpperName(GetItem(j)->Text());
  }
  return j;
}

void TCDirectoryOutline::SetDrive(char value) {
  const char c = static_cast<char>(std::toupper(static_cast<unsigned char>(value)));
  if (c < 'A' || c > 'Z') return;
  if (c == std::toupper(static_cast<unsigned char>(drive_))) return;
  drive_ = c;
  _chdrive(DriveToInt(c) + 1);
  directory_ = ForceCase(CurDir());
  if (!ComponentState().Contains(csLoading)) BuildTree();
}

void TCDirectoryOutline::SetDirectory(const std::string& value) {
  if (value.empty()) return;
  char buffer[260];
  char* filePart = nullptr;
  const DWORD length = GetFullPathNameA(value.c_str(), sizeof buffer, buffer, &filePart);
  // A longer name than the buffer holds leaves it unfilled: nothing to go to.
  if (length == 0 || length >= sizeof buffer) return;
  std::string full = ForceCase(std::string(buffer, length));
  if (full.size() > 3 && EndsWithBackslash(full)) full.pop_back();
  if (full == directory_) return;
  directory_ = full;
  _chdir(full.c_str());
  if (std::toupper(static_cast<unsigned char>(full[0])) == std::toupper(static_cast<unsigned char>(drive_))) {
    WalkTree(full);
    Change();
  } else {
    SetDrive(full[0]);
  }
}

void TCDirectoryOutline::SetTextCase(TTextCase value) {
  if (value == textCase_) return;
  textCase_ = value;
  AssignCaseProc();
  if (value == tcAsIs) {
    directory_ = CurDir();
    if (!directory_.empty()) drive_ = directory_[0];
  }
  if (!ComponentState().Contains(csLoading)) BuildTree();
}

void TCDirectoryOutline::Change() {
  if (OnChange) OnChange(this);
}

void TCDirectoryOutline::Expand(int index) {
  if (!GetItem(index)->Data()) BuildOneLevel(index);
  TCustomOutline::Expand(index);
}

void TCDirectoryOutline::Click() {
  TCustomOutline::Click();
  if (SelectedItem() != RootNode()) SetDirectory(SelectedItem()->Path());
}

void TCDirectoryOutline::Loaded() {
  TCustomOutline::Loaded();
  AssignCaseProc();
  BuildTree();
}

void TCDirectoryOutline::CreateWnd() {
  TCustomOutline::CreateWnd();
  if (drive_ != 0) return;
  const std::string s = ForceCase(CurDir());
  if (s.empty()) return;
  drive_ = s[0];
  directory_ = s;
}
