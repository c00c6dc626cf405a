// The control layer: message routing, window classes and creation, the
// window-less children (mouse routing, capture, enter and leave, clicks and
// painting), alignment, and font and colour inheritance.

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "Filer.h"
#include "Forms.h"
#include "Menus.h"
#include "Painting.h"
#include "ExceptionCapture.h"

namespace {

using Log = std::vector<std::string>;

std::string Hex(UINT msg) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%04X", msg);
  return buf;
}

std::string At(int x, int y) { return std::to_string(x) + "," + std::to_string(y); }

// A form that handles two private messages of its own and logs what its
// Dispatch sees of the application's range.
class TRouteForm : public TForm {
  ZX_CLASS(TRouteForm, TForm)
 public:
  using TForm::TForm;
  Log* Trace = nullptr;

  void Dispatch(TMessage& m) override {
    if (Trace && m.Msg >= WM_APP && m.Msg < WM_APP + 0x100) Trace->push_back("dispatch " + Hex(m.Msg));
    if (Trace && (m.Msg == CM_MOUSEENTER || m.Msg == CM_MOUSELEAVE) && m.LParam == 0)
      Trace->push_back(m.Msg == CM_MOUSEENTER ? "form enter" : "form leave");
    switch (m.Msg) {
      case WM_APP + 1: return AppAnswer(m);
      case WM_APP + 4: return AppThrow(m);
      default: return inherited::Dispatch(m);
    }
  }

 private:
  void AppAnswer(TMessage& m) { m.Result = 42; }
  void AppThrow(TMessage&) { throw Exception("thrown by a handler"); }
};

const TClassInfo& TRouteForm::StaticClass() {
  static const TClassInfo info = DefineClass<TRouteForm>("TRouteForm");
  return info;
}

// A plain windowed control that counts its window creations.
class TBoxControl : public TCustomControl {
  ZX_CLASS(TBoxControl, TCustomControl)
 public:
  using TCustomControl::TCustomControl;
  int Created = 0;

 protected:
  void CreateWnd() override {
    ++Created;
    inherited::CreateWnd();
  }
};

const TClassInfo& TBoxControl::StaticClass() {
  static const TClassInfo info = DefineClass<TBoxControl>("TBoxControl");
  return info;
}

// A window-less child that logs its mouse events and notifications and paints
// its whole canvas in one colour with a mark at its own origin.
class TProbe : public TGraphicControl {
  ZX_CLASS(TProbe, TGraphicControl)
 public:
  TProbe(TWinControl* parent, std::string tag, int x, int y, int w, int h, Log* log)
      : TGraphicControl(nullptr), tag_(std::move(tag)), log_(log) {
    SetBounds(x, y, w, h);
    SetParent(parent);
  }
  const std::string& Tag() const { return tag_; }
  bool LogMoves = true;
  TColor Fill = 0x0000FF;
  TColor Mark = 0x00FFFF;

  void Dispatch(TMessage& m) override {
    switch (m.Msg) {
      case CM_MOUSEENTER: Note("enter"); break;
      case CM_MOUSELEAVE: Note("leave"); break;
      default: break;
    }
    inherited::Dispatch(m);
  }
  void Click() override {
    Note("click");
    inherited::Click();
  }
  void DblClick() override {
    Note("dblclick");
    inherited::DblClick();
  }

 protected:
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override {
    Note("down " + At(x, y) + (shift.Contains(ssDouble) ? " double" : ""));
    inherited::MouseDown(button, shift, x, y);
  }
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override {
    Note("up " + At(x, y));
    inherited::MouseUp(button, shift, x, y);
  }
  void MouseMove(TShiftState shift, int x, int y) override {
    if (LogMoves) Note("move " + At(x, y));
    inherited::MouseMove(shift, x, y);
  }
  void Paint() override {
    Canvas()->Brush()->SetColor(Fill);
    Canvas()->FillRect(RECT{-100, -100, 1000, 1000});
    Canvas()->SetPixels(0, 0, Mark);
  }

 private:
  void Note(const std::string& what) {
    if (log_) log_->push_back(tag_ + " " + what);
  }
  std::string tag_;
  Log* log_;
};

const TClassInfo& TProbe::StaticClass() {
  static const TClassInfo info = DefineClass<TProbe>("TProbe");
  return info;
}

// Routes every exception handed to the application into this object while it lives.

std::string WindowClassOf(HWND window) {
  char name[64] = {};
  GetClassNameA(window, name, sizeof name);
  return name;
}

struct ClassCount {
  const char* name;
  int count;
};

BOOL CALLBACK CountClass(HWND window, LPARAM data) {
  auto* c = reinterpret_cast<ClassCount*>(data);
  if (WindowClassOf(window) == c->name) ++c->count;
  return TRUE;
}

int CountChildWindows(HWND parent, const char* className) {
  ClassCount c{className, 0};
  EnumChildWindows(parent, CountClass, reinterpret_cast<LPARAM>(&c));
  return c.count;
}

std::string BoundsOf(const TControl& c) {
  return At(c.Left(), c.Top()) + " " + At(c.Width(), c.Height());
}

// ---------------------------------------------------------------------------
// Routing

