// The main window's handlers, driven in-process where the outside cannot see:
// the caret row of a multi-selection, the announcement's ticks, the switch's
// captions and glyph, the registry store's rules.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "ExceptionCapture.h"
#include "Registry.h"
#include "Unit1.h"

namespace {
const char* const kStore = "Vantrel Software\\Popup Zapnix";
const char* const kStoppedKey = "Vantrel Software\\Popup Zapnix\\Stoped";

std::vector<std::string> ValueNames(const char* subkey) {
  std::vector<std::string> names;
  HKEY key = nullptr;
  std::string path = std::string(kStore) + "\\" + subkey;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return names;
  for (DWORD i = 0;; ++i) {
    char name[2048];
    DWORD size = sizeof name;
    if (RegEnumValueA(key, i, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    names.emplace_back(name, size);
  }
  RegCloseKey(key);
  return names;
}

bool KeyExists(const char* subkey) {
  HKEY key = nullptr;
  std::string path = std::string(kStore) + "\\" + subkey;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

void WriteStopped(const std::string& text, DWORD type = REG_SZ, bool withZero = true) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kStoppedKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegSetValueExA(key, nullptr, 0, type, reinterpret_cast<const BYTE*>(text.c_str()),
                 static_cast<DWORD>(text.size() + (withZero ? 1 : 0)));
  RegCloseKey(key);
}

std::vector<std::string> Rows(TListBox* list) {
  std::vector<std::string> rows;
  for (int i = 0; i < list->Items()->Count(); ++i) rows.push_back(list->Items()->Get(i));
  return rows;
}

// What the fake input box answers next, and what it was asked.
struct Answer {
  bool ok = true;
  std::string text;
  std::string caption, prompt, shown;
  int calls = 0;
} answer;

bool FakeAsk(const std::string& caption, const std::string& prompt, std::string& text) {
  ++answer.calls;
  answer.caption = caption;
  answer.prompt = prompt;
  answer.shown = text;
  if (answer.ok) text = answer.text;
  return answer.ok;
}

std::vector<std::string> opened;
HINSTANCE FakeOpen(const char* file) {
  opened.emplace_back(file);
  return reinterpret_cast<HINSTANCE>(static_cast<INT_PTR>(2));
}

class MainWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    InitApplication();
    RegDeleteTreeA(HKEY_CURRENT_USER, kStore);
    AskText = &FakeAsk;
    ShellOpen = &FakeOpen;
    answer = Answer{};
    opened.clear();
  }
  void TearDown() override {
    delete form;
    form = nullptr;
    Form1 = nullptr;
    PurgeAtom("PopupZapnixRunning");
    RegDeleteTreeA(HKEY_CURRENT_USER, kStore);
  }
  TForm1* Create() {
    Application->CreateForm(form);
    return form;
  }
  TForm1* form = nullptr;
};
}  // namespace

TEST(PurgeAtomTest, DeletesEveryReferenceAndToleratesAbsence) {
  for (int i = 0; i < 3; ++i) GlobalAddAtomA("ZapnixTestAtom");
  PurgeAtom("ZapnixTestAtom");
  EXPECT_EQ(GlobalFindAtomA("ZapnixTestAtom"), 0);
  PurgeAtom("ZapnixTestAtom");  // not there: one look-up, nothing else
  EXPECT_EQ(GlobalFindAtomA("ZapnixTestAtom"), 0);
}

