#include "Timer.h"

const TClassInfo& TTimer::StaticClass() {
  static const TClassInfo info = DefineClass<TTimer>("TTimer", [](TClassBuilder<TTimer>& c) {
    c.Bool("Enabled", &TTimer::Enabled, &TTimer::SetEnabled, true)
        .Int("Interval", &TTimer::Interval, &TTimer::SetInterval, 1000)
        .EventAcc("OnTimer", &TTimer::OnTimer, &TTimer::SetOnTimer, static_cast<TNotifyEvent*>(nullptr));
  });
  return info;
}

TTimer::TTimer(TComponent* owner) : TComponent(owner) {
  window_ = AllocateHWnd([this](TMessage& m) { WndProc(m); });
}

TTimer::~TTimer() {
  enabled_ = false;
  UpdateTimer();
  DeallocateHWnd(window_);
}

void TTimer::SetEnabled(bool value) {
  if (enabled_ == value) return;
  enabled_ = value;
  UpdateTimer();
}

void TTimer::SetInterval(unsigned value) {
  if (interval_ == value) return;
  interval_ = value;
  UpdateTimer();
}

void TTimer::SetOnTimer(const TNotifyEvent& value) {
  onTimer_ = value;
  UpdateTimer();
}

void TTimer::UpdateTimer() {
  if (running_) KillTimer(window_, 1);
  running_ = false;
  if (enabled_ && interval_ != 0 && onTimer_ && window_) {
    if (!SetTimer(window_, 1, interval_, nullptr)) throw EOutOfResources("Not enough timers available");
    running_ = true;
  }
}

void TTimer::WndProc(TMessage& m) {
  if (m.Msg == WM_TIMER) {
    Timer();
    return;
  }
  m.Result = DefWindowProcA(window_, m.Msg, m.WParam, m.LParam);
}

void TTimer::Timer() {
  if (enabled_ && onTimer_) onTimer_(this);
}
