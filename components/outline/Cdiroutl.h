#pragma once
// The directory outline: the directory tree of one drive, read level by level
// when an item is first expanded, with the children of an item sorted by name
// without regard to case. It follows a current directory: setting it walks
// the tree down to it and selects it, and clicking an item makes that item's
// directory current, for the control and for the whole process.

#include <string>

#include "Findfile.h"
#include "Outline.h"

enum TTextCase { tcLowerCase, tcUpperCase, tcAsIs };
extern const std::vector<std::string> TextCaseNames;

// A search of one folder, open for the object's lifetime.
class FileFind {
 public:
  FileFind(const std::string& pattern, int attr) { valid_ = FindFirst(pattern, attr, rec_) == 0; }
  ~FileFind() { FindClose(rec_); }
  FileFind(const FileFind&) = delete;
  FileFind& operator=(const FileFind&) = delete;
  void Next() { valid_ = valid_ && FindNext(rec_) == 0; }
  bool Valid() const { return valid_; }
  const TSearchRec& Rec() const { return rec_; }

 private:
  TSearchRec rec_;
  bool valid_ = false;
};

class TCDirectoryOutline : public TCustomOutline {
  ZX_CLASS(TCDirectoryOutline, TCustomOutline)
 public:
  explicit TCDirectoryOutline(TComponent* owner);
  ~TCDirectoryOutline() override;

  void Loaded() override;

  // An item whose Data is this pointer has had its subdirectories read.
  static void* const APointer;

  char Drive() const { return drive_; }
  void SetDrive(char value);
  const std::string& Directory() const { return directory_; }
  void SetDirectory(const std::string& value);
  TTextCase TextCase() const { return textCase_; }
  void SetTextCase(TTextCase value);

  std::string ForceCase(const std::string& text) const;
  static std::string CurDir();
  static int DriveToInt(char drive);

  virtual void BuildOneLevel(int index);
  virtual void BuildTree();
  virtual void BuildSubTree(int index);
  void WalkTree(const std::string& path);
  int GetChildNamed(const std::string& name, int index);

  TNotifyEvent OnChange;

 protected:
  void CreateWnd() override;
  virtual void Change();
  void Click() override;
  void Expand(int index) override;

 private:
  using TCaseProc = std::string (*)(const std::string&);
  void AssignCaseProc();

  char drive_ = 0;
  std::string directory_;
  TTextCase textCase_ = tcLowerCase;
  TCaseProc caseProc_ = nullptr;
};