TEST_F(MainWindow, StartsWithTheEnabledAppearanceAndTheListsLoaded) {
  {
    TStringList white;
    white.Add("http://a.example/");
    white.Add("http://b.example/");
    SaveUrlList(0, &white);
  }
  for (int i = 0; i < 3; ++i) GlobalAddAtomA("IEStillExisted");
  Create();
  EXPECT_EQ(GlobalFindAtomA("IEStillExisted"), 0);
  EXPECT_NE(GlobalFindAtomA("PopupZapnixRunning"), 0);
  EXPECT_TRUE(BlockingEnabled);
  EXPECT_TRUE(HideAtFirstPaint);
  EXPECT_EQ(form->PageControl1->ActivePage(), form->TabSheet1);
  EXPECT_EQ(form->SpeedButton5->Caption(), "Disable");
  EXPECT_EQ(form->Disable1->Caption(), "&Disable");
  EXPECT_EQ(form->TrayIcon1->Hint(), "Zapnix - Enabled");
  EXPECT_EQ(Rows(form->ListBox1), ValueNames("WhiteList"));
  EXPECT_EQ(form->ListBox1->Items()->Count(), 2);
  EXPECT_EQ(form->ListBox2->Items()->Count(), 0);
  EXPECT_NE(CanCloseMessage, 0u);
  EXPECT_NE(StopUrlMessage, 0u);
  EXPECT_EQ(CanCloseMessage, RegisterWindowMessageA("ZapnixCanClose"));
}

TEST_F(MainWindow, SwitchOffAndOnSetsEveryPieceOfTheAppearance) {
  Create();
  GlobalAddAtomA("PopupZapnixRunning");  // another process's reference
  form->SpeedButton5Click(form->SpeedButton5);
  EXPECT_FALSE(BlockingEnabled);
  EXPECT_EQ(GlobalFindAtomA("PopupZapnixRunning"), 0);
  EXPECT_EQ(form->Disable1->Caption(), "&Enable");
  EXPECT_EQ(form->SpeedButton5->Caption(), "&Enable");
  EXPECT_EQ(form->Disable1->ImageIndex(), 1);
  EXPECT_EQ(form->TrayIcon1->Hint(), "Zapnix - Disabled");
  EXPECT_EQ(form->TrayIcon1->IconIndex(), 1);

  // The menu item and the tray icon switch exactly as the button does.
  form->Disable1Click(form->Disable1);
  EXPECT_TRUE(BlockingEnabled);
  EXPECT_EQ(form->SpeedButton5->Caption(), "&Disable");  // where the start showed "Disable"
  EXPECT_EQ(form->TrayIcon1->Hint(), "Zapnix - Enabled");
  EXPECT_EQ(form->Disable1->ImageIndex(), 0);
  ATOM atom = GlobalFindAtomA("PopupZapnixRunning");
  ASSERT_NE(atom, 0);
  GlobalDeleteAtom(atom);  // exactly one reference was added
  EXPECT_EQ(GlobalFindAtomA("PopupZapnixRunning"), 0);
  GlobalAddAtomA("PopupZapnixRunning");

  form->SpeedButton5->SetEnabled(false);
  form->TrayIcon1Click(form->TrayIcon1);  // runs even with the button disabled
  EXPECT_FALSE(BlockingEnabled);
}

TEST_F(MainWindow, GlyphFollowsTheSwitch) {
  Create();
  TBitmap expected;
  form->SpeedButton5Click(nullptr);
  form->ImageList1->GetBitmap(1, &expected);
  ASSERT_EQ(form->SpeedButton5->Glyph()->Width(), expected.Width());
  ASSERT_EQ(form->SpeedButton5->Glyph()->Height(), expected.Height());
  for (int y = 0; y < expected.Height(); ++y)
    for (int x = 0; x < expected.Width(); ++x)
      ASSERT_EQ(form->SpeedButton5->Glyph()->Canvas()->Pixels(x, y), expected.Canvas()->Pixels(x, y)) << x << "," << y;
}

TEST_F(MainWindow, StoppedUrlsAreTakenOnceWhateverTheirLetterCase) {
  Create();
  WriteStopped("http://ads.example/pop");
  form->ReadStoppedUrl();
  form->ReadStoppedUrl();
  WriteStopped("HTTP://ADS.EXAMPLE/POP");
  form->ReadStoppedUrl();
  WriteStopped("http://ads.example/pop/");
  form->ReadStoppedUrl();
  EXPECT_EQ(Rows(form->ListBox3), (std::vector<std::string>{"http://ads.example/pop", "http://ads.example/pop/"}));
  EXPECT_TRUE(form->TrayIcon1->GetAnimate());
  EXPECT_TRUE(form->Timer1->Enabled());
}

