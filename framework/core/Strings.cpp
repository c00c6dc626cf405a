#include "Strings.h"

#include <algorithm>

#include "Streams.h"

// ---------------------------------------------------------------------------
// TStrings

const TClassInfo& TStrings::StaticClass() {
  static const TClassInfo info = DefineClass<TStrings>("TStrings", [](TClassBuilder<TStrings>& c) {
    // The lines are streamed as one pseudo-property: Items.Strings = ( ... ).
    c.List("Strings", &TStrings::ToVector, &TStrings::SetStrings);
  });
  return info;
}

void TStrings::IndexError(int index) {
  throw EStringListError(Format("List index out of bounds (%d)", index));
}

void TStrings::Put(int index, const std::string& text) {
  TObject* object = GetObject(index);
  Delete(index);
  InsertObject(index, text, object);
}

TObject* TStrings::GetObject(int index) const {
  if (index < 0 || index >= Count()) IndexError(index);
  return nullptr;
}

void TStrings::PutObject(int index, TObject*) {
  if (index < 0 || index >= Count()) IndexError(index);
}

void TStrings::InsertObject(int index, const std::string& text, TObject* object) {
  Insert(index, text);
  PutObject(index, object);
}

int TStrings::Add(const std::string& text) {
  int index = Count();
  Insert(index, text);
  return index;
}

int TStrings::AddObject(const std::string& text, TObject* object) {
  int index = Add(text);
  PutObject(index, object);
  return index;
}

