// The input box driven for real: a thread timer finds the dialog window while
// its modal loop runs, looks at it, types into it and presses its buttons.

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "Dialogs.h"
#include "Forms.h"

namespace {

using Action = std::function<void(HWND dialog, HWND edit)>;

struct Script {
  std::string caption;
  Action act;
  bool acted = false;
  int ticksAfter = 0;
  bool forcedClose = false;
};
Script* script = nullptr;

void CALLBACK DriveDialog(HWND, UINT, UINT_PTR, DWORD) {
  if (!script) return;
  HWND dialog = FindWindowA("TInputQueryForm", script->caption.c_str());
  if (!dialog || !IsWindowVisible(dialog)) return;
  if (!script->acted) {
    script->acted = true;
    script->act(dialog, FindWindowExA(dialog, nullptr, "TEdit", nullptr));
    return;
  }
  // The action should have closed the box; never let a failing test hang.
  if (++script->ticksAfter > 100 && !script->forcedClose) {
    script->forcedClose = true;
    PostMessageA(dialog, WM_CLOSE, 0, 0);
  }
}

// Runs `show` while `act` plays the user in the dialog titled `caption`.
template <class Show>
auto Play(const std::string& caption, Action act, Show show) {
  Script s{caption, std::move(act)};
  script = &s;
  UINT_PTR timer = SetTimer(nullptr, 0, 20, &DriveDialog);
  auto result = show();
  KillTimer(nullptr, timer);
  script = nullptr;
  EXPECT_TRUE(s.acted) << "the dialog was never found";
  EXPECT_FALSE(s.forcedClose) << "the dialog stayed open";
  return result;
}

bool Drive(const std::string& caption, const std::string& prompt, std::string& value, Action act) {
  return Play(caption, std::move(act), [&] { return InputQuery(caption, prompt, value); });
}

HWND Child(HWND dialog, const char* cls, const char* text = nullptr) {
  return FindWindowExA(dialog, nullptr, cls, text);
}

std::string Text(HWND window) {
  char buffer[1024] = {};
  GetWindowTextA(window, buffer, sizeof buffer);
  return buffer;
}

void Click(HWND dialog, const char* button) {
  HWND b = Child(dialog, "TButton", button);
  ASSERT_NE(b, nullptr) << button;
  SendMessageA(b, BM_CLICK, 0, 0);
}

void Key(HWND window, WORD key) {
  SendMessageA(window, WM_KEYDOWN, key, 1);
  SendMessageA(window, WM_CHAR, key == VK_RETURN ? '\r' : key == VK_ESCAPE ? '\x1b' : key, 1);
  SendMessageA(window, WM_KEYUP, key, 0xC0000001);
}

class DialogsTest : public testing::Test {
 protected:
  void SetUp() override { InitApplication(); }
};

}  // namespace

