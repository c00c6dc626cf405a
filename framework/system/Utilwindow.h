#pragma once
// The framework's message record and the hidden utility window through which
// non-visual components (the timer, the tray icon) receive their messages.

#include <windows.h>

#include <functional>

#include "Classes.h"

// The framework's message record: number, parameters and result.
struct TMessage {
  UINT Msg = 0;
  WPARAM WParam = 0;
  LPARAM LParam = 0;
  LRESULT Result = 0;
};

// Set by the application object: receives an exception caught in a window
// procedure (sender may be null), so that none ever leaves one.
extern void (*HandleWindowProcException)(TObject* sender);

// Creates a hidden top-level window of class "TPUtilWindow" whose messages go to
// `method`; the method sets the result. An exception thrown by the method is
// handed to the application object and never leaves the window procedure.
HWND AllocateHWnd(std::function<void(TMessage&)> method);
void DeallocateHWnd(HWND window);