void TStrings::AddStrings(const TStrings& source) {
  // Copy first: the source may be this very list.
  std::vector<std::pair<std::string, TObject*>> lines;
  for (int i = 0, n = source.Count(); i < n; ++i) lines.emplace_back(source.Get(i), source.GetObject(i));
  BeginUpdate();
  try {
    for (const auto& [text, object] : lines) AddObject(text, object);
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

void TStrings::Exchange(int index1, int index2) {
  std::string text1 = Get(index1), text2 = Get(index2);
  TObject* object1 = GetObject(index1);
  TObject* object2 = GetObject(index2);
  BeginUpdate();
  try {
    Put(index1, text2);
    PutObject(index1, object2);
    Put(index2, text1);
    PutObject(index2, object1);
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

void TStrings::Move(int curIndex, int newIndex) {
  if (curIndex == newIndex) return;
  if (newIndex < 0 || newIndex >= Count()) IndexError(newIndex);
  std::string text = Get(curIndex);
  TObject* object = GetObject(curIndex);
  BeginUpdate();
  try {
    Delete(curIndex);
    InsertObject(newIndex, text, object);
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

int TStrings::IndexOf(const std::string& text) const {
  for (int i = 0, n = Count(); i < n; ++i)
    if (SameText(Get(i), text)) return i;
  return -1;
}

int TStrings::IndexOfObject(const TObject* object) const {
  for (int i = 0, n = Count(); i < n; ++i)
    if (GetObject(i) == object) return i;
  return -1;
}

bool TStrings::Equals(const TStrings& other) const {
  int n = Count();
  if (n != other.Count()) return false;
  for (int i = 0; i < n; ++i)
    if (Get(i) != other.Get(i)) return false;
  return true;
}

std::string TStrings::Text() const {
  std::string result;
  for (int i = 0, n = Count(); i < n; ++i) {
    result += Get(i);
    result += "\r\n";
  }
  return result;
}

void TStrings::SetText(std::string_view text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find_first_of("\r\n", start);
    if (end == std::string_view::npos) {
      lines.emplace_back(text.substr(start));
      break;
    }
    lines.emplace_back(text.substr(start, end - start));
    start = end + 1;
    if (text[end] == '\r' && start < text.size() && text[start] == '\n') ++start;
  }
  SetStrings(lines);
}

namespace {

bool NeedsQuotes(const std::string& s) {
  if (s.empty()) return true;
  for (char ch : s) {
    unsigned char c = static_cast<unsigned char>(ch);
    if (c <= ' ' || c == ',' || c == '"') return true;
  }
  return false;
}

}  // namespace

std::string TStrings::CommaText() const {
  std::string result;
  for (int i = 0, n = Count(); i < n; ++i) {
    if (i) result += ',';
    std::string line = Get(i);
    if (!NeedsQuotes(line)) {
      result += line;
      continue;
    }
    result += '"';
    for (char ch : line) {
      if (ch == '"') result += '"';
      result += ch;
    }
    result += '"';
  }
  return result;
}

void TStrings::SetCommaText(std::string_view text) {
  std::vector<std::string> lines;
  auto blank = [](char ch) { return static_cast<unsigned char>(ch) <= ' '; };
  size_t i = 0;
  while (i < text.size() && blank(text[i])) ++i;
  while (i < text.size()) {
    std::string item;
    if (text[i] == '"') {
      ++i;
      while (i < text.size()) {
        if (text[i] == '"') {
          if (i + 1 < text.size() && text[i + 1] == '"') {
            item += '"';
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        item += text[i++];
      }
    } else {
      while (i < text.size() && text[i] != ',' && !blank(text[i])) item += text[i++];
    }
    lines.push_back(std::move(item));
    // Blanks separate items as commas do; one comma may follow them.
    while (i < text.size() && blank(text[i])) ++i;
    if (i < text.size() && text[i] == ',') {
      ++i;
      while (i < text.size() && blank(text[i])) ++i;
      if (i == text.size()) lines.emplace_back();  // "a," ends with an empty item
    }
  }
  SetStrings(lines);
}

std::vector<std::string> TStrings::ToVector() const {
  std::vector<std::string> lines;
  int n = Count();
  lines.reserve(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) lines.push_back(Get(i));
  return lines;
}

void TStrings::SetStrings(const std::vector<std::string>& lines) {
  BeginUpdate();
  try {
    Clear();
    for (const std::string& line : lines) Add(line);
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

void TStrings::LoadFromStream(TStream& stream) {
  int64_t size = stream.Size() - stream.Position();
  std::string data;
  if (size > 0) {
    data.resize(static_cast<size_t>(size));
    stream.ReadBuffer(data.data(), size);
  }
  SetText(data);
}

void TStrings::SaveToStream(TStream& stream) const {
  std::string data = Text();
  stream.WriteBuffer(data.data(), static_cast<int64_t>(data.size()));
}

void TStrings::LoadFromFile(const std::string& fileName) {
  TFileStream stream(fileName, fmOpenRead);
  LoadFromStream(stream);
}

void TStrings::SaveToFile(const std::string& fileName) const {
  TFileStream stream(fileName, fmCreate);
  SaveToStream(stream);
}

void TStrings::Assign(const TPersistent* source) {
  if (source == this) return;
  if (const auto* lines = dynamic_cast<const TStrings*>(source)) {
    BeginUpdate();
    try {
      Clear();
      AddStrings(*lines);
    } catch (...) {
      EndUpdate();
      throw;
    }
    EndUpdate();
    return;
  }
  TPersistent::Assign(source);
}

void TStrings::BeginUpdate() {
  if (updateCount_++ == 0) SetUpdateState(true);
}

void TStrings::EndUpdate() {
  if (updateCount_ == 0) return;
  if (--updateCount_ == 0) SetUpdateState(false);
}

void TStrings::SetUpdateState(bool) {}

// ---------------------------------------------------------------------------
// TStringList

const TClassInfo& TStringList::StaticClass() {
  static const TClassInfo info = DefineClass<TStringList>("TStringList");
  return info;
}

void TStringList::CheckIndex(int index) const {
  if (index < 0 || index >= Count()) IndexError(index);
}

int TStringList::CompareStrings(const std::string& a, const std::string& b) const {
  return caseSensitive_ ? CompareStr(a, b) : CompareText(a, b);
}

void TStringList::Changing() {
  if (UpdateCount() == 0 && OnChanging) OnChanging(this);
}

void TStringList::Changed() {
  if (UpdateCount() == 0 && OnChange) OnChange(this);
}

void TStringList::SetUpdateState(bool updating) {
  // The events report a whole series once: before it starts and after it ends.
  if (updating) {
    if (OnChanging) OnChanging(this);
  } else {
    if (OnChange) OnChange(this);
  }
}

std::string TStringList::Get(int index) const {
  CheckIndex(index);
  return items_[static_cast<size_t>(index)].text;
}

void TStringList::Put(int index, const std::string& text) {
  if (sorted_) throw EStringListError("Operation not allowed on sorted list");
  CheckIndex(index);
  Changing();
  items_[static_cast<size_t>(index)].text = text;
  Changed();
}

TObject* TStringList::GetObject(int index) const {
  CheckIndex(index);
  return items_[static_cast<size_t>(index)].object;
}

void TStringList::PutObject(int index, TObject* object) {
  CheckIndex(index);
  Changing();
  items_[static_cast<size_t>(index)].object = object;
  Changed();
}

void TStringList::Insert(int index, const std::string& text) {
  InsertObject(index, text, nullptr);
}

void TStringList::InsertObject(int index, const std::string& text, TObject* object) {
  if (sorted_) throw EStringListError("Operation not allowed on sorted list");
  if (index < 0 || index > Count()) IndexError(index);
  InsertItem(index, text, object);
}

void TStringList::InsertItem(int index, const std::string& text, TObject* object) {
  Changing();
  items_.insert(items_.begin() + index, Item{text, object});
  Changed();
}

void TStringList::Delete(int index) {
  CheckIndex(index);
  Changing();
  items_.erase(items_.begin() + index);
  Changed();
}

void TStringList::Clear() {
  if (items_.empty()) return;
  Changing();
  items_.clear();
  Changed();
}

int TStringList::Add(const std::string& text) {
  return AddObject(text, nullptr);
}

int TStringList::AddObject(const std::string& text, TObject* object) {
  int index = Count();
  if (sorted_ && Find(text, index)) {
    switch (duplicates_) {
      case dupIgnore:
        return index;
      case dupError:
        throw EStringListError("String list does not allow duplicates");
      case dupAccept:
        break;
    }
  }
  InsertItem(index, text, object);
  return index;
}

void TStringList::Exchange(int index1, int index2) {
  if (sorted_) throw EStringListError("Operation not allowed on sorted list");
  CheckIndex(index1);
  CheckIndex(index2);
  if (index1 == index2) return;
  Changing();
  std::swap(items_[static_cast<size_t>(index1)], items_[static_cast<size_t>(index2)]);
  Changed();
}

int TStringList::IndexOf(const std::string& text) const {
  if (sorted_) {
    int index = 0;
    return Find(text, index) ? index : -1;
  }
  for (size_t i = 0; i < items_.size(); ++i)
    if (CompareStrings(items_[i].text, text) == 0) return static_cast<int>(i);
  return -1;
}

bool TStringList::Find(const std::string& text, int& index) const {
  size_t lo = 0, hi = items_.size();
  while (lo < hi) {
    size_t mid = lo + (hi - lo) / 2;
    if (CompareStrings(items_[mid].text, text) < 0)
      lo = mid + 1;
    else
      hi = mid;
  }
  index = static_cast<int>(lo);
  return lo < items_.size() && CompareStrings(items_[lo].text, text) == 0;
}

void TStringList::Sort() {
  Changing();
  std::stable_sort(items_.begin(), items_.end(),
                   [this](const Item& a, const Item& b) { return CompareStrings(a.text, b.text) < 0; });
  Changed();
}

void TStringList::SetSorted(bool value) {
  if (value == sorted_) return;
  if (value) Sort();
  sorted_ = value;
}

void TStringList::SetCaseSensitive(bool value) {
  if (value == caseSensitive_) return;
  caseSensitive_ = value;
  if (sorted_) Sort();
}
