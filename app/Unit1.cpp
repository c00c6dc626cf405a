#include "Unit1.h"

#include <ole2.h>
#include <shellapi.h>

#include <cstring>
#include <memory>

#include "Dialogs.h"
#include "Strids.h"
#include "Strres.h"
#include "UrlStore.h"

TForm1* Form1 = nullptr;

bool BlockingEnabled = false;
bool HideAtFirstPaint = false;
UINT CanCloseMessage = 0;
UINT StopUrlMessage = 0;
int AnimationTicks = 0;

namespace {
const char* const kStoppedKey = "Vantrel Software\\Popup Zapnix\\Stoped";
// The stopped URL is read into this many bytes: at most 599 characters and the zero.
constexpr DWORD kStoppedBufferSize = 600;

HINSTANCE ShellOpenDefault(const char* file) {
  return ShellExecuteA(nullptr, nullptr, file, nullptr, nullptr, SW_SHOWNORMAL);
}

// The system's ANSI upper-casing of a whole text.
std::string AnsiUpper(std::string text) {
  if (!text.empty()) CharUpperBuffA(text.data(), static_cast<DWORD>(text.size()));
  return text;
}
}  // namespace

HINSTANCE (*ShellOpen)(const char* file) = &ShellOpenDefault;
bool (*AskText)(const std::string& caption, const std::string& prompt, std::string& text) = &InputQuery;

void PurgeAtom(const char* name) {
  for (ATOM atom = GlobalFindAtomA(name); atom != 0; atom = GlobalFindAtomA(name)) {
    // A delete that fails would find the same atom again for ever: stop then.
    if (GlobalDeleteAtom(atom) != 0) break;
  }
}

// ---------------------------------------------------------------------------

const TClassInfo& TForm1::StaticClass() {
  static const TClassInfo info = DefineClass<TForm1>("TForm1", [](TClassBuilder<TForm1>& c) {
    c.Field("MyImage1", &TForm1::MyImage1)
        .Field("Image2", &TForm1::Image2)
        .Field("Image3", &TForm1::Image3)
        .Field("Image1", &TForm1::Image1)
        .Field("Shape1", &TForm1::Shape1)
        .Field("MyBarLabel1", &TForm1::MyBarLabel1)
        .Field("PageControl1", &TForm1::PageControl1)
        .Field("TabSheet1", &TForm1::TabSheet1)
        .Field("GroupBox3", &TForm1::GroupBox3)
        .Field("ListBox3", &TForm1::ListBox3)
        .Field("SpeedButton8", &TForm1::SpeedButton8)
        .Field("SpeedButton9", &TForm1::SpeedButton9)
        .Field("SpeedButton11", &TForm1::SpeedButton11)
        .Field("SpeedButton10", &TForm1::SpeedButton10)
        .Field("TabSheet2", &TForm1::TabSheet2)
        .Field("GroupBox2", &TForm1::GroupBox2)
        .Field("ListBox1", &TForm1::ListBox1)
        .Field("SpeedButton1", &TForm1::SpeedButton1)
        .Field("SpeedButton2", &TForm1::SpeedButton2)
        .Field("SpeedButton13", &TForm1::SpeedButton13)
        .Field("Label6", &TForm1::Label6)
        .Field("TabSheet3", &TForm1::TabSheet3)
        .Field("GroupBox4", &TForm1::GroupBox4)
        .Field("ListBox2", &TForm1::ListBox2)
        .Field("SpeedButton3", &TForm1::SpeedButton3)
        .Field("SpeedButton4", &TForm1::SpeedButton4)
        .Field("SpeedButton14", &TForm1::SpeedButton14)
        .Field("Label8", &TForm1::Label8)
        .Field("Panel1", &TForm1::Panel1)
        .Field("SpeedButton5", &TForm1::SpeedButton5)
        .Field("SpeedButton6", &TForm1::SpeedButton6)
        .Field("SpeedButton7", &TForm1::SpeedButton7)
        .Field("Label9", &TForm1::Label9)
        .Field("Label4", &TForm1::Label4)
        .Field("TrayIcon1", &TForm1::TrayIcon1)
        .Field("ImageList1", &TForm1::ImageList1)
        .Field("ImageList2", &TForm1::ImageList2)
        .Field("PopupMenu1", &TForm1::PopupMenu1)
        .Field("Disable1", &TForm1::Disable1)
        .Field("Restore1", &TForm1::Restore1)
        .Field("N1", &TForm1::N1)
        .Field("Help1", &TForm1::Help1)
        .Field("Exit1", &TForm1::Exit1)
        .Field("Timer1", &TForm1::Timer1)
        .Method("FormCreate", &TForm1::FormCreate)
        .Method("FormPaint", &TForm1::FormPaint)
        .Method("FormClose", &TForm1::FormClose)
        .Method("SubWndProc", &TForm1::SubWndProc)
        .Method("SpeedButton5Click", &TForm1::SpeedButton5Click)
        .Method("Disable1Click", &TForm1::Disable1Click)
        .Method("TrayIcon1Click", &TForm1::TrayIcon1Click)
        .Method("Timer1Timer", &TForm1::Timer1Timer)
        .Method("SpeedButton1Click", &TForm1::SpeedButton1Click)
        .Method("SpeedButton2Click", &TForm1::SpeedButton2Click)
        .Method("SpeedButton13Click", &TForm1::SpeedButton13Click)
        .Method("ListBox1DblClick", &TForm1::ListBox1DblClick)
        .Method("SpeedButton3Click", &TForm1::SpeedButton3Click)
        .Method("SpeedButton4Click", &TForm1::SpeedButton4Click)
        .Method("SpeedButton14Click", &TForm1::SpeedButton14Click)
        .Method("ListBox2DblClick", &TForm1::ListBox2DblClick)
        .Method("SpeedButton8Click", &TForm1::SpeedButton8Click)
        .Method("SpeedButton9Click", &TForm1::SpeedButton9Click)
        .Method("SpeedButton11Click", &TForm1::SpeedButton11Click)
        .Method("SpeedButton10Click", &TForm1::SpeedButton10Click)
        .Method("ListBox3DblClick", &TForm1::ListBox3DblClick)
        .Method("MyImage2Click", &TForm1::MyImage2Click)
        .Method("MyImage3Click", &TForm1::MyImage3Click)
        .Method("Label4Click", &TForm1::Label4Click)
        .Method("SpeedButton6Click", &TForm1::SpeedButton6Click)
        .Method("SpeedButton7Click", &TForm1::SpeedButton7Click)
        .Method("Help1Click", &TForm1::Help1Click)
        .Method("Exit1Click", &TForm1::Exit1Click)
        .Method("Restore1Click", &TForm1::Restore1Click)
        .Method("ListBox3Enter", &TForm1::ListBox3Enter)
        .Method("ListBox3Exit", &TForm1::ListBox3Exit);
  });
  return info;
}

