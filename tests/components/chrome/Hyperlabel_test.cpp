// The hyperlink label under a real mouse on a shown window: the hand cursor and
// the enter colour while the mouse is over it, the leave colour after; and its
// two colours in the form description.

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>

#include "Filer.h"
#include "Forms.h"
#include "Hyperlabel.h"
#include "RealMouse.h"

namespace {

// Runs the message loop until done() holds, for at most two seconds.
template <class F>
bool PumpUntil(F done) {
  const DWORD start = GetTickCount();
  while (!done()) {
    if (GetTickCount() - start > 2000) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
  }
  return true;
}

using testsupport::MoveMouseTo;

struct LinkOnForm {
  std::unique_ptr<TForm> form;
  THyperLabel* label = nullptr;

  LinkOnForm() {
    InitApplication();
    form = std::make_unique<TForm>(nullptr);
    form->SetBounds(200, 150, 240, 120);
    label = new THyperLabel(form.get());
    label->SetParent(form.get());
    label->SetAutoSize(false);
    label->SetBounds(20, 20, 100, 30);
    label->SetCaption("Visit us");
    label->SetColorLeaveLabel(clBlue);
    label->ColorEnter = clRed;
    ShowWindow(form->Handle(), SW_SHOWNOACTIVATE);
    UpdateWindow(form->Handle());
  }
  bool MoveTo(int x, int y, TColor expected) {
    MoveMouseTo(form->ClientToScreen(POINT{x, y}));
    return PumpUntil([&] { return label->Font()->Color() == expected; });
  }
};

TEST(Hyperlabel, RealMouseOverTheLabelShowsTheHandAndTheEnterColour) {
  LinkOnForm f;
  EXPECT_EQ(f.label->Cursor(), crHandPoint);
  EXPECT_EQ(f.label->Font()->Color(), clBlue);

  ASSERT_TRUE(f.MoveTo(150, 80, clBlue));  // on the form, off the label
  ASSERT_TRUE(f.MoveTo(50, 30, clRed));
  EXPECT_EQ(GetCursor(), LoadCursorA(nullptr, IDC_HAND));
  ASSERT_TRUE(f.MoveTo(180, 90, clBlue));
  EXPECT_EQ(GetCursor(), LoadCursorA(nullptr, IDC_ARROW));

  // Setting the leave colour while over the label shows it at once; the next
  // entry shows the enter colour again.
  ASSERT_TRUE(f.MoveTo(60, 35, clRed));
  f.label->SetColorLeaveLabel(clGreen);
  EXPECT_EQ(f.label->Font()->Color(), clGreen);
  ASSERT_TRUE(f.MoveTo(180, 90, clGreen));
  ASSERT_TRUE(f.MoveTo(40, 25, clRed));

  // Off the window altogether: the window's leave notification ends the hover.
  POINT outside = f.form->ClientToScreen(POINT{-100, -100});
  MoveMouseTo(outside);
  EXPECT_TRUE(PumpUntil([&] { return f.label->Font()->Color() == clGreen; }));
  EXPECT_EQ(MouseControl(), nullptr);
  // Out of the way of the windows of later tests.
  MoveMouseTo(POINT{GetSystemMetrics(SM_CXSCREEN) - 2, GetSystemMetrics(SM_CYSCREEN) - 2});
}

TEST(Hyperlabel, ColoursLeftAtBlackChangeNothingOnHover) {
  InitApplication();
  TForm form(nullptr);
  THyperLabel label(nullptr);
  label.SetParent(&form);
  label.Perform(CM_MOUSEENTER);
  EXPECT_EQ(label.Font()->Color(), clBlack);
  label.Perform(CM_MOUSELEAVE);
  EXPECT_EQ(label.Font()->Color(), clBlack);
  // The parent hears nothing of the mouse crossing the label.
  int heard = 0;
  form.WindowProc = [&, original = form.WindowProc](TMessage& m) {
    if (m.Msg == CM_MOUSEENTER || m.Msg == CM_MOUSELEAVE) ++heard;
    original(m);
  };
  label.Perform(CM_MOUSEENTER);
  EXPECT_EQ(heard, 0);
}

TEST(Hyperlabel, LeaveColourReadAfterTheFontOverridesTheFontsColour) {
  RegisterClassInfo(THyperLabel::StaticClass());
  TForm form(nullptr);
  ReadComponentText(&form,
                    "object Form1: TForm\n"
                    "  object Link: THyperLabel\n"
                    "    Font.Color = clYellow\n"
                    "    ColorLeave = clBlue\n"
                    "    ColorEnter = clRed\n"
                    "  end\n"
                    "end\n");
  auto* link = dynamic_cast<THyperLabel*>(form.FindComponent("Link"));
  ASSERT_NE(link, nullptr);
  EXPECT_EQ(link->Font()->Color(), clBlue);
  EXPECT_EQ(link->ColorEnter, clRed);

  // Both colours are written even when black, leave before enter, after the font.
  link->SetColorLeaveLabel(clBlack);
  link->ColorEnter = clBlack;
  const std::string text = WriteComponentText(&form);
  const size_t font = text.find("Font."), leave = text.find("ColorLeave = clBlack"),
               enter = text.find("ColorEnter = clBlack");
  ASSERT_NE(leave, std::string::npos) << text;
  ASSERT_NE(enter, std::string::npos) << text;
  EXPECT_LT(leave, enter);
  if (font != std::string::npos) {
    EXPECT_LT(font, leave);
  }
  EXPECT_NE(text.find("Cursor = crHandPoint"), std::string::npos) << text;
}

TEST(Hyperlabel, RegistersOnItsOwnPalettePage) {
  Hyperlabel::Register();
  auto classes = PaletteClasses("Quorb Hyper Controls");
  EXPECT_NE(std::find(classes.begin(), classes.end(), &THyperLabel::StaticClass()), classes.end());
}

}  // namespace