TEST_F(MainWindow, StoppedValueLimitsAndFaultsAreReadSafely) {
  Create();
  form->ReadStoppedUrl();  // no Stoped key at all
  EXPECT_EQ(form->ListBox3->Items()->Count(), 0);
  EXPECT_FALSE(form->TrayIcon1->GetAnimate());

  WriteStopped(std::string(599, 'a'));
  form->ReadStoppedUrl();
  ASSERT_EQ(form->ListBox3->Items()->Count(), 1);
  EXPECT_EQ(form->ListBox3->Items()->Get(0).size(), 599u);

  WriteStopped(std::string(600, 'b'));
  form->ReadStoppedUrl();
  WriteStopped(std::string(600, 'c'), REG_SZ, false);  // no terminating zero
  form->ReadStoppedUrl();
  WriteStopped(std::string(5000, 'd'));
  form->ReadStoppedUrl();
  EXPECT_EQ(form->ListBox3->Items()->Count(), 1);

  // An empty text names no pop-up: no row, no announcement.
  form->Timer1->SetEnabled(false);
  form->TrayIcon1->SetAnimate(false);
  WriteStopped("");
  form->ReadStoppedUrl();
  EXPECT_EQ(form->ListBox3->Items()->Count(), 1);
  EXPECT_FALSE(form->TrayIcon1->GetAnimate());
  EXPECT_FALSE(form->Timer1->Enabled());
}

TEST_F(MainWindow, AnnouncementEndsOnTheTwentyFirstTick) {
  Create();
  WriteStopped("http://one.example/");
  form->ReadStoppedUrl();
  for (int i = 0; i < 20; ++i) {
    form->Timer1Timer(form->Timer1);
    ASSERT_TRUE(form->TrayIcon1->GetAnimate()) << "tick " << i + 1;
  }
  // A new URL during the announcement sets the count back.
  WriteStopped("http://two.example/");
  form->ReadStoppedUrl();
  EXPECT_EQ(AnimationTicks, 0);
  for (int i = 0; i < 20; ++i) form->Timer1Timer(form->Timer1);
  EXPECT_TRUE(form->TrayIcon1->GetAnimate());
  form->SpeedButton5Click(nullptr);  // switching off does not stop it
  EXPECT_TRUE(form->TrayIcon1->GetAnimate());
  form->Timer1Timer(form->Timer1);
  EXPECT_FALSE(form->TrayIcon1->GetAnimate());
  EXPECT_FALSE(form->Timer1->Enabled());
  EXPECT_EQ(form->TrayIcon1->IconIndex(), 1);  // the disabled picture
  form->Timer1Timer(form->Timer1);  // idle ticks do nothing
  EXPECT_EQ(AnimationTicks, 0);
}

// The pieces of one stored list page: its list box, buttons and subkey.
struct ListPage {
  const char* name;
  TListBox* TForm1::*list;
  void (TForm1::*add)(TObject*);
  void (TForm1::*remove)(TObject*);
  void (TForm1::*editButton)(TObject*);
  void (TForm1::*doubleClick)(TObject*);
  const char* subkey;
  const char* otherSubkey;
  const char* prompt;
};
const ListPage kListPages[] = {
    {"white", &TForm1::ListBox1, &TForm1::SpeedButton1Click, &TForm1::SpeedButton2Click, &TForm1::SpeedButton13Click,
     &TForm1::ListBox1DblClick, "WhiteList", "BlackList", "Add a URL to white list:"},
    {"black", &TForm1::ListBox2, &TForm1::SpeedButton3Click, &TForm1::SpeedButton4Click, &TForm1::SpeedButton14Click,
     &TForm1::ListBox2DblClick, "BlackList", "WhiteList", "Add a URL to black list:"},
};

// Selects the row alone and puts the caret on it, as a click does.
void Choose(TListBox* list, int row) {
  for (int i = 0; i < list->Items()->Count(); ++i) list->SetSelected(i, i == row);
  list->SetItemIndex(row);
}

void WriteListValue(const char* subkey, const char* name) {
  HKEY key = nullptr;
  std::string path = std::string(kStore) + "\\" + subkey;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(""), 1);
  RegCloseKey(key);
}