TForm1::TForm1(TComponent* owner) : TForm(owner) {}

void TForm1::FormCreate(TObject*) {
  PurgeAtom("IEStillExisted");
  LoadUrlList(0, ListBox1->Items());
  LoadUrlList(1, ListBox2->Items());
  WindowProc = [this](TMessage& m) { SubWndProc(m); };
  CanCloseMessage = RegisterWindowMessageA("ZapnixCanClose");
  StopUrlMessage = RegisterWindowMessageA("VantrelZapnixStopURL");

  // The engine registers itself with the system at every start; a missing
  // engine or export is no error, and its result is not looked at.
  OleInitialize(nullptr);
  std::string path = Application->ExeFolder() + "ZapnixServer.dll";
  if (HMODULE engine = LoadLibraryA(path.c_str())) {
    using RegisterFn = HRESULT(STDAPICALLTYPE*)();
    if (auto reg = reinterpret_cast<RegisterFn>(reinterpret_cast<void*>(GetProcAddress(engine, "DllRegisterServer"))))
      reg();
    FreeLibrary(engine);
  }
  OleUninitialize();

  GlobalAddAtomA("PopupZapnixRunning");
  PageControl1->SetActivePage(TabSheet1);
  SpeedButton5->SetEnabled(true);
  SpeedButton6->SetEnabled(true);
  HideAtFirstPaint = true;
  BlockingEnabled = true;
  SetKeyPreview(true);
  OnKeyDown = TKeyEvent(this, &TForm1::FormKeyDown);
  TrayIcon1->SetVisible(true);
}

void TForm1::FormPaint(TObject*) {
  if (!HideAtFirstPaint) return;
  HideAtFirstPaint = false;
  // Without an icon in the tray nothing could bring the window back: when
  // the shell refused the icon, the window stays shown.
  if (TrayIcon1->InTray()) TrayIcon1->Minimize();
}

void TForm1::FormClose(TObject*, TCloseAction&) {
  PurgeAtom("PopupZapnixRunning");
  PurgeAtom("PopupZapnix");
}

