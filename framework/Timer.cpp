#include "Timer.h"

extern void (*HandleWindowProcException)(TObject* sender);

namespace {
const char* const kUtilClass = "TPUtilWindow";

struct UtilWindow {
  std::function<void(TMessage&)> method;
};

LRESULT CALLBACK UtilWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto* data = reinterpret_cast<UtilWindow*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  if (!data || !data->method) return DefWindowProcA(hwnd, msg, wParam, lParam);
  TMessage m{msg, wParam, lParam, 0};
  try {
    data->method(m);
  } catch (...) {
    if (HandleWindowProcException) HandleWindowProcException(nullptr);
  }
  return m.Result;
}
}  // namespace

HWND AllocateHWnd(std::function<void(TMessage&)> method) {
  HINSTANCE instance = GetModuleHandleA(nullptr);
  WNDCLASSA wc{};
  if (!GetClassInfoA(instance, kUtilClass, &wc)) {
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = instance;
    wc.lpszClassName = kUtilClass;
    if (!RegisterClassA(&wc)) throw EOutOfResources("Cannot register the utility window class");
  }
  HWND h = CreateWindowExA(WS_EX_TOOLWINDOW, kUtilClass, "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                           instance, nullptr);
  if (!h) throw EOutOfResources("Cannot create a utility window");
  auto* data = new UtilWindow{std::move(method)};
  SetWindowLongPtrA(h, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(data));
  SetWindowLongPtrA(h, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&UtilWindowProc));
  return h;
}

void DeallocateHWnd(HWND window) {
  if (!window) return;
  auto* data = reinterpret_cast<UtilWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  SetWindowLongPtrA(window, GWLP_USERDATA, 0);
  DestroyWindow(window);
  delete data;
}

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
