#include "Dialogs.h"

#include <windows.h>

#include <algorithm>
#include <memory>

#include "Forms.h"
#include "Stdctrls.h"

namespace {

constexpr int kMaxInputLength = 255;

// The prompt: a static text that breaks its lines between words.
class TPromptLabel : public TWinControl {
  ZX_CLASS(TPromptLabel, TWinControl)
 public:
  explicit TPromptLabel(TComponent* owner) : TWinControl(owner) {
    ControlStyle = {csSetCaption};
    SetParentColor(true);
  }

 protected:
  void CreateParams(TCreateParams& p) override {
    inherited::CreateParams(p);
    CreateSubClass(p, "STATIC");
    p.Style |= SS_LEFT;
  }
};

const TClassInfo& TPromptLabel::StaticClass() {
  static const TClassInfo info = DefineClass<TPromptLabel>("TPromptLabel");
  return info;
}

// The input box's form, laid out in code for its prompt and the form's font.
class TInputQueryForm : public TForm {
  ZX_CLASS(TInputQueryForm, TForm)
 public:
  TInputQueryForm(const std::string& caption, const std::string& prompt);
  TEdit* Edit() const { return edit_; }

 private:
  TPromptLabel* prompt_ = nullptr;
  TEdit* edit_ = nullptr;
  TButton* ok_ = nullptr;
  TButton* cancel_ = nullptr;
};

const TClassInfo& TInputQueryForm::StaticClass() {
  static const TClassInfo info = DefineClass<TInputQueryForm>("TInputQueryForm");
  return info;
}

TInputQueryForm::TInputQueryForm(const std::string& caption, const std::string& prompt) : TForm(nullptr) {
  SetBorderStyle(bsDialog);
  SetPosition(poScreenCenter);
  SetCaption(caption);

  // Sizes follow the font: the average character width and the line height.
  Gdi::WindowDc screen(nullptr);
  Gdi::Selection font(screen.get(), Font()->Handle());
  TEXTMETRICA metrics{};
  GetTextMetricsA(screen.get(), &metrics);
  static const char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
  SIZE letters{};
  GetTextExtentPoint32A(screen.get(), kLetters, 52, &letters);
  int charWidth = std::max<int>((letters.cx + 26) / 52, 1);
  int lineHeight = std::max<int>(metrics.tmHeight, 1);

  int margin = 2 * charWidth;
  int width = 45 * charWidth;
  int inner = width - 2 * margin;
  RECT text{0, 0, inner, 0};
  DrawTextA(screen.get(), prompt.c_str(), static_cast<int>(prompt.size()), &text,
            DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS);
  int promptHeight = std::max<int>(text.bottom - text.top, lineHeight);

  prompt_ = new TPromptLabel(this);
  prompt_->SetParent(this);
  prompt_->SetBounds(margin, margin, inner, promptHeight);
  prompt_->SetCaption(prompt);

  int editTop = margin + promptHeight + lineHeight / 2;
  int editHeight = lineHeight + 8;
  edit_ = new TEdit(this);
  edit_->SetParent(this);
  edit_->SetBounds(margin, editTop, inner, editHeight);

  int buttonWidth = std::max(12 * charWidth, 75);
  int buttonHeight = lineHeight + 10;
  int buttonTop = editTop + editHeight + lineHeight;
  int buttonLeft = (width - (2 * buttonWidth + margin)) / 2;
  ok_ = new TButton(this);
  ok_->SetParent(this);
  ok_->SetBounds(buttonLeft, buttonTop, buttonWidth, buttonHeight);
  ok_->SetCaption("OK");
  ok_->SetDefault(true);
  ok_->SetModalResult(mrOk);
  cancel_ = new TButton(this);
  cancel_->SetParent(this);
  cancel_->SetBounds(buttonLeft + buttonWidth + margin, buttonTop, buttonWidth, buttonHeight);
  cancel_->SetCaption("Cancel");
  cancel_->SetCancel(true);
  cancel_->SetModalResult(mrCancel);

  SetClientWidth(width);
  SetClientHeight(buttonTop + buttonHeight + margin);
}

}  // namespace

bool InputQuery(const std::string& caption, const std::string& prompt, std::string& value) {
  InitApplication();
  auto form = std::make_unique<TInputQueryForm>(caption, prompt);
  TEdit* edit = form->Edit();
  // The limit holds what can be typed; a longer text handed in is kept whole,
  // so that confirming it unchanged does not cut it.
  edit->SetMaxLength(kMaxInputLength);
  edit->SetText(value);
  form->HandleNeeded();
  edit->SelectAll();
  form->SetActiveControl(edit);
  if (form->ShowModal() != mrOk) return false;
  value = edit->Text();
  return true;
}

std::string InputBox(const std::string& caption, const std::string& prompt, const std::string& defaultValue) {
  std::string value = defaultValue;
  InputQuery(caption, prompt, value);
  return value;
}
