// The title-bar picture on a real (hidden) form: what a left press fires and in
// which order, the window drag it asks of the parent, the active and inactive
// pictures, streaming and palette registration.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "Classes.h"
#include "Filer.h"
#include "Forms.h"
#include "Myimage.h"

namespace {

std::string Describe(const char* what, TMouseButton button, TShiftState shift, int x, int y) {
  std::string s = what;
  s += button == mbLeft ? " left" : button == mbRight ? " right" : " middle";
  if (shift.Contains(ssShift)) s += "+shift";
  return s + " " + std::to_string(x) + "," + std::to_string(y);
}

// Takes the drag request the control posted to the form, if any.
bool TakeDragRequest(HWND form, MSG& msg) {
  return PeekMessageA(&msg, form, WM_NCLBUTTONDOWN, WM_NCLBUTTONDOWN, PM_REMOVE) != FALSE;
}

struct ImageOnForm {
  std::unique_ptr<TForm> form;
  TMyImage* image = nullptr;
  std::vector<std::string> log;

  ImageOnForm() {
    InitApplication();
    form = std::make_unique<TForm>(nullptr);
    form->SetBounds(0, 0, 200, 100);
    image = new TMyImage(form.get());
    image->SetParent(form.get());
    image->SetBounds(10, 10, 50, 20);
    image->OnMouseDown = [this](TObject*, TMouseButton b, TShiftState s, int x, int y) {
      log.push_back(Describe("down", b, s, x, y));
    };
    image->OnMouseUp = [this](TObject*, TMouseButton b, TShiftState s, int x, int y) {
      log.push_back(Describe("up", b, s, x, y));
    };
    image->OnClick = [this](TObject* sender) { log.push_back(sender == image ? "click" : "click?"); };
    MSG stale;
    while (TakeDragRequest(Form(), stale)) {
    }
  }
  HWND Form() { return form->Handle(); }
};

TEST(Myimage, LeftPressFiresDownUpAndClickAtOnceAndTheReleaseNoSecondClick) {
  ImageOnForm f;
  SendMessageA(f.Form(), WM_LBUTTONDOWN, MK_LBUTTON | MK_SHIFT, MAKELPARAM(15, 12));
  EXPECT_EQ(f.log, (std::vector<std::string>{"down left+shift 5,2", "up left+shift 5,2", "click"}));
  // No capture and no click detection were started by the press.
  EXPECT_NE(GetCapture(), f.Form());
  f.log.clear();
  SendMessageA(f.Form(), WM_LBUTTONUP, 0, MAKELPARAM(15, 12));
  EXPECT_EQ(f.log, (std::vector<std::string>{"up left 5,2"}));
  MSG msg;
  EXPECT_FALSE(TakeDragRequest(f.Form(), msg)) << "EnableDrop is off";
}

TEST(Myimage, WithEnableDropTheLeftPressAsksTheParentToDragTheWindow) {
  ImageOnForm f;
  f.image->EnableDrop = true;
  SendMessageA(f.Form(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(15, 12));
  EXPECT_EQ(f.log, (std::vector<std::string>{"down left 5,2", "up left 5,2", "click"}));
  MSG msg;
  ASSERT_TRUE(TakeDragRequest(f.Form(), msg));
  EXPECT_EQ(msg.wParam, static_cast<WPARAM>(HTCAPTION));
  EXPECT_EQ(msg.lParam, MAKELPARAM(5, 2));
  EXPECT_FALSE(TakeDragRequest(f.Form(), msg)) << "posted once";

  // The other buttons keep the framework's own handling and drag nothing.
  f.log.clear();
  SendMessageA(f.Form(), WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(20, 20));
  SendMessageA(f.Form(), WM_RBUTTONUP, 0, MAKELPARAM(20, 20));
  EXPECT_EQ(f.log, (std::vector<std::string>{"down right 10,10", "up right 10,10"}));
  EXPECT_FALSE(TakeDragRequest(f.Form(), msg));
}

// Counts what reaches the shown picture.
class TCountingImage : public TMyImage {
 public:
  using TMyImage::TMyImage;
  int changes = 0;

 protected:
  void PictureChanged(TObject* sender) override {
    ++changes;
    TMyImage::PictureChanged(sender);
  }
};

void SetSize(TPicture& picture, int width, int height) {
  TBitmap bitmap(width, height);
  picture.SetBitmap(&bitmap);
}

TEST(Myimage, SetPicCopiesOnlyWhenTheStateFlips) {
  TCountingImage image(nullptr);
  SetSize(*image.Picture(), 5, 5);
  TPicture active, inactive;
  SetSize(active, 2, 2);
  SetSize(inactive, 3, 3);
  image.SetActPicture(&active);
  image.SetInActPicture(&inactive);
  image.changes = 0;

  // Fresh controls start inactive: the picture read from the form stays.
  image.SetPic(false);
  EXPECT_EQ(image.changes, 0);
  EXPECT_EQ(image.Picture()->Width(), 5);

  image.SetPic(true);
  EXPECT_TRUE(image.Active());
  EXPECT_EQ(image.Picture()->Width(), 2);
  const int afterFirst = image.changes;
  EXPECT_GT(afterFirst, 0);
  image.SetPic(true);
  EXPECT_EQ(image.changes, afterFirst);

  // The pictures are copies: the caller's objects stay its own.
  EXPECT_NE(image.ActivePic(), &active);
  EXPECT_EQ(active.Width(), 2);

  image.SetPic(false);
  EXPECT_EQ(image.Picture()->Width(), 3);
}

TEST(Myimage, ChangingTheActivePictureWhileActiveShowsOnlyAfterTheNextFlip) {
  TMyImage image(nullptr);
  TPicture first, second;
  SetSize(first, 2, 2);
  SetSize(second, 7, 7);
  image.SetActPicture(&first);
  image.SetPic(true);
  image.SetActPicture(&second);
  EXPECT_EQ(image.ActivePic()->Width(), 7);
  EXPECT_EQ(image.Picture()->Width(), 2);
  image.SetPic(false);
  image.SetPic(true);
  EXPECT_EQ(image.Picture()->Width(), 7);
}

class TMyImageTestForm : public TForm {
  ZX_CLASS(TMyImageTestForm, TForm)
 public:
  using TForm::TForm;
};

const TClassInfo& TMyImageTestForm::StaticClass() {
  static const TClassInfo info = DefineClass<TMyImageTestForm>("TMyImageTestForm");
  return info;
}

TEST(Myimage, StreamsItsPicturesAndWritesEnableDropOnlyWhenOn) {
  RegisterClassInfo(TMyImage::StaticClass());
  auto form = std::make_unique<TMyImageTestForm>(nullptr);
  form->SetName("MyImageTestForm");
  auto* image = new TMyImage(form.get());
  image->SetName("MyImage1");
  image->SetParent(form.get());
  EXPECT_EQ(WriteComponentText(form.get()).find("EnableDrop"), std::string::npos);
  image->EnableDrop = true;
  SetSize(*image->ActivePic(), 4, 3);
  SetSize(*image->Picture(), 6, 2);
  std::string text = WriteComponentText(form.get());
  EXPECT_NE(text.find("EnableDrop = True"), std::string::npos) << text;

  auto copy = std::make_unique<TMyImageTestForm>(nullptr);
  ReadComponentText(copy.get(), text);
  auto* read = dynamic_cast<TMyImage*>(copy->FindComponent("MyImage1"));
  ASSERT_NE(read, nullptr);
  EXPECT_TRUE(read->EnableDrop);
  EXPECT_EQ(read->ActivePic()->Width(), 4);
  EXPECT_EQ(read->ActivePic()->Height(), 3);
  EXPECT_EQ(read->InActivePic()->Graphic(), nullptr);
  EXPECT_EQ(read->Picture()->Width(), 6);
}

TEST(Myimage, RegistersOnTheSamplesPage) {
  Myimage::Register();
  auto samples = PaletteClasses("Samples");
  EXPECT_NE(std::find(samples.begin(), samples.end(), &TMyImage::StaticClass()), samples.end());
  EXPECT_EQ(FindClass("TMyImage"), &TMyImage::StaticClass());
  EXPECT_TRUE(TMyImage::StaticClass().InheritsFrom(TImage::StaticClass()));
}

}  // namespace
