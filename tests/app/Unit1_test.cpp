// The main window's handlers, driven in-process where the outside cannot see:
// the caret row of a multi-selection, the announcement's ticks, the switch's
// captions and glyph, the registry store's rules.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

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

  WriteStopped("");  // an empty text that is new becomes an empty row
  form->ReadStoppedUrl();
  EXPECT_EQ(form->ListBox3->Items()->Count(), 2);
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

TEST_F(MainWindow, AddEditAndDeleteWriteTheListBack) {
  Create();
  answer.text = "http://keep.example/";
  form->SpeedButton1Click(nullptr);
  EXPECT_EQ(answer.caption, "Add URL");
  EXPECT_EQ(answer.prompt, "Add a URL to white list:");
  answer.text = "HTTP://KEEP.EXAMPLE/";  // same URL in other letter case
  form->SpeedButton1Click(nullptr);
  EXPECT_EQ(form->ListBox1->Items()->Count(), 2);
  EXPECT_EQ(ValueNames("WhiteList").size(), 1u);  // the registry keeps one value

  answer.text = "";  // OK on an empty field changes nothing
  form->SpeedButton3Click(nullptr);
  EXPECT_EQ(answer.prompt, "Add a URL to black list:");
  answer.ok = false;  // Cancel changes nothing
  answer.text = "http://never.example/";
  form->SpeedButton3Click(nullptr);
  EXPECT_EQ(form->ListBox2->Items()->Count(), 0);
  EXPECT_FALSE(KeyExists("BlackList"));

  answer = Answer{};
  answer.text = "   ";  // blanks are not empty
  form->SpeedButton3Click(nullptr);
  EXPECT_EQ(Rows(form->ListBox2), std::vector<std::string>{"   "});

  form->ListBox1->SetItemIndex(1);
  answer.text = "http://edited.example/";
  form->SpeedButton13Click(nullptr);
  EXPECT_EQ(answer.caption, "Edit");
  EXPECT_EQ(answer.prompt, "Edit URL:");
  EXPECT_EQ(answer.shown, "HTTP://KEEP.EXAMPLE/");
  EXPECT_EQ(Rows(form->ListBox1), (std::vector<std::string>{"http://keep.example/", "http://edited.example/"}));
  answer.text = "";  // editing into an empty text is refused
  form->ListBox1DblClick(nullptr);
  EXPECT_EQ(form->ListBox1->Items()->Get(1), "http://edited.example/");

  form->ListBox1->SetItemIndex(0);
  form->SpeedButton2Click(nullptr);
  form->ListBox1->SetItemIndex(0);
  form->SpeedButton2Click(nullptr);
  EXPECT_EQ(form->ListBox1->Items()->Count(), 0);
  EXPECT_FALSE(KeyExists("WhiteList"));  // deleting the last entry removes the subkey
  form->SpeedButton2Click(nullptr);      // nothing left: nothing happens
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
  form->ListBox3->SetItemIndex(0);
  form->SpeedButton9Click(nullptr);  // to the white list
  EXPECT_EQ(Rows(form->ListBox1), std::vector<std::string>{"http://a.example/"});
  EXPECT_EQ(ValueNames("WhiteList"), std::vector<std::string>{"http://a.example/"});
  EXPECT_EQ(ValueNames("BlackList"), std::vector<std::string>{"http://a.example/"});  // untouched

  form->ListBox3->SetItemIndex(0);
  answer.text = "http://c2.example/";
  form->ListBox3DblClick(nullptr);
  EXPECT_EQ(Rows(form->ListBox3), std::vector<std::string>{"http://c2.example/"});
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
  // Other messages still reach the form.
  SendMessageA(form->Handle(), WM_SETTEXT, 0, reinterpret_cast<LPARAM>("Vantrel Zapnix"));
  EXPECT_EQ(form->Caption(), "Vantrel Zapnix");
}
