// The utility window (AllocateHWnd) and the timer that runs on it, pumped
// through the application's message loop.

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "Forms.h"
#include "Timer.h"
#include "ExceptionCapture.h"

namespace {

// Handles messages through the application until `done` holds or `ms`
// milliseconds have passed; waits for messages in between, never sleeps blind.
bool PumpUntil(const std::function<bool()>& done, DWORD ms) {
  const DWORD start = GetTickCount();
  for (;;) {
    while (Application->HandleMessage()) {
      if (done()) return true;
    }
    if (done()) return true;
    DWORD elapsed = GetTickCount() - start;
    if (elapsed >= ms) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, ms - elapsed, QS_ALLINPUT);
  }
}

void PumpFor(DWORD ms) { PumpUntil([] { return false; }, ms); }


// ---------------------------------------------------------------------------
// AllocateHWnd

TEST(Timer, UtilityWindowSendsItsMessagesToTheMethod) {
  ExceptionCapture capture;
  auto token = std::make_shared<int>(0);
  std::weak_ptr<int> watch = token;
  int posted = 0;
  HWND h = nullptr;
  h = AllocateHWnd([token, &posted, &h](TMessage& m) {
    switch (m.Msg) {
      case WM_APP: m.Result = static_cast<LRESULT>(m.WParam + m.LParam); return;
      case WM_APP + 1: ++posted; return;
      case WM_APP + 2: throw Exception("the method failed");
      default: m.Result = DefWindowProcA(h, m.Msg, m.WParam, m.LParam);
    }
  });
  token.reset();
  ASSERT_NE(h, nullptr);
  char name[32] = {};
  GetClassNameA(h, name, sizeof name);
  EXPECT_STREQ(name, "TPUtilWindow");
  EXPECT_FALSE(IsWindowVisible(h));
  EXPECT_FALSE(GetWindowLongPtrA(h, GWL_STYLE) & WS_CHILD);

  EXPECT_EQ(SendMessageA(h, WM_APP, 30, 12), 42);
  PostMessageA(h, WM_APP + 1, 0, 0);
  EXPECT_TRUE(PumpUntil([&] { return posted == 1; }, 5000));
  // What the method leaves to the default procedure gets the default handling.
  SendMessageA(h, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("util"));
  char text[16] = {};
  GetWindowTextA(h, text, sizeof text);
  EXPECT_STREQ(text, "util");

  // An exception is handed to the application and the window lives on.
  EXPECT_EQ(SendMessageA(h, WM_APP + 2, 0, 0), 0);
  EXPECT_EQ(capture.count, 1);
  EXPECT_EQ(capture.text, "the method failed");
  EXPECT_EQ(SendMessageA(h, WM_APP, 1, 2), 3);

  EXPECT_FALSE(watch.expired());
  DeallocateHWnd(h);
  EXPECT_FALSE(IsWindow(h));
  EXPECT_TRUE(watch.expired());  // the method went with the window
  DeallocateHWnd(nullptr);
}

// ---------------------------------------------------------------------------
// TTimer

TEST(Timer, RunsOnlyEnabledWithAnIntervalAndAHandler) {
  InitApplication();
  TTimer timer(nullptr);
  EXPECT_TRUE(timer.Enabled());
  EXPECT_EQ(timer.Interval(), 1000u);
  EXPECT_FALSE(timer.Running());
  const TNotifyEvent handler([](TObject*) {});
  struct Step {
    const char* what;
    std::function<void()> change;
    bool running;
  } steps[] = {
      {"a handler", [&] { timer.SetOnTimer(handler); }, true},
      {"disabled", [&] { timer.SetEnabled(false); }, false},
      {"interval while disabled", [&] { timer.SetInterval(20); }, false},
      {"enabled", [&] { timer.SetEnabled(true); }, true},
      {"interval 0", [&] { timer.SetInterval(0); }, false},
      {"interval again", [&] { timer.SetInterval(15); }, true},
      {"handler removed", [&] { timer.SetOnTimer(TNotifyEvent()); }, false},
      {"handler back", [&] { timer.SetOnTimer(handler); }, true},
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(s.what);
    s.change();
    EXPECT_EQ(timer.Running(), s.running);
  }
}

TEST(Timer, TicksThroughTheMessageLoopAndRestartsOnChanges) {
  InitApplication();
  TTimer timer(nullptr);
  int ticks = 0;
  TObject* sender = nullptr;
  timer.SetInterval(10);
  timer.SetOnTimer(TNotifyEvent([&](TObject* s) {
    ++ticks;
    sender = s;
  }));
  EXPECT_TRUE(PumpUntil([&] { return ticks >= 3; }, 5000));
  EXPECT_EQ(sender, &timer);

  // A long interval set while running replaces the short one at once.
  timer.SetInterval(60000);
  PumpFor(20);  // a tick already due may still arrive
  int before = ticks;
  PumpFor(200);
  EXPECT_EQ(ticks, before);

  timer.SetInterval(10);
  EXPECT_TRUE(PumpUntil([&] { return ticks >= before + 2; }, 5000));

  timer.SetEnabled(false);
  before = ticks;
  PumpFor(150);
  EXPECT_EQ(ticks, before);
  timer.SetEnabled(true);
  EXPECT_TRUE(PumpUntil([&] { return ticks > before; }, 5000));
}

TEST(Timer, DestroyingARunningTimerIsSafe) {
  InitApplication();
  int ticks = 0;
  // Freed while its system timer runs: no tick arrives afterwards.
  auto* timer = new TTimer(nullptr);
  timer->SetInterval(1);
  timer->SetOnTimer(TNotifyEvent([&](TObject*) { ++ticks; }));
  ASSERT_TRUE(timer->Running());
  delete timer;
  PumpFor(50);
  EXPECT_EQ(ticks, 0);

  // Freed by its own handler, inside the message it is handling.
  bool freed = false;
  timer = new TTimer(nullptr);
  timer->SetInterval(5);
  timer->SetOnTimer(TNotifyEvent([&](TObject* s) {
    ++ticks;
    delete static_cast<TTimer*>(s);
    freed = true;
  }));
  EXPECT_TRUE(PumpUntil([&] { return freed; }, 5000));
  PumpFor(50);
  EXPECT_EQ(ticks, 1);

  // Freed with its owner.
  auto owner = std::make_unique<TComponent>(nullptr);
  timer = new TTimer(owner.get());
  timer->SetInterval(1);
  timer->SetOnTimer(TNotifyEvent([&](TObject*) { ++ticks; }));
  owner.reset();
  PumpFor(50);
  EXPECT_EQ(ticks, 1);
}

TEST(Timer, ExceptionInOnTimerGoesToTheApplication) {
  ExceptionCapture capture;
  TTimer timer(nullptr);
  int ticks = 0;
  timer.SetInterval(5);
  timer.SetOnTimer(TNotifyEvent([&](TObject*) {
    if (++ticks == 1) throw Exception("tick failed");
  }));
  EXPECT_TRUE(PumpUntil([&] { return ticks >= 2; }, 5000));
  EXPECT_EQ(capture.count, 1);
  EXPECT_EQ(capture.text, "tick failed");
  EXPECT_TRUE(timer.Running());
}

}  // namespace
