#pragma once
// The message-driven timer and the hidden utility window it and other
// non-visual components receive their messages through.

#include <windows.h>

#include <functional>

#include "Classes.h"
#include "Controls.h"

// Creates a hidden top-level window of class "TPUtilWindow" whose messages go to
// `method`; the method sets the result. An exception thrown by the method is
// handed to the application object and never leaves the window procedure.
HWND AllocateHWnd(std::function<void(TMessage&)> method);
void DeallocateHWnd(HWND window);

class TTimer : public TComponent {
  ZX_CLASS(TTimer, TComponent)
 public:
  explicit TTimer(TComponent* owner);
  ~TTimer() override;

  bool Enabled() const { return enabled_; }
  void SetEnabled(bool value);
  unsigned Interval() const { return interval_; }
  void SetInterval(unsigned value);
  const TNotifyEvent& OnTimer() const { return onTimer_; }
  void SetOnTimer(const TNotifyEvent& value);
  // Whether the system timer runs now (enabled, an interval and a handler).
  bool Running() const { return running_; }

 protected:
  virtual void Timer();

 private:
  void UpdateTimer();
  void WndProc(TMessage& m);

  bool enabled_ = true;
  unsigned interval_ = 1000;
  TNotifyEvent onTimer_;
  HWND window_ = nullptr;
  bool running_ = false;
};
