#pragma once
// The main window: the three lists, the blocking switch, the engine's messages
// and the tray icon.

#include <windows.h>

#include <string>

#include "Buttons.h"
#include "Comctrls.h"
#include "Forms.h"
#include "Groupbox.h"
#include "Image.h"
#include "Imglist.h"
#include "Label.h"
#include "Listbox.h"
#include "Menus.h"
#include "Mybarlabel.h"
#include "Myimage.h"
#include "Panel.h"
#include "Shape.h"
#include "Timer.h"
#include "Trayicon.h"
#include "UrlStore.h"

// Program-wide state, touched only on the user-interface thread.
extern bool BlockingEnabled;
extern bool HideAtFirstPaint;
extern UINT CanCloseMessage;
extern UINT StopUrlMessage;
extern int AnimationTicks;

// Deletes every reference of a global atom.
void PurgeAtom(const char* name);

// Opens a document or address with the shell. Tests replace it to see what
// would be opened; the program's own code ignores the result.
extern HINSTANCE (*ShellOpen)(const char* file);

// Asks the user for a line of text (the modal input box); tests replace it.
extern bool (*AskText)(const std::string& caption, const std::string& prompt, std::string& text);

class TForm1 : public TForm {
  ZX_CLASS(TForm1, TForm)
 public:
  explicit TForm1(TComponent* owner);

  TMyImage* MyImage1 = nullptr;
  TImage* Image2 = nullptr;
  TImage* Image3 = nullptr;
  TImage* Image1 = nullptr;
  TShape* Shape1 = nullptr;
  MyBarLabel* MyBarLabel1 = nullptr;
  TPageControl* PageControl1 = nullptr;
  TTabSheet* TabSheet1 = nullptr;
  TGroupBox* GroupBox3 = nullptr;
  TListBox* ListBox3 = nullptr;
  TSpeedButton* SpeedButton8 = nullptr;
  TSpeedButton* SpeedButton9 = nullptr;
  TSpeedButton* SpeedButton11 = nullptr;
  TSpeedButton* SpeedButton10 = nullptr;
  TTabSheet* TabSheet2 = nullptr;
  TGroupBox* GroupBox2 = nullptr;
  TListBox* ListBox1 = nullptr;
  TSpeedButton* SpeedButton1 = nullptr;
  TSpeedButton* SpeedButton2 = nullptr;
  TSpeedButton* SpeedButton13 = nullptr;
  TLabel* Label6 = nullptr;
  TTabSheet* TabSheet3 = nullptr;
  TGroupBox* GroupBox4 = nullptr;
  TListBox* ListBox2 = nullptr;
  TSpeedButton* SpeedButton3 = nullptr;
  TSpeedButton* SpeedButton4 = nullptr;
  TSpeedButton* SpeedButton14 = nullptr;
  TLabel* Label8 = nullptr;
  TPanel* Panel1 = nullptr;
  TSpeedButton* SpeedButton5 = nullptr;
  TSpeedButton* SpeedButton6 = nullptr;
  TSpeedButton* SpeedButton7 = nullptr;
  TLabel* Label9 = nullptr;
  TLabel* Label4 = nullptr;
  TTrayIcon* TrayIcon1 = nullptr;
  TImageList* ImageList1 = nullptr;
  TImageList* ImageList2 = nullptr;
  TPopupMenu* PopupMenu1 = nullptr;
  TMenuItem* Disable1 = nullptr;
  TMenuItem* Restore1 = nullptr;
  TMenuItem* N1 = nullptr;
  TMenuItem* Help1 = nullptr;
  TMenuItem* Exit1 = nullptr;
  TTimer* Timer1 = nullptr;

  // Start-up, first paint and closing.
  void FormCreate(TObject* sender);
  void FormPaint(TObject* sender);
  void FormClose(TObject* sender, TCloseAction& action);

  // The engine's messages and the blocking switch.
  void SubWndProc(TMessage& message);
  void ReadStoppedUrl();
  void SpeedButton5Click(TObject* sender);
  void Disable1Click(TObject* sender);
  void TrayIcon1Click(TObject* sender);
  void Timer1Timer(TObject* sender);

  // The white and black lists.
  void SpeedButton1Click(TObject* sender);
  void SpeedButton2Click(TObject* sender);
  void SpeedButton13Click(TObject* sender);
  void ListBox1DblClick(TObject* sender);
  void SpeedButton3Click(TObject* sender);
  void SpeedButton4Click(TObject* sender);
  void SpeedButton14Click(TObject* sender);
  void ListBox2DblClick(TObject* sender);

  // The blocked list.
  void SpeedButton8Click(TObject* sender);
  void SpeedButton9Click(TObject* sender);
  void SpeedButton11Click(TObject* sender);
  void SpeedButton10Click(TObject* sender);
  void ListBox3DblClick(TObject* sender);

  // The window's own commands.
  void MyImage2Click(TObject* sender);
  void MyImage3Click(TObject* sender);
  void Label4Click(TObject* sender);
  void SpeedButton6Click(TObject* sender);
  void SpeedButton7Click(TObject* sender);
  void Help1Click(TObject* sender);
  void Exit1Click(TObject* sender);
  void Restore1Click(TObject* sender);
  void ListBox3Enter(TObject* sender);
  void ListBox3Exit(TObject* sender);
  // Keys of the whole window, seen before its controls: Escape hides the
  // window into the tray as the minimize picture does; on a list, Enter edits
  // the caret row, Delete and Insert do what the page's Delete and Add do.
  void FormKeyDown(TObject* sender, WORD& key, TShiftState shift);

 private:
  // The row a list command acts on: the caret row while it is selected, else -1.
  static int ChosenRow(TListBox* list);
  void AddUrl(TListBox* list, int selector, const char* prompt);
  void DeleteUrl(TListBox* list, int selector);
  // Edits the current row; saves the list when a selector is given.
  void EditUrl(TListBox* list, int selector);
  void MoveBlocked(TListBox* target, int selector);
  void ShowSwitch(int glyphIndex, unsigned captionId, unsigned hintId);
};

extern TForm1* Form1;