TEST(Controls, WindowProcReplacementSeesMessagesBeforeDispatch) {
  InitApplication();
  Log log;
  TWndMethod original;  // outlives the form, whose last messages still pass through it
  TRouteForm form(nullptr);
  form.Trace = &log;
  original = form.WindowProc;
  form.WindowProc = [&](TMessage& m) {
    if (m.Msg >= WM_APP && m.Msg < WM_APP + 0x100) log.push_back("hook " + Hex(m.Msg));
    if (m.Msg == WM_APP + 2) {
      m.Result = 7;  // swallowed: Dispatch never sees it
      return;
    }
    original(m);
  };
  HWND h = form.Handle();
  EXPECT_EQ(SendMessageA(h, WM_APP + 1, 0, 0), 42);
  EXPECT_EQ(SendMessageA(h, WM_APP + 2, 0, 0), 7);
  EXPECT_EQ(form.Perform(WM_APP + 2), 7);  // Perform goes through WindowProc too
  EXPECT_EQ(SendMessageA(h, WM_APP + 3, 0, 0), 0);
  const Log expected = {"hook 8001", "dispatch 8001", "hook 8002", "hook 8002", "hook 8003", "dispatch 8003"};
  EXPECT_EQ(log, expected);

  // Numbers the derived Dispatch does not handle reach the base classes and the
  // default window procedure.
  SendMessageA(h, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("routed text"));
  char text[32] = {};
  GetWindowTextA(h, text, sizeof text);
  EXPECT_STREQ(text, "routed text");
  SetWindowPos(h, nullptr, 5, 6, 250, 180, SWP_NOZORDER | SWP_NOACTIVATE);
  EXPECT_EQ(form.Width(), 250);
  EXPECT_EQ(form.Height(), 180);
  form.WindowProc = original;
}

TEST(Controls, ExceptionInAHandlerGoesToTheApplicationAndTheWindowLivesOn) {
  ExceptionCapture capture;
  TRouteForm form(nullptr);
  HWND h = form.Handle();
  EXPECT_EQ(SendMessageA(h, WM_APP + 4, 0, 0), 0);
  EXPECT_EQ(capture.count, 1);
  EXPECT_EQ(capture.sender, &form);
  EXPECT_EQ(capture.text, "thrown by a handler");
  // The window still answers, through the same routing.
  EXPECT_TRUE(IsWindow(h));
  EXPECT_EQ(SendMessageA(h, WM_APP + 1, 0, 0), 42);
  EXPECT_EQ(SendMessageA(h, WM_APP + 4, 0, 0), 0);
  EXPECT_EQ(capture.count, 2);

  // A graphic child's handler throws inside the form's window procedure: the
  // form is the sender and the child's next message is handled as usual.
  Log log;
  TProbe probe(&form, "P", 10, 10, 40, 30, &log);
  probe.OnMouseDown = TMouseEvent([](TObject*, TMouseButton, TShiftState, int, int) {
    throw Exception("mouse handler failed");
  });
  SendMessageA(h, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(15, 15));
  SendMessageA(h, WM_LBUTTONUP, 0, MAKELPARAM(15, 15));
  EXPECT_EQ(capture.count, 3);
  EXPECT_EQ(capture.sender, &form);
  EXPECT_EQ(capture.text, "mouse handler failed");
  probe.OnMouseDown = TMouseEvent();
  log.clear();
  SendMessageA(h, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(15, 15));
  SendMessageA(h, WM_LBUTTONUP, 0, MAKELPARAM(15, 15));
  const Log expected = {"P down 5,5", "P click", "P up 5,5"};
  EXPECT_EQ(log, expected);
  EXPECT_EQ(GetCapture(), nullptr);
}

// ---------------------------------------------------------------------------
// Window classes and creation

TEST(Controls, WindowClassesAreClassNamesAndChildrenAreChildWindows) {
  InitApplication();
  TRouteForm form(nullptr);
  TBoxControl box(nullptr);
  box.SetBounds(4, 5, 60, 40);
  box.SetParent(&form);
  HWND h = box.Handle();
  EXPECT_EQ(WindowClassOf(h), "TBoxControl");
  EXPECT_EQ(WindowClassOf(form.Handle()), "TRouteForm");
  EXPECT_EQ(TWinControl::FindControl(h), &box);
  EXPECT_EQ(TWinControl::FindControl(form.Handle()), &form);

  LONG_PTR style = GetWindowLongPtrA(h, GWL_STYLE);
  EXPECT_TRUE(style & WS_CHILD);
  EXPECT_TRUE(style & WS_VISIBLE);
  EXPECT_EQ(GetParent(h), form.Handle());
  RECT r{};
  GetWindowRect(h, &r);
  MapWindowPoints(nullptr, form.Handle(), reinterpret_cast<POINT*>(&r), 2);
  EXPECT_EQ(r.left, 4);
  EXPECT_EQ(r.top, 5);
  EXPECT_EQ(r.right - r.left, 60);
  // The form is a top-level window owned by the application's window.
  LONG_PTR formStyle = GetWindowLongPtrA(form.Handle(), GWL_STYLE);
  EXPECT_FALSE(formStyle & WS_CHILD);
  EXPECT_EQ(GetWindow(form.Handle(), GW_OWNER), Application->Handle());
}