// Add, Edit (button and double-click) and Delete of each stored list: each
// writes its own subkey whole, and never the other list's.
TEST_F(MainWindow, EachListPageWritesItsOwnSubkeyOnly) {
  for (const ListPage& page : kListPages) {
    SCOPED_TRACE(page.name);
    RegDeleteTreeA(HKEY_CURRENT_USER, kStore);
    WriteListValue(page.otherSubkey, "http://other.example/");
    Create();
    TListBox* list = form->*page.list;
    auto stored = [&] {
      std::vector<std::string> names = ValueNames(page.subkey);
      std::sort(names.begin(), names.end());
      return names;
    };
    auto otherUntouched = [&] {
      EXPECT_EQ(ValueNames(page.otherSubkey), std::vector<std::string>{"http://other.example/"});
    };

    answer = Answer{};
    answer.text = "http://b.example/";
    (form->*page.add)(nullptr);
    EXPECT_EQ(answer.caption, "Add URL");
    EXPECT_EQ(answer.prompt, page.prompt);
    EXPECT_EQ(answer.shown, "");
    answer.text = "http://a.example/";
    (form->*page.add)(nullptr);
    answer.text = "HTTP://A.EXAMPLE/";  // same URL in other letter case: two rows, one value
    (form->*page.add)(nullptr);
    EXPECT_EQ(Rows(list), (std::vector<std::string>{"http://b.example/", "http://a.example/", "HTTP://A.EXAMPLE/"}));
    EXPECT_EQ(stored(), (std::vector<std::string>{"http://a.example/", "http://b.example/"}));
    otherUntouched();

    // Cancel, OK on an empty field: nothing changes and nothing is written.
    WriteListValue(page.subkey, "http://outside.example/");
    answer.ok = false;
    answer.text = "http://never.example/";
    (form->*page.add)(nullptr);
    answer.ok = true;
    answer.text = "";
    (form->*page.add)(nullptr);
    EXPECT_EQ(list->Items()->Count(), 3);
    EXPECT_EQ(stored().size(), 3u) << "the list was written again";

    // The Edit button and the double-click edit the chosen row in place.
    Choose(list, 1);
    answer.text = "http://edited.example/";
    (form->*page.editButton)(nullptr);
    EXPECT_EQ(answer.caption, "Edit");
    EXPECT_EQ(answer.prompt, "Edit URL:");
    EXPECT_EQ(answer.shown, "http://a.example/");
    Choose(list, 2);
    answer.text = "http://twice.example/";
    (form->*page.doubleClick)(nullptr);
    EXPECT_EQ(Rows(list),
              (std::vector<std::string>{"http://b.example/", "http://edited.example/", "http://twice.example/"}));
    EXPECT_EQ(stored(),
              (std::vector<std::string>{"http://b.example/", "http://edited.example/", "http://twice.example/"}));
    answer.text = "";  // editing into an empty text is refused
    (form->*page.doubleClick)(nullptr);
    EXPECT_EQ(list->Items()->Get(2), "http://twice.example/");
    otherUntouched();

    // Delete removes the chosen row; the last one takes the subkey with it.
    Choose(list, 0);
    (form->*page.remove)(nullptr);
    EXPECT_EQ(stored(), (std::vector<std::string>{"http://edited.example/", "http://twice.example/"}));
    for (int i = 0; i < 2; ++i) {
      Choose(list, 0);
      (form->*page.remove)(nullptr);
    }
    EXPECT_EQ(list->Items()->Count(), 0);
    EXPECT_FALSE(KeyExists(page.subkey));
    (form->*page.remove)(nullptr);  // nothing left: nothing happens
    otherUntouched();
    delete form;
    form = nullptr;
  }
}

