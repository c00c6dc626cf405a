#include "Vexlolabel.h"

#include <algorithm>

#include "Panel.h"

const std::vector<std::string> VexloBorderNames = {"boNone", "boSingle", "boRaised", "boLowered"};
const std::vector<std::string> VexloBlinkNames = {"blNone", "blBlink", "blHiLo"};

namespace {
constexpr size_t kMaxText = 255;
}  // namespace

const TClassInfo& TVexloLabel::StaticClass() {
  static const TClassInfo info = DefineClass<TVexloLabel>("TVexloLabel", [](TClassBuilder<TVexloLabel>& c) {
    c.Color("HiColor", &TVexloLabel::HiColor, &TVexloLabel::SetHiColor, clBlue, false)
        .Color("LoColor", &TVexloLabel::LoColor, &TVexloLabel::SetLoColor, clNavy, false)
        .Enum("Border", VexloBorderNames, &TVexloLabel::Border, &TVexloLabel::SetBorder, boNone, false)
        .Bool("Ctl3D", &TVexloLabel::Ctl3D, &TVexloLabel::SetCtl3D, true, false)
        .Int("BlinkInterval", &TVexloLabel::BlinkInterval, &TVexloLabel::SetInterval, 300, false)
        .Enum("Blink", VexloBlinkNames, &TVexloLabel::Blink, &TVexloLabel::SetBlink, blNone, false)
        .Color("ShadowColor", &TVexloLabel::ShadowColor, &TVexloLabel::SetShadowColor, clBtnHighlight)
        .Int("Deep", &TVexloLabel::Deep, &TVexloLabel::SetDeep, 1, false);
  });
  return info;
}

TVexloLabel::TVexloLabel(TComponent* owner) : TLabel(owner) {
  timer_ = new TTimer(this);
  timer_->SetInterval(static_cast<unsigned>(blinkInterval_));
  timer_->SetEnabled(false);
  timer_->SetOnTimer(TNotifyEvent(this, &TVexloLabel::FTimerOnTimer));
  savedColor_ = Font()->Color();
  // Room for the shadow: one pixel wider and taller than a plain label.
  SetBounds(Left(), Top(), Width() + deep_, Height() + deep_);
}

TVexloLabel::~TVexloLabel() = default;

void TVexloLabel::SetHiColor(TColor value) {
  if (hiColor_ == value) return;
  hiColor_ = value;
  Invalidate();
}

void TVexloLabel::SetLoColor(TColor value) {
  if (loColor_ == value) return;
  loColor_ = value;
  Invalidate();
}

void TVexloLabel::SetShadowColor(TColor value) {
  if (shadowColor_ == value) return;
  shadowColor_ = value;
  Invalidate();
}

void TVexloLabel::SetBorder(TVexloBorder value) {
  if (border_ == value) return;
  border_ = value;
  Invalidate();
}

void TVexloLabel::SetCtl3D(bool value) {
  if (ctl3D_ == value) return;
  ctl3D_ = value;
  Invalidate();
}

void TVexloLabel::SetDeep(int value) {
  if (value == deep_ || value <= 0 || value >= 3) return;
  deep_ = static_cast<uint8_t>(value);
  Invalidate();
}

void TVexloLabel::SetInterval(int value) {
  if (value == blinkInterval_) return;
  blinkInterval_ = value;
  // The timer counts unsigned milliseconds: a negative interval stops it
  // rather than turning into a wait of seven weeks.
  timer_->SetInterval(static_cast<unsigned>(std::max(value, 0)));
  Invalidate();
}

void TVexloLabel::SetBlink(TVexloBlink mode) {
  if (mode == blink_) return;
  blink_ = mode;
  if (mode == blBlink)
    savedColor_ = Font()->Color();
  else
    Font()->SetColor(savedColor_);
  timer_->SetEnabled(mode != blNone);
  Invalidate();
}

void TVexloLabel::FTimerOnTimer(TObject*) {
  if (blink_ == blHiLo) {
    Font()->SetColor(Font()->Color() == hiColor_ ? loColor_ : hiColor_);
    return;
  }
  Font()->SetColor(Font()->Color() == Color() ? savedColor_ : Color());
}

void TVexloLabel::Paint() {
  TCanvas& canvas = *Canvas();
  const RECT client = ClientRect();
  if (!Transparent()) {
    canvas.Brush()->SetStyle(bsSolid);
    canvas.Brush()->SetColor(Color());
    canvas.FillRect(client);
  }
  canvas.Brush()->SetStyle(bsClear);

  // The frame leaves the last column and row of the label free.
  RECT frame{client.left, client.top, client.right - 1, client.bottom - 1};
  switch (border_) {
    case boSingle: Frame3D(canvas, frame, clWindowFrame, clWindowFrame, 1); break;
    case boRaised: Frame3D(canvas, frame, clBtnHighlight, clBtnShadow, 1); break;
    case boLowered: Frame3D(canvas, frame, clBtnShadow, clBtnHighlight, 1); break;
    case boNone: break;
  }

  UINT flags = DT_EXPANDTABS | DT_WORDBREAK | AlignmentFlag(Alignment());
  if (!ShowAccelChar()) flags |= DT_NOPREFIX;
  const std::string& caption = Caption();
  const char* text = caption.c_str();
  const int length = static_cast<int>(std::min(caption.size(), kMaxText));

  // A font in the label's own colour draws nothing: that is the hidden phase of blinking.
  const TColor fontColor = Font()->Color();
  canvas.Font()->Assign(Font());
  canvas.Font()->SetColor(shadowColor_);
  if (ctl3D_ && fontColor != Color()) {
    RECT shadow{client.left + deep_, client.top + deep_, client.right + deep_, client.bottom + deep_};
    DrawTextA(canvas.Handle(), text, length, &shadow, flags);
  }
  canvas.Font()->SetColor(Enabled() ? fontColor : clGrayText);
  if (fontColor != Color()) {
    RECT r = client;
    DrawTextA(canvas.Handle(), text, length, &r, flags);
  }
}

void Vexlolabel::Register() { RegisterComponents("Vexlo", {&TVexloLabel::StaticClass()}); }
