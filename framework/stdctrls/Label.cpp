#include "Label.h"

#include <oleacc.h>

#include <algorithm>
#include <climits>

const std::vector<std::string> AlignmentNames = {"taLeftJustify", "taRightJustify", "taCenter"};
const std::vector<std::string> TextLayoutNames = {"tlTop", "tlCenter", "tlBottom"};

UINT AlignmentFlag(TAlignment alignment) {
  switch (alignment) {
    case taRightJustify: return DT_RIGHT;
    case taCenter: return DT_CENTER;
    default: return DT_LEFT;
  }
}

bool IsAccel(char key, const std::string& text) {
  for (size_t i = 0; i + 1 < text.size(); ++i) {
    if (text[i] != '&') continue;
    if (text[i + 1] == '&') {
      ++i;  // "&&" is a literal ampersand
      continue;
    }
    return SameText(std::string_view(&text[i + 1], 1), std::string_view(&key, 1));
  }
  return false;
}

namespace {
int TextLength(const std::string& text) {
  return static_cast<int>(std::min<size_t>(text.size(), INT_MAX));
}
}  // namespace

const TClassInfo& TLabel::StaticClass() {
  static const TClassInfo info = DefineClass<TLabel>("TLabel", [](TClassBuilder<TLabel>& c) {
    c.Enum("Alignment", AlignmentNames, &TLabel::Alignment, &TLabel::SetAlignment, taLeftJustify)
        .Bool("AutoSize", &TLabel::AutoSize, &TLabel::SetAutoSize, true)
        .Ref<TWinControl>("FocusControl", &TLabel::FocusControl, &TLabel::SetFocusControl)
        .Enum("Layout", TextLayoutNames, &TLabel::Layout, &TLabel::SetLayout, tlTop)
        .Bool("ParentColor", &TLabel::ParentColor, &TLabel::SetParentColor, true)
        .Bool("ShowAccelChar", &TLabel::ShowAccelChar, &TLabel::SetShowAccelChar, true)
        .Bool("Transparent", &TLabel::Transparent, &TLabel::SetTransparent, false)
        .Bool("WordWrap", &TLabel::WordWrap, &TLabel::SetWordWrap, false);
  });
  return info;
}

TLabel::TLabel(TComponent* owner) : TGraphicControl(owner) {
  ControlStyle = ControlStyle + csReplicatable + csOpaque;
  SetBounds(0, 0, 65, 17);
  // A label shows on whatever it is placed on unless it is given a colour of its own.
  SetColor(clBtnFace);
  SetParentColor(true);
}

TLabel::~TLabel() = default;

void TLabel::Dispatch(TMessage& m) {
  switch (m.Msg) {
    case CM_TEXTCHANGED: return CMTextChanged(m);
    case CM_FONTCHANGED: return CMFontChanged(m);
    case CM_DIALOGCHAR: return CMDialogChar(m);
    default: return inherited::Dispatch(m);
  }
}

void TLabel::Loaded() {
  inherited::Loaded();
  AdjustBounds();
}

void TLabel::Notification(TComponent* component, TOperation operation) {
  inherited::Notification(component, operation);
  if (operation == opRemove && component == focusControl_) focusControl_ = nullptr;
}

void TLabel::SetAlignment(TAlignment value) {
  if (alignment_ == value) return;
  alignment_ = value;
  Invalidate();
}

void TLabel::SetLayout(TTextLayout value) {
  if (layout_ == value) return;
  layout_ = value;
  Invalidate();
}

void TLabel::SetWordWrap(bool value) {
  if (wordWrap_ == value) return;
  wordWrap_ = value;
  AdjustBounds();
  Invalidate();
}

void TLabel::SetTransparent(bool value) {
  if (transparent_ == value) return;
  transparent_ = value;
  // The parent paints what lies under a transparent label, so it must not be treated as opaque.
  if (value)
    ControlStyle >> csOpaque;
  else
    ControlStyle << csOpaque;
  Invalidate();
}

void TLabel::SetShowAccelChar(bool value) {
  if (showAccelChar_ == value) return;
  showAccelChar_ = value;
  Invalidate();
}

void TLabel::SetAutoSize(bool value) {
  if (autoSize_ == value) return;
  autoSize_ = value;
  AdjustBounds();
}