// A caret row that is not selected is no choice of the user's: the list
// commands do nothing and write nothing, on each of the three lists.
TEST_F(MainWindow, CommandsNeedTheCaretRowSelected) {
  Create();
  for (TListBox* list : {form->ListBox1, form->ListBox2})
    for (const char* url : {"http://one.example/", "http://two.example/"}) list->Items()->Add(url);
  for (const char* url : {"http://one.example/", "http://two.example/"}) {
    WriteStopped(url);
    form->ReadStoppedUrl();
  }
  struct Command {
    const char* name;
    void (TForm1::*run)(TObject*);
    TListBox* list;
  };
  const Command commands[] = {
      {"white Delete", &TForm1::SpeedButton2Click, form->ListBox1},
      {"white Edit", &TForm1::SpeedButton13Click, form->ListBox1},
      {"white double-click", &TForm1::ListBox1DblClick, form->ListBox1},
      {"black Delete", &TForm1::SpeedButton4Click, form->ListBox2},
      {"black Edit", &TForm1::SpeedButton14Click, form->ListBox2},
      {"black double-click", &TForm1::ListBox2DblClick, form->ListBox2},
      {"blocked Delete", &TForm1::SpeedButton11Click, form->ListBox3},
      {"blocked double-click", &TForm1::ListBox3DblClick, form->ListBox3},
      {"Add to Black List", &TForm1::SpeedButton8Click, form->ListBox3},
      {"Add to White List", &TForm1::SpeedButton9Click, form->ListBox3},
  };
  const std::vector<std::string> rows{"http://one.example/", "http://two.example/"};
  answer.text = "http://changed.example/";
  for (const Command& command : commands) {
    SCOPED_TRACE(command.name);
    // Nothing selected (the caret stands on row 0), then another row selected
    // while the caret stands on an unselected one.
    for (int selected : {-1, 1}) {
      Choose(command.list, selected);
      command.list->SetItemIndex(0);
      ASSERT_EQ(command.list->ItemIndex(), 0);
      (form->*command.run)(nullptr);
      EXPECT_EQ(Rows(form->ListBox1), rows);
      EXPECT_EQ(Rows(form->ListBox2), rows);
      EXPECT_EQ(Rows(form->ListBox3), rows);
    }
  }
  EXPECT_EQ(answer.calls, 0) << "an edit box opened for a row nobody chose";
  EXPECT_FALSE(KeyExists("WhiteList"));
  EXPECT_FALSE(KeyExists("BlackList"));

  // The caret row selected together with others is a choice.
  form->ListBox2->SetSelected(0, true);
  form->ListBox2->SetSelected(1, true);
  form->ListBox2->SetItemIndex(1);
  form->SpeedButton4Click(nullptr);
  EXPECT_EQ(Rows(form->ListBox2), std::vector<std::string>{"http://one.example/"});
}

// An edit of the blocked list changes the row and writes nothing at all.
TEST_F(MainWindow, BlockedListEditWritesNothing) {
  Create();
  WriteStopped("http://blocked.example/");
  form->ReadStoppedUrl();
  Choose(form->ListBox3, 0);
  answer.text = "http://edited.example/";
  form->ListBox3DblClick(nullptr);
  EXPECT_EQ(Rows(form->ListBox3), std::vector<std::string>{"http://edited.example/"});
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kStore, 0, KEY_READ, &key), ERROR_SUCCESS);
  DWORD subkeys = 0, values = 0;
  RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr, nullptr, nullptr,
                   nullptr);
  RegCloseKey(key);
  EXPECT_EQ(subkeys, 1u) << "only Stoped, which the test wrote";
  EXPECT_EQ(values, 0u);
  EXPECT_EQ(ValueNames("Stoped").size(), 1u);  // the default value, unchanged
}

