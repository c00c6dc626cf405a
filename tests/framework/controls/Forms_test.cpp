// Forms and the application object: client size per border style, centring,
// closing and its refusals, the main form's close and minimize going through
// the application, main-window hooks, OnCreate failures and modal forms.

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "Forms.h"
#include "Timer.h"
#include "ExceptionCapture.h"

namespace {

using Log = std::vector<std::string>;

class TFormsTestForm : public TForm {
  ZX_CLASS(TFormsTestForm, TForm)
 public:
  using TForm::TForm;
};

const TClassInfo& TFormsTestForm::StaticClass() {
  static const TClassInfo info = DefineClass<TFormsTestForm>("TFormsTestForm");
  return info;
}

// A form whose OnCreate fails.
class TFailingForm : public TForm {
  ZX_CLASS(TFailingForm, TForm)
 public:
  explicit TFailingForm(TComponent* owner) : TForm(owner) {
    OnCreate = TNotifyEvent(this, &TFailingForm::FormCreate);
  }

 private:
  void FormCreate(TObject*) { throw Exception("the form could not start"); }
};

const TClassInfo& TFailingForm::StaticClass() {
  static const TClassInfo info = DefineClass<TFailingForm>("TFailingForm");
  return info;
}

// A second application object standing in for the shared one while it lives,
// so that a test may close or minimize its main form. The quit message that a
// terminated application posts is taken out of the queue again.
struct OwnApplication {
  TApplication* saved = nullptr;
  std::unique_ptr<TApplication> app;
  OwnApplication() {
    InitApplication();
    saved = Application;
    app = std::make_unique<TApplication>(nullptr);
    Application = app.get();
  }
  ~OwnApplication() {
    app.reset();  // its forms go with it while it is still the application
    Application = saved;
    MSG msg;
    while (PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
  }
  TApplication* operator->() const { return app.get(); }
};


bool QuitPosted() {
  MSG msg;
  return PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE) != FALSE;
}

std::string Size(int w, int h) { return std::to_string(w) + "x" + std::to_string(h); }

std::string ClientSizeOf(HWND window) {
  RECT r{};
  GetClientRect(window, &r);
  return Size(r.right, r.bottom);
}

// ---------------------------------------------------------------------------

TEST(Forms, ClientSizeHoldsForEveryBorderStyle) {
  InitApplication();
  struct Case {
    TFormBorderStyle style;
    const char* name;
    bool caption;
  } cases[] = {
      {bsNone, "none", false},
      {bsDialog, "dialog", true},
      {bsSingle, "single", true},
      {bsSizeable, "sizeable", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TFormsTestForm form(nullptr);
    form.SetClientWidth(200);
    form.SetClientHeight(150);
    // The client size set before the style holds under the new frame.
    form.SetBorderStyle(c.style);
    EXPECT_EQ(Size(form.ClientWidth(), form.ClientHeight()), "200x150");
    if (c.style == bsNone) {
      EXPECT_EQ(Size(form.Width(), form.Height()), "200x150");
    } else {
      EXPECT_GT(form.Width(), 200);
    }

    HWND h = form.Handle();
    EXPECT_EQ(ClientSizeOf(h), "200x150");
    EXPECT_EQ(Size(form.ClientWidth(), form.ClientHeight()), "200x150");
    LONG_PTR style = GetWindowLongPtrA(h, GWL_STYLE);
    LONG_PTR exStyle = GetWindowLongPtrA(h, GWL_EXSTYLE);
    EXPECT_EQ((style & WS_CAPTION) == WS_CAPTION, c.caption);
    EXPECT_EQ((exStyle & WS_EX_DLGMODALFRAME) != 0, c.style == bsDialog);
    EXPECT_EQ((style & WS_THICKFRAME) != 0, c.style == bsSizeable);
    if (c.style == bsDialog) {
      EXPECT_FALSE(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX));
    }

    // And with the window made.
    form.SetClientWidth(230);
    form.SetClientHeight(120);
    EXPECT_EQ(ClientSizeOf(h), "230x120");
  }
}

TEST(Forms, CentredOnShowAndClosedOnlyWhenAllowed) {
  InitApplication();
  TFormsTestForm form(nullptr);
  form.SetBounds(3, 4, 300, 200);
  form.SetPosition(poScreenCenter);
  Log log;
  bool allowClose = false;
  TCloseAction answer = caNone;
  form.OnCloseQuery = TCloseQueryEvent([&](TObject* s, bool& canClose) {
    log.push_back(s == &form ? "query" : "query from another sender");
    canClose = allowClose;
  });
  form.OnClose = TCloseEvent([&](TObject*, TCloseAction& action) {
    log.push_back(action == caHide ? "close caHide" : "close other");
    action = answer;
  });
  form.OnHide = TNotifyEvent([&](TObject*) { log.push_back("hide"); });

  form.Show();
  HWND h = form.Handle();
  ASSERT_TRUE(IsWindowVisible(h));
  RECT r{};
  GetWindowRect(h, &r);
  EXPECT_EQ(r.left, (GetSystemMetrics(SM_CXSCREEN) - 300) / 2);
  EXPECT_EQ(r.top, (GetSystemMetrics(SM_CYSCREEN) - 200) / 2);
  EXPECT_EQ(form.Left(), r.left);
  EXPECT_EQ(form.Top(), r.top);

  form.Close();  // OnCloseQuery says no
  EXPECT_EQ(log, (Log{"query"}));
  SendMessageA(h, WM_CLOSE, 0, 0);  // the system's close runs the same way
  EXPECT_EQ(log, (Log{"query", "query"}));
  allowClose = true;
  form.Close();  // OnClose answers caNone
  EXPECT_EQ(log, (Log{"query", "query", "query", "close caHide"}));
  EXPECT_TRUE(form.Visible());
  EXPECT_TRUE(IsWindowVisible(h));

  log.clear();
  answer = caHide;
  SendMessageA(h, WM_CLOSE, 0, 0);
  EXPECT_EQ(log, (Log{"query", "close caHide", "hide"}));
  EXPECT_FALSE(form.Visible());
  EXPECT_FALSE(IsWindowVisible(h));
  EXPECT_TRUE(IsWindow(h));
}

// A form that notes its destruction.
class TNotedForm : public TForm {
  ZX_CLASS(TNotedForm, TForm)
 public:
  TNotedForm(TComponent* owner, bool* destroyed) : TForm(owner), destroyed_(destroyed) {}
  ~TNotedForm() override { *destroyed_ = true; }

