#pragma once
// Ordered, indexed lists of 8-bit texts with an object pointer per line.
// TStrings is the abstract interface that list boxes, the registry wrapper and
// the outline exchange; TStringList keeps its lines in memory. Portable.

#include <string>
#include <string_view>
#include <vector>

#include "Classes.h"

class TStream;

class TStrings : public TPersistent {
  ZX_CLASS(TStrings, TPersistent)
 public:
  // The primitives a derived list provides. Get, Put and the object accessors
  // raise EStringListError for an index outside 0..Count()-1.
  virtual int Count() const = 0;
  virtual std::string Get(int index) const = 0;
  virtual void Put(int index, const std::string& text);
  virtual TObject* GetObject(int index) const;
  virtual void PutObject(int index, TObject* object);
  virtual void Insert(int index, const std::string& text) = 0;
  virtual void InsertObject(int index, const std::string& text, TObject* object);
  virtual void Delete(int index) = 0;
  virtual void Clear() = 0;

  std::string operator[](int index) const { return Get(index); }
  std::string Strings(int index) const { return Get(index); }
  void SetString(int index, const std::string& text) { Put(index, text); }
  TObject* Objects(int index) const { return GetObject(index); }
  void SetObject(int index, TObject* object) { PutObject(index, object); }

  // Appends a line (a sorted list places it in order) and returns its index.
  virtual int Add(const std::string& text);
  virtual int AddObject(const std::string& text, TObject* object);
  void AddStrings(const TStrings& source);
  virtual void Exchange(int index1, int index2);
  void Move(int curIndex, int newIndex);
  // The first line equal to `text` without regard to ASCII case, or -1.
  virtual int IndexOf(const std::string& text) const;
  int IndexOfObject(const TObject* object) const;
  bool Equals(const TStrings& other) const;

  // Every line followed by CR LF. Setting splits at CR LF, CR or LF; a break
  // at the very end does not add an empty line.
  std::string Text() const;
  void SetText(std::string_view text);
  // Lines separated by commas; a line holding blanks, commas, quotes or
  // control characters is put in double quotes with inner quotes doubled.
  std::string CommaText() const;
  void SetCommaText(std::string_view text);

  std::vector<std::string> ToVector() const;
  void SetStrings(const std::vector<std::string>& lines);

  void LoadFromStream(TStream& stream);
  void SaveToStream(TStream& stream) const;
  void LoadFromFile(const std::string& fileName);
  void SaveToFile(const std::string& fileName) const;

  void Assign(const TPersistent* source) override;

  // Brackets a series of changes; derived lists repaint or report once at the end.
  void BeginUpdate();
  void EndUpdate();

 protected:
  virtual void SetUpdateState(bool updating);
  int UpdateCount() const { return updateCount_; }
  // Raises EStringListError "List index out of bounds (n)".
  [[noreturn]] static void IndexError(int index);

 private:
  int updateCount_ = 0;
};

enum TDuplicates { dupIgnore, dupAccept, dupError };

class TStringList : public TStrings {
  ZX_CLASS(TStringList, TStrings)
 public:
  TStringList() = default;
  TStringList(const TStringList&) = delete;
  TStringList& operator=(const TStringList&) = delete;

  int Count() const override { return static_cast<int>(items_.size()); }
  std::string Get(int index) const override;
  void Put(int index, const std::string& text) override;
  TObject* GetObject(int index) const override;
  void PutObject(int index, TObject* object) override;
  void Insert(int index, const std::string& text) override;
  void InsertObject(int index, const std::string& text, TObject* object) override;
  void Delete(int index) override;
  void Clear() override;
  int Add(const std::string& text) override;
  int AddObject(const std::string& text, TObject* object) override;
  void Exchange(int index1, int index2) override;
  int IndexOf(const std::string& text) const override;

  // Binary search of a sorted list: true when found, `index` is then the first
  // equal line; otherwise `index` is where the text would be inserted.
  bool Find(const std::string& text, int& index) const;
  void Sort();

  bool Sorted() const { return sorted_; }
  void SetSorted(bool value);
  TDuplicates Duplicates() const { return duplicates_; }
  void SetDuplicates(TDuplicates value) { duplicates_ = value; }
  bool CaseSensitive() const { return caseSensitive_; }
  void SetCaseSensitive(bool value);

  TNotifyEvent OnChange;
  TNotifyEvent OnChanging;

 protected:
  void SetUpdateState(bool updating) override;
  virtual void Changing();
  virtual void Changed();
  int CompareStrings(const std::string& a, const std::string& b) const;

 private:
  struct Item {
    std::string text;
    TObject* object = nullptr;
  };
  void InsertItem(int index, const std::string& text, TObject* object);
  void CheckIndex(int index) const;
  std::vector<Item> items_;
  bool sorted_ = false;
  bool caseSensitive_ = false;
  TDuplicates duplicates_ = dupIgnore;
};