void TForm1::SubWndProc(TMessage& message) {
  if (message.Msg == CanCloseMessage && CanCloseMessage != 0) {
    Close();
  } else if (message.Msg == StopUrlMessage && StopUrlMessage != 0) {
    ReadStoppedUrl();
  } else {
    WndProc(message);
  }
}

void TForm1::ReadStoppedUrl() {
  char buffer[kStoppedBufferSize] = {};
  LONG size = static_cast<LONG>(kStoppedBufferSize);
  if (RegQueryValueA(HKEY_CURRENT_USER, kStoppedKey, buffer, &size) != ERROR_SUCCESS) return;
  // A value stored without its terminating zero may fill the whole buffer:
  // such a text is longer than a URL may be, and is ignored like one.
  size_t length = strnlen(buffer, kStoppedBufferSize);
  if (length >= kStoppedBufferSize) return;
  // An empty text names no pop-up: ignored like a missing value.
  if (length == 0) return;
  std::string url(buffer, length);

  TStrings* blocked = ListBox3->Items();
  std::string key = AnsiUpper(url);
  for (int i = 0; i < blocked->Count(); ++i)
    if (AnsiUpper(blocked->Get(i)) == key) return;
  blocked->Add(url);
  // Screen readers hear of the stop through the new row, which names the URL,
  // without the focus moving to it.
  if (ListBox3->HandleAllocated())
    NotifyWinEvent(EVENT_SYSTEM_ALERT, ListBox3->Handle(), OBJID_CLIENT, blocked->Count());
  TrayIcon1->SetAnimate(true);
  AnimationTicks = 0;
  Timer1->SetEnabled(true);
}

void TForm1::Timer1Timer(TObject*) {
  if (!TrayIcon1->GetAnimate()) return;
  if (AnimationTicks < 20) {
    ++AnimationTicks;
    return;
  }
  AnimationTicks = 0;
  TrayIcon1->SetAnimate(false);
  Timer1->SetEnabled(false);
  TrayIcon1->SetIconIndex(BlockingEnabled ? 0 : 1);
}

void TForm1::ShowSwitch(int glyphIndex, unsigned captionId, unsigned hintId) {
  auto bitmap = std::make_unique<TBitmap>();
  ImageList1->GetBitmap(glyphIndex, bitmap.get());
  SpeedButton5->Glyph()->Assign(bitmap.get());
  Disable1->SetCaption(LoadStringBuffer(captionId, 500));
  SpeedButton5->SetCaption(Disable1->Caption());
  Disable1->SetImageIndex(glyphIndex);
  TrayIcon1->SetHint(LoadStringBuffer(hintId, 500));
  TrayIcon1->SetIconIndex(glyphIndex);
}

void TForm1::SpeedButton5Click(TObject*) {
  if (BlockingEnabled) {
    PurgeAtom("PopupZapnixRunning");
    BlockingEnabled = false;
    ShowSwitch(1, IDS_ENABLE, IDS_HINT_DISABLED);
  } else {
    GlobalAddAtomA("PopupZapnixRunning");
    BlockingEnabled = true;
    ShowSwitch(0, IDS_DISABLE, IDS_HINT_ENABLED);
  }
}

void TForm1::Disable1Click(TObject*) { SpeedButton5->Click(); }
void TForm1::TrayIcon1Click(TObject*) { SpeedButton5->Click(); }

// ---------------------------------------------------------------------------
// The lists

void TForm1::AddUrl(TListBox* list, int selector, const char* prompt) {
  std::string text;
  if (!AskText("Add URL", prompt, text) || text.empty()) return;
  list->Items()->Add(text);
  SaveUrlList(selector, list->Items());
}

int TForm1::ChosenRow(TListBox* list) {
  // With nothing selected the caret still stands on a row (row 0 at first):
  // a row the user never picked. Only a selected caret row is acted on.
  int index = list->ItemIndex();
  if (index < 0 || index >= list->Items()->Count()) return -1;
  return list->Selected(index) ? index : -1;
}

void TForm1::DeleteUrl(TListBox* list, int selector) {
  int index = ChosenRow(list);
  if (index == -1) return;
  list->Items()->Delete(index);
  SaveUrlList(selector, list->Items());
}

