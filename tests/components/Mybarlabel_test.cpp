// The title-bar label on a real (hidden) form: a left press asks the parent to
// drag the window and fires only OnMouseDown; no click ever follows.

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "Classes.h"
#include "Forms.h"
#include "Mybarlabel.h"
#include "Myimage.h"

namespace {

struct LabelOnForm {
  std::unique_ptr<TForm> form;
  MyBarLabel* label = nullptr;
  std::vector<std::string> log;

  LabelOnForm() {
    InitApplication();
    form = std::make_unique<TForm>(nullptr);
    form->SetBounds(0, 0, 200, 100);
    label = new MyBarLabel(form.get());
    label->SetParent(form.get());
    label->SetAutoSize(false);
    label->SetBounds(27, 6, 82, 14);
    label->SetCaption("Zapnix 7.1");
    label->OnMouseDown = [this](TObject*, TMouseButton b, TShiftState, int x, int y) {
      log.push_back((b == mbLeft ? "down left " : "down other ") + std::to_string(x) + "," + std::to_string(y));
    };
    label->OnMouseUp = [this](TObject*, TMouseButton, TShiftState, int, int) { log.push_back("up"); };
    label->OnClick = [this](TObject*) { log.push_back("click"); };
    MSG stale;
    while (PeekMessageA(&stale, Form(), WM_NCLBUTTONDOWN, WM_NCLBUTTONDOWN, PM_REMOVE)) {
    }
  }
  HWND Form() { return form->Handle(); }
};

TEST(Mybarlabel, LeftPressDragsTheWindowAndFiresOnlyMouseDown) {
  LabelOnForm f;
  SendMessageA(f.Form(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(30, 8));
  EXPECT_EQ(f.log, std::vector<std::string>{"down left 3,2"});
  MSG msg;
  ASSERT_TRUE(PeekMessageA(&msg, f.Form(), WM_NCLBUTTONDOWN, WM_NCLBUTTONDOWN, PM_REMOVE));
  EXPECT_EQ(msg.wParam, static_cast<WPARAM>(HTCAPTION));
  EXPECT_EQ(msg.lParam, MAKELPARAM(3, 2));
  EXPECT_NE(GetCapture(), f.Form());

  // The release reaches the framework's handling, which fires no click.
  SendMessageA(f.Form(), WM_LBUTTONUP, 0, MAKELPARAM(30, 8));
  EXPECT_EQ(std::count(f.log.begin(), f.log.end(), "click"), 0);
  // A right press is an ordinary one: no drag.
  SendMessageA(f.Form(), WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(30, 8));
  EXPECT_EQ(f.log.back(), "down other 3,2");
  EXPECT_FALSE(PeekMessageA(&msg, f.Form(), WM_NCLBUTTONDOWN, WM_NCLBUTTONDOWN, PM_REMOVE));
}

TEST(Mybarlabel, IsALabelWithItsOwnClassNameAndNoPropertiesOfItsOwn) {
  EXPECT_EQ(MyBarLabel::StaticClass().name, "MyBarLabel");
  EXPECT_TRUE(MyBarLabel::StaticClass().InheritsFrom(TLabel::StaticClass()));
  EXPECT_EQ(MyBarLabel::StaticClass().AllProps().size(), TLabel::StaticClass().AllProps().size());
  MyBarLabel label(nullptr);
  EXPECT_TRUE(label.AutoSize());
  EXPECT_EQ(label.ClassName(), "MyBarLabel");
}

TEST(Mybarlabel, BothChromeClassesShareTheSamplesPage) {
  Myimage::Register();
  Mybarlabel::Register();
  Mybarlabel::Register();  // again: still listed once
  auto samples = PaletteClasses("Samples");
  EXPECT_EQ(std::count(samples.begin(), samples.end(), &MyBarLabel::StaticClass()), 1);
  EXPECT_EQ(std::count(samples.begin(), samples.end(), &TMyImage::StaticClass()), 1);
}

}  // namespace
