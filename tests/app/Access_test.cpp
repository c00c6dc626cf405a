// The main window by keyboard and by screen reader, in-process: keys sent to
// the focused window with the modifier state the thread's keyboard holds,
// and the window's accessibility object read through the system's API.
#include <gtest/gtest.h>
#include <oleacc.h>
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "Registry.h"
#include "Unit1.h"

namespace {
const char* const kStore = "Vantrel Software\\Popup Zapnix";

struct Asked {
  int calls = 0;
  std::string prompt, shown;
} asked;

bool AnswerWithNewText(const std::string&, const std::string& prompt, std::string& text) {
  ++asked.calls;
  asked.prompt = prompt;
  asked.shown = text;
  text = "http://typed.example/";
  return true;
}

HINSTANCE OpenNothing(const char*) { return reinterpret_cast<HINSTANCE>(static_cast<INT_PTR>(2)); }

void Pump() {
  for (int i = 0; i < 5; ++i) Application->ProcessMessages();
}

void SetModifiers(bool ctrl, bool shift) {
  BYTE state[256] = {};
  GetKeyboardState(state);
  state[VK_CONTROL] = state[VK_LCONTROL] = ctrl ? 0x80 : 0;
  state[VK_SHIFT] = state[VK_LSHIFT] = shift ? 0x80 : 0;
  SetKeyboardState(state);
}

// One key press as the focused window receives it.
void Press(WORD key, bool ctrl = false, bool shift = false) {
  SetModifiers(ctrl, shift);
  SendMessageA(GetFocus(), WM_KEYDOWN, key, 1);
  SetModifiers(false, false);
  Pump();
}

// Alt and a letter, as TranslateMessage hands it to the focused window.
void AltLetter(char letter) {
  SendMessageA(GetFocus(), WM_SYSCHAR, static_cast<unsigned char>(letter), 0x20000001);
  Pump();
}

class Access : public ::testing::Test {
 protected:
  void SetUp() override {
    InitApplication();
    RegDeleteTreeA(HKEY_CURRENT_USER, kStore);
    AskText = &AnswerWithNewText;
    ShellOpen = &OpenNothing;
    asked = Asked{};
  }
  void TearDown() override {
    delete form;
    form = nullptr;
    Form1 = nullptr;
    PurgeAtom("PopupZapnixRunning");
    RegDeleteTreeA(HKEY_CURRENT_USER, kStore);
  }
  // The window as the user has it after restoring it from the tray.
  TForm1* CreateShown() {
    Application->CreateForm(form);
    HideAtFirstPaint = false;
    form->Show();
    SetForegroundWindow(form->Handle());
    Pump();
    return form;
  }
  TForm1* form = nullptr;
};

// The name of what holds the keyboard focus: a window-less control through
// its parent's window, or the focused window's control.
std::string FocusName(TForm1* form) {
  TWinControl* focused = TWinControl::FindControl(GetFocus());
  if (!focused) return "(none)";
  if (focused->FocusedChild()) return focused->FocusedChild()->Name();
  return focused == form ? "(form)" : focused->Name();
}

std::vector<std::string> Rows(TListBox* list) {
  std::vector<std::string> rows;
  for (int i = 0; i < list->Items()->Count(); ++i) rows.push_back(list->Items()->Get(i));
  return rows;
}

void Choose(TListBox* list, int row) {
  for (int i = 0; i < list->Items()->Count(); ++i) list->SetSelected(i, i == row);
  list->SetItemIndex(row);
}
}  // namespace

