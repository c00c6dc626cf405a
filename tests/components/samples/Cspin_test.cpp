// The spin controls: the buttons' layout, the edit's value rules and typing
// filter, keys and mouse through real windows, and the auto-repeat timer.

#include "Cspin.h"

#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <string>
#include <vector>

#include "ExceptionCapture.h"
#include "RealMouse.h"
#include "Locale.h"
#include "SamplesTesting.h"

namespace {

// Pumps the real queue for about ms milliseconds.
void Pump(DWORD ms) {
  const DWORD end = GetTickCount() + ms;
  for (;;) {
    const DWORD now = GetTickCount();
    if (static_cast<LONG>(end - now) <= 0) break;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, end - now, QS_ALLINPUT);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
  }
}

struct SpinOnForm {
  std::unique_ptr<TForm> form;
  TCSpinEdit* edit = nullptr;
  TCSpinButton* spin = nullptr;
  SpinOnForm() {
    InitApplication();
    form = std::make_unique<TForm>(nullptr);
    form->SetBounds(0, 0, 300, 200);
    edit = new TCSpinEdit(form.get());
    edit->SetParent(form.get());
    edit->SetBounds(10, 10, 121, 24);
    spin = new TCSpinButton(form.get());
    spin->SetParent(form.get());
    spin->SetBounds(200, 10, 20, 40);
    form->Show();
    form->HandleNeeded();
  }
  void Press(TControl* button, UINT msg, WPARAM keys) {
    POINT p{button->Left() + 5, button->Top() + 5};
    // The pointer stands where the press is, as a user's would: a mouse move
    // that the system sends on its own then finds it over the held button.
    if (msg == WM_LBUTTONDOWN) testsupport::MoveMouseTo(spin->ClientToScreen(p));
    SendMessageA(spin->Handle(), msg, keys, MAKELPARAM(p.x, p.y));
  }
};

TEST(Cspin, ButtonsShareTheHeightAndOverlapByOneRow) {
  struct Case { int w, h; RECT up, down; };
  const Case cases[] = {{10, 25, {0, 0, 15, 12}, {0, 11, 15, 25}},
                        {20, 25, {0, 0, 20, 12}, {0, 11, 20, 25}},
                        {30, 40, {0, 0, 30, 20}, {0, 19, 30, 40}},
                        {16, 7, {0, 0, 16, 3}, {0, 2, 16, 7}}};
  for (const Case& c : cases) {
    TCSpinButton b(nullptr);
    b.SetBounds(0, 0, c.w, c.h);
    EXPECT_EQ(b.Width(), std::max(c.w, 15));
    EXPECT_EQ(samples_testing::Str(b.UpButton()->BoundsRect()), samples_testing::Str(c.up)) << c.w << "x" << c.h;
    EXPECT_EQ(samples_testing::Str(b.DownButton()->BoundsRect()), samples_testing::Str(c.down)) << c.w << "x" << c.h;
  }
  TCSpinButton b(nullptr);
  EXPECT_EQ(b.Width(), 20);
  EXPECT_EQ(b.Height(), 25);
  EXPECT_EQ(b.GetUpGlyph()->Width(), 9);
  EXPECT_EQ(b.GetUpGlyph()->Height(), 6);
  // The arrow: olive around a black triangle, apex up and down.
  EXPECT_EQ(b.GetUpGlyph()->Canvas()->Pixels(0, 0), 0x008080);
  EXPECT_EQ(b.GetUpGlyph()->Canvas()->Pixels(4, 1), clBlack);
  EXPECT_EQ(b.GetUpGlyph()->Canvas()->Pixels(1, 4), clBlack);
  EXPECT_EQ(b.GetDownGlyph()->Canvas()->Pixels(4, 4), clBlack);
  EXPECT_EQ(b.GetDownGlyph()->Canvas()->Pixels(1, 1), clBlack);
  TBitmap other(4, 4);
  b.SetUpGlyph(&other);
  EXPECT_EQ(b.GetUpGlyph()->Width(), 4);
  b.SetUpGlyph(nullptr);
  EXPECT_EQ(b.GetUpGlyph()->Width(), 9);
}