 private:
  bool* destroyed_;
};

const TClassInfo& TNotedForm::StaticClass() {
  static const TClassInfo info = DefineClass<TNotedForm>("TNotedForm");
  return info;
}

TEST(Forms, CloseWithCaFreeFreesTheFormAfterItsMessages) {
  InitApplication();
  bool destroyed = false;
  auto* form = new TNotedForm(nullptr, &destroyed);
  form->OnClose = TCloseEvent([](TObject*, TCloseAction& action) { action = caFree; });
  HWND h = form->Handle();
  SendMessageA(h, WM_CLOSE, 0, 0);  // still inside the form's own message: not yet
  EXPECT_FALSE(destroyed);
  const DWORD start = GetTickCount();
  while (!destroyed && GetTickCount() - start < 5000) {
    if (!Application->HandleMessage()) MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
  }
  EXPECT_TRUE(destroyed);
  EXPECT_FALSE(IsWindow(h));

  // Without a window there is nothing pending: the form goes at once.
  destroyed = false;
  form = new TNotedForm(nullptr, &destroyed);
  form->OnClose = TCloseEvent([](TObject*, TCloseAction& action) { action = caFree; });
  form->Close();
  EXPECT_TRUE(destroyed);
}

TEST(Forms, ClosingTheMainFormTerminatesTheApplication) {
  OwnApplication own;
  TFormsTestForm* main = nullptr;
  TFormsTestForm* other = nullptr;
  own->CreateForm(main);
  own->CreateForm(other);
  ASSERT_NE(main, nullptr);
  EXPECT_EQ(own->MainForm(), main);
  EXPECT_EQ(main->Owner(), own.app.get());
  bool allow = false;
  main->OnCloseQuery = TCloseQueryEvent([&](TObject*, bool& canClose) { canClose = allow; });

  other->Close();  // not the main form: only hidden
  EXPECT_FALSE(own->Terminated());
  main->Close();  // refused
  EXPECT_FALSE(own->Terminated());
  EXPECT_FALSE(QuitPosted());

  allow = true;
  SendMessageA(main->Handle(), WM_CLOSE, 0, 0);
  EXPECT_TRUE(own->Terminated());
  EXPECT_TRUE(QuitPosted());
}

TEST(Forms, CloseOfTheApplicationWindowClosesTheMainForm) {
  OwnApplication own;
  TFormsTestForm* main = nullptr;
  own->CreateForm(main);
  int queries = 0;
  main->OnCloseQuery = TCloseQueryEvent([&](TObject*, bool&) { ++queries; });
  SendMessageA(own->Handle(), WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_EQ(queries, 1);
  EXPECT_TRUE(own->Terminated());
}

// The main form's minimize and restore commands reach the application window,
// where its hooks see them before the application acts.
TEST(Forms, MainFormMinimizeGoesThroughTheApplicationHooks) {
  OwnApplication own;
  TFormsTestForm* main = nullptr;
  TFormsTestForm* second = nullptr;
  TFormsTestForm* hidden = nullptr;
  TFormsTestForm* closedMeanwhile = nullptr;
  own->CreateForm(main);
  own->CreateForm(second);
  own->CreateForm(hidden);
  own->CreateForm(closedMeanwhile);
  hidden->HandleNeeded();
  Log log;
  own->OnMinimize = TNotifyEvent([&](TObject*) { log.push_back("OnMinimize"); });
  own->OnRestore = TNotifyEvent([&](TObject*) { log.push_back("OnRestore"); });
  auto command = [](const TMessage& m) {
    UINT cmd = static_cast<UINT>(m.WParam & 0xFFF0);
    return m.Msg != WM_SYSCOMMAND ? "" : cmd == SC_MINIMIZE ? "minimize" : cmd == SC_RESTORE ? "restore" : "other";
  };
  own->HookMainWindow([&](TMessage& m) {
    if (m.Msg == WM_SYSCOMMAND)
      log.push_back(std::string("hook ") + command(m) + (own->Minimized() ? " when minimized" : " when shown"));
    return false;
  });
  bool refuse = true;
  int refuser = own->HookMainWindow([&](TMessage& m) { return refuse && m.Msg == WM_SYSCOMMAND; });
  main->Show();
  second->Show();
  closedMeanwhile->Show();
  HWND h = main->Handle();

  // A hook that answers true keeps the application from acting.
  SendMessageA(h, WM_SYSCOMMAND, SC_MINIMIZE, 0);
  EXPECT_EQ(log, (Log{"hook minimize when shown"}));
  EXPECT_FALSE(own->Minimized());
  EXPECT_TRUE(IsWindowVisible(h));

  own->UnhookMainWindow(refuser);
  log.clear();
  SendMessageA(h, WM_SYSCOMMAND, SC_MINIMIZE, 0);
  EXPECT_EQ(log, (Log{"hook minimize when shown", "OnMinimize"}));
  EXPECT_TRUE(own->Minimized());
  EXPECT_FALSE(IsWindowVisible(h));
  EXPECT_FALSE(IsWindowVisible(second->Handle()));
  EXPECT_TRUE(main->Visible());
  closedMeanwhile->Close();
  EXPECT_FALSE(closedMeanwhile->Visible());

  log.clear();
  SendMessageA(h, WM_SYSCOMMAND, SC_RESTORE, 0);
  EXPECT_EQ(log, (Log{"hook restore when minimized", "OnRestore"}));
  EXPECT_FALSE(own->Minimized());
  EXPECT_TRUE(IsWindowVisible(h));
  EXPECT_TRUE(IsWindowVisible(second->Handle()));
  // A form that was hidden before, or was closed while minimized, stays hidden.
  EXPECT_FALSE(IsWindowVisible(hidden->Handle()));
  EXPECT_FALSE(IsWindowVisible(closedMeanwhile->Handle()));
}

TEST(Forms, HooksMayUnhookThemselvesAndOthersWhileRunning) {
  OwnApplication own;
  Log log;
  int first = 0, selfRemoving = 0, victim = 0;
  first = own->HookMainWindow([&](TMessage& m) {
    if (m.Msg == WM_APP) log.push_back("first");
    return false;
  });
  selfRemoving = own->HookMainWindow([&](TMessage& m) {
    if (m.Msg != WM_APP) return false;
    log.push_back("self-removing");
    own->UnhookMainWindow(selfRemoving);
    own->UnhookMainWindow(victim);  // a later hook whose owner goes away with this one
    return false;
  });
  auto token = std::make_shared<int>(5);
  victim = own->HookMainWindow([&log, token](TMessage& m) {
    if (m.Msg == WM_APP) log.push_back("victim " + std::to_string(*token));
    return false;
  });
  own->HookMainWindow([&](TMessage& m) {
    if (m.Msg != WM_APP) return false;
    log.push_back("last");
    m.Result = 99;
    return true;
  });
  std::weak_ptr<int> watch = token;
  token.reset();

  EXPECT_EQ(SendMessageA(own->Handle(), WM_APP, 0, 0), 99);
  EXPECT_EQ(log, (Log{"first", "self-removing", "last"}));
  EXPECT_TRUE(watch.expired());
  log.clear();
  own->UnhookMainWindow(first);
  own->UnhookMainWindow(first);  // a second time does nothing
  EXPECT_EQ(SendMessageA(own->Handle(), WM_APP, 0, 0), 99);
  EXPECT_EQ(log, (Log{"last"}));
}

TEST(Forms, ExceptionInOnCreateGoesToTheApplicationAndTheFormRemains) {
  OwnApplication own;
  ExceptionCapture capture;
  TFailingForm* form = nullptr;
  own->CreateForm(form);
  ASSERT_NE(form, nullptr);
  EXPECT_EQ(capture.count, 1);
  EXPECT_EQ(capture.sender, form);
  EXPECT_EQ(capture.text, "the form could not start");
  EXPECT_EQ(own->MainForm(), form);
  bool listed = false;
  for (int i = 0; i < Screen->FormCount(); ++i) listed |= Screen->Forms(i) == form;
  EXPECT_TRUE(listed);
  EXPECT_NE(form->Handle(), nullptr);
}

// ShowModal runs its own loop until something sets ModalResult; here a timer
// does, and another one stands guard so that a fault fails instead of hanging.
TEST(Forms, ShowModalReturnsTheResultSetWhileItRuns) {
  OwnApplication own;
  TFormsTestForm* main = nullptr;
  own->CreateForm(main);
  main->HandleNeeded();
  TFormsTestForm dialog(nullptr);
  TTimer setter(nullptr), guard(nullptr);
  bool ownerDisabled = false, dialogShown = false;
  setter.SetInterval(30);
  setter.SetOnTimer(TNotifyEvent([&](TObject*) {
    ownerDisabled = !IsWindowEnabled(main->Handle());
    dialogShown = IsWindowVisible(dialog.Handle()) != FALSE;
    setter.SetEnabled(false);
    dialog.ModalResult = 6;
  }));
  guard.SetInterval(10000);
  guard.SetOnTimer(TNotifyEvent([&](TObject*) { dialog.ModalResult = -1; }));

  EXPECT_EQ(dialog.ShowModal(), 6);
  EXPECT_TRUE(ownerDisabled);
  EXPECT_TRUE(dialogShown);
  EXPECT_TRUE(IsWindowEnabled(main->Handle()));
  EXPECT_FALSE(dialog.Visible());
  EXPECT_FALSE(IsWindowVisible(dialog.Handle()));

  // Closing a modal form ends the loop with the cancel result and keeps the form.
  PostMessageA(dialog.Handle(), WM_CLOSE, 0, 0);
  EXPECT_EQ(dialog.ShowModal(), IDCANCEL);
  EXPECT_FALSE(own->Terminated());
  EXPECT_TRUE(IsWindow(dialog.Handle()));

  // A modal form asks OnCloseQuery and OnClose like any other before it closes.
  int queries = 0;
  Log closes;
  dialog.OnCloseQuery = TCloseQueryEvent([&](TObject*, bool& canClose) { canClose = ++queries > 1; });
  dialog.OnClose = TCloseEvent([&](TObject*, TCloseAction& action) {
    closes.push_back(closes.empty() ? "refused" : "allowed");
    if (closes.size() == 1) action = caNone;
  });
  PostMessageA(dialog.Handle(), WM_CLOSE, 0, 0);  // OnCloseQuery says no
  PostMessageA(dialog.Handle(), WM_CLOSE, 0, 0);  // OnClose says caNone
  setter.SetEnabled(true);                        // still open: the timer ends it
  EXPECT_EQ(dialog.ShowModal(), 6);
  EXPECT_EQ(queries, 2);
  EXPECT_EQ(closes, (Log{"refused"}));
  PostMessageA(dialog.Handle(), WM_CLOSE, 0, 0);
  EXPECT_EQ(dialog.ShowModal(), IDCANCEL);
  EXPECT_EQ(closes, (Log{"refused", "allowed"}));
}

TEST(Forms, ChangingTheBorderOfAShownFormKeepsItShown) {
  InitApplication();
  TFormsTestForm form(nullptr);
  TWinControl child(nullptr);
  child.SetBounds(5, 5, 30, 20);
  child.SetParent(&form);
  form.SetCaption("bordered");
  form.Show();
  ASSERT_TRUE(IsWindowVisible(form.Handle()));
  form.SetBorderStyle(bsNone);
  ASSERT_TRUE(form.HandleAllocated());
  HWND h = form.Handle();
  EXPECT_TRUE(IsWindowVisible(h));
  EXPECT_FALSE(GetWindowLongPtrA(h, GWL_STYLE) & WS_CAPTION);
  EXPECT_EQ(form.Caption(), "bordered");
  ASSERT_TRUE(child.HandleAllocated());
  EXPECT_EQ(GetParent(child.Handle()), h);
  form.SetBorderIcons(TBorderIcons{biSystemMenu});
  EXPECT_TRUE(form.HandleAllocated());
  EXPECT_TRUE(IsWindowVisible(form.Handle()));
}

}  // namespace