// Tab walks the shown page's list and buttons, then the panel's buttons and
// the link, and wraps; Shift+Tab walks back. Hidden pages are skipped.
TEST_F(Access, TabWalksTheWindowInOrderAndBack) {
  CreateShown();
  form->PageControl1->SetFocus();
  std::vector<std::string> forward{FocusName(form)};
  for (int i = 0; i < 10; ++i) {
    Press(VK_TAB);
    forward.push_back(FocusName(form));
  }
  EXPECT_EQ(forward, (std::vector<std::string>{"PageControl1", "ListBox3", "SpeedButton8", "SpeedButton9",
                                               "SpeedButton11", "SpeedButton10", "SpeedButton5", "SpeedButton6",
                                               "SpeedButton7", "Label4", "PageControl1"}));
  std::vector<std::string> back;
  for (int i = 0; i < 3; ++i) {
    Press(VK_TAB, false, true);
    back.push_back(FocusName(form));
  }
  EXPECT_EQ(back, (std::vector<std::string>{"Label4", "SpeedButton7", "SpeedButton6"}));

  form->PageControl1->SetActivePage(form->TabSheet3);
  form->PageControl1->SetFocus();
  Press(VK_TAB);
  EXPECT_EQ(FocusName(form), "ListBox2");
  Press(VK_TAB);
  EXPECT_EQ(FocusName(form), "SpeedButton3") << "the black page's Add";
}