TEST(Controls, NestedChildHandleCreatesTheParentsAndOneWindowEach) {
  InitApplication();
  TRouteForm form(nullptr);
  TBoxControl outer(nullptr), middle(nullptr), inner(nullptr), sibling(nullptr);
  outer.SetParent(&form);
  middle.SetParent(&outer);
  inner.SetParent(&middle);
  sibling.SetParent(&outer);
  EXPECT_FALSE(form.HandleAllocated());

  HWND h = inner.Handle();
  ASSERT_NE(h, nullptr);
  EXPECT_TRUE(form.HandleAllocated());
  EXPECT_TRUE(outer.HandleAllocated());
  EXPECT_TRUE(middle.HandleAllocated());
  EXPECT_TRUE(sibling.HandleAllocated());
  EXPECT_EQ(GetParent(h), middle.Handle());
  EXPECT_EQ(GetParent(middle.Handle()), outer.Handle());
  EXPECT_EQ(GetParent(sibling.Handle()), outer.Handle());
  EXPECT_EQ(GetParent(outer.Handle()), form.Handle());
  for (TBoxControl* c : {&outer, &middle, &inner, &sibling}) EXPECT_EQ(c->Created, 1);
  EXPECT_EQ(CountChildWindows(form.Handle(), "TBoxControl"), 4);
  EXPECT_EQ(CountChildWindows(middle.Handle(), "TBoxControl"), 1);

  // A control cannot go inside itself or its own children.
  EXPECT_THROW(outer.SetParent(&outer), EInvalidOperation);
  EXPECT_THROW(outer.SetParent(&inner), EInvalidOperation);
  EXPECT_EQ(outer.Parent(), &form);
  EXPECT_EQ(GetParent(outer.Handle()), form.Handle());
}

// ---------------------------------------------------------------------------
// Window-less children

// A form with two overlapping graphic children: A (created first) at
// (10,10)-(70,50) and B above it at (40,30)-(100,70).
struct GraphicChildren {
  Log log;
  TRouteForm form{nullptr};
  TProbe a{&form, "A", 10, 10, 60, 40, &log};
  TProbe b{&form, "B", 40, 30, 60, 40, &log};

  GraphicChildren() {
    InitApplication();
    form.Trace = &log;
    form.OnMouseDown = TMouseEvent([this](TObject*, TMouseButton, TShiftState, int x, int y) {
      log.push_back("form down " + At(x, y));
    });
    b.Fill = 0xFF0000;
    b.Mark = 0xFFFF00;
    form.HandleNeeded();
  }
  ~GraphicChildren() {
    if (GetCapture() == form.Handle()) ReleaseCapture();
  }
  void Send(UINT msg, int x, int y, WPARAM keys = 0) {
    SendMessageA(form.Handle(), msg, keys, MAKELPARAM(x, y));
  }
  void Press(int x, int y) { Send(WM_LBUTTONDOWN, x, y, MK_LBUTTON); }
  void Release(int x, int y) { Send(WM_LBUTTONUP, x, y); }
};