TEST_F(DialogsTest, OkReturnsTheEditedTextOfAProperDialog) {
  const std::string prompt =
      "Add a URL to white list: a prompt long enough to need more than one line in a dialog of this width";
  std::string value = "http://old.example/";
  bool result = Drive("Add URL", prompt, value, [&](HWND dialog, HWND edit) {
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(Text(dialog), "Add URL");
    EXPECT_NE(GetWindowLongPtrA(dialog, GWL_EXSTYLE) & WS_EX_DLGMODALFRAME, 0);
    EXPECT_NE(GetWindowLongPtrA(dialog, GWL_STYLE) & WS_CAPTION, 0);
    RECT r{};
    GetWindowRect(dialog, &r);
    EXPECT_NEAR((r.left + r.right) / 2, GetSystemMetrics(SM_CXSCREEN) / 2, 1);
    EXPECT_NEAR((r.top + r.bottom) / 2, GetSystemMetrics(SM_CYSCREEN) / 2, 1);

    // The prompt wraps onto several lines above the field.
    HWND label = Child(dialog, "TPromptLabel");
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(Text(label), prompt);
    RECT labelRect{}, editRect{};
    GetWindowRect(label, &labelRect);
    GetWindowRect(edit, &editRect);
    EXPECT_LE(labelRect.right, r.right);
    EXPECT_LE(labelRect.bottom, editRect.top);

    // The field holds the text, all of it selected, and takes at most 255 characters.
    EXPECT_EQ(Text(edit), "http://old.example/");
    DWORD start = 1, end = 0;
    SendMessageA(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(start, 0u);
    EXPECT_EQ(end, 19u);
    EXPECT_EQ(SendMessageA(edit, EM_GETLIMITTEXT, 0, 0), 255);
    EXPECT_EQ(GetFocus(), edit);

    HWND ok = Child(dialog, "TButton", "OK");
    ASSERT_NE(ok, nullptr);
    EXPECT_NE(GetWindowLongPtrA(ok, GWL_STYLE) & BS_DEFPUSHBUTTON, 0);
    ASSERT_NE(Child(dialog, "TButton", "Cancel"), nullptr);

    SetWindowTextA(edit, "http://new.example/");
    Click(dialog, "OK");
  });
  EXPECT_TRUE(result);
  EXPECT_EQ(value, "http://new.example/");
  EXPECT_EQ(FindWindowA("TInputQueryForm", "Add URL"), nullptr);
}

TEST_F(DialogsTest, CancelKeepsTheTextWhateverWasTyped) {
  std::string value = "kept";
  bool result = Drive("Edit", "Edit URL:", value, [](HWND dialog, HWND edit) {
    SetWindowTextA(edit, "changed");
    Click(dialog, "Cancel");
  });
  EXPECT_FALSE(result);
  EXPECT_EQ(value, "kept");
  // Closing the box by its frame is a cancel too.
  result = Drive("Edit", "Edit URL:", value, [](HWND dialog, HWND edit) {
    SetWindowTextA(edit, "changed");
    SendMessageA(dialog, WM_CLOSE, 0, 0);
  });
  EXPECT_FALSE(result);
  EXPECT_EQ(value, "kept");
}

TEST_F(DialogsTest, OkWithAnEmptyFieldGivesTheEmptyText) {
  std::string value = "something";
  bool result = Drive("Add URL", "Add a URL to black list:", value, [](HWND dialog, HWND edit) {
    // Typing over the selection replaces it; backspace empties the field.
    SendMessageA(edit, WM_CHAR, VK_BACK, 1);
    EXPECT_EQ(Text(edit), "");
    Click(dialog, "OK");
  });
  EXPECT_TRUE(result);
  EXPECT_EQ(value, "");
}

TEST_F(DialogsTest, TypingStopsAt255AndEnterIsOk) {
  std::string value = "old";
  bool result = Drive("Add URL", "Add a URL to white list:", value, [](HWND, HWND edit) {
    for (int i = 0; i < 300; ++i) SendMessageA(edit, WM_CHAR, 'a' + i % 26, 1);
    EXPECT_EQ(GetWindowTextLengthA(edit), 255);
    Key(edit, VK_RETURN);
  });
  EXPECT_TRUE(result);
  ASSERT_EQ(value.size(), 255u);
  EXPECT_EQ(value.substr(0, 3), "abc");
}

TEST_F(DialogsTest, EscapeIsCancel) {
  std::string value = "old";
  bool result = Drive("Edit", "Edit URL:", value, [](HWND, HWND edit) {
    SendMessageA(edit, WM_CHAR, 'x', 1);
    Key(edit, VK_ESCAPE);
  });
  EXPECT_FALSE(result);
  EXPECT_EQ(value, "old");
}

TEST_F(DialogsTest, ALongerTextHandedInIsNotCutByConfirmingIt) {
  // Only typing is limited: confirming a long entry unchanged must not lose its end.
  std::string value(300, 'q');
  bool result = Drive("Edit", "Edit URL:", value, [](HWND dialog, HWND edit) {
    EXPECT_EQ(GetWindowTextLengthA(edit), 300);
    Click(dialog, "OK");
  });
  EXPECT_TRUE(result);
  EXPECT_EQ(value, std::string(300, 'q'));
}

TEST_F(DialogsTest, InputBoxGivesTheDefaultUnlessOk) {
  std::string result = Play("Box", [](HWND dialog, HWND edit) {
    SetWindowTextA(edit, "typed");
    Click(dialog, "Cancel");
  }, [] { return InputBox("Box", "Prompt:", "dflt"); });
  EXPECT_EQ(result, "dflt");
}