// Every command the keyboard reaches, each from a fresh window: where the
// focus stands, the keys, and what must have happened.
TEST_F(Access, EachCommandByKeysAlone) {
  struct Case {
    const char* name;
    std::function<void(TForm1*)> arrange;
    std::function<void(TForm1*)> keys;
    std::function<bool(TForm1*)> done;
  };
  auto focusChild = [](TControl* c) { c->Parent()->FocusChild(c); };
  const Case cases[] = {
      {"Space presses the focused switch", [&](TForm1* f) { focusChild(f->SpeedButton5); },
       [](TForm1*) { Press(VK_SPACE); }, [](TForm1* f) { return !BlockingEnabled && f->SpeedButton5->Caption() == "&Enable"; }},
      {"Enter presses the focused Help button", [&](TForm1* f) { focusChild(f->SpeedButton6); },
       [](TForm1*) { Press(VK_RETURN); }, [](TForm1*) { return BlockingEnabled; }},
      {"Alt+D does nothing while the switch reads Disable without its mark", [](TForm1*) {},
       [](TForm1* f) { f->ListBox3->SetFocus(); AltLetter('d'); }, [](TForm1*) { return BlockingEnabled; }},
      {"Alt+E switches on once the switch reads &Enable", [](TForm1* f) { f->SpeedButton5->Click(); },
       [](TForm1* f) { f->ListBox3->SetFocus(); AltLetter('e'); },
       [](TForm1* f) { return BlockingEnabled && f->SpeedButton5->Caption() == "&Disable"; }},
      {"Alt+D then switches off again", [](TForm1* f) { f->SpeedButton5->Click(); f->SpeedButton5->Click(); },
       [](TForm1*) { AltLetter('D'); }, [](TForm1*) { return !BlockingEnabled; }},
      {"Ctrl+Tab shows the next page", [](TForm1* f) { f->ListBox3->SetFocus(); },
       [](TForm1*) { Press(VK_TAB, true); },
       [](TForm1* f) { return f->PageControl1->ActivePage() == f->TabSheet2; }},
      {"Ctrl+Shift+Tab from the first page wraps to the last", [](TForm1* f) { f->ListBox3->SetFocus(); },
       [](TForm1*) { Press(VK_TAB, true, true); },
       [](TForm1* f) { return f->PageControl1->ActivePage() == f->TabSheet3; }},
      {"Enter on the white list edits the caret row",
       [](TForm1* f) { f->ListBox1->Items()->Add("http://old.example/"); Choose(f->ListBox1, 0); f->ListBox1->SetFocus(); },
       [](TForm1*) { Press(VK_RETURN); },
       [](TForm1* f) { return asked.shown == "http://old.example/" && Rows(f->ListBox1) == std::vector<std::string>{"http://typed.example/"}; }},
      {"Delete on the black list deletes the caret row",
       [](TForm1* f) {
         f->ListBox2->Items()->Add("http://a.example/");
         f->ListBox2->Items()->Add("http://b.example/");
         Choose(f->ListBox2, 1);
         f->ListBox2->SetFocus();
       },
       [](TForm1*) { Press(VK_DELETE); },
       [](TForm1* f) { return Rows(f->ListBox2) == std::vector<std::string>{"http://a.example/"}; }},
      {"Delete on the blocked list deletes its caret row",
       [](TForm1* f) { f->ListBox3->Items()->Add("http://pop.example/"); Choose(f->ListBox3, 0); f->ListBox3->SetFocus(); },
       [](TForm1*) { Press(VK_DELETE); }, [](TForm1* f) { return f->ListBox3->Items()->Count() == 0; }},
      {"Insert on the black list asks for a URL and adds it", [](TForm1* f) { f->ListBox2->SetFocus(); },
       [](TForm1*) { Press(VK_INSERT); },
       [](TForm1* f) { return asked.prompt == "Add a URL to black list:" && Rows(f->ListBox2) == std::vector<std::string>{"http://typed.example/"}; }},
      {"Insert on the blocked list has nothing to add", [](TForm1* f) { f->ListBox3->SetFocus(); },
       [](TForm1*) { Press(VK_INSERT); }, [](TForm1* f) { return asked.calls == 0 && f->ListBox3->Items()->Count() == 0; }},
      {"Escape hides the window into the tray", [](TForm1* f) { f->ListBox3->SetFocus(); },
       [](TForm1*) { Press(VK_ESCAPE); }, [](TForm1* f) { return !IsWindowVisible(f->Handle()); }},
      {"Space on the focused link opens the web page", [&](TForm1* f) { focusChild(f->Label4); },
       [](TForm1*) { Press(VK_SPACE); }, [](TForm1* f) { return FocusName(f) == "Label4"; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    asked = Asked{};
    CreateShown();
    c.arrange(form);
    Pump();
    c.keys(form);
    EXPECT_TRUE(c.done(form));
    Application->Restore();
    delete form;
    form = nullptr;
    Form1 = nullptr;
    RegDeleteTreeA(HKEY_CURRENT_USER, kStore);
  }
}

namespace {
struct Child {
  std::string name;
  long role;
  bool operator==(const Child&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Child& c) { return out << "{" << c.name << ", " << c.role << "}"; }

std::string Narrow(BSTR text) {
  if (!text) return {};
  char buffer[512] = {};
  WideCharToMultiByte(CP_ACP, 0, text, -1, buffer, sizeof buffer - 1, nullptr, nullptr);
  SysFreeString(text);
  return buffer;
}

VARIANT Id(long id) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_I4;
  v.lVal = id;
  return v;
}

long Role(IAccessible* object, long id) {
  VARIANT role;
  VariantInit(&role);
  if (FAILED(object->get_accRole(Id(id), &role)) || role.vt != VT_I4) return -1;
  return role.lVal;
}

long State(IAccessible* object, long id) {
  VARIANT state;
  VariantInit(&state);
  if (FAILED(object->get_accState(Id(id), &state)) || state.vt != VT_I4) return -1;
  return state.lVal;
}

std::string Name(IAccessible* object, long id) {
  BSTR name = nullptr;
  object->get_accName(Id(id), &name);
  return Narrow(name);
}

IAccessible* ClientObjectOf(HWND window) {
  IAccessible* object = nullptr;
  AccessibleObjectFromWindow(window, static_cast<DWORD>(OBJID_CLIENT), IID_IAccessible,
                             reinterpret_cast<void**>(&object));
  return object;
}
}  // namespace

// The window's children as a screen reader reads them through the system's
// API, with their places, states and the switch pressed by its default action.
TEST_F(Access, ScreenReaderSeesEveryWindowlessControl) {
  CoInitialize(nullptr);
  CreateShown();
  IAccessible* object = ClientObjectOf(form->Handle());
  ASSERT_NE(object, nullptr);
  EXPECT_EQ(Name(object, CHILDID_SELF), "Vantrel Zapnix");
  EXPECT_EQ(Role(object, CHILDID_SELF), ROLE_SYSTEM_CLIENT);

  LONG count = 0;
  ASSERT_EQ(object->get_accChildCount(&count), S_OK);
  std::vector<VARIANT> ids(static_cast<size_t>(count));
  LONG obtained = 0;
  ASSERT_EQ(AccessibleChildren(object, 0, count, ids.data(), &obtained), S_OK);
  ASSERT_EQ(obtained, count);
  std::vector<Child> children;
  for (const VARIANT& id : ids) {
    ASSERT_EQ(id.vt, VT_I4);
    children.push_back(Child{Name(object, id.lVal), Role(object, id.lVal)});
  }
  const long button = ROLE_SYSTEM_PUSHBUTTON, text = ROLE_SYSTEM_STATICTEXT;
  const std::string web = form->Label4->Caption(), notice = form->Label9->Caption();
  EXPECT_EQ(children, (std::vector<Child>{
                          {"Close", button}, {"Minimize", button}, {"Zapnix 7.1", text},
                          {"Add to Black List", button}, {"Add to White List", button}, {"Delete", button},
                          {"Clear", button}, {"Add", button}, {"Delete", button}, {"Edit", button},
                          {form->Label6->Caption(), text}, {"Add", button}, {"Delete", button}, {"Edit", button},
                          {form->Label8->Caption().substr(0, form->Label8->Caption().size() - 1), text},
                          {"Disable", button}, {"Help", button}, {"Exit", button}, {notice, text},
                          {web, ROLE_SYSTEM_LINK}}));

  // The close picture where the form puts it, the white page's Add hidden,
  // the switch focused once Tab reaches it.
  const long close = 1, whiteAdd = 8, theSwitch = 16;
  LONG x = 0, y = 0, w = 0, h = 0;
  ASSERT_EQ(object->accLocation(&x, &y, &w, &h, Id(close)), S_OK);
  POINT origin{0, 0};
  ClientToScreen(form->Handle(), &origin);
  EXPECT_EQ((std::vector<LONG>{x - origin.x, y - origin.y, w, h}), (std::vector<LONG>{385, 5, 19, 19}));
  EXPECT_TRUE(State(object, whiteAdd) & STATE_SYSTEM_INVISIBLE);
  EXPECT_FALSE(State(object, theSwitch) & (STATE_SYSTEM_INVISIBLE | STATE_SYSTEM_FOCUSED));
  form->Panel1->FocusChild(form->SpeedButton5);
  EXPECT_TRUE(State(object, theSwitch) & STATE_SYSTEM_FOCUSED);
  form->SpeedButton5->SetEnabled(false);
  EXPECT_TRUE(State(object, theSwitch) & STATE_SYSTEM_UNAVAILABLE);
  EXPECT_EQ(object->accDoDefaultAction(Id(theSwitch)), E_FAIL) << "a disabled button is not pressed";
  form->SpeedButton5->SetEnabled(true);

  BSTR action = nullptr;
  ASSERT_EQ(object->get_accDefaultAction(Id(theSwitch), &action), S_OK);
  EXPECT_EQ(Narrow(action), "Press");
  ASSERT_EQ(object->accDoDefaultAction(Id(theSwitch)), S_OK);
  Pump();
  EXPECT_FALSE(BlockingEnabled);
  EXPECT_EQ(Name(object, theSwitch), "Enable");
  BSTR shortcut = nullptr;
  object->get_accKeyboardShortcut(Id(theSwitch), &shortcut);
  EXPECT_EQ(Narrow(shortcut), "Alt+E");
  object->Release();
  CoUninitialize();
}

// The focus rectangle: drawn over the focused window-less button while its
// parent window has the focus, on the button's outline inset by 2 pixels,
// and nowhere else.
TEST_F(Access, FocusedButtonShowsAFocusRectangle) {
  CreateShown();
  TPanel* panel = form->Panel1;
  auto capture = [&] {
    TBitmap shot(panel->Width(), panel->Height(), pf32bit);
    SendMessageA(panel->Handle(), WM_PRINTCLIENT, reinterpret_cast<WPARAM>(shot.Canvas()->Handle()),
                 PRF_CLIENT | PRF_ERASEBKGND);
    GdiFlush();
    std::vector<uint32_t> pixels;
    for (int y = 0; y < shot.Height(); ++y) {
      const auto* row = reinterpret_cast<const uint32_t*>(shot.ScanLine(y));
      pixels.insert(pixels.end(), row, row + shot.Width());
    }
    return pixels;
  };
  panel->FocusChild(form->SpeedButton5);
  Pump();
  ASSERT_TRUE(panel->Focused());
  const std::vector<uint32_t> focused = capture();
  form->ListBox3->SetFocus();
  Pump();
  const std::vector<uint32_t> unfocused = capture();
  ASSERT_EQ(focused.size(), unfocused.size());

  const RECT ring{308 + 2, 19 + 2, 308 + 90 - 2, 19 + 30 - 2};
  int changed = 0, outside = 0;
  for (int y = 0; y < panel->Height(); ++y) {
    for (int x = 0; x < panel->Width(); ++x) {
      const size_t i = static_cast<size_t>(y) * static_cast<size_t>(panel->Width()) + static_cast<size_t>(x);
      if (focused[i] == unfocused[i]) continue;
      ++changed;
      const bool onRing = x >= ring.left && x < ring.right && y >= ring.top && y < ring.bottom &&
                          (x == ring.left || x == ring.right - 1 || y == ring.top || y == ring.bottom - 1);
      if (!onRing) ++outside;
    }
  }
  EXPECT_GT(changed, 80) << "a dotted outline around 86 x 26 pixels";
  EXPECT_EQ(outside, 0);
}

namespace {
struct WinEvent {
  DWORD event;
  HWND window;
  LONG object, child;
  bool operator==(const WinEvent&) const = default;
};
std::vector<WinEvent> heard;

void CALLBACK HearEvent(HWINEVENTHOOK, DWORD event, HWND window, LONG object, LONG child, DWORD, DWORD) {
  if (event == EVENT_OBJECT_NAMECHANGE || event == EVENT_SYSTEM_ALERT) heard.push_back({event, window, object, child});
}
}  // namespace

// A switch renames the button and a stopped pop-up raises an alert on its new
// row, and neither moves the keyboard focus.
TEST_F(Access, SwitchAndStopsAreAnnouncedWithoutMovingTheFocus) {
  CreateShown();
  form->ListBox1->SetFocus();
  Pump();
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Vantrel Software\\Popup Zapnix\\Stoped", 0, nullptr, 0,
                            KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  const char url[] = "http://stopped.example/";
  RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(url), sizeof url);
  RegCloseKey(key);

  HWINEVENTHOOK hook = SetWinEventHook(EVENT_SYSTEM_ALERT, EVENT_OBJECT_NAMECHANGE, nullptr, HearEvent,
                                       GetCurrentProcessId(), 0, WINEVENT_OUTOFCONTEXT);
  ASSERT_NE(hook, nullptr);
  heard.clear();
  form->SpeedButton5->Click();
  SendMessageA(form->Handle(), StopUrlMessage, 0, 0);
  Pump();
  UnhookWinEvent(hook);
  EXPECT_EQ(heard, (std::vector<WinEvent>{{EVENT_OBJECT_NAMECHANGE, form->Handle(), OBJID_CLIENT, 16},
                                          {EVENT_SYSTEM_ALERT, form->ListBox3->Handle(), OBJID_CLIENT, 1}}));
  EXPECT_EQ(FocusName(form), "ListBox1");
}