void TForm1::EditUrl(TListBox* list, int selector) {
  int index = ChosenRow(list);
  if (index == -1) return;
  std::string text = list->Items()->Get(index);
  if (!AskText("Edit", "Edit URL:", text) || text.empty()) return;
  list->Items()->Put(index, text);
  if (selector >= 0) SaveUrlList(selector, list->Items());
}

void TForm1::MoveBlocked(TListBox* target, int selector) {
  int index = ChosenRow(ListBox3);
  if (index == -1) return;
  target->Items()->Add(ListBox3->Items()->Get(index));
  ListBox3->Items()->Delete(index);
  SaveUrlList(selector, target->Items());
}

void TForm1::SpeedButton1Click(TObject*) { AddUrl(ListBox1, 0, "Add a URL to white list:"); }
void TForm1::SpeedButton2Click(TObject*) { DeleteUrl(ListBox1, 0); }
void TForm1::SpeedButton13Click(TObject* sender) { ListBox1DblClick(sender); }
void TForm1::ListBox1DblClick(TObject*) { EditUrl(ListBox1, 0); }
void TForm1::SpeedButton3Click(TObject*) { AddUrl(ListBox2, 1, "Add a URL to black list:"); }
void TForm1::SpeedButton4Click(TObject*) { DeleteUrl(ListBox2, 1); }
void TForm1::SpeedButton14Click(TObject* sender) { ListBox2DblClick(sender); }
void TForm1::ListBox2DblClick(TObject*) { EditUrl(ListBox2, 1); }

void TForm1::SpeedButton8Click(TObject*) { MoveBlocked(ListBox2, 1); }
void TForm1::SpeedButton9Click(TObject*) { MoveBlocked(ListBox1, 0); }

void TForm1::SpeedButton11Click(TObject*) {
  int index = ChosenRow(ListBox3);
  if (index == -1) return;
  ListBox3->Items()->Delete(index);
}

void TForm1::SpeedButton10Click(TObject*) { ListBox3->Items()->Clear(); }
void TForm1::ListBox3DblClick(TObject*) { EditUrl(ListBox3, -1); }

// ---------------------------------------------------------------------------
// The window's own commands

void TForm1::MyImage2Click(TObject*) { PostMessageA(Handle(), WM_SYSCOMMAND, SC_CLOSE, 0); }
void TForm1::MyImage3Click(TObject*) { PostMessageA(Handle(), WM_SYSCOMMAND, SC_MINIMIZE, 0); }

void TForm1::Label4Click(TObject*) { ShellOpen(LoadStringBuffer(IDS_WEB_PAGE, 500).c_str()); }

void TForm1::SpeedButton6Click(TObject*) {
  std::string path = Application->ExeFolder() + LoadStringBuffer(IDS_HELP_FILE, 500);
  ShellOpen(path.c_str());
}

void TForm1::SpeedButton7Click(TObject*) { Close(); }
void TForm1::Help1Click(TObject*) { SpeedButton6->Click(); }
void TForm1::Exit1Click(TObject*) { SpeedButton7->Click(); }
void TForm1::Restore1Click(TObject*) { TrayIcon1->Restore(); }

void TForm1::ListBox3Enter(TObject* sender) {
  if (auto* list = dynamic_cast<TWinControl*>(sender))
    SendMessageA(list->Handle(), LB_SETHORIZONTALEXTENT, 1000, 0);
}

void TForm1::FormKeyDown(TObject*, WORD& key, TShiftState shift) {
  if (!shift.Empty()) return;
  struct ListKeys {
    TListBox* list;
    TSpeedButton* add;
    TSpeedButton* remove;
  };
  const ListKeys lists[] = {{ListBox3, nullptr, SpeedButton11}, {ListBox1, SpeedButton1, SpeedButton2},
                            {ListBox2, SpeedButton3, SpeedButton4}};
  const ListKeys* focused = nullptr;
  for (const ListKeys& entry : lists)
    if (entry.list->Focused()) focused = &entry;
  switch (key) {
    case VK_ESCAPE: MyImage3Click(this); break;
    case VK_RETURN:
      if (!focused) return;
      focused->list->DblClick();
      break;
    case VK_DELETE:
      if (!focused) return;
      focused->remove->Click();
      break;
    case VK_INSERT:
      if (!focused || !focused->add) return;
      focused->add->Click();
      break;
    default: return;
  }
  key = 0;
}

void TForm1::ListBox3Exit(TObject* sender) {
  if (auto* list = dynamic_cast<TWinControl*>(sender))
    SendMessageA(list->Handle(), LB_SETHORIZONTALEXTENT, 0, 0);
}