TEST_F(MainWindow, BlockedRowsMoveOnlyTheCaretRow) {
  Create();
  for (const char* url : {"http://a.example/", "http://b.example/", "http://c.example/"}) {
    WriteStopped(url);
    form->ReadStoppedUrl();
  }
  form->ListBox3->SetItemIndex(1);
  for (int i = 0; i < 3; ++i) SendMessageA(form->ListBox3->Handle(), LB_SETSEL, TRUE, i);
  SendMessageA(form->ListBox3->Handle(), LB_SETCARETINDEX, 1, FALSE);
  EXPECT_EQ(form->ListBox3->ItemIndex(), 1);
  form->SpeedButton11Click(nullptr);
  EXPECT_EQ(Rows(form->ListBox3), (std::vector<std::string>{"http://a.example/", "http://c.example/"}));

  TStringList black;
  black.Add("http://a.example/");
  SaveUrlList(1, &black);
  Choose(form->ListBox3, 0);
  form->SpeedButton9Click(nullptr);  // to the white list
  EXPECT_EQ(Rows(form->ListBox1), std::vector<std::string>{"http://a.example/"});
  EXPECT_EQ(ValueNames("WhiteList"), std::vector<std::string>{"http://a.example/"});
  EXPECT_EQ(ValueNames("BlackList"), std::vector<std::string>{"http://a.example/"});  // untouched

  Choose(form->ListBox3, 0);
  answer.text = "http://c2.example/";
  form->ListBox3DblClick(nullptr);
  EXPECT_EQ(Rows(form->ListBox3), std::vector<std::string>{"http://c2.example/"});
  Choose(form->ListBox3, 0);
  form->SpeedButton8Click(nullptr);
  EXPECT_EQ(Rows(form->ListBox2), std::vector<std::string>{"http://c2.example/"});
  EXPECT_EQ(ValueNames("BlackList"), std::vector<std::string>{"http://c2.example/"});

  WriteStopped("http://d.example/");
  form->ReadStoppedUrl();
  form->SpeedButton10Click(nullptr);
  EXPECT_EQ(form->ListBox3->Items()->Count(), 0);
  form->SpeedButton8Click(nullptr);  // empty list: nothing
  form->SpeedButton11Click(nullptr);
  EXPECT_EQ(form->ListBox2->Items()->Count(), 1);
}

TEST_F(MainWindow, HelpAndWebPageOpenThroughTheShell) {
  Create();
  char elsewhere[MAX_PATH];
  GetTempPathA(MAX_PATH, elsewhere);
  SetCurrentDirectoryA(elsewhere);
  form->Help1Click(nullptr);
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_EQ(opened[0], Application->ExeFolder() + "Zapnix.chm");
  form->Label4Click(nullptr);
  ASSERT_EQ(opened.size(), 2u);
  EXPECT_EQ(opened[1], form->Label4->Caption());
  EXPECT_EQ(opened[1].rfind("https://", 0), 0u);
}

TEST_F(MainWindow, ListBoxesScrollSidewaysOnlyWhileFocused) {
  Create();
  for (TListBox* list : {form->ListBox1, form->ListBox2, form->ListBox3}) {
    form->ListBox3Enter(list);
    EXPECT_EQ(SendMessageA(list->Handle(), LB_GETHORIZONTALEXTENT, 0, 0), 1000);
    form->ListBox3Exit(list);
    EXPECT_EQ(SendMessageA(list->Handle(), LB_GETHORIZONTALEXTENT, 0, 0), 0);
  }
}

TEST_F(MainWindow, EngineMessagesGoThroughTheHook) {
  Create();
  WriteStopped("http://hooked.example/");
  SendMessageA(form->Handle(), StopUrlMessage, 0, 0);
  EXPECT_EQ(form->ListBox3->Items()->Count(), 1);
  // Other messages still reach the form's own window procedure: a caption
  // other than the one it has is taken.
  SendMessageA(form->Handle(), WM_SETTEXT, 0, reinterpret_cast<LPARAM>("Another caption"));
  EXPECT_EQ(form->Caption(), "Another caption");
  char text[64] = {};
  GetWindowTextA(form->Handle(), text, sizeof text);
  EXPECT_STREQ(text, "Another caption");
  EXPECT_EQ(form->ListBox3->Items()->Count(), 1);
}

