#pragma once
// The real mouse, moved as the user's hand would move it. Tests share one
// display, so a test that depends on where the pointer stands puts it there
// itself instead of finding it where an earlier test left it.

#include <windows.h>

namespace testsupport {

// Handles the queued messages for about `ms` milliseconds.
inline void PumpFor(DWORD ms) {
  const DWORD start = GetTickCount();
  while (GetTickCount() - start < ms) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
  }
}

// Moves the pointer to a screen point. The display's own pointer follows a
// little later and may report the old place once more: the move is made again
// when that has settled.
inline void MoveMouseTo(POINT p) {
  INPUT input{};
  input.type = INPUT_MOUSE;
  input.mi.dx = static_cast<LONG>((p.x * 65536 + 32768) / GetSystemMetrics(SM_CXSCREEN));
  input.mi.dy = static_cast<LONG>((p.y * 65536 + 32768) / GetSystemMetrics(SM_CYSCREEN));
  input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
  for (int i = 0; i < 2; ++i) {
    SendInput(1, &input, sizeof input);
    PumpFor(150);
  }
}

}  // namespace testsupport