TEST(Cspin, ValueStepsAndClampsWithoutLeavingThe32BitRange) {
  struct Case { int min, max, inc; std::string text; bool up; std::string result; };
  const Case cases[] = {
      {0, 10, 3, "9", true, "10"},
      {0, 10, 3, "10", true, "10"},
      {0, 10, 3, "1", false, "0"},
      {0, 0, 1, "2147483647", true, "2147483647"},
      {0, 0, 5, "-2147483647", false, "-2147483648"},
      {0, 0, INT_MIN, "5", false, "2147483647"},
      {10, 5, 1, "3", true, "10"},   // minimum above maximum: low values go to the minimum
      {10, 5, 1, "12", true, "5"},   // and every other one to the maximum
      {3, 9, 1, "12.5", true, "4"},  // not a number: read as the minimum, then stepped
      {3, 9, 1, "abc", false, "3"},
  };
  for (const Case& c : cases) {
    TCSpinEdit e(nullptr);
    e.MinValue = c.min;
    e.MaxValue = c.max;
    e.Increment = c.inc;
    e.SetText(c.text);
    if (c.up) e.UpClick(&e); else e.DownClick(&e);
    EXPECT_EQ(e.Text(), c.result) << c.text << (c.up ? " up" : " down");
  }
  TCSpinEdit e(nullptr);
  EXPECT_EQ(e.Text(), "0");
  e.SetText("x");
  EXPECT_EQ(e.GetValue(), 0);
  EXPECT_EQ(e.Text(), "0");
  e.SetReadOnly(true);
  e.UpClick(&e);
  EXPECT_EQ(e.Text(), "0");
}

TEST(Cspin, TypingFilterAcceptsOnlyWhatCanFormANumber) {
  TCSpinEdit e(nullptr);
  struct Case { char key; bool editor, off; };
  const Case cases[] = {{'5', true, false},  {'+', true, false}, {'-', true, false}, {'\b', true, false},
                        {'\x03', true, true}, {'\x16', true, true}, {'a', false, false}, {'\r', false, false},
                        {' ', false, false},  {'e', false, false}, {DecimalSeparator(), true, false}};
  for (const Case& c : cases) {
    e.EditorEnabled = true;
    EXPECT_EQ(e.IsValidChar(c.key), c.editor) << int(c.key);
    e.EditorEnabled = false;
    EXPECT_EQ(e.IsValidChar(c.key), c.off) << int(c.key) << " without the editor";
  }
}

TEST(Cspin, KeysAndTypingReachTheEditThroughItsWindow) {
  SpinOnForm f;
  f.edit->MinValue = 0;
  f.edit->MaxValue = 20;
  HWND h = f.edit->Handle();
  SetFocus(h);
  SendMessageA(h, WM_KEYDOWN, VK_UP, 0);
  SendMessageA(h, WM_KEYDOWN, VK_UP, 0);
  EXPECT_EQ(f.edit->Text(), "2");
  SendMessageA(h, WM_KEYDOWN, VK_DOWN, 0);
  EXPECT_EQ(f.edit->Text(), "1");
  SendMessageA(h, EM_SETSEL, 1, 1);
  SendMessageA(h, WM_CHAR, 'x', 0);
  SendMessageA(h, WM_CHAR, '\r', 0);
  SendMessageA(h, WM_CHAR, '7', 0);
  EXPECT_EQ(f.edit->Text(), "17");
  // Out of range typed, then the focus leaves: the value is clamped.
  SendMessageA(h, WM_CHAR, '9', 0);
  SetFocus(f.spin->Handle());
  EXPECT_EQ(f.edit->Text(), "20");
  // Pasted letters, then the focus leaves: the text becomes the minimum.
  SetFocus(h);
  SendMessageA(h, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>("abc"));
  SetFocus(f.spin->Handle());
  EXPECT_EQ(f.edit->Text(), "0");
  // Without the editor, paste is ignored and digits are refused, but the keys still step.
  f.edit->EditorEnabled = false;
  SetFocus(h);
  SendMessageA(h, WM_CHAR, '5', 0);
  SendMessageA(h, WM_KEYDOWN, VK_UP, 0);
  EXPECT_EQ(f.edit->Text(), "1");
  // The edit's text stops short of the embedded button.
  RECT r{};
  SendMessageA(h, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&r));
  EXPECT_LE(r.right, f.edit->ClientWidth() - f.edit->Button()->Width() - 2);
  EXPECT_EQ(f.edit->Button()->Left(), f.edit->Width() - 15 - 5);
}

