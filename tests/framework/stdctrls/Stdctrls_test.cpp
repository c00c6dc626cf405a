// Edit fields and push buttons on a shown form: selection on entry, change
// events, limits, clicks with their modal results, and the dialog keys.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Forms.h"
#include "Stdctrls.h"

namespace {

class StdctrlsTest : public testing::Test {
 protected:
  void SetUp() override {
    InitApplication();
    form_ = new TForm(nullptr);
    form_->SetBounds(0, 0, 320, 200);
    edit_ = new TEdit(form_);
    edit_->SetParent(form_);
    edit_->SetBounds(8, 8, 200, 22);
    ok_ = new TButton(form_);
    ok_->SetParent(form_);
    ok_->SetBounds(8, 40, 75, 25);
    ok_->SetCaption("OK");
    cancel_ = new TButton(form_);
    cancel_->SetParent(form_);
    cancel_->SetBounds(100, 40, 75, 25);
    cancel_->SetCaption("Cancel");
    form_->Show();
  }
  void TearDown() override { delete form_; }

  std::pair<DWORD, DWORD> Selection() {
    DWORD start = 0, end = 0;
    SendMessageA(edit_->Handle(), EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    return {start, end};
  }

  TForm* form_ = nullptr;
  TEdit* edit_ = nullptr;
  TButton* ok_ = nullptr;
  TButton* cancel_ = nullptr;
};

}  // namespace

TEST_F(StdctrlsTest, EditSelectsAllOnEntryButNotOnAClick) {
  char cls[32] = {};
  GetClassNameA(edit_->Handle(), cls, sizeof cls);
  EXPECT_STREQ(cls, "TEdit");
  edit_->SetText("hello world");
  ok_->SetFocus();
  edit_->SetFocus();
  ASSERT_EQ(GetFocus(), edit_->Handle());
  EXPECT_EQ(Selection(), (std::pair<DWORD, DWORD>{0, 11}));
  EXPECT_EQ(edit_->SelLength(), 11);

  ok_->SetFocus();
  SendMessageA(edit_->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 5));
  EXPECT_TRUE(edit_->ControlState.Contains(csLButtonDown));
  SendMessageA(edit_->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(2, 5));
  EXPECT_FALSE(edit_->ControlState.Contains(csLButtonDown));
  EXPECT_EQ(GetFocus(), edit_->Handle());
  EXPECT_EQ(edit_->SelLength(), 0);
}

TEST_F(StdctrlsTest, EditLimitsTypingAndReportsChanges) {
  int changes = 0;
  edit_->OnChange = TNotifyEvent([&](TObject* sender) {
    EXPECT_EQ(sender, edit_);
    ++changes;
  });
  edit_->SetMaxLength(3);
  EXPECT_EQ(SendMessageA(edit_->Handle(), EM_GETLIMITTEXT, 0, 0), 3);
  for (char c : std::string("abcdef")) SendMessageA(edit_->Handle(), WM_CHAR, c, 1);
  EXPECT_EQ(edit_->Text(), "abc");
  EXPECT_EQ(changes, 3);
  // The program's own text is not cut.
  edit_->SetText("longer than three");
  EXPECT_EQ(edit_->Text(), "longer than three");
  EXPECT_EQ(changes, 4);

  edit_->SetReadOnly(true);
  SendMessageA(edit_->Handle(), WM_CHAR, 'x', 1);
  EXPECT_EQ(edit_->Text(), "longer than three");
  // Recreating the window keeps text and settings.
  edit_->RecreateWnd();
  EXPECT_EQ(edit_->Text(), "longer than three");
  EXPECT_NE(GetWindowLongPtrA(edit_->Handle(), GWL_STYLE) & ES_READONLY, 0);
  EXPECT_EQ(SendMessageA(edit_->Handle(), EM_GETLIMITTEXT, 0, 0), 3);
}

TEST_F(StdctrlsTest, ButtonClicksSetTheFormsModalResult) {
  std::vector<std::string> log;
  ok_->OnClick = TNotifyEvent([&](TObject*) { log.push_back("ok " + std::to_string(form_->ModalResult)); });
  ok_->SetModalResult(mrOk);
  ok_->SetDefault(true);
  EXPECT_NE(GetWindowLongPtrA(ok_->Handle(), GWL_STYLE) & BS_DEFPUSHBUTTON, 0);
  SendMessageA(ok_->Handle(), BM_CLICK, 0, 0);
  EXPECT_EQ(log, std::vector<std::string>{"ok 1"});  // the result is set before OnClick runs
  EXPECT_EQ(form_->ModalResult, mrOk);

  // A button without a modal result leaves the form's alone.
  form_->ModalResult = mrNone;
  int clicks = 0;
  cancel_->OnClick = TNotifyEvent([&](TObject*) { ++clicks; });
  SendMessageA(cancel_->Handle(), BM_CLICK, 0, 0);
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(form_->ModalResult, mrNone);
  log.clear();
  ok_->OnClick = nullptr;
}

TEST_F(StdctrlsTest, DialogKeysPressDefaultAndCancelAndMoveTheFocus) {
  ok_->SetDefault(true);
  ok_->SetModalResult(mrOk);
  cancel_->SetCancel(true);
  cancel_->SetModalResult(mrCancel);
  HWND edit = edit_->Handle();

  SendMessageA(edit, WM_KEYDOWN, VK_RETURN, 1);
  EXPECT_EQ(form_->ModalResult, mrOk);
  SendMessageA(edit, WM_KEYDOWN, VK_ESCAPE, 1);
  EXPECT_EQ(form_->ModalResult, mrCancel);

  // A disabled default button takes no Enter.
  form_->ModalResult = mrNone;
  ok_->SetEnabled(false);
  SendMessageA(edit, WM_KEYDOWN, VK_RETURN, 1);
  EXPECT_EQ(form_->ModalResult, mrNone);
  ok_->SetEnabled(true);

  // Enter on a focused button presses that button.
  SendMessageA(cancel_->Handle(), WM_KEYDOWN, VK_RETURN, 1);
  EXPECT_EQ(form_->ModalResult, mrCancel);

  edit_->SetFocus();
  SendMessageA(edit, WM_KEYDOWN, VK_TAB, 1);
  EXPECT_EQ(GetFocus(), ok_->Handle());
  SendMessageA(ok_->Handle(), WM_KEYDOWN, VK_TAB, 1);
  EXPECT_EQ(GetFocus(), cancel_->Handle());
}