TEST(Controls, MouseMessagesGoToTheTopmostChildUnderThePoint) {
  GraphicChildren t;
  t.a.LogMoves = t.b.LogMoves = false;
  struct Case {
    int x, y;
    const char* down;
  } cases[] = {
      {50, 35, "B down 10,5"},        // where both overlap: the later child
      {15, 15, "A down 5,5"},         // A alone
      {10, 10, "A down 0,0"},         // A's top-left corner
      {69, 49, "B down 29,19"},       // A's last pixel lies under B
      {69, 20, "A down 59,10"},       // A's last column above B
      {99, 69, "B down 59,39"},       // B's last pixel
      {100, 70, "form down 100,70"},  // just outside B
      {5, 5, "form down 5,5"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(At(c.x, c.y));
    t.log.clear();
    t.Press(c.x, c.y);
    ASSERT_FALSE(t.log.empty());
    EXPECT_EQ(t.log.front(), c.down);
    t.Release(c.x, c.y);
    EXPECT_EQ(GetCapture(), nullptr);
  }
}

TEST(Controls, CaptureKeepsRoutingToThePressedChild) {
  GraphicChildren t;
  t.Press(50, 35);
  EXPECT_EQ(GetCapture(), t.form.Handle());
  EXPECT_EQ(GetCaptureControl(), &t.b);
  t.Send(WM_MOUSEMOVE, 15, 15, MK_LBUTTON);    // over A
  t.Send(WM_MOUSEMOVE, -20, 500, MK_LBUTTON);  // outside the window
  t.Release(-20, 500);
  EXPECT_EQ(GetCapture(), nullptr);
  EXPECT_EQ(GetCaptureControl(), nullptr);
  // After the release A is under the mouse again.
  t.Send(WM_MOUSEMOVE, 15, 15);
  // Enter and leave follow moves only: the press itself sends none.
  const Log expected = {"B down 10,5",  "B enter", "B move -25,-15", "B move -60,470",
                        "B up -60,470", "B leave", "A enter",        "A move 5,5"};
  EXPECT_EQ(t.log, expected);
}

TEST(Controls, LostCaptureEndsTheRoutingToThePressedChild) {
  GraphicChildren t;
  t.a.LogMoves = t.b.LogMoves = false;
  t.Press(50, 35);
  ASSERT_EQ(GetCaptureControl(), &t.b);
  // Another window takes the mouse (a dialog opened from the press handler):
  // the button-up goes there, and the form's next messages are routed by position again.
  HWND other = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  SetCapture(other);
  ReleaseCapture();
  DestroyWindow(other);
  EXPECT_EQ(GetCaptureControl(), nullptr);
  t.log.clear();
  t.Press(15, 15);
  t.Release(15, 15);
  const Log expected = {"A down 5,5", "A click", "A up 5,5"};
  EXPECT_EQ(t.log, expected);
}

TEST(Controls, EnterAndLeaveFollowTheMouseBetweenChildren) {
  GraphicChildren t;
  t.a.LogMoves = t.b.LogMoves = false;
  struct Step {
    UINT msg;
    int x, y;
  } steps[] = {
      {WM_MOUSEMOVE, 15, 15},    // onto A
      {WM_MOUSEMOVE, 20, 20},    // within A: nothing new
      {WM_MOUSEMOVE, 80, 60},    // onto B alone
      {WM_MOUSEMOVE, 50, 35},    // the overlap still belongs to B
      {WM_MOUSEMOVE, 150, 100},  // the form's own area
      {WM_MOUSEMOVE, 80, 60},    // back onto B
      {WM_MOUSELEAVE, 0, 0},     // off the window
      {WM_MOUSEMOVE, 15, 15},    // back onto A
      {WM_MOUSELEAVE, 0, 0},
  };
  for (const Step& s : steps) t.Send(s.msg, s.x, s.y);
  const Log expected = {"A enter", "A leave",    "B enter", "B leave", "form enter", "form leave",
                        "B enter", "B leave",    "A enter", "A leave"};
  EXPECT_EQ(t.log, expected);
  EXPECT_EQ(MouseControl(), nullptr);
}

TEST(Controls, ClicksNeedPressAndReleaseInsideTheChild) {
  GraphicChildren t;
  t.a.LogMoves = t.b.LogMoves = false;
  int clicks = 0, doubles = 0;
  t.b.OnClick = TNotifyEvent([&](TObject* s) { clicks += s == &t.b; });
  t.b.OnDblClick = TNotifyEvent([&](TObject* s) { doubles += s == &t.b; });

  t.Press(50, 35);
  t.Release(55, 40);
  EXPECT_EQ((Log{"B down 10,5", "B click", "B up 15,10"}), t.log);
  EXPECT_EQ(clicks, 1);

  t.log.clear();
  t.Press(50, 35);
  t.Release(150, 100);  // released outside: no click
  EXPECT_EQ((Log{"B down 10,5", "B up 110,70"}), t.log);
  EXPECT_EQ(clicks, 1);

  // Press, release, the system's double-click message, release.
  t.log.clear();
  t.Press(50, 35);
  t.Release(50, 35);
  t.Send(WM_LBUTTONDBLCLK, 50, 35, MK_LBUTTON);
  t.Release(50, 35);
  const Log expected = {"B down 10,5", "B click",      "B up 10,5",
                        "B dblclick",  "B down 10,5 double", "B up 10,5"};
  EXPECT_EQ(t.log, expected);
  EXPECT_EQ(clicks, 2);
  EXPECT_EQ(doubles, 1);
  EXPECT_EQ(GetCapture(), nullptr);
}

TEST(Controls, GraphicChildrenPaintInOrderClippedAtTheirOrigin) {
  GraphicChildren t;
  TProbe hidden(&t.form, "C", 150, 100, 40, 40, &t.log);
  hidden.Fill = 0x00FF00;
  hidden.Hide();
  constexpr TColor kWhite = 0xFFFFFF;
  painting::Surface s(320, 240, kWhite);
  s.PaintWindowed(t.form);
  struct Probe {
    int x, y;
    TColor expected;
    const char* what;
  } probes[] = {
      {10, 10, 0x00FFFF, "A's origin mark"},
      {11, 11, 0x0000FF, "A's fill"},
      {69, 20, 0x0000FF, "A's last column"},
      {70, 20, kWhite, "right of A"},
      {9, 10, kWhite, "left of A"},
      {10, 9, kWhite, "above A"},
      {40, 30, 0xFFFF00, "B's origin mark, painted over A"},
      {50, 35, 0xFF0000, "the overlap: B painted after A"},
      {69, 49, 0xFF0000, "A's last pixel under B"},
      {99, 69, 0xFF0000, "B's last pixel"},
      {100, 69, kWhite, "right of B"},
      {99, 70, kWhite, "below B"},
      {160, 110, kWhite, "the hidden child"},
  };
  for (const Probe& p : probes) {
    SCOPED_TRACE(p.what);
    EXPECT_EQ(s.At(p.x, p.y), p.expected);
  }

  // The hidden child is not hit either: the press goes to the form.
  t.log.clear();
  t.Press(160, 110);
  t.Release(160, 110);
  ASSERT_FALSE(t.log.empty());
  EXPECT_EQ(t.log.front(), "form down 160,110");

  hidden.Show();
  s.Fill(kWhite);
  s.PaintWindowed(t.form);
  EXPECT_EQ(s.At(150, 100), 0x00FFFF);
  EXPECT_EQ(s.At(160, 110), 0x00FF00);
  EXPECT_EQ(s.At(190, 140), kWhite);

  // WM_PRINTCLIENT paints the same into a caller's DC, the background first when asked.
  s.Fill(kWhite);
  SendMessageA(t.form.Handle(), WM_PRINTCLIENT, reinterpret_cast<WPARAM>(s.Dc()), PRF_CLIENT | PRF_ERASEBKGND);
  GdiFlush();
  EXPECT_EQ(s.At(5, 5), ColorToRGB(clBtnFace));
  EXPECT_EQ(s.At(50, 35), 0xFF0000u);
  EXPECT_EQ(s.At(160, 110), 0x00FF00u);
  t.log.clear();
  t.Press(160, 110);
  t.Release(160, 110);
  ASSERT_FALSE(t.log.empty());
  EXPECT_EQ(t.log.front(), "C down 10,10");
}

TEST(Controls, InvalidatingAGraphicChildInvalidatesItsBoundsInTheParent) {
  GraphicChildren t;
  HWND h = t.form.Handle();
  // A hidden window keeps no update region; show it without activating it.
  ShowWindow(h, SW_SHOWNOACTIVATE);
  UpdateWindow(h);
  ValidateRect(h, nullptr);
  RECT r{};
  EXPECT_FALSE(GetUpdateRect(h, &r, FALSE));
  t.b.Invalidate();
  ASSERT_TRUE(GetUpdateRect(h, &r, FALSE));
  EXPECT_EQ(At(r.left, r.top) + " " + At(r.right, r.bottom), "40,30 100,70");
  ValidateRect(h, nullptr);
  t.a.SetBounds(20, 12, 10, 10);  // the old and the new place
  ASSERT_TRUE(GetUpdateRect(h, &r, FALSE));
  EXPECT_EQ(At(r.left, r.top) + " " + At(r.right, r.bottom), "10,10 70,50");
  ValidateRect(h, nullptr);
  // Hiding and showing a child uncover and cover its place.
  t.b.Hide();
  ASSERT_TRUE(GetUpdateRect(h, &r, FALSE));
  EXPECT_EQ(At(r.left, r.top) + " " + At(r.right, r.bottom), "40,30 100,70");
  ValidateRect(h, nullptr);
  t.b.Show();
  ASSERT_TRUE(GetUpdateRect(h, &r, FALSE));
  EXPECT_EQ(At(r.left, r.top) + " " + At(r.right, r.bottom), "40,30 100,70");
  ValidateRect(h, nullptr);
}

// A pop-up menu that notes where it would open instead of opening.
class TNotedMenu : public TPopupMenu {
  ZX_CLASS(TNotedMenu, TPopupMenu)
 public:
  TNotedMenu(std::string tag, Log* log) : TPopupMenu(nullptr), tag_(std::move(tag)), log_(log) {}
  void Popup(int x, int y) override { log_->push_back(tag_ + " menu at " + At(x, y)); }

 private:
  std::string tag_;
  Log* log_;
};

const TClassInfo& TNotedMenu::StaticClass() {
  static const TClassInfo info = DefineClass<TNotedMenu>("TNotedMenu");
  return info;
}

TEST(Controls, ContextMenuOfTheGraphicChildUnderTheMouse) {
  GraphicChildren t;
  t.a.LogMoves = t.b.LogMoves = false;
  Log menus;
  TNotedMenu formMenu("form", &menus), childMenu("B", &menus);
  t.form.SetPopupMenu(&formMenu);
  t.b.SetPopupMenu(&childMenu);
  HWND h = t.form.Handle();
  auto screen = [&](int x, int y) {
    POINT p{x, y};
    ClientToScreen(h, &p);
    return p;
  };
  auto contextMenu = [&](POINT p) { SendMessageA(h, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(h), MAKELPARAM(p.x, p.y)); };
  POINT overB = screen(80, 60), overA = screen(15, 15), bare = screen(150, 100), origin = screen(0, 0);

  contextMenu(overB);
  contextMenu(overA);  // A has no menu of its own: the form's
  contextMenu(bare);
  contextMenu(POINT{-1, -1});  // from the keyboard: the form's, at its corner
  EXPECT_EQ(menus, (Log{"B menu at " + At(overB.x, overB.y), "form menu at " + At(overA.x, overA.y),
                        "form menu at " + At(bare.x, bare.y), "form menu at " + At(origin.x, origin.y)}));

  // The right button's release over a child brings up the child's menu, after
  // the child has seen its button events.
  menus.clear();
  t.log.clear();
  t.Send(WM_RBUTTONDOWN, 80, 60, MK_RBUTTON);
  t.Send(WM_RBUTTONUP, 80, 60);
  EXPECT_EQ(t.log, (Log{"B down 40,30", "B up 40,30"}));
  EXPECT_EQ(menus, (Log{"B menu at " + At(overB.x, overB.y)}));
  menus.clear();
  t.Send(WM_RBUTTONDOWN, 150, 100, MK_RBUTTON);
  t.Send(WM_RBUTTONUP, 150, 100);
  EXPECT_EQ(menus, (Log{"form menu at " + At(bare.x, bare.y)}));
}

// ---------------------------------------------------------------------------
// Alignment

TEST(Controls, AlignedChildrenFillTheParentInOrderAndFollowItsSize) {
  TBoxControl parent(nullptr);
  parent.SetBounds(0, 0, 200, 100);
  TProbe top(&parent, "top", 5, 5, 10, 10, nullptr);
  TProbe top2(&parent, "top2", 5, 5, 10, 15, nullptr);
  TProbe bottom(&parent, "bottom", 5, 5, 10, 20, nullptr);
  TProbe left(&parent, "left", 5, 5, 30, 10, nullptr);
  TProbe right(&parent, "right", 5, 5, 40, 10, nullptr);
  TProbe client(&parent, "client", 5, 5, 10, 10, nullptr);
  TProbe loose(&parent, "none", 7, 8, 9, 10, nullptr);
  // Set in an order unlike the layout's: the kinds are laid out top, bottom,
  // left, right, client, each kind in creation order.
  client.SetAlign(alClient);
  right.SetAlign(alRight);
  left.SetAlign(alLeft);
  bottom.SetAlign(alBottom);
  top2.SetAlign(alTop);
  top.SetAlign(alTop);
  struct Row {
    TProbe* control;
    const char* bounds;
  };
  auto check = [](const char* step, std::initializer_list<Row> rows) {
    SCOPED_TRACE(step);
    for (const Row& r : rows) EXPECT_EQ(BoundsOf(*r.control), r.bounds) << r.control->Tag();
  };
  check("200 x 100", {{&top, "0,0 200,10"},
                      {&top2, "0,10 200,15"},
                      {&bottom, "0,80 200,20"},
                      {&left, "0,25 30,55"},
                      {&right, "160,25 40,55"},
                      {&client, "30,25 130,55"},
                      {&loose, "7,8 9,10"}});
  parent.SetBounds(0, 0, 300, 200);
  check("300 x 200", {{&top, "0,0 300,10"},
                      {&top2, "0,10 300,15"},
                      {&bottom, "0,180 300,20"},
                      {&left, "0,25 30,155"},
                      {&right, "260,25 40,155"},
                      {&client, "30,25 230,155"}});
  top2.Hide();
  check("second top hidden", {{&left, "0,10 30,170"}, {&right, "260,10 40,170"}, {&client, "30,10 230,170"}});
  top2.Show();
  left.SetAlign(alNone);
  check("left no longer aligned", {{&left, "0,25 30,155"}, {&client, "0,25 260,155"}});
}

TEST(Controls, AlignedWindowFollowsTheFormsClientArea) {
  InitApplication();
  TRouteForm form(nullptr);
  TBoxControl panel(nullptr);
  panel.SetBounds(0, 0, 20, 20);
  panel.SetParent(&form);
  panel.SetAlign(alClient);
  TBoxControl bar(nullptr);
  bar.SetBounds(0, 0, 20, 24);
  bar.SetParent(&form);
  bar.SetAlign(alTop);
  form.HandleNeeded();
  auto expectLayout = [&](const char* step) {
    SCOPED_TRACE(step);
    RECT fc{}, pr{};
    GetClientRect(form.Handle(), &fc);
    GetWindowRect(panel.Handle(), &pr);
    MapWindowPoints(nullptr, form.Handle(), reinterpret_cast<POINT*>(&pr), 2);
    EXPECT_EQ(At(pr.left, pr.top) + " " + At(pr.right, pr.bottom), At(0, 24) + " " + At(fc.right, fc.bottom));
    EXPECT_EQ(BoundsOf(panel), At(0, 24) + " " + At(fc.right, fc.bottom - 24));
    EXPECT_EQ(bar.Width(), fc.right);
  };
  expectLayout("created");
  form.SetBounds(0, 0, 400, 300);
  expectLayout("resized by the control");
  SetWindowPos(form.Handle(), nullptr, 0, 0, 350, 260, SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOMOVE);
  expectLayout("resized by the system");
}

// ---------------------------------------------------------------------------
// Font and colour inheritance

TEST(Controls, ChildrenFollowTheParentsFontUntilTheyHaveTheirOwn) {
  InitApplication();
  Log fonts;
  TWndMethod boxProc;  // outlives the box, whose last messages still pass through it
  TRouteForm form(nullptr);
  TBoxControl box(nullptr);
  box.SetParent(&form);
  TProbe inBox(&box, "g", 0, 0, 5, 5, nullptr);
  TProbe onForm(&form, "f", 0, 0, 5, 5, nullptr);
  form.HandleNeeded();
  boxProc = box.WindowProc;
  box.WindowProc = [&](TMessage& m) {
    if (m.Msg == WM_SETFONT) fonts.push_back(m.WParam == reinterpret_cast<WPARAM>(box.Font()->Handle()) ? "box font" : "other font");
    boxProc(m);
  };

  form.Font()->SetName("Courier New");
  form.Font()->SetHeight(-20);
  for (TControl* c : std::initializer_list<TControl*>{&box, &inBox, &onForm}) {
    SCOPED_TRACE(c == &box ? "box" : c == &inBox ? "in the box" : "on the form");
    EXPECT_EQ(c->Font()->Name(), "Courier New");
    EXPECT_EQ(c->Font()->Height(), -20);
    EXPECT_TRUE(c->ParentFont());
  }
  EXPECT_EQ(fonts, (Log{"box font", "box font"}));

  // A child's own font change ends the inheritance for it and its children follow it.
  fonts.clear();
  box.Font()->SetStyle(TFontStyles{fsBold});
  EXPECT_FALSE(box.ParentFont());
  EXPECT_TRUE(inBox.ParentFont());
  EXPECT_TRUE(inBox.Font()->Style().Contains(fsBold));
  EXPECT_EQ(fonts, (Log{"box font"}));
  form.Font()->SetName("Arial");
  EXPECT_EQ(box.Font()->Name(), "Courier New");
  EXPECT_EQ(inBox.Font()->Name(), "Courier New");
  EXPECT_EQ(onForm.Font()->Name(), "Arial");

  box.SetParentFont(true);
  EXPECT_TRUE(box.ParentFont());
  EXPECT_EQ(box.Font()->Name(), "Arial");
  EXPECT_FALSE(box.Font()->Style().Contains(fsBold));
  EXPECT_EQ(inBox.Font()->Name(), "Arial");
  EXPECT_EQ(fonts.back(), "box font");
  box.WindowProc = boxProc;
}

TEST(Controls, ParentColorFollowsTheParentUntilTheChildHasItsOwn) {
  InitApplication();
  TRouteForm form(nullptr);
  TBoxControl box(nullptr);
  box.SetParent(&form);
  TProbe inBox(&box, "g", 0, 0, 5, 5, nullptr);
  EXPECT_FALSE(box.ParentColor());
  box.SetParentColor(true);
  inBox.SetParentColor(true);
  EXPECT_EQ(box.Color(), form.Color());
  EXPECT_EQ(inBox.Color(), form.Color());

  form.SetColor(0x123456);
  EXPECT_EQ(box.Color(), 0x123456u);
  EXPECT_EQ(inBox.Color(), 0x123456u);
  EXPECT_TRUE(box.ParentColor());
  EXPECT_TRUE(inBox.ParentColor());

  box.SetColor(0x654321);
  EXPECT_FALSE(box.ParentColor());
  EXPECT_EQ(inBox.Color(), 0x654321u);
  form.SetColor(0x111111);
  EXPECT_EQ(box.Color(), 0x654321u);
  EXPECT_EQ(inBox.Color(), 0x654321u);

  box.SetParentColor(true);
  EXPECT_EQ(box.Color(), 0x111111u);
  EXPECT_EQ(inBox.Color(), 0x111111u);

  // A control moved to another parent takes that parent's colour.
  TBoxControl other(nullptr);
  other.SetColor(0x0000AA);
  inBox.SetParent(&other);
  EXPECT_EQ(inBox.Color(), 0x0000AAu);
}

// ---------------------------------------------------------------------------
// Cursors, windowed children under the mouse, buffered painting, reading order

TEST(Controls, CursorOfTheChildUnderTheMouseAndByNameInTheFormText) {
  GraphicChildren t;
  t.b.SetCursor(crHandPoint);
  auto* owned = new TBoxControl(&t.form);
  owned->SetName("Box1");
  owned->SetParent(&t.form);
  owned->SetCursor(crHandPoint);
  t.form.SetCursor(crSizeWE);
  struct Case {
    int x, y;
    const char* shape;
  } cases[] = {
      {50, 35, IDC_HAND},    // B
      {15, 15, IDC_SIZEWE},  // A keeps crDefault: the window's own cursor
      {150, 100, IDC_SIZEWE},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(At(c.x, c.y));
    POINT p = t.form.ClientToScreen(POINT{c.x, c.y});
    SetCursorPos(p.x, p.y);
    SetCursor(nullptr);
    SendMessageA(t.form.Handle(), WM_SETCURSOR, reinterpret_cast<WPARAM>(t.form.Handle()),
                 MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    EXPECT_EQ(GetCursor(), LoadCursorA(nullptr, c.shape));
  }

  t.form.SetName("Form1");
  const std::string text = WriteComponentText(&t.form);
  EXPECT_NE(text.find("Cursor = crHandPoint"), std::string::npos) << text;
  EXPECT_NE(text.find("Cursor = crSizeWE"), std::string::npos) << text;
  RegisterClassInfo(TBoxControl::StaticClass());
  TForm read(nullptr);
  ReadComponentText(&read,
                    "object Form1: TForm\n"
                    "  Cursor = crHourGlass\n"
                    "  object Box1: TBoxControl\n    Cursor = -21\n  end\n"
                    "  object Box2: TBoxControl\n    Cursor = 7\n  end\n"
                    "end\n");
  EXPECT_EQ(read.Cursor(), crHourGlass);
  EXPECT_EQ(dynamic_cast<TControl*>(read.FindComponent("Box1"))->Cursor(), crHandPoint);
  EXPECT_EQ(dynamic_cast<TControl*>(read.FindComponent("Box2"))->Cursor(), 7);
  TForm bad(nullptr);
  EXPECT_THROW(ReadComponentText(&bad, "object Form1: TForm\n  Cursor = crNoSuchCursor\nend\n"), EReadError);
}

TEST(Controls, AWindowedChildKeepsTheMouseWhenItsParentHearsOfTheLeave) {
  GraphicChildren t;
  t.a.LogMoves = false;
  TBoxControl box(nullptr);
  box.SetBounds(120, 80, 40, 30);
  box.SetParent(&t.form);
  HWND boxWindow = box.Handle();
  t.Send(WM_MOUSEMOVE, 15, 15);
  EXPECT_EQ(MouseControl(), &t.a);
  // The mouse moves on into the child window; the parent's leave may come after.
  SendMessageA(boxWindow, WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
  EXPECT_EQ(MouseControl(), &box);
  SendMessageA(t.form.Handle(), WM_MOUSELEAVE, 0, 0);
  EXPECT_EQ(MouseControl(), &box);
  SendMessageA(boxWindow, WM_MOUSELEAVE, 0, 0);
  EXPECT_EQ(MouseControl(), nullptr);
  EXPECT_EQ(t.log, (Log{"A enter", "A leave"}));
}

// Paints itself red with a yellow mark at (25,25), on a blue background.
class TMarkedBox : public TCustomControl {
  ZX_CLASS(TMarkedBox, TCustomControl)
 public:
  explicit TMarkedBox(TComponent* owner) : TCustomControl(owner) { SetColor(0xFF0000); }
  // The pixel at the mark just after the window itself was last asked to erase.
  COLORREF AfterScreenErase = CLR_INVALID;

  void Dispatch(TMessage& m) override {
    inherited::Dispatch(m);
    HDC dc = reinterpret_cast<HDC>(m.WParam);
    if (m.Msg == WM_ERASEBKGND && WindowFromDC(dc) == Handle()) AfterScreenErase = GetPixel(dc, 25, 25);
  }

 protected:
  void Paint() override {
    Canvas()->Brush()->SetColor(0x0000FF);
    Canvas()->FillRect(RECT{0, 0, Width(), Height()});
    Canvas()->SetPixels(25, 25, 0x00FFFF);
  }
};

const TClassInfo& TMarkedBox::StaticClass() {
  static const TClassInfo info = DefineClass<TMarkedBox>("TMarkedBox");
  return info;
}

TEST(Controls, DoubleBufferedPaintingCopiesThePaintedPartIntoPlace) {
  InitApplication();
  TForm form(nullptr);
  form.SetBounds(0, 0, 200, 150);
  TMarkedBox box(nullptr);
  box.SetBounds(10, 10, 60, 50);
  box.SetParent(&form);
  box.SetDoubleBuffered(true);
  HWND h = box.Handle();
  ShowWindow(form.Handle(), SW_SHOWNOACTIVATE);
  UpdateWindow(form.Handle());
  // Only a part away from the origin is painted: the buffer must keep window
  // coordinates. The window's own erase leaves the screen as it was.
  box.AfterScreenErase = CLR_INVALID;
  RECT part{20, 20, 40, 40};
  InvalidateRect(h, &part, TRUE);
  UpdateWindow(h);
  EXPECT_EQ(box.AfterScreenErase, RGB(255, 255, 0));
  HDC dc = GetDC(h);
  EXPECT_EQ(GetPixel(dc, 25, 25), RGB(255, 255, 0));
  EXPECT_EQ(GetPixel(dc, 21, 21), RGB(255, 0, 0));
  EXPECT_EQ(GetPixel(dc, 39, 39), RGB(255, 0, 0));
  ReleaseDC(h, dc);
}

TEST(Controls, DrawTextFlagsFollowTheReadingOrder) {
  struct Case {
    TBiDiMode mode;
    UINT in, out;
  } cases[] = {
      {bdLeftToRight, DT_LEFT | DT_WORDBREAK, DT_LEFT | DT_WORDBREAK},
      {bdLeftToRight, DT_RIGHT, DT_RIGHT},
      {bdRightToLeft, DT_LEFT | DT_WORDBREAK, DT_RIGHT | DT_WORDBREAK | DT_RTLREADING},
      {bdRightToLeft, DT_RIGHT, DT_LEFT | DT_RTLREADING},
      {bdRightToLeft, DT_CENTER, DT_CENTER | DT_RTLREADING},
      {bdRightToLeftNoAlign, DT_LEFT, DT_LEFT | DT_RTLREADING},
      {bdRightToLeftReadingOnly, DT_RIGHT, DT_RIGHT | DT_RTLREADING},
  };
  TBoxControl control(nullptr);
  for (const Case& c : cases) {
    SCOPED_TRACE(BiDiModeNames[c.mode] + " " + Hex(c.in));
    control.SetBiDiMode(c.mode);
    EXPECT_EQ(control.DrawTextBiDiModeFlags(c.in), c.out);
  }
}

}  // namespace