TEST(Cspin, SpinButtonKeysMoveTheFocusMarkAndClick) {
  SpinOnForm f;
  std::vector<std::string> log;
  f.spin->OnUpClick = [&](TObject* s) { log.push_back(s == f.spin ? "up" : "?"); };
  f.spin->OnDownClick = [&](TObject*) { log.push_back("down"); };
  f.spin->SetTabStop(true);
  SetFocus(f.spin->Handle());
  EXPECT_TRUE(f.spin->UpButton()->TimerFlags.Contains(tfFocusRect));
  SendMessageA(f.spin->Handle(), WM_KEYDOWN, VK_DOWN, 0);
  SendMessageA(f.spin->Handle(), WM_KEYDOWN, VK_SPACE, 0);
  SendMessageA(f.spin->Handle(), WM_KEYDOWN, VK_UP, 0);
  EXPECT_EQ(log, (std::vector<std::string>{"down", "down", "up"}));
  EXPECT_EQ(f.spin->FocusedButton(), f.spin->UpButton());
  EXPECT_FALSE(f.spin->DownButton()->TimerFlags.Contains(tfFocusRect));
  EXPECT_EQ(SendMessageA(f.spin->Handle(), WM_GETDLGCODE, 0, 0) & DLGC_WANTARROWS, DLGC_WANTARROWS);
  SetFocus(f.edit->Handle());
  EXPECT_FALSE(f.spin->UpButton()->TimerFlags.Contains(tfFocusRect));
}

TEST(Cspin, APressedButtonFocusesItsControlAndForgetsItWhenItGoes) {
  SpinOnForm f;
  auto* other = new TCSpinEdit(f.form.get());
  other->SetParent(f.form.get());
  f.spin->SetFocusControl(other);
  SetFocus(f.edit->Handle());
  f.Press(f.spin->DownButton(), WM_LBUTTONDOWN, MK_LBUTTON);
  f.Press(f.spin->DownButton(), WM_LBUTTONUP, 0);
  EXPECT_EQ(GetFocus(), other->Handle());
  delete other;
  EXPECT_EQ(f.spin->FocusControl(), nullptr);
  f.Press(f.spin->UpButton(), WM_LBUTTONDOWN, MK_LBUTTON);
  f.Press(f.spin->UpButton(), WM_LBUTTONUP, 0);
}

TEST(Cspin, HeldButtonRepeatsAfter400msThenEvery100ms) {
  SpinOnForm f;
  std::vector<DWORD> clicks;
  f.spin->OnUpClick = [&](TObject*) { clicks.push_back(GetTickCount()); };
  const DWORD start = GetTickCount();
  f.Press(f.spin->UpButton(), WM_LBUTTONDOWN, MK_LBUTTON);
  Pump(1050);
  const size_t held = clicks.size();
  f.Press(f.spin->UpButton(), WM_LBUTTONUP, 0);
  // About seven repeats (400, 500, ... 1000 ms); the machine may be slow, never fast.
  EXPECT_GE(held, 3u);
  EXPECT_LE(held, 7u);
  ASSERT_FALSE(clicks.empty());
  EXPECT_GE(clicks.front() - start, 380u);
  EXPECT_EQ(clicks.size(), held + 1) << "the release adds the ordinary click";
  // After the release the timer is off.
  Pump(300);
  EXPECT_EQ(clicks.size(), held + 1);
  // A short press clicks once, on release.
  clicks.clear();
  f.Press(f.spin->UpButton(), WM_LBUTTONDOWN, MK_LBUTTON);
  Pump(150);
  f.Press(f.spin->UpButton(), WM_LBUTTONUP, 0);
  EXPECT_EQ(clicks.size(), 1u);
}

