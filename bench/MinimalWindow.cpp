// The yardstick of the start-up benchmark: the least a Win32 program must do
// to behave like Zapnix at start — one 408 × 373 popup window, shown, hidden
// again at its first paint, and alive until it is asked to close.
#include <windows.h>

namespace {

constexpr char kClassName[] = "ZxMinimalWindow";
bool g_hideAtFirstPaint = true;

LRESULT CALLBACK MinimalWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT paint;
      BeginPaint(window, &paint);
      EndPaint(window, &paint);
      if (g_hideAtFirstPaint) {
        g_hideAtFirstPaint = false;
        ShowWindow(window, SW_HIDE);
      }
      return 0;
    }
    case WM_CLOSE:
      DestroyWindow(window);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = MinimalWindowProc;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = kClassName;
  if (!RegisterClassA(&windowClass)) return 1;
  const HWND window = CreateWindowExA(0, kClassName, "Minimal", WS_POPUP, 100, 100, 408, 373, nullptr, nullptr,
                                      instance, nullptr);
  if (!window) return 1;
  ShowWindow(window, SW_SHOW);
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return static_cast<int>(message.wParam);
}