void TLabel::SetFocusControl(TWinControl* value) {
  if (focusControl_ == value) return;
  if (focusControl_) focusControl_->RemoveFreeNotification(this);
  focusControl_ = value;
  if (value) value->FreeNotification(this);
}

std::string TLabel::GetLabelText() const { return Caption(); }

void TLabel::DoDrawText(RECT& rect, UINT flags) {
  std::string text = GetLabelText();
  // An empty caption (or a lone accelerator mark) still measures one line high.
  if ((flags & DT_CALCRECT) && (text.empty() || (showAccelChar_ && text == "&"))) text += ' ';
  if (!showAccelChar_) flags |= DT_NOPREFIX;
  TCanvas& canvas = *Canvas();
  canvas.Font()->Assign(Font());
  const int length = TextLength(text);
  if (Enabled() || (flags & DT_CALCRECT)) {
    DrawTextA(canvas.Handle(), text.c_str(), length, &rect, flags);
    return;
  }
  // Disabled: a light copy one pixel down and right under a shadow-coloured copy looks engraved.
  OffsetRect(&rect, 1, 1);
  canvas.Font()->SetColor(clBtnHighlight);
  DrawTextA(canvas.Handle(), text.c_str(), length, &rect, flags);
  OffsetRect(&rect, -1, -1);
  canvas.Font()->SetColor(clBtnShadow);
  DrawTextA(canvas.Handle(), text.c_str(), length, &rect, flags);
}

void TLabel::Paint() {
  TCanvas& canvas = *Canvas();
  RECT client = ClientRect();
  if (!transparent_) {
    canvas.Brush()->SetColor(Color());
    canvas.Brush()->SetStyle(bsSolid);
    canvas.FillRect(client);
  }
  canvas.Brush()->SetStyle(bsClear);
  UINT flags = DT_EXPANDTABS | AlignmentFlag(alignment_);
  if (wordWrap_) flags |= DT_WORDBREAK;
  RECT r = client;
  if (layout_ != tlTop) {
    RECT calc = client;
    DoDrawText(calc, flags | DT_CALCRECT);
    int textHeight = calc.bottom - calc.top;
    int offset = layout_ == tlBottom ? Height() - textHeight : (Height() - textHeight) / 2;
    OffsetRect(&r, 0, offset);
  }
  DoDrawText(r, flags);
}

void TLabel::AdjustBounds() {
  if (!autoSize_ || ComponentState().Contains(csLoading)) return;
  Gdi::WindowDc screen(nullptr);
  if (!screen) return;
  RECT r = ClientRect();
  {
    TCanvasLease lease(*Canvas(), screen.get());
    UINT flags = DT_EXPANDTABS | DT_CALCRECT;
    if (wordWrap_) flags |= DT_WORDBREAK;
    DoDrawText(r, flags);
  }
  int newWidth = r.right - r.left;
  int newHeight = r.bottom - r.top;
  int x = Left();
  if (alignment_ == taRightJustify) x += Width() - newWidth;
  SetBounds(x, Top(), newWidth, newHeight);
}

void TLabel::CMTextChanged(TMessage&) {
  Invalidate();
  AdjustBounds();
}

void TLabel::CMFontChanged(TMessage& m) {
  TControl::CMFontChanged(m);
  AdjustBounds();
}

int TLabel::AccessibleRole() const { return IsLink() ? ROLE_SYSTEM_LINK : ROLE_SYSTEM_STATICTEXT; }

unsigned TLabel::AccessibleState() const { return IsLink() ? STATE_SYSTEM_LINKED : STATE_SYSTEM_READONLY; }

// Alt and the caption's letter: the focus goes to FocusControl, or a link
// without one is followed.
void TLabel::CMDialogChar(TMessage& m) {
  if (!Enabled() || !showAccelChar_) return;
  if (!IsAccel(static_cast<char>(m.WParam), Caption())) return;
  if (!focusControl_) {
    if (!IsLink() || !Showing()) return;
    Click();
    m.Result = 1;
    return;
  }
  if (!focusControl_->CanFocus()) return;
  focusControl_->SetFocus();
  m.Result = 1;
}