TEST(Cspin, AFailingRepeatedClickStopsTheTimer) {
  ExceptionCapture errors;
  SpinOnForm f;
  int calls = 0;
  f.spin->OnUpClick = [&](TObject*) {
    ++calls;
    throw Exception("refused");
  };
  f.Press(f.spin->UpButton(), WM_LBUTTONDOWN, MK_LBUTTON);
  Pump(900);
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(errors.count, 1);
  EXPECT_EQ(errors.text, "refused");
  EXPECT_FALSE(f.spin->UpButton()->RepeatTimer()->Enabled());
  f.spin->OnUpClick = nullptr;
  f.Press(f.spin->UpButton(), WM_LBUTTONUP, 0);
}

TEST(Cspin, StreamsItsSettingsButNotTheBuiltInGlyphs) {
  RegisterClassInfo(TCSpinEdit::StaticClass());
  RegisterClassInfo(TCSpinButton::StaticClass());
  samples_testing::TSamplesForm form(nullptr);
  form.SetName("SpinForm");
  auto* e = new TCSpinEdit(&form);
  e->SetName("SpinEdit1");
  e->SetParent(&form);
  std::string text;
  samples_testing::RoundTrip(form, &text);
  for (const char* name : {"Value", "Text", "MinValue", "MaxValue", "Increment", "EditorEnabled", "TabStop"})
    EXPECT_FALSE(samples_testing::Written(text, name)) << name << "\n" << text;
  EXPECT_EQ(text.find("TCSpinButton"), std::string::npos);
  e->MaxValue = 50;
  e->MinValue = 5;
  e->Increment = 5;
  e->EditorEnabled = false;
  e->SetValue(25);
  auto copy = samples_testing::RoundTrip(form, &text);
  auto* r = dynamic_cast<TCSpinEdit*>(copy->FindComponent("SpinEdit1"));
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(r->GetValue(), 25);
  EXPECT_EQ(r->MinValue, 5);
  EXPECT_EQ(r->MaxValue, 50);
  EXPECT_EQ(r->Increment, 5);
  EXPECT_FALSE(r->EditorEnabled);

  samples_testing::TSamplesForm buttons(nullptr);
  buttons.SetName("SpinButtonForm");
  auto* b = new TCSpinButton(&buttons);
  b->SetName("Spin1");
  b->SetParent(&buttons);
  samples_testing::RoundTrip(buttons, &text);
  EXPECT_FALSE(samples_testing::Written(text, "UpGlyph.Data")) << text;
  TBitmap other(3, 3);
  b->SetDownGlyph(&other);
  copy = samples_testing::RoundTrip(buttons, &text);
  EXPECT_TRUE(samples_testing::Written(text, "DownGlyph.Data")) << text;
  EXPECT_EQ(dynamic_cast<TCSpinButton*>(copy->FindComponent("Spin1"))->GetDownGlyph()->Width(), 3);
}

}  // namespace

// The edit is a multi-line window (for its formatting rectangle), which the
// system does not tell of texts the program sets: every change of the value,
// by the buttons, the keys, the program or typing, is still reported once.
TEST(Cspin, EveryChangeOfTheValueIsReportedOnce) {
  SpinOnForm f;
  f.edit->MaxValue = 100;
  f.edit->Increment = 5;
  std::vector<std::string> seen;
  f.edit->OnChange = TNotifyEvent([&](TObject* sender) {
    EXPECT_EQ(sender, f.edit);
    seen.push_back(f.edit->Text());
  });
  HWND h = f.edit->Handle();
  f.edit->UpClick(nullptr);
  SendMessageA(h, WM_KEYDOWN, VK_UP, 0);
  SendMessageA(h, WM_KEYDOWN, VK_DOWN, 0);
  f.edit->SetValue(40);
  f.edit->SetValue(40);  // unchanged: no report
  SendMessageA(h, EM_SETSEL, 2, 2);
  SendMessageA(h, WM_CHAR, '1', 0);
  EXPECT_EQ(seen, (std::vector<std::string>{"5", "10", "5", "40", "401"}));
}