// Each announcement ends on the picture of the switch's position, also when
// the animation had moved it, and a URL after an ended announcement starts
// a new one.
TEST_F(MainWindow, EveryNewUrlStartsAnAnnouncementThatEndsOnTheSwitchPicture) {
  Create();
  struct Round {
    const char* url;
    bool enabled;
  };
  for (const Round& round : {Round{"http://on.example/", true}, Round{"http://off.example/", false},
                             Round{"http://on-again.example/", true}}) {
    SCOPED_TRACE(round.url);
    if (BlockingEnabled != round.enabled) form->SpeedButton5Click(nullptr);
    WriteStopped(round.url);
    form->ReadStoppedUrl();
    ASSERT_TRUE(form->TrayIcon1->GetAnimate());
    ASSERT_TRUE(form->Timer1->Enabled());
    EXPECT_EQ(AnimationTicks, 0);
    // The blinking moves the picture meanwhile.
    form->TrayIcon1->DoOnAnimate(nullptr);
    form->TrayIcon1->DoOnAnimate(nullptr);
    for (int tick = 0; tick < 20; ++tick) form->Timer1Timer(form->Timer1);
    EXPECT_TRUE(form->TrayIcon1->GetAnimate());
    form->Timer1Timer(form->Timer1);
    EXPECT_FALSE(form->TrayIcon1->GetAnimate());
    EXPECT_FALSE(form->Timer1->Enabled());
    EXPECT_EQ(form->TrayIcon1->IconIndex(), round.enabled ? 0 : 1);
  }
}

namespace {
BOOL WINAPI RefusingShell(DWORD message, PNOTIFYICONDATAA) { return message != NIM_ADD; }
BOOL WINAPI AcceptingShell(DWORD, PNOTIFYICONDATAA) { return TRUE; }
}  // namespace

// A window whose icon the shell refused stays shown at its first paint:
// nothing else could bring it back. One with its icon hides.
TEST_F(MainWindow, FirstPaintHidesTheWindowOnlyWhenTheIconIsInTheTray) {
  for (bool accepted : {false, true}) {
    SCOPED_TRACE(accepted ? "accepted" : "refused");
    ExceptionCapture errors;
    TTrayIcon::ShellNotify = accepted ? &AcceptingShell : &RefusingShell;
    Create();
    TTrayIcon::ShellNotify = &Shell_NotifyIconA;
    EXPECT_EQ(errors.count, accepted ? 0 : 1);
    if (!accepted) {
      EXPECT_EQ(errors.text, "Cannot Create System Shell Notification Icon");
    }
    EXPECT_EQ(form->TrayIcon1->InTray(), accepted);
    form->Show();
    form->FormPaint(form);
    EXPECT_FALSE(HideAtFirstPaint);
    EXPECT_EQ(Application->Minimized(), accepted);
    EXPECT_EQ(IsWindowVisible(form->Handle()) != FALSE, !accepted);
    form->TrayIcon1->Restore();
    delete form;
    form = nullptr;
  }
}

// A program key that cannot be opened leaves the lists empty without a word;
// a list write that fails raises the registry's error, and the list box keeps
// the change.
TEST_F(MainWindow, StoreFaultsKeepTheListsAndReportOnlyFailedWrites) {
  // A non-volatile key cannot be created below a volatile one.
  RegDeleteTreeA(HKEY_CURRENT_USER, "Vantrel Software");
  HKEY parent = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Vantrel Software", 0, nullptr, REG_OPTION_VOLATILE, KEY_ALL_ACCESS,
                            nullptr, &parent, nullptr),
            ERROR_SUCCESS);
  RegCloseKey(parent);
  {
    TRegIniFile probe(kStore);
    ASSERT_EQ(probe.CurrentKey(), nullptr) << "the key could be created after all";
  }
  ExceptionCapture errors;
  Create();
  EXPECT_EQ(form->ListBox1->Items()->Count(), 0);
  EXPECT_EQ(form->ListBox2->Items()->Count(), 0);
  EXPECT_EQ(errors.count, 0);

  answer.text = "http://kept.example/";
  try {
    form->SpeedButton3Click(nullptr);
    ADD_FAILURE() << "a failed write was not reported";
  } catch (const Exception& e) {
    EXPECT_EQ(std::string(e.what()), "Failed to set data for 'http://kept.example/'");
  }
  EXPECT_EQ(Rows(form->ListBox2), std::vector<std::string>{"http://kept.example/"});
  RegDeleteTreeA(HKEY_CURRENT_USER, "Vantrel Software");
  RegDeleteKeyA(HKEY_CURRENT_USER, "Vantrel Software");
}
